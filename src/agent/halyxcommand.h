#pragma once

#include "agent/agentcommstore.h"
#include "agent/iagentnotices.h"
#include "agent/ichatsink.h"
#include "agent/istationstatusview.h"
#include "agent/proberunner.h"
#include "external/agentkit/basicagent.h"
#include "record/simeventstore.h"
#include "scenario/unitlist.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
class xml_node;
}

namespace halyx {

class CExperimentLog;
struct CLinkEvent;
class CGeography;
class CIncursion;
class CInterceptor;
class CRadar;
class CScenario;
class CWeatherMap;

// The parts of the scenario that the agent sends to the stations or answers from. They belong
// to the pages (or to the scenario aggregate); the agent only reads them.
struct AgentScenario {
    const CUnitList<CIncursion>* incursions = nullptr;
    const CUnitList<CRadar>* radars = nullptr;
    const CUnitList<CInterceptor>* interceptors = nullptr;
    const CWeatherMap* weather = nullptr;
    const CGeography* geography = nullptr;

    static AgentScenario Of(const CScenario& scenario);
};

// The command station's agent: registration with the name server, the team, the simulation
// flags and clock, the dispatch of every station command, and every message sent to stations.
class CHalyxCommand : public CBasicAgent, public EventSender {
public:
    static constexpr const char* kAgentName = "HalyxCommand";
    static constexpr int kLaunchWindow = 960;
    static constexpr const char* kLaunchText =
        "The Launch has been initiated and the mission is complete";
    static constexpr const char* kExpiryText =
        "The Launch window has expired. The mission is now terminated. The Space Vehicle has "
        "not been Launched!";
    static constexpr const char* kLanguage = "default-language";
    static constexpr const char* kOntology = "default-ontology";
    // The largest message a station may send: a station's commands are small, so a message
    // still open past this is broken and is cut there rather than holding the connection.
    static constexpr std::size_t kStationMessageLimit = 1024u * 1024u;

    CHalyxCommand(AgentScenario scenario, CExperimentLog& log);
    ~CHalyxCommand() override;

    // Where the agent reports to; each may be none. Station rows, health and the clock go to
    // the simulation control page, warnings beside them, chat to the communication page.
    void SetStatusView(IStationStatusView* view) { m_status = view ? view : &m_noStatus; }
    void SetNotices(IAgentNotices* notices) { m_notices = notices ? notices : &m_noNotices; }
    void SetChatSink(IChatSink* chat) { m_chat = chat; }

    // Registration with the agent name server.
    bool EnableANS(const std::string& agentName, const std::string& agentPort,
                   const std::string& ansHost, const std::string& ansPort);
    void DisableANS();
    // Names of every agent the name server knows (empty when it cannot be asked).
    std::vector<std::string> ListAgents();
    // Where a station can be reached; false when the name server does not know it.
    bool LookupStation(const std::string& name, std::string& host, std::string& port);
    // Why the last of these three failed ("" after a success or when the server just said no).
    const std::string& AnsError() const { return m_ansError; }

    // The team, in the order the stations were added.
    void AddTeamMember(const std::string& name);
    void RemoveTeamMember(const std::string& name);
    bool IsTeamMember(const std::string& name) const;
    const std::vector<std::string>& Team() const { return m_team; }
    // A recorded team (the TeamMembers element of a log): replaces the team and lists each
    // station as "Not Initialized".
    void LoadTeamFromXml(const pugi::xml_node& teamMembers);
    void LoadTeam(const std::vector<std::string>& names);

    // Sending; every message is also recorded in the message history.
    void SendKqml(const std::string& performative, const std::string& receiver,
                  const std::string& content) override;
    void SendKqmlAs(const std::string& performative, const std::string& receiver,
                    const std::string& sender, const std::string& content) override;
    void BroadcastKqml(const std::string& content) override;
    void BroadcastKqmlAs(const std::string& sender, const std::string& content) override;

    // Dispatch of one received message.
    bool process_message_text(const std::string& text) override;
    // One simulated minute.
    void process_clock_tick() override;

    // Scenario and team messages.
    void InitSim();
    void InitPlayback(const std::string& station);
    void StartSim();
    void ResetSim();
    void StopPlayback();
    void MissionComplete(const std::string& text, bool launched);
    std::string TeamMembersXml() const;

    // The clock.
    void ResetClock() { m_clock = 0; }
    void PauseSim();
    void ResumeSim();
    void EndSim();
    // The program is ending: the log's events section is closed with the current team and the
    // file is closed, whichever way the program ends (quit, end of a script, a signal, the
    // window closing). Nothing when no log is open.
    void CloseExperimentLog();

