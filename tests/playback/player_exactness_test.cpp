// Grabbed frames against the frames the ffmpeg command line extracts at the
// same times, across codecs, containers and picture geometries.
#include "tests/playback/player_test_support.h"

namespace {

struct ClipCase {
    const char* file;
    int width;   // picture as the viewer sees it
    int height;
    const char* cliFilter;  // what makes the command line's frame comparable
    bool cliFromStart = false;  // the command line's own seek is not exact here
};

std::ostream& operator<<(std::ostream& os, const ClipCase& c) { return os << c.file; }

class PlayerExactness : public ::testing::TestWithParam<ClipCase> {};

// All clips run at 25 frames per second. The command line gives the first
// frame at or after t; the player gives the last frame at or before its
// target. Asking the player for t + 35 ms (t sits midway between frames of
// every clip's grid) makes both name the same frame.
constexpr double kFrameStepShift = 0.035;

TEST_P(PlayerExactness, GrabsMatchCommandLineFrames) {
    const ClipCase& c = GetParam();
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip(c.file)), 0) << player.GetLastErrorText();
    player.Stop();
    // Backward, forward within a group of pictures, far forward, and back to
    // the start: the grab path keeps its decoder between calls.
    for (double t : {1.02, 0.5, 0.62, 1.46, 0.02, 1.9}) {
        SCOPED_TRACE(t);
        ASSERT_TRUE(player.SetPosition(t + kFrameStepShift, true));
        EXPECT_DOUBLE_EQ(player.GetCurrentPosition(), t + kFrameStepShift);
        Picture grabbed = Grab(player);
        ASSERT_EQ(grabbed.width, c.width);
        ASSERT_EQ(grabbed.height, c.height);
        Picture reference = CliFrame(Clip(c.file), t, c.width, c.height, c.cliFilter, c.cliFromStart);
        ASSERT_FALSE(reference.bgr.empty()) << "command line gave no frame";
        EXPECT_GE(Psnr(grabbed, reference), 45.0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Clips, PlayerExactness,
    ::testing::Values(ClipCase{"h264_aac.mp4", 320, 240, ""}, ClipCase{"mpeg2.mpg", 320, 240, "", true},
                      ClipCase{"vp9.webm", 320, 240, ""}, ClipCase{"wmv2.wmv", 320, 240, ""},
                      ClipCase{"x.wmv/movie.bin", 320, 240, ""}, ClipCase{"mjpeg.avi", 320, 240, ""},
                      ClipCase{"noaudio.mp4", 320, 240, ""}, ClipCase{"odd.mp4", 321, 241, ""},
                      ClipCase{"anamorphic.mp4", 465, 240, "scale=465:240"},
                      ClipCase{"rotated.mp4", 240, 320, ""}, ClipCase{"tenbit.mp4", 320, 240, ""},
                      ClipCase{"bt709_full.mp4", 320, 240, ""}),
    [](const ::testing::TestParamInfo<ClipCase>& info) {
        std::string name = info.param.file;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

TEST(PlayerExactness, NativeSizeIsCodedSizeTurnedByRotation) {
    CMoviePlayer player;
    int32_t w = 0, h = 0;
    ASSERT_EQ(player.Open(Clip("rotated.mp4")), 0);
    ASSERT_TRUE(player.GetNativeVideoSize(&w, &h));
    EXPECT_EQ(w, 240);
    EXPECT_EQ(h, 320);
    ASSERT_EQ(player.Open(Clip("anamorphic.mp4")), 0);
    ASSERT_TRUE(player.GetNativeVideoSize(&w, &h));
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
}

TEST(PlayerExactness, GrabAllLabelsAndFramesOnHundredSecondMovie) {
    // Grab All's loop: from 0, step D / (N + 1) from the reported position.
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("long100.mp4")), 0) << player.GetLastErrorText();
    player.Stop();
    ASSERT_TRUE(player.SetPosition(0.0, true));
    const double duration = player.GetDuration();
    ASSERT_NEAR(duration, 100.0, 0.05);
    const int n = 4;
    const double step = duration / (n + 1);
    for (int k = 1; k <= n; ++k) {
        double target = player.GetCurrentPosition() + step;
        ASSERT_TRUE(player.SetPosition(target, true));
        const double position = player.GetCurrentPosition();
        EXPECT_EQ(int(position), 20 * k) << position;
        Picture grabbed = Grab(player);
        ASSERT_EQ(grabbed.width, 64);
        // 20 k s lies on a frame: the command line's frame there is the one.
        Picture reference = CliFrame(Clip("long100.mp4"), std::floor(position * 25.0 + 1e-3) / 25.0, 64, 48);
        EXPECT_GE(Psnr(grabbed, reference), 45.0);
    }
}

TEST(PlayerExactness, VariableFrameRateGapsShowThePictureBeforeThem) {
    // vfr_gaps.mp4: gaps of 0.64 s after the B-frames at 0.28, 1.88 and 3.48 s.
    const std::string clip = Clip("vfr_gaps.mp4");
    CMoviePlayer player;
    ASSERT_EQ(player.Open(clip), 0) << player.GetLastErrorText();
    player.Stop();
    // Into each gap (forward without a seek, far from the picture before it),
    // across, backwards, and evenly spaced (decoded ahead): {target, picture}.
    for (auto [t, picture] : std::vector<std::pair<double, double>>{
             {0.78, 0.28}, {0.3, 0.28}, {2.3, 1.88}, {1.0, 1.0}, {3.9, 3.48}, {0.95, 0.28}, {2.55, 1.88},
             {1.5, 1.48}, {3.0, 3.0}, {4.5, 4.48}, {0.0, 0.0}, {2.1, 1.88}, {4.2, 4.2}}) {
        SCOPED_TRACE(t);
        ASSERT_TRUE(player.SetPosition(t, true));
        EXPECT_GE(Psnr(Grab(player), CliFrame(clip, picture, 320, 240)), 45.0);
    }
    // Playing, after a storm of seeks: a seek into a gap shows the picture before it first.
    player.Play();
    for (int i = 0; i < 40; ++i) player.SetPosition(std::fmod(i * 0.37, 5.5), false);
    player.SetPosition(2.3, false);
    EXPECT_TRUE(WaitUntil([&] { return std::fabs(player.GetCurrentPosition() - 1.88) < 1e-3; }, std::chrono::seconds(1)));
}

}  // namespace
