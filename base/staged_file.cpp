#include "base/staged_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/staging_names.h"

// The staging file's descriptor behind the stream File() gives, and the errno
// of the first call on it that failed: a library writing through the stream
// (libjpeg) sees only that a write fell short, and errno may have changed by
// the time the failure reaches the caller.
struct StagedFile::Sink {
    int fd = -1;
    int error = 0;

    void Failed(int code) {
        if (error == 0) error = code;
    }

    static ssize_t Write(void* cookie, const char* data, size_t size) {
        Sink& sink = *static_cast<Sink*>(cookie);
        size_t done = 0;
        while (done < size) {
            const ssize_t wrote = ::write(sink.fd, data + done, size - done);
            if (wrote < 0 && errno == EINTR) continue;
            if (wrote <= 0) {
                sink.Failed(wrote < 0 ? errno : EIO);
                errno = sink.error;
                break;
            }
            done += size_t(wrote);
        }
        return ssize_t(done);  // short: the stream marks itself failed
    }

    static int Close(void* cookie) {
        Sink& sink = *static_cast<Sink*>(cookie);
        if (sink.fd < 0) return 0;
        const int closed = ::close(sink.fd);
        sink.fd = -1;
        if (closed != 0 && errno != EINTR) {
            sink.Failed(errno);
            return -1;
        }
        return 0;
    }
};

namespace {

// Moves a finished file onto `target`: 0, or the errno of the failure.
int MoveOnto(const std::string& staged, const std::string& target, WriteMode mode) {
    if (mode == WriteMode::Replace) return std::rename(staged.c_str(), target.c_str()) == 0 ? 0 : errno;
    if (::renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the no-replace rename: a hard link never replaces either.
    if (::link(staged.c_str(), target.c_str()) != 0) return errno;
    ::unlink(staged.c_str());
    return 0;
}

// Forces the folder's entries to the device: a rename is only durable once
// its folder is. 0, or the errno of the failure; file systems that cannot
// sync a folder are taken as done.
int SyncFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = ::fsync(fd) == 0 ? 0 : errno;
    if (error == EINVAL || error == EROFS || error == ENOTSUP) error = 0;
    ::close(fd);
    return error;
}

bool PathTaken(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

std::string LinkedFile(const std::string& path) {
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

StagedFile::StagedFile() = default;

StagedFile::~StagedFile() { Discard(); }

StagedFile::StagedFile(StagedFile&& other) noexcept { *this = std::move(other); }

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this == &other) return *this;
    Discard();
    m_target = std::move(other.m_target);
    m_staging = std::move(other.m_staging);
    m_mode = other.m_mode;
    m_durable = other.m_durable;
    m_error = other.m_error;
    m_sink = std::move(other.m_sink);  // the stream's cookie stays where it is
    m_file = other.m_file;
    other.m_staging.clear();
    other.m_file = nullptr;
    other.m_error = 0;
    return *this;
}

int StagedFile::Error() const {
    if (m_error) return m_error;
    return m_sink ? m_sink->error : 0;
}

std::string StagedFile::Describe(const char* what) const {
    return std::string(what) + " \"" + m_target + "\": " + std::strerror(Error() ? Error() : EIO);
}

OpResult StagedFile::Fail(const char* what, int error) {
    if (m_error == 0) m_error = error;  // before the clean-up's own calls
    Discard();
    return OpResult::Failure(Describe(what));
}

OpResult StagedFile::Open(const std::string& path, WriteMode mode, bool durable) {
    Discard();
    m_mode = mode;
    m_durable = durable;
    m_error = 0;
    m_sink.reset();
    m_target = mode == WriteMode::Replace ? LinkedFile(path) : path;
    if (m_target.empty()) return Fail("Cannot write", ENOENT);
    if (m_target.back() == '/') return Fail("Cannot write", EISDIR);

    struct stat existing {};
    const bool targetExists = mode == WriteMode::Replace ? ::stat(m_target.c_str(), &existing) == 0
                                                          : PathTaken(m_target);
    if (mode == WriteMode::NeverReplace && targetExists) return Fail("Cannot write", EEXIST);
    if (targetExists && S_ISDIR(existing.st_mode)) return Fail("Cannot write", EISDIR);
    // Writing through a rename would bypass a read-only target; refused as a
    // plain open for writing would refuse it.
    if (targetExists && ::access(m_target.c_str(), W_OK) != 0) return Fail("Cannot write", errno);

    RemoveStaleStaging(m_target);
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        m_staging = StagingNameFor(m_target, ".part");
        fd = ::open(m_staging.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            const int error = errno;
            m_staging.clear();
            if (error != EEXIST) return Fail("Cannot create", error);
        }
    }
    if (fd < 0) return Fail("Cannot create", EEXIST);
    m_sink = std::make_unique<Sink>();
    m_sink->fd = fd;

