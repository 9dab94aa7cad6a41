#pragma once
// The area between slider and strip where the movie is drawn: black without a
// movie, the player's picture letterboxed otherwise.
#include <QWidget>
#include <functional>

#include "decoding/video_image.h"

class QPainter;

// Fills `area` black and draws `picture` (when there is one) centred in it, as
// large as fits at the picture's own aspect.
void PaintLetterboxed(QPainter& painter, const QRect& area, const VideoImage* picture);

class CVideoArea : public QWidget {
    Q_OBJECT
public:
    explicit CVideoArea(QWidget* parent = nullptr);
    // Asked at every paint: the picture to draw, or null for black.
    void SetSource(std::function<VideoImagePtr()> source) { m_source = std::move(source); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<VideoImagePtr()> m_source;
};
