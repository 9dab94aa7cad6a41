#pragma once
// Movies made side by side (-j N) share one memory budget. Each running movie
// holds what its grab will need; a movie that does not fit beside them waits
// for one to end, and is refused only when it would not fit alone.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

class MemoryGate {
public:
    // `available` reads the memory this process can still take (0: unknown).
    explicit MemoryGate(std::function<uint64_t()> available);

    // What one movie holds; given back when destroyed.
    class Hold {
    public:
        Hold() = default;
        Hold(Hold&& other) noexcept;
        Hold& operator=(Hold&& other) noexcept;
        ~Hold();
        // The bytes this movie may count on: what is available less what the
        // other running movies hold; 0 when unknown.
        uint64_t Available() const { return m_available; }
        // False when the wait was given up (stopped).
        bool Entered() const { return m_gate != nullptr; }

    private:
        friend class MemoryGate;
        void Release();
        MemoryGate* m_gate = nullptr;
        uint64_t m_bytes = 0;
        uint64_t m_available = 0;
    };

    // Waits until `need` bytes fit beside the running movies, or until no
    // other movie runs (the caller's own check then decides), or until
    // `stopped` answers true (an empty Hold).
    Hold Enter(uint64_t need, const std::function<bool()>& stopped);

private:
    void Leave(uint64_t bytes);

    std::function<uint64_t()> m_read;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    uint64_t m_held = 0;
    int m_running = 0;
};
