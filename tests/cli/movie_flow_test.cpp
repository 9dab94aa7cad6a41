// A movie whose job throws fails alone: its report line says why, what it
// had written is taken back, and the movies beside it on the pool's threads
// go on and succeed.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>

#include "base/index_pool.h"
#include "base/staged_file.h"
#include "cli/movie_flow.h"
#include "support/test_paths.h"

namespace fs = std::filesystem;

TEST(MovieFlow, AnExceptionInOneMoviesJobIsThatMoviesFailure) {
    ScratchDir dir;
    // What each movie's job does after writing its file.
    const std::map<std::string, std::function<void()>> ends = {
        {"ok1", [] {}},
        {"runtime", [] { throw std::runtime_error("boom"); }},
        {"memory", [] { throw std::bad_alloc(); }},
        {"other", [] { throw 7; }},
        {"ok2", [] {}},
    };
    std::vector<MovieTask> tasks;
    for (const auto& [name, end] : ends) {
        MovieTask task;
        task.movie = name;
        task.make = [&dir, name = name, end = end](MovieFacts& facts) {
            OutputBatch outputs;
            StagedFile file;
            if (OpResult opened = file.Open(dir / (name + ".jpg"), WriteMode::NeverReplace); !opened) return opened;
            std::fputs("picture", file.File());
            if (OpResult moved = outputs.MoveIn(file); !moved) return moved;
            facts.written = outputs.Files();
            facts.frames = 3;
            end();
            outputs.Keep();
            return OpResult::Success();
        };
        tasks.push_back(std::move(task));
    }
    std::mutex mutex;
    std::map<std::string, MovieReport> reports;
    // Worker threads and this one, as the tool runs movies side by side.
    IndexPool pool(tasks.size(), 2, [&](size_t index) {
        MovieReport report = RunMovieTask(tasks[index], false);
        std::lock_guard lock(mutex);
        reports[report.input] = std::move(report);
    });
    pool.Help();
    pool.Join();

    ASSERT_EQ(reports.size(), ends.size());
    const std::map<std::string, std::string> errors = {{"runtime", "runtime: unexpected error: boom"},
                                                       {"memory", "memory: out of memory"},
                                                       {"other", "other: unexpected error"}};
    for (const auto& [name, report] : reports) {
        SCOPED_TRACE(name);
        const bool fails = errors.count(name) != 0;
        EXPECT_EQ(report.status, fails ? MovieReport::Failed : MovieReport::Ok);
        EXPECT_EQ(report.error, fails ? errors.at(name) : "");
        EXPECT_EQ(fs::exists(dir / (name + ".jpg")), !fails) << "a failed movie's file is taken back";
        EXPECT_EQ(report.outputs.size(), fails ? 0u : 1u);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}
