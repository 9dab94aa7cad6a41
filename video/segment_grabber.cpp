#include "video/segment_grabber.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <new>

#include "image/dib_image.h"
#include "image/index_pool.h"
#include "video/exact_seeker.h"

namespace {
// Without a key frame known on either side, times further apart than this are
// reached by a seek each (the decoder's own rule for going on forward).
constexpr double kForwardWithoutIndex = 3.0;
}  // namespace

SegmentGrabber::SegmentGrabber() = default;
SegmentGrabber::~SegmentGrabber() = default;

int SegmentGrabber::Open(const std::string& path, std::string& message) {
    m_path = path;
    m_firstWidth = m_firstHeight = 0;
    m_idle.clear();
    m_firstSeeker = std::make_unique<ExactSeeker>();
    // One decoding thread: this decoder becomes one of the workers, which
    // are the parallelism.
    int rc = m_firstSeeker->Open(path, message, 1);
    m_info = m_firstSeeker->Info();
    if (rc >= 0 && m_info.videoStream < 0) {
        message = "no picture to grab (the file has no video stream)";
        rc = AVERROR_STREAM_NOT_FOUND;
    }
    if (rc >= 0) {
        CDibImage first;
        double time = 0.0;
        if (m_firstSeeker->FrameInto(0.0, first, time)) {
            m_firstWidth = first.Width();
            m_firstHeight = first.Height();
        } else {
            message = kNoPictureText;
            rc = AVERROR_INVALIDDATA;
        }
    }
    if (rc < 0) {
        if (message.empty()) message = kOpenFailedText;
        m_firstSeeker.reset();
        return rc;
    }
    return 0;
}

const MediaInfo& SegmentGrabber::Info() const { return m_info; }

void SegmentGrabber::PictureSize(int32_t& width, int32_t& height) const {
    const bool turned = m_info.rotation == 90 || m_info.rotation == 270;
    width = turned ? m_info.codedHeight : m_info.codedWidth;
    height = turned ? m_info.codedWidth : m_info.codedHeight;
}

bool SegmentGrabber::Source::PictureAt(double position, CDibImage& out, double& time) {
    return m_seeker.FrameInto(SettledMoviePosition(position, m_duration), out, time);
}

bool SegmentGrabber::Source::KeyPictureAt(double seconds, CDibImage& out, double& time) {
    return m_seeker.KeyFrameInto(seconds, out, time);
}

double SegmentGrabber::KeyFrameBefore(double position, const std::vector<double>& keyTimes) const {
    if (!keyTimes.empty()) {
        const auto after = std::upper_bound(keyTimes.begin(), keyTimes.end(), position);
        return after == keyTimes.begin() ? std::numeric_limits<double>::quiet_NaN() : *(after - 1);
    }
    return m_firstSeeker ? m_firstSeeker->KeyFrameBefore(position) : std::numeric_limits<double>::quiet_NaN();
}

std::vector<size_t> SegmentGrabber::SegmentStarts(const std::vector<double>& positions,
                                                  const std::vector<double>& keyTimes) const {
    std::vector<size_t> starts;
    double previousKey = 0.0;
    for (size_t k = 0; k < positions.size(); ++k) {
        const double position = SettledPosition(positions[k]);
        const double key = KeyFrameBefore(position, keyTimes);
        bool split = k == 0;
        if (!split && !std::isnan(key) && !std::isnan(previousKey))
            split = key != previousKey;
        else if (!split)
            split = position - SettledPosition(positions[k - 1]) > kForwardWithoutIndex;
        if (split) starts.push_back(k);
        previousKey = key;
    }
    return starts;
}

std::unique_ptr<ExactSeeker> SegmentGrabber::TakeIdleSeeker(unsigned decoderThreads, bool& failed) {
    {
        std::lock_guard lock(m_idleMutex);
        if (!m_idle.empty()) {
            std::unique_ptr<ExactSeeker> seeker = std::move(m_idle.back());
            m_idle.pop_back();
            return seeker;
        }
        if (m_firstSeeker) return std::move(m_firstSeeker);
    }
    auto seeker = std::make_unique<ExactSeeker>();
    std::string message;
    if (seeker->Open(m_path, message, int(decoderThreads)) < 0 || !seeker->IsOpen()) failed = true;
    return seeker;
}

void SegmentGrabber::GiveBack(std::unique_ptr<ExactSeeker> seeker) {
    std::lock_guard lock(m_idleMutex);
    m_idle.push_back(std::move(seeker));
}

bool SegmentGrabber::Run(const std::vector<double>& positions, const Visit& visit, unsigned threads,
                         const std::vector<double>& keyTimes) {
    if (positions.empty()) return true;
    if (m_path.empty()) return false;
    std::vector<size_t> starts = SegmentStarts(positions, keyTimes);
    starts.push_back(positions.size());
    const size_t segments = starts.size() - 1;
    if (threads == 0) threads = CoreCount();
    threads = unsigned(std::min<size_t>(threads, segments));
    // The workers are the parallelism; a lone worker lets its decoder use the cores.
    const unsigned decoderThreads = threads > 1 ? 1 : 0;
    std::atomic<bool> stopped{false};
    std::atomic<bool> cancel{false};
    auto work = [&](size_t segment) {
        if (stopped) return;
        try {
            bool failed = false;
            std::unique_ptr<ExactSeeker> seeker = TakeIdleSeeker(decoderThreads, failed);
            if (failed) {
                stopped = true;
                return;
            }
            seeker->SetCancelFlag(&cancel);
            Source source(*seeker, m_info.duration);
            for (size_t k = starts[segment]; k < starts[segment + 1] && !stopped; ++k) {
                if (!visit(k, source)) {
                    stopped = true;
                    cancel = true;  // breaks off the other workers' reads
                }
            }
            seeker->SetCancelFlag(nullptr);
            GiveBack(std::move(seeker));
        } catch (const std::bad_alloc&) {
            stopped = true;
            cancel = true;
        }
    };
    IndexPool pool(segments, threads > 0 ? threads - 1 : 0, work);
    pool.Help();
    pool.Join();
    return !stopped;
}
