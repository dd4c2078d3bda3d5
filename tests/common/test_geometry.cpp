#include "common/geometry.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace halyx;

TEST(AngleConstants, DeriveFromTwentyTwoSevenths) {
    EXPECT_DOUBLE_EQ(kPi, 3.142857142857143);
    EXPECT_DOUBLE_EQ(kTwoPi, 6.285714285714286);
    EXPECT_DOUBLE_EQ(kHalfPi, 1.5714285714285714);
    EXPECT_DOUBLE_EQ(kThreeHalfPi, 4.714285714285714);
    EXPECT_DOUBLE_EQ(kTwoThirdsPi, 2.0952380952380953);
    EXPECT_DOUBLE_EQ(RadiansToDegrees(kPi), 180.0);
}

TEST(BearingBetween, RunsClockwiseFromUpIntoZeroToTwoPi) {
    EXPECT_EQ(BearingBetween(5, 5, 5, 5), 0.0);
    EXPECT_NEAR(BearingBetween(0, 0, 1, 0), M_PI / 2, 1e-12); // atan2 uses the true pi
    const double b = BearingBetween(0, 0, -1, 0);
    EXPECT_GE(b, 0.0);
    EXPECT_LT(b, kTwoPi);
    EXPECT_NEAR(b, -M_PI / 2 + kTwoPi, 1e-12);
}

TEST(OffsetPoint, QuadrantBoundariesAreInclusive) {
    double x = 0, y = 0;
    OffsetPoint(10, 10, 2, 0.0, x, y); // up
    EXPECT_DOUBLE_EQ(x, 10.0);
    EXPECT_DOUBLE_EQ(y, 8.0);

    OffsetPoint(10, 10, 2, kPi, x, y); // exactly 22/7 moves right (and down)
    EXPECT_GE(x, 10.0);
    EXPECT_NEAR(y, 12.0, 1e-5);

    OffsetPoint(10, 10, 2, kHalfPi, x, y); // exactly 11/7 moves down
    EXPECT_NEAR(x, 12.0, 1e-5);
    EXPECT_GE(y, 10.0);

    OffsetPoint(10, 10, 2, kThreeHalfPi, x, y); // exactly 33/7 moves left and down
    EXPECT_NEAR(x, 8.0, 1e-5);
    EXPECT_GE(y, 10.0);
}

TEST(OffsetPoint, AnglesWrapAroundTwoPi) {
    double xa = 0, ya = 0, xb = 0, yb = 0;
    OffsetPoint(0, 0, 5, -0.1, xa, ya);
    OffsetPoint(0, 0, 5, kTwoPi - 0.1, xb, yb);
    EXPECT_DOUBLE_EQ(xa, xb);
    EXPECT_DOUBLE_EQ(ya, yb);

    OffsetPoint(0, 0, 5, kTwoPi, xa, ya);
    OffsetPoint(0, 0, 5, 0.0, xb, yb);
    EXPECT_DOUBLE_EQ(xa, xb);
    EXPECT_DOUBLE_EQ(ya, yb);
}

TEST(OffsetPoint, HugeAngleEnds) {
    double x = 0, y = 0;
    OffsetPoint(0, 0, 1, 1e300, x, y);
    EXPECT_TRUE(std::isfinite(x));
    EXPECT_TRUE(std::isfinite(y));
}
