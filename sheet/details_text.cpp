#include "sheet/details_text.h"

#include <cstring>

#include "image/gdi_types.h"

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    if (from.empty()) return text;
    size_t at = 0;
    while ((at = text.find(from, at)) != std::string::npos) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

std::string SubstituteDetails(std::string_view detailsTemplate, const MovieDetails& details) {
    std::string text(detailsTemplate);
    text = ReplaceAll(std::move(text), "[FILE_SIZE]", details.fileSizeText);
    text = ReplaceAll(std::move(text), "[FILE_NAME]", details.fileName);
    text = ReplaceAll(std::move(text), "[WIDTH]", details.widthText);
    text = ReplaceAll(std::move(text), "[HEIGHT]", details.heightText);
    text = ReplaceAll(std::move(text), "[DURATION]", details.durationText);
    return text;
}

namespace {

uint32_t CornerFlags(int32_t position) {
    switch (position) {
        case BottomLeft: return DT_BOTTOM;
        case BottomRight: return DT_BOTTOM | DT_RIGHT;
        case TopRight: return DT_RIGHT;
        default: return DT_TOP | DT_LEFT;
    }
}

}  // namespace

uint32_t DetailsFormatFlags(int32_t position) { return DT_EXPANDTABS | CornerFlags(position); }

uint32_t LabelFormatFlags(int32_t position) {
    return DT_WORD_ELLIPSIS | DT_SINGLELINE | CornerFlags(position);
}
