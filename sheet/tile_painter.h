#pragma once
// Draws every frame into its tile of the sheet. Frames are independent, so the
// work is spread over the processor's cores; the picture is the same as when
// the frames are drawn one after another in frame order.
#include <vector>

#include "image/dib_image.h"
#include "base/op_result.h"

// tiles[k] receives frames[k]; frames fill the grid row by row, `columns` to a
// row. Every tile must lie inside the sheet. Fails when memory runs out on any
// of the threads (the sheet is then incomplete). A frame marked in `scaled`
// was scaled to its tile before and is copied in when it fits exactly.
OpResult DrawTiles(CDibImage& sheet, const std::vector<const CDibImage*>& frames,
               const std::vector<RECT>& tiles, int columns, const std::vector<bool>& scaled = {});
