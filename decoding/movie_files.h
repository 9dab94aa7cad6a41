#pragma once
// Which files count as movies: the "All Movies" choice of the open dialog and
// the folders the command-line tool searches use this one list.
#include <string>
#include <vector>

// Lower-case extensions with their dot (".mpg", ".mkv", ...), in the order the
// open dialog lists them.
const std::vector<std::string>& MovieExtensions();

// True when the name ends in one of MovieExtensions, in any letter case
// ("Clip.MKV"). Only the name is looked at, not the contents.
bool IsMovieFileName(const std::string& name);
