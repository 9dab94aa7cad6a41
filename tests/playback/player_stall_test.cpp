// Reads that stall or fail like a slow share: nothing on the caller's thread
// waits for them, and nothing is left open afterwards.
#include <atomic>
#include <cstdio>
#include <filesystem>

#include "tests/playback/player_test_support.h"
#include "decoding/media_source.h"

namespace {

using namespace std::chrono_literals;

// Movie bytes through a stand-in reader. Readers numbered `stallFrom` on (in
// order of opening) wait while `stall`, honouring the interrupt as network
// protocols do unless `deaf` (a hard-mounted share); `eagain` reads answer
// "try again"; seeks fail while `noSeek`.
struct {
    std::atomic<bool> stall, deaf, noSeek;
    std::atomic<int> stallFrom, eagain, opened, closed, waiting;
} g;

struct StandIn { FILE* file; int index; AVIOInterruptCB interrupt; int64_t size; };

int ReadBytes(void* opaque, uint8_t* buffer, int size) {
    auto* in = static_cast<StandIn*>(opaque);
    if (g.eagain > 0 && g.eagain-- > 0) return AVERROR(EAGAIN);
    if (in->index >= g.stallFrom && g.stall) {
        ++g.waiting;
        const auto limit = std::chrono::steady_clock::now() + 10s;  // fail rather than hang
        while (g.stall && std::chrono::steady_clock::now() < limit) {
            if (!g.deaf && in->interrupt.callback(in->interrupt.opaque)) return --g.waiting, AVERROR_EXIT;
            std::this_thread::sleep_for(2ms);
        }
        --g.waiting;
    }
    const size_t got = std::fread(buffer, 1, size_t(size), in->file);
    return got > 0 ? int(got) : AVERROR_EOF;
}

int64_t SeekBytes(void* opaque, int64_t offset, int whence) {
    auto* in = static_cast<StandIn*>(opaque);
    if (whence & AVSEEK_SIZE) return in->size;
    if (g.noSeek || std::fseek(in->file, long(offset), whence & ~AVSEEK_FORCE) != 0) return -1;
    return std::ftell(in->file);
}

AVIOContext* OpenStandIn(const std::string& path, AVIOInterruptCB interrupt) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return nullptr;
    auto* in = new StandIn{file, g.opened++, interrupt, int64_t(std::filesystem::file_size(path))};
    return avio_alloc_context(static_cast<uint8_t*>(av_malloc(32768)), 32768, 0, in, &ReadBytes, nullptr, &SeekBytes);
}

void CloseStandIn(AVIOContext* pb) {
    auto* in = static_cast<StandIn*>(pb->opaque);
    std::fclose(in->file);
    delete in;
    av_freep(&pb->buffer);
    avio_context_free(&pb);
    ++g.closed;
}

class StandInReaders : public ::testing::Test {
protected:
    void SetUp() override {
        g.stall = g.deaf = g.noSeek = false;
        g.stallFrom = g.eagain = g.opened = g.closed = g.waiting = 0;
        SetMovieReader({&OpenStandIn, &CloseStandIn});
    }
    void TearDown() override {
        g.stall = false;
        // Readers left to finish on their own close once their read returns.
        EXPECT_TRUE(WaitUntil([] { return g.closed == g.opened; }, 3s));
        SetMovieReader({});
    }
    static int OpenReaders() { return g.opened - g.closed; }
    static bool StalledWithin(std::chrono::milliseconds limit) {
        return WaitUntil([] { return g.waiting > 0 && g.stall; }, limit);
    }
    template <typename F>
    static double Seconds(F&& f) {
        const auto start = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

TEST_F(StandInReaders, CloseDuringAStalledReadInPlaybackReturnsAtOnce) {
    for (bool deaf : {false, true}) {
        SCOPED_TRACE(deaf ? "read ignores interrupts" : "read honours interrupts");
        CMoviePlayer player;
        ASSERT_EQ(player.Open(Clip("mjpeg.avi")), 0) << player.GetLastErrorText();
        player.Play();
        ASSERT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 0.2; }, 3s));
        g.deaf = deaf;
        g.stall = true;
        ASSERT_TRUE(StalledWithin(8s)) << "the playback never read again";
        EXPECT_LT(Seconds([&] { player.Close(); }), 0.5);
        EXPECT_EQ(OpenReaders() == 0, !deaf);  // an interrupted read lets its thread end at once
        g.stall = false;
    }
}

