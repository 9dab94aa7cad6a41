#include "playback/present_decision.h"
#include "playback/playback_engine.h"

#include <cmath>
#include <new>
#include <system_error>

namespace {
constexpr auto kPoll = std::chrono::milliseconds(20);
// The demuxer stops reading when this much is queued or every queue has enough.
constexpr size_t kMaxQueuedBytes = 15 << 20;
constexpr size_t kEnoughPackets = 25;
}  // namespace

PlaybackEngine::PlaybackEngine(EventSignal& events) : m_events(events) {}

PlaybackEngine::~PlaybackEngine() { Close(); }

double PlaybackEngine::SecondsOf(int64_t ts, AVRational tb) const {
    return double(ts) * av_q2d(tb) - m_info.startTime;
}

int PlaybackEngine::Open(const std::string& path, std::string& message, bool withSound) {
    Close();
    int rc = OpenMediaSource(path, m_fmt, m_info, message, m_interrupt);
    if (rc < 0) return rc;
    if (m_info.videoStream >= 0) {
        rc = OpenStreamDecoder(m_fmt.get(), m_info.videoStream, 0, m_videoDec);
        if (rc < 0 && m_info.audioStream >= 0) {
            // Played as sound only, as the exact seeker treats it too.
            m_fmt->streams[m_info.videoStream]->discard = AVDISCARD_ALL;
            m_info.videoStream = -1;
        } else if (rc < 0) {
            message = "Cannot open the picture decoder: " + AvErrorText(rc);
            Close();
            return rc;
        }
        m_converter.SetGeometry(m_info.rotation, m_info.sampleAspect);
    }
    if (m_info.audioStream >= 0) {
        // Sound is optional: without a decoder or a device the movie plays silently.
        if (withSound && OpenStreamDecoder(m_fmt.get(), m_info.audioStream, 1, m_audioDec) == 0) {
            m_audioOut = AudioOutput::Create(m_audioDec->sample_rate, m_audioDec->ch_layout.nb_channels, m_clock);
            if (m_audioOut) m_audioOut->Flush(0, 0.0);
        }
        if (!m_audioOut) {
            m_audioDec.reset();
            m_fmt->streams[m_info.audioStream]->discard = AVDISCARD_ALL;
        }
    }
    m_quit = false;
    m_serial = 0;
    m_running = false;
    m_holdClock = false;
    m_seekPending = false;
    m_dropBefore = 0.0;
    m_demuxEnded = m_readFailed = false;
    m_videoEndSerial = m_audioEndSerial = m_postedSerial = -1;
    m_skippedPackets = 0;
    m_soundLost = false;
    m_clock.Set(0.0);
    m_clock.SetPaused(true);
    m_videoPackets.Restart();
    m_audioPackets.Restart();
    m_pictures.Restart();
    try {
        m_demuxThread = Start(&PlaybackEngine::DemuxLoop);
        if (m_videoDec) m_videoThread = Start(&PlaybackEngine::VideoLoop);
        if (m_audioOut) m_audioThread = Start(&PlaybackEngine::AudioLoop);
        m_presentThread = Start(&PlaybackEngine::PresentLoop);
    } catch (const std::system_error& e) {
        // No thread to be had (out of memory or of threads).
        Close();
        message = "Cannot start the player's threads: " + AvErrorText(AVERROR(EAGAIN));
        return AVERROR(EAGAIN);
    }
    return 0;
}

template <typename Loop>
std::thread PlaybackEngine::Start(Loop loop) {
    return m_live.Start([this, loop] {
        try {
            (this->*loop)();
        } catch (const std::bad_alloc&) {
            OutOfMemory();
        }
    });
}

void PlaybackEngine::RequestStop() {
    // A thread may be inside a read that waits on a slow disk or share: the
    // read is broken off before anything waits for that thread.
    m_interrupt.Abort();
    {
        std::lock_guard lock(m_control);
        m_quit = true;
        m_wake.notify_all();
    }
    m_videoPackets.Abort();
    m_audioPackets.Abort();
    m_pictures.Abort();
    if (m_audioOut) m_audioOut->Abort();
}

