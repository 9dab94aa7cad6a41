#include "widgets/color_popup.h"

#include <QApplication>
#include <qdrawutil.h>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QToolTip>
#include <algorithm>

#include "widgets/prompts.h"

const NamedColor CColorPopup::kColors[kColorCount] = {
    {MakeRgb(0, 0, 0), "Black"},
    {MakeRgb(165, 42, 0), "Brown"},
    {MakeRgb(0, 64, 64), "Dark Olive Green"},
    {MakeRgb(0, 85, 0), "Dark Green"},
    {MakeRgb(0, 0, 94), "Dark Teal"},
    {MakeRgb(0, 0, 139), "Dark blue"},
    {MakeRgb(75, 0, 130), "Indigo"},
    {MakeRgb(40, 40, 40), "Dark grey"},
    {MakeRgb(139, 0, 0), "Dark red"},
    {MakeRgb(255, 104, 32), "Orange"},
    {MakeRgb(139, 139, 0), "Dark yellow"},
    {MakeRgb(0, 147, 0), "Green"},
    {MakeRgb(56, 142, 142), "Teal"},
    {MakeRgb(0, 0, 255), "Blue"},
    {MakeRgb(123, 123, 192), "Blue-grey"},
    {MakeRgb(102, 102, 102), "Grey - 40"},
    {MakeRgb(255, 0, 0), "Red"},
    {MakeRgb(255, 173, 91), "Light orange"},
    {MakeRgb(50, 205, 50), "Lime"},
    {MakeRgb(60, 179, 113), "Sea green"},
    {MakeRgb(127, 255, 212), "Aqua"},
    {MakeRgb(125, 158, 192), "Light blue"},
    {MakeRgb(128, 0, 128), "Violet"},
    {MakeRgb(127, 127, 127), "Grey - 50"},
    {MakeRgb(255, 192, 203), "Pink"},
    {MakeRgb(255, 215, 0), "Gold"},
    {MakeRgb(255, 255, 0), "Yellow"},
    {MakeRgb(0, 255, 0), "Bright green"},
    {MakeRgb(64, 224, 208), "Turquoise"},
    {MakeRgb(192, 255, 255), "Skyblue"},
    {MakeRgb(72, 0, 72), "Plum"},
    {MakeRgb(192, 192, 192), "Light grey"},
    {MakeRgb(255, 228, 225), "Rose"},
    {MakeRgb(210, 180, 140), "Tan"},
    {MakeRgb(255, 255, 224), "Light yellow"},
    {MakeRgb(152, 251, 152), "Pale green "},
    {MakeRgb(175, 238, 238), "Pale turquoise"},
    {MakeRgb(104, 131, 139), "Pale blue"},
    {MakeRgb(230, 230, 250), "Lavender"},
    {MakeRgb(255, 255, 255), "White"},
};

namespace {

QColor ToQColor(COLORREF c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

// A thin (one pixel) raised or sunken edge.
void ThinEdge(QPainter& painter, const QRect& rect, const QPalette& palette, bool sunken) {
    qDrawShadeRect(&painter, rect, palette, sunken, 1, 0);
}

}  // namespace

CColorPopup::CColorPopup(QPoint topLeft, int ownerHeight, COLORREF initial, QWidget* owner,
                         const QString& defaultText, const QString& customText)
    // Owned by the button, so the popup also goes when the button's dialog does.
    : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint),
      m_defaultText(defaultText),
      m_customText(customText),
      m_font(QApplication::font("QMessageBox")),
      m_initialColor(initial),
      m_chosenColor(initial) {
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFont(m_font);

    m_margin = std::max(1, style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this));
    if (m_boxSize - 2 * m_margin - 2 < 5) m_boxSize = 2 * m_margin + 7;

    if (initial == AUTOMATIC_COLOR && HasDefault()) {
        m_chosenItem = kAutomatic;
    } else {
        const auto* found = std::find_if(std::begin(kColors), std::end(kColors),
                                         [initial](const NamedColor& c) { return c.color == initial; });
        if (found != std::end(kColors)) m_chosenItem = int(found - std::begin(kColors));
        else if (HasCustom()) m_chosenItem = kCustom;
    }
    Layout(topLeft, ownerHeight);
    // Switching to another application ends the selection as a cancel.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive && !m_colorDialogOpen) EndSelection(false);
    });
}

