#pragma once
// Where everything sits in the strip's row: cell size from the client height,
// thumbnail and label boxes, hit testing, drop boundaries and scroll limits.
// All x values are content coordinates (client x plus the scroll position).
#include <QRect>

class StripGeometry {
public:
    static constexpr int kGap = 8;           // gap before each cell
    static constexpr int kLabelHeight = 14;  // label band under the thumbnails
    static constexpr float kAspect = 1.3333334f;

    // Cell height follows the client height; the width is truncated toward zero.
    void SetClientSize(int width, int height);

    int ClientWidth() const { return m_clientWidth; }
    int ClientHeight() const { return m_clientHeight; }
    int ThumbWidth() const { return m_thumbWidth; }
    int ThumbHeight() const { return m_thumbHeight; }
    int Pitch() const { return m_thumbWidth + kGap; }

    // The larger of the client width and the row of `count` cells.
    int ContentWidth(int count) const;
    // Largest scroll position: content width minus client width, never negative.
    int MaxScroll(int count) const;
    int ClampScroll(int pos, int count) const;

    // floor(x / pitch): the frame whose gap-plus-thumbnail area holds x.
    int FrameAt(int contentX) const;
    // floor(x / pitch + 0.5): the boundary nearest to x.
    int BoundaryAt(int contentX) const;
    // Content x of the drop marker for boundary k.
    int MarkerX(int boundary) const { return boundary * Pitch() + kGap / 2; }

    QRect ThumbRect(int index) const;
    // Eight pixels narrower than the cell, flush with its left edge.
    QRect LabelRect(int index) const;

private:
    int m_clientWidth = 0;
    int m_clientHeight = 0;
    int m_thumbWidth = 0;
    int m_thumbHeight = 0;
};
