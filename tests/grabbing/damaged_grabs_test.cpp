// Damaged movies the ffmpeg tools still play open in the player, in the
// grab-only engine and in reelcap-sheet, and every grab shows what the tools
// show at that time: the last picture that decodes at or before it, or, before
// the first one that decodes, that one. A movie with nothing decodable is
// refused as before. The damage is made here at packet offsets ffprobe gives,
// so every run sees the same files.
#include <algorithm>
#include <functional>

#include "grabbing/segment_grabber.h"
#include "grabbing/target_grabs.h"
#include "image/dib_image.h"
#include "support/ffmpeg_tool.h"
#include "support/sheet_program.h"
#include "tests/playback/player_test_support.h"

namespace {

// FFV1 with a key frame every second (50 pictures), its first `brokenKeys`
// key frames broken with all the pictures after them: seven are more than
// the 300 packets a search once gave up after.
std::string Ffv1(const ScratchDir& dir, int brokenKeys) {
    const std::string clean = dir / "clean.avi";
    EXPECT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=50:duration=8 -c:v ffv1 -g 50 '" + clean + "'"));
    int keys = 0;
    ZeroPackets(clean, dir / "ffv1.avi", [&](const ToolPacket& p) { return (keys += p.key) <= brokenKeys; });
    return dir / "ffv1.avi";
}

// H.264 with B-frames (frame threads in the player): only the first two
// pictures decode. The decoder gives them only when told that nothing more
// comes, which a search does when it gives up after 5000 barren packets.
std::string H264(const ScratchDir& dir) {
    const std::string clean = dir / "clean.mp4";
    EXPECT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=100:duration=54 -c:v libx264 -preset ultrafast "
                       "-bf 2 -g 100 -pix_fmt yuv420p '" + clean + "'"));
    int index = 0;
    ZeroPackets(clean, dir / "h264.mp4", [&](const ToolPacket&) { return index++ >= 2; });
    return dir / "h264.mp4";
}

// The picture the tools show at `t`.
double ToolTimeAt(const std::vector<double>& times, double t) {
    const auto after = std::upper_bound(times.begin(), times.end(), t + 1e-6);
    return after == times.begin() ? times.front() : *(after - 1);
}

Picture FromDib(const CDibImage& image) {
    Picture p;
    p.width = image.Width();
    p.height = image.Height();
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* row = image.StoredRow(p.height - 1 - y);
        p.bgr.insert(p.bgr.end(), row, row + size_t(p.width) * 3);
    }
    return p;
}

Picture FromVideo(const VideoImagePtr& image) {
    Picture p;
    if (!image) return p;
    p.width = image->width;
    p.height = image->height;
    for (uint32_t pixel : image->pixels)
        for (int shift : {0, 8, 16}) p.bgr.push_back(uint8_t(pixel >> shift));
    return p;
}

struct Kind {
    const char* name;
    std::function<std::string(const ScratchDir&)> make;
    bool decodes;
};

void ExpectWhatTheToolsShow(const Kind& kind) {
    ScratchDir dir;
    const std::string movie = kind.make(dir);
    const std::vector<double> tool = ToolPictureTimes(movie);
    ASSERT_EQ(!tool.empty(), kind.decodes) << tool.size() << " pictures decode";
    const SheetRun sheet = RunSheetProgram({"--quiet", "-n", "4", movie});
    CMoviePlayer player;
    player.SetSoundEnabled(false);
    const long opened = player.Open(movie);
    SegmentGrabber grabber;
    int32_t width = 0, height = 0;
    const OpResult source = OpenGrabSource(grabber, movie, width, height);
    if (!kind.decodes) {
        EXPECT_EQ(sheet.code, 1) << sheet.err;
        EXPECT_LT(opened, 0);
        EXPECT_EQ(player.GetLastErrorText(), kNoPictureText);
        EXPECT_FALSE(source);
        EXPECT_EQ(source.message, kNoPictureText);
        return;
    }
    EXPECT_EQ(sheet.code, 0) << sheet.err;
    ASSERT_EQ(opened, 0) << player.GetLastErrorText();
    ASSERT_TRUE(source) << source.message;
    // Before the first picture that decodes, amid the damage, after the last.
    const double duration = player.GetDuration();
    const std::vector<double> times = {0.0, 0.05, 1.5, 6.9, 7.3, duration - 0.5};
    std::vector<Picture> grabbed(times.size());
    TargetGrabHooks hooks;
    hooks.take = [&](size_t k, GrabbedFrame frame) {
        if (frame.image) grabbed[k] = FromDib(*frame.image);
    };
    EXPECT_TRUE(GrabTargets(grabber, times, {}, hooks));
    for (size_t k = 0; k < times.size(); ++k) {
        const double expected = ToolTimeAt(tool, times[k]);
        SCOPED_TRACE("at " + std::to_string(times[k]) + " the tools show " + std::to_string(expected));
        const Picture shown = CliFrame(movie, expected, 64, 48, "", true);
        ASSERT_TRUE(player.SetPosition(times[k], true));
        const VideoImagePtr picture = player.CurrentPicture();
        ASSERT_TRUE(picture);
        EXPECT_NEAR(picture->time, expected, 1e-3);
        EXPECT_GE(Psnr(FromVideo(picture), shown), 40.0);
        EXPECT_GE(Psnr(grabbed[k], shown), 40.0);
    }
}

TEST(DamagedGrabs, WhatTheToolsShowAtEveryTime) {
    const std::vector<Kind> kinds = {
        {"FFV1, first key frames broken", [](const ScratchDir& dir) { return Ffv1(dir, 7); }, true},
        {"H.264, only two pictures decode", &H264, true},
        {"FFV1, every key frame broken", [](const ScratchDir& dir) { return Ffv1(dir, 100); }, false},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        ExpectWhatTheToolsShow(kind);
    }
}

}  // namespace