TEST_F(StandInReaders, GrabAllWorkersLetGoInTimeAndNeverFreezeTheCaller) {
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("long100.mp4")), 0) << player.GetLastErrorText();
    player.Stop();
    const int own = OpenReaders();
    for (bool withdrawn : {true, false}) {  // the list withdrawn, or a second without any request
        ASSERT_TRUE(player.SetPosition(0.0, true));
        player.ExpectPositions({20.0, 40.0, 60.0, 80.0});
        ASSERT_TRUE(player.SetPosition(20.0, true));
        ASSERT_TRUE(WaitUntil([&] { return OpenReaders() > own; }, 3s)) << "nothing was decoded ahead";
        if (withdrawn) player.ExpectPositions({});
        EXPECT_TRUE(WaitUntil([&] { return OpenReaders() == own; }, withdrawn ? 0ms : 3s));
    }
    g.stallFrom = g.opened.load();  // the workers decoding ahead stall, even in their open
    g.stall = true;
    ASSERT_TRUE(player.SetPosition(0.0, true));
    player.ExpectPositions({20.0, 40.0, 60.0, 80.0});
    ASSERT_TRUE(player.SetPosition(20.0, true));  // 40, 60 and 80 are being decoded ahead
    ASSERT_TRUE(StalledWithin(3s));
    // The next grab stops waiting for the stuck workers and decodes itself.
    EXPECT_LT(Seconds([&] { ASSERT_TRUE(player.SetPosition(40.0, true)); }), 4.0);
    EXPECT_GE(Psnr(Grab(player), CliFrame(Clip("long100.mp4"), 40.0, 64, 48)), 45.0);
    ASSERT_TRUE(player.SetPosition(60.0, true));
    ASSERT_TRUE(StalledWithin(3s));
    EXPECT_LT(Seconds([&] { player.Play(); }), 0.5);  // Play after Grab All
    player.Stop();
    ASSERT_TRUE(player.SetPosition(0.0, true));
    player.ExpectPositions({30.0, 60.0, 90.0});
    ASSERT_TRUE(player.SetPosition(30.0, true));
    ASSERT_TRUE(StalledWithin(3s));
    EXPECT_LT(Seconds([&] { player.Close(); }), 0.5);
    EXPECT_EQ(OpenReaders(), 0);
}

TEST_F(StandInReaders, TryAgainIsNoEndOfTheMovieAndAFailedSeekIsNoSuccess) {
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("mjpeg.avi")), 0) << player.GetLastErrorText();
    player.Stop();
    g.eagain = 2;
    ASSERT_TRUE(player.SetPosition(2.5, true));
    EXPECT_GE(Psnr(Grab(player), CliFrame(Clip("mjpeg.avi"), 2.48, 320, 240)), 45.0);
    g.noSeek = true;  // paused: false, or else the exact picture, never one from elsewhere
    if (player.SetPosition(0.5, true)) EXPECT_GE(Psnr(Grab(player), CliFrame(Clip("mjpeg.avi"), 0.48, 320, 240)), 45.0);
    g.noSeek = false;
    ASSERT_TRUE(player.SetPosition(0.0, true));
    player.Play();
    ASSERT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 0.3; }, 3s));
    g.eagain = 2;
    EXPECT_EQ(WaitForEvent(player, 8s), EC_COMPLETE);
    EXPECT_GT(player.GetCurrentPosition(), 2.8);
    ASSERT_TRUE(player.SetPosition(1.0, false));
    ASSERT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 1.1; }, 3s));
    g.noSeek = true;  // playing: an error event ends it
    player.SetPosition(0.3, false);
    EXPECT_EQ(WaitForEvent(player, 3s), EC_ERRORABORT);
}

}  // namespace
