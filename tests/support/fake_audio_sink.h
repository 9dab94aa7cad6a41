#pragma once
// Sound devices for tests, which run where there is none: a sink that pulls
// at the real-time rate on its own thread, and can be told to stop pulling
// (a stalled device) or to fail (an unplugged one) after a while of playing.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "video/audio_sink.h"

struct FakeSinkPlan {
    enum Kind { RealTime, Stall, Fail } kind = RealTime;
    double after = 0.0;  // seconds of playing before the stall or failure
};

// What the sinks made by a factory did, readable from the test.
struct FakeSinkLog {
    std::atomic<int64_t> bytesPulled{0};
    std::atomic<int> sinks{0};
};

class FakeAudioSink : public AudioSink {
public:
    FakeAudioSink(int rate, int channels, FakeSinkPlan plan, FakeSinkLog& log)
        : m_rate(rate), m_channels(channels), m_plan(plan), m_log(log) {}
    ~FakeAudioSink() override {
        m_quit = true;
        if (m_thread.joinable()) m_thread.join();
    }
    int SampleRate() const override { return m_rate; }
    int Channels() const override { return m_channels; }
    double Latency() const override { return 0.05; }
    bool Failed() const override { return m_failed; }
    void SetPaused(bool paused) override { m_paused = paused; }
    bool Start(Pull pull) override {
        m_thread = std::thread([this, pull = std::move(pull)] { Run(pull); });
        return true;
    }

private:
    void Run(const Pull& pull) {
        using namespace std::chrono;
        const double bytesPerSecond = double(m_rate) * m_channels * 2;
        std::vector<char> buffer(static_cast<size_t>(bytesPerSecond));
        double played = 0.0, owed = 0.0;
        auto last = steady_clock::now();
        while (!m_quit) {
            std::this_thread::sleep_for(milliseconds(10));
            const auto now = steady_clock::now();
            const double elapsed = duration<double>(now - last).count();
            last = now;
            if (m_paused) continue;
            played += elapsed;
            if (m_plan.kind != FakeSinkPlan::RealTime && played > m_plan.after) {
                if (m_plan.kind == FakeSinkPlan::Fail) m_failed = true;
                continue;  // never pulls again
            }
            owed = std::min(owed + elapsed * bytesPerSecond, double(buffer.size()));
            const int64_t frame = int64_t(m_channels) * 2;
            const int64_t want = int64_t(owed) / frame * frame;
            if (want <= 0) continue;
            const int64_t got = pull(buffer.data(), want);
            owed -= double(got);
            m_log.bytesPulled += got;
        }
    }

    const int m_rate;
    const int m_channels;
    const FakeSinkPlan m_plan;
    FakeSinkLog& m_log;
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_paused{true};
    std::atomic<bool> m_failed{false};
    std::thread m_thread;
};

// Installs fake sinks for the players opened while it lives.
class FakeSinkScope {
public:
    explicit FakeSinkScope(FakeSinkPlan plan) {
        m_previous = SetAudioSinkFactory([plan, log = &m_log](int rate, int channels) {
            ++log->sinks;
            return std::make_unique<FakeAudioSink>(rate, std::clamp(channels, 1, 2), plan, *log);
        });
    }
    ~FakeSinkScope() { SetAudioSinkFactory(std::move(m_previous)); }
    FakeSinkScope(const FakeSinkScope&) = delete;
    FakeSinkScope& operator=(const FakeSinkScope&) = delete;
    const FakeSinkLog& Log() const { return m_log; }

private:
    FakeSinkLog m_log;
    AudioSinkFactory m_previous;
};
