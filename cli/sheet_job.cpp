#include "cli/sheet_job.h"

#include <cerrno>
#include <filesystem>
#include <memory>
#include <vector>

#include "base/staged_file.h"
#include "cli/frame_choice.h"
#include "cli/movie_job.h"
#include "cli/output_files.h"
#include "grabbing/grab_sequence.h"
#include "grabbing/segment_grabber.h"
#include "sheet/compose_sheet.h"
#include "sheet/movie_details.h"
#include "strip/frame_files.h"

namespace fs = std::filesystem;

namespace {

// What each frame holds besides its picture, from its time to its place on
// the sheet: positions, sizes, the frame and its label, the layout's cells.
constexpr uint64_t kFrameBookkeeping = 512;

// The bytes a sheet's frames hold at most: full-size pictures, or, kept at
// tile size, every tile (its cell and the pixel of rounding) and what the
// workers hold. Reckoned from the counts alone, before anything of that
// count is made.
uint64_t SheetMemoryNeed(const FrameSize& grabbed, const FrameSize& cell, int frames, bool keepTiles) {
    const uint64_t bookkeeping = uint64_t(frames) * kFrameBookkeeping;
    if (!keepTiles) return GrabMemoryNeed(grabbed.width, grabbed.height, frames) + bookkeeping;
    return GrabMemoryNeed(cell.width + 1, cell.height + 1, frames) + bookkeeping +
           GrabWorkersNeed(grabbed.width, grabbed.height);
}

// A movie's frames, grabbed by Grab All's steps from the start with its
// blank-picture rule, and what the sheet tells of the movie, drawn as one
// sheet (and, when asked, written as frame files).
class SheetKind : public MovieJobKind {
public:
    SheetKind(const MovieJob& job, const CliSettings& settings) : m_job(job), m_settings(settings) {}

    // Only what the counts tell: nothing sized by the frame count is made
    // before the sheet is known to fit a JPEG file and its frames the memory.
    OpResult Plan(SegmentGrabber& grabber, int32_t width, int32_t height, double duration,
                  GrabPlan& plan) override {
        const int frames = m_settings.frames;
        m_grabSize = {grabber.FirstPictureWidth(), grabber.FirstPictureHeight()};
        FrameSize cell;
        if (OpResult fits = CheckUniformGrid(m_grabSize, frames, m_settings.options, &cell); !fits)
            return OpResult::Failure(fits.message + " Choose fewer frames, more columns or smaller tiles.");
        // Without frame files, each frame is kept at the size of its tile on
        // the sheet, scaled as the composer would scale it: the sheet comes
        // out the same and full-size pictures never pile up. A frame that
        // fits its tile in less than a pixel is kept as it is.
        m_keepTiles = m_job.framesFolder.empty() && cell.width >= 1 && cell.height >= 1;
        plan.pictures = frames;
        plan.memoryNeed = SheetMemoryNeed(m_grabSize, cell, frames, m_keepTiles);
        m_details = DetailsOfMovieFile(m_job.movie, width, height, duration);
        m_duration = duration;
        return OpResult::Success();
    }

    OpResult Prepare(SegmentGrabber&, GrabPlan& plan, const JobProgress& progress) override {
        m_progress = progress;
        const int frames = m_settings.frames;
        if (m_keepTiles) m_tiles = UniformTileSizes(m_grabSize, frames, m_settings.options);
        plan.positions = EvenStepPositions(0.0, m_duration, frames);
        plan.latest = EvenStepLimits(0.0, m_duration, frames, kBlankLookAhead);
        if (m_settings.pick != FramePick::Exact || !m_settings.shotList.empty()) {
            plan.choose = [this, &plan](SegmentGrabber& grabber, const TargetGrabHooks& hooks, MovieFacts& facts) {
                return GrabSheetChoice(grabber, m_job.movie, m_settings, plan.positions, plan.latest, hooks, facts);
            };
        }
        m_sizeOf.resize(plan.positions.size());
        if (!m_tiles.empty()) {
            plan.hooks.shrink = [this](size_t index, GrabbedFrame& frame) {
                const FrameSize size{frame.image->Width(), frame.image->Height()};
                m_sizeOf[index] = size;
                // A picture of another size (a damaged stretch) or one already
                // of its tile's size goes to the composer as it is.
                const FrameSize tile = m_tiles[index];
                if (size.width != m_grabSize.width || size.height != m_grabSize.height ||
                    (tile.width == size.width && tile.height == size.height))
                    return;
                if (std::unique_ptr<CDibImage> scaled = ScaleToTile(*frame.image, tile))
                    frame.image = std::move(scaled);
            };
        }
        // Room for every frame up front: the two lists never fall out of step.
        m_frames.reserve(plan.positions.size());
        m_grabbedSizes.reserve(plan.positions.size());
        plan.hooks.take = [this](size_t index, GrabbedFrame frame) {
            if (!frame.image) return;
            m_frames.push_back(std::move(frame));
            if (!m_tiles.empty()) m_grabbedSizes.push_back(m_sizeOf[index]);
        };
        return OpResult::Success();
    }

