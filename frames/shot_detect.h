#pragma once
// Where shots change, from small pictures of a movie's frames in time order
// (not necessarily every frame: a scan may leave out frames nothing refers
// to). Window-free and decoder-free, so it can be fed any sequence.
//
// Hard cuts show as a jump between two neighbouring pictures that stands out
// from the jumps around it; a fade or a dissolve as colours that keep drifting
// until the pictures on either side have little colour in common. A flash
// (one or two bright frames) leaves the pictures on either side alike, fast
// motion, a pan or a zoom keep the colours, so neither makes a boundary.
#include <cstdint>
#include <vector>

#include "frames/small_picture.h"

struct ScanSample {
    double time = 0.0;  // movie seconds of the frame
    SmallPicture picture;
};

enum class BoundaryKind { Cut, Gradual };

struct ShotBoundary {
    BoundaryKind kind = BoundaryKind::Cut;
    // The first frame of the new shot: for a cut, samples[after] unless a
    // frame between samples[before] and it was not looked at; for a gradual
    // change, a frame inside it.
    double time = 0.0;
    size_t before = 0;
    size_t after = 0;
    // The stretch of the change (a cut: the two frames either side).
    double changeStart = 0.0;
    double changeEnd = 0.0;
};

std::vector<ShotBoundary> FindBoundaries(const std::vector<ScanSample>& samples);

// Of frames lying strictly between a cut's two sides, in time order, the index
// of the first that belongs to the new shot (`frames.size()` when none does).
size_t FirstFrameOfNewShot(const SmallPicture& before, const SmallPicture& after,
                           const std::vector<SmallPicture>& frames);

struct Shot {
    double start = 0.0;  // seconds of its first frame
    double end = 0.0;    // seconds where the next shot (or the movie) begins
    int64_t firstFrame = 0;
    int64_t lastFrame = 0;
    bool blank = false;  // most of its frames are blank (a black gap between shots)
    double Length() const { return end - start; }
};

// Shots shorter than this merge into a neighbour.
constexpr double kShortestShot = 0.5;

// The shots between the boundaries' times (ascending, inside the movie) of a
// movie of `duration` seconds at `frameDuration` seconds a frame; frames are
// numbered from 0 by time.
std::vector<Shot> ShotsBetween(std::vector<double> boundaries, double duration, double frameDuration);
