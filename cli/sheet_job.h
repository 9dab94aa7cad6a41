#pragma once
// One movie's contact sheet (and, when asked, its single frames): open, grab,
// compose, write. Either everything asked for is written or nothing is.
#include <functional>

#include "cli/command_line.h"
#include "cli/memory_gate.h"
#include "cli/movie_flow.h"
#include "cli/movie_plan.h"
#include "base/op_result.h"

// `progress` gets (frames grabbed, frames asked for) after every step and
// answers false to give up (the movie then fails as interrupted). `facts`,
// when given, learns the files written, the duration and the frames grabbed.
// `gate`, when given, is where the movie waits for memory beside the others
// running.
OpResult MakeMovieSheet(const MovieJob& job, const CliSettings& settings,
                        const std::function<bool(int done, int total)>& progress, MovieFacts* facts = nullptr,
                        MemoryGate* gate = nullptr);
