// JPEG files: round trips, what the written file says about itself, and every
// way a load or a save can fail without harming the program or existing files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "image/dib_image.h"
#include "support/file_size_limit.h"
#include "support/pipe_guard.h"
#include "support/test_paths.h"
#include "tests/image/jpeg_test_support.h"

namespace fs = std::filesystem;

using namespace jpeg_test;

namespace {

bool HasMarker(const std::vector<uint8_t>& file, uint8_t marker) {
    for (const Segment& s : HeaderSegments(file))
        if (s.marker == marker) return true;
    return false;
}

// All quantisation values of all DQT segments; fails the test on 16-bit tables.
std::vector<int> QuantValues(const std::vector<uint8_t>& file) {
    std::vector<int> values;
    for (const Segment& s : HeaderSegments(file)) {
        if (s.marker != 0xDB) continue;
        const size_t length = (size_t(file[s.offset + 2]) << 8) | file[s.offset + 3];
        size_t pos = s.offset + 4;
        const size_t end = s.offset + 2 + length;
        while (pos < end) {
            EXPECT_EQ(file[pos] >> 4, 0) << "16-bit table: baseline was not forced";
            values.insert(values.end(), file.begin() + long(pos) + 1, file.begin() + long(pos) + 65);
            pos += 65;
        }
    }
    return values;
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    return names;
}

// Writes a file with libjpeg directly, for colour formats the program never writes.
void WriteRawJpeg(const std::string& path, int width, int height, J_COLOR_SPACE input, int components,
                  const std::vector<uint8_t>& onePixel, bool adobeMarker) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = input;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (input == JCS_CMYK && !adobeMarker) {
        jpeg_set_colorspace(&info, JCS_CMYK);
        info.write_Adobe_marker = FALSE;
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row;
    for (int x = 0; x < width; ++x) row.insert(row.end(), onePixel.begin(), onePixel.end());
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

}  // namespace

// ---------------------------------------------------------------- round trips

TEST(JpegRoundTrip, KeepsOrientationAndColours) {
    ScratchDir dir;
    CDibImage image;
    MakeImage(image, 16, 16, [](int, int y) { return y < 8 ? Rgb{255, 0, 0} : Rgb{0, 0, 255}; });
    ASSERT_TRUE(image.SaveJpeg(dir / "rb.jpg", 90, true));

    CDibImage loaded;
    const OpResult result = loaded.LoadJpeg(dir / "rb.jpg");
    ASSERT_TRUE(result) << result.message;
    ASSERT_EQ(loaded.Width(), 16);
    ASSERT_EQ(loaded.Height(), 16);
    EXPECT_NEAR_RGB(GetPixel(loaded, 8, 1), 255, 0, 0, 12);   // top stays red
    EXPECT_NEAR_RGB(GetPixel(loaded, 8, 14), 0, 0, 255, 12);  // bottom stays blue
}

TEST(JpegRoundTrip, OnePixelImageReloadsWithStrideFour) {
    ScratchDir dir;
    CDibImage image;
    MakeImage(image, 1, 1, [](int, int) { return Rgb{200, 120, 40}; });
    ASSERT_TRUE(image.SaveJpeg(dir / "one.jpg", 90, false));
    const std::vector<uint8_t> file = ReadBytes(dir / "one.jpg");
    EXPECT_TRUE(HasMarker(file, 0xC0));   // baseline frame
    EXPECT_FALSE(HasMarker(file, 0xC2));  // not progressive

    CDibImage loaded;
    ASSERT_TRUE(loaded.LoadJpeg(dir / "one.jpg"));
    EXPECT_EQ(loaded.Width(), 1);
    EXPECT_EQ(loaded.Height(), 1);
    EXPECT_EQ(loaded.Stride(), 4);
    EXPECT_EQ(loaded.Header().biSizeImage, 4u);
    EXPECT_NEAR_RGB(GetPixel(loaded, 0, 0), 200, 120, 40, 6);
}

TEST(JpegRoundTrip, LoadReplacesPreviousContents) {
    ScratchDir dir;
    CDibImage small;
    MakeImage(small, 3, 2, [](int, int) { return Rgb{0, 255, 0}; });
    ASSERT_TRUE(small.SaveJpeg(dir / "small.jpg", 90, true));

    CDibImage image;
    MakeNoise(image, 40, 30);
    ASSERT_TRUE(image.LoadJpeg(dir / "small.jpg"));
    EXPECT_EQ(image.Width(), 3);
    EXPECT_EQ(image.Height(), 2);
    EXPECT_EQ(image.Stride(), 12);
    EXPECT_NEAR_RGB(GetPixel(image, 2, 1), 0, 255, 0, 12);
}

TEST(JpegRoundTrip, SavedFileContainsTextDrawnJustBefore) {
    ScratchDir dir;
    CDibImage image;
    ASSERT_TRUE(image.Create(60, 30));
    image.Fill(nullptr, MakeRgb(255, 255, 255));
    LOGFONTA font{};
    font.lfHeight = -24;
    font.lfWeight = 700;
    std::snprintf(font.lfFaceName, sizeof font.lfFaceName, "Arial");
    image.SetTextFont(font, MakeRgb(0, 0, 0));
    RECT rect{0, 0, 60, 30};
    image.PaintText("MW", &rect, DT_SINGLELINE, false);
    // No pixel operation in between: saving must pick the text up itself.
    ASSERT_TRUE(image.SaveJpeg(dir / "text.jpg", 95, false));

    CDibImage loaded;
    ASSERT_TRUE(loaded.LoadJpeg(dir / "text.jpg"));
    int dark = 0;
    for (int y = 0; y < loaded.Height(); ++y)
        for (int x = 0; x < loaded.Width(); ++x) dark += GetPixel(loaded, x, y).g < 100;
    EXPECT_GT(dark, 20);
}

// ------------------------------------------------------- what the file says

TEST(JpegFile, ProgressiveFlagChoosesTheFrameType) {
    ScratchDir dir;
    CDibImage image;
    MakeNoise(image, 32, 24);
    ASSERT_TRUE(image.SaveJpeg(dir / "p.jpg", 90, true));
    ASSERT_TRUE(image.SaveJpeg(dir / "b.jpg", 90, false));
    const std::vector<uint8_t> progressive = ReadBytes(dir / "p.jpg");
    const std::vector<uint8_t> baseline = ReadBytes(dir / "b.jpg");
    EXPECT_TRUE(HasMarker(progressive, 0xC2));
    EXPECT_FALSE(HasMarker(progressive, 0xC0));
    EXPECT_TRUE(HasMarker(baseline, 0xC0));
    EXPECT_FALSE(HasMarker(baseline, 0xC2));

    CDibImage loaded;
    ASSERT_TRUE(loaded.LoadJpeg(dir / "p.jpg"));
    EXPECT_EQ(loaded.Width(), 32);
    EXPECT_EQ(loaded.Height(), 24);
}

TEST(JpegFile, JfifHeaderStates96DotsPerInch) {
    ScratchDir dir;
    CDibImage image;
    MakeNoise(image, 8, 8);
    ASSERT_TRUE(image.SaveJpeg(dir / "dpi.jpg", 90, true));
    const std::vector<uint8_t> f = ReadBytes(dir / "dpi.jpg");
    ASSERT_GE(f.size(), 18u);
    EXPECT_EQ(f[0], 0xFF);
    EXPECT_EQ(f[1], 0xD8);
    EXPECT_EQ(f[2], 0xFF);
    EXPECT_EQ(f[3], 0xE0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[6]), 5), std::string("JFIF\0", 5));
    EXPECT_EQ(f[13], 1);  // dots per inch
    EXPECT_EQ((f[14] << 8) | f[15], 96);
    EXPECT_EQ((f[16] << 8) | f[17], 96);
}

