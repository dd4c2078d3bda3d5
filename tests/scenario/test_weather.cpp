// The weather grid: generation (the band that carries weather, bounded steps, seasons), looking
// up the cell under a map point, its XML form, and the .hwd file with damaged copies of it.
#include "scenariotest.h"

#include "common/random.h"
#include "scenario/weathermap.h"

#include <pugixml.hpp>

#include <cmath>
#include <limits>

using namespace halyx;
using test::ThrownArchiveError;

namespace {

int CellsInLayer(const CWeatherMap& map, int layer) {
    int cells = 0;
    for (int j = 0; j < CWeatherMap::kCellsPerLayer; ++j) {
        cells += map.GetCell(layer * CWeatherMap::kCellsPerLayer + j) != nullptr ? 1 : 0;
    }
    return cells;
}

// A grid of 40 x 40 with a Reference, a cell, an empty slot and another cell, then empty slots
// up to the 16 layers of the grid, its layout written by hand (the object tags are the
// archive's, tested with it). A cell's values are in archive order: Temperature, Pressure,
// Humidity, WindDir, WindSpeed.
constexpr uint32_t kFullGrid = 16 * 40 * 40;

std::vector<uint8_t> HandWrittenFile(uint32_t cols = 40, uint32_t rows = 40,
                                     uint32_t count = kFullGrid, uint32_t slots = kFullGrid) {
    CArchiveWriter out;
    for (uint32_t value : {cols, rows, count}) {
        out.WriteU32(value);
    }
    const auto cell = [&](std::initializer_list<double> values) {
        out.WriteObjectTag("CWeatherData");
        for (double value : values) {
            out.WriteDouble(value);
        }
    };
    cell({70, 72, 74, 76, 78});
    out.WriteU16(static_cast<uint16_t>(slots));
    if (slots >= 3) {
        cell({1, 2, 3, 4, 5});
        out.WriteNullTag();
        cell({6, 7, 8, 9, 10});
    }
    for (uint32_t slot = 3; slot < slots; ++slot) {
        out.WriteNullTag();
    }
    return out.Bytes();
}

// The hand-written file up to its slot count, then a 32-bit slot count of slots.
std::vector<uint8_t> FileWithSlotCount(uint32_t slots) {
    std::vector<uint8_t> bytes = HandWrittenFile();
    bytes.resize(12 + 6 + 12 + 40);
    CArchiveWriter count;
    count.WriteU16(0xFFFF);
    count.WriteU32(slots);
    bytes.insert(bytes.end(), count.Bytes().begin(), count.Bytes().end());
    return bytes;
}

// Weather over the whole 40 x 40 grid, the same for the same seed.
void Generate(CWeatherMap& map, int seed) {
    SeedRandom(seed);
    map.Generate(1600, 0.3, 4.0);
}

} // namespace

