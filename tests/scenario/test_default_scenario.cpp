// The scenario the station starts with, so that a simulation can be initialised without loading
// any file: its units with their exact texts, and a geography that is ready.
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace halyx {
namespace {

TEST(DefaultScenario, HoldsTheStartUpUnitsAndTheirOddTexts) {
    CScenario scenario;
    scenario.Radars().Add(CRadar("Old", "1", "1", "1", "1", "", ""));
    int replaced = 0;
    scenario.Subscribe([&](ScenarioChange change, int) {
        ++replaced;
        (void)change;
    });
    LoadDefaultScenario(scenario, "/maps/");
    EXPECT_EQ(replaced, 1);
    ASSERT_EQ(scenario.Radars().Count(), 12);
    ASSERT_EQ(scenario.Incursions().Count(), 9);
    ASSERT_EQ(scenario.Interceptors().Count(), 14);

    EXPECT_EQ(scenario.Radars().At(0).GetName(), "Natal");
    EXPECT_EQ(scenario.Radars().At(9).GetName(), "Key Largo");
    EXPECT_EQ(scenario.Radars().At(9).GetLat(), "178");
    EXPECT_EQ(scenario.Radars().At(11).GetRange(), "140");
    EXPECT_EQ(scenario.Radars().At(11).GetLife(), "-");

    const CIncursion& seeBreeze = scenario.Incursions().At(7);
    EXPECT_EQ(seeBreeze.GetName(), "SeeBreeze");
    EXPECT_EQ(seeBreeze.GetTime(), "00");
    const CIncursion& sloBar = scenario.Incursions().At(8);
    EXPECT_EQ(sloBar.GetLng(), "395.4");
    EXPECT_EQ(scenario.Incursions().At(1).GetName(), scenario.Incursions().At(2).GetName());

    const CInterceptor& patrol = scenario.Interceptors().At(7);
    EXPECT_EQ(patrol.GetName(), "Patrol Boat");
    EXPECT_EQ(patrol.GetLat(), 572);
    EXPECT_EQ(patrol.GetMinRange(), 2);
    EXPECT_EQ(scenario.Interceptors().At(13).GetName(), "Cessner");
    EXPECT_EQ(scenario.Interceptors().At(13).GetScope(), "air");
    EXPECT_EQ(scenario.Interceptors().At(8).GetSpeed(), 1000);
}

TEST(DefaultScenario, GeographyIsReadyToInitialise) {
    CScenario scenario;
    LoadDefaultScenario(scenario, "/srv/halyx maps");
    const CGeography& geography = scenario.Geography();
    EXPECT_TRUE(geography.HasTrajectory());
    EXPECT_TRUE(geography.HasImpactLines());
    EXPECT_TRUE(geography.HasMapURLs());
    EXPECT_EQ(geography.GetImpactLines().GetNLineCt(), 9);
    EXPECT_EQ(geography.GetImpactLines().GetSLineCt(), 21);
    EXPECT_EQ(geography.GetImpactLines().GetSLine().back(), (CLatLng{870, 159}));
    EXPECT_EQ(geography.GetTrajectory().GetTrajectory().front(), (CLatLng{184, 472}));
    EXPECT_EQ(geography.TerrainKQML(),
              "tell :number 2 :0 (tell :style Solid :code 35 :name Land :r 0 :g 0 :b 0) "
              ":1 (tell :style Solid :code 45 :name Sea :r 0 :g 99 :b 99) ");
    EXPECT_EQ(geography.GetMapURL(0), "file:///srv/halyx%20maps/atlantic.txt");
    EXPECT_EQ(geography.GetMapURL(1), "file:///srv/halyx%20maps/bahamas.txt");
    EXPECT_EQ(geography.GetMapURL(2), "file:///srv/halyx%20maps/florida.txt");
    EXPECT_EQ(geography.GetMapURL(3), "file:///srv/halyx%20maps/world.txt");
}

TEST(DefaultScenario, MapAddressesFindTheShippedMaps) {
    setenv("HALYX_MAP_DIR", (std::string(HALYX_SOURCE_DIR) + "/data/maps").c_str(), 1);
    CScenario scenario;
    LoadDefaultScenario(scenario);
    CSilentGeographyView view;
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(scenario.Geography().GetMapFromURL(scenario.Geography().GetMapURL(i), view))
            << scenario.Geography().LastMapError();
    }
    EXPECT_EQ(scenario.Geography().GetWorldMap().getWidth(), 1000);
    unsetenv("HALYX_MAP_DIR");
    // Without the variable, the maps are found where the build copies them, share/halyx/maps
    // beside bin/ (as when installed), whatever folder the build was configured in.
    EXPECT_TRUE(std::filesystem::exists(DefaultMapFolder() + "world.txt")) << DefaultMapFolder();
    EXPECT_TRUE(
        std::filesystem::exists(std::string(HALYX_BINARY_DIR) + "/share/halyx/maps/world.txt"));
}

} // namespace
} // namespace halyx
