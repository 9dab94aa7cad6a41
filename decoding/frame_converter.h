#pragma once
// Turns decoded frames into VideoImage pictures: HDR pictures tone-mapped to
// SDR, colour conversion honouring the frame's matrix and range, non-square
// pixels widened to the display aspect, then the stream's rotation.
#include "decoding/ff_handles.h"
#include "decoding/tone_mapper.h"
#include "decoding/video_image.h"

class CDibImage;

class FrameConverter {
public:
    // rotation: clockwise degrees, 0, 90, 180 or 270. sar: sample aspect ratio
    // (0/1 or 1/1 for square pixels).
    void SetGeometry(int rotation, AVRational sar) {
        m_rotation = rotation;
        m_sar = sar;
    }
    // Null when the frame cannot be converted.
    std::shared_ptr<VideoImage> Convert(const AVFrame* frame, double time);
    // The same picture straight into a 24-bit image (for grabs that are not
    // shown), without an intermediate copy; false when it cannot be converted.
    bool ConvertInto(const AVFrame* frame, CDibImage& out);

    // Display size before rotation for a coded size, after widening.
    static void DisplaySize(int codedW, int codedH, AVRational sar, int* w, int* h);

private:
    // Converts into m_target (display size, before rotation): false on failure.
    bool Scale(const AVFrame* frame, int& w, int& h);
    bool Prepare(const AVFrame* frame, int dstW, int dstH);
    // m_target as a w x h BGR0 picture from FFmpeg's allocator.
    bool PrepareTarget(int w, int h);

    SwsPtr m_sws;
    // Where swscale writes; kept between frames of one size.
    FramePtr m_target;
    ToneMapper m_toneMapper;
    int m_rotation = 0;
    AVRational m_sar{0, 1};
    // What m_sws was made for.
    int m_srcW = 0, m_srcH = 0, m_srcFormat = -1, m_dstW = 0, m_dstH = 0;
    int m_colorspace = -1, m_fullRange = -1;
};

// Rotates a top-down 32-bit picture clockwise by 90, 180 or 270 degrees.
void RotatePixels(VideoImage& image, int rotation);
