#include "app/folder_pictures.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

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
    const int total = int(names.size());
    std::vector<LoadedPicture> pictures(names.size());
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable changed;
    int done = 0;

    const fs::path base = fs::u8path(folder);
    auto work = [&] {
        for (;;) {
            if (stop.load()) return;
            // Every index taken is decoded to its end, so after the joins the
            // first min(next, total) entries are complete.
            const int i = next.fetch_add(1);
            if (i >= total) return;
            LoadedPicture& picture = pictures[size_t(i)];
            picture.name = names[size_t(i)];
            try {
                auto image = std::make_unique<CDibImage>();
                const OpResult loaded = image->LoadJpeg((base / picture.name).string());
                if (loaded) {
                    if (options.thumbWidth > 0 && options.thumbHeight > 0) {
                        picture.thumbnail =
                            FrameList::MakeThumbnail(*image, options.thumbWidth, options.thumbHeight);
                    }
                    picture.image = std::move(image);
                } else {
                    picture.error = loaded.message;
                }
            } catch (const std::bad_alloc&) {
                picture.image.reset();
                picture.thumbnail.reset();
                picture.error = "Not enough memory to load this picture";
            }
            bool last = false;
            {
                std::lock_guard lock(mutex);
                last = ++done == total;
            }
            // The caller looks every 50 ms; only the last picture wakes it early.
            if (last) changed.notify_all();
        }
    };

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int workers = std::max(1, std::min(int(cores), total));
    std::vector<std::thread> threads;
    for (int w = 0; w < workers && total > 0; ++w) threads.emplace_back(work);

    std::unique_lock lock(mutex);
    int reported = -1;
    while (done < total && !stop.load()) {
        // Progress runs here, on the caller's thread, never on a worker.
        changed.wait_for(lock, std::chrono::milliseconds(50));
        const int now = reported = done;
        lock.unlock();
        const bool goOn = !options.progress || options.progress(now, total);
        lock.lock();
        if (!goOn) stop = true;
    }
    lock.unlock();
    for (auto& thread : threads) thread.join();
    const int finished = stop.load() ? std::min(next.load(), total) : total;
    if (options.progress && !stop.load() && reported != total) options.progress(total, total);
    pictures.resize(size_t(std::max(0, finished)));
    return pictures;
}
