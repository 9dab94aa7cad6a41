#include "sheet/compose_sheet.h"

#include <algorithm>
#include <cstdint>

#include "sheet/details_text.h"
#include "sheet/tile_painter.h"

namespace {

// The composer reads only; a missing or empty picture is refused by the layout.
OpResult CollectSizes(const std::vector<const CDibImage*>& frames,
                      const std::vector<const char*>& labels, std::vector<FrameSize>& sizes) {
    if (labels.size() != frames.size()) {
        return OpResult::Failure("Every frame needs a label (" + std::to_string(frames.size()) +
                                 " frames, " + std::to_string(labels.size()) + " labels).");
    }
    sizes.clear();
    sizes.reserve(frames.size());
    for (const CDibImage* frame : frames) {
        if (frame && frame->HasPixels()) {
            sizes.push_back({frame->Width(), frame->Height()});
        } else {
            sizes.push_back({0, 0});
        }
    }
    return OpResult::Success();
}

// The shadow colour: the back colour darkened by the intensity in percent,
// the factor in single precision.
COLORREF ShadowColor(const SheetOptions& options) {
    const float factor = 1.0f - static_cast<float>(options.shadowIntensity) * 0.01f;
    return ScaleColor(options.backColor, factor);
}

RECT Offset(const RECT& rect, int32_t dx, int32_t dy) {
    // Offsets come from the options file unchecked; keep the sum in range.
    auto move = [](int32_t value, int32_t by) {
        const int64_t moved = int64_t(value) + by;
        return int32_t(std::clamp<int64_t>(moved, INT32_MIN, INT32_MAX));
    };
    return {move(rect.left, dx), move(rect.top, dy), move(rect.right, dx), move(rect.bottom, dy)};
}

void DrawShadows(CDibImage& sheet, const SheetLayout& layout, const SheetOptions& options) {
    const COLORREF shadow = ShadowColor(options);
    for (const RECT& tile : layout.tiles) {
        const RECT moved = Offset(tile, options.shadowOffsetX, options.shadowOffsetY);
        sheet.Fill(&moved, shadow);  // clipped to the sheet
    }
    // Softens the shadow edges; the uniform background stays as it is.
    sheet.Blur(3);
}

void DrawLabels(CDibImage& sheet, const SheetLayout& layout, const SheetOptions& options,
                const std::vector<const char*>& labels) {
    sheet.SetTextFont(options.labelFont, options.labelColor);
    const uint32_t flags = LabelFormatFlags(options.labelPosition);
    for (size_t k = 0; k < layout.tiles.size(); ++k) {
        RECT rect = layout.tiles[k];
        rect.left += 3;
        rect.right -= 3;
        sheet.PaintText(labels[k] ? labels[k] : "", &rect, flags, true);
    }
}

}  // namespace

TextSize MeasureDetailsText(const std::string& text, const LOGFONTA& font, uint32_t flags) {
    CDibImage measure;
    measure.Create(0, 0);
    measure.SetTextFont(font, 0);
    RECT rect{0, 0, 0, 0};
    measure.PaintText(text.c_str(), &rect, flags | DT_CALCRECT, false);
    return {std::max(0, rect.right - rect.left), std::max(0, rect.bottom - rect.top)};
}

