// The strip with 1,000 frames: adding the last one, a relayout and scrolling,
// each including the synchronous repaint of the visible part.
#include <QApplication>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <memory>
#include <string>

#include "image/dib_image.h"
#include "strip/view/thumb_strip.h"

namespace {

constexpr int kFrames = 1000;

std::unique_ptr<CDibImage> Frame(int i, int width = 720, int height = 480) {
    auto image = std::make_unique<CDibImage>();
    image->Create(width, height);
    image->Fill(nullptr, MakeRgb(uint8_t(i * 37), uint8_t(i * 11), uint8_t(255 - i)));
    return image;
}

// A visible strip as the main window makes it, with a client 103 pixels high.
std::unique_ptr<CThumbStrip> MakeStrip(int frames) {
    auto strip = std::make_unique<CThumbStrip>();
    strip->show();
    const int bar = strip->height() - strip->viewport()->height();
    strip->resize(1000, 103 + bar);
    QCoreApplication::processEvents();
    // Small sources keep the set-up short; the timed frame is full size.
    for (int i = 0; i < frames; ++i)
        strip->AddFrame(Frame(i, 64, 48), ("00:00:" + std::to_string(i)).c_str());
    return strip;
}

void BM_AddThousandthFrame(benchmark::State& state) {
    auto strip = MakeStrip(kFrames - 1);
    strip->horizontalScrollBar()->setValue(strip->horizontalScrollBar()->maximum());
    for (auto _ : state) {
        state.PauseTiming();
        auto image = Frame(kFrames);
        state.ResumeTiming();
        strip->AddFrame(std::move(image), "00:16:40");
        state.PauseTiming();
        strip->HitTest(strip->viewport()->width() - 1);  // the new last frame
        strip->DeleteSelectedFrame();
        state.ResumeTiming();
    }
    state.counters["content_px"] = strip->ContentWidth() + strip->Geometry().Pitch();
}
BENCHMARK(BM_AddThousandthFrame)->Unit(benchmark::kMillisecond);

void BM_Relayout(benchmark::State& state) {
    auto strip = MakeStrip(kFrames);
    strip->horizontalScrollBar()->setValue(strip->ContentWidth() / 2);
    for (auto _ : state) strip->Relayout();
    state.counters["tiles_drawn"] = strip->DrawnTileCount();
}
BENCHMARK(BM_Relayout)->Unit(benchmark::kMillisecond);

void BM_ScrollLineStep(benchmark::State& state) {
    auto strip = MakeStrip(kFrames);
    QScrollBar* bar = strip->horizontalScrollBar();
    bar->setValue(bar->maximum() / 2);
    bool right = true;
    for (auto _ : state) {
        bar->triggerAction(right ? QAbstractSlider::SliderSingleStepAdd
                                 : QAbstractSlider::SliderSingleStepSub);
        right = !right;
    }
}
BENCHMARK(BM_ScrollLineStep)->Unit(benchmark::kMillisecond);

// Worst case: every step lands on a part of the row not drawn since the last change.
void BM_ScrollIntoUndrawnPart(benchmark::State& state) {
    auto strip = MakeStrip(kFrames);
    QScrollBar* bar = strip->horizontalScrollBar();
    int pos = 0;
    for (auto _ : state) {
        state.PauseTiming();
        strip->Relayout();
        pos = (pos + 7919 * 3) % bar->maximum();
        state.ResumeTiming();
        bar->setSliderPosition(pos);
    }
}
BENCHMARK(BM_ScrollIntoUndrawnPart)->Unit(benchmark::kMillisecond);

}  // namespace
