// Playing a recorded experiment back from the simulation control page.
#include "pagefixture.h"

namespace halyx::test {
namespace {

class PlaybackControls : public PageTest {};

TEST_F(PlaybackControls, PlaybackModeEmptiesTheListsAndZeroesTheClock) {
    RegisterAndAdd({"ALPHA"});
    page.InitializeSimulation();
    page.StartSimulation();
    for (int i = 0; i <= 960; ++i) {
        agent.process_clock_tick();
    }
    ASSERT_EQ(agent.Clock(), 961);
    page.SetPlaybackMode(true);
    EXPECT_TRUE(page.Stations().empty());
    EXPECT_TRUE(page.AgentList().empty());
    EXPECT_EQ(page.ClockDigits(), "000");
    // The count agrees with the display, so a playback starts from minute 0.
    EXPECT_EQ(agent.Clock(), 0);
    EXPECT_TRUE(page.IsEnabled(InitControl::LoadExperiment));
    EXPECT_FALSE(page.IsEnabled(InitControl::InitializeSimulation));
    EXPECT_FALSE(page.IsEnabled(InitControl::AddClient));
    EXPECT_FALSE(page.IsEnabled(InitControl::InitializePlayback));
}

// A replay never writes into its recording, plays without a missing station after a question,
// and ends with the recorded decision, saying when the stations' reports differ.
TEST_F(PlaybackControls, AReplayLeavesItsRecordingAsItWas) {
    page.SetSinglePersonGame(true);
    RunningTeam();
    view.answers = {false};
    page.SetPlaybackMode(true);
    comm.deliver_from("ALPHA", "tell", "tell :command update_go_nogo_status :status go");
    for (int i = 1; i <= 960; ++i) {
        agent.process_clock_tick();
    }
    const std::string path = view.openFile.emplace(log.FilePath());
    page.SetPlaybackMode(true);
    EXPECT_EQ(view.questions, std::vector<std::string>{"A mission is running (minute 1). End it "
                                                       "and close the experiment log?"});
    const std::string recorded = ReadFile(path);
    page.LoadExperiment();
    comm.deliver_from("ALPHA", "tell", "tell :command init_playback_confirm");
    EXPECT_TRUE(page.IsEnabled(InitControl::StationsList) && page.ReinitializeStation("BRAVO"));
    page.PlayPause();
    EXPECT_EQ(view.questions.back(),
              "These stations have not initialized for playback: BRAVO. Play without them?");
    comm.deliver_from("ALPHA", "tell", "tell :command activate :resource radar :id R9");
    for (int i = 0; i <= 960; ++i) {
        agent.process_clock_tick();
    }
    EXPECT_EQ(page.MissionOutcome(), "Mission complete at minute 960: Launch (ALPHA: no-go). The "
                                     "recorded decision is shown; the stations' reports in this "
                                     "replay give No Launch");
    EXPECT_EQ(ReadFile(path), recorded);
}

TEST_F(PlaybackControls, LoadedTeamIsInitializedThenPlayedOnTheClock) {
    LoadRecorded();
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(Statuses(),
              (std::vector<std::string>{"ALPHA:Not Initialized", "BRAVO:Not Initialized"}));
    EXPECT_TRUE(page.IsEnabled(InitControl::InitializePlayback));
    // Another log may be loaded until the replay starts.
    EXPECT_TRUE(page.IsEnabled(InitControl::LoadExperiment));

    comm.deliver_from("ALPHA", "tell", "tell :command init_playback_confirm");
    page.InitializePlayback();
    // Only the row that is still "Not Initialized" is asked.
    EXPECT_EQ(CommandsSent("init_playback"), std::vector<std::string>{"BRAVO"});
    comm.deliver_from("BRAVO", "tell", "tell :command init_playback_confirm");
    EXPECT_TRUE(page.IsEnabled(InitControl::PlayPause));

    page.PlayPause();
    EXPECT_EQ(page.PlayPauseBitmap(), 174);
    EXPECT_TRUE(page.IsEnabled(InitControl::Stop));
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"ALPHA:Playback", "BRAVO:Playback"}));
    // What the clock then releases, and to whom, is the agent's and the playback store's test.
    page.PlayPause();
    EXPECT_EQ(page.PlayPauseBitmap(), 171);
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"ALPHA:Paused", "BRAVO:Paused"}));
    page.PlayPause();
    EXPECT_EQ(page.PlayPauseBitmap(), 174);

    page.Stop();
    EXPECT_EQ(page.PlayPauseBitmap(), 171);
    EXPECT_EQ(agent.Clock(), 0);
    EXPECT_EQ(CommandsSent("stop_playback"), (std::vector<std::string>{"ALPHA", "BRAVO"}));
}

