// The page's controls for sessions across machines and for reviewing recordings: a station that
// stops responding, bringing a restarted one back, commands from outside the team, playback
// speed and seek.
#include "pagefixture.h"

#include "external/agentkit/communicator.h"

namespace halyx::test {
namespace {

class SessionControls : public PageTest {
protected:
    void RunningTeam() {
        RegisterAndAdd({"ALPHA", "BRAVO"});
        page.InitializeSimulation();
        comm.deliver_from("ALPHA", "tell", "tell :command init_sim");
        comm.deliver_from("BRAVO", "tell", "tell :command init_sim");
        page.StartSimulation();
        agent.process_clock_tick();
        comm.clear_sent();
    }

    // A short recorded experiment: BRAVO activates at minutes 2 and 4, ALPHA chats at 4.
    std::string LoadedPlayback() {
        RunningTeam();
        agent.process_clock_tick();
        comm.deliver_from("BRAVO", "tell", "tell :command activate :resource radar :id R1");
        agent.process_clock_tick();
        agent.process_clock_tick();
        comm.deliver_from("BRAVO", "tell", "tell :command activate :resource radar :id R2");
        comm.deliver_from("ALPHA", "tell",
                          "tell :command subject_communication :from ALPHA :message (hi)");
        const std::string path = log.FilePath();
        page.ResetSimulation();
        page.SetPlaybackMode(true);
        view.openFile = path;
        page.LoadExperiment();
        page.InitializePlayback();
        comm.deliver_from("ALPHA", "tell", "tell :command init_playback_confirm");
        comm.deliver_from("BRAVO", "tell", "tell :command init_playback_confirm");
        comm.clear_sent();
        return path;
    }

    // "minute content" of every replayed station command sent to ALPHA.
    std::vector<std::string> ReplayedToAlpha(int fromTick, int toTick) {
        std::vector<std::string> out;
        for (int minute = fromTick; minute <= toTick; ++minute) {
            comm.clear_sent();
            agent.process_clock_tick();
            for (const CSentMessage& m : comm.sent()) {
                if (m.receiver == "ALPHA" && m.content.find("clock_sync") == std::string::npos) {
                    out.push_back(std::to_string(minute) + " " + m.content);
                }
            }
        }
        return out;
    }
};

TEST_F(SessionControls, AStationThatStopsRespondingIsMarkedAndComesBack) {
    RunningTeam();
    agent.OnLinkEvent({CLinkEvent::Kind::Lost, "BRAVO", 0, "connection refused"});
    agent.OnLinkEvent({CLinkEvent::Kind::Dropped, "BRAVO", 2, "connection refused"});
    EXPECT_FALSE(page.IsStationResponding("BRAVO"));
    EXPECT_EQ(page.StationHealthText("BRAVO"), "Not Responding");
    EXPECT_EQ(page.StationHealthText("ALPHA"), "");
    EXPECT_EQ(page.LostMessages("BRAVO"), 2u);
    // The status column keeps what the station was doing.
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"ALPHA:Running", "BRAVO:Running"}));
    agent.OnLinkEvent({CLinkEvent::Kind::Back, "BRAVO", 0, "connected"});
    EXPECT_TRUE(page.IsStationResponding("BRAVO"));
    EXPECT_EQ(page.LostMessages("BRAVO"), 2u);
}

TEST_F(SessionControls, ARestartedStationIsReinitializedAndJoinsTheRun) {
    EXPECT_FALSE(page.CanReinitialize("ALPHA"));
    RunningTeam();
    EXPECT_FALSE(page.CanReinitialize("CHARLIE"));
    ASSERT_TRUE(page.ReinitializeStation("BRAVO"));
    EXPECT_EQ(CommandsSent("init_sim"), (std::vector<std::string>{"BRAVO"}));
    EXPECT_EQ(CommandsSent("start_sim"), (std::vector<std::string>{"BRAVO"}));
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"ALPHA:Running", "BRAVO:Not Initialized"}));
    comm.deliver_from("BRAVO", "tell", "tell :command init_sim");
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"ALPHA:Running", "BRAVO:Running"}));
    // The answer is logged as every first answer is.
    page.ResetSimulation();
    std::ifstream in(log.FilePath());
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t confirmations = 0;
    for (size_t at = text.find("InitSimConf"); at != std::string::npos;
         at = text.find("InitSimConf", at + 1)) {
        ++confirmations;
    }
    EXPECT_EQ(confirmations, 3u);
}

