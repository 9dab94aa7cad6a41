// The options record and "options.lyt": defaults, the byte layout on disk,
// round trips, and files that are short, long, garbage or cannot be written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "settings/options_store.h"
#include "support/file_size_limit.h"
#include "support/pipe_guard.h"
#include "support/test_paths.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(data), std::streamsize(size));
}

SheetOptions Defaults() {
    SheetOptions options{};
    options.SetDefaults();
    return options;
}

void ExpectDefaultFont(const LOGFONTA& font) {
    EXPECT_EQ(font.lfHeight, -11);
    EXPECT_EQ(font.lfWidth, 0);
    EXPECT_EQ(font.lfEscapement, 0);
    EXPECT_EQ(font.lfOrientation, 0);
    EXPECT_EQ(font.lfWeight, 700);
    EXPECT_EQ(font.lfItalic, 0);
    EXPECT_EQ(font.lfUnderline, 0);
    EXPECT_EQ(font.lfStrikeOut, 0);
    EXPECT_EQ(font.lfCharSet, 0);
    EXPECT_EQ(font.lfOutPrecision, 3);
    EXPECT_EQ(font.lfClipPrecision, 2);
    EXPECT_EQ(font.lfQuality, 1);
    EXPECT_EQ(font.lfPitchAndFamily, 0x22);
    EXPECT_STREQ(font.lfFaceName, "Arial");
}

const char kDefaultTemplate[] =
    "File Name: [FILE_NAME]\r\nFile Size: [FILE_SIZE]\r\nResolution: [WIDTH]x[HEIGHT]\r\nDuration: [DURATION]";

// Every field away from its default.
SheetOptions Custom() {
    SheetOptions o{};
    o.columns = 7;
    o.tileWidth = 200;
    o.tileHeight = 150;
    o.gapWidth = 4;
    o.gapHeight = 6;
    o.dropShadow = 0;
    o.shadowOffsetX = -2;
    o.shadowOffsetY = 9;
    o.shadowIntensity = 80;
    o.backColor = 0x00123456;
    o.showDetails = 0;
    o.detailsPosition = BottomRight;
    o.detailsFont.lfHeight = -20;
    o.detailsFont.lfWidth = 8;
    o.detailsFont.lfEscapement = 900;
    o.detailsFont.lfOrientation = 900;
    o.detailsFont.lfWeight = 400;
    o.detailsFont.lfItalic = 1;
    o.detailsFont.lfUnderline = 1;
    o.detailsFont.lfStrikeOut = 1;
    o.detailsFont.lfCharSet = 2;
    o.detailsFont.lfOutPrecision = 4;
    o.detailsFont.lfClipPrecision = 5;
    o.detailsFont.lfQuality = 6;
    o.detailsFont.lfPitchAndFamily = 0x31;
    std::strcpy(o.detailsFont.lfFaceName, "Liberation Mono");
    o.detailsColor = 0x00ABCDEF;
    o.showLabels = 0;
    o.labelPosition = TopRight;
    o.labelFont = o.detailsFont;
    o.labelFont.lfHeight = 30;
    std::strcpy(o.labelFont.lfFaceName, "Liberation Serif");
    o.labelColor = 0x00010203;
    o.jpegQuality = 42;
    o.progressive = 0;
    o.frameCount = 12;
    std::strcpy(o.detailsTemplate, "[FILE_NAME]\r\n[DURATION]");
    return o;
}

bool SameBytes(const SheetOptions& a, const SheetOptions& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    return names;
}

}  // namespace

// ------------------------------------------------------------- first start

