// The shared simulation clock: pause and resume, the end of the mission at minute 960.
#include "agentfixture.h"

namespace halyx::test {
namespace {

class SimulationClock : public AgentTest {
protected:
    void SetUp() override { Team({"ALPHA", "BRAVO"}); }
    std::vector<std::string> ContentsTo(const std::string& receiver) const {
        std::vector<std::string> out;
        for (const CSentMessage& m : comm.sent()) {
            if (m.receiver == receiver) {
                out.push_back(m.content);
            }
        }
        return out;
    }
};

TEST_F(SimulationClock, StartingAgainEndsAtOnceUnlessTheClockWasReset) {
    Ticks(1); // not started: nothing at all
    EXPECT_TRUE(comm.sent().empty());
    agent.StartSim();
    Ticks(961);
    comm.clear_sent();
    agent.StartSim();
    Ticks(1);
    const std::vector<std::string> alpha = ContentsTo("ALPHA"); // start_sim, sync, complete
    ASSERT_EQ(alpha.size(), 3u);
    EXPECT_EQ(alpha[1], "tell :command clock_sync :clock 961");
    EXPECT_EQ(alpha[2].rfind("tell :command mission_complete", 0), 0u);

    agent.ResetSim();
    agent.ResetClock();
    comm.clear_sent();
    console.calls.clear();
    agent.StartSim();
    Ticks(1);
    EXPECT_EQ(ContentsTo("ALPHA").back(), "tell :command clock_sync :clock 0");
    // Minute 0 has been sent: what happens now is logged as minute 1, which the display shows.
    EXPECT_EQ(console.calls, std::vector<std::string>{"clock 1"});
}

TEST_F(SimulationClock, PausedClockSendsNothingAndCannotEndTheMission) {
    OpenLog();
    agent.StartSim();
    Ticks(960);
    agent.PauseSim();
    // The display names the minute the pause is logged with.
    EXPECT_EQ(console.calls.back(), "clock 960");
    comm.clear_sent();
    console.playback = true;
    Ticks(5);
    EXPECT_TRUE(comm.sent().empty());
    EXPECT_EQ(agent.Clock(), 960);
    agent.ResumeSim();
    Ticks(1);
    EXPECT_FALSE(agent.Started());
    EXPECT_NE(LogText().find(EventStart("PauseSim") + " ClockTime=\"960\"/>\n" +
                             EventStart("ResumeSim") + " ClockTime=\"960\"/>\n"),
              std::string::npos);
}

TEST_F(SimulationClock, WindowCloseSyncsThenCompletesThenEndsTheLog) {
    OpenLog();
    agent.StartSim();
    Ticks(961);
    std::vector<std::string> alpha = ContentsTo("ALPHA");
    EXPECT_EQ(alpha[alpha.size() - 2], "tell :command clock_sync :clock 960");
    EXPECT_EQ(alpha.back().rfind("tell :command mission_complete :msg ", 0), 0u);
    // Ended: neither started nor paused; the count stands at 961, the page shows 960.
    EXPECT_FALSE(agent.Started());
    EXPECT_FALSE(agent.Paused());
    EXPECT_EQ(agent.Clock(), 961);
    EXPECT_EQ(console.calls.back(), "clock 960");
    const size_t sent = comm.sent().size();
    Ticks(1);
    EXPECT_EQ(comm.sent().size(), sent);

    // The events end with the outcome at the window's close, so a later report lands after the
    // team section (that the log's end is written once is the log's own test).
    Deliver("ALPHA", "tell :command mission_stats :totalCost 1");
    agent.ResetSim();
    EXPECT_NE(
        LogText().find(" LaunchStatus=\"NoLaunch\"/>\n</SimEvents>\n<TeamMembers>\n<TeamMember "
                       "Name=\"ALPHA\"/>\n<TeamMember Name=\"BRAVO\"/>\n</TeamMembers>"
                       "<MissionStats TeamMember=\"ALPHA\">"),
        std::string::npos);
}

TEST_F(SimulationClock, PlaybackModeReleasesRecordedCommandsAfterTheirMinutesSync) {
    CSimEvent event;
    event.clockTime = 2;
    event.sender = "ALPHA";
    event.content = "tell :command activate :resource radar :id R1";
    agent.Events().Insert(event);
    agent.Events().Rewind();
    console.playback = true;
    agent.StartSim();
    comm.clear_sent();
    Ticks(3);
    std::vector<std::string> sent;
    for (const CSentMessage& m : comm.sent()) {
        sent.push_back(m.receiver + "<-" + m.sender + " " + m.content.substr(14));
    }
    EXPECT_EQ(sent, (std::vector<std::string>{
                        "ALPHA<-HalyxCommand clock_sync :clock 0",
                        "BRAVO<-HalyxCommand clock_sync :clock 0",
                        "ALPHA<-HalyxCommand clock_sync :clock 1",
                        "BRAVO<-HalyxCommand clock_sync :clock 1",
                        "ALPHA<-HalyxCommand clock_sync :clock 2",
                        "BRAVO<-HalyxCommand clock_sync :clock 2",
                        "ALPHA<-ALPHA activate :resource radar :id R1",
                        "BRAVO<-ALPHA activate :resource radar :id R1",
                    }));
    // Stop rewinds: the next start replays from the first record.
    agent.StopPlayback();
    EXPECT_EQ(agent.Clock(), 0);
    EXPECT_FALSE(agent.Events().Exhausted());
}

} // namespace
} // namespace halyx::test
