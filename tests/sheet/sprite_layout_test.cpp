// The arithmetic and text of seek-bar thumbnails where mistakes hide: the
// last, short cue; hour-long times; file names that are not plain URLs.
#include <gtest/gtest.h>

#include "sheet/sprite_layout.h"

TEST(SpriteLayoutTest, CuesCoverTheMovieContiguously) {
    std::vector<CueSpan> cues = CueSpans(25040, 10000);
    ASSERT_EQ(cues.size(), 3u);
    EXPECT_EQ(cues[2].startMs, 20000);
    EXPECT_EQ(cues[2].endMs, 25040);  // the last one ends with the movie
    EXPECT_EQ(CueSpans(30000, 10000).size(), 3u);  // no empty cue at the very end
    cues = CueSpans(1500, 10000);  // shorter than one interval: one cue
    ASSERT_EQ(cues.size(), 1u);
    EXPECT_EQ(cues[0].endMs, 1500);
    EXPECT_TRUE(CueSpans(0, 10000).empty());
    EXPECT_TRUE(CueSpans(1000, 0).empty());
}

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

TEST(SpriteLayoutTest, TilesFillSpritesRowByRowAndSpritesShrinkToTheirTiles) {
    SpriteGrid grid;
    grid.columns = 3;
    grid.rows = 2;
    grid.tileWidth = 40;
    grid.tileHeight = 30;
    const TilePlace fifth = PlaceOf(4, grid);
    EXPECT_EQ(fifth.sprite, 0);
    EXPECT_EQ(fifth.x, 40);
    EXPECT_EQ(fifth.y, 30);
    EXPECT_EQ(PlaceOf(6, grid).sprite, 1);
    EXPECT_EQ(PlaceOf(6, grid).x, 0);
    EXPECT_EQ(SpriteCount(7, grid), 2);
    int w = 0, h = 0;
    SpriteSize(0, 7, grid, w, h);
    EXPECT_EQ(w, 120);
    EXPECT_EQ(h, 60);
    SpriteSize(1, 7, grid, w, h);  // one tile
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 30);
    SpriteSize(0, 2, grid, w, h);  // a short movie: two tiles side by side
    EXPECT_EQ(w, 80);
    EXPECT_EQ(h, 30);
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
