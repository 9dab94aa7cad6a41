#pragma once
// Opening an existing file for reading. Only regular files are opened: a named
// pipe without a writer would block the open (or the first read) forever, a
// device may never end, and a folder opens on Linux but fails on the first
// read with a misleading message. The open itself never blocks, so a pipe put
// in place between a check and the open cannot hang the program either.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

// Opens `path` read-only, or for reading and writing in place with `update`
// (never creating or truncating). Null on failure, with `why` saying what is
// wrong in words for the user ("it is a folder", "No such file or directory").
inline UniqueFile OpenRegularFile(const std::string& path, bool update, std::string& why) {
    const int fd = ::open(path.c_str(), (update ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = errno == EISDIR ? "it is a folder" : std::strerror(errno);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = errno;
        why = S_ISDIR(info.st_mode)   ? "it is a folder"
              : info.st_mode != 0     ? "it is not a regular file (a pipe, socket or device)"
                                      : std::strerror(error);
        ::close(fd);
        return nullptr;
    }
    // Reads of a regular file never block anyway; clear the flag so the
    // stream behaves as a plain one.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    UniqueFile file(::fdopen(fd, update ? "r+b" : "rb"));
    if (!file) {
        why = std::strerror(errno);
        ::close(fd);
    }
    return file;
}
