// reelcap-thumbnailer against Debian's ffmpegthumbnailer, both asked for a
// 256-pixel thumbnail of the same movies (1080p H.264, 4K HEVC 10-bit HDR,
// 640x360 VP9, a two-hour file, a movie that opens on black), the median of
// three runs each; and the peak memory of a 1024-pixel thumbnail of the 4K
// movie. The thumbnails stay in /tmp/reelcap_thumb_bench/out to be looked at.
// The movies are made once into /tmp/reelcap_thumb_bench. Run by hand:
//   cmake --build build --target thumbnail_bench reelcap-thumbnailer && build/bench/thumbnail_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_process.h"

namespace {

namespace fs = std::filesystem;

const fs::path kMovies = "/tmp/reelcap_thumb_bench";

struct Movie {
    const char* name;
    const char* make;  // ffmpeg options before the output
};
const Movie kMovieList[] = {
    {"h264_1080p.mp4",
     "-f lavfi -i testsrc2=size=1920x1080:rate=30 -t 120 -c:v libx264 -preset veryfast -pix_fmt yuv420p"},
    {"hevc_4k_hdr.mkv",
     "-f lavfi -i testsrc2=size=3840x2160:rate=25 -t 8 "
     "-vf zscale=tin=bt709:min=bt709:pin=bt709:rin=tv:t=smpte2084:p=bt2020:m=bt2020nc:npl=100,format=yuv420p10le "
     "-c:v libx265 -preset ultrafast -x265-params log-level=error -g 50 "
     "-color_trc smpte2084 -color_primaries bt2020 -colorspace bt2020nc"},
    {"vp9_360p.webm", "-f lavfi -i testsrc2=size=640x360:rate=30 -t 60 -c:v libvpx-vp9 -deadline realtime "
                      "-cpu-used 8 -b:v 1M -g 120"},
    {"two_hours.mkv", "-f lavfi -i testsrc2=size=320x180:rate=2 -t 7200 -c:v libx264 -preset ultrafast -g 60"},
    {"black_open.mp4", "-f lavfi -i testsrc2=size=1280x720:rate=25 -t 60 "
                       "-vf drawbox=x=0:y=0:w=iw:h=ih:color=black:t=fill:enable='lt(t,15)' "
                       "-c:v libx264 -preset veryfast -g 125 -pix_fmt yuv420p"},
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_ThumbnailVersusFfmpegthumbnailer(benchmark::State& state) {
    const fs::path out = kMovies / "out";
    fs::create_directories(out);
    for (const Movie& movie : kMovieList) {
        if (!MakeWithFfmpeg(kMovies / movie.name, movie.make)) {
            state.SkipWithError("cannot make the movies");
            return;
        }
    }
    for (auto _ : state) {
        for (const Movie& movie : kMovieList) {
            const std::string input = (kMovies / movie.name).string();
            std::vector<double> ours, theirs;
            for (int run = 0; run < 3; ++run) {
                const ProgramOutcome mine = RunProgram(
                    {REELCAP_THUMBNAILER_PROGRAM, "-s", "256", input, (out / (std::string(movie.name) + ".reelcap.png")).string()});
                const ProgramOutcome peer = RunProgram(
                    {"ffmpegthumbnailer", "-s", "256", "-i", input, "-o", (out / (std::string(movie.name) + ".peer.png")).string()});
                if (mine.status != 0 || peer.status != 0) {
                    state.SkipWithError((std::string("a thumbnail failed: ") + movie.name).c_str());
                    return;
                }
                ours.push_back(mine.seconds);
                theirs.push_back(peer.seconds);
            }
            const std::string key = fs::path(movie.name).stem().string();
            state.counters[key + "_s"] = Median(ours);
            state.counters[key + "_peer_s"] = Median(theirs);
            state.counters[key + "_ratio"] = Median(ours) / Median(theirs);
        }
        const ProgramOutcome large = RunProgram({REELCAP_THUMBNAILER_PROGRAM, "-s", "1024",
                                                 (kMovies / "hevc_4k_hdr.mkv").string(), (out / "4k_1024.png").string()});
        state.counters["4k_1024_peak_MB"] = double(large.peakKiB) / 1024.0;
    }
}
BENCHMARK(BM_ThumbnailVersusFfmpegthumbnailer)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