TEST_F(PlaybackControls, LeavingPlaybackStopsResetsAndForgetsTheRecordedTeam) {
    LoadRecorded();
    ASSERT_EQ(agent.Team().size(), 2u);
    page.SetPlaybackMode(false);
    EXPECT_EQ(CommandsSent("stop_playback"), (std::vector<std::string>{"ALPHA", "BRAVO"}));
    EXPECT_EQ(CommandsSent("reset_sim"), (std::vector<std::string>{"ALPHA", "BRAVO"}));
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_TRUE(page.Stations().empty());
    // No station that the page no longer lists stays in the team.
    EXPECT_TRUE(agent.Team().empty());
    EXPECT_FALSE(page.IsEnabled(InitControl::LoadExperiment));
    EXPECT_FALSE(page.IsEnabled(InitControl::PlayPause));
    EXPECT_TRUE(page.IsEnabled(InitControl::AddClient));
    EXPECT_EQ(page.AgentList(), (std::vector<std::string>{"ALPHA", "BRAVO"}));
}

TEST_F(PlaybackControls, LeavingPlaybackAndAnsweringNoKeepsTheTeamAndTheStations) {
    LoadRecorded();
    view.answers = {false};
    page.SetPlaybackMode(false);
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_TRUE(CommandsSent("reset_sim").empty());
    ASSERT_EQ(page.Stations().size(), 2u);
    EXPECT_EQ(page.Stations()[0].name, "ALPHA");
    EXPECT_EQ(page.Stations()[1].name, "BRAVO");
    EXPECT_EQ(agent.Team(), (std::vector<std::string>{"ALPHA", "BRAVO"}));
    EXPECT_FALSE(page.IsPlaybackMode());
}

// A second log, loaded without leaving playback mode, brings its own team; the end of its replay
// is shown until a stop readies it again.
TEST_F(PlaybackControls, AnotherLogReplacesTheTeamAndAStopAfterTheEndReadiesTheReplay) {
    LoadRecorded(true);
    ASSERT_TRUE(page.IsEnabled(InitControl::PlayPause));
    CExperimentLog other;
    ASSERT_TRUE(other.Open(view.folder, "Second", "", "<Scenario>\n</Scenario>\n"));
    other.LogTeam({"CHARLIE"});
    ASSERT_TRUE(other.Close());
    view.openFile = other.FilePath();
    page.LoadExperiment();
    EXPECT_EQ(Statuses(), std::vector<std::string>{"CHARLIE:Not Initialized"});
    EXPECT_FALSE(page.IsEnabled(InitControl::PlayPause));

    page.InitializePlayback();
    comm.deliver_from("CHARLIE", "tell", "tell :command init_playback_confirm");
    page.PlayPause();
    for (int i = 0; i <= 960; ++i) {
        agent.process_clock_tick();
    }
    EXPECT_EQ(Statuses(), std::vector<std::string>{"CHARLIE:Playback complete"});
    EXPECT_FALSE(page.IsEnabled(InitControl::PlayPause));
    EXPECT_EQ(page.MissionOutcome(), "Mission complete at minute 960: No Launch (CHARLIE: no-go)");
    page.Stop();
    EXPECT_TRUE(page.IsEnabled(InitControl::PlayPause));
    EXPECT_TRUE(page.MissionOutcome().empty());
}

} // namespace
} // namespace halyx::test
