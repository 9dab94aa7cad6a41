#include "cli/movie_list.h"

#include <cerrno>
#include <cstring>
#include <memory>

void SplitMovieList(std::FILE* stream, bool nulSeparated, std::vector<std::string>& paths) {
    const int separator = nulSeparated ? '\0' : '\n';
    std::string entry;
    auto finish = [&] {
        if (!nulSeparated && !entry.empty() && entry.back() == '\r') entry.pop_back();
        // A line of blanks is as empty as an empty one; a name that merely
        // contains blanks is kept as written.
        if (entry.find_first_not_of(" \t") != std::string::npos) paths.push_back(entry);
        entry.clear();
    };
    for (int c; (c = std::getc(stream)) != EOF;) {
        if (c == separator)
            finish();
        else
            entry += char(c);
    }
    finish();
}

OpResult ReadMovieList(const std::string& list, bool nulSeparated, std::vector<std::string>& paths) {
    if (list == "-") {
        SplitMovieList(stdin, nulSeparated, paths);
        if (std::ferror(stdin)) return OpResult::Failure("--files-from: cannot read standard input");
        return OpResult::Success();
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(list.c_str(), "rb"), &std::fclose);
    if (!stream) return OpResult::Failure("--files-from: cannot read \"" + list + "\": " + std::strerror(errno));
    SplitMovieList(stream.get(), nulSeparated, paths);
    if (std::ferror(stream.get())) return OpResult::Failure("--files-from: cannot read \"" + list + "\"");
    return OpResult::Success();
}
