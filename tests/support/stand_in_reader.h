#pragma once
// Movie bytes read through a stand-in for the file reader, to make reads
// stall or fail like a slow or vanished share.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "decoding/media_source.h"

// Movie bytes through a stand-in reader. Readers numbered `stallFrom` on (in
// order of opening) wait while `stall`, honouring the interrupt as network
// protocols do unless `deaf` (a hard-mounted share); `eagain` reads answer
// "try again"; seeks fail while `noSeek`.
struct StandInState {
    std::atomic<bool> stall, deaf, noSeek;
    std::atomic<int> stallFrom, eagain, opened, closed, waiting;
};
inline StandInState g;

struct StandIn { FILE* file; int index; AVIOInterruptCB interrupt; int64_t size; };

inline int ReadBytes(void* opaque, uint8_t* buffer, int size) {
    auto* in = static_cast<StandIn*>(opaque);
    if (g.eagain > 0 && g.eagain-- > 0) return AVERROR(EAGAIN);
    if (in->index >= g.stallFrom && g.stall) {
        ++g.waiting;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);  // fail rather than hang
        while (g.stall && std::chrono::steady_clock::now() < limit) {
            if (!g.deaf && in->interrupt.callback(in->interrupt.opaque)) return --g.waiting, AVERROR_EXIT;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        --g.waiting;
    }
    const size_t got = std::fread(buffer, 1, size_t(size), in->file);
    return got > 0 ? int(got) : AVERROR_EOF;
}

inline int64_t SeekBytes(void* opaque, int64_t offset, int whence) {
    auto* in = static_cast<StandIn*>(opaque);
    if (whence & AVSEEK_SIZE) return in->size;
    if (g.noSeek || std::fseek(in->file, long(offset), whence & ~AVSEEK_FORCE) != 0) return -1;
    return std::ftell(in->file);
}

inline AVIOContext* OpenStandIn(const std::string& path, AVIOInterruptCB interrupt) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return nullptr;
    auto* in = new StandIn{file, g.opened++, interrupt, int64_t(std::filesystem::file_size(path))};
    return avio_alloc_context(static_cast<uint8_t*>(av_malloc(32768)), 32768, 0, in, &ReadBytes, nullptr, &SeekBytes);
}

inline void CloseStandIn(AVIOContext* pb) {
    auto* in = static_cast<StandIn*>(pb->opaque);
    std::fclose(in->file);
    delete in;
    av_freep(&pb->buffer);
    avio_context_free(&pb);
    ++g.closed;
}

class StandInReaders : public ::testing::Test {
protected:
    template <typename F>
    static bool WaitUntil(F&& condition, std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return condition();
    }
    void SetUp() override {
        g.stall = g.deaf = g.noSeek = false;
        g.stallFrom = g.eagain = g.opened = g.closed = g.waiting = 0;
        SetMovieReader({&OpenStandIn, &CloseStandIn});
    }
    void TearDown() override {
        g.stall = false;
        // Readers left to finish on their own close once their read returns.
        EXPECT_TRUE(WaitUntil([] { return g.closed == g.opened; }, std::chrono::seconds(3)));
        SetMovieReader({});
    }
    static int OpenReaders() { return g.opened - g.closed; }
    static bool StalledWithin(std::chrono::milliseconds limit) {
        return WaitUntil([] { return g.waiting > 0 && g.stall; }, limit);
    }
    template <typename F>
    static double Seconds(F&& f) {
        const auto start = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};
