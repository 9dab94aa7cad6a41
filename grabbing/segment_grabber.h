#pragma once
// Exact pictures at many times of one movie, all known before the first is
// taken (a sheet's steps, a thumbnail track's cues). Nothing plays: there is no
// playback decoder, no clock and no sound, only picture decoders that seek.
// The times are split where a seek would land on another key frame; each run
// of times within one key-frame segment goes to one decoder, which decodes
// that stretch once, forward, skipping what nothing refers to. Separate
// segments decode on separate threads, each with its own demuxer.
#include <cstddef>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/op_result.h"
#include "decoding/media_source.h"
#include "decoding/video_image.h"

class CDibImage;
class ExactSeeker;

class SegmentGrabber {
public:
    SegmentGrabber();
    ~SegmentGrabber();
    SegmentGrabber(const SegmentGrabber&) = delete;
    SegmentGrabber& operator=(const SegmentGrabber&) = delete;

    // 0 when the movie has a picture that decodes; otherwise a negative FFmpeg
    // code and `message` says why (never empty).
    int Open(const std::string& path, std::string& message);
    const MediaInfo& Info() const;
    // The picture size grabs have: coded size with the rotation applied.
    void PictureSize(int32_t& width, int32_t& height) const;
    // The size of the first picture as an exact grab at 0 gives it (rotation
    // and pixel aspect applied).
    int32_t FirstPictureWidth() const { return m_firstWidth; }
    int32_t FirstPictureHeight() const { return m_firstHeight; }

    // Where a position settles, as the player settles it.
    double SettledPosition(double position) const { return SettledMoviePosition(position, m_info.duration); }

    // Gives one worker's decoder the picture on screen at a position.
    class Source {
    public:
        Source(ExactSeeker& seeker, double duration) : m_seeker(seeker), m_duration(duration) {}
        // The exact picture at `position` (settled first) and its own time;
        // false when there is none.
        bool PictureAt(double position, CDibImage& out, double& time);
        // The key frame starting at `seconds`, decoded alone; false when none does.
        bool KeyPictureAt(double seconds, CDibImage& out, double& time);
        // The decoded frame at `position` (settled first), unconverted and
        // valid until the next call, and its own time; null when there is none.
        const AVFrame* RawPictureAt(double position, double& time);
        // The frame RawPictureAt answered last, converted.
        bool ConvertLast(CDibImage& out);

    private:
        ExactSeeker& m_seeker;
        double m_duration;
    };
    // Calls visit(k, source) once for every index of `positions` (ascending
    // seconds), in ascending order within a segment, segments taken in order
    // by up to `threads` threads (0: as many as the machine has cores); the
    // calling thread works too. Visits run at the same time and must guard
    // what they share. A visit answering false stops the rest: visits
    // already running end, no new ones start. `keyTimes` (ascending movie
    // seconds of the key frames, may be empty) splits the segments where the
    // container keeps no index. A failure (another decoder cannot open the
    // movie, memory runs out) stops every worker and says why; a visit's stop
    // is no failure. `stopRequested`, when given, is asked about every 50 ms
    // by the calling thread, which then only watches: true stops the workers
    // as a visit's stop does, breaking off a decode in progress, so that a
    // stretch decoded for minutes does not hold up a stop.
    using Visit = std::function<bool(size_t index, Source& source)>;
    OpResult Run(const std::vector<double>& positions, const Visit& visit, unsigned threads = 0,
                 const std::vector<double>& keyTimes = {}, const std::function<bool()>& stopRequested = {});

    // From any thread: the Run under way, and any later one, stops soon: no
    // new visit starts and the reads and decodes in progress are broken off.
    // What was visited stays visited; a stop is no failure.
    void RequestStop();

    // Movie seconds of the key frame a seek to `position` lands on, as the
    // container's index tells; NaN when it does not tell. Not during Run.
    double KeyFrameAtOrBefore(double position) const { return KeyFrameBefore(position, {}); }

    // How Run would split `positions`: the index where each segment starts.
    std::vector<size_t> SegmentStarts(const std::vector<double>& positions, const std::vector<double>& keyTimes) const;

private:
    // The segment's key frame at or before `position`, from `keyTimes` or the
    // container's index; NaN when neither tells.
    double KeyFrameBefore(double position, const std::vector<double>& keyTimes) const;
    // An idle decoder using that many threads, else a new one; null (and why)
    // when the movie cannot be opened again.
    std::unique_ptr<ExactSeeker> TakeIdleSeeker(unsigned decoderThreads, std::string& failure);
    void GiveBack(std::unique_ptr<ExactSeeker> seeker, unsigned decoderThreads);

    std::string m_path;
    MediaInfo m_info;
    int32_t m_firstWidth = 0;
    int32_t m_firstHeight = 0;
    // Decoders not working now, kept for the next segment; the first is the
    // one Open made.
    struct Idle {
        std::unique_ptr<ExactSeeker> seeker;
        unsigned threads;
    };
    mutable std::mutex m_idleMutex;
    std::vector<Idle> m_idle;
    // The decoders of a Run follow m_cancel; m_stopRequested keeps a stop
    // asked for before Run began.
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_cancel{false};
};
