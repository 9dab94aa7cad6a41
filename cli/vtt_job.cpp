#include "cli/vtt_job.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <vector>

#include "cli/output_files.h"
#include "grabbing/grab_sequence.h"
#include "grabbing/target_grabs.h"
#include "base/atomic_file.h"
#include "base/read_file.h"
#include "image/dib_image.h"
#include "sheet/compose_sheet.h"
#include "sheet/sheet_layout.h"
#include "sheet/sprite_layout.h"
#include "sheet/webvtt.h"
#include "decoding/key_frame_index.h"
#include "grabbing/segment_grabber.h"

namespace fs = std::filesystem;

namespace {

// Where each cue's picture is taken: by default its start; with key frames,
// just past the first key frame inside the cue (a quarter frame on, so that
// rounding of the position cannot fall back to the frame before), else its
// start. `latest` bounds the search past a blank picture: a quarter interval,
// and never past the cue's end.
// `keyFrames` gets, per cue, the key frame whose picture that is, decoded alone
// (NaN for a cue without one).
void PictureTimes(const std::vector<CueSpan>& cues, const std::vector<double>& keyTimes, double frameDuration,
                  double interval, std::vector<double>& positions, std::vector<double>& latest,
                  std::vector<double>& keyFrames) {
    auto key = keyTimes.begin();
    for (const CueSpan& cue : cues) {
        const double start = double(cue.startMs) / 1000.0;
        const double end = double(cue.endMs) / 1000.0;
        double position = start;
        double keyFrame = std::numeric_limits<double>::quiet_NaN();
        key = std::lower_bound(key, keyTimes.end(), start - 1e-6);
        if (key != keyTimes.end() && *key < end) {
            position = std::max(start, *key + std::min(frameDuration / 4.0, (end - *key) / 2.0));
            keyFrame = *key;
        }
        positions.push_back(position);
        keyFrames.push_back(keyFrame);
        latest.push_back(std::max(position, std::min(position + 0.25 * interval, end - 1e-4)));
    }
}

// Fills sprites tile by tile as pictures arrive and writes each one (under a
// staging name) as soon as its last tile is in, so only one sprite is held.
class SpriteWriter {
public:
    SpriteWriter(const SpriteGrid& grid, int cues, std::vector<std::string> staged, int quality, bool progressive)
        : m_grid(grid), m_cues(cues), m_staged(std::move(staged)), m_quality(quality), m_progressive(progressive) {}

    // `tile` is the picture already scaled to the tile (ScaledToTile).
    OpResult Put(int index, const CDibImage& tile) {
        const TilePlace place = PlaceOf(index, m_grid);
        while (m_sprite < place.sprite) {
            if (OpResult done = Finish(); !done) return done;
        }
        if (OpResult ready = Ready(); !ready) return ready;
        m_image->Blit(place.x, place.y, nullptr, tile);
        return OpResult::Success();
    }

    // Writes the sprites not written yet (tiles without a picture stay black).
    OpResult FinishAll() {
        while (m_sprite < int(m_staged.size())) {
            if (OpResult done = Finish(); !done) return done;
        }
        return OpResult::Success();
    }

private:
    OpResult Ready() {
        if (m_image) return OpResult::Success();
        int width = 0;
        int height = 0;
        SpriteSize(m_sprite, m_cues, m_grid, width, height);
        if (!CDibImage::SizeFits(width, height))
            return OpResult::Failure("a sprite image of " + std::to_string(width) + " x " + std::to_string(height) +
                                     " is too large; choose a smaller --grid or --thumb-width");
        m_image = std::make_unique<CDibImage>();
        if (!m_image->Create(width, height)) return OpResult::Failure("out of memory for a sprite image");
        m_image->Fill(nullptr, 0);
        return OpResult::Success();
    }

    OpResult Finish() {
        if (OpResult ready = Ready(); !ready) return ready;
        const OpResult saved = m_image->SaveJpeg(m_staged[size_t(m_sprite)], m_quality, m_progressive);
        m_image.reset();
        ++m_sprite;
        return saved;
    }

    const SpriteGrid m_grid;
    const int m_cues;
    const std::vector<std::string> m_staged;
    const int m_quality;
    const bool m_progressive;
    int m_sprite = 0;
    std::unique_ptr<CDibImage> m_image;
};

OpResult WriteText(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return OpResult::Failure("cannot write \"" + path + "\": " + std::strerror(errno));
    const bool wrote = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int error = errno;
    if (std::fclose(file) != 0 || !wrote)
        return OpResult::Failure("cannot write \"" + path + "\": " + std::strerror(wrote ? errno : error));
    return OpResult::Success();
}

}  // namespace

