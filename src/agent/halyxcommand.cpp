#include "agent/halyxcommand.h"

#include "agent/brokenchat.h"
#include "agent/scenarioencoding.h"
#include "common/format.h"
#include "common/numtext.h"
#include "external/agentkit/agentcontainer.h"
#include "external/agentkit/ansclient.h"
#include "external/agentkit/beliefs.h"
#include "external/agentkit/communicator.h"
#include "external/kqml/parser.h"
#include "external/kqml/utils.h"
#include "record/experimentlog.h"
#include "record/keywordlist.h"
#include "record/logloader.h"
#include "scenario/geography.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"
#include "scenario/scenario.h"
#include "scenario/weathermap.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace halyx {

namespace {

// The longest map error of a station that is kept (bytes).
constexpr std::size_t kMaxMapErrorBytes = 300;
constexpr const char* kEnableDebug = "<CHalyxCommand::EnableANS()> ENABLING THE ANS MODULE";
constexpr const char* kEnableSucceeded = "ANS MODULE STARTUP SUCCEEDED";
constexpr const char* kEnableFailed = "ANS MODULE STARTUP FAILED";
constexpr const char* kDisableDebug = "<CHalyxCommand::DisableANS()> DISABLING THE ANS MODULE";

constexpr const char* kInitSimTemplate =
    "ask :command init_sim :scenario (tell :map %s :terrain (%s) :radar (%s) :interceptors (%s) "
    ":incursions (%s) :impactlines (%s) :trajectory (%s))";
constexpr const char* kInitPlaybackTemplate =
    "ask :command init_playback :scenario (tell :map %s :terrain (%s) :radar (%s) :interceptors "
    "(%s) :incursions (%s) :impactlines (%s) :trajectory (%s))";
constexpr const char* kStartSimTemplate = "%s :stationlocation (%s)";
constexpr const char* kResetSimContent = "tell :command reset_sim";
constexpr const char* kStopPlaybackContent = "tell :command stop_playback";
constexpr const char* kUnreadableMessageTemplate =
    "unreadable message from %s (%s at byte %zu); the command is not carried out";
constexpr const char* kUnreadableWhyTemplate = "%s at byte %zu";
constexpr const char* kIncompleteMessageTemplate =
    "unreadable message from %s (%s); the command is not carried out";
constexpr const char* kUnreadableContentTemplate =
    "unreadable content from %s (%s at byte %zu); the command is not carried out";
constexpr const char* kMissionCompleteTemplate = "tell :command mission_complete :msg \"%s\"";
constexpr const char* kClockSyncTemplate = "tell :command clock_sync :clock %d";
constexpr const char* kWeatherDataTemplate =
    "tell :command weather_data :balloonID %s :lat %s :lng %s :temperature %f :pressure %f "
    ":humidity %f :windspeed %f :winddir %f";
constexpr const char* kWeatherNoDataTemplate =
    "tell :command weather_data :error (no data) :balloonID %s";

// The console's name in the messages its own station model of the mission reads.
constexpr const char* kWorldSender = "HalyxCommand";
constexpr const char* kMultiplayerMode = "Multiplayer";
constexpr const char* kSinglePlayerMode = "SinglePlayer";
constexpr const char* kInitializedStatus = "Initialized";
constexpr const char* kNotInitializedStatus = "Not Initialized";
constexpr const char* kFrozenStatus = "Frozen (answering)";
constexpr const char* kRunningStatus = "Running";
constexpr const char* kUnreachableComment = "station %s unreachable at clock %d";
constexpr const char* kBackComment = "station %s back at clock %d";

// A sender as a warning names it: any peer may claim any name, of any length.
std::string Shown(const std::string& sender) {
    constexpr std::size_t kLongest = 80;
    if (sender.empty()) {
        return "(no sender)";
    }
    return sender.size() > kLongest ? sender.substr(0, kLongest) + "..." : sender;
}

constexpr const char* kRefusedComment = "refused: message claiming %s from %s at clock %d";
constexpr const char* kRefusedQuietComment =
    "refused: further messages claiming %s are counted, not written";
constexpr const char* kRefusedDebug =
    "<CHalyxCommand::process_message_text()> message claiming %s from %s refused: %s";
constexpr const char* kMultiHomedHint =
    "%s is registered at %s; if this is %s itself on a machine with several network addresses, "
    "start the station with --host %s";
constexpr const char* kUnregisteredHint = "the name server does not know %s";
constexpr const char* kRestartedComment = "station %s restarted at clock %d";
constexpr const char* kReinitializedComment = "station %s re-initialized at clock %d";
constexpr const char* kHostChangedComment =
    "station %s now registers from %s, it was %s, at clock %d";
constexpr const char* kHostAcceptedComment = "station %s accepted from %s at clock %d";
constexpr const char* kHostChangedHint =
    "%s now registers from %s, it was %s: re-initialize it to accept the new host";

} // namespace

AgentScenario AgentScenario::Of(const CScenario& scenario) {
    return {&scenario.Incursions(), &scenario.Radars(), &scenario.Interceptors(),
            &scenario.Weather(), &scenario.Geography()};
}

