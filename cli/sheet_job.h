#pragma once
// One movie's contact sheet (and, when asked, its single frames): open, grab,
// compose, write. Either everything asked for is written or nothing is.
#include <functional>

#include "cli/command_line.h"
#include "cli/movie_plan.h"
#include "image/op_result.h"

// `progress` gets (frames grabbed, frames asked for) after every step and
// answers false to give up (the movie then fails as interrupted).
OpResult MakeMovieSheet(const MovieJob& job, const CliSettings& settings,
                        const std::function<bool(int done, int total)>& progress);
