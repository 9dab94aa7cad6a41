#pragma once
// A movie frame reduced to what telling shots apart needs: a luma picture a
// few dozen pixels wide, a colour histogram, and a measure of fine detail
// taken from the full-size picture (the small one has lost it). Made on the
// decoder threads straight from the decoded planes, so no full-size colour
// conversion is paid for frames that are only looked at.
#include <array>
#include <cstdint>
#include <vector>

#include "decoding/ff_handles.h"

struct SmallPicture {
    static constexpr int kWidth = 48;
    static constexpr int kBins = 128;  // 8 luma x 4 x 4 chroma levels

    int width = 0;
    int height = 0;
    std::vector<uint8_t> luma;        // width x height, row by row
    std::array<float, kBins> colours{};  // sums to 1
    double detail = 0.0;               // variance of a Laplacian on full-size luma samples
    bool Empty() const { return luma.empty(); }
};

// Makes small pictures of decoded frames of one stream; keeps what a picture
// format that is not read directly needs between frames.
class SmallPictureMaker {
public:
    // False when the frame cannot be read (an unknown format that cannot be converted).
    bool Make(const AVFrame* frame, SmallPicture& out);

private:
    SwsPtr m_sws;
    FramePtr m_converted;
    int m_srcW = 0, m_srcH = 0, m_srcFormat = -1;
};

// 0 (the same colours) to 1 (no colour in common).
double ColourDistance(const SmallPicture& a, const SmallPicture& b);
// Pearson correlation of the luma pictures, -1 to 1: near 1 for the same
// picture brighter or darker (a fade), low for another picture; 0 when either is flat.
double LumaCorrelation(const SmallPicture& a, const SmallPicture& b);
// Mean absolute luma difference, 0 to 1; 1 when the sizes differ.
double LumaDistance(const SmallPicture& a, const SmallPicture& b);