CHalyxCommand::CHalyxCommand(AgentScenario scenario, CExperimentLog& log)
    : CBasicAgent(kAgentName), m_scenario(scenario), m_log(log),
      m_probes(log, [this](const std::string& receiver, const std::string& content) {
          SendKqml("tell", receiver, content);
      }) {
    CAgentContainer::set_lookup_config(2);
    m_probes.SetNotes([this](const std::string& text) { m_notices->MeasureNote(text); });
    m_probes.SetSeatStatus([this](const std::string& seat, bool frozen) {
        m_status->SetStationStatus(seat, frozen ? kFrozenStatus : kRunningStatus);
    });
}

CHalyxCommand::~CHalyxCommand() = default;

// ---------------------------------------------------------------------------------------------
// Registration

bool CHalyxCommand::EnableANS(const std::string& agentName, const std::string& agentPort,
                              const std::string& ansHost, const std::string& ansPort) {
    debug(kEnableDebug);
    CCommunicator* comm = get_communicator();
    CANSClient* ans = comm ? comm->retrieve_ans_object() : nullptr;
    if (!ans) {
        debug(kEnableFailed);
        return false;
    }
    ans->enable(0);
    comm->set_incoming_message_limit(kStationMessageLimit);
    m_agentName = agentName;
    m_ansHost = ansHost;
    m_agentPortText = agentPort;
    m_agentPort = ReadInt(agentPort);
    m_ansPortText = ansPort;
    m_ansPort = ReadInt(ansPort);

    CBeliefDB* beliefs = get_belief_db();
    beliefs->set_string("ans", m_ansHost);
    beliefs->set_int("ansport", m_ansPort);
    beliefs->set_string("name", m_agentName);
    beliefs->set_int("port", m_agentPort);
    // A registration lost to a stopped or restarted name server is taken again in the
    // background; the page says so, so that it never claims a registration that is gone.
    ans->set_state_observer([this](RegistrationState state, const std::string& detail) {
        m_notices->RegistrationChanged(state == RegistrationState::Registered, detail);
    });
    // Someone else holding the console's name is no detail for stderr: stations would talk to
    // that other program. Say who holds it, where the experimenter looks.
    ans->set_refusal_observer([this, ans](const std::string& name, const std::string& reason) {
        const CAgentInfo holder = ans->LookupAgent(name);
        std::string message = holder.IsValid()
                                  ? "the name server gives " + name + " to " +
                                        holder.GetAgentHost() + ":" + holder.GetAgentPortStr()
                                  : "the name server refuses " + name + ": " + reason;
        debug(message);
        m_notices->RegistrationRefused(message);
    });
    m_ansError.clear();
    if (!ans->enable(1)) {
        // Why, for the page's message: a lookup after this would only add "not registered".
        m_ansError = ans->last_error();
        debug(kEnableFailed);
        return false;
    }
    if (!m_watchingLinks) {
        m_watchingLinks = true;
        comm->set_link_observer([this](const CLinkEvent& event) { OnLinkEvent(event); });
    }

    bool registered = false;
    if (const CLList* found = ans->check_registration(m_agentName)) {
        (void)found;
        if (const CListBelief* lookup = beliefs->find_list("lookup")) {
            for (CListElement* e = lookup->get_value()->get_first_element(); e; e = e->get_next()) {
                if (e->get_name() == m_agentName) {
                    registered = true;
                    break;
                }
            }
        }
    }
    debug(registered ? kEnableSucceeded : kEnableFailed);
    return registered;
}

void CHalyxCommand::DisableANS() {
    debug(kDisableDebug);
    CCommunicator* comm = get_communicator();
    if (CANSClient* ans = comm ? comm->retrieve_ans_object() : nullptr) {
        ans->enable(0);
    }
}

std::vector<std::string> CHalyxCommand::ListAgents() {
    std::vector<std::string> names;
    CCommunicator* comm = get_communicator();
    m_ansError.clear();
    if (CANSClient* ans = comm ? comm->retrieve_ans_object() : nullptr) {
        if (!ans->listall_listbox(names)) {
            m_ansError = ans->last_error();
        }
    }
    return names;
}

bool CHalyxCommand::LookupStation(const std::string& name, std::string& host, std::string& port) {
    CCommunicator* comm = get_communicator();
    CANSClient* ans = comm ? comm->retrieve_ans_object() : nullptr;
    if (!ans) {
        return false;
    }
    m_ansError.clear();
    CAgentInfo info = ans->LookupAgent(name);
    if (!info.IsValid()) {
        m_ansError = ans->last_error();
        return false;
    }
    host = info.GetAgentHost();
    port = info.GetAgentPortStr();
    NoteStationAddress(name, host, info.GetAgentPort());
    return true;
}

// ---------------------------------------------------------------------------------------------
// Team

void CHalyxCommand::AddTeamMember(const std::string& name) {
    m_team.push_back(name);
}

void CHalyxCommand::RemoveTeamMember(const std::string& name) {
    auto it = std::find(m_team.begin(), m_team.end(), name);
    if (it != m_team.end()) {
        m_team.erase(it);
    }
}

bool CHalyxCommand::IsTeamMember(const std::string& name) const {
    return std::find(m_team.begin(), m_team.end(), name) != m_team.end();
}

void CHalyxCommand::LoadTeamFromXml(const pugi::xml_node& teamMembers) {
    LoadTeam(CLogLoader::TeamNames(teamMembers));
}

void CHalyxCommand::LoadTeam(const std::vector<std::string>& names) {
    m_team.clear();
    m_goNoGo.fill(0);
    for (const std::string& name : names) {
        m_team.push_back(name);
        m_status->AddStationRow(name, kNotInitializedStatus, "", "");
    }
}

