#pragma once
// Which movies to make sheets of and where each one's output goes, decided
// before any movie is read.
#include <string>
#include <vector>

#include "cli/command_line.h"

struct MovieJob {
    std::string movie;         // path of the movie
    std::string sheet;         // sheet file to write (the WebVTT file with --vtt)
    std::string framesFolder;  // folder for the single frames; empty when not asked for
    // Known before reading (no such file, output shared with an earlier movie):
    // the movie fails with this reason.
    std::string failure;
};

struct MoviePlan {
    std::vector<MovieJob> jobs;
    // Inputs that name no movie (an unreadable or empty folder), with the reason.
    std::vector<std::pair<std::string, std::string>> failures;
    // Bad usage found while planning (-o for several movies); nothing is done.
    std::string usage;
};

// The files a finished job has left: the sheet, and the frames folder when
// asked for (its files are named by the frames' times, known only after
// grabbing; the folder's time moves with every file written into it).
std::vector<std::string> ExpectedOutputs(const MovieJob& job);

// Folders are searched (recursively with settings.recursive) for files with the
// movie extensions, in name order; a file named directly is taken whatever its
// name. The same movie named twice is made once. With settings.shard, only
// the movies of that shard are kept (by their paths as listed or found), and
// only the folder failures of that shard (by the folder's path as given);
// repeats and outputs shared by two movies are found over the whole list.
MoviePlan PlanMovies(const CliSettings& settings);
