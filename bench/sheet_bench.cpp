// Contact sheet speed and memory: compose and save 30 and 300 full-HD frames
// with the default options, side by side with the ffmpeg command-line tool's
// tile filter building a comparable 5 x 6 grid from the same 30 frames saved
// as JPEG files. Targets: 30 frames in at most half the ffmpeg time; 300 frames
// about ten times the 30-frame time.
//
//   build/bench/sheet_bench
//
// peak_MB is the process's peak resident size during one composition (the
// kernel's high-water mark is reset before it), extra_MB that peak minus the
// resident size before it: what composing itself costs on top of the frames.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_folder.h"
#include "sheet/compose_sheet.h"

namespace {

constexpr int kDistinctFrames = 30;

// Gradients with a few hard edges and grain, like a video frame.
void PaintFrame(CDibImage& image, int seed) {
    const int w = image.Width(), h = image.Height();
    uint32_t noise = 7u + uint32_t(seed);
    for (int r = 0; r < h; ++r) {
        uint8_t* row = image.StoredRow(r);
        for (int x = 0; x < w; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = int(noise >> 28) - 8;
            const bool block = ((x / 97) + (r / 61) + seed) % 5 == 0;
            row[3 * x + 0] = uint8_t(std::clamp(40 + 180 * r / h + grain, 0, 255));
            row[3 * x + 1] = uint8_t(std::clamp((seed * 37) % 200 + grain, 0, 255));
            row[3 * x + 2] = uint8_t(std::clamp(block ? 230 : 40 + 150 * x / w + grain, 0, 255));
        }
    }
}

struct Frames {
    std::vector<std::unique_ptr<CDibImage>> owned;
    std::vector<std::string> labelTexts;
    Frames() {
        for (int k = 0; k < kDistinctFrames; ++k) {
            auto image = std::make_unique<CDibImage>();
            image->Create(1920, 1080);
            PaintFrame(*image, k);
            owned.push_back(std::move(image));
        }
    }
    // count views; beyond the distinct frames the same pictures repeat (the
    // composer reads them the same way, and 300 distinct full-HD frames would
    // need 1.8 GB before composing starts).
    void Views(int count, std::vector<const CDibImage*>& frames, std::vector<const char*>& labels) {
        labelTexts.resize(size_t(count));
        frames.clear();
        labels.clear();
        for (int k = 0; k < count; ++k) {
            char text[32];
            std::snprintf(text, sizeof text, "%02d:%02d:%02d", k / 3600, k / 60 % 60, k % 60);
            labelTexts[size_t(k)] = text;
            frames.push_back(owned[size_t(k % kDistinctFrames)].get());
        }
        for (const std::string& text : labelTexts) labels.push_back(text.c_str());
    }
};

Frames& SharedFrames() {
    static Frames frames;
    return frames;
}

std::filesystem::path ScratchFolder() {
    static const BenchFolder folder("sheet_bench");
    return folder.Path();
}

long ReadStatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size());
    }
    return -1;
}

void ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";  // resets VmHWM to the current resident size
}

SheetOptions Defaults() {
    SheetOptions options{};
    options.SetDefaults();
    return options;
}

void BM_ComposeAndSave(benchmark::State& state) {
    const int count = int(state.range(0));
    std::vector<const CDibImage*> frames;
    std::vector<const char*> labels;
    SharedFrames().Views(count, frames, labels);
    const SheetOptions options = Defaults();
    const MovieDetails details = MakeMovieDetails("/movies/bench.mkv", 734003200, 1920, 1080, 5525);
    const std::string path = (ScratchFolder() / ("sheet" + std::to_string(count) + ".jpg")).string();

    long peak = 0, extra = 0;
    for (auto _ : state) {
        const long before = ReadStatusKb("VmRSS");
        ResetPeak();
        const OpResult result = ComposeSheet(frames, labels, options, details, path);
        const long hwm = ReadStatusKb("VmHWM");
        if (!result.ok) {
            state.SkipWithError(result.message.c_str());
            break;
        }
        peak = std::max(peak, hwm);
        extra = std::max(extra, hwm - before);
    }
    state.counters["peak_MB"] = double(peak) / 1024.0;
    state.counters["extra_MB"] = double(extra) / 1024.0;
    state.counters["file_KB"] = double(std::filesystem::file_size(path)) / 1024.0;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["maxrss_MB"] = double(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_ComposeAndSave)->Arg(30)->Arg(300)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Iterations(5);

// ffmpeg reads the 30 frames from JPEG files (quality 90, as the program writes
// them), scales each to 148 wide and tiles them 5 x 6 into one JPEG.
void BM_FfmpegTile30(benchmark::State& state) {
    const std::filesystem::path folder = ScratchFolder() / "frames";
    std::filesystem::create_directories(folder);
    for (int k = 0; k < kDistinctFrames; ++k) {
        const std::string name = (folder / (std::to_string(k + 1) + ".jpg")).string();
        if (!SharedFrames().owned[size_t(k)]->SaveJpeg(name, 90, false).ok) {
            state.SkipWithError("cannot write the input frames");
            return;
        }
    }
    const std::string command = "ffmpeg -nostdin -y -loglevel error -i '" + (folder / "%d.jpg").string() +
                                "' -vf scale=148:-1,tile=5x6 -frames:v 1 -q:v 2 '" +
                                (ScratchFolder() / "ffmpeg_tile.jpg").string() + "'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("ffmpeg failed");
            break;
        }
    }
    state.SetLabel(command);
}
BENCHMARK(BM_FfmpegTile30)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
