#include "video/media_source.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <filesystem>

extern "C" {
#include <libavutil/display.h>
}

#include "video/player_types.h"

std::string AvErrorText(int code) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(code, buffer, sizeof buffer) < 0 || buffer[0] == '\0') return kOpenFailedText;
    return buffer;
}

bool IsWindowsMediaPath(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return lower.find(".asf") != std::string::npos || lower.find(".wma") != std::string::npos ||
           lower.find(".wmv") != std::string::npos;
}

namespace {

// Probing gives up after a few seconds so that odd input cannot hang an open.
// The I/O layer keeps the callback for the file's whole life and calls it from
// whichever thread reads, so the deadline is per thread and unset (never
// interrupting) outside an open.
thread_local std::chrono::steady_clock::time_point t_openDeadline = std::chrono::steady_clock::time_point::max();

int CheckOpenDeadline(void*) { return std::chrono::steady_clock::now() > t_openDeadline ? 1 : 0; }

struct DeadlineScope {
    explicit DeadlineScope(std::chrono::seconds limit) { t_openDeadline = std::chrono::steady_clock::now() + limit; }
    ~DeadlineScope() { t_openDeadline = std::chrono::steady_clock::time_point::max(); }
};

int RotationOf(const AVStream* stream) {
    const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (!matrix) return 0;
    double theta = -av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
    if (std::isnan(theta)) return 0;
    theta -= 360.0 * std::floor(theta / 360.0 + 0.9 / 360.0);
    int quarter = int(std::lround(theta / 90.0)) % 4;
    return quarter * 90;
}

int Fail(int code, std::string& message) {
    message = AvErrorText(code);
    return code;
}

}  // namespace

int OpenMediaSource(const std::string& path, FormatContextPtr& out, MediaInfo& info, std::string& message) {
    out.reset();
    info = MediaInfo{};
    std::error_code ec;
    if (path.empty()) return Fail(AVERROR(ENOENT), message);
    if (std::filesystem::is_directory(path, ec)) return Fail(AVERROR(EISDIR), message);
    // A named pipe, socket or device on disk is no movie file, and opening a
    // pipe without a writer would wait forever where no deadline reaches.
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        return Fail(AVERROR_INVALIDDATA, message);

    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) return Fail(AVERROR(ENOMEM), message);
    DeadlineScope deadline(std::chrono::seconds(8));
    raw->interrupt_callback.callback = &CheckOpenDeadline;
    raw->interrupt_callback.opaque = nullptr;
    const AVInputFormat* forced = IsWindowsMediaPath(path) ? av_find_input_format("asf") : nullptr;
    // The full path goes to the demuxer whatever its length.
    int rc = avformat_open_input(&raw, path.c_str(), forced, nullptr);
    if (rc < 0) return Fail(rc, message);  // avformat_open_input frees raw on failure
    FormatContextPtr fmt(raw);
    rc = avformat_find_stream_info(fmt.get(), nullptr);
    if (rc < 0) return Fail(rc, message);

    int video = av_find_best_stream(fmt.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video >= 0) {
        const AVStream* st = fmt->streams[video];
        if ((st->disposition & AV_DISPOSITION_ATTACHED_PIC) || st->codecpar->width <= 0 ||
            st->codecpar->height <= 0 || !avcodec_find_decoder(st->codecpar->codec_id))
            video = -1;
    }
    int audio = av_find_best_stream(fmt.get(), AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
    if (audio >= 0) {
        const AVStream* st = fmt->streams[audio];
        if (st->codecpar->sample_rate <= 0 || st->codecpar->ch_layout.nb_channels <= 0 ||
            !avcodec_find_decoder(st->codecpar->codec_id))
            audio = -1;
    }
    if (video < 0 && audio < 0) {
        // Nothing to show or play: the file opened but holds no usable stream.
        return Fail(AVERROR_STREAM_NOT_FOUND, message);
    }

    info.videoStream = video;
    info.audioStream = audio;
    if (fmt->start_time != AV_NOPTS_VALUE) info.startTime = double(fmt->start_time) / AV_TIME_BASE;
    if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0) info.duration = double(fmt->duration) / AV_TIME_BASE;
    if (video >= 0) {
        AVStream* st = fmt->streams[video];
        info.rotation = RotationOf(st);
        info.codedWidth = st->codecpar->width;
        info.codedHeight = st->codecpar->height;
        info.sampleAspect = av_guess_sample_aspect_ratio(fmt.get(), st, nullptr);
        AVRational rate = av_guess_frame_rate(fmt.get(), st, nullptr);
        if (rate.num > 0 && rate.den > 0) info.frameDuration = av_q2d(av_inv_q(rate));
        if (info.duration <= 0 && st->duration != AV_NOPTS_VALUE)
            info.duration = double(st->duration) * av_q2d(st->time_base);
    }
    // Only the chosen streams are read; the demuxer drops the rest early.
    for (unsigned i = 0; i < fmt->nb_streams; ++i)
        if (int(i) != video && int(i) != audio) fmt->streams[i]->discard = AVDISCARD_ALL;
    out = std::move(fmt);
    return 0;
}

int OpenStreamDecoder(AVFormatContext* fmt, int index, int threads, CodecContextPtr& out) {
    out.reset();
    if (!fmt || index < 0 || unsigned(index) >= fmt->nb_streams) return AVERROR(EINVAL);
    const AVStream* st = fmt->streams[index];
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec) return AVERROR_DECODER_NOT_FOUND;
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) return AVERROR(ENOMEM);
    int rc = avcodec_parameters_to_context(ctx.get(), st->codecpar);
    if (rc < 0) return rc;
    ctx->pkt_timebase = st->time_base;
    ctx->thread_count = threads;
    ctx->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    rc = avcodec_open2(ctx.get(), codec, nullptr);
    if (rc < 0) return rc;
    out = std::move(ctx);
    return 0;
}
