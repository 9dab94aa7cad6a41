#pragma once
// Builds the contact sheet from the captured frames and writes it as a JPEG.
// The drawing stage is separate from the saving so the picture can be
// inspected (or shown) without touching the disk.
#include <string>
#include <vector>

#include "capture/movie_details.h"
#include "image/dib_image.h"
#include "image/op_result.h"
#include "settings/sheet_options.h"
#include "sheet/sheet_layout.h"

// Size of the details text as drawn in the details font (nothing is drawn).
TextSize MeasureDetailsText(const std::string& text, const LOGFONTA& font, uint32_t flags);

// Lays out and draws the sheet into `sheet`: background, blurred shadows,
// frames, details block and labels. frames and labels are in strip order and of
// equal length; they are only read. When `layout` is given it receives the
// geometry used. Invalid input is refused with a message and draws nothing.
OpResult ComposeSheetImage(const std::vector<const CDibImage*>& frames,
                           const std::vector<const char*>& labels, const SheetOptions& options,
                           const MovieDetails& details, CDibImage& sheet,
                           SheetLayout* layout = nullptr);

// ComposeSheetImage, then SaveJpeg with the options' quality and progressive
// flag. Nothing is written when the input is refused; a write failure is
// returned with its reason.
OpResult ComposeSheet(const std::vector<const CDibImage*>& frames,
                      const std::vector<const char*>& labels, const SheetOptions& options,
                      const MovieDetails& details, const std::string& path);
