#include "sheet/webvtt.h"

#include <cstdio>
#include <sstream>

std::string FormatVttTime(int64_t ms) {
    if (ms < 0) ms = 0;
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02d:%02d.%03d", static_cast<long long>(ms / 3600000),
                  int(ms / 60000 % 60), int(ms / 1000 % 60), int(ms % 1000));
    return text;
}

std::string UrlPathSegment(const std::string& name) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~';
        if (plain) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "hh:mm:ss.mmm" or "mm:ss.mmm" at `at`; moves `at` past it.
bool ReadTime(const std::string& line, size_t& at, int64_t& ms) {
    int64_t fields[3] = {0, 0, 0};
    int count = 0;
    while (count < 3) {
        const size_t start = at;
        int64_t value = 0;
        while (at < line.size() && line[at] >= '0' && line[at] <= '9' && at - start < 12)
            value = value * 10 + (line[at++] - '0');
        if (at == start) return false;
        fields[count++] = value;
        if (at < line.size() && line[at] == ':') {
            ++at;
            continue;
        }
        break;
    }
    if (count < 2 || at + 4 > line.size() || line[at] != '.') return false;
    int64_t millis = 0;
    for (size_t i = at + 1; i < at + 4; ++i) {
        if (line[i] < '0' || line[i] > '9') return false;
        millis = millis * 10 + (line[i] - '0');
    }
    at += 4;
    const int64_t hours = count == 3 ? fields[0] : 0;
    const int64_t minutes = fields[count - 2];
    const int64_t seconds = fields[count - 1];
    if (minutes > 59 || seconds > 59) return false;
    ms = ((hours * 60 + minutes) * 60 + seconds) * 1000 + millis;
    return true;
}

bool ReadCueTimes(const std::string& line, VttCue& cue) {
    size_t at = 0;
    if (!ReadTime(line, at, cue.startMs)) return false;
    if (line.compare(at, 5, " --> ") != 0) return false;
    at += 5;
    // Cue settings may follow the end time.
    return ReadTime(line, at, cue.endMs) && (at == line.size() || line[at] == ' ');
}

bool ReadCueText(const std::string& line, VttCue& cue) {
    const size_t fragment = line.find("#xywh=");
    if (fragment == std::string::npos || fragment == 0) return false;
    int x = 0, y = 0, w = 0, h = 0, used = 0;
    if (std::sscanf(line.c_str() + fragment, "#xywh=%d,%d,%d,%d%n", &x, &y, &w, &h, &used) != 4 ||
        fragment + size_t(used) != line.size())
        return false;
    cue.file = PercentDecoded(line.substr(0, fragment));
    cue.x = x;
    cue.y = y;
    cue.width = w;
    cue.height = h;
    return true;
}

}  // namespace

std::string PercentDecoded(const std::string& segment) {
    std::string name;
    for (size_t i = 0; i < segment.size(); ++i) {
        if (segment[i] == '%' && i + 2 < segment.size() && HexDigit(segment[i + 1]) >= 0 &&
            HexDigit(segment[i + 2]) >= 0) {
            name += char(HexDigit(segment[i + 1]) * 16 + HexDigit(segment[i + 2]));
            i += 2;
        } else {
            name += segment[i];
        }
    }
    return name;
}

std::string VttText(const std::vector<CueSpan>& cues, const SpriteGrid& grid, const std::string& vttName) {
    std::string text = "WEBVTT\n";
    std::vector<std::string> urls;
    for (size_t i = 0; i < cues.size(); ++i) {
        const TilePlace place = PlaceOf(int(i), grid);
        while (int(urls.size()) <= place.sprite) urls.push_back(UrlPathSegment(SpriteFileName(vttName, int(urls.size()))));
        text += "\n" + FormatVttTime(cues[i].startMs) + " --> " + FormatVttTime(cues[i].endMs) + "\n";
        text += urls[size_t(place.sprite)] + "#xywh=" + std::to_string(place.x) + "," + std::to_string(place.y) + "," +
                std::to_string(grid.tileWidth) + "," + std::to_string(grid.tileHeight) + "\n";
    }
    return text;
}

VttReading ReadVtt(const std::string& text) {
    VttReading reading;
    std::istringstream in(text);
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first) {
            first = false;
            if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
            reading.header = line == "WEBVTT" || line.rfind("WEBVTT ", 0) == 0 || line.rfind("WEBVTT\t", 0) == 0;
            if (reading.header) continue;
        }
        if (line.empty()) continue;
        VttCue cue;
        if (!ReadCueTimes(line, cue)) {
            reading.stray.push_back(line);
            continue;
        }
        std::string payload;
        if (std::getline(in, payload) && !payload.empty() && payload.back() == '\r') payload.pop_back();
        if (ReadCueText(payload, cue))
            reading.cues.push_back(cue);
        else
            reading.stray.push_back(payload);
    }
    return reading;
}
