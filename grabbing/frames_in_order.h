#pragma once
// Hands frames finished on any worker to a grab's `take` in position order,
// reporting progress after each; shared by every way of choosing frames.
#include <map>
#include <mutex>

#include "grabbing/target_grabs.h"

class FramesInOrder {
public:
    FramesInOrder(const TargetGrabHooks& hooks, int total) : m_hooks(hooks), m_total(total) {}

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
