// The one writer of every output: never replacing, replacing only once the
// new file is complete, putting back what a failed job replaced, the reason
// of the write that failed, and staging files a killed run left behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "base/staged_file.h"
#include "support/file_size_limit.h"
#include "support/test_paths.h"

namespace fs = std::filesystem;

namespace {

void Put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

OpResult Write(StagedFile& file, const std::string& bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.File()) != bytes.size())
        return OpResult::Failure(file.Describe("Cannot write"));
    return OpResult::Success();
}

// No process has this id: above the kernel's highest.
const std::string kDeadPid = "2147483646";

}  // namespace

TEST(StagedFile, NeverReplaceLeavesAnyExistingFileAlone) {
    ScratchDir dir;
    const std::string path = dir / "a.jpg";
    Put(path, "old");
    StagedFile file;
    EXPECT_FALSE(file.Open(path, WriteMode::NeverReplace));
    EXPECT_EQ(file.Error(), EEXIST);
    // A dangling link is a name taken too.
    fs::create_symlink(dir / "nowhere", dir / "link.jpg");
    EXPECT_FALSE(file.Open(dir / "link.jpg", WriteMode::NeverReplace));
    EXPECT_EQ(file.Error(), EEXIST);

    // One that appears while the new file is written stays, and wins.
    ASSERT_TRUE(file.Open(dir / "b.jpg", WriteMode::NeverReplace));
    ASSERT_TRUE(Write(file, "new"));
    Put(dir / "b.jpg", "theirs");
    EXPECT_FALSE(file.Commit());
    EXPECT_EQ(file.Error(), EEXIST);
    EXPECT_EQ(FileBytes(dir / "b.jpg"), "theirs");
    EXPECT_EQ(FileBytes(path), "old");
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"a.jpg", "b.jpg", "link.jpg"}));

    ASSERT_TRUE(file.Open(dir / "c.jpg", WriteMode::NeverReplace));
    ASSERT_TRUE(Write(file, "fresh"));
    EXPECT_TRUE(file.Commit());
    EXPECT_EQ(FileBytes(dir / "c.jpg"), "fresh");
}

TEST(StagedFile, ReplaceKeepsTheOldFileUntilTheNewOneIsComplete) {
    ScratchDir dir;
    fs::create_directory(dir.path() / "real");
    const std::string real = dir / "real/a.lyt";
    Put(real, "old");
    ::chmod(real.c_str(), 0640);
    fs::create_symlink(real, dir / "a.lyt");

    StagedFile file;
    ASSERT_TRUE(file.Open(dir / "a.lyt", WriteMode::Replace, true));
    EXPECT_EQ(file.Target(), real);
    ASSERT_TRUE(Write(file, "new contents"));
    ASSERT_TRUE(file.Finish());
    EXPECT_EQ(FileBytes(real), "old") << "replaced before the commit";
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(FileBytes(real), "new contents");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "a.lyt")) << "a link is written through, not replaced";
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u) << "the old file's permissions";
    EXPECT_EQ(Names(dir.path() / "real"), std::set<std::string>{"a.lyt"});

    // Dropped, or never finished: the old file stays, nothing else does.
    ASSERT_TRUE(file.Open(real, WriteMode::Replace));
    ASSERT_TRUE(Write(file, "half"));
    file.Discard();
    { StagedFile abandoned; ASSERT_TRUE(abandoned.Open(real, WriteMode::Replace)); ASSERT_TRUE(Write(abandoned, "x")); }
    EXPECT_EQ(FileBytes(real), "new contents");
    EXPECT_EQ(Names(dir.path() / "real"), std::set<std::string>{"a.lyt"});
    // A folder in the way is refused before anything is written.
    fs::create_directory(dir.path() / "taken");
    EXPECT_FALSE(file.Open(dir / "taken", WriteMode::Replace));
    EXPECT_EQ(file.Error(), EISDIR);
}

