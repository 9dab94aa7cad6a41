#include "playback/movie_player.h"

#include <cmath>
#include <system_error>
#include <thread>

#include "playback/event_signal.h"
#include "decoding/exact_seeker.h"
#include "playback/playback_engine.h"

namespace {

// How long Close and Play wait for the player's threads. A thread inside a read
// that nothing can interrupt (a hard-mounted share that went away) is left to
// finish on its own, owning what it uses, so the window never freezes.
constexpr auto kStopWait = std::chrono::milliseconds(200);

template <typename T, typename... Kept>
void Retire(std::unique_ptr<T> object, Kept... kept) {
    if (!object) return;
    object->RequestStop();
    if (object->WaitStopped(kStopWait)) {
        // Freed here, at once, in this order: the object may use what is kept.
        object.reset();
        (kept.reset(), ...);
        return;
    }
    try {
        std::thread([object = std::move(object), ... kept = std::move(kept)]() mutable {
            object.reset();  // joins the threads once their reads return
            (kept.reset(), ...);
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: waiting here is all that is left.
    }
}

}  // namespace

CMoviePlayer::CMoviePlayer() = default;

CMoviePlayer::~CMoviePlayer() { Close(); }

long CMoviePlayer::Open(const char* fileName) {
    Close();
    m_lastError.clear();
    if (!fileName) {
        m_lastError = AvErrorText(AVERROR(EINVAL));
        return AVERROR(EINVAL);
    }
    m_events = std::make_unique<EventSignal>();
    if (m_events->Handle() < 0) {
        // Without the descriptor the caller could never learn of the movie's
        // end, and a handle of -1 reads as "no movie open".
        const int rc = AVERROR(m_events->CreateError());
        m_lastError = "Cannot create the player's event descriptor: " + AvErrorText(rc);
        Close();
        return rc;
    }
    m_engine = std::make_unique<PlaybackEngine>(*m_events);
    m_seeker = std::make_unique<ExactSeeker>();
    m_engine->SetFrameCallback(m_frameCallback);
    int rc = m_seeker->Open(fileName, m_lastError);
    if (rc == 0) rc = m_engine->Open(fileName, m_lastError, m_soundEnabled);
    if (rc == 0 && m_seeker->Info().videoStream >= 0) {
        VideoImagePtr first = m_seeker->FrameAt(0.0);
        if (first) {
            m_engine->ShowImage(first, 0.0);
        } else if (m_seeker->Info().audioStream < 0) {
            // A picture stream that yields no picture and no sound: nothing plays.
            rc = AVERROR_INVALIDDATA;
            m_lastError = kNoPictureText;
        }
    }
    if (rc < 0) {
        if (m_lastError.empty()) m_lastError = kOpenFailedText;
        const std::string why = m_lastError;
        Close();
        m_lastError = why;
        return rc;
    }
    m_path = fileName;
    m_state = Opened;
    return 0;
}

long CMoviePlayer::Close() {
    m_state = Closed;
    m_path.clear();
    if (m_engine) {
        m_engine->SetFrameCallback(nullptr);
        // The engine posts to the event queue until its threads are gone.
        Retire(std::move(m_engine), std::move(m_events));
    }
    m_seeker.reset();
    m_events.reset();
    return 0;
}

long CMoviePlayer::Play() {
    if (!m_engine) return 1;
    const double position = GetCurrentPosition();
    const double duration = GetDuration();
    if (std::fabs(duration - position) < 1.0) SetPosition(0.0, false);
    m_state = Running;
    m_engine->SetRunning(true);
    return 1;
}

long CMoviePlayer::Pause() {
    m_state = Paused;
    if (m_engine) m_engine->SetRunning(false);
    return 1;
}

long CMoviePlayer::Stop() {
    m_state = Stopped;
    if (m_engine) m_engine->SetRunning(false);
    return 1;
}

double CMoviePlayer::GetDuration() const { return m_engine ? m_engine->Info().duration : 0.0; }

double CMoviePlayer::GetCurrentPosition() const { return m_engine ? m_engine->Position() : 0.0; }

double CMoviePlayer::SeekedPosition(double position) const { return SettledMoviePosition(position, GetDuration()); }

bool CMoviePlayer::SetPosition(double position, bool refreshWhenStopped) {
    if (!m_engine) return false;
    if (!std::isfinite(position)) return false;
    position = SeekedPosition(position);
    m_engine->Seek(position);
    if (!refreshWhenStopped || m_state == Running || !m_seeker || !m_seeker->IsOpen()) return true;
    VideoImagePtr image = m_seeker->FrameAt(position);
    if (!image) return false;
    m_engine->ShowImage(std::move(image), position);
    return true;
}

bool CMoviePlayer::SetTimeFormat(TimeFormat format) {
    if (!m_engine || format != TimeFormat::MediaTime) return false;
    m_timeFormat = format;
    return true;
}

bool CMoviePlayer::GetNativeVideoSize(int32_t* width, int32_t* height) const {
    if (!width || !height) return false;
    *width = *height = 0;
    if (!m_engine || m_engine->Info().videoStream < 0) return false;
    RotatedCodedSize(m_engine->Info(), *width, *height);
    return true;
}

VideoImagePtr CMoviePlayer::CurrentPicture() const { return m_engine ? m_engine->CurrentImage() : nullptr; }

double CMoviePlayer::GetCurrentFrameTime() const {
    VideoImagePtr image = m_engine ? m_engine->CurrentImage() : nullptr;
    return image ? image->time : -1.0;
}

double CMoviePlayer::GetFrameDuration() const { return m_engine ? m_engine->Info().frameDuration : 0.0; }

int CMoviePlayer::GetEventHandle() const { return m_events ? m_events->Handle() : -1; }

long CMoviePlayer::GetEvent() { return m_events ? m_events->Take() : 0; }

GrabBlock CMoviePlayer::GetCurrentImage() const {
    if (!m_engine) return nullptr;
    VideoImagePtr image = m_engine->CurrentImage();
    if (!image) return nullptr;
    return MakeGrabBlock(*image);
}

long CMoviePlayer::GetCurrentImage(uint8_t** block) const {
    if (!block) return AVERROR(EINVAL);
    GrabBlock grabbed = GetCurrentImage();
    *block = grabbed.release();
    return *block ? 0 : AVERROR(ENODATA);
}

void CMoviePlayer::SetFrameCallback(std::function<void()> callback) {
    m_frameCallback = std::move(callback);
    if (m_engine) m_engine->SetFrameCallback(m_frameCallback);
}

int64_t CMoviePlayer::SkippedPackets() const {
    return (m_engine ? m_engine->SkippedPackets() : 0) + (m_seeker ? m_seeker->SkippedPackets() : 0);
}

int64_t CMoviePlayer::DroppedFrames() const { return m_engine ? m_engine->DroppedFrames() : 0; }

bool CMoviePlayer::PlaysSound() const { return m_engine && m_engine->PlaysSound(); }
