#include "grabbing/background_grab.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "grabbing/segment_grabber.h"
#include "grabbing/target_grabs.h"

struct BackgroundGrab::Run {
    SegmentGrabber grabber;
    std::atomic<bool> stopped{false};
    mutable std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;                 // guarded by mutex
    std::vector<GrabbedFrame> ready;       // guarded by mutex
    OpResult result = OpResult::Success(); // guarded by mutex
    std::function<void()> wake;            // guarded by mutex; cleared when the owner goes

    void Grab(const std::string& movie, const std::vector<double>& positions, const BackgroundGrab::Way& way) {
        OpResult outcome = OpResult::Success();
        // This thread must not throw: whatever goes wrong is the run's failure.
        try {
            int32_t width = 0;
            int32_t height = 0;
            outcome = OpenGrabSource(grabber, movie, width, height);
            if (outcome && !stopped) {
                TargetGrabHooks hooks;
                hooks.take = [this](size_t, GrabbedFrame frame) {
                    std::lock_guard lock(mutex);
                    ready.push_back(std::move(frame));
                    if (wake) wake();
                };
                hooks.progress = [this](int, int) { return !stopped.load(); };
                outcome = way ? way(grabber, movie, positions, hooks, stopped)
                              : GrabTargets(grabber, positions, {}, hooks);
            }
        } catch (const std::bad_alloc&) {
            outcome = OpResult::Failure("out of memory");
        } catch (const std::exception& error) {
            outcome = OpResult::Failure(error.what());
        }
        std::lock_guard lock(mutex);
        result = outcome;
        finished = true;
        ended.notify_all();
        if (wake) wake();
    }
};

BackgroundGrab::BackgroundGrab(std::string movie, std::vector<double> positions, std::function<void()> wake, Way way)
    : m_run(std::make_shared<Run>()) {
    m_run->wake = std::move(wake);
    try {
        std::thread([run = m_run, movie = std::move(movie), positions = std::move(positions), way = std::move(way)] {
            run->Grab(movie, positions, way);
        }).detach();
    } catch (const std::system_error& error) {
        std::lock_guard lock(m_run->mutex);
        m_run->result = OpResult::Failure(std::string("cannot start a thread: ") + error.what());
        m_run->finished = true;
    }
}

BackgroundGrab::~BackgroundGrab() {
    Stop();
    std::unique_lock lock(m_run->mutex);
    // The thread holds its own share of the run; after this it wakes no one.
    m_run->wake = nullptr;
    m_run->ended.wait_for(lock, kStopWait, [&] { return m_run->finished; });
}

void BackgroundGrab::Stop() {
    m_run->stopped = true;
    m_run->grabber.RequestStop();
}

std::vector<GrabbedFrame> BackgroundGrab::Take() {
    std::lock_guard lock(m_run->mutex);
    return std::exchange(m_run->ready, {});
}

bool BackgroundGrab::Finished() const {
    std::lock_guard lock(m_run->mutex);
    return m_run->finished;
}

OpResult BackgroundGrab::Result() const {
    std::lock_guard lock(m_run->mutex);
    return m_run->result;
}
