#pragma once
// Every user setting, stored on disk as this exact 456-byte little-endian record.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "image/gdi_types.h"

enum TextPosition : int32_t {
    BottomLeft = 0,
    BottomRight = 1,
    TopLeft = 2,
    TopRight = 3,
};

constexpr int kDetailsTemplateSize = 260;
constexpr size_t kSheetOptionsFileSize = 456;

struct SheetOptions {
    int32_t columns;
    int32_t tileWidth;
    int32_t tileHeight;
    int32_t gapWidth;
    int32_t gapHeight;
    uint8_t dropShadow;
    uint8_t pad0[3];
    int32_t shadowOffsetX;
    int32_t shadowOffsetY;
    int32_t shadowIntensity;
    COLORREF backColor;
    uint8_t showDetails;
    uint8_t pad1[3];
    int32_t detailsPosition;
    LOGFONTA detailsFont;
    COLORREF detailsColor;
    uint8_t showLabels;
    uint8_t pad2[3];
    int32_t labelPosition;
    LOGFONTA labelFont;
    COLORREF labelColor;
    int32_t jpegQuality;
    uint8_t progressive;
    uint8_t pad3[3];
    int32_t frameCount;
    char detailsTemplate[kDetailsTemplateSize];

    // Assigns the default of every field, both fonts whole.
    void SetDefaults();
    // Fills the record from stored bytes. Fields the bytes do not fully cover
    // take their defaults; the template always ends up NUL-terminated.
    void FromBytes(const uint8_t* data, size_t size);
};

static_assert(sizeof(SheetOptions) == kSheetOptionsFileSize);
static_assert(offsetof(SheetOptions, columns) == 0);
static_assert(offsetof(SheetOptions, tileWidth) == 4);
static_assert(offsetof(SheetOptions, tileHeight) == 8);
static_assert(offsetof(SheetOptions, gapWidth) == 12);
static_assert(offsetof(SheetOptions, gapHeight) == 16);
static_assert(offsetof(SheetOptions, dropShadow) == 20);
static_assert(offsetof(SheetOptions, shadowOffsetX) == 24);
static_assert(offsetof(SheetOptions, shadowOffsetY) == 28);
static_assert(offsetof(SheetOptions, shadowIntensity) == 32);
static_assert(offsetof(SheetOptions, backColor) == 36);
static_assert(offsetof(SheetOptions, showDetails) == 40);
static_assert(offsetof(SheetOptions, detailsPosition) == 44);
static_assert(offsetof(SheetOptions, detailsFont) == 48);
static_assert(offsetof(SheetOptions, detailsColor) == 108);
static_assert(offsetof(SheetOptions, showLabels) == 112);
static_assert(offsetof(SheetOptions, labelPosition) == 116);
static_assert(offsetof(SheetOptions, labelFont) == 120);
static_assert(offsetof(SheetOptions, labelColor) == 180);
static_assert(offsetof(SheetOptions, jpegQuality) == 184);
static_assert(offsetof(SheetOptions, progressive) == 188);
static_assert(offsetof(SheetOptions, frameCount) == 192);
static_assert(offsetof(SheetOptions, detailsTemplate) == 196);

// The details template up to its NUL (or its full 260 bytes when it has none).
inline std::string_view StoredTemplate(const SheetOptions& options) {
    const char* begin = options.detailsTemplate;
    const void* nul = std::memchr(begin, 0, sizeof options.detailsTemplate);
    return {begin, nul ? size_t(static_cast<const char*>(nul) - begin) : sizeof options.detailsTemplate};
}
