#pragma once
// The one raster type: 24-bit BGR pixels, rows stored bottom-up and padded to
// 4 bytes, described by a 40-byte bitmap header. Pixel work happens directly on
// the buffer; text is drawn on a QImage surface made lazily from the buffer and
// read back before the next pixel operation, so text and pixel operations keep
// their order.
#include <climits>
#include <cstdint>
#include <memory>
#include <string>

#include "image/gdi_types.h"
#include "base/op_result.h"

class QImage;
class QFont;
class StagedFile;

class CDibImage {
public:
    CDibImage();
    ~CDibImage();
    CDibImage(const CDibImage&) = delete;
    CDibImage& operator=(const CDibImage&) = delete;

    // Allocates width x height (uninitialised). 0 x 0 is allowed (text measuring).
    // Returns false (and leaves the image empty) for negative sizes or when
    // memory cannot be had.
    bool Create(int32_t width, int32_t height);
    // Copies width x height pixels of 4 bytes (B, G, R, unused), rows bottom-up,
    // unpadded.
    bool CreateFrom32(int32_t width, int32_t height, const uint8_t* source);
    void Release();

    // JPEG files (jpeg_io.cpp). Neither ends the program; both report why.
    OpResult LoadJpeg(const std::string& path);
    // Replaces `path` once the file is complete (StagedFile, WriteMode::Replace).
    OpResult SaveJpeg(const std::string& path, int quality, bool progressive) const;
    // Encodes into an open staged file, which the caller then moves in; the
    // file is left unfinished, to be discarded, on failure.
    OpResult WriteJpeg(StagedFile& out, int quality, bool progressive) const;

    // Packed 0x00RRGGBB of pixel (x, stored row); no checks.
    uint32_t PixelAt(int x, int row) const {
        if (m_surface) FlushSurface();
        const uint8_t* p = m_pixels.get() + size_t(row) * size_t(m_stride) + size_t(x) * 3;
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
    }
    // PixelAt inside the image, white outside or without a buffer.
    uint32_t PixelAtOrWhite(int x, int row) const;

    // Colour is a COLORREF. Null rectangle: whole image. Clipped.
    void Fill(const RECT* rect, COLORREF color);
    // Copies the source rectangle (whole source when null) to (dstX, dstY).
    // Callers keep both rectangles inside their images; parts outside either
    // image are skipped.
    void Blit(int dstX, int dstY, const RECT* sourceRect, const CDibImage& source);

    // Resampling and effects (resample.cpp, effects.cpp). The samples depend on
    // the whole rectangle; only its part inside this image is written.
    void StretchFrom(const RECT* rect, const CDibImage& source);
    void Blur(int16_t radius);
    uint32_t SampleArea(float x, float y, float scaleX, float scaleY) const;
    uint32_t SampleLanczos(float x, float y) const;

    // Text (dib_text.cpp).
    void SetTextFont(const LOGFONTA& font, COLORREF color);
    int PaintText(const char* text, RECT* rect, uint32_t format, bool outlined);

    int32_t Width() const { return m_header.biWidth; }
    int32_t Height() const { return m_header.biHeight; }
    int32_t Stride() const { return m_stride; }
    bool HasPixels() const { return m_pixels != nullptr; }
    const BITMAPINFOHEADER& Header() const { return m_header; }
    // Raw buffer access; flushes any pending text first.
    uint8_t* Pixels();
    const uint8_t* Pixels() const;
    // Address of stored row r (bottom row is 0).
    uint8_t* StoredRow(int r) { return Pixels() + size_t(r) * size_t(m_stride); }
    const uint8_t* StoredRow(int r) const { return Pixels() + size_t(r) * size_t(m_stride); }

    static int32_t StrideFor(int32_t width) { return ((24 * width + 31) / 32) * 4; }
    // The most pixel bytes one image can hold: the header stores the image
    // size in 32 bits.
    static constexpr uint64_t kMaxBytes = UINT32_MAX;
    // Whether Create could make a width x height image, memory allowing.
    static bool SizeFits(int64_t width, int64_t height) {
        if (width < 0 || height < 0 || width > (INT32_MAX - 31) / 24) return false;
        return uint64_t(StrideFor(int32_t(width))) * uint64_t(height) <= kMaxBytes;
    }

private:
    void EnsureSurface();
    void FlushSurface() const;

    BITMAPINFOHEADER m_header{};
    int32_t m_stride = 0;
    std::unique_ptr<uint8_t[]> m_pixels;

    // Text surface: exists only between a text call and the next pixel operation.
    mutable std::unique_ptr<QImage> m_surface;
    std::unique_ptr<QFont> m_font;
    COLORREF m_textColor = 0;
};

// Lanczos kernel with support a; pi taken as single precision.
float LanczosWeight(float x, float a);

struct Box {
    float left = 0, top = 0, right = 0, bottom = 0;
};
Box IntersectBox(const Box& a, const Box& b);

// Every channel multiplied by factor, truncated, low 8 bits kept.
COLORREF ScaleColor(COLORREF color, float factor);
