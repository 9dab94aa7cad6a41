#include "video/audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <algorithm>
#include <cstring>

#include "video/playback_clock.h"

class AudioPullDevice : public QIODevice {
public:
    explicit AudioPullDevice(AudioOutput& owner) : m_owner(owner) {}
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 1 << 16; }

protected:
    qint64 readData(char* data, qint64 maxSize) override { return m_owner.Read(data, maxSize); }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    AudioOutput& m_owner;
};

AudioOutput::AudioOutput(int rate, int channels, PlaybackClock& clock)
    : m_rate(rate), m_channels(channels), m_clock(clock) {
    // Half a second of sound at most waits in the buffer.
    m_capacity = size_t(rate) * size_t(channels) * 2 / 2;
}

std::unique_ptr<AudioOutput> AudioOutput::Create(int sampleRate, int channels, PlaybackClock& clock) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return nullptr;
    QAudioFormat format;
    format.setSampleFormat(QAudioFormat::Int16);
    format.setChannelCount(std::clamp(channels, 1, 2));
    format.setSampleRate(sampleRate);
    if (!device.isFormatSupported(format)) {
        format.setSampleRate(48000);
        format.setChannelCount(2);
        if (!device.isFormatSupported(format)) return nullptr;
    }
    std::unique_ptr<AudioOutput> out(new AudioOutput(format.sampleRate(), format.channelCount(), clock));
    if (!out->Start()) return nullptr;
    return out;
}

bool AudioOutput::Start() {
    m_thread = std::make_unique<QThread>();
    m_worker = new QObject;
    m_worker->moveToThread(m_thread.get());
    m_thread->start();
    bool ok = false;
    QMetaObject::invokeMethod(
        m_worker,
        [this, &ok] {
            QAudioFormat format;
            format.setSampleFormat(QAudioFormat::Int16);
            format.setChannelCount(m_channels);
            format.setSampleRate(m_rate);
            m_sink = new QAudioSink(QMediaDevices::defaultAudioOutput(), format);
            m_device = new AudioPullDevice(*this);
            m_device->open(QIODevice::ReadOnly);
            m_sink->setBufferSize(m_rate * m_channels * 2 / 10);
            m_sink->start(m_device);
            m_sink->suspend();
            ok = m_sink->error() == QAudio::NoError || m_sink->error() == QAudio::UnderrunError;
            m_latency = double(m_sink->bufferSize()) / (m_rate * m_channels * 2);
        },
        Qt::BlockingQueuedConnection);
    return ok;
}

AudioOutput::~AudioOutput() {
    Abort();
    if (m_thread) {
        if (m_worker) {
            QMetaObject::invokeMethod(
                m_worker,
                [this] {
                    if (m_sink) m_sink->stop();
                    delete m_sink;
                    delete m_device;
                    m_sink = nullptr;
                    m_device = nullptr;
                    delete m_worker;
                },
                Qt::BlockingQueuedConnection);
            m_worker = nullptr;
        }
        m_thread->quit();
        m_thread->wait();
    }
}

bool AudioOutput::Write(std::vector<uint8_t> bytes, double pts, int serial, const std::atomic<int>& current) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_aborted || serial != current.load() || serial != m_serial) return false;
        if (m_bytes < m_capacity) break;
        m_space.wait_for(lock, std::chrono::milliseconds(20));
    }
    m_bytes += bytes.size();
    m_chunks.push_back(Chunk{std::move(bytes), 0, pts});
    return true;
}

void AudioOutput::Flush(int serial) {
    std::lock_guard lock(m_mutex);
    m_chunks.clear();
    m_bytes = 0;
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
    }
    if (!m_worker) return;
    QMetaObject::invokeMethod(m_worker, [this, paused] {
        if (!m_sink) return;
        if (paused)
            m_sink->suspend();
        else
            m_sink->resume();
    });
}

void AudioOutput::Abort() {
    std::lock_guard lock(m_mutex);
    m_aborted = true;
    m_space.notify_all();
}

int64_t AudioOutput::Read(char* data, int64_t maxBytes) {
    std::lock_guard lock(m_mutex);
    const int64_t bytesPerSecond = int64_t(m_rate) * m_channels * 2;
    int64_t done = 0;
    bool anchored = false;
    while (done < maxBytes && !m_chunks.empty() && !m_paused) {
        Chunk& c = m_chunks.front();
        if (!anchored) {
            // The sound handed out now is heard after the sink's buffer.
            m_clock.Set(c.pts + double(c.offset) / double(bytesPerSecond) - m_latency);
            anchored = true;
        }
        const size_t n = std::min<size_t>(size_t(maxBytes - done), c.bytes.size() - c.offset);
        std::memcpy(data + done, c.bytes.data() + c.offset, n);
        c.offset += n;
        done += int64_t(n);
        m_bytes -= n;
        if (c.offset == c.bytes.size()) m_chunks.pop_front();
    }
    if (done > 0) m_space.notify_all();
    // Silence keeps the sink running while the buffer refills.
    const int64_t frameBytes = int64_t(m_channels) * 2;
    int64_t total = std::max<int64_t>(done, std::min<int64_t>(maxBytes, bytesPerSecond / 50));
    total -= total % frameBytes;
    if (total > done) std::memset(data + done, 0, size_t(total - done));
    return std::max<int64_t>(total, done);
}
