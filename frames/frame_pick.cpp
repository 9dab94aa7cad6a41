#include "frames/frame_pick.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>

#include "frames/frame_score.h"
#include "frames/shot_finder.h"
#include "grabbing/frames_in_order.h"
#include "grabbing/segment_grabber.h"
#include "sheet/movie_details.h"

namespace {

// Candidates looked at for each frame given.
constexpr int kCandidates = 7;
// How far before a candidate the frame is that tells whether it is fading,
// when no other candidate lies within kDriftSpan seconds before it.
constexpr int kDriftFrames = 3;
constexpr double kDriftSpan = 1.0;

// Up to kCandidates times spread over [from, until), the first at `from`,
// at least a few frames apart.
std::vector<double> SpreadTimes(double from, double until, double frame, int count = kCandidates) {
    std::vector<double> times;
    const double step = std::max((until - from) / count, (kDriftFrames + 1) * frame);
    for (double t = from; t < until - 0.25 * frame || times.empty(); t += step) times.push_back(t);
    return times;
}

struct SlotState {
    int visited = 0;
    // The candidate looked at last, to tell a fade from how fast colours move.
    SmallPicture last;
    double lastTime = -1.0;
    bool any = false;
    FrameScore score;
    double time = -1.0;
    GrabbedFrame frame;
    bool shrunk = false;  // `frame` was made small already (while the slot waited)
};

}  // namespace

const char* PickName(FramePick pick) {
    switch (pick) {
        case FramePick::Best: return "best";
        case FramePick::Shots: return "shots";
        default: return "exact";
    }
}

bool PickFromName(const std::string& name, FramePick& pick) {
    for (FramePick p : {FramePick::Exact, FramePick::Best, FramePick::Shots}) {
        if (name == PickName(p)) {
            pick = p;
            return true;
        }
    }
    return false;
}

const char* PickTitle(FramePick pick) {
    switch (pick) {
        case FramePick::Best: return "Best near each time";
        case FramePick::Shots: return "One per shot";
        default: return "Exact times";
    }
}

std::vector<PickSlot> SlotsInStretches(const std::vector<std::pair<double, double>>& stretches,
                                       double frameDuration) {
    const double frame = frameDuration > 0.0 ? frameDuration : 0.04;
    std::vector<PickSlot> slots;
    for (const auto& [from, until] : stretches) {
        PickSlot slot;
        slot.candidates = SpreadTimes(from, until, frame);
        slots.push_back(std::move(slot));
    }
    return slots;
}

std::vector<PickSlot> SlotsNearTimes(const std::vector<double>& targets, double reach, double duration,
                                     double frameDuration, const std::function<double(double)>& keyBefore) {
    const double frame = frameDuration > 0.0 ? frameDuration : 0.04;
    std::vector<PickSlot> slots;
    for (double t : targets) {
        const double from = std::max(0.0, t - reach), until = std::max(from, std::min(duration, t + reach));
        double near = from;
        const double key = keyBefore ? keyBefore(t) : std::nan("");
        if (std::isfinite(key) && key > near && key <= t) near = key;
        PickSlot slot;
        // The way from the key frame to the time is decoded anyway; a
        // quarter of the reach past it costs little more.
        const double past = std::min(until, t + 0.25 * reach);
        slot.candidates = SpreadTimes(near, t, frame, kCandidates - 2);
        for (double later : SpreadTimes(t, past, frame, 2)) slot.candidates.push_back(later);
        std::sort(slot.candidates.begin(), slot.candidates.end());
        slot.candidates.erase(std::unique(slot.candidates.begin(), slot.candidates.end(),
                                          [&](double a, double b) { return b - a < 0.5 * frame; }),
                              slot.candidates.end());
        for (double other : SpreadTimes(from, until, frame))
            if (other < near - 0.5 * frame || other > past + 0.5 * frame) slot.fallback.push_back(other);
        slots.push_back(std::move(slot));
    }
    return slots;
}

std::vector<std::pair<double, double>> StretchesNear(const std::vector<double>& targets, double reach,
                                                     double duration) {
    std::vector<std::pair<double, double>> stretches;
    for (double t : targets) {
        const double from = std::max(0.0, t - reach), until = std::max(from, std::min(duration, t + reach));
        stretches.emplace_back(from, until);
    }
    return stretches;
}