    // State.
    bool Started() const { return m_started != 0; }
    bool Paused() const { return m_paused != 0; }
    bool Multiplayer() const { return m_multiplayer != 0; }
    void SetMultiplayer(bool multiplayer) { m_multiplayer = multiplayer ? 1 : 0; }
    int Clock() const { return m_clock; }
    // The minute under way, as every display, picture and table names the moment: the clock
    // count that an event happening now is logged with, held at kLaunchWindow after the end.
    int Minute() const { return std::min(m_clock, kLaunchWindow); }
    // Go/no-go flag of team position 0, 1 or 2 (1 = "go").
    int GoNoGo(int position) const { return m_goNoGo.at(static_cast<size_t>(position)); }
    // Whether the launch would go ahead if the window closed now.
    bool LaunchDecision() const;
    // How the mission ended: "" while none has, else "Launch" or "NoLaunch". A replay of a log
    // that holds its decision ends with that decision.
    const std::string& LastOutcome() const { return m_lastOutcome; }
    // The replay that ended last came to the other decision from the stations' go/no-go
    // reports during the replay than the recording had.
    bool ReplayDecisionDiffers() const { return m_replayDecisionDiffers; }

    CAgentCommStore& CommStore() { return m_commStore; }
    // The measures: probe plan, freezes, ratings, questionnaire (proberunner.h).
    CProbeRunner& Probes() { return m_probes; }
    // Freezes the mission now with the given questions; false when a freeze already holds or
    // no mission runs.
    bool FreezeNow(const CProbe& probe);
    CSimEventStore& Events() { return m_events; }
    // How many received messages were dispatched to a known command (for status displays).
    long long DispatchedCount() const { return m_dispatched; }

    // Map addresses as the stations are sent them: the resolver may turn an address that only
    // this machine can read (a file) into one a station elsewhere can fetch. The scenario keeps
    // the address as it was given.
    using MapAddressResolver = std::function<std::string(const std::string& address)>;
    void SetMapAddressResolver(MapAddressResolver resolver) { m_resolveMap = std::move(resolver); }

    // Station health, from what the transport reports (OnLinkEvent; EnableANS installs it on
    // the communicator). An unreachable team member is shown on the page and noted in the
    // experiment log as a comment line; messages to it that were given up are counted.
    void OnLinkEvent(const CLinkEvent& event);
    bool IsReachable(const std::string& name) const { return m_unreachable.count(name) == 0; }
    std::size_t LostMessages(const std::string& name) const;
    std::size_t LostMessagesTotal() const;
    const std::map<std::string, std::size_t>& LostMessagesByStation() const { return m_lost; }

    // Messages that could not be read, each noted in the experiment log as a comment and
    // reported to the page. Team members are counted by name; every other sender under "".
    std::size_t UnreadableMessages(const std::string& name) const;
    std::size_t UnreadableMessagesTotal() const { return m_unreadableTotal; }
    const std::map<std::string, std::size_t>& UnreadableByStation() const { return m_unreadable; }
    // What the station said in its last initialization answer about the map it could not fetch
    // (its :mapError), nullopt when it fetched it or has not answered.
    std::optional<std::string> MapError(const std::string& name) const;

    // Brings back a station that restarted mid-mission: init_sim (init_playback in playback
    // mode) and, while a simulation runs, start_sim with the team; the next clock_sync carries
    // it on. False when the name is not a team member, or when the station now registers from
    // another host than the one it was initialized on and newHostAccepted is false (whoever
    // took the name there must not become the member unasked).
    bool ReInitStation(const std::string& name, bool newHostAccepted = false);
    // Asks the name server where the station registers now; the host it was initialized on
    // when that is another one, else "". Until it is re-initialized with the new host accepted,
    // messages in its name are refused from either host.
    std::string StationMovedFrom(const std::string& name);
    // The same without asking: "" unless a host change waits for the experimenter.
    std::string PreviousHost(const std::string& name) const;

    // Commands from agents outside the team are handled and logged, and reported to the page;
    // in team-only mode they are refused instead (kept in the message history only).
    void SetTeamOnly(bool on) { m_teamOnly = on; }
    bool TeamOnly() const { return m_teamOnly; }
    long long StrayCount() const { return m_strays; }

    // Trust in senders. A message that names a team member as its sender is acted on only when
    // it comes from that member's host as the name server knows it (looked up when the station
    // is added, found again when the transport reaches it anew or it is re-initialized). One
    // from elsewhere is refused: not carried out, not logged as an event, counted per claimed
    // name, shown, and noted in the log as a comment. A message that did not come over a
    // network (peer "") is not checked.
    bool process_message_from(const std::string& text, const std::string& peer) override;
    struct SenderRefusal {
        std::string name;
        std::string peer;
        std::string registeredHost; // "" when the name server does not know the name
        int clock = 0;
        std::string hint; // how a real station sending from that address can be let in
    };
    std::size_t RefusedCount(const std::string& name) const;
    std::size_t RefusedTotal() const { return m_refusedTotal; }
    const std::map<std::string, std::size_t>& RefusedByName() const { return m_refusedByName; }
    // The latest refusals, oldest first (at most kRefusalsKept).
    static constexpr std::size_t kRefusalsKept = 100;
    const std::deque<SenderRefusal>& Refusals() const { return m_refusals; }
    // How many refusals were noted (shown and logged) so far; views print the ones they have
    // not seen.
    std::size_t RefusalsNoted() const { return m_refusalsNoted; }
    // Per claimed name, this many refusals are shown and written to the log; the rest are
    // counted only, so a flood cannot fill the log or the console.
    static constexpr std::size_t kRefusalsNoted = 100;
    // The host a station is checked against ("" when unknown).
    std::string RegisteredHost(const std::string& name) const;

