#include "cli/sheet_job.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "cli/output_files.h"
#include "strip/frame_files.h"
#include "base/atomic_file.h"
#include "grabbing/grab_sequence.h"
#include "grabbing/target_grabs.h"
#include "sheet/movie_details.h"
#include "sheet/compose_sheet.h"
#include "grabbing/segment_grabber.h"

namespace fs = std::filesystem;

namespace {

// The bytes a sheet kept at tile size holds at most: every tile, and what
// the workers hold.
uint64_t TileMemoryNeed(const FrameSize& grabbed, const std::vector<FrameSize>& tiles) {
    uint64_t need = 0;
    for (const FrameSize& tile : tiles) need += GrabMemoryNeed(tile.width, tile.height, 1);
    return need + GrabWorkersNeed(grabbed.width, grabbed.height);
}

OpResult WriteFrames(const MovieJob& job, const CliSettings& settings, const std::vector<const CDibImage*>& images,
                     const std::vector<const char*>& labels, WrittenFiles& written) {
    // Checked before anything is written, so a refusal writes nothing; files
    // that -y replaces come back if the movie fails after all.
    for (const char* label : labels) {
        const std::string path = FrameFilePath(job.framesFolder, label);
        if (!settings.overwrite && PathTaken(path)) return OpResult::Failure(ExistsReason(path));
        if (settings.overwrite) written.KeepOldOf(path);
    }
    std::error_code error;
    const bool hadFolder = fs::is_directory(job.framesFolder, error);
    if (!hadFolder) {
        if (!fs::create_directories(job.framesFolder, error) && error)
            return OpResult::Failure("cannot make the folder \"" + job.framesFolder + "\": " + error.message());
        written.SetCreatedFolder(job.framesFolder);
    }
    const std::vector<FileFailure> failures =
        SaveFrameFiles(job.framesFolder, images, labels, settings.options.jpegQuality, settings.options.progressive != 0);
    // Each file is written whole or not at all: those not listed as failed were written.
    for (const char* label : labels) {
        const std::string path = FrameFilePath(job.framesFolder, label);
        if (std::none_of(failures.begin(), failures.end(), [&](const FileFailure& f) { return f.path == path; }))
            written.Add(LinkedFile(path));  // a link stays; the file it leads to was written
    }
    if (!failures.empty()) return OpResult::Failure(failures.front().reason);
    return OpResult::Success();
}

// A movie's frames for its sheet, grabbed by Grab All's steps from the start
// with its blank-picture rule, and what the sheet tells of the movie.
struct SheetFrames {
    // The memory held for the frames; first, so that it is given back only
    // once they are freed and a movie waiting for it finds it.
    MemoryGate::Hold hold;
    std::vector<GrabbedFrame> frames;
    std::vector<FrameSize> grabbedSizes;  // when the frames were scaled to their tiles
    MovieDetails details;
};

OpResult GrabSheetFrames(const MovieJob& job, const CliSettings& settings,
                         const std::function<bool(int done, int total)>& progress, MovieFacts& facts,
                         MemoryGate* gate, SheetFrames& out) {
    bool interrupted = false;
    SegmentGrabber grabber;
    int32_t width = 0;
    int32_t height = 0;
    if (OpResult opened = OpenJobMovie(grabber, job.movie, facts, width, height); !opened) return opened;
    const double duration = facts.duration;
    // Without frame files, each frame is kept at the size of its tile on
    // the sheet, scaled as the composer would scale it: the sheet comes out
    // the same and full-size pictures never pile up.
    const FrameSize grabSize{grabber.FirstPictureWidth(), grabber.FirstPictureHeight()};
    std::vector<FrameSize> tiles;
    if (job.framesFolder.empty()) tiles = UniformTileSizes(grabSize, settings.frames, settings.options);
    const uint64_t needed = tiles.empty() ? GrabMemoryNeed(grabSize.width, grabSize.height, settings.frames)
                                          : TileMemoryNeed(grabSize, tiles);
    if (OpResult memory = EnterMemory(gate, needed, width, height, settings.frames, progress, out.hold); !memory)
        return memory;
    out.details = DetailsOfMovieFile(job.movie, width, height, duration);

    const std::vector<double> positions = EvenStepPositions(0.0, duration, settings.frames);
    const std::vector<double> latest = EvenStepLimits(0.0, duration, settings.frames, kBlankLookAhead);
    TargetGrabHooks hooks;
    std::vector<FrameSize> sizeOf(positions.size());
    if (!tiles.empty()) {
        hooks.shrink = [&](size_t index, GrabbedFrame& frame) {
            const FrameSize size{frame.image->Width(), frame.image->Height()};
            sizeOf[index] = size;
            // A picture of another size (a damaged stretch) or one already
            // of its tile's size goes to the composer as it is.
            const FrameSize tile = tiles[index];
            if (size.width != grabSize.width || size.height != grabSize.height ||
                (tile.width == size.width && tile.height == size.height))
                return;
            if (std::unique_ptr<CDibImage> scaled = ScaleToTile(*frame.image, tile)) frame.image = std::move(scaled);
        };
    }
    // Room for every frame up front: the two lists never fall out of step.
    out.frames.reserve(positions.size());
    out.grabbedSizes.reserve(positions.size());
    hooks.take = [&](size_t index, GrabbedFrame frame) {
        if (!frame.image) return;
        out.frames.push_back(std::move(frame));
        if (hooks.shrink) out.grabbedSizes.push_back(sizeOf[index]);
    };
    hooks.progress = [&](int done, int total) {
        interrupted = progress && !progress(done, total);
        return !interrupted;
    };
    if (settings.skipBlank) hooks.rejects = IsNearlyUniform;
    const OpResult grabbed = GrabTargets(grabber, positions, latest, hooks);
    if (interrupted) return OpResult::Failure("interrupted");
    // A sheet missing the frames after a failure would pass for a whole one.
    if (!grabbed) return grabbed;
    if (out.frames.empty()) return OpResult::Failure("no frame could be grabbed");
    facts.frames = int(out.frames.size());
    return OpResult::Success();
}

}  // namespace

