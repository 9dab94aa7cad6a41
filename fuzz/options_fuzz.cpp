// The options record read from bytes (as from options.lyt), then used as a
// sheet uses it: checked, laid out, and, when the sheet is small enough to draw
// quickly, drawn with its fonts, colours, shadows and details block. Fields
// arrive with any value; nothing may divide by zero, overflow or draw outside
// the picture.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "sheet/compose_sheet.h"
#include "sheet/details_text.h"
#include "sheet/sheet_layout.h"

namespace {

// Larger sheets are laid out but not drawn: drawing them proves nothing more
// and would make each run slow.
constexpr int64_t kMaxDrawnPixels = 600 * 600;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartHeadlessQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SheetOptions options{};
    options.FromBytes(data, std::min(size, kSheetOptionsFileSize));
    // Bytes after the record pick the frames' sizes (two bytes each, 1..256).
    std::vector<FrameSize> sizes;
    for (size_t at = kSheetOptionsFileSize; at + 1 < size && sizes.size() < 12; at += 2)
        sizes.push_back({1 + data[at], 1 + data[at + 1]});
    if (sizes.empty()) sizes = {{64, 48}, {48, 64}, {32, 32}};

    const OpResult check = CheckSheetInput(sizes, options);
    if (!check && check.message.empty()) std::abort();  // every refusal says why
    // Measured as the composer measures it: a 4096-pixel font over a long
    // template makes a tall block, and so a sheet too large to draw here.
    const MovieDetails movie = MakeMovieDetails("/movies/a.mp4", 123456, 320, 240, 61.5);
    TextSize details;
    if (options.showDetails) {
        const std::string text = SubstituteDetails(std::string_view(options.detailsTemplate), movie);
        details = MeasureDetailsText(text, options.detailsFont, DetailsFormatFlags(options.detailsPosition));
    }
    SheetLayout layout;
    const OpResult laid = ComputeSheetLayout(sizes, options, options.showDetails ? &details : nullptr, layout);
    if (!laid && laid.message.empty()) std::abort();
    if (!laid || int64_t(layout.sheetWidth) * layout.sheetHeight > kMaxDrawnPixels) return 0;

    std::vector<CDibImage> frames(sizes.size());
    std::vector<const CDibImage*> pointers;
    std::vector<const char*> labels;
    for (size_t i = 0; i < sizes.size(); ++i) {
        frames[i].Create(sizes[i].width, sizes[i].height);
        pointers.push_back(&frames[i]);
        labels.push_back("00:00:01");
    }
    CDibImage sheet;
    const OpResult drawn = ComposeSheetImage(pointers, labels, options, movie, sheet);
    if (!drawn && drawn.message.empty()) std::abort();
    return 0;
}
