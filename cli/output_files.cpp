#include "cli/output_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/atomic_file.h"

bool PathTaken(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string WriteTarget(const std::string& path, bool overwrite) { return overwrite ? LinkedFile(path) : path; }

std::string ExistsReason(const std::string& path) { return "\"" + path + "\" exists (-y replaces it)"; }

OpResult MoveInto(const std::string& staged, const std::string& target, bool replace) {
    const int error = MoveFileInto(staged, target, replace);
    if (error == 0) return OpResult::Success();
    if (error == EEXIST && !replace) return OpResult::Failure(ExistsReason(target));
    return OpResult::Failure("cannot write \"" + target + "\": " + std::strerror(error));
}

WrittenFiles::~WrittenFiles() {
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
    if (!m_folder.empty()) ::rmdir(m_folder.c_str());  // only when empty
}

std::string WrittenFiles::SecondName(const std::string& target) {
    if (!PathTaken(target)) return {};
    std::string aside = StagingNameFor(target, ".old");
    // A second name for the old file survives a rename over it. Where none can
    // be made (a folder in the way, a file system without links) the write goes
    // on as before, without a way back.
    if (::link(target.c_str(), aside.c_str()) != 0) aside.clear();
    return aside;
}

void WrittenFiles::KeepOldOf(const std::string& path) {
    // A write lands in the file a link leads to: that file is the one kept.
    const std::string target = LinkedFile(path);
    const bool known = std::any_of(m_replaced.begin(), m_replaced.end(),
                                   [&](const Replaced& old) { return old.target == target; });
    if (known) return;  // the first old file is the one to put back
    if (std::string aside = SecondName(target); !aside.empty()) m_replaced.push_back({target, std::move(aside)});
}

OpResult WrittenFiles::MoveIn(const std::string& staged, const std::string& target, bool replace) {
    const std::string aside = replace ? SecondName(target) : std::string();
    const OpResult moved = MoveInto(staged, target, replace);
    if (!moved) {
        if (!aside.empty()) ::unlink(aside.c_str());
        return moved;
    }
    Moved(staged, target);
    if (!aside.empty()) m_replaced.push_back({target, aside});
    return moved;
}

void WrittenFiles::Add(const std::string& path) {
    if (std::find(m_files.begin(), m_files.end(), path) == m_files.end()) m_files.push_back(path);
}

void WrittenFiles::Moved(const std::string& staged, const std::string& target) {
    std::replace(m_files.begin(), m_files.end(), staged, target);
}