TEST_F(SessionControls, CommandsFromOutsideTheTeamAreMarkedOrRefused) {
    RunningTeam();
    comm.deliver_from("INTRUDER", "tell", "tell :command deploy :resource radar :id R1");
    ASSERT_EQ(page.StrayCount(), 1);
    EXPECT_EQ(page.StrayCommands().back().sender, "INTRUDER");
    EXPECT_EQ(page.StrayCommands().back().command, "deploy");
    EXPECT_FALSE(page.StrayCommands().back().refused);
    const long long dispatched = agent.DispatchedCount();
    page.SetTeamOnly(true);
    comm.deliver_from("INTRUDER", "tell", "tell :command deploy :resource radar :id R2");
    comm.deliver_from("ALPHA", "tell", "tell :command deploy :resource radar :id R3");
    EXPECT_TRUE(page.StrayCommands().back().refused);
    EXPECT_EQ(agent.DispatchedCount(), dispatched + 1);
    page.ResetSimulation();
    std::ifstream in(log.FilePath());
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("ResID=\"R1\""), std::string::npos);
    EXPECT_EQ(text.find("ResID=\"R2\""), std::string::npos);
    EXPECT_NE(text.find("ResID=\"R3\""), std::string::npos);
}

TEST_F(SessionControls, SpeedIsOneOfFiveFactorsAndOnlyInPlayback) {
    std::vector<int> applied;
    page.SetSpeedHandler([&applied](int factor) { applied.push_back(factor); });
    RegisterAndAdd({"ALPHA"});
    EXPECT_FALSE(page.SetPlaybackSpeed(8));
    page.SetPlaybackMode(true);
    for (int bad : {0, 3, 32, -2}) {
        EXPECT_FALSE(page.SetPlaybackSpeed(bad)) << bad;
    }
    for (int factor : {2, 4, 8, 16, 1}) {
        EXPECT_TRUE(page.SetPlaybackSpeed(factor)) << factor;
    }
    page.SetPlaybackSpeed(16);
    page.SetPlaybackMode(false);
    EXPECT_EQ(page.PlaybackSpeed(), 1);
    EXPECT_EQ(applied, (std::vector<int>{2, 4, 8, 16, 1, 16, 1}));
}

TEST_F(SessionControls, SeekReleasesExactlyTheRecordsFromThatMinuteOn) {
    LoadedPlayback();
    EXPECT_TRUE(page.CanSeek());
    EXPECT_FALSE(page.SeekPlayback(961));
    page.PlayPause();
    ASSERT_TRUE(page.SeekPlayback(3));
    // The stations learn the minute at once.
    ASSERT_FALSE(comm.sent().empty());
    EXPECT_EQ(comm.sent().back().content, "tell :command clock_sync :clock 3");
    EXPECT_EQ(page.ClockDigits(), "003");
    const std::vector<std::string> replayed = ReplayedToAlpha(3, 6);
    ASSERT_EQ(replayed.size(), 2u);
    EXPECT_EQ(replayed[0], "4 tell :command activate :resource radar :id R2");
    EXPECT_EQ(replayed[1].substr(0, 36), "4 tell :command subject_communicatio");

    // Backwards: from the start again, the minute-2 record comes back at minute 2.
    ASSERT_TRUE(page.SeekPlayback(0));
    const std::vector<std::string> again = ReplayedToAlpha(0, 4);
    ASSERT_EQ(again.size(), 3u);
    EXPECT_EQ(again[0], "2 tell :command activate :resource radar :id R1");
}

TEST_F(SessionControls, SeekIsOnlyForALoadedPlayback) {
    RunningTeam();
    EXPECT_FALSE(page.CanSeek());
    EXPECT_FALSE(page.SeekPlayback(10));
    EXPECT_EQ(agent.Clock(), 1);
}

} // namespace
} // namespace halyx::test
