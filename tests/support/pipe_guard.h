#pragma once
// Runs code that must not block on a named pipe. Past the time allowed the
// pipe is opened for writing and closed, which releases a reader stuck in
// open() or read(): a hang shows as a failed test, not a run that never ends.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <future>
#include <string>

inline bool MakePipe(const std::string& path) { return ::mkfifo(path.c_str(), 0644) == 0; }

// True when `body` returned within five seconds on its own.
inline bool FinishesBeside(const std::string& pipePath, const std::function<void()>& body) {
    std::future<void> done = std::async(std::launch::async, body);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
        ::close(::open(pipePath.c_str(), O_WRONLY | O_NONBLOCK));
    return false;
}
