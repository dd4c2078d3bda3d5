#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"

#include <gtest/gtest.h>

using namespace halyx;

TEST(UnitNumberTexts, SettersWriteTheirFormats) {
    CIncursion incursion;
    incursion.SetLatValue(12.34567);
    incursion.SetTimeValue(7);
    EXPECT_EQ(incursion.GetLat(), "12.346");
    EXPECT_EQ(incursion.GetTime(), "7");

    CRadar radar;
    radar.SetRangeValue(50);
    EXPECT_EQ(radar.GetRange(), "50.000");

    CInterceptor interceptor("I", "1", "1.5", "2", "300", "90", "-", "abc", "-");
    EXPECT_EQ(interceptor.GetLatText(), "1.500000");
    EXPECT_EQ(interceptor.GetRangeText(), "0.000000");
    EXPECT_EQ(interceptor.GetMinRangeText(), "0.000000");
    EXPECT_EQ(interceptor.GetHeadingText(), "90.000000");
    interceptor.SetSpeedText("  42.5knots");
    EXPECT_EQ(interceptor.GetSpeed(), 42.5);
}

TEST(UnitNumberTexts, TextThatIsNotANumberReadsAsZero) {
    CIncursion incursion("n", "1", "", "abc", " -2.5e1x", "+.5", "-");
    EXPECT_EQ(incursion.GetLatValue(), 0.0);
    EXPECT_EQ(incursion.GetLngValue(), 0.0);
    EXPECT_EQ(incursion.GetSpeedValue(), -25.0);
    EXPECT_EQ(incursion.GetHeadingValue(), 0.5);
}

TEST(IncursionCourse, StartsAtItsStartPointAtItsStartMinute) {
    const CIncursion fromZero("a", "1", "100", "200", "60", "45", "-");
    auto [lat, lng] = fromZero.GetPositionAt(0.0);
    EXPECT_DOUBLE_EQ(lat, 100.0);
    EXPECT_DOUBLE_EQ(lng, 200.0);

    const CIncursion late("b", "2", "100", "200", "60", "45", "120");
    std::tie(lat, lng) = late.GetPositionAt(2.0);
    EXPECT_DOUBLE_EQ(lat, 100.0);
    EXPECT_DOUBLE_EQ(lng, 200.0);
    // An hour before its start it lies behind the start point.
    std::tie(lat, lng) = late.GetPositionAt(1.0);
    EXPECT_LT(lat, 100.0);
    EXPECT_LT(lng, 200.0);
}

TEST(IncursionCourse, HeadingNinetyDriftsSlightlyBecauseOfTheSevenths) {
    const CIncursion east("e", "1", "0", "0", "100", "90", "-");
    const auto [lat, lng] = east.GetPositionAt(1.0);
    EXPECT_NEAR(lat, 99.99998, 1e-5);
    EXPECT_NEAR(lng, -0.0632, 1e-4);
    EXPECT_LT(lng, 0.0);
}

TEST(RadarRim, AcceptsPointsWithinSixOfTheCircle) {
    const CRadar radar("r", "1", "100", "100", "50", "", "");
    EXPECT_TRUE(radar.IsNearRangeEdge(150, 100));
    EXPECT_TRUE(radar.IsNearRangeEdge(155.9, 100));
    EXPECT_TRUE(radar.IsNearRangeEdge(144.5, 100));
    EXPECT_FALSE(radar.IsNearRangeEdge(156, 100)); // exactly 6 away
    EXPECT_FALSE(radar.IsNearRangeEdge(100, 100));
}
