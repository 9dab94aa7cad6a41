// HDR movies (PQ and HLG) are tone-mapped to SDR in grabs and in playback:
// the pictures match the command line's tone-mapping chain and keep their
// colour, where a plain conversion comes out grey and washed out.
#include "tests/video/player_test_support.h"

namespace {

using namespace std::chrono_literals;

// Mean of (max - min) / max over the pixels: 0 for grey, near 1 for pure colours.
double Saturation(const Picture& p) {
    double sum = 0.0;
    for (size_t i = 0; i + 2 < p.bgr.size(); i += 3) {
        const int hi = std::max({p.bgr[i], p.bgr[i + 1], p.bgr[i + 2]});
        const int lo = std::min({p.bgr[i], p.bgr[i + 1], p.bgr[i + 2]});
        sum += double(hi - lo) / std::max(hi, 1);
    }
    return p.bgr.empty() ? 0.0 : sum / double(p.bgr.size() / 3);
}

constexpr const char* kReferenceChain =
    "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=hable:desat=0,"
    "zscale=t=bt709:m=bt709:r=tv,format=gbrp";

class PlayerHdr : public ::testing::TestWithParam<const char*> {};

TEST_P(PlayerHdr, GrabsAreToneMappedLikeTheCommandLine) {
    const std::string clip = Clip(GetParam());
    CMoviePlayer player;
    ASSERT_EQ(player.Open(clip), 0) << player.GetLastErrorText();
    player.Stop();
    for (double t : {0.02, 1.02}) {
        SCOPED_TRACE(t);
        ASSERT_TRUE(player.SetPosition(t + 0.035, true));
        const Picture grabbed = Grab(player);
        ASSERT_EQ(grabbed.width, 320);
        const Picture mapped = CliFrame(clip, t, 320, 240, kReferenceChain);
        const Picture plain = CliFrame(clip, t, 320, 240);
        ASSERT_FALSE(mapped.bgr.empty() || plain.bgr.empty()) << "command line gave no frame";
        EXPECT_GE(Psnr(grabbed, mapped), 35.0);
        EXPECT_GT(Saturation(grabbed), Saturation(plain) + 0.15);
    }
}

TEST_P(PlayerHdr, PlaybackShowsToneMappedPictures) {
    const std::string clip = Clip(GetParam());
    CMoviePlayer player;
    ASSERT_EQ(player.Open(clip), 0) << player.GetLastErrorText();
    player.Play();
    ASSERT_TRUE(WaitUntil([&] { return player.GetCurrentPosition() > 0.5; }, 3s));
    player.Pause();
    const Picture shown = Grab(player);
    ASSERT_EQ(shown.width, 320);
    EXPECT_GT(Saturation(shown), Saturation(CliFrame(clip, 0.5, 320, 240)) + 0.15);
}

INSTANTIATE_TEST_SUITE_P(Transfers, PlayerHdr, ::testing::Values("hdr_smpte2084.mp4", "hdr_arib-std-b67.mp4"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.index == 0 ? "PQ" : "HLG");
                         });

}  // namespace
