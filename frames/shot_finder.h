#pragma once
// Shots of a movie, found on the grab engine: a quick scan of the frames
// others refer to, then, around each cut where the scan left frames out, the
// exact frames between, so that every cut lands on its own frame.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "base/op_result.h"
#include "frames/shot_detect.h"

class SegmentGrabber;

struct ShotChanges {
    std::vector<Shot> shots;
    // The stretches where one shot turns into the next (fades, dissolves;
    // for a cut, its two frames); frames there are not worth showing.
    std::vector<std::pair<double, double>> changes;
    // The scan's small pictures, in time order: frames to choose from
    // without decoding again.
    std::vector<ScanSample> samples;
};

struct ShotFinding {
    const std::atomic<bool>* cancel = nullptr;
    // 0 to 1; called from worker threads, one at a time.
    std::function<void(double)> progress;
};

// `grabber` is open on `movie`. Fails with the reason (the movie cannot be
// read, the search was stopped).
OpResult FindShots(SegmentGrabber& grabber, const std::string& movie, ShotChanges& out,
                   const ShotFinding& finding = {});