void CColorPopup::Layout(QPoint topLeft, int ownerHeight) {
    const int m = m_margin;
    const int b = m_boxSize;
    int textWidth = 0;
    int textHeight = 0;
    if (HasDefault() || HasCustom()) {
        const QFontMetrics metrics(m_font);
        for (const QString* text : {&m_defaultText, &m_customText}) {
            if (text->isEmpty()) continue;
            const QRect bounds = metrics.boundingRect(*text);
            textWidth = std::max(textWidth, metrics.horizontalAdvance(*text));
            textHeight = std::max(textHeight, bounds.height());
        }
        textWidth += 2 * m;
        textHeight += 4 * m + 2;
    }
    int width = kColumns * b + 2 * m;
    int height = kRows * b + 2 * m;
    m_cellTop = m;
    if (HasDefault()) {
        width = std::max(width, textWidth);
        m_defaultRect = QRect(QPoint(m, m), QPoint(width - m, 2 * m + textHeight));
        height += 3 * m + textHeight;
        m_cellTop += m + textHeight + m;
    }
    if (HasCustom()) {
        width = std::max(width, textWidth);
        m_customRect = QRect(QPoint(m, height), QPoint(width - m, height + m + textHeight));
        height += 3 * m + textHeight;
    }
    // The boxes' right and bottom edges above are exclusive, as the items'
    // rectangles are; QRect's own are inclusive.
    m_defaultRect.adjust(0, 0, -1, -1);
    m_customRect.adjust(0, 0, -1, -1);
    if (m_defaultRect.isEmpty()) m_defaultRect = QRect();
    if (m_customRect.isEmpty()) m_customRect = QRect();

    QScreen* screen = QGuiApplication::screenAt(topLeft);
    if (!screen && parentWidget()) screen = parentWidget()->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect window(topLeft, QSize(width, height));
    setFixedSize(width, height);
    move(screen ? FitOnScreen(window, screen->geometry(), ownerHeight) : topLeft);
}

QPoint CColorPopup::FitOnScreen(const QRect& window, const QRect& screen, int ownerHeight) {
    QPoint place = window.topLeft();
    const int right = place.x() + window.width();
    if (right > screen.x() + screen.width()) place.rx() -= right - (screen.x() + screen.width());
    if (place.x() < screen.x()) place.setX(screen.x());
    if (place.y() + window.height() > screen.y() + screen.height())
        place.ry() -= window.height() + ownerHeight;
    return place;
}

QRect CColorPopup::ItemRect(int item) const {
    if (item == kAutomatic) return m_defaultRect;
    if (item == kCustom) return m_customRect;
    if (item < 0 || item >= kColorCount) return {};
    const int column = item % kColumns;
    const int row = item / kColumns;
    return QRect(column * m_boxSize + m_margin, row * m_boxSize + m_cellTop, m_boxSize, m_boxSize);
}

int CColorPopup::ItemAt(QPoint point) const {
    if (m_customRect.contains(point)) return kCustom;
    if (m_defaultRect.contains(point)) return kAutomatic;
    for (int i = 0; i < kColorCount; ++i)
        if (ItemRect(i).contains(point)) return i;
    return kNone;
}

void CColorPopup::ChangeHovered(int item) {
    if (item == m_hovered) return;
    const int previous = m_hovered;
    m_hovered = item;
    update(ItemRect(previous));
    update(ItemRect(item));
    if (item == kCustom) {
        emit ColorPicked(m_initialColor);
        return;
    }
    if (item == kAutomatic) m_chosenColor = AUTOMATIC_COLOR;
    else if (item >= 0) m_chosenColor = kColors[item].color;
    else return;
    emit ColorPicked(m_chosenColor);
}

// The key table: "none" counts as row -1, column -1; moves that leave the grid
// go to the boxes below and above it when they are there.
int CColorPopup::NextItem(int key) const {
    const int last = kColorCount - 1;
    const bool a = HasDefault();
    const bool m = HasCustom();
    const int item = m_hovered;
    const int row = item >= 0 ? item / kColumns : -1;
    const int column = item >= 0 ? item % kColumns : -1;
    auto cell = [](int r, int c) {
        return r >= 0 && r < kRows && c >= 0 && c < kColumns ? r * kColumns + c : kNone;
    };
    const int belowGrid = m ? kCustom : a ? kAutomatic : 0;
    const int aboveGrid = a ? kAutomatic : m ? kCustom : last;
    int target = kNone;
    switch (key) {
        case Qt::Key_Down:
            if (item == kAutomatic) return 0;
            if (item == kCustom) return a ? kAutomatic : 0;
            target = cell(row + 1, column);
            return target != kNone ? target : belowGrid;
        case Qt::Key_Up:
            if (item == kAutomatic) return m ? kCustom : last;
            if (item == kCustom) return last;
            return row > 0 ? cell(row - 1, column) : aboveGrid;
        case Qt::Key_Right:
            if (item == kAutomatic) return 0;
            if (item == kCustom) return a ? kAutomatic : 0;
            target = column < kColumns - 1 ? cell(row, column + 1) : cell(row + 1, 0);
            return target != kNone ? target : belowGrid;
        case Qt::Key_Left:
            if (item == kAutomatic) return m ? kCustom : last;
            if (item == kCustom) return last;
            if (column > 0) return cell(row, column - 1);
            return row > 0 ? cell(row - 1, kColumns - 1) : aboveGrid;
        default:
            return item;
    }
}

