// Shots of a movie spliced at test time from ffmpeg's patterns with known
// changes (tests/support/make_clips.sh, shots.mp4), found through the grab
// engine; the blank-picture rule and the merging of short shots.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "frames/frame_pick.h"
#include "frames/frame_score.h"
#include "frames/shot_finder.h"
#include "grabbing/segment_grabber.h"
#include "grabbing/target_grabs.h"
#include "support/test_paths.h"

namespace {

struct Change {
    const char* what;
    double from, until;  // where the one boundary must lie (a cut: its frame)
};

// At 25 frames a second. Nothing else may make a boundary: the white flash at
// frame 87, the fast-moving pattern (7.04-9 s) and the fast pan (10-12 s).
const Change kChanges[] = {
    {"cut to colour bars", 2.00, 2.00},
    {"dissolve", 4.00, 5.00},
    {"cut to moving pattern (frame 176)", 7.04, 7.04},
    {"fade through black", 9.00, 10.00},
    {"cut to gradients", 12.00, 12.00},
};

TEST(ShotDetect, FindsEachChangeOnceAndCutsAtTheirFrame) {
    const std::string movie = (TestDataDir() / "shots.mp4").string();
    SegmentGrabber grabber;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(OpenGrabSource(grabber, movie, w, h));
    ShotChanges found;
    double progress = 0.0;
    ShotFinding finding;
    finding.progress = [&](double share) { progress = share; };
    ASSERT_TRUE(FindShots(grabber, movie, found, finding));
    EXPECT_EQ(progress, 1.0);
    ASSERT_EQ(found.shots.size(), std::size(kChanges) + 1);
    EXPECT_EQ(found.shots.front().start, 0.0);
    EXPECT_NEAR(found.shots.back().end, 14.0, 0.05);
    for (size_t k = 0; k < std::size(kChanges); ++k) {
        const Shot& shot = found.shots[k + 1];
        SCOPED_TRACE(kChanges[k].what);
        EXPECT_GE(shot.start, kChanges[k].from - 0.001);
        EXPECT_LE(shot.start, kChanges[k].until + 0.001);
        EXPECT_EQ(shot.firstFrame, std::llround(shot.start * 25));
        EXPECT_EQ(found.shots[k].lastFrame, shot.firstFrame - 1);
        EXPECT_EQ(found.shots[k].end, shot.start);
    }
    EXPECT_EQ(found.shots.back().lastFrame, 349);

    // A stop asked for before is a failure with a reason, not a short list.
    std::atomic<bool> stop{true};
    finding.cancel = &stop;
    EXPECT_FALSE(FindShots(grabber, movie, found, finding));
}

// The frames the choices give, by their own times: one per shot and none in a
// fade or dissolve; best within a third of a step of its time, in order.
TEST(ShotDetect, ChoicesKeepClearOfChangesAndNearTheirTimes) {
    const std::string movie = (TestDataDir() / "shots.mp4").string();
    SegmentGrabber grabber;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(OpenGrabSource(grabber, movie, w, h));
    ShotChanges found;
    ASSERT_TRUE(FindShots(grabber, movie, found));
    const auto timesOf = [&](const std::vector<std::pair<double, double>>& stretches) {
        std::vector<double> times;
        TargetGrabHooks hooks;
        hooks.take = [&](size_t, GrabbedFrame frame) {
            if (frame.image) times.push_back(frame.time);
        };
        EXPECT_TRUE(GrabBestOfSlots(grabber, SlotsInStretches(stretches, 0.04), hooks));
        return times;
    };
    for (int n : {3, 6, 9}) {
        const std::vector<double> times = timesOf(StretchesOfShots(found.shots, found.changes, n));
        ASSERT_EQ(times.size(), size_t(n));
        std::set<size_t> shotsShown;
        for (double t : times) {
            EXPECT_FALSE(t >= 4.0 && t <= 5.0) << t;
            EXPECT_FALSE(t >= 9.0 && t <= 10.0) << t;
            for (size_t k = 0; k < found.shots.size(); ++k)
                if (t >= found.shots[k].start && t < found.shots[k].end) shotsShown.insert(k);
        }
        EXPECT_EQ(shotsShown.size(), std::min<size_t>(size_t(n), found.shots.size())) << n;
        EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    }
    const std::vector<double> targets = EvenStepPositions(0.0, 14.0, 8);
    const double reach = 14.0 / 9 / 3;
    const std::vector<double> best = timesOf(StretchesNear(targets, reach, 14.0));
    ASSERT_EQ(best.size(), targets.size());
    for (size_t k = 0; k < best.size(); ++k) {
        EXPECT_LE(std::abs(best[k] - targets[k]), reach + 0.04) << k;
        EXPECT_FALSE(best[k] >= 4.1 && best[k] <= 4.9) << best[k];  // mid-dissolve
        EXPECT_FALSE(best[k] >= 9.1 && best[k] <= 9.9) << best[k];  // mid-fade
        if (k > 0) EXPECT_GT(best[k], best[k - 1]);
    }
}

TEST(ShotDetect, ShortShotsMergeIntoANeighbour) {
    struct Case {
        std::vector<double> boundaries;
        std::vector<double> starts;
    } cases[] = {
        {{}, {0.0}},
        {{2.0, 2.3, 5.0}, {0.0, 2.3, 5.0}},  // 2.0-2.3 joins the shot before
        {{0.2, 3.0}, {0.0, 3.0}},            // the first short shot joins the next
        {{3.0, 9.8}, {0.0, 3.0}},            // the last, 0.2 s, joins the one before
        {{1.0, 1.2, 1.4, 1.6, 4.0}, {0.0, 1.6, 4.0}},  // a flicker of short shots joins the one before
    };
    for (const Case& c : cases) {
        const std::vector<Shot> shots = ShotsBetween(c.boundaries, 10.0, 0.04);
        ASSERT_EQ(shots.size(), c.starts.size());
        for (size_t k = 0; k < shots.size(); ++k) EXPECT_DOUBLE_EQ(shots[k].start, c.starts[k]);
        EXPECT_EQ(shots.back().lastFrame, 249);
    }
}

SmallPicture Flat(uint8_t level) {
    SmallPicture p;
    p.width = SmallPicture::kWidth;
    p.height = 27;
    p.luma.assign(size_t(p.width) * p.height, level);
    p.colours.fill(0.0f);
    p.colours[size_t((level >> 5) * 16 + 2 * 4 + 2)] = 1.0f;
    return p;
}

TEST(ShotDetect, BlankMeansNearlyAllOneColourWhateverSmallThingsLieOnIt) {
    SmallPicture logo = Flat(16);  // black with a bright logo in a corner and a line of text
    for (int y = 2; y < 6; ++y)
        for (int x = 40; x < 46; ++x) logo.luma[size_t(y) * logo.width + x] = 235;
    for (int x = 8; x < 40; x += 2) logo.luma[size_t(22) * logo.width + x] = 200;
    EXPECT_TRUE(IsBlankPicture(Flat(16)));
    EXPECT_TRUE(IsBlankPicture(Flat(235)));
    EXPECT_TRUE(IsBlankPicture(logo));
    SmallPicture scene = Flat(16);  // a dark scene with a lit half
    for (size_t i = scene.luma.size() / 2; i < scene.luma.size(); ++i) scene.luma[i] = uint8_t(40 + i % 60);
    EXPECT_FALSE(IsBlankPicture(scene));
    FrameScore blank{true, false, 900.0}, fading{false, true, 500.0}, sharp{false, false, 300.0};
    EXPECT_TRUE(BetterFrame(sharp, fading));
    EXPECT_TRUE(BetterFrame(fading, blank));
    EXPECT_FALSE(BetterFrame(FrameScore{false, false, 200.0}, sharp));
}

}  // namespace