TEST(JpegFile, QualityReachesTheLibraryUnchangedWithBaselineTables) {
    ScratchDir dir;
    CDibImage image;
    MakeNoise(image, 16, 16);
    ASSERT_TRUE(image.SaveJpeg(dir / "q100.jpg", 100, false));
    ASSERT_TRUE(image.SaveJpeg(dir / "q0.jpg", 0, true));

    const std::vector<int> best = QuantValues(ReadBytes(dir / "q100.jpg"));
    ASSERT_FALSE(best.empty());
    for (int v : best) EXPECT_EQ(v, 1);
    // Quality 0 is the coarsest the library knows; forcing baseline caps the
    // steps at 255 instead of writing 16-bit tables.
    const std::vector<int> worst = QuantValues(ReadBytes(dir / "q0.jpg"));
    ASSERT_FALSE(worst.empty());
    for (int v : worst) EXPECT_EQ(v, 255);

    CDibImage loaded;
    EXPECT_TRUE(loaded.LoadJpeg(dir / "q0.jpg"));
    EXPECT_TRUE(loaded.LoadJpeg(dir / "q100.jpg"));
}

TEST(JpegFile, SaveReplacesExistingFileAndLeavesNothingElse) {
    ScratchDir dir;
    WriteBytes(dir / "out.jpg", {'o', 'l', 'd'});
    CDibImage image;
    MakeNoise(image, 20, 10);
    ASSERT_TRUE(image.SaveJpeg(dir / "out.jpg", 90, true));
    CDibImage loaded;
    ASSERT_TRUE(loaded.LoadJpeg(dir / "out.jpg"));
    EXPECT_EQ(loaded.Width(), 20);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"out.jpg"});
}

