#pragma once
// Builds the contact sheet from the captured frames and writes it as a JPEG.
// The drawing stage is separate from the saving so the picture can be
// inspected (or shown) without touching the disk.
#include <memory>
#include <string>
#include <vector>

#include "sheet/movie_details.h"
#include "image/dib_image.h"
#include "base/op_result.h"
#include "base/staged_file.h"
#include "settings/sheet_options.h"
#include "sheet/sheet_layout.h"

// Size of the details text as drawn in the details font (nothing is drawn).
TextSize MeasureDetailsText(const std::string& text, const LOGFONTA& font, uint32_t flags);

// Lays out and draws the sheet into `sheet`: background, blurred shadows,
// frames, details block and labels. frames and labels are in strip order and of
// equal length; they are only read. When `layout` is given it receives the
// geometry used. Invalid input is refused with a message and draws nothing.
// `grabbedSizes` (one per frame, or null) are the sizes the frames were grabbed
// at, where some were scaled to their tiles since (ScaleToTile): the layout is
// made from the grabbed sizes, and a frame whose size differs from its grabbed
// size is copied into its tile as it is when it fits it exactly.
OpResult ComposeSheetImage(const std::vector<const CDibImage*>& frames,
                           const std::vector<const char*>& labels, const SheetOptions& options,
                           const MovieDetails& details, CDibImage& sheet,
                           SheetLayout* layout = nullptr, const std::vector<FrameSize>* grabbedSizes = nullptr);

// The sizes frames of `frame`'s size are scaled to on a sheet of `count` such
// frames, one per frame (tiles at the sheet's edge may be a pixel smaller);
// empty when no such sheet can be laid out.
std::vector<FrameSize> UniformTileSizes(const FrameSize& frame, int count, const SheetOptions& options);
// `frame` scaled to `tile` exactly as the composer scales it into a tile of that
// size; null when memory cannot be had. Frames kept this way until the sheet
// is drawn take a fraction of the memory and give the same sheet.
std::unique_ptr<CDibImage> ScaleToTile(const CDibImage& frame, const FrameSize& tile);

// ComposeSheetImage, then SaveJpeg with the options' quality and progressive
// flag. Nothing is written when the input is refused; a write failure is
// returned with its reason.
OpResult ComposeSheet(const std::vector<const CDibImage*>& frames,
                      const std::vector<const char*>& labels, const SheetOptions& options,
                      const MovieDetails& details, const std::string& path,
                      const std::vector<FrameSize>* grabbedSizes = nullptr);
// The same into an open staged file, which the caller moves in (WriteJpeg).
OpResult ComposeSheet(const std::vector<const CDibImage*>& frames,
                      const std::vector<const char*>& labels, const SheetOptions& options,
                      const MovieDetails& details, StagedFile& out,
                      const std::vector<FrameSize>* grabbedSizes = nullptr);
