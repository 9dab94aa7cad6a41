// Details block text: placeholder substitution and the text format flags.
#include <gtest/gtest.h>

#include <cstring>

#include "sheet/details_text.h"

namespace {

MovieDetails Movie() {
    MovieDetails details;
    details.fileName = "movie.avi";
    details.fileSizeText = "700.00 MB";
    details.widthText = "720";
    details.heightText = "576";
    details.durationText = "01:32:05";
    return details;
}

TEST(SubstituteDetails, DefaultTemplate) {
    SheetOptions options{};
    options.SetDefaults();
    EXPECT_EQ(SubstituteDetails(StoredTemplate(options), Movie()),
              "File Name: movie.avi\r\nFile Size: 700.00 MB\r\nResolution: 720x576\r\n"
              "Duration: 01:32:05");
}

TEST(SubstituteDetails, EveryOccurrenceExactAndCaseSensitive) {
    EXPECT_EQ(SubstituteDetails("[WIDTH][WIDTH] [width] [WIDTH [HEIGHT]]", Movie()),
              "720720 [width] [WIDTH 576]");
    EXPECT_EQ(SubstituteDetails("", Movie()), "");
    EXPECT_EQ(SubstituteDetails("[DURATION]", MovieDetails{}), "");
}

TEST(SubstituteDetails, LaterPassesActOnInsertedText) {
    MovieDetails details = Movie();
    details.fileName = "clip [WIDTH]x[HEIGHT] [FILE_SIZE].mkv";
    // The size is replaced before the name, so a size placeholder in the name stays.
    EXPECT_EQ(SubstituteDetails("[FILE_NAME]", details), "clip 720x576 [FILE_SIZE].mkv");
    details.fileSizeText = "[FILE_NAME]";
    EXPECT_EQ(SubstituteDetails("[FILE_SIZE]", details), "clip 720x576 [FILE_SIZE].mkv");
}

TEST(SubstituteDetails, ReplacementContainingItsOwnPlaceholderDoesNotLoop) {
    MovieDetails details = Movie();
    details.fileName = "[FILE_NAME][FILE_NAME]";
    EXPECT_EQ(SubstituteDetails("<[FILE_NAME]>", details), "<[FILE_NAME][FILE_NAME]>");
}

TEST(SubstituteDetails, ResultIsNotCutAt259Characters) {
    MovieDetails details = Movie();
    details.fileName = std::string(1000, 'n');
    const std::string text = SubstituteDetails("Name: [FILE_NAME] end", details);
    EXPECT_EQ(text.size(), 6u + 1000u + 4u);
    EXPECT_EQ(text.substr(text.size() - 4), " end");
}

TEST(StoredTemplate, StopsAtTheNulOrTheEndOfTheField) {
    SheetOptions options{};
    std::strcpy(options.detailsTemplate, "abc");
    EXPECT_EQ(StoredTemplate(options), "abc");
    std::memset(options.detailsTemplate, 'x', sizeof options.detailsTemplate);
    EXPECT_EQ(StoredTemplate(options).size(), 260u);
}

TEST(FormatFlags, DetailsAndLabelCorners) {
    EXPECT_EQ(DetailsFormatFlags(BottomLeft), 0x48u);
    EXPECT_EQ(DetailsFormatFlags(BottomRight), 0x4Au);
    EXPECT_EQ(DetailsFormatFlags(TopLeft), 0x40u);
    EXPECT_EQ(DetailsFormatFlags(TopRight), 0x42u);
    EXPECT_EQ(DetailsFormatFlags(9), 0x40u);
    EXPECT_EQ(LabelFormatFlags(BottomLeft), 0x40028u);
    EXPECT_EQ(LabelFormatFlags(BottomRight), 0x4002Au);
    EXPECT_EQ(LabelFormatFlags(TopLeft), 0x40020u);
    EXPECT_EQ(LabelFormatFlags(TopRight), 0x40022u);
    EXPECT_EQ(LabelFormatFlags(-7), 0x40020u);
}

}  // namespace
