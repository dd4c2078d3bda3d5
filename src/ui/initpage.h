#pragma once

#include "agent/iagentnotices.h"
#include "agent/istationstatusview.h"
#include "ui/initpageview.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

class CHalyxCommand;
class CExperimentLog;
class CCommPage;
class CScenario;

// One row of the "Halyx Stations" list.
struct StationRow {
    std::string name;
    std::string status;
    std::string host;
    std::string port;
};

// What the page needs of the scenario, the log loader and the scenario XML, so that the page
// does not depend on how the scenario pages are put together.
struct InitPageScenario {
    // The readiness message lines for the missing components, "" when nothing is missing.
    std::function<std::string()> missingComponents;
    // The scenario XML written into a new experiment log.
    std::function<std::string()> scenarioXml;
    // One line per unit value the stations could not read ("Incursion N3: speed is not a
    // number\n"), "" when there is none.
    std::function<std::string()> unitProblems;
    // The scenario check's errors, one line each, "" when there are none. Left empty, nothing
    // is checked (the headless console's scripts answer its questions in a fixed order).
    std::function<std::string()> checkErrors = {};
    // Has a recorded experiment read (the desktop program reads it on a worker thread while the
    // window goes on), then calls apply on the page's thread with the step that puts what was
    // read in place (scenario, team, events): that step answers false with the message to show.
    // apply is not called when the user stopped the reading.
    using ExperimentCommit = std::function<bool(std::string& message)>;
    std::function<void(const std::string& path, std::function<void(const ExperimentCommit&)> apply)>
        loadExperiment;
};

// Logic of the "Initialization/Registration" page: registration, team building, the simulation
// and playback controls and the clock display. It holds the page's controls' states; a view
// shows them.
class CInitPage final : public IStationStatusView, public IAgentNotices {
public:
    static constexpr const char* kCaption = "Initialization/Registration";

    // Station statuses.
    static constexpr const char* kNotInitialized = "Not Initialized";
    static constexpr const char* kInitialized = "Initialized";
    // Beside the status of a station that said it could not fetch its map.
    static constexpr const char* kNoMap = "no map";
    static constexpr const char* kRunning = "Running";
    static constexpr const char* kPaused = "Paused";
    static constexpr const char* kPlayback = "Playback";
    static constexpr const char* kComplete = "Complete";
    static constexpr const char* kPlaybackComplete = "Playback complete";

    // The decision shown from the end of a mission (or replay) until Reset: "Mission complete
    // at minute %d: %s" with "Launch" or "No Launch", then each station's go/no-go.
    static constexpr const char* kOutcomeFormat = "Mission complete at minute %d: %s";
    static constexpr const char* kOutcomeLaunch = "Launch";
    static constexpr const char* kOutcomeNoLaunch = "No Launch";
    // Follows the decision of a replay whose stations reported otherwise than in the recording.
    static constexpr const char* kReplayDiffersFormat =
        ". The recorded decision is shown; the stations' reports in this replay give %s";
    // Asked when the window closes while a mission or a replay runs.
    static constexpr const char* kCloseWhileRunningFormat =
        "A mission is running (minute %d). End it and close the experiment log?";

    // Captions of the start button.
    static constexpr const char* kStartCaption = "Start Simulation";
    static constexpr const char* kPauseCaption = "Pause Simulation";
    static constexpr const char* kResumeCaption = "Resume Simulation";
    static constexpr const char* kPausedForAwayTemplate =
        "Paused: the subject at %s is away (Resume Simulation goes on)";

    // Bitmaps of the playback buttons.
    static constexpr int kPlayBitmap = 171;
    static constexpr int kStopBitmap = 172;
    static constexpr int kPlayingBitmap = 174;
    static constexpr int kHiddenBitmap1 = 176;
    static constexpr int kHiddenBitmap2 = 175;

    // The registration state shown beside the registration fields.
    static constexpr const char* kRegisteredStatus = "registered";
    static constexpr const char* kRegistrationLostStatus = "registration lost, retrying";

