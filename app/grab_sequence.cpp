#include "app/grab_sequence.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "app/movie_details.h"
#include "video/movie_player.h"

GrabbedFrame GrabCurrentFrame(CMoviePlayer& player) {
    GrabbedFrame frame;
    GrabBlock block = player.GetCurrentImage();
    if (!block) return frame;
    // The label is the position read after the picture was taken.
    frame.label = FormatTimeLabel(player.GetCurrentPosition());
    int32_t width = 0;
    int32_t height = 0;
    std::memcpy(&width, block.get() + 4, 4);
    std::memcpy(&height, block.get() + 8, 4);
    auto image = std::make_unique<CDibImage>();
    if (!image->CreateFrom32(width, height, block.get() + 40)) return frame;
    frame.image = std::move(image);
    return frame;
}

double SeekPlayerBy(CMoviePlayer& player, double seconds) {
    const double duration = player.GetDuration();
    double target = player.GetCurrentPosition() + seconds;
    if (target > duration) target = duration;
    if (target < 0.0) target = 0.0;
    player.SetPosition(target, true);
    return target;
}

int AtoiLike(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<int>(value);
}

int GrabEvenlySpaced(CMoviePlayer& player, int n, const GrabAllHooks& hooks) {
    if (n < 1) return 0;
    const double step = player.GetDuration() / (double(n) + 1.0);
    for (int k = 0; k < n; ++k) {
        const double position = SeekPlayerBy(player, step);
        if (hooks.afterSeek) hooks.afterSeek(position);
        GrabbedFrame frame = GrabCurrentFrame(player);
        if (frame.image && hooks.take) hooks.take(std::move(frame));
        if (hooks.progress && !hooks.progress(k + 1, n)) return k + 1;
    }
    return n;
}

uint64_t AvailableMemory() {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    uint64_t kib = 0;
    std::string unit;
    while (meminfo >> key >> kib >> unit) {
        if (key == "MemAvailable:") return kib * 1024;
    }
    return 0;
}

OpResult CheckGrabMemory(int width, int height, int n, uint64_t available) {
    if (n < 1 || width < 1 || height < 1) return OpResult::Success();
    if (available == 0) available = AvailableMemory();
    if (available == 0) return OpResult::Success();  // unknown: do not guess
    // The full picture plus its thumbnail and the decoder's working copies.
    const uint64_t perFrame = uint64_t(CDibImage::StrideFor(width)) * uint64_t(height) * 5 / 4;
    const uint64_t needed = perFrame * uint64_t(n);
    if (needed <= available) return OpResult::Success();
    char text[256];
    std::snprintf(text, sizeof text,
                  "%d frames of %d x %d need about %.0f MB, but only %.0f MB of memory is "
                  "available. Choose fewer frames.",
                  n, width, height, double(needed) / 1048576.0, double(available) / 1048576.0);
    return OpResult::Failure(text);
}
