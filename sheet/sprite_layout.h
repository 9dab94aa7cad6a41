#pragma once
// Seek-bar thumbnails for web players: which stretch of the movie each cue
// covers and where its tile sits in which sprite image (webvtt.h writes the
// text that points the cues at those tiles). Pure arithmetic; the pictures
// are taken and written elsewhere.
#include <cstdint>
#include <string>
#include <vector>

// A cue's stretch of the movie in whole milliseconds, [start, end).
struct CueSpan {
    int64_t startMs = 0;
    int64_t endMs = 0;
};

// One cue per interval [k * interval, min((k + 1) * interval, duration)),
// contiguous from 0 to the duration; a movie shorter than one interval gets
// one cue. Empty for a duration or interval below 1 ms.
std::vector<CueSpan> CueSpans(int64_t durationMs, int64_t intervalMs);
// How many cues CueSpans makes, reckoned without making them.
int64_t CueCount(int64_t durationMs, int64_t intervalMs);
// The most cues one movie's thumbnails get (a cue a second for almost 28
// hours): a player reads its whole WebVTT file, and every cue is a picture
// decoded and a tile written.
constexpr int64_t kMaxCues = 100000;

// The tile height for pictures of pictureWidth x pictureHeight shown
// `thumbWidth` wide: the picture's aspect kept, rounded to an even number,
// at least 2. 0 for an empty picture.
int ThumbHeightFor(int thumbWidth, int pictureWidth, int pictureHeight);

struct SpriteGrid {
    int columns = 10;
    int rows = 10;
    int tileWidth = 0;
    int tileHeight = 0;
    int PerSprite() const { return columns * rows; }
};

// Where cue `index` goes: its sprite (from 0) and the tile's top-left corner.
struct TilePlace {
    int sprite = 0;
    int x = 0;
    int y = 0;
};
TilePlace PlaceOf(int index, const SpriteGrid& grid);

// Sprite images needed for `cues` tiles, filled row by row.
int SpriteCount(int cues, const SpriteGrid& grid);
// Pixel size of sprite `sprite`: only the columns and rows its tiles use, so
// a short movie does not get a mostly empty image.
void SpriteSize(int sprite, int cues, const SpriteGrid& grid, int& width, int& height);

// The sprite file name for sprite `sprite` (from 0) of the VTT file named
// `vttName`: its name without a trailing ".vtt", then "-1.jpg", "-2.jpg", ...
std::string SpriteFileName(const std::string& vttName, int sprite);
