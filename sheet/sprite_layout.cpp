#include "sheet/sprite_layout.h"

#include <algorithm>
#include <cmath>

std::vector<CueSpan> CueSpans(int64_t durationMs, int64_t intervalMs) {
    std::vector<CueSpan> spans;
    if (durationMs < 1 || intervalMs < 1) return spans;
    for (int64_t start = 0; start < durationMs; start += intervalMs)
        spans.push_back({start, std::min(start + intervalMs, durationMs)});
    return spans;
}

int64_t CueCount(int64_t durationMs, int64_t intervalMs) {
    if (durationMs < 1 || intervalMs < 1) return 0;
    return (durationMs - 1) / intervalMs + 1;
}

int ThumbHeightFor(int thumbWidth, int pictureWidth, int pictureHeight) {
    if (thumbWidth < 1 || pictureWidth < 1 || pictureHeight < 1) return 0;
    const double height = double(thumbWidth) * double(pictureHeight) / double(pictureWidth);
    return std::max(2, int(std::lround(height / 2.0)) * 2);
}

TilePlace PlaceOf(int index, const SpriteGrid& grid) {
    const int per = std::max(1, grid.PerSprite());
    const int within = index % per;
    return {index / per, (within % grid.columns) * grid.tileWidth, (within / grid.columns) * grid.tileHeight};
}

int SpriteCount(int cues, const SpriteGrid& grid) {
    const int per = std::max(1, grid.PerSprite());
    return cues < 1 ? 0 : (cues + per - 1) / per;
}

void SpriteSize(int sprite, int cues, const SpriteGrid& grid, int& width, int& height) {
    const int per = std::max(1, grid.PerSprite());
    const int tiles = std::clamp(cues - sprite * per, 0, per);
    const int columns = std::min(tiles, grid.columns);
    const int rows = (tiles + grid.columns - 1) / grid.columns;
    width = columns * grid.tileWidth;
    height = rows * grid.tileHeight;
}

std::string SpriteFileName(const std::string& vttName, int sprite) {
    std::string base = vttName;
    if (base.size() > 4) {
        std::string tail = base.substr(base.size() - 4);
        std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (tail == ".vtt") base.resize(base.size() - 4);
    }
    return base + "-" + std::to_string(sprite + 1) + ".jpg";
}
