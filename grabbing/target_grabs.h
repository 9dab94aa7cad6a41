#pragma once
// Grabbing a list of positions known ahead from a movie opened for grabbing
// only (no playback): what the command-line tool does for sheets and
// thumbnail tracks. The pictures, labels and blank-picture rule are exactly
// those of grabbing through the player (grab_sequence.h); the work is split by
// key-frame segment over the cores.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "grabbing/grab_sequence.h"
#include "base/op_result.h"

class SegmentGrabber;

struct TargetGrabHooks {
    // True for a picture that should not stand for its position; it is then
    // replaced by the first later one accepted, no later than latest[k]
    // seconds (nothing is looked for without `latest`).
    std::function<bool(const CDibImage&)> rejects;
    // On a worker thread, once a position's frame is settled: may replace its
    // picture by a smaller one (the tile it will fill), so that full-size
    // pictures are not kept.
    std::function<void(size_t index, GrabbedFrame& frame)> shrink;
    // Every position in order, with its frame (an empty one when the movie
    // has no picture there). Called under a lock, one at a time.
    std::function<void(size_t index, GrabbedFrame frame)> take;
    // After each `take` with (positions taken, all), and about every 50 ms
    // with the same counts while the next picture is still being decoded
    // (from the calling thread, under the same lock as `take`); false stops
    // the rest, breaking off a decode in progress.
    std::function<bool(int done, int total)> progress;
    // Optional, one per position: the time of a key frame that is the picture
    // at that position (it starts there and nothing comes between), decoded
    // alone; NaN where the position is reached by decoding as usual.
    std::vector<double> keyFrames;
};

// Opens `movie` for grabbing only and reads its picture size (rotation
// applied); refused with the reason, or when it has no picture to grab.
OpResult OpenGrabSource(SegmentGrabber& grabber, const std::string& movie, int32_t& width, int32_t& height);

// Grabs the exact picture at each of `positions` (ascending seconds, settled as
// the player settles them, labelled with the settled position), in order
// through `hooks.take`. `keyTimes` may tell where key frames are when the
// container keeps no index. `taken` gets the number of positions taken (fewer
// when progress stopped it, which is no failure). Fails, with the reason, when
// the grab could not go on (a decoder could not be opened, memory ran out).
OpResult GrabTargets(SegmentGrabber& grabber, const std::vector<double>& positions, const std::vector<double>& latest,
                     const TargetGrabHooks& hooks, const std::vector<double>& keyTimes = {}, int* taken = nullptr);
