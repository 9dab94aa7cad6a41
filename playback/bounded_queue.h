#pragma once
// A first-in first-out queue shared by a producer and a consumer thread, with a
// cap on entries and on a weight (bytes) so memory never grows with the movie.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

template <typename T>
class BoundedQueue {
public:
    BoundedQueue(size_t maxCount, size_t maxWeight) : m_maxCount(maxCount), m_maxWeight(maxWeight) {}

    // Waits while full; false when the queue was aborted meanwhile.
    bool Push(T item, size_t weight = 0) {
        std::unique_lock lock(m_mutex);
        m_notFull.wait(lock, [&] { return m_aborted || !FullLocked(); });
        if (m_aborted) return false;
        m_items.push_back(Entry{std::move(item), weight});
        m_weight += weight;
        m_notEmpty.notify_one();
        return true;
    }

    // Waits up to `timeout` for an entry; empty optional on time-out or abort.
    std::optional<T> Pop(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        if (!m_notEmpty.wait_for(lock, timeout, [&] { return m_aborted || !m_items.empty(); }))
            return std::nullopt;
        if (m_aborted) return std::nullopt;
        return TakeLocked();
    }

    std::optional<T> TryPop() {
        std::lock_guard lock(m_mutex);
        if (m_items.empty()) return std::nullopt;
        return TakeLocked();
    }

    // Calls f on the first entry without taking it; false when empty.
    template <typename F>
    bool Peek(F&& f) const {
        std::lock_guard lock(m_mutex);
        if (m_items.empty()) return false;
        f(m_items.front().item);
        return true;
    }

    void Clear() {
        std::lock_guard lock(m_mutex);
        m_items.clear();
        m_weight = 0;
        m_notFull.notify_all();
    }
    // Wakes every waiter; pushes fail and pops answer nothing until Restart.
    void Abort() {
        std::lock_guard lock(m_mutex);
        m_aborted = true;
        m_notFull.notify_all();
        m_notEmpty.notify_all();
    }
    void Restart() {
        std::lock_guard lock(m_mutex);
        m_aborted = false;
    }

    size_t Count() const {
        std::lock_guard lock(m_mutex);
        return m_items.size();
    }
    size_t Weight() const {
        std::lock_guard lock(m_mutex);
        return m_weight;
    }
    bool Full() const {
        std::lock_guard lock(m_mutex);
        return FullLocked();
    }

private:
    struct Entry {
        T item;
        size_t weight;
    };
    bool FullLocked() const {
        return !m_items.empty() && (m_items.size() >= m_maxCount || m_weight >= m_maxWeight);
    }
    T TakeLocked() {
        Entry e = std::move(m_items.front());
        m_items.pop_front();
        m_weight -= e.weight;
        m_notFull.notify_one();
        return std::move(e.item);
    }

    const size_t m_maxCount;
    const size_t m_maxWeight;
    mutable std::mutex m_mutex;
    std::condition_variable m_notFull;
    std::condition_variable m_notEmpty;
    std::deque<Entry> m_items;
    size_t m_weight = 0;
    bool m_aborted = false;
};
