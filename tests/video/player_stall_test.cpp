// Reads that stall or fail like a slow share or a sleeping disk: nothing on
// the caller's thread waits for them, and nothing is left open afterwards.
#include <atomic>
#include <cstdio>

#include "tests/video/player_test_support.h"
#include "video/media_source.h"

namespace {

using namespace std::chrono_literals;

// Movie bytes through a stand-in reader: from the reader numbered `stallFrom`
// on (in order of opening), reads wait while `stall` is set, honouring the
// interrupt as a network protocol does (unless `deaf`, like a hard-mounted
// share); `eagain` reads answer "try again"; seeks fail while `noSeek`.
struct ReaderControl {
    std::atomic<bool> stall{false};
    std::atomic<bool> deaf{false};
    std::atomic<bool> noSeek{false};
    std::atomic<int> stallFrom{0};
    std::atomic<int> eagain{0};
    std::atomic<int> opened{0};
    std::atomic<int> closed{0};
    std::atomic<int> waiting{0};
};
ReaderControl g_control;

struct StandInReader {
    FILE* file = nullptr;
    int index = 0;
    AVIOInterruptCB interrupt{};
};

int ReadBytes(void* opaque, uint8_t* buffer, int size) {
    auto* reader = static_cast<StandInReader*>(opaque);
    if (g_control.eagain > 0) {
        --g_control.eagain;
        return AVERROR(EAGAIN);
    }
    if (reader->index >= g_control.stallFrom && g_control.stall) {
        ++g_control.waiting;
        const auto limit = std::chrono::steady_clock::now() + 10s;  // the test fails rather than hangs
        while (g_control.stall && std::chrono::steady_clock::now() < limit) {
            if (!g_control.deaf && reader->interrupt.callback && reader->interrupt.callback(reader->interrupt.opaque)) {
                --g_control.waiting;
                return AVERROR_EXIT;
            }
            std::this_thread::sleep_for(2ms);
        }
        --g_control.waiting;
    }
    const size_t got = std::fread(buffer, 1, size_t(size), reader->file);
    return got > 0 ? int(got) : AVERROR_EOF;
}

int64_t SeekBytes(void* opaque, int64_t offset, int whence) {
    auto* reader = static_cast<StandInReader*>(opaque);
    if (whence & AVSEEK_SIZE) {
        const long here = std::ftell(reader->file);
        std::fseek(reader->file, 0, SEEK_END);
        const long size = std::ftell(reader->file);
        std::fseek(reader->file, here, SEEK_SET);
        return size;
    }
    if (g_control.noSeek) return -1;
    return std::fseek(reader->file, long(offset), whence & ~AVSEEK_FORCE) == 0 ? std::ftell(reader->file) : -1;
}

class StandInReaders : public ::testing::Test {
protected:
    void SetUp() override {
        g_control.stall = false;
        g_control.deaf = false;
        g_control.noSeek = false;
        g_control.stallFrom = 0;
        g_control.eagain = 0;
        g_control.opened = g_control.closed = g_control.waiting = 0;
        MovieReader reader;
        reader.open = [](const std::string& path, AVIOInterruptCB interrupt) -> AVIOContext* {
            FILE* file = std::fopen(path.c_str(), "rb");
            if (!file) return nullptr;
            auto* state = new StandInReader{file, g_control.opened++, interrupt};
            auto* buffer = static_cast<uint8_t*>(av_malloc(32768));
            return avio_alloc_context(buffer, 32768, 0, state, &ReadBytes, nullptr, &SeekBytes);
        };
        reader.close = [](AVIOContext* pb) {
            auto* state = static_cast<StandInReader*>(pb->opaque);
            std::fclose(state->file);
            delete state;
            av_freep(&pb->buffer);
            avio_context_free(&pb);
            ++g_control.closed;
        };
        SetMovieReader(std::move(reader));
    }
    void TearDown() override {
        g_control.stall = false;
        // Readers left to finish on their own close once their read returns.
        EXPECT_TRUE(WaitUntil([] { return g_control.closed == g_control.opened; }, 3s));
        SetMovieReader({});
    }
    static int OpenReaders() { return g_control.opened - g_control.closed; }
    static double SecondsSince(std::chrono::steady_clock::time_point start) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

TEST_F(StandInReaders, CloseDuringAStalledReadInPlaybackReturnsAtOnce) {
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("mjpeg.avi")), 0) << player.GetLastErrorText();
    player.Play();
    ASSERT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 0.2; }, 3s));
    g_control.stall = true;
    ASSERT_TRUE(WaitUntil([&] { return g_control.waiting > 0; }, 8s)) << "the playback never read again";
    const auto start = std::chrono::steady_clock::now();
    player.Close();
    EXPECT_LT(SecondsSince(start), 0.5);
    EXPECT_EQ(g_control.closed.load(), g_control.opened.load());
}

TEST_F(StandInReaders, CloseDuringAReadThatIgnoresInterruptsReturnsAtOnce) {
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("mjpeg.avi")), 0) << player.GetLastErrorText();
    player.Play();
    ASSERT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 0.2; }, 3s));
    g_control.deaf = true;
    g_control.stall = true;
    ASSERT_TRUE(WaitUntil([&] { return g_control.waiting > 0; }, 8s)) << "the playback never read again";
    const auto start = std::chrono::steady_clock::now();
    player.Close();
    EXPECT_LT(SecondsSince(start), 0.5);
    // The same player opens again at once.
    g_control.stall = false;
    EXPECT_EQ(player.Open(Clip("noaudio.mp4")), 0);
}

