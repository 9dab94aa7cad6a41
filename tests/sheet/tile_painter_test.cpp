// Tiles drawn on several threads give the picture of drawing them in order.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "sheet/sheet_layout.h"
#include "sheet/tile_painter.h"

// While set, allocations on threads other than the main one fail, as
// when resampling a huge tile exhausts memory on a worker; the main thread's
// allocations wait (up to 5 s) until a worker has failed one, so that a busy
// machine starting its workers late cannot let the main thread draw alone.
std::atomic<bool> g_starveWorkers{false};
std::atomic<bool> g_workerStarved{false};
const std::thread::id g_mainThread = std::this_thread::get_id();

void* operator new(std::size_t size) {
    if (g_starveWorkers) {
        if (std::this_thread::get_id() != g_mainThread) {
            g_workerStarved = true;
            throw std::bad_alloc();
        }
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!g_workerStarved && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
    }
    void* p = std::malloc(size ? size : 1);
    return p ? p : throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

class DrawTiles : public ::testing::TestWithParam<int> {};

// With gaps the rows are drawn on several threads; without, full-HD tiles
// reach a pixel into the row above and the order of the writes matters.
TEST_P(DrawTiles, SameBytesAsDrawingInFrameOrder) {
    const int gap = GetParam();
    std::vector<std::unique_ptr<CDibImage>> owned;
    std::vector<const CDibImage*> frames;
    for (int k = 0; k < 14; ++k) {
        auto image = std::make_unique<CDibImage>();
        ASSERT_TRUE(image->Create(1920, 1080));
        image->Fill(nullptr, MakeRgb(uint8_t(18 * k), uint8_t(255 - 18 * k), uint8_t(7 * k)));
        const RECT band{0, 100 * (k % 10), 1920, 100 * (k % 10) + 50};
        image->Fill(&band, 0x00FFFFFF);
        frames.push_back(image.get());
        owned.push_back(std::move(image));
    }
    SheetOptions options{};
    options.SetDefaults();
    options.columns = 3;
    options.gapWidth = gap;
    options.gapHeight = gap;
    std::vector<FrameSize> sizes(frames.size(), FrameSize{1920, 1080});
    SheetLayout layout;
    ASSERT_TRUE(ComputeSheetLayout(sizes, options, nullptr, layout).ok);
    if (gap == 0) {
        ASSERT_LT(layout.tiles[3].top, layout.cells[0].bottom) << "the case needs overlapping tiles";
    }

    CDibImage ordered, parallel;
    ASSERT_TRUE(ordered.Create(layout.sheetWidth, layout.sheetHeight));
    ASSERT_TRUE(parallel.Create(layout.sheetWidth, layout.sheetHeight));
    ordered.Fill(nullptr, 0x00123456);
    parallel.Fill(nullptr, 0x00123456);
    for (size_t k = 0; k < frames.size(); ++k) ordered.StretchFrom(&layout.tiles[k], *frames[k]);
    ::DrawTiles(parallel, frames, layout.tiles, options.columns);

    const size_t bytes = size_t(ordered.Stride()) * size_t(ordered.Height());
    for (int r = 0; r < ordered.Height(); ++r) {
        ASSERT_EQ(std::memcmp(ordered.StoredRow(r), parallel.StoredRow(r), size_t(3 * ordered.Width())), 0)
            << "stored row " << r << " of " << bytes / size_t(ordered.Stride());
    }
}

INSTANTIATE_TEST_SUITE_P(Gaps, DrawTiles, ::testing::Values(0, 1, 10));

TEST(DrawTilesMemory, RunningOutOfMemoryOnAWorkerFailsTheCall) {
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one core: no workers";
    std::vector<CDibImage> owned(6);
    std::vector<const CDibImage*> frames;
    for (CDibImage& image : owned) frames.push_back(image.Create(1920, 1080) ? &image : nullptr);
    SheetOptions options{};
    options.SetDefaults();
    options.columns = 2;
    options.gapWidth = options.gapHeight = 10;  // rows apart: drawn on several threads
    SheetLayout layout;
    ASSERT_TRUE(ComputeSheetLayout(std::vector<FrameSize>(6, FrameSize{1920, 1080}), options, nullptr, layout).ok);
    CDibImage sheet;
    ASSERT_TRUE(sheet.Create(layout.sheetWidth, layout.sheetHeight));
    g_workerStarved = false;
    g_starveWorkers = true;
    const OpResult drawn = ::DrawTiles(sheet, frames, layout.tiles, options.columns);
    g_starveWorkers = false;
    EXPECT_FALSE(drawn.ok);
}

}  // namespace
