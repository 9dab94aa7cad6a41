#pragma once
// One movie's way through a run, whatever the job makes of it (a sheet, or
// sprites and their index): skipped when its outputs are up to date, else
// made and timed, ending in one report entry. The job says which files it
// will have written, so --skip-existing and --report treat every job alike.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/memory_gate.h"
#include "cli/report.h"
#include "base/op_result.h"

// What a job tells about the movie it made (also when it failed part way).
class SegmentGrabber;

struct MovieFacts {
    std::vector<std::string> written;  // files written and kept
    double duration = -1.0;            // seconds of movie; below 0 when not known
    int frames = 0;                    // frames grabbed
};

struct MovieTask {
    std::string movie;
    // Every file the job leaves when done; all must be newer than the movie
    // for a skip.
    std::vector<std::string> outputs;
    std::function<OpResult(MovieFacts&)> make;
};

// Opens a job's movie for grabbing only (OpenGrabSource) and notes its
// duration in `facts`, also for a job that fails later.
OpResult OpenJobMovie(SegmentGrabber& grabber, const std::string& movie, MovieFacts& facts, int32_t& width,
                      int32_t& height);

// Waits at `gate` (when given) until `needed` bytes fit beside the movies
// running, then checks them against the memory available, as Grab All checks
// `frames` pictures of `width` x `height`; a refusal ends with `advice`.
// `hold` keeps them counted.
OpResult EnterMemory(MemoryGate* gate, uint64_t needed, int32_t width, int32_t height, int frames,
                     const std::function<bool(int done, int total)>& progress, MemoryGate::Hold& hold,
                     const char* advice = "Choose fewer frames.");
// What the grabbing workers hold besides the kept pictures: on each, its
// full-size pictures (the scaler's and the grab's, a second one while a
// blank picture is replaced) and the decoder's reference pictures.
uint64_t GrabWorkersNeed(int32_t width, int32_t height);

// The report of one movie. A failure's error is the line told on stderr:
// "MOVIE: reason".
MovieReport RunMovieTask(const MovieTask& task, bool skipExisting);

// The stderr line of a failed movie, without the newline.
std::string FailureLine(const std::string& movie, const std::string& why);
