// The parts of seek-bar thumbnails the end-to-end runs do not reach:
// hour-long times, odd shapes, file names that are not plain URLs.
#include <gtest/gtest.h>

#include "sheet/sprite_layout.h"
#include "sheet/webvtt.h"

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

// What the writer writes, the reader reads back; files from elsewhere (CRLF,
// a byte-order mark, short times, cue settings) read too, and lines that fit
// no thumbnail cue are told, not guessed at.
TEST(WebVtt, ReadsBackWhatItWritesAndToleratesOtherWriters) {
    SpriteGrid grid;
    grid.columns = 2;
    grid.rows = 1;
    grid.tileWidth = 160;
    grid.tileHeight = 90;
    const VttReading own = ReadVtt(VttText(CueSpans(25000, 10000), grid, "my #1.mp4.vtt"));
    EXPECT_TRUE(own.header);
    EXPECT_TRUE(own.stray.empty());
    ASSERT_EQ(own.cues.size(), 3u);
    EXPECT_EQ(own.cues[1].startMs, 10000);
    EXPECT_EQ(own.cues[1].endMs, 20000);
    EXPECT_EQ(own.cues[1].file, "my #1.mp4-1.jpg");
    EXPECT_EQ(own.cues[1].x, 160);
    EXPECT_EQ(own.cues[2].file, "my #1.mp4-2.jpg");
    EXPECT_EQ(own.cues[2].height, 90);

    const VttReading other = ReadVtt(
        "\xEF\xBB\xBFWEBVTT - thumbs\r\n\r\n01:02.5 --> 01:03.000\r\n"
        "00:01:02.500 --> 00:01:03.000 align:start\r\nb.jpg#xywh=1,2,3,4\r\n\r\nNOTE hi\r\n"
        "00:00:01.000 --> 00:00:02.000\r\nc.jpg#xywh=1,2,3\r\n");
    EXPECT_TRUE(other.header);
    ASSERT_EQ(other.cues.size(), 1u);
    EXPECT_EQ(other.cues[0].startMs, 62500);
    EXPECT_EQ(other.cues[0].file, "b.jpg");
    EXPECT_EQ(other.stray, (std::vector<std::string>{"01:02.5 --> 01:03.000", "NOTE hi", "c.jpg#xywh=1,2,3"}));
    EXPECT_FALSE(ReadVtt("WEBVTTX\n").header);
}

// The count a run is refused by is the count of cues it would have made.
TEST(SpriteLayoutTest, CueCountIsTheNumberOfSpans) {
    const int64_t cases[][2] = {{1, 1}, {1, 10000}, {9999, 10000}, {10000, 10000}, {10001, 10000},
                                {25000, 10000}, {36000040, 361}, {36000040, 360}, {0, 10}, {10, 0}};
    for (const auto& [duration, interval] : cases)
        EXPECT_EQ(CueCount(duration, interval), int64_t(CueSpans(duration, interval).size())) << duration << "/" << interval;
    EXPECT_LE(CueCount(36000040, 361), kMaxCues);
    EXPECT_GT(CueCount(36000040, 360), kMaxCues);
}
