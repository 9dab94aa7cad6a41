// reelcap-thumbnailer: a movie's thumbnail for the desktop's file manager.
// It reads the movie and writes the PNG, and nothing else: no settings, no
// cache, no display, no network, no home folder.
#include <cstdio>
#include <exception>
#include <string>

#include "thumbnailer/make_thumbnail.h"
#include "thumbnailer/thumbnail_request.h"

int main(int argc, char** argv) {
    ThumbnailRequest request;
    std::string error;
    if (!ParseThumbnailRequest(argc, argv, request, error)) {
        std::fprintf(stderr, "reelcap-thumbnailer: %s (%s)\n", error.c_str(), kThumbnailerUsage);
        return 2;
    }
    OpResult made = OpResult::Failure("an unexpected error");
    try {
        made = MakeThumbnail(request);
    } catch (const std::exception& caught) {
        made = OpResult::Failure(caught.what());
    }
    if (!made) {
        std::fprintf(stderr, "reelcap-thumbnailer: %s: %s\n", request.input.c_str(), made.message.c_str());
        return 1;
    }
    return 0;
}
