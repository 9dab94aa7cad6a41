#pragma once
// The clock that video frames are timed against: movie seconds that advance
// with the steady clock while running, re-anchored by the audio output whenever
// sound is playing so that pictures follow the sound.
#include <chrono>
#include <mutex>

class PlaybackClock {
public:
    double Now() const {
        std::lock_guard lock(m_mutex);
        return NowLocked();
    }
    // Sets the movie time now; keeps running or paused as before.
    void Set(double movieTime) {
        std::lock_guard lock(m_mutex);
        m_anchorTime = movieTime;
        m_anchorWall = Wall();
    }
    void SetPaused(bool paused) {
        std::lock_guard lock(m_mutex);
        if (paused == m_paused) return;
        m_anchorTime = NowLocked();
        m_anchorWall = Wall();
        m_paused = paused;
    }
    bool Paused() const {
        std::lock_guard lock(m_mutex);
        return m_paused;
    }

private:
    static double Wall() {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }
    double NowLocked() const { return m_paused ? m_anchorTime : m_anchorTime + (Wall() - m_anchorWall); }

    mutable std::mutex m_mutex;
    double m_anchorTime = 0.0;
    double m_anchorWall = 0.0;
    bool m_paused = true;
};
