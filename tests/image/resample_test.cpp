#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "image/dib_image.h"

namespace {

void FillGray(CDibImage& img, int x, int pictureY, uint8_t v) {
    RECT r{x, pictureY, x + 1, pictureY + 1};
    img.Fill(&r, MakeRgb(v, v, v));
}

CDibImage* MakeNoise(CDibImage& img, int w, int h, unsigned seed) {
    img.Create(w, h);
    std::mt19937 rng(seed);
    for (int r = 0; r < h; ++r) {
        uint8_t* row = img.StoredRow(r);
        for (int i = 0; i < w * 3; ++i) row[i] = uint8_t(rng() & 0xFF);
    }
    return &img;
}

// Largest channel difference between StretchFrom and the direct per-pixel formula.
int MaxDeviationFromDirect(const CDibImage& src, int w, int h) {
    CDibImage fast;
    fast.Create(w, h);
    fast.StretchFrom(nullptr, src);
    const float sx = float(src.Width()) / w, sy = float(src.Height()) / h;
    int worst = 0;
    for (int i = 0; i < h; ++i) {
        for (int j = 0; j < w; ++j) {
            const float x = (j + 0.5f) * sx - 0.5f, y = (i + 0.5f) * sy - 0.5f;
            const uint32_t ref = (sx > 1 || sy > 1) ? src.SampleArea(x, y, sx, sy) : src.SampleLanczos(x, y);
            const uint32_t got = fast.PixelAt(j, i);
            for (int s = 0; s < 24; s += 8)
                worst = std::max(worst, std::abs(int((ref >> s) & 0xFF) - int((got >> s) & 0xFF)));
        }
    }
    return worst;
}

}  // namespace

TEST(Resample, HalvingAveragesBlocksTruncated) {
    CDibImage src;
    src.Create(4, 4);
    src.Fill(nullptr, 0);
    const uint8_t block[4] = {10, 20, 30, 41};
    for (int by = 0; by < 2; ++by)
        for (int bx = 0; bx < 2; ++bx)
            for (int k = 0; k < 4; ++k) FillGray(src, bx * 2 + k % 2, by * 2 + k / 2, block[k]);
    CDibImage dst;
    dst.Create(2, 2);
    dst.StretchFrom(nullptr, src);
    for (int r = 0; r < 2; ++r)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(dst.PixelAt(x, r), 0x00191919u) << x << "," << r;  // 25
}

TEST(Resample, SameSizeKeepsPicture) {
    CDibImage src;
    MakeNoise(src, 20, 15, 1);
    CDibImage dst;
    dst.Create(20, 15);
    dst.StretchFrom(nullptr, src);
    int worst = 0;
    for (int r = 0; r < 15; ++r)
        for (int x = 0; x < 20; ++x)
            for (int s = 0; s < 24; s += 8)
                worst = std::max(worst, std::abs(int((src.PixelAt(x, r) >> s) & 0xFF) -
                                                 int((dst.PixelAt(x, r) >> s) & 0xFF)));
    EXPECT_LE(worst, 1);
}

TEST(Resample, FastPathsStayWithinOneOfDirectFormula) {
    CDibImage src;
    MakeNoise(src, 97, 61, 7);
    EXPECT_LE(MaxDeviationFromDirect(src, 23, 17), 1);   // shrink both axes
    EXPECT_LE(MaxDeviationFromDirect(src, 150, 130), 1); // enlarge both axes
    EXPECT_LE(MaxDeviationFromDirect(src, 31, 80), 1);   // one axis each way
}

TEST(Resample, EnlargedUniformPictureHasNoFringe) {
    CDibImage src;
    src.Create(8, 6);
    src.Fill(nullptr, MakeRgb(40, 90, 200));
    CDibImage dst;
    dst.Create(40, 30);
    dst.StretchFrom(nullptr, src);
    for (int r = 0; r < 30; r += 29)
        for (int x = 0; x < 40; ++x) {
            const uint32_t px = dst.PixelAt(x, r);
            EXPECT_NEAR(int(px & 0xFF), 200, 1);
            EXPECT_NEAR(int((px >> 16) & 0xFF), 40, 1);
        }
}

TEST(Resample, StretchIntoRectangleLeavesTheRestAlone) {
    CDibImage src;
    src.Create(10, 10);
    src.Fill(nullptr, 0);
    CDibImage dst;
    dst.Create(20, 20);
    dst.Fill(nullptr, 0x00FFFFFF);
    RECT r{5, 2, 10, 7};
    dst.StretchFrom(&r, src);
    EXPECT_EQ(dst.PixelAt(5, 20 - 7), 0u);   // bottom-left of the rectangle
    EXPECT_EQ(dst.PixelAt(9, 20 - 3), 0u);   // top-right
    EXPECT_EQ(dst.PixelAt(4, 20 - 3), 0x00FFFFFFu);
    EXPECT_EQ(dst.PixelAt(5, 20 - 2), 0x00FFFFFFu);  // picture row 1, above it
    EXPECT_EQ(dst.PixelAt(10, 20 - 3), 0x00FFFFFFu);
}

