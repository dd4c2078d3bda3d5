// Go/no-go reports and the launch decision when the launch window closes at minute 960.
#include "agentfixture.h"

namespace halyx::test {
namespace {

constexpr const char* kLaunched =
    "tell :command mission_complete :msg \"The Launch has been initiated and the mission is "
    "complete\"";
constexpr const char* kExpired =
    "tell :command mission_complete :msg \"The Launch window has expired. The mission is now "
    "terminated. The Space Vehicle has not been Launched!\"";

class LaunchDecision : public AgentTest {
protected:
    void Report(const char* station, const char* status) {
        Deliver(station,
                std::string("tell :command update_go_nogo_status :status \"") + status + "\"");
    }
    void RunToWindowClose() {
        agent.StartSim();
        Ticks(961);
    }
    int Flags() const { return agent.GoNoGo(0) * 100 + agent.GoNoGo(1) * 10 + agent.GoNoGo(2); }
};

TEST_F(LaunchDecision, OnlyExactlyGoFromAPositionCountsAndSetsEveryPositionOfItsName) {
    Team({"A", "B", "C", "D"});
    OpenLog();
    // Strangers and fourth members are logged but set no flag.
    Report("X", "go");
    Report("D", "go");
    EXPECT_EQ(Flags(), 0);
    EXPECT_NE(LogText().find(EventStart("LaunchStatusChange") +
                             " ClockTime=\"0\" Status=\"go\" From=\"X\"/>\n"),
              std::string::npos);
    EXPECT_NE(LogText().find("Status=\"go\" From=\"D\""), std::string::npos);
    for (const char* status : {"Go", "GO", "nogo", "go ", ""}) {
        Report("A", "go");
        ASSERT_EQ(Flags(), 100);
        Report("A", status);
        EXPECT_EQ(Flags(), 0) << status;
    }
    // A name twice in the team sets both positions.
    agent.LoadTeam({"A", "B", "A"});
    Report("A", "go");
    EXPECT_EQ(Flags(), 101);
}

TEST_F(LaunchDecision, SinglePersonGameNeedsOneGo) {
    Team({"A", "B", "C"});
    agent.SetMultiplayer(false);
    Report("B", "go");
    RunToWindowClose();
    EXPECT_EQ(agent.LastOutcome(), "Launch");
    EXPECT_EQ(comm.sent().back().content, kLaunched);
}

TEST_F(LaunchDecision, MultiplayerNeedsAllThreeAndEveryoneHearsTheExpiry) {
    Team({"A", "B", "C"});
    Report("A", "go");
    Report("B", "go");
    RunToWindowClose();
    EXPECT_EQ(agent.LastOutcome(), "NoLaunch");
    const auto& sent = comm.sent();
    ASSERT_GE(sent.size(), 3u);
    for (size_t i = sent.size() - 3; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].content, kExpired);
    }
}

} // namespace
} // namespace halyx::test
