// reelcap-sheet over a long list: the cost each movie adds beyond its frames
// (open, probe, four grabs, compose, write, report line), and a resumed run
// over the finished list with --skip-existing against the first run.
//
// 500 one-second 320x240 clips at -n 4: one clip is made with ffmpeg, the
// list holds 500 copies of it under their own names (the same bytes: the
// cost measured is per movie, not per codec), in /tmp/reelcap_list_bench.
// Run by hand:
//   cmake --build build --target list_bench reelcap-sheet && build/bench/list_bench
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_folder.h"
#include "bench/bench_process.h"


namespace {

namespace fs = std::filesystem;

const fs::path kClips = "/tmp/reelcap_list_bench";
constexpr int kMovies = 500;

// The list file, made once.
fs::path EnsureList() {
    const fs::path list = kClips / "list.txt";
    if (fs::exists(list)) return list;
    const fs::path first = kClips / "clip0000.mp4";
    if (!MakeWithFfmpeg(first, "-f lavfi -i testsrc2=size=320x240:rate=25 -t 1 -c:v libx264 -preset veryfast "
                               "-pix_fmt yuv420p"))
        return {};
    std::error_code error;
    std::ofstream out(kClips / "list.part");
    for (int i = 0; i < kMovies; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "clip%04d.mp4", i);
        if (i > 0) fs::copy_file(first, kClips / name, fs::copy_options::skip_existing, error);
        out << (kClips / name).string() << "\n";
    }
    out.close();
    fs::rename(kClips / "list.part", list, error);
    return error ? fs::path() : list;
}

// Seconds the program ran, or below 0 when it failed.
double Timed(const std::vector<std::string>& args) {
    const ProgramOutcome run = RunProgram(args);
    return run.status == 0 ? run.seconds : -1.0;
}

void BM_FiveHundredMoviesThenResume(benchmark::State& state) {
    const fs::path list = EnsureList();
    if (list.empty()) {
        state.SkipWithError("cannot make the clips");
        return;
    }
    const std::string jobs = std::to_string(state.range(0));
    for (auto _ : state) {
        BenchFolder folder("reelcap-list-bench");
        const std::vector<std::string> run = {REELCAP_SHEET_PROGRAM, "-n", "4", "-j", jobs, "--quiet",
                                              "--files-from", list.string(), "-O", folder.File("sheets"),
                                              "--skip-existing", "--report", folder.File("report.jsonl")};
        const double first = Timed(run);
        const double resumed = Timed(run);
        if (first < 0 || resumed < 0) {
            state.SkipWithError("reelcap-sheet failed");
            return;
        }
        state.counters["first_s"] = first;
        state.counters["ms_per_movie"] = first * 1000.0 / kMovies;
        state.counters["resume_s"] = resumed;
        state.counters["resume_share"] = resumed / first;
    }
}
BENCHMARK(BM_FiveHundredMoviesThenResume)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