OpResult ComposeSheetImage(const std::vector<const CDibImage*>& frames,
                           const std::vector<const char*>& labels, const SheetOptions& options,
                           const MovieDetails& details, CDibImage& sheet, SheetLayout* layoutOut,
                           const std::vector<FrameSize>* grabbedSizes) {
    std::vector<FrameSize> sizes;
    if (OpResult collected = CollectSizes(frames, labels, sizes); !collected) return collected;
    // Frames scaled to their tiles already are copied in, not scaled again.
    std::vector<bool> scaled(sizes.size(), false);
    if (grabbedSizes) {
        if (grabbedSizes->size() != sizes.size()) return OpResult::Failure("Every frame needs its grabbed size.");
        for (size_t k = 0; k < sizes.size(); ++k) {
            if (sizes[k].width <= 0) continue;
            const FrameSize grabbed = (*grabbedSizes)[k];
            scaled[k] = grabbed.width != sizes[k].width || grabbed.height != sizes[k].height;
            sizes[k] = grabbed;
        }
    }
    if (OpResult check = CheckSheetInput(sizes, options); !check) return check;

    // The details text is measured first so the layout can make room for it.
    std::string detailsText;
    TextSize detailsSize;
    if (options.showDetails) {
        detailsText = SubstituteDetails(StoredTemplate(options), details);
        detailsSize = MeasureDetailsText(detailsText, options.detailsFont,
                                         DetailsFormatFlags(options.detailsPosition));
    }

    SheetLayout layout;
    if (OpResult laid = ComputeSheetLayout(sizes, options,
                                           options.showDetails ? &detailsSize : nullptr, layout);
        !laid) {
        return laid;
    }

    if (!sheet.Create(layout.sheetWidth, layout.sheetHeight)) {
        return OpResult::Failure("Not enough memory for a sheet of " +
                                 std::to_string(layout.sheetWidth) + " x " +
                                 std::to_string(layout.sheetHeight) + " pixels.");
    }
    sheet.Fill(nullptr, options.backColor);
    if (options.dropShadow) DrawShadows(sheet, layout, options);
    if (OpResult drawn = DrawTiles(sheet, frames, layout.tiles, options.columns, scaled); !drawn)
        return drawn;
    if (layout.hasDetails) {
        sheet.SetTextFont(options.detailsFont, options.detailsColor);
        RECT rect = layout.detailsRect;
        sheet.PaintText(detailsText.c_str(), &rect, layout.detailsFlags, false);
    }
    if (options.showLabels) DrawLabels(sheet, layout, options, labels);

    if (layoutOut) *layoutOut = std::move(layout);
    return OpResult::Success();
}

std::vector<FrameSize> UniformTileSizes(const FrameSize& frame, int count, const SheetOptions& options) {
    std::vector<FrameSize> sizes;
    if (count < 1) return sizes;
    const std::vector<FrameSize> frames(size_t(count), frame);
    SheetLayout layout;
    if (!CheckSheetInput(frames, options) || !ComputeSheetLayout(frames, options, nullptr, layout)) return sizes;
    for (const RECT& tile : layout.tiles) sizes.push_back({tile.Width(), tile.Height()});
    return sizes;
}

std::unique_ptr<CDibImage> ScaleToTile(const CDibImage& frame, const FrameSize& tile) {
    auto scaled = std::make_unique<CDibImage>();
    if (!scaled->Create(tile.width, tile.height)) return nullptr;
    // The samples depend only on the sizes, not on where the tile lies.
    scaled->StretchFrom(nullptr, frame);
    return scaled;
}

OpResult ComposeSheet(const std::vector<const CDibImage*>& frames,
                      const std::vector<const char*>& labels, const SheetOptions& options,
                      const MovieDetails& details, StagedFile& out,
                      const std::vector<FrameSize>* grabbedSizes) {
    CDibImage sheet;
    if (OpResult composed = ComposeSheetImage(frames, labels, options, details, sheet, nullptr, grabbedSizes);
        !composed) {
        return composed;
    }
    const int quality = std::clamp(options.jpegQuality, 0, 100);
    return sheet.WriteJpeg(out, quality, options.progressive != 0);
}

OpResult ComposeSheet(const std::vector<const CDibImage*>& frames,
                      const std::vector<const char*>& labels, const SheetOptions& options,
                      const MovieDetails& details, const std::string& path,
                      const std::vector<FrameSize>* grabbedSizes) {
    StagedFile out;
    if (OpResult opened = out.Open(path, WriteMode::Replace); !opened) return opened;
    if (OpResult written = ComposeSheet(frames, labels, options, details, out, grabbedSizes); !written)
        return written;
    return out.Commit();
}
