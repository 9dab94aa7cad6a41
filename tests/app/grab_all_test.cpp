// Grab All on the main window while the grabbing threads are held up: the
// progress box comes, Cancel ends the command, the frames taken before stay
// and the movie stands stopped at the last of them; and the way of choosing
// the frames, taken in its input box.
#include <QComboBox>
#include <QLineEdit>
#include <QProgressDialog>
#include <cstdlib>
#include <QSlider>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

#include "app/main_frame.h"
#include "base/index_pool.h"
#include "grabbing/grab_sequence.h"
#include "playback/movie_player.h"
#include "sheet/movie_details.h"
#include "strip/view/thumb_strip.h"
#include "support/scripted_prompts.h"
#include "support/stand_in_reader.h"
#include "support/test_paths.h"
#include "widgets/input_box.h"
#include "widgets/when_modal.h"

TEST_F(StandInReaders, GrabAllCancelledKeepsTheFramesTakenAndStopsAtTheLast) {
    if (CoreCount() < 2) GTEST_SKIP() << "one core: a single decoder takes every frame";
    ScriptedPrompts prompts;
    CMainFrame frame;
    frame.OpenMovie((TestDataDir() / "long100.mp4").string());
    ASSERT_EQ(frame.Mode(), ModePlaying);
    // The grab's first decoder (its open) reads; the next stalls in its open,
    // so the frames of the first key-frame segments arrive and the later
    // ones wait behind the stalled segment.
    g.stallFrom = g.opened + 1;
    g.stall = true;
    // Cancel once the box is up and the first segment's frames are in,
    // however long a busy machine takes for them.
    bool cancelled = false;
    std::function<void(QProgressDialog*)> cancelWhenFramesCame = [&](QProgressDialog* box) {
        if (frame.Strip().FrameCount() < 3) {
            WhenModalShown<QProgressDialog>(cancelWhenFramesCame, 2000);
            return;
        }
        cancelled = true;
        box->cancel();
    };
    WhenModalShown<QProgressDialog>(cancelWhenFramesCame, 2000);
    prompts.texts = {"30"};
    frame.OnGrabAll();
    EXPECT_TRUE(cancelled);
    // Those before the stalled segment, in order.
    const int count = frame.Strip().FrameCount();
    ASSERT_GE(count, 3);
    ASSERT_LT(count, 30);
    const std::vector<double> positions = EvenStepPositions(0.0, 100.0, 30);
    for (int k = 0; k < count; ++k)
        EXPECT_EQ(frame.Strip().Frames().At(k)->label, FormatTimeLabel(positions[size_t(k)])) << k;
    EXPECT_EQ(frame.Mode(), ModeStopped);
    EXPECT_NEAR(frame.Player()->GetCurrentPosition(), positions[size_t(count - 1)], 1e-6);
    EXPECT_EQ(frame.Slider().value(), int(positions[size_t(count - 1)]));
    EXPECT_TRUE(prompts.messages.empty());  // a Cancel is no failure
    g.stall = false;
}

// The way of choosing in Grab All's own input box, beside the count: one per
// shot gives a frame of each shot of the spliced clip, the choice is
// remembered in the user's settings and offered again.
TEST(GrabAllChoice, OnePerShotFromTheInputBoxAndRememberedForNextTime) {
    ScratchDir config;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string oldConfig = old ? old : "";
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    CMainFrame frame;
    frame.OpenMovie((TestDataDir() / "shots.mp4").string());
    ASSERT_EQ(frame.Mode(), ModePlaying);
    int offered = -1;
    WhenModalShown<CInputBox>([&](CInputBox* box) {
        auto* choice = box->findChild<QComboBox*>(QStringLiteral("choice"));
        ASSERT_NE(choice, nullptr);
        ASSERT_EQ(choice->count(), 3);
        EXPECT_EQ(choice->itemText(2), QStringLiteral("One per shot"));
        offered = choice->currentIndex();
        box->findChild<QLineEdit*>(QStringLiteral("edit"))->setText(QStringLiteral("6"));
        choice->setCurrentIndex(2);
        box->accept();
    });
    frame.OnGrabAll();
    EXPECT_EQ(offered, 0);  // exact times until chosen otherwise
    ASSERT_EQ(frame.Strip().FrameCount(), 6);
    // One label in each shot (cuts at 2.0, 7.04, 12.0 s; changes near 4.5, 9.5 s).
    const char* inShot[][2] = {{"00:00:00", "00:00:01"}, {"00:00:02", "00:00:04"}, {"00:00:05", "00:00:06"},
                               {"00:00:07", "00:00:09"}, {"00:00:10", "00:00:11"}, {"00:00:12", "00:00:13"}};
    for (int k = 0; k < 6; ++k) {
        const std::string label = frame.Strip().Frames().At(k)->label;
        EXPECT_GE(label, inShot[k][0]) << k;
        EXPECT_LE(label, inShot[k][1]) << k;
    }
    EXPECT_EQ(frame.Mode(), ModeStopped);
    WhenModalShown<CInputBox>([&](CInputBox* box) {
        offered = box->findChild<QComboBox*>(QStringLiteral("choice"))->currentIndex();
        box->reject();
    });
    frame.OnGrabAll();
    EXPECT_EQ(offered, 2);
    EXPECT_EQ(frame.Strip().FrameCount(), 6);
    if (old) setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
}

// A close of the window while Grab All waits for its threads (a logout, a
// compositor's close: no user input, so it gets through) waits for the grab
// to give way, then closes the window with the frames taken so far.
TEST_F(StandInReaders, ClosingTheWindowDuringGrabAllEndsTheGrabThenCloses) {
    ScriptedPrompts prompts;
    CMainFrame frame;
    frame.show();
    frame.OpenMovie((TestDataDir() / "long100.mp4").string());
    g.stallFrom = g.opened.load();  // every reader of the grab stalls
    g.stall = true;
    QTimer::singleShot(100, &frame, [&] { frame.close(); });
    prompts.texts = {"30"};
    frame.OnGrabAll();
    EXPECT_TRUE(frame.isVisible());  // not closed under the grab
    EXPECT_TRUE(prompts.messages.empty());
    QCoreApplication::processEvents();
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(frame.Player(), nullptr);
    g.stall = false;
}

