#pragma once
// One movie's seek-bar thumbnails for web players: a WebVTT file whose cues
// point into sprite images of exact frames. Either the WebVTT file and all its
// sprites are written or nothing is; the WebVTT file is moved in last, so a
// player never finds cues whose pictures are missing.
#include <functional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/memory_gate.h"
#include "cli/movie_flow.h"
#include "cli/movie_plan.h"
#include "base/op_result.h"

// job.sheet names the WebVTT file. `progress` gets (pictures taken, cues)
// after every cue and answers false to give up (the movie then fails as
// interrupted). `facts`, when given, learns the duration, the pictures taken
// and the files written. One sprite is held at a time, besides the tiles
// waiting for it and the workers' pictures; `gate`, when given, is where the
// movie waits for that memory beside the others running (a sprite of large
// tiles holds hundreds of megabytes).
OpResult MakeMovieVtt(const MovieJob& job, const CliSettings& settings,
                      const std::function<bool(int done, int total)>& progress, MovieFacts* facts = nullptr,
                      MemoryGate* gate = nullptr);

// What a finished WebVTT file leaves: the file itself and every sprite image
// its cues point to (read from the file as it is now; only the file when it
// cannot be read). A resumed run skips the movie only when all are there.
std::vector<std::string> VttOutputs(const std::string& vttPath);