    static constexpr const char* kRegisterFailed =
        "Unable to register with the ANS. Please check the details and try again";
    // Follows a registration or lookup failure's message with why: a time-out, a refused
    // connection, an unknown host.
    static constexpr const char* kReasonPrefix = "\n\nReason: ";
    static constexpr const char* kAlreadyAdded = "The Halyx Client has already been added";
    static constexpr const char* kNotFoundStart = "Could not find the HalyxStation ";
    static constexpr const char* kNotFoundEnd =
        " on the netork. Please ensure that it is registered with the ANS and try again";
    static constexpr const char* kMissingComponentsStart =
        "The following scenario components have not been loaded. Are you sure you want to "
        "initialize the simulation?\n\n";
    // Shown instead of initializing while unit values are unreadable; the lines follow.
    static constexpr const char* kUnitProblemsStart =
        "The scenario holds values that the stations cannot read. The simulation has not been "
        "initialized:\n\n";
    // Asked when the scenario check finds errors; the error lines stand between the two.
    static constexpr const char* kCheckErrorsStart =
        "The scenario check says there are errors:\n\n";
    static constexpr const char* kCheckErrorsEnd = "\nInitialize anyway?";
    // Asked at Play while stations of the recorded team have not answered Initialize Playback;
    // %s names them. Yes plays without them (they leave the team of this replay).
    static constexpr const char* kPlayWithoutFormat =
        "These stations have not initialized for playback: %s. Play without them?";
    static constexpr const char* kNotInitializedQuestion =
        "Some Halyx Clients have not initialized yet. Do you want to start the simulation "
        "anyway?";
    static constexpr const char* kResetQuestion =
        "The Simulation is about to be reset and all Experiment data will be lost. Are you sure "
        "you want to reset the simulation?";
    // Start without Initialize (or after the log was closed) would run a mission that records
    // nothing and decides with nobody.
    static constexpr const char* kStartNeedsLog =
        "Initialize Simulation first: a mission starts with a team and an open experiment log.";
    static constexpr const char* kExperimentFilter = "Halyx Experiment File (*.xml)|*.xml||";
    static constexpr const char* kExperimentExtension = "*.xml";
    static constexpr const char* kClockDigitsTemplate = "%03d";
    static constexpr const char* kCountdownTemplate = "T-%d hours, %d mins";
    static constexpr const char* kInitialClockCount = "Clock Count: 0";

    // Shown beside the status of a station that cannot be reached.
    static constexpr const char* kNotResponding = "Not Responding";
    // Marks a command from an agent that is not in the team.
    static constexpr const char* kNotInTeam = "not in the team";
    // A station that came back from another host than it was initialized on: the warning and
    // the row say so, and re-initializing it asks first.
    static constexpr const char* kHostChangedTemplate = "%s now registers from %s, it was %s";
    static constexpr const char* kHostChangedQuestion =
        "%s now registers from %s, it was %s. Re-initialize it?";
    // Playback speeds, as multiples of the tick rate; the seek slider's range in minutes.
    static constexpr std::array<int, 5> kPlaybackSpeeds = {1, 2, 4, 8, 16};
    static constexpr int kSeekMaximum = 960;
    // Commands from outside the team that the page keeps for display (the count goes on).
    static constexpr std::size_t kStrayCommandsKept = 100;

    struct StrayCommandEntry {
        std::string sender;
        std::string command;
        bool refused = false;
    };

    CInitPage(IInitPageView& view, CHalyxCommand& agent, CExperimentLog& log,
              InitPageScenario scenario);

    // The human communication page that shows the replayed chat (may be none).
    void SetCommPage(CCommPage* commPage) { m_commPage = commPage; }

    // Registration fields, filled at start-up and editable while unregistered.
    void FillRegistrationFields(const std::string& agentName, int agentPort,
                                const std::string& server, int ansPort);
    void SetServer(std::string text) { m_server = std::move(text); }
    void SetAnsPort(std::string text) { m_ansPort = std::move(text); }
    void SetAgentName(std::string text) { m_agentName = std::move(text); }
    const std::string& Server() const { return m_server; }
    const std::string& AnsPort() const { return m_ansPort; }
    const std::string& AgentName() const { return m_agentName; }
    const std::string& AgentPort() const { return m_agentPort; }

    // Buttons and boxes.
    void Register();
    void UnRegister();
    void ChooseShowAllAgents();
    void ChooseFilterBy();
    void SetFilterText(std::string text) { m_filterText = std::move(text); }
    void RefreshList();
    // Selects an entry of the agent list; false when there is no such entry.
    bool SelectAgent(std::string_view name);
    void AddClient();
    bool SelectStation(std::string_view name);
    void RemoveClient();
    void InitializeSimulation();
    void StartSimulation();
    void ResetSimulation();
    // Reset without the question, for a mission whose data is safe (its log closed and its run
    // recorded) or one the experimenter was asked about already.
    void ResetWithoutQuestion();
    void SetSinglePersonGame(bool checked);
    void SetPlaybackMode(bool checked);
    void LoadExperiment();
    void InitializePlayback();
    void PlayPause();
    void Stop();

