// Input the player must refuse with a message, or play as far as it can,
// without crashing or hanging; the Windows Media path rule; long paths;
// repeated opening.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "tests/playback/player_test_support.h"
#include "decoding/media_source.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

void WriteRandom(const std::string& path, size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::ofstream out(path, std::ios::binary);
    for (size_t i = 0; i < size; ++i) out.put(char(gen() & 0xFF));
}

void WritePrefix(const std::string& from, const std::string& to, double fraction) {
    std::ifstream in(from, std::ios::binary);
    std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream out(to, std::ios::binary);
    out.write(data.data(), std::streamsize(double(data.size()) * fraction));
}

// Open must fail quickly, say why, and leave the player closed and usable.
void ExpectRefused(const std::string& path) {
    SCOPED_TRACE(path);
    CMoviePlayer player;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_LT(player.Open(path), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_FALSE(player.GetLastErrorText().empty());
    EXPECT_EQ(player.GetState(), Closed);
    EXPECT_FALSE(player.GetCurrentImage());
    EXPECT_EQ(player.Play(), 1);  // harmless on a player without a movie
    EXPECT_EQ(player.GetEvent(), 0);
    EXPECT_EQ(player.Open(Clip("noaudio.mp4")), 0);
}

TEST(PlayerBadInput, RandomBytesUnderMovieNames) {
    ScratchDir dir;
    unsigned seed = 1;
    for (const char* name : {"noise.mp4", "noise.avi", "noise.wmv", "noise.mpg"}) {
        WriteRandom(dir / name, 200000, seed++);
        ExpectRefused(dir / name);
    }
}

TEST(PlayerBadInput, EmptyFileFolderAndMissing) {
    ScratchDir dir;
    std::ofstream(dir / "empty.mp4").close();
    ExpectRefused(dir / "empty.mp4");
    fs::create_directory(dir / "folder.mp4");
    ExpectRefused(dir / "folder.mp4");
    ExpectRefused(dir / "missing.mp4");
    ExpectRefused("");
    CMoviePlayer player;
    EXPECT_LT(player.Open(nullptr), 0);
    EXPECT_FALSE(player.GetLastErrorText().empty());
}

TEST(PlayerBadInput, NamedPipeIsRefusedWithoutWaitingForAWriter) {
    ScratchDir dir;
    const std::string pipe = dir / "pipe.mp4";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    ExpectRefused(pipe);
}

TEST(PlayerBadInput, UnreadableFile) {
    ScratchDir dir;
    fs::copy_file(Clip("noaudio.mp4"), dir / "locked.mp4");
    fs::permissions(dir / "locked.mp4", fs::perms::none);
    if (access((dir / "locked.mp4").c_str(), R_OK) == 0) GTEST_SKIP() << "running with rights that read any file";
    ExpectRefused(dir / "locked.mp4");
    CMoviePlayer locked;
    locked.Open(dir / "locked.mp4");
    EXPECT_EQ(locked.GetLastErrorText(), "Permission denied");
}

TEST(PlayerBadInput, Mp4WithoutItsIndex) {
    ScratchDir dir;
    // The index (moov) is written at the end, so the first half has none.
    WritePrefix(Clip("h264_aac.mp4"), dir / "cut.mp4", 0.5);
    ExpectRefused(dir / "cut.mp4");
}

TEST(PlayerBadInput, TruncatedMoviePlaysAsFarAsItCanAndEnds) {
    ScratchDir dir;
    WritePrefix(Clip("mpeg2.mpg"), dir / "cut.mpg", 0.5);
    CMoviePlayer player;
    ASSERT_EQ(player.Open(dir / "cut.mpg"), 0) << player.GetLastErrorText();
    player.Play();
    const long event = WaitForEvent(player, 8s);
    EXPECT_TRUE(event == EC_COMPLETE || event == EC_ERRORABORT) << event;
    EXPECT_GT(player.GetCurrentPosition(), 1.0);
    // Seeking past the damage keeps the last picture there is.
    player.Stop();
    EXPECT_TRUE(player.SetPosition(3.9, true));
    EXPECT_TRUE(player.GetCurrentImage());
}

TEST(PlayerBadInput, TruncatedMp4WithIndexInFrontEnds) {
    // Index first (as streamed files are written), data cut off after it.
    ScratchDir dir;
    const std::string front = dir / "front.mp4";
    const std::string cmd = "ffmpeg -nostdin -v error -i '" + Clip("h264_aac.mp4") +
                            "' -c copy -movflags faststart -y '" + front + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    WritePrefix(front, dir / "cut.mp4", 0.4);
    CMoviePlayer player;
    ASSERT_EQ(player.Open(dir / "cut.mp4"), 0) << player.GetLastErrorText();
    player.Play();
    const long event = WaitForEvent(player, 8s);
    EXPECT_TRUE(event == EC_COMPLETE || event == EC_ERRORABORT) << event;
    player.Stop();
    EXPECT_TRUE(player.SetPosition(3.5, true));  // past the cut: the last picture there is
    EXPECT_TRUE(player.GetCurrentImage());
}

TEST(PlayerWindowsMedia, PathRuleLooksAnywhereInAnyCase) {
    EXPECT_TRUE(IsWindowsMediaPath("/movies/a.WMV"));
    EXPECT_TRUE(IsWindowsMediaPath("/movies/a.Asf"));
    EXPECT_TRUE(IsWindowsMediaPath("/movies/song.wma"));
    EXPECT_TRUE(IsWindowsMediaPath("/x.wmv/movie.avi"));
    EXPECT_TRUE(IsWindowsMediaPath("/a.wmvx/b"));
    EXPECT_FALSE(IsWindowsMediaPath("/movies/a.avi"));
    EXPECT_FALSE(IsWindowsMediaPath("/movies/wmv/a.mp4"));
}

TEST(PlayerWindowsMedia, FileTheAsfDemuxerCannotReadIsProbedAndPlays) {
    // An AVI file inside a folder named x.wmv takes the ASF path first; when
    // that demuxer cannot read it, the file is probed as usual and plays.
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("x.wmv/movie.avi")), 0) << player.GetLastErrorText();
    ASSERT_TRUE(player.SetPosition(1.5, true));
    EXPECT_GE(Psnr(Grab(player), CliFrame(Clip("mjpeg.avi"), 1.48, 320, 240)), 45.0);
    EXPECT_EQ(player.Open(Clip("x.wmv/movie.bin")), 0) << player.GetLastErrorText();
    EXPECT_EQ(player.Open(Clip("mjpeg.avi")), 0) << player.GetLastErrorText();
}

TEST(PlayerOpen, PathsLongerThan259CharactersAreNotCut) {
    ScratchDir dir;
    fs::path deep = dir.path();
    while (deep.string().size() < 300) deep /= std::string(60, 'd');
    fs::create_directories(deep);
    const fs::path movie = deep / "movie.mp4";
    fs::copy_file(Clip("noaudio.mp4"), movie);
    ASSERT_GT(movie.string().size(), 259u);
    CMoviePlayer player;
    EXPECT_EQ(player.Open(movie.string()), 0) << player.GetLastErrorText();
}

TEST(PlayerOpen, OpenCloseHundredTimes) {
    CMoviePlayer player;
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(player.Open(Clip(i % 2 ? "h264_aac.mp4" : "noaudio.mp4")), 0) << i;
        if (i % 10 == 0) {
            player.Play();
            player.SetPosition(1.0, false);
        }
        EXPECT_EQ(player.Close(), 0);
    }
    // And destroying a running player.
    auto running = std::make_unique<CMoviePlayer>();
    ASSERT_EQ(running->Open(Clip("h264_aac.mp4")), 0);
    running->Play();
    std::this_thread::sleep_for(100ms);
    running.reset();
}

}  // namespace
