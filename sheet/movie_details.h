#pragma once
// The texts that describe the last opened movie, and the two formatters that
// make them. They name grabbed frames and fill the placeholders of the contact
// sheet's details block.
#include <cstdint>
#include <string>

// Five texts, all empty until a movie has been opened successfully.
struct MovieDetails {
    std::string fileName;      // file name part of the path, extension included
    std::string fileSizeText;  // FormatFileSize of the size in bytes
    std::string widthText;     // native video width, "%d"
    std::string heightText;    // native video height, "%d"
    std::string durationText;  // FormatTimeLabel of the duration
};

// "%02d:%02d:%02d" of hours, minutes and seconds, every step truncated
// (59.9 s gives "00:00:59"). Hours take as many digits as they need.
// Negative, NaN and infinite times print as "00:00:00".
std::string FormatTimeLabel(double seconds);

// "%d Bytes", "%.2f KB", "%.2f MB" or "%.2f GB" with power-of-two thresholds;
// there is no unit above GB.
std::string FormatFileSize(uint64_t bytes);

// The record OpenMovie keeps for an opened movie.
MovieDetails MakeMovieDetails(const std::string& path, uint64_t fileSize, int videoWidth,
                              int videoHeight, double durationSeconds);

// MakeMovieDetails of `path` with its size read from the file (0 when it
// cannot be read), and the picture size and duration a decoder read.
MovieDetails DetailsOfMovieFile(const std::string& path, int32_t width, int32_t height, double duration);
