#pragma once
// How much a frame is worth showing: not blank, not caught in a fade or a
// dissolve, sharp. Compared only between frames of one stretch of a movie
// (detail depends on what is filmed), to prefer the sharp frames of a shot
// over blurred or fading ones.
#include "frames/small_picture.h"

// True when nearly all of the picture is one colour: black, white or flat,
// even with a channel logo, a watermark or a line of small text on it.
bool IsBlankPicture(const SmallPicture& picture);

struct FrameScore {
    bool blank = false;
    bool inTransition = false;
    double detail = 0.0;
};

// `after` is the frame a few frames later (empty when there is none): a
// picture whose colours drift that fast is inside a fade or a dissolve.
FrameScore ScoreFrame(const SmallPicture& picture, const SmallPicture& after, int framesApart);

// True when `a` is the better frame to show: not blank first, then not in a
// transition, then the sharper.
bool BetterFrame(const FrameScore& a, const FrameScore& b);
