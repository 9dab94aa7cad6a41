#include "thumbnailer/make_thumbnail.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "base/staged_file.h"
#include "grabbing/grab_sequence.h"
#include "grabbing/segment_grabber.h"
#include "grabbing/target_grabs.h"
#include "image/dib_image.h"
#include "thumbnailer/frame_choice.h"
#include "thumbnailer/png_thumbnail.h"

namespace {

// The picture scaled down to the thumbnail (never up); the picture itself
// when it is small enough, null when memory cannot be had.
std::unique_ptr<CDibImage> ScaledDown(std::unique_ptr<CDibImage> picture, int size) {
    int width = 0;
    int height = 0;
    ThumbnailSize(picture->Width(), picture->Height(), size, width, height);
    if (width == picture->Width() && height == picture->Height()) return picture;
    auto small = std::make_unique<CDibImage>();
    if (!small->Create(width, height)) return nullptr;
    small->StretchFrom(nullptr, *picture);
    return small;
}

OpResult WritePng(const std::string& path, const QByteArray& png) {
    StagedFile writer;
    if (OpResult opened = writer.Open(path, WriteMode::Replace); !opened) return opened;
    if (std::fwrite(png.constData(), 1, size_t(png.size()), writer.File()) != size_t(png.size()))
        return OpResult::Failure(writer.Describe("cannot write"));
    return writer.Commit();
}

}  // namespace

OpResult MakeThumbnail(const ThumbnailRequest& request) {
    struct stat info {};
    if (::stat(request.input.c_str(), &info) != 0) return OpResult::Failure(std::strerror(errno));
    SegmentGrabber grabber;
    int32_t width = 0;
    int32_t height = 0;
    if (OpResult opened = OpenGrabSource(grabber, request.input, width, height); !opened) return opened;
    const double duration = grabber.Info().duration;
    const ThumbnailCandidates candidates = CandidatePositions(grabber, duration, request);

    // Each picture shrinks to the thumbnail on its worker, so a 4K movie's
    // full pictures are never kept.
    std::vector<std::unique_ptr<CDibImage>> pictures(candidates.positions.size());
    TargetGrabHooks hooks;
    hooks.keyFrames = candidates.keyFrames;
    hooks.shrink = [&](size_t, GrabbedFrame& frame) { frame.image = ScaledDown(std::move(frame.image), request.size); };
    hooks.take = [&](size_t index, GrabbedFrame frame) { pictures[index] = std::move(frame.image); };
    if (OpResult grabbed = GrabTargets(grabber, candidates.positions, {}, hooks); !grabbed) return grabbed;

    std::vector<const CDibImage*> shown;
    for (const auto& picture : pictures) shown.push_back(picture.get());
    const CDibImage* chosen = shown.empty() ? nullptr : shown[ChooseFrame(shown)];
    if (!chosen) return OpResult::Failure("no picture of the movie could be decoded there");

    ThumbnailFacts facts;
    facts.uri = request.inputUri;
    facts.mtime = int64_t(info.st_mtime);
    facts.fileSize = uint64_t(info.st_size);
    facts.mimeType = MovieMimeType(request.input);
    facts.length = duration;
    const QByteArray png = EncodeThumbnailPng(*chosen, facts);
    if (png.isEmpty()) return OpResult::Failure("the picture could not be coded as PNG");
    return WritePng(request.output, png);
}
