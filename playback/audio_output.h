#pragma once
// Sound for the playback engine: a small bounded buffer of 16-bit interleaved
// samples that an AudioSink pulls from. Each pull re-anchors the playback
// clock to the time of the sound being played, so pictures follow the sound.
// A sink that fails, or stops pulling for more than a second while playing,
// is given up: writes then fail at once and the clock goes on by itself.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "playback/audio_sink.h"

class PlaybackClock;

class AudioOutput {
public:
    // Null when there is no sound device or it refuses every format tried.
    static std::unique_ptr<AudioOutput> Create(int sampleRate, int channels, PlaybackClock& clock);
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    int SampleRate() const { return m_rate; }
    int Channels() const { return m_channels; }

    // Queues samples whose first one plays at `pts`; waits while the buffer is
    // full. False when `serial` is no longer current, the output is aborted or
    // the sink has failed.
    bool Write(std::vector<uint8_t> bytes, double pts, int serial, const std::atomic<int>& current);
    // Drops everything buffered and starts counting for `serial`, whose sound
    // is due from `startTime` on (silence until its first sample).
    void Flush(int serial, double startTime);
    void MarkEnd(int serial);
    // All sound of `serial` up to its end has been handed to the device.
    bool Drained(int serial) const;
    void SetPaused(bool paused);
    void Abort();
    // The sink reported an error, or has not pulled for too long while playing.
    bool Failed() const;

    // How long a playing sink may go without pulling before it counts as failed.
    static constexpr std::chrono::milliseconds kStallLimit{1000};

private:
    AudioOutput(std::unique_ptr<AudioSink> sink, PlaybackClock& clock);
    // Called by the sink on its own thread.
    int64_t Read(char* data, int64_t maxBytes);
    bool FailedLocked() const;

    struct Chunk {
        std::vector<uint8_t> bytes;
        size_t offset = 0;
        double pts = 0.0;
    };
    std::unique_ptr<AudioSink> m_sink;
    const int m_rate;
    const int m_channels;
    PlaybackClock& m_clock;
    mutable std::mutex m_mutex;
    std::condition_variable m_space;
    std::deque<Chunk> m_chunks;
    size_t m_bytes = 0;
    size_t m_capacity = 0;
    int m_serial = 0;
    int m_endSerial = -1;
    bool m_aborted = false;
    bool m_paused = true;
    mutable bool m_failed = false;
    std::chrono::steady_clock::time_point m_lastPull;
    // Movie time at the end of the sound handed out, from the last flush on.
    std::optional<double> m_playedUntil;
    // Gaps up to this long between pieces of sound are played through.
    static constexpr double kLargestSeam = 0.03;
    // Longer gaps are breaks in the timestamps and are not filled.
    static constexpr double kLongestGap = 5.0;
    double m_latency = 0.0;
};