std::string CHalyxCommand::TeamMembersXml() const {
    return halyx::TeamMembersXml(m_team);
}

// ---------------------------------------------------------------------------------------------
// Sending

void CHalyxCommand::SendKqml(const std::string& performative, const std::string& receiver,
                             const std::string& content) {
    if (CCommunicator* comm = get_communicator()) {
        comm->comm_sendmessage(performative, receiver, kLanguage, kOntology, "", "", "", content);
    }
    m_commStore.AddOutgoing(performative, receiver, content);
}

void CHalyxCommand::SendKqmlAs(const std::string& performative, const std::string& receiver,
                               const std::string& sender, const std::string& content) {
    if (CCommunicator* comm = get_communicator()) {
        comm->comm_sendmessage_sender(performative, receiver, sender, kLanguage, kOntology, "", "",
                                      "", content);
    }
    m_commStore.AddOutgoing(performative, receiver, content);
}

void CHalyxCommand::BroadcastKqml(const std::string& content) {
    for (const std::string& member : std::vector<std::string>(m_team)) {
        SendKqml("tell", member, content);
    }
}

void CHalyxCommand::BroadcastKqmlAs(const std::string& sender, const std::string& content) {
    for (const std::string& member : std::vector<std::string>(m_team)) {
        SendKqmlAs("tell", member, sender, content);
    }
}

// ---------------------------------------------------------------------------------------------
// Dispatch

bool CHalyxCommand::process_message_text(const std::string& text) {
    CParser message;
    CKqmlParseResult parsed = message.parse_message(text);
    m_commStore.AddIncoming(text);
    if (!parsed) {
        if (HandleBrokenChat(text, false)) {
            return true;
        }
        const std::string sender = ReadSenderLeniently(text);
        if (!SenderTrusted(sender)) {
            return true;
        }
        RecordUnreadable(text, sender,
                         Format(kUnreadableMessageTemplate, Shown(sender).c_str(),
                                parsed.description(), parsed.offset),
                         Format(kUnreadableWhyTemplate, parsed.description(), parsed.offset));
        return true;
    }
    std::string sender = message.find_text("sender");
    if (!SenderTrusted(sender) || HandleBrokenChat(text, true)) {
        return true;
    }
    std::optional<std::string> contentText = message.find_content();
    if (!contentText) {
        RecordUnreadable(text, sender,
                         Format(kIncompleteMessageTemplate, Shown(sender).c_str(), "no content"),
                         "no content");
        return true;
    }
    // A content may be a performative list, (tell :command ...), or a plain keyword list,
    // (:command ...). One that is neither is said out loud: its command would be lost unseen.
    CParser content;
    if (const CKqmlParseResult read = content.parse_list(*contentText); !read) {
        RecordUnreadable(text, sender,
                         Format(kUnreadableContentTemplate, Shown(sender).c_str(),
                                read.description(), read.offset),
                         Format("content: %s at byte %zu", read.description(), read.offset));
        return true;
    }
    std::optional<std::string> command = content.find_token("command");
    if (!command) {
        RecordUnreadable(text, sender,
                         Format(kIncompleteMessageTemplate, Shown(sender).c_str(), "no command"),
                         "no command");
        return true;
    }
    if (!IsTeamMember(sender)) {
        ++m_strays;
        m_notices->StrayCommand(sender, *command, m_teamOnly);
        if (m_teamOnly) {
            dprintf("<CHalyxCommand::process_message_text()> %s from %s refused: not in the team",
                    command->c_str(), sender.c_str());
            return true;
        }
    }
    Dispatch(*command, sender, *contentText, content);
    return true;
}

std::optional<std::string> CHalyxCommand::NoteMapError(const std::string& sender,
                                                       const CParser& content) {
    std::optional<std::string> mapError = content.find_token("mapError");
    if (!mapError) {
        m_mapErrors.erase(sender);
        return std::nullopt;
    }
    // Shown on a row and written into the log: a station's text, kept short.
    if (mapError->size() > kMaxMapErrorBytes) {
        std::size_t keep = kMaxMapErrorBytes;
        while (keep > 0 && (static_cast<unsigned char>((*mapError)[keep]) & 0xC0) == 0x80) {
            --keep; // not inside a character
        }
        mapError->resize(keep);
    }
    m_mapErrors[sender] = *mapError;
    return mapError;
}

std::optional<std::string> CHalyxCommand::MapError(const std::string& name) const {
    const auto it = m_mapErrors.find(name);
    return it == m_mapErrors.end() ? std::nullopt : std::optional<std::string>(it->second);
}

