#pragma once
// The ffmpeg command-line tools as the reference for damaged movies: clips
// made with them, the picture stream's packets as ffprobe lists them, copies
// with chosen packets zeroed, and the pictures ffmpeg decodes.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

inline std::string ToolOutput(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return text;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
    pclose(pipe);
    return text;
}

inline bool Ffmpeg(const std::string& args) {
    return std::system(("ffmpeg -nostdin -v error -y " + args).c_str()) == 0;
}

struct ToolPacket {
    double time = 0.0;  // presentation seconds; 0 when the packet has none
    long long pos = 0, size = 0;
    bool key = false;
};

// The picture stream's packets in file order, which is decoding order.
inline std::vector<ToolPacket> ToolPackets(const std::string& path) {
    std::istringstream rows(ToolOutput("ffprobe -v error -select_streams v:0 -show_entries "
                                       "packet=pts_time,size,pos,flags -of csv=p=0 '" + path + "' 2>/dev/null"));
    std::vector<ToolPacket> packets;
    for (std::string row; std::getline(rows, row);) {
        const size_t comma = row.find(',');
        if (comma == std::string::npos) continue;
        ToolPacket p;
        char flag = 0;
        p.time = std::atof(row.c_str());  // "N/A" reads as 0
        if (std::sscanf(row.c_str() + comma + 1, "%lld,%lld,%c", &p.size, &p.pos, &flag) != 3 || p.pos < 0) continue;
        p.key = flag == 'K';
        packets.push_back(p);
    }
    return packets;
}

// A copy of `from` at `to` with the bytes of the packets `zero` picks (asked
// of every packet in file order) set to zero; answers how many it picked.
inline int ZeroPackets(const std::string& from, const std::string& to,
                       const std::function<bool(const ToolPacket&)>& zero) {
    std::ifstream in(from, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int zeroed = 0;
    for (const ToolPacket& p : ToolPackets(from)) {
        if (!zero(p) || size_t(p.pos + p.size) > data.size()) continue;
        std::fill_n(data.begin() + p.pos, p.size, '\0');
        ++zeroed;
    }
    std::ofstream(to, std::ios::binary).write(data.data(), std::streamsize(data.size()));
    return zeroed;
}

// Seconds (from the stream's first) of the pictures `ffmpeg -i path` decodes,
// ascending.
inline std::vector<double> ToolPictureTimes(const std::string& path) {
    std::istringstream lines(
        ToolOutput("ffmpeg -nostdin -v quiet -i '" + path + "' -map 0:v:0 -f framecrc - 2>/dev/null"));
    std::vector<double> times;
    double tb = 0.0;
    for (std::string line; std::getline(lines, line);) {
        int num = 0, den = 0, stream = 0;
        long long dts = 0, pts = 0;
        if (std::sscanf(line.c_str(), "#tb 0: %d/%d", &num, &den) == 2 && den > 0) tb = double(num) / den;
        if (line[0] != '#' && std::sscanf(line.c_str(), "%d, %lld, %lld", &stream, &dts, &pts) == 3)
            times.push_back(double(pts) * tb);
    }
    std::sort(times.begin(), times.end());
    return times;
}