    // The experiment log's troubles. The view shows the message of a failed log write (the
    // first one of a log, as soon as it happens; hook ReportLogTrouble to the log's write
    // trouble handler, queued so that no dialog opens inside a write); MoveLog is the "Move
    // Log..." action: the log, what was written and what was kept in memory, continues in the
    // chosen folder. False, with the reason shown, when it cannot.
    static constexpr const char* kLogTroubleFormat =
        "The experiment log cannot be written: %s. The events that follow are kept in memory; "
        "use Move Log... to continue the log in another folder.";
    static constexpr const char* kLogMoveFailedFormat =
        "The experiment log could not be moved: %s. It stays where it was and nothing has been "
        "lost.";
    void ReportLogTrouble(const std::string& reason);
    bool CanMoveLog() const;
    bool MoveLog(const std::string& folder);

    // IStationStatusView and IAgentNotices: what the agent calls.
    void SetStationStatus(std::string_view name, std::string_view status) override;
    void AddStationRow(std::string_view name, std::string_view status, std::string_view host,
                       std::string_view port) override;
    void PlaybackReadinessCheck() override;
    void ShowClock(int minutes) override;
    void MissionEnded(bool launched) override;
    bool IsPlaybackMode() const override { return m_playbackMode; }
    void SetStationReachable(std::string_view name, bool reachable) override;
    void StrayCommand(std::string_view sender, std::string_view command, bool refused) override;
    void SubjectPresence(std::string_view name, bool away) override;
    // The web seats whose subject is away now, with the steady clock's millisecond they left at.
    const std::map<std::string, std::int64_t, std::less<>>& AwaySubjects() const { return m_away; }
    // The count shows in the station's row (StationHealthText).
    void UnreadableFrom(std::string_view, std::size_t) override { Changed(); }
    // The agent keeps the refusals; the views only need to look again.
    void SenderRefused(std::string_view, std::string_view) override { Changed(); }
    void StationHostChanged(std::string_view name, std::string_view host,
                            std::string_view previousHost) override;

    // Station health: "Not Responding" beside the status of a station that cannot be reached,
    // "N unreadable messages" once a station sent any, and "subject away M:SS" while the person
    // at a web seat is gone.
    bool IsStationResponding(std::string_view name) const;
    std::string StationHealthText(std::string_view name) const;
    // Messages to the station that were given up while it could not be reached.
    std::size_t LostMessages(std::string_view name) const;

    // "Re-initialize" for one station that restarted: possible once the simulation (or the
    // playback) has been initialized, for a station in the list. The row reads "Not
    // Initialized" until the station answers, then the status of the others.
    bool CanReinitialize(std::string_view name) const;
    bool ReinitializeStation(std::string_view name) override;

    // Commands from agents outside the team: marked, or refused while this box is checked.
    void SetTeamOnly(bool checked);
    bool TeamOnlyChecked() const { return m_teamOnly; }
    const std::deque<StrayCommandEntry>& StrayCommands() const { return m_strayCommands; }
    long long StrayCount() const { return m_strayCount; }

    // Playback speed (one of kPlaybackSpeeds); the handler changes the tick period. Leaving
    // playback mode goes back to 1. False for any other factor.
    void SetSpeedHandler(std::function<void(int factor)> handler) {
        m_speedHandler = std::move(handler);
    }
    bool SetPlaybackSpeed(int factor);
    int PlaybackSpeed() const { return m_speed; }

    // Seek: playback continues from minute (0..kSeekMaximum). Possible in playback mode once an
    // experiment is loaded.
    bool CanSeek() const;
    bool SeekPlayback(int minute);
    void ReportUnreadable(std::string_view why) override {
        m_view.ShowDiagnostic(std::string(why));
    }
    void MeasureNote(std::string_view text) override {
        m_view.ShowDiagnostic("probes: " + std::string(text));
    }
    void RegistrationChanged(bool registered, std::string_view detail) override;
    void RegistrationRefused(std::string_view message) override;

