#pragma once
// A folder's JPEG files as pictures: which entries there are, and decoding them
// on all cores. The window's Open Folder and the tests share it.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "strip/frame_files.h"
#include "image/dib_image.h"
#include "base/op_result.h"

struct FolderListing {
    OpResult result;                   // failure when the folder cannot be read
    std::vector<std::string> names;    // "*.jpg" in any letter case, regular files
    std::vector<FileFailure> skipped;  // matching entries that are not files
};

// The "*.jpg" entries of `folder` sorted by name without regard to letter case;
// folders, pipes, sockets and devices with such names are listed as skipped.
FolderListing ListJpegFiles(const std::string& folder);

struct LoadedPicture {
    std::string name;
    std::unique_ptr<CDibImage> image;      // null when it could not be decoded
    std::unique_ptr<CDibImage> thumbnail;  // made on the worker when asked for
    std::string error;
};

struct PictureLoadOptions {
    int thumbWidth = 0;   // 0: no thumbnails
    int thumbHeight = 0;
    // Called on the calling thread about every 50 ms and at the end with
    // (decoded, total); false stops: files not yet started are left out.
    std::function<bool(int, int)> progress;
};

// Decodes `folder`/name for every name, on all cores, in the given order. The
// result has one entry per name that was started.
std::vector<LoadedPicture> LoadPictures(const std::string& folder,
                                        const std::vector<std::string>& names,
                                        const PictureLoadOptions& options = {});
