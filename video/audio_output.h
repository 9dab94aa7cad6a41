#pragma once
// Sound through a QAudioSink on a thread of its own, fed from a small bounded
// buffer of 16-bit interleaved samples. The sink pulls; each pull re-anchors
// the playback clock to the time of the sound being played, so pictures follow
// the sound.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class PlaybackClock;
class QThread;
class QObject;
class QAudioSink;
class AudioPullDevice;

class AudioOutput {
public:
    // Null when there is no sound device or it refuses every format tried.
    static std::unique_ptr<AudioOutput> Create(int sampleRate, int channels, PlaybackClock& clock);
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    int SampleRate() const { return m_rate; }
    int Channels() const { return m_channels; }

    // Queues samples whose first one plays at `pts`; waits while the buffer is
    // full. False when `serial` is no longer current or the output is aborted.
    bool Write(std::vector<uint8_t> bytes, double pts, int serial, const std::atomic<int>& current);
    // Drops everything buffered and starts counting for `serial`.
    void Flush(int serial);
    void MarkEnd(int serial);
    // All sound of `serial` up to its end has been handed to the device.
    bool Drained(int serial) const;
    void SetPaused(bool paused);
    void Abort();

    // Called by the pull device on the sink's thread.
    int64_t Read(char* data, int64_t maxBytes);

private:
    AudioOutput(int rate, int channels, PlaybackClock& clock);
    bool Start();

    struct Chunk {
        std::vector<uint8_t> bytes;
        size_t offset = 0;
        double pts = 0.0;
    };
    const int m_rate;
    const int m_channels;
    PlaybackClock& m_clock;
    mutable std::mutex m_mutex;
    std::condition_variable m_space;
    std::deque<Chunk> m_chunks;
    size_t m_bytes = 0;
    size_t m_capacity = 0;
    int m_serial = 0;
    int m_endSerial = -1;
    bool m_aborted = false;
    bool m_paused = true;
    double m_latency = 0.0;

    std::unique_ptr<QThread> m_thread;
    QObject* m_worker = nullptr;  // lives on m_thread
    QAudioSink* m_sink = nullptr;  // made, used and deleted on m_thread
    AudioPullDevice* m_device = nullptr;
};
