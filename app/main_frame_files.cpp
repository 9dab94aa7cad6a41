// Opening and closing movies, loading a folder of pictures, saving frames.
#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <filesystem>

#include "app/app_message.h"
#include "strip/folder_pictures.h"
#include "strip/frame_files.h"
#include "sheet/movie_details.h"
#include "app/main_frame.h"
#include "app/sheet_options_access.h"
#include "app/video_area.h"
#include "strip/view/thumb_strip.h"
#include "playback/movie_player.h"
#include "widgets/progress_steps.h"

void CMainFrame::OpenMovie(const std::string& path) {
    if (m_player) CloseMovie();
    m_player = std::make_unique<CMoviePlayer>();
    // Called on a player thread: only post a repaint, never wait. The thread
    // touches neither this window nor the video area: the repaint is posted to
    // the application and finds the area, if it is still there, on this
    // thread. (The player's Close also waits for a call in progress and makes
    // no call after it, and CloseMovie runs before the area goes.)
    QPointer<CVideoArea> area(m_videoArea);
    m_player->SetFrameCallback([area] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [area] { if (area) area->update(); }, Qt::QueuedConnection);
    });
    if (m_player->Open(path) < 0) {
        std::string why = m_player->GetLastErrorText();
        if (why.empty()) why = kOpenFailedText;
        // The player goes before the message, so nothing of it runs meanwhile.
        CloseMovie();
        ShowAppMessage(this, why);
        return;
    }
    int32_t width = 0;
    int32_t height = 0;
    m_player->GetNativeVideoSize(&width, &height);
    m_details = DetailsOfMovieFile(path, width, height, m_player->GetDuration());

    m_playMode = ModeStopped;
    m_player->SetTimeFormat(TimeFormat::MediaTime);
    SetSliderRange(m_player->GetDuration());
    SetSliderPos(m_player->GetCurrentPosition());
    WatchPlayerEvents();
    PlaceVideo();
    OnPlay();
    UpdateToolbar();
    emit MovieOpened(path);
}

void CMainFrame::CloseMovie() {
    if (!m_player) return;
    // The notifier goes before the descriptor it watches.
    StopWatchingPlayerEvents();
    m_player->Stop();
    m_player->Close();
    m_playMode = NoMovie;
    SetSliderRange(0.0);
    SetSliderPos(0.0);
    m_player.reset();
    m_tracking = false;
    m_resumeAfterTracking = false;
    UpdateToolbar();
    // The last picture goes with the movie: the area is black again.
    m_videoArea->update();
}

void CMainFrame::LoadFolder(const std::string& folder) {
    FolderListing listing = ListJpegFiles(folder);
    if (!listing.result) {
        ShowAppMessage(this, listing.result.message, Prompts::Icon::Warning);
        return;
    }
    std::vector<FileFailure> failures = std::move(listing.skipped);
    {
        EventPause pause(*this);
        ProgressSteps progress(this, QStringLiteral("Loading pictures..."));
        PictureLoadOptions options;
        options.thumbWidth = m_strip->ThumbWidth();
        options.thumbHeight = m_strip->ThumbHeight();
        options.progress = [&progress](int done, int total) { return progress.Step(done, total); };
        std::vector<LoadedPicture> pictures = LoadPictures(folder, listing.names, options);
        for (LoadedPicture& picture : pictures) {
            if (picture.image) {
                m_strip->AddFrame(std::move(picture.image), picture.name.c_str(),
                                  std::move(picture.thumbnail));
            } else {
                failures.push_back({(std::filesystem::u8path(folder) / picture.name).string(), picture.error});
            }
        }
    }
    if (!failures.empty()) {
        ShowAppMessage(this, DescribeFailures("These files were not loaded:", failures),
                    Prompts::Icon::Warning);
    }
}

void CMainFrame::SaveMultiple(const std::string& folder) {
    std::vector<const CDibImage*> images;
    std::vector<const char*> labels;
    m_strip->GetFrames(images, labels);
    const SheetOptions& options = CurrentSheetOptions();
    std::vector<FileFailure> failures;
    {
        EventPause pause(*this);
        ProgressSteps progress(this, QStringLiteral("Saving frames..."));
        failures = SaveFrameFiles(folder, images, labels, options.jpegQuality, options.progressive != 0,
                                  [&progress](int done, int total) { return progress.Step(done, total); });
    }
    if (!failures.empty()) {
        ShowAppMessage(this, DescribeFailures("These frames could not be saved:", failures),
                    Prompts::Icon::Warning);
    }
}