bool PlaybackEngine::WaitStopped(std::chrono::milliseconds limit) { return m_live.WaitAllFinished(limit); }

void PlaybackEngine::Close() {
    RequestStop();
    for (std::thread* t : {&m_demuxThread, &m_videoThread, &m_audioThread, &m_presentThread})
        if (t->joinable()) t->join();
    m_videoPackets.Clear();
    m_audioPackets.Clear();
    m_pictures.Clear();
    m_audioOut.reset();
    m_videoDec.reset();
    m_audioDec.reset();
    m_fmt.reset();
    m_interrupt.Clear();
    std::lock_guard lock(m_imageMutex);
    m_image.reset();
    m_position = 0.0;
}

void PlaybackEngine::SetFrameCallback(std::function<void()> callback) {
    std::lock_guard lock(m_callbackMutex);
    m_frameCallback = std::move(callback);
}

void PlaybackEngine::CallFrameCallback() {
    std::lock_guard lock(m_callbackMutex);
    if (m_frameCallback) m_frameCallback();
}

void PlaybackEngine::UpdateClockRunning() {
    // Caller holds m_control.
    const bool run = m_running && !m_holdClock;
    if (m_audioOut) m_audioOut->SetPaused(!m_running);
    m_clock.SetPaused(!run);
}

void PlaybackEngine::SetRunning(bool running) {
    std::lock_guard lock(m_control);
    m_running = running;
    UpdateClockRunning();
    m_wake.notify_all();
}

void PlaybackEngine::Seek(double seconds) {
    std::lock_guard lock(m_control);
    const int serial = m_serial.load() + 1;
    m_serial = serial;
    m_seekPending = true;
    m_seekTarget = seconds;
    m_dropBefore = seconds;
    m_demuxEnded = false;
    m_readFailed = false;
    m_videoPackets.Clear();
    m_audioPackets.Clear();
    // Pictures are left to the presenter, the queue's only consumer, which
    // drops those of an older serial: clearing here could take away the first
    // picture of this very seek between the presenter's look and its pop.
    if (m_audioOut) m_audioOut->Flush(serial, seconds);
    m_clock.Set(seconds);
    // Without sound the clock waits for the first picture after the seek, so
    // decoding it does not count as lateness.
    m_holdClock = m_videoDec && !SoundOn();
    UpdateClockRunning();
    {
        std::lock_guard imageLock(m_imageMutex);
        m_position = seconds;
    }
    m_wake.notify_all();
}

double PlaybackEngine::Position() const {
    if (m_info.videoStream < 0) {
        double t = m_clock.Now();
        if (m_info.duration > 0 && t > m_info.duration) t = m_info.duration;
        return t < 0 ? 0.0 : t;
    }
    std::lock_guard lock(m_imageMutex);
    return m_position;
}

VideoImagePtr PlaybackEngine::CurrentImage() const {
    std::lock_guard lock(m_imageMutex);
    return m_image;
}

void PlaybackEngine::ShowImage(VideoImagePtr image, double seconds) {
    std::lock_guard lock(m_imageMutex);
    m_image = std::move(image);
    m_position = seconds;
}

bool PlaybackEngine::QueuesSatisfied() const {
    // Nothing to feed (sound only, played silently): read on to learn where
    // the file ends; every packet is dropped at once.
    if (!m_videoDec && !SoundOn()) return false;
    if (m_videoPackets.Weight() + m_audioPackets.Weight() > kMaxQueuedBytes) return true;
    const bool videoEnough = !m_videoDec || m_videoPackets.Count() >= kEnoughPackets;
    const bool audioEnough = !SoundOn() || m_audioPackets.Count() >= kEnoughPackets;
    return videoEnough && audioEnough;
}

