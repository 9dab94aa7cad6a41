#include "cli/movie_flow.h"

#include <chrono>

#include "grabbing/grab_sequence.h"
#include "grabbing/target_grabs.h"
#include "base/index_pool.h"
#include "cli/skip_existing.h"
#include "grabbing/segment_grabber.h"

std::string FailureLine(const std::string& movie, const std::string& why) { return movie + ": " + why; }

MovieReport RunMovieTask(const MovieTask& task, bool skipExisting) {
    const auto start = std::chrono::steady_clock::now();
    MovieReport report;
    report.input = task.movie;
    if (skipExisting && OutputsAreUpToDate(task.movie, task.outputs)) {
        report.status = MovieReport::Skipped;
        report.outputs = task.outputs;
    } else {
        MovieFacts facts;
        const OpResult result = task.make(facts);
        report.status = result ? MovieReport::Ok : MovieReport::Failed;
        if (!result) report.error = FailureLine(task.movie, result.message);
        report.outputs = std::move(facts.written);
        report.duration = facts.duration;
        report.frames = facts.frames;
    }
    report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return report;
}

OpResult OpenJobMovie(SegmentGrabber& grabber, const std::string& movie, MovieFacts& facts, int32_t& width,
                      int32_t& height) {
    const OpResult opened = OpenGrabSource(grabber, movie, width, height);
    if (opened) facts.duration = grabber.Info().duration;
    return opened;
}

OpResult EnterMemory(MemoryGate* gate, uint64_t needed, int32_t width, int32_t height, int frames,
                     const std::function<bool(int done, int total)>& progress, MemoryGate::Hold& hold,
                     const char* advice) {
    uint64_t available = 0;  // read by the check itself
    if (gate) {
        hold = gate->Enter(needed, [&] { return progress && !progress(0, frames); });
        if (!hold.Entered()) return OpResult::Failure("interrupted");
        available = hold.Available();
    }
    return CheckGrabMemory(width, height, frames, available, needed, advice);
}

uint64_t GrabWorkersNeed(int32_t width, int32_t height) {
    constexpr int kPicturesPerWorker = 5;
    return GrabMemoryNeed(width, height, kPicturesPerWorker * int(CoreCount()));
}
