#include "cli/skip_existing.h"

#include <sys/stat.h>

namespace {

bool ModifiedAt(const std::string& path, timespec& when) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    when = info.st_mtim;
    return true;
}

bool Later(const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

}  // namespace

bool OutputsAreUpToDate(const std::string& movie, const std::vector<std::string>& outputs) {
    timespec movieTime{};
    if (outputs.empty() || !ModifiedAt(movie, movieTime)) return false;
    for (const std::string& output : outputs) {
        timespec outputTime{};
        if (!ModifiedAt(output, outputTime) || !Later(outputTime, movieTime)) return false;
    }
    return true;
}
