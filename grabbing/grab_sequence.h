#pragma once
// Taking frames from a player: the frame on screen, and Grab All's N frames
// spread evenly over the movie. The window and the command-line tool both step
// the player through these, so both get the same frames and the same labels.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image/dib_image.h"
#include "base/op_result.h"
#include "base/typed_number.h"  // AtoiLike, for Grab All's count
#include "decoding/video_image.h"

class CMoviePlayer;

struct GrabbedFrame {
    std::unique_ptr<CDibImage> image;
    std::string label;  // FormatTimeLabel of the position after the grab
};

// Opens `movie` without sound for grabbing and reads its picture size (with
// the rotation applied); refused with the player's reason, or when the file
// has no picture to grab.
OpResult OpenForGrabbing(CMoviePlayer& player, const std::string& movie, int32_t& width, int32_t& height);

// The picture on screen and the position read after taking it; an empty image
// when the player has none (a frame that cannot be grabbed is left out).
GrabbedFrame GrabCurrentFrame(CMoviePlayer& player);

// Relative seek clamped to 0 ... duration, showing the exact frame there when
// the movie is not running. Answers the position asked for.
double SeekPlayerBy(CMoviePlayer& player, double seconds);


struct GrabAllHooks {
    // After each seek, before its grab (the window moves its slider here).
    std::function<void(double position)> afterSeek;
    // Every grabbed frame in order; frames the player could not give are left out.
    std::function<void(GrabbedFrame frame)> take;
    // After each step with (steps done, N); false stops the sequence there.
    std::function<bool(int done, int total)> progress;
    // Optional, unset in the window: true for a picture that should not stand
    // for its step (see IsNearlyUniform). It is then replaced by the first later
    // picture this accepts, no later than `lookAhead` steps after the target and
    // labelled with that picture's own time; when there is none, it stays.
    std::function<bool(const CDibImage&)> rejects;
    double lookAhead = 0.25;
};

// N steps of duration / (N + 1) from the player's current position (callers
// rewind first), grabbing the frame after each. Nothing for N < 1. Answers the
// number of steps taken (less than N only when progress stopped it).
int GrabEvenlySpaced(CMoviePlayer& player, int n, const GrabAllHooks& hooks);

// Where GrabEvenlySpaced's n steps of duration / (n + 1) from `start` settle.
std::vector<double> EvenStepPositions(double start, double duration, int n);
// How far GrabEvenlySpaced looks for a replacement of a blank picture at each
// of those steps (`lookAhead` steps past the time it asked for).
std::vector<double> EvenStepLimits(double start, double duration, int n, double lookAhead);

// Grabs the exact frame at each of `positions` (ascending, absolute seconds),
// with the player told of them all first so that its workers decode ahead,
// and the same blank-picture rule as GrabEvenlySpaced: a rejected picture is
// replaced by the first later one accepted, no later than `latest[k]` seconds
// (one entry per position; nothing is looked for when `latest` is empty).
// `hooks.lookAhead` is not used. Answers the number of positions taken.
int GrabAtPositions(CMoviePlayer& player, const std::vector<double>& positions, const std::vector<double>& latest,
                    const GrabAllHooks& hooks);

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
