// The scenario check and its metrics on hand-made scenarios whose findings and figures were
// worked out on paper (courses with heading 0 run straight up the longitude, so positions are
// exact), and on the default scenario, which must come out clean.
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"
#include "study/check.h"
#include "study/metrics.h"
#include "testhome.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace halyx {
namespace {

std::string MapFile() {
    const std::string path = test::FreshFolder("map") + "map.txt";
    std::ofstream(path) << "map\n";
    return path;
}

std::vector<std::string> Lines(const std::vector<CFinding>& findings) {
    std::vector<std::string> lines;
    for (const CFinding& finding : findings) {
        lines.push_back(FindingLine(finding));
    }
    return lines;
}

TEST(ScenarioCheck, EachKindOfFaultIsFoundOnceWithItsUnit) {
    CScenario scenario;
    LoadDefaultScenario(scenario); // for its trajectory; the units are the test's own
    const std::string map = MapFile();
    scenario.Geography().SetMapURLs({"", map + ".gone", "http:///x", "https://example.org/m.txt"});
    auto& incursions = scenario.Incursions();
    incursions.RemoveAll();
    incursions.Add(CIncursion("Seen", "A", "500", "300", "60", "0", "0"));
    incursions.Add(CIncursion("Off", "B", "500", "90", "0", "0", "0"));
    incursions.Add(CIncursion("Twin", "A", "500", "300", "0", "0", "-"));
    incursions.Add(CIncursion("", "D", "500", "300", "0", "0", "0"));
    incursions.Add(CIncursion("Junk", "E", "500", "300", "fast", "0", "0"));
    incursions.Add(CIncursion("Hidden", "F", "200", "300", "0", "0", "0"));
    incursions.Add(CIncursion("Lost", "G", "900", "600", "0", "0", "0"));
    incursions.Add(CIncursion("Late", "H", "500", "300", "0", "0", "1000"));
    // An ID may repeat across kinds: radar "A" is no finding.
    scenario.Radars().RemoveAll();
    scenario.Radars().Add(CRadar("Main", "A", "500", "300", "250", "-", "-"));
    scenario.Radars().Add(CRadar("North", "R2", "100", "600", "far", "-", "-"));
    scenario.Interceptors().RemoveAll();
    scenario.Interceptors().Add(CInterceptor("Home", "I1", 500, 300, 60, 0, 400, 0, "sea"));
    scenario.Interceptors().Add(CInterceptor("Off", "I2", -5, 300, 60, 0, 10, 0, "sea"));
    CWeatherMap& weather = scenario.Weather();
    weather.SetRows(CWeatherMap::kGridRows);
    weather.SetCols(CWeatherMap::kGridCols);
    weather.Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
    // The launch site, the trajectory's first point, loses one hourly layer of its cell.
    const int64_t site = weather.SlotOfPoint(184, 472);
    ASSERT_TRUE(weather.ReplaceCell(site + 3 * CWeatherMap::kCellsPerLayer, nullptr));

    const std::vector<std::string> expected = {
        "ERROR incursion B position 500.000, 90.000 lies outside the editable region "
        "(latitude 0 to 950, longitude 95 to 655)",
        "ERROR incursion A ID is also held by unit 1 of this kind",
        "WARNING incursion D has no name",
        "ERROR incursion E Speed \"fast\" is not a number",
        // B lies outside, but a radar and an interceptor still cover where it is.
        "WARNING incursion F never enters any radar's range during the launch window "
        "(undetectable)",
        "WARNING incursion G never enters any radar's range during the launch window "
        "(undetectable)",
        "WARNING incursion G no interceptor can reach it before the launch window closes",
        "ERROR incursion H starts at minute 1000, after the launch window closes at minute 960",
        "ERROR radar R2 Range \"far\" is not a number",
        "ERROR interceptor I2 position -5.000, 300.000 lies outside the editable region "
        "(latitude 0 to 950, longitude 95 to 655)",
        "ERROR maps Map Alpha has no address",
        "ERROR maps Map Bravo cannot read " + map + ".gone: no such file",
        "ERROR maps Map Charlie \"http:///x\" is not a well-formed web address",
        "WARNING weather - no weather at grid row " + std::to_string(site / 40) + ", column " +
            std::to_string(site % 40) + " under the trajectory (1 of 16 hourly layers)",
    };
    const std::vector<CFinding> findings = CheckScenario(scenario);
    EXPECT_EQ(Lines(findings), expected);
    EXPECT_TRUE(HasErrors(findings));
    // The report selects units by their place in the list, repeated IDs included.
    EXPECT_EQ(findings[1].unitIndex, 2);
    EXPECT_EQ(findings[1].unitKind, UnitKind::Incursion);
    EXPECT_EQ(findings[8].unitKind, UnitKind::Radar);
    EXPECT_EQ(findings[9].unitKind, UnitKind::Interceptor);
    EXPECT_EQ(findings.back().component, FindingComponent::Weather);
    EXPECT_EQ(findings.back().unitKind, std::nullopt);
    EXPECT_EQ(findings[9].unitIndex, 1);
}

TEST(ScenarioCheck, DefaultScenarioWithItsWeatherIsClean) {
    CScenario scenario;
    LoadDefaultScenario(scenario, std::string(HALYX_SOURCE_DIR) + "/data/maps/");
    scenario.Weather().SetRows(CWeatherMap::kGridRows);
    scenario.Weather().SetCols(CWeatherMap::kGridCols);
    scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
    EXPECT_EQ(Lines(CheckScenario(scenario)), std::vector<std::string>{});

    // Without a weather grid the whole trajectory lacks weather: one warning, not a thousand.
    scenario.Weather().Clear();
    const std::vector<CFinding> findings = CheckScenario(scenario);
    ASSERT_EQ(findings.size(), 1U);
    EXPECT_EQ(findings[0].severity, FindingSeverity::Warning);
    EXPECT_FALSE(HasErrors(findings));
}

TEST(ScenarioMetrics, MatchTheFiguresWorkedOutByHand) {
    CScenario scenario;
    const std::string map = MapFile();
    scenario.Geography().SetMapURLs({map, map, map, map});
    // Radars of range 50 at (500, 300) and (300, 300); interceptors at 60 an hour (one unit a
    // minute) from (500, 200) and (300, 200), neither going beyond 300 from home.
    scenario.Radars().Add(CRadar("R1", "R1", "500", "300", "50", "-", "-"));
    scenario.Radars().Add(CRadar("R2", "R2", "300", "300", "50", "-", "-"));
    scenario.Interceptors().Add(CInterceptor("I1", "I1", 500, 200, 60, 0, 300, 0, "sea"));
    scenario.Interceptors().Add(CInterceptor("I2", "I2", 300, 200, 60, 0, 300, 0, "sea"));
    // Still on R1 from minute 0; I1 is 100 away: reached at minute 100 (margin 860). Nearest
    // station 0.
    scenario.Incursions().Add(CIncursion("A", "A", "500", "300", "0", "0", "0"));
    // From minute 30 at (300, 150), one unit a minute up: R2 sees it at lng 250, minute 130;
    // I2 (at lng 200) is |m - 80| away, no more than m from minute 40 (margin 920). Station 1.
    scenario.Incursions().Add(CIncursion("B", "B", "300", "150", "60", "0", "30"));
    // Still at (900, 620): no radar, 580 from I1 (beyond its 300). Station 0.
    scenario.Incursions().Add(CIncursion("C", "C", "900", "620", "0", "0", "0"));

    // Mean first detection (0 + 130) / 2, margins 860 and 920, C undetected and unreachable.
    EXPECT_EQ(MetricsCsvRow("a,b.hsf", ComputeMetrics(scenario)),
              "\"a,b.hsf\",3,2,2,0,0,2,1,1,0,65.00,860,890.00,2,1,0");

    // No incursion at all: the minute and margin cells stay empty rather than read 0.
    scenario.Incursions().RemoveAll();
    EXPECT_EQ(MetricsCsvRow("e.hsf", ComputeMetrics(scenario)), "e.hsf,0,2,2,0,0,0,0,0,,,,,0,0,0");
}

} // namespace
} // namespace halyx
