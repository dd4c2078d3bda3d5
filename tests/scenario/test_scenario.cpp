// The whole scenario in memory: the one the station starts with, and its XML form.
#include "scenariotest.h"

#include "common/random.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"
#include "scenario/scenarioxml.h"

#include <array>

namespace halyx {
namespace {

TEST(DefaultScenario, HoldsTheStartUpUnitsWithTheirOddTextsAndAReadyGeography) {
    CScenario scenario;
    scenario.Radars().Add(CRadar("Old", "1", "1", "1", "1", "", ""));
    int replaced = 0;
    scenario.Subscribe([&](ScenarioChange, int) { ++replaced; });
    LoadDefaultScenario(scenario, "/maps/");
    EXPECT_EQ(replaced, 1);
    ASSERT_EQ(scenario.Radars().Count(), 12);
    ASSERT_EQ(scenario.Incursions().Count(), 9);
    ASSERT_EQ(scenario.Interceptors().Count(), 14);

    EXPECT_EQ(scenario.Radars().At(9).GetLat(), "178"); // "Key Largo"

    const CIncursion& seeBreeze = scenario.Incursions().At(7);
    EXPECT_EQ(seeBreeze.GetName(), "SeeBreeze");
    EXPECT_EQ(seeBreeze.GetTime(), "00");
    EXPECT_EQ(scenario.Incursions().At(8).GetLng(), "395.4");
    EXPECT_EQ(scenario.Incursions().At(1).GetName(), scenario.Incursions().At(2).GetName());

    EXPECT_EQ(scenario.Interceptors().At(7).GetMinRange(), 2);   // "Patrol Boat"
    EXPECT_EQ(scenario.Interceptors().At(13).GetScope(), "air"); // "Cessner"

    // The geography is ready to initialise a simulation; the map folder becomes file addresses.
    LoadDefaultScenario(scenario, "/srv/halyx maps");
    const CGeography& geography = scenario.Geography();
    EXPECT_TRUE(geography.HasTrajectory());
    EXPECT_TRUE(geography.HasImpactLines());
    EXPECT_TRUE(geography.HasMapURLs());
    EXPECT_EQ(geography.GetImpactLines().GetSLine().back(), (CLatLng{870, 159}));
    EXPECT_EQ(geography.GetTrajectory().GetTrajectory().front(), (CLatLng{184, 472}));
    EXPECT_EQ(geography.GetTerrain().at(45), CTerrain("Sea", "Solid", 45, MakeRgb(0, 99, 99)));
    EXPECT_EQ(geography.GetMapURLs(),
              (std::array<std::string, 4>{
                  "file:///srv/halyx%20maps/atlantic.txt", "file:///srv/halyx%20maps/bahamas.txt",
                  "file:///srv/halyx%20maps/florida.txt", "file:///srv/halyx%20maps/world.txt"}));
}

TEST(ScenarioXml, ReadsBackIntoAnotherScenario) {
    // An empty list still writes its element: the XML of an empty scenario reads back whole.
    pugi::xml_document document;
    CScenario read;
    const CScenarioXmlResult empty =
        ReadScenarioXml(test::ParseXml(document, ScenarioXml(CScenario())), read);
    EXPECT_EQ(empty.parts, 7);
    EXPECT_TRUE(empty.problems.empty());

    SeedRandom(5);
    CScenario original;
    LoadDefaultScenario(original, "/maps/");
    original.Weather().Generate(1600, 0.3, 4.0);
    const std::string xml = ScenarioXml(original);
    // As at start-up, the grid exists before a scenario is read into it; the XML names cells.
    read.Weather().Generate(1600, 0.3, 4.0);
    read.Geography().SetMapURL(0, "kept");
    const CScenarioXmlResult result = ReadScenarioXml(test::ParseXml(document, xml), read);
    EXPECT_EQ(result.parts, 7);
    EXPECT_TRUE(result.problems.empty());
    // The addresses come back only from a set's map file, never from the XML.
    EXPECT_EQ(read.Geography().GetMapURL(0), "kept");
    // Every unit, line and weather cell is back (what the XML form leaves out: UnitXml).
    read.Geography().SetMapURLs(original.Geography().GetMapURLs());
    EXPECT_EQ(ScenarioXml(read), xml);
}

TEST(ScenarioXml, PrefixedNamesUnknownPartsAndBadLinesAreHandled) {
    const std::string xml =
        "<h:Scenario xmlns:h=\"urn:halyx\"><h:Radars><Radar Name=\"R\" ID=\"1\" Lat=\"2\" "
        "Lng=\"3\" Range=\"4\"/></h:Radars><Plumes/>"
        "<ImpactLines><NLine><Point Lat=\"1\"/></NLine></ImpactLines>"
        "<Trajectory><Point Lat=\"5\" Lng=\"6\"/></Trajectory></h:Scenario>";
    pugi::xml_document document;
    CScenario read;
    CImpactLines lines;
    lines.AddNLinePoint(9, 9);
    read.Geography().SetImpactLines(lines);
    const CScenarioXmlResult result = ReadScenarioXml(test::ParseXml(document, xml), read);
    EXPECT_EQ(result.parts, 3);
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(read.Radars().Count(), 1);
    EXPECT_EQ(read.Geography().GetImpactLines(), lines);
    EXPECT_EQ(read.Geography().GetTrajectory().GetTrajectoryCt(), 1);
}

} // namespace
} // namespace halyx
