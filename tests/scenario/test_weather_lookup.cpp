#include "common/archive.h"
#include "common/random.h"
#include "scenario/weathermap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

using namespace halyx;

namespace {

class WeatherLookup : public ::testing::Test {
protected:
    void SetUp() override {
        SeedRandom(5);
        map.Generate(1600, 0.3, 4.0);
    }
    CWeatherMap map{40, 40};
};

} // namespace

TEST_F(WeatherLookup, CornerOfTheMapHasNoData) {
    EXPECT_EQ(map.SlotOfPoint(0, 650), 0);
    EXPECT_EQ(map.WeatherAt(0, 650), nullptr);
    // Rows count upward: lng 95-108 is row 39, 641-654 row 0.
    EXPECT_EQ(map.SlotOfPoint(0, 108), 39 * 40);
    EXPECT_EQ(map.SlotOfPoint(0, 641), 0);
}

TEST_F(WeatherLookup, PointInTheBandAnswersItsBaseLayerCell) {
    // lat 140 -> col 5; lng 500 -> r 28 -> row 11.
    EXPECT_EQ(map.SlotOfPoint(140, 500), 11 * 40 + 5);
    ASSERT_NE(map.WeatherAt(140, 500), nullptr);
    EXPECT_EQ(map.WeatherAt(140, 500), map.GetCell(11 * 40 + 5));
}

TEST_F(WeatherLookup, ColumnBeyondTheGridSpillsIntoTheNextRow) {
    // Column 40 of row 8 is slot 9 * 40 + 0; column 45 is row 9, column 5, in the band.
    const double lngRow8 = 95 + 31 * 14.0;
    EXPECT_EQ(map.SlotOfPoint(40 * 23.75, lngRow8), 9 * 40);
    EXPECT_EQ(map.WeatherAt(45 * 23.75, lngRow8), map.GetCell(9 * 40 + 5));
    EXPECT_NE(map.WeatherAt(45 * 23.75, lngRow8), nullptr);
}

TEST_F(WeatherLookup, SlotInALaterLayerIsAnsweredFromIt) {
    // Far above the map the row number grows past 39 and the slot reaches layer 1: row 49
    // (lng 95 - 10 * 14), column 5 is slot 1600 + 9 * 40 + 5.
    const double lng = 95 - 10 * 14.0;
    EXPECT_EQ(map.SlotOfPoint(5 * 23.75, lng), 1600 + 9 * 40 + 5);
    EXPECT_EQ(map.WeatherAt(5 * 23.75, lng), map.GetCell(1600 + 9 * 40 + 5));
    EXPECT_NE(map.WeatherAt(5 * 23.75, lng), nullptr);
}

TEST_F(WeatherLookup, SlotAtOrBeyondCountHasNoData) {
    EXPECT_EQ(map.WeatherAt(0, 95 - 14.0 * 700), nullptr); // row 739: slot 29560
    EXPECT_EQ(map.WeatherAt(1e300, 500), nullptr);
    map.Clear();
    EXPECT_EQ(map.WeatherAt(140, 500), nullptr);
}

TEST_F(WeatherLookup, NegativeSlotHasNoData) {
    EXPECT_LT(map.SlotOfPoint(-23.75 * 20, 650), 0);
    EXPECT_EQ(map.WeatherAt(-23.75 * 20, 650), nullptr);
    EXPECT_EQ(map.WeatherAt(-1e300, 650), nullptr);
    EXPECT_EQ(map.WeatherAt(std::numeric_limits<double>::quiet_NaN(), 500), nullptr);
    // Small negative lat truncates toward zero: still column 0.
    EXPECT_EQ(map.SlotOfPoint(-23, 650), 0);
}

TEST(WeatherLookupInAFileGrid, FarPointIsNotWrappedOntoACellByAnAbsurdColumnCount) {
    // A weather file may give any Cols. With Cols -2^31, row 2^33 times Cols is -2^64, which
    // wraps to 0 in 64 bits and would answer the far point from slot 5 of the base layer.
    CArchiveWriter out;
    out.WriteI32(INT32_MIN);
    out.WriteI32(40);
    out.WriteI32(8);
    out.WriteObjectTag(CWeatherData::kClassName, CWeatherData::kSchema);
    CWeatherMap::SeasonReference(0).Serialize(out);
    out.WriteCount(8);
    for (int slot = 0; slot < 8; ++slot) {
        out.WriteObjectTag(CWeatherData::kClassName, CWeatherData::kSchema);
        CWeatherData(20.0 + slot, 1013.0, 10.0, 90.0, 50.0).Serialize(out);
    }
    CWeatherMap map;
    ReadWeatherFileBytes(out.Bytes(), map);
    ASSERT_EQ(map.GetCount(), 8);

    const double farLng = 95 + 14.0 * ((int64_t{1} << 33) + 39); // row 2^33
    EXPECT_EQ(map.SlotOfPoint(140, farLng), -1);
    EXPECT_EQ(map.WeatherAt(140, farLng), nullptr);
    // Near points still take the file's Cols: row 0 is slot 0 + col whatever Cols is.
    EXPECT_EQ(map.WeatherAt(140, 650), map.GetCell(5));
}
