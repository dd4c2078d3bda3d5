// The scenario page's eighteen path fields, rebuilt as the user names the scenario and picks
// folders, and the check before a save.
#include "scenario/scenariopagemodel.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

using C = ScenarioComponent;

TEST(ScenarioPageFields, ChoosingAParentFolderThenRenamingMovesTheScenarioFolder) {
    CScenarioPageModel page;
    page.SetName("Alpha");
    page.ChooseLocation("C:\\Halyx\\Scenarios");
    const CScenarioFields& f = page.Fields();
    EXPECT_EQ(f.location, "C:\\Halyx\\Scenarios\\Alpha\\");
    EXPECT_EQ(f.Location(C::TerrainCodes), "C:\\Halyx\\Scenarios\\Alpha\\Terrain Codes\\");
    EXPECT_EQ(f.FileName(C::Incursions), "Alpha_Incursions.hid");

    page.SetName("Beta");
    EXPECT_EQ(f.location, "C:\\Halyx\\Scenarios\\Beta\\");
    EXPECT_EQ(f.Location(C::PlumeLines), "C:\\Halyx\\Scenarios\\Beta\\Plume Lines\\");
    const std::pair<C, std::string> files[] = {{C::Maps, "Beta_Maps.hmi"},
                                               {C::ImpactLines, "Beta_ImpactLines.hil"},
                                               {C::PlumeLines, "Beta_PlumeLines.hpi"},
                                               {C::Weather, "Beta_Weather.hwd"},
                                               {C::TerrainCodes, "Beta_Terrain.htd"}};
    for (const auto& [component, name] : files) {
        EXPECT_EQ(f.FileName(component), name);
    }
    EXPECT_EQ(f.ScenarioFilePath(), "C:\\Halyx\\Scenarios\\Beta\\Beta.hsf");

    // Typing a name letter by letter keeps one name folder.
    page.ChooseLocation("/home/lab/Scenarios");
    for (const char* name : {"R", "Ru", "Run", "Run1"}) {
        page.SetName(name);
    }
    EXPECT_EQ(f.location, "/home/lab/Scenarios/Run1/");
    EXPECT_EQ(f.Location(C::Weather), "/home/lab/Scenarios/Run1/Weather Data/");

    // An empty name empties the file names and drops the name folder.
    page.SetName("");
    EXPECT_EQ(f.location, "/home/lab/Scenarios");
    EXPECT_EQ(f.Location(C::Maps), "/home/lab/Scenarios/Maps/");
    for (const std::string& name : f.fileNames) {
        EXPECT_TRUE(name.empty());
    }
    EXPECT_EQ(page.CheckBeforeSave(), CScenarioPageModel::kFillAllFields);
}

TEST(ScenarioPageFields, EditingTheLocationRebuildsOnlyTheComponentFolders) {
    CScenarioPageModel page;
    page.SetName("Alpha");
    page.SetLocation("/data/sets/Alpha/");
    EXPECT_EQ(page.Fields().Location(C::Radars), "/data/sets/Alpha/Radars/");
    // A location typed without its final separator still gives usable component folders.
    page.SetLocation("/data/sets/Other");
    EXPECT_EQ(page.Fields().Location(C::Radars), "/data/sets/Other/Radars/");
    page.SetLocation("");
    for (const std::string& location : page.Fields().locations) {
        EXPECT_TRUE(location.empty());
    }
}

TEST(ScenarioPageFields, SaveNeedsEveryFileNameAndLocationButNotTheNotes) {
    CScenarioPageModel page;
    EXPECT_EQ(page.CheckBeforeSave(), "Please fill in all the fields with valid filenames and "
                                      "save locations");
    page.SetName("Alpha");
    page.ChooseLocation("/tmp/sets");
    EXPECT_EQ(page.CheckBeforeSave(), "");
    page.ChooseComponentLocation(C::PlumeLines, "");
    EXPECT_EQ(page.CheckBeforeSave(), CScenarioPageModel::kFillAllFields);
    page.ChooseComponentLocation(C::PlumeLines, "/elsewhere/");
    EXPECT_EQ(page.Fields().Location(C::PlumeLines), "/elsewhere/");
    EXPECT_EQ(page.CheckBeforeSave(), "");
}

} // namespace
} // namespace halyx