TEST(WeatherGeneration, OnlyTheBandCarriesWeatherInEveryLayerAndValuesMoveInBoundedSteps) {
    CWeatherMap map(40, 40);
    Generate(map, 42);
    EXPECT_EQ(map.GetCount(), 25600);
    EXPECT_NE(map.GetCell(9 * 40 + 5), nullptr);
    for (int outside : {0, 9 * 40 + 4, 39 * 40 + 36}) {
        EXPECT_EQ(map.GetCell(outside), nullptr) << outside;
    }
    for (int layer = 0; layer < 16; ++layer) {
        EXPECT_EQ(CellsInLayer(map, layer), 191) << "layer " << layer;
    }
    // The cell count is held to the mask.
    CWeatherMap held(40, 40);
    for (int count : {0, -5}) {
        held.Generate(count, 0.3, 4.0);
        EXPECT_EQ(held.GetCount(), 0) << count;
    }
    held.Generate(1'000'000'000, 0.3, 4.0);
    EXPECT_EQ(held.GetCount(), 25600);

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
    // Zero variance copies the Reference everywhere.
    CWeatherMap flat(40, 40);
    flat.SetSeason(3);
    flat.Generate(1600, 0.0, 0.0);
    for (int slot = 0; slot < flat.GetCount(); ++slot) {
        if (const CWeatherData* cell = flat.GetCell(slot)) {
            ASSERT_EQ(*cell, flat.GetReference()) << "slot " << slot;
        }
    }
}

TEST(WeatherSeasons, PresetsReferenceTextsAndCellTexts) {
    CWeatherMap map(40, 40);
    EXPECT_TRUE(map.SetSeason(1));
    EXPECT_FALSE(map.SetSeason(4));
    map.SetReferenceValue(kPressure, 1013.256);
    EXPECT_EQ(map.GetReferenceText(kPressure), "1013.26");
    EXPECT_EQ(map.GetReferenceText(5), "0.00");
    EXPECT_EQ(map.GetReferenceValue(-1), 0.0);

    // Temperature, Pressure, WindSpeed, WindDir, Humidity, each shifted by the offset.
    EXPECT_EQ(CWeatherData(CWeatherData(1.5, 2, 3, 4, 5), -0.5),
              CWeatherData(1.0, 1.5, 2.5, 3.5, 4.5));
}

TEST(WeatherLookup, PointsFindTheirSlotOrNoDataAndFarOnesAreNeverWrappedOntoACell) {
    CWeatherMap map(40, 40);
    Generate(map, 5);
    // Rows count upward, 14 map units each: lng 95-108 is row 39, 641-654 row 0. A column is
    // 23.75 units of lat; a column past the grid spills into the next row, a row past 39 into
    // the next layer; a small negative lat truncates toward column 0.
    const struct {
        double lat, lng;
        int slot;
    } points[] = {{0, 108, 39 * 40},
                  {0, 641, 0},
                  {140, 500, 11 * 40 + 5},
                  {40 * 23.75, 95 + 31 * 14.0, 9 * 40},
                  {45 * 23.75, 95 + 31 * 14.0, 9 * 40 + 5},
                  {5 * 23.75, 95 - 10 * 14.0, 1600 + 9 * 40 + 5},
                  {-23, 650, 0}};
    for (const auto& p : points) {
        EXPECT_EQ(map.SlotOfPoint(p.lat, p.lng), p.slot) << p.lat << "," << p.lng;
        EXPECT_EQ(map.WeatherAt(p.lat, p.lng), map.GetCell(p.slot)) << p.lat << "," << p.lng;
    }
    EXPECT_EQ(map.GetCell(0), nullptr); // the corner has no data, the band has
    EXPECT_NE(map.WeatherAt(140, 500), nullptr);
    EXPECT_NE(map.WeatherAt(5 * 23.75, 95 - 10 * 14.0), nullptr);

    const std::pair<double, double> noData[] = {{0, 95 - 14.0 * 700}, // row 739: slot 29560
                                                {1e300, 500},
                                                {-23.75 * 20, 650},
                                                {-1e300, 650},
                                                {std::numeric_limits<double>::quiet_NaN(), 500}};
    EXPECT_LT(map.SlotOfPoint(-23.75 * 20, 650), 0);
    for (const auto& [lat, lng] : noData) {
        EXPECT_EQ(map.WeatherAt(lat, lng), nullptr) << lat << "," << lng;
    }

    // With Cols -2^31, row 2^33 times Cols is -2^64, which wraps to 0 in 64 bits and would
    // answer the far point from slot 5 of the base layer.
    map.SetCols(INT32_MIN);
    const double farLng = 95 + 14.0 * ((int64_t{1} << 33) + 39); // row 2^33
    EXPECT_EQ(map.SlotOfPoint(140, farLng), -1);
    EXPECT_EQ(map.WeatherAt(140, farLng), nullptr);
    // Near points still take the file's Cols: row 0 is slot 0 + col whatever Cols is.
    EXPECT_EQ(map.WeatherAt(140, 650), map.GetCell(5));
    map.SetCols(40);
    map.Clear();
    EXPECT_EQ(map.WeatherAt(140, 500), nullptr);
}

TEST(WeatherXml, LayersRunFromSixteenHoursToOneAndReadBackKeepingUnnamedCells) {
    CWeatherMap map(40, 40);
    Generate(map, 3);
    test::RecordingProgress progress;
    const std::string xml = map.ToXml(&progress);
    EXPECT_EQ(xml.rfind("<WeatherMap>\n<T16>\n<WeatherData GridRow=\"9\" GridCol=\"5\" ", 0), 0u);
    const std::string tail = "\n</T1>\n</WeatherMap>";
    EXPECT_EQ(xml.substr(xml.size() - tail.size()), tail);
    EXPECT_EQ(test::CountOf(xml, "<WeatherData "), 16u * 191);
    const size_t t16 = xml.find("<T16>"), t15 = xml.find("<T15>");
    EXPECT_EQ(test::CountOf(xml.substr(t16, t15 - t16), "<WeatherData "), 191u);
    EXPECT_EQ(progress.high, 25600);
    EXPECT_EQ(progress.pos, 25600);
    EXPECT_TRUE(progress.closed);

    CWeatherMap back(40, 40);
    back.Generate(1600, 0.0, 0.0);
    pugi::xml_document doc;
    EXPECT_EQ(back.ReadXml(test::ParseXml(doc, xml)), 3056);
    EXPECT_EQ(back.ToXml(), xml); // every cell back, to the six decimals "%f" keeps

    // Cells the XML does not name are kept, and slots outside the grid are skipped.
    const CWeatherData before = *back.GetCell(9 * 40 + 6);
    EXPECT_EQ(
        back.ReadXml(test::ParseXml(
            doc, "<WeatherMap><Note/>"
                 "<T16><WeatherData GridRow=\"9\" GridCol=\"5\" Temperature=\"1\" "
                 "Pressure=\"2\" Humidity=\"3\" WindSpeed=\"4\" WindDir=\"5\"/><Other/></T16>"
                 "<T1><WeatherData GridRow=\"0\" GridCol=\"0\" Temperature=\"9\"/></T1>"
                 "<T17><WeatherData GridRow=\"9\" GridCol=\"5\" Temperature=\"6\"/></T17>"
                 "<T0><WeatherData GridRow=\"0\" GridCol=\"0\" Temperature=\"6\"/></T0>"
                 "<T16><WeatherData GridRow=\"-1000000\" GridCol=\"5\" Temperature=\"6\"/></T16>"
                 "</WeatherMap>")),
        2);
    EXPECT_EQ(*back.GetCell(9 * 40 + 5), CWeatherData(1, 2, 4, 5, 3));
    EXPECT_EQ(*back.GetCell(9 * 40 + 6), before);
    ASSERT_NE(back.GetCell(15 * 1600), nullptr); // an empty slot of layer 15 gets a cell
    EXPECT_EQ(back.GetCell(15 * 1600)->GetTemperature(), 9.0);
}

TEST(WeatherFile, HandWrittenGridRoundTripsByteForByteAndACutAtEveryOffsetKeepsTheGrid) {
    const std::vector<uint8_t> bytes = HandWrittenFile();
    CWeatherMap map;
    ReadWeatherFileBytes(bytes, map);
    EXPECT_EQ(map.GetCount(), 25600);
    EXPECT_EQ(map.GetReference(), CWeatherData(70, 72, 78, 76, 74));
    ASSERT_NE(map.GetCell(0), nullptr);
    EXPECT_EQ(*map.GetCell(0), CWeatherData(1, 2, 5, 4, 3));
    EXPECT_EQ(map.GetCell(1), nullptr);
    EXPECT_EQ(*map.GetCell(2), CWeatherData(6, 7, 10, 9, 8));
    EXPECT_EQ(WeatherFileBytes(map), bytes);

    // Every offset of the header and the cells; the empty slots after them are alike.
    for (size_t cut = 0; cut < bytes.size(); cut += cut < 200 ? 1 : 997) {
        map.Generate(1600, 0.0, 0.0);
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + cut);
        const ArchiveError error =
            ThrownArchiveError([&] { ReadWeatherFileBytes(part, map, "cut.hwd"); });
        EXPECT_EQ(error.File(), "cut.hwd") << "cut at " << cut;
        ASSERT_EQ(map.GetCount(), 25600);
    }
}

