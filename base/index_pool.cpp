#include "base/index_pool.h"

#include <algorithm>
#include <system_error>

IndexPool::IndexPool(size_t count, unsigned threads, std::function<void(size_t)> body)
    : m_count(count), m_body(std::move(body)) {
    const size_t wanted = std::min<size_t>(threads, count);
    try {
        for (size_t t = 0; t < wanted; ++t) m_threads.emplace_back(&IndexPool::Work, this);
    } catch (const std::system_error&) {
        // No more threads to be had: those started (and a helping caller) do the rest.
    }
}

IndexPool::~IndexPool() {
    Stop();
    Join();
}

void IndexPool::Work() {
    while (!m_stop.load()) {
        const size_t index = m_next.fetch_add(1);
        if (index >= m_count) return;
        m_body(index);
        std::lock_guard lock(m_mutex);
        // Waiters look on their own beat; only the last index wakes them early.
        if (++m_finished == m_count) m_changed.notify_all();
    }
}

void IndexPool::Help() { Work(); }

bool IndexPool::WaitFinished(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, limit, [&] { return m_finished == m_count; });
    return m_finished == m_count || (m_stop.load() && m_finished == Started());
}

void IndexPool::Join() {
    for (std::thread& thread : m_threads)
        if (thread.joinable()) thread.join();
}

size_t IndexPool::Started() const { return std::min(m_next.load(), m_count); }

size_t IndexPool::Finished() const {
    std::lock_guard lock(m_mutex);
    return m_finished;
}

unsigned CoreCount() { return std::max(1u, std::thread::hardware_concurrency()); }