void CHalyxCommand::Dispatch(const std::string& command, const std::string& sender,
                             const std::string& contentText, const CParser& content) {
    auto key = [&](const char* name) { return content.find_text(name); };
    const int clock = m_clock;
    // The stations act on the minute of the last clock_sync, one behind the console's count.
    m_probes.WorldFromStation(sender, command, content, std::max(0, clock - 1));

    if (command == "init_sim") {
        const std::optional<std::string> mapError = NoteMapError(sender, content);
        m_status->SetStationStatus(sender, kInitializedStatus);
        m_log.LogInitSimConf(sender, mapError);
    } else if (command == "inc_enter_radar") {
        m_log.LogIncEnterRadar(clock, sender, key("incID"), key("radarID"));
    } else if (command == "inc_exit_radar") {
        m_log.LogIncExitRadar(clock, sender, key("incID"), key("radarID"));
    } else if (command == "init_playback_confirm") {
        NoteMapError(sender, content);
        m_status->SetStationStatus(sender, kInitializedStatus);
        m_status->PlaybackReadinessCheck();
    } else if (command == "get_weather") {
        AnswerWeather(sender, content);
    } else if (command == "subject_communication") {
        std::string to = key("to");
        std::string message = CUtils::remove_parenthesis(key("message"));
        std::string from = key("from");
        ShowChat(to, ChatSpeaker(sender, from), message);
        m_log.LogChatMsg(clock, sender, message);
    } else if (command == "update_inc_heading") {
        m_log.LogUpdateInc(clock, sender, key("id"), key("heading"), key("lat"), key("lng"));
    } else if (command == "update_go_nogo_status") {
        UpdateGoNoGo(sender, key("status"));
    } else if (command == "activate") {
        m_log.LogResourceActivate(clock, sender, key("resource"), key("id"), key("lat"), key("lng"),
                                  key("gridCol"), key("gridRow"));
    } else if (command == "deactivate") {
        m_log.LogResourceDeActivate(clock, sender, key("resource"), key("id"), key("lat"),
                                    key("lng"), key("gridCol"), key("gridRow"));
    } else if (command == "deploy") {
        m_log.LogDeployResource(clock, sender, key("resource"), key("id"), key("initLat"),
                                key("initLng"), key("initGridCol"), key("initGridRow"),
                                key("destLat"), key("destLng"), key("destGridCol"),
                                key("destGridRow"));
    } else if (command == "intercept") {
        m_log.LogInterceptInc(clock, sender, key("resource"), key("id"), key("intLat"),
                              key("intLng"), key("intGridCol"), key("intGridRow"), key("incID"),
                              key("incLat"), key("incLng"), key("incGridCol"), key("incGridRow"));
    } else if (command == "abort") {
        m_log.LogAbort(clock, sender, key("resource"), key("id"), key("lat"), key("lng"),
                       key("gridCol"), key("gridRow"));
    } else if (command == "deploy_balloon") {
        m_log.LogDeployBalloon(clock, sender, key("destLat"), key("destLng"), key("gridCol"),
                               key("gridRow"));
    } else if (command == "mission_stats") {
        m_log.LogMissionStats(sender, contentText);
    } else if (command == "log_unit_display") {
        // A unit of no kind the log knows would leave no trace: it counts as unreadable.
        const std::string unitType(CKeywordList(contentText).Get("unitType"));
        if (!CExperimentLog::IsUnitDisplayType(unitType)) {
            const std::string why =
                unitType.empty() ? "no :unitType" : "unknown :unitType " + Shown(unitType);
            RecordUnreadable(contentText, sender,
                             Format(kIncompleteMessageTemplate, Shown(sender).c_str(), why.c_str()),
                             why);
            return;
        }
        m_log.LogUnitDisplay(clock, sender, contentText);
    } else if (command == "seat_presence") {
        const std::string state = key("state");
        if (state != "away" && state != "back") {
            return;
        }
        m_log.LogComment(Format("subject at %s %s at minute %d", sender.c_str(),
                                state == "away" ? "away" : "back", clock));
        m_status->SubjectPresence(sender, state == "away");
    } else if (command == "probe_answer") {
        m_probes.Answer(sender, content);
    } else if (command == "request") {
        m_log.LogResourceRequest(clock, sender, key("requestFrom"), key("resource"), key("id"),
                                 key("lat"), key("lng"), key("gridCol"), key("gridRow"));
    } else {
        return;
    }
    ++m_dispatched;
}

void CHalyxCommand::AnswerWeather(const std::string& sender, const CParser& content) {
    const std::string lat = content.find_text("lat");
    const std::string lng = content.find_text("lng");
    const std::string balloon = content.find_text("balloonID");
    m_log.LogWeatherQuery(m_clock, sender, lat, lng);

    // Whole map coordinates, as atoi reads them: a fraction is dropped.
    const CWeatherData* cell =
        m_scenario.weather ? m_scenario.weather->WeatherAt(ReadInt(lat), ReadInt(lng)) : nullptr;
    std::string reply;
    if (cell) {
        reply = Format(kWeatherDataTemplate, KqmlValue(balloon).c_str(), KqmlValue(lat).c_str(),
                       KqmlValue(lng).c_str(), cell->GetTemperature(), cell->GetPressure(),
                       cell->GetHumidity(), cell->GetWindSpeed(), cell->GetWindDir());
        m_log.LogWeatherResponse(m_clock, sender, lat, lng, cell->GetTemperature(),
                                 cell->GetPressure(), cell->GetHumidity(), cell->GetWindSpeed(),
                                 cell->GetWindDir());
    } else {
        m_log.LogWeatherNoData(m_clock, sender, lat, lng);
        reply = Format(kWeatherNoDataTemplate, KqmlValue(balloon).c_str());
    }
    // What a balloon was told is a fact the probes may ask about.
    m_probes.WorldFromWeatherAnswer(sender, reply);
    SendKqml("tell", sender, reply);
}

void CHalyxCommand::UpdateGoNoGo(const std::string& sender, const std::string& status) {
    const int go = status == "go" ? 1 : 0;
    // Only the first three team positions carry a flag; a report from a later member is
    // logged but does not take part in the launch decision.
    const size_t positions = std::min(m_team.size(), m_goNoGo.size());
    for (size_t i = 0; i < positions; ++i) {
        if (m_team[i] == sender) {
            m_goNoGo[i] = go;
        }
    }
    m_log.LogLaunchStatusChange(m_clock, status, sender);
}

