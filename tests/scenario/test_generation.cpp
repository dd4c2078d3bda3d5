// Random units and batches of generated scenarios: value ranges and formats, names that never
// repeat, numbered folders that skip taken ones, and a batch that cannot write ending at once.
#include "scenariotest.h"

#include "common/numtext.h"
#include "common/random.h"
#include "scenario/generation.h"
#include "scenario/scenario.h"

#include <cmath>
#include <fstream>
#include <regex>

namespace halyx {
namespace {

namespace fs = std::filesystem;

using test::FreshFolder;

bool TwoDecimals(const std::string& text) {
    return std::regex_match(text, std::regex("[0-9]+\\.[0-9]{2}"));
}

bool Within(double value, double low, double high) {
    return value >= low && value < high;
}

TEST(GeneratedUnits, ValuesLieInTheirRangesNamesContinueAndCountZeroStillClears) {
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
        EXPECT_TRUE(Within(unit.GetLatValue(), 10, 941)) << unit.GetLat();
        EXPECT_TRUE(Within(unit.GetLngValue(), 105, 646)) << unit.GetLng();
        EXPECT_TRUE(std::regex_match(unit.GetSpeed(), std::regex("[0-9]+"))) << unit.GetSpeed();
        EXPECT_TRUE(Within(unit.GetSpeedValue(), 50, 402)) << unit.GetSpeed(); // 401 at most
        EXPECT_TRUE(TwoDecimals(unit.GetHeading()));
        EXPECT_TRUE(Within(unit.GetHeadingValue(), 0, 361)) << unit.GetHeading();
        ASSERT_TRUE(std::regex_match(unit.GetTime(), std::regex("[0-9]+"))) << unit.GetTime();
        EXPECT_LE(ReadInt(unit.GetTime()), 17);
        sawTime17 = sawTime17 || unit.GetTime() == "17";
    }
    EXPECT_TRUE(sawTime17) << "times are rounded, so the top of the range is 17";
    for (const CRadar& unit : radars) {
        EXPECT_TRUE(TwoDecimals(unit.GetRange()));
        EXPECT_TRUE(Within(unit.GetRangeValue(), 50, 201)) << unit.GetRange();
    }
    for (const CInterceptor& unit : interceptors) {
        EXPECT_NEAR(unit.GetLat() * 100, std::round(unit.GetLat() * 100), 1e-6); // two decimals
        EXPECT_GE(unit.GetLng(), 105);
        EXPECT_EQ(unit.GetSpeed(), std::round(unit.GetSpeed()));
    }

    GenerateRadars(radars, 0, false);
    EXPECT_EQ(radars.Count(), 400);
    GenerateRadars(radars, 0, true);
    EXPECT_EQ(radars.Count(), 0);
    GenerateRadars(radars, -5, false);
    EXPECT_EQ(radars.Count(), 0);

    CUnitList<CIncursion> named;
    named.Add(CIncursion("Incursion 0", "x", "1", "1", "1", "1", "0"));
    GenerateIncursions(named, 2, false);
    ASSERT_EQ(named.Count(), 3);
    EXPECT_EQ(named.At(1).GetName(), "Incursion 1");
    EXPECT_EQ(named.At(2).GetName(), "Incursion 2");
    GenerateIncursions(named, 1, false);
    EXPECT_EQ(named.At(3).GetName(), "Incursion 3");
}

TEST(ScenarioBatch, NumbersFoldersAfterThoseAlreadyThereAndSkipsTakenOnes) {
    const std::string target = FreshFolder("skip");
    CreatePath(target + "Scenario_0002/");
    CScenario scenario;
    CBatchOptions options;
    options.folder = target.substr(0, target.size() - 1); // without its separator
    options.scenarios = 2;
    options.radars = 1;
    options.interceptors = 0;
    options.incursions = 2;
    test::RecordingProgress progress;
    CBatchResult result = GenerateScenarioBatch(scenario, options, &progress);
    ASSERT_TRUE(result.Complete()) << result.error;
    EXPECT_EQ(result.scenarioFiles,
              (std::vector<std::string>{target + "Scenario_0001/Scenario_0001.hsf",
                                        target + "Scenario_0003/Scenario_0003.hsf"}));
    EXPECT_TRUE(fs::is_empty(target + "Scenario_0002"));
    ASSERT_EQ(progress.texts.size(), 3u);
    EXPECT_EQ(progress.texts[2],
              "Generating Scenario Scenario_0003\n\n" + target + "Scenario_0003");
    // The lists hold the last scenario's units.
    EXPECT_EQ(scenario.Incursions().Count(), 2);
    EXPECT_EQ(scenario.Interceptors().Count(), 0);

    // A second batch continues after the highest number there.
    result = GenerateScenarioBatch(scenario, options);
    EXPECT_EQ(result.scenarioFiles,
              (std::vector<std::string>{target + "Scenario_0004/Scenario_0004.hsf",
                                        target + "Scenario_0005/Scenario_0005.hsf"}));
}

// A batch asked to be repeatable (a seed given) writes the same bytes on every run: no unit ID
// holds the time of day.
TEST(ScenarioBatch, ASeededBatchWithNumberedIdsIsTheSameOnEveryRun) {
    std::vector<std::string> texts;
    for (const char* name : {"seeded_a", "seeded_b"}) {
        const std::string target = FreshFolder(name);
        CScenario scenario;
        CBatchOptions options;
        options.folder = target;
        options.scenarios = 1;
        options.numberIds = true;
        SeedRandom(77);
        const CBatchResult result = GenerateScenarioBatch(scenario, options);
        ASSERT_TRUE(result.Complete()) << result.error;
        EXPECT_EQ(scenario.Radars().At(4).GetId(), "00000005");
        std::string all;
        for (const auto& entry : fs::recursive_directory_iterator(target)) {
            // The .hsf names its files by their full paths, which differ between the folders.
            if (entry.is_regular_file() && entry.path().extension() != ".hsf") {
                all += entry.path().filename().string() + ":" + test::ReadFile(entry.path());
            }
        }
        texts.push_back(all);
    }
    EXPECT_FALSE(texts[0].empty());
    EXPECT_EQ(texts[0], texts[1]);
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

    const std::string file = FreshFolder("blocked") + "a-file";
    std::ofstream(file) << "x";
    options.folder = file + "/inside/";
    result = GenerateScenarioBatch(scenario, options);
    EXPECT_TRUE(result.scenarioFiles.empty());
    EXPECT_NE(result.error.find("Cannot create the folder"), std::string::npos) << result.error;

    options.folder = FreshFolder("counts");
    options.radars = kMaxBatchRadars + 1;
    result = GenerateScenarioBatch(scenario, options);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(fs::is_empty(options.folder));
}

} // namespace
} // namespace halyx
