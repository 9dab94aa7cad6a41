// State machine, events, positions and painting of the movie player.
#include <atomic>
#include <future>
#include <thread>

#include "support/fake_audio_sink.h"
#include "tests/playback/player_test_support.h"
#include "playback/event_signal.h"

namespace {

using namespace std::chrono_literals;

TEST(PlayerEvents, DescriptorStaysReadableWhileEventsAreQueued) {
    EventSignal events;
    ASSERT_GE(events.Handle(), 0);
    auto readable = [&] {
        pollfd fd{events.Handle(), POLLIN, 0};
        return poll(&fd, 1, 0) == 1;
    };
    EXPECT_FALSE(readable());
    EXPECT_EQ(events.Take(), 0);
    events.Post(EC_COMPLETE);
    events.Post(EC_ERRORABORT);
    EXPECT_TRUE(readable());
    EXPECT_EQ(events.Take(), EC_COMPLETE);
    EXPECT_TRUE(readable());
    EXPECT_EQ(events.Take(), EC_ERRORABORT);
    EXPECT_FALSE(readable());
    EXPECT_EQ(events.Take(), 0);
}

TEST(PlayerState, ClosedPlayerAnswersSafeDefaults) {
    CMoviePlayer player;
    EXPECT_EQ(player.GetState(), Closed);
    EXPECT_EQ(player.GetEventHandle(), -1);
    EXPECT_EQ(player.GetEvent(), 0);
    EXPECT_EQ(player.GetDuration(), 0.0);
    EXPECT_EQ(player.GetCurrentPosition(), 0.0);
    EXPECT_FALSE(player.SetPosition(1.0, true));
    EXPECT_FALSE(player.SetTimeFormat(TimeFormat::MediaTime));
    int32_t w = 7, h = 7;
    EXPECT_FALSE(player.GetNativeVideoSize(&w, &h));
    EXPECT_FALSE(player.GetCurrentImage());
    uint8_t* raw = reinterpret_cast<uint8_t*>(1);
    EXPECT_LT(player.GetCurrentImage(&raw), 0);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(player.Close(), 0);
}

TEST(PlayerState, LifecycleValues) {
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("h264_aac.mp4")), 0) << player.GetLastErrorText();
    EXPECT_EQ(player.GetState(), Opened);
    EXPECT_TRUE(player.SetTimeFormat(TimeFormat::MediaTime));
    EXPECT_NEAR(player.GetDuration(), 4.0, 0.05);
    EXPECT_GE(player.GetEventHandle(), 0);
    EXPECT_EQ(player.GetEvent(), 0);
    EXPECT_EQ(player.Play(), 1);
    EXPECT_EQ(player.GetState(), Running);
    EXPECT_EQ(player.Pause(), 1);
    EXPECT_EQ(player.GetState(), Paused);
    EXPECT_EQ(player.Stop(), 1);
    EXPECT_EQ(player.GetState(), Stopped);
    EXPECT_EQ(player.Close(), 0);
    EXPECT_EQ(player.GetState(), Closed);
    EXPECT_EQ(player.GetEventHandle(), -1);
}

TEST(PlayerState, FirstFrameIsCurrentRightAfterOpen) {
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("noaudio.mp4")), 0);
    Picture first = Grab(player);
    ASSERT_EQ(first.width, 320);
    EXPECT_GE(Psnr(first, CliFrame(Clip("noaudio.mp4"), 0.0, 320, 240)), 45.0);
    EXPECT_EQ(player.GetCurrentPosition(), 0.0);
}

TEST(PlayerPlayback, PlaysToTheEndAndSignalsWithoutInput) {
    CMoviePlayer player;
    std::atomic<int> frames{0};
    player.SetFrameCallback([&] { ++frames; });
    ASSERT_EQ(player.Open(Clip("noaudio.mp4")), 0);
    const auto start = std::chrono::steady_clock::now();
    player.Play();
    EXPECT_EQ(WaitForEvent(player, 8s), EC_COMPLETE);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Played in real time, not decoded as fast as possible.
    EXPECT_GT(seconds, 1.5);
    EXPECT_GT(frames.load(), 25);
    EXPECT_NEAR(player.GetCurrentPosition(), 1.96, 0.05);
    EXPECT_EQ(player.GetEvent(), 0);  // exactly one end event
    EXPECT_EQ(player.GetState(), Running);
}

TEST(PlayerPlayback, SoundOnlyMoviePlaysToItsEnd) {
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("audioonly.m4a")), 0) << player.GetLastErrorText();
    int32_t w = 5, h = 5;
    EXPECT_FALSE(player.GetNativeVideoSize(&w, &h));
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
    EXPECT_FALSE(player.GetCurrentImage());
    player.Play();
    EXPECT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 0.3; }, 3s));
    EXPECT_EQ(WaitForEvent(player, 6s), EC_COMPLETE);
}

