// Bearings and offsets on the map. Angles use 22/7 for pi, as the stored scenarios were made
// with, so a point at exactly a quadrant boundary must land where it did for them.
#include "common/geometry.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace halyx;

TEST(BearingBetween, RunsClockwiseFromUpIntoZeroToTwoPi) {
    EXPECT_EQ(BearingBetween(5, 5, 5, 5), 0.0);
    EXPECT_NEAR(BearingBetween(0, 0, 1, 0), M_PI / 2, 1e-12); // atan2 uses the true pi
    const double b = BearingBetween(0, 0, -1, 0);
    EXPECT_GE(b, 0.0);
    EXPECT_LT(b, kTwoPi);
    EXPECT_NEAR(b, -M_PI / 2 + kTwoPi, 1e-12);
}

TEST(OffsetPoint, QuadrantBoundariesAreInclusiveAndAnglesWrap) {
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

    // Wrapping around two pi, both ways.
    double xb = 0, yb = 0;
    for (const auto& [a, b] : {std::pair{-0.1, kTwoPi - 0.1}, std::pair{kTwoPi, 0.0}}) {
        OffsetPoint(0, 0, 5, a, x, y);
        OffsetPoint(0, 0, 5, b, xb, yb);
        EXPECT_DOUBLE_EQ(x, xb) << a;
        EXPECT_DOUBLE_EQ(y, yb) << a;
    }
    // A huge angle ends, with a finite point.
    OffsetPoint(0, 0, 1, 1e300, x, y);
    EXPECT_TRUE(std::isfinite(x) && std::isfinite(y));
}
