#include "playback/event_signal.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

EventSignal::EventSignal() {
    m_fd = eventfd(0, EFD_SEMAPHORE | EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_fd < 0) m_createError = errno != 0 ? errno : EMFILE;
}

EventSignal::~EventSignal() {
    if (m_fd >= 0) close(m_fd);
}

void EventSignal::Post(long code) {
    std::lock_guard lock(m_mutex);
    m_codes.push_back(code);
    if (m_fd >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(m_fd, &one, sizeof one);
    }
}

long EventSignal::Take() {
    std::lock_guard lock(m_mutex);
    if (m_codes.empty()) return 0;
    if (m_fd >= 0) {
        uint64_t value = 0;
        [[maybe_unused]] ssize_t n = read(m_fd, &value, sizeof value);
    }
    long code = m_codes.front();
    m_codes.pop_front();
    return code;
}

void EventSignal::Clear() {
    while (Take() != 0) {
    }
}
