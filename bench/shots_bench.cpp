// Frame choice and shot detection, measured side by side in one run:
//  - `--pick shots -n 30` against ffmpeg's scene filter, on the 5-minute
//    1080p30 H.264 movie the other benchmarks use (key frame every 250 frames);
//  - `--pick best -n 30` against `--pick exact -n 30` on the same movie;
//  - precision and recall of the shots found on spliced movies with known
//    changes: 30 stretches of ffmpeg's patterns (plain, hue-turned, zoomed in),
//    2.5 to 5 s each, joined by hard cuts, dissolves and fades through black.
// Run by hand:
//   cmake --build build --target shots_bench reelcap-sheet && build/bench/shots_bench
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_folder.h"
#include "bench/bench_process.h"
#include "frames/shot_finder.h"
#include "grabbing/segment_grabber.h"
#include "grabbing/target_grabs.h"

namespace {

namespace fs = std::filesystem;

const fs::path kMovie = "/tmp/reelcap_bench_1080p.mp4";
const fs::path kSpliced = "/tmp/reelcap_shots_bench";

bool EnsureMovie() {
    if (fs::exists(kMovie)) return true;
    const fs::path part = kMovie.string() + ".part.mp4";
    const std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=1920x1080:rate=30 "
                            "-t 300 -c:v libx264 -preset veryfast -g 250 -keyint_min 250 -sc_threshold 0 "
                            "-pix_fmt yuv420p '" + part.string() + "'";
    if (std::system(cmd.c_str()) != 0) return false;
    std::error_code error;
    fs::rename(part, kMovie, error);
    return !error;
}

// A change of shot as made: a cut's first frame (from == until), or the
// frames a dissolve or fade covers.
struct Truth {
    long from, until;
    bool cut;
};

// "@" stands for the size and rate.
const char* const kSources[] = {
    "testsrc=@", "smptebars=@", "mandelbrot=@", "testsrc2=@", "yuvtestsrc=@", "rgbtestsrc=@", "smptehdbars=@",
    "gradients=speed=0.02:@", "testsrc=@,negate",
    "cellauto=rule=30:start_full=1:@,scroll=horizontal=0.03"};
const char* const kLooks[] = {"null", "hue=h=120:s=1.5", "crop=iw/2:ih/2,scale=320:180"};

// Writes a spliced movie of `stretches` stretches and answers its changes.
bool MakeSpliced(const fs::path& movie, unsigned seed, int stretches, std::vector<Truth>& truths) {
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return int(random() % unsigned(n)); };
    std::string inputs, graph, joined;
    long at = 0;
    int previous = -1;
    std::vector<long> lengths;
    std::vector<int> joins;  // 0 cut, 1 dissolve, 2 fade through black (into the next)
    for (int k = 0; k < stretches; ++k) {
        int source = pick(10);
        while (source == previous) source = pick(10);
        previous = source;
        // At least a second clear of the changes at either end.
        lengths.push_back(62 + pick(64));
        joins.push_back(k + 1 == stretches ? 0 : pick(3));
        if (k > 0 && joins[size_t(k - 1)] == 1 && joins.back() == 1) joins.back() = 0;  // no dissolve on both ends
        std::string chain = kSources[source];
        chain.replace(chain.find('@'), 1, "size=320x180:rate=25");
        inputs += " -f lavfi -i \"" + chain + "\"";
        graph += "[" + std::to_string(k) + "]" + kLooks[pick(3)] + ",format=yuv420p,setsar=1,trim=end_frame=" +
                 std::to_string(lengths.back()) + ",setpts=N/25/TB";
        const long fade = 12;
        if (k > 0 && joins[size_t(k - 1)] == 2) graph += ",fade=t=in:nb_frames=" + std::to_string(fade);
        if (joins.back() == 2)
            graph += ",fade=t=out:start_frame=" + std::to_string(lengths.back() - fade) + ":nb_frames=" + std::to_string(fade);
        graph += "[s" + std::to_string(k) + "];";
    }
    // Units: a stretch, or two joined by a dissolve (trimmed to their exact length).
    int units = 0;
    for (int k = 0; k < stretches; ++k) {
        const std::string unit = "u" + std::to_string(units++);
        if (joins[size_t(k)] == 1) {
            const long overlap = 15 + pick(11);
            const long offset = lengths[size_t(k)] - overlap;
            const long total = offset + lengths[size_t(k + 1)];
            graph += "[s" + std::to_string(k) + "][s" + std::to_string(k + 1) +
                     "]xfade=transition=fade:duration=" + std::to_string(overlap / 25.0) +
                     ":offset=" + std::to_string(offset / 25.0) + ",trim=end_frame=" + std::to_string(total) +
                     ",setpts=N/25/TB[" + unit + "];";
            truths.push_back({at + offset, at + offset + overlap, false});
            at += total;
            if (k + 2 < stretches) {
                if (joins[size_t(k + 1)] == 2)
                    truths.push_back({at - 12, at + 11, false});
                else
                    truths.push_back({at, at, true});
            }
            ++k;
        } else {
            graph += "[s" + std::to_string(k) + "]null[" + unit + "];";
            at += lengths[size_t(k)];
            if (k + 1 < stretches) {
                if (joins[size_t(k)] == 2)
                    truths.push_back({at - 12, at + 11, false});
                else
                    truths.push_back({at, at, true});
            }
        }
        joined += "[" + unit + "]";
    }
    // Numbered again after the join, and written frame for frame: the
    // changes' frame numbers are those counted here.
    graph += joined + "concat=n=" + std::to_string(units) + ",setpts=N/25/TB[out]";
    const std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y" + inputs + " -filter_complex \"" + graph +
                            "\" -map \"[out]\" -fps_mode passthrough -c:v libx264 -preset veryfast -pix_fmt yuv420p '" + movie.string() + "'";
    return std::system(cmd.c_str()) == 0;
}