void PlaybackEngine::DoPendingSeek(int& serial) {
    double target;
    {
        // The serial is taken with the seek it belongs to: packets read after
        // a later Seek then carry the old serial and are dropped, instead of
        // passing as the new position's.
        std::lock_guard lock(m_control);
        serial = m_serial.load();
        if (!m_seekPending) return;
        m_seekPending = false;
        target = m_seekTarget;
    }
    const int64_t ts = int64_t((target + m_info.startTime) * AV_TIME_BASE);
    int rc;
    if (m_info.videoStream >= 0) {
        const AVRational tb = m_fmt->streams[m_info.videoStream]->time_base;
        rc = av_seek_frame(m_fmt.get(), m_info.videoStream, av_rescale_q(ts, AV_TIME_BASE_Q, tb), AVSEEK_FLAG_BACKWARD);
    } else {
        rc = avformat_seek_file(m_fmt.get(), -1, INT64_MIN, ts, ts, 0);
    }
    if (rc < 0) rc = avformat_seek_file(m_fmt.get(), -1, INT64_MIN, ts, INT64_MAX, 0);
    if (rc >= 0 || m_quit) return;
    // Reading on from wherever the demuxer is would show the wrong place as
    // the new one: this seek's playback ends instead, visibly.
    std::lock_guard lock(m_control);
    if (serial != m_serial.load()) return;
    m_demuxEnded = true;
    m_readFailed = true;
    PostOnce(EC_ERRORABORT, serial);
}

void PlaybackEngine::OutOfMemory() {
    std::lock_guard lock(m_control);
    PostOnce(EC_ERRORABORT, m_serial.load());
    m_wake.notify_all();
}

void PlaybackEngine::DemuxLoop() {
    PacketPtr packet = MakePacket();
    while (!m_quit) {
        {
            // Nothing is read or decoded while the movie stands still: seeks
            // of a stopped movie (Grab All) then cost the playback side nothing.
            std::unique_lock lock(m_control);
            if (!m_running) {
                m_wake.wait_for(lock, std::chrono::milliseconds(50));
                continue;
            }
        }
        int serial = 0;
        DoPendingSeek(serial);
        bool ended;
        {
            std::unique_lock lock(m_control);
            ended = m_demuxEnded;
            if (ended || QueuesSatisfied()) {
                m_wake.wait_for(lock, std::chrono::milliseconds(10));
                continue;
            }
        }
        const int rc = av_read_frame(m_fmt.get(), packet.get());
        if (rc == AVERROR(EAGAIN) || (rc < 0 && m_quit)) {
            // "Try again" is no end of the movie (nor is a read broken off by
            // Close); the byte reader would otherwise keep answering it.
            ClearTryAgain(m_fmt.get());
            std::unique_lock lock(m_control);
            m_wake.wait_for(lock, std::chrono::milliseconds(10));
            continue;
        }
        if (rc < 0) {
            {
                std::lock_guard lock(m_control);
                if (serial != m_serial.load()) continue;  // a seek came meanwhile
                m_demuxEnded = true;
                m_readFailed = rc != AVERROR_EOF && !(m_fmt->pb && avio_feof(m_fmt->pb));
            }
            // Pushed without the lock: a full queue waits for its decoder, which
            // itself takes the lock.
            if (m_videoDec) m_videoPackets.Push(PacketItem{nullptr, serial});
            if (SoundOn()) m_audioPackets.Push(PacketItem{nullptr, serial});
            continue;
        }
        PacketQueue* queue = nullptr;
        if (packet->stream_index == m_info.videoStream && m_videoDec) queue = &m_videoPackets;
        if (packet->stream_index == m_info.audioStream && SoundOn()) queue = &m_audioPackets;
        if (!queue) {
            av_packet_unref(packet.get());
            continue;
        }
        PacketPtr copy = MakePacket();
        av_packet_move_ref(copy.get(), packet.get());
        const size_t weight = size_t(copy->size) + sizeof(AVPacket);
        // The byte cap above bounds memory; a full single queue must not stall
        // the other stream, so this push only waits at its own hard cap.
        queue->Push(PacketItem{std::move(copy), serial}, weight);
    }
}

void PlaybackEngine::DropSound() {
    if (m_soundLost.exchange(true)) return;
    m_audioOut->Abort();
    m_audioPackets.Clear();
    m_wake.notify_all();
}

void PlaybackEngine::PostOnce(long code, int serial) {
    // Caller holds m_control.
    if (m_postedSerial == serial) return;
    m_postedSerial = serial;
    m_events.Post(code);
}