    int Taken() const override { return int(m_frames.size()); }

    OpResult Write(std::vector<std::string>& written) override {
        std::vector<const CDibImage*> images;
        std::vector<const char*> labels;
        for (const GrabbedFrame& frame : m_frames) {
            images.push_back(frame.image.get());
            labels.push_back(frame.label.c_str());
        }
        const WriteMode mode = OutputMode(m_settings.overwrite);
        OutputBatch outputs;
        StagedFile sheet;
        if (OpResult opened = Told(sheet, sheet.Open(m_job.sheet, mode)); !opened) return opened;
        const std::vector<FrameSize>* grabbedSizes = m_grabbedSizes.empty() ? nullptr : &m_grabbedSizes;
        if (OpResult saved = ComposeSheet(images, labels, m_settings.options, m_details, sheet, grabbedSizes); !saved)
            return saved;
        if (!m_job.framesFolder.empty()) {
            if (OpResult wrote = WriteFrames(images, labels, mode, outputs); !wrote) return wrote;
        }
        // The sheet last: a sheet on disk means its frame files are there too.
        if (OpResult moved = Told(sheet, outputs.MoveIn(sheet)); !moved) return moved;
        outputs.Keep();
        written.push_back(m_job.sheet);
        for (const std::string& file : outputs.Files()) {
            if (file != sheet.Target()) written.push_back(file);
        }
        return OpResult::Success();
    }

    void Release() override {
        m_frames.clear();
        m_frames.shrink_to_fit();
    }

private:
    OpResult WriteFrames(const std::vector<const CDibImage*>& images, const std::vector<const char*>& labels,
                         WriteMode mode, OutputBatch& outputs) {
        const std::string& folder = m_job.framesFolder;
        // Checked before anything is written, so a refusal writes nothing.
        if (mode == WriteMode::NeverReplace) {
            for (const char* label : labels) {
                const std::string path = FrameFilePath(folder, label);
                if (PathTaken(path)) return OpResult::Failure(ExistsReason(path));
            }
        }
        std::error_code error;
        if (!fs::is_directory(folder, error)) {
            if (!fs::create_directories(folder, error) && error)
                return OpResult::Failure("cannot make the folder \"" + folder + "\": " + error.message());
            outputs.MadeFolder(folder);
        }
        // Hundreds of large pictures take a while: a stop is heard between
        // files, and those written go back with the batch.
        bool stopped = false;
        const auto goOn = [&](int, int total) {
            stopped = m_progress && !m_progress(total, total);
            return !stopped;
        };
        const std::vector<FileFailure> failures =
            SaveFrameFiles(folder, images, labels, m_settings.options.jpegQuality,
                           m_settings.options.progressive != 0, goOn, &outputs, mode);
        if (stopped) return OpResult::Failure("interrupted");
        if (failures.empty()) return OpResult::Success();
        const FileFailure& first = failures.front();
        if (mode == WriteMode::NeverReplace && first.error == EEXIST)
            return OpResult::Failure(ExistsReason(first.path));
        return OpResult::Failure(first.reason);
    }

    const MovieJob& m_job;
    const CliSettings& m_settings;
    JobProgress m_progress;  // also asked while the frame files are written
    FrameSize m_grabSize{};
    double m_duration = 0.0;
    bool m_keepTiles = false;
    std::vector<FrameSize> m_tiles;
    std::vector<FrameSize> m_sizeOf;        // per position, the size it was grabbed at
    std::vector<GrabbedFrame> m_frames;
    std::vector<FrameSize> m_grabbedSizes;  // per kept frame, when they were scaled to their tiles
    MovieDetails m_details;
};

}  // namespace

OpResult MakeMovieSheet(const MovieJob& job, const CliSettings& settings,
                        const std::function<bool(int done, int total)>& progress, MovieFacts* facts,
                        MemoryGate* gate) {
    MovieFacts ignored;
    SheetKind kind(job, settings);
    return RunMovieJob(job, settings, kind, progress, facts ? *facts : ignored, gate);
}
