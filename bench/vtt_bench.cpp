// Seek-bar thumbnails (reelcap-sheet --vtt) against the two ways the ffmpeg
// command line makes them, side by side in one run, on a five-minute 1080p30
// H.264 movie with a key frame every 250 frames, 10 s interval, 320 px:
//   exact sprites   vs  ffmpeg -i M -vf fps=0.1,scale=320:-2 %05d.jpg  (target <= 0.2x)
//   --keyframes     vs  ffmpeg -skip_frame nokey -i M -vf scale=320:-2
//                       -fps_mode passthrough %05d.jpg                  (target <= 1.5x)
//   peak memory of exact sprites (target <= 250 MB), and of a 30-frame
//   sheet of the same movie (target <= 150 MB).
// The counters also give the pictures each way decodes (see DecodedFrames).
// The movie is made once into /tmp/reelcap_vtt_bench. Run by hand:
//   cmake --build build --target vtt_bench reelcap-sheet && build/bench/vtt_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_folder.h"
#include "bench/bench_process.h"
#include "decoding/key_frame_index.h"


namespace {

namespace fs = std::filesystem;

const fs::path kFolder = "/tmp/reelcap_vtt_bench";
const fs::path kMovie = kFolder / "h264_1080p_5min.mp4";
constexpr double kSeconds = 300.0;
constexpr double kFps = 30.0;
constexpr double kInterval = 10.0;

bool EnsureMovie() {
    return MakeWithFfmpeg(kMovie,
                          "-f lavfi -i testsrc2=size=1920x1080:rate=30 "
                          "-t 300 -c:v libx264 -preset veryfast -g 250 -keyint_min 250 -sc_threshold 0 "
                          "-pix_fmt yuv420p");
}

using Outcome = ProgramOutcome;

// Pictures decoded to reach the exact frames at k x interval: each one is
// decoded forward from the key frame at or before it (the exact seek's way;
// the seeker may read one picture more to know where the frame ends). With
// key frames, a cue holding one decodes that picture alone.
struct Decoded {
    long exact = 0;
    long keyframes = 0;
};
Decoded DecodedFrames(const std::vector<double>& keys) {
    Decoded decoded;
    for (double start = 0.0; start < kSeconds - 1e-9; start += kInterval) {
        const auto after = std::upper_bound(keys.begin(), keys.end(), start + 1e-6);
        const double before = after == keys.begin() ? 0.0 : *(after - 1);
        const long forward = std::lround((start - before) * kFps) + 1;
        decoded.exact += forward;
        const bool keyInside = after != keys.end() && *after < start + kInterval;
        const bool keyAtStart = std::fabs(before - start) < 1e-6;
        decoded.keyframes += keyAtStart || keyInside ? 1 : forward;
    }
    return decoded;
}

void BM_SpritesVersusFfmpeg(benchmark::State& state) {
    if (!EnsureMovie()) {
        state.SkipWithError("cannot make the movie");
        return;
    }
    const std::string movie = kMovie.string();
    for (auto _ : state) {
        BenchFolder folder("reelcap-vtt-bench");
        const std::string out = folder.File("out");
        fs::create_directories(out);
        const Outcome exact = RunProgram({REELCAP_SHEET_PROGRAM, "--vtt", "-y", "--quiet", "-O", out, movie});
        const Outcome keyed =
            RunProgram({REELCAP_SHEET_PROGRAM, "--vtt", "--keyframes", "-y", "--quiet", "-o", out + "/k.vtt", movie});
        const Outcome sheet = RunProgram({REELCAP_SHEET_PROGRAM, "-n", "30", "-y", "--quiet", "-O", out, movie});
        const fs::path fpsDir = folder.Path() / "fps";
        const fs::path keyDir = folder.Path() / "key";
        fs::create_directories(fpsDir);
        fs::create_directories(keyDir);
        const Outcome fps = RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", movie, "-vf",
                                        "fps=0.1,scale=320:-2", (fpsDir / "%05d.jpg").string()});
        const Outcome key = RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-skip_frame", "nokey", "-i", movie,
                                        "-vf", "scale=320:-2", "-fps_mode", "passthrough",
                                        (keyDir / "%05d.jpg").string()});
        if (exact.status != 0 || keyed.status != 0 || sheet.status != 0 || fps.status != 0 || key.status != 0) {
            state.SkipWithError("a run failed");
            return;
        }
        auto count = [](const fs::path& dir) {
            return double(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
        };
        const Decoded decoded = DecodedFrames(ReadKeyFrameTimes(movie).times);
        state.counters["exact_s"] = exact.seconds;
        state.counters["fps_filter_s"] = fps.seconds;
        state.counters["exact_ratio"] = exact.seconds / fps.seconds;
        state.counters["keyframes_s"] = keyed.seconds;
        state.counters["nokey_s"] = key.seconds;
        state.counters["keyframes_ratio"] = keyed.seconds / key.seconds;
        state.counters["exact_peak_MiB"] = exact.peakKiB / 1024.0;
        state.counters["sheet30_peak_MiB"] = sheet.peakKiB / 1024.0;
        state.counters["sheet30_s"] = sheet.seconds;
        state.counters["fps_thumbs"] = count(fpsDir);
        state.counters["nokey_thumbs"] = count(keyDir);
        state.counters["exact_decoded"] = double(decoded.exact);
        state.counters["keyframes_decoded"] = double(decoded.keyframes);
        state.counters["fps_decoded"] = kSeconds * kFps;   // every picture
        state.counters["nokey_decoded"] = count(keyDir);  // key frames only
    }
}
BENCHMARK(BM_SpritesVersusFfmpeg)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
