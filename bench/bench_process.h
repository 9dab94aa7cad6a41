#pragma once
// Runs a program quietly (standard output and error to /dev/null) and
// measures it alone: exit status, wall time and its own peak memory. Makes a
// benchmark's input movie once with the ffmpeg command line.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

extern char** environ;

struct ProgramOutcome {
    int status = -1;  // exit status; -1 when it did not start or was killed
    double seconds = 0.0;
    long peakKiB = 0;
};

inline ProgramOutcome RunProgram(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ProgramOutcome outcome;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) == pid) {
            outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            outcome.peakKiB = usage.ru_maxrss;
        }
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return outcome;
}

// Makes `target` with `ffmpeg OPTIONS` unless it is already there; true when it
// is there afterwards. ffmpeg writes a temporary name beside it (the same
// extension, so the same container), renamed once ffmpeg succeeded: a run
// stopped halfway leaves no cut-off movie that the next run would take as made.
inline bool MakeWithFfmpeg(const std::filesystem::path& target, const std::string& options) {
    std::error_code error;
    if (std::filesystem::exists(target, error)) return true;
    std::filesystem::create_directories(target.parent_path(), error);
    const std::filesystem::path part = target.parent_path() / ("part-" + target.filename().string());
    const std::string command =
        "ffmpeg -nostdin -hide_banner -loglevel error -y " + options + " '" + part.string() + "'";
    if (std::system(command.c_str()) != 0) {
        std::filesystem::remove(part, error);
        return false;
    }
    std::filesystem::rename(part, target, error);
    return !error;
}
