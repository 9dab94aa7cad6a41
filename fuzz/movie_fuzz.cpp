// The movie open path: any bytes as a movie, handed to the player through its
// reader seam (an AVIO context over memory), then three exact grabs spread
// over the movie, decoded ahead as Grab All asks for them; then the same
// through the command-line tool's grab-only source, split over its workers.
// An open either succeeds or fails with a message; grabs of an open movie
// never crash.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include "grabbing/target_grabs.h"
#include "decoding/media_source.h"
#include "playback/movie_player.h"
#include "grabbing/segment_grabber.h"

namespace {

// Each reader has its own position over a shared copy of the bytes: the
// player opens the movie more than once (decoders ahead read on their own
// threads), and a reader may be closed after this run has returned.
struct MemoryReader {
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    int64_t position = 0;
};

std::shared_ptr<const std::vector<uint8_t>> g_bytes;

int ReadBytes(void* opaque, uint8_t* buffer, int size) {
    auto* in = static_cast<MemoryReader*>(opaque);
    const int64_t total = int64_t(in->bytes->size());
    const int64_t n = std::min<int64_t>(size, total - in->position);
    if (n <= 0) return AVERROR_EOF;
    std::memcpy(buffer, in->bytes->data() + in->position, size_t(n));
    in->position += n;
    return int(n);
}

int64_t SeekBytes(void* opaque, int64_t offset, int whence) {
    auto* in = static_cast<MemoryReader*>(opaque);
    const int64_t total = int64_t(in->bytes->size());
    if (whence & AVSEEK_SIZE) return total;
    int64_t to = offset;
    switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET: break;
        case SEEK_CUR: to = in->position + offset; break;
        case SEEK_END: to = total + offset; break;
        default: return AVERROR(EINVAL);
    }
    if (to < 0 || to > total) return AVERROR(EINVAL);
    in->position = to;
    return to;
}

AVIOContext* OpenMemory(const std::string&, AVIOInterruptCB) {
    constexpr int kBuffer = 32768;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kBuffer));
    if (!buffer) return nullptr;
    auto* in = new MemoryReader{g_bytes};
    AVIOContext* pb = avio_alloc_context(buffer, kBuffer, 0, in, &ReadBytes, nullptr, &SeekBytes);
    if (!pb) {
        av_free(buffer);
        delete in;
    }
    return pb;
}

void CloseMemory(AVIOContext* pb) {
    delete static_cast<MemoryReader*>(pb->opaque);
    av_freep(&pb->buffer);
    avio_context_free(&pb);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);
    SetMovieReader({&OpenMemory, &CloseMemory});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    g_bytes = std::make_shared<const std::vector<uint8_t>>(data, data + size);
    CMoviePlayer player;
    player.SetSoundEnabled(false);
    // The name matters only to the demuxer's guess; the reader ignores it.
    if (player.Open("fuzz-input") < 0) {
        if (player.GetLastErrorText().empty()) std::abort();  // every refusal says why
        return 0;
    }
    const double duration = player.GetDuration();
    std::vector<double> positions;
    for (int k = 1; k <= 3; ++k) positions.push_back(duration * k / 4);
    for (double at : positions) {
        player.SetPosition(at, true);
        uint8_t* block = nullptr;
        if (player.GetCurrentImage(&block) >= 0 && block) FreeGrabBlock(block);
    }
    player.Close();

    SegmentGrabber grabber;
    int32_t width = 0;
    int32_t height = 0;
    if (!OpenGrabSource(grabber, "fuzz-input", width, height)) return 0;
    TargetGrabHooks hooks;
    hooks.take = [](size_t, GrabbedFrame) {};
    GrabTargets(grabber, positions, {}, hooks);
    return 0;
}
