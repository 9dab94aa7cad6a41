#include "grabbing/grab_sequence.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/memory_budget.h"
#include "decoding/player_types.h"
#include "sheet/movie_details.h"

GrabbedFrame FrameOfPicture(const VideoImage& picture, double position) {
    GrabbedFrame frame;
    auto image = std::make_unique<CDibImage>();
    if (!CopyToDib(picture, *image)) return frame;
    frame.image = std::move(image);
    frame.label = FormatTimeLabel(position);
    return frame;
}

GrabbedFrame FirstAcceptedAfter(double position, double shown, double frameDuration, double end,
                                const PictureProbe& probe, const std::function<bool(const CDibImage&)>& rejects) {
    const double frame = frameDuration > 0.0 ? frameDuration : 0.04;
    double at = position;
    while (true) {
        // A quarter frame past the next picture's time finds it even where
        // timestamps are rounded; the second term moves on where a picture
        // lasts longer than the stream's frame rate says.
        const double next = std::max(shown + 1.25 * frame, at + 0.25 * frame);
        if (!(next <= end)) return {};
        at = next;
        GrabbedFrame candidate;
        if (!probe(at, candidate, shown)) return {};
        if (candidate.image && !rejects(*candidate.image)) {
            candidate.label = FormatTimeLabel(shown >= 0.0 ? shown : at);
            return candidate;
        }
    }
}

double LumaDeviation(const CDibImage& image) {
    const int width = image.Width();
    const int height = image.Height();
    if (width <= 0 || height <= 0 || !image.HasPixels()) return 0.0;
    const int dx = std::max(1, width / 256);
    const int dy = std::max(1, height / 256);
    double sum = 0.0;
    double squares = 0.0;
    double count = 0.0;
    for (int row = dy / 2; row < height; row += dy) {
        const uint8_t* p = image.StoredRow(row);
        for (int x = dx / 2; x < width; x += dx) {
            const uint8_t* px = p + size_t(x) * 3;  // blue, green, red
            const double y = 0.114 * px[0] + 0.587 * px[1] + 0.299 * px[2];
            sum += y;
            squares += y * y;
            count += 1.0;
        }
    }
    const double mean = sum / count;
    return std::sqrt(std::max(0.0, squares / count - mean * mean));
}

std::vector<double> EvenStepPositions(double start, double duration, int n) {
    std::vector<double> targets;
    if (n < 1) return targets;
    targets.reserve(size_t(n));
    const double step = duration / (double(n) + 1.0);
    double position = start;
    for (int k = 0; k < n; ++k) {
        position = SettledMoviePosition(std::clamp(position + step, 0.0, std::max(duration, 0.0)), duration);
        targets.push_back(position);
    }
    return targets;
}

std::vector<double> EvenStepLimits(double start, double duration, int n, double lookAhead) {
    std::vector<double> limits;
    const double step = duration / (double(n) + 1.0);
    double previous = start;
    // Each step asks for the settled position before it plus a step, clamped;
    // the limit counts from that asked time.
    for (double position : EvenStepPositions(start, duration, n)) {
        limits.push_back(std::clamp(previous + step, 0.0, std::max(duration, 0.0)) + lookAhead * step);
        previous = position;
    }
    return limits;
}

uint64_t GrabMemoryNeed(int width, int height, int n) {
    if (n < 1 || width < 1 || height < 1) return 0;
    // The full picture plus its thumbnail and the decoder's working copies.
    const uint64_t perFrame = uint64_t(CDibImage::StrideFor(width)) * uint64_t(height) * 5 / 4;
    return perFrame * uint64_t(n);
}

OpResult CheckGrabMemory(int width, int height, int n, uint64_t available, uint64_t needed, const char* advice) {
    if (n < 1 || width < 1 || height < 1) return OpResult::Success();
    if (available == 0) available = AvailableMemory();
    if (available == 0) return OpResult::Success();  // unknown: do not guess
    if (needed == 0) needed = GrabMemoryNeed(width, height, n);
    if (needed <= available) return OpResult::Success();
    char text[256];
    std::snprintf(text, sizeof text,
                  "%d frames of %d x %d need about %.0f MB, but only %.0f MB of memory is "
                  "available. %s",
                  n, width, height, double(needed) / 1048576.0, double(available) / 1048576.0, advice);
    return OpResult::Failure(text);
}
