// The grab engine (Grab All in the window, sheets and sprites in the tool)
// gives at each position the picture the player shows there: the same
// pictures to the byte, the same labels, the same blank-picture replacements,
// on every kind of clip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "grabbing/grab_sequence.h"
#include "grabbing/target_grabs.h"
#include "base/index_pool.h"
#include "support/test_paths.h"
#include "decoding/exact_seeker.h"
#include "decoding/key_frame_index.h"
#include "decoding/media_source.h"
#include "playback/movie_player.h"
#include "grabbing/segment_grabber.h"

namespace {

struct Grabs {
    std::vector<std::string> labels;
    std::vector<std::vector<uint8_t>> pixels;
};

std::vector<uint8_t> Pixels(const CDibImage& image) {
    std::vector<uint8_t> pixels;  // row padding left out: nothing reads it
    for (int r = 0; r < image.Height(); ++r)
        pixels.insert(pixels.end(), image.StoredRow(r), image.StoredRow(r) + size_t(image.Width()) * 3);
    return pixels;
}

void Keep(Grabs& grabs, const GrabbedFrame& frame) {
    grabs.labels.push_back(frame.label);
    grabs.pixels.push_back(Pixels(*frame.image));
}

// What a stopped player shows at each of Grab All's positions; with
// `skipBlank`, a blank picture gives way to the first later one that is not
// blank, looked for by stepping the player.
Grabs ThroughPlayer(const std::string& movie, int n, bool skipBlank) {
    Grabs grabs;
    CMoviePlayer player;
    player.SetSoundEnabled(false);
    EXPECT_EQ(player.Open(movie), 0) << player.GetLastErrorText();
    player.Stop();
    const double duration = player.GetDuration();
    const std::vector<double> positions = EvenStepPositions(0.0, duration, n);
    const std::vector<double> latest = EvenStepLimits(0.0, duration, n, kBlankLookAhead);
    const PictureProbe probe = [&](double at, GrabbedFrame& frame, double& shown) {
        if (!player.SetPosition(at, true)) return false;
        shown = player.GetCurrentFrameTime();
        frame = FrameOfPicture(*player.CurrentPicture(), at);
        return true;
    };
    for (size_t k = 0; k < positions.size(); ++k) {
        GrabbedFrame frame;
        double shown = -1.0;
        if (!probe(positions[k], frame, shown) || !frame.image) continue;
        if (skipBlank && IsNearlyUniform(*frame.image)) {
            GrabbedFrame later = FirstAcceptedAfter(positions[k], shown, player.GetFrameDuration(),
                                                    std::min(latest[k], duration), probe, IsNearlyUniform);
            if (later.image) frame = std::move(later);
        }
        Keep(grabs, frame);
    }
    return grabs;
}

Grabs GrabOnly(const std::string& movie, int n, bool skipBlank) {
    Grabs grabs;
    SegmentGrabber grabber;
    int32_t width = 0, height = 0;
    EXPECT_TRUE(OpenGrabSource(grabber, movie, width, height));
    const double duration = grabber.Info().duration;
    const std::vector<double> positions = EvenStepPositions(0.0, duration, n);
    const std::vector<double> latest = EvenStepLimits(0.0, duration, n, kBlankLookAhead);
    TargetGrabHooks hooks;
    size_t expected = 0;
    hooks.take = [&](size_t index, GrabbedFrame frame) {
        EXPECT_EQ(index, expected++);  // in order, whichever worker finished first
        if (frame.image) Keep(grabs, frame);
    };
    if (skipBlank) hooks.rejects = IsNearlyUniform;
    int taken = 0;
    EXPECT_TRUE(GrabTargets(grabber, positions, latest, hooks, {}, &taken));
    EXPECT_EQ(taken, n);
    return grabs;
}

void ExpectSameGrabs(const std::string& clip, int n, bool skipBlank = false) {
    SCOPED_TRACE(clip);
    const std::string movie = (TestDataDir() / clip).string();
    const Grabs player = ThroughPlayer(movie, n, skipBlank);
    const Grabs only = GrabOnly(movie, n, skipBlank);
    ASSERT_EQ(only.labels, player.labels);
    ASSERT_EQ(only.pixels.size(), player.pixels.size());
    for (size_t k = 0; k < only.pixels.size(); ++k) EXPECT_TRUE(only.pixels[k] == player.pixels[k]) << "frame " << k;
}

}  // namespace

TEST(TargetGrabs, SameFramesAsGrabAllOnEveryKindOfClip) {
    for (const char* clip : {"h264_aac.mp4", "mpeg2.mpg", "vp9.webm", "wmv2.wmv", "mjpeg.avi", "odd.mp4",
                             "anamorphic.mp4", "rotated.mp4", "tenbit.mp4", "vfr_gaps.mp4", "bt709_full.mp4",
                             "hdr_smpte2084.mp4", "hdr_arib-std-b67.mp4"})
        ExpectSameGrabs(clip, 9);
    // Long groups of pictures: many positions share a segment.
    ExpectSameGrabs("long100.mp4", 30);
}

TEST(TargetGrabs, BlankPicturesAreReplacedAsGrabAllReplacesThem) {
    ExpectSameGrabs("blank_gaps.mp4", 3, true);
    ExpectSameGrabs("blank_gaps.mp4", 11, true);
}