bool PlaybackEngine::EndReached(int serial) {
    // Caller holds m_control.
    const bool videoDone = !m_videoDec || m_videoEndSerial == serial;
    bool audioDone;
    if (SoundOn())
        audioDone = m_audioEndSerial == serial && m_audioOut->Drained(serial);
    else if (m_videoDec)
        audioDone = true;
    else
        audioDone = m_demuxEnded && m_clock.Now() >= m_info.duration;
    return videoDone && audioDone;
}

void PlaybackEngine::Present(const PictureItem& item) {
    // Caller holds m_control.
    std::lock_guard lock(m_imageMutex);
    m_image = item.image;
    m_position = item.image->time;
}

void PlaybackEngine::PresentLoop() {
    const double frameDuration = m_info.frameDuration > 0 ? m_info.frameDuration : 0.04;
    const double lateLimit = std::max(0.1, 2 * frameDuration);
    bool firstAfterSeek = true;
    int lastSerial = -1;
    auto lastShown = std::chrono::steady_clock::now();
    while (!m_quit) {
        // Nothing else notices a device that stopped pulling while the
        // decoders wait on full queues.
        if (m_audioOut && !m_soundLost && m_audioOut->Failed()) DropSound();
        const int serial = m_serial.load();
        if (serial != lastSerial) {
            lastSerial = serial;
            firstAfterSeek = true;
        }
        {
            std::unique_lock lock(m_control);
            if (!m_running) {
                m_wake.wait_for(lock, kPoll);
                continue;
            }
        }
        PictureItem item;
        bool have = m_pictures.Peek([&](const PictureItem& p) {
            item.image = p.image;
            item.serial = p.serial;
        });
        if (!have) {
            std::unique_lock lock(m_control);
            if (serial == m_serial.load() && EndReached(serial))
                PostOnce(m_readFailed ? EC_ERRORABORT : EC_COMPLETE, serial);
            m_wake.wait_for(lock, std::chrono::milliseconds(5));
            continue;
        }
        if (item.serial != serial) {
            m_pictures.TryPop();
            continue;
        }
        if (!item.image) {
            m_pictures.TryPop();
            std::lock_guard lock(m_control);
            if (serial == m_serial.load()) m_videoEndSerial = serial;
            continue;
        }
        if (firstAfterSeek) {
            std::lock_guard lock(m_control);
            if (serial != m_serial.load()) continue;
            if (m_holdClock) {
                // The first picture may start well before the target (the
                // last one before a gap in a variable-rate stream): time
                // goes on from the target, not from the picture.
                m_clock.Set(std::max(item.image->time, m_dropBefore));
                m_holdClock = false;
                UpdateClockRunning();
            }
        }
        PresentFacts facts;
        facts.delay = item.image->time - m_clock.Now();
        facts.firstAfterSeek = firstAfterSeek;
        facts.lateLimit = lateLimit;
        if (DecidePresent(facts) == PresentStep::Wait) {
            std::unique_lock lock(m_control);
            m_wake.wait_for(lock, std::chrono::duration<double>(std::min(facts.delay, 0.02)));
            continue;
        }
        {
            // A pause or a seek that came while this picture was being timed
            // wins: once Pause or SetPosition has returned, no older picture
            // or position replaces what they left.
            std::lock_guard lock(m_control);
            if (!m_running || serial != m_serial.load()) continue;
            m_pictures.TryPop();
            // Asked again now that the picture behind it is known: a late one
            // is skipped only for a later one already waiting.
            m_pictures.Peek([&](const PictureItem& next) { facts.laterWaiting = next.image && next.serial == serial; });
            const auto now = std::chrono::steady_clock::now();
            facts.sinceShown = std::chrono::duration<double>(now - lastShown).count();
            if (DecidePresent(facts) == PresentStep::Drop) {
                ++m_dropped;
                continue;
            }
            firstAfterSeek = false;
            lastShown = now;
            Present(item);
        }
        // Outside m_control: the receiver may ask for the picture at once.
        CallFrameCallback();
    }
}
