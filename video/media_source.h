#pragma once
// Opening a movie file for reading: the Windows Media path rule, the choice of
// streams and what the rest of the player needs to know about them.
#include <string>

#include "video/ff_handles.h"

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

// True when the path contains ".asf", ".wma" or ".wmv" anywhere, in any case.
bool IsWindowsMediaPath(const std::string& path);

// Opens and probes the file. On success `out` holds the demuxer and `info` its
// streams and 0 is answered; otherwise a negative FFmpeg error code and
// `message` says why.
int OpenMediaSource(const std::string& path, FormatContextPtr& out, MediaInfo& info, std::string& message);

// Opens a decoder for stream `index` of `fmt`; `threads` 0 picks automatically.
int OpenStreamDecoder(AVFormatContext* fmt, int index, int threads, CodecContextPtr& out);
