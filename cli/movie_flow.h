#pragma once
// One movie's way through a run, whatever the job makes of it (a sheet, or
// sprites and their index): skipped when its outputs are up to date, else
// made and timed, ending in one report entry. The job says which files it
// will have written, so --skip-existing and --report treat every job alike.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/report.h"
#include "base/op_result.h"

// What a job tells about the movie it made (also when it failed part way).
struct MovieFacts {
    std::vector<std::string> written;  // files written and kept
    double duration = -1.0;            // seconds of movie; below 0 when not known
    int frames = 0;                    // frames grabbed
    int shots = -1;                    // shots found; below 0 when none were looked for
};

struct MovieTask {
    std::string movie;
    // Every file the job leaves when done; all must be newer than the movie
    // for a skip. Asked only with --skip-existing; none when not given.
    std::function<std::vector<std::string>()> outputs;
    std::function<OpResult(MovieFacts&)> make;
};

// The report of one movie. A failure's error is the line told on stderr:
// "MOVIE: reason". Whatever the task throws is that movie's failure, never
// the end of the run (the task runs on a worker thread of the run's pool).
MovieReport RunMovieTask(const MovieTask& task, bool skipExisting);

// The stderr line of a failed movie, without the newline.
std::string FailureLine(const std::string& movie, const std::string& why);
