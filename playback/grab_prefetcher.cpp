#include "playback/grab_prefetcher.h"

#include <algorithm>
#include <cmath>
#include <new>

#include <system_error>

#include "decoding/exact_seeker.h"

namespace {
// Two times this close are the same request (they differ only by rounding).
constexpr double kSameTime = 1e-6;
// Requests this far apart mean Grab All is over: the workers let go.
constexpr auto kIdle = std::chrono::seconds(1);
// A wait for a worker gives up when no worker read anything for this long.
constexpr auto kStalled = std::chrono::seconds(2);
}  // namespace

GrabPrefetcher::GrabPrefetcher(std::string path, int workers) : m_path(std::move(path)) {
    try {
        for (int i = 0; i < workers; ++i) m_threads.push_back(m_live.Start([this] { WorkerLoop(); }));
    } catch (const std::system_error&) {
        // Fewer workers, or none: every Take then answers null and the caller
        // decodes for itself.
    }
}

GrabPrefetcher::~GrabPrefetcher() {
    RequestStop();
    for (auto& t : m_threads) t.join();
}

void GrabPrefetcher::RequestStop() {
    std::lock_guard lock(m_mutex);
    m_quit = true;
    // A worker's reads answer to its job's cancel flag.
    for (auto& job : m_jobs) job->cancel = true;
    m_jobs.clear();
    m_changed.notify_all();
}

bool GrabPrefetcher::WaitStopped(std::chrono::milliseconds limit) { return m_live.WaitAllFinished(limit); }

void GrabPrefetcher::DropLocked(const std::shared_ptr<Job>& job) {
    job->cancel = true;
    m_jobs.erase(std::remove(m_jobs.begin(), m_jobs.end(), job), m_jobs.end());
}

VideoImagePtr GrabPrefetcher::Take(double seconds, int64_t target) {
    std::unique_lock lock(m_mutex);
    std::shared_ptr<Job> match;
    for (auto& job : m_jobs)
        if (std::fabs(job->time - seconds) < kSameTime) match = job;
    // A time between the expected ones (a blank picture's replacement
    // looked for): the caller decodes it, the predictions stay.
    if (!match) return nullptr;
    // Anything predicted before this time will not be asked for any more.
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        if ((*it)->time < match->time - kSameTime) {
            (*it)->cancel = true;
            it = m_jobs.erase(it);
        } else {
            ++it;
        }
    }
    // Waiting is no idleness: the workers keep what they have meanwhile.
    ++m_waiting;
    uint64_t seen = m_progress.load();
    auto moved = std::chrono::steady_clock::now();
    while (!match->done && !m_quit) {
        m_changed.wait_for(lock, std::chrono::milliseconds(50));
        const auto now = std::chrono::steady_clock::now();
        if (m_progress.load() != seen) {
            seen = m_progress.load();
            moved = now;
        } else if (now - moved > kStalled) {
            // A worker is stuck in a read: its job is broken off and the caller
            // decodes for itself rather than freeze.
            break;
        }
    }
    --m_waiting;
    m_lastRequest = std::chrono::steady_clock::now();
    DropLocked(match);
    // The worker decoded for its own rounding of the time; the picture is the
    // answer when the asked time falls in the same frame interval.
    if (!match->done || !match->image) return nullptr;
    if (target < match->from || target >= match->until) return nullptr;
    return match->image;
}

void GrabPrefetcher::Predict(const std::vector<double>& times) {
    std::lock_guard lock(m_mutex);
    m_lastRequest = std::chrono::steady_clock::now();
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        const bool wanted = std::any_of(times.begin(), times.end(),
                                        [&](double t) { return std::fabs(t - (*it)->time) < kSameTime; });
        if (!wanted) {
            (*it)->cancel = true;
            it = m_jobs.erase(it);
        } else {
            ++it;
        }
    }
    for (double t : times) {
        const bool known = std::any_of(m_jobs.begin(), m_jobs.end(),
                                       [&](const auto& job) { return std::fabs(job->time - t) < kSameTime; });
        if (known) continue;
        auto job = std::make_shared<Job>();
        job->time = t;
        m_jobs.push_back(std::move(job));
    }
    m_changed.notify_all();
}

void GrabPrefetcher::WorkerLoop() {
    bool outOfMemory = false;
    try {
        Work();
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
    }
    std::lock_guard lock(m_mutex);
    if (outOfMemory) {
        // This worker stops; Take no longer waits for the job it had.
        for (auto& job : m_jobs)
            if (job->started && !job->done) {
                job->cancel = true;
                job->done = true;
            }
    }
    m_changed.notify_all();
}

std::shared_ptr<GrabPrefetcher::Job> GrabPrefetcher::NextJob(ExactSeeker& seeker) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_quit) return nullptr;
        for (auto& j : m_jobs)
            if (!j->started) {
                j->started = true;
                return j;
            }
        m_changed.wait_for(lock, kIdle / 4);
        if (m_quit || m_waiting > 0 || std::chrono::steady_clock::now() - m_lastRequest < kIdle) continue;
        // Grab All is over (or paused in a dialog): nothing is kept meanwhile.
        for (auto& job : m_jobs) job->cancel = true;
        m_jobs.clear();
        if (seeker.IsOpen()) {
            lock.unlock();
            seeker.Close();
            lock.lock();
        }
    }
}

void GrabPrefetcher::Work() {
    ExactSeeker seeker;
    seeker.SetProgressCounter(&m_progress);
    bool broken = false;
    while (std::shared_ptr<Job> job = NextJob(seeker)) {
        // The job's cancel flag breaks off reads and seeks, including the open.
        seeker.SetCancelFlag(&job->cancel);
        if (!seeker.IsOpen() && !broken && !job->cancel) {
            std::string message;
            // One decoding thread each: the workers themselves are the parallelism.
            seeker.Open(m_path, message, 1);
            if (!seeker.IsOpen()) broken = !job->cancel;  // a cancelled open is tried again
        }
        VideoImagePtr image;
        int64_t from = 0, until = 0;
        if (seeker.IsOpen() && !job->cancel) {
            image = seeker.FrameAt(job->time);
            from = seeker.AnswerFrom();
            until = seeker.AnswerUntil();
        }
        seeker.SetCancelFlag(nullptr);
        std::lock_guard lock(m_mutex);
        job->image = job->cancel ? nullptr : image;
        job->from = from;
        job->until = until;
        job->done = true;
        m_changed.notify_all();
    }
}
