#pragma once
// Helpers shared by the player tests: clip paths, grabs as plain pictures,
// reference frames from the ffmpeg command-line tool, picture comparison and
// waiting for player events.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "image/gdi_types.h"
#include "support/test_paths.h"
#include "playback/movie_player.h"

inline std::string Clip(const std::string& name) { return (TestDataDir() / name).string(); }

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgr;  // top row first, 3 bytes per pixel
};

// A grab block as a top-down BGR picture; checks the block's header.
inline Picture PictureFromGrab(const uint8_t* block) {
    Picture p;
    if (!block) return p;
    BITMAPINFOHEADER h;
    std::memcpy(&h, block, sizeof h);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biBitCount, 32);
    EXPECT_GT(h.biHeight, 0);
    p.width = h.biWidth;
    p.height = h.biHeight;
    p.bgr.resize(size_t(p.width) * p.height * 3);
    const uint8_t* rows = block + 40;
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* src = rows + size_t(p.height - 1 - y) * p.width * 4;
        uint8_t* dst = p.bgr.data() + size_t(y) * p.width * 3;
        for (int x = 0; x < p.width; ++x) {
            dst[3 * x] = src[4 * x];
            dst[3 * x + 1] = src[4 * x + 1];
            dst[3 * x + 2] = src[4 * x + 2];
        }
    }
    return p;
}

inline Picture Grab(const CMoviePlayer& player) {
    GrabBlock block = player.GetCurrentImage();
    return PictureFromGrab(block.get());
}

// The frame the ffmpeg command line gives for `-ss t` (accurate seek), as
// width x height BGR; `filter` is an optional -vf chain. With `fromStart` the
// command line decodes from the beginning and takes the first frame at or
// after t instead (its seek is not exact in MPEG programme streams).
inline Picture CliFrame(const std::string& path, double t, int width, int height, const std::string& filter = "",
                        bool fromStart = false) {
    char ss[32];
    std::snprintf(ss, sizeof ss, "%.6f", t);
    std::string cmd = "ffmpeg -nostdin -v error";
    std::string chain = filter;
    if (fromStart) {
        chain = "select=gte(t\\," + std::string(ss) + ")" + (filter.empty() ? "" : "," + filter);
        cmd += " -i '" + path + "' -vsync passthrough";
    } else {
        cmd += " -ss " + std::string(ss) + " -i '" + path + "'";
    }
    cmd += " -frames:v 1";
    if (!chain.empty()) cmd += " -vf '" + chain + "'";
    cmd += " -f rawvideo -pix_fmt bgr24 - 2>/dev/null";
    Picture p;
    FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe) return p;
    std::vector<uint8_t> data(size_t(width) * height * 3);
    const size_t got = std::fread(data.data(), 1, data.size(), pipe);
    pclose(pipe);
    if (got != data.size()) return p;
    p.width = width;
    p.height = height;
    p.bgr = std::move(data);
    return p;
}

inline double Psnr(const Picture& a, const Picture& b) {
    if (a.width != b.width || a.height != b.height || a.bgr.empty()) return 0.0;
    double sum = 0.0;
    for (size_t i = 0; i < a.bgr.size(); ++i) {
        const double d = double(a.bgr[i]) - double(b.bgr[i]);
        sum += d * d;
    }
    const double mse = sum / double(a.bgr.size());
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// Waits until the player's event descriptor is readable and takes one event;
// 0 on time-out.
inline long WaitForEvent(CMoviePlayer& player, std::chrono::milliseconds timeout) {
    pollfd fd{player.GetEventHandle(), POLLIN, 0};
    if (fd.fd < 0) return 0;
    if (poll(&fd, 1, int(timeout.count())) <= 0) return 0;
    return player.GetEvent();
}

template <typename F>
bool WaitUntil(F&& condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}
