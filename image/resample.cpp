// Scaling one image into a rectangle of another: an area average when the
// picture shrinks along an axis, a Lanczos (support 6) interpolation otherwise.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

#include "image/dib_image.h"

// The two scaling loops are also built for AVX2 (eight floats per step); the
// loader picks the build that suits the processor.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__)
#define REELCAP_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define REELCAP_VECTOR_CLONES
#endif

namespace {

constexpr int kSupport = 6;
constexpr int kTaps = 2 * kSupport;  // columns ix-5 .. ix+6
constexpr float kPi = 3.1415927f;
constexpr uint32_t kWhite = 0x00FFFFFF;

inline uint8_t ClampToByte(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 255.0f) return 255;
    return uint8_t(v);  // truncation toward zero
}

inline uint32_t Pack(float b, float g, float r) {
    return uint32_t(ClampToByte(b)) | (uint32_t(ClampToByte(g)) << 8) | (uint32_t(ClampToByte(r)) << 16);
}

inline int TruncFloor(float v) {
    const int t = int(v);
    return v < 0.0f ? t - 1 : t;
}

// The twelve Lanczos taps around a source coordinate along one axis.
struct Taps {
    int first = 0;  // index of the first tap (ix - 5)
    float weight[kTaps] = {};
};

Taps LanczosTaps(float pos) {
    Taps taps;
    const int ix = TruncFloor(pos);
    taps.first = ix - (kSupport - 1);
    for (int k = 0; k < kTaps; ++k) taps.weight[k] = LanczosWeight(float(taps.first + k) - pos, float(kSupport));
    return taps;
}

inline int ClampIndex(int i, int size) { return i < 0 ? 0 : (i >= size ? size - 1 : i); }

}  // namespace

float LanczosWeight(float x, float a) {
    if (std::fabs(x) > a) return 0.0f;
    if (x == 0.0f) return 1.0f;
    const float t = kPi * x;
    return (std::sin(t / a) / (t / a)) * (std::sin(t) / t);
}

Box IntersectBox(const Box& a, const Box& b) {
    Box r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
    if (r.left <= r.right && r.top <= r.bottom) return r;
    return Box{};
}

// Taps that fall outside the source repeat the edge pixel, so an enlarged
// picture gets no light fringe at its borders.
uint32_t CDibImage::SampleLanczos(float x, float y) const {
    const int w = Width(), h = Height();
    if (!m_pixels || w == 0 || h == 0) return kWhite;
    const int ix = TruncFloor(x), iy = TruncFloor(y);
    if (ix + kSupport < 0 || ix - (kSupport - 1) >= w || iy + kSupport < 0 || iy - (kSupport - 1) >= h)
        return kWhite;
    const Taps tx = LanczosTaps(x);
    const Taps ty = LanczosTaps(y);
    float sb = 0, sg = 0, sr = 0;
    for (int kr = 0; kr < kTaps; ++kr) {
        const float wy = ty.weight[kr];
        if (wy == 0.0f) continue;
        const uint8_t* row = m_pixels.get() + size_t(ClampIndex(ty.first + kr, h)) * size_t(m_stride);
        for (int k = 0; k < kTaps; ++k) {
            const uint8_t* p = row + size_t(ClampIndex(tx.first + k, w)) * 3;
            const float wgt = tx.weight[k] * wy;
            sb += p[0] * wgt;
            sg += p[1] * wgt;
            sr += p[2] * wgt;
        }
    }
    return Pack(sb, sg, sr);
}

uint32_t CDibImage::SampleArea(float x, float y, float scaleX, float scaleY) const {
    if (scaleX <= 1.0f && scaleY <= 1.0f) return SampleLanczos(x, y);
    const Box box{x - scaleX / 2, y - scaleY / 2, x + scaleX / 2, y + scaleY / 2};
    const int i0 = int(box.left + 0.5f), r0 = int(box.top + 0.5f);
    const int i1 = int(box.right + 0.5f), r1 = int(box.bottom + 0.5f);
    auto footprint = [](int i, int r) {
        return Box{float(i) - 0.5f, float(r) - 0.5f, float(i) + 0.5f, float(r) + 0.5f};
    };
    float sb = 0, sg = 0, sr = 0;
    auto add = [&](uint32_t px, float wgt) {
        sb += float(px & 0xFF) * wgt;
        sg += float((px >> 8) & 0xFF) * wgt;
        sr += float((px >> 16) & 0xFF) * wgt;
    };

    if (scaleX > 1.0f && scaleY > 1.0f) {
        const Box first = IntersectBox(footprint(i0, r0), box);
        const Box last = IntersectBox(footprint(i1, r1), box);
        const float wL = first.right - first.left, hT = first.bottom - first.top;
        const float wR = last.right - last.left, hB = last.bottom - last.top;
        for (int r = r0; r <= r1; ++r) {
            const float wy = r == r0 ? hT : (r == r1 ? hB : 1.0f);
            for (int i = i0; i <= i1; ++i) {
                const float wx = i == i0 ? wL : (i == i1 ? wR : 1.0f);
                add(PixelAtOrWhite(i, r), wx * wy);
            }
        }
    } else {
        for (int r = r0; r <= r1; ++r) {
            for (int i = i0; i <= i1; ++i) {
                const Box part = IntersectBox(footprint(i, r), box);
                const float area = (part.right - part.left) * (part.bottom - part.top);
                if (area <= 0.0f) continue;
                add(SampleLanczos((part.left + part.right) / 2, (part.top + part.bottom) / 2), area);
            }
        }
    }
    const float norm = 1.0f / ((box.bottom - box.top) * (box.right - box.left));
    return Pack(sb * norm, sg * norm, sr * norm);
}

