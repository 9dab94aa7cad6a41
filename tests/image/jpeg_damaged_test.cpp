// JPEG files damaged but decodable: what the file holds loads, what it does
// not is grey, and a file that cannot hold the picture it claims is refused
// before anything is allocated.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "image/dib_image.h"
#include "support/test_paths.h"
#include "tests/image/jpeg_test_support.h"

using namespace jpeg_test;

TEST(JpegLoad, TruncatedImageDataStillLoadsWithANote) {
    ScratchDir dir;
    CDibImage image;
    MakeNoise(image, 64, 64);
    ASSERT_TRUE(image.SaveJpeg(dir / "full.jpg", 90, false));
    std::vector<uint8_t> bytes = ReadBytes(dir / "full.jpg");
    bytes.resize(bytes.size() / 2);
    WriteBytes(dir / "half.jpg", bytes);

    CDibImage loaded;
    const OpResult result = loaded.LoadJpeg(dir / "half.jpg");
    EXPECT_TRUE(result) << result.message;
    EXPECT_EQ(loaded.Width(), 64);
    EXPECT_EQ(loaded.Height(), 64);
    EXPECT_FALSE(result.message.empty());  // the library's warning is passed on
}

// Found by fuzzing: 239 bytes claiming 9153 x 65314 pixels kept the decoder
// busy for over a minute making rows from filler. Such a file is refused; the
// rows a file merely cut off does not hold are grey, and decoding stops where
// the data does.
TEST(JpegLoad, PictureLargerThanItsDataIsGreyWhereTheDataEnds) {
    ScratchDir dir;
    CDibImage image;
    MakeNoise(image, 64, 64);
    ASSERT_TRUE(image.SaveJpeg(dir / "small.jpg", 90, false));
    std::vector<uint8_t> bytes = ReadBytes(dir / "small.jpg");
    size_t sof = 0;
    for (const Segment& s : HeaderSegments(bytes))
        if (s.marker == 0xC0) sof = s.offset;
    ASSERT_GT(sof, 0u);
    std::vector<uint8_t> claims = bytes;
    claims[sof + 5] = claims[sof + 7] = 0x01;  // 400 x 400 (0x0190)
    claims[sof + 6] = claims[sof + 8] = 0x90;
    WriteBytes(dir / "claims.jpg", claims);
    CDibImage loaded;
    OpResult result = loaded.LoadJpeg(dir / "claims.jpg");
    ASSERT_TRUE(result) << result.message;
    EXPECT_EQ(loaded.Width(), 400);
    EXPECT_EQ(loaded.Height(), 400);
    EXPECT_FALSE(result.message.empty());
    for (int y : {100, 399}) {
        const Rgb c = GetPixel(loaded, 200, y);
        EXPECT_EQ(c.r, 128) << y;
        EXPECT_EQ(c.g, 128) << y;
        EXPECT_EQ(c.b, 128) << y;
    }

    claims[sof + 5] = claims[sof + 7] = 0x0B;  // 3000 x 3000: a 26 KB picture at the least
    claims[sof + 6] = claims[sof + 8] = 0xB8;
    WriteBytes(dir / "huge.jpg", claims);
    result = loaded.LoadJpeg(dir / "huge.jpg");
    EXPECT_FALSE(result);
    EXPECT_NE(result.message.find("cut off"), std::string::npos) << result.message;
    EXPECT_FALSE(loaded.HasPixels());
}

// Found by fuzzing: a 231-byte progressive file claiming 12064 x 25344
// pixels made the decoder build every row from filler coefficients. A
// progressive file too small to hold its picture is refused; one merely cut
// off still loads.
TEST(JpegLoad, ProgressiveFileTooSmallForItsPictureIsRefused) {
    ScratchDir dir;
    CDibImage image;
    MakeNoise(image, 64, 64);
    ASSERT_TRUE(image.SaveJpeg(dir / "p.jpg", 90, true));
    std::vector<uint8_t> bytes = ReadBytes(dir / "p.jpg");
    std::vector<uint8_t> half(bytes.begin(), bytes.begin() + std::ptrdiff_t(bytes.size() / 2));
    WriteBytes(dir / "half.jpg", half);
    CDibImage loaded;
    OpResult result = loaded.LoadJpeg(dir / "half.jpg");
    EXPECT_TRUE(result) << result.message;
    EXPECT_EQ(loaded.Width(), 64);

    size_t sof = 0;
    for (const Segment& s : HeaderSegments(bytes))
        if (s.marker == 0xC2) sof = s.offset;
    ASSERT_GT(sof, 0u);
    bytes[sof + 5] = bytes[sof + 7] = 0x0B;  // 3000 x 3000
    bytes[sof + 6] = bytes[sof + 8] = 0xB8;
    WriteBytes(dir / "claims.jpg", bytes);
    result = loaded.LoadJpeg(dir / "claims.jpg");
    EXPECT_FALSE(result);
    EXPECT_NE(result.message.find("cut off"), std::string::npos) << result.message;
    EXPECT_FALSE(loaded.HasPixels());
}

