#include "decoding/media_source.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <vector>

extern "C" {
#include <libavutil/display.h>
}

#include "decoding/player_types.h"

std::string AvErrorText(int code) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(code, buffer, sizeof buffer) < 0 || buffer[0] == '\0') return kOpenFailedText;
    return buffer;
}

namespace {
std::mutex g_readerMutex;
MovieReader g_reader;

MovieReader CurrentReader() {
    std::lock_guard lock(g_readerMutex);
    return g_reader;
}
}  // namespace

void SetMovieReader(MovieReader reader) {
    std::lock_guard lock(g_readerMutex);
    g_reader = std::move(reader);
}

void FormatContextDeleter::operator()(AVFormatContext* c) const {
    // A reader handed in from outside stays its owner's to free.
    AVIOContext* own = c && (c->flags & AVFMT_FLAG_CUSTOM_IO) ? c->pb : nullptr;
    avformat_close_input(&c);
    if (own) {
        MovieReader reader = CurrentReader();
        if (reader.close) reader.close(own);
    }
}

void ClearTryAgain(AVFormatContext* fmt) {
    if (!fmt || !fmt->pb || fmt->pb->error != AVERROR(EAGAIN)) return;
    fmt->pb->error = 0;
    fmt->pb->eof_reached = 0;
}

bool IsWindowsMediaPath(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return lower.find(".asf") != std::string::npos || lower.find(".wma") != std::string::npos ||
           lower.find(".wmv") != std::string::npos;
}

void ReadInterrupt::SetDeadline(std::chrono::steady_clock::duration limit) {
    m_deadline = std::chrono::duration_cast<std::chrono::nanoseconds>(
                     (std::chrono::steady_clock::now() + limit).time_since_epoch())
                     .count();
}

bool ReadInterrupt::Interrupted() const {
    if (m_abort.load()) return true;
    const std::atomic<bool>* follow = m_follow.load();
    if (follow && follow->load()) return true;
    const int64_t deadline = m_deadline.load();
    if (deadline == INT64_MAX) return false;
    const int64_t now =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    return now > deadline;
}

int ReadInterrupt::Check(void* self) { return static_cast<const ReadInterrupt*>(self)->Interrupted() ? 1 : 0; }

namespace {

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

// A picture or sound stream with a decoder and the parameters it needs: a
// size, or a sample rate and channels.
bool HasUsableStream(const AVFormatContext* fmt) {
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVCodecParameters* par = fmt->streams[i]->codecpar;
        if (!avcodec_find_decoder(par->codec_id)) continue;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && par->width > 0 && par->height > 0) return true;
        if (par->codec_type == AVMEDIA_TYPE_AUDIO && par->sample_rate > 0 && par->ch_layout.nb_channels > 0)
            return true;
    }
    return false;
}

// Opens the file with one demuxer (null: FFmpeg's probing) and reads its
// stream parameters; a demuxer that finds no usable stream counts as failing.
int OpenDemuxer(const std::string& path, const AVInputFormat* format, ReadInterrupt& interrupt,
                FormatContextPtr& out) {
    out.reset();
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) return AVERROR(ENOMEM);
    raw->interrupt_callback = interrupt.Callback();
    const MovieReader reader = CurrentReader();
    AVIOContext* custom = nullptr;
    if (reader.open) {
        custom = reader.open(path, interrupt.Callback());
        if (!custom) {
            avformat_free_context(raw);
            return AVERROR(EIO);
        }
        raw->pb = custom;
    }
    // The full path goes to the demuxer whatever its length.
    int rc = avformat_open_input(&raw, path.c_str(), format, nullptr);
    if (rc < 0) {
        // avformat_open_input frees raw on failure, but not a reader given to it.
        if (custom && reader.close) reader.close(custom);
        return rc;
    }
    FormatContextPtr fmt(raw);
    rc = avformat_find_stream_info(fmt.get(), nullptr);
    // The stream information read fails on damage it meets on the way (as
    // the ffmpeg tools only warn); what it found up to there is used when it
    // is enough to decode with. A read broken off is the owner's to report.
    if (rc < 0 && (rc == AVERROR_EXIT || interrupt.Interrupted())) return rc;
    if (!HasUsableStream(fmt.get())) return rc < 0 ? rc : AVERROR_STREAM_NOT_FOUND;
    out = std::move(fmt);
    return 0;
}

}  // namespace

int OpenMediaSource(const std::string& path, FormatContextPtr& out, MediaInfo& info, std::string& message,
                    ReadInterrupt& interrupt) {
    // Damaged input is expected and handled; the libraries' own notes about
    // it would only clutter the terminal.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_FATAL); });
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

    // Probing gives up after a few seconds so that odd input cannot hang an
    // open; the owner's abort flag breaks it off at once.
    interrupt.SetDeadline(std::chrono::seconds(8));
    struct DeadlineEnd {
        ReadInterrupt& interrupt;
        ~DeadlineEnd() { interrupt.ClearDeadline(); }
    } deadlineEnd{interrupt};
    // Windows Media names go to the ASF demuxer first. A name can say so by
    // accident (a folder called x.wmv), so a file that demuxer cannot read is
    // probed as usual next.
    std::vector<const AVInputFormat*> formats;
    if (IsWindowsMediaPath(path))
        if (const AVInputFormat* asf = av_find_input_format("asf")) formats.push_back(asf);
    formats.push_back(nullptr);
    int firstError = 0;
    FormatContextPtr fmt;
    for (const AVInputFormat* format : formats) {
        const int rc = OpenDemuxer(path, format, interrupt, fmt);
        if (rc >= 0) break;
        if (firstError == 0) firstError = rc;
        if (rc == AVERROR_EXIT || interrupt.Interrupted()) return Fail(rc, message);
    }
    if (!fmt) {
        // The library's own words ("End of file", "Invalid data found...")
        // do not say what was being done; the user is told first.
        Fail(firstError, message);
        message = firstError == AVERROR_STREAM_NOT_FOUND
                      ? "No picture or sound stream that can be decoded was found in the file."
                      : "The file cannot be read as a movie: " + message;
        return firstError;
    }

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

void ResetStreamDecoder(AVFormatContext* fmt, int index, int threads, CodecContextPtr& decoder) {
    if (!decoder) return;
    avcodec_flush_buffers(decoder.get());
    // FFV1's decoder keeps the coding state of the last key frame over a
    // flush. A damaged key frame after the seek then passes for a picture that
    // goes on from that state, and so do the pictures after it: garbage the
    // ffmpeg tools never show, since they decode from the start. A new
    // decoder starts clean; without one, the flushed one goes on.
    if (decoder->codec_id != AV_CODEC_ID_FFV1) return;
    CodecContextPtr fresh;
    if (OpenStreamDecoder(fmt, index, threads, fresh) == 0) decoder = std::move(fresh);
}
