#pragma once
// One picture as a viewer sees it (rotated, square pixels), ready to paint or
// hand out as a grab.
#include <cstdint>
#include <memory>
#include <vector>

#include "decoding/player_types.h"

struct VideoImage {
    int width = 0;
    int height = 0;
    // Top row first; each pixel is the bytes blue, green, red, unused.
    std::vector<uint32_t> pixels;
    // Seconds from the start of the movie.
    double time = 0.0;
};
using VideoImagePtr = std::shared_ptr<const VideoImage>;

class CDibImage;

// Rows of blue, green, red, unused bytes, top row first and `stride` bytes
// apart, as a w x h 24-bit image (rows stored bottom-up); false when memory
// cannot be had.
bool CopyBgrxToDib(const uint8_t* top, size_t stride, int w, int h, CDibImage& out);
// The picture as a 24-bit image, the same pixels a grab block gives.
bool CopyToDib(const VideoImage& image, CDibImage& out);

// The image as one grab block (header and bottom-up rows); null when empty or
// out of memory.
GrabBlock MakeGrabBlock(const VideoImage& image);
