#include <gtest/gtest.h>

#include <cstring>

#include "image/dib_image.h"

namespace {

std::array<uint8_t, 3> BytesAt(const CDibImage& img, int x, int pictureY) {
    const uint8_t* p = img.StoredRow(img.Height() - 1 - pictureY) + x * 3;
    return {p[0], p[1], p[2]};
}

}  // namespace

TEST(DibImageLayout, HeaderAndStride) {
    CDibImage img;
    ASSERT_TRUE(img.Create(5, 2));
    EXPECT_EQ(img.Stride(), 16);
    const BITMAPINFOHEADER& h = img.Header();
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 5);
    EXPECT_EQ(h.biHeight, 2);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(h.biSizeImage, 32u);
    EXPECT_EQ(CDibImage::StrideFor(1), 4);
    EXPECT_EQ(CDibImage::StrideFor(4), 12);
    EXPECT_EQ(CDibImage::StrideFor(148), 444);

    CDibImage empty;
    ASSERT_TRUE(empty.Create(0, 0));
    EXPECT_EQ(empty.Header().biSizeImage, 0u);
    EXPECT_FALSE(empty.Create(-1, 3));
    EXPECT_FALSE(empty.HasPixels());
}

TEST(DibImageLayout, CreateFrom32DropsFourthByteAndKeepsRowOrder) {
    const uint8_t src[] = {1, 2, 3, 99, 4, 5, 6, 98,      // stored row 0 (bottom)
                           7, 8, 9, 97, 10, 11, 12, 96};  // stored row 1 (top)
    CDibImage img;
    ASSERT_TRUE(img.CreateFrom32(2, 2, src));
    const uint8_t* row0 = img.StoredRow(0);
    EXPECT_EQ(std::memcmp(row0, "\x01\x02\x03\x04\x05\x06", 6), 0);
    EXPECT_EQ(img.PixelAt(1, 1), 0x000C0B0Au);
    EXPECT_EQ(BytesAt(img, 0, 0), (std::array<uint8_t, 3>{7, 8, 9}));  // picture top = last stored row
}

TEST(DibImageLayout, ReleaseTwiceAndPixelAtOrWhite) {
    CDibImage img;
    ASSERT_TRUE(img.Create(2, 2));
    img.Fill(nullptr, 0x00000000);
    EXPECT_EQ(img.PixelAtOrWhite(1, 1), 0u);
    EXPECT_EQ(img.PixelAtOrWhite(-1, 0), 0x00FFFFFFu);
    EXPECT_EQ(img.PixelAtOrWhite(0, 2), 0x00FFFFFFu);
    LOGFONTA font{};
    font.lfHeight = -11;
    std::strcpy(font.lfFaceName, "Arial");
    img.SetTextFont(font, 0);  // leaves a surface behind
    img.Release();
    img.Release();
    EXPECT_FALSE(img.HasPixels());
    EXPECT_EQ(img.PixelAtOrWhite(0, 0), 0x00FFFFFFu);
}

TEST(DibImageFill, ColourBytesAndClipping) {
    CDibImage img;
    ASSERT_TRUE(img.Create(4, 3));
    img.Fill(nullptr, 0x00F7F2EE);
    EXPECT_EQ(BytesAt(img, 3, 2), (std::array<uint8_t, 3>{0xF7, 0xF2, 0xEE}));

    RECT partly{-5, 1, 2, 10};
    img.Fill(&partly, 0x000000FF);  // red
    EXPECT_EQ(img.PixelAt(0, 0), 0x00FF0000u);       // picture row 2, inside
    EXPECT_EQ(img.PixelAt(1, 1), 0x00FF0000u);       // picture row 1
    EXPECT_EQ(img.PixelAt(2, 1), 0x00EEF2F7u);       // column 2 untouched
    EXPECT_EQ(BytesAt(img, 0, 0)[2], 0xEE);          // picture row 0 untouched

    RECT outside{10, 10, 20, 20}, empty{1, 1, 1, 3};
    img.Fill(&outside, 0);
    img.Fill(&empty, 0);
    EXPECT_EQ(img.PixelAt(3, 2), 0x00EEF2F7u);
}

TEST(DibImageBlit, CopiesSourceRectangleToPicturePosition) {
    CDibImage src, dst;
    ASSERT_TRUE(src.Create(3, 3));
    src.Fill(nullptr, 0x00000000);
    RECT one{1, 0, 2, 1};
    src.Fill(&one, 0x00FFFFFF);  // white at picture (1, 0)
    ASSERT_TRUE(dst.Create(5, 5));
    dst.Fill(nullptr, 0x00808080);
    RECT part{1, 0, 3, 2};
    dst.Blit(2, 3, &part, src);
    EXPECT_EQ(BytesAt(dst, 2, 3)[0], 0xFF);  // the white pixel landed at (2, 3)
    EXPECT_EQ(BytesAt(dst, 3, 3)[0], 0x00);
    EXPECT_EQ(BytesAt(dst, 2, 4)[0], 0x00);
    EXPECT_EQ(BytesAt(dst, 1, 3)[0], 0x80);
    EXPECT_EQ(BytesAt(dst, 2, 2)[0], 0x80);
}

TEST(DibImageSafety, SizesBeyondTheHeaderFieldsAreRefused) {
    CDibImage img;
    // 24 x width wraps in 32 bits: the stride would come out far too small.
    EXPECT_FALSE(img.Create(200000000, 1));
    EXPECT_FALSE(img.HasPixels());
    EXPECT_FALSE(img.Create(40000, 40000));  // 4.8 GB: more than the 32-bit image size
    EXPECT_TRUE(img.Create(3, 2));
}

TEST(DibImageSafety, BlitSkipsWhatLiesOutsideEitherImage) {
    CDibImage src, dst;
    ASSERT_TRUE(src.Create(4, 4));
    src.Fill(nullptr, 0x00000000);
    ASSERT_TRUE(dst.Create(6, 6));
    dst.Fill(nullptr, 0x00808080);
    dst.Blit(-2, 4, nullptr, src);  // sticks out left and below
    RECT beyondSource{2, 2, 9, 9};
    dst.Blit(4, -1, &beyondSource, src);  // sticks out of the source, and up and right
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool copied = (x < 2 && y >= 4) || (x >= 4 && y < 1);
            EXPECT_EQ(BytesAt(dst, x, y)[0], copied ? 0x00 : 0x80) << x << "," << y;
        }
}
