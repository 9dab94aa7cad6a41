#pragma once
// A temporary folder for files a benchmark writes, removed when it goes away.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

class BenchFolder {
public:
    explicit BenchFolder(const std::string& prefix = "reelcap-bench") {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (mkdtemp(pattern.data())) m_path = pattern;
    }
    ~BenchFolder() {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    // The folder, or the system's temporary folder when none could be made.
    std::filesystem::path Path() const { return m_path.empty() ? std::filesystem::temp_directory_path() : m_path; }
    std::string File(const std::string& name) const { return (Path() / name).string(); }

private:
    std::filesystem::path m_path;
};
