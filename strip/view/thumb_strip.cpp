#include "strip/view/thumb_strip.h"

#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <qdrawutil.h>

#include "image/dib_image.h"
#include "strip/view/strip_labels.h"
#include "widgets/input_box.h"

CThumbStrip::CThumbStrip(QWidget* parent)
    : QAbstractScrollArea(parent), m_popupMenu(new QMenu(this)) {
    setFrameShape(QFrame::NoFrame);  // the sunken edge is painted with the row
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The bar stays visible and is only disabled while everything fits.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(false);

    QScrollBar* bar = horizontalScrollBar();
    bar->setSingleStep(kLineStep);
    bar->setTracking(true);  // the thumb scrolls live while dragged
    connect(bar, &QAbstractSlider::actionTriggered, this, &CThumbStrip::OnScrollAction);

    auto addItem = [this](const char* text, int id) {
        QAction* action = m_popupMenu->addAction(QString::fromLatin1(text));
        action->setData(id);
    };
    addItem("Change Label", ID_CHANGE_LABEL);
    m_popupMenu->addSeparator();
    addItem("Delete", ID_DELETE_FRAME);
    addItem("Delete All", ID_DELETE_ALL);

    m_frames.SetRelayoutHook([this] { Relayout(); });
    m_geometry.SetClientSize(viewport()->width(), viewport()->height());
    m_frames.SetThumbSize(m_geometry.ThumbWidth(), m_geometry.ThumbHeight());
    Relayout();
}

CThumbStrip::~CThumbStrip() {
    // The frames go with the list; nothing is laid out for a strip going away.
    m_frames.SetRelayoutHook({});
}

bool CThumbStrip::Create(int x, int y, int width, int height, QWidget* parent) {
    if (parent != parentWidget()) setParent(parent);
    setGeometry(x, y, width, height);
    m_geometry.SetClientSize(width, height);
    m_frames.SetThumbSize(m_geometry.ThumbWidth(), m_geometry.ThumbHeight());
    show();
    Relayout();
    return true;
}

// ---- list operations ------------------------------------------------------

void CThumbStrip::AddFrame(std::unique_ptr<CDibImage> image, const char* label) {
    m_frames.AddFrame(std::move(image), label);
}

void CThumbStrip::AddFrame(std::unique_ptr<CDibImage> image, const char* label,
                           std::unique_ptr<CDibImage> thumbnail) {
    m_frames.AddFrame(std::move(image), label, std::move(thumbnail));
}

void CThumbStrip::GetFrames(std::vector<const CDibImage*>& images,
                            std::vector<const char*>& labels) const {
    m_frames.GetFrames(images, labels);
}

void CThumbStrip::DeleteSelectedFrame() {
    // A drag under way (a right-click while the left button is held) names its
    // frame by index; the frames behind the deleted one move up, so the drag
    // ends rather than move a different frame on release.
    m_dragIndex = -1;
    m_frames.DeleteSelectedFrame();
}

void CThumbStrip::DeleteAllFrames() {
    m_dragIndex = -1;
    m_dropMarkerX = -1;
    m_scrollPos = 0;
    m_frames.DeleteAllFrames();  // lays out through the hook
}

void CThumbStrip::ReplaceSelectedLabel(const char* text) { m_frames.ReplaceSelectedLabel(text); }

void CThumbStrip::MoveFrame(int from, int k) { m_frames.MoveFrame(from, k); }

const CapturedFrame* CThumbStrip::HitTest(int clientX) {
    const int index = m_geometry.FrameAt(m_scrollPos + clientX);
    m_frames.SetSelected(index);  // clears the selection when out of range
    return m_frames.Selected();
}

QString CThumbStrip::ShownLabel(int index) const {
    const CapturedFrame* frame = m_frames.At(index);
    if (!frame) return QString();
    return StripLabelText(frame->label, QFontMetricsF(m_row.LabelFont()),
                          m_geometry.LabelRect(index).width());
}

// ---- layout and painting --------------------------------------------------

void CThumbStrip::Relayout() {
    m_inRelayout = true;
    m_row.Reset(m_geometry, &m_frames, palette().color(QPalette::Base));
    const int maxScroll = m_geometry.MaxScroll(m_frames.Count());
    m_scrollPos = std::clamp(m_scrollPos, 0, maxScroll);

    QScrollBar* bar = horizontalScrollBar();
    bar->setRange(0, maxScroll);
    bar->setPageStep(std::max(m_geometry.ClientWidth(), 1));  // thumb size only
    bar->setValue(m_scrollPos);
    bar->setEnabled(maxScroll > 0);
    m_inRelayout = false;
    RepaintNow();
}

void CThumbStrip::RepaintNow() {
    // Long commands add frame after frame without returning to the event loop;
    // the strip shows each change at once.
    if (viewport()->isVisible())
        viewport()->repaint();
    else
        viewport()->update();
}

