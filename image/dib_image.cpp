#include "image/dib_image.h"

#include <QFont>
#include <QImage>
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

CDibImage::CDibImage() = default;
CDibImage::~CDibImage() = default;

bool CDibImage::Create(int32_t width, int32_t height) {
    Release();
    // The stride must fit its 32-bit field and the buffer size the header's
    // 32-bit image size; beyond that the arithmetic would wrap and the buffer
    // come out smaller than the pixels written into it.
    if (!SizeFits(width, height)) return false;
    const int32_t stride = StrideFor(width);
    const size_t bytes = size_t(stride) * size_t(height);
    std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[bytes ? bytes : 1]);
    if (!pixels) return false;

    m_header = BITMAPINFOHEADER{};
    m_header.biSize = sizeof(BITMAPINFOHEADER);
    m_header.biWidth = width;
    m_header.biHeight = height;
    m_header.biPlanes = 1;
    m_header.biBitCount = 24;
    m_header.biCompression = 0;
    m_header.biSizeImage = uint32_t(bytes);
    m_stride = stride;
    m_pixels = std::move(pixels);
    return true;
}

bool CDibImage::CreateFrom32(int32_t width, int32_t height, const uint8_t* source) {
    if (!Create(width, height)) return false;
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* src = source + size_t(r) * size_t(width) * 4;
        uint8_t* dst = m_pixels.get() + size_t(r) * size_t(m_stride);
        for (int32_t x = 0; x < width; ++x, src += 4, dst += 3) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
    return true;
}

void CDibImage::Release() {
    m_surface.reset();  // dropped without reading back: the pixels go too
    m_pixels.reset();
    m_header = BITMAPINFOHEADER{};
    m_stride = 0;
}

uint32_t CDibImage::PixelAtOrWhite(int x, int row) const {
    if (!m_pixels || x < 0 || row < 0 || x >= Width() || row >= Height()) return 0x00FFFFFF;
    FlushSurface();
    return PixelAt(x, row);
}

uint8_t* CDibImage::Pixels() {
    FlushSurface();
    return m_pixels.get();
}

const uint8_t* CDibImage::Pixels() const {
    FlushSurface();
    return m_pixels.get();
}

void CDibImage::Fill(const RECT* rect, COLORREF color) {
    FlushSurface();
    if (!m_pixels) return;
    RECT r{0, 0, Width(), Height()};
    if (rect) r = *rect;
    const int32_t left = std::max(r.left, 0);
    const int32_t top = std::max(r.top, 0);
    const int64_t columns = int64_t(std::min(r.right, Width())) - left;
    const int64_t rows = int64_t(std::min(r.bottom, Height())) - top;
    if (columns <= 0 || rows <= 0) return;

    const uint8_t bgr[3] = {BlueOf(color), GreenOf(color), RedOf(color)};
    for (int64_t y = top; y < top + rows; ++y) {
        uint8_t* p = m_pixels.get() + size_t(Height() - 1 - y) * size_t(m_stride) + size_t(left) * 3;
        for (int64_t x = 0; x < columns; ++x, p += 3) std::memcpy(p, bgr, 3);
    }
}

void CDibImage::Blit(int dstX, int dstY, const RECT* sourceRect, const CDibImage& source) {
    FlushSurface();
    source.FlushSurface();
    if (!m_pixels || !source.m_pixels) return;
    int64_t sx = 0, sy = 0, w = source.Width(), h = source.Height();
    int64_t dx = dstX, dy = dstY;
    if (sourceRect) {
        sx = sourceRect->left;
        sy = sourceRect->top;
        w = int64_t(sourceRect->right) - sourceRect->left;
        h = int64_t(sourceRect->bottom) - sourceRect->top;
    }
    // Callers keep both rectangles inside their images; should one stick out
    // anyway, only the part inside both is copied rather than memory beyond
    // the buffers.
    const auto clip = [](int64_t& s, int64_t& d, int64_t& n, int64_t sourceSize, int64_t targetSize) {
        if (s < 0) { d -= s; n += s; s = 0; }
        if (d < 0) { s -= d; n += d; d = 0; }
        n = std::min({n, sourceSize - s, targetSize - d});
    };
    clip(sx, dx, w, source.Width(), Width());
    clip(sy, dy, h, source.Height(), Height());
    if (w <= 0 || h <= 0) return;
    for (int64_t k = 0; k < h; ++k) {
        const uint8_t* src = source.m_pixels.get() +
                             size_t(source.Height() - 1 - (sy + k)) * size_t(source.m_stride) + size_t(sx) * 3;
        uint8_t* dst = m_pixels.get() + size_t(Height() - 1 - (dy + k)) * size_t(m_stride) + size_t(dx) * 3;
        std::memmove(dst, src, size_t(w) * 3);
    }
}

// The text surface is a top-down RGB32 copy of the buffer: QPainter's fastest
// target. It lives from the first text call until the next pixel operation.
void CDibImage::EnsureSurface() {
    if (m_surface || !m_pixels || Width() == 0 || Height() == 0) return;
    auto surface = std::make_unique<QImage>(Width(), Height(), QImage::Format_RGB32);
    if (surface->isNull()) return;
    for (int y = 0; y < Height(); ++y) {
        const uint8_t* src = m_pixels.get() + size_t(Height() - 1 - y) * size_t(m_stride);
        auto* dst = reinterpret_cast<uint32_t*>(surface->scanLine(y));
        for (int x = 0; x < Width(); ++x, src += 3)
            dst[x] = 0xFF000000u | (uint32_t(src[2]) << 16) | (uint32_t(src[1]) << 8) | src[0];
    }
    m_surface = std::move(surface);
}

void CDibImage::FlushSurface() const {
    if (!m_surface) return;
    for (int y = 0; y < Height(); ++y) {
        const auto* src = reinterpret_cast<const uint32_t*>(m_surface->constScanLine(y));
        uint8_t* dst = m_pixels.get() + size_t(Height() - 1 - y) * size_t(m_stride);
        for (int x = 0; x < Width(); ++x, dst += 3) {
            dst[0] = uint8_t(src[x]);
            dst[1] = uint8_t(src[x] >> 8);
            dst[2] = uint8_t(src[x] >> 16);
        }
    }
    m_surface.reset();
}
