#include "sheet/tile_painter.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "base/index_pool.h"

namespace {

constexpr const char* kOutOfMemory = "Not enough memory to scale the frames into their tiles.";

// Below this many source pixels the threads cost more than they save.
constexpr size_t kParallelPixels = 4u * 1920u * 1080u;

// A tile's edges are truncated toward zero, so it can reach one pixel above its
// cell; with no gap between the rows that pixel belongs to the tiles above, and
// which frame ends up there depends on drawing order. Grid rows whose tiles
// never overlap can be drawn in any order.
bool RowsAreDisjoint(const std::vector<RECT>& tiles, size_t count, size_t columns) {
    int32_t previousBottom = INT32_MIN;
    for (size_t start = 0; start < count; start += columns) {
        const size_t end = std::min(count, start + columns);
        int32_t top = INT32_MAX, bottom = INT32_MIN;
        for (size_t k = start; k < end; ++k) {
            top = std::min(top, tiles[k].top);
            bottom = std::max(bottom, tiles[k].bottom);
        }
        if (top < previousBottom) return false;
        previousBottom = bottom;
    }
    return true;
}

}  // namespace

OpResult DrawTiles(CDibImage& sheet, const std::vector<const CDibImage*>& frames,
               const std::vector<RECT>& tiles, int columns, const std::vector<bool>& scaled) {
    const size_t count = std::min(frames.size(), tiles.size());
    size_t sourcePixels = 0;
    for (size_t k = 0; k < count; ++k) {
        sourcePixels += size_t(frames[k]->Width()) * size_t(frames[k]->Height());
    }
    const unsigned cores = CoreCount();
    const size_t perRow = columns < 1 ? count : size_t(columns);
    const size_t rows = perRow == 0 ? 0 : (count + perRow - 1) / perRow;
    const bool parallel = cores > 1 && rows >= 2 && sourcePixels >= kParallelPixels &&
                          RowsAreDisjoint(tiles, count, perRow);
    if (parallel) {
        // Pending text of the sheet and of the frames goes into their buffers
        // here, once, so the workers below only read the frames and write
        // their tiles.
        try {
            sheet.Pixels();
            for (size_t k = 0; k < count; ++k) frames[k]->Pixels();
        } catch (const std::bad_alloc&) {
            return OpResult::Failure(kOutOfMemory);
        }
    }

    // One grid row at a time per worker, left to right within the row (tiles
    // of one row may touch when there is no gap between the columns).
    // An exception leaving a thread would end the program: running out of
    // memory in any of them becomes this call's failure instead.
    std::atomic<bool> outOfMemory{false};
    auto drawRow = [&](size_t row) {
        if (outOfMemory) return;  // the others stop after their current row
        try {
            const size_t end = std::min(count, (row + 1) * perRow);
            for (size_t k = row * perRow; k < end; ++k) {
                const RECT& tile = tiles[k];
                if (k < scaled.size() && scaled[k] && frames[k]->Width() == tile.Width() &&
                    frames[k]->Height() == tile.Height())
                    sheet.Blit(tile.left, tile.top, nullptr, *frames[k]);
                else
                    sheet.StretchFrom(&tile, *frames[k]);
            }
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
    };
    // This thread draws too, so one fewer is started.
    IndexPool pool(rows, parallel ? unsigned(std::min<size_t>(cores, rows)) - 1 : 0, drawRow);
    pool.Help();
    pool.Join();
    return outOfMemory ? OpResult::Failure(kOutOfMemory) : OpResult::Success();
}
