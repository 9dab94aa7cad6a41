#pragma once
// What every grab shares: the grabbed frame and its label, where Grab All's N
// steps over a movie settle, the blank-picture rule and the memory check. The
// window and the command-line tool take their frames through one engine
// (target_grabs.h), so both get the same frames and the same labels.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image/dib_image.h"
#include "base/op_result.h"
#include "decoding/video_image.h"

struct GrabbedFrame {
    std::unique_ptr<CDibImage> image;
    std::string label;  // FormatTimeLabel of the position after the grab
    double time = -1.0; // the frame's own time, where a choice of frames gives it
};

// How far past the time it asked for a step looks for a replacement of a
// blank picture, in steps.
constexpr double kBlankLookAhead = 0.25;

// Where Grab All's n steps of duration / (n + 1) from `start` settle: each
// step goes from where the one before settled, clamped to the movie, as a
// player stepping forward lands.
std::vector<double> EvenStepPositions(double start, double duration, int n);
// How far the blank-picture rule looks for a replacement at each of those
// steps (`lookAhead` steps past the time it asked for).
std::vector<double> EvenStepLimits(double start, double duration, int n, double lookAhead);

// The picture as a grabbed frame labelled with `position`; an empty frame when
// memory cannot be had.
GrabbedFrame FrameOfPicture(const VideoImage& picture, double position);

// A source's picture at a probe position: false when it has none; otherwise
// `frame.image` holds it and `shown` its own time.
using PictureProbe = std::function<bool(double position, GrabbedFrame& frame, double& shown)>;
// The blank-picture rule: the first picture after the one shown at `position`
// (whose own time is `shown`) that `rejects` accepts, no later than `end`,
// labelled with its own time; an empty frame when there is none.
GrabbedFrame FirstAcceptedAfter(double position, double shown, double frameDuration, double end,
                                const PictureProbe& probe, const std::function<bool(const CDibImage&)>& rejects);

// Standard deviation of the luma (0-255, BT.601 weights) over a grid of at
// most about 256 x 256 samples; 0 for an empty picture.
double LumaDeviation(const CDibImage& image);
// Below this deviation a picture is taken as blank: black, white or one flat
// colour with coding noise. A title card with a line of small text on black
// is far above it (about 30), and so is a dark but real scene (10 and more).
constexpr double kBlankLumaDeviation = 5.0;
inline bool IsNearlyUniform(const CDibImage& image) { return LumaDeviation(image) < kBlankLumaDeviation; }

// Refuses a Grab All whose frames would not fit in the memory available now:
// every frame keeps a full-size 24-bit picture. `available` 0 reads it from the
// system.
// `needed` 0 counts GrabMemoryNeed; callers that keep the frames smaller
// give what they will hold.
OpResult CheckGrabMemory(int width, int height, int n, uint64_t available = 0, uint64_t needed = 0,
                         const char* advice = "Choose fewer frames.");
// The bytes CheckGrabMemory counts for n frames of width x height.
uint64_t GrabMemoryNeed(int width, int height, int n);
