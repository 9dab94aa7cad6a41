#pragma once
// Values that cross the movie player's interface.
#include <cstdint>
#include <memory>

enum PlayerState : int { Closed = 0, Opened = 1, Running = 2, Stopped = 3, Paused = 4 };

// Where a seek to `position` settles: times travel in 100 ns units, truncated
// toward zero, and stay within 0 ... duration (when the duration is known).
double SettledMoviePosition(double position, double duration);

// Event codes handed out by CMoviePlayer::GetEvent.
constexpr long EC_COMPLETE = 1;
constexpr long EC_USERABORT = 2;
constexpr long EC_ERRORABORT = 3;

// Seeking unit: only media time (seconds) exists.
enum class TimeFormat { MediaTime };

// Fixed text for a failed open when the decoder library gives no reason.
inline constexpr const char* kOpenFailedText =
    "Failed to open the movie.  Either the file was not found or the wave device is in use.";

// A movie opened for grabbing that has no picture stream.
inline constexpr const char* kNoVideoStreamText = "no picture to grab (the file has no video stream)";

// A movie refused because its picture stream is too damaged to decode and
// it has no sound.
inline constexpr const char* kNoPictureText =
    "No picture of the movie could be decoded (the picture stream is damaged or unsupported), and it has no sound.";

// A grabbed frame: a 40-byte BITMAPINFOHEADER (32 bits per pixel) followed at
// once by bottom-up rows of blue, green, red, unused bytes.
void FreeGrabBlock(uint8_t* block);
struct GrabBlockDeleter {
    void operator()(uint8_t* block) const { FreeGrabBlock(block); }
};
using GrabBlock = std::unique_ptr<uint8_t, GrabBlockDeleter>;
