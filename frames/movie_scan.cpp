#include "frames/movie_scan.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>

#include "base/index_pool.h"
#include "decoding/media_source.h"

namespace {

// Packets sent without a picture coming out before the decoder is asked for
// every frame after all (a codec that counts all its frames as unreferenced).
constexpr int kSilentPackets = 64;

class Stretch {
public:
    Stretch(const std::string& movie, double from, double until, const ScanOptions& options)
        : m_movie(movie), m_from(from), m_until(until), m_options(options) {}

    // The stretch's samples; false with `why` when the movie cannot be read.
    bool Scan(std::vector<ScanSample>& out, std::string& why, const std::function<void(double)>& reached) {
        m_interrupt.Follow(m_options.cancel);
        FormatContextPtr fmt;
        MediaInfo info;
        if (OpenMediaSource(m_movie, fmt, info, why, m_interrupt) < 0) return false;
        if (info.videoStream < 0) {
            why = "the movie has no picture";
            return false;
        }
        for (unsigned s = 0; s < fmt->nb_streams; ++s)
            if (int(s) != info.videoStream) fmt->streams[s]->discard = AVDISCARD_ALL;
        CodecContextPtr decoder;
        const int opened = OpenStreamDecoder(fmt.get(), info.videoStream, 1, decoder);
        if (opened < 0) {
            why = AvErrorText(opened);
            return false;
        }
        decoder->skip_frame = AVDISCARD_NONREF;
        decoder->skip_loop_filter = AVDISCARD_ALL;
        decoder->flags2 |= AV_CODEC_FLAG2_FAST;
        AVStream* stream = fmt->streams[info.videoStream];
        const double tb = av_q2d(stream->time_base);
        if (m_from > 0.0) {
            const int64_t ts = StreamTsOf(m_from, info.startTime, stream->time_base);
            if (av_seek_frame(fmt.get(), info.videoStream, ts, AVSEEK_FLAG_BACKWARD) < 0) {
                why = "cannot seek in the movie";
                return false;
            }
        }
        SmallPictureMaker maker;
        PacketPtr packet = MakePacket();
        FramePtr frame = MakeFrame();
        if (!packet || !frame) throw std::bad_alloc();
        double last = -1.0;
        int silent = 0;
        bool ended = false, done = false;
        while (!done) {
            if (Cancelled()) {
                why = "stopped";
                return false;
            }
            if (!ended) {
                const int rc = av_read_frame(fmt.get(), packet.get());
                if (rc < 0) {
                    if (rc == AVERROR_EXIT || m_interrupt.Interrupted()) {
                        why = "stopped";
                        return false;
                    }
                    ended = true;
                    avcodec_send_packet(decoder.get(), nullptr);
                } else {
                    if (packet->stream_index == info.videoStream) {
                        avcodec_send_packet(decoder.get(), packet.get());
                        if (++silent > kSilentPackets) decoder->skip_frame = AVDISCARD_DEFAULT;
                    }
                    av_packet_unref(packet.get());
                }
            }
            for (;;) {
                const int rc = avcodec_receive_frame(decoder.get(), frame.get());
                if (rc == AVERROR_EOF) {
                    done = true;
                    break;
                }
                if (rc < 0) break;
                silent = 0;
                const int64_t pts = frame->best_effort_timestamp;
                double time = pts != AV_NOPTS_VALUE ? double(pts) * tb - info.startTime : last + info.frameDuration;
                if (time <= last) time = last + 1e-6;
                last = time;
                if (time >= m_until) {
                    done = true;
                    break;
                }
                if (time >= m_from - 1e-6) {
                    ScanSample sample;
                    sample.time = time;
                    if (maker.Make(frame.get(), sample.picture)) out.push_back(std::move(sample));
                    if (reached) reached((time - m_from) / std::max(1e-6, m_until - m_from));
                }
                av_frame_unref(frame.get());
            }
            if (ended && !done) {
                // Drained without an end: nothing more comes.
                const int rc = avcodec_receive_frame(decoder.get(), frame.get());
                if (rc < 0) done = true;
            }
        }
        return true;
    }

private:
    bool Cancelled() const { return m_options.cancel && m_options.cancel->load(); }

    const std::string& m_movie;
    double m_from, m_until;
    const ScanOptions& m_options;
    ReadInterrupt m_interrupt;  // outlives the demuxer opened in Scan
};

}  // namespace

OpResult ScanMovie(const std::string& movie, double duration, const ScanOptions& options,
                   std::vector<ScanSample>& samples) {
    samples.clear();
    unsigned workers = options.threads ? options.threads : CoreCount();
    // Stretches shorter than a few seconds would spend more on seeking than they save.
    workers = std::max(1u, std::min(workers, unsigned(std::max(1.0, duration / 4.0))));
    if (!(duration > 0.0)) workers = 1;
    std::vector<std::vector<ScanSample>> parts(workers);
    std::vector<double> reached(workers, 0.0);
    std::mutex mutex;
    std::string failure;
    std::atomic<bool> failed{false};
    auto work = [&](size_t k) {
        if (failed) return;
        try {
            const double from = duration > 0.0 ? duration * double(k) / workers : 0.0;
            const double until = k + 1 < workers ? duration * double(k + 1) / workers : INFINITY;
            Stretch stretch(movie, from, until, options);
            std::string why;
            const auto report = [&](double share) {
                if (!options.progress) return;
                std::lock_guard lock(mutex);
                reached[k] = std::clamp(share, 0.0, 1.0);
                double sum = 0.0;
                for (double r : reached) sum += r;
                options.progress(sum / workers);
            };
            if (!stretch.Scan(parts[k], why, report)) {
                std::lock_guard lock(mutex);
                if (failure.empty()) failure = why.empty() ? "cannot read the movie" : why;
                failed = true;
            }
        } catch (const std::bad_alloc&) {
            std::lock_guard lock(mutex);
            if (failure.empty()) failure = "out of memory";
            failed = true;
        }
    };
    IndexPool pool(workers, workers - 1, work);
    pool.Help();
    pool.Join();
    if (failed) return OpResult::Failure(failure);
    for (auto& part : parts)
        for (auto& sample : part)
            if (samples.empty() || sample.time > samples.back().time) samples.push_back(std::move(sample));
    return OpResult::Success();
}