TEST_F(StandInReaders, GrabAllWorkersLetGoWhenThePatternBreaksOrAfterASecond) {
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("long100.mp4")), 0) << player.GetLastErrorText();
    player.Stop();
    const int own = OpenReaders();  // the player's own demuxers
    ASSERT_TRUE(player.SetPosition(0.0, true));
    ASSERT_TRUE(player.SetPosition(20.0, true));
    ASSERT_TRUE(WaitUntil([&] { return OpenReaders() > own; }, 3s)) << "nothing was decoded ahead";
    ASSERT_TRUE(player.SetPosition(33.0, true));  // not the step foreseen
    EXPECT_EQ(OpenReaders(), own);
    ASSERT_TRUE(player.SetPosition(0.0, true));
    ASSERT_TRUE(player.SetPosition(20.0, true));
    ASSERT_TRUE(WaitUntil([&] { return OpenReaders() > own; }, 3s));
    // Nobody asks for a second: the workers close their movies.
    EXPECT_TRUE(WaitUntil([&] { return OpenReaders() == own; }, 3s));
    // A later evenly spaced grab still finds its exact picture.
    ASSERT_TRUE(player.SetPosition(40.0, true));
    EXPECT_GE(Psnr(Grab(player), CliFrame(Clip("long100.mp4"), 40.0, 64, 48)), 45.0);
}

TEST_F(StandInReaders, GrabAllOnAStalledShareNeverFreezesTheCaller) {
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("long100.mp4")), 0) << player.GetLastErrorText();
    player.Stop();
    // Readers opened from here on (the workers decoding ahead) stall.
    g_control.stallFrom = g_control.opened.load();
    g_control.stall = true;
    ASSERT_TRUE(player.SetPosition(0.0, true));
    ASSERT_TRUE(player.SetPosition(20.0, true));  // the pattern: 40, 60, 80 are decoded ahead
    ASSERT_TRUE(WaitUntil([&] { return g_control.waiting > 0; }, 3s));
    // The next grab stops waiting for the stuck workers and decodes itself.
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(player.SetPosition(40.0, true));
    EXPECT_LT(SecondsSince(start), 4.0);
    EXPECT_GE(Psnr(Grab(player), CliFrame(Clip("long100.mp4"), 40.0, 64, 48)), 45.0);
    ASSERT_TRUE(player.SetPosition(60.0, true));
    ASSERT_TRUE(WaitUntil([&] { return g_control.waiting > 0; }, 3s));
    // Play after Grab All lets the stuck workers go without waiting for them.
    start = std::chrono::steady_clock::now();
    player.Play();
    EXPECT_LT(SecondsSince(start), 0.5);
    ASSERT_TRUE(player.SetPosition(20.0, false));
    player.Stop();
    ASSERT_TRUE(player.SetPosition(0.0, true));
    ASSERT_TRUE(player.SetPosition(30.0, true));
    ASSERT_TRUE(WaitUntil([&] { return g_control.waiting > 0; }, 3s));
    start = std::chrono::steady_clock::now();
    player.Close();
    EXPECT_LT(SecondsSince(start), 0.5);
    EXPECT_EQ(g_control.closed.load(), g_control.opened.load());
}

TEST_F(StandInReaders, TryAgainIsNoEndOfTheMovie) {
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("mjpeg.avi")), 0) << player.GetLastErrorText();
    // A paused seek whose reads are told to try again still finds its picture.
    player.Stop();
    g_control.eagain = 2;
    ASSERT_TRUE(player.SetPosition(1.5, true));
    EXPECT_GE(Psnr(Grab(player), CliFrame(Clip("mjpeg.avi"), 1.48, 320, 240)), 45.0);
    // So does playback, to the end.
    ASSERT_TRUE(player.SetPosition(0.0, true));
    player.Play();
    ASSERT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 0.3; }, 3s));
    g_control.eagain = 2;
    EXPECT_EQ(WaitForEvent(player, 8s), EC_COMPLETE);
    EXPECT_GT(player.GetCurrentPosition(), 2.8);
}

TEST_F(StandInReaders, SeekThatCannotBeDoneFailsVisibly) {
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("mjpeg.avi")), 0) << player.GetLastErrorText();
    player.Stop();
    ASSERT_TRUE(player.SetPosition(2.5, true));
    g_control.noSeek = true;
    // Paused: false, or else the exact picture, never one from elsewhere.
    if (player.SetPosition(0.5, true))
        EXPECT_GE(Psnr(Grab(player), CliFrame(Clip("mjpeg.avi"), 0.48, 320, 240)), 45.0);
    // Playing: the seek that cannot be done ends playback with an error event.
    g_control.noSeek = false;
    ASSERT_TRUE(player.SetPosition(2.0, true));
    player.Play();
    ASSERT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 2.1; }, 3s));
    g_control.noSeek = true;
    player.SetPosition(0.3, false);
    EXPECT_EQ(WaitForEvent(player, 3s), EC_ERRORABORT);
}

}  // namespace
