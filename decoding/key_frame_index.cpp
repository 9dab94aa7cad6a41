#include "decoding/key_frame_index.h"

#include <algorithm>

#include "decoding/ff_handles.h"
#include "decoding/media_source.h"

KeyFrameTimes ReadKeyFrameTimes(const std::string& path, const std::atomic<bool>* stop,
                                const std::function<bool()>& keepGoing) {
    KeyFrameTimes result;
    // Declared before the demuxer: it must outlive it.
    ReadInterrupt interrupt;
    interrupt.Follow(stop);
    FormatContextPtr fmt;
    MediaInfo info;
    std::string message;
    if (OpenMediaSource(path, fmt, info, message, interrupt) < 0) {
        result.error = message.empty() ? "cannot open the movie" : message;
        return result;
    }
    if (info.videoStream < 0) {
        result.error = "no picture stream";
        return result;
    }
    // Only the picture stream's packets are wanted; the demuxer drops the rest early.
    for (unsigned i = 0; i < fmt->nb_streams; ++i)
        if (int(i) != info.videoStream) fmt->streams[i]->discard = AVDISCARD_ALL;
    const AVStream* stream = fmt->streams[info.videoStream];
    const double timeBase = av_q2d(stream->time_base);
    PacketPtr packet = MakePacket();
    if (!packet) {
        result.error = "out of memory";
        return result;
    }
    int retries = 0;
    for (unsigned packets = 1;; ++packets) {
        // A long movie takes a while to read through: a stop is not kept waiting.
        if (keepGoing && packets % 256 == 0 && !keepGoing()) {
            result.error = "interrupted";
            break;
        }
        const int rc = av_read_frame(fmt.get(), packet.get());
        if (rc == AVERROR_EOF) break;
        if (rc < 0) {
            // A damaged stretch at the end still leaves the key frames before it.
            if (interrupt.Interrupted()) {
                result.error = "interrupted";
                break;
            }
            // A reader that keeps saying "try again" is given up on, not spun on.
            if (rc == AVERROR(EAGAIN) && ++retries <= 100) {
                ClearTryAgain(fmt.get());
                continue;
            }
            break;
        }
        if (packet->stream_index == info.videoStream && (packet->flags & AV_PKT_FLAG_KEY)) {
            // Containers without presentation times on key frames (AVI) give
            // their decoding times, which are equal for key frames there.
            const int64_t ts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (ts != AV_NOPTS_VALUE) result.times.push_back(double(ts) * timeBase - info.startTime);
        }
        av_packet_unref(packet.get());
    }
    std::sort(result.times.begin(), result.times.end());
    result.times.erase(std::unique(result.times.begin(), result.times.end()), result.times.end());
    return result;
}
