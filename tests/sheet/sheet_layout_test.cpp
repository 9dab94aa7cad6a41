// Contact sheet geometry: grid, cells, tiles, details block and refused input.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "sheet/sheet_layout.h"

namespace {

SheetOptions Defaults() {
    SheetOptions options{};
    options.SetDefaults();
    options.showDetails = 0;
    return options;
}

std::vector<FrameSize> Frames(int count, int width, int height) {
    return std::vector<FrameSize>(size_t(count), FrameSize{width, height});
}

SheetLayout Layout(const std::vector<FrameSize>& frames, const SheetOptions& options,
                   const TextSize* details = nullptr) {
    SheetLayout layout;
    const OpResult result = ComputeSheetLayout(frames, options, details, layout);
    EXPECT_TRUE(result.ok) << result.message;
    return layout;
}

TEST(SheetLayout, TenPalFramesWithDefaults) {
    const SheetLayout layout = Layout(Frames(10, 720, 576), Defaults());
    EXPECT_EQ(layout.sheetWidth, 750);
    EXPECT_EQ(layout.sheetHeight, 252);
    EXPECT_EQ(layout.gridWidth, 750);
    EXPECT_EQ(layout.gridHeight, 252);
    EXPECT_EQ(layout.columnWidths, (std::vector<int32_t>(5, 138)));
    EXPECT_EQ(layout.rowHeights, (std::vector<int32_t>{111, 111}));
    ASSERT_EQ(layout.cells.size(), 10u);
    ASSERT_EQ(layout.tiles.size(), 10u);
    EXPECT_EQ(layout.cells[0], (RECT{10, 10, 148, 121}));
    EXPECT_EQ(layout.tiles[0], (RECT{10, 10, 148, 120}));
    EXPECT_EQ(layout.cells[1], (RECT{158, 10, 296, 121}));
    EXPECT_EQ(layout.cells[5], (RECT{10, 131, 148, 242}));
    EXPECT_EQ(layout.tiles[9], (RECT{602, 131, 740, 241}));
    EXPECT_FALSE(layout.hasDetails);
}

TEST(SheetLayout, FewerFramesThanColumnsKeepTheEmptyGaps) {
    const SheetLayout layout = Layout(Frames(3, 720, 576), Defaults());
    EXPECT_EQ(layout.sheetWidth, 6 * 10 + 3 * 138);
    EXPECT_EQ(layout.sheetHeight, 10 + 111 + 10);
    EXPECT_EQ(layout.tiles[2], (RECT{306, 10, 444, 120}));
}

TEST(SheetLayout, MixedSizesTakeTheWidestAndCentreTheRest) {
    SheetOptions options = Defaults();
    options.columns = 1;
    const SheetLayout layout = Layout({{720, 576}, {400, 576}}, options);
    EXPECT_EQ(layout.columnWidths, (std::vector<int32_t>{138}));
    EXPECT_EQ(layout.cells[1], (RECT{10, 131, 148, 242}));
    // 400 x 576 fits 77.08 x 111 and sits in the middle of the 138 wide cell;
    // the single-precision height factor leaves it one row short.
    EXPECT_EQ(layout.tiles[1], (RECT{40, 131, 117, 241}));
}

TEST(SheetLayout, WideFramesMakeShortRows) {
    const SheetLayout layout = Layout(Frames(2, 1920, 1080), Defaults());
    EXPECT_EQ(layout.columnWidths, (std::vector<int32_t>{148, 148}));
    EXPECT_EQ(layout.rowHeights, (std::vector<int32_t>{83}));
    // The single-precision height factor rounds up here: the tile reaches one
    // row into the gap above and is a column short on the right.
    EXPECT_EQ(layout.cells[0], (RECT{10, 10, 158, 93}));
    EXPECT_EQ(layout.tiles[0], (RECT{10, 9, 157, 93}));
    EXPECT_EQ(layout.sheetWidth, 10 + 2 * 158 + 3 * 10);
}

TEST(SheetLayout, NoFramesIsOneGapEachWay) {
    const SheetLayout layout = Layout({}, Defaults());
    EXPECT_EQ(layout.sheetWidth, 10);
    EXPECT_EQ(layout.sheetHeight, 10);
    EXPECT_TRUE(layout.tiles.empty());

    const TextSize text{300, 40};
    const SheetLayout withDetails = Layout({}, Defaults(), &text);
    EXPECT_EQ(withDetails.sheetWidth, 320);
    EXPECT_EQ(withDetails.sheetHeight, 10 + 40 + 10);
    EXPECT_EQ(withDetails.detailsRect, (RECT{10, 10, 310, 50}));
}

TEST(FitRect, LimitingAxisFillsTheCell) {
    EXPECT_EQ(FitRect({0, 0, 100, 100}, 200, 100), (RECT{0, 25, 100, 75}));
    EXPECT_EQ(FitRect({0, 0, 100, 100}, 100, 200), (RECT{25, 0, 75, 100}));
    // 10 / 3 in single precision is a little short of a third.
    EXPECT_EQ(FitRect({5, 7, 15, 17}, 3, 3), (RECT{5, 7, 14, 16}));
}

class DetailsPlacement : public ::testing::Test {
protected:
    SheetLayout Place(int32_t position, TextSize text = {200, 40}) {
        SheetOptions options = Defaults();
        options.showDetails = 1;
        options.detailsPosition = position;
        return Layout(Frames(10, 720, 576), options, &text);
    }
};

TEST_F(DetailsPlacement, TopLeftMovesTilesDown) {
    const SheetLayout layout = Place(TopLeft);
    EXPECT_EQ(layout.detailsRect, (RECT{10, 10, 210, 50}));
    EXPECT_EQ(layout.detailsFlags, 0x40u);
    EXPECT_EQ(layout.tiles[0], (RECT{10, 60, 148, 170}));
    EXPECT_EQ(layout.cells[0], (RECT{10, 60, 148, 171}));
    EXPECT_EQ(layout.sheetWidth, 750);
    EXPECT_EQ(layout.sheetHeight, 252 + 40 + 10);
}

TEST_F(DetailsPlacement, TopRightAlignsWithTheLastColumn) {
    const SheetLayout layout = Place(TopRight);
    EXPECT_EQ(layout.detailsRect, (RECT{540, 10, 740, 50}));
    EXPECT_EQ(layout.detailsFlags, 0x42u);
    EXPECT_EQ(layout.tiles[0].top, 60);
}

TEST_F(DetailsPlacement, BottomPositionsSitBelowTheGrid) {
    const SheetLayout left = Place(BottomLeft);
    EXPECT_EQ(left.detailsRect, (RECT{10, 252, 210, 292}));
    EXPECT_EQ(left.detailsFlags, 0x48u);
    EXPECT_EQ(left.tiles[0], (RECT{10, 10, 148, 120}));
    EXPECT_EQ(left.sheetHeight, 302);

    const SheetLayout right = Place(BottomRight);
    EXPECT_EQ(right.detailsRect, (RECT{540, 252, 740, 292}));
    EXPECT_EQ(right.detailsRect.right, right.cells[4].right);
    EXPECT_EQ(right.detailsFlags, 0x4Au);
}

TEST_F(DetailsPlacement, UnknownPositionSitsBelowTheGridWithTopLeftFlags) {
    for (int32_t position : {4, -1, 1000}) {
        const SheetLayout layout = Place(position);
        EXPECT_EQ(layout.detailsRect, (RECT{10, 252, 210, 292})) << position;
        EXPECT_EQ(layout.detailsFlags, 0x40u);
        EXPECT_EQ(layout.tiles[0].top, 10);
    }
}

TEST_F(DetailsPlacement, WideTextWidensTheSheet) {
    for (int32_t position : {BottomLeft, BottomRight, TopLeft, TopRight}) {
        const SheetLayout layout = Place(position, {2000, 30});
        EXPECT_EQ(layout.sheetWidth, 2020) << position;
        EXPECT_EQ(layout.detailsRect.left, 10) << position;
        EXPECT_EQ(layout.detailsRect.right, 2010) << position;
        EXPECT_EQ(layout.gridWidth, 750);
    }
}

TEST(SheetLayoutRefuses, InvalidOptionsWithAReason) {
    struct Case {
        void (*change)(SheetOptions&);
        const char* message;
    };
    const Case cases[] = {
        {[](SheetOptions& o) { o.columns = 0; }, "Columns must be at least 1."},
        {[](SheetOptions& o) { o.columns = -3; }, "Columns must be at least 1."},
        {[](SheetOptions& o) { o.tileWidth = 0; }, "Tile width must be at least 1."},
        {[](SheetOptions& o) { o.tileHeight = -1; }, "Tile height must be at least 1."},
        {[](SheetOptions& o) { o.gapWidth = -1; }, "Gap width must not be negative."},
        {[](SheetOptions& o) { o.gapHeight = INT_MIN; }, "Gap height must not be negative."},
    };
    for (const Case& c : cases) {
        SheetOptions options = Defaults();
        c.change(options);
        SheetLayout layout;
        layout.sheetWidth = 77;
        const OpResult result = ComputeSheetLayout(Frames(3, 720, 576), options, nullptr, layout);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(layout.sheetWidth, 77) << "layout must stay untouched";
    }
}

TEST(SheetLayoutRefuses, EmptyFrames) {
    SheetLayout layout;
    const OpResult result =
        ComputeSheetLayout({{720, 576}, {0, 576}}, Defaults(), nullptr, layout);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("Frame 2"), std::string::npos) << result.message;
    EXPECT_FALSE(ComputeSheetLayout({{720, 0}}, Defaults(), nullptr, layout).ok);
}

