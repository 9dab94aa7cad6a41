#pragma once
// The thumbnail as the freedesktop thumbnail convention has it: a PNG whose
// text chunks name the movie it shows (URI, modification time, size, type,
// length), so a file manager knows when it has gone stale.
#include <QByteArray>
#include <cstdint>
#include <string>

class CDibImage;

struct ThumbnailFacts {
    std::string uri;
    int64_t mtime = 0;      // seconds since the epoch
    uint64_t fileSize = 0;  // bytes
    std::string mimeType;
    double length = 0.0;    // seconds of movie
};

// The pixel size of a thumbnail of a width x height picture: the larger side
// becomes `size`, the aspect is kept, and a smaller picture stays as it is.
void ThumbnailSize(int width, int height, int size, int& outWidth, int& outHeight);

// The PNG file's bytes; empty when the picture is empty or cannot be coded.
QByteArray EncodeThumbnailPng(const CDibImage& picture, const ThumbnailFacts& facts);

// The MIME type of a movie file by its name ("video/mp4"), for the
// Thumb::Mimetype chunk; "application/octet-stream" when the name tells none.
std::string MovieMimeType(const std::string& path);