// ---------------------------------------------------------------------------------------------
// Scenario and team messages

std::string CHalyxCommand::MapAddress(int index) const {
    std::string address =
        m_scenario.geography ? m_scenario.geography->GetMapURL(index) : std::string();
    if (m_resolveMap && !address.empty()) {
        address = m_resolveMap(address);
    }
    return address;
}

CHalyxCommand::ScenarioTexts CHalyxCommand::BuildScenarioTexts() const {
    ScenarioTexts texts;
    if (m_scenario.geography) {
        texts.terrain = m_scenario.geography->TerrainKQML();
    }
    static const CUnitList<CRadar> kNoRadars;
    static const CUnitList<CInterceptor> kNoInterceptors;
    static const CUnitList<CIncursion> kNoIncursions;
    texts.radar = RadarListKqml(m_scenario.radars ? *m_scenario.radars : kNoRadars);
    texts.interceptors =
        InterceptorListKqml(m_scenario.interceptors ? *m_scenario.interceptors : kNoInterceptors);
    texts.incursions =
        IncursionListKqml(m_scenario.incursions ? *m_scenario.incursions : kNoIncursions, m_clock);
    if (m_scenario.geography) {
        texts.impactLines = m_scenario.geography->GetImpactLines().ToKQML();
        texts.trajectory = m_scenario.geography->GetTrajectory().ToKQML();
    }
    return texts;
}

void CHalyxCommand::InitSim() {
    // A new mission: no station has reported yet (flags left from the last one would decide it).
    m_goNoGo.fill(0);
    m_scenarioSent = true;
    m_restarted.clear();
    // The whole team is initialized where its rows say it registers now.
    for (auto& [name, where] : m_stationAddresses) {
        where.movedFrom.clear();
    }
    m_log.LogInitSim();
    m_log.LogTeamMode(m_multiplayer ? kMultiplayerMode : kSinglePlayerMode);
    // The team goes into the log now, not only at the end, so that a log cut off by a crash
    // still says who took part.
    m_log.LogTeam(m_team);
    const ScenarioTexts texts = BuildScenarioTexts();
    const std::vector<int> maps = InitSimMapIndices(m_team);
    const std::vector<std::string> team = m_team;
    for (size_t i = 0; i < team.size(); ++i) {
        SendKqml("ask", team[i], InitSimContent(texts, maps[i]));
    }
    m_probes.WorldFromConsole(kWorldSender, InitSimContent(texts, 0));
}

std::string CHalyxCommand::InitSimContent(const ScenarioTexts& texts, int mapIndex) const {
    return Format(kInitSimTemplate, KqmlValue(MapAddress(mapIndex)).c_str(), texts.terrain.c_str(),
                  texts.radar.c_str(), texts.interceptors.c_str(), texts.incursions.c_str(),
                  texts.impactLines.c_str(), texts.trajectory.c_str());
}

std::string CHalyxCommand::InitPlaybackContent(const ScenarioTexts& texts,
                                               const std::string& station) const {
    const TeamPosition position = PositionOf(station);
    std::string map;
    if (position != TeamPosition::None) {
        map = KqmlValue(MapAddress(static_cast<int>(position)));
    }
    return Format(kInitPlaybackTemplate, map.c_str(), texts.terrain.c_str(), texts.radar.c_str(),
                  texts.interceptors.c_str(), texts.incursions.c_str(), texts.impactLines.c_str(),
                  texts.trajectory.c_str());
}

void CHalyxCommand::InitPlayback(const std::string& station) {
    m_scenarioSent = true;
    m_restarted.erase(station);
    if (const auto it = m_stationAddresses.find(station); it != m_stationAddresses.end()) {
        it->second.movedFrom.clear();
    }
    SendKqml("ask", station, InitPlaybackContent(BuildScenarioTexts(), station));
}

bool CHalyxCommand::ReInitStation(const std::string& name, bool newHostAccepted) {
    if (!IsTeamMember(name)) {
        return false;
    }
    // A station that restarted may have registered from another address. (Asked first: the
    // wait may turn the event loop.)
    const std::string movedFrom = StationMovedFrom(name);
    const auto it = std::find(m_team.begin(), m_team.end(), name);
    if (it == m_team.end() || (!movedFrom.empty() && !newHostAccepted)) {
        return false;
    }
    const bool logging = m_log.IsOpen() && !m_log.SimEventsClosed();
    if (!movedFrom.empty()) {
        m_stationAddresses[name].movedFrom.clear();
        if (logging) {
            m_log.LogComment(
                Format(kHostAcceptedComment, name.c_str(), RegisteredHost(name).c_str(), m_clock));
        }
    }
    if (logging) {
        m_log.LogComment(Format(kReinitializedComment, name.c_str(), m_clock));
    }
    const ScenarioTexts texts = BuildScenarioTexts();
    if (m_status->IsPlaybackMode()) {
        SendKqml("ask", name, InitPlaybackContent(texts, name));
    } else {
        // The map it had: the same position rule as the whole team's init_sim.
        const std::vector<int> maps = InitSimMapIndices(m_team);
        SendKqml("ask", name,
                 InitSimContent(texts, maps[static_cast<size_t>(it - m_team.begin())]));
    }
    if (m_started) {
        SendKqml("tell", name,
                 Format(kStartSimTemplate, StartSimTeamText(m_team).c_str(),
                        StationLocationText(name).c_str()));
    }
    // Only now: the clock must not reach it before its scenario.
    m_restarted.erase(name);
    return true;
}

