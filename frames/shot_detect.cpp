#include "frames/shot_detect.h"

#include <algorithm>
#include <cmath>

#include "frames/frame_score.h"

namespace {

// Pictures this far apart either side of a sample are compared for the slow
// colour drift of a fade or dissolve.
constexpr double kSpan = 0.4;
// Colour distance across that span that marks a change of shot.
constexpr double kChanged = 0.3;
// A cut's jump (colour plus luma distance) at least this large and this many
// times the jumps beside it.
constexpr double kCutJump = 0.25;
constexpr double kCutStandsOut = 3.0;
// A cut between shots of like colours: a luma jump this large, this many times
// those beside it.
constexpr double kLumaCut = 0.12;
constexpr double kLumaStandsOut = 4.0;
// Luma correlation above which two pictures show the same shapes.
constexpr double kSameShapes = 0.85;

double Jump(const SmallPicture& a, const SmallPicture& b) { return ColourDistance(a, b) + LumaDistance(a, b); }

struct Region {
    size_t first, last;  // samples whose span crosses the change
};

}  // namespace

std::vector<ShotBoundary> FindBoundaries(const std::vector<ScanSample>& samples) {
    std::vector<ShotBoundary> found;
    const size_t n = samples.size();
    if (n < 3) return found;
    const auto picture = [&](size_t i) -> const SmallPicture& { return samples[i].picture; };
    std::vector<double> jump(n, 0.0), luma(n, 0.0);
    std::vector<bool> blank(n), cut(n, false);
    for (size_t i = 0; i < n; ++i) {
        blank[i] = IsBlankPicture(picture(i));
        if (i > 0) {
            jump[i] = Jump(picture(i - 1), picture(i));
            luma[i] = LumaDistance(picture(i - 1), picture(i));
        }
    }
    // Cuts: a jump that stands out from the pictures on at least one side
    // (the other may be busy: a cut into motion), where the pictures after it
    // do not come back to the one before (a flash does).
    const auto returns = [&](size_t i, double jumped, double (*measure)(const SmallPicture&, const SmallPicture&)) {
        for (size_t k = i + 1; k <= i + 2 && k < n; ++k)
            if (measure(picture(i - 1), picture(k)) < 0.5 * jumped) return true;
        return false;
    };
    const auto lumaOnly = [](const SmallPicture& a, const SmallPicture& b) { return LumaDistance(a, b); };
    const auto both = [](const SmallPicture& a, const SmallPicture& b) { return Jump(a, b); };
    for (size_t i = 1; i < n; ++i) {
        const double before = i >= 2 ? jump[i - 1] : 0.0, after = i + 1 < n ? jump[i + 1] : 0.0;
        // A fade keeps the picture's shapes; a cut brings others.
        const bool reshaped = LumaCorrelation(picture(i - 1), picture(i)) < kSameShapes;
        bool isCut = reshaped && jump[i] >= kCutJump && jump[i] >= kCutStandsOut * std::min(before, after) &&
                     jump[i] >= 1.5 * std::max(before, after) && !returns(i, jump[i], both);
        // Between shots of like colours only the luma jumps.
        const double lumaBefore = i >= 2 ? luma[i - 1] : 0.0, lumaAfter = i + 1 < n ? luma[i + 1] : 0.0;
        isCut = isCut || (reshaped && luma[i] >= kLumaCut && luma[i] >= kLumaStandsOut * std::max(lumaBefore, lumaAfter) &&
                          !returns(i, luma[i], lumaOnly));
        if (!isCut) continue;
        cut[i] = true;
        ShotBoundary boundary;
        boundary.before = i - 1;
        boundary.after = i;
        boundary.time = samples[i].time;
        boundary.changeStart = samples[i - 1].time;
        boundary.changeEnd = samples[i].time;
        found.push_back(boundary);
    }
    // drift[i]: colours of the pictures kSpan before and after sample i,
    // neither across a cut.
    std::vector<double> drift(n, 0.0);
    size_t lo = 0, hi = 0, shotStart = 0;
    for (size_t i = 0; i < n; ++i) {
        if (cut[i]) shotStart = lo = i;
        while (lo + 1 < i && samples[lo + 1].time <= samples[i].time - kSpan) ++lo;
        hi = std::max(hi, i);
        while (hi + 1 < n && !cut[hi + 1] && samples[hi].time < samples[i].time + kSpan) ++hi;
        drift[i] = ColourDistance(picture(std::max(lo, shotStart)), picture(hi));
    }
    // Runs of high drift; runs separated only by blank pictures or by less
    // than a span are one change (a fade out, black, a fade in).
    std::vector<Region> regions;
    for (size_t i = 0; i < n; ++i) {
        if (drift[i] < kChanged) continue;
        size_t last = i;
        while (last + 1 < n && drift[last + 1] >= kChanged && !cut[last + 1]) ++last;
        if (!regions.empty() && !cut[i]) {
            Region& previous = regions.back();
            bool joined = samples[i].time - samples[previous.last].time < kSpan;
            for (size_t k = previous.last + 1; k <= i; ++k) joined = joined && !cut[k];
            if (!joined) {
                joined = true;
                for (size_t k = previous.last + 1; k < i && joined; ++k) joined = blank[k] && !cut[k];
            }
            if (joined) {
                previous.last = last;
                i = last;
                continue;
            }
        }
        regions.push_back({i, last});
        i = last;
    }
    for (const Region& region : regions) {
        size_t p = region.first > 0 ? region.first - 1 : 0;
        size_t q = std::min(n - 1, region.last + 1);
        if (cut[region.first]) p = region.first;
        if (q > region.last && cut[q]) q = region.last;
        // A flash, or a stretch of motion, leaves the two sides alike.
        if (q <= p || ColourDistance(picture(p), picture(q)) < 0.7 * kChanged) continue;
        // The change lies where the colours move; its middle is the boundary.
        double total = 0.0;
        for (size_t i = p + 1; i <= q; ++i) total += ColourDistance(picture(i - 1), picture(i));
        double walked = 0.0;
        size_t middle = p + 1, start = q, end = p;
        for (size_t i = p + 1; i <= q; ++i) {
            const double step = ColourDistance(picture(i - 1), picture(i));
            if (step >= 0.05 * total) {
                start = std::min(start, i - 1);
                end = std::max(end, i);
            }
            if (walked < 0.5 * total) middle = i;
            walked += step;
        }
        ShotBoundary boundary;
        boundary.kind = BoundaryKind::Gradual;
        boundary.before = middle - 1;
        boundary.after = middle;
        boundary.time = samples[middle].time;
        boundary.changeStart = samples[std::min(start, middle - 1)].time;
        boundary.changeEnd = samples[std::max(end, middle)].time;
        found.push_back(boundary);
    }
    std::sort(found.begin(), found.end(), [](const ShotBoundary& a, const ShotBoundary& b) { return a.time < b.time; });
    return found;
}

