// The terrain colour codes as the geography page edits them, and the texts the stations get.
#include "scenario/geography.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

struct RecordingView : IGeographyView {
    std::vector<std::string> messages;
    void ShowMessage(const std::string& text, bool) override { messages.push_back(text); }
};

TEST(TerrainCodes, AddingAnExistingCodeReplacesItsRecordAndKeepsOneEntry) {
    CGeography geography;
    RecordingView view;
    ASSERT_TRUE(geography.AddTerrainFromFields({"Land", "Solid", 35, 0, 0, 0}, view));
    ASSERT_TRUE(geography.AddTerrainFromFields({"Sea", "Solid", 45, 0, 99, 99}, view));
    ASSERT_TRUE(geography.AddTerrainFromFields({"Marsh", "Hatch", 35, 10, 20, 30}, view));
    EXPECT_EQ(geography.TerrainCodeTexts(), (std::vector<std::string>{"35", "45"}));
    const CTerrain& marsh = geography.GetTerrain().at(35);
    EXPECT_EQ(marsh.name(), "Marsh");
    EXPECT_EQ(marsh.style(), "Hatch");
    EXPECT_EQ(marsh.colour(), MakeRgb(10, 20, 30));
    EXPECT_TRUE(view.messages.empty());
}

TEST(TerrainCodes, EmptyNameOrStyleOrABadByteIsRefused) {
    CGeography geography;
    RecordingView view;
    EXPECT_FALSE(geography.AddTerrainFromFields({"", "Solid", 1, 0, 0, 0}, view));
    EXPECT_FALSE(geography.AddTerrainFromFields({"Land", "", 1, 0, 0, 0}, view));
    EXPECT_FALSE(geography.AddTerrainFromFields({"Land", "Solid", 256, 0, 0, 0}, view));
    EXPECT_FALSE(geography.AddTerrainFromFields({"Land", "Solid", 1, 0, -1, 0}, view));
    EXPECT_EQ(view.messages,
              (std::vector<std::string>{"Please fill in all Color Code Fields",
                                        "Please fill in all Color Code Fields",
                                        "Please enter an integer between 0 and 255.",
                                        "Please enter an integer between 0 and 255."}));
    EXPECT_TRUE(geography.GetTerrain().empty());
}

TEST(TerrainCodes, RemovingSelectsTheFirstRemainingCode) {
    CGeography geography;
    RecordingView view;
    geography.SetTerrain(CTerrain("A", "Solid", 7, 0));
    geography.SetTerrain(CTerrain("B", "Solid", 9, 0));
    geography.SetTerrain(CTerrain("C", "Solid", 12, 0));

    EXPECT_EQ(geography.RemoveTerrainBySelection(std::nullopt, view), std::nullopt);
    EXPECT_EQ(geography.GetTerrain().size(), 3u);

    EXPECT_EQ(geography.RemoveTerrainBySelection(std::string("9"), view), uint8_t{7});
    EXPECT_EQ(geography.TerrainCodeTexts(), (std::vector<std::string>{"7", "12"}));

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

TEST(TerrainCodes, ObserversHearOfEveryChange) {
    CGeography geography;
    std::vector<GeographyChange> changes;
    const int token = geography.Subscribe([&](GeographyChange c) { changes.push_back(c); });
    geography.SetTerrain(CTerrain("A", "Solid", 7, 0));
    geography.SetMapURL(0, "a.txt");
    geography.Unsubscribe(token);
    geography.RemoveTerrain(7);
    EXPECT_EQ(changes, (std::vector<GeographyChange>{GeographyChange::Terrain,
                                                     GeographyChange::MapAddresses}));
}

} // namespace
} // namespace halyx