void CHalyxCommand::StartSim() {
    m_log.LogStartSim();
    m_probes.MissionStarted();
    const std::string teamText = StartSimTeamText(m_team);
    m_probes.WorldFromConsole(kWorldSender, Format(kStartSimTemplate, teamText.c_str(), ""));
    const std::vector<std::string> team = m_team;
    for (const std::string& member : team) {
        SendKqml("tell", member,
                 Format(kStartSimTemplate, teamText.c_str(), StationLocationText(member).c_str()));
    }
    m_started = 1;
    m_paused = 0;
}

void CHalyxCommand::ResetSim() {
    m_scenarioSent = false;
    m_restarted.clear();
    const std::vector<std::string> team = m_team;
    for (const std::string& member : team) {
        SendKqml("tell", member, kResetSimContent);
    }
    EndSim();
    m_log.Close();
    m_started = 0;
    m_paused = 1;
}

void CHalyxCommand::SeekPlayback(int minute) {
    minute = std::clamp(minute, 0, kLaunchWindow);
    m_events.SeekTo(minute);
    m_clock = minute;
    const std::string sync = Format(kClockSyncTemplate, minute);
    const std::vector<std::string> team = m_team;
    for (const std::string& member : team) {
        SendKqml("tell", member, sync);
    }
    m_status->ShowClock(minute);
}

void CHalyxCommand::StopPlayback() {
    ResetClock();
    m_goNoGo.fill(0);
    m_started = 0;
    m_paused = 1;
    m_events.Rewind();
    BroadcastKqml(kStopPlaybackContent);
}

void CHalyxCommand::MissionComplete(const std::string& text, bool launched) {
    const std::string content = Format(kMissionCompleteTemplate, text.c_str());
    // The measures' end goes first: readers take SimulationComplete as the last event.
    if (m_log.IsOpen() && !m_log.SimEventsClosed()) {
        m_probes.MissionEnded();
    }
    m_log.LogSimulationComplete(launched);
    const std::vector<std::string> team = m_team;
    for (const std::string& member : team) {
        SendKqml("tell", member, content);
    }
}

// ---------------------------------------------------------------------------------------------
// Clock

void CHalyxCommand::PauseSim() {
    m_log.LogPauseSim(m_clock);
    m_paused = 1;
}

void CHalyxCommand::ResumeSim() {
    m_log.LogResumeSim(m_clock);
    m_paused = 0;
}

void CHalyxCommand::EndSim() {
    if (m_started != 0 && m_log.IsOpen() && !m_log.SimEventsClosed()) {
        m_probes.MissionEnded();
    }
    m_started = 0;
    // The log writes the end of the events section and the team once per file; a reset after
    // the mission end adds neither again.
    m_log.EndSimEvents(TeamMembersXml());
}

void CHalyxCommand::CloseExperimentLog() {
    if (!m_log.IsOpen()) {
        return;
    }
    EndSim();
    m_log.Close();
}

bool CHalyxCommand::LaunchDecision() const {
    if (m_multiplayer) {
        return m_goNoGo[0] == 1 && m_goNoGo[1] == 1 && m_goNoGo[2] == 1;
    }
    return m_goNoGo[0] == 1 || m_goNoGo[1] == 1 || m_goNoGo[2] == 1;
}

void CHalyxCommand::process_clock_tick() {
    if (m_started != 1 || m_paused != 0) {
        return;
    }
    // A freeze or the questionnaire holds the clock as a pause does, until every seat answered
    // or the time is up.
    if (m_probes.Poll()) {
        return;
    }
    const int c = m_clock;
    const std::string sync = Format(kClockSyncTemplate, c);
    const bool measures = !m_status->IsPlaybackMode();
    if (measures) {
        m_probes.WorldFromConsole(kWorldSender, sync);
    }
    const std::vector<std::string> team = m_team;
    for (const std::string& member : team) {
        // A restarted station has no scenario yet: the clock would run it on nothing.
        if (!IsRestarted(member)) {
            SendKqml("tell", member, sync);
        }
    }
    if (m_status->IsPlaybackMode()) {
        m_events.Release(c, *this);
    }
    if (c >= kLaunchWindow) {
        if (measures && m_probes.Due(c, m_team, true)) {
            m_status->ShowClock(Minute());
            return;
        }
        bool launched = LaunchDecision();
        // A replay ends with the decision of the recording; what the stations reported during
        // the replay only says whether they agree with it.
        m_replayDecisionDiffers = false;
        if (m_status->IsPlaybackMode() && !m_events.RecordedDecision().empty()) {
            const bool recorded = m_events.RecordedDecision() == "Launch";
            m_replayDecisionDiffers = recorded != launched;
            launched = recorded;
        }
        m_lastOutcome = launched ? "Launch" : "NoLaunch";
        MissionComplete(launched ? kLaunchText : kExpiryText, launched);
        EndSim();
        m_clock = c + 1;
        m_status->ShowClock(Minute());
        m_status->MissionEnded(launched);
        return;
    }
    // What happens from now on is logged with the next count, so the display shows that.
    m_clock = c + 1;
    m_status->ShowClock(Minute());
    if (measures) {
        m_probes.Due(c, m_team, false);
    }
}

