#include "cli/output_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "image/atomic_file.h"

bool PathTaken(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string ExistsReason(const std::string& path) { return "\"" + path + "\" exists (-y replaces it)"; }

OpResult MoveInto(const std::string& staged, const std::string& target, bool replace) {
    const int error = MoveFileInto(staged, target, replace);
    if (error == 0) return OpResult::Success();
    if (error == EEXIST && !replace) return OpResult::Failure(ExistsReason(target));
    return OpResult::Failure("cannot write \"" + target + "\": " + std::strerror(error));
}

WrittenFiles::~WrittenFiles() {
    if (m_keep) return;
    for (auto it = m_files.rbegin(); it != m_files.rend(); ++it) ::unlink(it->c_str());
    if (!m_folder.empty()) ::rmdir(m_folder.c_str());  // only when empty
}

void WrittenFiles::Moved(const std::string& staged, const std::string& target) {
    std::replace(m_files.begin(), m_files.end(), staged, target);
}