bool CThumbStrip::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Resize) {
        const bool handled = QAbstractScrollArea::viewportEvent(event);
        OnSize();
        return handled;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void CThumbStrip::OnSize() {
    m_geometry.SetClientSize(viewport()->width(), viewport()->height());
    // Thumbnails are remade from their full images when the cell changes.
    m_frames.SetThumbSize(m_geometry.ThumbWidth(), m_geometry.ThumbHeight());
    Relayout();
}

void CThumbStrip::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const int clientWidth = m_geometry.ClientWidth();
    const int clientHeight = m_geometry.ClientHeight();
    m_row.Paint(painter, m_scrollPos, clientWidth);

    if (m_dropMarkerX != -1) {
        // Two one-pixel lines: at the marker and one pixel left of it.
        const int x = m_dropMarkerX - m_scrollPos;
        painter.fillRect(QRect(x - 1, 0, 2, clientHeight), Qt::black);
    }
    // The edge's left side stays at the client's left edge and its right side
    // at the content width, out of view while the row is wider than the window.
    qDrawWinPanel(&painter, QRect(0, 0, m_row.ContentWidth(), clientHeight), palette(), true);
}

// ---- scrolling -------------------------------------------------------------

void CThumbStrip::OnScrollAction(int action) {
    QScrollBar* bar = horizontalScrollBar();
    const int count = m_frames.Count();
    switch (action) {
    case QAbstractSlider::SliderPageStepAdd:
        // Page steps are 50 pixels whatever the window width.
        bar->setSliderPosition(m_geometry.ClampScroll(m_scrollPos + kPageStep, count));
        break;
    case QAbstractSlider::SliderPageStepSub:
        bar->setSliderPosition(m_geometry.ClampScroll(m_scrollPos - kPageStep, count));
        break;
    case QAbstractSlider::SliderToMinimum:
    case QAbstractSlider::SliderToMaximum:
        // Jumps to either end are not strip commands: the position stays.
        bar->setSliderPosition(m_scrollPos);
        break;
    default:
        break;  // line steps and thumb moves as the bar computes them
    }
}

void CThumbStrip::scrollContentsBy(int, int) {
    m_scrollPos = m_geometry.ClampScroll(horizontalScrollBar()->value(), m_frames.Count());
    if (!m_inRelayout) RepaintNow();
}

// ---- mouse -----------------------------------------------------------------

void CThumbStrip::mousePressEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    if (event->button() == Qt::LeftButton) {
        // Qt keeps the mouse grabbed by the strip until the button goes up.
        HitTest(x);
        const int index = m_geometry.FrameAt(m_scrollPos + x);
        m_dragIndex = (index >= 0 && index < m_frames.Count()) ? index : -1;
    } else if (event->button() == Qt::RightButton) {
        OnRightButtonDown(event);
    }
}

void CThumbStrip::mouseMoveEvent(QMouseEvent* event) {
    m_dropMarkerX = -1;
    if (!(event->buttons() & Qt::LeftButton)) return;
    const int k = m_geometry.BoundaryAt(m_scrollPos + event->position().toPoint().x());
    // A boundary left of the first frame gets no marker either.
    if (k >= 0 && k <= m_frames.Count()) m_dropMarkerX = m_geometry.MarkerX(k);
    RepaintNow();
}

void CThumbStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (m_dragIndex != -1) {
        // Only x decides the drop; boundaries outside 0..count end the drag
        // with nothing moved.
        const int k = m_geometry.BoundaryAt(m_scrollPos + event->position().toPoint().x());
        if (k >= 0 && k <= m_frames.Count() && k != m_dragIndex) m_frames.MoveFrame(m_dragIndex, k);
    }
    m_dragIndex = -1;
    m_dropMarkerX = -1;
    Relayout();
}

void CThumbStrip::OnRightButtonDown(QMouseEvent* event) {
    if (!HitTest(event->position().toPoint().x())) return;
    QAction* chosen = RunPopupMenu(*m_popupMenu, event->globalPosition().toPoint());
    if (chosen) OnCommand(chosen->data().toInt());
}

QAction* CThumbStrip::RunPopupMenu(QMenu& menu, const QPoint& globalPos) {
    return menu.exec(globalPos);
}

void CThumbStrip::OnCommand(int id) {
    switch (id) {
    case ID_CHANGE_LABEL: ChangeSelectedLabel(); break;
    case ID_DELETE_FRAME: DeleteSelectedFrame(); break;
    case ID_DELETE_ALL: DeleteAllFrames(); break;
    default: break;
    }
}

void CThumbStrip::ChangeSelectedLabel() {
    const CapturedFrame* selected = m_frames.Selected();
    if (!selected) return;
    CInputBox box(window());
    box.SetPrompt("Change Label To: ");
    box.SetText(selected->label);
    if (box.DoModal() == CInputBox::kOk) ReplaceSelectedLabel(box.GetText().c_str());
}
