#pragma once
// Opening a movie file for reading: the Windows Media path rule, the choice of
// streams and what the rest of the player needs to know about them.
#include <atomic>
#include <cmath>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "decoding/ff_handles.h"

struct MediaInfo {
    int videoStream = -1;
    int audioStream = -1;
    // Seconds; 0 when unknown.
    double duration = 0.0;
    // Time of the movie's start in seconds (movie positions count from here).
    double startTime = 0.0;
    // Clockwise degrees from the display matrix: 0, 90, 180 or 270.
    int rotation = 0;
    int codedWidth = 0;
    int codedHeight = 0;
    AVRational sampleAspect{0, 1};
    // Seconds per frame when known, else 1/25.
    double frameDuration = 0.04;
};

// The coded size with the rotation applied (a quarter turn swaps the sides).
inline void RotatedCodedSize(const MediaInfo& info, int32_t& width, int32_t& height) {
    const bool turned = info.rotation == 90 || info.rotation == 270;
    width = turned ? info.codedHeight : info.codedWidth;
    height = turned ? info.codedWidth : info.codedHeight;
}

// Lets another thread break off a blocking open, read or seek of one demuxer
// (a network share, a sleeping disk, a file being copied), and bounds how long
// an open may take. Every format context answers to the one its owner keeps;
// the owner aborts it before joining a thread that may be inside a read, and
// keeps it alive longer than the format context.
class ReadInterrupt {
public:
    void Abort() { m_abort = true; }
    void Clear() { m_abort = false; }
    // Also interrupted while *flag is true (a job's cancel flag); null for none.
    void Follow(const std::atomic<bool>* flag) { m_follow = flag; }
    void SetDeadline(std::chrono::steady_clock::duration limit);
    void ClearDeadline() { m_deadline = INT64_MAX; }
    bool Interrupted() const;
    AVIOInterruptCB Callback() { return AVIOInterruptCB{&ReadInterrupt::Check, this}; }

private:
    static int Check(void* self);
    std::atomic<bool> m_abort{false};
    std::atomic<const std::atomic<bool>*> m_follow{nullptr};
    std::atomic<int64_t> m_deadline{INT64_MAX};  // steady clock, nanoseconds
};

// Where movie bytes come from. By default FFmpeg reads the file itself; a
// replacement hands out its own AVIOContext (given the interrupt it must honour
// while waiting) and frees it again in `close`. Tests stand in readers that
// stall or fail like a slow share. Set it while no movie is open.
struct MovieReader {
    std::function<AVIOContext*(const std::string& path, AVIOInterruptCB interrupt)> open;
    std::function<void(AVIOContext*)> close;
};
void SetMovieReader(MovieReader reader);

// After a read answered "try again": the byte reader keeps that answer (and
// reports its end) until told otherwise; this lets the next read try anew.
void ClearTryAgain(AVFormatContext* fmt);

// Seconds from the start of the movie as a time of a stream with time base
// `tb` whose first time is `startTime` seconds. A small allowance keeps a time
// given exactly at a frame on that frame despite rounding of the decimal
// seconds.
inline int64_t StreamTsOf(double seconds, double startTime, AVRational tb) {
    const double ticks = (seconds + startTime) * tb.den / tb.num;
    return int64_t(std::floor(ticks + 1e-3));
}

// True when the path contains ".asf", ".wma" or ".wmv" anywhere, in any case.
bool IsWindowsMediaPath(const std::string& path);

// Opens and probes the file. On success `out` holds the demuxer and `info` its
// streams and 0 is answered; otherwise a negative FFmpeg error code and
// `message` says why. `interrupt` breaks off the open and every later read of
// `out`; it must outlive `out`. A Windows Media path is read as ASF first and,
// when the ASF demuxer cannot read it, as whatever the file turns out to be.
int OpenMediaSource(const std::string& path, FormatContextPtr& out, MediaInfo& info, std::string& message,
                    ReadInterrupt& interrupt);

// Opens a decoder for stream `index` of `fmt`; `threads` 0 picks automatically.
int OpenStreamDecoder(AVFormatContext* fmt, int index, int threads, CodecContextPtr& out);

// Readies `decoder` (opened by OpenStreamDecoder with these arguments) for
// packets from elsewhere in the stream, after a seek: it keeps nothing of the
// packets before.
void ResetStreamDecoder(AVFormatContext* fmt, int index, int threads, CodecContextPtr& decoder);
