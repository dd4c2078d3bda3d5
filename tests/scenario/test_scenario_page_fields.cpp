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
    EXPECT_EQ(f.Location(C::Maps), "C:\\Halyx\\Scenarios\\Alpha\\Maps\\");
    EXPECT_EQ(f.Location(C::TerrainCodes), "C:\\Halyx\\Scenarios\\Alpha\\Terrain Codes\\");
    EXPECT_EQ(f.FileName(C::Incursions), "Alpha_Incursions.hid");

    page.SetName("Beta");
    EXPECT_EQ(f.location, "C:\\Halyx\\Scenarios\\Beta\\");
    EXPECT_EQ(f.Location(C::PlumeLines), "C:\\Halyx\\Scenarios\\Beta\\Plume Lines\\");
    EXPECT_EQ(f.FileName(C::Maps), "Beta_Maps.hmi");
    EXPECT_EQ(f.FileName(C::ImpactLines), "Beta_ImpactLines.hil");
    EXPECT_EQ(f.FileName(C::PlumeLines), "Beta_PlumeLines.hpi");
    EXPECT_EQ(f.FileName(C::Weather), "Beta_Weather.hwd");
    EXPECT_EQ(f.FileName(C::TerrainCodes), "Beta_Terrain.htd");
    EXPECT_EQ(f.ScenarioFilePath(), "C:\\Halyx\\Scenarios\\Beta\\Beta.hsf");
}

TEST(ScenarioPageFields, TypingANameLetterByLetterKeepsOneNameFolder) {
    CScenarioPageModel page;
    page.ChooseLocation("/home/lab/Scenarios");
    for (const char* name : {"R", "Ru", "Run", "Run1"}) {
        page.SetName(name);
    }
    EXPECT_EQ(page.Fields().location, "/home/lab/Scenarios/Run1/");
    EXPECT_EQ(page.Fields().Location(C::Weather), "/home/lab/Scenarios/Run1/Weather Data/");
}

TEST(ScenarioPageFields, EmptyNameEmptiesFileNamesAndDropsTheNameFolder) {
    CScenarioPageModel page;
    page.ChooseLocation("C:\\Halyx\\Scenarios");
    page.SetName("Alpha");
    page.SetName("");
    const CScenarioFields& f = page.Fields();
    EXPECT_EQ(f.location, "C:\\Halyx\\Scenarios");
    EXPECT_EQ(f.Location(C::Maps), "C:\\Halyx\\Scenarios\\Maps\\");
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
