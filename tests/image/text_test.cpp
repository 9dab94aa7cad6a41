#include <gtest/gtest.h>

#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <cstdint>
#include <cstring>

#include "image/dib_image.h"
#include "image/text_layout.h"

namespace {

LOGFONTA Arial(int height, int weight = 700) {
    LOGFONTA f{};
    f.lfHeight = height;
    f.lfWeight = weight;
    f.lfPitchAndFamily = 0x22;
    std::strcpy(f.lfFaceName, "Arial");
    return f;
}

RECT Measure(const char* text, const LOGFONTA& font, uint32_t flags = DT_EXPANDTABS) {
    CDibImage probe;
    probe.Create(0, 0);
    probe.SetTextFont(font, 0);
    RECT r{0, 0, 0, 0};
    probe.PaintText(text, &r, flags | DT_CALCRECT, false);
    return r;
}

// Bounding box (picture coordinates) of pixels that differ from `background`.
RECT InkBox(const CDibImage& img, uint32_t background) {
    RECT box{img.Width(), img.Height(), -1, -1};
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x)
            if (img.PixelAt(x, img.Height() - 1 - y) != background) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box;
}

}  // namespace

TEST(TextFont, ArialResolvesToLiberationSans) {
    QFont f("Arial");
    EXPECT_EQ(QFontInfo(f).family(), QString("Liberation Sans"));
}

TEST(TextMeasure, LinesAndWidthsOnEmptyImage) {
    const LOGFONTA font = Arial(-11);
    const RECT one = Measure("File Name: a.mp4", font);
    const RECT two = Measure("File Name: a.mp4\r\nDuration: 00:01:40 and more", font);
    EXPECT_EQ(one.left, 0);
    EXPECT_EQ(one.top, 0);
    EXPECT_GT(one.Height(), 10);
    EXPECT_LT(one.Height(), 18);
    EXPECT_EQ(two.Height(), 2 * one.Height());
    EXPECT_GT(two.Width(), one.Width());
    EXPECT_EQ(Measure("a\r\nb\r\nc", font).Height(), 3 * one.Height());
    // A closing line break starts no further line; an empty text has none.
    EXPECT_EQ(Measure("a\r\nb\r\n", font).Height(), 2 * one.Height());
    EXPECT_EQ(Measure("", font).Height(), 0);

    // Negative heights are character heights: doubling doubles the line height roughly.
    const RECT big = Measure("File Name: a.mp4", Arial(-22));
    EXPECT_NEAR(double(big.Height()) / one.Height(), 2.0, 0.25);
    // Positive heights are cell heights.
    EXPECT_NEAR(Measure("Xg", Arial(30)).Height(), 30, 2);
    // Heights read from a damaged options file: the extremes give the
    // largest text there is, never an overflow (the sanitized run checks).
    const RECT huge = Measure("X", Arial(INT32_MIN));
    EXPECT_EQ(huge.Height(), Measure("X", Arial(INT32_MAX)).Height());
    EXPECT_EQ(huge.Height(), Measure("X", Arial(-4096)).Height());
}

TEST(TextMeasure, TabsExpandToEightAverageWidths) {
    const LOGFONTA font = Arial(-11, 400);
    QFont qf("Arial");
    qf.setPixelSize(11);
    const double tab = 8 * QFontMetricsF(qf).averageCharWidth();
    const RECT r = Measure("a\tb", font);
    EXPECT_GE(r.Width(), int(tab));
    EXPECT_LT(r.Width(), int(tab) + 12);
    EXPECT_GE(Measure("abcdefghijkl\tb", font).Width(), int(2 * tab));
}

// Ink box of white bold 11-px text drawn on a black 200 x 100 image.
RECT InkOfLabel(RECT rect, uint32_t flags) {
    CDibImage img;
    img.Create(200, 100);
    img.Fill(nullptr, 0);
    img.SetTextFont(Arial(-11), 0x00FFFFFF);
    img.PaintText("00:01:20", &rect, flags, false);
    return InkBox(img, 0);
}

TEST(TextDraw, SingleLineCornersArePlacedInTheRectangle) {
    const RECT br = InkOfLabel({20, 10, 180, 80}, DT_SINGLELINE | DT_BOTTOM | DT_RIGHT);
    EXPECT_LE(br.right, 180);
    EXPECT_GE(br.right, 176);  // glyphs end at the right edge
    EXPECT_LE(br.bottom, 80);
    EXPECT_GE(br.bottom, 74);  // digits sit just above the descent
    EXPECT_GT(br.left, 100);

    const RECT tl = InkOfLabel({20, 10, 180, 80}, DT_SINGLELINE);
    EXPECT_GE(tl.left, 20);
    EXPECT_LE(tl.left, 23);
    EXPECT_GE(tl.top, 10);
    EXPECT_LE(tl.top, 14);
}

