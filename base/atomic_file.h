#pragma once
// Replaces a file only once its new contents are completely on disk. The data
// goes to a temporary sibling first; Commit renames it over the target. If
// anything fails before that (full disk, write error, the caller gives up), the
// temporary file is removed and an existing target keeps its old contents.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "base/op_result.h"

// A hidden name beside `target` for its contents until they are complete:
// ".NAME.<tag><pid>-<count>", unique within this process.
inline std::string StagingNameFor(const std::string& target, const char* tag) {
    static std::atomic<unsigned> counter{0};
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return folder + "." + name + tag + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
}

// The file a write to `path` lands in: links followed (also one whose file
// does not exist yet), so that a link is written through, not replaced by a
// plain file.
inline std::string LinkedFile(const std::string& path) {
    std::filesystem::path target = path;
    std::error_code error;
    for (int depth = 0; depth < 40 && std::filesystem::is_symlink(std::filesystem::symlink_status(target, error));
         ++depth) {
        const std::filesystem::path next = std::filesystem::read_symlink(target, error);
        if (error) break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target.string();
}

// Moves a finished file onto `target`: 0, or the errno of the failure. Without
// `replace` an existing target (even one that appeared a moment ago) is left
// alone and the move fails with EEXIST.
inline int MoveFileInto(const std::string& staged, const std::string& target, bool replace) {
    if (replace) return std::rename(staged.c_str(), target.c_str()) == 0 ? 0 : errno;
    if (::renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the no-replace rename: a hard link never replaces either.
    if (::link(staged.c_str(), target.c_str()) != 0) return errno;
    ::unlink(staged.c_str());
    return 0;
}

class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string target) : m_target(std::move(target)) {}
    ~AtomicFileWriter() { Discard(); }
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file in the target's folder.
    OpResult Open();
    // The open temporary file (null before Open or after Commit/Discard).
    FILE* File() const { return m_file; }
    // Flushes (and with sync, forces to the device), closes and renames over
    // the target. On failure the temporary file is gone and the target untouched.
    OpResult Commit(bool sync);
    // Drops the temporary file; the target stays as it was.
    void Discard();

private:
    OpResult Fail(const char* what, int error) {
        Discard();
        return OpResult::Failure(std::string(what) + " \"" + m_target + "\": " + std::strerror(error));
    }

    std::string m_target;
    std::string m_temp;
    FILE* m_file = nullptr;
};

inline OpResult AtomicFileWriter::Open() {
    Discard();
    m_target = LinkedFile(m_target);
    const size_t slash = m_target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : m_target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? m_target : m_target.substr(slash + 1);
    if (name.empty()) return OpResult::Failure("Cannot write \"" + m_target + "\": no file name");

    // Writing through a rename would bypass a read-only target; refuse as a
    // plain open for writing would.
    struct stat existing {};
    const bool targetExists = ::stat(m_target.c_str(), &existing) == 0;
    if (targetExists && S_ISDIR(existing.st_mode)) return Fail("Cannot write", EISDIR);
    if (targetExists && ::access(m_target.c_str(), W_OK) != 0) return Fail("Cannot write", errno);

    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        m_temp = StagingNameFor(m_target, ".tmp");
        fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            const int error = errno;
            m_temp.clear();
            return Fail("Cannot create", error);
        }
    }
    if (fd < 0) {
        m_temp.clear();
        return Fail("Cannot create", EEXIST);
    }
    // The replacement keeps the permissions of the file it replaces.
    if (targetExists) ::fchmod(fd, existing.st_mode & 07777);
    m_file = ::fdopen(fd, "wb");
    if (!m_file) {
        const int error = errno;
        ::close(fd);
        return Fail("Cannot create", error);
    }
    return OpResult::Success();
}

inline OpResult AtomicFileWriter::Commit(bool sync) {
    if (!m_file) return OpResult::Failure("Cannot write \"" + m_target + "\": file not open");
    if (std::fflush(m_file) != 0 || std::ferror(m_file)) return Fail("Cannot write", errno ? errno : EIO);
    if (sync && ::fsync(::fileno(m_file)) != 0) return Fail("Cannot write", errno);
    FILE* file = m_file;
    m_file = nullptr;
    if (std::fclose(file) != 0) return Fail("Cannot write", errno);
    if (const int error = MoveFileInto(m_temp, m_target, true)) return Fail("Cannot replace", error);
    m_temp.clear();
    return OpResult::Success();
}

inline void AtomicFileWriter::Discard() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
}
