// A log whose mission has ended is a whole document from that moment on: what a summary or a
// copy reads before the reset is what the reset leaves, and reports that arrive late still land
// inside the document.

#include "record/experimentlog.h"
#include "record/logrepair.h"
#include "recordtestutil.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

using test::FreshFolder;
using test::LoadLog;
using test::ReadFile;

constexpr const char* kScenario = "<Scenario>\n</Scenario>\n";
constexpr const char* kStats = "tell :command mission_stats :totalCost 5 :interceptsMade 2";

// Reports are written at the mission end, before it and after it; the reset closes the file.
// With a stepping clock two runs of this give the same bytes.
void RunMission(CExperimentLog& log, const std::string& folder, const std::string& name,
                const std::function<void(const std::string& path)>& afterEnd) {
    ASSERT_TRUE(log.Open(folder, name, "notes", kScenario));
    log.LogInitSim();
    log.LogTeamMode("Multiplayer");
    log.LogTeam({"ALPHA", "BRAVO"});
    log.LogStartSim();
    log.LogChatMsg(12, "ALPHA", "hello");
    log.LogSimulationComplete(true);
    ASSERT_TRUE(log.EndSimEvents(TeamMembersXml({"ALPHA", "BRAVO"})));
    // The reset asks again: the end is written once.
    EXPECT_FALSE(log.EndSimEvents(TeamMembersXml({"ALPHA", "BRAVO"})));
    afterEnd(folder + name + ".xml");
    log.LogMissionStats("ALPHA", kStats);
    afterEnd(folder + name + ".xml");
    log.LogMissionStats("BRAVO", kStats);
    log.LogComment("BRAVO cannot be reached (minute 961)");
    afterEnd(folder + name + ".xml");
}

void ExpectWholeDocument(const std::string& path) {
    const test::LoadedLog loaded = LoadLog(path);
    EXPECT_TRUE(loaded.result) << loaded.result.detail;
    EXPECT_EQ(loaded.team, (std::vector<std::string>{"ALPHA", "BRAVO"}));
    const std::string text = ReadFile(path);
    std::string copy;
    EXPECT_EQ(RepairExperimentLogText(text, copy).status, LogRepairStatus::AlreadyComplete);
    EXPECT_TRUE(text.ends_with("</HalyxSimLog>")) << text;
}

TEST(LogFinishedAtMissionEnd,
     EveryMomentAfterTheEndIsAWholeDocumentMovedOrNotAndTheResetAddsNothing) {
    const std::string folder = FreshFolder("finished");
    CExperimentLog log(test::SteppingClock{});
    int checks = 0;
    RunMission(log, folder, "run", [&](const std::string& path) {
        ++checks;
        ExpectWholeDocument(path);
    });
    EXPECT_EQ(checks, 3);
    const std::string beforeReset = ReadFile(folder + "run.xml");
    EXPECT_TRUE(log.Close());
    EXPECT_EQ(ReadFile(folder + "run.xml"), beforeReset);
    // The bytes are those of a writer that ends at the close: the events' end, the team, the
    // late reports, then the one end tag.
    const std::string expectedEnd =
        "</SimEvents>\n<TeamMembers>\n<TeamMember Name=\"ALPHA\"/>\n<TeamMember "
        "Name=\"BRAVO\"/>\n</TeamMembers><MissionStats";
    ASSERT_NE(beforeReset.find(expectedEnd), std::string::npos) << beforeReset;
    EXPECT_EQ(beforeReset.find("<TeamMembers>"), beforeReset.rfind("<TeamMembers>"));
    EXPECT_TRUE(
        beforeReset.ends_with("<!-- BRAVO cannot be reached (minute 961) -->\n</HalyxSimLog>"));
    EXPECT_EQ(beforeReset.find("</HalyxSimLog>"), beforeReset.size() - 14);

    // A log moved after the end stays whole and takes later reports.
    ASSERT_TRUE(log.Open(folder + "a/", "moved", "", kScenario));
    log.LogInitSim();
    ASSERT_TRUE(log.EndSimEvents(TeamMembersXml({"ALPHA", "BRAVO"})));
    std::string error;
    ASSERT_TRUE(log.Move(folder + "b/", error)) << error;
    log.LogMissionStats("ALPHA", kStats);
    ExpectWholeDocument(folder + "b/moved.xml");
    EXPECT_TRUE(log.Close());
    ExpectWholeDocument(folder + "b/moved.xml");
}

} // namespace
} // namespace halyx
