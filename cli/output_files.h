#pragma once
// The files one movie's job writes: whether a name is taken, moving a staged
// file into place, and taking everything back when the movie fails, so a
// failed movie leaves nothing behind.
#include <string>
#include <vector>

#include "base/op_result.h"

// True when anything stands at `path`, a dangling link included.
bool PathTaken(const std::string& path);
// Where a file replaced under `overwrite` is written: through a link in the
// way (LinkedFile), as the window's save does, not over the link itself.
std::string WriteTarget(const std::string& path, bool overwrite);
// "\"PATH\" exists (-y replaces it)".
std::string ExistsReason(const std::string& path);
// Moves the staged file onto `target`; without `replace` an existing target
// (even one that appeared meanwhile) is left alone and the move fails.
OpResult MoveInto(const std::string& staged, const std::string& target, bool replace);

// Files written so far (staged or moved in); removed again, newest first, and
// a folder made for them removed when empty, unless Keep() is called. Files
// that MoveIn replaced are put back then: a failed movie leaves what was there.
class WrittenFiles {
public:
    WrittenFiles() = default;
    ~WrittenFiles();
    WrittenFiles(const WrittenFiles&) = delete;
    WrittenFiles& operator=(const WrittenFiles&) = delete;

    // A path already listed (frames whose labels name one file) is listed once.
    void Add(const std::string& path);
    // A staged file now lives under `target`.
    void Moved(const std::string& staged, const std::string& target);
    // MoveInto, then Moved; a file replaced at `target` is kept under a second
    // name until Keep(), so that a failure can put it back.
    OpResult MoveIn(const std::string& staged, const std::string& target, bool replace);
    // The file at `path` (the one a link there leads to), about to be replaced
    // by a write of its own, is kept under a second name until Keep(), as
    // MoveIn keeps it. Nothing there: nothing kept.
    void KeepOldOf(const std::string& path);
    void SetCreatedFolder(const std::string& folder) { m_folder = folder; }
    void Keep() { m_keep = true; }
    const std::vector<std::string>& Files() const { return m_files; }

private:
    std::vector<std::string> m_files;
    struct Replaced {
        std::string target;
        std::string aside;  // the old file's second name
    };
    std::vector<Replaced> m_replaced;
    // The second name made for the file at `target`; empty when none could be made.
    static std::string SecondName(const std::string& target);
    std::string m_folder;
    bool m_keep = false;
};