bool CHalyxCommand::FreezeNow(const CProbe& probe) {
    if (m_started != 1 || m_status->IsPlaybackMode()) {
        return false;
    }
    return m_probes.FreezeNow(probe, std::max(0, m_clock - 1), m_team);
}

// ---------------------------------------------------------------------------------------------
// Station health

void CHalyxCommand::OnLinkEvent(const CLinkEvent& event) {
    if (!IsTeamMember(event.receiver)) {
        return;
    }
    switch (event.kind) {
    case CLinkEvent::Kind::Dropped:
        m_lost[event.receiver] += event.messages;
        NoteHealth(event.receiver, false);
        break;
    case CLinkEvent::Kind::Lost:
        NoteHealth(event.receiver, false);
        break;
    case CLinkEvent::Kind::Back:
        NoteHealth(event.receiver, true);
        break;
    }
    NoteLinkForRestart(event);
}

void CHalyxCommand::NoteHealth(const std::string& name, bool reachable) {
    const bool known = IsReachable(name);
    if (known == reachable) {
        return;
    }
    if (reachable) {
        m_unreachable.erase(name);
    } else {
        m_unreachable.insert(name);
    }
    // Readers of the log format skip comments, so the note stays out of their way; it belongs
    // between the events, so nothing is written once the events section is closed.
    if (m_log.IsOpen() && !m_log.SimEventsClosed()) {
        m_log.LogComment(
            Format(reachable ? kBackComment : kUnreachableComment, name.c_str(), m_clock));
    }
    m_status->SetStationReachable(name, reachable);
}

std::size_t CHalyxCommand::LostMessages(const std::string& name) const {
    const auto it = m_lost.find(name);
    return it == m_lost.end() ? 0 : it->second;
}

std::size_t CHalyxCommand::LostMessagesTotal() const {
    std::size_t total = 0;
    for (const auto& [name, count] : m_lost) {
        total += count;
    }
    return total;
}

// ---------------------------------------------------------------------------------------------
// Unreadable messages: a chat whose text broke its message is read back from the line; anything
// else that cannot be read is noted in the experiment log, counted and reported, so that no
// message a station sent is gone without a trace.

bool CHalyxCommand::HandleBrokenChat(const std::string& text, bool parsed) {
    if (text.find("subject_communication") == std::string::npos) {
        return false;
    }
    const std::optional<CRecoveredChat> chat = RecoverChat(text, parsed);
    if (!chat) {
        return false;
    }
    if (!SenderTrusted(chat->sender)) {
        return true;
    }
    dprintf("<CHalyxCommand::process_message_text()> chat from %s read from its line: its text "
            "holds unbalanced parentheses or quotes",
            chat->sender.c_str());
    if (!IsTeamMember(chat->sender)) {
        ++m_strays;
        m_notices->StrayCommand(chat->sender, "subject_communication", m_teamOnly);
        if (m_teamOnly) {
            return true;
        }
    }
    ShowChat(chat->to, ChatSpeaker(chat->sender, chat->from), chat->message);
    m_log.LogChatMsg(m_clock, chat->sender, chat->message);
    ++m_dispatched;
    return true;
}

// During a replay the chat page shows the recorded chat by its minute; what stations say
// meanwhile belongs to no experiment and stays out of the live transcript.
void CHalyxCommand::ShowChat(std::string_view to, std::string_view from, std::string_view message) {
    if (m_chat && !m_status->IsPlaybackMode()) {
        m_chat->AddChatEntry(to, from, message);
    }
}

void CHalyxCommand::RecordUnreadable(const std::string& text, const std::string& sender,
                                     const std::string& warning, const std::string& why) {
    // The count of a name no station holds would let any peer grow the table without bound.
    const std::string key = IsTeamMember(sender) ? sender : std::string();
    const std::size_t count = ++m_unreadable[key];
    ++m_unreadableTotal;
    m_log.LogUnreadableMessage(m_clock, sender, why, text);
    debug("<CHalyxCommand::process_message_text()> " + warning);
    m_notices->ReportUnreadable(warning);
    m_status->UnreadableFrom(key, count);
}

std::size_t CHalyxCommand::UnreadableMessages(const std::string& name) const {
    const auto it = m_unreadable.find(name);
    return it == m_unreadable.end() ? 0 : it->second;
}

// ---------------------------------------------------------------------------------------------
// Trust in senders

bool CHalyxCommand::process_message_from(const std::string& text, const std::string& peer) {
    // Saved and restored: a name-server wait that turns the event loop may deliver another
    // message in the middle of this one.
    const std::string outer = std::exchange(m_messagePeer, peer);
    const bool answer = process_message_text(text);
    m_messagePeer = outer;
    return answer;
}

std::size_t CHalyxCommand::RefusedCount(const std::string& name) const {
    const auto it = m_refusedByName.find(name);
    return it == m_refusedByName.end() ? 0 : it->second;
}

std::string CHalyxCommand::RegisteredHost(const std::string& name) const {
    const auto it = m_stationAddresses.find(name);
    return it == m_stationAddresses.end() ? std::string() : it->second.host;
}

