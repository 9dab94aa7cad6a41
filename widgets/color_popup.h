#pragma once
// The drop-down of CColorButton: a borderless window with an "Automatic" box,
// a grid of 40 named colours and a "More Colors..." box. It reports every
// change of the hovered item and, once, how the selection ended; then it
// closes and deletes itself.
#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

#include "image/gdi_types.h"

// Not a colour: "automatic", shown as the button's default colour.
constexpr COLORREF AUTOMATIC_COLOR = 0xFF000000;

struct NamedColor {
    COLORREF color;
    const char* name;
};

class CColorPopup : public QWidget {
    Q_OBJECT
public:
    static constexpr int kColorCount = 40;
    static constexpr int kColumns = 8;
    static constexpr int kRows = 5;
    // Items: 0-39 are the grid cells, row-major.
    static constexpr int kAutomatic = -3;
    static constexpr int kCustom = -2;
    static constexpr int kNone = -1;

    static const NamedColor kColors[kColorCount];

    // Opens at `topLeft` (screen coordinates, the owner's bottom-left corner)
    // and takes the mouse and keyboard. An empty text leaves its box out.
    CColorPopup(QPoint topLeft, int ownerHeight, COLORREF initial, QWidget* owner,
                const QString& defaultText, const QString& customText);

    int HoveredItem() const { return m_hovered; }
    int ChosenItem() const { return m_chosenItem; }
    // Drawn rectangle of an item in window coordinates (empty for none).
    QRect ItemRect(int item) const;
    // The item under a point in window coordinates, or kNone.
    int ItemAt(QPoint point) const;

    // Where a window with the rectangle `window` goes to stay inside `screen`:
    // moved left or right by the excess, or, when it passes the bottom, above
    // the owner whose bottom edge it hangs from.
    static QPoint FitOnScreen(const QRect& window, const QRect& screen, int ownerHeight);

signals:
    // The hovered item changed: the initial colour for "More Colors...",
    // AUTOMATIC_COLOR for "Automatic", else the cell's colour.
    void ColorPicked(uint color);
    // The selection ended (sent once, just before the popup closes).
    void ColorAccepted(uint color);
    void ColorCancelled(uint color);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

private:
    void Layout(QPoint topLeft, int ownerHeight);
    void ChangeHovered(int item);
    int NextItem(int key) const;
    void EndSelection(bool accept);
    void PaintCell(QPainter& painter, int index) const;
    void PaintTextBox(QPainter& painter, int item) const;
    bool HasDefault() const { return !m_defaultText.isEmpty(); }
    bool HasCustom() const { return !m_customText.isEmpty(); }

    int m_boxSize = 18;
    int m_margin = 2;
    int m_hovered = kNone;
    int m_chosenItem = kNone;
    QString m_defaultText;
    QString m_customText;
    QRect m_customRect;
    QRect m_defaultRect;
    int m_cellTop = 0;
    QFont m_font;
    COLORREF m_initialColor;
    COLORREF m_chosenColor;
    bool m_colorDialogOpen = false;
    bool m_ended = false;
};
