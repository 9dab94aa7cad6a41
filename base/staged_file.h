#pragma once
// Every file the programs write goes through here, so that none is ever seen
// half-written: the contents go to a hidden sibling, ".NAME.part<pid>-<n>",
// and are moved onto NAME in one rename once complete. A full disk, a failed
// encoder or a stop leaves what was there before.
//
// OutputBatch groups the files of one job: they are moved in one at a time
// and either all kept, or all taken back with the files they replaced put
// back.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/op_result.h"

enum class WriteMode {
    // An existing file, even one that appears while the new one is written, is
    // left alone: the write fails with EEXIST. A link in the way counts as a file.
    NeverReplace,
    // An existing file stays as it was until the new one is complete, then is
    // replaced in one rename. A link in the way is written through (the file
    // it leads to is replaced, the link stays), and the new file keeps the
    // permissions of the old one.
    Replace,
};

// The file a write to `path` lands in: links followed (also one whose file
// does not exist yet), so that a link is written through, not replaced by a
// plain file.
std::string LinkedFile(const std::string& path);

class StagedFile {
public:
    StagedFile();
    ~StagedFile();  // a staging file not moved in is removed
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Creates the staging file beside the target. Staging files of this
    // program for the same target that a killed run left behind are removed
    // first. With `durable`, Finish forces the data to the device and Commit
    // the folder's entry after the rename, so the file survives a power cut.
    OpResult Open(const std::string& path, WriteMode mode, bool durable = false);
    // Where the contents go until Finish; null when not open.
    FILE* File() const { return m_file; }
    // Flushes and closes: the contents are complete under the staging name.
    OpResult Finish();
    // Finish when not done yet, then the one rename onto Target(). With
    // `durable`, a folder that cannot be synced fails it after the rename:
    // the new file is in place, but may not survive a power cut.
    OpResult Commit();
    // Drops the staging file; the target stays as it was.
    void Discard();

    // The file written: `path`, or under Replace the file a link there leads to.
    const std::string& Target() const { return m_target; }
    WriteMode Mode() const { return m_mode; }
    // The errno of the call that failed, 0 when none did: the first write that
    // failed, also inside a library writing through File(), not whatever a
    // later call left in errno.
    int Error() const;
    // "<what> \"TARGET\": <the reason for Error()>", the message a failure gives.
    std::string Describe(const char* what) const;

private:
    struct Sink;
    OpResult Fail(const char* what, int error);
    void CloseStream();

    std::string m_target;
    std::string m_staging;
    WriteMode m_mode = WriteMode::Replace;
    bool m_durable = false;
    int m_error = 0;
    std::unique_ptr<Sink> m_sink;
    FILE* m_file = nullptr;
};

class OutputBatch {
public:
    OutputBatch() = default;
    // Unless kept: every file moved in is removed, newest first, each file
    // they replaced is put back, and folders made for them go when empty.
    ~OutputBatch();
    OutputBatch(const OutputBatch&) = delete;
    OutputBatch& operator=(const OutputBatch&) = delete;

    // Commits `file`. A file it replaces stays reachable under a second name
    // (a hard link, ".NAME.old<pid>-<n>") until the batch ends, so that it
    // can be put back; where none can be made (a file system without links)
    // the write goes on without a way back.
    OpResult MoveIn(StagedFile& file);
    // A folder made for the files; removed again with them when it is empty.
    void MadeFolder(const std::string& folder) { m_folders.push_back(folder); }
    void Keep() { m_keep = true; }
    // The targets moved in so far, each once, in the order first moved in.
    const std::vector<std::string>& Files() const { return m_files; }

private:
    struct Replaced {
        std::string target;
        std::string aside;  // the old file's second name
    };
    std::vector<std::string> m_files;
    std::vector<Replaced> m_replaced;
    std::vector<std::string> m_folders;
    bool m_keep = false;
};
