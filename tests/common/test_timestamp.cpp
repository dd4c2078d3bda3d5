#include "common/timestamp.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

using namespace halyx;

namespace {

// TSID of a local wall-clock time on 2026-03-09 (tests run with TZ=UTC, but this holds anywhere).
int64_t LocalTsid(int hour, int minute, int second, int millis) {
    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 2;
    tm.tm_mday = 9;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&tm)) * 1000 + millis;
}

} // namespace

TEST(TimeStamp, TwelveHourClockWithoutLeadingZeros) {
    EXPECT_EQ(TimeStampText(LocalTsid(12, 30, 0, 250)), "3/9/2026 12:30:0:250 PM");
    EXPECT_EQ(TimeStampText(LocalTsid(13, 5, 0, 0)), "3/9/2026 1:5:0:0 PM");
    EXPECT_EQ(TimeStampText(LocalTsid(0, 10, 0, 0)), "3/9/2026 12:10:0:0 AM");
    EXPECT_EQ(TimeStampText(LocalTsid(11, 59, 59, 999)), "3/9/2026 11:59:59:999 AM");
    // Text and number come from one reading of the clock.
    std::string text;
    int64_t tsid = 0;
    MakeTimeStamp(text, tsid);
    EXPECT_EQ(text, TimeStampText(tsid));
    EXPECT_GT(tsid, int64_t{1700000000000});
}
