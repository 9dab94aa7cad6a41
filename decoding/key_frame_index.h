#pragma once
// Where a movie's key frames are, read from the demuxer's packets without
// decoding a single picture: a file is read through once, which costs far less
// than decoding it.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

struct KeyFrameTimes {
    // Movie seconds (counted from the movie's start, as player positions are)
    // of every key frame of the picture stream, ascending, without repeats.
    std::vector<double> times;
    // Empty on success; otherwise why the file could not be read.
    std::string error;
};

// `stop` (may be null) breaks off the read, also one that waits for the disk;
// so does `keepGoing` answering false (asked every few hundred packets). The
// answer then has the error "interrupted".
KeyFrameTimes ReadKeyFrameTimes(const std::string& path, const std::atomic<bool>* stop = nullptr,
                                const std::function<bool()>& keepGoing = {});
