#pragma once
// Playback off the user-interface thread: a demux thread fills bounded packet
// queues, one decoder thread per stream turns them into pictures and sound, and
// a presenter thread shows each picture when the clock reaches its time. Every
// seek increments a serial number; packets, pictures and sound of an older
// serial are dropped wherever they are met.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <optional>
#include <mutex>
#include <string>
#include <thread>

#include "playback/live_threads.h"
#include "playback/audio_output.h"
#include "playback/bounded_queue.h"
#include "playback/event_signal.h"
#include "decoding/ff_handles.h"
#include "decoding/frame_converter.h"
#include "decoding/media_source.h"
#include "playback/playback_clock.h"
#include "decoding/video_image.h"

class PlaybackEngine {
public:
    explicit PlaybackEngine(EventSignal& events);
    ~PlaybackEngine();
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // Opens the movie and starts the threads, paused at the start. 0 or a
    // negative FFmpeg code with `message`. Without `withSound` no sound device
    // is opened and the sound stream is not read.
    int Open(const std::string& path, std::string& message, bool withSound = true);
    // Stops the threads and frees everything; waits for the threads.
    void Close();
    // Tells the threads to stop and breaks off their reads, without waiting.
    void RequestStop();
    // Waits up to `limit` for every thread to have stopped after RequestStop.
    // A thread inside a read the system cannot interrupt (a hard-mounted share)
    // may take longer; the caller can then leave the engine to Close elsewhere.
    bool WaitStopped(std::chrono::milliseconds limit);

    const MediaInfo& Info() const { return m_info; }
    void SetRunning(bool running);
    // Continues playback from `seconds`; never waits for decoding.
    void Seek(double seconds);
    // Time of the picture on screen, or of the sound when there is no picture.
    double Position() const;
    VideoImagePtr CurrentImage() const;
    // Shows a picture found elsewhere (an exact seek) at position `seconds`.
    void ShowImage(VideoImagePtr image, double seconds);
    // Called on the presenter thread after each new picture. Once this has
    // returned, the callback it replaced is neither running nor called again:
    // a call in progress is waited for, so the receiver may go right after
    // SetFrameCallback(nullptr). The callback must not call this engine.
    void SetFrameCallback(std::function<void()> callback);

    // Sound is playing through a device that has not failed.
    bool PlaysSound() const { return SoundOn(); }
    int64_t DroppedFrames() const { return m_dropped.load(); }
    // Packets a decoder refused (damage) and playback went on past.
    int64_t SkippedPackets() const { return m_skippedPackets.load(); }

private:
    struct PacketItem {
        PacketPtr packet;  // null marks the end of the stream
        int serial = 0;
    };
    struct PictureItem {
        VideoImagePtr image;  // null marks the end of the stream
        int serial = 0;
    };
    using PacketQueue = BoundedQueue<PacketItem>;

    void DemuxLoop();
    // The next packet of the current seek, waiting a short while; packets
    // queued before a later seek are dropped here.
    std::optional<PacketItem> PopCurrent(PacketQueue& queue);
    void VideoLoop();
    void AudioLoop();
    // A thread that ran out of memory has stopped: playback ends with
    // EC_ERRORABORT instead of the program.
    void OutOfMemory();
    void PresentLoop();
    // Performs a seek asked for since the last call; `serial` is the one the
    // packets read next belong to. A seek that fails every way ends that
    // serial's playback with EC_ERRORABORT.
    void DoPendingSeek(int& serial);
    bool QueuesSatisfied() const;
    void PostOnce(long code, int serial);
    bool EndReached(int serial);
    // Makes `item` the picture on screen.
    void Present(const PictureItem& item);
    // Tells the receiver of the frame callback that a new picture is shown.
    void CallFrameCallback();
    void UpdateClockRunning();
    bool SoundOn() const { return m_audioOut && !m_soundLost.load(); }
    // Gives up the sound after its device failed or stalled: the movie goes on
    // silently, timed by the steady clock.
    void DropSound();
    double SecondsOf(int64_t ts, AVRational tb) const;

    EventSignal& m_events;
    MediaInfo m_info;
    ReadInterrupt m_interrupt;  // outlives m_fmt; aborted before any join
    FormatContextPtr m_fmt;
    CodecContextPtr m_videoDec;
    CodecContextPtr m_audioDec;
    FrameConverter m_converter;
    std::unique_ptr<AudioOutput> m_audioOut;
    PlaybackClock m_clock;

    PacketQueue m_videoPackets{256, 8 << 20};
    PacketQueue m_audioPackets{512, 2 << 20};
    BoundedQueue<PictureItem> m_pictures{3, 1 << 30};

    std::atomic<bool> m_quit{false};
    std::atomic<int> m_serial{0};
    std::mutex m_control;
    std::condition_variable m_wake;
    bool m_seekPending = false;
    double m_seekTarget = 0.0;
    double m_dropBefore = 0.0;  // pictures ending before this time are not shown
    bool m_running = false;
    bool m_holdClock = false;  // after a seek, until the first new picture is shown
    bool m_demuxEnded = false;
    bool m_readFailed = false;
    int m_videoEndSerial = -1;
    int m_audioEndSerial = -1;
    int m_postedSerial = -1;
    std::atomic<int64_t> m_skippedPackets{0};  // refused by a decoder, since Open
    std::atomic<bool> m_soundLost{false};

    mutable std::mutex m_imageMutex;
    VideoImagePtr m_image;
    double m_position = 0.0;
    // Held while the callback runs, so that replacing it waits for the call.
    std::mutex m_callbackMutex;
    std::function<void()> m_frameCallback;

    std::atomic<int64_t> m_dropped{0};

    // Starts one of the loops, counted in m_live.
    template <typename Loop>
    std::thread Start(Loop loop);
    LiveThreads m_live;

    std::thread m_demuxThread;
    std::thread m_videoThread;
    std::thread m_audioThread;
    std::thread m_presentThread;
};
