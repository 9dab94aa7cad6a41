#include "app/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollBar>
#include <QSlider>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>

#include "app/video_area.h"
#include "res/app_title.h"
#include "res/commands.h"
#include "res/icons.h"
#include "strip/view/thumb_strip.h"
#include "playback/movie_player.h"

CMainFrame::EventPause::EventPause(CMainFrame& frame) : m_notifier(frame.m_eventNotifier.get()) {
    if (m_notifier) m_notifier->setEnabled(false);
}

CMainFrame::EventPause::~EventPause() {
    if (m_notifier) m_notifier->setEnabled(true);
}

CMainFrame::CMainFrame() {
    setWindowTitle(QString::fromLatin1(kAppTitle));
    setWindowIcon(AppIcon());
    setAcceptDrops(true);
    resize(kWidth, kHeight);

    // The slider refresh runs from the start; it does nothing without a playing movie.
    m_timer = new QTimer(this);
    m_timer->setInterval(500);
    connect(m_timer, &QTimer::timeout, this, &CMainFrame::OnTimer);
    m_timer->start();

    CreateMenus();
    CreateToolBar();
    CreateStatusBar();

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_slider = new QSlider(Qt::Horizontal, central);
    m_slider->setObjectName(QStringLiteral("positionSlider"));
    m_slider->setTickPosition(QSlider::NoTicks);
    m_slider->setRange(0, 0);
    m_slider->setFocusPolicy(Qt::StrongFocus);
    connect(m_slider, &QSlider::actionTriggered, this, [this](int action) {
        switch (action) {
            case QAbstractSlider::SliderSingleStepSub: OnHScroll(TB_LINEUP); break;
            case QAbstractSlider::SliderSingleStepAdd: OnHScroll(TB_LINEDOWN); break;
            case QAbstractSlider::SliderPageStepSub: OnHScroll(TB_PAGEUP); break;
            case QAbstractSlider::SliderPageStepAdd: OnHScroll(TB_PAGEDOWN); break;
            case QAbstractSlider::SliderToMinimum: OnHScroll(TB_TOP); break;
            case QAbstractSlider::SliderToMaximum: OnHScroll(TB_BOTTOM); break;
            case QAbstractSlider::SliderMove:
                // A move without the thumb held (the wheel) is a jump, not a drag:
                // a drag pauses the movie until the thumb is released.
                OnHScroll(m_slider->isSliderDown() ? TB_THUMBTRACK : TB_PAGEDOWN);
                break;
            default: break;
        }
    });
    connect(m_slider, &QSlider::sliderReleased, this, [this] { OnHScroll(TB_ENDTRACK); });

    m_videoArea = new CVideoArea(central);
    m_videoArea->SetSource([this]() -> VideoImagePtr {
        return m_playMode == NoMovie || !m_player ? nullptr : m_player->CurrentPicture();
    });

    m_strip = new CThumbStrip(central);
    m_strip->Create(0, 100, 400, 100, central);

    column->addWidget(m_slider);
    column->addWidget(m_videoArea, 1);
    column->addWidget(m_strip);
    setCentralWidget(central);
    LayoutChildren();
    UpdateToolbar();
}

CMainFrame::~CMainFrame() {
    // The player's threads are stopped before the widgets they repaint go.
    CloseMovie();
}

void CMainFrame::CreateMenus() {
    for (const MenuDef& def : MainMenu()) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(def.title));
        // Once a menu closes the status bar says "Ready" again.
        connect(menu, &QMenu::aboutToHide, statusBar(), &QStatusBar::clearMessage);
        for (const MenuItem& item : def.items) {
            if (item.id == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromLatin1(item.text));
            // An item without a prompt shows an empty message, not "Ready".
            action->setStatusTip(*item.prompt ? QString::fromLatin1(item.prompt) : QStringLiteral(" "));
            action->setData(item.id);
            m_actions[item.id] = action;
        }
    }
}

