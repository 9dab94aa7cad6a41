#include "app/video_area.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

void PaintLetterboxed(QPainter& painter, const QRect& area, const VideoImage* picture) {
    painter.fillRect(area, Qt::black);
    if (!picture || picture->width <= 0 || picture->height <= 0 || !area.isValid()) return;
    const double scale =
        std::min(double(area.width()) / picture->width, double(area.height()) / picture->height);
    const int w = std::max(1, int(std::lround(picture->width * scale)));
    const int h = std::max(1, int(std::lround(picture->height * scale)));
    const QRect target(area.x() + (area.width() - w) / 2, area.y() + (area.height() - h) / 2, w, h);
    // A view of the picture's pixels, which the shared pointer keeps alive.
    const QImage view(reinterpret_cast<const uchar*>(picture->pixels.data()), picture->width,
                      picture->height, picture->width * 4, QImage::Format_RGB32);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, view);
}

CVideoArea::CVideoArea(QWidget* parent) : QWidget(parent) {
    // Every pixel is painted here; nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

void CVideoArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const VideoImagePtr picture = m_source ? m_source() : nullptr;
    PaintLetterboxed(painter, rect(), picture.get());
}
