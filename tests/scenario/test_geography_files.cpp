// The geography's own files (.hmi map addresses, terrain codes, .hil impact lines, trajectory),
// the Maps XML and the line lists: round trips, the byte layout that other programs read, and
// damaged files that must not destroy what was loaded.
#include "common/archive.h"
#include "common/paths.h"
#include "scenario/geography.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

namespace halyx {
namespace {

std::string TempPath(const std::string& name) {
    const std::string path = HalyxHome() + "geo/" + name;
    CreatePath(path);
    return path;
}

void Truncate(const std::string& path, size_t lose) {
    std::vector<uint8_t> bytes;
    ASSERT_EQ(ReadFileBytes(path, bytes), 0);
    bytes.resize(bytes.size() - lose);
    ASSERT_EQ(WriteFileBytes(path, bytes), 0);
}

void FillSample(CGeography& geography) {
    geography.SetMapURLs({"file:///maps/atlantic.txt", "bahamas.txt", std::string(300, 'x'),
                          "http://maps.example/world.txt?a=1&b=2"});
    geography.SetTerrain(CTerrain("Land", "Solid", 35, MakeRgb(0, 0, 0)));
    geography.SetTerrain(CTerrain("Sea", "Solid", 45, MakeRgb(0, 99, 99)));
    CImpactLines lines;
    lines.AddNLinePoint(178, 487);
    lines.AddNLinePoint(204, 487);
    lines.AddSLinePoint(184, 463);
    lines.AddSLinePoint(204, 461);
    geography.SetImpactLines(lines);
    CTrajectory trajectory;
    trajectory.AddTrajectoryPoint(184, 472);
    trajectory.AddTrajectoryPoint(240.125, 469);
    geography.SetTrajectory(trajectory);
}

TEST(GeographyFiles, AllFourRoundTrip) {
    CGeography saved;
    FillSample(saved);
    ASSERT_EQ(saved.SaveMapInfo(TempPath("a.hmi")), 0);
    ASSERT_EQ(saved.SaveTerrain(TempPath("a.htd")), 0);
    ASSERT_EQ(saved.SaveImpactLines(TempPath("a.hil")), 0);
    ASSERT_EQ(saved.SaveTrajectory(TempPath("a.hti")), 0);

    CGeography loaded;
    EXPECT_EQ(loaded.LoadMapInfo(TempPath("a.hmi")), 0);
    EXPECT_EQ(loaded.LoadTerrain(TempPath("a.htd")), 0);
    EXPECT_EQ(loaded.LoadImpactLines(TempPath("a.hil")), 0);
    EXPECT_EQ(loaded.LoadTrajectory(TempPath("a.hti")), 0);
    EXPECT_EQ(loaded.GetMapURLs(), saved.GetMapURLs());
    EXPECT_EQ(loaded.GetTerrain(), saved.GetTerrain());
    EXPECT_EQ(loaded.GetImpactLines(), saved.GetImpactLines());
    EXPECT_EQ(loaded.GetTrajectory(), saved.GetTrajectory());
}

TEST(GeographyFiles, TerrainTableIsCountedAndTagged) {
    CTerrainTable table;
    table[35] = CTerrain("Land", "Solid", 35, 0);
    table[45] = CTerrain("Sea", "Solid", 45, MakeRgb(0, 99, 99));
    const std::vector<uint8_t> bytes = TerrainBytes(table);
    EXPECT_EQ(bytes[0], 2); // 16-bit count
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[2], 35); // 16-bit code
    EXPECT_EQ(bytes[3], 0);
    EXPECT_EQ(bytes[4], 0xFF); // first object of its class: 0xFFFF, schema, name
    EXPECT_EQ(bytes[5], 0xFF);
    EXPECT_EQ(ReadTerrainBytes(bytes, "t.htd"), table);
}

TEST(GeographyFiles, MissingFileAnswersItsCauseAndChangesNothing) {
    CGeography geography;
    FillSample(geography);
    const auto urls = geography.GetMapURLs();
    EXPECT_EQ(geography.LoadMapInfo(TempPath("none.hmi")), ENOENT);
    EXPECT_EQ(geography.LoadTerrain(TempPath("none.htd")), ENOENT);
    EXPECT_EQ(geography.LoadImpactLines(TempPath("none.hil")), ENOENT);
    EXPECT_EQ(geography.GetMapURLs(), urls);
    EXPECT_EQ(geography.GetImpactLines().GetNLineCt(), 2);
    // A folder that is really a file cannot hold one.
    std::ofstream(TempPath("plain-file")) << "x";
    EXPECT_NE(geography.SaveImpactLines(TempPath("plain-file") + "/x.hil"), 0);
}

TEST(GeographyFiles, DamagedFilesThrowAndKeepWhatWasLoaded) {
    CGeography saved;
    FillSample(saved);
    ASSERT_EQ(saved.SaveMapInfo(TempPath("cut.hmi")), 0);
    ASSERT_EQ(saved.SaveTerrain(TempPath("cut.htd")), 0);
    ASSERT_EQ(saved.SaveImpactLines(TempPath("cut.hil")), 0);
    ASSERT_EQ(saved.SaveTrajectory(TempPath("cut.hti")), 0);
    for (const char* name : {"cut.hmi", "cut.htd", "cut.hil", "cut.hti"}) {
        Truncate(TempPath(name), 5);
    }
    CGeography geography;
    FillSample(geography);
    geography.SetMapURL(0, "kept");
    EXPECT_THROW(geography.LoadMapInfo(TempPath("cut.hmi")), ArchiveError);
    EXPECT_THROW(geography.LoadTerrain(TempPath("cut.htd")), ArchiveError);
    EXPECT_THROW(geography.LoadImpactLines(TempPath("cut.hil")), ArchiveError);
    try {
        geography.LoadTrajectory(TempPath("cut.hti"));
        FAIL() << "a cut trajectory file was read";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.File(), TempPath("cut.hti"));
        EXPECT_GT(error.Offset(), 0u);
    }
    EXPECT_EQ(geography.GetMapURL(0), "kept");
    EXPECT_EQ(geography.GetTerrain().size(), 2u);
    EXPECT_EQ(geography.GetImpactLines(), saved.GetImpactLines());
    EXPECT_EQ(geography.GetTrajectory(), saved.GetTrajectory());
}

