#include "widgets/color_button.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace {

QColor ToQColor(COLORREF c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

// The classic application-workspace grey.
constexpr COLORREF kWorkspaceColor = MakeRgb(171, 171, 171);

}  // namespace

CColorButton::CColorButton(QWidget* parent) : QPushButton(parent), m_defaultColor(kWorkspaceColor) {
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, &CColorButton::OpenPopup);
}

// A popup still open goes first, without reporting to a button half gone.
CColorButton::~CColorButton() {
    if (!m_popup) return;
    m_popup->disconnect(this);
    delete m_popup.data();
}

void CColorButton::SetColor(COLORREF color) {
    m_color = color;
    update();
}

void CColorButton::OpenPopup() {
    if (m_popupOpen) return;
    m_popupOpen = true;
    m_popup = new CColorPopup(mapToGlobal(QPoint(0, height())), height(), m_color, this, m_defaultText,
                              m_customText);
    connect(m_popup, &CColorPopup::ColorPicked, this, &CColorButton::ColorPicked);
    connect(m_popup, &CColorPopup::ColorAccepted, this, &CColorButton::OnPopupAccepted);
    connect(m_popup, &CColorPopup::ColorCancelled, this, &CColorButton::OnPopupCancelled);
    m_popup->show();
    m_popup->setFocus(Qt::PopupFocusReason);
    update();
    emit ColorDropDown(m_color);
}

void CColorButton::OnPopupAccepted(uint color) {
    m_popupOpen = false;
    const COLORREF old = m_color;
    SetColor(color);
    emit ColorCloseUp(color);
    emit ColorAccepted(color);
    if (color != old) emit ColorPicked(color);
}

void CColorButton::OnPopupCancelled(uint color) {
    m_popupOpen = false;
    SetColor(color);
    emit ColorCloseUp(color);
    emit ColorCancelled(color);
}

void CColorButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    option.features &= ~QStyleOptionButton::HasMenu;
    // While the popup is open the button stays pressed and focused.
    const bool pressed = isDown() || m_popupOpen;
    const bool focused = hasFocus() || m_popupOpen;
    const bool enabled = isEnabled();
    option.state &= ~(QStyle::State_Sunken | QStyle::State_Raised);
    option.state |= pressed ? QStyle::State_Sunken : QStyle::State_Raised;
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    QRect content = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (pressed) content.translate(1, 1);
    if (focused) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = content.adjusted(0, 0, -1, 0);
        focus.backgroundColor = palette().color(QPalette::Button);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
    const int ex = 2;
    const int ey = 2;
    content.adjust(ex, ey, -ex, -ey);

    // Right and bottom edges below are exclusive, as in the swatch's drawing.
    const int right = content.right() + 1;
    const int middle = content.top() + content.height() / 2;
    const int arrowLeft = right - ex / 2 - 4;
    const int arrowRight = right - ex / 2;
    const QColor arrowColor = enabled ? QColor(Qt::black) : palette().color(QPalette::Disabled, QPalette::Text);
    const QPoint arrow[3] = {QPoint(arrowLeft, middle - 1), QPoint(arrowRight, middle - 1),
                             QPoint((arrowLeft + arrowRight) / 2, middle + 1)};
    painter.setPen(arrowColor);
    painter.setBrush(arrowColor);
    painter.drawPolygon(arrow, 3);

    const int lineX = arrowLeft - ex / 2;
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(lineX, content.top(), lineX, content.bottom());
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(lineX + 1, content.top(), lineX + 1, content.bottom());

    if (!enabled) return;
    QRect swatch = content;
    swatch.setRight(lineX - (2 * ex + 1) - 1);
    if (swatch.width() <= 0 || swatch.height() <= 0) return;
    const COLORREF shown = m_color == AUTOMATIC_COLOR ? m_defaultColor : m_color;
    painter.fillRect(swatch, ToQColor(shown));
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
}