TEST(CorruptWeatherFiles, OnlyTheGridTheWeatherPageBuildsIsTakenAndAbsurdSlotCountsAreNot) {
    // Every weather query looks the grid up by its shape; any other one would answer "no data"
    // all mission long after a load that said it went well.
    CWeatherMap map(40, 40);
    Generate(map, 5);
    const std::string before = map.ToXml();
    using Refusal = std::pair<uint64_t, std::string>;
    const auto refused = [&](const std::vector<uint8_t>& bytes) {
        const ArchiveError error = ThrownArchiveError([&] { ReadWeatherFileBytes(bytes, map); });
        EXPECT_EQ(map.ToXml(), before);
        return Refusal(error.Offset(), error.Expected());
    };
    EXPECT_EQ(refused(HandWrittenFile(INT32_MAX, INT32_MAX, 0, 0)),
              Refusal(0, "a weather grid of 40 x 40 cells (or an empty one), found 2147483647 x "
                         "2147483647"));
    EXPECT_EQ(refused(HandWrittenFile(40, 20)).first, 0u);
    EXPECT_EQ(refused(HandWrittenFile(40, 40, 3, 3)).first, 70u);
    EXPECT_EQ(refused(HandWrittenFile(40, 40, 7)).first, 8u);
    // Absurd slot counts are refused before allocating: two million empty slots fit in 4 MB of
    // file but would cost 16 MB of pointers.
    EXPECT_EQ(refused(FileWithSlotCount(2'000'000'000)),
              Refusal(70, "2000000000 weather slots, more than the file can hold"));
    std::vector<uint8_t> wide = FileWithSlotCount(2'000'000);
    wide.resize(wide.size() + 2 * 2'000'000, 0);
    EXPECT_EQ(
        refused(wide),
        Refusal(70, "2000000 weather slots, more than a weather grid holds (at most 1048576)"));

    // A grid not generated yet, and an empty one, are taken as they are.
    const CWeatherMap notGenerated(40, 40);
    ReadWeatherFileBytes(WeatherFileBytes(notGenerated), map);
    EXPECT_EQ(map.GetCount(), 0);
    EXPECT_EQ(map.GetCols(), 40);
    const CWeatherMap empty;
    ReadWeatherFileBytes(WeatherFileBytes(empty), map);
    EXPECT_EQ(map.GetCols(), 0);
}
