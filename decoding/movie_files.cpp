#include "decoding/movie_files.h"

#include <algorithm>
#include <cctype>

const std::vector<std::string>& MovieExtensions() {
    static const std::vector<std::string> extensions = {
        ".mpg", ".mpeg", ".avi", ".asf", ".wmv", ".dat", ".mov", ".qt",  ".rm",   ".rmvb",
        ".vob", ".mp4",  ".m4v", ".mkv", ".webm", ".flv", ".ts",  ".m2ts", ".3gp", ".ogv",
    };
    return extensions;
}

bool IsMovieFileName(const std::string& name) {
    const size_t slash = name.rfind('/');
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    // A name that is only an extension (".mkv") is a hidden file, not a movie.
    const size_t dot = base.rfind('.');
    if (dot == std::string::npos || dot == 0) return false;
    std::string extension = base.substr(dot);
    // ASCII only: the extensions are ASCII and UTF-8 bytes of other letters must stay as they are.
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(c < 0x80 ? std::tolower(c) : c); });
    const auto& list = MovieExtensions();
    return std::find(list.begin(), list.end(), extension) != list.end();
}
