#pragma once
// The sound device as the player sees it: something that, once started, pulls
// 16-bit interleaved samples at its own pace on a thread of its own, can be
// paused, and may fail. The real one is a QAudioSink; tests put fakes in its
// place so that playback timed by sound runs on machines without a device.
#include <cstdint>
#include <functional>
#include <memory>

class AudioSink {
public:
    // Fills up to maxBytes, answers how many were written.
    using Pull = std::function<int64_t(char* data, int64_t maxBytes)>;

    virtual ~AudioSink() = default;
    // The format the sink plays, which may differ from the one asked for.
    virtual int SampleRate() const = 0;
    virtual int Channels() const = 0;
    // Starts pulling, paused. False when the device refuses.
    virtual bool Start(Pull pull) = 0;
    virtual void SetPaused(bool paused) = 0;
    // Seconds between a pull and the moment its sound is heard.
    virtual double Latency() const = 0;
    // The device has gone (unplugged, its server restarted) and will not pull again.
    virtual bool Failed() const = 0;
};

// Makes a sink for a format, or null when there is no usable device.
using AudioSinkFactory = std::function<std::unique_ptr<AudioSink>(int sampleRate, int channels)>;

// The default sound device through Qt Multimedia.
std::unique_ptr<AudioSink> MakeDeviceAudioSink(int sampleRate, int channels);

// The factory players opened from now on use; an empty one restores the
// device. Answers the previous one. Meant for tests, set before opening.
AudioSinkFactory SetAudioSinkFactory(AudioSinkFactory factory);
std::unique_ptr<AudioSink> MakeAudioSink(int sampleRate, int channels);