TEST(OptionsFirstStart, WritesTheDefaultsAtOnce) {
    ScratchDir dir;
    OptionsStore store(dir / "options.lyt");

    const SheetOptions& o = store.Options();
    EXPECT_EQ(o.columns, 5);
    EXPECT_EQ(o.tileWidth, 148);
    EXPECT_EQ(o.tileHeight, 111);
    EXPECT_EQ(o.gapWidth, 10);
    EXPECT_EQ(o.gapHeight, 10);
    EXPECT_EQ(o.dropShadow, 1);
    EXPECT_EQ(o.shadowOffsetX, 3);
    EXPECT_EQ(o.shadowOffsetY, 3);
    EXPECT_EQ(o.shadowIntensity, 50);
    EXPECT_EQ(o.backColor, 0x00F7F2EEu);
    EXPECT_EQ(o.showDetails, 1);
    EXPECT_EQ(o.detailsPosition, TopLeft);
    EXPECT_EQ(o.detailsColor, 0x00000000u);
    EXPECT_EQ(o.showLabels, 1);
    EXPECT_EQ(o.labelPosition, BottomLeft);
    EXPECT_EQ(o.labelColor, 0x00FFFFFFu);
    EXPECT_EQ(o.jpegQuality, 90);
    EXPECT_EQ(o.progressive, 1);
    EXPECT_EQ(o.frameCount, 30);
    ExpectDefaultFont(o.detailsFont);
    ExpectDefaultFont(o.labelFont);
    EXPECT_STREQ(o.detailsTemplate, kDefaultTemplate);
    EXPECT_EQ(std::strlen(o.detailsTemplate), 98u);

    // The file exists before anything else happens.
    const std::vector<uint8_t> file = ReadBytes(dir / "options.lyt");
    ASSERT_EQ(file.size(), 456u);
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 4), (std::vector<uint8_t>{0x05, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 36, file.begin() + 40),
              (std::vector<uint8_t>{0xEE, 0xF2, 0xF7, 0x00}));
    EXPECT_EQ(std::memcmp(file.data(), &o, 456), 0);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"options.lyt"});
}

TEST(OptionsFirstStart, DefaultPathIsTheCurrentFolder) {
    ScratchDir dir;
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    const std::string path = OptionsStore::DefaultPath();
    fs::current_path(before);
    EXPECT_EQ(path, (fs::canonical(dir.path()) / "options.lyt").string());
}

TEST(OptionsFirstStart, InstanceIsTheNewestLiveStore) {
    ScratchDir dir;
    OptionsStore* const outside = OptionsStore::Instance();
    {
        OptionsStore first(dir / "a.lyt");
        EXPECT_EQ(OptionsStore::Instance(), &first);
        {
            OptionsStore second(dir / "b.lyt");
            EXPECT_EQ(OptionsStore::Instance(), &second);
        }
        EXPECT_EQ(OptionsStore::Instance(), &first);
    }
    EXPECT_EQ(OptionsStore::Instance(), outside);
}

TEST(OptionsFirstStart, SetDefaultsRestoresWholeFontsAndTemplate) {
    SheetOptions o = Custom();
    o.SetDefaults();
    ExpectDefaultFont(o.detailsFont);
    ExpectDefaultFont(o.labelFont);
    EXPECT_STREQ(o.detailsTemplate, kDefaultTemplate);
    EXPECT_TRUE(SameBytes(o, Defaults()));
}

// ------------------------------------------------------------- round trips

TEST(OptionsRoundTrip, EveryFieldSurvivesSaveAndLoad) {
    ScratchDir dir;
    {
        OptionsStore store(dir / "options.lyt");
        store.Options() = Custom();
        ASSERT_TRUE(store.Save());
        EXPECT_EQ(std::memcmp(ReadBytes(dir / "options.lyt").data(), &store.Options(), 456), 0);
    }
    OptionsStore again(dir / "options.lyt");
    const SheetOptions expected = Custom();
    EXPECT_TRUE(SameBytes(again.Options(), expected));
    EXPECT_EQ(again.Options().labelFont.lfHeight, 30);
    EXPECT_STREQ(again.Options().labelFont.lfFaceName, "Liberation Serif");
    EXPECT_STREQ(again.Options().detailsTemplate, "[FILE_NAME]\r\n[DURATION]");
}

