// Damaged movies: whatever the ffmpeg tools still decode, the player opens and
// grabs from; damaged packets are skipped, an exact seek into a broken stretch
// answers the last good picture before it, and playback runs past it.
// The damage is made here, from fixed seeds, so every run sees the same files.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "support/ffmpeg_tool.h"
#include "tests/playback/player_test_support.h"

namespace {

using namespace std::chrono_literals;

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

// Flips `count` bytes of the file from the seed, at offsets past `skip` bytes
// (so that the container's header survives and the damage lies in the data,
// as in a broken download).
void FlipBytes(const std::string& from, const std::string& to, unsigned seed, int count, size_t skip) {
    std::vector<uint8_t> data = ReadBytes(from);
    ASSERT_GT(data.size(), skip);
    std::mt19937 gen(seed);
    for (int i = 0; i < count; ++i) {
        const size_t at = skip + gen() % (data.size() - skip);
        data[at] ^= uint8_t(1 + gen() % 255);
    }
    WriteBytes(to, data);
}

struct Kind {
    std::string file;  // generated clip or one made here
    size_t skip;       // header bytes kept whole
    // Damage that once made a file refused although the tools decode it; 0
    // for the seeds tried on every kind.
    unsigned seed = 0;
    int flips = 0;
};

// A clip with the picture stream's packets in [from, until) seconds zeroed in
// place: every one of them fails to decode, the rest of the file is intact.
void ZeroStretch(const std::string& from, const std::string& to, double start, double until) {
    ASSERT_GT(ZeroPackets(from, to, [&](const ToolPacket& p) { return p.time >= start && p.time < until; }), 100);
}

TEST(PlayerDamaged, FlippedBytesOpenWhereverTheToolsDecodeAPicture) {
    ScratchDir dir;
    ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=160x120:rate=25:duration=3 -c:v ffv1 '" + (dir / "ffv1.avi") + "'"));
    const std::vector<Kind> kinds = {{Clip("h264_aac.mp4"), 0},   {Clip("tenbit.mp4"), 0},
                                     {Clip("vfr_gaps.mp4"), 0},   {Clip("mpeg2.mpg"), 64},
                                     {dir / "ffv1.avi", 4096},    {Clip("mjpeg.avi"), 4096},
                                     // No keyframe left that decodes: only pictures without one come out.
                                     {Clip("tenbit.mp4"), 0, 28, 20}};
    int opened = 0, refused = 0, skipped = 0;
    for (const Kind& kind : kinds) {
        const std::string ext = kind.file.substr(kind.file.rfind('.'));
        // From a few flips to one in a few hundred bytes.
        for (unsigned seed = 1; seed <= (kind.seed ? 1u : 4u); ++seed) {
            const std::string damaged = dir / ("damaged" + std::to_string(seed) + ext);
            if (kind.seed)
                FlipBytes(kind.file, damaged, kind.seed, kind.flips, kind.skip);
            else
                FlipBytes(kind.file, damaged, seed * 7919, 20 << (2 * seed), kind.skip);
            SCOPED_TRACE(kind.file + " seed " + std::to_string(seed));
            const std::vector<double> toolTimes = ToolPictureTimes(damaged);
            CMoviePlayer player;
            player.SetSoundEnabled(false);
            const long rc = player.Open(damaged);
            if (rc != 0) {
                EXPECT_TRUE(toolTimes.empty()) << "refused although the tools decode " << toolTimes.size()
                                               << " pictures: " << player.GetLastErrorText();
                EXPECT_FALSE(player.GetLastErrorText().empty());
                ++refused;
                continue;
            }
            ++opened;
            if (toolTimes.empty()) continue;  // sound only
            // Open, then three grabs spread over the movie, as Grab All does.
            EXPECT_TRUE(player.GetCurrentImage());
            const double duration = player.GetDuration();
            for (double at : {0.0, duration * 0.5, duration * 0.9}) {
                if (player.SetPosition(at, true)) EXPECT_GT(Grab(player).width, 0);
            }
            EXPECT_TRUE(player.GetCurrentImage());
            skipped += player.SkippedPackets() > 0;
        }
    }
    EXPECT_GT(opened, 12);
    std::printf("damaged files: %d opened (%d with packets skipped), %d refused\n", opened, skipped, refused);
}

// Its only keyframe dropped: every picture lacks one. Each grab still shows
// the picture of its own time (those of a later time were once thrown away
// while the first was looked for, and every grab showed that first one).
TEST(PlayerDamaged, StreamWithoutAnyKeyframeGivesEachTimeItsOwnPicture) {
    ScratchDir dir;
    const std::string movie = dir / "nokey.avi";
    ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=160x120:rate=25:duration=4 -c:v mpeg4 -g 1000 "
                       "-bsf:v \"noise=drop=eq(n\\,0)\" '" + movie + "'"));
    ASSERT_FALSE(ToolPictureTimes(movie).empty());
    CMoviePlayer player;
    player.SetSoundEnabled(false);
    ASSERT_EQ(player.Open(movie), 0) << player.GetLastErrorText();
    std::vector<Picture> grabs;
    for (double at : {1.0, 2.0, 3.0}) {
        ASSERT_TRUE(player.SetPosition(at, true)) << at;
        grabs.push_back(Grab(player));
        EXPECT_NEAR(player.GetCurrentFrameTime(), at, 0.05) << at;
    }
    EXPECT_NE(grabs[0].bgr, grabs[1].bgr);
    EXPECT_NE(grabs[1].bgr, grabs[2].bgr);
}

