#pragma once
// One movie's seek-bar thumbnails for web players: a WebVTT file whose cues
// point into sprite images of exact frames. Either the WebVTT file and all its
// sprites are written or nothing is; the WebVTT file is moved in last, so a
// player never finds cues whose pictures are missing.
#include <functional>

#include "cli/command_line.h"
#include "cli/movie_plan.h"
#include "image/op_result.h"

// job.sheet names the WebVTT file. `progress` gets (pictures taken, cues)
// after every cue and answers false to give up (the movie then fails as
// interrupted).
OpResult MakeMovieVtt(const MovieJob& job, const CliSettings& settings,
                      const std::function<bool(int done, int total)>& progress);
