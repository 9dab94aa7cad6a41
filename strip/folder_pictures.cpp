#include "strip/folder_pictures.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <new>

#include "base/index_pool.h"
#include "strip/frame_list.h"

namespace fs = std::filesystem;

namespace {

bool HasJpgExtension(const std::string& name) {
    if (name.size() < 4) return false;
    const std::string tail = name.substr(name.size() - 4);
    return tail[0] == '.' && std::tolower(static_cast<unsigned char>(tail[1])) == 'j' &&
           std::tolower(static_cast<unsigned char>(tail[2])) == 'p' &&
           std::tolower(static_cast<unsigned char>(tail[3])) == 'g';
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // names equal but for case: a fixed order all the same
}

std::string KindText(fs::file_type type) {
    switch (type) {
        case fs::file_type::directory: return "is a folder, not a file";
        case fs::file_type::fifo: return "is a named pipe, not a file";
        case fs::file_type::socket: return "is a socket, not a file";
        case fs::file_type::block:
        case fs::file_type::character: return "is a device, not a file";
        case fs::file_type::not_found: return "is a link to nothing";
        default: return "is not a regular file";
    }
}

}  // namespace

FolderListing ListJpegFiles(const std::string& folder) {
    FolderListing listing;
    std::error_code ec;
    fs::directory_iterator it(fs::u8path(folder), ec);
    if (ec) {
        listing.result = OpResult::Failure("Cannot read the folder " + folder + ": " + ec.message());
        return listing;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            listing.result = OpResult::Failure("Cannot read the folder " + folder + ": " + ec.message());
            break;
        }
        const std::string name = it->path().filename().string();
        if (!HasJpgExtension(name)) continue;
        std::error_code statError;
        const fs::file_status status = it->status(statError);  // follows links
        if (status.type() == fs::file_type::regular) {
            listing.names.push_back(name);
        } else {
            listing.skipped.push_back({it->path().string(), KindText(status.type())});
        }
    }
    std::sort(listing.names.begin(), listing.names.end(), LessIgnoringCase);
    return listing;
}

std::vector<LoadedPicture> LoadPictures(const std::string& folder,
                                        const std::vector<std::string>& names,
                                        const PictureLoadOptions& options) {
    const size_t total = names.size();
    std::vector<LoadedPicture> pictures(total);
    const fs::path base = fs::u8path(folder);
    auto decode = [&](size_t i) {
        LoadedPicture& picture = pictures[i];
        picture.name = names[i];
        try {
            auto image = std::make_unique<CDibImage>();
            const OpResult loaded = image->LoadJpeg((base / picture.name).string());
            if (loaded) {
                if (options.thumbWidth > 0 && options.thumbHeight > 0)
                    picture.thumbnail = FrameList::MakeThumbnail(*image, options.thumbWidth, options.thumbHeight);
                picture.image = std::move(image);
            } else {
                picture.error = loaded.message;
            }
        } catch (const std::bad_alloc&) {
            picture.image.reset();
            picture.thumbnail.reset();
            picture.error = "Not enough memory to load this picture";
        }
    };

    IndexPool pool(total, CoreCount(), decode);
    if (pool.Threads() == 0) pool.Help();  // no thread to be had: decoded here
    size_t reported = total + 1;
    while (!pool.WaitFinished(std::chrono::milliseconds(50))) {
        // Progress runs here, on the caller's thread, never on a worker.
        reported = pool.Finished();
        if (options.progress && !options.progress(int(reported), int(total))) pool.Stop();
    }
    pool.Join();
    // Every index started was decoded to its end: the first Started() entries
    // are complete.
    const size_t finished = pool.Stopped() ? pool.Started() : total;
    if (options.progress && !pool.Stopped() && reported != total) options.progress(int(total), int(total));
    pictures.resize(finished);
    return pictures;
}
