// Grab All in the window against the ffmpeg command line, how long the
// window's event loop goes without a turn meanwhile, and the cost of playback.
//
// The movie is a generated 5-minute 1920 x 1080, 30 fps H.264 clip with
// 250-frame groups of pictures (x264 defaults, preset veryfast) and AAC sound,
// made once into /tmp when absent. Run by hand:
//   build/bench/player_bench --benchmark_filter=Grab
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/main_frame.h"
#include "bench/bench_process.h"
#include "image/dib_image.h"
#include "playback/movie_player.h"
#include "strip/view/thumb_strip.h"
#include "widgets/prompts.h"

namespace {

constexpr const char* kClip = "/tmp/reelcap_bench_1080p.mp4";
constexpr int kGrabs = 30;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

bool EnsureClip() {
    return MakeWithFfmpeg(kClip,
                          "-f lavfi -i testsrc2=size=1920x1080:rate=30 "
                          "-f lavfi -i sine=frequency=440:sample_rate=48000 -t 300 -c:v libx264 -preset veryfast "
                          "-pix_fmt yuv420p -c:a aac -b:a 96k -shortest");
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// BGR rows, top first, of a grabbed picture.
std::vector<uint8_t> BgrOf(const CDibImage& image) {
    std::vector<uint8_t> out(size_t(kWidth) * kHeight * 3);
    if (image.Width() != kWidth || image.Height() != kHeight) return {};
    for (int y = 0; y < kHeight; ++y)
        std::memcpy(out.data() + size_t(y) * kWidth * 3, image.StoredRow(kHeight - 1 - y), size_t(kWidth) * 3);
    return out;
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 0.0;
    double sum = 0.0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    const double mse = sum / double(a.size());
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

std::vector<uint8_t> CliGrab(double t) {
    char ss[32];
    // Truncated to microseconds so the time never lands after the frame meant.
    std::snprintf(ss, sizeof ss, "%.6f", std::floor(t * 1e6) / 1e6);
    const std::string cmd = std::string("ffmpeg -nostdin -v error -ss ") + ss + " -i " + kClip +
                            " -frames:v 1 -f rawvideo -pix_fmt bgr24 - 2>/dev/null";
    std::vector<uint8_t> out(size_t(kWidth) * kHeight * 3);
    FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe) return {};
    const size_t got = std::fread(out.data(), 1, out.size(), pipe);
    pclose(pipe);
    if (got != out.size()) out.clear();
    return out;
}

// Grab All's box answered with the count, as a user accepting 30 would.
class CountPrompt : public Prompts {
public:
    bool AskText(QWidget*, const std::string&, std::string& text) override {
        text = std::to_string(kGrabs);
        return true;
    }
    // The box with the ways of choosing frames: the exact times.
    bool AskTextAndChoice(QWidget*, const std::string&, std::string& text, const std::vector<std::string>&,
                          int& choice) override {
        text = std::to_string(kGrabs);
        choice = 0;
        return true;
    }
};

// Both sides do the same 30 exact grabs of Grab All: at k x D / (N + 1). The
// window's side is the real command on the main window, timed from the
// count's OK to the last frame in the strip (the progress box included).
void BM_GrabAllPlayerVersusCommandLine(benchmark::State& state) {
    if (!EnsureClip()) {
        state.SkipWithError("cannot make the clip");
        return;
    }
    CountPrompt prompts;
    Prompts::Install(&prompts);
    for (auto _ : state) {
        CMainFrame frame;
        frame.OpenMovie(kClip);
        if (!frame.Player()) {
            state.SkipWithError("cannot open the clip");
            break;
        }
        // The longest wait between two turns of the window's event loop.
        QElapsedTimer sinceTurn;
        sinceTurn.start();
        qint64 longestGap = 0;
        QTimer turns;
        QObject::connect(&turns, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, sinceTurn.restart());
        });
        turns.start(10);
        const auto start = std::chrono::steady_clock::now();
        sinceTurn.restart();
        frame.OnGrabAll();
        const double playerSeconds = Seconds(std::chrono::steady_clock::now() - start);
        turns.stop();

        const FrameList& frames = frame.Strip().Frames();
        const double duration = frame.Player()->GetDuration();
        double cliSeconds = 0.0;
        double minPsnr = 99.0;
        int equal = 0;
        for (int i = 0; i < frames.Count(); ++i) {
            // The player shows the last frame at or before its position; the
            // command line gives the first at or after its time, so it is
            // asked for that frame.
            const double position = SettledMoviePosition(duration * (i + 1) / (kGrabs + 1.0), duration);
            const auto cliStart = std::chrono::steady_clock::now();
            std::vector<uint8_t> cli = CliGrab(std::floor(position * 30.0 + 1e-9) / 30.0);
            cliSeconds += Seconds(std::chrono::steady_clock::now() - cliStart);
            const double psnr = Psnr(BgrOf(*frames.At(i)->image), cli);
            minPsnr = std::min(minPsnr, psnr);
            if (psnr >= 45.0) ++equal;
        }
        state.counters["player_s"] = playerSeconds;
        state.counters["cli_s"] = cliSeconds;
        state.counters["ratio"] = cliSeconds > 0 ? playerSeconds / cliSeconds : 0.0;
        state.counters["equal_frames"] = equal;
        state.counters["grabs"] = double(frames.Count());
        state.counters["min_psnr_dB"] = minPsnr;
        state.counters["longest_loop_gap_ms"] = double(longestGap);
    }
    Prompts::Install(nullptr);
}
BENCHMARK(BM_GrabAllPlayerVersusCommandLine)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// 30 s of playback: CPU used (percent of one core) and frames dropped.
void BM_PlayThirtySeconds(benchmark::State& state) {
    if (!EnsureClip()) {
        state.SkipWithError("cannot make the clip");
        return;
    }
    for (auto _ : state) {
        CMoviePlayer player;
        if (player.Open(kClip) != 0) {
            state.SkipWithError(player.GetLastErrorText().c_str());
            return;
        }
        const double cpuStart = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        player.Play();
        std::this_thread::sleep_for(std::chrono::seconds(30));
        const double position = player.GetCurrentPosition();
        const double wall = Seconds(std::chrono::steady_clock::now() - start);
        const double cpu = CpuSeconds() - cpuStart;
        state.counters["cpu_percent"] = 100.0 * cpu / wall;
        state.counters["dropped"] = double(player.DroppedFrames());
        state.counters["position_s"] = position;
        state.counters["sound"] = player.PlaysSound() ? 1 : 0;
        player.Close();
    }
}
BENCHMARK(BM_PlayThirtySeconds)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
