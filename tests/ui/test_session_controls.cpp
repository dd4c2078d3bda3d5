// The page's controls for sessions across machines and for reviewing recordings: playing a
// recorded experiment back, a station that stops responding or sends what cannot be read,
// bringing a restarted one back, commands from outside the team, playback speed and seek, and
// moving the experiment log.
#include "pagefixture.h"

#include "external/agentkit/communicator.h"

#include <filesystem>

namespace halyx::test {
namespace {

using PlaybackControls = PageTest;

// Playback mode also brings the speed, one of five factors; leaving it puts x1 back.
TEST_F(PlaybackControls, PlaybackModeEmptiesTheListsZeroesTheClockAndAllowsASpeed) {
    std::vector<int> applied;
    page.SetSpeedHandler([&applied](int factor) { applied.push_back(factor); });
    RegisterAndAdd({"ALPHA"});
    EXPECT_FALSE(page.SetPlaybackSpeed(8));
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
    for (int bad : {0, 3, 32}) {
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

using SessionControls = PageTest;

// A station's row says when it stops responding and counts the messages from it that could not
// be read, through the run; so does a map the station could not fetch.
TEST_F(SessionControls, AStationThatStopsRespondingIsMarkedAndComesBack) {
    RunningTeam();
    agent.OnLinkEvent({CLinkEvent::Kind::Lost, "BRAVO", 0, "connection refused"});
    agent.OnLinkEvent({CLinkEvent::Kind::Dropped, "BRAVO", 2, "connection refused"});
    EXPECT_FALSE(page.IsStationResponding("BRAVO"));
    EXPECT_EQ(page.StationHealthText("BRAVO"), "Not Responding");
    EXPECT_EQ(page.LostMessages("BRAVO"), 2u);
    comm.deliver_text("(tell :sender BRAVO :content (tell :command activate \x01))");
    EXPECT_EQ(page.StationHealthText("BRAVO"), "Not Responding, 1 unreadable message");
    comm.deliver_text("(tell :sender BRAVO :content (tell :command abort \x02))");
    comm.deliver_text("(tell :sender NOBODY :content (tell :command abort \x02))");
    EXPECT_EQ(page.StationHealthText("BRAVO"), "Not Responding, 2 unreadable messages");
    EXPECT_EQ(page.StationHealthText("ALPHA"), "");
    // The status column keeps what the station was doing.
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"ALPHA:Running", "BRAVO:Running"}));
    agent.OnLinkEvent({CLinkEvent::Kind::Back, "BRAVO", 0, "connected"});
    EXPECT_TRUE(page.IsStationResponding("BRAVO"));
    EXPECT_EQ(page.StationHealthText("BRAVO"), "2 unreadable messages");
    comm.deliver_text("(tell :sender ALPHA :content (tell :command init_sim :mapError \"404\"))");
    EXPECT_EQ(page.StationHealthText("ALPHA"), "no map");

    // A subject away is shown; with the setting on, the mission pauses, once, and stays paused
    // when the subject is back.
    comm.deliver_from("BRAVO", "tell", "tell :command seat_presence :state away");
    EXPECT_EQ(page.StationHealthText("BRAVO"), "2 unreadable messages, subject away 0:00");
    EXPECT_FALSE(agent.Paused());
    comm.deliver_from("BRAVO", "tell", "tell :command seat_presence :state back");
    agent.SetPauseWhenAway(true);
    comm.deliver_from("ALPHA", "tell", "tell :command seat_presence :state away");
    comm.deliver_from("ALPHA", "tell", "tell :command seat_presence :state away");
    comm.deliver_from("ALPHA", "tell", "tell :command seat_presence :state back");
    EXPECT_TRUE(agent.Paused());
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"ALPHA:Paused", "BRAVO:Paused"}));
    EXPECT_EQ(CountOf(ReadFile(log.FilePath()), "Name=\"PauseSim\""), 1u);
    page.StartSimulation();
    EXPECT_FALSE(agent.Paused());
    // Seek is only for a loaded playback.
    EXPECT_FALSE(page.CanSeek());
    EXPECT_FALSE(page.SeekPlayback(10));
    EXPECT_EQ(agent.Clock(), 1);
}

