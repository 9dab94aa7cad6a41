#pragma once
// --skip-existing: a movie whose outputs are all there and newer than the
// movie is done. Decided from the files' times alone: the movie is never
// opened, so a finished list is gone over in moments.
#include <string>
#include <vector>

// True when `outputs` is not empty and each exists with a modification time
// later than the movie's. A movie that cannot be looked at is never skipped:
// it then fails as it would without the flag.
bool OutputsAreUpToDate(const std::string& movie, const std::vector<std::string>& outputs);