// ------------------------------------------------------------ loads that fail

TEST(JpegLoadFailure, MissingFileIsReportedAndLeavesImageEmpty) {
    ScratchDir dir;
    CDibImage image;
    MakeNoise(image, 4, 4);
    const OpResult result = image.LoadJpeg(dir / "absent.jpg");
    EXPECT_FALSE(result);
    EXPECT_NE(result.message.find("absent.jpg"), std::string::npos) << result.message;
    EXPECT_FALSE(image.HasPixels());
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 0);
}

TEST(JpegLoadFailure, CorruptFilesAreReportedWithTheLibraryText) {
    ScratchDir dir;
    WriteBytes(dir / "text.jpg", std::vector<uint8_t>(300, 'x'));
    WriteBytes(dir / "empty.jpg", {});
    // A real header cut off before the image data starts.
    CDibImage image;
    MakeNoise(image, 32, 32);
    ASSERT_TRUE(image.SaveJpeg(dir / "good.jpg", 90, false));
    std::vector<uint8_t> header = ReadBytes(dir / "good.jpg");
    header.resize(30);
    WriteBytes(dir / "cut.jpg", header);

    for (const char* name : {"text.jpg", "empty.jpg", "cut.jpg"}) {
        SCOPED_TRACE(name);
        CDibImage loaded;
        MakeNoise(loaded, 4, 4);
        const OpResult result = loaded.LoadJpeg(dir / name);
        EXPECT_FALSE(result);
        EXPECT_NE(result.message.find(name), std::string::npos) << result.message;
        EXPECT_FALSE(loaded.HasPixels());
        EXPECT_EQ(loaded.Width(), 0);
    }
    CDibImage loaded;
    EXPECT_NE(loaded.LoadJpeg(dir / "text.jpg").message.find("Not a JPEG file"), std::string::npos);
}

TEST(JpegLoadFailure, FolderIsNotAPicture) {
    ScratchDir dir;
    fs::create_directory(dir.path() / "x.jpg");
    CDibImage image;
    const OpResult result = image.LoadJpeg(dir / "x.jpg");
    EXPECT_FALSE(result);
    EXPECT_NE(result.message.find("it is a folder"), std::string::npos) << result.message;
    EXPECT_FALSE(image.HasPixels());
}

TEST(JpegLoadFailure, NamedPipeIsRefusedWithoutWaitingForAWriter) {
    ScratchDir dir;
    const std::string pipe = dir / "x.jpg";
    ASSERT_TRUE(MakePipe(pipe));
    OpResult result;
    EXPECT_TRUE(FinishesBeside(pipe, [&] {
        CDibImage image;
        result = image.LoadJpeg(pipe);
    })) << "the load waited for a writer";
    EXPECT_FALSE(result);
    EXPECT_NE(result.message.find("not a regular file"), std::string::npos) << result.message;
}

// A 1 kB progressive file claiming 26000 x 26000 pixels would take a 2 GB
// picture and a coefficient buffer as big again. With 3 GB left to the process
// it is refused as too large before anything is allocated; a real picture
// still loads.
TEST(JpegLoadFailure, HugeProgressiveClaimIsRefusedWithinTheMemoryBudget) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address space limits do not mix with the sanitizer";
#endif
    ScratchDir dir;
    CDibImage image;
    MakeNoise(image, 1500, 1000);
    ASSERT_TRUE(image.SaveJpeg(dir / "real.jpg", 90, true));
    std::vector<uint8_t> file = ReadBytes(dir / "real.jpg");
    for (const Segment& s : HeaderSegments(file)) {
        if (s.marker != 0xC2) continue;
        file[s.offset + 5] = file[s.offset + 7] = 26000 >> 8;
        file[s.offset + 6] = file[s.offset + 8] = 26000 & 0xFF;
    }
    file.resize(1000);
    WriteBytes(dir / "huge.jpg", file);

    std::ifstream status("/proc/self/status");
    std::string key;
    rlim_t usedKb = 0;
    while (status >> key && !(key == "VmSize:" && status >> usedKb)) {}
    rlimit old{}, limited{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &old), 0);
    limited = {usedKb * 1024 + (3ull << 30), old.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_AS, &limited), 0);
    const OpResult refused = image.LoadJpeg(dir / "huge.jpg");
    const bool refusedEmpty = !image.HasPixels();
    const OpResult real = image.LoadJpeg(dir / "real.jpg");
    setrlimit(RLIMIT_AS, &old);
    EXPECT_NE(refused.message.find("too large"), std::string::npos) << refused.message;
    EXPECT_TRUE(!refused && refusedEmpty);
    EXPECT_TRUE(real && image.Width() == 1500) << real.message;
}

