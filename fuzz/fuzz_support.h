#pragma once
// What the fuzz targets share: a headless Qt for the ones that measure or draw
// text, and the fuzzer's bytes as a file that the loaders can open by path.
#include <sys/mman.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace fuzz {

// Fonts need a QGuiApplication; the offscreen platform needs no display. Made
// once and kept for the process (libFuzzer never returns to a caller that
// could end it in order).
inline void StartHeadlessQt() {
    static std::unique_ptr<QGuiApplication> app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("QT_LOGGING_RULES", "qt.*=false", 0);
        static int argc = 1;
        static char name[] = "reelcap-fuzz";
        static char* argv[] = {name, nullptr};
        return std::make_unique<QGuiApplication>(argc, argv);
    }();
}

// The bytes as an anonymous in-memory file, named "/proc/self/fd/N": the loader
// under test opens it as it would open a file on disk, with no disk traffic
// and nothing left behind when the target is stopped.
class MemoryFile {
public:
    MemoryFile(const uint8_t* data, size_t size) : m_fd(memfd_create("fuzz-input", MFD_CLOEXEC)) {
        for (size_t done = 0; m_fd >= 0 && done < size;) {
            const ssize_t n = ::write(m_fd, data + done, size - done);
            if (n <= 0) break;
            done += size_t(n);
        }
    }
    ~MemoryFile() {
        if (m_fd >= 0) ::close(m_fd);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    bool Ok() const { return m_fd >= 0; }
    std::string Path() const { return "/proc/self/fd/" + std::to_string(m_fd); }

private:
    int m_fd;
};

}  // namespace fuzz
