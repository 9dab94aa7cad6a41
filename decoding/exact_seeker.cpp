#include "decoding/exact_seeker.h"

#include <cmath>
#include <limits>
#include <thread>

namespace {
// A source that says "try again" is retried this often, 10 ms apart, before
// the read counts as failed.
constexpr int kReadRetries = 300;
// Packets of the picture stream read without a picture coming out before a
// search gives up: some ten seconds of a common movie, far more than any
// decoder's delay.
constexpr int kBarrenPacketLimit = 300;
// Past that, a damaged stretch is searched by its key frames alone (a picture
// after a broken key frame cannot decode either): up to this many key frames
// are tried, each with the packets after it as far as any decoder's delay
// reaches, among at most kSearchPacketLimit packets read in all. A movie whose
// first key frames are broken still shows the first picture that decodes, as
// the ffmpeg tools do, while one with nothing decodable is given up on after
// reading a little further.
constexpr int kBarrenKeyFrames = 16;
constexpr int kKeyTrialPackets = 32;
constexpr int kSearchPacketLimit = 5000;
}  // namespace

int ExactSeeker::Open(const std::string& path, std::string& message, int threads) {
    Close();
    int rc = OpenMediaSource(path, m_fmt, m_info, message, m_interrupt);
    if (rc < 0) return rc;
    if (m_info.videoStream < 0) return 0;  // sound only: nothing to grab
    // Only pictures are read here; the demuxer skips sound packets early.
    if (m_info.audioStream >= 0) m_fmt->streams[m_info.audioStream]->discard = AVDISCARD_ALL;
    m_threads = threads;
    rc = OpenStreamDecoder(m_fmt.get(), m_info.videoStream, threads, m_decoder);
    if (rc < 0 && m_info.audioStream >= 0) {
        // The sound alone still plays: the movie counts as one without picture.
        m_info.videoStream = -1;
        return 0;
    }
    if (rc < 0) {
        message = "Cannot open the picture decoder: " + AvErrorText(rc);
        Close();
        return rc;
    }
    m_stream = m_fmt->streams[m_info.videoStream];
    m_converter.SetGeometry(m_info.rotation, m_info.sampleAspect);
    m_packet = MakePacket();
    m_decoderPrimed = false;
    m_unread = true;
    return 0;
}

void ExactSeeker::Close() {
    m_current.reset();
    m_ahead.reset();
    m_currentPts = m_aheadPts = AV_NOPTS_VALUE;
    m_lastImage.reset();
    m_lastImagePts = AV_NOPTS_VALUE;
    m_packet.reset();
    m_decoder.reset();
    m_fmt.reset();
    m_stream = nullptr;
    m_info = MediaInfo{};
    m_inputEnded = false;
    m_decoderPrimed = false;
    m_lastFrameTs = AV_NOPTS_VALUE;
    m_loose.reset();
    m_loosePts = AV_NOPTS_VALUE;
    m_unread = false;
}

int64_t ExactSeeker::ToStreamTs(double seconds) const {
    return StreamTsOf(seconds, m_info.startTime, m_stream->time_base);
}

double ExactSeeker::ToSeconds(int64_t ts) const { return double(ts) * av_q2d(m_stream->time_base) - m_info.startTime; }

bool ExactSeeker::ShouldSeek(int64_t target) const {
    if (!m_decoderPrimed || m_currentPts == AV_NOPTS_VALUE) return true;
    // Without a keyframe the pictures were searched to the end of the stream
    // and only the answer was kept: a later target is searched anew.
    if (!m_sawKey) return true;
    if (target < m_currentPts) return true;
    if (m_aheadPts != AV_NOPTS_VALUE && target < m_aheadPts) return false;  // same frame
    // A search that gave up knows nothing past its last picture; a seek lands nearer.
    if (m_gaveUp) return true;
    if (m_inputEnded) return false;
    // The keyframe a seek would land on: when it is not past the frame we hold,
    // decoding on from here is no more work than seeking.
    bool reaches = false;
    const AVIndexEntry* entry = IndexedKeyBefore(target, reaches);
    const double distance = double(target - m_currentPts) * av_q2d(m_stream->time_base);
    if (!entry) return distance > kForwardWithoutIndex;
    if (entry->timestamp > m_currentPts) return true;
    // An index that stops short of the target may not know a later keyframe.
    if (reaches) return false;
    return distance > kForwardWithoutIndex;
}

