#include "decoding/tone_mapper.h"

#include <cstdio>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
}

namespace {
// Linear light relative to 100 nits in the BT.709 gamut as float RGB, the
// Hable curve without desaturation (desaturating is what makes HDR look washed
// out in the first place), then the BT.709 transfer into 8-bit RGB. Going to
// linear light and changing the gamut in one step gives the same bytes as two
// steps at half the cost (a third for HLG).
constexpr const char* kChain =
    "zscale=t=linear:npl=100:p=bt709,format=gbrpf32le,tonemap=tonemap=hable:desat=0,"
    "zscale=t=bt709:m=bt709:r=tv,format=gbrp";
}  // namespace

void ToneMapper::GraphDeleter::operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }

ToneMapper::ToneMapper() = default;
ToneMapper::~ToneMapper() = default;

bool ToneMapper::IsHdr(const AVFrame* frame) {
    return frame && (frame->color_trc == AVCOL_TRC_SMPTE2084 || frame->color_trc == AVCOL_TRC_ARIB_STD_B67);
}

bool ToneMapper::Build(const Key& key) {
    m_graph.reset();
    m_source = m_sink = nullptr;
    m_key = key;
    m_failed = true;
    std::unique_ptr<AVFilterGraph, GraphDeleter> graph(avfilter_graph_alloc());
    if (!graph) return false;
    // The decoder's thread does the work, as it does the rest of the conversion.
    graph->nb_threads = 1;
    char args[160];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/25:pixel_aspect=1/1", key.width,
                  key.height, key.format);
    AVFilterContext* source = nullptr;
    AVFilterContext* sink = nullptr;
    if (avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), "in", args, nullptr, graph.get()) < 0 ||
        avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                     graph.get()) < 0) {
        return false;
    }
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    int rc = AVERROR(ENOMEM);
    if (outputs && inputs) {
        outputs->name = av_strdup("in");
        outputs->filter_ctx = source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink;
        rc = avfilter_graph_parse_ptr(graph.get(), kChain, &inputs, &outputs, nullptr);
    }
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (rc < 0 || avfilter_graph_config(graph.get(), nullptr) < 0) return false;
    m_graph = std::move(graph);
    m_source = source;
    m_sink = sink;
    m_failed = false;
    return true;
}

FramePtr ToneMapper::Map(const AVFrame* frame) {
    if (!IsHdr(frame) || frame->width <= 0 || frame->height <= 0) return nullptr;
    FramePtr input = MakeFrame();
    if (!input || av_frame_ref(input.get(), frame) < 0) return nullptr;
    // Streams that name their transfer but not the rest are BT.2020, as every
    // HDR format is.
    if (input->color_primaries == AVCOL_PRI_UNSPECIFIED) input->color_primaries = AVCOL_PRI_BT2020;
    if (input->colorspace == AVCOL_SPC_UNSPECIFIED) input->colorspace = AVCOL_SPC_BT2020_NCL;
    if (input->color_range == AVCOL_RANGE_UNSPECIFIED) input->color_range = AVCOL_RANGE_MPEG;
    input->pts = 0;
    const Key key{input->width,           input->height,     input->format,     input->color_trc,
                  input->color_primaries, input->colorspace, input->color_range};
    if (!(key == m_key) || (!m_graph && !m_failed)) Build(key);
    if (m_failed || !m_graph) return nullptr;

    FramePtr output = MakeFrame();
    if (!output || av_buffersrc_add_frame_flags(m_source, input.get(), 0) < 0 ||
        av_buffersink_get_frame(m_sink, output.get()) < 0) {
        // A graph that failed midway may hold a half-processed frame: start afresh.
        m_graph.reset();
        m_key = Key{};
        return nullptr;
    }
    return output;
}
