#pragma once
// A small pool of threads that work through the indexes 0 ... count-1, each
// index once, started in increasing order. The caller may help, or wait and
// report progress meanwhile. Used where work splits into independent pieces:
// pictures of a folder, rows of sheet tiles, movies of a batch.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class IndexPool {
public:
    // Starts up to `threads` threads calling body(index); fewer (even none)
    // when the system has no more threads to give. `body` must not throw.
    IndexPool(size_t count, unsigned threads, std::function<void(size_t)> body);
    // Stops and joins.
    ~IndexPool();
    IndexPool(const IndexPool&) = delete;
    IndexPool& operator=(const IndexPool&) = delete;

    // Threads actually started.
    size_t Threads() const { return m_threads.size(); }
    // Works on the calling thread too until no index is left to start.
    void Help();
    // Indexes not yet started are skipped from now on.
    void Stop() { m_stop = true; }
    bool Stopped() const { return m_stop.load(); }
    // Waits up to `limit` for every index to be finished (or, once stopped,
    // for every started one); true when they are.
    bool WaitFinished(std::chrono::milliseconds limit);
    // Waits for the threads to end (after the work is done or Stop).
    void Join();
    // Indexes taken so far, at most `count`; after Join each of them is finished.
    size_t Started() const;
    size_t Finished() const;

private:
    void Work();

    const size_t m_count;
    const std::function<void(size_t)> m_body;
    std::atomic<size_t> m_next{0};
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_finished = 0;
    std::vector<std::thread> m_threads;
};

// How many threads work pays for on this machine (at least 1).
unsigned CoreCount();
