#include "playback/audio_output.h"

#include <algorithm>
#include <cstring>

#include "playback/playback_clock.h"

AudioOutput::AudioOutput(std::unique_ptr<AudioSink> sink, PlaybackClock& clock)
    : m_sink(std::move(sink)), m_rate(m_sink->SampleRate()), m_channels(m_sink->Channels()), m_clock(clock) {
    // Half a second of sound at most waits in the buffer.
    m_capacity = size_t(m_rate) * size_t(m_channels) * 2 / 2;
}

std::unique_ptr<AudioOutput> AudioOutput::Create(int sampleRate, int channels, PlaybackClock& clock) {
    std::unique_ptr<AudioSink> sink = MakeAudioSink(sampleRate, channels);
    if (!sink || sink->SampleRate() <= 0 || sink->Channels() <= 0) return nullptr;
    std::unique_ptr<AudioOutput> out(new AudioOutput(std::move(sink), clock));
    if (!out->m_sink->Start([raw = out.get()](char* data, int64_t maxBytes) { return raw->Read(data, maxBytes); }))
        return nullptr;
    {
        std::lock_guard lock(out->m_mutex);
        out->m_latency = out->m_sink->Latency();
    }
    return out;
}

AudioOutput::~AudioOutput() {
    Abort();
    // The sink stops pulling before the buffer it pulls from goes.
    m_sink.reset();
}

bool AudioOutput::FailedLocked() const {
    if (m_failed) return true;
    if (m_sink->Failed() ||
        (!m_paused && !m_aborted && std::chrono::steady_clock::now() - m_lastPull > kStallLimit)) {
        m_failed = true;  // for good: a sink that came back would find the clock moved on
    }
    return m_failed;
}

bool AudioOutput::Failed() const {
    std::lock_guard lock(m_mutex);
    return FailedLocked();
}

bool AudioOutput::Write(std::vector<uint8_t> bytes, double pts, int serial, const std::atomic<int>& current) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_aborted || serial != current.load() || serial != m_serial || FailedLocked()) return false;
        if (m_bytes < m_capacity) break;
        m_space.wait_for(lock, std::chrono::milliseconds(20));
    }
    m_bytes += bytes.size();
    m_chunks.push_back(Chunk{std::move(bytes), 0, pts});
    return true;
}

void AudioOutput::Flush(int serial, double startTime) {
    std::lock_guard lock(m_mutex);
    m_chunks.clear();
    m_bytes = 0;
    m_playedUntil = startTime;
    m_serial = serial;
    m_space.notify_all();
}

void AudioOutput::MarkEnd(int serial) {
    std::lock_guard lock(m_mutex);
    m_endSerial = serial;
}

bool AudioOutput::Drained(int serial) const {
    std::lock_guard lock(m_mutex);
    return m_endSerial == serial && m_serial == serial && m_chunks.empty();
}

void AudioOutput::SetPaused(bool paused) {
    {
        std::lock_guard lock(m_mutex);
        if (m_paused == paused) return;
        m_paused = paused;
        // A sink takes a moment to resume; the stall limit counts from here.
        m_lastPull = std::chrono::steady_clock::now();
    }
    m_sink->SetPaused(paused);
}

void AudioOutput::Abort() {
    std::lock_guard lock(m_mutex);
    m_aborted = true;
    m_space.notify_all();
}

int64_t AudioOutput::Read(char* data, int64_t maxBytes) {
    std::lock_guard lock(m_mutex);
    if (maxBytes <= 0) return 0;
    m_lastPull = std::chrono::steady_clock::now();
    const int64_t bytesPerSecond = int64_t(m_rate) * m_channels * 2;
    const int64_t frameBytes = int64_t(m_channels) * 2;
    int64_t done = 0;
    bool anchored = false;
    while (done < maxBytes && !m_chunks.empty() && !m_paused && !m_failed) {
        Chunk& c = m_chunks.front();
        const double at = c.pts + double(c.offset) / double(bytesPerSecond);
        // Where sound is missing (packets that could not be decoded), silence
        // of the same length keeps the clock to the movie's time; played back
        // to back, the sound after the gap would pull the pictures ahead.
        // A jump of many seconds is a break in the timestamps, not missing
        // sound: the clock follows it at once.
        int64_t gap = 0;
        if (m_playedUntil && at > *m_playedUntil + kLargestSeam && at < *m_playedUntil + kLongestGap) {
            gap = std::min<int64_t>(maxBytes - done, int64_t((at - *m_playedUntil) * double(bytesPerSecond)));
            gap -= gap % frameBytes;
        }
        const double from = gap > 0 ? *m_playedUntil : at;
        if (!anchored) {
            // The sound handed out now is heard after the sink's buffer.
            m_clock.Set(from - m_latency);
            anchored = true;
        }
        if (gap > 0) {
            std::memset(data + done, 0, size_t(gap));
            done += gap;
            m_playedUntil = from + double(gap) / double(bytesPerSecond);
            continue;
        }
        const size_t n = std::min<size_t>(size_t(maxBytes - done), c.bytes.size() - c.offset);
        std::memcpy(data + done, c.bytes.data() + c.offset, n);
        c.offset += n;
        done += int64_t(n);
        m_bytes -= n;
        m_playedUntil = at + double(n) / double(bytesPerSecond);
        if (c.offset == c.bytes.size()) m_chunks.pop_front();
    }
    if (done > 0) m_space.notify_all();
    // Silence keeps the sink running while the buffer refills.
    int64_t total = std::max<int64_t>(done, std::min<int64_t>(maxBytes, bytesPerSecond / 50));
    total -= total % frameBytes;
    if (total > done) std::memset(data + done, 0, size_t(total - done));
    return std::max<int64_t>(total, done);
}