void CMainFrame::CreateToolBar() {
    m_toolBar = addToolBar(QStringLiteral("Toolbar"));
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(kToolImageWidth, kToolImageHeight));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    for (const ToolButton& button : MainToolbar()) {
        if (button.id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        // No text, so no tooltip: the prompt shows in the status bar instead.
        auto* action = new QAction(QIcon(QPixmap::fromImage(ToolbarImage(button.id))), QString(), this);
        action->setStatusTip(QString::fromLatin1(button.prompt));
        action->setData(button.id);
        m_actions[button.id] = action;
        m_toolBar->addAction(action);
    }
    connect(m_actions[ID_PLAY], &QAction::triggered, this, &CMainFrame::OnPlay);
    connect(m_actions[ID_PAUSE], &QAction::triggered, this, &CMainFrame::OnPause);
    connect(m_actions[ID_STOP], &QAction::triggered, this, &CMainFrame::OnStop);
    connect(m_actions[ID_GRAB_ALL], &QAction::triggered, this, &CMainFrame::OnGrabAll);
    connect(m_actions[ID_GRAB_CURRENT], &QAction::triggered, this, &CMainFrame::OnGrabCurrent);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->addWidget(new QLabel(QString::fromLatin1(kIdleMessage), bar), 1);
    for (const char* key : {"CAP", "NUM", "SCRL"}) {
        auto* pane = new QLabel(QString::fromLatin1(key), bar);
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        bar->addPermanentWidget(pane);
    }
}

QAction* CMainFrame::Action(int id) const {
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

// ---- layout --------------------------------------------------------------

void CMainFrame::LayoutChildren() {
    m_slider->setFixedHeight(kSliderHeight);
    // The strip's drawing area keeps its height whatever this style's scroll
    // bar takes below it.
    m_strip->setFixedHeight(kStripClientHeight + m_strip->horizontalScrollBar()->sizeHint().height());
}

QRect CMainFrame::GetVideoRect() const {
    return QRect(m_videoArea->mapTo(this, QPoint(0, 0)), m_videoArea->size());
}

void CMainFrame::PlaceVideo() {
    m_videoArea->update();
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayoutChildren();
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) UpdateToolbar();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_grabbing) {
        // Grab All ends first and closes the window then.
        m_closeAfterGrab = true;
        event->ignore();
        return;
    }
    // Closing the window ends the program: the movie stops first.
    CloseMovie();
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* data = event->mimeData();
    if (data->hasUrls() && !data->urls().isEmpty() && data->urls().first().isLocalFile()) {
        event->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    const QString path = urls.first().toLocalFile();
    event->acceptProposedAction();
    // Finish the drop first: the file operations may show dialogs.
    QTimer::singleShot(0, this, [this, path] {
        if (QFileInfo(path).isDir()) {
            LoadFolder(path.toStdString());
        } else {
            OpenMovie(path.toStdString());
        }
    });
}

// ---- slider --------------------------------------------------------------

void CMainFrame::SetSliderRange(double duration) {
    if (!std::isfinite(duration) || duration < 0.0) duration = 0.0;
    m_sliderScale = 1.0f;
    while (duration / m_sliderScale > 30000.0) m_sliderScale *= 10.0f;
    const int range = int(duration / m_sliderScale);
    m_slider->setRange(0, range);
    m_slider->setPageStep(range / 9);
}

void CMainFrame::SetSliderPos(double seconds) {
    if (!std::isfinite(seconds)) seconds = 0.0;
    const double steps = seconds / m_sliderScale;
    m_slider->setValue(steps > double(m_slider->maximum()) ? m_slider->maximum() : int(steps));
}

void CMainFrame::SeekBy(double delta) {
    if (!m_player) return;
    // Clamped to the movie; a movie that is not running shows the exact
    // picture at the new position.
    double target = m_player->GetCurrentPosition() + delta;
    if (target > m_player->GetDuration()) target = m_player->GetDuration();
    if (target < 0.0) target = 0.0;
    m_player->SetPosition(target, true);
    SetSliderPos(m_player->GetCurrentPosition());
    // A stopped or paused movie now holds another picture: show it.
    m_videoArea->update();
}

