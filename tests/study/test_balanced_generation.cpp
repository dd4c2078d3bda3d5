// Balanced batches: kept scenarios lie within the tolerance of the targets, the same seed makes
// the same files byte for byte, and a batch that cannot be balanced stops with an error.
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"
#include "scenario/scenariofileset.h"
#include "study/balance.h"
#include "testhome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

namespace halyx {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> FilesUnder(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), folder).generic_string()] =
                test::ReadFile(entry.path().string());
        }
    }
    return files;
}

CBalanceOptions Options(const std::string& folder) {
    CBalanceOptions options;
    options.batch.scenarios = 3;
    options.batch.radars = 4;
    options.batch.interceptors = 3;
    options.batch.incursions = 4;
    options.batch.folder = folder;
    options.tolerance = 0.5;
    options.seed = 1234;
    return options;
}

CBalanceResult Generate(const CBalanceOptions& options) {
    CScenario scenario;
    LoadDefaultScenario(scenario, std::string(HALYX_SOURCE_DIR) + "/data/maps/");
    return GenerateBalancedBatch(scenario, options);
}

TEST(BalancedGeneration, SameSeedGivesTheSameFilesByteForByte) {
    const std::string folder = test::FreshFolder("balanced");
    const CBalanceResult first = Generate(Options(folder));
    ASSERT_TRUE(first.Complete()) << first.error;
    ASSERT_EQ(first.scenarioFiles.size(), 3U);
    const std::map<std::string, std::string> files = FilesUnder(folder);
    ASSERT_TRUE(files.count("Scenario_0003/generation.txt"));
    EXPECT_NE(files.at("Scenario_0002/generation.txt").find("seed=1234\n"), std::string::npos);

    fs::remove_all(folder);
    const CBalanceResult again = Generate(Options(folder));
    EXPECT_EQ(again.attempts, first.attempts);
    EXPECT_TRUE(FilesUnder(folder) == files) << "a second run with the same seed differs";

    // Every kept scenario lies within the tolerance of the first one's metrics.
    CScenario reread;
    std::vector<CScenarioMetrics> kept;
    for (const std::string& file : first.scenarioFiles) {
        CScenarioFields fields;
        LoadDefaultScenario(reread, std::string(HALYX_SOURCE_DIR) + "/data/maps/");
        ASSERT_TRUE(LoadScenarioSet(file, fields, reread).ok) << file;
        kept.push_back(ComputeMetrics(reread));
    }
    EXPECT_TRUE(WithinTolerance(kept[1], kept[0], 0.5));
    EXPECT_TRUE(WithinTolerance(kept[2], kept[0], 0.5));
}

TEST(BalancedGeneration, AnUnreachableTargetEndsAfterTheBoundWithAClearError) {
    CBalanceOptions options = Options(test::FreshFolder("unreachable"));
    CScenarioMetrics impossible;
    impossible.earliestDetection = 5000; // after the window: no scenario can match it
    options.target = impossible;
    options.attemptsPerScenario = 20;
    const CBalanceResult result = Generate(options);
    EXPECT_EQ(result.attempts, 60);
    EXPECT_TRUE(result.scenarioFiles.empty());
    EXPECT_EQ(result.error, "only 0 of 3 scenarios came within 0.5 of the targets after 60 "
                            "attempts; widen the tolerance or change the counts");

    options.tolerance = -1;
    EXPECT_FALSE(Generate(options).error.empty());
}

TEST(BalancedGeneration, ToleranceIsRelativeAndAbsentValuesMatchOnlyAbsentOnes) {
    CScenarioMetrics target;
    target.smallestMargin = 100;
    CScenarioMetrics value = target;
    value.smallestMargin = 120;
    EXPECT_TRUE(WithinTolerance(value, target, 0.2));
    EXPECT_FALSE(WithinTolerance(value, target, 0.19));
    value.smallestMargin.reset();
    EXPECT_FALSE(WithinTolerance(value, target, 10));
    // A target of 0 is matched within the tolerance of 1, not only by exactly 0.
    target = {};
    value = {};
    value.undetectable = 1;
    EXPECT_TRUE(WithinTolerance(value, target, 1.0));
    EXPECT_FALSE(WithinTolerance(value, target, 0.5));
}

} // namespace
} // namespace halyx