OpResult MakeMovieVtt(const MovieJob& job, const CliSettings& settings,
                      const std::function<bool(int done, int total)>& progress, MovieFacts* facts, MemoryGate* gate) {
    MovieFacts ignored;
    if (!facts) facts = &ignored;
    if (!job.failure.empty()) return OpResult::Failure(job.failure);
    if (!settings.overwrite && PathTaken(job.sheet)) return OpResult::Failure(ExistsReason(job.sheet));
    const fs::path vttPath(job.sheet);
    const fs::path folder = vttPath.parent_path();
    {
        std::error_code error;
        if (!folder.empty() && !fs::is_directory(folder, error))
            return OpResult::Failure("cannot write \"" + job.sheet + "\": no such folder");
    }
    const std::string vttName = vttPath.filename().string();

    // Given back only after the decoders and the sprite are gone.
    MemoryGate::Hold hold;
    SegmentGrabber grabber;
    int32_t width = 0;
    int32_t height = 0;
    if (OpResult opened = OpenJobMovie(grabber, job.movie, *facts, width, height); !opened) return opened;
    const double duration = facts->duration;
    if (!std::isfinite(duration) || duration <= 0.0 || duration > 1e9)
        return OpResult::Failure("the movie's duration is unknown, so its thumbnails cannot be placed in time");

    // The tile size from the first picture as grabs give it: rotation and
    // pixel aspect already applied.
    SpriteGrid grid;
    grid.columns = settings.gridColumns;
    grid.rows = settings.gridRows;
    grid.tileWidth = settings.thumbWidth;
    grid.tileHeight = ThumbHeightFor(settings.thumbWidth, grabber.FirstPictureWidth(), grabber.FirstPictureHeight());

    const std::vector<CueSpan> cues = CueSpans(std::max<int64_t>(1, std::llround(duration * 1000.0)),
                                               settings.vttIntervalMs);
    const int cueCount = int(cues.size());
    const int sprites = SpriteCount(cueCount, grid);
    // The first sprite is the largest: refused before anything is decoded.
    int spriteWidth = 0;
    int spriteHeight = 0;
    SpriteSize(0, cueCount, grid, spriteWidth, spriteHeight);
    if (spriteWidth > kMaxSheetSide || spriteHeight > kMaxSheetSide || !CDibImage::SizeFits(spriteWidth, spriteHeight))
        return OpResult::Failure("a sprite image of " + std::to_string(spriteWidth) + " x " +
                                 std::to_string(spriteHeight) + " is larger than a JPEG file can be (" +
                                 std::to_string(kMaxSheetSide) + " pixels a side); choose a smaller --grid or "
                                 "--thumb-width");
    // One sprite, one sprite's tiles waiting their turn, and the workers.
    const uint64_t needed = GrabMemoryNeed(spriteWidth, spriteHeight, 2) +
                            GrabWorkersNeed(grabber.FirstPictureWidth(), grabber.FirstPictureHeight());
    if (OpResult memory = EnterMemory(gate, needed, width, height, cueCount, progress, hold,
                                      "Choose a smaller --grid or --thumb-width.");
        !memory)
        return memory;
    if (progress && !progress(0, cueCount)) return OpResult::Failure("interrupted");

    std::vector<std::string> spriteTargets;
    for (int s = 0; s < sprites; ++s) {
        const std::string target = (folder / SpriteFileName(vttName, s)).string();
        if (!settings.overwrite && PathTaken(target)) return OpResult::Failure(ExistsReason(target));
        spriteTargets.push_back(target);
    }

    std::vector<double> keyTimes;
    if (settings.keyframes) {
        KeyFrameTimes keys =
            ReadKeyFrameTimes(job.movie, nullptr, [&] { return !progress || progress(0, cueCount); });
        if (keys.error == "interrupted") return OpResult::Failure("interrupted");
        // Without an index every cue takes its exact frame, which is still right.
        keyTimes = std::move(keys.times);
    }
    std::vector<double> positions;
    std::vector<double> latest;
    std::vector<double> keyFrames;
    const double interval = double(settings.vttIntervalMs) / 1000.0;
    PictureTimes(cues, keyTimes, grabber.Info().frameDuration, interval, positions, latest, keyFrames);

    WrittenFiles files;
    std::vector<std::string> staged;
    for (const std::string& target : spriteTargets) {
        staged.push_back(StagingNameFor(target, ".part"));
        files.Add(staged.back());
    }
    SpriteWriter writer(grid, cueCount, staged, settings.options.jpegQuality, settings.options.progressive != 0);

    int taken = 0;
    bool interrupted = false;
    OpResult failure = OpResult::Success();
    std::atomic<bool> scaleFailed{false};
    TargetGrabHooks hooks;
    // Each picture becomes its tile on the worker that grabbed it, so no
    // full-size picture waits for its turn.
    hooks.shrink = [&](size_t, GrabbedFrame& frame) {
        frame.image = ScaleToTile(*frame.image, {grid.tileWidth, grid.tileHeight});
        if (!frame.image) scaleFailed = true;
    };
    hooks.take = [&](size_t index, GrabbedFrame frame) {
        // A picture missing from a damaged stretch leaves its tile black.
        if (!failure || !frame.image) return;
        failure = writer.Put(int(index), *frame.image);
        ++taken;
    };
    hooks.progress = [&](int done, int total) {
        interrupted = progress && !progress(done, total);
        return !interrupted && bool(failure) && !scaleFailed;
    };
    if (settings.skipBlank) hooks.rejects = IsNearlyUniform;
    hooks.keyFrames = std::move(keyFrames);
    const OpResult grabbed =
        GrabTargets(grabber, positions, settings.skipBlank ? latest : std::vector<double>{}, hooks, keyTimes);
    facts->frames = taken;
    if (interrupted) return OpResult::Failure("interrupted");
    // A picture that could not be scaled must not pass for a black tile.
    if (scaleFailed) return OpResult::Failure("out of memory for a thumbnail");
    if (!failure) return failure;
    // Sprites with tiles missing after a failure would pass for whole ones.
    if (!grabbed) return grabbed;
    if (taken == 0) return OpResult::Failure("no frame could be grabbed");
    if (OpResult done = writer.FinishAll(); !done) return done;

    // The WebVTT file is written through a link in the way; its sprites stay
    // beside the link, where the relative URLs of a page served there lead.
    const std::string vttStaged = StagingNameFor(WriteTarget(job.sheet, settings.overwrite), ".part");
    files.Add(vttStaged);
    if (OpResult wrote = WriteText(vttStaged, VttText(cues, grid, vttName)); !wrote) return wrote;
    // The sprites first, the WebVTT file last.
    for (size_t s = 0; s < staged.size(); ++s) {
        if (OpResult moved = files.MoveIn(staged[s], spriteTargets[s], settings.overwrite); !moved) return moved;
    }
    // The sprites the replaced WebVTT file pointed to and the new one does
    // not (a shorter interval before) would be left behind unused.
    // Only names of this tool's own sprites are taken from it, never
    // another file the old cues pointed to.
    std::vector<std::string> stale;
    if (settings.overwrite) {
        const std::vector<std::string> old = VttOutputs(job.sheet);
        for (int s = sprites;; ++s) {
            const std::string path = (folder / SpriteFileName(vttName, s)).string();
            if (std::find(old.begin(), old.end(), path) == old.end()) break;
            stale.push_back(path);
        }
    }
    if (OpResult moved = files.MoveIn(vttStaged, WriteTarget(job.sheet, settings.overwrite), settings.overwrite);
        !moved)
        return moved;
    files.Keep();
    for (const std::string& old : stale) ::unlink(old.c_str());
    facts->written = spriteTargets;
    facts->written.push_back(job.sheet);
    return OpResult::Success();
}

namespace {
constexpr size_t kMaxVttBytes = size_t(256) << 20;
}  // namespace

std::vector<std::string> VttOutputs(const std::string& vttPath) {
    std::vector<std::string> outputs{vttPath};
    // Only a regular file is read (a folder or a pipe in its place holds no
    // sprites of ours), and at most what a track of the most cues holds.
    std::string why;
    std::string text;
    if (UniqueFile file = OpenRegularFile(vttPath, false, why)) {
        char buffer[65536];
        for (size_t got; text.size() < kMaxVttBytes && (got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
            text.append(buffer, got);
    }
    const fs::path folder = fs::path(vttPath).parent_path();
    for (const VttCue& cue : ReadVtt(text).cues) {
        // Only what this tool writes: a sprite beside the file.
        const std::string& name = cue.file;
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) continue;
        const std::string path = (folder / name).string();
        if (std::find(outputs.begin(), outputs.end(), path) == outputs.end()) outputs.push_back(path);
    }
    return outputs;
}
