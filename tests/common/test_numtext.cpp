// Reading numbers out of free text as stored files and messages write them.
#include "common/numtext.h"

#include <gtest/gtest.h>

#include <cmath>

using halyx::ReadInt;
using halyx::ReadNumber;

// The longest decimal prefix counts; an exponent without digits is not part of it, and text
// without a number is zero.
TEST(ReadNumber, TakesTheLongestDecimalPrefix) {
    const std::pair<const char*, double> cases[] = {
        {"  -12.5abc", -12.5}, {".5", 0.5},     {"5.", 5.0},     {"2.5E-1x", 0.25},
        {"12e+", 12.0},        {"12E-x", 12.0}, {"", 0.0},       {".", 0.0},
        {"0x10", 0.0},         {"inf", 0.0},    {"1e-999", 0.0},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ReadNumber(text), expected) << text;
    }
    // Out of range saturates.
    EXPECT_TRUE(std::isinf(ReadNumber("1e999")));
    EXPECT_TRUE(std::isinf(ReadNumber("-1e999")) && ReadNumber("-1e999") < 0);
}

TEST(ReadInt, ReadsLikeAtoiWithoutOverflow) {
    const std::pair<const char*, int> cases[] = {
        {" -7min", -7},
        {"12.9", 12},
        {"-", 0},
        {"99999999999999999999", 2147483647},
        {"-99999999999999999999", -2147483647 - 1},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ReadInt(text), expected) << text;
    }
}

// What a number field and the scenario check accept: the whole text must be the number, so
// "80x" cannot pass as 80 and "ninety" as 0.
TEST(IsNumberText, TheWholeTextMustBeOneNumber) {
    for (const char* good : {"0", "-81.5", "+3", ".5", "5.", " 12.25 ", "1e3", "2.5E-2"}) {
        EXPECT_TRUE(halyx::IsNumberText(good)) << good;
    }
    for (const char* bad : {"", " ", "abc", "80x", "ninety", "1,5", "-", ".", "1e", "1e+", "0x10",
                            "inf", "nan", "1 2", "--1"}) {
        EXPECT_FALSE(halyx::IsNumberText(bad)) << bad;
    }
}