size_t FirstFrameOfNewShot(const SmallPicture& before, const SmallPicture& after,
                           const std::vector<SmallPicture>& frames) {
    for (size_t k = 0; k < frames.size(); ++k)
        if (Jump(frames[k], after) < Jump(frames[k], before)) return k;
    return frames.size();
}

std::vector<Shot> ShotsBetween(std::vector<double> boundaries, double duration, double frameDuration) {
    const double frame = frameDuration > 0.0 ? frameDuration : 0.04;
    const auto frameOf = [&](double t) { return int64_t(std::llround(t / frame)); };
    std::sort(boundaries.begin(), boundaries.end());
    std::vector<double> starts{0.0};
    for (double t : boundaries)
        if (t > starts.back() && t < duration) starts.push_back(t);
    // Short shots merge into a neighbour: into the one before, the first
    // into the one after.
    for (size_t k = 0; k < starts.size() && starts.size() > 1;) {
        const double end = k + 1 < starts.size() ? starts[k + 1] : duration;
        if (end - starts[k] >= kShortestShot) {
            ++k;
            continue;
        }
        starts.erase(starts.begin() + long(k > 0 ? k : 1));
        if (k > 0) --k;
    }
    std::vector<Shot> shots;
    const int64_t lastFrame = std::max<int64_t>(0, int64_t(std::ceil(duration / frame - 1e-6)) - 1);
    for (size_t k = 0; k < starts.size(); ++k) {
        Shot shot;
        shot.start = starts[k];
        shot.end = k + 1 < starts.size() ? starts[k + 1] : std::max(duration, starts[k]);
        shot.firstFrame = frameOf(shot.start);
        shot.lastFrame = k + 1 < starts.size() ? frameOf(starts[k + 1]) - 1 : std::max(lastFrame, shot.firstFrame);
        shots.push_back(shot);
    }
    return shots;
}
