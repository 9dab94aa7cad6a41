// Playback timed by sound, through fake sound devices: one that plays in real
// time, and ones that stall or fail part way, which must never stop the movie.
#include <random>

#include "support/fake_audio_sink.h"
#include "tests/video/player_test_support.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

TEST(PlayerSound, PicturesFollowARealTimeSink) {
    FakeSinkScope fake({FakeSinkPlan::RealTime});
    CMoviePlayer player;
    std::atomic<int> frames{0};
    player.SetFrameCallback([&] { ++frames; });
    ASSERT_EQ(player.Open(Clip("h264_aac.mp4")), 0) << player.GetLastErrorText();
    ASSERT_TRUE(player.PlaysSound());
    const auto start = Clock::now();
    player.Play();
    EXPECT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 1.0; }, 3s));
    player.Pause();
    const double held = player.GetCurrentPosition();
    const int64_t pulledAtPause = fake.Log().bytesPulled;
    std::this_thread::sleep_for(300ms);
    EXPECT_NEAR(player.GetCurrentPosition(), held, 0.05);
    EXPECT_LT(fake.Log().bytesPulled - pulledAtPause, 44100 * 2 * 2 / 10) << "a paused sink pulls nothing";
    player.Play();
    EXPECT_EQ(WaitForEvent(player, 10s), EC_COMPLETE);
    const double seconds = SecondsSince(start);
    EXPECT_GT(seconds, 3.5);
    EXPECT_LT(seconds, 7.0);
    EXPECT_TRUE(player.PlaysSound());
    EXPECT_GT(frames.load(), 80);
    // About four seconds of the clip's mono sound went to the device.
    EXPECT_GT(fake.Log().bytesPulled.load(), int64_t(3.5 * 44100 * 2));
}

// A device that stops taking data, or fails, part way: the sound is dropped and
// the movie plays on by the steady clock to its one end event.
struct BrokenSink {
    FakeSinkPlan::Kind kind;
    const char* clip;
    double duration;
};

class PlayerBrokenSound : public ::testing::TestWithParam<BrokenSink> {};

TEST_P(PlayerBrokenSound, MovieStillPlaysToItsEnd) {
    const BrokenSink param = GetParam();
    FakeSinkScope fake({param.kind, 0.5});
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip(param.clip)), 0) << player.GetLastErrorText();
    ASSERT_TRUE(player.PlaysSound());
    const auto start = Clock::now();
    player.Play();
    EXPECT_TRUE(WaitUntil([&] { return !player.PlaysSound(); }, 3s)) << "the broken device was not noticed";
    // The position keeps moving while nothing pulls.
    const double before = player.GetCurrentPosition();
    EXPECT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > before + 0.3; }, 2s));
    EXPECT_EQ(WaitForEvent(player, 10s), EC_COMPLETE);
    // The time lost is at most the second it took to notice the stall.
    EXPECT_LT(SecondsSince(start), param.duration + 2.5);
    EXPECT_NEAR(player.GetCurrentPosition(), param.duration, 0.1);
    EXPECT_EQ(player.GetEvent(), 0);

    // Played again from the start it stays silent and ends again.
    player.Play();
    EXPECT_LT(player.GetCurrentPosition(), 0.5);
    EXPECT_EQ(WaitForEvent(player, 10s), EC_COMPLETE);
}

INSTANTIATE_TEST_SUITE_P(Devices, PlayerBrokenSound,
                         ::testing::Values(BrokenSink{FakeSinkPlan::Stall, "h264_aac.mp4", 4.0},
                                           BrokenSink{FakeSinkPlan::Fail, "h264_aac.mp4", 4.0},
                                           BrokenSink{FakeSinkPlan::Stall, "audioonly.m4a", 2.0}));

// Sound packets the decoder refuses are skipped: the device stays, the
// pictures keep their pace and the movie ends once.
TEST(PlayerSound, UndecodableSoundPacketsAreSkipped) {
    FakeSinkScope fake({FakeSinkPlan::RealTime});
    CMoviePlayer player;
    std::atomic<int> frames{0};
    player.SetFrameCallback([&] { ++frames; });
    ASSERT_EQ(player.Open(Clip("badaudio.mp4")), 0) << player.GetLastErrorText();
    const auto start = Clock::now();
    player.Play();
    EXPECT_EQ(WaitForEvent(player, 10s), EC_COMPLETE);
    EXPECT_GT(SecondsSince(start), 3.5);
    EXPECT_LT(SecondsSince(start), 7.0);
    EXPECT_GT(frames.load(), 80);
    EXPECT_TRUE(player.PlaysSound());
    EXPECT_EQ(player.GetEvent(), 0);
}

// Seeks in quick succession while sound plays, some paused, some backwards:
// every one is answered at once, the position lands where the last one asked,
// and the movie still ends once.
TEST(PlayerSound, SeekStormWhilePlaying) {
    FakeSinkScope fake({FakeSinkPlan::RealTime});
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("h264_aac.mp4")), 0) << player.GetLastErrorText();
    player.Play();
    std::mt19937 random(7);
    std::uniform_real_distribution<double> where(0.0, 3.9);
    for (int i = 0; i < 60; ++i) {
        if (i % 15 == 7) player.Pause();
        if (i % 15 == 10) player.Play();
        const auto asked = Clock::now();
        const double target = where(random);
        ASSERT_TRUE(player.SetPosition(target, true));
        EXPECT_LT(Clock::now() - asked, 1s);
        EXPECT_NEAR(player.GetCurrentPosition(), target, 0.05);
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 40));
    }
    player.Play();
    ASSERT_TRUE(player.SetPosition(2.0, true));
    EXPECT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 2.4; }, 3s));
    EXPECT_LT(player.GetCurrentPosition(), 3.5);
    EXPECT_TRUE(player.PlaysSound());
    EXPECT_EQ(WaitForEvent(player, 8s), EC_COMPLETE);
    EXPECT_EQ(player.GetEvent(), 0);
}

}  // namespace