OpResult MakeMovieSheet(const MovieJob& job, const CliSettings& settings,
                        const std::function<bool(int done, int total)>& progress, MovieFacts* facts,
                        MemoryGate* gate) {
    MovieFacts ignored;
    if (!facts) facts = &ignored;
    if (!job.failure.empty()) return OpResult::Failure(job.failure);
    // Refused before the movie is read; checked again when the sheet is moved in.
    if (!settings.overwrite && PathTaken(job.sheet)) return OpResult::Failure(ExistsReason(job.sheet));
    {
        std::error_code error;
        const fs::path folder = fs::path(job.sheet).parent_path();
        if (!folder.empty() && !fs::is_directory(folder, error))
            return OpResult::Failure("cannot write \"" + job.sheet + "\": no such folder");
    }
    SheetFrames grabbed;
    // The decoders are gone when this returns, before the sheet is drawn.
    if (OpResult ok = GrabSheetFrames(job, settings, progress, *facts, gate, grabbed); !ok) return ok;
    std::vector<const CDibImage*> images;
    std::vector<const char*> labels;
    for (const GrabbedFrame& frame : grabbed.frames) {
        images.push_back(frame.image.get());
        labels.push_back(frame.label.c_str());
    }
    const std::string target = WriteTarget(job.sheet, settings.overwrite);
    WrittenFiles written;
    const std::string staged = StagingNameFor(target, ".part");
    written.Add(staged);
    const std::vector<FrameSize>* grabbedSizes = grabbed.grabbedSizes.empty() ? nullptr : &grabbed.grabbedSizes;
    if (OpResult saved = ComposeSheet(images, labels, settings.options, grabbed.details, staged, grabbedSizes); !saved)
        return saved;
    if (!job.framesFolder.empty()) {
        if (OpResult wrote = WriteFrames(job, settings, images, labels, written); !wrote) return wrote;
    }
    if (OpResult moved = MoveInto(staged, target, settings.overwrite); !moved) return moved;
    written.Keep();
    facts->written.push_back(job.sheet);
    for (const std::string& file : written.Files()) {
        if (file != staged) facts->written.push_back(file);
    }
    return OpResult::Success();
}