void CHalyxCommand::NoteStationAddress(const std::string& name, const std::string& host, int port) {
    StationAddress& where = m_stationAddresses[name];
    if (where.host != host) {
        where.addresses.clear();
        where.resolved = false;
        if (host == where.movedFrom) {
            where.movedFrom.clear(); // back where it was initialized
        } else if (m_scenarioSent && where.movedFrom.empty() && !where.host.empty() &&
                   IsTeamMember(name)) {
            where.movedFrom = where.host;
            if (m_log.IsOpen() && !m_log.SimEventsClosed()) {
                m_log.LogComment(Format(kHostChangedComment, name.c_str(), host.c_str(),
                                        where.movedFrom.c_str(), m_clock));
            }
            m_notices->StationHostChanged(name, host, where.movedFrom);
        }
    }
    where.host = host;
    where.port = port;
}

void CHalyxCommand::RefreshStationAddress(const std::string& name) {
    std::string host;
    std::string port;
    // LookupStation notes what the name server answers; an unanswered lookup keeps the old.
    LookupStation(name, host, port);
}

std::string CHalyxCommand::StationMovedFrom(const std::string& name) {
    RefreshStationAddress(name);
    return PreviousHost(name);
}

std::string CHalyxCommand::PreviousHost(const std::string& name) const {
    const auto it = m_stationAddresses.find(name);
    return it == m_stationAddresses.end() ? std::string() : it->second.movedFrom;
}

bool CHalyxCommand::SenderTrusted(const std::string& sender) {
    if (m_messagePeer.empty() || !IsTeamMember(sender)) {
        return true;
    }
    if (StationAddress& where = m_stationAddresses[sender]; where.host.empty() && !where.asked) {
        // Once only: a stream of messages under an unknown name must not make every one of
        // them wait for the name server.
        where.asked = true;
        RefreshStationAddress(sender);
    }
    StationAddress& where = m_stationAddresses[sender];
    if (!where.movedFrom.empty()) {
        RefuseSender(
            sender, where.host,
            Format(kHostChangedHint, sender.c_str(), where.host.c_str(), where.movedFrom.c_str()));
        return false;
    }
    if (!where.host.empty()) {
        if (!where.resolved) {
            where.resolved = true;
            CCommunicator* comm = get_communicator();
            where.addresses =
                comm ? comm->host_addresses(where.host) : std::vector<std::string>{where.host};
        }
        if (std::find(where.addresses.begin(), where.addresses.end(), m_messagePeer) !=
            where.addresses.end()) {
            return true;
        }
    }
    RefuseSender(sender, where.host);
    return false;
}

void CHalyxCommand::RefuseSender(const std::string& sender, const std::string& registeredHost,
                                 std::string hint) {
    ++m_refusedTotal;
    const std::size_t count = ++m_refusedByName[sender];
    if (count > kRefusalsNoted) {
        return;
    }
    SenderRefusal refusal;
    refusal.name = sender;
    refusal.peer = m_messagePeer;
    refusal.registeredHost = registeredHost;
    refusal.clock = m_clock;
    refusal.hint = !hint.empty() ? std::move(hint)
                   : registeredHost.empty()
                       ? Format(kUnregisteredHint, sender.c_str())
                       : Format(kMultiHomedHint, sender.c_str(), registeredHost.c_str(),
                                sender.c_str(), m_messagePeer.c_str());
    dprintf(kRefusedDebug, sender.c_str(), m_messagePeer.c_str(), refusal.hint.c_str());
    if (m_log.IsOpen() && !m_log.SimEventsClosed()) {
        m_log.LogComment(Format(kRefusedComment, sender.c_str(), m_messagePeer.c_str(), m_clock));
        if (count == kRefusalsNoted) {
            m_log.LogComment(Format(kRefusedQuietComment, sender.c_str()));
        }
    }
    m_refusals.push_back(std::move(refusal));
    ++m_refusalsNoted;
    if (m_refusals.size() > kRefusalsKept) {
        m_refusals.pop_front();
    }
    m_notices->SenderRefused(sender, m_messagePeer);
}

// ---------------------------------------------------------------------------------------------
// Station restarts

void CHalyxCommand::NoteLinkForRestart(const CLinkEvent& event) {
    const std::string& name = event.receiver;
    if (event.kind == CLinkEvent::Kind::Lost && event.gone) {
        m_goneStations.insert(name);
        return;
    }
    if (event.kind != CLinkEvent::Kind::Back || event.port <= 0) {
        return;
    }
    const auto known = m_stationAddresses.find(name);
    const bool moved = known != m_stationAddresses.end() && known->second.port > 0 &&
                       (known->second.port != event.port || known->second.host != event.host);
    const bool cameBack = m_goneStations.erase(name) > 0;
    NoteStationAddress(name, event.host, event.port);
    if ((moved || cameBack) && m_scenarioSent) {
        StationRestarted(name);
    }
}

void CHalyxCommand::StationRestarted(const std::string& name) {
    m_restarted.insert(name);
    // Whatever waited for the program that ended (clock ticks) means nothing to the new one.
    if (CCommunicator* comm = get_communicator()) {
        comm->discard_pending(name);
    }
    if (m_log.IsOpen() && !m_log.SimEventsClosed()) {
        m_log.LogComment(Format(kRestartedComment, name.c_str(), m_clock));
    }
    m_status->SetStationStatus(name, kRestartedStatus);
    // One that registers from another host now waits for the experimenter to accept it.
    if (m_autoReinit && m_stationAddresses[name].movedFrom.empty() &&
        !m_status->ReinitializeStation(name)) {
        ReInitStation(name);
    }
}

} // namespace halyx