void CColorPopup::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Down:
        case Qt::Key_Up:
        case Qt::Key_Left:
        case Qt::Key_Right:
            ChangeHovered(NextItem(event->key()));
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            EndSelection(true);
            return;
        case Qt::Key_Escape:
            m_chosenColor = m_initialColor;
            EndSelection(false);
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void CColorPopup::mouseMoveEvent(QMouseEvent* event) {
    const int item = ItemAt(event->position().toPoint());
    if (item != kNone) ChangeHovered(item);
}

// A press, inside or outside, only starts the click; the release decides.
void CColorPopup::mousePressEvent(QMouseEvent* event) { event->accept(); }

void CColorPopup::mouseReleaseEvent(QMouseEvent* event) {
    EndSelection(rect().contains(event->position().toPoint()));
}

// Closed from outside (the application lost activation, the owner went away):
// the selection ends as a cancel.
void CColorPopup::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!m_ended && !m_colorDialogOpen) EndSelection(false);
}

bool CColorPopup::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int item = ItemAt(help->pos());
        if (item >= 0) QToolTip::showText(help->globalPos(), QString::fromLatin1(kColors[item].name), this, ItemRect(item));
        else QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void CColorPopup::EndSelection(bool accept) {
    if (m_ended) return;
    if (accept && m_hovered == kCustom) {
        // The popup steps aside while the full colour dialog is up; closing
        // it there is not the end of the selection.
        m_colorDialogOpen = true;
        hide();
        COLORREF color = m_initialColor & 0x00FFFFFF;
        if (Prompts::Current().ChooseColor(parentWidget(), color)) m_chosenColor = color;
        else accept = false;
        m_colorDialogOpen = false;
    }
    if (!accept) m_chosenColor = m_initialColor;
    m_ended = true;
    if (accept) emit ColorAccepted(m_chosenColor);
    else emit ColorCancelled(m_chosenColor);
    close();  // and deleted, later
}

void CColorPopup::PaintCell(QPainter& painter, int index) const {
    const QRect rect = ItemRect(index);
    const bool hovered = index == m_hovered;
    const bool chosen = index == m_chosenItem;
    painter.fillRect(rect, palette().color(chosen && !hovered ? QPalette::Light : QPalette::Button));
    if (hovered) ThinEdge(painter, rect, palette(), false);
    else if (chosen) ThinEdge(painter, rect, palette(), true);
    const QRect swatch = rect.adjusted(m_margin + 1, m_margin + 1, -(m_margin + 1), -(m_margin + 1));
    painter.fillRect(swatch, ToQColor(kColors[index].color));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
}

void CColorPopup::PaintTextBox(QPainter& painter, int item) const {
    QRect rect = ItemRect(item);
    const bool custom = item == kCustom;
    if (custom) {
        // Separator: a shadow line with a highlight line under it.
        const int y = rect.top();
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(rect.left() + 2 * m_margin, y, rect.right() - 2 * m_margin, y);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(rect.left() + 2 * m_margin, y + 1, rect.right() - 2 * m_margin, y + 1);
        rect.setTop(rect.top() + 2 * m_margin);
    }
    const bool hovered = item == m_hovered;
    const bool chosen = item == m_chosenItem;
    painter.fillRect(rect, palette().color(QPalette::Button));
    const QRect inner = rect.adjusted(1, 1, -1, -1);
    painter.fillRect(inner, palette().color(chosen && !hovered ? QPalette::Midlight : QPalette::Button));
    if (!custom) {
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawRect(inner.adjusted(2 * m_margin, 2 * m_margin, -2 * m_margin - 1, -2 * m_margin - 1));
    }
    if (hovered) ThinEdge(painter, inner, palette(), false);
    else if (chosen) ThinEdge(painter, inner, palette(), true);
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(inner, Qt::AlignCenter | Qt::TextSingleLine, custom ? m_customText : m_defaultText);
}

void CColorPopup::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(m_font);
    if (HasDefault()) PaintTextBox(painter, kAutomatic);
    for (int i = 0; i < kColorCount; ++i) PaintCell(painter, i);
    if (HasCustom()) PaintTextBox(painter, kCustom);
    qDrawWinPanel(&painter, rect(), palette(), false);
}
