#pragma once
// Plain records shared by the image engine, the settings file and the player.
// Their layouts are fixed because they are stored on disk (LOGFONTA inside the
// options file) or handed out as raw memory (BITMAPINFOHEADER in frame grabs).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

// 0x00BBGGRR: red in the low byte.
using COLORREF = uint32_t;

constexpr COLORREF MakeRgb(uint8_t r, uint8_t g, uint8_t b) {
    return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}
constexpr uint8_t RedOf(COLORREF c) { return uint8_t(c & 0xFF); }
constexpr uint8_t GreenOf(COLORREF c) { return uint8_t((c >> 8) & 0xFF); }
constexpr uint8_t BlueOf(COLORREF c) { return uint8_t((c >> 16) & 0xFF); }

// Picture coordinates, right and bottom exclusive.
struct RECT {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool operator==(const RECT&) const = default;
};

#pragma pack(push, 1)
struct BITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(offsetof(BITMAPINFOHEADER, biWidth) == 4);
static_assert(offsetof(BITMAPINFOHEADER, biHeight) == 8);
static_assert(offsetof(BITMAPINFOHEADER, biSizeImage) == 20);

constexpr int LF_FACESIZE = 32;

// Logical font: height in pixels (negative = character height), weight,
// style flags and a NUL-terminated face name.
struct LOGFONTA {
    int32_t lfHeight;
    int32_t lfWidth;
    int32_t lfEscapement;
    int32_t lfOrientation;
    int32_t lfWeight;
    uint8_t lfItalic;
    uint8_t lfUnderline;
    uint8_t lfStrikeOut;
    uint8_t lfCharSet;
    uint8_t lfOutPrecision;
    uint8_t lfClipPrecision;
    uint8_t lfQuality;
    uint8_t lfPitchAndFamily;
    char lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONTA) == 60);
static_assert(offsetof(LOGFONTA, lfWeight) == 16);
static_assert(offsetof(LOGFONTA, lfItalic) == 20);
static_assert(offsetof(LOGFONTA, lfPitchAndFamily) == 27);
static_assert(offsetof(LOGFONTA, lfFaceName) == 28);

// The face name up to its NUL, or all LF_FACESIZE bytes when it has none.
inline std::string_view FaceNameOf(const LOGFONTA& font) {
    const void* nul = std::memchr(font.lfFaceName, 0, LF_FACESIZE);
    return {font.lfFaceName, nul ? size_t(static_cast<const char*>(nul) - font.lfFaceName) : size_t(LF_FACESIZE)};
}

// Text format flags understood by CDibImage::PaintText.
constexpr uint32_t DT_LEFT = 0x0;
constexpr uint32_t DT_TOP = 0x0;
constexpr uint32_t DT_RIGHT = 0x2;
constexpr uint32_t DT_BOTTOM = 0x8;
constexpr uint32_t DT_SINGLELINE = 0x20;
constexpr uint32_t DT_EXPANDTABS = 0x40;
constexpr uint32_t DT_CALCRECT = 0x400;
constexpr uint32_t DT_WORD_ELLIPSIS = 0x40000;
