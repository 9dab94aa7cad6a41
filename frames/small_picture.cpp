#include "frames/small_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace {

// The planes of a frame in a layout read directly: 8-bit luma, chroma either
// planar or interleaved (NV12), subsampled by 2^sx, 2^sy.
struct Planes {
    const uint8_t* y = nullptr;
    const uint8_t* u = nullptr;
    const uint8_t* v = nullptr;
    int yStride = 0, cStride = 0;
    int cStep = 1;  // bytes between chroma samples of one row
    int sx = 0, sy = 0;
    bool colour = true;
};

bool DirectPlanes(const AVFrame* frame, Planes& p) {
    switch (frame->format) {
        case AV_PIX_FMT_YUV420P: case AV_PIX_FMT_YUVJ420P: p.sx = 1; p.sy = 1; break;
        case AV_PIX_FMT_YUV422P: case AV_PIX_FMT_YUVJ422P: p.sx = 1; p.sy = 0; break;
        case AV_PIX_FMT_YUV444P: case AV_PIX_FMT_YUVJ444P: p.sx = 0; p.sy = 0; break;
        case AV_PIX_FMT_NV12: p.sx = 1; p.sy = 1; p.cStep = 2; break;
        case AV_PIX_FMT_GRAY8: p.colour = false; break;
        default: return false;
    }
    p.y = frame->data[0];
    p.yStride = frame->linesize[0];
    if (p.colour) {
        p.u = frame->data[1];
        p.v = frame->format == AV_PIX_FMT_NV12 ? frame->data[1] + 1 : frame->data[2];
        p.cStride = frame->linesize[1];
    }
    return p.y && p.yStride > 0 && (!p.colour || (p.u && p.v && p.cStride > 0));
}

// Variance of the 4-neighbour Laplacian over about 40 rows of the full-size
// luma, every second pixel: blur and fades lower it, sharp edges raise it.
double Detail(const uint8_t* y, int stride, int w, int h) {
    if (w < 3 || h < 3) return 0.0;
    const int rows = std::min(h - 2, 40);
    double sum = 0.0, squares = 0.0;
    long count = 0;
    for (int r = 0; r < rows; ++r) {
        const int row = 1 + int((long(r) * (h - 2)) / rows);
        const uint8_t* up = y + long(row - 1) * stride;
        const uint8_t* mid = up + stride;
        const uint8_t* down = mid + stride;
        for (int x = 1; x < w - 1; x += 2) {
            const int lap = 4 * mid[x] - mid[x - 1] - mid[x + 1] - up[x] - down[x];
            sum += lap;
            squares += double(lap) * lap;
            ++count;
        }
    }
    const double mean = sum / double(count);
    return squares / double(count) - mean * mean;
}

void Reduce(const Planes& p, int w, int h, SmallPicture& out) {
    out.width = SmallPicture::kWidth;
    out.height = std::clamp(int(std::lround(double(out.width) * h / w)), 4, 4 * SmallPicture::kWidth);
    out.luma.assign(size_t(out.width) * out.height, 0);
    out.colours.fill(0.0f);
    const int cw = std::max(1, w >> p.sx), ch = std::max(1, h >> p.sy);
    for (int cy = 0; cy < out.height; ++cy) {
        const int y0 = int(long(cy) * h / out.height), y1 = std::max(y0 + 1, int(long(cy + 1) * h / out.height));
        const int ystep = std::max(1, (y1 - y0) / 4);
        for (int cx = 0; cx < out.width; ++cx) {
            const int x0 = int(long(cx) * w / out.width), x1 = std::max(x0 + 1, int(long(cx + 1) * w / out.width));
            const int xstep = std::max(1, (x1 - x0) / 4);
            unsigned sum = 0, n = 0;
            for (int yy = y0; yy < y1; yy += ystep) {
                const uint8_t* row = p.y + long(yy) * p.yStride;
                for (int xx = x0; xx < x1; xx += xstep) {
                    sum += row[xx];
                    ++n;
                }
            }
            const int luma = int(sum / n);
            out.luma[size_t(cy) * out.width + cx] = uint8_t(luma);
            int u = 128, v = 128;
            if (p.colour) {
                const int sxc = std::min(cw - 1, ((x0 + x1) / 2) >> p.sx);
                const int syc = std::min(ch - 1, ((y0 + y1) / 2) >> p.sy);
                u = p.u[long(syc) * p.cStride + long(sxc) * p.cStep];
                v = p.v[long(syc) * p.cStride + long(sxc) * p.cStep];
            }
            out.colours[size_t((luma >> 5) * 16 + (u >> 6) * 4 + (v >> 6))] += 1.0f;
        }
    }
    const float cells = float(out.luma.size());
    for (float& bin : out.colours) bin /= cells;
    out.detail = Detail(p.y, p.yStride, w, h);
}

}  // namespace

