// Cost of turning one decoded 1920 x 1080 10-bit frame into a picture: as SDR
// (BT.709) and as HDR (PQ, BT.2020), which adds the tone-mapping filters. At
// 30 frames per second the decoder thread has 33 ms per frame for decoding and
// this together. Run by hand:
//   build/bench/hdr_bench
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/frame.h>
}

#include "decoding/frame_converter.h"

namespace {

FramePtr MakeTestFrame(AVColorTransferCharacteristic trc) {
    FramePtr frame = MakeFrame();
    frame->width = 1920;
    frame->height = 1080;
    frame->format = AV_PIX_FMT_YUV420P10LE;
    av_frame_get_buffer(frame.get(), 0);
    // Diagonal ramps in every plane, so the filters see ordinary picture data.
    for (int plane = 0; plane < 3; ++plane) {
        const int w = plane ? 960 : 1920, h = plane ? 540 : 1080;
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<uint16_t*>(frame->data[plane] + size_t(y) * frame->linesize[plane]);
            for (int x = 0; x < w; ++x) row[x] = uint16_t(64 + (x + y * (plane + 1)) % 877);
        }
    }
    frame->color_range = AVCOL_RANGE_MPEG;
    frame->color_trc = trc;
    const bool hdr = trc != AVCOL_TRC_BT709;
    frame->color_primaries = hdr ? AVCOL_PRI_BT2020 : AVCOL_PRI_BT709;
    frame->colorspace = hdr ? AVCOL_SPC_BT2020_NCL : AVCOL_SPC_BT709;
    return frame;
}

void Convert(benchmark::State& state, AVColorTransferCharacteristic trc) {
    FramePtr frame = MakeTestFrame(trc);
    FrameConverter converter;
    for (auto _ : state) {
        auto image = converter.Convert(frame.get(), 0.0);
        if (!image) state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(image);
    }
}

void BM_ConvertSdr1080p(benchmark::State& state) { Convert(state, AVCOL_TRC_BT709); }
void BM_ConvertPq1080p(benchmark::State& state) { Convert(state, AVCOL_TRC_SMPTE2084); }
void BM_ConvertHlg1080p(benchmark::State& state) { Convert(state, AVCOL_TRC_ARIB_STD_B67); }
BENCHMARK(BM_ConvertSdr1080p)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertPq1080p)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertHlg1080p)->Unit(benchmark::kMillisecond);

}  // namespace
