#pragma once
// What the JPEG tests share: pictures made pixel by pixel, files read and
// written as bytes, and the header segments of a file to edit.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "image/dib_image.h"

namespace jpeg_test {

struct Rgb {
    int r, g, b;
};

// Picture coordinates (y down) over the bottom-up buffer.
inline uint8_t* PixelPtr(CDibImage& image, int x, int y) { return image.StoredRow(image.Height() - 1 - y) + x * 3; }

inline void SetPixel(CDibImage& image, int x, int y, Rgb c) {
    uint8_t* p = PixelPtr(image, x, y);
    p[0] = uint8_t(c.b);
    p[1] = uint8_t(c.g);
    p[2] = uint8_t(c.r);
}

inline Rgb GetPixel(CDibImage& image, int x, int y) {
    const uint8_t* p = PixelPtr(image, x, y);
    return {p[2], p[1], p[0]};
}

inline void MakeImage(CDibImage& image, int width, int height, const std::function<Rgb(int, int)>& colour) {
    ASSERT_TRUE(image.Create(width, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) SetPixel(image, x, y, colour(x, y));
}

// Pseudo-random pixels: compress badly, so files get big.
inline void MakeNoise(CDibImage& image, int width, int height) {
    uint32_t state = 12345;
    MakeImage(image, width, height, [&](int, int) {
        state = state * 1664525u + 1013904223u;
        return Rgb{int(state >> 24), int((state >> 16) & 0xFF), int((state >> 8) & 0xFF)};
    });
}

#define EXPECT_NEAR_RGB(actual, er, eg, eb, tolerance) \
    do {                                               \
        const Rgb a_ = (actual);                       \
        EXPECT_NEAR(a_.r, (er), (tolerance));          \
        EXPECT_NEAR(a_.g, (eg), (tolerance));          \
        EXPECT_NEAR(a_.b, (eb), (tolerance));          \
    } while (0)

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

struct Segment {
    uint8_t marker;
    size_t offset;  // of the 0xFF
};

// The marker segments from SOI up to and including the first SOS.
inline std::vector<Segment> HeaderSegments(const std::vector<uint8_t>& file) {
    std::vector<Segment> segments;
    size_t pos = 2;
    while (pos + 4 <= file.size() && file[pos] == 0xFF) {
        const uint8_t marker = file[pos + 1];
        segments.push_back({marker, pos});
        if (marker == 0xDA) break;
        pos += 2 + ((size_t(file[pos + 2]) << 8) | file[pos + 3]);
    }
    return segments;
}

}  // namespace jpeg_test
