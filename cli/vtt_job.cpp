#include "cli/vtt_job.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <vector>

#include "cli/frame_choice.h"
#include "cli/output_files.h"
#include "grabbing/grab_sequence.h"
#include "grabbing/target_grabs.h"
#include "base/read_file.h"
#include "base/staged_file.h"
#include "cli/movie_job.h"
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

// Fills sprites tile by tile as pictures arrive and writes each one (staged,
// not yet moved in) as soon as its last tile is in, so only one sprite is held.
class SpriteWriter {
public:
    SpriteWriter(const SpriteGrid& grid, int cues, std::vector<std::string> targets, WriteMode mode, int quality,
                 bool progressive)
        : m_grid(grid), m_cues(cues), m_targets(std::move(targets)), m_mode(mode), m_quality(quality),
          m_progressive(progressive) {}

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
        while (m_sprite < int(m_targets.size())) {
            if (OpResult done = Finish(); !done) return done;
        }
        return OpResult::Success();
    }

    // The sprites written, complete under their staging names.
    std::vector<StagedFile>& Files() { return m_files; }
    // The sprite being filled goes.
    void Release() { m_image.reset(); }

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
        StagedFile file;
        OpResult saved = Told(file, file.Open(m_targets[size_t(m_sprite)], m_mode));
        if (saved) saved = m_image->WriteJpeg(file, m_quality, m_progressive);
        if (saved) saved = file.Finish();
        m_image.reset();
        ++m_sprite;
        if (saved) m_files.push_back(std::move(file));
        return saved;
    }

    const SpriteGrid m_grid;
    const int m_cues;
    const std::vector<std::string> m_targets;
    const WriteMode m_mode;
    const int m_quality;
    const bool m_progressive;
    int m_sprite = 0;
    std::unique_ptr<CDibImage> m_image;
    std::vector<StagedFile> m_files;
};

OpResult CheckCueCount(int64_t durationMs, int64_t intervalMs) {
    const int64_t count = CueCount(durationMs, intervalMs);
    if (count <= kMaxCues) return OpResult::Success();
    char text[256];
    std::snprintf(text, sizeof text,
                  "an --interval of %.3f s makes %lld thumbnails of this %.0f s movie, more than the %lld one "
                  "movie can have; choose an --interval of at least %.3f s",
                  double(intervalMs) / 1000.0, static_cast<long long>(count), double(durationMs) / 1000.0,
                  static_cast<long long>(kMaxCues), double((durationMs - 1) / kMaxCues + 1) / 1000.0);
    return OpResult::Failure(text);
}

// A movie's seek-bar thumbnails: one exact picture per cue, scaled to its
// tile as it is grabbed and put into its sprite, and the WebVTT file pointing
// at them.
class VttKind : public MovieJobKind {
public:
    VttKind(const MovieJob& job, const CliSettings& settings)
        : m_job(job), m_settings(settings), m_folder(fs::path(job.sheet).parent_path()),
          m_vttName(fs::path(job.sheet).filename().string()) {}

    OpResult Plan(SegmentGrabber& grabber, int32_t, int32_t, double duration, GrabPlan& plan) override {
        if (!std::isfinite(duration) || duration <= 0.0 || duration > 1e9)
            return OpResult::Failure("the movie's duration is unknown, so its thumbnails cannot be placed in time");
        // The tile size from the first picture as grabs give it: rotation and
        // pixel aspect already applied.
        m_grid.columns = m_settings.gridColumns;
        m_grid.rows = m_settings.gridRows;
        m_grid.tileWidth = m_settings.thumbWidth;
        m_grid.tileHeight =
            ThumbHeightFor(m_settings.thumbWidth, grabber.FirstPictureWidth(), grabber.FirstPictureHeight());
        const int64_t durationMs = std::max<int64_t>(1, std::llround(duration * 1000.0));
        // Refused before a cue is made: a tiny interval on a long movie would
        // build millions of them and a text of gigabytes.
        if (OpResult count = CheckCueCount(durationMs, m_settings.vttIntervalMs); !count) return count;
        m_cues = CueSpans(durationMs, m_settings.vttIntervalMs);
        const int cueCount = int(m_cues.size());
        // The first sprite is the largest: refused before anything is decoded.
        int spriteWidth = 0;
        int spriteHeight = 0;
        SpriteSize(0, cueCount, m_grid, spriteWidth, spriteHeight);
        if (spriteWidth > kMaxSheetSide || spriteHeight > kMaxSheetSide ||
            !CDibImage::SizeFits(spriteWidth, spriteHeight))
            return OpResult::Failure("a sprite image of " + std::to_string(spriteWidth) + " x " +
                                     std::to_string(spriteHeight) + " is larger than a JPEG file can be (" +
                                     std::to_string(kMaxSheetSide) + " pixels a side); choose a smaller --grid or "
                                     "--thumb-width");
        plan.pictures = cueCount;
        // One sprite, one sprite's tiles waiting their turn, and the workers.
        plan.memoryNeed = GrabMemoryNeed(spriteWidth, spriteHeight, 2) +
                          GrabWorkersNeed(grabber.FirstPictureWidth(), grabber.FirstPictureHeight());
        plan.memoryAdvice = "Choose a smaller --grid or --thumb-width.";
        return OpResult::Success();
    }

