#pragma once
// Finds the exact frame on screen at a given time: the last frame whose
// presentation time is at or before it. Keeps one demuxer and decoder open
// between calls so that a run of forward seeks (Grab All) decodes each stretch
// of the movie once: no seek when the target lies ahead in the same group of
// pictures, frames that nothing refers to are skipped before the target, and
// the decoder uses frame threads.
#include <atomic>
#include <string>

#include "decoding/ff_handles.h"
#include "decoding/frame_converter.h"
#include "decoding/media_source.h"
#include "decoding/target_window.h"

class ExactSeeker {
public:
    // Without an index covering the target, decoding forward is preferred over
    // a seek only for targets this many seconds ahead or nearer.
    static constexpr double kForwardWithoutIndex = 3.0;

    // 0 or a negative FFmpeg code; `message` explains a failure. `threads`:
    // decoder threads, 0 for as many as suit the machine.
    int Open(const std::string& path, std::string& message, int threads = 0);
    void Close();
    bool IsOpen() const { return m_decoder != nullptr; }
    const MediaInfo& Info() const { return m_info; }

    // Picture on screen at `seconds` from the movie start; null when the movie
    // has no decodable frame there. The picture's time is the frame's.
    VideoImagePtr FrameAt(double seconds);
    // FrameAt's picture as a 24-bit image, for a grab that is not shown, and
    // its time; false when FrameAt would answer null.
    bool FrameInto(double seconds, CDibImage& out, double& time);
    // FrameAt's decoded frame itself, unconverted (valid until the next call),
    // and its time; null when FrameAt would answer null. For looking at many
    // frames cheaply and converting only the one kept.
    const AVFrame* RawFrameAt(double seconds, double& time);
    // The frame the last RawFrameAt answered, as a 24-bit image.
    bool CurrentInto(CDibImage& out);
    // The key frame that starts at `seconds` (a time ReadKeyFrameTimes gave),
    // decoded without what comes before it: its one picture, whatever delay
    // the stream has. False when no key frame starts there or it does not
    // decode by itself.
    bool KeyFrameInto(double seconds, CDibImage& out, double& time);
    // After a successful FrameAt: the stream times [from, until) for which the
    // same picture is the answer (until is INT64_MAX past the last frame).
    int64_t AnswerFrom() const { return m_currentPts; }
    int64_t AnswerUntil() const { return m_ahead ? m_aheadPts : (m_inputEnded ? INT64_MAX : m_currentPts + 1); }
    // Stream time a FrameAt(seconds) looks for.
    int64_t TargetOf(double seconds) const { return m_stream ? ToStreamTs(seconds < 0 ? 0.0 : seconds) : 0; }
    // Movie seconds of the key frame a seek to `seconds` lands on, as the
    // container's index tells; NaN when the index does not reach that far.
    double KeyFrameBefore(double seconds) const;
    // While *flag is true, Open and FrameAt give up early (a read or seek in
    // progress is broken off) and answer a failure.
    void SetCancelFlag(const std::atomic<bool>* flag) {
        m_cancel = flag;
        m_interrupt.Follow(flag);
    }
    // Counted up for every packet read, so a waiting thread can tell a slow
    // decode from a stalled read; null for none.
    void SetProgressCounter(std::atomic<uint64_t>* counter) { m_progress = counter; }

    // Packets of the picture stream the decoder refused and that were skipped.
    int64_t SkippedPackets() const { return m_skippedPackets; }

private:
    // Decodes to the frame on screen at `seconds`; null when there is none.
    const AVFrame* Locate(double seconds);
    int64_t ToStreamTs(double seconds) const;
    double ToSeconds(int64_t ts) const;
    bool ShouldSeek(int64_t target) const;
    // The index's key frame at or before `target` (null when none), and
    // whether the index reaches that far (else a later one may yet exist).
    const AVIndexEntry* IndexedKeyBefore(int64_t target, bool& reaches) const;
    // False when no way of seeking worked; the decoder then holds nothing.
    bool SeekBefore(int64_t target);
    // Forgets every picture and what is known of the stream since the last
    // seek, as a seek does, without moving the demuxer.
    void ForgetDecoded();
    bool Cancelled() const { return m_cancel && m_cancel->load(); }
    // Decodes until a frame later than target is seen or the stream ends.
    void DecodeUpTo(int64_t target);
    // The next packet of the picture stream into m_packet, a "try again" of
    // the reader retried for a while.
    enum class Read { Packet, Ended, BrokenOff };
    Read NextVideoPacket();
    // Tells the decoder that nothing more comes, so that it gives what it holds.
    void EndInput();
    // Leaves the key packet that starts at `target` in m_packet; false when
    // the demuxer finds none there.
    bool ReachKeyPacket(int64_t target);
    // Decodes the key packet in m_packet (and what its picture needs after
    // it); null when its picture does not come out.
    FramePtr DecodeKeyPacket(int64_t target);
    void TakeFrame(FramePtr frame, int64_t target);

    ReadInterrupt m_interrupt;  // outlives m_fmt
    FormatContextPtr m_fmt;
    CodecContextPtr m_decoder;
    MediaInfo m_info;
    FrameConverter m_converter;
    PacketPtr m_packet;
    AVStream* m_stream = nullptr;

    // Last decoded frame at or before the previous target.
    FramePtr m_current;
    int64_t m_currentPts = AV_NOPTS_VALUE;
    // A decoded frame past the previous target, kept for the next call.
    FramePtr m_ahead;
    int64_t m_aheadPts = AV_NOPTS_VALUE;
    bool m_decoderPrimed = false;  // decoder holds state from packets since the last seek
    bool m_inputEnded = false;
    bool m_flushing = false;  // the decoder was told that nothing more comes
    bool m_gaveUp = false;    // a search ended in a damaged stretch before the input did
    int m_threads = 0;
    int64_t m_lastFrameTs = AV_NOPTS_VALUE;  // for frames without timestamps
    bool m_sawKey = false;                    // a keyframe came since the last seek
    int64_t m_keyPts = AV_NOPTS_VALUE;
    int m_framesWithoutKey = 0;
    // Pictures before any keyframe, kept apart: the answer only when the
    // stream holds no keyframe at all (a damaged file the tools still show).
    FramePtr m_loose;
    int64_t m_loosePts = AV_NOPTS_VALUE;
    // Nothing read since Open: the demuxer stands at the movie's start, where
    // a seek could only lead back (and, in a file with a damaged index, elsewhere).
    bool m_unread = false;
    VideoImagePtr m_lastImage;
    int64_t m_lastImagePts = AV_NOPTS_VALUE;
    TargetWindow m_window;  // which packets before the target need no picture
    const std::atomic<bool>* m_cancel = nullptr;
    std::atomic<uint64_t>* m_progress = nullptr;
    int64_t m_skippedPackets = 0;
    int m_barrenPackets = 0;  // read since the last picture came out
    int m_barrenKeys = 0;     // key packets sent among them
    int m_trialPackets = 0;   // still sent after a key frame tried in a long barren run
};
