// Grab Current and Grab All.
#include <QCoreApplication>
#include <QObject>
#include <QScopedValueRollback>
#include <QTimer>
#include <algorithm>
#include <string>

#include "app/app_message.h"
#include "app/main_frame.h"
#include "app/sheet_options_access.h"
#include "app/user_settings.h"
#include "app/video_area.h"
#include "base/typed_number.h"
#include "frames/frame_pick.h"
#include "grabbing/background_grab.h"
#include "grabbing/grab_sequence.h"
#include "playback/movie_player.h"
#include "strip/view/thumb_strip.h"
#include "widgets/progress_steps.h"
#include "widgets/prompts.h"

namespace {

// Where the way of choosing Grab All's frames is remembered.
const QString kPickKey = QStringLiteral("grabAll/pick");

// How often the progress box is brought up to date while no frame arrives,
// so that it repaints and answers Cancel at once.
constexpr int kProgressRefreshMs = 100;
// Waiting for the grabbing threads handles what they post, timers and
// repaints; the user's input waits (the progress box takes it once shown),
// so no other command runs while Grab All does.
constexpr QEventLoop::ProcessEventsFlags kWaitWithoutInput =
    QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents;

}  // namespace

void CMainFrame::OnGrabCurrent() {
    if (!m_player) return;
    const VideoImagePtr picture = m_player->CurrentPicture();
    if (!picture) return;
    // The label is the position read after the picture was taken.
    GrabbedFrame frame = FrameOfPicture(*picture, m_player->GetCurrentPosition());
    if (frame.image) m_strip->AddFrame(std::move(frame.image), frame.label.c_str());
}

void CMainFrame::OnGrabAll() {
    if (!m_player) return;
    SheetOptions& options = CurrentSheetOptions();
    std::string text = std::to_string(options.frameCount);
    // The way of choosing is the user's habit, kept beside the window's
    // other habits, not in the options file.
    FramePick pick = FramePick::Exact;
    PickFromName(UserSettings::Value(kPickKey).toString().toStdString(), pick);
    const std::vector<FramePick> ways = {FramePick::Exact, FramePick::Best, FramePick::Shots};
    std::vector<std::string> titles;
    for (FramePick way : ways) titles.push_back(PickTitle(way));
    int choice = int(std::find(ways.begin(), ways.end(), pick) - ways.begin());
    if (!Prompts::Current().AskTextAndChoice(nullptr, "Number of Frames to Extract: ", text, titles, choice)) return;
    if (choice >= 0 && choice < int(ways.size())) pick = ways[size_t(choice)];
    UserSettings::SetValue(kPickKey, QString::fromUtf8(PickName(pick)));
    const int n = AtoiLike(text);
    options.frameCount = n;

    int32_t width = 0;
    int32_t height = 0;
    m_player->GetNativeVideoSize(&width, &height);
    if (const OpResult fits = CheckGrabMemory(width, height, n); !fits) {
        ShowAppMessage(this, fits.message, Prompts::Icon::Warning);
        return;
    }

    OnStop();
    const std::vector<double> positions = EvenStepPositions(0.0, m_player->GetDuration(), n);
    if (positions.empty()) return;
    double last = -1.0;
    const OpResult grabbed = GrabPositions(positions, last, pick);
    if (m_closeAfterGrab) {
        // The window was asked to close meanwhile: it closes now, with the
        // frames taken so far in the strip.
        m_closeAfterGrab = false;
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    // The movie stays stopped where the last frame was taken, as if the
    // player had stepped there.
    if (m_player && last >= 0.0) {
        m_player->SetPosition(last, true);
        SetSliderPos(m_player->GetCurrentPosition());
        m_videoArea->update();
    }
    if (!grabbed) ShowAppMessage(this, "No frames could be grabbed: " + grabbed.message, Prompts::Icon::Warning);
}

OpResult CMainFrame::GrabPositions(const std::vector<double>& positions, double& last, FramePick pick) {
    // While the grab runs, a close of the window (a logout, a compositor's
    // close) waits for it to end instead of taking the movie away under it.
    const QScopedValueRollback<bool> grabbing(m_grabbing, true);
    EventPause pause(*this);
    ProgressSteps progress(this, QStringLiteral("Grabbing frames..."));
    // Wakes this thread's event loop from the grabbing threads; queued calls
    // still waiting when it goes are dropped with it.
    QObject waker;
    QTimer refresh;
    refresh.start(kProgressRefreshMs);
    BackgroundGrab::Way way;
    if (pick != FramePick::Exact) {
        way = [pick](SegmentGrabber& grabber, const std::string& movie, const std::vector<double>& at,
                     const TargetGrabHooks& hooks, const std::atomic<bool>& stopped) {
            return GrabChosenFrames(pick, grabber, movie, at, {}, hooks, nullptr, &stopped);
        };
    }
    BackgroundGrab grab(m_player->GetFileName(), positions,
                        [&waker] { QMetaObject::invokeMethod(&waker, [] {}, Qt::QueuedConnection); }, way);
    const int total = int(positions.size());
    int done = 0;
    while (true) {
        // Read before taking, so that frames that came just before the end
        // are still collected below.
        const bool finished = grab.Finished();
        for (GrabbedFrame& frame : grab.Take()) {
            if (frame.image) {
                m_strip->AddFrame(std::move(frame.image), frame.label.c_str());
                // A chosen frame stands at its own time.
                last = frame.time >= 0.0 ? frame.time : positions[size_t(done)];
            }
            ++done;
        }
        // Frames taken before a Cancel stay in the strip; later ones are not
        // added.
        if (!progress.Step(done, total) || m_closeAfterGrab) break;
        if (finished) break;
        QCoreApplication::processEvents(kWaitWithoutInput);
    }
    // After a Cancel the threads give way within a picture's decode; the run
    // waits for them as it goes.
    grab.Stop();
    return progress.Cancelled() || m_closeAfterGrab ? OpResult::Success() : grab.Result();
}