TEST(GeographyFiles, HostileTerrainFilesAreRefused) {
    // A count of 70000 entries in a file of a few bytes, and a code beyond one byte.
    const std::vector<uint8_t> hostile = {0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00, 0, 0};
    EXPECT_THROW(ReadTerrainBytes(hostile, "h.htd"), ArchiveError);
    std::vector<uint8_t> wide = TerrainBytes({{35, CTerrain("Land", "Solid", 35, 0)}});
    wide[3] = 1; // code 35 + 256
    EXPECT_THROW(ReadTerrainBytes(wide, "w.htd"), ArchiveError);
}

TEST(GeographyTexts, MapsXmlAndListRows) {
    CGeography geography;
    FillSample(geography);
    EXPECT_EQ(geography.MapsXML(),
              "<Maps>\n<MapAlpha URL=\"file:///maps/atlantic.txt\"/>\n"
              "<MapBravo URL=\"bahamas.txt\"/>\n<MapCharlie URL=\"" +
                  std::string(300, 'x') +
                  "\"/>\n<GlobalMap URL=\"http://maps.example/world.txt?a=1&amp;b=2\"/>\n</Maps>");
    const std::vector<CLineRow> rows = geography.ImpactLineRows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1].type, "Northern Line");
    EXPECT_EQ(rows[2].type, "Southern Line");
    EXPECT_EQ(rows[2].latitude, "184.000");
    const std::vector<CLineRow> track = geography.TrajectoryRows();
    ASSERT_EQ(track.size(), 2u);
    EXPECT_EQ(track[1].type, "Trajectory");
    EXPECT_EQ(track[1].latitude, "240.125");
    EXPECT_EQ(track[1].longitude, "469.000");
}

TEST(GeographyReadiness, NeedsTwoPointsPerLineAndAllFourAddresses) {
    CGeography geography;
    EXPECT_FALSE(geography.HasTrajectory());
    EXPECT_FALSE(geography.HasImpactLines());
    EXPECT_FALSE(geography.HasMapURLs());
    FillSample(geography);
    EXPECT_TRUE(geography.HasTrajectory());
    EXPECT_TRUE(geography.HasImpactLines());
    EXPECT_TRUE(geography.HasMapURLs());
    CImpactLines lines = geography.GetImpactLines();
    lines.RemoveSLine();
    lines.AddSLinePoint(1, 1);
    geography.SetImpactLines(lines);
    EXPECT_FALSE(geography.HasImpactLines());
    geography.SetMapURL(2, "");
    EXPECT_FALSE(geography.HasMapURLs());
    EXPECT_EQ(geography.GetMapURL(7), geography.GetMapURL(3));
}

} // namespace
} // namespace halyx
