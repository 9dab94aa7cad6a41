#include "video/grab_prefetcher.h"

#include <algorithm>
#include <cmath>

#include "video/exact_seeker.h"

namespace {
// Two times this close are the same request (they differ only by rounding).
constexpr double kSameTime = 1e-6;
}  // namespace

GrabPrefetcher::GrabPrefetcher(std::string path, int workers) : m_path(std::move(path)) {
    for (int i = 0; i < workers; ++i) m_threads.emplace_back(&GrabPrefetcher::WorkerLoop, this);
}

GrabPrefetcher::~GrabPrefetcher() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        for (auto& job : m_jobs) job->cancel = true;
        m_jobs.clear();
        m_changed.notify_all();
    }
    for (auto& t : m_threads) t.join();
}

void GrabPrefetcher::DropLocked(const std::shared_ptr<Job>& job) {
    job->cancel = true;
    m_jobs.erase(std::remove(m_jobs.begin(), m_jobs.end(), job), m_jobs.end());
}

VideoImagePtr GrabPrefetcher::Take(double seconds, int64_t target) {
    std::unique_lock lock(m_mutex);
    std::shared_ptr<Job> match;
    for (auto& job : m_jobs)
        if (std::fabs(job->time - seconds) < kSameTime) match = job;
    if (!match) {
        CancelAllLocked();  // the pattern broke
        return nullptr;
    }
    // Anything predicted before this time will not be asked for any more.
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        if ((*it)->time < match->time - kSameTime) {
            (*it)->cancel = true;
            it = m_jobs.erase(it);
        } else {
            ++it;
        }
    }
    m_changed.wait(lock, [&] { return match->done || m_quit; });
    DropLocked(match);
    // The worker decoded for its own rounding of the time; the picture is the
    // answer when the asked time falls in the same frame interval.
    if (!match->image) return nullptr;
    if (target < match->from || target >= match->until) return nullptr;
    ++m_hits;
    return match->image;
}

void GrabPrefetcher::Predict(const std::vector<double>& times) {
    std::lock_guard lock(m_mutex);
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

void GrabPrefetcher::CancelAll() {
    std::lock_guard lock(m_mutex);
    CancelAllLocked();
}

void GrabPrefetcher::CancelAllLocked() {
    for (auto& job : m_jobs) job->cancel = true;
    m_jobs.clear();
}

void GrabPrefetcher::WorkerLoop() {
    ExactSeeker seeker;
    bool opened = false;
    bool broken = false;
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] {
                if (m_quit) return true;
                return std::any_of(m_jobs.begin(), m_jobs.end(), [](const auto& j) { return !j->started; });
            });
            if (m_quit) return;
            for (auto& j : m_jobs)
                if (!j->started) {
                    job = j;
                    break;
                }
            job->started = true;
        }
        if (!opened && !broken) {
            std::string message;
            // One decoding thread each: the workers themselves are the parallelism.
            broken = seeker.Open(m_path, message, 1) < 0;
            opened = !broken;
        }
        VideoImagePtr image;
        int64_t from = 0, until = 0;
        if (opened && !job->cancel) {
            seeker.SetCancelFlag(&job->cancel);
            image = seeker.FrameAt(job->time);
            seeker.SetCancelFlag(nullptr);
            from = seeker.AnswerFrom();
            until = seeker.AnswerUntil();
        }
        std::lock_guard lock(m_mutex);
        job->image = job->cancel ? nullptr : image;
        job->from = from;
        job->until = until;
        job->done = true;
        m_changed.notify_all();
    }
}
