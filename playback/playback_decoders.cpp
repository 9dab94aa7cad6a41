// Decoder threads of the playback engine: packets in, pictures and sound out.
#include <cmath>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "playback/playback_engine.h"
#include "decoding/target_window.h"

namespace {
constexpr auto kPoll = std::chrono::milliseconds(20);
}  // namespace

std::optional<PlaybackEngine::PacketItem> PlaybackEngine::PopCurrent(PacketQueue& queue) {
    std::optional<PacketItem> item = queue.Pop(kPoll);
    if (item && item->serial != m_serial.load()) item.reset();
    return item;
}

void PlaybackEngine::VideoLoop() {
    FramePtr frame = MakeFrame();
    // After a seek, the latest picture at or before the target, held until it
    // is known whether a later one at or before the target follows.
    FramePtr held = MakeFrame();
    bool holding = false;
    double heldTime = 0.0;
    TargetWindow window;
    const AVRational tb = m_fmt->streams[m_info.videoStream]->time_base;
    const double frameDuration = m_info.frameDuration;
    int decoderSerial = -1;
    int64_t lastTs = AV_NOPTS_VALUE;
    double dropBefore = 0.0;
    // Pictures before the first keyframe after a seek lack their references.
    bool sawKey = false;
    int64_t keyTs = AV_NOPTS_VALUE;
    int withoutKey = 0;
    // Converts and queues one picture; false when a later seek made it stale.
    auto emit = [&](AVFrame* picture, double time, int serial) {
        std::shared_ptr<VideoImage> image = m_converter.Convert(picture, time);
        av_frame_unref(picture);
        if (!image) return true;
        if (serial != m_serial.load()) return false;
        m_pictures.Push(PictureItem{std::move(image), serial});
        return true;
    };
    while (!m_quit) {
        std::optional<PacketItem> item = PopCurrent(m_videoPackets);
        if (!item) continue;
        if (item->serial != decoderSerial) {
            avcodec_flush_buffers(m_videoDec.get());
            decoderSerial = item->serial;
            lastTs = AV_NOPTS_VALUE;
            sawKey = false;
            keyTs = AV_NOPTS_VALUE;
            withoutKey = 0;
            if (holding) av_frame_unref(held.get());
            holding = false;
            {
                std::lock_guard lock(m_control);
                dropBefore = m_dropBefore;
            }
            window.Reset(StreamTsOf(dropBefore, m_info.startTime, tb));
        }
        const bool end = item->packet == nullptr;
        if (!end) {
            const int64_t pts = item->packet->pts;
            m_videoDec->skip_frame = window.Send(pts) ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
        }
        // A packet the decoder refuses is skipped and counted, and playback
        // goes on with the next, as the ffmpeg tools do.
        int rc = avcodec_send_packet(m_videoDec.get(), item->packet.get());
        if (rc < 0 && rc != AVERROR(EAGAIN) && rc != AVERROR_EOF) ++m_skippedPackets;
        for (;;) {
            rc = avcodec_receive_frame(m_videoDec.get(), frame.get());
            if (rc < 0) {
                if (rc != AVERROR(EAGAIN) && rc != AVERROR_EOF) ++m_skippedPackets;
                break;
            }
            int64_t ts = frame->best_effort_timestamp;
            if (ts == AV_NOPTS_VALUE)
                ts = lastTs == AV_NOPTS_VALUE ? 0 : lastTs + std::max<int64_t>(1, int64_t(frameDuration / av_q2d(tb)));
            lastTs = ts;
            if (!sawKey) {
                sawKey = frame->key_frame || frame->pict_type == AV_PICTURE_TYPE_I || ++withoutKey > 300;
                keyTs = ts;
            }
            if (!sawKey || ts < keyTs) {
                av_frame_unref(frame.get());
                continue;
            }
            const double time = SecondsOf(ts, tb);
            // The picture on screen at the seek target is the last at or before
            // it; only a later one at or before the target replaces it.
            if (time <= dropBefore + 1e-6) {
                if (holding) av_frame_unref(held.get());
                av_frame_move_ref(held.get(), frame.get());
                holding = true;
                heldTime = time;
                continue;
            }
            if (holding) {
                holding = false;
                if (!emit(held.get(), heldTime, item->serial)) {
                    av_frame_unref(frame.get());
                    break;
                }
            }
            if (!emit(frame.get(), time, item->serial)) break;
        }
        if (end) {
            avcodec_flush_buffers(m_videoDec.get());
            decoderSerial = -1;
            if (holding) {
                holding = false;
                emit(held.get(), heldTime, item->serial);
            }
            if (item->serial == m_serial.load()) m_pictures.Push(PictureItem{nullptr, item->serial});
        }
    }
}

