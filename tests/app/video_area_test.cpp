// The video area: pictures letterboxed, black once the movie is closed, and
// safe from the player's threads whatever happens to the window.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include "app/main_frame.h"
#include "app/reelcap_app.h"
#include "app/video_area.h"
#include "res/commands.h"
#include "support/scripted_prompts.h"
#include "support/test_paths.h"
#include "playback/movie_player.h"

namespace {

TEST(VideoArea, PlayerPictureIsLetterboxedWithBlackBars) {
    CMoviePlayer player;
    player.SetSoundEnabled(false);
    ASSERT_EQ(player.Open((TestDataDir() / "noaudio.mp4").string()), 0);
    const VideoImagePtr picture = player.CurrentPicture();
    ASSERT_TRUE(picture);
    QImage canvas(400, 400, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        PaintLetterboxed(painter, canvas.rect(), picture.get());
    }
    // 320 x 240 fits as 400 x 300, centred: bars of 50 rows above and below.
    EXPECT_EQ(canvas.pixel(200, 10), qRgb(0, 0, 0));
    EXPECT_EQ(canvas.pixel(200, 390), qRgb(0, 0, 0));
    EXPECT_NE(canvas.pixel(200, 200), qRgb(0, 0, 0));
    EXPECT_NE(canvas.pixel(200, 60), qRgb(255, 255, 255));
    // Without a picture the whole area is black.
    QPainter painter(&canvas);
    PaintLetterboxed(painter, canvas.rect(), nullptr);
    painter.end();
    EXPECT_EQ(canvas.pixel(200, 200), qRgb(0, 0, 0));
}

// The window as the screen shows it, without asking for a repaint.
QImage Shown(CMainFrame& frame) {
    return frame.screen()->grabWindow(frame.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// Share of the video area's pixels that are not black, as shown.
double LitShare(CMainFrame& frame) {
    const QImage shot = Shown(frame);
    const QRect area = frame.GetVideoRect().intersected(shot.rect());
    if (area.isEmpty()) return 0.0;
    int lit = 0;
    for (int y = area.top(); y <= area.bottom(); y += 4)
        for (int x = area.left(); x <= area.right(); x += 4)
            if (qGray(shot.pixel(x, y)) > 16) ++lit;
    return double(lit) / ((area.height() + 3) / 4) / ((area.width() + 3) / 4);
}

void Settle(int rounds = 5) {
    for (int i = 0; i < rounds; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Counts the paints of one widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

}  // namespace

// File > Close and Ctrl+W end with the video area black, whichever mode the
// movie was in and although nothing else asks for the area to be repainted.
TEST(VideoArea, ClosingTheMovieLeavesItBlack) {
    const struct {
        const char* way;
        bool stopped;  // else paused
    } cases[] = {{"File > Close", false}, {"Ctrl+W", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.way);
        ScriptedPrompts prompts;
        CReelcapApp app;
        ASSERT_TRUE(app.InitInstance({QString::fromStdString((TestDataDir() / "noaudio.mp4").string())}));
        CMainFrame& frame = *app.MainFrame();
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
        ASSERT_EQ(frame.Mode(), ModePlaying);
        if (c.stopped) frame.OnStop(); else frame.OnPause();
        frame.SeekBy(1.0);
        Settle();
        ASSERT_GT(LitShare(frame), 0.5);
        if (std::string(c.way) == "Ctrl+W")
            QTest::keyClick(&frame, Qt::Key_W, Qt::ControlModifier);
        else
            frame.Action(ID_FILE_CLOSE)->trigger();
        ASSERT_EQ(frame.Mode(), NoMovie);
        Settle();
        EXPECT_EQ(LitShare(frame), 0.0);
    }
}

// The player calls back on its own threads while it plays; a movie closed or
// replaced during playback, or a window destroyed while one plays, must leave
// nothing behind that touches the window or its video area afterwards (the
// sanitized suite sees any such use).
TEST(VideoArea, CloseOrReplaceDuringPlaybackThenDestroyTheWindow) {
    const std::string movie = (TestDataDir() / "noaudio.mp4").string();
    const std::string other = (TestDataDir() / "h264_aac.mp4").string();
    enum Way { Close, Replace, DestroyWhilePlaying };
    for (Way way : {Close, Replace, DestroyWhilePlaying}) {
        SCOPED_TRACE(int(way));
        ScriptedPrompts prompts;
        {
            CMainFrame frame;
            frame.show();
            PaintCounter paints(frame.findChild<CVideoArea*>());
            frame.OpenMovie(movie);
            ASSERT_EQ(frame.Mode(), ModePlaying);
            // Repaints come from the player's pictures.
            const int before = paints.count;
            QElapsedTimer clock;
            clock.start();
            while (paints.count < before + 5 && clock.elapsed() < 5000) Settle(1);
            ASSERT_GE(paints.count, before + 5);
            if (way == Close) frame.CloseMovie();
            if (way == Replace) frame.OpenMovie(other);
        }
        // Repaints posted before the window went find nothing to paint.
        Settle();
    }
}
