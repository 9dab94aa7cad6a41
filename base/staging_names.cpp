#include "base/staging_names.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <map>
#include <mutex>

namespace {

constexpr const char* kTags[] = {".part", ".old", ".tmp"};

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// "<digits>" of at most ten, as a number; -1 for anything else.
long long Digits(const std::string& text, size_t from, size_t to) {
    if (to <= from || to - from > 10) return -1;
    long long value = 0;
    for (size_t i = from; i < to; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// The target name and process of a staging name ".NAME<tag><pid>-<count>";
// false for any other name.
bool ReadStagingName(const std::string& entry, std::string& name, long long& pid) {
    if (entry.size() < 2 || entry[0] != '.') return false;
    for (const char* tag : kTags) {
        const std::string mark(tag);
        const size_t at = entry.rfind(mark);
        if (at == std::string::npos || at < 2) continue;
        const size_t numbers = at + mark.size();
        const size_t dash = entry.find('-', numbers);
        if (dash == std::string::npos) continue;
        pid = Digits(entry, numbers, dash);
        if (pid < 1 || pid > INT_MAX || Digits(entry, dash + 1, entry.size()) < 0) continue;
        name = entry.substr(1, at - 1);
        return true;
    }
    return false;
}

bool ProcessRuns(long long pid) {
    if (pid == ::getpid()) return true;  // this run's own files are in use
    return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

// The staging names of dead processes found in each folder read so far, by
// the target name they stand for.
std::mutex g_mutex;
std::map<std::string, std::multimap<std::string, std::string>> g_leftovers;

std::multimap<std::string, std::string> ReadLeftovers(const std::string& folder) {
    std::multimap<std::string, std::string> found;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return found;
    while (const dirent* entry = ::readdir(dir)) {
        std::string name;
        long long pid = 0;
        if (ReadStagingName(entry->d_name, name, pid) && !ProcessRuns(pid)) found.emplace(name, entry->d_name);
    }
    ::closedir(dir);
    return found;
}

}  // namespace

std::string StagingNameFor(const std::string& target, const char* tag) {
    static std::atomic<unsigned> counter{0};
    std::string folder;
    std::string name;
    SplitPath(target, folder, name);
    return folder + "." + name + tag + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
}

void RemoveStaleStaging(const std::string& target) {
    std::string folder;
    std::string name;
    SplitPath(target, folder, name);
    if (name.empty()) return;
    std::lock_guard lock(g_mutex);
    auto known = g_leftovers.find(folder);
    if (known == g_leftovers.end()) known = g_leftovers.emplace(folder, ReadLeftovers(folder)).first;
    auto [first, last] = known->second.equal_range(name);
    for (auto it = first; it != last; ++it) {
        const std::string path = folder + it->second;
        std::string again;
        long long pid = 0;
        struct stat info {};
        // Asked again: the process may be one that started since the folder was read.
        if (ReadStagingName(it->second, again, pid) && !ProcessRuns(pid) && ::lstat(path.c_str(), &info) == 0 &&
            S_ISREG(info.st_mode))
            ::unlink(path.c_str());
    }
    known->second.erase(first, last);
}
