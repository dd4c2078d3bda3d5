// The seeded random source: one seed gives one sequence, in fifteen bits.
#include "common/random.h"

#include <gtest/gtest.h>

using namespace halyx;

TEST(RandomSource, IsReproducibleFifteenBitsWideAndRangesReachTheirTop) {
    SeedRandom(1);
    // The classic recurrence with seed 1 starts 41, 18467, 6334.
    EXPECT_EQ(NextRandom(), 41);
    EXPECT_EQ(NextRandom(), 18467);
    EXPECT_EQ(NextRandom(), 6334);
    for (int i = 0; i < 100000; ++i) {
        const int r = NextRandom();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
    }
    // A range from low to high takes in high, up to but not including high + 1.
    SeedRandom(12345);
    bool seen[3] = {false, false, false};
    for (int i = 0; i < 100000; ++i) {
        const double v = RandomInRange(1, 3);
        ASSERT_GE(v, 1.0);
        ASSERT_LT(v, 4.0);
        seen[static_cast<int>(v) - 1] = true;
    }
    EXPECT_TRUE(seen[0] && seen[1] && seen[2]);
}
