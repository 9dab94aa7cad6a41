#pragma once
// The drawn row of the strip: background, thumbnails and labels. The row can be
// far wider than any single pixmap (1,000 frames make about 126,000 pixels), so
// it is kept as fixed-width tiles. A change of the list or of the size drops all
// tiles; each tile is then drawn once, the first time it comes into view, and
// painting or scrolling only copies tiles.
#include <QColor>
#include <QFont>
#include <QImage>
#include <vector>

#include "strip/view/strip_geometry.h"

class FrameList;
class QPainter;

class StripRow {
public:
    static constexpr int kTileWidth = 1024;

    StripRow();

    // Forgets every drawn tile. `frames` must outlive the next Reset.
    void Reset(const StripGeometry& geometry, const FrameList* frames, QColor background);

    // Copies the row from content x `scrollPos` on to the painter's origin,
    // `width` pixels wide.
    void Paint(QPainter& painter, int scrollPos, int width);

    int ContentWidth() const { return m_contentWidth; }
    int DrawnTileCount() const;
    const QFont& LabelFont() const { return m_font; }

private:
    const QImage& Tile(int index);
    void DrawTile(int index, QImage& tile) const;

    StripGeometry m_geometry;
    const FrameList* m_frames = nullptr;
    QColor m_background;
    int m_contentWidth = 0;
    std::vector<QImage> m_tiles;  // null image: not drawn since the last change
    QFont m_font;
};