const AVIndexEntry* ExactSeeker::IndexedKeyBefore(int64_t target, bool& reaches) const {
    const int count = avformat_index_get_entries_count(m_stream);
    const AVIndexEntry* last = count > 0 ? avformat_index_get_entry(m_stream, count - 1) : nullptr;
    reaches = last && last->timestamp >= target;
    const int idx = av_index_search_timestamp(m_stream, target, AVSEEK_FLAG_BACKWARD);
    return idx >= 0 ? avformat_index_get_entry(m_stream, idx) : nullptr;
}

double ExactSeeker::KeyFrameBefore(double seconds) const {
    if (!m_stream) return std::numeric_limits<double>::quiet_NaN();
    bool reaches = false;
    const AVIndexEntry* entry = IndexedKeyBefore(TargetOf(seconds), reaches);
    return entry && reaches ? ToSeconds(entry->timestamp) : std::numeric_limits<double>::quiet_NaN();
}

bool ExactSeeker::SeekBefore(int64_t target) {
    int rc = av_seek_frame(m_fmt.get(), m_info.videoStream, target, AVSEEK_FLAG_BACKWARD);
    if (rc < 0) rc = avformat_seek_file(m_fmt.get(), m_info.videoStream, INT64_MIN, target, target, 0);
    if (rc < 0) rc = av_seek_frame(m_fmt.get(), -1, m_fmt->start_time == AV_NOPTS_VALUE ? 0 : m_fmt->start_time,
                                   AVSEEK_FLAG_BACKWARD);
    if (rc < 0) rc = avio_seek(m_fmt->pb, 0, SEEK_SET) < 0 ? -1 : 0;
    ResetStreamDecoder(m_fmt.get(), m_info.videoStream, m_threads, m_decoder);
    ForgetDecoded();
    if (rc < 0) m_decoderPrimed = false;
    return rc >= 0;
}

void ExactSeeker::ForgetDecoded() {
    m_unread = false;
    m_loose.reset();
    m_loosePts = AV_NOPTS_VALUE;
    m_current.reset();
    m_ahead.reset();
    m_currentPts = m_aheadPts = AV_NOPTS_VALUE;
    m_inputEnded = false;
    m_decoderPrimed = true;
    m_lastFrameTs = AV_NOPTS_VALUE;
    m_sawKey = false;
    m_framesWithoutKey = 0;
    m_barrenPackets = m_barrenKeys = m_trialPackets = 0;
    m_flushing = false;
    m_gaveUp = false;
    m_window.Reset(AV_NOPTS_VALUE);
}

void ExactSeeker::TakeFrame(FramePtr frame, int64_t target) {
    int64_t pts = frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) pts = m_lastFrameTs == AV_NOPTS_VALUE ? 0 : m_lastFrameTs + 1;
    m_lastFrameTs = pts;
    // After a seek the demuxer may land between keyframes (programme streams
    // have no index): pictures before the first keyframe, and those shown
    // before it, lack their references and are not the movie's.
    if (!m_sawKey) {
        const bool key = frame->key_frame || frame->pict_type == AV_PICTURE_TYPE_I || ++m_framesWithoutKey > 300;
        if (!key) {
            // The last at or before the target, else the first after it.
            if (!m_loose || (pts <= target && pts >= m_loosePts) || (m_loosePts > target && pts < m_loosePts)) {
                m_loose = std::move(frame);
                m_loosePts = pts;
            }
            return;
        }
        m_sawKey = true;
        m_keyPts = pts;
    } else if (pts < m_keyPts) {
        return;
    }
    if (pts <= target) {
        m_current = std::move(frame);
        m_currentPts = pts;
    } else if (!m_ahead) {
        m_ahead = std::move(frame);
        m_aheadPts = pts;
    }
}

