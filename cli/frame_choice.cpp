#include "cli/frame_choice.h"

#include <atomic>
#include <cstdio>
#include <unistd.h>

#include "base/staged_file.h"
#include "cli/output_files.h"
#include "frames/frame_pick.h"
#include "frames/shot_finder.h"
#include "grabbing/segment_grabber.h"

namespace {

OpResult WriteShotList(const std::string& path, const std::string& text, bool overwrite) {
    if (path == "-") {
        // One write, so that lists of movies made side by side do not mix.
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t wrote = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
            if (wrote <= 0) return OpResult::Failure("cannot write the shot list to standard output");
            done += size_t(wrote);
        }
        return OpResult::Success();
    }
    if (!overwrite && PathTaken(path)) return OpResult::Failure(ExistsReason(path));
    StagedFile file;
    if (OpResult opened = file.Open(path, OutputMode(overwrite)); !opened) return opened;
    if (std::fwrite(text.data(), 1, text.size(), file.File()) != text.size())
        return OpResult::Failure(file.Describe("cannot write"));
    return file.Commit();
}

}  // namespace

OpResult GrabCueChoice(SegmentGrabber& grabber, const CliSettings& settings, const std::vector<CueSpan>& cues,
                       const std::vector<double>& positions, const std::vector<double>& latest,
                       const TargetGrabHooks& hooks, const std::vector<double>& keyTimes) {
    if (settings.pick != FramePick::Best)
        return GrabTargets(grabber, positions, settings.skipBlank ? latest : std::vector<double>{}, hooks, keyTimes);
    std::vector<std::pair<double, double>> stretches;
    for (const CueSpan& cue : cues) stretches.emplace_back(double(cue.startMs) / 1000.0, double(cue.endMs) / 1000.0);
    return GrabBestOfSlots(grabber, SlotsInStretches(stretches, grabber.Info().frameDuration), hooks);
}

std::string ShotListText(const std::vector<Shot>& shots) {
    std::string text = "shot,start_frame,start_time,end_frame,end_time,length\n";
    char line[160];
    for (size_t k = 0; k < shots.size(); ++k) {
        const Shot& s = shots[k];
        std::snprintf(line, sizeof line, "%zu,%lld,%.3f,%lld,%.3f,%.3f\n", k + 1, (long long)s.firstFrame, s.start,
                      (long long)s.lastFrame, s.end, s.Length());
        text += line;
    }
    return text;
}

OpResult GrabSheetChoice(SegmentGrabber& grabber, const std::string& movie, const CliSettings& settings,
                         const std::vector<double>& positions, const std::vector<double>& latest,
                         const TargetGrabHooks& hooks, MovieFacts& facts) {
    ShotChanges changes;
    if (settings.pick == FramePick::Shots || !settings.shotList.empty()) {
        // An interrupt (the progress answering false) stops the search too.
        std::atomic<bool> stop{false};
        ShotFinding finding;
        finding.cancel = &stop;
        finding.progress = [&](double) {
            if (hooks.progress && !hooks.progress(0, int(positions.size()))) stop = true;
        };
        if (OpResult found = FindShots(grabber, movie, changes, finding); !found) return found;
        facts.shots = int(changes.shots.size());
    }
    if (OpResult grabbed = GrabChosenFrames(settings.pick, grabber, movie, positions, latest, hooks, &changes); !grabbed)
        return grabbed;
    // Written once the frames are in, so that a movie given up on part way
    // (an interrupt, a failed grab) leaves no list behind.
    if (!settings.shotList.empty()) {
        if (OpResult wrote = WriteShotList(settings.shotList, ShotListText(changes.shots), settings.overwrite); !wrote)
            return wrote;
        if (settings.shotList != "-") facts.written.push_back(settings.shotList);
    }
    return OpResult::Success();
}

