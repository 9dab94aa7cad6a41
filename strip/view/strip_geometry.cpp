#include "strip/view/strip_geometry.h"

#include <algorithm>

namespace {

// Division rounding toward minus infinity (positions left of the row are negative).
int FloorDiv(long long a, long long b) {
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return int(q);
}

}  // namespace

void StripGeometry::SetClientSize(int width, int height) {
    m_clientWidth = std::max(width, 0);
    m_clientHeight = std::max(height, 0);
    // A client lower than the label band leaves empty cells rather than negative ones.
    m_thumbHeight = std::max(m_clientHeight - kLabelHeight, 0);
    m_thumbWidth = int(float(m_thumbHeight) * kAspect);
}

int StripGeometry::ContentWidth(int count) const {
    const long long row = kGap + (long long)std::max(count, 0) * Pitch();
    return int(std::max<long long>(m_clientWidth, std::min<long long>(row, 0x7FFFFFFF)));
}

int StripGeometry::MaxScroll(int count) const {
    return std::max(ContentWidth(count) - m_clientWidth, 0);
}

int StripGeometry::ClampScroll(int pos, int count) const {
    return std::clamp(pos, 0, MaxScroll(count));
}

int StripGeometry::FrameAt(int contentX) const { return FloorDiv(contentX, Pitch()); }

int StripGeometry::BoundaryAt(int contentX) const {
    // floor(x / p + 1/2) == floor((2x + p) / 2p), exact in integers.
    return FloorDiv(2LL * contentX + Pitch(), 2LL * Pitch());
}

QRect StripGeometry::ThumbRect(int index) const {
    return QRect(kGap + index * Pitch(), 0, m_thumbWidth, m_thumbHeight);
}

QRect StripGeometry::LabelRect(int index) const {
    const int left = kGap + index * Pitch();
    const int right = m_thumbWidth + index * Pitch();
    return QRect(left, m_thumbHeight, std::max(right - left, 0), kLabelHeight);
}
