// Go/no-go reports and the launch decision when the launch window closes at minute 960.
#include "agentfixture.h"

namespace halyx::test {
namespace {

class LaunchDecision : public AgentTest {
protected:
    void RunToWindowClose() {
        agent.StartSim();
        for (int i = 0; i <= 960; ++i) {
            agent.process_clock_tick();
        }
    }
    std::string LastContentTo(const std::string& receiver) const {
        for (auto it = comm.sent().rbegin(); it != comm.sent().rend(); ++it) {
            if (it->receiver == receiver) {
                return it->content;
            }
        }
        return {};
    }
};

TEST_F(LaunchDecision, OnlyExactlyGoCountsAsGo) {
    Team({"A", "B", "C"});
    for (const char* status : {"Go", "GO", "nogo", "go ", ""}) {
        Deliver("A", "tell :command update_go_nogo_status :status go");
        ASSERT_EQ(agent.GoNoGo(0), 1);
        Deliver("A", std::string("tell :command update_go_nogo_status :status \"") + status + "\"");
        EXPECT_EQ(agent.GoNoGo(0), 0) << status;
    }
}

TEST_F(LaunchDecision, StrangerIsLoggedButChangesNoFlag) {
    Team({"A", "B", "C"});
    OpenLog();
    Deliver("X", "tell :command update_go_nogo_status :status go");
    EXPECT_EQ(agent.GoNoGo(0) + agent.GoNoGo(1) + agent.GoNoGo(2), 0);
    EXPECT_NE(LogText().find(EventStart("LaunchStatusChange") +
                             " ClockTime=\"0\" Status=\"go\" From=\"X\"/>\n"),
              std::string::npos);
}

TEST_F(LaunchDecision, SameNameTwiceSetsBothPositions) {
    agent.LoadTeam({"A", "B", "A"});
    Deliver("A", "tell :command update_go_nogo_status :status go");
    EXPECT_EQ(agent.GoNoGo(0), 1);
    EXPECT_EQ(agent.GoNoGo(1), 0);
    EXPECT_EQ(agent.GoNoGo(2), 1);
}

TEST_F(LaunchDecision, FourthMemberIsLoggedButDoesNotDecide) {
    Team({"A", "B", "C", "D"});
    OpenLog();
    Deliver("D", "tell :command update_go_nogo_status :status go");
    EXPECT_EQ(agent.GoNoGo(0) + agent.GoNoGo(1) + agent.GoNoGo(2), 0);
    EXPECT_NE(LogText().find("Status=\"go\" From=\"D\""), std::string::npos);
    agent.SetMultiplayer(false);
    EXPECT_FALSE(agent.LaunchDecision());
}

TEST_F(LaunchDecision, SinglePersonGameNeedsOneGo) {
    Team({"A", "B", "C"});
    agent.SetMultiplayer(false);
    Deliver("B", "tell :command update_go_nogo_status :status go");
    RunToWindowClose();
    EXPECT_EQ(agent.LastOutcome(), "Launch");
    EXPECT_EQ(LastContentTo("A"),
              "tell :command mission_complete :msg \"The Launch has been initiated and the "
              "mission is complete\"");
}

TEST_F(LaunchDecision, MultiplayerNeedsAllThreeAndEveryoneHearsTheExpiry) {
    Team({"A", "B", "C"});
    OpenLog();
    Deliver("A", "tell :command update_go_nogo_status :status go");
    Deliver("B", "tell :command update_go_nogo_status :status go");
    RunToWindowClose();
    EXPECT_EQ(agent.LastOutcome(), "NoLaunch");
    for (const char* member : {"A", "B", "C"}) {
        EXPECT_EQ(LastContentTo(member),
                  "tell :command mission_complete :msg \"The Launch window has expired. The "
                  "mission is now terminated. The Space Vehicle has not been Launched!\"");
    }
    EXPECT_NE(LogText().find(EventStart("SimulationComplete") + " LaunchStatus=\"NoLaunch\"/>\n"),
              std::string::npos);
}

TEST_F(LaunchDecision, LastReportBeforeTheCloseCounts) {
    Team({"A", "B", "C"});
    for (const char* member : {"A", "B", "C"}) {
        Deliver(member, "tell :command update_go_nogo_status :status go");
    }
    agent.StartSim();
    for (int i = 0; i < 500; ++i) {
        agent.process_clock_tick();
    }
    Deliver("C", "tell :command update_go_nogo_status :status nogo");
    for (int i = 500; i <= 960; ++i) {
        agent.process_clock_tick();
    }
    EXPECT_EQ(agent.LastOutcome(), "NoLaunch");
}

TEST_F(LaunchDecision, FlagsSurviveRemovalAndReset) {
    Team({"A", "B"});
    Deliver("B", "tell :command update_go_nogo_status :status go");
    agent.RemoveTeamMember("A");
    EXPECT_EQ(agent.GoNoGo(1), 1);
    agent.ResetSim();
    EXPECT_EQ(agent.GoNoGo(1), 1);
}

} // namespace
} // namespace halyx::test
