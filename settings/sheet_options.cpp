#include "settings/sheet_options.h"

#include <cstring>

namespace {

constexpr char kDefaultTemplate[] =
    "File Name: [FILE_NAME]\r\nFile Size: [FILE_SIZE]\r\nResolution: [WIDTH]x[HEIGHT]\r\nDuration: [DURATION]";
static_assert(sizeof(kDefaultTemplate) == 99, "98 characters and the NUL");

LOGFONTA DefaultFont() {
    LOGFONTA font{};
    font.lfHeight = -11;
    font.lfWeight = 700;
    font.lfOutPrecision = 3;   // stroke precision
    font.lfClipPrecision = 2;  // stroke clipping
    font.lfQuality = 1;        // scaled raster fonts allowed
    font.lfPitchAndFamily = 0x22;  // variable pitch, sans-serif
    std::memcpy(font.lfFaceName, "Arial", 6);
    return font;
}

// One stored field: its bytes are taken from the file only when the file
// covers all of them, so a short file never leaves half a number behind.
struct FieldSpan {
    size_t offset;
    size_t size;
};

#define REELCAP_FIELD(name) FieldSpan{offsetof(SheetOptions, name), sizeof(SheetOptions::name)}
constexpr FieldSpan kFields[] = {
    REELCAP_FIELD(columns),         REELCAP_FIELD(tileWidth),       REELCAP_FIELD(tileHeight),
    REELCAP_FIELD(gapWidth),        REELCAP_FIELD(gapHeight),       REELCAP_FIELD(dropShadow),
    REELCAP_FIELD(shadowOffsetX),   REELCAP_FIELD(shadowOffsetY),   REELCAP_FIELD(shadowIntensity),
    REELCAP_FIELD(backColor),       REELCAP_FIELD(showDetails),     REELCAP_FIELD(detailsPosition),
    REELCAP_FIELD(detailsFont),     REELCAP_FIELD(detailsColor),    REELCAP_FIELD(showLabels),
    REELCAP_FIELD(labelPosition),   REELCAP_FIELD(labelFont),       REELCAP_FIELD(labelColor),
    REELCAP_FIELD(jpegQuality),     REELCAP_FIELD(progressive),     REELCAP_FIELD(frameCount),
    REELCAP_FIELD(detailsTemplate),
};
#undef REELCAP_FIELD

void TerminateWithin(char* text, size_t size) {
    if (!std::memchr(text, '\0', size)) text[size - 1] = '\0';
}

}  // namespace

void SheetOptions::SetDefaults() {
    columns = 5;
    tileWidth = 148;
    tileHeight = 111;
    gapWidth = 10;
    gapHeight = 10;
    dropShadow = 1;
    shadowOffsetX = 3;
    shadowOffsetY = 3;
    shadowIntensity = 50;
    backColor = 0x00F7F2EE;
    showDetails = 1;
    detailsPosition = TopLeft;
    // Restoring the defaults restores the whole font, style flags included.
    detailsFont = DefaultFont();
    detailsColor = 0x00000000;
    showLabels = 1;
    labelPosition = BottomLeft;
    labelFont = DefaultFont();
    labelColor = 0x00FFFFFF;
    jpegQuality = 90;
    progressive = 1;
    frameCount = 30;
    std::memset(detailsTemplate, 0, sizeof detailsTemplate);
    std::memcpy(detailsTemplate, kDefaultTemplate, sizeof kDefaultTemplate);
}

void SheetOptions::FromBytes(const uint8_t* data, size_t size) {
    SheetOptions result{};
    result.SetDefaults();
    auto* target = reinterpret_cast<uint8_t*>(&result);
    if (data) {
        for (const FieldSpan& field : kFields) {
            if (field.offset + field.size <= size) std::memcpy(target + field.offset, data + field.offset, field.size);
        }
    }
    // The sheet composer divides by the column count.
    if (result.columns < 1) result.columns = 5;
    TerminateWithin(result.detailsTemplate, sizeof result.detailsTemplate);
    TerminateWithin(result.detailsFont.lfFaceName, sizeof result.detailsFont.lfFaceName);
    TerminateWithin(result.labelFont.lfFaceName, sizeof result.labelFont.lfFaceName);
    *this = result;
}