TEST(TextDraw, ClipsToRectangleAndImage) {
    CDibImage img;
    img.Create(60, 40);
    img.Fill(nullptr, 0);
    img.SetTextFont(Arial(-30), 0x00FFFFFF);
    RECT r{10, 10, 30, 25};
    img.PaintText("WWWWWW", &r, DT_SINGLELINE, false);
    const RECT ink = InkBox(img, 0);
    EXPECT_GE(ink.left, 10);
    EXPECT_GE(ink.top, 10);
    EXPECT_LE(ink.right, 30);
    EXPECT_LE(ink.bottom, 25);

    RECT beyond{40, 20, 400, 400};  // larger than the image: no crash, stays inside
    img.PaintText("WWWW\r\nWWWW\r\nWWWW", &beyond, DT_EXPANDTABS, true);
}

TEST(TextDraw, OutlineIsBlackAroundTextColour) {
    CDibImage img;
    img.Create(120, 40);
    img.Fill(nullptr, MakeRgb(128, 128, 128));
    img.SetTextFont(Arial(-20), 0x00FFFFFF);
    RECT r{0, 0, 120, 40};
    img.PaintText("HIH", &r, DT_SINGLELINE, true);
    int white = 0, dark = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            const uint32_t px = img.PixelAt(x, y) & 0xFF;
            if (px >= 250) ++white;
            if (px <= 60) ++dark;
        }
    EXPECT_GT(white, 40);
    EXPECT_GT(dark, 40);
}

TEST(TextDraw, TextAndPixelOperationsKeepTheirOrder) {
    CDibImage img;
    img.Create(100, 30);
    img.Fill(nullptr, 0);
    img.SetTextFont(Arial(-20), 0x00FFFFFF);
    RECT r{0, 0, 100, 30};
    img.PaintText("HHHHHHH", &r, DT_SINGLELINE, false);
    RECT left{0, 0, 50, 30};
    img.Fill(&left, 0);  // covers the left half of the text
    const RECT ink = InkBox(img, 0);
    EXPECT_GE(ink.left, 50);
    EXPECT_GT(ink.right, 60);
}

TEST(TextLayoutTest, EllipsisCutsTheLineToFit) {
    QFont qf("Arial");
    qf.setPixelSize(14);
    const QFontMetricsF m(qf);
    const TextLayout layout(m, DT_SINGLELINE | DT_WORD_ELLIPSIS);
    const QString longLabel = "A very long label that cannot fit in a thumbnail";
    const QString cut = layout.Ellipsize(longLabel, 110);
    EXPECT_TRUE(cut.endsWith("..."));
    EXPECT_LE(layout.LineWidth(cut), 110);
    EXPECT_TRUE(longLabel.startsWith(cut.chopped(3)));
    EXPECT_EQ(layout.Ellipsize("short", 110), QString("short"));
    EXPECT_EQ(layout.Lines("a\r\nb").size(), 1);
    EXPECT_EQ(TextLayout(m, 0).Lines("a\r\nb\nc").size(), 3);
}

// File names in any script print in the details block: the CJK characters of
// a movie's name are real glyphs, not the same empty box for every character
// (which is what a machine without a CJK font draws).
TEST(TextDraw, NamesInAnyScriptPrintAsGlyphs) {
    auto draw = [](const char* text) {
        CDibImage img;
        img.Create(40, 30);
        img.Fill(nullptr, 0xFFFFFF);
        img.SetTextFont(Arial(-20, 400), 0);
        RECT r{0, 0, 40, 30};
        img.PaintText(text, &r, DT_SINGLELINE, false);
        std::vector<uint32_t> pixels;
        for (int y = 0; y < img.Height(); ++y)
            for (int x = 0; x < img.Width(); ++x) pixels.push_back(img.PixelAt(x, y));
        return pixels;
    };
    const std::vector<uint32_t> blank = draw("");
    for (const char* pair : {"\xe6\x98\xa0|\xe7\x94\xbb", "\xd0\x96|\xd0\xaf", "\xce\xa9|\xce\xbb"}) {
        const std::string both(pair);
        const size_t bar = both.find('|');
        const auto first = draw(both.substr(0, bar).c_str());
        const auto second = draw(both.substr(bar + 1).c_str());
        EXPECT_NE(first, blank) << both;
        EXPECT_NE(first, second) << both << ": drawn as the same box";
    }
}
