// Tiles drawn on several threads give the picture of drawing them in order.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "sheet/sheet_layout.h"
#include "sheet/tile_painter.h"

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

}  // namespace
