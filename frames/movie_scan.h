#pragma once
// The quick pass over a whole movie for shot detection: every frame that
// others refer to is decoded (the rest are left out, and so is the in-loop
// deblocking, which a small picture does not miss) and reduced to a small
// picture on the decoder's thread. The movie is cut into as many stretches as
// there are workers, each with its own demuxer and decoder.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "base/op_result.h"
#include "frames/shot_detect.h"

struct ScanOptions {
    unsigned threads = 0;  // 0: one per core
    // While true, the scan stops soon; what it found so far is dropped.
    const std::atomic<bool>* cancel = nullptr;
    // Share of the movie scanned, 0 to 1; called from the workers, one at a time.
    std::function<void(double)> progress;
};

// The small pictures of `movie` (`duration` seconds) in time order. Fails,
// with the reason, when the movie cannot be read or the scan was stopped.
OpResult ScanMovie(const std::string& movie, double duration, const ScanOptions& options,
                   std::vector<ScanSample>& samples);