TEST(JpegLoadFailure, EndlessProgressiveScansAreRefused) {
    ScratchDir dir;
    CDibImage image;
    MakeNoise(image, 16, 16);
    ASSERT_TRUE(image.SaveJpeg(dir / "p.jpg", 90, true));
    std::vector<uint8_t> file = ReadBytes(dir / "p.jpg");
    // Repeat the last scan (from its SOS to just before EOI) a thousand times:
    // a bogus progression the decoder only warns about.
    size_t lastSos = 0;
    for (size_t i = 0; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == 0xDA) lastSos = i;
    ASSERT_GT(lastSos, 0u);
    const std::vector<uint8_t> scan(file.begin() + long(lastSos), file.end() - 2);
    std::vector<uint8_t> crafted(file.begin(), file.end() - 2);
    for (int i = 0; i < 1000; ++i) crafted.insert(crafted.end(), scan.begin(), scan.end());
    crafted.push_back(0xFF);
    crafted.push_back(0xD9);
    WriteBytes(dir / "scans.jpg", crafted);

    CDibImage loaded;
    const OpResult result = loaded.LoadJpeg(dir / "scans.jpg");
    EXPECT_FALSE(result);
    EXPECT_NE(result.message.find("scans"), std::string::npos) << result.message;
    EXPECT_FALSE(loaded.HasPixels());
}

TEST(JpegLoadFailure, ImpossibleSizesInTheHeaderAreRefused) {
    ScratchDir dir;
    CDibImage image;
    MakeNoise(image, 16, 16);
    ASSERT_TRUE(image.SaveJpeg(dir / "b.jpg", 90, false));
    const std::vector<uint8_t> file = ReadBytes(dir / "b.jpg");
    size_t sof = 0;
    for (const Segment& s : HeaderSegments(file))
        if (s.marker == 0xC0) sof = s.offset;
    ASSERT_GT(sof, 0u);

    // Claims 65000 x 65000: refused before the decoder allocates anything.
    std::vector<uint8_t> huge = file;
    huge[sof + 5] = huge[sof + 7] = 0xFD;
    huge[sof + 6] = huge[sof + 8] = 0xE8;
    WriteBytes(dir / "huge.jpg", huge);
    CDibImage loaded;
    OpResult result = loaded.LoadJpeg(dir / "huge.jpg");
    EXPECT_FALSE(result);
    EXPECT_NE(result.message.find("too large"), std::string::npos) << result.message;
    EXPECT_FALSE(loaded.HasPixels());

    // Claims no rows at all: the library's own fatal error, caught.
    std::vector<uint8_t> empty = file;
    empty[sof + 5] = empty[sof + 6] = 0;
    WriteBytes(dir / "empty.jpg", empty);
    result = loaded.LoadJpeg(dir / "empty.jpg");
    EXPECT_FALSE(result);
    EXPECT_FALSE(result.message.empty());
    EXPECT_FALSE(loaded.HasPixels());
}

// ------------------------------------------------ other colour formats

TEST(JpegLoad, GrayscaleFileLoadsAsRgb) {
    ScratchDir dir;
    WriteRawJpeg(dir / "grey.jpg", 9, 5, JCS_GRAYSCALE, 1, {100}, false);
    CDibImage image;
    const OpResult result = image.LoadJpeg(dir / "grey.jpg");
    ASSERT_TRUE(result) << result.message;
    EXPECT_EQ(image.Width(), 9);
    EXPECT_EQ(image.Height(), 5);
    EXPECT_EQ(image.Stride(), 28);
    EXPECT_NEAR_RGB(GetPixel(image, 8, 4), 100, 100, 100, 2);
}

TEST(JpegLoad, AdobeInvertedCmykLoadsAsRgb) {
    ScratchDir dir;
    // Adobe files store inks inverted (255 = no ink): this is pure red, i.e.
    // no cyan, full magenta and yellow, no black.
    WriteRawJpeg(dir / "ycck.jpg", 16, 16, JCS_CMYK, 4, {255, 0, 0, 255}, true);
    CDibImage image;
    const OpResult result = image.LoadJpeg(dir / "ycck.jpg");
    ASSERT_TRUE(result) << result.message;
    EXPECT_EQ(image.Width(), 16);
    EXPECT_NEAR_RGB(GetPixel(image, 5, 5), 255, 0, 0, 8);
}