// A write that fails (here a file size limit, as a full disk would) keeps the
// old file, and the failure names its own reason, whatever errno says later.
TEST(StagedFile, FailedWriteKeepsTheOldFileAndItsReason) {
    ScratchDir dir;
    const std::string path = dir / "sheet.jpg";
    Put(path, "precious");
    StagedFile file;
    OpResult committed;
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(file.Open(path, WriteMode::Replace));
        const std::string big(200000, 'x');
        EXPECT_NE(std::fwrite(big.data(), 1, big.size(), file.File()), big.size());
        errno = EBADF;  // a later call that failed for its own reason
        committed = file.Commit();
    }
    EXPECT_FALSE(committed);
    EXPECT_EQ(file.Error(), EFBIG);
    EXPECT_NE(committed.message.find(std::strerror(EFBIG)), std::string::npos) << committed.message;
    EXPECT_NE(committed.message.find(path), std::string::npos) << committed.message;
    EXPECT_EQ(FileBytes(path), "precious");
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"sheet.jpg"});
}

TEST(OutputBatch, AFailedJobPutsBackWhatItReplacedAndKeepsNothingNew) {
    ScratchDir dir;
    Put(dir / "a", "old a");
    fs::create_directory(dir.path() / "keep");
    Put(dir / "keep/b", "old b");
    fs::create_symlink(dir / "keep/b", dir / "b");
    for (bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "kept" : "failed");
        {
            OutputBatch batch;
            fs::create_directory(dir.path() / "made");
            batch.MadeFolder(dir / "made");
            for (const std::string name : {"a", "b", "made/c", "a"}) {
                StagedFile file;
                ASSERT_TRUE(file.Open(dir / name, WriteMode::Replace));
                ASSERT_TRUE(Write(file, "new " + name));
                ASSERT_TRUE(batch.MoveIn(file));
            }
            EXPECT_EQ(batch.Files(), (std::vector<std::string>{dir / "a", dir / "keep/b", dir / "made/c"}));
            EXPECT_EQ(FileBytes(dir / "a"), "new a");
            if (keep) batch.Keep();
        }
        EXPECT_EQ(FileBytes(dir / "a"), keep ? "new a" : "old a");
        EXPECT_EQ(FileBytes(dir / "keep/b"), keep ? "new b" : "old b");
        EXPECT_TRUE(fs::is_symlink(dir.path() / "b"));
        EXPECT_EQ(fs::exists(dir.path() / "made"), keep);
        // No second names left anywhere.
        EXPECT_EQ(Names(dir.path()), keep ? (std::set<std::string>{"a", "b", "keep", "made"})
                                          : (std::set<std::string>{"a", "b", "keep"}));
        EXPECT_EQ(Names(dir.path() / "keep"), std::set<std::string>{"b"});
    }
}

// What a killed run left while writing a name goes when that name is written
// again; nothing that is not exactly such a leftover is touched.
TEST(StagedFile, LeftoversOfAKilledRunForTheSameFileAreRemoved) {
    ScratchDir dir;
    const std::set<std::string> leftovers = {".out.jpg.part" + kDeadPid + "-3", ".out.jpg.old" + kDeadPid + "-0",
                                             ".out.jpg.tmp" + kDeadPid + "-12"};
    const std::set<std::string> others = {
        ".out.jpg.part1-0",             // a running process (init)
        ".out.jpg.part" + kDeadPid,     // not this program's naming
        ".out.jpg.partial",             //
        ".out.jpg.part" + kDeadPid + "-x",
        "out.jpg.part" + kDeadPid + "-0",          // not hidden
        ".other.jpg.part" + kDeadPid + "-0",       // another file's
        ".out.jpg.part" + kDeadPid + "-0.jpg",     //
        "out.jpg",
    };
    for (const std::string& name : leftovers) Put(dir / name, "left");
    for (const std::string& name : others) Put(dir / name, "someone's");
    fs::create_directory(dir.path() / (".out.jpg.part" + kDeadPid + "-7"));  // not a file

    StagedFile file;
    ASSERT_TRUE(file.Open(dir / "out.jpg", WriteMode::Replace));
    ASSERT_TRUE(Write(file, "new"));
    ASSERT_TRUE(file.Commit());
    std::set<std::string> expected = others;
    expected.insert(".out.jpg.part" + kDeadPid + "-7");
    EXPECT_EQ(Names(dir.path()), expected);
    EXPECT_EQ(FileBytes(dir / "out.jpg"), "new");
}