bool SmallPictureMaker::Make(const AVFrame* frame, SmallPicture& out) {
    if (!frame || frame->width < 1 || frame->height < 1) return false;
    Planes planes;
    if (DirectPlanes(frame, planes)) {
        Reduce(planes, frame->width, frame->height, out);
        return true;
    }
    // Other formats (more bits, RGB, palettes) go through swscale into a
    // small 4:4:4 picture first; rare enough not to matter for speed.
    const int w = std::min(frame->width, 4 * SmallPicture::kWidth);
    const int h = std::max(1, int(std::lround(double(w) * frame->height / frame->width)));
    if (!m_sws || m_srcW != frame->width || m_srcH != frame->height || m_srcFormat != frame->format) {
        m_sws.reset(sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), w, h, AV_PIX_FMT_YUV444P,
                                   SWS_AREA, nullptr, nullptr, nullptr));
        m_converted = MakeFrame();
        if (!m_sws || !m_converted) return false;
        m_converted->width = w;
        m_converted->height = h;
        m_converted->format = AV_PIX_FMT_YUV444P;
        if (av_frame_get_buffer(m_converted.get(), 0) < 0) {
            m_sws.reset();
            return false;
        }
        m_srcW = frame->width;
        m_srcH = frame->height;
        m_srcFormat = frame->format;
    }
    if (sws_scale(m_sws.get(), frame->data, frame->linesize, 0, frame->height, m_converted->data,
                  m_converted->linesize) <= 0)
        return false;
    DirectPlanes(m_converted.get(), planes);
    Reduce(planes, w, h, out);
    return true;
}

double ColourDistance(const SmallPicture& a, const SmallPicture& b) {
    double shared = 0.0;
    for (size_t i = 0; i < a.colours.size(); ++i) shared += std::min(a.colours[i], b.colours[i]);
    return std::clamp(1.0 - shared, 0.0, 1.0);
}

double LumaDistance(const SmallPicture& a, const SmallPicture& b) {
    if (a.luma.size() != b.luma.size() || a.luma.empty()) return 1.0;
    long sum = 0;
    for (size_t i = 0; i < a.luma.size(); ++i) sum += std::abs(int(a.luma[i]) - int(b.luma[i]));
    return double(sum) / (255.0 * double(a.luma.size()));
}

double LumaCorrelation(const SmallPicture& a, const SmallPicture& b) {
    if (a.luma.size() != b.luma.size() || a.luma.empty()) return 0.0;
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    for (size_t i = 0; i < a.luma.size(); ++i) {
        const double x = a.luma[i], y = b.luma[i];
        sa += x;
        sb += y;
        saa += x * x;
        sbb += y * y;
        sab += x * y;
    }
    const double n = double(a.luma.size());
    const double va = saa - sa * sa / n, vb = sbb - sb * sb / n;
    if (va <= n || vb <= n) return 0.0;  // flatter than one level of spread
    return (sab - sa * sb / n) / std::sqrt(va * vb);
}
