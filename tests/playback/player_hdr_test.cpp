// HDR movies (PQ and HLG) are tone-mapped to SDR in grabs and in playback:
// grabs match the command line's tone-mapping chain, and pictures keep their
// colour where a plain conversion comes out grey and washed out.
#include "tests/playback/player_test_support.h"

namespace {

// Mean of (max - min) / max over the pixels: 0 for grey, near 1 for pure colours.
double Saturation(const Picture& p) {
    double sum = 0.0;
    for (size_t i = 0; i + 2 < p.bgr.size(); i += 3) {
        const int hi = std::max({p.bgr[i], p.bgr[i + 1], p.bgr[i + 2]});
        sum += double(hi - std::min({p.bgr[i], p.bgr[i + 1], p.bgr[i + 2]})) / std::max(hi, 1);
    }
    return sum / double(std::max<size_t>(p.bgr.size() / 3, 1));
}

class PlayerHdr : public ::testing::TestWithParam<const char*> {};

TEST_P(PlayerHdr, ToneMappedInGrabsAndPlayback) {
    const std::string clip = Clip(GetParam());
    CMoviePlayer player;
    ASSERT_EQ(player.Open(clip), 0) << player.GetLastErrorText();
    for (double t : {0.02, 1.02}) {
        ASSERT_TRUE(player.SetPosition(t + 0.035, true));
        const Picture mapped = CliFrame(clip, t, 320, 240,
                                        "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,"
                                        "tonemap=tonemap=hable:desat=0,zscale=t=bt709:m=bt709:r=tv,format=gbrp");
        EXPECT_GE(Psnr(Grab(player), mapped), 35.0) << t;
        EXPECT_GT(Saturation(Grab(player)), Saturation(CliFrame(clip, t, 320, 240)) + 0.15) << t;
    }
    player.Play();
    ASSERT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 1.5; }, std::chrono::seconds(3)));
    player.Pause();
    EXPECT_GT(Saturation(Grab(player)), Saturation(CliFrame(clip, 1.5, 320, 240)) + 0.15);
}

INSTANTIATE_TEST_SUITE_P(Transfers, PlayerHdr, ::testing::Values("hdr_smpte2084.mp4", "hdr_arib-std-b67.mp4"),
                         [](const auto& info) { return std::string(info.index == 0 ? "PQ" : "HLG"); });

}  // namespace
