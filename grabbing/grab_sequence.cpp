#include "grabbing/grab_sequence.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "sheet/movie_details.h"
#include "base/memory_budget.h"
#include "playback/movie_player.h"

OpResult OpenForGrabbing(CMoviePlayer& player, const std::string& movie, int32_t& width, int32_t& height) {
    player.SetSoundEnabled(false);
    if (player.Open(movie) < 0) return OpResult::Failure(player.GetLastErrorText());
    width = height = 0;
    if (!player.GetNativeVideoSize(&width, &height) || width < 1 || height < 1)
        return OpResult::Failure(kNoVideoStreamText);
    return OpResult::Success();
}

GrabbedFrame GrabCurrentFrame(CMoviePlayer& player) {
    const VideoImagePtr picture = player.CurrentPicture();
    if (!picture) return {};
    // The label is the position read after the picture was taken.
    return FrameOfPicture(*picture, player.GetCurrentPosition());
}

double SeekPlayerBy(CMoviePlayer& player, double seconds) {
    const double duration = player.GetDuration();
    double target = player.GetCurrentPosition() + seconds;
    if (target > duration) target = duration;
    if (target < 0.0) target = 0.0;
    player.SetPosition(target, true);
    return target;
}

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

namespace {

// FirstAcceptedAfter on the player, from the picture on screen; moves the player.
GrabbedFrame FirstAcceptedAfter(CMoviePlayer& player, double limit,
                                const std::function<bool(const CDibImage&)>& rejects) {
    const PictureProbe probe = [&](double position, GrabbedFrame& frame, double& shown) {
        if (!player.SetPosition(position, true)) return false;
        shown = player.GetCurrentFrameTime();
        frame = GrabCurrentFrame(player);
        return true;
    };
    return FirstAcceptedAfter(player.GetCurrentPosition(), player.GetCurrentFrameTime(), player.GetFrameDuration(),
                              std::min(limit, player.GetDuration()), probe, rejects);
}

}  // namespace

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

namespace {

// Lets the player's workers go however the sequence ends.
struct ExpectedPositions {
    CMoviePlayer& player;
    ExpectedPositions(CMoviePlayer& p, std::vector<double> targets) : player(p) {
        player.ExpectPositions(std::move(targets));
    }
    ~ExpectedPositions() { player.ExpectPositions({}); }
};

}  // namespace

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
    // the limit counts from that asked time, as SeekPlayerBy answers it.
    for (double position : EvenStepPositions(start, duration, n)) {
        limits.push_back(std::clamp(previous + step, 0.0, std::max(duration, 0.0)) + lookAhead * step);
        previous = position;
    }
    return limits;
}

int GrabEvenlySpaced(CMoviePlayer& player, int n, const GrabAllHooks& hooks) {
    if (n < 1) return 0;
    const double step = player.GetDuration() / (double(n) + 1.0);
    const ExpectedPositions expected(player, EvenStepPositions(player.GetCurrentPosition(), player.GetDuration(), n));
    for (int k = 0; k < n; ++k) {
        const double position = SeekPlayerBy(player, step);
        if (hooks.afterSeek) hooks.afterSeek(position);
        GrabbedFrame frame = GrabCurrentFrame(player);
        if (frame.image && hooks.rejects && hooks.rejects(*frame.image)) {
            GrabbedFrame later = FirstAcceptedAfter(player, position + hooks.lookAhead * step, hooks.rejects);
            if (later.image) frame = std::move(later);
            // The next step counts from this target, not from the pictures tried.
            player.SetPosition(position, false);
        }
        if (frame.image && hooks.take) hooks.take(std::move(frame));
        if (hooks.progress && !hooks.progress(k + 1, n)) return k + 1;
    }
    return n;
}

uint64_t GrabMemoryNeed(int width, int height, int n) {
    if (n < 1 || width < 1 || height < 1) return 0;
    // The full picture plus its thumbnail and the decoder's working copies.
    const uint64_t perFrame = uint64_t(CDibImage::StrideFor(width)) * uint64_t(height) * 5 / 4;
    return perFrame * uint64_t(n);
}

int GrabAtPositions(CMoviePlayer& player, const std::vector<double>& positions, const std::vector<double>& latest,
                    const GrabAllHooks& hooks) {
    const int n = int(positions.size());
    if (n < 1) return 0;
    std::vector<double> targets;
    targets.reserve(positions.size());
    for (double p : positions) targets.push_back(player.SeekedPosition(p));
    const ExpectedPositions expected(player, targets);
    for (int k = 0; k < n; ++k) {
        const double position = targets[size_t(k)];
        player.SetPosition(position, true);
        if (hooks.afterSeek) hooks.afterSeek(position);
        GrabbedFrame frame = GrabCurrentFrame(player);
        if (frame.image && hooks.rejects && hooks.rejects(*frame.image) && size_t(k) < latest.size()) {
            GrabbedFrame later = FirstAcceptedAfter(player, latest[size_t(k)], hooks.rejects);
            if (later.image) frame = std::move(later);
        }
        if (frame.image && hooks.take) hooks.take(std::move(frame));
        if (hooks.progress && !hooks.progress(k + 1, n)) return k + 1;
    }
    return n;
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