namespace {

// Where destination pixel (i, j) of the rectangle goes (i counts stored rows
// upward from the rectangle's bottom row, j columns from its left edge), and
// the part of the rectangle that lies inside the image: rows i0..i1-1,
// columns j0..j1-1. The samples depend on the whole rectangle, only that part
// is written.
struct DestWindow {
    uint8_t* pixels = nullptr;
    size_t stride = 0;
    int64_t firstRow = 0;  // stored row of i = 0
    int64_t left = 0;      // column of j = 0
    int i0 = 0, i1 = 0, j0 = 0, j1 = 0;
    uint8_t* Row(int i) const { return pixels + size_t(firstRow + i) * stride + size_t(left + j0) * 3; }
    int Columns() const { return j1 - j0; }
};

// Area average when shrinking along both axes. The weight of a source pixel
// is a product of a column weight and a row weight (edge pixels weighted by
// their overlap with the box), so each destination row first blends its source
// rows into one floating-point row (contiguous, vectorised), then averages that
// row across each destination column's span.
struct AreaSpan {
    int first = 0, last = 0;
    float wFirst = 0, wLast = 0;
};

AreaSpan AreaAxis(float centre, float scale) {
    const float lo = centre - scale / 2, hi = centre + scale / 2;
    AreaSpan s;
    s.first = int(lo + 0.5f);
    s.last = int(hi + 0.5f);
    s.wFirst = std::max(0.0f, std::min(float(s.first) + 0.5f, hi) - std::max(float(s.first) - 0.5f, lo));
    s.wLast = std::max(0.0f, std::min(float(s.last) + 0.5f, hi) - std::max(float(s.last) - 0.5f, lo));
    return s;
}

REELCAP_VECTOR_CLONES
void ShrinkBothAxes(const CDibImage& src, const DestWindow& dst, float scaleX, float scaleY) {
    const int sw = src.Width(), sh = src.Height();
    const uint8_t* base = src.Pixels();
    const int stride = src.Stride();
    const size_t rowLen = size_t(sw) * 3;
    std::vector<AreaSpan> cols(dst.Columns());
    for (int j = dst.j0; j < dst.j1; ++j) cols[j - dst.j0] = AreaAxis((j + 0.5f) * scaleX - 0.5f, scaleX);
    std::vector<float> blended(rowLen);

    for (int i = dst.i0; i < dst.i1; ++i) {
        const float y = (i + 0.5f) * scaleY - 0.5f;
        const AreaSpan rows = AreaAxis(y, scaleY);
        std::fill(blended.begin(), blended.end(), 0.0f);
        float whiteRows = 0;  // weight of rows outside the source, which count as white
        for (int r = rows.first; r <= rows.last; ++r) {
            const float wy = r == rows.first ? rows.wFirst : (r == rows.last ? rows.wLast : 1.0f);
            if (wy == 0.0f) continue;
            if (r < 0 || r >= sh) {
                whiteRows += wy;
                continue;
            }
            const uint8_t* row = base + size_t(r) * size_t(stride);
            float* acc = blended.data();
            for (size_t n = 0; n < rowLen; ++n) acc[n] += float(row[n]) * wy;
        }
        const float boxH = (y + scaleY / 2) - (y - scaleY / 2);
        uint8_t* out = dst.Row(i);
        for (int n = 0; n < dst.Columns(); ++n) {
            const AreaSpan& c = cols[n];
            const float x = (dst.j0 + n + 0.5f) * scaleX - 0.5f;
            const float boxW = (x + scaleX / 2) - (x - scaleX / 2);
            float sum[3] = {0, 0, 0};
            for (int px = c.first; px <= c.last; ++px) {
                const float wx = px == c.first ? c.wFirst : (px == c.last ? c.wLast : 1.0f);
                for (int ch = 0; ch < 3; ++ch)
                    sum[ch] += (px >= 0 && px < sw ? blended[size_t(px) * 3 + ch] + 255.0f * whiteRows
                                                   : 255.0f * (boxH)) * wx;
            }
            const float norm = 1.0f / (boxH * boxW);
            for (int ch = 0; ch < 3; ++ch) out[n * 3 + ch] = ClampToByte(sum[ch] * norm);
        }
    }
}

// Lanczos when growing (or keeping size) along both axes. The kernel is a
// product of a column and a row weight, so it runs as a horizontal pass into
// floating-point rows, then a vertical pass over those rows.
REELCAP_VECTOR_CLONES
void EnlargeBothAxes(const CDibImage& src, const DestWindow& dst, float scaleX, float scaleY) {
    const int sw = src.Width(), sh = src.Height();
    const int w = dst.Columns();
    std::vector<Taps> cols(w);
    for (int j = 0; j < w; ++j) cols[j] = LanczosTaps((dst.j0 + j + 0.5f) * scaleX - 0.5f);
    // The horizontal pass works on blocks of eight source rows at once: each
    // channel is stored column by column with the eight rows side by side, so
    // every tap is one eight-wide multiply-add. Columns are padded with
    // repeated edge pixels so that no tap needs a bounds check.
    constexpr int kPad = kTaps;
    constexpr int kBlock = 8;
    const size_t planeLen = size_t(sw) + 2 * kPad;
    std::vector<float> block(planeLen * 3 * kBlock);
    std::vector<float> horiz(size_t(sh) * size_t(w) * 3);
    const uint8_t* base = src.Pixels();
    const int stride = src.Stride();
    for (int r0 = 0; r0 < sh; r0 += kBlock) {
        const int rows = std::min(kBlock, sh - r0);
        for (int b = 0; b < kBlock; ++b) {
            const uint8_t* row = base + size_t(r0 + std::min(b, rows - 1)) * size_t(stride);
            for (int ch = 0; ch < 3; ++ch) {
                float* plane = block.data() + planeLen * kBlock * ch;
                for (int x = -kPad; x < sw + kPad; ++x)
                    plane[size_t(x + kPad) * kBlock + b] = row[size_t(ClampIndex(x, sw)) * 3 + ch];
            }
        }
        for (int j = 0; j < w; ++j) {
            const Taps& t = cols[j];
            for (int ch = 0; ch < 3; ++ch) {
                const float* p = block.data() + planeLen * kBlock * ch + size_t(t.first + kPad) * kBlock;
                float sum[kBlock] = {};
                for (int k = 0; k < kTaps; ++k)
                    for (int b = 0; b < kBlock; ++b) sum[b] += p[k * kBlock + b] * t.weight[k];
                for (int b = 0; b < rows; ++b) horiz[(size_t(r0 + b) * size_t(w) + size_t(j)) * 3 + ch] = sum[b];
            }
        }
    }
    std::vector<float> acc(size_t(w) * 3);
    for (int i = dst.i0; i < dst.i1; ++i) {
        const Taps t = LanczosTaps((i + 0.5f) * scaleY - 0.5f);
        std::fill(acc.begin(), acc.end(), 0.0f);
        for (int k = 0; k < kTaps; ++k) {
            const float wy = t.weight[k];
            if (wy == 0.0f) continue;
            const float* in = horiz.data() + size_t(ClampIndex(t.first + k, sh)) * size_t(w) * 3;
            float* a = acc.data();
            for (size_t n = 0; n < acc.size(); ++n) a[n] += in[n] * wy;
        }
        uint8_t* out = dst.Row(i);
        for (size_t n = 0; n < acc.size(); ++n) out[n] = ClampToByte(acc[n]);
    }
}

}  // namespace

