#include "stationagent.h"

#include "common/numtext.h"
#include "external/agentkit/communicator.h"
#include "external/kqml/message.h"
#include "external/kqml/parser.h"
#include "scenario/mapsource.h"

#include <cstdarg>
#include <cstdio>
#include <iterator>
#include <optional>

namespace halyx {

namespace {

std::string Text(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Text(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// The values of :0, :1, ... lists inside a unit list (tell :number N :0 (...) :1 (...)): each
// unit's :id.
// Builds a command content; every value goes through the word-or-string rule, so an id taken
// from the scenario can never unbalance the message.
class CContent {
public:
    CContent() : m_text("tell") {}
    explicit CContent(const char* command) : m_text("tell :command ") { m_text += command; }
    CContent& Add(const char* key, const std::string& value) {
        m_text += " :";
        m_text += key;
        m_text += ' ';
        AppendKqmlValue(m_text, value);
        return *this;
    }
    CContent& Add(const char* key, long long value) { return Add(key, std::to_string(value)); }
    CContent& AddList(const char* key, const std::string& list) {
        m_text += " :";
        m_text += key;
        m_text += " (";
        m_text += list;
        m_text += ')';
        return *this;
    }
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

std::vector<std::string> UnitIds(const std::string& list) {
    std::vector<std::string> ids;
    CParser parser;
    if (!parser.parse_message(list)) {
        return ids;
    }
    for (const CKqmlElement& element : parser.elements()) {
        if (element.kind != KqmlElementKind::List) {
            continue;
        }
        CParser unit;
        if (unit.parse_message(parser.element_source(element))) {
            const std::string id = unit.find_text("id");
            if (!id.empty()) {
                ids.push_back(id);
            }
        }
    }
    return ids;
}

const char* const kCommands[] = {
    "inc_enter_radar",
    "inc_exit_radar",
    "get_weather",
    "subject_communication",
    "update_inc_heading",
    "update_go_nogo_status",
    "activate",
    "deactivate",
    "deploy",
    "intercept",
    "abort",
    "deploy_balloon",
    "request",
    "log_unit_display",
};

} // namespace

CStationAgent::CStationAgent(std::string name, StationBehaviour behaviour, std::uint64_t seed,
                             LineSink out)
    : CBasicAgent(std::move(name)), m_behaviour(behaviour), m_seed(seed), m_out(std::move(out)) {}

int CStationAgent::CommandCount() {
    return static_cast<int>(std::size(kCommands));
}

std::uint64_t CStationAgent::Draw(std::uint64_t clock, std::uint64_t salt) const {
    // SplitMix64 of (seed, clock, salt): the same seed gives the same commands at the same
    // clock counts, whatever messages were lost or reordered before.
    std::uint64_t z = m_seed * 0x9E3779B97F4A7C15ull + clock * 0xBF58476D1CE4E5B9ull + salt;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::string CStationAgent::Pick(const std::vector<std::string>& ids, std::uint64_t draw,
                                const char* fallback) const {
    return ids.empty() ? std::string(fallback) : ids[draw % ids.size()];
}

void CStationAgent::Send(const std::string& receiver, const std::string& performative,
                         const std::string& content) {
    if (receiver.empty() || get_communicator() == nullptr) {
        return;
    }
    get_communicator()->comm_sendmessage(performative, receiver, "default-language",
                                         "default-ontology", "", "", "", content);
}

bool CStationAgent::process_message_text(const std::string& text) {
    CParser message;
    if (!message.parse_message(text)) {
        m_out(Text("ERROR unreadable message: %s at byte %zu", message.result().description(),
                   message.result().offset));
        return true;
    }
    const std::string sender = message.find_text("sender");
    const std::optional<std::string> contentText = message.find_content();
    if (!contentText) {
        return true;
    }
    CParser content;
    if (const CKqmlParseResult read = content.parse_list(*contentText); !read) {
        m_out(Text("ERROR unreadable content from %s: %s at byte %zu", sender.c_str(),
                   read.description(), read.offset));
        return true;
    }
    const std::string command = content.find_text("command");
    if (command == "init_sim") {
        m_console = sender;
        ReadScenario(content.find_text("scenario"));
        m_statsSent = false;
        m_balloons = 0; // each mission's statistics count its own balloons only
        Send(sender, "tell", Confirmation("init_sim"));
        FloodIfPending();
    } else if (command == "init_playback") {
        m_console = sender;
        ReadScenario(content.find_text("scenario"));
        m_statsSent = false;
        m_balloons = 0;
        Send(sender, "tell", Confirmation("init_playback_confirm"));
    } else if (command == "start_sim") {
        m_console = sender;
        ReadTeam(content.find_text("team"));
    } else if (command == "clock_sync") {
        OnClock(ReadInt(content.find_text("clock")));
    } else if (command == "mission_complete") {
        if (!m_statsSent) {
            m_statsSent = true;
            Send(sender, "tell", MissionStats());
        }
    } else if (command == "reset_sim" || command == "stop_playback") {
        m_statsSent = false;
        m_clock = 0;
    }
    return true;
}

std::string CStationAgent::Confirmation(const char* command) const {
    CContent confirm(command);
    if (!m_mapError.empty()) {
        confirm.Add("mapError", m_mapError);
    }
    return confirm.text();
}

void CStationAgent::ReadScenario(const std::string& scenario) {
    CParser parser;
    m_mapError.clear();
    m_radarIds.clear();
    m_interceptorIds.clear();
    m_incursionIds.clear();
    if (!parser.parse_message(scenario)) {
        return;
    }
    m_mapError = FetchMap(parser.find_text("map"));
    m_radarIds = UnitIds(parser.find_text("radar"));
    m_interceptorIds = UnitIds(parser.find_text("interceptors"));
    m_incursionIds = UnitIds(parser.find_text("incursions"));
}

std::string CStationAgent::FetchMap(const std::string& address) {
    if (!m_fetchMaps) {
        return {};
    }
    if (address.empty()) {
        return "no map address";
    }
    // A player's station would draw the map; this one proves that the address can be read
    // from here, and how much came back.
    CMapSourceOptions options;
    options.connectTimeoutMs = 5000;
    options.totalTimeoutMs = 10000;
    const CMapSourceResult map = ReadMapSource(address, options);
    if (!map.ok) {
        m_out("MAP " + address + " ERROR " + map.error);
        return map.error;
    }
    const bool mapData = map.text.rfind("#Brisal MapData(", 0) == 0;
    m_out(Text("MAP %s %zu bytes%s", address.c_str(), map.text.size(),
               mapData ? "" : " (not map data)"));
    return mapData ? std::string() : "not map data";
}

void CStationAgent::ReadTeam(const std::string& team) {
    m_team.clear();
    CParser parser;
    if (!parser.parse_message(team)) {
        return;
    }
    const int count = ReadInt(parser.find_text("number"));
    for (int i = 0; i < count && i < 64; ++i) {
        const std::string member = parser.find_text("client" + std::to_string(i));
        if (!member.empty()) {
            m_team.push_back(member);
        }
    }
}

void CStationAgent::OnClock(int clock) {
    m_clock = clock;
    if (m_behaviour != StationBehaviour::Active || m_console.empty()) {
        return;
    }
    const std::uint64_t draw = Draw(static_cast<std::uint64_t>(clock), 1);
    // About one minute in eight brings a command; near the end of the window every station
    // gives its launch status, so that a demonstration can end either way.
    if (clock == 950) {
        SendCommand(m_console, 5, clock);
    } else if (draw % 8 == 0) {
        SendCommand(m_console, static_cast<int>((draw >> 16) % std::size(kCommands)), clock);
    }
}

bool CStationAgent::SendCommand(const std::string& receiver, int index, int clock) {
    if (index < 0 || index >= CommandCount()) {
        return false;
    }
    const std::uint64_t d = Draw(static_cast<std::uint64_t>(clock), 100 + index);
    const long long lat = static_cast<long long>(d % 951);
    const long long lng = 95 + static_cast<long long>((d >> 12) % 561);
    const long long destLat = static_cast<long long>((d >> 24) % 951);
    const long long destLng = 95 + static_cast<long long>((d >> 36) % 561);
    const auto col = [](long long a) { return static_cast<long long>(a / 23.75); };
    const auto row = [](long long b) {
        const long long r = static_cast<long long>((b - 95) / 14.0) - 39;
        return r < 0 ? -r : r;
    };
    const std::string radar = Pick(m_radarIds, d >> 8, "R1");
    const std::string interceptor = Pick(m_interceptorIds, d >> 9, "I1");
    const std::string incursion = Pick(m_incursionIds, d >> 10, "INC1");
    const std::string self = get_communicator() ? get_communicator()->get_name() : get_name();
    const char* command = kCommands[index];
    const bool radarResource = ((d >> 5) & 1) != 0;
    const std::string resource = radarResource ? "radar" : "interceptor";
    const std::string resourceId = radarResource ? radar : interceptor;
    CContent c(command);
    switch (index) {
    case 0:
    case 1:
        c.Add("incID", incursion).Add("radarID", radar);
        break;
    case 2:
        c.Add("lat", lat).Add("lng", lng).Add("balloonID", "B" + std::to_string(++m_balloons));
        break;
    case 3: {
        std::string to = receiver;
        for (const std::string& member : m_team) {
            if (member != self) {
                to = member;
                break;
            }
        }
        c.Add("to", to)
            .AddList("message", "status report at minute " + std::to_string(clock))
            .Add("from", self);
        break;
    }
    case 4:
        c.Add("id", incursion)
            .Add("heading", static_cast<long long>(d % 360))
            .Add("lat", lat)
            .Add("lng", lng);
        break;
    case 5:
        c.Add("status", d % 5 == 0 ? "nogo" : "go");
        break;
    case 6:
    case 7:
    case 10:
        c.Add("resource", resource)
            .Add("id", resourceId)
            .Add("lat", lat)
            .Add("lng", lng)
            .Add("gridCol", col(lat))
            .Add("gridRow", row(lng));
        break;
    case 8:
        c.Add("resource", "interceptor")
            .Add("id", interceptor)
            .Add("destLat", destLat)
            .Add("destLng", destLng)
            .Add("initLat", lat)
            .Add("initLng", lng)
            .Add("destGridCol", col(destLat))
            .Add("destGridRow", row(destLng))
            .Add("initGridCol", col(lat))
            .Add("initGridRow", row(lng));
        break;
    case 9:
        c.Add("resource", "interceptor")
            .Add("id", interceptor)
            .Add("incID", incursion)
            .Add("intLat", lat)
            .Add("intLng", lng)
            .Add("intGridCol", col(lat))
            .Add("intGridRow", row(lng))
            .Add("incLat", destLat)
            .Add("incLng", destLng)
            .Add("incGridCol", col(destLat))
            .Add("incGridRow", row(destLng));
        break;
    case 11:
        c.Add("destLat", destLat)
            .Add("destLng", destLng)
            .Add("gridCol", col(destLat))
            .Add("gridRow", row(destLng));
        break;
    case 12:
        c.Add("resource", resource)
            .Add("id", resourceId)
            .Add("lat", lat)
            .Add("lng", lng)
            .Add("gridCol", col(lat))
            .Add("gridRow", row(lng))
            .Add("requestFrom", self);
        break;
    default: {
        static const char* const kTypes[] = {"Radar", "Interceptor", "Incursion"};
        const int type = static_cast<int>((d >> 7) % 3);
        c.Add("name", type == 0   ? radar
                      : type == 1 ? interceptor
                                  : incursion)
            .Add("unitType", kTypes[type])
            .Add("id", type == 0   ? radar
                       : type == 1 ? interceptor
                                   : incursion)
            .Add("lat", lat)
            .Add("lng", lng);
        if (type == 0) {
            c.Add("range", static_cast<long long>(50 + d % 100));
        } else {
            c.Add("speed", static_cast<long long>(10 + d % 300));
        }
        if (type == 2) {
            c.Add("heading", static_cast<long long>(d % 360));
        }
        break;
    }
    }
    ++m_sent;
    Send(receiver, "tell", c.text());
    return true;
}

void CStationAgent::FloodIfPending() {
    if (m_pendingFlood > 0 && !m_console.empty()) {
        const int count = m_pendingFlood;
        m_pendingFlood = 0;
        Flood(m_console, count);
        m_out("FLOOD " + std::to_string(count) + " commands to " + m_console);
    }
}

void CStationAgent::Flood(const std::string& receiver, int count) {
    for (int i = 0; i < count; ++i) {
        SendCommand(receiver, i % CommandCount(), i);
    }
}

std::string CStationAgent::MissionStats() const {
    const std::uint64_t d = Draw(static_cast<std::uint64_t>(m_clock), 7);
    const long long balloonCost = 100LL * m_balloons;
    std::string radarStats = "tell :count " + std::to_string(m_radarIds.size());
    long long radarCost = 0;
    for (std::size_t i = 0; i < m_radarIds.size() && i < 16; ++i) {
        const long long cost = 1000 + static_cast<long long>((d >> i) % 500);
        radarCost += cost;
        CContent item;
        item.Add("id", m_radarIds[i])
            .Add("name", "Radar " + m_radarIds[i])
            .Add("activationCt", static_cast<long long>(1 + (d >> (i + 3)) % 4))
            .Add("totalActiveTime", static_cast<long long>((d >> (i + 5)) % 900))
            .Add("cost", cost);
        radarStats += " :radar" + std::to_string(i) + " (" + item.text() + ")";
    }
    std::string intStats = "tell :count " + std::to_string(m_interceptorIds.size());
    long long intCost = 0;
    for (std::size_t i = 0; i < m_interceptorIds.size() && i < 16; ++i) {
        const long long cost = 2000 + static_cast<long long>((d >> (i + 1)) % 700);
        intCost += cost;
        CContent item;
        item.Add("id", m_interceptorIds[i])
            .Add("name", "Interceptor " + m_interceptorIds[i])
            .Add("activationCt", static_cast<long long>(1 + (d >> (i + 2)) % 3))
            .Add("deployCt", static_cast<long long>((d >> (i + 4)) % 5))
            .Add("intCt", static_cast<long long>((d >> (i + 6)) % 3))
            .Add("totalActiveTime", static_cast<long long>((d >> (i + 8)) % 900))
            .Add("totalTaskTime", static_cast<long long>((d >> (i + 10)) % 600))
            .Add("cost", cost);
        intStats += " :int" + std::to_string(i) + " (" + item.text() + ")";
    }
    std::string balloonStats = "tell :count " + std::to_string(m_balloons);
    for (int i = 0; i < m_balloons && i < 64; ++i) {
        balloonStats += " :balloon" + std::to_string(i) + " (tell :deployTime " +
                        std::to_string(i * 10) + " :reportTime " + std::to_string(i * 10 + 5) +
                        " :deployLat " + std::to_string((d >> (i % 32)) % 951) + " :deployLng " +
                        std::to_string(95 + (d >> (i % 16)) % 561) + " :cost 100)";
    }
    CContent stats("mission_stats");
    stats.Add("totalCost", balloonCost + intCost + radarCost)
        .Add("balloonCost", balloonCost)
        .Add("intCost", intCost)
        .Add("radarCost", radarCost)
        .AddList("radarStats", radarStats)
        .AddList("intStats", intStats)
        .AddList("balloonStats", balloonStats);
    return stats.text();
}

} // namespace halyx
