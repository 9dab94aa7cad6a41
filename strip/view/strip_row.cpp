#include "strip/view/strip_row.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "image/dib_image.h"
#include "strip/frame_list.h"
#include "strip/view/strip_labels.h"

namespace {

// Copies the part of `thumb` that falls inside both the cell and the tile.
// Reads never go past the thumbnail, whatever size it was made at.
void CopyThumbnail(QImage& tile, int tileLeft, const QRect& cell, const CDibImage& thumb) {
    if (!thumb.HasPixels()) return;
    const int width = std::min(cell.width(), int(thumb.Width()));
    const int height = std::min({cell.height(), int(thumb.Height()), tile.height()});
    const int x0 = std::max(cell.left(), tileLeft);
    const int x1 = std::min(cell.left() + width, tileLeft + tile.width());
    if (x0 >= x1 || height <= 0) return;
    const int storedRows = thumb.Height();
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = thumb.StoredRow(storedRows - 1 - y) + size_t(x0 - cell.left()) * 3;
        auto* dst = reinterpret_cast<QRgb*>(tile.scanLine(cell.top() + y)) + (x0 - tileLeft);
        for (int x = x0; x < x1; ++x, src += 3) *dst++ = qRgb(src[2], src[1], src[0]);
    }
}

}  // namespace

StripRow::StripRow() : m_font(StripLabelFont()) {}

void StripRow::Reset(const StripGeometry& geometry, const FrameList* frames, QColor background) {
    m_geometry = geometry;
    m_frames = frames;
    m_background = background;
    m_contentWidth = geometry.ContentWidth(frames ? frames->Count() : 0);
    m_tiles.clear();
    m_tiles.resize(size_t((m_contentWidth + kTileWidth - 1) / kTileWidth));
}

int StripRow::DrawnTileCount() const {
    return int(std::count_if(m_tiles.begin(), m_tiles.end(),
                             [](const QImage& t) { return !t.isNull(); }));
}

void StripRow::Paint(QPainter& painter, int scrollPos, int width) {
    if (m_geometry.ClientHeight() <= 0 || width <= 0) return;
    const int first = std::max(scrollPos, 0) / kTileWidth;
    const int last = std::min((scrollPos + width - 1) / kTileWidth, int(m_tiles.size()) - 1);
    for (int index = first; index <= last; ++index)
        painter.drawImage(QPoint(index * kTileWidth - scrollPos, 0), Tile(index));
}

const QImage& StripRow::Tile(int index) {
    QImage& tile = m_tiles[size_t(index)];
    if (tile.isNull()) {
        const int left = index * kTileWidth;
        const int width = std::min(kTileWidth, m_contentWidth - left);
        tile = QImage(width, m_geometry.ClientHeight(), QImage::Format_RGB32);
        DrawTile(index, tile);
    }
    return tile;
}

void StripRow::DrawTile(int index, QImage& tile) const {
    tile.fill(m_background);
    const int count = m_frames ? m_frames->Count() : 0;
    const int left = index * kTileWidth;
    const int right = left + tile.width();
    const int first = std::max(m_geometry.FrameAt(left), 0);
    const int last = std::min(m_geometry.FrameAt(right - 1), count - 1);
    if (first > last) return;

    for (int i = first; i <= last; ++i) {
        const CapturedFrame* frame = m_frames->At(i);
        if (frame && frame->thumbnail)
            CopyThumbnail(tile, left, m_geometry.ThumbRect(i), *frame->thumbnail);
    }

    QPainter painter(&tile);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(m_font);
    painter.setPen(Qt::black);
    painter.translate(-left, 0);
    const QFontMetricsF metrics(m_font);
    const double baseline = m_geometry.ThumbHeight() + std::ceil(metrics.ascent());
    for (int i = first; i <= last; ++i) {
        const CapturedFrame* frame = m_frames->At(i);
        const QRect box = m_geometry.LabelRect(i);
        if (!frame || box.width() <= 0) continue;
        painter.setClipRect(box);
        painter.drawText(QPointF(box.left(), baseline),
                         StripLabelText(frame->label, metrics, box.width()));
    }
}
