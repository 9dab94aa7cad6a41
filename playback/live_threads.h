#pragma once
// Threads started and not yet finished, so that an owner can wait for them a
// bounded time after asking them to stop, and leave them to finish alone
// when a read holds one up.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

class LiveThreads {
public:
    // Runs `body` on a new thread, counted until it returns. `body` must not
    // throw. Throws std::system_error when no thread can be had (and counts
    // nothing then).
    template <typename Body>
    std::thread Start(Body body) {
        {
            std::lock_guard lock(m_mutex);
            ++m_live;
        }
        try {
            return std::thread([this, body = std::move(body)]() mutable {
                body();
                std::lock_guard lock(m_mutex);
                --m_live;
                m_changed.notify_all();
            });
        } catch (...) {
            std::lock_guard lock(m_mutex);
            --m_live;
            throw;
        }
    }

    // True once every thread started here has finished, waiting up to `limit`.
    bool WaitAllFinished(std::chrono::milliseconds limit) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return m_live == 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_live = 0;
};