TEST(JpegLoad, PlainCmykLoadsAsRgb) {
    ScratchDir dir;
    // No Adobe marker: ink amounts as they are. Full yellow under half black.
    WriteRawJpeg(dir / "cmyk.jpg", 16, 16, JCS_CMYK, 4, {0, 0, 255, 128}, false);
    CDibImage image;
    const OpResult result = image.LoadJpeg(dir / "cmyk.jpg");
    ASSERT_TRUE(result) << result.message;
    EXPECT_NEAR_RGB(GetPixel(image, 5, 5), 127, 127, 0, 8);
}

// ------------------------------------------------------------ saves that fail

TEST(JpegSaveFailure, MissingFolderGivesNoFileAndAMessage) {
    ScratchDir dir;
    CDibImage image;
    MakeNoise(image, 4, 4);
    const OpResult result = image.SaveJpeg(dir / "no/such/folder/x.jpg", 90, true);
    EXPECT_FALSE(result);
    EXPECT_NE(result.message.find("x.jpg"), std::string::npos) << result.message;
    EXPECT_TRUE(FolderEntries(dir.path()).empty());
}

TEST(JpegSaveFailure, UnwritableTargetsLeaveEverythingAsItWas) {
    ScratchDir dir;
    WriteBytes(dir / "plainfile", {'a'});
    fs::create_directory(dir.path() / "taken.jpg");
    CDibImage image;
    MakeNoise(image, 4, 4);
    EXPECT_FALSE(image.SaveJpeg(dir / "plainfile/x.jpg", 90, true));  // folder is a file
    EXPECT_FALSE(image.SaveJpeg(dir / "taken.jpg", 90, true));        // name is a folder
    EXPECT_FALSE(image.SaveJpeg(dir.path().string() + "/", 90, true));  // no name at all
    EXPECT_TRUE(fs::is_directory(dir.path() / "taken.jpg"));
    std::vector<std::string> entries = FolderEntries(dir.path());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"plainfile", "taken.jpg"}));
}

TEST(JpegSaveFailure, EmptyPictureIsRefused) {
    ScratchDir dir;
    CDibImage never;
    const OpResult result = never.SaveJpeg(dir / "a.jpg", 90, true);
    EXPECT_FALSE(result);
    EXPECT_FALSE(result.message.empty());
    CDibImage zero;
    ASSERT_TRUE(zero.Create(0, 0));
    EXPECT_FALSE(zero.SaveJpeg(dir / "b.jpg", 90, false));
    EXPECT_TRUE(FolderEntries(dir.path()).empty());
}

TEST(JpegSaveFailure, LibraryErrorIsCaughtAndLeavesNoFile) {
    ScratchDir dir;
    CDibImage image;
    ASSERT_TRUE(image.Create(70000, 1));  // wider than JPEG allows
    image.Fill(nullptr, 0);
    const OpResult result = image.SaveJpeg(dir / "wide.jpg", 90, false);
    EXPECT_FALSE(result);
    EXPECT_NE(result.message.find("65500"), std::string::npos) << result.message;
    EXPECT_TRUE(FolderEntries(dir.path()).empty());
}

// The library only knows that a write fell short; the message gives the
// reason the system gave for it.
TEST(JpegSaveFailure, AFailedWriteIsToldByItsOwnReason) {
    ScratchDir dir;
    CDibImage image;
    MakeNoise(image, 256, 256);
    OpResult result;
    {
        FileSizeLimit limit(4096);
        result = image.SaveJpeg(dir / "sheet.jpg", 100, true);
    }
    EXPECT_FALSE(result);
    EXPECT_NE(result.message.find(std::strerror(EFBIG)), std::string::npos) << result.message;
    EXPECT_TRUE(FolderEntries(dir.path()).empty());
}

TEST(JpegSaveFailure, FullDiskKeepsTheExistingFile) {
    ScratchDir dir;
    const std::vector<uint8_t> precious(1000, 0x5A);
    WriteBytes(dir / "sheet.jpg", precious);
    CDibImage image;
    MakeNoise(image, 256, 256);  // far more than the limit below
    OpResult result;
    {
        FileSizeLimit limit(4096);
        result = image.SaveJpeg(dir / "sheet.jpg", 100, true);
    }
    EXPECT_FALSE(result);
    EXPECT_FALSE(result.message.empty());
    EXPECT_EQ(ReadBytes(dir / "sheet.jpg"), precious);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"sheet.jpg"});
}
