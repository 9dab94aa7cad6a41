#include "decoding/video_image.h"

#include <cstring>
#include <new>

#include "image/dib_image.h"
#include "image/gdi_types.h"

void FreeGrabBlock(uint8_t* block) { delete[] block; }

bool CopyBgrxToDib(const uint8_t* top, size_t stride, int w, int h, CDibImage& out) {
    if (w <= 0 || h <= 0 || !out.Create(w, h)) return false;
    // Stored row 0 is the bottom picture row; the unused fourth byte goes.
    for (int r = 0; r < h; ++r) {
        const uint8_t* src = top + size_t(h - 1 - r) * stride;
        uint8_t* dst = out.StoredRow(r);
        for (int x = 0; x < w; ++x, src += 4, dst += 3) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
    return true;
}

bool CopyToDib(const VideoImage& image, CDibImage& out) {
    return CopyBgrxToDib(reinterpret_cast<const uint8_t*>(image.pixels.data()), size_t(image.width) * 4, image.width,
                         image.height, out);
}

GrabBlock MakeGrabBlock(const VideoImage& image) {
    if (image.width <= 0 || image.height <= 0) return nullptr;
    const size_t rowBytes = size_t(image.width) * 4;
    const size_t pixelBytes = rowBytes * size_t(image.height);
    GrabBlock block(new (std::nothrow) uint8_t[sizeof(BITMAPINFOHEADER) + pixelBytes]);
    if (!block) return nullptr;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = image.width;
    header.biHeight = image.height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = 0;
    header.biSizeImage = uint32_t(pixelBytes);
    std::memcpy(block.get(), &header, sizeof header);
    uint8_t* rows = block.get() + sizeof(BITMAPINFOHEADER);
    const auto* top = reinterpret_cast<const uint8_t*>(image.pixels.data());
    for (int r = 0; r < image.height; ++r) {
        // Stored row 0 is the bottom picture row.
        std::memcpy(rows + size_t(r) * rowBytes, top + size_t(image.height - 1 - r) * rowBytes, rowBytes);
    }
    return block;
}
