#pragma once
// The area between slider and strip where the movie is drawn: black without a
// movie, the player's picture letterboxed otherwise.
#include <QWidget>
#include <functional>

class CMoviePlayer;

class CVideoArea : public QWidget {
    Q_OBJECT
public:
    explicit CVideoArea(QWidget* parent = nullptr);
    // Asked at every paint: the player to draw, or null for black.
    void SetSource(std::function<const CMoviePlayer*()> source) { m_source = std::move(source); }
    // Called after every size change (the player is told where to draw).
    void SetResizeHook(std::function<void()> hook) { m_resized = std::move(hook); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::function<const CMoviePlayer*()> m_source;
    std::function<void()> m_resized;
};
