#pragma once
// HDR pictures (PQ or HLG transfer, as phones record them) shown as people see
// them: FFmpeg's filters take the picture to linear light, tone-map it with
// the Hable curve into the BT.709 gamut and apply the BT.709 transfer, giving
// 8-bit RGB. Converted as if it were SDR, such a picture comes out grey and
// washed out. One filter graph is kept and remade only when the frames change
// size, format or colour description; it runs on the calling thread.
#include <memory>

#include "decoding/ff_handles.h"

struct AVFilterGraph;
struct AVFilterContext;

class ToneMapper {
public:
    ToneMapper();
    ~ToneMapper();
    ToneMapper(const ToneMapper&) = delete;
    ToneMapper& operator=(const ToneMapper&) = delete;

    // The frame's transfer is PQ (SMPTE ST 2084) or HLG (ARIB STD-B67).
    static bool IsHdr(const AVFrame* frame);
    // The frame tone-mapped to 8-bit RGB (AV_PIX_FMT_GBRP), or null when the
    // filters cannot be had or fail on it.
    FramePtr Map(const AVFrame* frame);

private:
    struct Key {
        int width = 0, height = 0, format = -1, trc = -1, primaries = -1, space = -1, range = -1;
        bool operator==(const Key&) const = default;
    };
    bool Build(const Key& key);

    struct GraphDeleter {
        void operator()(AVFilterGraph* graph) const;
    };
    std::unique_ptr<AVFilterGraph, GraphDeleter> m_graph;
    AVFilterContext* m_source = nullptr;
    AVFilterContext* m_sink = nullptr;
    Key m_key;
    bool m_failed = false;  // the graph for m_key could not be made: not tried again
};
