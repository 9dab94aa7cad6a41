// Reads that stall or fail like a slow share: nothing on the caller's thread
// waits for them, and nothing is left open afterwards.
#include <atomic>
#include <cstdio>
#include <filesystem>

#include "support/stand_in_reader.h"
#include "tests/playback/player_test_support.h"

using namespace std::chrono_literals;

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
