#pragma once
// Sound devices for tests, which run where there is none: a sink that pulls at
// the real-time rate on its own thread and, if told, stops pulling (stalls) or
// fails after some seconds of playing.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "playback/audio_sink.h"

struct FakeSinkPlan {
    enum Kind { RealTime, Stall, Fail } kind = RealTime;
    double after = 0.0;  // seconds of playing before the stall or failure
};

class FakeAudioSink : public AudioSink {
public:
    FakeAudioSink(int rate, int channels, FakeSinkPlan plan) : m_rate(rate), m_channels(channels), m_plan(plan) {}
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
        m_thread = std::thread([this, pull = std::move(pull)] {
            const double perSecond = double(m_rate) * m_channels * 2;
            std::vector<char> buffer(static_cast<size_t>(perSecond));
            double played = 0.0, owed = 0.0;
            for (auto last = std::chrono::steady_clock::now(); !m_quit;) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                const auto now = std::chrono::steady_clock::now();
                const double elapsed = std::chrono::duration<double>(now - last).count();
                last = now;
                if (m_paused) continue;
                played += elapsed;
                if (m_plan.kind != FakeSinkPlan::RealTime && played > m_plan.after) {
                    m_failed = m_plan.kind == FakeSinkPlan::Fail;
                    continue;  // never pulls again
                }
                owed = std::min(owed + elapsed * perSecond, double(buffer.size()));
                const int64_t want = int64_t(owed) / (m_channels * 2) * (m_channels * 2);
                if (want > 0) owed -= double(pull(buffer.data(), want));
            }
        });
        return true;
    }

private:
    const int m_rate, m_channels;
    const FakeSinkPlan m_plan;
    std::atomic<bool> m_quit{false}, m_paused{true}, m_failed{false};
    std::thread m_thread;
};

// Players opened while this lives get fake sinks.
struct FakeSinkScope {
    explicit FakeSinkScope(FakeSinkPlan plan)
        : previous(SetAudioSinkFactory([plan](int rate, int channels) {
              return std::make_unique<FakeAudioSink>(rate, std::clamp(channels, 1, 2), plan);
          })) {}
    ~FakeSinkScope() { SetAudioSinkFactory(std::move(previous)); }
    AudioSinkFactory previous;
};
