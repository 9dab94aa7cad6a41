// Grab All on the main window while the grabbing threads are held up: the
// progress box comes, Cancel ends the command, the frames taken before stay
// and the movie stands stopped at the last of them.
#include <QProgressDialog>
#include <QSlider>
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
