#include "thumbnailer/png_thumbnail.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "image/dib_image.h"

void ThumbnailSize(int width, int height, int size, int& outWidth, int& outHeight) {
    outWidth = width;
    outHeight = height;
    const int larger = std::max(width, height);
    if (larger <= size || larger < 1) return;
    outWidth = std::max(1, int(std::lround(double(width) * size / larger)));
    outHeight = std::max(1, int(std::lround(double(height) * size / larger)));
}

QByteArray EncodeThumbnailPng(const CDibImage& picture, const ThumbnailFacts& facts) {
    const int width = picture.Width();
    const int height = picture.Height();
    if (width < 1 || height < 1 || !picture.HasPixels()) return {};
    QImage image(width, height, QImage::Format_BGR888);
    if (image.isNull()) return {};
    // The picture's rows are stored bottom-up.
    for (int y = 0; y < height; ++y) std::memcpy(image.scanLine(y), picture.StoredRow(height - 1 - y), size_t(width) * 3);
    image.setText("Thumb::URI", QString::fromStdString(facts.uri));
    image.setText("Thumb::MTime", QString::number(facts.mtime));
    image.setText("Thumb::Size", QString::number(facts.fileSize));
    image.setText("Thumb::Mimetype", QString::fromStdString(facts.mimeType));
    image.setText("Thumb::Movie::Length", QString::number(std::max<int64_t>(0, std::llround(facts.length))));
    image.setText("Software", "Reelcap");
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) return {};
    return bytes;
}

std::string MovieMimeType(const std::string& path) {
    static const std::pair<const char*, const char*> kTypes[] = {
        {".mp4", "video/mp4"},         {".m4v", "video/mp4"},          {".mkv", "video/x-matroska"},
        {".webm", "video/webm"},       {".avi", "video/x-msvideo"},    {".mov", "video/quicktime"},
        {".mpg", "video/mpeg"},        {".mpeg", "video/mpeg"},        {".ts", "video/mp2t"},
        {".m2ts", "video/mp2t"},       {".wmv", "video/x-ms-wmv"},     {".asf", "video/x-ms-asf"},
        {".ogv", "video/ogg"},         {".flv", "video/x-flv"},        {".3gp", "video/3gpp"},
        {".vob", "video/mpeg"},        {".mts", "video/mp2t"},         {".divx", "video/vnd.divx"}};
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && path.find('/', dot) == std::string::npos) {
        std::string extension = path.substr(dot);
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        for (const auto& [ext, type] : kTypes)
            if (extension == ext) return type;
    }
    return "application/octet-stream";
}
