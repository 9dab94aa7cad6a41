// The parts of seek-bar thumbnails the end-to-end runs do not reach:
// hour-long times, odd shapes, file names that are not plain URLs.
#include <gtest/gtest.h>

#include "sheet/sprite_layout.h"

TEST(SpriteLayoutTest, TimesAndHeights) {
    EXPECT_EQ(FormatVttTime(0), "00:00:00.000");
    EXPECT_EQ(FormatVttTime(3723004), "01:02:03.004");
    EXPECT_EQ(FormatVttTime(int64_t(123) * 3600000 + 59999), "123:00:59.999");
    EXPECT_EQ(ThumbHeightFor(320, 1920, 1080), 180);
    EXPECT_EQ(ThumbHeightFor(320, 240, 320), 426);  // 426.67 to the even 426
    EXPECT_EQ(ThumbHeightFor(320, 465, 240), 166);  // 165.2 to the even 166
    EXPECT_EQ(ThumbHeightFor(16, 4000, 10), 2);     // never below 2
    EXPECT_EQ(ThumbHeightFor(320, 0, 240), 0);
}

TEST(SpriteLayoutTest, SpriteUrlsSurviveAwkwardFileNames) {
    EXPECT_EQ(SpriteFileName("Holiday 2024.mkv.vtt", 0), "Holiday 2024.mkv-1.jpg");
    EXPECT_EQ(SpriteFileName("thumbs.VTT", 11), "thumbs-12.jpg");
    EXPECT_EQ(SpriteFileName("notes", 0), "notes-1.jpg");
    EXPECT_EQ(UrlPathSegment("a b#c?d%e.jpg"), "a%20b%23c%3Fd%25e.jpg");
    EXPECT_EQ(UrlPathSegment("\xC3\xA9t\xC3\xA9.jpg"), "%C3%A9t%C3%A9.jpg");

    SpriteGrid grid;
    grid.columns = 2;
    grid.rows = 1;
    grid.tileWidth = 160;
    grid.tileHeight = 90;
    EXPECT_EQ(VttText(CueSpans(25000, 10000), grid, "my #1.mp4.vtt"),
              "WEBVTT\n"
              "\n00:00:00.000 --> 00:00:10.000\nmy%20%231.mp4-1.jpg#xywh=0,0,160,90\n"
              "\n00:00:10.000 --> 00:00:20.000\nmy%20%231.mp4-1.jpg#xywh=160,0,160,90\n"
              "\n00:00:20.000 --> 00:00:25.000\nmy%20%231.mp4-2.jpg#xywh=0,0,160,90\n");
}
