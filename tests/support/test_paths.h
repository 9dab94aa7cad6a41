#pragma once
#include <filesystem>
#include <string>

// Folder holding the generated test clips.
std::filesystem::path TestDataDir();
// The whole file as bytes; empty when it cannot be read.
std::string FileBytes(const std::string& path);
// A fresh, empty temporary folder unique to the calling test; removed by the
// destructor.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};
