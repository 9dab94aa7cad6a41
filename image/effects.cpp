// Effects behind the sheet's drop shadow: a box blur and a colour darkener.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "image/dib_image.h"

// Box blur over (2r+1)^2 pixels, edges repeated. Column sums are kept for the
// current output row and slid down one row at a time; along a row the window
// sum is slid one column at a time, so each pixel costs a constant few reads.
void CDibImage::Blur(int16_t radius) {
    FlushSurface();
    if (radius < 1 || !m_pixels) return;
    const int r = std::min<int>(radius, 10);
    const int w = Width(), h = Height();
    if (w == 0 || h == 0) return;
    const int side = 2 * r + 1;
    const int area = side * side;

    std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[size_t(m_stride) * size_t(h)]);
    if (!out) return;
    std::memset(out.get(), 0, size_t(m_stride) * size_t(h));

    auto rowAt = [&](int row) { return m_pixels.get() + size_t(std::clamp(row, 0, h - 1)) * size_t(m_stride); };
    // Per column and channel: sum over rows row-r .. row+r.
    std::vector<int> colSum(size_t(w) * 3, 0);
    for (int dy = -r; dy <= r; ++dy) {
        const uint8_t* src = rowAt(dy);
        for (int i = 0; i < w * 3; ++i) colSum[i] += src[i];
    }
    // Division by the window area as a multiply and shift: exact for every
    // possible sum (at most 255 * 441) and much cheaper than dividing.
    const uint64_t reciprocal = (uint64_t(1) << 32) / uint64_t(area) + 1;
    auto divide = [reciprocal](int sum) { return uint8_t((uint64_t(sum) * reciprocal) >> 32); };
    for (int row = 0; row < h; ++row) {
        uint8_t* dst = out.get() + size_t(row) * size_t(m_stride);
        int sb = 0, sg = 0, sr = 0;
        for (int dx = -r; dx <= r; ++dx) {
            const int* c = &colSum[size_t(std::clamp(dx, 0, w - 1)) * 3];
            sb += c[0];
            sg += c[1];
            sr += c[2];
        }
        for (int x = 0; x < w; ++x) {
            dst[x * 3 + 0] = divide(sb);
            dst[x * 3 + 1] = divide(sg);
            dst[x * 3 + 2] = divide(sr);
            const int* enter = &colSum[size_t(std::min(x + r + 1, w - 1)) * 3];
            const int* leave = &colSum[size_t(std::max(x - r, 0)) * 3];
            sb += enter[0] - leave[0];
            sg += enter[1] - leave[1];
            sr += enter[2] - leave[2];
        }
        if (row + 1 < h) {
            const uint8_t* enter = rowAt(row + r + 1);
            const uint8_t* leave = rowAt(row - r);
            for (int i = 0; i < w * 3; ++i) colSum[i] += int(enter[i]) - int(leave[i]);
        }
    }
    m_pixels = std::move(out);
}

COLORREF ScaleColor(COLORREF color, float factor) {
    auto scale = [factor](uint8_t channel) {
        // Out-of-range factors wrap within the channel's 8 bits.
        const float v = std::clamp(float(channel) * factor, -2147483520.0f, 2147483520.0f);
        return uint32_t(uint8_t(int32_t(v)));
    };
    return scale(RedOf(color)) | (scale(GreenOf(color)) << 8) | (scale(BlueOf(color)) << 16);
}
