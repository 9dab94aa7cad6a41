#include "grabbing/target_grabs.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <new>

#include "sheet/movie_details.h"
#include "grabbing/segment_grabber.h"

OpResult OpenGrabSource(SegmentGrabber& grabber, const std::string& movie, int32_t& width, int32_t& height) {
    width = height = 0;
    std::string message;
    if (grabber.Open(movie, message) < 0) return OpResult::Failure(message);
    grabber.PictureSize(width, height);
    if (width < 1 || height < 1) return OpResult::Failure(kNoVideoStreamText);
    return OpResult::Success();
}

namespace {

// Hands frames finished on any worker to `take` in position order.
class InOrder {
public:
    InOrder(const TargetGrabHooks& hooks, int total) : m_hooks(hooks), m_total(total) {}

    // False once progress asked to stop.
    bool Finished(size_t index, GrabbedFrame frame) {
        std::lock_guard lock(m_mutex);
        if (m_stopped) return false;
        m_waiting.emplace(index, std::move(frame));
        for (auto next = m_waiting.find(m_taken); next != m_waiting.end(); next = m_waiting.find(m_taken)) {
            GrabbedFrame ready = std::move(next->second);
            m_waiting.erase(next);
            if (m_hooks.take) m_hooks.take(m_taken, std::move(ready));
            ++m_taken;
            if (m_hooks.progress && !m_hooks.progress(int(m_taken), m_total)) {
                m_stopped = true;
                return false;
            }
        }
        return true;
    }
    // Asks progress again with the counts as they stand, for a stop while
    // the next picture is still being decoded; false once it asked to stop.
    bool StillWanted() {
        std::lock_guard lock(m_mutex);
        if (!m_stopped && m_hooks.progress && !m_hooks.progress(int(m_taken), m_total)) m_stopped = true;
        return !m_stopped;
    }
    int Taken() const {
        std::lock_guard lock(m_mutex);
        return int(m_taken);
    }

private:
    const TargetGrabHooks& m_hooks;
    const int m_total;
    mutable std::mutex m_mutex;
    std::map<size_t, GrabbedFrame> m_waiting;  // finished out of order
    size_t m_taken = 0;
    bool m_stopped = false;
};

}  // namespace

OpResult GrabTargets(SegmentGrabber& grabber, const std::vector<double>& positions, const std::vector<double>& latest,
                     const TargetGrabHooks& hooks, const std::vector<double>& keyTimes, int* taken) {
    if (taken) *taken = 0;
    if (positions.empty()) return OpResult::Success();
    InOrder order(hooks, int(positions.size()));
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
