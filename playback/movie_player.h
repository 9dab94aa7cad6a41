#pragma once
// One movie: open, play, pause, stop, seek, duration, position, events, the
// picture on screen (which the caller paints), and grabs of that picture.
// All members are called from one thread (the user-interface thread); decoding
// and timing run on the player's own threads and reach the caller only through
// the event descriptor and the optional frame callback.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "decoding/player_types.h"
#include "decoding/video_image.h"

class EventSignal;
class ExactSeeker;
class PlaybackEngine;

class CMoviePlayer {
public:
    CMoviePlayer();
    ~CMoviePlayer();
    CMoviePlayer(const CMoviePlayer&) = delete;
    CMoviePlayer& operator=(const CMoviePlayer&) = delete;

    // 0 on success, a negative FFmpeg error code on failure; GetLastErrorText
    // then says why. Success leaves the movie open and not running, with its
    // first picture as the current image.
    long Open(const char* fileName);
    long Open(const std::string& fileName) { return Open(fileName.c_str()); }
    const std::string& GetLastErrorText() const { return m_lastError; }
    // The file the open movie was opened from; empty without one.
    const std::string& GetFileName() const { return m_path; }
    long Close();

    // Running from the current position, or from 0 when within 1 s of the end.
    long Play();
    long Pause();
    // Keeps the position; the caller rewinds.
    long Stop();
    PlayerState GetState() const { return m_state; }

    double GetDuration() const;
    // The playing picture's time; after a seek the asked time itself.
    double GetCurrentPosition() const;
    // Absolute seek in seconds. With `refreshWhenStopped` on a movie that is not
    // running, the exact picture at that time is current when this returns.
    bool SetPosition(double position, bool refreshWhenStopped);
    // The position SetPosition(position, ...) settles on: clamped to the movie
    // and cut to 100 ns units.
    double SeekedPosition(double position) const;
    bool SetTimeFormat(TimeFormat format);

    // Coded size with the rotation applied; false (0 x 0) without a picture.
    bool GetNativeVideoSize(int32_t* width, int32_t* height) const;
    // The picture on screen, already at its display aspect; null without one.
    // Safe to keep and paint while the player moves on.
    VideoImagePtr CurrentPicture() const;

    // Readable while events are queued; -1 when no movie is open.
    int GetEventHandle() const;
    // One event without waiting (EC_COMPLETE, EC_ERRORABORT), 0 when none.
    long GetEvent();

    // The current picture as one block (header + bottom-up BGRX rows); null when
    // there is none.
    GrabBlock GetCurrentImage() const;
    // The same as a raw block freed with FreeGrabBlock; negative on failure.
    long GetCurrentImage(uint8_t** block) const;

    // Called on a player thread whenever a new picture is shown during
    // playback; the receiver should schedule a repaint on its own thread.
    // Once Close (or a new callback) has returned, the callback is not running
    // and is never called again, even by threads Close left to finish alone.
    void SetFrameCallback(std::function<void()> callback);
    // Pictures skipped because they were late, since Open.
    int64_t DroppedFrames() const;
    bool PlaysSound() const;
    // Off before Open: no sound device is opened (tools that only grab).
    void SetSoundEnabled(bool enabled) { m_soundEnabled = enabled; }
    // Own time of the current picture, which may lie before the position asked
    // for; -1 without a picture.
    double GetCurrentFrameTime() const;
    // Seconds per frame of the picture stream (1/25 when the file does not
    // tell); 0 without a movie.
    double GetFrameDuration() const;
    // Damaged packets the decoders refused and skipped, since Open.
    int64_t SkippedPackets() const;

private:
    PlayerState m_state = Closed;
    TimeFormat m_timeFormat = TimeFormat::MediaTime;
    std::string m_lastError;
    bool m_soundEnabled = true;
    std::function<void()> m_frameCallback;
    std::unique_ptr<EventSignal> m_events;
    std::unique_ptr<PlaybackEngine> m_engine;
    std::unique_ptr<ExactSeeker> m_seeker;
    std::string m_path;
};
