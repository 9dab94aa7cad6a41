#pragma once
// Geometry of a contact sheet: the grid of cells, the tile each frame is drawn
// into, the details block and the sheet size. Pure arithmetic, no pixels, so
// every number can be checked on its own.
#include <cstdint>
#include <vector>

#include "image/gdi_types.h"
#include "base/op_result.h"
#include "settings/sheet_options.h"

struct FrameSize {
    int32_t width = 0;
    int32_t height = 0;
};

// Measured size of the details text.
struct TextSize {
    int32_t width = 0;
    int32_t height = 0;
};

// JPEG files cannot be larger than this along either side.
constexpr int64_t kMaxSheetSide = 65500;

struct SheetLayout {
    int32_t gridWidth = 0;    // W: the x reached after the last cell of a row
    int32_t gridHeight = 0;   // H: the y reached after the last row
    int32_t sheetWidth = 0;   // final size, details block included
    int32_t sheetHeight = 0;
    // Widths of the columns that hold a frame (the first min(columns, N));
    // the columns beyond them are 0 wide and only add their gaps.
    std::vector<int32_t> columnWidths;
    std::vector<int32_t> rowHeights;
    // One per frame, in frame order; both moved down below a top details block.
    std::vector<RECT> cells;
    std::vector<RECT> tiles;
    bool hasDetails = false;
    RECT detailsRect;
    uint32_t detailsFlags = 0;
};

// Refuses settings and frame sizes the layout cannot work with (it divides by
// them, or they would put tiles outside the sheet). The message says why.
OpResult CheckSheetInput(const std::vector<FrameSize>& frames, const SheetOptions& options);

// Lays the frames out row by row. details is the measured details text, or null
// when the details block is off. Fails (layout untouched) for invalid input and
// for sheets too large to be written.
OpResult ComputeSheetLayout(const std::vector<FrameSize>& frames, const SheetOptions& options,
                            const TextSize* details, SheetLayout& layout);

// The grid of `count` frames all of `frame`'s size, reckoned without laying
// out each one, as a count given by a user can be far beyond any sheet:
// fails with ComputeSheetLayout's reasons when it cannot be written even
// without the details block. `cell`, when given, gets every frame's cell;
// a tile fitted into it may come out a pixel larger either way (FitRect).
OpResult CheckUniformGrid(const FrameSize& frame, int64_t count, const SheetOptions& options,
                          FrameSize* cell = nullptr);

// The cell shrunk to a w x h frame's shape and centred in it; each edge is
// truncated toward zero, so the tile can be a pixel smaller than the exact fit.
RECT FitRect(const RECT& cell, int32_t w, int32_t h);