void BM_ShotsAndBestAgainstFfmpeg(benchmark::State& state) {
    if (!EnsureMovie()) {
        state.SkipWithError("cannot make the movie");
        return;
    }
    const std::string movie = kMovie.string();
    for (auto _ : state) {
        BenchFolder folder("reelcap-shots-bench");
        const std::string out = folder.File("out");
        fs::create_directories(out);
        const auto sheet = [&](const char* pick) {
            return RunProgram({REELCAP_SHEET_PROGRAM, "--pick", pick, "-n", "30", "-y", "--quiet", "-o",
                               out + "/" + pick + ".jpg", movie});
        };
        const ProgramOutcome scene = RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-i", movie, "-vf",
                                                 "select='gt(scene,0.3)'", "-f", "null", "-"});
        const ProgramOutcome shots = sheet("shots");
        const ProgramOutcome exact = sheet("exact");
        const ProgramOutcome best = sheet("best");
        if (scene.status != 0 || shots.status != 0 || exact.status != 0 || best.status != 0) {
            state.SkipWithError("a run failed");
            return;
        }
        state.counters["scene_filter_s"] = scene.seconds;
        state.counters["shots_s"] = shots.seconds;
        state.counters["shots_ratio"] = shots.seconds / scene.seconds;
        state.counters["shots_peak_MiB"] = shots.peakKiB / 1024.0;
        state.counters["exact_s"] = exact.seconds;
        state.counters["best_s"] = best.seconds;
        state.counters["best_ratio"] = best.seconds / exact.seconds;
        state.counters["best_peak_MiB"] = best.peakKiB / 1024.0;
    }
}
BENCHMARK(BM_ShotsAndBestAgainstFfmpeg)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_ShotAccuracyOnSplicedMovies(benchmark::State& state) {
    std::error_code error;
    fs::create_directories(kSpliced, error);
    // Per kind: changes made, changes found (a cut at its exact frame, a
    // gradual change with its boundary inside), boundaries given and right.
    long made[2] = {}, recalled[2] = {}, given[2] = {}, right[2] = {};
    for (auto _ : state) {
        for (unsigned seed = 1; seed <= 4; ++seed) {
            const fs::path movie = kSpliced / ("spliced" + std::to_string(seed) + ".mp4");
            std::vector<Truth> truths;
            if (!MakeSpliced(movie, seed, 30, truths)) {
                state.SkipWithError("cannot make a spliced movie");
                return;
            }
            SegmentGrabber grabber;
            int32_t w = 0, h = 0;
            ShotChanges changes;
            if (!OpenGrabSource(grabber, movie.string(), w, h) || !FindShots(grabber, movie.string(), changes)) {
                state.SkipWithError("cannot find the shots");
                return;
            }
            const double frame = grabber.Info().frameDuration;
            std::vector<bool> used(truths.size(), false);
            for (size_t s = 1; s < changes.shots.size(); ++s) {
                const long first = long(changes.shots[s].firstFrame);
                // A cut's change spans its two frames; a fade or dissolve more.
                int kind = 1;
                for (const auto& [from, until] : changes.changes)
                    if (std::abs(until - changes.shots[s].start) < 1e-6 || (from <= changes.shots[s].start && until >= changes.shots[s].start))
                        kind = until - from <= 1.5 * frame ? 0 : 1;
                ++given[kind];
                if (std::getenv("SHOTS_BENCH_VERBOSE")) std::fprintf(stderr, "  kind %s %ld\n", kind ? "gradual" : "cut", first);
                for (size_t t = 0; t < truths.size(); ++t) {
                    const Truth& truth = truths[t];
                    const bool hit = truth.cut ? first == truth.from : first >= truth.from - 1 && first <= truth.until + 1;
                    if (used[t] || !hit) continue;
                    used[t] = true;
                    if (kind == (truth.cut ? 0 : 1)) ++right[kind];
                    ++recalled[truth.cut ? 0 : 1];
                    break;
                }
            }
            for (const Truth& truth : truths) ++made[truth.cut ? 0 : 1];
            if (std::getenv("SHOTS_BENCH_VERBOSE")) {
                for (size_t t = 0; t < truths.size(); ++t)
                    std::fprintf(stderr, "%s %ld-%ld%s\n", truths[t].cut ? "cut" : "gradual", truths[t].from,
                                 truths[t].until, used[t] ? "" : "  MISSED");
                for (size_t s = 1; s < changes.shots.size(); ++s)
                    std::fprintf(stderr, "  found %ld\n", long(changes.shots[s].firstFrame));
            }
        }
    }
    const auto share = [](long a, long b) { return b ? double(a) / double(b) : 0.0; };
    state.counters["cuts"] = double(made[0]);
    state.counters["graduals"] = double(made[1]);
    state.counters["cut_recall"] = share(recalled[0], made[0]);
    state.counters["cut_precision"] = share(right[0], given[0]);
    state.counters["gradual_recall"] = share(recalled[1], made[1]);
    state.counters["gradual_precision"] = share(right[1], given[1]);
}
BENCHMARK(BM_ShotAccuracyOnSplicedMovies)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
