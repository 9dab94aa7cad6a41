#include "frames/frame_score.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Share of the small picture's cells that must lie within kFlatSpread of the
// most common level (in luma and in colour) for a blank picture. A logo or a
// line of text covers well under a tenth of a frame.
constexpr double kBlankShare = 0.9;
constexpr int kFlatSpread = 12;
// Colour drift per frame (ColourDistance / frames) above which a frame is
// taken as part of a fade or dissolve; a shot with motion in it drifts far less.
constexpr double kTransitionDrift = 0.025;

}  // namespace

bool IsBlankPicture(const SmallPicture& picture) {
    if (picture.Empty()) return true;
    int levels[256] = {};
    for (uint8_t value : picture.luma) ++levels[value];
    // The most common level within the spread, and how many cells lie there.
    int best = 0;
    int window = 0;
    for (int v = 0; v <= 2 * kFlatSpread && v < 256; ++v) window += levels[v];
    best = window;
    for (int centre = kFlatSpread + 1; centre + kFlatSpread < 256; ++centre) {
        window += levels[centre + kFlatSpread] - levels[centre - kFlatSpread - 1];
        best = std::max(best, window);
    }
    if (double(best) < kBlankShare * double(picture.luma.size())) return false;
    // One luma with many colours (a flat-lit colour chart) is not blank.
    float chroma[16] = {};
    for (size_t bin = 0; bin < picture.colours.size(); ++bin) chroma[bin % 16] += picture.colours[bin];
    return *std::max_element(chroma, chroma + 16) >= 0.75f;
}

FrameScore ScoreFrame(const SmallPicture& picture, const SmallPicture& after, int framesApart) {
    FrameScore score;
    score.blank = IsBlankPicture(picture);
    score.detail = picture.detail;
    if (!after.Empty() && framesApart > 0)
        score.inTransition = ColourDistance(picture, after) / framesApart > kTransitionDrift;
    return score;
}

bool BetterFrame(const FrameScore& a, const FrameScore& b) {
    if (a.blank != b.blank) return !a.blank;
    if (a.inTransition != b.inTransition) return !a.inTransition;
    return a.detail > b.detail;
}