    // The replacement keeps the permissions of the file it replaces; where
    // they cannot be given, it would come out with others, so it is refused.
    struct stat staged {};
    if (::fstat(fd, &staged) != 0) return Fail("Cannot create", errno);
    if (targetExists && (staged.st_mode & 07777) != (existing.st_mode & 07777) &&
        ::fchmod(fd, existing.st_mode & 07777) != 0)
        return Fail("Cannot create", errno);

    m_file = ::fopencookie(m_sink.get(), "wb", {nullptr, &Sink::Write, nullptr, &Sink::Close});
    if (!m_file) return Fail("Cannot create", errno);
    std::setvbuf(m_file, nullptr, _IOFBF, 1 << 16);
    return OpResult::Success();
}

void StagedFile::CloseStream() {
    if (m_file) {
        std::fclose(m_file);  // closes the descriptor through the sink
        m_file = nullptr;
    }
    if (m_sink && m_sink->fd >= 0) Sink::Close(m_sink.get());
}

OpResult StagedFile::Finish() {
    if (!m_file) {
        if (!m_staging.empty()) return OpResult::Success();  // finished before
        return OpResult::Failure("Cannot write \"" + m_target + "\": the file is not open");
    }
    const bool flushed = std::fflush(m_file) == 0 && !std::ferror(m_file) && Error() == 0;
    if (!flushed) return Fail("Cannot write", Error() ? Error() : EIO);
    if (m_durable && ::fsync(m_sink->fd) != 0) return Fail("Cannot write", errno);
    FILE* file = m_file;
    m_file = nullptr;
    std::fclose(file);
    if (Error()) return Fail("Cannot write", Error());
    return OpResult::Success();
}

OpResult StagedFile::Commit() {
    if (OpResult finished = Finish(); !finished) return finished;
    if (const int error = MoveOnto(m_staging, m_target, m_mode))
        return Fail(m_mode == WriteMode::Replace ? "Cannot replace" : "Cannot write", error);
    m_staging.clear();
    if (m_durable) {
        if (const int error = SyncFolderOf(m_target)) {
            m_error = error;
            return OpResult::Failure(Describe("Cannot save the folder entry of"));
        }
    }
    return OpResult::Success();
}

void StagedFile::Discard() {
    CloseStream();
    if (!m_staging.empty()) {
        ::unlink(m_staging.c_str());
        m_staging.clear();
    }
}

OutputBatch::~OutputBatch() {
    if (m_keep) {
        for (const Replaced& old : m_replaced) ::unlink(old.aside.c_str());
        return;
    }
    for (auto it = m_files.rbegin(); it != m_files.rend(); ++it) ::unlink(it->c_str());
    for (auto it = m_replaced.rbegin(); it != m_replaced.rend(); ++it) {
        ::rename(it->aside.c_str(), it->target.c_str());
        // Where the file was never replaced, aside and target are one file and
        // the rename does nothing: the second name must still go.
        ::unlink(it->aside.c_str());
    }
    for (auto it = m_folders.rbegin(); it != m_folders.rend(); ++it) ::rmdir(it->c_str());  // only when empty
}

OpResult OutputBatch::MoveIn(StagedFile& file) {
    const std::string target = file.Target();
    // A file this batch moved in before is no one else's to put back.
    const bool known = std::find(m_files.begin(), m_files.end(), target) != m_files.end();
    std::string aside;
    const bool replacing = file.Mode() == WriteMode::Replace && !known && PathTaken(target);
    if (replacing) {
        aside = StagingNameFor(target, ".old");
        if (::link(target.c_str(), aside.c_str()) != 0) aside.clear();
    }
    const OpResult moved = file.Commit();
    if (!moved) {
        if (!aside.empty()) ::unlink(aside.c_str());
        return moved;
    }
    if (!aside.empty()) m_replaced.push_back({target, aside});
    // A file replaced where no second name could keep the old one (a file
    // system without hard links) cannot be put back: the new one stays rather
    // than leaving the user with neither.
    if (!known && (!replacing || !aside.empty())) m_files.push_back(target);
    return moved;
}
