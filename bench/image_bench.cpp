// Image engine speed, side by side with libswscale doing the same resize:
// SWS_AREA where the picture shrinks, SWS_LANCZOS where it grows, on BGR24.
// Targets: shrinking within 2x of libswscale's time, enlarging within 4x.
//
//   build/bench/image_bench --benchmark_min_time=1
extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "bench/bench_folder.h"
#include "image/dib_image.h"

namespace {

// Something like a video frame: smooth gradients, a few hard edges and fine
// texture, so neither the resamplers nor the JPEG coder see a trivial picture.
void PaintFrame(CDibImage& image) {
    const int w = image.Width(), h = image.Height();
    uint32_t noise = 7;
    for (int r = 0; r < h; ++r) {
        uint8_t* row = image.StoredRow(r);
        for (int x = 0; x < w; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = int(noise >> 28) - 8;
            const bool block = ((x / 97) + (r / 61)) % 5 == 0;
            const int base_r = block ? 230 : 40 + 150 * x / w;
            const int base_g = block ? 40 : 30 + 180 * r / h;
            const int base_b = 90 + int(60 * std::sin(x * 0.02) * std::cos(r * 0.015));
            row[3 * x + 0] = uint8_t(std::clamp(base_b + grain, 0, 255));
            row[3 * x + 1] = uint8_t(std::clamp(base_g + grain, 0, 255));
            row[3 * x + 2] = uint8_t(std::clamp(base_r + grain, 0, 255));
        }
    }
}

const CDibImage& Frame(int width, int height) {
    static std::map<std::pair<int, int>, std::unique_ptr<CDibImage>> frames;
    auto& slot = frames[{width, height}];
    if (!slot) {
        slot = std::make_unique<CDibImage>();
        slot->Create(width, height);
        PaintFrame(*slot);
    }
    return *slot;
}

const BenchFolder& Folder() {
    static BenchFolder folder;
    return folder;
}

struct ResizeCase {
    const char* name;
    int srcW, srcH, dstW, dstH;
};

constexpr ResizeCase kResizes[] = {
    {"Shrink1920x1080To148x111", 1920, 1080, 148, 111},
    {"Shrink1920x1080To141x106", 1920, 1080, 141, 106},
    {"Enlarge720x576To1440x1152", 720, 576, 1440, 1152},
};

void StretchFromBench(benchmark::State& state, ResizeCase c) {
    const CDibImage& source = Frame(c.srcW, c.srcH);
    CDibImage target;
    if (!target.Create(c.dstW, c.dstH)) return state.SkipWithError("cannot allocate target");
    for (auto _ : state) {
        target.StretchFrom(nullptr, source);
        benchmark::DoNotOptimize(target.StoredRow(0)[0]);
        benchmark::ClobberMemory();
    }
    state.counters["out_px"] = double(c.dstW) * c.dstH;
}

struct SwsDeleter {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
struct AvImage {
    uint8_t* data[4] = {};
    int linesize[4] = {};
    ~AvImage() { av_freep(&data[0]); }
};

// libswscale with its favourite setup: aligned rows, context made once.
void SwscaleBench(benchmark::State& state, ResizeCase c) {
    const bool shrink = c.dstW < c.srcW || c.dstH < c.srcH;
    std::unique_ptr<SwsContext, SwsDeleter> context(
        sws_getContext(c.srcW, c.srcH, AV_PIX_FMT_BGR24, c.dstW, c.dstH, AV_PIX_FMT_BGR24,
                       shrink ? SWS_AREA : SWS_LANCZOS, nullptr, nullptr, nullptr));
    if (!context) return state.SkipWithError("sws_getContext failed");
    AvImage source, target;
    if (av_image_alloc(source.data, source.linesize, c.srcW, c.srcH, AV_PIX_FMT_BGR24, 32) < 0 ||
        av_image_alloc(target.data, target.linesize, c.dstW, c.dstH, AV_PIX_FMT_BGR24, 32) < 0)
        return state.SkipWithError("av_image_alloc failed");
    const CDibImage& frame = Frame(c.srcW, c.srcH);
    for (int r = 0; r < c.srcH; ++r)
        std::memcpy(source.data[0] + size_t(r) * size_t(source.linesize[0]), frame.StoredRow(r), size_t(c.srcW) * 3);

    for (auto _ : state) {
        sws_scale(context.get(), source.data, source.linesize, 0, c.srcH, target.data, target.linesize);
        benchmark::DoNotOptimize(target.data[0][0]);
        benchmark::ClobberMemory();
    }
    state.counters["out_px"] = double(c.dstW) * c.dstH;
}

void BlurBench(benchmark::State& state) {
    CDibImage image;
    if (!image.Create(2000, 1500)) return state.SkipWithError("cannot allocate");
    image.Blit(0, 0, nullptr, Frame(2000, 1500));
    for (auto _ : state) {
        image.Blur(3);
        benchmark::DoNotOptimize(image.StoredRow(0)[0]);
        benchmark::ClobberMemory();
    }
}

void SaveJpegBench(benchmark::State& state) {
    CDibImage image;
    image.Create(1920, 1080);
    image.Blit(0, 0, nullptr, Frame(1920, 1080));
    const std::string path = Folder().File("save.jpg");
    for (auto _ : state) {
        const OpResult result = image.SaveJpeg(path, 90, true);
        if (!result) return state.SkipWithError(result.message.c_str());
    }
    std::error_code ec;
    state.counters["file_kB"] = double(std::filesystem::file_size(path, ec)) / 1024.0;
}

void LoadJpegBench(benchmark::State& state) {
    const std::string path = Folder().File("load.jpg");
    {
        CDibImage image;
        image.Create(1920, 1080);
        image.Blit(0, 0, nullptr, Frame(1920, 1080));
        const OpResult saved = image.SaveJpeg(path, 90, true);
        if (!saved) return state.SkipWithError(saved.message.c_str());
    }
    for (auto _ : state) {
        CDibImage image;
        const OpResult result = image.LoadJpeg(path);
        if (!result || image.Width() != 1920 || image.Height() != 1080)
            return state.SkipWithError(("load failed: " + result.message).c_str());
        benchmark::DoNotOptimize(image.StoredRow(0)[0]);
    }
}

const bool kRegistered = [] {
    av_log_set_level(AV_LOG_ERROR);
    for (const ResizeCase& c : kResizes) {
        const std::string name = c.name;
        benchmark::RegisterBenchmark((name + "/StretchFrom").c_str(), StretchFromBench, c)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((name + "/swscale").c_str(), SwscaleBench, c)->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("Blur2000x1500Radius3", BlurBench)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("SaveJpeg1920x1080Q90Progressive", SaveJpegBench)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("LoadJpeg1920x1080Q90Progressive", LoadJpegBench)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    return true;
}();

}  // namespace