ExactSeeker::Read ExactSeeker::NextVideoPacket() {
    for (int retries = 0;;) {
        const int rc = av_read_frame(m_fmt.get(), m_packet.get());
        if (rc == AVERROR(EAGAIN) && ++retries <= kReadRetries && !Cancelled()) {
            ClearTryAgain(m_fmt.get());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        // Broken off, not ended: nothing is known about the rest.
        if (rc == AVERROR_EXIT || (rc < 0 && m_interrupt.Interrupted())) return Read::BrokenOff;
        if (rc < 0) return Read::Ended;
        retries = 0;
        if (m_progress) ++*m_progress;
        if (m_packet->stream_index == m_info.videoStream) return Read::Packet;
        av_packet_unref(m_packet.get());
    }
}

void ExactSeeker::EndInput() {
    // A decoder with delay (frame threads, reordering) gives the pictures it
    // holds only once it is told that nothing more comes.
    avcodec_send_packet(m_decoder.get(), nullptr);
    m_flushing = true;
}

void ExactSeeker::DecodeUpTo(int64_t target) {
    // A frame held from the last call may already be the answer or lie past it.
    if (m_ahead && m_aheadPts <= target) {
        m_current = std::move(m_ahead);
        m_currentPts = m_aheadPts;
        m_aheadPts = AV_NOPTS_VALUE;
    }
    if (m_ahead) return;
    m_window.MoveTo(target);
    m_barrenPackets = m_barrenKeys = m_trialPackets = 0;
    FramePtr frame = MakeFrame();
    int drainErrors = 0;
    while (!m_ahead) {
        int rc = avcodec_receive_frame(m_decoder.get(), frame.get());
        if (rc == 0) {
            m_barrenPackets = m_barrenKeys = m_trialPackets = 0;
            TakeFrame(std::move(frame), target);
            frame = MakeFrame();
            continue;
        }
        if (rc == AVERROR_EOF) return;  // all that was sent has come out
        if (rc != AVERROR(EAGAIN)) {
            // A damaged picture: the ffmpeg tools skip it and so does this;
            // the decoder has dropped the packet and takes the next. After
            // the end was sent, the pictures held behind it still follow.
            ++m_skippedPackets;
            if (m_flushing && ++drainErrors < kBarrenPacketLimit) continue;
        }
        if (m_flushing) return;
        if (Cancelled()) {
            m_decoderPrimed = false;  // the next call starts with a seek
            return;
        }
        // A long run of packets yielding no picture (a damaged stretch, or a
        // stream nothing can decode) is searched only so far: by all its
        // packets first, then by its key frames. The answer is then the last
        // good picture found, or none.
        const bool hunting = m_barrenPackets >= kBarrenPacketLimit && m_trialPackets == 0;
        if (hunting && (m_barrenKeys >= kBarrenKeyFrames || m_barrenPackets >= kSearchPacketLimit)) {
            m_gaveUp = true;
            EndInput();
            continue;
        }
        // Feed one more packet of the video stream.
        const Read read = NextVideoPacket();
        if (read == Read::BrokenOff) {
            m_decoderPrimed = false;
            return;
        }
        if (read == Read::Ended) {
            m_inputEnded = true;
            EndInput();
            continue;
        }
        ++m_barrenPackets;
        const bool key = m_packet->flags & AV_PKT_FLAG_KEY;
        if (hunting && !key) {
            av_packet_unref(m_packet.get());
            continue;
        }
        if (hunting)
            m_trialPackets = kKeyTrialPackets;
        else if (m_trialPackets > 0)
            --m_trialPackets;
        if (key) ++m_barrenKeys;
        m_decoder->skip_frame = m_window.Send(m_packet->pts) ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
        rc = avcodec_send_packet(m_decoder.get(), m_packet.get());
        av_packet_unref(m_packet.get());
        if (rc < 0 && rc != AVERROR(EAGAIN)) ++m_skippedPackets;
    }
}

bool ExactSeeker::ReachKeyPacket(int64_t target) {
    // The demuxer may land past the key frame: a container seeking by
    // decoding time lands after a key frame shown later than pictures decoded
    // before it (an MPEG programme stream with B-frames). It then seeks further back.
    for (double back = 0.0; back <= 16.0; back = back == 0.0 ? 1.0 : back * 4.0) {
        if (!SeekBefore(target - int64_t(back / av_q2d(m_stream->time_base)))) return false;
        for (int read = 0; read < kBarrenPacketLimit && !Cancelled(); ++read) {
            if (NextVideoPacket() != Read::Packet) return false;
            const AVPacket& packet = *m_packet;
            const int64_t ts = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
            // The times were read back from seconds: a tick either way is the same.
            if ((packet.flags & AV_PKT_FLAG_KEY) && ts != AV_NOPTS_VALUE && ts >= target - 1 && ts <= target + 1)
                return true;
            // A packet decoded after the key frame would be: the key frame lies behind.
            const int64_t order = packet.dts != AV_NOPTS_VALUE ? packet.dts : ts;
            av_packet_unref(m_packet.get());
            if (order != AV_NOPTS_VALUE && order > target + 1) break;
        }
        if (Cancelled()) return false;
    }
    return false;
}

FramePtr ExactSeeker::DecodeKeyPacket(int64_t target) {
    m_decoder->skip_frame = AVDISCARD_DEFAULT;
    int rc = avcodec_send_packet(m_decoder.get(), m_packet.get());
    av_packet_unref(m_packet.get());
    if (rc < 0) {
        ++m_skippedPackets;
        return nullptr;
    }
    // Its picture may need more packets, as in DecodeUpTo: a decoder with
    // delay (frame threads, reordering) gives it only after later ones, a
    // picture in two fields comes in two packets. The later packets are sent
    // as they come, leaving out pictures nothing refers to.
    m_decoder->skip_frame = AVDISCARD_NONREF;
    int drainErrors = 0;
    for (int fed = 0; !Cancelled();) {
        FramePtr frame = MakeFrame();
        if (!frame) return nullptr;
        rc = avcodec_receive_frame(m_decoder.get(), frame.get());
        if (rc == 0) {
            const int64_t pts = frame->best_effort_timestamp;
            if (pts == AV_NOPTS_VALUE || (pts >= target - 1 && pts <= target + 1)) return frame;
            // Shown before the key frame (the first pictures of an open group): not its picture.
            if (pts < target) continue;
            return nullptr;  // a later picture came first: the key frame's own did not decode
        }
        if (rc == AVERROR_EOF) return nullptr;
        if (rc != AVERROR(EAGAIN)) {
            ++m_skippedPackets;
            if (m_flushing && ++drainErrors < kBarrenPacketLimit) continue;
        }
        if (m_flushing || ++fed > kBarrenPacketLimit) return nullptr;
        const Read read = NextVideoPacket();
        if (read == Read::BrokenOff) return nullptr;
        if (read == Read::Ended) {
            EndInput();
            continue;
        }
        rc = avcodec_send_packet(m_decoder.get(), m_packet.get());
        av_packet_unref(m_packet.get());
        if (rc < 0 && rc != AVERROR(EAGAIN)) ++m_skippedPackets;
    }
    return nullptr;
}

bool ExactSeeker::KeyFrameInto(double seconds, CDibImage& out, double& time) {
    if (!m_decoder) return false;
    const int64_t target = ToStreamTs(seconds < 0 ? 0.0 : seconds);
    const FramePtr picture = ReachKeyPacket(target) ? DecodeKeyPacket(target) : nullptr;
    if (m_decoder) {
        m_decoder->skip_frame = AVDISCARD_DEFAULT;  // a search may have left it skipping
        avcodec_flush_buffers(m_decoder.get());
    }
    // The decoder is left past a lone picture: the next FrameAt seeks anew.
    m_decoderPrimed = false;
    if (!picture || !m_converter.ConvertInto(picture.get(), out)) return false;
    time = ToSeconds(picture->best_effort_timestamp != AV_NOPTS_VALUE ? picture->best_effort_timestamp : target);
    return true;
}

const AVFrame* ExactSeeker::Locate(double seconds) {
    if (!m_decoder) return nullptr;
    if (!(seconds >= 0.0)) seconds = 0.0;
    const int64_t target = ToStreamTs(seconds);
    // Near the start of a movie not read yet, decoding goes on from where
    // the open left the demuxer, as the ffmpeg tools do without -ss: a seek
    // would land there too, except where a damaged index sends it elsewhere.
    // When nothing comes out that way, the seeks below are tried as for any target.
    bool decoded = false;
    if (m_unread && ToSeconds(target) <= kForwardWithoutIndex) {
        ForgetDecoded();
        DecodeUpTo(target);
        decoded = m_current || m_ahead || m_loose || Cancelled();
    }
    if (!decoded && ShouldSeek(target)) {
        // A seek that cannot be done is reported, never answered with a picture
        // from wherever the demuxer happens to be.
        if (!SeekBefore(target)) return nullptr;
        DecodeUpTo(target);
        // The demuxer may land after the target (no index, damaged file) or
        // past the end of a cut file: step back further until a frame at or
        // before the target comes first.
        double back = 1.0;
        while (m_current == nullptr && m_decoderPrimed && back < 1e6 && !Cancelled()) {
            const int64_t earlier = target - int64_t(back / av_q2d(m_stream->time_base));
            if (!SeekBefore(earlier)) return nullptr;
            DecodeUpTo(target);
            if (ToSeconds(earlier) < -1.0) break;
            back *= 4.0;
        }
    } else if (!decoded) {
        DecodeUpTo(target);
    }
    if (Cancelled()) return nullptr;
    // A read broken off midway leaves no trustworthy answer.
    if (!m_decoderPrimed) return nullptr;
    // Before the first frame the first frame shows.
    if (!m_current && m_ahead) {
        m_current = std::move(m_ahead);
        m_currentPts = m_aheadPts;
        m_aheadPts = AV_NOPTS_VALUE;
    }
    // A stream without a single keyframe shows what its decoder made of it.
    if (!m_current && m_loose) {
        m_current = std::move(m_loose);
        m_currentPts = m_loosePts;
        m_loosePts = AV_NOPTS_VALUE;
    }
    return m_current.get();
}

VideoImagePtr ExactSeeker::FrameAt(double seconds) {
    if (!Locate(seconds)) return nullptr;
    if (m_lastImage && m_lastImagePts == m_currentPts) return m_lastImage;
    VideoImagePtr image = m_converter.Convert(m_current.get(), ToSeconds(m_currentPts));
    if (image) {
        m_lastImage = image;
        m_lastImagePts = m_currentPts;
    }
    return image;
}

bool ExactSeeker::FrameInto(double seconds, CDibImage& out, double& time) {
    const AVFrame* frame = Locate(seconds);
    if (!frame || !m_converter.ConvertInto(frame, out)) return false;
    time = ToSeconds(m_currentPts);
    return true;
}

const AVFrame* ExactSeeker::RawFrameAt(double seconds, double& time) {
    const AVFrame* frame = Locate(seconds);
    if (frame) time = ToSeconds(m_currentPts);
    return frame;
}

bool ExactSeeker::CurrentInto(CDibImage& out) { return m_current && m_converter.ConvertInto(m_current.get(), out); }
