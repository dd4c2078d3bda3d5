// The experiment log as a whole run writes it: reset before start, mission end then reset, and
// two experiments in one program run.
#include "agentfixture.h"

#include "record/logloader.h"

namespace halyx::test {
namespace {

size_t CountOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) {
        ++n;
    }
    return n;
}

bool Loads(const std::string& path) {
    CLogLoader loader({.readScenario = nullptr, .loadTeam = nullptr, .events = nullptr});
    return static_cast<bool>(loader.Load(path));
}

class LogThroughAgent : public AgentTest {
protected:
    void SetUp() override { Team({"ALPHA", "BRAVO"}); }
};

TEST_F(LogThroughAgent, ResetBeforeStartGivesACompleteLog) {
    OpenLog();
    agent.InitSim();
    Deliver("ALPHA", "tell :command init_sim");
    agent.ResetSim();
    std::string text = LogText();
    EXPECT_NE(text.find("<SimEvents>\n" + EventStart("InitSim") + "/>\n" + EventStart("TeamMode") +
                        " Mode=\"Multiplayer\"/>\n" + EventStart("InitSimConf") +
                        " Sender=\"ALPHA\"/>\n</SimEvents>\n<TeamMembers>\n<TeamMember "
                        "Name=\"ALPHA\"/>\n<TeamMember Name=\"BRAVO\"/>\n</TeamMembers>"
                        "</HalyxSimLog>"),
              std::string::npos);
    EXPECT_TRUE(Loads(path));
}

TEST_F(LogThroughAgent, MissionEndThenResetEndsTheEventsOnce) {
    OpenLog();
    agent.InitSim();
    agent.StartSim();
    for (int i = 0; i <= 960; ++i) {
        agent.process_clock_tick();
    }
    // A report that comes after the end lands after the team section.
    Deliver("ALPHA", "tell :command mission_stats :totalCost 1");
    agent.ResetSim();
    std::string text = LogText();
    EXPECT_EQ(CountOf(text, "</SimEvents>"), 1u);
    EXPECT_EQ(CountOf(text, "<TeamMembers>"), 1u);
    EXPECT_LT(text.find("</TeamMembers>"), text.find("<MissionStats"));
    EXPECT_TRUE(Loads(path));
}

TEST_F(LogThroughAgent, TwoExperimentsInOneRunGiveTwoCompleteFiles) {
    OpenLog("first");
    std::string first = path;
    agent.InitSim();
    agent.StartSim();
    agent.process_clock_tick();
    agent.ResetSim();
    agent.ResetClock();

    OpenLog("second");
    agent.InitSim();
    agent.StartSim();
    agent.process_clock_tick();
    agent.ResetSim();
    EXPECT_NE(first, path);
    EXPECT_TRUE(Loads(first));
    EXPECT_TRUE(Loads(path));
    EXPECT_EQ(CountOf(LogText(), "<Scenario>"), 1u);
    EXPECT_EQ(CountOf(LogText(), "Name=\"StartSim\""), 1u);
}

} // namespace
} // namespace halyx::test
