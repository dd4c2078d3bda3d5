#include "common/archive.h"
#include "common/random.h"
#include "scenario/weathermap.h"

#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace halyx;

namespace {

void Add16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Add32(std::vector<uint8_t>& out, uint32_t v) {
    Add16(out, static_cast<uint16_t>(v));
    Add16(out, static_cast<uint16_t>(v >> 16));
}
void AddDouble(std::vector<uint8_t>& out, double d) {
    const uint64_t bits = std::bit_cast<uint64_t>(d);
    Add32(out, static_cast<uint32_t>(bits));
    Add32(out, static_cast<uint32_t>(bits >> 32));
}
// A cell in archive order: Temperature, Pressure, Humidity, WindDir, WindSpeed.
void AddCell(std::vector<uint8_t>& out, double t, double p, double h, double wd, double ws) {
    for (double d : {t, p, h, wd, ws}) {
        AddDouble(out, d);
    }
}

// A grid of 40 x 40 with a Reference, a cell, an empty slot and another cell.
std::vector<uint8_t> HandWrittenFile() {
    std::vector<uint8_t> out;
    Add32(out, 40); // Cols
    Add32(out, 40); // Rows
    Add32(out, 3);  // Count
    Add16(out, 0xFFFF);
    Add16(out, 0); // schema
    Add16(out, 12);
    for (char c : std::string("CWeatherData")) {
        out.push_back(static_cast<uint8_t>(c));
    }
    AddCell(out, 70, 72, 74, 76, 78);
    Add16(out, 3); // slots
    Add16(out, 0x8001);
    AddCell(out, 1, 2, 3, 4, 5);
    Add16(out, 0x0000);
    Add16(out, 0x8001);
    AddCell(out, 6, 7, 8, 9, 10);
    return out;
}

std::string TempPath(const char* name) {
    const char* home = std::getenv("HALYX_HOME");
    return std::string(home != nullptr ? home : "/tmp") + "_" + name;
}

} // namespace

TEST(WeatherFile, HandWrittenFileReadsAndWritesBackByteForByte) {
    const std::vector<uint8_t> bytes = HandWrittenFile();
    CWeatherMap map;
    ReadWeatherFileBytes(bytes, map);
    EXPECT_EQ(map.GetCols(), 40);
    EXPECT_EQ(map.GetRows(), 40);
    EXPECT_EQ(map.GetCount(), 3);
    // The five-value constructor takes Temperature, Pressure, WindSpeed, WindDir, Humidity.
    EXPECT_EQ(map.GetReference(), CWeatherData(70, 72, 78, 76, 74));
    ASSERT_NE(map.GetCell(0), nullptr);
    EXPECT_EQ(*map.GetCell(0), CWeatherData(1, 2, 5, 4, 3));
    EXPECT_EQ(map.GetCell(1), nullptr);
    EXPECT_EQ(*map.GetCell(2), CWeatherData(6, 7, 10, 9, 8));
    EXPECT_EQ(WeatherFileBytes(map), bytes);
}

TEST(WeatherFile, GeneratedGridSurvivesTheDisk) {
    SeedRandom(17);
    CWeatherMap map(40, 40);
    map.SetSeason(2);
    map.Generate(1600, 0.3, 4.0);
    const std::string path = TempPath("grid.hwd");
    ASSERT_EQ(WriteWeatherFile(path, map), 0);
    CWeatherMap back;
    ASSERT_EQ(ReadWeatherFile(path, back), 0);
    EXPECT_EQ(back.GetCount(), 25600);
    EXPECT_EQ(back.GetReference(), map.GetReference());
    EXPECT_EQ(back.ToXml(), map.ToXml());
    const std::vector<uint8_t> bytes = WeatherFileBytes(map);
    // 25600 slots fit the 16-bit count (0x6400) after the 70 bytes of header and Reference.
    EXPECT_EQ(bytes[70], 0x00);
    EXPECT_EQ(bytes[71], 0x64);
}

TEST(CorruptWeatherFiles, TruncationAtEveryOffsetLeavesTheGridAsItWas) {
    const std::vector<uint8_t> bytes = HandWrittenFile();
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        CWeatherMap map(40, 40);
        map.Generate(1600, 0.0, 0.0);
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + cut);
        try {
            ReadWeatherFileBytes(part, map, "cut.hwd");
            ADD_FAILURE() << "a file cut at " << cut << " was read without error";
        } catch (const ArchiveError& error) {
            EXPECT_EQ(error.File(), "cut.hwd");
            EXPECT_LE(error.Offset(), cut);
        }
        ASSERT_EQ(map.GetCount(), 25600);
    }
}

TEST(CorruptWeatherFiles, HugeSlotCountIsRefusedBeforeAllocating) {
    std::vector<uint8_t> bytes = HandWrittenFile();
    bytes.resize(12 + 6 + 12 + 40); // up to the slot count
    Add16(bytes, 0xFFFF);
    Add32(bytes, 2'000'000'000);
    CWeatherMap map;
    try {
        ReadWeatherFileBytes(bytes, map, "huge.hwd");
        FAIL() << "no error";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.Offset(), 70u);
        EXPECT_EQ(error.Expected(), "2000000000 weather slots, more than the file can hold");
    }
}

TEST(CorruptWeatherFiles, SlotCountBeyondAnyGridIsRefusedEvenWhenTheFileHoldsIt) {
    // Two million empty slots fit in 4 MB of file but would cost 16 MB of pointers.
    std::vector<uint8_t> bytes = HandWrittenFile();
    bytes.resize(12 + 6 + 12 + 40);
    constexpr uint32_t kSlots = 2'000'000;
    Add16(bytes, 0xFFFF);
    Add32(bytes, kSlots);
    bytes.resize(bytes.size() + 2 * kSlots, 0);
    CWeatherMap map;
    try {
        ReadWeatherFileBytes(bytes, map, "wide.hwd");
        FAIL() << "no error";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.Offset(), 70u);
        EXPECT_EQ(error.Expected(),
                  "2000000 weather slots, more than a weather grid holds (at most 1048576)");
    }
}

TEST(CorruptWeatherFiles, ObjectOfAnotherClassIsNamed) {
    std::vector<uint8_t> bytes = HandWrittenFile();
    std::memcpy(bytes.data() + 18, "CWeatherDaTa", 12);
    CWeatherMap map;
    try {
        ReadWeatherFileBytes(bytes, map, "odd.hwd");
        FAIL() << "no error";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.Offset(), 12u);
        EXPECT_NE(std::string(error.what()).find("unknown class \"CWeatherDaTa\""),
                  std::string::npos);
    }
}
