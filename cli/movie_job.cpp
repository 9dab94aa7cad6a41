#include "cli/movie_job.h"

#include <filesystem>

#include "base/index_pool.h"
#include "cli/output_files.h"
#include "grabbing/grab_sequence.h"
#include "grabbing/segment_grabber.h"

namespace {

// Refused before the movie is read; the write checks again when it moves the
// file in.
OpResult CheckOutputPlace(const std::string& output, bool overwrite) {
    if (!overwrite && PathTaken(output)) return OpResult::Failure(ExistsReason(output));
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::path(output).parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder, error))
        return OpResult::Failure("cannot write \"" + output + "\": no such folder");
    return OpResult::Success();
}

// Waits at `gate` (when given) until the plan's memory fits beside the movies
// running, then checks it against the memory available, as Grab All checks
// its pictures of `width` x `height`. `hold` keeps it counted.
OpResult EnterMemory(MemoryGate* gate, const GrabPlan& plan, int32_t width, int32_t height,
                     const JobProgress& progress, MemoryGate::Hold& hold) {
    uint64_t available = 0;  // read by the check itself
    if (gate) {
        hold = gate->Enter(plan.memoryNeed, [&] { return progress && !progress(0, plan.pictures); });
        if (!hold.Entered()) return OpResult::Failure("interrupted");
        available = hold.Available();
    }
    return CheckGrabMemory(width, height, plan.pictures, available, plan.memoryNeed, plan.memoryAdvice);
}

// Opens the movie, waits for its memory and grabs its pictures; the decoders
// are gone when this returns.
OpResult Grab(const MovieJob& job, const CliSettings& settings, MovieJobKind& kind, const JobProgress& progress,
              MovieFacts& facts, MemoryGate* gate, MemoryGate::Hold& hold) {
    SegmentGrabber grabber;
    int32_t width = 0;
    int32_t height = 0;
    if (OpResult opened = OpenGrabSource(grabber, job.movie, width, height); !opened) return opened;
    facts.duration = grabber.Info().duration;
    GrabPlan plan;
    if (OpResult planned = kind.Plan(grabber, width, height, facts.duration, plan); !planned) return planned;
    if (OpResult memory = EnterMemory(gate, plan, width, height, progress, hold); !memory) return memory;
    if (OpResult prepared = kind.Prepare(grabber, plan, progress); !prepared) return prepared;

    bool interrupted = false;
    plan.hooks.progress = [&](int done, int total) {
        interrupted = progress && !progress(done, total);
        return !interrupted && kind.GrabFailure().ok;
    };
    if (settings.skipBlank) plan.hooks.rejects = IsNearlyUniform;
    const OpResult grabbed = plan.choose ? plan.choose(grabber, plan.hooks, facts)
                                         : GrabTargets(grabber, plan.positions, plan.latest, plan.hooks, plan.keyTimes);
    facts.frames = kind.Taken();
    if (interrupted) return OpResult::Failure("interrupted");
    if (OpResult own = kind.GrabFailure(); !own) return own;
    // Files missing the pictures after a failure would pass for whole ones.
    if (!grabbed) return grabbed;
    if (facts.frames == 0) return OpResult::Failure("no frame could be grabbed");
    return OpResult::Success();
}

}  // namespace

OpResult RunMovieJob(const MovieJob& job, const CliSettings& settings, MovieJobKind& kind,
                     const JobProgress& progress, MovieFacts& facts, MemoryGate* gate) {
    if (!job.failure.empty()) return OpResult::Failure(job.failure);
    if (OpResult place = CheckOutputPlace(job.sheet, settings.overwrite); !place) return place;
    // Given back last: after the kind has freed its pictures.
    MemoryGate::Hold hold;
    struct Release {
        MovieJobKind& kind;
        ~Release() { kind.Release(); }
    } release{kind};
    if (OpResult grabbed = Grab(job, settings, kind, progress, facts, gate, hold); !grabbed) return grabbed;
    return kind.Write(facts.written);
}

uint64_t GrabWorkersNeed(int32_t width, int32_t height) {
    constexpr int kPicturesPerWorker = 5;
    return GrabMemoryNeed(width, height, kPicturesPerWorker * int(CoreCount()));
}
