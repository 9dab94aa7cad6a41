// Grab Current and Grab All.
#include <string>

#include "app/app_message.h"
#include "grabbing/grab_sequence.h"
#include "app/main_frame.h"
#include "app/sheet_options_access.h"
#include "app/video_area.h"
#include "strip/view/thumb_strip.h"
#include "playback/movie_player.h"
#include "widgets/progress_steps.h"
#include "widgets/prompts.h"

void CMainFrame::OnGrabCurrent() {
    if (!m_player) return;
    GrabbedFrame frame = GrabCurrentFrame(*m_player);
    if (frame.image) m_strip->AddFrame(std::move(frame.image), frame.label.c_str());
}

void CMainFrame::OnGrabAll() {
    if (!m_player) return;
    SheetOptions& options = CurrentSheetOptions();
    std::string text = std::to_string(options.frameCount);
    if (!Prompts::Current().AskText(nullptr, "Number of Frames to Extract: ", text)) return;
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
    EventPause pause(*this);
    ProgressSteps progress(this, QStringLiteral("Grabbing frames..."));
    GrabAllHooks hooks;
    hooks.afterSeek = [this](double) {
        SetSliderPos(m_player->GetCurrentPosition());
        m_videoArea->update();
    };
    hooks.take = [this](GrabbedFrame frame) {
        m_strip->AddFrame(std::move(frame.image), frame.label.c_str());
    };
    // Frames grabbed before a Cancel stay in the strip.
    hooks.progress = [&progress](int done, int total) { return progress.Step(done, total); };
    GrabEvenlySpaced(*m_player, n, hooks);
}
