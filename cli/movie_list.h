#pragma once
// --files-from: movies listed in a file or on standard input, one path per
// line or, with --null, separated by NUL characters (as find -print0 writes).
#include <cstdio>
#include <string>
#include <vector>

#include "base/op_result.h"

// Paths from `list` ("-" for standard input), in the order given; blank
// entries are left out. A path is taken byte for byte, except that in
// newline mode a trailing carriage return (a list written on Windows) goes.
OpResult ReadMovieList(const std::string& list, bool nulSeparated, std::vector<std::string>& paths);

// The same from an open stream; used for standard input and by the above.
void SplitMovieList(std::FILE* stream, bool nulSeparated, std::vector<std::string>& paths);
