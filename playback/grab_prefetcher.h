#pragma once
// Pictures at times the caller said it will ask for next (Grab All's steps),
// decoded ahead on worker threads, each with its own demuxer and a
// single-threaded decoder: separate groups of pictures decode in parallel,
// which uses the cores better than frame threads within one group. A
// prediction that is passed over is cancelled, and after a second without
// requests the workers give back their demuxers, decoders and pictures.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "playback/live_threads.h"
#include "decoding/video_image.h"

class ExactSeeker;

class GrabPrefetcher {
public:
    GrabPrefetcher(std::string path, int workers);
    ~GrabPrefetcher();
    GrabPrefetcher(const GrabPrefetcher&) = delete;
    GrabPrefetcher& operator=(const GrabPrefetcher&) = delete;

    // The exact picture at `seconds` (stream time `target`) when a prediction
    // covers that time, waiting for it to finish; null otherwise, leaving the
    // predictions alone. Predictions for earlier times are dropped. The wait ends, with null, when the
    // workers read nothing for a while (a stalled disk or share).
    VideoImagePtr Take(double seconds, int64_t target);
    // Starts decoding these times ahead (earlier predictions not among them
    // are dropped).
    void Predict(const std::vector<double>& times);
    // Tells the workers to stop and breaks off their reads, without waiting.
    void RequestStop();
    // Waits up to `limit` for every worker to have stopped after RequestStop.
    bool WaitStopped(std::chrono::milliseconds limit);

private:
    struct Job {
        double time = 0.0;
        bool started = false;
        bool done = false;
        std::atomic<bool> cancel{false};
        VideoImagePtr image;
        int64_t from = 0, until = 0;
    };
    void WorkerLoop();
    void Work();
    // Takes the next job to start, waiting; null when quitting. Drops cached
    // pictures and closes `seeker` after a second without requests.
    std::shared_ptr<Job> NextJob(ExactSeeker& seeker);
    void DropLocked(const std::shared_ptr<Job>& job);

    const std::string m_path;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<Job>> m_jobs;
    bool m_quit = false;
    std::chrono::steady_clock::time_point m_lastRequest = std::chrono::steady_clock::now();
    int m_waiting = 0;  // Take calls waiting for a worker
    std::atomic<uint64_t> m_progress{0};  // packets read by all workers
    LiveThreads m_live;  // the workers, until their loops return
    std::vector<std::thread> m_threads;
};