TEST(TargetGrabs, SegmentsFollowKeyFramesAndProgressStops) {
    SegmentGrabber grabber;
    std::string message;
    ASSERT_EQ(grabber.Open((TestDataDir() / "long100.mp4").string(), message), 0) << message;
    // A key frame every 10 s: positions every 2.5 s make four to a segment.
    std::vector<double> positions;
    for (int k = 0; k < 36; ++k) positions.push_back(2.5 * k + 1.0);
    const std::vector<size_t> starts = grabber.SegmentStarts(positions, {});
    EXPECT_EQ(starts, (std::vector<size_t>{0, 4, 8, 12, 16, 20, 24, 28, 32}));
    // Key frames given from outside split the same way.
    std::vector<double> keys;
    for (int k = 0; k < 10; ++k) keys.push_back(10.0 * k);
    EXPECT_EQ(grabber.SegmentStarts(positions, keys), starts);

    TargetGrabHooks hooks;
    int taken = 0;
    hooks.take = [&](size_t, GrabbedFrame frame) { taken += frame.image ? 1 : 0; };
    hooks.progress = [](int done, int) { return done < 5; };
    int count = 0;
    EXPECT_TRUE(GrabTargets(grabber, positions, {}, hooks, {}, &count));  // a stop is no failure
    EXPECT_EQ(count, 5);
    EXPECT_EQ(taken, 5);
    // Stopped part way, the source still grabs afterwards.
    hooks.progress = nullptr;
    taken = 0;
    EXPECT_TRUE(GrabTargets(grabber, {50.0, 90.0}, {}, hooks, {}, &count));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(taken, 2);
    // The key frames are still known after the decoders have worked.
    EXPECT_EQ(grabber.SegmentStarts(positions, {}), starts);
}

// A key frame decoded alone is the picture an exact grab just after it gives.
TEST(TargetGrabs, KeyFrameAloneIsTheExactPicture) {
    for (const char* clip : {"h264_aac.mp4", "mpeg2.mpg", "long100.mp4"}) {
        SCOPED_TRACE(clip);
        const std::string movie = (TestDataDir() / clip).string();
        const KeyFrameTimes keys = ReadKeyFrameTimes(movie);
        ASSERT_GE(keys.times.size(), 2u);
        SegmentGrabber grabber;
        std::string message;
        ASSERT_EQ(grabber.Open(movie, message), 0) << message;
        std::vector<double> positions;
        TargetGrabHooks hooks;
        for (double key : keys.times) {
            positions.push_back(key + grabber.Info().frameDuration / 4);
            hooks.keyFrames.push_back(key);
        }
        std::vector<std::vector<uint8_t>> alone, decoded;
        hooks.take = [&](size_t, GrabbedFrame frame) {
            ASSERT_TRUE(frame.image);
            Grabs grabs;
            Keep(grabs, frame);
            alone.push_back(grabs.pixels[0]);
        };
        ASSERT_TRUE(GrabTargets(grabber, positions, {}, hooks));
        hooks.keyFrames.clear();
        hooks.take = [&](size_t, GrabbedFrame frame) {
            Grabs grabs;
            Keep(grabs, frame);
            decoded.push_back(grabs.pixels[0]);
        };
        ASSERT_TRUE(GrabTargets(grabber, positions, {}, hooks));
        ASSERT_EQ(alone.size(), keys.times.size());
        EXPECT_TRUE(alone == decoded);
        // Decoded alone indeed (a key frame that is not is grabbed as usual
        // instead, which the pictures above cannot tell): on one thread and
        // on frame threads, which give a picture only after later packets.
        for (int threads : {1, 4}) {
            SCOPED_TRACE(threads);
            ExactSeeker seeker;
            ASSERT_EQ(seeker.Open(movie, message, threads), 0) << message;
            for (size_t k = 0; k < keys.times.size(); ++k) {
                CDibImage image;
                double time = -1.0;
                ASSERT_TRUE(seeker.KeyFrameInto(keys.times[k], image, time)) << keys.times[k];
                EXPECT_NEAR(time, keys.times[k], 1e-3);
                EXPECT_TRUE(Pixels(image) == alone[k]) << keys.times[k];
            }
        }
    }
}

// Another decoder that cannot open the movie (a share gone away part way) fails
// the grab with a reason, instead of ending it short as if it were whole.
TEST(TargetGrabs, ADecoderThatCannotOpenFailsTheGrab) {
    if (CoreCount() < 2) GTEST_SKIP() << "one core: no second decoder is opened";
    SegmentGrabber grabber;
    std::string message;
    ASSERT_EQ(grabber.Open((TestDataDir() / "long100.mp4").string(), message), 0) << message;
    SetMovieReader({[](const std::string&, AVIOInterruptCB) -> AVIOContext* { return nullptr; },
                    [](AVIOContext*) {}});
    TargetGrabHooks hooks;
    hooks.take = [](size_t, GrabbedFrame) {};
    int taken = 0;
    const OpResult grabbed = GrabTargets(grabber, EvenStepPositions(0.0, 100.0, 30), {}, hooks, {}, &taken);
    SetMovieReader({});
    EXPECT_FALSE(grabbed);
    EXPECT_NE(grabbed.message.find("cannot open"), std::string::npos) << grabbed.message;
    EXPECT_LT(taken, 30);
}

TEST(TargetGrabs, RefusesWhatHasNoPicture) {
    SegmentGrabber grabber;
    int32_t width = 0, height = 0;
    const OpResult sound = OpenGrabSource(grabber, (TestDataDir() / "audioonly.m4a").string(), width, height);
    EXPECT_FALSE(sound);
    EXPECT_NE(sound.message.find("no picture"), std::string::npos) << sound.message;
    const OpResult missing = OpenGrabSource(grabber, (TestDataDir() / "nothing-here.mp4").string(), width, height);
    EXPECT_FALSE(missing);
    EXPECT_FALSE(missing.message.empty());
}
