#include "cli/movie_flow.h"

#include <chrono>

#include "capture/target_grabs.h"
#include "cli/skip_existing.h"
#include "video/segment_grabber.h"

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