// Commands from outside the team are marked, or refused with Team Only; a restarted station is
// initialized again and joins the run.
TEST_F(SessionControls, OutsidersAreMarkedOrRefusedAndARestartedStationJoinsTheRun) {
    EXPECT_FALSE(page.CanReinitialize("ALPHA"));
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

    EXPECT_FALSE(page.CanReinitialize("CHARLIE"));
    ASSERT_TRUE(page.ReinitializeStation("BRAVO"));
    EXPECT_EQ(CommandsSent("init_sim"), (std::vector<std::string>{"BRAVO"}));
    EXPECT_EQ(CommandsSent("start_sim"), (std::vector<std::string>{"BRAVO"}));
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"ALPHA:Running", "BRAVO:Not Initialized"}));
    comm.deliver_from("BRAVO", "tell", "tell :command init_sim");
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"ALPHA:Running", "BRAVO:Running"}));
    // ALPHA's name taken from another machine: named on the row, asked about first.
    registry.close_connection(stations);
    RegisterStations({"ALPHA"}, "10.1.1.2");
    view.answers = {false, true};
    EXPECT_FALSE(page.ReinitializeStation("ALPHA"));
    EXPECT_EQ(view.questions.back(),
              "ALPHA now registers from 10.1.1.2, it was 10.1.1.1. Re-initialize it?");
    EXPECT_EQ(page.StationHealthText("ALPHA"), "new host, it was 10.1.1.1");
    EXPECT_TRUE(page.ReinitializeStation("ALPHA"));
    // The answer is logged as every first answer is; the refused command is not logged.
    const std::string text = ClosedLogText();
    EXPECT_EQ(CountOf(text, "InitSimConf"), 3u);
    EXPECT_NE(text.find("ResID=\"R1\""), std::string::npos);
    EXPECT_EQ(text.find("ResID=\"R2\""), std::string::npos);
    EXPECT_NE(text.find("ResID=\"R3\""), std::string::npos);
}

TEST_F(SessionControls, SeekReleasesExactlyTheRecordsFromThatMinuteOn) {
    LoadRecorded(true);
    EXPECT_TRUE(page.CanSeek());
    EXPECT_FALSE(page.SeekPlayback(961));
    page.PlayPause();
    ASSERT_TRUE(page.SeekPlayback(3));
    // The stations learn the minute at once.
    ASSERT_FALSE(comm.sent().empty());
    EXPECT_EQ(comm.sent().back().content, "tell :command clock_sync :clock 3");
    EXPECT_EQ(page.ClockDigits(), "003");
    // What ALPHA is sent from there on, besides the clock.
    std::vector<std::string> replayed;
    for (int minute = 3; minute <= 6; ++minute) {
        comm.clear_sent();
        agent.process_clock_tick();
        for (const CSentMessage& m : comm.sent()) {
            if (m.receiver == "ALPHA" && m.content.find("clock_sync") == std::string::npos) {
                replayed.push_back(std::to_string(minute) + " " + m.content);
            }
        }
    }
    ASSERT_EQ(replayed.size(), 2u);
    EXPECT_EQ(replayed[0], "4 tell :command activate :resource radar :id R2");
    EXPECT_EQ(replayed[1].substr(0, 36), "4 tell :command subject_communicatio");
    // Seeking backwards is the playback store's own test.
}

// The "Move Log..." action, and the report of a log that cannot be written.
TEST_F(SessionControls, TheLogContinuesInTheChosenFolderOrStaysWithTheReasonShown) {
    EXPECT_FALSE(page.CanMoveLog());
    RegisterAndAdd({"ALPHA"});
    page.InitializeSimulation();
    ASSERT_TRUE(page.CanMoveLog());
    const std::string before = log.FilePath();
    const std::string elsewhere = HalyxHome() + "moved/";
    std::filesystem::remove_all(elsewhere);

    EXPECT_FALSE(page.MoveLog(view.folder));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_TRUE(view.messages[0].starts_with("The experiment log could not be moved: the log is "
                                             "already in "))
        << view.messages[0];
    EXPECT_EQ(log.FilePath(), before);

    EXPECT_TRUE(page.MoveLog(elsewhere));
    EXPECT_EQ(view.messages.size(), 1u);
    // What a move carries across and leaves behind is the log's own test.
    EXPECT_EQ(std::filesystem::path(log.FilePath()).parent_path(),
              std::filesystem::path(elsewhere).parent_path());

    page.ReportLogTrouble("cannot write X: No space left on device (disk full?)");
    EXPECT_NE(view.messages.back().find("cannot write X: No space left on device (disk full?)"),
              std::string::npos);
}

} // namespace
} // namespace halyx::test
