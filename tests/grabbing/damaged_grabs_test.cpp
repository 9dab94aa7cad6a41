// Damaged movies the ffmpeg tools still play open in the player, in the
// grab-only engine and in reelcap-sheet, and every grab shows what the tools
// show at that time: the last picture that decodes at or before it, or, before
// the first one that decodes, that one. A movie with nothing decodable is
// refused as before. The damage is made here at packet offsets ffprobe gives,
// so every run sees the same files.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "grabbing/segment_grabber.h"
#include "grabbing/target_grabs.h"
#include "image/dib_image.h"
#include "support/sheet_program.h"
#include "tests/playback/player_test_support.h"

namespace {

std::string Output(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return text;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
    pclose(pipe);
    return text;
}

bool Ffmpeg(const std::string& args) { return std::system(("ffmpeg -nostdin -v error -y " + args).c_str()) == 0; }

struct Packet {
    long long pos = 0, size = 0;
    bool key = false;
};

// The picture stream's packets in file order, which is decoding order.
std::vector<Packet> Packets(const std::string& path) {
    std::istringstream rows(Output("ffprobe -v error -select_streams v:0 -show_entries packet=pos,size,flags "
                                   "-of csv=p=0 '" + path + "'"));
    std::vector<Packet> packets;
    for (std::string row; std::getline(rows, row);) {
        Packet p;
        char flag = 0;
        if (std::sscanf(row.c_str(), "%lld,%lld,%c", &p.size, &p.pos, &flag) == 3 && p.pos >= 0) {
            p.key = flag == 'K';
            packets.push_back(p);
        }
    }
    return packets;
}

// A copy of `from` with the bytes of the packets `broken` picks set to zero.
std::string Break(const std::string& from, const std::string& to,
                  const std::function<bool(size_t index, size_t keysBefore)>& broken) {
    std::ifstream in(from, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t keys = 0;
    const std::vector<Packet> packets = Packets(from);
    EXPECT_GT(packets.size(), 10u) << from;
    for (size_t k = 0; k < packets.size(); ++k) {
        const Packet& p = packets[k];
        if (broken(k, keys) && size_t(p.pos + p.size) <= data.size())
            std::fill_n(data.begin() + p.pos, p.size, '\0');
        keys += p.key;
    }
    std::ofstream(to, std::ios::binary).write(data.data(), std::streamsize(data.size()));
    return to;
}

// FFV1 with a key frame every second (50 pictures), its first `brokenKeys`
// key frames broken with all the pictures after them: seven are more than
// the 300 packets a search once gave up after.
std::string Ffv1(const ScratchDir& dir, size_t brokenKeys) {
    const std::string clean = dir / "clean.avi";
    EXPECT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=50:duration=8 -c:v ffv1 -g 50 '" + clean + "'"));
    return Break(clean, dir / "ffv1.avi", [&](size_t, size_t keysBefore) { return keysBefore < brokenKeys; });
}

// H.264 with B-frames (frame threads in the player): only the first two
// pictures decode. The decoder gives them only when told that nothing more
// comes, which a search does when it gives up after 5000 barren packets.
std::string H264(const ScratchDir& dir) {
    const std::string clean = dir / "clean.mp4";
    EXPECT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=100:duration=54 -c:v libx264 -preset ultrafast "
                       "-bf 2 -g 100 -pix_fmt yuv420p '" + clean + "'"));
    return Break(clean, dir / "h264.mp4", [](size_t index, size_t) { return index >= 2; });
}

// Seconds of the pictures `ffmpeg -i movie` decodes.
std::vector<double> ToolPictureTimes(const std::string& path) {
    std::istringstream lines(Output("ffmpeg -nostdin -v quiet -i '" + path + "' -map 0:v:0 -f framecrc -"));
    std::vector<double> times;
    double tb = 0.0;
    for (std::string line; std::getline(lines, line);) {
        int num = 0, den = 0, stream = 0;
        long long dts = 0, pts = 0;
        if (std::sscanf(line.c_str(), "#tb 0: %d/%d", &num, &den) == 2 && den > 0) tb = double(num) / den;
        if (line[0] != '#' && std::sscanf(line.c_str(), "%d, %lld, %lld", &stream, &dts, &pts) == 3)
            times.push_back(double(pts) * tb);
    }
    std::sort(times.begin(), times.end());
    return times;
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
