// check, metrics and assign as a researcher runs them: exit codes, the line per finding, and a
// plan that is never written over by accident.
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"
#include "scenario/scenariofileset.h"
#include "study/studyplan.h"
#include "testhome.h"
#include "toolrun.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace halyx {
namespace {

test::ToolRun Tool(const std::string& args) {
    return test::RunTool(std::string(HALYX_BINARY_DIR) + "/bin/halyx-scenario", args);
}

class StudyTool : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = test::FreshFolder("tool");
        CScenario scenario;
        LoadDefaultScenario(scenario, std::string(HALYX_SOURCE_DIR) + "/data/maps/");
        scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
        ASSERT_TRUE(SaveScenarioAs("Clean", m_folder + "Clean/", scenario).saved);
        scenario.Radars().At(0).SetLat("990");
        m_radarId = scenario.Radars().At(0).GetId();
        ASSERT_TRUE(SaveScenarioAs("Broken", m_folder + "Broken/", scenario).saved);
    }

    std::string m_folder;
    std::string m_radarId;
};

TEST_F(StudyTool, CheckPrintsOneLinePerFindingAndFailsOnErrorsAndMetricsGoesOnPastAFile) {
    const test::ToolRun clean = Tool("check " + m_folder + "Clean/Clean.hsf");
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out, "");

    const test::ToolRun broken = Tool("check " + m_folder + "Broken/Broken.hsf");
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.out, "ERROR radar " + m_radarId +
                              " position 990.000, 269.000 lies outside the editable region "
                              "(latitude 0 to 950, longitude 95 to 655)\n");

    EXPECT_EQ(Tool("check " + m_folder + "none.hsf").status, 1);
    EXPECT_EQ(Tool("check").status, 2);

    // Metrics goes on past a file that does not load: a row for each file that loaded, each on a
    // line of its own after the header.
    const test::ToolRun run = Tool("metrics " + m_folder + "Clean/Clean.hsf " + m_folder +
                                   "none.hsf " + m_folder + "Broken/Broken.hsf");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(test::CountOf(run.out, "\n" + m_folder), 2u) << run.out;
    EXPECT_EQ(run.out.rfind("file,incursions,", 0), 0U) << run.out;
}

TEST_F(StudyTool, AssignWritesRelativePathsAndLeavesAnExistingPlanAlone) {
    const std::string plan = m_folder + "plans/plan.csv";
    const std::string sets = m_folder + "Clean/Clean.hsf " + m_folder + "Broken/Broken.hsf";
    test::ToolRun run = Tool("assign --teams 2 --stations ALPHA,BRAVO --stations CHARLIE --out " +
                             plan + " " + sets);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(test::ReadFile(plan),
              "run,team,block,scenario,mode,stations,notes\n"
              "1,T01,1,../Clean/Clean.hsf,multi,ALPHA BRAVO,sequence 1 of 2\n"
              "2,T01,2,../Broken/Broken.hsf,multi,ALPHA BRAVO,sequence 1 of 2\n"
              "3,T02,1,../Broken/Broken.hsf,multi,CHARLIE,sequence 2 of 2\n"
              "4,T02,2,../Clean/Clean.hsf,multi,CHARLIE,sequence 2 of 2\n");
    EXPECT_TRUE(CStudyPlan().Load(plan)); // the console takes it

    std::ofstream(plan) << "edited by hand\n";
    run = Tool("assign --teams 4 --stations A --out " + plan + " " + sets);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(test::ReadFile(plan), "edited by hand\n");
    EXPECT_EQ(Tool("assign --teams 0 --stations A --out " + plan + " " + sets).status, 2);
    const std::string twice = m_folder + "Clean/Clean.hsf " + m_folder + "Clean/../Clean/Clean.hsf";
    EXPECT_EQ(Tool("assign --teams 2 --out " + m_folder + "other.csv " + twice).status, 2);
    EXPECT_EQ(Tool("assign --teams 3 --stations A --stations B --out " + plan + " " + sets).status,
              2);
}

} // namespace
} // namespace halyx
