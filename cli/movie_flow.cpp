#include "cli/movie_flow.h"

#include <chrono>
#include <exception>
#include <new>

#include "cli/skip_existing.h"

namespace {

// The task's outcome; what it throws becomes its failure. Everything the task
// made is owned by objects that take it back as the exception passes, so a
// movie that fails this way leaves no file behind either.
OpResult Attempt(const std::function<OpResult()>& step) {
    try {
        return step();
    } catch (const std::bad_alloc&) {
        return OpResult::Failure("out of memory");
    } catch (const std::exception& error) {
        return OpResult::Failure(std::string("unexpected error: ") + error.what());
    } catch (...) {
        return OpResult::Failure("unexpected error");
    }
}

}  // namespace

std::string FailureLine(const std::string& movie, const std::string& why) { return movie + ": " + why; }

MovieReport RunMovieTask(const MovieTask& task, bool skipExisting) {
    const auto start = std::chrono::steady_clock::now();
    MovieReport report;
    report.input = task.movie;
    MovieFacts facts;
    bool skipped = false;
    const OpResult result = Attempt([&] {
        if (skipExisting && task.outputs) {
            std::vector<std::string> outputs = task.outputs();
            if (OutputsAreUpToDate(task.movie, outputs)) {
                skipped = true;
                facts.written = std::move(outputs);
                return OpResult::Success();
            }
        }
        return task.make(facts);
    });
    report.status = skipped ? MovieReport::Skipped : result ? MovieReport::Ok : MovieReport::Failed;
    if (!result) {
        report.error = FailureLine(task.movie, result.message);
        // Files named before the failure were taken back with it.
        facts.written.clear();
    }
    report.outputs = std::move(facts.written);
    report.duration = facts.duration;
    report.frames = facts.frames;
    report.shots = facts.shots;
    report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return report;
}
