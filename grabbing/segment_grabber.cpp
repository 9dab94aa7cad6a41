#include "grabbing/segment_grabber.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <new>

#include "image/dib_image.h"
#include "base/index_pool.h"
#include "decoding/exact_seeker.h"

SegmentGrabber::SegmentGrabber() = default;
SegmentGrabber::~SegmentGrabber() = default;

int SegmentGrabber::Open(const std::string& path, std::string& message) {
    m_path = path;
    m_firstWidth = m_firstHeight = 0;
    m_idle.clear();
    auto firstSeeker = std::make_unique<ExactSeeker>();
    // A stop asked for from another thread breaks off the open's reads too.
    m_cancel = m_stopRequested.load();
    firstSeeker->SetCancelFlag(&m_cancel);
    // One decoding thread: this decoder becomes one of the workers, which
    // are the parallelism.
    int rc = firstSeeker->Open(path, message, 1);
    m_info = firstSeeker->Info();
    if (rc >= 0 && m_info.videoStream < 0) {
        message = kNoVideoStreamText;
        rc = AVERROR_STREAM_NOT_FOUND;
    }
    if (rc >= 0) {
        CDibImage first;
        double time = 0.0;
        if (firstSeeker->FrameInto(0.0, first, time)) {
            m_firstWidth = first.Width();
            m_firstHeight = first.Height();
        } else {
            message = m_cancel ? "stopped" : kNoPictureText;
            rc = m_cancel ? AVERROR_EXIT : AVERROR_INVALIDDATA;
        }
    }
    if (rc < 0) {
        if (message.empty()) message = kOpenFailedText;
        m_path.clear();
        return rc;
    }
    firstSeeker->SetCancelFlag(nullptr);
    // It decodes on one thread, as the workers do; it becomes one of them.
    m_idle.push_back({std::move(firstSeeker), 1});
    return 0;
}

const MediaInfo& SegmentGrabber::Info() const { return m_info; }

void SegmentGrabber::PictureSize(int32_t& width, int32_t& height) const { RotatedCodedSize(m_info, width, height); }

bool SegmentGrabber::Source::PictureAt(double position, CDibImage& out, double& time) {
    return m_seeker.FrameInto(SettledMoviePosition(position, m_duration), out, time);
}

const AVFrame* SegmentGrabber::Source::RawPictureAt(double position, double& time) {
    return m_seeker.RawFrameAt(SettledMoviePosition(position, m_duration), time);
}

bool SegmentGrabber::Source::ConvertLast(CDibImage& out) { return m_seeker.CurrentInto(out); }

bool SegmentGrabber::Source::KeyPictureAt(double seconds, CDibImage& out, double& time) {
    return m_seeker.KeyFrameInto(seconds, out, time);
}

double SegmentGrabber::KeyFrameBefore(double position, const std::vector<double>& keyTimes) const {
    if (!keyTimes.empty()) {
        const auto after = std::upper_bound(keyTimes.begin(), keyTimes.end(), position);
        return after == keyTimes.begin() ? std::numeric_limits<double>::quiet_NaN() : *(after - 1);
    }
    // Any of the decoders knows the container's index; between runs all are idle.
    std::lock_guard lock(m_idleMutex);
    return m_idle.empty() ? std::numeric_limits<double>::quiet_NaN() : m_idle.front().seeker->KeyFrameBefore(position);
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
            split = position - SettledPosition(positions[k - 1]) > ExactSeeker::kForwardWithoutIndex;
        if (split) starts.push_back(k);
        previousKey = key;
    }
    return starts;
}

std::unique_ptr<ExactSeeker> SegmentGrabber::TakeIdleSeeker(unsigned decoderThreads, std::string& failure) {
    {
        std::lock_guard lock(m_idleMutex);
        for (auto it = m_idle.begin(); it != m_idle.end(); ++it) {
            if (it->threads != decoderThreads) continue;
            std::unique_ptr<ExactSeeker> seeker = std::move(it->seeker);
            m_idle.erase(it);
            return seeker;
        }
    }
    auto seeker = std::make_unique<ExactSeeker>();
    seeker->SetCancelFlag(&m_cancel);
    std::string message;
    if (seeker->Open(m_path, message, int(decoderThreads)) < 0 || !seeker->IsOpen()) {
        failure = message.empty() ? kOpenFailedText : message;
        return nullptr;
    }
    return seeker;
}

void SegmentGrabber::GiveBack(std::unique_ptr<ExactSeeker> seeker, unsigned decoderThreads) {
    std::lock_guard lock(m_idleMutex);
    m_idle.push_back({std::move(seeker), decoderThreads});
}

OpResult SegmentGrabber::Run(const std::vector<double>& positions, const Visit& visit, unsigned threads,
                             const std::vector<double>& keyTimes, const std::function<bool()>& stopRequested) {
    if (positions.empty()) return OpResult::Success();
    if (m_path.empty()) return OpResult::Failure("no movie is open");
    std::vector<size_t> starts = SegmentStarts(positions, keyTimes);
    starts.push_back(positions.size());
    const size_t segments = starts.size() - 1;
    if (threads == 0) threads = CoreCount();
    threads = unsigned(std::min<size_t>(threads, segments));
    // The workers are the parallelism; a lone worker lets its decoder use the cores.
    const unsigned decoderThreads = threads > 1 ? 1 : 0;
    // Cleared before the stop request is read, so that a request made at any
    // moment ends up cancelling this run.
    m_cancel = false;
    if (m_stopRequested) m_cancel = true;
    std::atomic<bool>& cancel = m_cancel;
    std::atomic<bool> stopped{false};
    std::mutex failureMutex;
    std::string failure;
    // Stops every worker: the reads in progress are broken off.
    const auto fail = [&](const std::string& why) {
        std::lock_guard lock(failureMutex);
        if (failure.empty()) failure = why;
        stopped = true;
        cancel = true;
    };
    auto work = [&](size_t segment) {
        if (stopped || cancel) return;
        // IndexPool's threads must not throw: whatever goes wrong ends this
        // run with a reason instead of the program.
        try {
            std::string why;
            std::unique_ptr<ExactSeeker> seeker = TakeIdleSeeker(decoderThreads, why);
            if (!seeker) {
                fail("cannot open the movie again for another decoder: " + why);
                return;
            }
            seeker->SetCancelFlag(&cancel);
            Source source(*seeker, m_info.duration);
            for (size_t k = starts[segment]; k < starts[segment + 1] && !stopped && !cancel; ++k) {
                if (!visit(k, source)) {
                    stopped = true;
                    cancel = true;
                }
            }
            seeker->SetCancelFlag(nullptr);
            GiveBack(std::move(seeker), decoderThreads);
        } catch (const std::bad_alloc&) {
            fail("out of memory");
        } catch (const std::exception& error) {
            fail(error.what());
        } catch (...) {
            fail("an unexpected error");
        }
    };
    // A watching caller starts every worker; one that helps starts one fewer.
    const unsigned workers = stopRequested ? threads : threads - 1;
    IndexPool pool(segments, workers, work);
    if (stopRequested && workers > 0 && pool.Threads() == workers) {
        while (!pool.WaitFinished(std::chrono::milliseconds(50))) {
            if (stopped || !stopRequested()) continue;
            stopped = true;
            cancel = true;
            pool.Stop();
        }
    } else {
        // No thread to spare: the stop is seen between visits only.
        pool.Help();
    }
    pool.Join();
    if (!failure.empty()) return OpResult::Failure(failure);
    return OpResult::Success();
}

void SegmentGrabber::RequestStop() {
    m_stopRequested = true;
    m_cancel = true;
}