std::vector<std::pair<double, double>> StretchesOfShots(const std::vector<Shot>& shots,
                                                        const std::vector<std::pair<double, double>>& changes, int n) {
    std::vector<std::pair<double, double>> stretches;
    if (shots.empty() || n < 1) return stretches;
    // How many frames each shot gives: the n longest one each; with frames to
    // spare, each goes to the shot whose frames would lie furthest apart.
    // A black gap between shots is no shot worth a frame, unless nothing else is.
    const bool anyPicture = std::any_of(shots.begin(), shots.end(), [](const Shot& s) { return !s.blank; });
    std::vector<size_t> order;
    for (size_t k = 0; k < shots.size(); ++k)
        if (!shots[k].blank || !anyPicture) order.push_back(k);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return shots[a].Length() > shots[b].Length(); });
    std::vector<int> count(shots.size(), 0);
    for (size_t k = 0; k < order.size() && k < size_t(n); ++k) count[order[k]] = 1;
    for (int spare = n - int(std::min(order.size(), size_t(n))); spare > 0; --spare) {
        size_t roomiest = order.front();
        for (size_t k : order)
            if (shots[k].Length() / (count[k] + 1) > shots[roomiest].Length() / (count[roomiest] + 1)) roomiest = k;
        ++count[roomiest];
    }
    for (size_t k = 0; k < shots.size(); ++k) {
        if (count[k] == 0) continue;
        double start = shots[k].start, end = shots[k].end;
        // Clear of a fade or dissolve running into or out of the shot.
        for (const auto& [from, until] : changes) {
            if (from <= start && until > start) start = std::max(start, until);
            if (from < end && until >= end) end = std::min(end, from);
        }
        if (end - start < 0.5 * shots[k].Length()) {
            start = shots[k].start;
            end = shots[k].end;
        }
        const double part = (end - start) / count[k];
        for (int j = 0; j < count[k]; ++j) {
            const double a = start + part * j;
            stretches.emplace_back(a + 0.25 * part, a + 0.75 * part);
        }
    }
    return stretches;
}

OpResult GrabBestOfSlots(SegmentGrabber& grabber, const std::vector<PickSlot>& slots, const TargetGrabHooks& hooks,
                         int* taken) {
    if (taken) *taken = 0;
    std::vector<double> positions;
    std::vector<size_t> slotOf;
    for (size_t s = 0; s < slots.size(); ++s) {
        for (double t : slots[s].candidates) {
            positions.push_back(t);
            slotOf.push_back(s);
        }
    }
    if (positions.empty()) return OpResult::Success();
    std::vector<SlotState> states(slots.size());
    // A frame before the key frame a slot starts from would cost a decode of
    // the group of pictures before it: no earlier frame is looked at there.
    std::vector<double> keyOf(slots.size(), -1.0);
    for (size_t s = 0; s < slots.size(); ++s) {
        if (slots[s].candidates.empty()) continue;
        const double key = grabber.KeyFrameAtOrBefore(grabber.SettledPosition(slots[s].candidates.front()));
        if (std::isfinite(key)) keyOf[s] = key;
    }
    std::vector<size_t> pending;  // slots whose fallback is to be looked at
    bool second = false;
    std::mutex mutex;
    double lastGiven = -1.0;
    TargetGrabHooks ordered = hooks;
    // Frames stay distinct: a frame an earlier slot gave is not given twice.
    ordered.take = [&](size_t index, GrabbedFrame frame) {
        const double time = states[index].time;
        if (frame.image && time == lastGiven) frame = GrabbedFrame{};
        if (frame.image) lastGiven = time;
        if (hooks.take) hooks.take(index, std::move(frame));
    };
    FramesInOrder order(ordered, int(slots.size()));
    const double frame = grabber.Info().frameDuration > 0.0 ? grabber.Info().frameDuration : 0.04;
    const auto visit = [&](size_t k, SegmentGrabber::Source& source) {
        thread_local SmallPictureMaker maker;
        const size_t s = slotOf[k];
        SmallPicture earlier, picture;
        double shown = 0.0;
        const double at = positions[k];
        int apart = kDriftFrames;
        {
            // The candidate before, when it is near enough to tell; else a
            // frame a little before this one, decoded on the way.
            std::lock_guard lock(mutex);
            const SlotState& state = states[s];
            if (state.lastTime >= 0.0 && state.lastTime < at && at - state.lastTime < kDriftSpan) {
                earlier = state.last;
                apart = std::max(1, int(std::lround((at - state.lastTime) / frame)));
            }
        }
        if (earlier.Empty() && at - kDriftFrames * frame >= std::max(0.0, keyOf[s])) {
            const AVFrame* raw = source.RawPictureAt(at - kDriftFrames * frame, shown);
            if (!raw || !maker.Make(raw, earlier)) earlier = {};
        }
        const AVFrame* raw = source.RawPictureAt(at, shown);
        std::unique_ptr<CDibImage> image;
        FrameScore score;
        bool better = false;
        if (raw && maker.Make(raw, picture)) {
            score = ScoreFrame(picture, earlier, apart);
            {
                std::lock_guard lock(mutex);
                better = !states[s].any || BetterFrame(score, states[s].score);
            }
            if (better) {
                image = std::make_unique<CDibImage>();
                if (!source.ConvertLast(*image)) image.reset();
            }
        }
        GrabbedFrame done;
        bool finished = false;
        bool shrunk = false;
        {
            std::lock_guard lock(mutex);
            SlotState& state = states[s];
            if (!picture.Empty() && shown > state.lastTime) {
                state.last = picture;
                state.lastTime = shown;
            }
            if (image && (!state.any || BetterFrame(score, state.score))) {
                state.any = true;
                state.score = score;
                state.time = shown;
                state.frame.image = std::move(image);
                state.shrunk = false;
                state.frame.label = FormatTimeLabel(shown);
                state.frame.time = shown;
            }
            const size_t looked = slots[s].candidates.size() + (second ? slots[s].fallback.size() : 0);
            finished = ++state.visited == int(looked);
            // Only blank or fading frames so far: the rest of the stretch decides.
            if (finished && !second && !slots[s].fallback.empty() &&
                (!state.any || state.score.blank || state.score.inTransition)) {
                // A waiting slot keeps its frame small: a dark movie may park
                // most of its slots until the second pass.
                if (state.frame.image && hooks.shrink && !state.shrunk) {
                    hooks.shrink(s, state.frame);
                    state.shrunk = true;
                }
                pending.push_back(s);
                return true;
            }
            if (finished) {
                shrunk = state.shrunk;
                done = std::move(state.frame);
            }
        }
        if (!finished) return true;
        if (done.image && hooks.shrink && !shrunk) hooks.shrink(s, done);
        return order.Finished(s, std::move(done));
    };
    // A stop asked for while a long stretch is decoded ends it at once.
    std::function<bool()> stopRequested;
    if (hooks.progress) stopRequested = [&] { return !order.StillWanted(); };
    OpResult run = grabber.Run(positions, visit, 0, {}, stopRequested);
    if (run && !pending.empty()) {
        std::sort(pending.begin(), pending.end());
        positions.clear();
        slotOf.clear();
        for (size_t s : pending) {
            for (double t : slots[s].fallback) {
                positions.push_back(t);
                slotOf.push_back(s);
            }
        }
        second = true;
        run = grabber.Run(positions, visit, 0, {}, stopRequested);
    }
    if (taken) *taken = order.Taken();
    return run;
}

