#include "app/video_area.h"

#include <QPainter>

#include "video/movie_player.h"

CVideoArea::CVideoArea(QWidget* parent) : QWidget(parent) {
    // Every pixel is painted here; nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

void CVideoArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const CMoviePlayer* player = m_source ? m_source() : nullptr;
    if (!player || !player->RepaintVideo(painter)) painter.fillRect(rect(), Qt::black);
}

void CVideoArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_resized) m_resized();
}
