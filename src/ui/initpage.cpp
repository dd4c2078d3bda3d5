#include "ui/initpage.h"

#include "agent/halyxcommand.h"
#include "common/format.h"
#include "common/numtext.h"
#include "record/experimentlog.h"
#include "record/savelocation.h"
#include "scenario/scenario.h"
#include "ui/commpage.h"

#include <algorithm>
#include <cctype>
#include <chrono>

namespace halyx {

namespace {

bool StartsWithNoCase(std::string_view name, std::string_view prefix) {
    if (prefix.size() > name.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(name[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// The name server's reason for a failure, after the message ("" when there is none).
std::string ReasonText(const std::string& error) {
    return error.empty() ? std::string() : std::string(CInitPage::kReasonPrefix) + error;
}

} // namespace

CInitPage::CInitPage(IInitPageView& view, CHalyxCommand& agent, CExperimentLog& log,
                     InitPageScenario scenario)
    : m_view(view), m_agent(agent), m_log(log), m_scenario(std::move(scenario)) {
    m_enabled.fill(true);
    EnableAll({InitControl::AgentList, InitControl::StationsList, InitControl::AddClient,
               InitControl::RemoveClient, InitControl::StartSimulation,
               InitControl::ResetSimulation, InitControl::InitializeSimulation,
               InitControl::ShowAllAgents, InitControl::FilterBy, InitControl::RefreshList,
               InitControl::FilterText, InitControl::InitializePlayback, InitControl::PlaybackMode,
               InitControl::LoadExperiment, InitControl::Stop, InitControl::PlayPause,
               InitControl::HiddenButton1, InitControl::HiddenButton2, InitControl::AgentPort},
              false);
}

void CInitPage::EnableAll(std::initializer_list<InitControl> controls, bool enabled) {
    for (InitControl control : controls) {
        Enable(control, enabled);
    }
}

void CInitPage::Changed() {
    m_view.PageChanged();
}

void CInitPage::FillRegistrationFields(const std::string& agentName, int agentPort,
                                       const std::string& server, int ansPort) {
    m_agentName = agentName;
    m_agentPort = Format("%d", agentPort);
    m_server = server;
    m_ansPort = Format("%d", ansPort);
    Changed();
}

void CInitPage::Register() {
    // Cleared first: a refusal during EnableANS leaves its reason here for the page to show.
    m_registrationDetail.clear();
    if (!m_agent.EnableANS(m_agentName, m_agentPort, m_server, m_ansPort)) {
        m_registrationStatus.clear();
        m_view.ShowMessage(kRegisterFailed + ReasonText(m_agent.AnsError()));
        return;
    }
    m_registrationStatus = kRegisteredStatus;
    m_registrationDetail.clear();
    EnableAll({InitControl::UnRegister, InitControl::AgentList, InitControl::StationsList,
               InitControl::RefreshList, InitControl::AddClient, InitControl::ShowAllAgents,
               InitControl::FilterBy, InitControl::PlaybackMode},
              true);
    EnableAll({InitControl::Register, InitControl::Server, InitControl::AnsPort, InitControl::Agent,
               InitControl::AgentPort},
              false);
    m_showAll = true;
    BuildFullAgentList();
    Changed();
}

void CInitPage::RegistrationChanged(bool registered, std::string_view detail) {
    // Only a registration the experimenter asked for can be lost or taken again; the controls
    // stay as they are (UnRegister still ends it), only the state shown changes.
    if (m_registrationStatus.empty()) {
        return;
    }
    m_registrationStatus = registered ? kRegisteredStatus : kRegistrationLostStatus;
    m_registrationDetail = registered ? std::string() : std::string(detail);
    if (registered) {
        m_refusalShown.clear();
    }
    Changed();
}

void CInitPage::RegistrationRefused(std::string_view message) {
    // On the registration line for as long as it stands, and said once.
    m_registrationDetail = std::string(message);
    Changed();
    if (m_refusalShown != message) {
        m_refusalShown = std::string(message);
        m_view.ShowError(m_refusalShown);
    }
}

void CInitPage::UnRegister() {
    m_registrationStatus.clear();
    m_registrationDetail.clear();
    m_enabled.fill(false);
    EnableAll(
        {InitControl::Register, InitControl::Server, InitControl::AnsPort, InitControl::Agent},
        true);
    m_playbackMode = false;
    m_experimentLoaded = false;
    m_agent.DisableANS();
    Changed();
}

void CInitPage::BuildFullAgentList() {
    m_agentList = m_agent.ListAgents();
    std::erase(m_agentList, m_agentName);
    std::sort(m_agentList.begin(), m_agentList.end());
    m_selectedAgent.clear();
}

void CInitPage::ChooseShowAllAgents() {
    m_showAll = true;
    Enable(InitControl::FilterText, false);
    BuildFullAgentList();
    Changed();
}

void CInitPage::ChooseFilterBy() {
    m_showAll = false;
    Enable(InitControl::FilterText, true);
    BuildFullAgentList();
    Changed();
}

void CInitPage::RefreshList() {
    m_agentList.clear();
    m_selectedAgent.clear();
    if (m_showAll) {
        BuildFullAgentList();
        if (!m_agent.AnsError().empty()) {
            m_view.ShowDiagnostic(m_agent.AnsError());
        }
    } else {
        for (const std::string& name : m_agent.ListAgents()) {
            if (name != m_agentName && StartsWithNoCase(name, m_filterText)) {
                m_agentList.push_back(name);
            }
        }
        std::sort(m_agentList.begin(), m_agentList.end());
    }
    Changed();
}

bool CInitPage::SelectAgent(std::string_view name) {
    if (std::find(m_agentList.begin(), m_agentList.end(), name) == m_agentList.end()) {
        return false;
    }
    m_selectedAgent = name;
    return true;
}

void CInitPage::AddClient() {
    if (m_selectedAgent.empty()) {
        return;
    }
    const std::string name = m_selectedAgent;
    if (m_agent.IsTeamMember(name)) {
        m_view.ShowMessage(kAlreadyAdded);
        return;
    }
    std::string host;
    std::string port;
    if (!m_agent.LookupStation(name, host, port)) {
        m_view.ShowMessage(kNotFoundStart + name + kNotFoundEnd + ReasonText(m_agent.AnsError()));
        return;
    }
    m_stations.push_back({name, kNotInitialized, host, port});
    m_agent.AddTeamMember(name);
    EnableTeamButtons();
    Changed();
}

bool CInitPage::SelectStation(std::string_view name) {
    auto it = std::find_if(m_stations.begin(), m_stations.end(),
                           [&](const StationRow& row) { return row.name == name; });
    if (it == m_stations.end()) {
        return false;
    }
    m_selectedStation = name;
    return true;
}

void CInitPage::RemoveStationAt(size_t index) {
    m_agent.RemoveTeamMember(m_stations[index].name);
    m_stations.erase(m_stations.begin() + static_cast<std::ptrdiff_t>(index));
    m_selectedStation.clear();
    if (m_stations.empty()) {
        EnableAll({InitControl::InitializeSimulation, InitControl::RemoveClient}, false);
    }
}

void CInitPage::RemoveUninitialized() {
    for (size_t i = 0; i < m_stations.size();) {
        if (m_stations[i].status != kInitialized) {
            RemoveStationAt(i);
        } else {
            ++i;
        }
    }
}

void CInitPage::EnableTeamButtons() {
    // A mission with nobody in it would run and log an empty team.
    const bool team = !m_stations.empty() && !m_agent.Team().empty();
    EnableAll({InitControl::InitializeSimulation, InitControl::RemoveClient}, team);
}

void CInitPage::ClearMissionOver() {
    m_missionOver = false;
    m_missionOutcome.clear();
}

bool CInitPage::MissionRunning() const {
    return m_agent.Started() && !m_missionOver;
}

std::string CInitPage::CloseQuestion() const {
    return MissionRunning() ? Format(kCloseWhileRunningFormat, m_agent.Minute()) : std::string();
}

void CInitPage::MissionEnded(bool launched) {
    m_missionOver = true;
    std::string outcome = Format(kOutcomeFormat, CHalyxCommand::kLaunchWindow,
                                 launched ? kOutcomeLaunch : kOutcomeNoLaunch);
    // Each station's go/no-go, in team order (the positions the decision counts).
    const std::vector<std::string>& team = m_agent.Team();
    std::string stations;
    for (size_t i = 0; i < team.size() && i < 3; ++i) {
        stations += (stations.empty() ? "" : ", ") + team[i] + ": " +
                    (m_agent.GoNoGo(static_cast<int>(i)) == 1 ? "go" : "no-go");
    }
    if (!stations.empty()) {
        outcome += " (" + stations + ")";
    }
    if (m_playbackMode && m_agent.ReplayDecisionDiffers()) {
        outcome += Format(kReplayDiffersFormat, launched ? kOutcomeNoLaunch : kOutcomeLaunch);
    }
    m_missionOutcome = outcome;
    if (m_playbackMode) {
        SetAllStatuses(kPlaybackComplete);
        m_playPauseBitmap = kPlayBitmap;
        Enable(InitControl::PlayPause, false);
        Enable(InitControl::LoadExperiment, true);
    } else {
        SetAllStatuses(kComplete);
        Enable(InitControl::StartSimulation, false);
        Enable(InitControl::ResetSimulation, true);
    }
    Changed();
}

void CInitPage::RemoveClient() {
    if (m_selectedStation.empty()) {
        return;
    }
    for (size_t i = 0; i < m_stations.size(); ++i) {
        if (m_stations[i].name == m_selectedStation) {
            RemoveStationAt(i);
            break;
        }
    }
    Changed();
}

void CInitPage::InitializeSimulation() {
    if (m_agent.Team().empty()) {
        return;
    }
    // A value that is not a number would reach the stations as it is (":speed 80x"); a name
    // with a parenthesis or quote would leave their reader of init_sim open.
    if (const std::string problems = m_scenario.unitProblems ? m_scenario.unitProblems() : "";
        !problems.empty()) {
        m_view.ShowMessage(kUnitProblemsStart + problems);
        return;
    }
    std::string missing = m_scenario.missingComponents ? m_scenario.missingComponents() : "";
    if (!missing.empty() && !m_view.Ask(kMissingComponentsStart + missing)) {
        return;
    }
    if (const std::string errors = m_scenario.checkErrors ? m_scenario.checkErrors() : "";
        !errors.empty() && !m_view.Ask(kCheckErrorsStart + errors + kCheckErrorsEnd)) {
        return;
    }
    CSaveLocation where;
    if (!m_view.ChooseLogLocation(where)) {
        return;
    }
    std::string xml = m_scenario.scenarioXml ? m_scenario.scenarioXml() : "";
    if (!m_log.Open(where.GetLocation(), where.GetName(), where.GetNotes(), xml)) {
        m_view.ShowMessage(m_log.LastError());
        return;
    }
    if (m_commPage) {
        m_commPage->NewExperiment();
    }
    EnableAll({InitControl::AgentList, InitControl::AddClient, InitControl::RemoveClient,
               InitControl::InitializeSimulation},
              false);
    Enable(InitControl::ResetSimulation, true);
    m_agent.InitSim();
    Enable(InitControl::StartSimulation, true);
    Enable(InitControl::StationsList, false);
    Changed();
}

bool CInitPage::AnyStatusOtherThan(std::string_view status) const {
    return std::any_of(m_stations.begin(), m_stations.end(),
                       [&](const StationRow& row) { return row.status != status; });
}

void CInitPage::SetAllStatuses(std::string_view status) {
    for (StationRow& row : m_stations) {
        row.status = status;
    }
}

void CInitPage::StartSimulation() {
    // After the end only Reset goes on: a start here would run a finished experiment again.
    if (m_missionOver) {
        return;
    }
    if (!m_agent.Started()) {
        if (m_agent.Team().empty() || !m_log.IsOpen()) {
            Enable(InitControl::StartSimulation, false);
            m_view.ShowMessage(kStartNeedsLog);
            Changed();
            return;
        }
        if (AnyStatusOtherThan(kInitialized)) {
            if (!m_view.Ask(kNotInitializedQuestion)) {
                return;
            }
            RemoveUninitialized();
        }
        SetAllStatuses(kRunning);
        m_agent.StartSim();
        m_startCaption = kPauseCaption;
    } else if (m_agent.Paused()) {
        SetAllStatuses(kRunning);
        m_agent.ResumeSim();
        m_startCaption = kPauseCaption;
    } else {
        SetAllStatuses(kPaused);
        m_agent.PauseSim();
        m_startCaption = kResumeCaption;
    }
    Enable(InitControl::ResetSimulation, true);
    Changed();
}

void CInitPage::ResetSimulation() {
    ResetAfterQuestion();
}

bool CInitPage::ResetAfterQuestion() {
    if (!m_view.Ask(kResetQuestion)) {
        return false;
    }
    ResetWithoutQuestion();
    return true;
}

void CInitPage::ResetWithoutQuestion() {
    EnableAll({InitControl::AgentList, InitControl::AddClient}, true);
    m_startCaption = kStartCaption;
    EnableAll({InitControl::StartSimulation, InitControl::ResetSimulation}, false);
    EnableAll({InitControl::StationsList, InitControl::InitializeSimulation}, true);
    EnableTeamButtons();
    ClearMissionOver();
    m_agent.ResetClock();
    m_clockCount = kInitialClockCount;
    m_clockDigits = ClockDigitsText(0);
    m_agent.ResetSim();
    SetAllStatuses(kNotInitialized);
    Changed();
}

void CInitPage::SetSinglePersonGame(bool checked) {
    m_singlePerson = checked;
    m_agent.SetMultiplayer(!checked);
    Changed();
}

void CInitPage::SetPlaybackMode(bool checked) {
    if (checked == m_playbackMode) {
        return;
    }
    // The log of the live mission is finished before anything is replayed: the stations'
    // commands during a replay would otherwise be written into it. A mission still running is
    // ended only when the experimenter says so.
    if (checked && m_log.IsOpen()) {
        if (MissionRunning()) {
            if (!m_view.Ask(Format(kCloseWhileRunningFormat, m_agent.Minute()))) {
                Changed();
                return;
            }
            m_agent.ResetSim();
            m_startCaption = kStartCaption;
        } else {
            m_agent.CloseExperimentLog();
        }
    }
    m_playbackMode = checked;
    static constexpr std::initializer_list<InitControl> kTeamControls = {
        InitControl::FilterText,      InitControl::AgentList,
        InitControl::StationsList,    InitControl::AddClient,
        InitControl::RemoveClient,    InitControl::StartSimulation,
        InitControl::ResetSimulation, InitControl::InitializeSimulation,
        InitControl::ShowAllAgents,   InitControl::FilterBy,
        InitControl::RefreshList};
    ClearMissionOver();
    m_experimentLoaded = false;
    if (checked) {
        m_stations.clear();
        m_selectedStation.clear();
        m_agentList.clear();
        m_selectedAgent.clear();
        EnableAll(kTeamControls, false);
        // The display reads 0, so the count must too: a playback started from a count left over
        // by an ended mission would release nothing and end again at its first tick.
        if (!m_agent.Started()) {
            m_agent.ResetClock();
        }
        ShowClock(0);
        Enable(InitControl::LoadExperiment, true);
        Changed();
        return;
    }
    RefreshList();
    EnableAll(kTeamControls, true);
    SetPlaybackSpeed(1);
    ShowClock(0);
    EnableAll({InitControl::InitializePlayback, InitControl::LoadExperiment, InitControl::Stop,
               InitControl::PlayPause, InitControl::HiddenButton1, InitControl::HiddenButton2},
              false);
    Stop();
    // "No" to the reset question resets nothing: the recorded team stays on the page and in
    // the agent, as the experimenter chose.
    if (ResetAfterQuestion()) {
        // The stations list is emptied; the team must not keep recorded stations that nobody
        // can see on the page (they would be sent the next init_sim).
        m_stations.clear();
        m_selectedStation.clear();
        for (const std::string& member : std::vector<std::string>(m_agent.Team())) {
            m_agent.RemoveTeamMember(member);
        }
    }
    EnableTeamButtons();
    Changed();
}

void CInitPage::LoadExperiment() {
    std::optional<std::string> path =
        m_view.ChooseOpenFile(kExperimentFilter, kExperimentExtension);
    if (!path) {
        return;
    }
    if (!m_scenario.loadExperiment) {
        FinishLoadExperiment(*path, [](std::string&) { return false; });
        return;
    }
    // The page's rows and buttons change only when the log was read; the reading itself may
    // take a while on a worker.
    m_scenario.loadExperiment(
        *path, [this, path = *path](const InitPageScenario::ExperimentCommit& commit) {
            FinishLoadExperiment(path, commit);
        });
}

void CInitPage::FinishLoadExperiment(const std::string& path,
                                     const InitPageScenario::ExperimentCommit& commit) {
    std::string message;
    // The loaded team's rows replace those of a log loaded before; a failed load keeps them.
    std::vector<StationRow> before = std::move(m_stations);
    m_stations.clear();
    const bool loaded = commit(message);
    if (!loaded) {
        m_stations = std::move(before);
    }
    if (!message.empty()) {
        m_view.ShowMessage(message);
    }
    if (loaded) {
        m_experimentLoaded = true;
        m_loadedPath = path;
        m_selectedStation.clear();
        ClearMissionOver();
        Enable(InitControl::InitializePlayback, true);
        // A row can be chosen, so that a station that did not answer can be re-initialized.
        Enable(InitControl::StationsList, true);
        // Another log may be loaded until the replay starts.
        Enable(InitControl::PlayPause, false);
        Enable(InitControl::Stop, false);
    }
    Changed();
}

void CInitPage::InitializePlayback() {
    if (m_commPage) {
        m_commPage->ClearReplay();
    }
    std::vector<std::string> names;
    for (const StationRow& row : m_stations) {
        if (row.status == kNotInitialized) {
            names.push_back(row.name);
        }
    }
    for (const std::string& name : names) {
        m_agent.InitPlayback(name);
    }
    Changed();
}

void CInitPage::PlayPause() {
    if (m_missionOver) {
        return;
    }
    if (!m_agent.Started() && AnyStatusOtherThan(kInitialized)) {
        // A station that never answered would hold the replay up for good: play without it
        // when the experimenter says so (Re-initialize asks it once more).
        std::string missing;
        for (const StationRow& row : m_stations) {
            if (row.status != kInitialized) {
                missing += (missing.empty() ? "" : ", ") + row.name;
            }
        }
        if (!m_view.Ask(Format(kPlayWithoutFormat, missing.c_str()))) {
            return;
        }
        RemoveUninitialized();
    }
    Enable(InitControl::LoadExperiment, false);
    if (!m_agent.Started()) {
        m_agent.StartSim();
        SetAllStatuses(kPlayback);
        m_playPauseBitmap = kPlayingBitmap;
    } else if (!m_agent.Paused()) {
        SetAllStatuses(kPaused);
        m_agent.PauseSim();
        m_playPauseBitmap = kPlayBitmap;
    } else {
        SetAllStatuses(kPlayback);
        m_agent.ResumeSim();
        m_playPauseBitmap = kPlayingBitmap;
    }
    Enable(InitControl::Stop, true);
    Changed();
}

void CInitPage::Stop() {
    ShowClock(0);
    m_agent.StopPlayback();
    m_playPauseBitmap = kPlayBitmap;
    // The stations were told to stop: they wait, initialized, for the next play.
    for (StationRow& row : m_stations) {
        if (row.status == kPlayback || row.status == kPaused || row.status == kPlaybackComplete) {
            row.status = kInitialized;
        }
    }
    if (m_missionOver && m_playbackMode) {
        ClearMissionOver();
        Enable(InitControl::PlayPause, true);
    }
    if (m_playbackMode) {
        Enable(InitControl::LoadExperiment, true);
    }
    Changed();
}

void CInitPage::SetStationStatus(std::string_view name, std::string_view status) {
    // A station brought back mid-run joins the others' state once it has answered.
    if (status == kInitialized) {
        if (const auto it = m_reinitPending.find(name); it != m_reinitPending.end()) {
            m_reinitPending.erase(it);
            if (m_agent.Started()) {
                status = m_agent.Paused() ? kPaused : (m_playbackMode ? kPlayback : kRunning);
            }
        }
    }
    for (StationRow& row : m_stations) {
        if (row.name == name) {
            row.status = status;
        }
    }
    Changed();
}

void CInitPage::AddStationRow(std::string_view name, std::string_view status, std::string_view host,
                              std::string_view port) {
    m_stations.push_back(
        {std::string(name), std::string(status), std::string(host), std::string(port)});
    Changed();
}

void CInitPage::PlaybackReadinessCheck() {
    // Play is possible once a station is ready; with some still missing it asks first.
    if (std::any_of(m_stations.begin(), m_stations.end(),
                    [](const StationRow& row) { return row.status == kInitialized; })) {
        Enable(InitControl::PlayPause, true);
        Changed();
    }
}

std::string CInitPage::MissingComponents(const CScenario& scenario) {
    const CGeography& geography = scenario.Geography();
    std::string missing;
    if (!geography.HasTrajectory()) {
        missing += "- Trajectory Information\n  (Check the Geography tab)\n";
    }
    if (!geography.HasImpactLines()) {
        missing += "- Impact Line Information\n  (Check the geography tab)\n";
    }
    if (!geography.HasMapURLs()) {
        missing += "- Map Information\n  (Map URLs not specified or invalid. Check the geography "
                   "tab)\n";
    }
    if (scenario.Incursions().Empty()) {
        missing += "- Incursion Information\n  (Check the Incursions tab)\n";
    }
    if (scenario.Interceptors().Empty()) {
        missing += "- Interceptor Information\n  (Check the Interceptors tab)\n";
    }
    if (scenario.Radars().Empty()) {
        missing += "- Radar Information\n  (Check the Incursions tab)\n";
    }
    return missing;
}

namespace {

struct UnitField {
    const char* what;
    const std::string* text;
    double low;
    double high;
};

void CheckUnit(std::string& out, const char* kind, const std::string& name, const std::string& id,
               std::initializer_list<UnitField> fields) {
    const std::string who = std::string(kind) + " " + (name.empty() ? id : name) + ": ";
    if (name.find_first_of("()\"") != std::string::npos) {
        out += who + "the name holds ( ) or \" (stations cannot read it)\n";
    }
    for (const UnitField& field : fields) {
        if (!IsNumberText(*field.text)) {
            out += who + field.what + " is not a number\n";
        } else if (const double value = ReadNumber(*field.text);
                   value < field.low || value > field.high) {
            out +=
                who + field.what + Format(" is out of range (%g to %g)\n", field.low, field.high);
        }
    }
}

constexpr double kAny = 1e300;

} // namespace

std::string CInitPage::UnitProblems(const CScenario& scenario) {
    std::string out;
    for (const CIncursion& unit : scenario.Incursions()) {
        CheckUnit(out, "Incursion", unit.GetName(), unit.GetId(),
                  {{"lat", &unit.GetLat(), -kAny, kAny},
                   {"lng", &unit.GetLng(), -kAny, kAny},
                   {"speed", &unit.GetSpeed(), 0, kAny},
                   {"heading", &unit.GetHeading(), -kAny, kAny},
                   {"time", &unit.GetTime(), 0, kAny}});
    }
    for (const CRadar& unit : scenario.Radars()) {
        CheckUnit(out, "Radar", unit.GetName(), unit.GetId(),
                  {{"lat", &unit.GetLat(), -kAny, kAny},
                   {"lng", &unit.GetLng(), -kAny, kAny},
                   {"range", &unit.GetRange(), 0, kAny}});
    }
    // Interceptors hold their values as numbers already; only the name can be unreadable.
    for (const CInterceptor& unit : scenario.Interceptors()) {
        CheckUnit(out, "Interceptor", unit.GetName(), unit.GetId(), {});
    }
    return out;
}

std::string CInitPage::ClockDigitsText(int minutes) {
    return Format(kClockDigitsTemplate, minutes);
}

std::string CInitPage::CountdownText(int minutes) {
    // Past the close of the window (a mission started again without a clock reset) the
    // countdown stays at zero instead of going negative.
    if (minutes >= 960) {
        return Format(kCountdownTemplate, 0, 0);
    }
    int hours = 16 - minutes / 60 - (minutes % 60 != 0 ? 1 : 0);
    int mins = minutes % 60 != 0 ? 60 - minutes % 60 : 0;
    return Format(kCountdownTemplate, hours, mins);
}

void CInitPage::ShowClock(int minutes) {
    m_clockDigits = ClockDigitsText(minutes);
    m_clockCount = CountdownText(minutes);
    if (m_playbackMode && m_commPage) {
        m_commPage->ShowReplayUpTo(minutes, m_agent.Events(), m_agent.Team());
    }
    Changed();
}

// ---------------------------------------------------------------------------------------------
// Station health, re-initialization, strays, playback speed and seek

void CInitPage::SetStationReachable(std::string_view name, bool reachable) {
    if (reachable) {
        if (const auto it = m_unreachable.find(name); it != m_unreachable.end()) {
            m_unreachable.erase(it);
        }
    } else {
        m_unreachable.emplace(name);
    }
    Changed();
}

namespace {
std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

void CInitPage::SubjectPresence(std::string_view name, bool away) {
    if (away) {
        const bool newly = m_away.emplace(std::string(name), SteadyMs()).second;
        if (newly && m_agent.PauseWhenAway() && m_agent.Started() && !m_agent.Paused() &&
            !m_playbackMode && !m_missionOver) {
            SetAllStatuses(kPaused);
            m_agent.PauseSim();
            m_startCaption = kResumeCaption;
            Enable(InitControl::ResetSimulation, true);
            m_view.ShowDiagnostic(Format(kPausedForAwayTemplate, std::string(name).c_str()));
        }
    } else if (const auto it = m_away.find(name); it != m_away.end()) {
        m_away.erase(it);
    }
    Changed();
}

bool CInitPage::IsStationResponding(std::string_view name) const {
    return m_unreachable.find(name) == m_unreachable.end();
}

std::string CInitPage::StationHealthText(std::string_view name) const {
    std::string text = IsStationResponding(name) ? std::string() : std::string(kNotResponding);
    if (m_agent.MapError(std::string(name))) {
        text += text.empty() ? kNoMap : std::string(", ") + kNoMap;
    }
    if (const std::size_t unreadable = m_agent.UnreadableMessages(std::string(name))) {
        text += Format("%s%zu unreadable message%s", text.empty() ? "" : ", ", unreadable,
                       unreadable == 1 ? "" : "s");
    }
    if (const std::string before = m_agent.PreviousHost(std::string(name)); !before.empty()) {
        text += Format("%snew host, it was %s", text.empty() ? "" : ", ", before.c_str());
    }
    if (const auto away = m_away.find(name); away != m_away.end()) {
        const std::int64_t seconds = std::max<std::int64_t>(0, (SteadyMs() - away->second) / 1000);
        text += Format("%ssubject away %lld:%02lld", text.empty() ? "" : ", ",
                       static_cast<long long>(seconds / 60), static_cast<long long>(seconds % 60));
    }
    return text;
}

void CInitPage::StationHostChanged(std::string_view name, std::string_view host,
                                   std::string_view previousHost) {
    const std::string station(name);
    const std::string now(host);
    const std::string before(previousHost);
    for (StationRow& row : m_stations) {
        if (row.name == name) {
            row.host = now;
        }
    }
    m_view.ShowDiagnostic(
        Format(kHostChangedTemplate, station.c_str(), now.c_str(), before.c_str()));
    Changed();
}

std::size_t CInitPage::LostMessages(std::string_view name) const {
    return m_agent.LostMessages(std::string(name));
}

bool CInitPage::CanReinitialize(std::string_view name) const {
    const bool listed = std::any_of(m_stations.begin(), m_stations.end(),
                                    [name](const StationRow& row) { return row.name == name; });
    if (!listed || !m_agent.IsTeamMember(std::string(name))) {
        return false;
    }
    // Initialized: the reset button is live after "Initialize Simulation"; in playback mode an
    // experiment must be loaded.
    return m_playbackMode ? m_experimentLoaded : IsEnabled(InitControl::ResetSimulation);
}

bool CInitPage::ReinitializeStation(std::string_view name) {
    if (!CanReinitialize(name)) {
        return false;
    }
    const std::string station(name);
    const std::string movedFrom = m_agent.StationMovedFrom(station);
    if (!movedFrom.empty() &&
        !m_view.Ask(Format(kHostChangedQuestion, station.c_str(),
                           m_agent.RegisteredHost(station).c_str(), movedFrom.c_str()))) {
        return false;
    }
    m_reinitPending.emplace(name);
    for (StationRow& row : m_stations) {
        if (row.name == name) {
            row.status = kNotInitialized;
        }
    }
    m_agent.ReInitStation(station, !movedFrom.empty());
    Changed();
    return true;
}

void CInitPage::SetTeamOnly(bool checked) {
    m_teamOnly = checked;
    m_agent.SetTeamOnly(checked);
    Changed();
}

void CInitPage::StrayCommand(std::string_view sender, std::string_view command, bool refused) {
    ++m_strayCount;
    m_strayCommands.push_back({std::string(sender), std::string(command), refused});
    if (m_strayCommands.size() > kStrayCommandsKept) {
        m_strayCommands.pop_front();
    }
    Changed();
}

bool CInitPage::SetPlaybackSpeed(int factor) {
    if (std::find(kPlaybackSpeeds.begin(), kPlaybackSpeeds.end(), factor) ==
        kPlaybackSpeeds.end()) {
        return false;
    }
    if (factor != 1 && !m_playbackMode) {
        return false;
    }
    m_speed = factor;
    if (m_speedHandler) {
        m_speedHandler(factor);
    }
    Changed();
    return true;
}

bool CInitPage::CanSeek() const {
    return ExperimentLoaded() && !m_agent.Events().Empty();
}

bool CInitPage::SeekPlayback(int minute) {
    if (!CanSeek() || minute < 0 || minute > kSeekMaximum) {
        return false;
    }
    m_agent.SeekPlayback(minute);
    Changed();
    return true;
}

void CInitPage::ReportLogTrouble(const std::string& reason) {
    m_view.ShowMessage(Format(kLogTroubleFormat, reason.c_str()));
}

bool CInitPage::CanMoveLog() const {
    return m_log.IsOpen();
}

bool CInitPage::MoveLog(const std::string& folder) {
    std::string error;
    if (!m_log.Move(folder, error)) {
        m_view.ShowMessage(Format(kLogMoveFailedFormat, error.c_str()));
        return false;
    }
    return true;
}

} // namespace halyx
