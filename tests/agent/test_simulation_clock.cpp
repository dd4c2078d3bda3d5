// The shared simulation clock: clock_sync on each tick, pause and resume, the end of the
// mission at minute 960 and what the log holds at the end.
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

TEST_F(SimulationClock, NothingHappensBeforeStart) {
    agent.process_clock_tick();
    EXPECT_TRUE(comm.sent().empty());
    EXPECT_EQ(agent.Clock(), 0);
    EXPECT_TRUE(console.calls.empty());
}

TEST_F(SimulationClock, FirstTickAfterResetSyncsZero) {
    agent.StartSim();
    agent.process_clock_tick();
    agent.process_clock_tick();
    agent.ResetSim();
    agent.ResetClock();
    comm.clear_sent();
    console.calls.clear();
    agent.StartSim();
    agent.process_clock_tick();
    std::vector<std::string> alpha = ContentsTo("ALPHA");
    ASSERT_EQ(alpha.size(), 2u);
    EXPECT_EQ(alpha[1], "tell :command clock_sync :clock 0");
    EXPECT_EQ(console.calls, std::vector<std::string>{"clock 0"});
    EXPECT_EQ(agent.Clock(), 1);
}

TEST_F(SimulationClock, PausedClockSendsNothingAndCannotEndTheMission) {
    OpenLog();
    agent.StartSim();
    for (int i = 0; i < 960; ++i) {
        agent.process_clock_tick();
    }
    agent.PauseSim();
    comm.clear_sent();
    console.playback = true;
    for (int i = 0; i < 5; ++i) {
        agent.process_clock_tick();
    }
    EXPECT_TRUE(comm.sent().empty());
    EXPECT_EQ(agent.Clock(), 960);
    EXPECT_TRUE(agent.Started());
    agent.ResumeSim();
    agent.process_clock_tick();
    EXPECT_FALSE(agent.Started());
    std::string text = LogText();
    EXPECT_NE(text.find(EventStart("PauseSim") + " ClockTime=\"960\"/>\n" +
                        EventStart("ResumeSim") + " ClockTime=\"960\"/>\n"),
              std::string::npos);
}

TEST_F(SimulationClock, WindowCloseSyncsThenCompletesThenEndsTheLog) {
    OpenLog();
    agent.InitSim();
    agent.StartSim();
    for (int i = 0; i <= 960; ++i) {
        agent.process_clock_tick();
    }
    std::vector<std::string> alpha = ContentsTo("ALPHA");
    ASSERT_GE(alpha.size(), 2u);
    EXPECT_EQ(alpha[alpha.size() - 2], "tell :command clock_sync :clock 960");
    EXPECT_EQ(alpha.back().rfind("tell :command mission_complete :msg ", 0), 0u);
    // Ended: not started, not paused; the count stands at 961 and the page shows 960.
    EXPECT_FALSE(agent.Started());
    EXPECT_FALSE(agent.Paused());
    EXPECT_EQ(agent.Clock(), 961);
    EXPECT_EQ(console.calls.back(), "clock 960");
    std::string text = LogText();
    EXPECT_NE(text.find(" LaunchStatus=\"NoLaunch\"/>\n</SimEvents>\n<TeamMembers>\n<TeamMember "
                        "Name=\"ALPHA\"/>\n<TeamMember Name=\"BRAVO\"/>\n</TeamMembers>"),
              std::string::npos);
    // Further ticks do nothing.
    size_t sent = comm.sent().size();
    agent.process_clock_tick();
    EXPECT_EQ(comm.sent().size(), sent);
}

TEST_F(SimulationClock, StartingAgainWithoutClockResetEndsAtOnce) {
    agent.StartSim();
    for (int i = 0; i <= 960; ++i) {
        agent.process_clock_tick();
    }
    comm.clear_sent();
    agent.StartSim();
    agent.process_clock_tick();
    std::vector<std::string> alpha = ContentsTo("ALPHA");
    ASSERT_EQ(alpha.size(), 3u);
    EXPECT_EQ(alpha[1], "tell :command clock_sync :clock 961");
    EXPECT_EQ(alpha[2].rfind("tell :command mission_complete", 0), 0u);
    EXPECT_EQ(agent.Clock(), 962);
}

TEST_F(SimulationClock, PlaybackModeReleasesRecordedCommandsOnTheirMinute) {
    CSimEvent event;
    event.clockTime = 2;
    event.sender = "ALPHA";
    event.content = "tell :command activate :resource radar :id R1";
    agent.Events().Insert(event);
    agent.Events().Rewind();
    console.playback = true;
    agent.StartSim();
    comm.clear_sent();
    for (int i = 0; i < 3; ++i) {
        agent.process_clock_tick();
    }
    std::vector<std::string> replayed;
    for (const CSentMessage& m : comm.sent()) {
        if (m.content == event.content) {
            replayed.push_back(m.receiver + " as " + m.sender);
        }
    }
    EXPECT_EQ(replayed, (std::vector<std::string>{"ALPHA as ALPHA", "BRAVO as ALPHA"}));
    // The replayed message follows the clock_sync of minute 2.
    ASSERT_GE(comm.sent().size(), 8u);
    EXPECT_EQ(comm.sent()[5].content, "tell :command clock_sync :clock 2");
    EXPECT_EQ(comm.sent()[6].content, event.content);
}

TEST_F(SimulationClock, StopOfPlaybackRewindsAndResetsTheClock) {
    CSimEvent event;
    event.clockTime = 1;
    event.content = "tell :command update_go_nogo_status :status go";
    event.sender = "BRAVO";
    agent.Events().Insert(event);
    agent.Events().Rewind();
    console.playback = true;
    agent.StartSim();
    agent.process_clock_tick();
    agent.process_clock_tick();
    EXPECT_TRUE(agent.Events().Exhausted());
    agent.StopPlayback();
    EXPECT_EQ(agent.Clock(), 0);
    EXPECT_FALSE(agent.Started());
    EXPECT_TRUE(agent.Paused());
    EXPECT_FALSE(agent.Events().Exhausted());
    EXPECT_EQ(comm.sent().back().content, "tell :command stop_playback");
}

} // namespace
} // namespace halyx::test
