// Time labels, file size texts and the details record.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sheet/movie_details.h"

namespace {

TEST(FormatTimeLabel, EveryStepTruncates) {
    EXPECT_EQ(FormatTimeLabel(0), "00:00:00");
    EXPECT_EQ(FormatTimeLabel(59.9), "00:00:59");
    EXPECT_EQ(FormatTimeLabel(60), "00:01:00");
    EXPECT_EQ(FormatTimeLabel(3599.99), "00:59:59");
    EXPECT_EQ(FormatTimeLabel(3600), "01:00:00");
    EXPECT_EQ(FormatTimeLabel(5525.7), "01:32:05");
}

TEST(FormatTimeLabel, WholeSecondsEqualIntegerDivision) {
    for (int t = 0; t < 400000; t += 7) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "%02d:%02d:%02d", t / 3600, t % 3600 / 60, t % 60);
        ASSERT_EQ(FormatTimeLabel(t), expected) << t;
    }
}

TEST(FormatTimeLabel, LongTimesPrintAllHourDigits) {
    EXPECT_EQ(FormatTimeLabel(100 * 3600.0), "100:00:00");
    EXPECT_EQ(FormatTimeLabel(1000 * 3600.0 + 61), "1000:01:01");
    EXPECT_EQ(FormatTimeLabel(123456 * 3600.0 + 3599.5), "123456:59:59");
}

TEST(FormatTimeLabel, InvalidTimesPrintZero) {
    EXPECT_EQ(FormatTimeLabel(-5), "00:00:00");
    EXPECT_EQ(FormatTimeLabel(std::nan("")), "00:00:00");
    EXPECT_EQ(FormatTimeLabel(std::numeric_limits<double>::infinity()), "00:00:00");
    EXPECT_EQ(FormatTimeLabel(-std::numeric_limits<double>::infinity()), "00:00:00");
    EXPECT_EQ(MakeMovieDetails("live.ts", 1, 2, 3, std::numeric_limits<double>::infinity()).durationText,
              "00:00:00");
}

TEST(FormatFileSize, PowerOfTwoThresholds) {
    EXPECT_EQ(FormatFileSize(0), "0 Bytes");
    EXPECT_EQ(FormatFileSize(1023), "1023 Bytes");
    EXPECT_EQ(FormatFileSize(1024), "1.00 KB");
    EXPECT_EQ(FormatFileSize(1048575), "1024.00 KB");
    EXPECT_EQ(FormatFileSize(1048576), "1.00 MB");
    EXPECT_EQ(FormatFileSize(1073741823), "1024.00 MB");
    EXPECT_EQ(FormatFileSize(1073741824), "1.00 GB");
    EXPECT_EQ(FormatFileSize(3221225472ull), "3.00 GB");
    EXPECT_EQ(FormatFileSize(6442450944ull), "6.00 GB");
    EXPECT_EQ(FormatFileSize(700ull * 1048576), "700.00 MB");
    EXPECT_EQ(FormatFileSize(1536), "1.50 KB");
    // No unit above GB.
    EXPECT_EQ(FormatFileSize(2048ull << 30), "2048.00 GB");
}

TEST(MovieDetails, EmptyUntilFilled) {
    const MovieDetails details;
    EXPECT_TRUE(details.fileName.empty());
    EXPECT_TRUE(details.fileSizeText.empty());
    EXPECT_TRUE(details.widthText.empty());
    EXPECT_TRUE(details.heightText.empty());
    EXPECT_TRUE(details.durationText.empty());
}

TEST(MovieDetails, MadeFromTheOpenedMovie) {
    const MovieDetails details =
        MakeMovieDetails("/home/me/films/movie.avi", 700ull * 1048576, 720, 576, 5525.0);
    EXPECT_EQ(details.fileName, "movie.avi");
    EXPECT_EQ(details.fileSizeText, "700.00 MB");
    EXPECT_EQ(details.widthText, "720");
    EXPECT_EQ(details.heightText, "576");
    EXPECT_EQ(details.durationText, "01:32:05");

    EXPECT_EQ(MakeMovieDetails("clip [WIDTH].mp4", 10, 1, 2, 0).fileName, "clip [WIDTH].mp4");
}

}  // namespace
