#pragma once
// What a desktop's thumbnail factory asks of the thumbnailer: the size, the
// movie (a path or a file:// URI), where the PNG goes, and optionally the time.
#include <string>

struct ThumbnailRequest {
    int size = 0;                // the larger side of the picture, in pixels
    std::string input;           // a local path, from a path or a file:// URI
    std::string inputUri;        // the URI that names the input in the PNG
    std::string output;
    // -t: seconds, or a share of the duration; neither: the frame is chosen.
    double seconds = -1.0;
    double percent = -1.0;
};

// Reads `reelcap-thumbnailer -s SIZE [-t TIME] INPUT OUTPUT`. False with
// `error` saying what is wrong (one line, no program name).
bool ParseThumbnailRequest(int argc, char** argv, ThumbnailRequest& request, std::string& error);

// The usage line shown with a usage error.
extern const char* const kThumbnailerUsage;