void CDibImage::StretchFrom(const RECT* rect, const CDibImage& source) {
    FlushSurface();
    source.FlushSurface();
    if (!m_pixels) return;
    RECT r{0, 0, Width(), Height()};
    if (rect) r = *rect;
    const int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
    if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX) return;

    // Destination row 0 is the rectangle's bottom row in stored order.
    DestWindow dst;
    dst.pixels = m_pixels.get();
    dst.stride = size_t(m_stride);
    dst.firstRow = int64_t(Height()) - r.bottom;
    dst.left = r.left;
    dst.i0 = int(std::max<int64_t>(0, -dst.firstRow));
    dst.i1 = int(std::min<int64_t>(h, int64_t(Height()) - dst.firstRow));
    dst.j0 = int(std::max<int64_t>(0, -dst.left));
    dst.j1 = int(std::min<int64_t>(w, int64_t(Width()) - dst.left));
    if (dst.i0 >= dst.i1 || dst.j0 >= dst.j1) return;  // wholly outside the image

    if (!source.HasPixels() || source.Width() == 0 || source.Height() == 0) {
        Fill(&r, 0x00FFFFFF);
        return;
    }
    const float scaleX = float(source.Width()) / float(w);
    const float scaleY = float(source.Height()) / float(h);

    if (scaleX > 1.0f && scaleY > 1.0f) {
        ShrinkBothAxes(source, dst, scaleX, scaleY);
    } else if (scaleX <= 1.0f && scaleY <= 1.0f) {
        EnlargeBothAxes(source, dst, scaleX, scaleY);
    } else {
        for (int i = dst.i0; i < dst.i1; ++i) {
            uint8_t* out = dst.Row(i);
            const float y = (i + 0.5f) * scaleY - 0.5f;
            for (int j = dst.j0; j < dst.j1; ++j, out += 3) {
                const uint32_t px = source.SampleArea((j + 0.5f) * scaleX - 0.5f, y, scaleX, scaleY);
                out[0] = uint8_t(px);
                out[1] = uint8_t(px >> 8);
                out[2] = uint8_t(px >> 16);
            }
        }
    }
}
