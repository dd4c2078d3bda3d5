// The geography's own files and the terrain codes as the geography page edits them.
#include "scenariotest.h"

#include <cerrno>

namespace halyx {
namespace {

using test::RecordingView;

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

TEST(GeographyFiles, AllFourRoundTripAndMissingOrDamagedFilesChangeNothing) {
    const std::string dir = test::FreshFolder("geography");
    CGeography saved;
    FillSample(saved);
    ASSERT_EQ(saved.SaveMapInfo(dir + "a.hmi"), 0);
    ASSERT_EQ(saved.SaveTerrain(dir + "a.htd"), 0);
    ASSERT_EQ(saved.SaveImpactLines(dir + "a.hil"), 0);
    ASSERT_EQ(saved.SaveTrajectory(dir + "a.hti"), 0);
    CGeography loaded;
    EXPECT_EQ(loaded.LoadMapInfo(dir + "a.hmi"), 0);
    EXPECT_EQ(loaded.LoadTerrain(dir + "a.htd"), 0);
    EXPECT_EQ(loaded.LoadImpactLines(dir + "a.hil"), 0);
    EXPECT_EQ(loaded.LoadTrajectory(dir + "a.hti"), 0);
    EXPECT_EQ(loaded.GetMapURLs(), saved.GetMapURLs());
    EXPECT_EQ(loaded.GetTerrain(), saved.GetTerrain());
    EXPECT_EQ(loaded.GetImpactLines(), saved.GetImpactLines());
    EXPECT_EQ(loaded.GetTrajectory(), saved.GetTrajectory());

    // A missing file answers its cause (the archive's errno) and changes nothing.
    EXPECT_EQ(loaded.LoadMapInfo(dir + "none.hmi"), ENOENT);
    EXPECT_EQ(loaded.LoadImpactLines(dir + "none.hil"), ENOENT);
    EXPECT_EQ(loaded.GetMapURLs(), saved.GetMapURLs());
    EXPECT_EQ(loaded.GetImpactLines().GetNLineCt(), 2);

    // Damaged files throw, say where, and keep what was loaded.
    for (const char* name : {"a.hmi", "a.htd", "a.hil", "a.hti"}) {
        std::vector<uint8_t> bytes;
        ASSERT_EQ(ReadFileBytes(dir + name, bytes), 0);
        bytes.resize(bytes.size() - 5);
        ASSERT_EQ(WriteFileBytes(dir + name, bytes), 0);
    }
    loaded.SetMapURL(0, "kept");
    EXPECT_THROW(loaded.LoadMapInfo(dir + "a.hmi"), ArchiveError);
    EXPECT_THROW(loaded.LoadTerrain(dir + "a.htd"), ArchiveError);
    EXPECT_THROW(loaded.LoadImpactLines(dir + "a.hil"), ArchiveError);
    const ArchiveError error =
        test::ThrownArchiveError([&] { loaded.LoadTrajectory(dir + "a.hti"); });
    EXPECT_EQ(error.File(), dir + "a.hti");
    EXPECT_GT(error.Offset(), 0u);
    EXPECT_EQ(loaded.GetMapURL(0), "kept");
    EXPECT_EQ(loaded.GetTerrain(), saved.GetTerrain());
    EXPECT_EQ(loaded.GetImpactLines(), saved.GetImpactLines());
    EXPECT_EQ(loaded.GetTrajectory(), saved.GetTrajectory());
}

TEST(GeographyFiles, TerrainTableIsCountedAndTaggedAndHostileTablesAreRefused) {
    CTerrainTable table;
    table[35] = CTerrain("Land", "Solid", 35, 0);
    table[45] = CTerrain("Sea", "Solid", 45, MakeRgb(0, 99, 99));
    const std::vector<uint8_t> bytes = TerrainBytes(table);
    // A 16-bit count, a 16-bit code, then the first object of its class: 0xFFFF, schema, name.
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 6),
              (std::vector<uint8_t>{2, 0, 35, 0, 0xFF, 0xFF}));

    // A count of 70000 entries in a file of a few bytes, and a code beyond one byte.
    const std::vector<uint8_t> hostile = {0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00, 0, 0};
    EXPECT_THROW(ReadTerrainBytes(hostile, "h.htd"), ArchiveError);
    std::vector<uint8_t> wide = TerrainBytes({{35, CTerrain("Land", "Solid", 35, 0)}});
    wide[3] = 1; // code 35 + 256
    EXPECT_THROW(ReadTerrainBytes(wide, "w.htd"), ArchiveError);
}