TEST(SheetLayoutRefuses, SheetsTooLargeForJpeg) {
    SheetOptions options = Defaults();
    options.tileWidth = INT_MAX;
    options.tileHeight = INT_MAX;
    SheetLayout layout;
    OpResult result = ComputeSheetLayout(Frames(2, 720, 576), options, nullptr, layout);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("65500"), std::string::npos) << result.message;

    options = Defaults();
    options.columns = INT_MAX;  // 2^31 gaps of 10 pixels
    EXPECT_FALSE(ComputeSheetLayout(Frames(3, 720, 576), options, nullptr, layout).ok);
    options.gapWidth = 0;  // the empty columns cost nothing and allocate nothing
    result = ComputeSheetLayout(Frames(3, 720, 576), options, nullptr, layout);
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(layout.sheetWidth, 3 * 138);

    const TextSize tall{100, 70000};
    EXPECT_FALSE(ComputeSheetLayout(Frames(3, 720, 576), Defaults(), &tall, layout).ok);

    // Both sides within the JPEG limit, the whole beyond what one picture
    // holds: the message names that limit, not memory.
    options = Defaults();
    options.columns = 1;
    options.tileWidth = 60000;
    options.tileHeight = 30000;
    result = ComputeSheetLayout(Frames(1, 60000, 30000), options, nullptr, layout);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("4 GiB"), std::string::npos) << result.message;
}