    OpResult Prepare(SegmentGrabber& grabber, GrabPlan& plan, const JobProgress& progress) override {
        const int cueCount = int(m_cues.size());
        if (progress && !progress(0, cueCount)) return OpResult::Failure("interrupted");
        std::vector<std::string> spriteTargets;
        for (int s = 0; s < SpriteCount(cueCount, m_grid); ++s) {
            const std::string target = (m_folder / SpriteFileName(m_vttName, s)).string();
            if (!m_settings.overwrite && PathTaken(target)) return OpResult::Failure(ExistsReason(target));
            spriteTargets.push_back(target);
        }
        if (m_settings.keyframes) {
            KeyFrameTimes keys =
                ReadKeyFrameTimes(m_job.movie, nullptr, [&] { return !progress || progress(0, cueCount); });
            if (keys.error == "interrupted") return OpResult::Failure("interrupted");
            // Without an index every cue takes its exact frame, which is still right.
            plan.keyTimes = std::move(keys.times);
        }
        std::vector<double> latest;
        std::vector<double> keyFrames;
        const double interval = double(m_settings.vttIntervalMs) / 1000.0;
        PictureTimes(m_cues, plan.keyTimes, grabber.Info().frameDuration, interval, plan.positions, latest,
                     keyFrames);
        if (m_settings.skipBlank) plan.latest = std::move(latest);
        plan.hooks.keyFrames = std::move(keyFrames);
        if (m_settings.pick == FramePick::Best) {
            plan.choose = [this, &plan](SegmentGrabber& grabber, const TargetGrabHooks& hooks, MovieFacts&) {
                return GrabCueChoice(grabber, m_settings, m_cues, plan.positions, plan.latest, hooks, plan.keyTimes);
            };
        }

        m_spriteTargets = spriteTargets;
        m_writer = std::make_unique<SpriteWriter>(m_grid, cueCount, std::move(spriteTargets),
                                                  OutputMode(m_settings.overwrite), m_settings.options.jpegQuality,
                                                  m_settings.options.progressive != 0);
        // Each picture becomes its tile on the worker that grabbed it, so no
        // full-size picture waits for its turn.
        plan.hooks.shrink = [this](size_t, GrabbedFrame& frame) {
            frame.image = ScaleToTile(*frame.image, {m_grid.tileWidth, m_grid.tileHeight});
            if (!frame.image) m_scaleFailed = true;
        };
        plan.hooks.take = [this](size_t index, GrabbedFrame frame) {
            // A picture missing from a damaged stretch leaves its tile black.
            if (!m_failure || !frame.image) return;
            m_failure = m_writer->Put(int(index), *frame.image);
            ++m_taken;
        };
        return OpResult::Success();
    }

    OpResult GrabFailure() const override {
        // A picture that could not be scaled must not pass for a black tile.
        if (m_scaleFailed) return OpResult::Failure("out of memory for a thumbnail");
        return m_failure;
    }

    int Taken() const override { return m_taken; }

    OpResult Write(std::vector<std::string>& written) override {
        if (OpResult done = m_writer->FinishAll(); !done) return done;
        const WriteMode mode = OutputMode(m_settings.overwrite);
        // The WebVTT file is written through a link in the way; its sprites stay
        // beside the link, where the relative URLs of a page served there lead.
        StagedFile vtt;
        if (OpResult opened = Told(vtt, vtt.Open(m_job.sheet, mode)); !opened) return opened;
        const std::string text = VttText(m_cues, m_grid, m_vttName);
        if (std::fwrite(text.data(), 1, text.size(), vtt.File()) != text.size())
            return OpResult::Failure(vtt.Describe("Cannot write"));
        if (OpResult finished = vtt.Finish(); !finished) return finished;
        // The sprites first, the WebVTT file last.
        OutputBatch outputs;
        for (StagedFile& sprite : m_writer->Files()) {
            if (OpResult moved = Told(sprite, outputs.MoveIn(sprite)); !moved) return moved;
        }
        // The sprites the replaced WebVTT file pointed to and the new one does
        // not (a shorter interval before) would be left behind unused.
        // Only names of this tool's own sprites are taken from it, never
        // another file the old cues pointed to.
        std::vector<std::string> stale;
        if (m_settings.overwrite) {
            const std::vector<std::string> old = VttOutputs(m_job.sheet);
            for (int s = int(m_spriteTargets.size());; ++s) {
                const std::string path = (m_folder / SpriteFileName(m_vttName, s)).string();
                if (std::find(old.begin(), old.end(), path) == old.end()) break;
                stale.push_back(path);
            }
        }
        if (OpResult moved = Told(vtt, outputs.MoveIn(vtt)); !moved) return moved;
        outputs.Keep();
        for (const std::string& path : stale) ::unlink(path.c_str());
        written = m_spriteTargets;
        written.push_back(m_job.sheet);
        return OpResult::Success();
    }

    void Release() override {
        if (m_writer) m_writer->Release();
    }

private:
    const MovieJob& m_job;
    const CliSettings& m_settings;
    const fs::path m_folder;
    const std::string m_vttName;
    SpriteGrid m_grid;
    std::vector<CueSpan> m_cues;
    std::vector<std::string> m_spriteTargets;  // beside the WebVTT file, as its cues name them
    std::unique_ptr<SpriteWriter> m_writer;
    int m_taken = 0;
    OpResult m_failure = OpResult::Success();
    std::atomic<bool> m_scaleFailed{false};
};

}  // namespace

OpResult MakeMovieVtt(const MovieJob& job, const CliSettings& settings,
                      const std::function<bool(int done, int total)>& progress, MovieFacts* facts, MemoryGate* gate) {
    MovieFacts ignored;
    VttKind kind(job, settings);
    return RunMovieJob(job, settings, kind, progress, facts ? *facts : ignored, gate);
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