// A movie of pictures that each stand alone, with those from `start` seconds
// on up to `until` zeroed: which pictures decode is then plain.
std::string MakeBrokenMjpeg(const ScratchDir& dir, double duration, double start, double until) {
    const std::string clean = dir / "clean.avi";
    const std::string broken = dir / "broken.avi";
    EXPECT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=100:duration=" + std::to_string(duration) +
                       " -c:v mjpeg -q:v 5 '" + clean + "'"));
    ZeroStretch(clean, broken, start, until);
    return broken;
}

TEST(PlayerDamaged, SeeksIntoAndPlaybackPastMoreThanAHundredBrokenPackets) {
    ScratchDir dir;
    const std::string broken = MakeBrokenMjpeg(dir, 3, 0.8, 2.6);
    const std::vector<double> good = ToolPictureTimes(broken);
    ASSERT_FALSE(good.empty());
    CMoviePlayer player;
    player.SetSoundEnabled(false);
    ASSERT_EQ(player.Open(broken), 0) << player.GetLastErrorText();
    // An exact seek into the broken stretch answers the last good picture before it.
    for (double target : {0.5, 0.85, 1.7, 2.55, 2.65, 1.2, 0.79}) {
        SCOPED_TRACE(target);
        double expected = -1;
        for (double t : good)
            if (t <= target + 1e-6) expected = t;
        ASSERT_TRUE(player.SetPosition(target, true));
        EXPECT_NEAR(player.GetCurrentFrameTime(), expected, 1e-3);
    }
    EXPECT_GT(player.SkippedPackets(), 0);
    // Playback shows the pictures after it and ends as usual.
    ASSERT_TRUE(player.SetPosition(0.0, true));
    player.Play();
    EXPECT_EQ(WaitForEvent(player, 10s), EC_COMPLETE);
    EXPECT_GT(player.GetCurrentFrameTime(), 2.6);
    EXPECT_GE(player.SkippedPackets(), 180);
}

TEST(PlayerDamaged, NothingDecodableIsRefusedWithAMessage) {
    ScratchDir dir;
    const std::string broken = MakeBrokenMjpeg(dir, 4, 0.0, 10.0);
    CMoviePlayer player;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_LT(player.Open(broken), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_NE(player.GetLastErrorText().find("decoded"), std::string::npos) << player.GetLastErrorText();
    EXPECT_EQ(player.GetState(), Closed);
}

// A sequence header that says 728 pixels where the encoder wrote 720: the first
// pictures decode 728 wide, a width swscale's vector code overruns by whole
// blocks. Under valgrind the old destination showed writes past its end.
TEST(PlayerDamaged, PicturesOfAnOddWidthFromAnEditedSequenceHeader) {
    ScratchDir dir;
    const std::string pal = dir / "pal.mpg";
    ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=720x576:rate=25:duration=1 -c:v mpeg2video -q:v 4 -g 12 '" + pal +
                       "'"));
    std::vector<uint8_t> data = ReadBytes(pal);
    const uint8_t header[] = {0, 0, 1, 0xB3, 0x2D, 0x02, 0x40};  // 720 x 576
    auto at = std::search(data.begin(), data.end(), std::begin(header), std::end(header));
    ASSERT_NE(at, data.end());
    at[5] = 0x82;  // 0x2D8: 728
    WriteBytes(dir / "wide.mpg", data);

    CMoviePlayer player;
    player.SetSoundEnabled(false);
    ASSERT_EQ(player.Open(dir / "wide.mpg"), 0) << player.GetLastErrorText();
    int32_t w = 0, h = 0;
    ASSERT_TRUE(player.GetNativeVideoSize(&w, &h));
    EXPECT_EQ(w, 728);
    EXPECT_EQ(Grab(player).width, 728);
    // Later groups of pictures carry the true header again.
    ASSERT_TRUE(player.SetPosition(0.8, true));
    EXPECT_EQ(Grab(player).width, 720);
    player.Play();
    EXPECT_EQ(WaitForEvent(player, 10s), EC_COMPLETE);
}

}  // namespace
