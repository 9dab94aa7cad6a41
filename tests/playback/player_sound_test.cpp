// Playback timed by sound through fake devices: one that plays in real time,
// ones that stall or fail part way, and sound that mostly cannot be decoded.
// None of them may stop the movie or change its pace.
#include <random>

#include "support/fake_audio_sink.h"
#include "tests/playback/player_test_support.h"

namespace {

using namespace std::chrono_literals;

struct SoundCase {
    FakeSinkPlan plan;
    const char* clip;
    double duration;
    bool keepsSound;  // the device is still in use at the end
};

class PlayerSound : public ::testing::TestWithParam<SoundCase> {};

TEST_P(PlayerSound, PlaysToItsOneEndAtItsOwnPace) {
    const SoundCase c = GetParam();
    FakeSinkScope fake(c.plan);
    CMoviePlayer player;
    std::atomic<int> frames{0};
    player.SetFrameCallback([&] { ++frames; });
    ASSERT_EQ(player.Open(Clip(c.clip)), 0) << player.GetLastErrorText();
    ASSERT_TRUE(player.PlaysSound());
    const auto start = std::chrono::steady_clock::now();
    player.Play();
    EXPECT_EQ(WaitForEvent(player, 10s), EC_COMPLETE);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(seconds, c.duration - 0.5);
    EXPECT_LT(seconds, c.duration + 2.0);
    EXPECT_NEAR(player.GetCurrentPosition(), c.duration, 0.1);
    EXPECT_EQ(player.PlaysSound(), c.keepsSound);
    if (std::string(c.clip) != "audioonly.m4a") EXPECT_GT(frames.load(), 20 * c.duration);
    EXPECT_EQ(player.GetEvent(), 0);
}

INSTANTIATE_TEST_SUITE_P(Devices, PlayerSound,
                         ::testing::Values(SoundCase{{FakeSinkPlan::RealTime}, "badaudio.mp4", 4.0, true},
                                           SoundCase{{FakeSinkPlan::Stall, 0.5}, "h264_aac.mp4", 4.0, false},
                                           SoundCase{{FakeSinkPlan::Fail, 0.5}, "h264_aac.mp4", 4.0, false},
                                           SoundCase{{FakeSinkPlan::Stall, 0.5}, "audioonly.m4a", 2.0, false}));

// Seeks in quick succession while sound plays, some paused: each is answered
// at once, the position lands where the last one asked, and the movie ends once.
TEST(PlayerSoundSeeks, StormWhilePlaying) {
    FakeSinkScope fake({FakeSinkPlan::RealTime});
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Clip("h264_aac.mp4")), 0) << player.GetLastErrorText();
    player.Play();
    std::mt19937 random(7);
    for (int i = 0; i < 60; ++i) {
        if (i % 15 == 7) player.Pause();
        if (i % 15 == 10) player.Play();
        const auto asked = std::chrono::steady_clock::now();
        const double target = std::uniform_real_distribution<double>(0.0, 3.9)(random);
        ASSERT_TRUE(player.SetPosition(target, true));
        EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
        EXPECT_NEAR(player.GetCurrentPosition(), target, 0.05);
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 40));
    }
    player.Play();
    ASSERT_TRUE(player.SetPosition(2.0, true));
    EXPECT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 2.4; }, 3s));
    EXPECT_LT(player.GetCurrentPosition(), 3.5);
    EXPECT_EQ(WaitForEvent(player, 8s), EC_COMPLETE);
    EXPECT_TRUE(player.PlaysSound());
    EXPECT_EQ(player.GetEvent(), 0);
}

}  // namespace
