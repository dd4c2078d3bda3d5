#include "common/random.h"
#include "scenario/weathermap.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace halyx;

namespace {

int CellsInLayer(const CWeatherMap& map, int layer) {
    int cells = 0;
    for (int j = 0; j < CWeatherMap::kCellsPerLayer; ++j) {
        cells += map.GetCell(layer * CWeatherMap::kCellsPerLayer + j) != nullptr ? 1 : 0;
    }
    return cells;
}

} // namespace

TEST(WeatherGeneration, OnlyTheBandCarriesWeatherInEveryLayer) {
    SeedRandom(42);
    CWeatherMap map(40, 40);
    map.Generate(1600, 0.3, 4.0);
    EXPECT_EQ(map.GetCount(), 25600);
    EXPECT_NE(map.GetCell(9 * 40 + 5), nullptr);
    EXPECT_EQ(map.GetCell(0), nullptr);
    EXPECT_EQ(map.GetCell(9 * 40 + 4), nullptr);
    EXPECT_EQ(map.GetCell(39 * 40 + 36), nullptr);
    int total = 0;
    for (int layer = 0; layer < 16; ++layer) {
        EXPECT_EQ(CellsInLayer(map, layer), 191) << "layer " << layer;
        total += CellsInLayer(map, layer);
    }
    EXPECT_EQ(total, 3056);
}

TEST(WeatherGeneration, ZeroVarianceCopiesTheReferenceEverywhere) {
    CWeatherMap map(40, 40);
    map.SetSeason(3);
    map.Generate(1600, 0.0, 0.0);
    for (int slot = 0; slot < map.GetCount(); ++slot) {
        if (const CWeatherData* cell = map.GetCell(slot)) {
            ASSERT_EQ(*cell, map.GetReference()) << "slot " << slot;
        }
    }
}

TEST(WeatherGeneration, ValuesMoveTogetherInBoundedSteps) {
    SeedRandom(7);
    CWeatherMap map(40, 40);
    map.Generate(1600, 0.3, 4.0);
    // Neighbours along a row differ by at most s/2, a layer from the one before by at most t/2,
    // and each cell keeps the Reference's spacing between its five values.
    const CWeatherData& ref = map.GetReference();
    for (int slot = 0; slot < map.GetCount(); ++slot) {
        const CWeatherData* cell = map.GetCell(slot);
        if (cell == nullptr) {
            continue;
        }
        const double delta = cell->GetTemperature() - ref.GetTemperature();
        EXPECT_NEAR(cell->GetPressure() - ref.GetPressure(), delta, 1e-9);
        EXPECT_NEAR(cell->GetWindDir() - ref.GetWindDir(), delta, 1e-9);
        if (slot >= 1600) {
            const CWeatherData* below = map.GetCell(slot - 1600);
            ASSERT_NE(below, nullptr);
            EXPECT_LE(std::fabs(cell->GetHumidity() - below->GetHumidity()), 2.0 + 1e-9);
        } else if (const CWeatherData* left = map.GetCell(slot - 1)) {
            EXPECT_LE(std::fabs(cell->GetHumidity() - left->GetHumidity()), 0.15 + 1e-9);
        }
    }
}

TEST(WeatherGeneration, CellCountIsHeldToTheMask) {
    CWeatherMap map(40, 40);
    map.Generate(0, 0.3, 4.0);
    EXPECT_EQ(map.GetCount(), 0);
    map.Generate(-5, 0.3, 4.0);
    EXPECT_EQ(map.GetCount(), 0);
    map.Generate(1'000'000'000, 0.3, 4.0);
    EXPECT_EQ(map.GetCount(), 25600);
}

TEST(WeatherSeasons, PresetsAndReferenceTexts) {
    CWeatherMap map(40, 40);
    EXPECT_EQ(map.GetReferenceValue(kTemperature), 70.0); // season 0 on creation
    EXPECT_TRUE(map.SetSeason(1));
    EXPECT_FALSE(map.SetSeason(4));
    EXPECT_EQ(map.GetReferenceValue(kHumidity), 94.0);
    EXPECT_EQ(map.GetReferenceValue(kWindSpeed), 96.0);
    map.SetReferenceValue(kPressure, 1013.256);
    EXPECT_EQ(map.GetReferenceText(kPressure), "1013.26");
    EXPECT_EQ(map.GetReferenceText(5), "0.00");
    EXPECT_EQ(map.GetReferenceValue(-1), 0.0);
}

TEST(WeatherCells, TextsAndDump) {
    const CWeatherData cell(1.5, 2, 3, 4, 5); // Temperature, Pressure, WindSpeed, WindDir, Humidity
    EXPECT_EQ(cell.DumpText(), "Weather Data:\nTemperature = 1.500000\nPressure = 2.000000\n"
                               "Humidity = 5.000000\nWindSpeed = 3.000000\nWind Dir = 4.000000\n");
    EXPECT_EQ(cell.ToXml(9, 5), "<WeatherData GridRow=\"9\" GridCol=\"5\" Temperature=\"1.500000\" "
                                "Pressure=\"2.000000\" Humidity=\"5.000000\" "
                                "WindSpeed=\"3.000000\" WindDir=\"4.000000\"/>");
    const CWeatherData moved(cell, -0.5);
    EXPECT_EQ(moved, CWeatherData(1.0, 1.5, 2.5, 3.5, 4.5));
}
