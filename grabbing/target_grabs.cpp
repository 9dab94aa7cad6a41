#include "grabbing/target_grabs.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <new>

#include "sheet/movie_details.h"
#include "grabbing/frames_in_order.h"
#include "grabbing/segment_grabber.h"

OpResult OpenGrabSource(SegmentGrabber& grabber, const std::string& movie, int32_t& width, int32_t& height) {
    width = height = 0;
    std::string message;
    if (grabber.Open(movie, message) < 0) return OpResult::Failure(message);
    grabber.PictureSize(width, height);
    if (width < 1 || height < 1) return OpResult::Failure(kNoVideoStreamText);
    return OpResult::Success();
}


OpResult GrabTargets(SegmentGrabber& grabber, const std::vector<double>& positions, const std::vector<double>& latest,
                     const TargetGrabHooks& hooks, const std::vector<double>& keyTimes, int* taken) {
    if (taken) *taken = 0;
    if (positions.empty()) return OpResult::Success();
    FramesInOrder order(hooks, int(positions.size()));
    const double frameDuration = grabber.Info().frameDuration;
    const double duration = grabber.Info().duration;
    const auto visit = [&](size_t k, SegmentGrabber::Source& source) {
        const double position = grabber.SettledPosition(positions[k]);
        GrabbedFrame frame;
        double shown = -1.0;
        auto image = std::make_unique<CDibImage>();
        const bool keyed = k < hooks.keyFrames.size() && std::isfinite(hooks.keyFrames[k]) &&
                           source.KeyPictureAt(hooks.keyFrames[k], *image, shown);
        if (keyed || source.PictureAt(position, *image, shown)) {
            frame.image = std::move(image);
            frame.label = FormatTimeLabel(position);
        }
        if (frame.image && hooks.rejects && k < latest.size() && hooks.rejects(*frame.image)) {
            const PictureProbe probe = [&](double at, GrabbedFrame& found, double& time) {
                auto later = std::make_unique<CDibImage>();
                if (!source.PictureAt(at, *later, time)) return false;
                found.image = std::move(later);
                return true;
            };
            const double end = std::min(latest[k], duration);
            GrabbedFrame replacement = FirstAcceptedAfter(position, shown, frameDuration, end, probe, hooks.rejects);
            if (replacement.image) frame = std::move(replacement);
        }
        if (frame.image && hooks.shrink) hooks.shrink(k, frame);
        return order.Finished(k, std::move(frame));
    };
    std::function<bool()> stopRequested;
    if (hooks.progress) stopRequested = [&] { return !order.StillWanted(); };
    const OpResult run = grabber.Run(positions, visit, 0, keyTimes, stopRequested);
    if (taken) *taken = order.Taken();
    return run;
}
