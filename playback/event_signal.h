#pragma once
// The player's event queue behind a file descriptor: an eventfd in semaphore
// mode whose count equals the number of queued events, so the descriptor stays
// readable while events remain and each read takes exactly one.
#include <deque>
#include <mutex>

class EventSignal {
public:
    EventSignal();
    ~EventSignal();
    EventSignal(const EventSignal&) = delete;
    EventSignal& operator=(const EventSignal&) = delete;

    // -1 when the descriptor could not be made; CreateError says why (errno).
    int Handle() const { return m_fd; }
    int CreateError() const { return m_createError; }
    void Post(long code);
    // One event without waiting; 0 when none is queued.
    long Take();
    void Clear();

private:
    int m_fd = -1;
    int m_createError = 0;
    std::mutex m_mutex;
    std::deque<long> m_codes;
};