void CMainFrame::OnTimer() {
    if (m_player && m_player->GetState() == Running) SetSliderPos(m_player->GetCurrentPosition());
}

void CMainFrame::OnHScroll(int code) {
    if (!m_player) return;
    // The thumb's time: where the slider itself has put it.
    const double sliderTime = double(unsigned(m_slider->sliderPosition())) * m_sliderScale;
    const double position = m_player->GetCurrentPosition();
    double delta = 0.0;
    switch (code) {
        case TB_LINEUP: delta = -kLineSeconds; break;
        case TB_LINEDOWN: delta = kLineSeconds; break;
        case TB_PAGEUP:
        case TB_PAGEDOWN: delta = sliderTime - position; break;
        case TB_THUMBTRACK:
            if (!m_tracking) {
                m_tracking = true;
                m_resumeAfterTracking = m_playMode == ModePlaying;
                if (m_resumeAfterTracking) OnPause();
            }
            delta = sliderTime - m_player->GetCurrentPosition();
            break;
        case TB_TOP: delta = -position; break;
        case TB_BOTTOM: delta = m_player->GetDuration() - position; break;
        case TB_ENDTRACK:
            m_tracking = false;
            if (m_resumeAfterTracking) {
                OnPause();  // resumes the paused movie
                m_resumeAfterTracking = false;
            }
            return;
        default:
            return;  // TB_THUMBPOSITION and anything else: no seek
    }
    SeekBy(delta);
    SetSliderPos(m_player->GetCurrentPosition());
}

// ---- playback ------------------------------------------------------------

void CMainFrame::OnPlay() {
    if (m_playMode != ModeStopped && m_playMode != ModePaused) return;
    m_player->Play();
    m_playMode = ModePlaying;
    UpdateToolbar();
}

void CMainFrame::OnPause() {
    if (m_playMode == ModePlaying) {
        m_player->Pause();
        SetSliderPos(m_player->GetCurrentPosition());
        m_playMode = ModePaused;
    } else if (m_playMode == ModePaused) {
        m_player->Play();
        m_playMode = ModePlaying;
    }
    UpdateToolbar();
}

void CMainFrame::OnStop() {
    if (!m_player) return;
    if (m_playMode == ModePlaying || m_playMode == ModePaused) {
        m_player->Stop();
        m_playMode = ModeStopped;
    }
    SeekBy(-m_player->GetCurrentPosition());
    UpdateToolbar();
}

void CMainFrame::OnGraphEvent() {
    if (!m_player) return;
    switch (m_player->GetEvent()) {
        case EC_COMPLETE:
        case EC_USERABORT:
        case EC_ERRORABORT:
            OnStop();
            UpdateToolbar();
            break;
        case EC_STEP_COMPLETE:
            UpdateToolbar();
            break;
        default:
            break;
    }
}

void CMainFrame::UpdateToolbar() {
    const bool open = m_playMode != NoMovie;
    m_actions[ID_PLAY]->setEnabled(m_playMode == ModeStopped || m_playMode == ModePaused);
    m_actions[ID_STOP]->setEnabled(m_playMode == ModePlaying || m_playMode == ModePaused);
    m_actions[ID_PAUSE]->setEnabled(m_playMode == ModePlaying);
    m_actions[ID_GRAB_ALL]->setEnabled(open);
    m_actions[ID_GRAB_CURRENT]->setEnabled(open);
}

// ---- player events -------------------------------------------------------

void CMainFrame::WatchPlayerEvents() {
    StopWatchingPlayerEvents();
    if (!m_player) return;
    const int fd = m_player->GetEventHandle();
    if (fd < 0) return;
    // Each open makes a new descriptor, so each gets its own notifier. The
    // notifier fires again while events remain: one event per wake-up.
    m_eventNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_eventNotifier.get(), &QSocketNotifier::activated, this, &CMainFrame::OnGraphEvent);
}

void CMainFrame::StopWatchingPlayerEvents() { m_eventNotifier.reset(); }
