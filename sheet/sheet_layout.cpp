#include "sheet/sheet_layout.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "image/dib_image.h"
#include "sheet/details_text.h"

namespace {

std::string Describe(int64_t width, int64_t height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

// The fitted size of one frame in a tile: width kept in single precision,
// height in double, as the column and row maxima are taken from them.
struct Fitted {
    float width;
    double height;
};

Fitted FitToTile(const FrameSize& frame, int32_t tileWidth, int32_t tileHeight) {
    const double byHeight = double(tileHeight) / frame.height;
    const double byWidth = double(tileWidth) / frame.width;
    const double s = byHeight <= byWidth ? byHeight : byWidth;
    return {static_cast<float>(frame.width * s), frame.height * s};
}

// Refuses a sheet too large to be written, with the reason.
OpResult CheckSheetSize(int64_t width, int64_t height) {
    if (width < 1 || height < 1 || width > kMaxSheetSide || height > kMaxSheetSide) {
        return OpResult::Failure("The sheet would be " + Describe(width, height) +
                                 " pixels; a JPEG file can be at most " +
                                 Describe(kMaxSheetSide, kMaxSheetSide) + ".");
    }
    // Both sides may be within the JPEG limit while the whole is more than one
    // picture can hold; saying "not enough memory" then would send the user
    // looking for memory that would not help.
    if (!CDibImage::SizeFits(width, height)) {
        return OpResult::Failure("The sheet would be " + Describe(width, height) +
                                 " pixels; one picture can hold at most 4 GiB (about " +
                                 std::to_string(CDibImage::kMaxBytes / 3 / 1000000) + " million pixels).");
    }
    return OpResult::Success();
}

}  // namespace

OpResult CheckUniformGrid(const FrameSize& frame, int64_t count, const SheetOptions& options, FrameSize* cell) {
    if (OpResult check = CheckSheetInput({frame}, options); !check) return check;
    if (count < 1) return OpResult::Success();
    // As ComputeSheetLayout reckons it: every column as wide as the fitted
    // frame, every row as tall, each adding its gap.
    const Fitted fit = FitToTile(frame, options.tileWidth, options.tileHeight);
    const int64_t width = int64_t(fit.width);
    const int64_t height = int64_t(fit.height);
    const int64_t columns = options.columns;
    const int64_t rows = (count - 1) / columns + 1;
    const int64_t gridWidth = options.gapWidth + columns * int64_t(options.gapWidth) + std::min(columns, count) * width;
    const int64_t perRow = height + options.gapHeight;
    const int64_t gridHeight = perRow > 0 && rows > (INT64_MAX - options.gapHeight) / perRow
                                   ? INT64_MAX
                                   : options.gapHeight + rows * perRow;
    // Only the upper limits: a details block may yet give a grid of empty
    // rows its height.
    if (OpResult size = CheckSheetSize(std::max<int64_t>(gridWidth, 1), std::max<int64_t>(gridHeight, 1)); !size)
        return size;
    if (cell) *cell = {int32_t(width), int32_t(height)};
    return OpResult::Success();
}

OpResult CheckSheetInput(const std::vector<FrameSize>& frames, const SheetOptions& options) {
    if (options.columns < 1) return OpResult::Failure("Columns must be at least 1.");
    if (options.tileWidth < 1) return OpResult::Failure("Tile width must be at least 1.");
    if (options.tileHeight < 1) return OpResult::Failure("Tile height must be at least 1.");
    if (options.gapWidth < 0) return OpResult::Failure("Gap width must not be negative.");
    if (options.gapHeight < 0) return OpResult::Failure("Gap height must not be negative.");
    for (size_t k = 0; k < frames.size(); ++k) {
        if (frames[k].width < 1 || frames[k].height < 1) {
            return OpResult::Failure("Frame " + std::to_string(k + 1) + " is empty (" +
                                     Describe(frames[k].width, frames[k].height) + " pixels).");
        }
    }
    return OpResult::Success();
}

RECT FitRect(const RECT& cell, int32_t w, int32_t h) {
    const int32_t cw = cell.right - cell.left;
    const int32_t ch = cell.bottom - cell.top;
    const double byWidth = double(cw) / w;
    const float byHeight = static_cast<float>(double(ch) / h);
    const double s = byWidth < byHeight ? byWidth : double(byHeight);
    const double dx = (cw - w * s) / 2;
    const double dy = (ch - h * s) / 2;
    RECT tile;
    tile.left = static_cast<int32_t>(cell.left + dx);
    tile.right = static_cast<int32_t>(cell.right - dx);
    tile.top = static_cast<int32_t>(cell.top + dy);
    tile.bottom = static_cast<int32_t>(cell.bottom - dy);
    return tile;
}

OpResult ComputeSheetLayout(const std::vector<FrameSize>& frames, const SheetOptions& options,
                            const TextSize* details, SheetLayout& layout) {
    if (OpResult check = CheckSheetInput(frames, options); !check) return check;

    const int64_t count = int64_t(frames.size());
    const int64_t columns = options.columns;
    const int64_t gapW = options.gapWidth;
    const int64_t gapH = options.gapHeight;
    const int64_t usedColumns = std::min(columns, count);
    const int64_t rows = (count + columns - 1) / columns;

    // Step 1: every column as wide as its widest fitted frame, every row as
    // tall as its tallest. Kept in 64 bits until the size check below.
    std::vector<int64_t> columnWidths(size_t(usedColumns), 0);
    std::vector<int64_t> rowHeights(size_t(rows), 0);
    for (int64_t k = 0; k < count; ++k) {
        const Fitted fit = FitToTile(frames[size_t(k)], options.tileWidth, options.tileHeight);
        int64_t& columnWidth = columnWidths[size_t(k % columns)];
        int64_t& rowHeight = rowHeights[size_t(k / columns)];
        if (float(columnWidth) < fit.width) columnWidth = int64_t(fit.width);
        if (double(rowHeight) < fit.height) rowHeight = int64_t(fit.height);
    }

    // W is the x reached after the last cell of a row: every column adds its
    // gap, the empty ones too. Without frames there is no row and W is one gap.
    int64_t gridWidth = gapW;
    if (count > 0) {
        gridWidth += (columns - usedColumns) * gapW;
        for (int64_t width : columnWidths) gridWidth += width + gapW;
    }
    int64_t gridHeight = gapH;
    for (int64_t height : rowHeights) gridHeight += height + gapH;

    int64_t sheetWidth = gridWidth;
    int64_t sheetHeight = gridHeight;
    if (details) {
        sheetWidth = std::max<int64_t>(gridWidth, int64_t(details->width) + 2 * gapW);
        sheetHeight = gridHeight + details->height + gapH;
    }
    if (OpResult size = CheckSheetSize(sheetWidth, sheetHeight); !size) return size;

    // From here on every value fits the sheet, so 32 bits are enough.
    SheetLayout result;
    result.gridWidth = int32_t(gridWidth);
    result.gridHeight = int32_t(gridHeight);
    result.sheetWidth = int32_t(sheetWidth);
    result.sheetHeight = int32_t(sheetHeight);
    result.columnWidths.assign(columnWidths.begin(), columnWidths.end());
    result.rowHeights.assign(rowHeights.begin(), rowHeights.end());

    // Step 2: cells row by row, each frame's tile fitted and centred in its cell.
    result.cells.reserve(size_t(count));
    result.tiles.reserve(size_t(count));
    int32_t y = int32_t(gapH);
    for (int64_t r = 0; r < rows; ++r) {
        int32_t x = int32_t(gapW);
        for (int64_t c = 0; c < usedColumns; ++c) {
            const int64_t k = r * columns + c;
            const RECT cell{x, y, x + result.columnWidths[size_t(c)], y + result.rowHeights[size_t(r)]};
            if (k < count) {
                result.cells.push_back(cell);
                result.tiles.push_back(FitRect(cell, frames[size_t(k)].width, frames[size_t(k)].height));
            }
            x = cell.right + int32_t(gapW);
        }
        y += result.rowHeights[size_t(r)] + int32_t(gapH);
    }

    // Step 3: the details block above or below the grid.
    if (details) {
        const int32_t position = options.detailsPosition;
        // Only the two top corners go above the grid; a position the options
        // file should not hold sits below it, left-aligned.
        const bool top = position == TopLeft || position == TopRight;
        const bool right = position == BottomRight || position == TopRight;
        int32_t blockTop = result.gridHeight;
        if (top) {
            const int32_t shift = details->height + options.gapHeight;
            for (RECT& cell : result.cells) cell.top += shift, cell.bottom += shift;
            for (RECT& tile : result.tiles) tile.top += shift, tile.bottom += shift;
            blockTop = options.gapHeight;
        }
        const int32_t blockLeft =
            right ? result.sheetWidth - options.gapWidth - details->width : options.gapWidth;
        result.hasDetails = true;
        result.detailsRect = {blockLeft, blockTop, blockLeft + details->width,
                              blockTop + details->height};
        result.detailsFlags = DetailsFormatFlags(position);
    }

    layout = std::move(result);
    return OpResult::Success();
}