    // Stations that restarted mid-mission (a new registration or port, or a connection refused
    // and later accepted) read "Restarted" and get no clock_sync until they are re-initialized;
    // with auto re-init they are re-initialized at once.
    static constexpr const char* kRestartedStatus = "Restarted";
    void SetAutoReinit(bool on) { m_autoReinit = on; }
    bool AutoReinit() const { return m_autoReinit; }
    // A live mission pauses when a web seat's subject goes away; resuming stays the
    // experimenter's decision.
    void SetPauseWhenAway(bool on) { m_pauseWhenAway = on; }
    bool PauseWhenAway() const { return m_pauseWhenAway; }
    bool IsRestarted(const std::string& name) const { return m_restarted.count(name) != 0; }

    // Playback navigation: clock := minute, the store's cursor on the first record at or after
    // it (rewinding first when going back), and clock_sync minute to the team at once. The tick
    // of that minute (when playing) then releases its records as usual.
    void SeekPlayback(int minute);

private:
    struct ScenarioTexts {
        std::string terrain;
        std::string radar;
        std::string interceptors;
        std::string incursions;
        std::string impactLines;
        std::string trajectory;
    };
    ScenarioTexts BuildScenarioTexts() const;
    std::string MapAddress(int index) const;
    // Keeps (or forgets) the :mapError of a station's initialization answer; answers it.
    std::optional<std::string> NoteMapError(const std::string& sender, const CParser& content);
    void Dispatch(const std::string& command, const std::string& sender,
                  const std::string& contentText, const CParser& content);
    void AnswerWeather(const std::string& sender, const CParser& content);
    void UpdateGoNoGo(const std::string& sender, const std::string& status);
    std::string InitSimContent(const ScenarioTexts& texts, int mapIndex) const;
    std::string InitPlaybackContent(const ScenarioTexts& texts, const std::string& station) const;
    void NoteHealth(const std::string& name, bool reachable);
    // Unreadable messages (their own section of halyxcommand.cpp).
    bool HandleBrokenChat(const std::string& text, bool parsed);
    void ShowChat(std::string_view to, std::string_view from, std::string_view message);
    void RecordUnreadable(const std::string& text, const std::string& sender,
                          const std::string& warning, const std::string& why);

    // Trust in senders (see process_message_from).
    struct StationAddress {
        std::string host;
        int port = 0;
        std::vector<std::string> addresses; // host resolved to addresses, once needed
        bool resolved = false;              // once per host: a name may take the resolver a while
        bool asked = false;                 // the name server was asked once for an unknown one
        std::string movedFrom; // the host it was initialized on, when it registers elsewhere now
    };
    bool SenderTrusted(const std::string& sender);
    void RefuseSender(const std::string& sender, const std::string& registeredHost,
                      std::string hint = {});
    void NoteStationAddress(const std::string& name, const std::string& host, int port);
    void RefreshStationAddress(const std::string& name);
    // Station restarts.
    void StationRestarted(const std::string& name);
    void NoteLinkForRestart(const CLinkEvent& event);

    CAgentCommStore m_commStore;
    CSimEventStore m_events;
    std::array<int, 3> m_goNoGo{0, 0, 0};
    int m_started = 0;
    int m_paused = 1;
    int m_multiplayer = 1;
    CNullStationStatusView m_noStatus;
    IStationStatusView* m_status = &m_noStatus;
    IAgentNotices m_noNotices;
    IAgentNotices* m_notices = &m_noNotices;
    IChatSink* m_chat = nullptr;
    AgentScenario m_scenario;
    CExperimentLog& m_log;
    int m_clock = 0;
    std::vector<std::string> m_team;
    std::string m_agentName;
    std::string m_ansHost;
    std::string m_agentPortText;
    int m_agentPort = 0;
    std::string m_ansPortText;
    int m_ansPort = 0;
    std::string m_lastOutcome;
    bool m_replayDecisionDiffers = false;
    std::string m_ansError;
    long long m_dispatched = 0;
    MapAddressResolver m_resolveMap;
    std::set<std::string> m_unreachable;
    std::map<std::string, std::size_t> m_lost;
    bool m_teamOnly = false;
    long long m_strays = 0;
    bool m_watchingLinks = false;
    std::map<std::string, std::size_t> m_unreadable;
    std::map<std::string, std::string> m_mapErrors;
    std::size_t m_unreadableTotal = 0;

    std::string m_messagePeer;
    std::map<std::string, StationAddress> m_stationAddresses;
    std::map<std::string, std::size_t> m_refusedByName;
    std::size_t m_refusedTotal = 0;
    std::deque<SenderRefusal> m_refusals;
    std::size_t m_refusalsNoted = 0;
    bool m_scenarioSent = false;
    bool m_autoReinit = false;
    bool m_pauseWhenAway = false;
    std::set<std::string> m_restarted;
    std::set<std::string> m_goneStations; // their program ended (CLinkEvent::gone)
    CProbeRunner m_probes;
};

} // namespace halyx