    // The mission (or replay) has ended and not been reset: the start and play buttons do
    // nothing until Reset (Stop in playback).
    bool MissionOver() const { return m_missionOver; }
    // The decision line of the ended mission ("" before the end and after Reset).
    const std::string& MissionOutcome() const { return m_missionOutcome; }
    // A mission or replay has started and not ended: closing the window must ask first.
    bool MissionRunning() const;
    // The question to ask before the window closes ("" when none is needed).
    std::string CloseQuestion() const;
    // A recorded experiment is loaded for playback.
    bool ExperimentLoaded() const { return m_playbackMode && m_experimentLoaded; }
    // The file of the loaded experiment (a failed load keeps the one before).
    const std::string& LoadedPath() const { return m_loadedPath; }

    // What a view shows.
    bool IsEnabled(InitControl control) const { return m_enabled[static_cast<size_t>(control)]; }
    bool ShowAllAgentsChecked() const { return m_showAll; }
    bool SinglePersonGameChecked() const { return m_singlePerson; }
    const std::string& FilterText() const { return m_filterText; }
    const std::vector<std::string>& AgentList() const { return m_agentList; }
    const std::string& SelectedAgent() const { return m_selectedAgent; }
    const std::vector<StationRow>& Stations() const { return m_stations; }
    const std::string& SelectedStation() const { return m_selectedStation; }
    const std::string& StartCaption() const { return m_startCaption; }
    int PlayPauseBitmap() const { return m_playPauseBitmap; }
    const std::string& ClockDigits() const { return m_clockDigits; }
    const std::string& ClockCount() const { return m_clockCount; }
    // kRegisteredStatus, kRegistrationLostStatus, or "" when not registered.
    const std::string& RegistrationStatus() const { return m_registrationStatus; }
    // Why the registration was last lost ("" when it never was or is held again).
    const std::string& RegistrationDetail() const { return m_registrationDetail; }

    // The readiness check's lines for the components a scenario lacks ("" when none).
    static std::string MissingComponents(const CScenario& scenario);

    // The unit values a station could not read: numbers that are not numbers (or negative where
    // they cannot be: speed, range, time), names holding a parenthesis or a double quote. One
    // line each, "" when none.
    static std::string UnitProblems(const CScenario& scenario);

    // The clock display texts for a clock count.
    static std::string ClockDigitsText(int minutes);
    static std::string CountdownText(int minutes);

private:
    void FinishLoadExperiment(const std::string& path,
                              const InitPageScenario::ExperimentCommit& commit);
    void Enable(InitControl control, bool enabled) {
        m_enabled[static_cast<size_t>(control)] = enabled;
    }
    void EnableAll(std::initializer_list<InitControl> controls, bool enabled);
    void BuildFullAgentList();
    void SetAllStatuses(std::string_view status);
    bool AnyStatusOtherThan(std::string_view status) const;
    void RemoveStationAt(size_t index);
    // A mission or replay started without the stations that did not answer goes on without them.
    void RemoveUninitialized();
    // The team's buttons follow whether the team has a member.
    void EnableTeamButtons();
    void ClearMissionOver();
    // The reset question, then the reset when the answer is yes; false for no.
    bool ResetAfterQuestion();
    void Changed();

    IInitPageView& m_view;
    std::string m_refusalShown; // the last refusal shown, so that a retry does not repeat it
    CHalyxCommand& m_agent;
    CExperimentLog& m_log;
    InitPageScenario m_scenario;
    CCommPage* m_commPage = nullptr;

    std::string m_server;
    std::string m_ansPort;
    std::string m_agentName;
    std::string m_agentPort;
    std::string m_filterText;
    std::array<bool, kInitControlCount> m_enabled{};
    bool m_showAll = true;
    bool m_playbackMode = false;
    bool m_singlePerson = false;
    std::vector<std::string> m_agentList;
    std::string m_selectedAgent;
    std::vector<StationRow> m_stations;
    std::string m_selectedStation;
    std::string m_startCaption = kStartCaption;
    int m_playPauseBitmap = kPlayBitmap;
    std::string m_clockDigits = "000";
    std::string m_clockCount = kInitialClockCount;
    std::set<std::string, std::less<>> m_unreachable;
    std::map<std::string, std::int64_t, std::less<>> m_away;
    std::set<std::string, std::less<>> m_reinitPending;
    bool m_teamOnly = false;
    std::deque<StrayCommandEntry> m_strayCommands;
    long long m_strayCount = 0;
    std::function<void(int)> m_speedHandler;
    int m_speed = 1;
    std::string m_registrationStatus;
    std::string m_registrationDetail;
    bool m_missionOver = false;
    std::string m_missionOutcome;
    bool m_experimentLoaded = false;
    std::string m_loadedPath;
};

} // namespace halyx
