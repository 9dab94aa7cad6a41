#include "playback/audio_sink.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <mutex>

namespace {

class PullDevice : public QIODevice {
public:
    explicit PullDevice(AudioSink::Pull pull) : m_pull(std::move(pull)) {}
    bool isSequential() const override { return true; }
    // Sound is made on demand: there is always more to read.
    qint64 bytesAvailable() const override { return 1 << 16; }

protected:
    qint64 readData(char* data, qint64 maxSize) override { return m_pull(data, maxSize); }
    // QIODevice requires it; the sink only reads from this device, never writes.
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    AudioSink::Pull m_pull;
};

// A QAudioSink made, used and deleted on a thread of its own, so that its
// pulls never wait for the user-interface thread.
class DeviceAudioSink : public AudioSink {
public:
    DeviceAudioSink(QAudioDevice device, QAudioFormat format) : m_device(std::move(device)), m_format(format) {}
    ~DeviceAudioSink() override {
        if (!m_thread) return;
        QMetaObject::invokeMethod(
            m_worker,
            [this] {
                if (m_sink) m_sink->stop();
                delete m_sink;
                delete m_pullDevice;
                delete m_worker;
            },
            Qt::BlockingQueuedConnection);
        m_thread->quit();
        m_thread->wait();
    }

    int SampleRate() const override { return m_format.sampleRate(); }
    int Channels() const override { return m_format.channelCount(); }
    double Latency() const override { return m_latency; }
    bool Failed() const override { return m_failed.load(); }

    bool Start(Pull pull) override {
        m_thread = std::make_unique<QThread>();
        m_worker = new QObject;
        m_worker->moveToThread(m_thread.get());
        m_thread->start();
        bool ok = false;
        QMetaObject::invokeMethod(
            m_worker,
            [&] {
                const int bytesPerSecond = m_format.sampleRate() * m_format.channelCount() * 2;
                m_sink = new QAudioSink(m_device, m_format);
                m_pullDevice = new PullDevice(std::move(pull));
                m_pullDevice->open(QIODevice::ReadOnly);
                // A device that goes away stops the sink with an error; an
                // underrun while the buffer refills is no failure.
                QObject::connect(m_sink, &QAudioSink::stateChanged, m_worker, [this](QAudio::State state) {
                    const QAudio::Error error = m_sink->error();
                    if (state == QAudio::StoppedState && error != QAudio::NoError && error != QAudio::UnderrunError)
                        m_failed = true;
                });
                m_sink->setBufferSize(bytesPerSecond / 10);
                m_sink->start(m_pullDevice);
                m_sink->suspend();
                ok = m_sink->error() == QAudio::NoError || m_sink->error() == QAudio::UnderrunError;
                m_latency = double(m_sink->bufferSize()) / bytesPerSecond;
            },
            Qt::BlockingQueuedConnection);
        return ok;
    }

    void SetPaused(bool paused) override {
        if (!m_worker) return;
        QMetaObject::invokeMethod(m_worker, [this, paused] {
            if (!m_sink) return;
            if (paused)
                m_sink->suspend();
            else
                m_sink->resume();
        });
    }

private:
    QAudioDevice m_device;
    QAudioFormat m_format;
    std::unique_ptr<QThread> m_thread;
    QObject* m_worker = nullptr;         // lives on m_thread
    QAudioSink* m_sink = nullptr;        // made, used and deleted on m_thread
    PullDevice* m_pullDevice = nullptr;  // likewise
    double m_latency = 0.0;
    std::atomic<bool> m_failed{false};
};

std::mutex g_factoryMutex;
AudioSinkFactory g_factory;

}  // namespace

std::unique_ptr<AudioSink> MakeDeviceAudioSink(int sampleRate, int channels) {
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
    return std::make_unique<DeviceAudioSink>(device, format);
}

AudioSinkFactory SetAudioSinkFactory(AudioSinkFactory factory) {
    std::lock_guard lock(g_factoryMutex);
    std::swap(factory, g_factory);
    return factory;
}

std::unique_ptr<AudioSink> MakeAudioSink(int sampleRate, int channels) {
    AudioSinkFactory factory;
    {
        std::lock_guard lock(g_factoryMutex);
        factory = g_factory;
    }
    return factory ? factory(sampleRate, channels) : MakeDeviceAudioSink(sampleRate, channels);
}