TEST(PlayerPlayback, WithSoundPicturesFollowTheSoundClock) {
    FakeSinkScope fake({FakeSinkPlan::RealTime});  // a device that plays in real time, present everywhere
    CMoviePlayer player;
    std::atomic<int> frames{0};
    player.SetFrameCallback([&] { ++frames; });
    ASSERT_EQ(player.Open(Clip("h264_aac.mp4")), 0);
    if (!player.PlaysSound()) GTEST_SKIP() << "no sound device: the movie plays silently";
    const auto start = std::chrono::steady_clock::now();
    player.Play();
    EXPECT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 1.0; }, 3s));
    player.Pause();
    const double held = player.GetCurrentPosition();
    std::this_thread::sleep_for(300ms);
    EXPECT_NEAR(player.GetCurrentPosition(), held, 0.05);
    player.Play();
    EXPECT_EQ(WaitForEvent(player, 10s), EC_COMPLETE);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(seconds, 3.5);
    EXPECT_LT(seconds, 7.0);
    EXPECT_GT(frames.load(), 80);
    EXPECT_LT(player.DroppedFrames(), 10);
}

TEST(PlayerPlayback, PlayNearTheEndStartsAgainFromZero) {
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("h264_aac.mp4")), 0);
    player.Stop();
    const double duration = player.GetDuration();
    ASSERT_TRUE(player.SetPosition(duration - 0.4, true));
    player.Play();
    EXPECT_LT(player.GetCurrentPosition(), 0.5);
    EXPECT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 0.2; }, 3s));
    EXPECT_LT(player.GetCurrentPosition(), 2.0);
    player.Pause();

    // 1.5 s before the end it goes on from there.
    ASSERT_TRUE(player.SetPosition(duration - 1.5, true));
    player.Play();
    // The picture on screen there may start up to a frame earlier.
    EXPECT_GE(player.GetCurrentPosition(), duration - 1.5 - 0.05);
    EXPECT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > duration - 1.3; }, 3s));
}

TEST(PlayerPlayback, SeekWhileRunningMovesOnFromThere) {
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("h264_aac.mp4")), 0);
    player.Play();
    EXPECT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 0.2; }, 3s));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(player.SetPosition(2.5, true));
    // The user-interface thread never waits for decoding during playback
    // (the bound leaves room for a loaded machine).
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(player.GetState(), Running);
    EXPECT_GE(player.GetCurrentPosition(), 2.4);
    EXPECT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 2.8; }, 3s));
    // Backwards too.
    ASSERT_TRUE(player.SetPosition(0.5, false));
    EXPECT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 0.6 && player.GetCurrentPosition() < 1.5; }, 3s));
    EXPECT_EQ(WaitForEvent(player, 8s), EC_COMPLETE);
}

TEST(PlayerPlayback, PausedSeekShowsExactFrameAndResumesFromIt) {
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("noaudio.mp4")), 0);
    player.Play();
    std::this_thread::sleep_for(200ms);
    player.Pause();
    const double held = player.GetCurrentPosition();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(player.GetCurrentPosition(), held);  // paused means still

    ASSERT_TRUE(player.SetPosition(1.255, true));
    EXPECT_DOUBLE_EQ(player.GetCurrentPosition(), 1.255);
    Picture grabbed = Grab(player);
    EXPECT_GE(Psnr(grabbed, CliFrame(Clip("noaudio.mp4"), 1.24, 320, 240)), 45.0);
    player.Play();
    EXPECT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 1.4; }, 3s));
    EXPECT_GT(player.GetCurrentPosition(), 1.2);
}

}  // namespace

// A window frees what its frame callback touches as soon as Close returns,
// and Close gives up waiting for the player's threads after a short while.
// So a callback already running when Close starts must be waited for, and
// none may start later, however long the call takes.
TEST(PlayerPlayback, CloseWaitsForTheFrameCallbackInProgressAndCallsNoMore) {
    CMoviePlayer player;
    player.SetSoundEnabled(false);
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> first{true};
    std::atomic<bool> closeReturned{false};
    std::atomic<int> callsAfterClose{0};
    std::promise<void> finished;
    player.SetFrameCallback([&] {
        const bool held = first.exchange(false);
        if (held) {
            entered.set_value();
            released.wait();
        }
        if (closeReturned) ++callsAfterClose;
        if (held) finished.set_value();
    });
    ASSERT_EQ(player.Open(Clip("noaudio.mp4")), 0);
    player.Play();
    ASSERT_EQ(entered.get_future().wait_for(5s), std::future_status::ready);
    std::thread closer([&] {
        player.Close();
        closeReturned = true;
    });
    // Well past the player's own wait for its threads.
    EXPECT_FALSE(WaitUntil([&] { return closeReturned.load(); }, 1s));
    release.set_value();
    closer.join();
    EXPECT_EQ(finished.get_future().wait_for(5s), std::future_status::ready);
    EXPECT_EQ(callsAfterClose.load(), 0);
}
