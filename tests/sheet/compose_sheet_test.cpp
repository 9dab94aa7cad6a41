// The composed contact sheet, read back pixel by pixel, and the written JPEG.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sheet/compose_sheet.h"
#include "support/test_paths.h"

namespace {

constexpr COLORREF kRed = MakeRgb(200, 30, 60);
constexpr COLORREF kGrey = MakeRgb(128, 128, 128);

// Frames owned by the test, handed to the composer as borrowed pointers.
struct FrameSet {
    std::vector<std::unique_ptr<CDibImage>> owned;
    std::vector<std::string> labelTexts;
    std::vector<const CDibImage*> frames;
    std::vector<const char*> labels;

    void Add(int width, int height, COLORREF color, std::string label = "00:00:01") {
        auto image = std::make_unique<CDibImage>();
        EXPECT_TRUE(image->Create(width, height));
        image->Fill(nullptr, color);
        owned.push_back(std::move(image));
        labelTexts.push_back(std::move(label));
        frames.clear();
        labels.clear();
        for (size_t k = 0; k < owned.size(); ++k) {
            frames.push_back(owned[k].get());
            labels.push_back(labelTexts[k].c_str());
        }
    }
};

FrameSet Uniform(int count, COLORREF color, int width = 720, int height = 576) {
    FrameSet set;
    for (int k = 0; k < count; ++k) set.Add(width, height, color);
    return set;
}

SheetOptions Plain() {
    SheetOptions options{};
    options.SetDefaults();
    options.showDetails = 0;
    options.showLabels = 0;
    options.dropShadow = 0;
    return options;
}

// Colour of the pixel at picture coordinates, as a COLORREF.
COLORREF At(const CDibImage& image, int x, int y) {
    const uint32_t packed = image.PixelAt(x, image.Height() - 1 - y);
    return MakeRgb(uint8_t(packed >> 16), uint8_t(packed >> 8), uint8_t(packed));
}

std::unique_ptr<CDibImage> Compose(const FrameSet& set, const SheetOptions& options,
                                   SheetLayout* layout = nullptr,
                                   const MovieDetails& details = {}) {
    auto sheet = std::make_unique<CDibImage>();
    const OpResult result =
        ComposeSheetImage(set.frames, set.labels, options, details, *sheet, layout);
    EXPECT_TRUE(result.ok) << result.message;
    return sheet;
}

// Resampling a uniform frame may lose one step per channel to truncation.
bool Near(COLORREF a, COLORREF b, int tolerance = 1) {
    return std::abs(RedOf(a) - RedOf(b)) <= tolerance &&
           std::abs(GreenOf(a) - GreenOf(b)) <= tolerance &&
           std::abs(BlueOf(a) - BlueOf(b)) <= tolerance;
}

bool Inside(const RECT& rect, int x, int y) {
    return x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
}

// Bounding box of the pixels that differ between two sheets of equal size.
struct Diff {
    int count = 0;
    RECT box{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    int dark = 0;   // every channel below 60
    int light = 0;  // every channel above 200
};

// Pixels inside `skip` are left out.
Diff Compare(const CDibImage& a, const CDibImage& b, const RECT& within,
             const std::vector<RECT>& skip = {}) {
    Diff diff;
    for (int y = within.top; y < within.bottom; ++y) {
        for (int x = within.left; x < within.right; ++x) {
            if (std::any_of(skip.begin(), skip.end(),
                            [&](const RECT& r) { return Inside(r, x, y); })) {
                continue;
            }
            const COLORREF c = At(a, x, y);
            if (c == At(b, x, y)) continue;
            ++diff.count;
            diff.box.left = std::min(diff.box.left, x);
            diff.box.top = std::min(diff.box.top, y);
            diff.box.right = std::max(diff.box.right, x + 1);
            diff.box.bottom = std::max(diff.box.bottom, y + 1);
            if (RedOf(c) < 60 && GreenOf(c) < 60 && BlueOf(c) < 60) ++diff.dark;
            if (RedOf(c) > 200 && GreenOf(c) > 200 && BlueOf(c) > 200) ++diff.light;
        }
    }
    return diff;
}

TEST(ComposeSheetImage, WorkedExampleSizeAndFrames) {
    const FrameSet set = Uniform(10, kRed);
    SheetLayout layout;
    const auto sheet_ = Compose(set, Plain(), &layout);
    const CDibImage& sheet = *sheet_;
    EXPECT_EQ(sheet.Width(), 750);
    EXPECT_EQ(sheet.Height(), 252);
    EXPECT_EQ(layout.tiles[0], (RECT{10, 10, 148, 120}));
    const COLORREF back = Plain().backColor;
    EXPECT_EQ(At(sheet, 0, 0), back);
    EXPECT_EQ(At(sheet, 749, 251), back);
    for (const RECT& tile : layout.tiles) {
        EXPECT_TRUE(Near(At(sheet, (tile.left + tile.right) / 2, (tile.top + tile.bottom) / 2), kRed));
    }
    EXPECT_EQ(At(sheet, 10, 120), back) << "row 120 is in the cell but not in the tile";
    EXPECT_EQ(At(sheet, 148, 50), back) << "gap between columns";
}

TEST(ComposeSheetImage, MixedSizesAreCentredInTheirColumn) {
    FrameSet set;
    set.Add(720, 576, kRed);
    set.Add(400, 576, MakeRgb(0, 0, 255));
    SheetOptions options = Plain();
    options.columns = 1;
    const auto sheet_ = Compose(set, options);
    const CDibImage& sheet = *sheet_;
    EXPECT_TRUE(Near(At(sheet, 78, 186), MakeRgb(0, 0, 255)));
    EXPECT_EQ(At(sheet, 30, 186), options.backColor);
    EXPECT_EQ(At(sheet, 125, 186), options.backColor);
}

TEST(ComposeSheetImage, NoFramesIsTheBackColour) {
    const FrameSet none;
    const auto sheet_ = Compose(none, Plain());
    const CDibImage& sheet = *sheet_;
    EXPECT_EQ(sheet.Width(), 10);
    EXPECT_EQ(sheet.Height(), 10);
    EXPECT_EQ(At(sheet, 5, 5), Plain().backColor);
}

class Shadow : public ::testing::Test {
protected:
    // Wide gaps and offsets leave a patch of pure shadow beside the tile.
    static SheetOptions Wide() {
        SheetOptions options = Plain();
        options.dropShadow = 1;
        options.gapWidth = 40;
        options.gapHeight = 40;
        options.shadowOffsetX = 20;
        options.shadowOffsetY = 20;
        return options;
    }
    FrameSet set = Uniform(1, kRed);
};

TEST_F(Shadow, DefaultIntensityHalvesTheBackColour) {
    SheetLayout layout;
    const auto sheet_ = Compose(set, Wide(), &layout);
    const CDibImage& sheet = *sheet_;
    ASSERT_EQ(layout.tiles[0], (RECT{40, 40, 178, 150}));
    // Shadow (60, 60, 198, 170): (190, 160) is 7 pixels inside it and beside the tile.
    EXPECT_EQ(At(sheet, 190, 160), COLORREF(0x007B7977));
    EXPECT_EQ(At(sheet, 185, 45), Wide().backColor) << "above the shadow";
    EXPECT_EQ(At(sheet, 50, 160), Wide().backColor) << "left of the shadow";
    EXPECT_TRUE(Near(At(sheet, 100, 100), kRed)) << "the frame covers its shadow";
}

TEST_F(Shadow, IntensityScalesTheColour) {
    SheetOptions options = Wide();
    options.shadowIntensity = 100;
    EXPECT_EQ(At(*Compose(set, options), 190, 160), COLORREF(0));
    options.shadowIntensity = 0;
    EXPECT_EQ(At(*Compose(set, options), 190, 160), options.backColor);
    options.shadowIntensity = 25;
    options.backColor = 0x00FFFFFF;
    EXPECT_EQ(At(*Compose(set, options), 190, 160), COLORREF(0x00BFBFBF));
    options.dropShadow = 0;
    options.shadowIntensity = 50;
    EXPECT_EQ(At(*Compose(set, options), 190, 160), options.backColor);
}

TEST_F(Shadow, DefaultOffsetsBlurredOverSevenPixels) {
    SheetOptions options = Plain();
    options.dropShadow = 1;
    const COLORREF back = options.backColor;
    const auto sheet_ = Compose(set, options);
    const CDibImage& sheet = *sheet_;
    // Tile (10, 10, 148, 120), shadow (13, 13, 151, 123). At (149, 60) the 7 x 7
    // window holds five shadow columns and two background columns.
    const COLORREF shadow = 0x007B7977;
    auto mix = [](uint8_t s, uint8_t b) { return uint8_t((35 * s + 14 * b) / 49); };
    const COLORREF edge = MakeRgb(mix(RedOf(shadow), RedOf(back)),
                                  mix(GreenOf(shadow), GreenOf(back)),
                                  mix(BlueOf(shadow), BlueOf(back)));
    EXPECT_EQ(At(sheet, 149, 60), edge) << "right of the tile";
    EXPECT_EQ(At(sheet, 60, 121), edge) << "below the tile";
    EXPECT_EQ(At(sheet, 6, 60), back) << "nothing on the left";
    EXPECT_EQ(At(sheet, 60, 6), back) << "nothing above";
    EXPECT_EQ(At(sheet, 155, 60), back) << "beyond the blur";
}

TEST_F(Shadow, OffsetsBeyondTheSheetAreClipped) {
    SheetOptions options = Plain();
    options.dropShadow = 1;
    for (auto [dx, dy] : {std::pair{-50, -50}, {5000, 0}, {INT32_MAX, INT32_MIN}}) {
        options.shadowOffsetX = dx;
        options.shadowOffsetY = dy;
        const auto sheet_ = Compose(set, options);
        const CDibImage& sheet = *sheet_;
        EXPECT_EQ(sheet.Width(), 10 + 138 + 10 + 4 * 10);
    }
}

class Labels : public ::testing::TestWithParam<int32_t> {};

TEST_P(Labels, SitInTheirCornerOutlinedAndInset) {
    const int32_t position = GetParam();
    const FrameSet set = Uniform(2, kGrey);
    SheetOptions options = Plain();
    SheetLayout layout;
    const auto plain_ = Compose(set, options, &layout);
    const CDibImage& plain = *plain_;
    options.showLabels = 1;
    options.labelPosition = position;
    const auto labelled_ = Compose(set, options);
    const CDibImage& labelled = *labelled_;

    for (const RECT& tile : layout.tiles) {
        const Diff diff = Compare(labelled, plain, tile);
        ASSERT_GT(diff.count, 0);
        EXPECT_GT(diff.dark, 0) << "black outline";
        EXPECT_GT(diff.light, 0) << "white glyphs";
        EXPECT_GE(diff.box.left, tile.left + 3);
        EXPECT_LE(diff.box.right, tile.right - 3);
        const int midX = (tile.left + tile.right) / 2;
        const int midY = (tile.top + tile.bottom) / 2;
        const bool right = position == BottomRight || position == TopRight;
        const bool bottom = position == BottomLeft || position == BottomRight;
        if (right) {
            EXPECT_GT(diff.box.left, midX);
            EXPECT_GE(diff.box.right, tile.right - 3 - 2);
        } else {
            EXPECT_LT(diff.box.right, midX);
            EXPECT_LE(diff.box.left, tile.left + 3 + 2);
        }
        if (bottom) {
            EXPECT_GT(diff.box.top, midY);
            EXPECT_GE(diff.box.bottom, tile.bottom - 6);
        } else {
            EXPECT_LT(diff.box.bottom, midY);
            EXPECT_LE(diff.box.top, tile.top + 6);
        }
    }
    // Nothing is drawn outside the tiles.
    const Diff outside = Compare(labelled, plain, {0, 0, labelled.Width(), 9});
    EXPECT_EQ(outside.count, 0);
}

INSTANTIATE_TEST_SUITE_P(Corners, Labels,
                         ::testing::Values(BottomLeft, BottomRight, TopLeft, TopRight, 17));

TEST(LabelsText, LongLabelStaysInsideItsTile) {
    FrameSet plainSet;
    FrameSet longSet;
    const std::string text(400, 'W');
    plainSet.Add(720, 576, kGrey);
    longSet.Add(720, 576, kGrey, text);
    SheetOptions options = Plain();
    SheetLayout layout;
    const auto plain_ = Compose(plainSet, options, &layout);
    const CDibImage& plain = *plain_;
    options.showLabels = 1;
    const auto labelled_ = Compose(longSet, options);
    const CDibImage& labelled = *labelled_;
    const RECT tile = layout.tiles[0];
    const Diff inTile = Compare(labelled, plain, tile);
    EXPECT_GT(inTile.count, 0);
    EXPECT_GE(inTile.box.left, tile.left + 3);
    EXPECT_LE(inTile.box.right, tile.right - 3);
    const Diff all = Compare(labelled, plain, {0, 0, plain.Width(), plain.Height()});
    EXPECT_EQ(all.count, inTile.count);
}

class Details : public ::testing::TestWithParam<int32_t> {
protected:
    static MovieDetails Movie() {
        MovieDetails details;
        details.fileName = "a-rather-long-movie-name.avi";
        details.widthText = "720";
        details.heightText = "576";
        return details;
    }
};

TEST_P(Details, BlockInItsPlaceWithAlignedLines) {
    const int32_t position = GetParam();
    const FrameSet set = Uniform(3, kGrey);
    SheetOptions options = Plain();
    options.showDetails = 1;
    options.detailsPosition = position;
    std::strcpy(options.detailsTemplate, "File: [FILE_NAME]\r\nSize: [WIDTH]x[HEIGHT]");
    SheetLayout layout;
    const auto sheet_ = Compose(set, options, &layout, Movie());
    const CDibImage& sheet = *sheet_;
    const RECT block = layout.detailsRect;
    const int textH = block.bottom - block.top;
    ASSERT_GT(block.right - block.left, 0);
    ASSERT_GT(textH, 0);
    EXPECT_EQ(sheet.Height(), layout.gridHeight + textH + 10);

    const bool top = position == TopLeft || position == TopRight;
    const bool right = position == BottomRight || position == TopRight;
    EXPECT_EQ(block.top, top ? 10 : layout.gridHeight);
    EXPECT_EQ(layout.tiles[0].top, top ? 10 + textH + 10 : 10);
    if (right) {
        EXPECT_EQ(block.right, sheet.Width() - 10);
    } else {
        EXPECT_EQ(block.left, 10);
    }

    // Every pixel outside the tiles that is not background belongs to the block.
    CDibImage blank;
    ASSERT_TRUE(blank.Create(sheet.Width(), sheet.Height()));
    blank.Fill(nullptr, options.backColor);
    const Diff text = Compare(sheet, blank, {0, 0, sheet.Width(), sheet.Height()}, layout.tiles);
    ASSERT_GT(text.count, 0);
    EXPECT_TRUE(Inside(block, text.box.left, text.box.top))
        << text.box.left << "," << text.box.top << " block " << block.left << "," << block.top;
    EXPECT_TRUE(Inside(block, text.box.right - 1, text.box.bottom - 1))
        << text.box.right << "," << text.box.bottom << " block " << block.right << ","
        << block.bottom;

    // Two lines of different widths: each starts at the left or ends at the right.
    const int lineH = textH / 2;
    for (int line = 0; line < 2; ++line) {
        const RECT band{block.left, block.top + line * lineH, block.right,
                        block.top + (line + 1) * lineH};
        const Diff ink = Compare(sheet, blank, band);
        ASSERT_GT(ink.count, 0) << "line " << line;
        if (right) {
            EXPECT_GE(ink.box.right, block.right - 3) << "line " << line;
        } else {
            EXPECT_LE(ink.box.left, block.left + 3) << "line " << line;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Positions, Details,
                         ::testing::Values(BottomLeft, BottomRight, TopLeft, TopRight));

TEST(DetailsWidth, WideBlockWidensTheSheet) {
    const FrameSet set = Uniform(1, kGrey);
    SheetOptions options = Plain();
    options.showDetails = 1;
    options.detailsPosition = BottomRight;
    MovieDetails details;
    details.fileName = std::string(300, 'M');  // far beyond the old 259 characters
    std::strcpy(options.detailsTemplate, "[FILE_NAME]");
    SheetLayout layout;
    const auto sheet_ = Compose(set, options, &layout, details);
    const CDibImage& sheet = *sheet_;
    const int textW = layout.detailsRect.right - layout.detailsRect.left;
    EXPECT_GT(textW, 2000);
    EXPECT_EQ(sheet.Width(), textW + 20);
    EXPECT_EQ(layout.detailsRect.left, 10);
}

TEST(ComposeRefuses, InvalidInputWithoutDrawing) {
    FrameSet set = Uniform(2, kGrey);
    SheetOptions options = Plain();
    options.columns = 0;
    CDibImage sheet;
    OpResult result = ComposeSheetImage(set.frames, set.labels, options, {}, sheet);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, "Columns must be at least 1.");
    EXPECT_FALSE(sheet.HasPixels());

    options = Plain();
    options.tileWidth = 0;
    EXPECT_EQ(ComposeSheetImage(set.frames, set.labels, options, {}, sheet).message,
              "Tile width must be at least 1.");

    // An empty picture, a missing picture and a missing label.
    FrameSet empty = Uniform(1, kGrey);
    empty.owned[0]->Create(0, 0);
    EXPECT_FALSE(ComposeSheetImage(empty.frames, empty.labels, Plain(), {}, sheet).ok);
    std::vector<const CDibImage*> withNull = {set.frames[0], nullptr};
    EXPECT_FALSE(ComposeSheetImage(withNull, set.labels, Plain(), {}, sheet).ok);
    std::vector<const char*> oneLabel = {"x"};
    result = ComposeSheetImage(set.frames, oneLabel, Plain(), {}, sheet);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.message.empty());
    EXPECT_FALSE(sheet.HasPixels());
}

TEST(ComposeSheet, WritesAJpegOfTheSheetSize) {
    ScratchDir dir;
    const std::string path = dir / "sheet.jpg";
    const FrameSet set = Uniform(10, kRed);
    SheetOptions options{};
    options.SetDefaults();
    options.showDetails = 0;
    const OpResult result = ComposeSheet(set.frames, set.labels, options, {}, path);
    ASSERT_TRUE(result.ok) << result.message;
    CDibImage read;
    const OpResult loaded = read.LoadJpeg(path);
    ASSERT_TRUE(loaded.ok) << loaded.message;
    EXPECT_EQ(read.Width(), 750);
    EXPECT_EQ(read.Height(), 252);
    // Roughly the colours that went in (JPEG is lossy).
    const COLORREF centre = At(read, 79, 65);
    EXPECT_NEAR(RedOf(centre), 200, 12);
    EXPECT_NEAR(GreenOf(centre), 30, 12);
    EXPECT_NEAR(BlueOf(centre), 60, 12);
}

TEST(ComposeSheet, DetailsOnWithDefaultsMatchesTheComposedSize) {
    ScratchDir dir;
    const std::string path = dir / "details.jpg";
    const FrameSet set = Uniform(4, kRed);
    SheetOptions options{};
    options.SetDefaults();
    const MovieDetails details = MakeMovieDetails("/m/movie.avi", 734003200, 720, 576, 5525);
    SheetLayout layout;
    CDibImage composed;
    ASSERT_TRUE(ComposeSheetImage(set.frames, set.labels, options, details, composed, &layout).ok);
    ASSERT_TRUE(ComposeSheet(set.frames, set.labels, options, details, path).ok);
    CDibImage read;
    ASSERT_TRUE(read.LoadJpeg(path).ok);
    EXPECT_EQ(read.Width(), layout.sheetWidth);
    EXPECT_EQ(read.Height(), layout.sheetHeight);
    EXPECT_GT(read.Height(), 252 / 2 + 40) << "room for four lines of details";
}

TEST(ComposeSheet, FailuresLeaveTheOldFileAndSayWhy) {
    ScratchDir dir;
    const std::string path = dir / "sheet.jpg";
    {
        std::ofstream old(path);
        old << "old contents";
    }
    const FrameSet set = Uniform(2, kRed);
    SheetOptions options = Plain();
    options.columns = -1;
    EXPECT_FALSE(ComposeSheet(set.frames, set.labels, options, {}, path).ok);
    std::ifstream in(path);
    std::string contents;
    std::getline(in, contents);
    EXPECT_EQ(contents, "old contents");

    const OpResult missing =
        ComposeSheet(set.frames, set.labels, Plain(), {}, dir / "no/such/folder/sheet.jpg");
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.message.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

}  // namespace