// The early check of a sheet of many frames of one size takes what the full
// layout takes and refuses what it refuses, up to the last row that fits,
// and refuses a count far beyond any sheet without laying it out.
TEST(SheetLayoutRefuses, UniformGridAgreesWithTheFullLayout) {
    struct Case {
        FrameSize frame;
        int64_t count;
        int columns;
        int gap;
    };
    // 320 x 240 fits 148 x 111 tiles exactly: 541 rows of 121 pixels and a gap
    // make 65471, one row more is past 65500.
    const Case cases[] = {
        {{320, 240}, 2705, 5, 10}, {{320, 240}, 2706, 5, 10}, {{320, 240}, 541, 1, 10},
        {{320, 240}, 542, 1, 10},  {{240, 320}, 800, 2, 0},   {{1920, 800}, 3000, 7, 3},
        {{16, 4000}, 50, 500, 0},  {{4000, 16}, 9000, 1, 0},
    };
    for (const Case& c : cases) {
        SheetOptions options = Defaults();
        options.columns = c.columns;
        options.gapWidth = options.gapHeight = c.gap;
        FrameSize cell;
        const OpResult early = CheckUniformGrid(c.frame, c.count, options, &cell);
        SheetLayout layout;
        const OpResult full = ComputeSheetLayout(Frames(int(c.count), c.frame.width, c.frame.height), options,
                                                 nullptr, layout);
        const std::string name = std::to_string(c.count) + " of " + std::to_string(c.frame.width) + "x" +
                                 std::to_string(c.frame.height) + " in " + std::to_string(c.columns);
        if (full.ok || !early.ok) EXPECT_EQ(early.message, full.message) << name;
        // A grid of empty rows is left to the full layout, which may yet
        // give it a details block's height.
        if (!full.ok && early.ok) EXPECT_TRUE(cell.width < 1 || cell.height < 1) << name << ": " << full.message;
        for (const RECT& tile : layout.tiles) {
            EXPECT_LE(tile.Width(), cell.width + 1) << name;
            EXPECT_LE(tile.Height(), cell.height + 1) << name;
        }
    }
    const OpResult huge = CheckUniformGrid({320, 240}, 300000000, Defaults());
    EXPECT_NE(huge.message.find("65500"), std::string::npos) << huge.message;
    SheetOptions tall = Defaults();
    tall.columns = 1;
    tall.tileWidth = tall.tileHeight = tall.gapHeight = INT_MAX;
    EXPECT_FALSE(CheckUniformGrid({320, 240}, INT_MAX, tall).ok);
}

}  // namespace
