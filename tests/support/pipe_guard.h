#pragma once
// Runs code that must not block on a named pipe. If it has not finished within
// the time allowed, the pipe is opened for writing and closed again, which
// releases a reader stuck in open() or read(), so a hang shows as a failed
// test instead of a test run that never ends.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>

inline bool MakePipe(const std::string& path) { return ::mkfifo(path.c_str(), 0644) == 0; }

// True when `body` returned within `limit` on its own.
inline bool FinishesBeside(const std::string& pipePath, const std::function<void()>& body,
                           std::chrono::seconds limit = std::chrono::seconds(5)) {
    std::future<void> done = std::async(std::launch::async, body);
    if (done.wait_for(limit) == std::future_status::ready) return true;
    for (int i = 0; i < 100 && done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready; ++i) {
        const int fd = ::open(pipePath.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    }
    done.wait();
    return false;
}
