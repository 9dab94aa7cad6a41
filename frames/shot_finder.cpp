#include "frames/shot_finder.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "frames/frame_score.h"
#include "frames/movie_scan.h"
#include "grabbing/segment_grabber.h"

namespace {

// The frame times a scan may have left out between two of its samples.
std::vector<double> PositionsBetween(double from, double until, double frame) {
    std::vector<double> positions;
    // A quarter frame in lands on the frame whatever the rounding of times.
    for (double t = from + 1.25 * frame; t < until - 0.25 * frame; t += frame) positions.push_back(t);
    return positions;
}

}  // namespace

OpResult FindShots(SegmentGrabber& grabber, const std::string& movie, ShotChanges& out, const ShotFinding& finding) {
    out = {};
    const MediaInfo& info = grabber.Info();
    const double frame = info.frameDuration > 0.0 ? info.frameDuration : 0.04;
    ScanOptions scan;
    scan.cancel = finding.cancel;
    if (finding.progress) scan.progress = [&](double share) { finding.progress(0.9 * share); };
    std::vector<ScanSample> samples;
    const OpResult scanned = ScanMovie(movie, info.duration, scan, samples);
    if (!scanned) return scanned;
    std::vector<ShotBoundary> boundaries = FindBoundaries(samples);

    // The frames the scan left out around each cut, all taken in one run.
    std::vector<double> positions;
    for (const ShotBoundary& b : boundaries) {
        if (b.kind != BoundaryKind::Cut) continue;
        const auto between = PositionsBetween(samples[b.before].time, samples[b.after].time, frame);
        positions.insert(positions.end(), between.begin(), between.end());
    }
    std::sort(positions.begin(), positions.end());
    std::map<double, SmallPicture> looked;  // by the frame's own time
    std::mutex mutex;
    if (!positions.empty()) {
        const auto visit = [&](size_t k, SegmentGrabber::Source& source) {
            if (finding.cancel && finding.cancel->load()) return false;
            thread_local SmallPictureMaker maker;
            double shown = 0.0;
            const AVFrame* raw = source.RawPictureAt(positions[k], shown);
            SmallPicture picture;
            if (raw && maker.Make(raw, picture)) {
                std::lock_guard lock(mutex);
                looked.emplace(shown, std::move(picture));
            }
            return true;
        };
        const OpResult refined = grabber.Run(positions, visit);
        if (!refined) return refined;
        if (finding.cancel && finding.cancel->load()) return OpResult::Failure("stopped");
    }
    std::vector<double> starts;
    for (const ShotBoundary& b : boundaries) {
        double time = b.time;
        if (b.kind == BoundaryKind::Cut) {
            const double from = samples[b.before].time, until = samples[b.after].time;
            std::vector<SmallPicture> frames;
            std::vector<double> times;
            for (auto it = looked.upper_bound(from + 1e-6); it != looked.end() && it->first < until - 1e-6; ++it) {
                frames.push_back(it->second);
                times.push_back(it->first);
            }
            const size_t first = FirstFrameOfNewShot(samples[b.before].picture, samples[b.after].picture, frames);
            if (first < frames.size()) time = times[first];
            out.changes.emplace_back(time - frame, time);
        } else {
            out.changes.emplace_back(b.changeStart, b.changeEnd);
        }
        starts.push_back(time);
    }
    out.shots = ShotsBetween(starts, info.duration, frame);
    for (Shot& shot : out.shots) {
        int blank = 0, all = 0;
        for (const ScanSample& sample : samples) {
            if (sample.time < shot.start || sample.time >= shot.end) continue;
            ++all;
            blank += IsBlankPicture(sample.picture) ? 1 : 0;
        }
        shot.blank = all > 0 && 2 * blank > all;
    }
    out.samples = std::move(samples);
    if (finding.progress) finding.progress(1.0);
    return OpResult::Success();
}
