#pragma once
// A push button showing a colour swatch and a drop-down arrow. A click opens a
// CColorPopup under it; what happens there reaches the button's parent through
// five signals: ColorDropDown when the popup opens, ColorPicked for every
// hover change, then ColorCloseUp followed by ColorAccepted or ColorCancelled,
// and, after an accept that changed the colour, ColorPicked once more.
#include <QPointer>
#include <QPushButton>
#include <QString>

#include "image/gdi_types.h"
#include "widgets/color_popup.h"

class CColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit CColorButton(QWidget* parent = nullptr);
    ~CColorButton() override;

    // Possibly AUTOMATIC_COLOR.
    COLORREF GetColor() const { return m_color; }
    void SetColor(COLORREF color);
    // Shown when the value is AUTOMATIC_COLOR.
    void SetDefaultColor(COLORREF color) { m_defaultColor = color; }
    COLORREF GetDefaultColor() const { return m_defaultColor; }

    bool IsPopupOpen() const { return m_popupOpen; }
    // The open popup, or null.
    CColorPopup* Popup() const { return m_popup; }

signals:
    void ColorPicked(uint color);
    void ColorDropDown(uint color);
    void ColorCloseUp(uint color);
    void ColorAccepted(uint color);
    void ColorCancelled(uint color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OpenPopup();
    void OnPopupAccepted(uint color);
    void OnPopupCancelled(uint color);

    COLORREF m_color = AUTOMATIC_COLOR;
    COLORREF m_defaultColor;
    QString m_defaultText = QStringLiteral("Automatic");
    QString m_customText = QStringLiteral("More Colors...");
    bool m_popupOpen = false;
    QPointer<CColorPopup> m_popup;
};