TEST(Resample, RectangleStickingOutWritesOnlyInsideTheImage) {
    CDibImage src;
    MakeNoise(src, 30, 20, 3);
    for (const int size : {10, 45}) {  // shrinking and enlarging
        // Reference: the same rectangle drawn wholly inside a larger image.
        CDibImage ref;
        ref.Create(size + 20, size + 20);
        ref.Fill(nullptr, 0x00FFFFFF);
        RECT inside{10, 10, 10 + size, 10 + size};
        ref.StretchFrom(&inside, src);

        CDibImage dst;
        dst.Create(size, size);
        dst.Fill(nullptr, 0x00FFFFFF);
        RECT out{-4, 3, size - 4, size + 3};  // sticks out left and below
        dst.StretchFrom(&out, src);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const bool covered = x < size - 4 && y >= 3;
                const uint32_t expected =
                    covered ? ref.PixelAt(x + 4 + 10, ref.Height() - 1 - (y - 3 + 10)) : 0x00FFFFFFu;
                ASSERT_EQ(dst.PixelAt(x, size - 1 - y), expected) << size << ": " << x << "," << y;
            }
    }
}

TEST(ResampleMath, LanczosWeightAndIntersectBox) {
    EXPECT_NEAR(LanczosWeight(0.5f, 6), 0.6294f, 1e-4);
    EXPECT_NEAR(LanczosWeight(1.5f, 6), -0.1911f, 1e-4);
    EXPECT_EQ(LanczosWeight(0, 6), 1.0f);
    EXPECT_EQ(LanczosWeight(6.5f, 6), 0.0f);
    EXPECT_NEAR(LanczosWeight(1.0f, 6), 0.0f, 1e-6);

    Box b = IntersectBox({0, 0, 2, 2}, {1, 1, 3, 3});
    EXPECT_EQ(b.left, 1);
    EXPECT_EQ(b.bottom, 2);
    Box edge = IntersectBox({0, 0, 1, 1}, {1, 0, 2, 1});  // zero width is kept
    EXPECT_EQ(edge.left, 1);
    EXPECT_EQ(edge.right, 1);
    EXPECT_EQ(edge.bottom, 1);
    Box none = IntersectBox({0, 0, 1, 1}, {2, 2, 3, 3});
    EXPECT_EQ(none.left + none.top + none.right + none.bottom, 0);
}

TEST(ResampleMath, LanczosFarOutsideIsWhite) {
    CDibImage src;
    src.Create(4, 4);
    src.Fill(nullptr, 0);
    EXPECT_EQ(src.SampleLanczos(-8.0f, 1.0f), 0x00FFFFFFu);
    EXPECT_EQ(src.SampleLanczos(1.0f, 10.0f), 0x00FFFFFFu);
    EXPECT_EQ(src.SampleLanczos(1.0f, 1.0f), 0u);
}

TEST(Effects, BlurSpreadsOneWhitePixel) {
    CDibImage img;
    img.Create(9, 9);
    img.Fill(nullptr, 0);
    FillGray(img, 4, 4, 255);
    img.Blur(1);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            const bool inBlock = std::abs(x - 4) <= 1 && std::abs(y - 4) <= 1;
            EXPECT_EQ(img.PixelAt(x, 8 - y), inBlock ? 0x001C1C1Cu : 0u) << x << "," << y;
        }
}

TEST(Effects, BlurRadiusLimitsAndEdges) {
    CDibImage ref, img;
    MakeNoise(ref, 30, 25, 3);
    MakeNoise(img, 30, 25, 3);
    img.Blur(0);
    img.Blur(-4);
    for (int r = 0; r < 25; ++r) EXPECT_EQ(std::memcmp(ref.StoredRow(r), img.StoredRow(r), 90), 0);

    CDibImage ten, fifteen;
    MakeNoise(ten, 30, 25, 5);
    MakeNoise(fifteen, 30, 25, 5);
    ten.Blur(10);
    fifteen.Blur(15);
    for (int r = 0; r < 25; ++r) EXPECT_EQ(std::memcmp(ten.StoredRow(r), fifteen.StoredRow(r), 90), 0);

    CDibImage uniform;
    uniform.Create(7, 5);
    uniform.Fill(nullptr, MakeRgb(1, 128, 250));
    uniform.Blur(3);
    for (int r = 0; r < 5; ++r)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(uniform.PixelAt(x, r), 0x000180FAu);

    // Edge pixels repeat: a white left column keeps weight 2/3 at the border with r = 1.
    CDibImage edge;
    edge.Create(5, 3);
    edge.Fill(nullptr, 0);
    RECT col{0, 0, 1, 3};
    edge.Fill(&col, 0x00FFFFFF);
    edge.Blur(1);
    EXPECT_EQ(edge.PixelAt(0, 1) & 0xFF, 170u);  // (2 columns of 3 white) * 255 / 9 * 3 rows... = 170
    EXPECT_EQ(edge.PixelAt(1, 1) & 0xFF, 85u);
    EXPECT_EQ(edge.PixelAt(2, 1) & 0xFF, 0u);
}

TEST(Effects, ScaleColor) {
    EXPECT_EQ(ScaleColor(0x00F7F2EE, 0.5f), 0x007B7977u);
    EXPECT_EQ(ScaleColor(0x00F7F2EE, 1.0f), 0x00F7F2EEu);
    EXPECT_EQ(ScaleColor(0x00FFFFFF, 0.5f), 0x007F7F7Fu);
    EXPECT_EQ(ScaleColor(0x00FFFFFF, 0.0f), 0u);
    EXPECT_EQ(ScaleColor(0x00000002, 200.0f), 0x00000090u);  // 400 wraps to 144
    const float factor = 1.0f - 50 * 0.01f;
    EXPECT_EQ(ScaleColor(0x00F7F2EE, factor), 0x007B7977u);
}
