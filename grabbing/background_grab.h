#pragma once
// Grab All's frames taken on threads of their own, so that the thread that
// asked (the window's) goes on handling events while the movie is decoded:
// the grab-only engine (target_grabs.h) opens the movie again and takes every
// position, and the frames wait here, in position order, until the asking
// thread collects them.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/op_result.h"
#include "grabbing/grab_sequence.h"
#include "grabbing/target_grabs.h"

class BackgroundGrab {
public:
    // Starts grabbing `positions` (ascending seconds) of `movie` at once.
    // `wake` is called on a grabbing thread whenever frames are ready or the
    // run has ended; it must only wake the asking thread (post an event), never
    // call back into this object. It is never called once this object is gone.
    // How the frames are taken: by default the exact picture at each position
    // (GrabTargets); another way gets the opened grabber, the positions, the
    // hooks to hand its frames to, and the flag that is set when the run stops.
    using Way = std::function<OpResult(SegmentGrabber& grabber, const std::string& movie,
                                       const std::vector<double>& positions, const TargetGrabHooks& hooks,
                                       const std::atomic<bool>& stopped)>;
    BackgroundGrab(std::string movie, std::vector<double> positions, std::function<void()> wake, Way way = {});
    // Stops the run and waits for its threads, but no longer than kStopWait:
    // a thread inside a read that nothing can break off (a hard-mounted share
    // that went away) is left to finish on its own, owning what it uses.
    ~BackgroundGrab();
    BackgroundGrab(const BackgroundGrab&) = delete;
    BackgroundGrab& operator=(const BackgroundGrab&) = delete;

    static constexpr std::chrono::milliseconds kStopWait{200};

    // From the asking thread: the run ends soon (no new position starts and
    // the decodes in progress are broken off); what finished can still be taken.
    void Stop();
    // The frames finished since the last call, in position order, one per
    // position (an empty frame where the movie gave no picture).
    std::vector<GrabbedFrame> Take();
    // True once the run has ended; then Result says whether the movie could
    // be grabbed (a stop is no failure).
    bool Finished() const;
    OpResult Result() const;

private:
    struct Run;
    std::shared_ptr<Run> m_run;  // shared with the grabbing thread
};
