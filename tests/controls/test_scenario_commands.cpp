// The undo steps of scenario edits: removals put every unit back in its place, edits of one unit
// merge, batches are one step, and a change that changes nothing pushes nothing.
#include "controls/scenariocommands.h"
#include "scenario/scenario.h"

#include <QUndoStack>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace halyx {
namespace {

CIncursion Incursion(const std::string& name, const std::string& id) {
    return CIncursion(name, id, "10", "20", "100", "90", "3");
}

std::vector<std::string> Ids(const CUnitList<CIncursion>& list) {
    std::vector<std::string> ids;
    for (const CIncursion& unit : list) {
        ids.push_back(unit.GetId());
    }
    return ids;
}

struct ScenarioCommands : ::testing::Test {
    CScenario scenario;
    QUndoStack stack;
    std::vector<ScenarioChange> changes;
    void SetUp() override {
        scenario.Subscribe([this](ScenarioChange change, int) { changes.push_back(change); });
    }
    void AddFive() {
        for (int i = 0; i < 5; ++i) {
            PushAddUnit(stack, scenario, Incursion("Same", "id" + std::to_string(i)));
        }
    }
};

TEST_F(ScenarioCommands, RemovalsAndReplacementsUndoToTheSameOrder) {
    AddFive();
    // Scattered IDs in any order, one unknown: the rest go, undo puts each back in place.
    PushRemoveUnits(stack, scenario, UnitKind::Incursion, {"id3", "id0", "id4", "missing"});
    EXPECT_EQ(Ids(scenario.Incursions()), (std::vector<std::string>{"id1", "id2"}));
    stack.undo();
    EXPECT_EQ(Ids(scenario.Incursions()),
              (std::vector<std::string>{"id0", "id1", "id2", "id3", "id4"}));
    stack.redo();
    const int count = stack.count();
    PushRemoveUnits(stack, scenario, UnitKind::Incursion, {"id3"}); // nothing left to remove
    EXPECT_EQ(stack.count(), count);

    PushReplaceUnits(stack, scenario, std::vector<CIncursion>{Incursion("Loaded", "L")});
    EXPECT_EQ(Ids(scenario.Incursions()), (std::vector<std::string>{"L"}));
    stack.undo();
    EXPECT_EQ(Ids(scenario.Incursions()), (std::vector<std::string>{"id1", "id2"}));

    // A large batch: every other unit removed, then all of them.
    PushRemoveAllUnits(stack, scenario, UnitKind::Incursion);
    std::vector<CIncursion> many;
    std::vector<std::string> odd;
    for (int i = 0; i < 300; ++i) {
        many.push_back(Incursion("U", std::to_string(i)));
        if (i % 2 == 1) {
            odd.push_back(std::to_string(i));
        }
    }
    PushAddUnits(stack, scenario, many);
    const auto before = Ids(scenario.Incursions());
    PushRemoveUnits(stack, scenario, UnitKind::Incursion, odd);
    EXPECT_EQ(scenario.Incursions().Count(), 150);
    EXPECT_EQ(scenario.Incursions().At(1).GetId(), "2");
    stack.undo();
    EXPECT_EQ(Ids(scenario.Incursions()), before);
    PushRemoveAllUnits(stack, scenario, UnitKind::Incursion);
    EXPECT_TRUE(scenario.Incursions().Empty());
    stack.undo();
    EXPECT_EQ(Ids(scenario.Incursions()), before);
    stack.undo(); // the batch add
    EXPECT_TRUE(scenario.Incursions().Empty());
}

TEST_F(ScenarioCommands, EditsOfOneUnitMergeAndUnchangedEditsPushNothing) {
    AddFive();
    CIncursion changed = scenario.Incursions().At(2);
    changed.SetSpeed("200");
    PushEditUnit(stack, scenario, changed);
    changed.SetHeading("45");
    PushEditUnit(stack, scenario, changed);
    EXPECT_EQ(stack.count(), 6); // five adds and one merged edit
    PushEditUnit(stack, scenario, changed);
    EXPECT_EQ(stack.count(), 6);
    // Another unit of the same name is a separate step, matched by ID.
    CIncursion other = scenario.Incursions().At(3);
    other.SetSpeed("1");
    PushEditUnit(stack, scenario, other);
    EXPECT_EQ(stack.count(), 7);
    stack.undo();
    stack.undo();
    EXPECT_EQ(scenario.Incursions().At(2), Incursion("Same", "id2"));
    EXPECT_EQ(scenario.Incursions().At(3), Incursion("Same", "id3"));

    // Generated units: fresh names after the existing ones, one step, none for a count of 0.
    scenario.Radars().Add(CRadar("Radar 0", "r0", "1", "2", "3", "-", "-"));
    EXPECT_EQ(PushGenerateUnits(stack, scenario, UnitKind::Radar, 2), 2);
    ASSERT_EQ(scenario.Radars().Count(), 3);
    EXPECT_EQ(scenario.Radars().At(2).GetName(), "Radar 2");
    EXPECT_EQ(PushGenerateUnits(stack, scenario, UnitKind::Radar, 0), 0);
    EXPECT_EQ(stack.count(), 6); // the two undone edits gave way to the generation
    stack.undo();
    EXPECT_EQ(scenario.Radars().Count(), 1);
}

TEST_F(ScenarioCommands, WeatherEditsAndRegenerationUndoToTheOldGrid) {
    CWeatherMap& map = scenario.Weather();
    map.Generate(1600, 0.3, 4.0);
    const auto before = WeatherFileBytes(map);

    // A typed value into a slot without a cell (the grid's corner) creates it; undo empties the
    // slot again.
    const int64_t empty = 0;
    ASSERT_EQ(map.GetCell(empty), nullptr);
    EXPECT_TRUE(PushWeatherCellEdit(stack, scenario, empty, kHumidity, 7.5));
    ASSERT_NE(map.GetCell(empty), nullptr);
    EXPECT_EQ(map.GetCell(empty)->GetHumidity(), 7.5);
    EXPECT_EQ(map.GetCell(empty)->GetTemperature(), 0.0);
    stack.undo();
    EXPECT_EQ(map.GetCell(empty), nullptr);
    EXPECT_FALSE(PushWeatherCellEdit(stack, scenario, map.GetCount(), kHumidity, 1.0));

    PushWeatherChange(stack, scenario, "Update", [](CWeatherMap& m) {
        m.SetSeason(3);
        m.Generate(1600, 0.0, 0.0);
    });
    ASSERT_EQ(stack.count(), 1);
    const auto after = WeatherFileBytes(map);
    stack.undo();
    EXPECT_EQ(WeatherFileBytes(map), before);
    stack.redo();
    EXPECT_EQ(WeatherFileBytes(map), after);
    // The same regeneration again changes nothing and pushes nothing.
    PushWeatherChange(stack, scenario, "Update", [](CWeatherMap& m) { m.Generate(1600, 0, 0); });
    EXPECT_EQ(stack.count(), 1);
}

TEST_F(ScenarioCommands, GeographyEditsNotifyAndUndo) {
    auto urls = scenario.Geography().GetMapURLs();
    const auto old = urls;
    urls[1] = "file:///tmp/other.txt";
    changes.clear();
    PushMapAddresses(stack, scenario, urls);
    EXPECT_EQ(scenario.Geography().GetMapURL(1), "file:///tmp/other.txt");
    EXPECT_FALSE(changes.empty());
    stack.undo();
    EXPECT_EQ(scenario.Geography().GetMapURLs(), old);

    const CTerrainTable oldTerrain = scenario.Geography().GetTerrain();
    PushTerrain(stack, scenario, CTerrainTable());
    EXPECT_TRUE(scenario.Geography().GetTerrain().empty());
    stack.undo();
    EXPECT_EQ(scenario.Geography().GetTerrain(), oldTerrain);
}

} // namespace
} // namespace halyx
