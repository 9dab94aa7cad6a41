// The one reading of typed numbers: as atoi reads them in the window's boxes,
// and strictly on the command line (counts, sizes, WxH pairs, shards).
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "base/typed_number.h"

TEST(TypedNumber, AtoiLikeReadsWhatAtoiReadsAndStopsAtTheIntEnds) {
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"42", 42},          {"  -17", -17},        {"+8 frames", 8},   {"\t\n12x", 12},
        {"", 0},             {"abc", 0},            {"- 5", 0},         {"+-3", 0},
        {"0042", 42},        {"2147483647", INT_MAX}, {"2147483648", INT_MAX}, {"99999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN}, {"-2147483649", INT_MIN}, {"-99999999999999999999", INT_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(AtoiLike(c.text), c.value) << '"' << c.text << '"';
}

TEST(TypedNumber, StrictReadingsRefuseAnythingButTheNumber) {
    const struct {
        const char* text;
        bool ok;
        int value;
    } numbers[] = {
        {"5", true, 5},    {" +5 ", true, 5}, {"-3", true, -3},  {"100", true, 100}, {"101", false, 0},
        {"-11", false, 0}, {"", false, 0},    {"  ", false, 0},  {"5x", false, 0},   {"1e2", false, 0},
        {"0x10", false, 0}, {"- 5", false, 0}, {"5 5", false, 0}, {"99999999999999999999", false, 0},
    };
    for (const auto& c : numbers) {
        int out = 77;
        EXPECT_EQ(ParseWholeNumber(c.text, -10, 100, out), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(out, c.ok ? c.value : 77) << '"' << c.text << '"';
    }
    const struct {
        const char* text;
        bool ok;
        int width;
        int height;
    } pairs[] = {
        {"148x111", true, 148, 111}, {" 4 X 3 ", true, 4, 3}, {"1x1000", true, 1, 1000}, {"0x5", false},
        {"5x1001", false},           {"+4x3", false},        {"4x-3", false},           {"4x", false},
        {"x3", false},               {"4*3", false},         {"4x3x2", false},          {"", false},
    };
    for (const auto& c : pairs) {
        int width = 7;
        int height = 7;
        EXPECT_EQ(ParseSizePair(c.text, 1, 1000, width, height), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(width, c.ok ? c.width : 7) << '"' << c.text << '"';
        EXPECT_EQ(height, c.ok ? c.height : 7) << '"' << c.text << '"';
    }
}