void PlaybackEngine::AudioLoop() {
    FramePtr frame = MakeFrame();
    SwrPtr swr;
    const AVRational tb = m_fmt->streams[m_info.audioStream]->time_base;
    const int outRate = m_audioOut->SampleRate();
    const int outChannels = m_audioOut->Channels();
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, outChannels);
    int decoderSerial = -1;
    int inRate = 0, inFormat = -1;
    AVChannelLayout inLayout{};
    double nextPts = 0.0;
    while (!m_quit) {
        std::optional<PacketItem> item = PopCurrent(m_audioPackets);
        if (!item || m_soundLost) continue;
        if (item->serial != decoderSerial) {
            avcodec_flush_buffers(m_audioDec.get());
            decoderSerial = item->serial;
            {
                std::lock_guard lock(m_control);
                nextPts = m_dropBefore;
            }
            swr.reset();
        }
        const bool end = item->packet == nullptr;
        // A packet the decoder refuses is skipped; the sound goes on with the next.
        const int sent = avcodec_send_packet(m_audioDec.get(), item->packet.get());
        if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF) ++m_skippedPackets;
        while ((sent >= 0 || sent == AVERROR(EAGAIN)) && avcodec_receive_frame(m_audioDec.get(), frame.get()) == 0) {
            if (frame->sample_rate <= 0 || frame->nb_samples <= 0) {
                av_frame_unref(frame.get());
                continue;
            }
            if (!swr || frame->sample_rate != inRate || frame->format != inFormat ||
                av_channel_layout_compare(&frame->ch_layout, &inLayout) != 0) {
                SwrContext* raw = nullptr;
                if (swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_S16, outRate, &frame->ch_layout,
                                        AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr) < 0 ||
                    swr_init(raw) < 0) {
                    swr_free(&raw);
                    av_frame_unref(frame.get());
                    continue;
                }
                swr.reset(raw);
                inRate = frame->sample_rate;
                inFormat = frame->format;
                av_channel_layout_uninit(&inLayout);
                av_channel_layout_copy(&inLayout, &frame->ch_layout);
            }
            double pts = nextPts;
            if (frame->best_effort_timestamp != AV_NOPTS_VALUE) pts = SecondsOf(frame->best_effort_timestamp, tb);
            const int maxOut = int(av_rescale_rnd(swr_get_delay(swr.get(), inRate) + frame->nb_samples, outRate,
                                                  inRate, AV_ROUND_UP));
            std::vector<uint8_t> bytes(size_t(maxOut) * outChannels * 2);
            uint8_t* out[1] = {bytes.data()};
            const int got = swr_convert(swr.get(), out, maxOut, const_cast<const uint8_t**>(frame->extended_data),
                                        frame->nb_samples);
            nextPts = pts + double(frame->nb_samples) / frame->sample_rate;
            av_frame_unref(frame.get());
            if (got <= 0) continue;
            bytes.resize(size_t(got) * outChannels * 2);
            // Sound from before the seek target is not played.
            double dropBefore;
            {
                std::lock_guard lock(m_control);
                dropBefore = m_dropBefore;
            }
            if (nextPts <= dropBefore) continue;
            if (!m_audioOut->Write(std::move(bytes), pts, item->serial, m_serial)) {
                if (m_audioOut->Failed()) DropSound();
                break;
            }
        }
        if (end) {
            avcodec_flush_buffers(m_audioDec.get());
            decoderSerial = -1;
            std::lock_guard lock(m_control);
            if (item->serial == m_serial.load()) {
                m_audioEndSerial = item->serial;
                m_audioOut->MarkEnd(item->serial);
            }
        }
    }
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
}
