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
    std::string copy;
    EXPECT_EQ(RepairExperimentLogText(ReadFile(path), copy).status,
              LogRepairStatus::AlreadyComplete);
    const std::string text = ReadFile(path);
    const std::string tail = "</HalyxSimLog>";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(LogFinishedAtMissionEnd, EveryMomentAfterTheEndIsAWholeDocument) {
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
    // The reset adds nothing: the file it leaves is the one read before it.
    EXPECT_EQ(ReadFile(folder + "run.xml"), beforeReset);
    EXPECT_NE(beforeReset.find("</TeamMembers><MissionStats"), std::string::npos);
    EXPECT_EQ(beforeReset.find("</HalyxSimLog>"), beforeReset.size() - 14);
}

TEST(LogFinishedAtMissionEnd, BytesAfterTheResetAreTheSameAsAWriterThatEndsAtClose) {
    // The bytes a reset left before the end was written early: the events' end, the team, the
    // late reports, then the end tag.
    const std::string folder = FreshFolder("finished-bytes");
    CExperimentLog log(test::SteppingClock{});
    RunMission(log, folder, "run", [](const std::string&) {});
    log.Close();
    const std::string text = ReadFile(folder + "run.xml");
    const std::string expectedEnd =
        "</SimEvents>\n<TeamMembers>\n<TeamMember Name=\"ALPHA\"/>\n<TeamMember "
        "Name=\"BRAVO\"/>\n</TeamMembers>";
    const size_t end = text.find(expectedEnd);
    ASSERT_NE(end, std::string::npos);
    const std::string after = text.substr(end + expectedEnd.size());
    EXPECT_EQ(after.rfind("<MissionStats", 0), 0u) << after;
    EXPECT_NE(after.find("<!-- BRAVO cannot be reached (minute 961) -->\n</HalyxSimLog>"),
              std::string::npos)
        << after;
    // Nothing repeated: one end tag, one team.
    EXPECT_EQ(text.find("</HalyxSimLog>"), text.rfind("</HalyxSimLog>"));
    EXPECT_EQ(text.find("<TeamMembers>"), text.rfind("<TeamMembers>"));
}

TEST(LogFinishedAtMissionEnd, ALogMovedAfterTheEndStaysWholeAndTakesLaterReports) {
    const std::string folder = FreshFolder("finished-move");
    CExperimentLog log(test::SteppingClock{});
    ASSERT_TRUE(log.Open(folder + "a/", "run", "", kScenario));
    log.LogInitSim();
    ASSERT_TRUE(log.EndSimEvents(TeamMembersXml({"ALPHA", "BRAVO"})));
    std::string error;
    ASSERT_TRUE(log.Move(folder + "b/", error)) << error;
    log.LogMissionStats("ALPHA", kStats);
    ExpectWholeDocument(folder + "b/run.xml");
    EXPECT_TRUE(log.Close());
    ExpectWholeDocument(folder + "b/run.xml");
}

} // namespace
} // namespace halyx
