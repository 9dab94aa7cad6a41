#include "thumbnailer/frame_choice.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "grabbing/grab_sequence.h"
#include "grabbing/segment_grabber.h"
#include "image/dib_image.h"
#include "thumbnailer/thumbnail_request.h"

ThumbnailCandidates CandidatePositions(const SegmentGrabber& grabber, double duration, const ThumbnailRequest& request) {
    ThumbnailCandidates out;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (request.seconds >= 0.0 || request.percent >= 0.0) {
        const double at = request.seconds >= 0.0 ? request.seconds : duration * request.percent / 100.0;
        out.positions.push_back(grabber.SettledPosition(std::min(at, std::max(duration, 0.0))));
        out.keyFrames.push_back(nan);
        return out;
    }
    const double first = duration * 0.10;
    const double last = duration / 3.0;
    // Key frames between 10 % and a third, where the container's index tells
    // them: each is one picture decoded alone, the cheapest there is.
    // An index may give a key frame's decoding time, which lies before its
    // picture's time when pictures are reordered: a few frames past it is
    // its picture or one right after, reached by decoding those few frames.
    const double past = 3.0 * (grabber.Info().frameDuration > 0.0 ? grabber.Info().frameDuration : 0.04);
    for (int k = 0; k < 2 * kCandidates; ++k) {
        const double key = grabber.KeyFrameAtOrBefore(first + (last - first) * k / (2 * kCandidates - 1));
        if (!std::isfinite(key) || key < first || key > last) continue;
        const double position = grabber.SettledPosition(std::min(key + past, std::max(duration, 0.0)));
        if (!out.positions.empty() && position <= out.positions.back()) continue;
        out.positions.push_back(position);
        out.keyFrames.push_back(nan);
    }
    if (out.positions.size() >= 2) {
        // At most kCandidates of them, spread over the stretch.
        ThumbnailCandidates spread;
        const size_t count = out.positions.size();
        for (int k = 0; k < kCandidates && size_t(k) < count; ++k) {
            const size_t at = count <= size_t(kCandidates) ? size_t(k) : size_t(k) * (count - 1) / (kCandidates - 1);
            spread.positions.push_back(out.positions[at]);
            spread.keyFrames.push_back(out.keyFrames[at]);
        }
        return spread;
    }
    // Too few key frames known there: exact pictures at evenly spread times.
    out = {};
    for (int k = 0; k < kCandidates; ++k) {
        out.positions.push_back(grabber.SettledPosition(first + (last - first) * k / (kCandidates - 1)));
        out.keyFrames.push_back(nan);
    }
    return out;
}

double Sharpness(const CDibImage& picture) {
    const int width = picture.Width();
    const int height = picture.Height();
    if (width < 3 || height < 3 || !picture.HasPixels()) return 0.0;
    // Luma of every pixel; thumbnails are small, so no sampling is needed.
    std::vector<float> luma(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = picture.StoredRow(y);
        for (int x = 0; x < width; ++x)
            luma[size_t(y) * width + x] = 0.114f * row[3 * x] + 0.587f * row[3 * x + 1] + 0.299f * row[3 * x + 2];
    }
    double sum = 0.0;
    double squares = 0.0;
    double count = 0.0;
    for (int y = 1; y + 1 < height; ++y) {
        for (int x = 1; x + 1 < width; ++x) {
            const size_t i = size_t(y) * width + x;
            const double laplacian = 4.0 * luma[i] - luma[i - 1] - luma[i + 1] - luma[i - width] - luma[i + width];
            sum += laplacian;
            squares += laplacian * laplacian;
            count += 1.0;
        }
    }
    const double mean = sum / count;
    return std::max(0.0, squares / count - mean * mean);
}

size_t ChooseFrame(const std::vector<const CDibImage*>& pictures) {
    std::vector<double> sharpness(pictures.size(), -1.0);
    double sharpest = -1.0;
    for (size_t k = 0; k < pictures.size(); ++k) {
        if (!pictures[k] || IsNearlyUniform(*pictures[k])) continue;
        sharpness[k] = Sharpness(*pictures[k]);
        sharpest = std::max(sharpest, sharpness[k]);
    }
    for (size_t k = 0; k < pictures.size(); ++k)
        if (sharpness[k] >= 0.0 && sharpness[k] >= 0.5 * sharpest) return k;
    for (size_t k = 0; k < pictures.size(); ++k)
        if (pictures[k]) return k;
    return 0;
}
