#include "sheet/movie_details.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

std::string PrintF(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

}  // namespace

std::string FormatTimeLabel(double seconds) {
    // A live stream or a broken header reports an infinite duration: no time
    // to show, like a negative one or NaN.
    if (!(seconds > 0.0) || std::isinf(seconds)) seconds = 0.0;
    // Beyond this the hour count no longer fits an integer; no movie is that long.
    constexpr double kLongest = 3600.0 * 1e15;
    if (seconds > kLongest) seconds = kLongest;

    // Multiplying by the reciprocals and truncating every step gives, for whole
    // seconds, exactly the integer quotients.
    const long long hours = static_cast<long long>(seconds * (1.0 / 3600.0));
    const double rest = seconds - 3600.0 * static_cast<double>(hours);
    const long long minutes = static_cast<long long>(rest * (1.0 / 60.0));
    const long long secs = static_cast<long long>(rest - 60.0 * static_cast<double>(minutes));

    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld", hours, minutes, secs);
    return buffer;
}

std::string FormatFileSize(uint64_t bytes) {
    constexpr uint64_t kKB = 1024;
    constexpr uint64_t kMB = kKB * 1024;
    constexpr uint64_t kGB = kMB * 1024;
    if (bytes < kKB) return std::to_string(bytes) + " Bytes";
    if (bytes < kMB) return PrintF("%.2f KB", static_cast<double>(bytes) / double(kKB));
    if (bytes < kGB) return PrintF("%.2f MB", static_cast<double>(bytes) / double(kMB));
    return PrintF("%.2f GB", static_cast<double>(bytes) / double(kGB));
}

MovieDetails MakeMovieDetails(const std::string& path, uint64_t fileSize, int videoWidth,
                              int videoHeight, double durationSeconds) {
    MovieDetails details;
    details.fileName = std::filesystem::path(path).filename().string();
    details.fileSizeText = FormatFileSize(fileSize);
    details.widthText = std::to_string(videoWidth);
    details.heightText = std::to_string(videoHeight);
    details.durationText = FormatTimeLabel(durationSeconds);
    return details;
}

MovieDetails DetailsOfMovieFile(const std::string& path, int32_t width, int32_t height, double duration) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(std::filesystem::u8path(path), ec);
    return MakeMovieDetails(path, ec ? 0 : uint64_t(size), width, height, duration);
}
