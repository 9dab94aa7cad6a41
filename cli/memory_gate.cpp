#include "cli/memory_gate.h"

#include <chrono>
#include <utility>

MemoryGate::MemoryGate(std::function<uint64_t()> available) : m_read(std::move(available)) {}

MemoryGate::Hold::Hold(Hold&& other) noexcept
    : m_gate(std::exchange(other.m_gate, nullptr)), m_bytes(other.m_bytes), m_available(other.m_available) {}

MemoryGate::Hold& MemoryGate::Hold::operator=(Hold&& other) noexcept {
    if (this != &other) {
        Release();
        m_gate = std::exchange(other.m_gate, nullptr);
        m_bytes = other.m_bytes;
        m_available = other.m_available;
    }
    return *this;
}

MemoryGate::Hold::~Hold() { Release(); }

void MemoryGate::Hold::Release() {
    if (m_gate) std::exchange(m_gate, nullptr)->Leave(m_bytes);
}

MemoryGate::Hold MemoryGate::Enter(uint64_t need, const std::function<bool()>& stopped) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Read anew each time: the running movies' pictures and other
        // programs change it. What the running movies have already taken is
        // in it as well as in what they hold, so the count errs on the safe
        // side.
        const uint64_t available = m_read ? m_read() : 0;
        const uint64_t free = available > m_held ? available - m_held : 1;
        if (available == 0 || m_running == 0 || need <= free) {
            Hold hold;
            hold.m_gate = this;
            hold.m_bytes = need;
            hold.m_available = available == 0 ? 0 : (m_running == 0 ? available : free);
            m_held += need;
            ++m_running;
            return hold;
        }
        if (stopped && stopped()) return {};
        // A movie ending wakes the wait; the timeout notices a stop and
        // memory freed elsewhere.
        m_changed.wait_for(lock, std::chrono::milliseconds(200));
    }
}

void MemoryGate::Leave(uint64_t bytes) {
    {
        std::lock_guard lock(m_mutex);
        m_held -= bytes;
        --m_running;
    }
    m_changed.notify_all();
}
