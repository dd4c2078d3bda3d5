#include "common/numtext.h"

#include <gtest/gtest.h>

#include <cmath>

using halyx::ReadInt;
using halyx::ReadNumber;

TEST(ReadNumber, TakesTheLongestDecimalPrefix) {
    EXPECT_EQ(ReadNumber("395.4"), 395.4);
    EXPECT_EQ(ReadNumber("  -12.5abc"), -12.5);
    EXPECT_EQ(ReadNumber("+7"), 7.0);
    EXPECT_EQ(ReadNumber(".5"), 0.5);
    EXPECT_EQ(ReadNumber("5."), 5.0);
    EXPECT_EQ(ReadNumber("1e3"), 1000.0);
    EXPECT_EQ(ReadNumber("2.5E-1x"), 0.25);
    EXPECT_EQ(ReadNumber("00"), 0.0);
}

TEST(ReadNumber, AnExponentWithoutDigitsIsNotPartOfTheNumber) {
    EXPECT_EQ(ReadNumber("12e"), 12.0);
    EXPECT_EQ(ReadNumber("12e+"), 12.0);
    EXPECT_EQ(ReadNumber("12E-x"), 12.0);
}

TEST(ReadNumber, TextWithoutANumberIsZero) {
    EXPECT_EQ(ReadNumber(""), 0.0);
    EXPECT_EQ(ReadNumber("   "), 0.0);
    EXPECT_EQ(ReadNumber("-"), 0.0);
    EXPECT_EQ(ReadNumber("."), 0.0);
    EXPECT_EQ(ReadNumber("abc"), 0.0);
    EXPECT_EQ(ReadNumber("0x10"), 0.0);
    EXPECT_EQ(ReadNumber("inf"), 0.0);
    EXPECT_EQ(ReadNumber("nan"), 0.0);
}

TEST(ReadNumber, OutOfRangeSaturates) {
    EXPECT_TRUE(std::isinf(ReadNumber("1e999")));
    EXPECT_EQ(ReadNumber("1e-999"), 0.0);
    EXPECT_TRUE(std::isinf(ReadNumber("-1e999")) && ReadNumber("-1e999") < 0);
}

TEST(ReadInt, ReadsLikeAtoiWithoutOverflow) {
    EXPECT_EQ(ReadInt("120"), 120);
    EXPECT_EQ(ReadInt(" -7min"), -7);
    EXPECT_EQ(ReadInt("12.9"), 12);
    EXPECT_EQ(ReadInt("-"), 0);
    EXPECT_EQ(ReadInt(""), 0);
    EXPECT_EQ(ReadInt("99999999999999999999"), 2147483647);
    EXPECT_EQ(ReadInt("-99999999999999999999"), -2147483647 - 1);
}
