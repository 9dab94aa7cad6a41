#include "cli/output_files.h"

#include <sys/stat.h>

#include <cerrno>

bool PathTaken(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string ExistsReason(const std::string& path) { return "\"" + path + "\" exists (-y replaces it)"; }

WriteMode OutputMode(bool overwrite) { return overwrite ? WriteMode::Replace : WriteMode::NeverReplace; }

OpResult Told(const StagedFile& file, OpResult result) {
    if (!result && file.Mode() == WriteMode::NeverReplace && file.Error() == EEXIST)
        return OpResult::Failure(ExistsReason(file.Target()));
    return result;
}
