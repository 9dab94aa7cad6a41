#include "decoding/frame_converter.h"

#include <cstring>
#include <new>

extern "C" {
#include <libavutil/pixdesc.h>
}

void FrameConverter::DisplaySize(int codedW, int codedH, AVRational sar, int* w, int* h) {
    *w = codedW;
    *h = codedH;
    if (sar.num <= 0 || sar.den <= 0 || sar.num == sar.den) return;
    // Widen, never narrow: pixels wider than tall stretch the width, pixels
    // taller than wide stretch the height.
    if (sar.num > sar.den)
        *w = int(av_rescale(codedW, sar.num, sar.den));
    else
        *h = int(av_rescale(codedH, sar.den, sar.num));
}

static bool IsFullRange(const AVFrame* frame) {
    switch (frame->format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
        return true;
    default:
        return frame->color_range == AVCOL_RANGE_JPEG;
    }
}

bool FrameConverter::Prepare(const AVFrame* frame, int dstW, int dstH) {
    const bool same = m_sws && m_srcW == frame->width && m_srcH == frame->height &&
                      m_srcFormat == frame->format && m_dstW == dstW && m_dstH == dstH;
    if (!same) {
        m_sws.reset(sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), dstW, dstH,
                                   AV_PIX_FMT_BGR0, SWS_BICUBIC, nullptr, nullptr, nullptr));
        if (!m_sws) return false;
        m_srcW = frame->width;
        m_srcH = frame->height;
        m_srcFormat = frame->format;
        m_dstW = dstW;
        m_dstH = dstH;
        m_colorspace = -1;
        m_fullRange = -1;
    }
    const int colorspace = frame->colorspace;
    const int fullRange = IsFullRange(frame) ? 1 : 0;
    if (colorspace != m_colorspace || fullRange != m_fullRange) {
        const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
        if (desc && !(desc->flags & AV_PIX_FMT_FLAG_RGB)) {
            // An unspecified matrix is taken as BT.601, the common default of
            // encoders that do not tag their output.
            const int* coefficients = sws_getCoefficients(colorspace);
            sws_setColorspaceDetails(m_sws.get(), coefficients, fullRange, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                                     0, 1 << 16, 1 << 16);
        }
        m_colorspace = colorspace;
        m_fullRange = fullRange;
    }
    return true;
}

bool FrameConverter::Scale(const AVFrame* frame, int& w, int& h) {
    if (!frame || frame->width <= 0 || frame->height <= 0) return false;
    // Where the filters fail the picture is still shown, as plain SDR.
    FramePtr mapped;
    if (ToneMapper::IsHdr(frame)) mapped = m_toneMapper.Map(frame);
    if (mapped) frame = mapped.get();
    DisplaySize(frame->width, frame->height, m_sar, &w, &h);
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return false;
    if (!Prepare(frame, w, h)) return false;
    // swscale's vector code writes whole blocks of pixels, so it runs past the
    // end of a row whose width is not a multiple of its block (728 pixels is
    // one). It writes into a picture laid out as FFmpeg's own allocator makes
    // it, aligned rows and padding after the last, and the rows are copied out.
    if (!PrepareTarget(w, h)) return false;
    return sws_scale(m_sws.get(), frame->data, frame->linesize, 0, frame->height, m_target->data,
                     m_target->linesize) > 0;
}

std::shared_ptr<VideoImage> FrameConverter::Convert(const AVFrame* frame, double time) {
    int w = 0, h = 0;
    if (!Scale(frame, w, h)) return nullptr;
    auto image = std::make_shared<VideoImage>();
    try {
        // Appended row by row rather than sized first: a 1080p picture is
        // 8 MB, and clearing it only to overwrite it costs as much as the copy.
        image->pixels.reserve(size_t(w) * size_t(h));
        for (int y = 0; y < h; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(m_target->data[0] + size_t(y) * size_t(m_target->linesize[0]));
            image->pixels.insert(image->pixels.end(), row, row + w);
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    image->width = w;
    image->height = h;
    image->time = time;
    RotatePixels(*image, m_rotation);
    return image;
}

bool FrameConverter::ConvertInto(const AVFrame* frame, CDibImage& out) {
    if (m_rotation == 90 || m_rotation == 180 || m_rotation == 270) {
        // Turned pictures go the shown pictures' way; they are the rare ones.
        const std::shared_ptr<VideoImage> image = Convert(frame, 0.0);
        return image && CopyToDib(*image, out);
    }
    int w = 0, h = 0;
    if (!Scale(frame, w, h)) return false;
    return CopyBgrxToDib(m_target->data[0], size_t(m_target->linesize[0]), w, h, out);
}

bool FrameConverter::PrepareTarget(int w, int h) {
    if (m_target && m_target->width == w && m_target->height == h) return true;
    m_target = MakeFrame();
    if (!m_target) return false;
    m_target->format = AV_PIX_FMT_BGR0;
    m_target->width = w;
    m_target->height = h;
    if (av_frame_get_buffer(m_target.get(), 0) < 0) {
        m_target.reset();
        return false;
    }
    return true;
}

void RotatePixels(VideoImage& image, int rotation) {
    if (rotation != 90 && rotation != 180 && rotation != 270) return;
    const int w = image.width, h = image.height;
    std::vector<uint32_t> out(image.pixels.size());
    const uint32_t* src = image.pixels.data();
    if (rotation == 180) {
        for (size_t i = 0, n = out.size(); i < n; ++i) out[n - 1 - i] = src[i];
    } else {
        // The new picture is h wide and w tall.
        for (int y = 0; y < h; ++y) {
            const uint32_t* row = src + size_t(y) * w;
            for (int x = 0; x < w; ++x) {
                int nx, ny;
                if (rotation == 90) {
                    nx = h - 1 - y;
                    ny = x;
                } else {
                    nx = y;
                    ny = w - 1 - x;
                }
                out[size_t(ny) * h + nx] = row[x];
            }
        }
        image.width = h;
        image.height = w;
    }
    image.pixels.swap(out);
}
