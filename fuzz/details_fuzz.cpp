// Details template expansion: any template and any movie texts, expanded and
// measured in the details font as the sheet does before drawing it.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "sheet/compose_sheet.h"
#include "sheet/details_text.h"

namespace {

// The stored template holds at most this much; longer ones come only from
// places that cut them first, and measuring megabytes of text is slow.
constexpr size_t kMaxTemplate = 4096;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartHeadlessQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The movie's numbers first, then its file name and the template, split at
    // the first NUL.
    struct {
        uint64_t fileSize;
        int32_t width, height;
        double duration;
    } numbers{};
    if (size < sizeof numbers) return 0;
    std::memcpy(&numbers, data, sizeof numbers);
    const std::string_view rest(reinterpret_cast<const char*>(data) + sizeof numbers, size - sizeof numbers);
    const size_t cut = std::min(rest.find('\0'), rest.size());
    const std::string name(rest.substr(0, cut));
    const std::string_view text = rest.substr(std::min(cut + 1, rest.size()));
    if (text.size() > kMaxTemplate) return 0;

    const MovieDetails movie =
        MakeMovieDetails("/movies/" + name, numbers.fileSize, numbers.width, numbers.height, numbers.duration);
    const std::string expanded = SubstituteDetails(text, movie);
    SheetOptions options{};
    options.SetDefaults();
    MeasureDetailsText(expanded, options.detailsFont, DetailsFormatFlags(numbers.width));
    return 0;
}
