#pragma once
// The three ways of choosing a movie's frames, one name each in the window,
// the tool and the README:
//   exact  (Exact times)          the picture at each of the evenly spaced times;
//   best   (Best near each time)  the best-scoring frame near each of those times;
//   shots  (One per shot)         the sharpest frame of the middle half of each shot.
// Best and shots look at a few candidate frames for each frame they give
// (small pictures only) and convert only the one they keep.
#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/op_result.h"
#include "frames/shot_detect.h"
#include "grabbing/target_grabs.h"

class SegmentGrabber;

enum class FramePick { Exact, Best, Shots };

// "exact", "best", "shots".
const char* PickName(FramePick pick);
// False for any other name.
bool PickFromName(const std::string& name, FramePick& pick);
// "Exact times", "Best near each time", "One per shot".
const char* PickTitle(FramePick pick);

// The frames one choice looks at, ascending and inside the movie.
struct PickSlot {
    std::vector<double> candidates;
    // Looked at only when every candidate is blank or fading.
    std::vector<double> fallback;
};

// A few candidates spread over each [from, until) stretch (ascending, not
// overlapping), the first at `from`; at least a few frames apart.
std::vector<PickSlot> SlotsInStretches(const std::vector<std::pair<double, double>>& stretches, double frameDuration);

// Best near each time: the stretches within `reach` of each of `targets`
// (ascending), inside [0, duration).
std::vector<std::pair<double, double>> StretchesNear(const std::vector<double>& targets, double reach,
                                                     double duration);

// Best near each of `targets` (ascending), within `reach` either side: first
// the frames on the way there (from the key frame before it, which is decoded
// anyway, to a little past it), the whole stretch only when those are all
// blank or fading. `keyBefore` gives the key frame at or before a time (NaN
// when unknown).
std::vector<PickSlot> SlotsNearTimes(const std::vector<double>& targets, double reach, double duration,
                                     double frameDuration, const std::function<double(double)>& keyBefore);

// One per shot: the middle half of each shot, clear of the changes into and
// out of it; `n` frames: the n longest shots when there are more, else the
// longest shots get more, spread inside them. In time order. Blank shots (a
// black gap) get none while any other shot is there.
std::vector<std::pair<double, double>> StretchesOfShots(const std::vector<Shot>& shots,
                                                        const std::vector<std::pair<double, double>>& changes, int n);

// Takes, for each slot in order through `hooks.take`, the best-scoring of its
// candidates (not blank, not in a fade or dissolve, sharpest), labelled with
// its own time; `hooks.shrink` and `hooks.progress` work as for GrabTargets.
// A frame that an earlier slot already gave comes as an empty frame.
OpResult GrabBestOfSlots(SegmentGrabber& grabber, const std::vector<PickSlot>& slots, const TargetGrabHooks& hooks,
                         int* taken = nullptr);

struct ShotChanges;
// Grab All's frames as `pick` says, for the window and the tool alike:
// `positions` are its n evenly spaced steps (`latest` their blank-picture
// limits, for exact times). Shots are found here unless `shots` already
// holds them; `cancel` stops that search.
OpResult GrabChosenFrames(FramePick pick, SegmentGrabber& grabber, const std::string& movie,
                          const std::vector<double>& positions, const std::vector<double>& latest,
                          const TargetGrabHooks& hooks, const ShotChanges* shots = nullptr,
                          const std::atomic<bool>* cancel = nullptr);
