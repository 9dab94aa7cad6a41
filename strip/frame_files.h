#pragma once
// Frames as files of their own: Save Multiple's names and writing, shared by
// the window and the command-line tool.
#include <functional>
#include <string>
#include <vector>

#include "base/staged_file.h"

class CDibImage;

// A copy of `label` with each of / \ : * ? " < > | replaced by "-".
std::string SanitizeFileName(std::string label);

// "<folder>/<sanitized label>.jpg".
std::string FrameFilePath(const std::string& folder, const std::string& label);

struct FileFailure {
    std::string path;
    std::string reason;
    int error = 0;  // the errno of the write that failed; 0 when the picture was the fault
};

// Writes every frame, in order, as FrameFilePath(folder, label), each staged
// and moved in whole (StagedFile, in `mode`); of frames with equal names the
// last one's file is written. A file that cannot be written is listed and the
// rest are still written. With `batch`, the files are moved in through it (and
// taken back with it). `progress` is called after each frame with (done,
// total); false stops there.
std::vector<FileFailure> SaveFrameFiles(const std::string& folder,
                                        const std::vector<const CDibImage*>& images,
                                        const std::vector<const char*>& labels, int quality,
                                        bool progressive,
                                        const std::function<bool(int, int)>& progress = {},
                                        OutputBatch* batch = nullptr, WriteMode mode = WriteMode::Replace);

// The failures as one message: a heading and one "name: reason" line each,
// at most `maxLines` of them and a count of the rest.
std::string DescribeFailures(const std::string& heading, const std::vector<FileFailure>& failures,
                             size_t maxLines = 20);