TEST(OptionsRoundTrip, DestructionWritesUnsavedChanges) {
    ScratchDir dir;
    {
        OptionsStore store(dir / "options.lyt");
        store.Options().frameCount = 12;  // as the grab prompt does, without saving
    }
    OptionsStore again(dir / "options.lyt");
    EXPECT_EQ(again.Options().frameCount, 12);
}

TEST(OptionsRoundTrip, LoadDiscardsUnsavedEdits) {
    ScratchDir dir;
    OptionsStore store(dir / "options.lyt");
    store.Options().columns = 9;
    ASSERT_TRUE(store.Save());
    store.Options().columns = 2;
    store.Options().detailsFont.lfItalic = 1;
    store.Load();  // the dialog's cancel
    EXPECT_EQ(store.Options().columns, 9);
    EXPECT_EQ(store.Options().detailsFont.lfItalic, 0);
}

// ------------------------------------------------ short, long and bad files

TEST(OptionsBadFile, ShortFilesKeepWhatTheyCoverAndDefaultTheRest) {
    const SheetOptions custom = Custom();
    const SheetOptions defaults = Defaults();
    for (size_t size : {size_t(0), size_t(3), size_t(4), size_t(100), size_t(455)}) {
        SCOPED_TRACE(size);
        ScratchDir dir;
        WriteBytes(dir / "options.lyt", &custom, size);
        OptionsStore store(dir / "options.lyt");
        const SheetOptions& o = store.Options();
        EXPECT_EQ(o.columns, size >= 4 ? custom.columns : defaults.columns);
        EXPECT_GE(o.columns, 1);
        EXPECT_EQ(o.tileWidth, size >= 8 ? custom.tileWidth : defaults.tileWidth);
        EXPECT_EQ(o.gapHeight, size >= 20 ? custom.gapHeight : defaults.gapHeight);
        // A font is taken whole or not at all.
        EXPECT_EQ(std::memcmp(&o.detailsFont, size >= 108 ? &custom.detailsFont : &defaults.detailsFont, 60), 0);
        EXPECT_EQ(o.frameCount, size >= 196 ? custom.frameCount : defaults.frameCount);
        EXPECT_STREQ(o.detailsTemplate, defaults.detailsTemplate);
    }
}

TEST(OptionsBadFile, LongFileUsesTheFirstRecordOnly) {
    ScratchDir dir;
    const SheetOptions custom = Custom();
    std::vector<uint8_t> bytes(reinterpret_cast<const uint8_t*>(&custom),
                               reinterpret_cast<const uint8_t*>(&custom) + 456);
    bytes.insert(bytes.end(), 700, 0xEE);
    WriteBytes(dir / "options.lyt", bytes.data(), bytes.size());
    OptionsStore store(dir / "options.lyt");
    EXPECT_TRUE(SameBytes(store.Options(), custom));
}

TEST(OptionsBadFile, GarbageLeavesTerminatedTextsAndUsableColumns) {
    ScratchDir dir;
    std::vector<uint8_t> garbage(456);
    uint32_t state = 99;
    for (uint8_t& b : garbage) {
        state = state * 1664525u + 1013904223u;
        b = uint8_t(1 + (state >> 24) % 255);  // never a NUL
    }
    garbage[0] = garbage[1] = garbage[2] = garbage[3] = 0;  // zero columns
    WriteBytes(dir / "options.lyt", garbage.data(), garbage.size());

    OptionsStore store(dir / "options.lyt");
    const SheetOptions& o = store.Options();
    EXPECT_EQ(o.columns, 5);
    EXPECT_EQ(std::strlen(o.detailsTemplate), 259u);
    EXPECT_EQ(std::memcmp(o.detailsTemplate, garbage.data() + 196, 259), 0);
    EXPECT_EQ(std::strlen(o.detailsFont.lfFaceName), 31u);
    EXPECT_EQ(std::strlen(o.labelFont.lfFaceName), 31u);
    EXPECT_EQ(o.tileWidth, *reinterpret_cast<const int32_t*>(garbage.data() + 4));
}

