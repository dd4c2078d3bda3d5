// Reading map texts: the two versions, the rows of the body, and every way a text can be refused
// while the map that was loaded before stays as it was.
#include "external/maplib/maptext.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace halyx {
namespace {

using Status = CMapLoadResult::Status;
using BodyStatus = CMapParseResult::Status;

const std::string kHeader12 = "#Brisal MapData(1.2) - test\n4\n0:8\n3\n10:16\n0:0\n";

// A 4 by 3 map whose top row is land, with one land pixel at the bottom right.
const std::string kSmall12 = kHeader12 + "4#/\n4-/\n3-#/\n";

TEST(MapTextReading, Version12HeaderGivesCoordinatesAndVersion11RowsMaySpreadOverLines) {
    CWorldMap map;
    const CMapLoadResult result = LoadMapText(kSmall12, map);
    ASSERT_TRUE(result) << result.description;
    EXPECT_EQ(result.version, 12);
    EXPECT_EQ(map.getWidth(), 4);
    EXPECT_EQ(map.getHeight(), 3);
    EXPECT_DOUBLE_EQ(map.GetMinLat(), 0.0);
    EXPECT_DOUBLE_EQ(map.GetMaxLat(), 8.0);
    EXPECT_DOUBLE_EQ(map.GetMinLng(), 10.0);
    EXPECT_DOUBLE_EQ(map.GetMaxLng(), 16.0);
    // The first text row is the top of the map: text row 1 is map row 2.
    EXPECT_EQ(map.TerrainAt(0, 2), '#');
    EXPECT_EQ(map.TerrainAt(0, 0), '-');
    EXPECT_EQ(map.TerrainAt(3, 0), '#');

    // Version 1.1: line ends fall in the middle of rows and between a run count and its code.
    const std::string text = "#Brisal MapData(1.1) - no header\n2#\n3-/2-\n{7}2-/1\r\n#2#2-/\n";
    const CMapLoadResult v11 = LoadMapText(text, map);
    ASSERT_TRUE(v11) << v11.description;
    EXPECT_EQ(v11.version, 11);
    EXPECT_EQ(map.getWidth(), 5);
    EXPECT_EQ(map.getHeight(), 3);
    EXPECT_EQ(map.TerrainAt(1, 2), '#');
    EXPECT_EQ(map.TerrainAt(2, 2), '-');
    EXPECT_EQ(map.TerrainAt(2, 1), 7);
    EXPECT_EQ(map.TerrainAt(4, 0), '-');
    // Without a header the map covers one map unit per pixel from the origin.
    EXPECT_DOUBLE_EQ(map.GetMaxLat(), 5.0);
    EXPECT_DOUBLE_EQ(map.GetMaxLng(), 3.0);
}

struct RefusedText {
    const char* what;
    std::string text;
    Status status;
};

class MapTextRefused : public testing::TestWithParam<RefusedText> {};

TEST_P(MapTextRefused, LeavesThePreviousMap) {
    CWorldMap map;
    ASSERT_TRUE(LoadMapText(kSmall12, map));
    const uint64_t revision = map.Revision();
    const CMapLoadResult result = LoadMapText(GetParam().text, map);
    EXPECT_EQ(result.status, GetParam().status) << GetParam().what;
    EXPECT_FALSE(result.description.empty());
    EXPECT_EQ(map.getWidth(), 4);
    EXPECT_EQ(map.getHeight(), 3);
    EXPECT_EQ(map.TerrainAt(3, 0), '#');
    EXPECT_EQ(map.Revision(), revision);
}

INSTANTIATE_TEST_SUITE_P(
    FailureCases, MapTextRefused,
    testing::Values(
        RefusedText{"empty text", "", Status::NoMarker},
        RefusedText{"marker in lower case", "#brisal MapData(1.2) -\n1\n0:1\n1\n0:1\n0:0\n#/\n",
                    Status::NoMarker},
        RefusedText{"unknown version", "#Brisal MapData(1.3) -\n", Status::NoMarker},
        RefusedText{"1.2 marker and nothing else", "#Brisal MapData(1.2) -", Status::BadHeader},
        RefusedText{"header cut after the height", "#Brisal MapData(1.2) -\n4\n0:8\n3\n",
                    Status::BadHeader},
        RefusedText{"width 0", "#Brisal MapData(1.2) -\n0\n0:8\n3\n0:6\n0:0\n/\n",
                    Status::BadHeader},
        RefusedText{"range without a colon", "#Brisal MapData(1.2) -\n4\n0 8\n3\n0:6\n0:0\n4-/\n",
                    Status::BadHeader},
        RefusedText{"empty range", "#Brisal MapData(1.2) -\n4\n5:5\n3\n0:6\n0:0\n4-/4-/4-/\n",
                    Status::BadHeader},
        RefusedText{"hostile size",
                    "#Brisal MapData(1.2) -\n2000000000\n0:8\n2000000000\n0:6\n0:0\n",
                    Status::BadHeader},
        RefusedText{"rows missing at the end", kHeader12 + "4#/\n4-/\n", Status::BadBody},
        RefusedText{"truncated inside a row", kHeader12 + "4#/\n4-/\n2-", Status::BadBody},
        RefusedText{"1.1 rows of different widths", "#Brisal MapData(1.1) -\n3#/4#/\n",
                    Status::BadBody}));

CMapParseResult Size(std::string_view body) {
    return ParseMapBody(body, nullptr, 0, 0);
}

TEST(MapBodyErrors, SayWhatAndWhere) {
    const std::tuple<const char*, BodyStatus, std::size_t> cases[] = {
        {"3#/2#\x01/", BodyStatus::BadCharacter, 5},
        {"3#/3#/0#/", BodyStatus::BadCount, 6},
        {"3#/2#/", BodyStatus::RowWidth, 5},
        {"3#/{256}/", BodyStatus::BadCode, 3},
        {"12/", BodyStatus::BadCount, 0},
        {"3#/3#", BodyStatus::Unterminated, 3},
    };
    for (const auto& [body, status, offset] : cases) {
        const CMapParseResult r = Size(body);
        EXPECT_EQ(r.status, status) << body;
        EXPECT_EQ(r.offset, offset) << body;
    }
    EXPECT_NE(Size("3#/2#/").description.find("row 2"), std::string::npos);
}

TEST(MapBodyErrors, HostileCountsAndOverwideRowsAreRefusedBeforeAnyAllocation) {
    EXPECT_EQ(Size("99999999999999999999#/").status, BodyStatus::BadCount);
    // A row as wide as allowed, repeated past the pixel limit.
    std::string body;
    for (int i = 0; i < 1100; ++i) {
        body += "16384#/";
    }
    EXPECT_EQ(Size(body).status, BodyStatus::TooLarge);

    // The fill pass refuses a row wider than the map it fills.
    CWorldMap map;
    ASSERT_TRUE(map.create(3, 1, kUnsetTerrain));
    const CMapParseResult r = map.parse("2#2-/", true);
    EXPECT_EQ(r.status, BodyStatus::RowWidth);
    EXPECT_EQ(r.offset, 2u);
}

TEST(MapBodyGrammar, BlanksBetweenRunsAndBracedCodesRead) {
    CWorldMap map;
    ASSERT_TRUE(map.create(4, 1, kUnsetTerrain));
    ASSERT_TRUE(map.parse(" 2{48} \t{255}&/", true));
    EXPECT_EQ(map.TerrainAt(0, 0), '0');
    EXPECT_EQ(map.TerrainAt(1, 0), '0');
    EXPECT_EQ(map.TerrainAt(2, 0), 255);
    EXPECT_EQ(map.TerrainAt(3, 0), '&');
}

} // namespace
} // namespace halyx