OpResult GrabChosenFrames(FramePick pick, SegmentGrabber& grabber, const std::string& movie,
                          const std::vector<double>& positions, const std::vector<double>& latest,
                          const TargetGrabHooks& hooks, const ShotChanges* shots, const std::atomic<bool>* cancel) {
    const double frame = grabber.Info().frameDuration > 0.0 ? grabber.Info().frameDuration : 0.04;
    const double duration = grabber.Info().duration;
    const int n = int(positions.size());
    switch (pick) {
        case FramePick::Best: {
            // Within a third of the step either side: the stretches never meet.
            const double reach = duration / (n + 1) / 3.0;
            const auto keyBefore = [&](double t) { return grabber.KeyFrameAtOrBefore(grabber.SettledPosition(t)); };
            return GrabBestOfSlots(grabber, SlotsNearTimes(positions, reach, duration, frame, keyBefore), hooks);
        }
        case FramePick::Shots: {
            ShotChanges found;
            if (!shots) {
                ShotFinding finding;
                finding.cancel = cancel;
                if (OpResult ok = FindShots(grabber, movie, found, finding); !ok) return ok;
                shots = &found;
            }
            // The scan already looked at the frames others refer to: the best
            // of those in each stretch is taken exactly, as Grab All takes a time.
            std::vector<double> chosen;
            const auto& samples = shots->samples;
            for (const auto& [from, until] : StretchesOfShots(shots->shots, shots->changes, n)) {
                const auto first = std::lower_bound(samples.begin(), samples.end(), from,
                                                    [](const ScanSample& a, double t) { return a.time < t; });
                double best = -1.0;
                FrameScore bestScore;
                for (auto it = first; it != samples.end() && it->time < until; ++it) {
                    const SmallPicture none;
                    const FrameScore score =
                        ScoreFrame(it->picture, it == samples.begin() ? none : (it - 1)->picture,
                                   it == samples.begin() ? 0 : std::max(1, int(std::lround((it->time - (it - 1)->time) / frame))));
                    if (best < 0.0 || BetterFrame(score, bestScore)) {
                        best = it->time;
                        bestScore = score;
                    }
                }
                if (best < 0.0) best = 0.5 * (from + until);
                // A quarter frame on, so that rounding cannot fall back a frame.
                if (chosen.empty() || best + 0.25 * frame > chosen.back()) chosen.push_back(best + 0.25 * frame);
            }
            TargetGrabHooks own = hooks;
            own.take = [&](size_t index, GrabbedFrame grabbed) {
                if (grabbed.image) {
                    grabbed.time = chosen[index] - 0.25 * frame;
                    grabbed.label = FormatTimeLabel(grabbed.time);
                }
                if (hooks.take) hooks.take(index, std::move(grabbed));
            };
            return GrabTargets(grabber, chosen, {}, own);
        }
        default:
            return GrabTargets(grabber, positions, latest, hooks);
    }
}