TEST(OptionsBadFile, NegativeColumnsFallBackToTheDefault) {
    SheetOptions custom = Custom();
    custom.columns = -3;
    SheetOptions read{};
    read.FromBytes(reinterpret_cast<const uint8_t*>(&custom), sizeof custom);
    EXPECT_EQ(read.columns, 5);
    EXPECT_EQ(read.tileWidth, custom.tileWidth);
}

TEST(OptionsBadFile, FolderInPlaceOfTheFileGivesDefaults) {
    ScratchDir dir;
    fs::create_directory(dir.path() / "options.lyt");
    {
        OptionsStore store(dir / "options.lyt");
        EXPECT_TRUE(SameBytes(store.Options(), Defaults()));
        EXPECT_FALSE(store.Save());
    }
    EXPECT_TRUE(fs::is_directory(dir.path() / "options.lyt"));
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"options.lyt"});
}

TEST(OptionsBadFile, NamedPipeInPlaceOfTheFileGivesDefaultsWithoutWaiting) {
    ScratchDir dir;
    const std::string pipe = dir / "options.lyt";
    ASSERT_TRUE(MakePipe(pipe));
    EXPECT_TRUE(FinishesBeside(pipe, [&] {
        OptionsStore store(pipe);
        EXPECT_TRUE(SameBytes(store.Options(), Defaults()));
    })) << "the store waited for a writer";
}

TEST(OptionsRoundTrip, SavingThroughALinkKeepsTheLink) {
    ScratchDir dir;
    fs::create_directory(dir.path() / "real");
    fs::create_symlink(dir.path() / "real" / "kept.lyt", dir.path() / "options.lyt");
    {
        OptionsStore store(dir / "options.lyt");  // dangling link: the defaults are written
        store.Options().columns = 8;
    }
    EXPECT_TRUE(fs::is_symlink(dir.path() / "options.lyt"));
    OptionsStore again((dir.path() / "real" / "kept.lyt").string());
    EXPECT_EQ(again.Options().columns, 8);
}

// ------------------------------------------------------------ failed writes

TEST(OptionsWriteFailure, MissingFolderKeepsTheRecordInMemory) {
    ScratchDir dir;
    OptionsStore store(dir / "gone/options.lyt");
    EXPECT_TRUE(SameBytes(store.Options(), Defaults()));
    store.Options().columns = 3;
    EXPECT_FALSE(store.Save());
    EXPECT_EQ(store.Options().columns, 3);
    EXPECT_TRUE(FolderEntries(dir.path()).empty());
}

TEST(OptionsWriteFailure, FullDiskKeepsTheOldFile) {
    ScratchDir dir;
    {
        OptionsStore store(dir / "options.lyt");
        store.Options().columns = 7;
        ASSERT_TRUE(store.Save());
    }
    const std::vector<uint8_t> before = ReadBytes(dir / "options.lyt");
    {
        FileSizeLimit limit(100);
        OptionsStore store(dir / "options.lyt");
        store.Options().columns = 9;
        EXPECT_FALSE(store.Save());
        // Destruction tries again, and fails as quietly.
    }
    EXPECT_EQ(ReadBytes(dir / "options.lyt"), before);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"options.lyt"});
}

TEST(OptionsWriteFailure, ReadOnlyFolderStillSavesIntoAWritableFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "folder permissions do not bind root";
    ScratchDir dir;
    { OptionsStore store(dir / "options.lyt"); }
    fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::remove);
    {
        OptionsStore store(dir / "options.lyt");
        store.Options().frameCount = 12;
        EXPECT_TRUE(store.Save());
    }
    fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(OptionsStore(dir / "options.lyt").Options().frameCount, 12);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"options.lyt"});
}
