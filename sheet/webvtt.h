#pragma once
// WebVTT thumbnail tracks, written and read in one place: the text that points
// each cue at its tile in a sprite ("URL#xywh=x,y,w,h"), and the reading of
// such a file, which tells a later run which sprites an earlier one left.
#include <cstdint>
#include <string>
#include <vector>

#include "sheet/sprite_layout.h"

// "hh:mm:ss.mmm" (hours as many digits as needed, at least two).
std::string FormatVttTime(int64_t ms);

// `name` as one relative URL path segment: bytes other than letters, digits
// and - . _ ~ are percent-encoded, so a file name with spaces, '#' or '?'
// still names the file.
std::string UrlPathSegment(const std::string& name);
// The bytes a URL path segment stands for: "%XX" decoded, the rest as is.
std::string PercentDecoded(const std::string& segment);

// The whole WebVTT file: the WEBVTT line, then per cue its times and
// "URL#xywh=x,y,w,h" with URL the percent-encoded sprite file name.
std::string VttText(const std::vector<CueSpan>& cues, const SpriteGrid& grid, const std::string& vttName);

// One thumbnail cue as read back.
struct VttCue {
    int64_t startMs = 0;
    int64_t endMs = 0;
    std::string file;  // the URL before "#xywh=", percent-decoded
    int x = 0, y = 0, width = 0, height = 0;
};

struct VttReading {
    bool header = false;  // the first line is "WEBVTT" (a byte-order mark allowed)
    std::vector<VttCue> cues;
    // Lines that are neither blank, a cue's times, nor a thumbnail cue's text.
    std::vector<std::string> stray;
};

// Reads a thumbnail track: cue times ("hh:mm:ss.mmm" or "mm:ss.mmm", then
// " --> " and the end) each followed by a "URL#xywh=x,y,w,h" line. Never
// fails: what does not fit is listed as stray.
VttReading ReadVtt(const std::string& text);
