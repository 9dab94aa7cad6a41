// reelcap-sheet against the per-frame way of the command line, on six movies
// of different codecs, and its parallel speed-up and peak memory.
//
// The per-frame way: for every movie 16 runs of `ffmpeg -ss T -i movie
// -frames:v 1 k.jpg` at the same times k x D / 17, then one `ffmpeg -i %d.jpg
// -vf scale=148:-1,tile=5x4` for the sheet. The clips (three minutes each, so that frames
// lie further apart than the keyframes, as in real movies) are
// made once into /tmp/reelcap_cli_bench3. Run by hand:
//   cmake --build build --target cli_bench reelcap-sheet && build/bench/cli_bench
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_folder.h"
#include "bench/bench_process.h"


namespace {

namespace fs = std::filesystem;

const fs::path kClips = "/tmp/reelcap_cli_bench3";
constexpr int kFrames = 16;

struct Clip {
    const char* name;
    const char* encode;  // ffmpeg output options
    const char* size;
};
const Clip kClipList[] = {
    {"h264_1080p.mp4", "-c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 96k", "1920x1080"},
    {"hevc_720p.mkv", "-c:v libx265 -preset ultrafast -x265-params log-level=error -pix_fmt yuv420p", "1280x720"},
    {"vp9_720p.webm", "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 2M -g 120", "1280x720"},
    {"mpeg2_576p.mpg", "-c:v mpeg2video -q:v 4 -g 15 -c:a mp2", "720x576"},
    {"wmv2_480p.wmv", "-c:v wmv2 -q:v 4 -g 250 -c:a wmav2 -b:a 64k", "640x480"},
    {"mjpeg_480p.avi", "-c:v mjpeg -q:v 4 -c:a pcm_s16le", "640x480"},
};

bool EnsureClips() {
    for (const Clip& clip : kClipList) {
        const std::string options = std::string("-f lavfi -i testsrc2=size=") + clip.size +
                                    ":rate=30 -f lavfi -i sine=frequency=440:sample_rate=48000 -t 180 " +
                                    clip.encode + " -shortest";
        if (!MakeWithFfmpeg(kClips / clip.name, options)) return false;
    }
    return true;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

using Outcome = ProgramOutcome;

double Duration(const fs::path& movie) {
    const std::string cmd = "ffprobe -v error -show_entries format=duration -of csv=p=0 '" + movie.string() + "'";
    FILE* pipe = popen(cmd.c_str(), "r");
    double duration = 0.0;
    if (pipe) {
        if (std::fscanf(pipe, "%lf", &duration) != 1) duration = 0.0;
        pclose(pipe);
    }
    return duration;
}

std::vector<std::string> Movies() {
    std::vector<std::string> movies;
    for (const Clip& clip : kClipList) movies.push_back((kClips / clip.name).string());
    return movies;
}

std::vector<std::string> SheetCommand(const std::string& outDir, int jobs, int frames) {
    return {REELCAP_SHEET_PROGRAM, "-y", "-n", std::to_string(frames), "-j", std::to_string(jobs), "-O", outDir};
}

// Six movies, 16 frames each: the tool (-j 1) against the per-frame way.
void BM_SixMoviesVersusPerFrameCommands(benchmark::State& state) {
    if (!EnsureClips()) {
        state.SkipWithError("cannot make the clips");
        return;
    }
    for (auto _ : state) {
        BenchFolder folder("reelcap-cli-bench");
        std::vector<std::string> args = SheetCommand(folder.File("sheets"), 1, kFrames);
        for (const std::string& movie : Movies()) args.push_back(movie);
        const Outcome ours = RunProgram(args);
        if (ours.status != 0) {
            state.SkipWithError("reelcap-sheet failed");
            return;
        }
        double perFrame = 0.0;
        for (const std::string& movie : Movies()) {
            const double duration = Duration(movie);
            const fs::path frames = folder.Path() / ("frames-" + fs::path(movie).filename().string());
            fs::create_directories(frames);
            for (int k = 1; k <= kFrames; ++k) {
                char ss[32];
                std::snprintf(ss, sizeof ss, "%.6f", k * duration / (kFrames + 1));
                perFrame += RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-ss", ss, "-i", movie,
                                        "-frames:v", "1", (frames / (std::to_string(k) + ".jpg")).string()})
                                .seconds;
            }
            perFrame += RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", (frames / "%d.jpg").string(),
                                    "-vf", "scale=148:-1,tile=5x4", (frames / "sheet.jpg").string()})
                            .seconds;
        }
        state.counters["reelcap_s"] = ours.seconds;
        state.counters["per_frame_s"] = perFrame;
        state.counters["ratio"] = ours.seconds / perFrame;
    }
}
BENCHMARK(BM_SixMoviesVersusPerFrameCommands)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// The same six movies with -j 2 against -j 1.
void BM_SixMoviesTwoJobs(benchmark::State& state) {
    if (!EnsureClips()) {
        state.SkipWithError("cannot make the clips");
        return;
    }
    for (auto _ : state) {
        BenchFolder folder("reelcap-cli-bench");
        double seconds[2] = {0.0, 0.0};
        for (int jobs = 1; jobs <= 2; ++jobs) {
            std::vector<std::string> args = SheetCommand(folder.File("sheets"), jobs, kFrames);
            for (const std::string& movie : Movies()) args.push_back(movie);
            const Outcome run = RunProgram(args);
            if (run.status != 0) {
                state.SkipWithError("reelcap-sheet failed");
                return;
            }
            seconds[jobs - 1] = run.seconds;
        }
        state.counters["j1_s"] = seconds[0];
        state.counters["j2_s"] = seconds[1];
        state.counters["ratio"] = seconds[1] / seconds[0];
    }
}
BENCHMARK(BM_SixMoviesTwoJobs)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// One 1080p movie at N = 30: peak memory against 30 frames + 150 MB.
void BM_PeakMemory1080p30Frames(benchmark::State& state) {
    if (!EnsureClips()) {
        state.SkipWithError("cannot make the clips");
        return;
    }
    for (auto _ : state) {
        BenchFolder folder("reelcap-cli-bench");
        std::vector<std::string> args = SheetCommand(folder.File("sheets"), 1, 30);
        args.push_back((kClips / kClipList[0].name).string());
        const Outcome run = RunProgram(args);
        if (run.status != 0) {
            state.SkipWithError("reelcap-sheet failed");
            return;
        }
        const double frameMiB = 1920.0 * 1080.0 * 3.0 / 1048576.0;
        state.counters["peak_MiB"] = double(run.peakKiB) / 1024.0;
        state.counters["limit_MiB"] = 30.0 * frameMiB + 150.0;
        state.counters["seconds"] = run.seconds;
    }
}
BENCHMARK(BM_PeakMemory1080p30Frames)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
