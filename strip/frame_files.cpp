#include "strip/frame_files.h"

#include <algorithm>
#include <filesystem>
#include <unordered_map>

#include "image/dib_image.h"

std::string SanitizeFileName(std::string label) {
    for (char& c : label) {
        switch (c) {
            case '/': case '\\': case ':': case '*': case '?':
            case '"': case '<': case '>': case '|':
                c = '-';
                break;
            default:
                break;
        }
    }
    return label;
}

std::string FrameFilePath(const std::string& folder, const std::string& label) {
    return folder + "/" + SanitizeFileName(label) + ".jpg";
}

std::vector<FileFailure> SaveFrameFiles(const std::string& folder,
                                        const std::vector<const CDibImage*>& images,
                                        const std::vector<const char*>& labels, int quality,
                                        bool progressive,
                                        const std::function<bool(int, int)>& progress,
                                        OutputBatch* batch, WriteMode mode) {
    std::vector<FileFailure> failures;
    const int total = int(std::min(images.size(), labels.size()));
    std::vector<std::string> paths;
    std::unordered_map<std::string, int> last;
    for (int i = 0; i < total; ++i) {
        paths.push_back(FrameFilePath(folder, labels[i] ? labels[i] : ""));
        last[paths.back()] = i;
    }
    for (int i = 0; i < total; ++i) {
        const std::string& path = paths[size_t(i)];
        // Written in turn, a later frame of the same name would replace this one.
        if (last[path] == i) {
            StagedFile file;
            OpResult result = images[i] ? file.Open(path, mode) : OpResult::Failure("no picture");
            if (result) result = images[i]->WriteJpeg(file, quality, progressive);
            if (result) result = batch ? batch->MoveIn(file) : file.Commit();
            if (!result) failures.push_back({path, result.message, file.Error()});
        }
        if (progress && !progress(i + 1, total)) break;
    }
    return failures;
}

std::string DescribeFailures(const std::string& heading, const std::vector<FileFailure>& failures,
                             size_t maxLines) {
    std::string text = heading;
    for (size_t i = 0; i < failures.size() && i < maxLines; ++i) {
        const std::string name = std::filesystem::path(failures[i].path).filename().string();
        text += "\n" + name + ": " + failures[i].reason;
    }
    if (failures.size() > maxLines) {
        text += "\n... and " + std::to_string(failures.size() - maxLines) + " more";
    }
    return text;
}
