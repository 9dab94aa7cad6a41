#pragma once
// Which frame stands for a movie in a file manager: by default the best of a
// few pictures in the first third, from 10 % on (not blank, the sharpest or
// nearly), else the frame at the time asked for.
#include <cstddef>
#include <vector>

class CDibImage;
class SegmentGrabber;
struct ThumbnailRequest;

struct ThumbnailCandidates {
    std::vector<double> positions;  // ascending movie seconds
    // Per position: the key frame that is the picture there (decoded alone),
    // NaN for an exact grab.
    std::vector<double> keyFrames;
};

// The positions to look at: the time asked for alone; else just past the key
// frames from 10 % to a third of `duration` that the container's index tells
// (at most kCandidates, spread out), where only a few frames are decoded; or
// kCandidates evenly spread times there when it tells fewer than two.
ThumbnailCandidates CandidatePositions(const SegmentGrabber& grabber, double duration, const ThumbnailRequest& request);
constexpr int kCandidates = 8;

// How sharp a picture looks: the variance of a Laplacian of its luma. A flat
// or blurred picture scores low, a detailed one high.
double Sharpness(const CDibImage& picture);

// The index of the picture to show: the first that is not blank and at least
// half as sharp as the sharpest that is not; 0 when all are blank or empty.
// Null entries stand for positions without a picture.
size_t ChooseFrame(const std::vector<const CDibImage*>& pictures);