TEST(GeographyTexts, MapsXmlListRowsAndReadiness) {
    CGeography geography;
    EXPECT_FALSE(geography.HasTrajectory());
    EXPECT_FALSE(geography.HasImpactLines());
    EXPECT_FALSE(geography.HasMapURLs());
    FillSample(geography);
    EXPECT_EQ(geography.MapsXML(),
              "<Maps>\n<MapAlpha URL=\"file:///maps/atlantic.txt\"/>\n"
              "<MapBravo URL=\"bahamas.txt\"/>\n<MapCharlie URL=\"" +
                  std::string(300, 'x') +
                  "\"/>\n<GlobalMap URL=\"http://maps.example/world.txt?a=1&amp;b=2\"/>\n</Maps>");
    const std::vector<CLineRow> rows = geography.ImpactLineRows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[2].type, "Southern Line");
    EXPECT_EQ(rows[2].latitude, "184.000");
    const std::vector<CLineRow> track = geography.TrajectoryRows();
    ASSERT_EQ(track.size(), 2u);
    EXPECT_EQ(track[1].latitude, "240.125");
    EXPECT_EQ(track[1].longitude, "469.000");

    // Ready needs two points per line and all four addresses.
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

TEST(TerrainCodes, AddingReplacesByCodeBadFieldsAreRefusedAndRemovingSelectsTheFirstLeft) {
    CGeography geography;
    RecordingView view;
    ASSERT_TRUE(geography.AddTerrainFromFields({"Land", "Solid", 35, 0, 0, 0}, view));
    ASSERT_TRUE(geography.AddTerrainFromFields({"Sea", "Solid", 45, 0, 99, 99}, view));
    ASSERT_TRUE(geography.AddTerrainFromFields({"Marsh", "Hatch", 35, 10, 20, 30}, view));
    EXPECT_EQ(geography.TerrainCodeTexts(), (std::vector<std::string>{"35", "45"}));
    EXPECT_EQ(geography.GetTerrain().at(35), CTerrain("Marsh", "Hatch", 35, MakeRgb(10, 20, 30)));
    EXPECT_TRUE(view.messages.empty());

    const std::string fill = "Please fill in all Color Code Fields";
    const std::string byte = "Please enter an integer between 0 and 255.";
    const std::pair<CTerrainFields, std::string> refused[] = {
        {{"", "Solid", 1, 0, 0, 0}, fill},
        {{"Land", "", 1, 0, 0, 0}, fill},
        {{"Land", "Solid", 256, 0, 0, 0}, byte},
        {{"Land", "Solid", 1, 0, -1, 0}, byte}};
    for (const auto& [fields, message] : refused) {
        view.messages.clear();
        EXPECT_FALSE(geography.AddTerrainFromFields(fields, view)) << message;
        EXPECT_EQ(view.messages, std::vector<std::string>{message});
    }
    EXPECT_EQ(geography.GetTerrain().size(), 2u);

    // Removing selects the first remaining code, and observers hear of changes.
    std::vector<GeographyChange> changes;
    const int token = geography.Subscribe([&](GeographyChange c) { changes.push_back(c); });
    geography.SetTerrain(CTerrain("A", "Solid", 7, 0));
    geography.SetMapURL(0, "a.txt");
    geography.Unsubscribe(token);
    EXPECT_EQ(changes, (std::vector<GeographyChange>{GeographyChange::Terrain,
                                                     GeographyChange::MapAddresses}));
    geography.SetTerrain(CTerrain("B", "Solid", 9, 0));
    view.messages.clear();
    EXPECT_EQ(geography.RemoveTerrainBySelection(std::nullopt, view), std::nullopt);
    EXPECT_EQ(geography.GetTerrain().size(), 4u);
    EXPECT_EQ(geography.RemoveTerrainBySelection(std::string("9"), view), uint8_t{7});
    EXPECT_EQ(geography.TerrainCodeTexts(), (std::vector<std::string>{"7", "35", "45"}));
    EXPECT_EQ(geography.RemoveTerrainBySelection(std::string("9"), view), std::nullopt);
    EXPECT_EQ(view.messages, std::vector<std::string>{"Error Accessing Data"});
}

TEST(TerrainCodes, KqmlListsEveryEntryWithItsColourBytes) {
    CGeography geography;
    EXPECT_EQ(geography.TerrainKQML(), "tell :number 0 ");
    geography.SetTerrain(CTerrain("Sea", "Solid", 45, MakeRgb(0, 99, 99)));
    geography.SetTerrain(CTerrain("Land", "Solid", 35, MakeRgb(0, 0, 0)));
    EXPECT_EQ(geography.TerrainKQML(),
              "tell :number 2 :0 (tell :style Solid :code 35 :name Land :r 0 :g 0 :b 0) "
              ":1 (tell :style Solid :code 45 :name Sea :r 0 :g 99 :b 99) ");
}

} // namespace
} // namespace halyx
