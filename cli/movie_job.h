#pragma once
// The one way a movie becomes its files, whatever the job makes of it (a
// contact sheet, or WebVTT thumbnails): refused early when its output is in
// the way, opened for grabbing, its memory waited for beside the other movies
// running, its pictures grabbed, then its files written and moved in
// together. A kind of job plugs in what it grabs and how it writes.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/op_result.h"
#include "cli/command_line.h"
#include "cli/memory_gate.h"
#include "cli/movie_flow.h"
#include "cli/movie_plan.h"
#include "grabbing/target_grabs.h"

class SegmentGrabber;

// Gets (pictures taken, pictures asked for) and answers false to give up.
using JobProgress = std::function<bool(int done, int total)>;

// What a kind of job grabs, decided once the movie is open.
struct GrabPlan {
    int pictures = 0;         // positions asked for: what progress counts
    uint64_t memoryNeed = 0;  // bytes held while the pictures are grabbed and kept
    const char* memoryAdvice = "Choose fewer frames.";
    std::vector<double> positions;
    std::vector<double> latest;    // limits of the search past a blank picture
    std::vector<double> keyTimes;  // key frames where the container keeps no index
    TargetGrabHooks hooks;         // the kind's shrink and take; progress is the flow's
    // Another way of taking the pictures than the exact ones at `positions`
    // (--pick), given the hooks the flow completed and the movie's facts
    // (which learn the shots found); empty for the exact pictures.
    std::function<OpResult(SegmentGrabber&, const TargetGrabHooks&, MovieFacts&)> choose;
};

class MovieJobKind {
public:
    virtual ~MovieJobKind() = default;
    // The movie is open, `width` x `height` with the rotation applied: what
    // to grab and the memory it takes, or why the movie cannot be made.
    virtual OpResult Plan(SegmentGrabber& grabber, int32_t width, int32_t height, double duration,
                          GrabPlan& plan) = 0;
    // The memory is granted: the last steps before the grab (reading key
    // frames), which may take a while and be given up.
    virtual OpResult Prepare(SegmentGrabber&, GrabPlan&, const JobProgress&) { return OpResult::Success(); }
    // A failure of the kind's own hooks; a failed kind stops the grab.
    virtual OpResult GrabFailure() const { return OpResult::Success(); }
    // The pictures taken so far.
    virtual int Taken() const = 0;
    // After a whole grab, the decoders gone: writes the files, all or none,
    // and names those kept in `written`.
    virtual OpResult Write(std::vector<std::string>& written) = 0;
    // Frees what the kind holds of the grab: called before its memory is
    // given back to the movies waiting for it.
    virtual void Release() {}
};

// One movie through the flow. `gate`, when given, is where it waits for
// memory beside the others running; `facts` learns the duration, the
// pictures taken and the files written, also of a movie that fails part way.
OpResult RunMovieJob(const MovieJob& job, const CliSettings& settings, MovieJobKind& kind,
                     const JobProgress& progress, MovieFacts& facts, MemoryGate* gate);

// What the grabbing workers hold besides the kept pictures: on each, its
// full-size pictures (the scaler's and the grab's, a second one while a
// blank picture is replaced) and the decoder's reference pictures.
uint64_t GrabWorkersNeed(int32_t width, int32_t height);
