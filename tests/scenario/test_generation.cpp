// Random units and batches of generated scenarios: value ranges and formats, names that never
// repeat, numbered folders that skip taken ones, and a batch that cannot write ending at once.
#include "common/numtext.h"
#include "common/paths.h"
#include "common/progress.h"
#include "common/random.h"
#include "scenario/generation.h"
#include "scenario/scenario.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>

namespace halyx {
namespace {

namespace fs = std::filesystem;

std::string Folder(const std::string& name) {
    const std::string folder = HalyxHome() + "batches/" + name + "/";
    fs::remove_all(folder);
    CreatePath(folder);
    return folder;
}

bool TwoDecimals(const std::string& text) {
    return std::regex_match(text, std::regex("[0-9]+\\.[0-9]{2}"));
}

TEST(GeneratedUnits, ValuesLieInTheirRangesWithTheirFormats) {
    SeedRandom(1234);
    CUnitList<CIncursion> incursions;
    CUnitList<CRadar> radars;
    CUnitList<CInterceptor> interceptors;
    GenerateIncursions(incursions, 400, false);
    GenerateRadars(radars, 400, false);
    GenerateInterceptors(interceptors, 400, false);
    bool sawTime17 = false;
    for (const CIncursion& unit : incursions) {
        ASSERT_TRUE(TwoDecimals(unit.GetLat())) << unit.GetLat();
        EXPECT_GE(unit.GetLatValue(), 10);
        EXPECT_LT(unit.GetLatValue(), 941);
        EXPECT_GE(unit.GetLngValue(), 105);
        EXPECT_LT(unit.GetLngValue(), 646);
        EXPECT_TRUE(std::regex_match(unit.GetSpeed(), std::regex("[0-9]+"))) << unit.GetSpeed();
        EXPECT_GE(unit.GetSpeedValue(), 50);
        EXPECT_LE(unit.GetSpeedValue(), 401);
        EXPECT_TRUE(TwoDecimals(unit.GetHeading()));
        EXPECT_LT(unit.GetHeadingValue(), 361);
        ASSERT_TRUE(std::regex_match(unit.GetTime(), std::regex("[0-9]+"))) << unit.GetTime();
        EXPECT_LE(ReadInt(unit.GetTime()), 17);
        sawTime17 = sawTime17 || unit.GetTime() == "17";
    }
    EXPECT_TRUE(sawTime17) << "times are rounded, so the top of the range is 17";
    for (const CRadar& unit : radars) {
        EXPECT_TRUE(TwoDecimals(unit.GetRange()));
        EXPECT_GE(unit.GetRangeValue(), 50);
        EXPECT_LT(unit.GetRangeValue(), 201);
        EXPECT_EQ(unit.GetLife(), "-");
        EXPECT_EQ(unit.GetOwner(), "-");
    }
    for (const CInterceptor& unit : interceptors) {
        EXPECT_NEAR(unit.GetLat() * 100, std::round(unit.GetLat() * 100), 1e-6); // two decimals
        EXPECT_GE(unit.GetLng(), 105);
        EXPECT_EQ(unit.GetSpeed(), std::round(unit.GetSpeed()));
        EXPECT_EQ(unit.GetHeading(), 0);
        EXPECT_EQ(unit.GetRange(), 0);
        EXPECT_EQ(unit.GetMinRange(), 0);
        EXPECT_EQ(unit.GetScope(), "-");
    }
}

TEST(GeneratedUnits, NamesContinueWithTheFirstFreeNumber) {
    CUnitList<CIncursion> incursions;
    incursions.Add(CIncursion("Incursion 0", "x", "1", "1", "1", "1", "0"));
    GenerateIncursions(incursions, 2, false);
    ASSERT_EQ(incursions.Count(), 3);
    EXPECT_EQ(incursions.At(1).GetName(), "Incursion 1");
    EXPECT_EQ(incursions.At(2).GetName(), "Incursion 2");
    GenerateIncursions(incursions, 1, false);
    EXPECT_EQ(incursions.At(3).GetName(), "Incursion 3");
    for (int i = 0; i < incursions.Count(); ++i) {
        for (int j = i + 1; j < incursions.Count(); ++j) {
            EXPECT_NE(incursions.At(i).GetId(), incursions.At(j).GetId());
        }
    }
}

TEST(GeneratedUnits, CountZeroAddsNothingButStillClears) {
    CUnitList<CRadar> radars;
    GenerateRadars(radars, 3, false);
    GenerateRadars(radars, 0, false);
    EXPECT_EQ(radars.Count(), 3);
    GenerateRadars(radars, 0, true);
    EXPECT_EQ(radars.Count(), 0);
    GenerateRadars(radars, -5, false);
    EXPECT_EQ(radars.Count(), 0);
}

TEST(ScenarioBatch, NumbersFoldersAfterThoseAlreadyThere) {
    const std::string target = Folder("numbering");
    CScenario scenario;
    CBatchOptions options;
    options.folder = target;
    options.scenarios = 3;
    CBatchResult result = GenerateScenarioBatch(scenario, options);
    ASSERT_TRUE(result.Complete()) << result.error;
    EXPECT_EQ(result.scenarioFiles,
              (std::vector<std::string>{target + "Scenario_0001/Scenario_0001.hsf",
                                        target + "Scenario_0002/Scenario_0002.hsf",
                                        target + "Scenario_0003/Scenario_0003.hsf"}));
    options.scenarios = 2;
    result = GenerateScenarioBatch(scenario, options);
    ASSERT_EQ(result.scenarioFiles.size(), 2u);
    EXPECT_EQ(result.scenarioFiles[0], target + "Scenario_0004/Scenario_0004.hsf");
    EXPECT_EQ(result.scenarioFiles[1], target + "Scenario_0005/Scenario_0005.hsf");
    // The lists hold the last scenario's units.
    EXPECT_EQ(scenario.Radars().Count(), 5);
}

TEST(ScenarioBatch, ExistingFolderIsSkipped) {
    const std::string target = Folder("skip");
    CreatePath(target + "Scenario_0002/");
    CScenario scenario;
    CBatchOptions options;
    options.folder = target.substr(0, target.size() - 1); // without its separator
    options.scenarios = 2;
    options.radars = 1;
    options.interceptors = 0;
    options.incursions = 2;
    struct Steps : IProgress {
        std::vector<std::string> texts;
        void SetRange(int, int) override {}
        void SetPos(int) override {}
        void SetText(const std::string& text) override { texts.push_back(text); }
    } progress;
    const CBatchResult result = GenerateScenarioBatch(scenario, options, &progress);
    ASSERT_TRUE(result.Complete()) << result.error;
    EXPECT_EQ(result.scenarioFiles[0], target + "Scenario_0001/Scenario_0001.hsf");
    EXPECT_EQ(result.scenarioFiles[1], target + "Scenario_0003/Scenario_0003.hsf");
    EXPECT_TRUE(fs::is_empty(target + "Scenario_0002"));
    ASSERT_EQ(progress.texts.size(), 3u);
    EXPECT_EQ(progress.texts[0], "HALYX\n\nGenerating Scenarios...");
    EXPECT_EQ(progress.texts[2],
              "Generating Scenario Scenario_0003\n\n" + target + "Scenario_0003");
    EXPECT_EQ(scenario.Incursions().Count(), 2);
    EXPECT_EQ(scenario.Interceptors().Count(), 0);
}

TEST(ScenarioBatch, FolderThatCannotBeWrittenEndsTheBatch) {
    CScenario scenario;
    CBatchOptions options;
    options.scenarios = 3;
    // The process table accepts no new folders, not even from an administrator.
    options.folder = "/proc/self/";
    CBatchResult result = GenerateScenarioBatch(scenario, options);
    EXPECT_TRUE(result.scenarioFiles.empty());
    EXPECT_NE(result.error.find("Scenario_0001"), std::string::npos) << result.error;

    const std::string file = Folder("blocked") + "a-file";
    std::ofstream(file) << "x";
    options.folder = file + "/inside/";
    result = GenerateScenarioBatch(scenario, options);
    EXPECT_TRUE(result.scenarioFiles.empty());
    EXPECT_NE(result.error.find("Cannot create the folder"), std::string::npos) << result.error;

    options.folder = Folder("counts");
    options.radars = kMaxBatchRadars + 1;
    result = GenerateScenarioBatch(scenario, options);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(fs::is_empty(options.folder));
}

} // namespace
} // namespace halyx
