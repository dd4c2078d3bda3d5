#include "station/stationseat.h"

#include "common/format.h"
#include "common/geometry.h"
#include "common/numtext.h"
#include "external/kqml/message.h"
#include "external/kqml/parser.h"
#include "external/kqml/utils.h"
#include "scenario/geography.h"
#include "station/seatcontent.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace halyx {

namespace {

// The editable region of the map: what a seat may send a unit or a balloon to.
constexpr double kMapLatMin = 0.0;
constexpr double kMapLatMax = 950.0;
constexpr double kMapLngMin = 95.0;
constexpr double kMapLngMax = 655.0;

const char* const kPositionWords[] = {"ALPHA", "BRAVO", "CHARLIE"};

double Distance(double lat0, double lng0, double lat1, double lng1) {
    return std::hypot(lat1 - lat0, lng1 - lng0);
}

std::string Coordinate(double value) {
    return Format("%.3f", value);
}

// The parsed elements of a unit list ("tell :number N :0 (...) :1 (...)"), each unit's own
// text. :number is not trusted: the units are the lists that are there, up to limit.
std::vector<std::string> UnitTexts(const std::string& list, std::size_t limit, bool& cut) {
    std::vector<std::string> units;
    CParser parser;
    cut = false;
    if (!parser.parse_list(list)) {
        return units;
    }
    for (const CKqmlElement& element : parser.elements()) {
        if (element.kind != KqmlElementKind::List) {
            continue;
        }
        if (units.size() == limit) {
            cut = true;
            break;
        }
        units.emplace_back(parser.element_source(element));
    }
    return units;
}

CLatLngList Points(const std::string& list) {
    CLatLngList points;
    bool cut = false;
    for (const std::string& text : UnitTexts(list, CStationSeat::kMaxUnits, cut)) {
        CParser point;
        if (point.parse_list(text) && IsNumberText(point.find_text("lat")) &&
            IsNumberText(point.find_text("lon"))) {
            points.emplace_back(ReadNumber(point.find_text("lat")),
                                ReadNumber(point.find_text("lon")));
        }
    }
    return points;
}

// The first of keys whose text is not a number, or nullptr.
const char* NotANumber(const CParser& unit, std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        if (!IsNumberText(unit.find_text(key))) {
            return key;
        }
    }
    return nullptr;
}

bool Finite(double a, double b) {
    return std::isfinite(a) && std::isfinite(b);
}

} // namespace

CStationSeat::CStationSeat(std::string name, CSeatOptions options) : m_options(std::move(options)) {
    m_state.seat = std::move(name);
    m_state.picture = m_options.picture;
}

// ---------------------------------------------------------------------------------------------
// The rules

CLatLng CStationSeat::IncursionAt(const CSeatIncursion& incursion, int minute) {
    // CIncursion::GetPositionAt's course, term for term, from where the console placed the
    // incursion at minute 0 (the sine and cosine are worked out once, when it is read).
    const double t = minute / 60.0;
    return {incursion.lat0 + t * incursion.speed * incursion.sinHeading,
            incursion.lng0 + t * incursion.speed * incursion.cosHeading};
}

CLatLng CStationSeat::InterceptorAt(const CSeatInterceptor& craft, int minute) {
    const double length = Distance(craft.fromLat, craft.fromLng, craft.destLat, craft.destLng);
    if (length <= 0.0 || minute <= craft.fromMinute) {
        return {craft.fromLat, craft.fromLng};
    }
    const double covered = std::min(length, craft.speed * (minute - craft.fromMinute) / 60.0);
    const double f = covered / length;
    return {craft.fromLat + (craft.destLat - craft.fromLat) * f,
            craft.fromLng + (craft.destLng - craft.fromLng) * f};
}

bool CStationSeat::Moving(const CSeatInterceptor& craft, int minute) {
    const double length = Distance(craft.fromLat, craft.fromLng, craft.destLat, craft.destLng);
    return length > 0.0 && craft.speed * (minute - craft.fromMinute) / 60.0 < length;
}

double CStationSeat::Reach(const CSeatInterceptor& craft) {
    return kCaptureRadius + std::max(0.0, craft.speed) / 60.0;
}

bool CStationSeat::OnMap(double lat, double lng) {
    return lat >= kMapLatMin && lat <= kMapLatMax && lng >= kMapLngMin && lng <= kMapLngMax;
}

int CStationSeat::GridCol(double lat) {
    // As the console reads a point for the weather: whole coordinates, each quotient truncated.
    const int a = static_cast<int>(std::trunc(lat));
    return static_cast<int>(a / 23.75);
}

int CStationSeat::GridRow(double lng) {
    const int b = static_cast<int>(std::trunc(lng));
    return std::abs(static_cast<int>((b - 95) / 14.0) - 39);
}

std::optional<CLatLng> CStationSeat::LocationOf(const std::string& name) {
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (int i = 0; i < 3; ++i) {
        if (upper.find(kPositionWords[i]) != std::string::npos) {
            return CGeography::StationPosition(i);
        }
    }
    return std::nullopt;
}

std::string CStationSeat::NearestSeat(double lat, double lng) const {
    std::string best;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (const std::string& member : m_state.team) {
        if (const std::optional<CLatLng> at = LocationOf(member)) {
            const double d = Distance(lat, lng, at->lat, at->lng);
            if (d < bestDistance) {
                bestDistance = d;
                best = member;
            }
        }
    }
    return best;
}

bool CStationSeat::InLaunchZone(double lat, double lng) const {
    // The corridor between the two impact lines: the northern line out, the southern back.
    CLatLngList zone = m_state.northLine;
    zone.insert(zone.end(), m_state.southLine.rbegin(), m_state.southLine.rend());
    bool inside = false;
    for (std::size_t i = 0, j = zone.size() - 1; i < zone.size(); j = i++) {
        const CLatLng& a = zone[i];
        const CLatLng& b = zone[j];
        if ((a.lng > lng) != (b.lng > lng) &&
            lat < (b.lat - a.lat) * (lng - a.lng) / (b.lng - a.lng) + a.lat) {
            inside = !inside;
        }
    }
    return zone.size() >= 3 && inside;
}

std::optional<CMeeting> CStationSeat::Meeting(const CSeatInterceptor& craft,
                                              const CSeatIncursion& target, int minute) const {
    if (craft.speed <= 0.0 || target.intercepted) {
        return std::nullopt;
    }
    const CLatLng from = InterceptorAt(craft, minute);
    for (int m = std::max(minute + 1, target.startMinute); m <= kSeatLastMinute; ++m) {
        const CLatLng p = IncursionAt(target, m);
        if (!OnMap(p.lat, p.lng)) {
            continue;
        }
        if (craft.range > 0.0 &&
            Distance(craft.homeLat, craft.homeLng, p.lat, p.lng) > craft.range) {
            continue;
        }
        if (Distance(from.lat, from.lng, p.lat, p.lng) <= craft.speed * (m - minute) / 60.0) {
            return CMeeting{m, p};
        }
    }
    return std::nullopt;
}

const CSeatInterceptor* CStationSeat::FindInterceptor(const std::string& id) const {
    for (const CSeatInterceptor& craft : m_state.interceptors) {
        if (craft.id == id) {
            return &craft;
        }
    }
    return nullptr;
}

const CSeatIncursion* CStationSeat::FindIncursion(const std::string& id) const {
    for (const CSeatIncursion& incursion : m_state.incursions) {
        if (incursion.id == id) {
            return &incursion;
        }
    }
    return nullptr;
}

CSeatInterceptor* CStationSeat::Interceptor(const std::string& id) {
    return const_cast<CSeatInterceptor*>(FindInterceptor(id));
}

CSeatIncursion* CStationSeat::Incursion(const std::string& id) {
    return const_cast<CSeatIncursion*>(FindIncursion(id));
}

bool CStationSeat::Sees(const std::string& incursion, int before, bool ownRadars) const {
    const bool team = m_state.picture == TeamPicture::Team && !ownRadars;
    for (const CSeatContact& contact : m_state.contacts) {
        if (contact.incursion == incursion && contact.since < before &&
            (team || contact.seat == m_state.seat)) {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Reading messages

void CStationSeat::Receive(std::string_view messageText) {
    CParser message;
    if (const CKqmlParseResult read = message.parse_message(messageText); !read) {
        Unreadable(Format("unreadable message: %s at byte %zu", read.description(), read.offset));
        return;
    }
    const std::string sender = message.find_text("sender");
    const std::optional<std::string> contentText = message.find_content();
    if (!contentText) {
        Unreadable("message from " + sender + " without content");
        return;
    }
    CParser content;
    if (const CKqmlParseResult read = content.parse_list(*contentText); !read) {
        Unreadable(Format("unreadable content from %s: %s at byte %zu", sender.c_str(),
                          read.description(), read.offset));
        return;
    }
    const std::string command = content.find_text("command");
    if (command.empty()) {
        Unreadable("message from " + sender + " without a command");
        return;
    }
    Dispatch(sender, command, content);
}

void CStationSeat::Dispatch(const std::string& sender, const std::string& command,
                            const CParser& content) {
    const bool fromConsole = m_state.console.empty() || sender == m_state.console;
    if (command == "init_sim" || command == "init_playback") {
        const bool playback = command == "init_playback";
        m_state.console = sender;
        ReadScenario(content.find_text("scenario"));
        m_state.playback = playback;
        m_state.phase = playback ? SeatPhase::Playback : SeatPhase::Initialized;
        SeatContent confirm(playback ? "init_playback_confirm" : "init_sim");
        if (!m_state.mapError.empty()) {
            confirm.Add("mapError", m_state.mapError);
        }
        ToConsole(confirm.text());
        Changed(command);
    } else if (!fromConsole && command.rfind("team_", 0) == 0) {
        FromTeammate(sender, command, content);
    } else if (!fromConsole || (m_state.playback && sender != m_state.console)) {
        // In playback the console replays recorded commands in the recorded station's name.
        if (m_state.playback) {
            Replayed(sender, command, content);
        } else {
            Note("ignored " + command + " from " + sender + ": not the console");
        }
    } else if (command == "start_sim") {
        ReadTeam(content.find_text("team"), content.find_text("stationlocation"));
        if (m_state.phase != SeatPhase::Playback) {
            m_state.phase = SeatPhase::Running;
            SendUnitDisplays();
        }
        Changed("start_sim");
    } else if (command == "clock_sync") {
        const std::string clock = content.find_text("clock");
        if (!IsNumberText(clock) || ReadNumber(clock) < 0 || ReadNumber(clock) > 1e6) {
            Unreadable("clock_sync with clock " + clock);
            return;
        }
        Advance(ReadInt(clock));
    } else if (command == "mission_complete") {
        m_state.missionText = content.find_text("msg");
        if (!m_state.playback) {
            m_state.phase = SeatPhase::Complete;
            if (!m_statsSent) {
                m_statsSent = true;
                ToConsole(MissionStats());
            }
        }
        Changed("mission_complete");
    } else if (command == "reset_sim" || command == "stop_playback") {
        ResetMission();
        m_state.phase = m_state.playback ? SeatPhase::Playback : SeatPhase::Idle;
        Changed(command);
    } else if (command == "weather_data") {
        AnswerWeather(content);
    } else if (command == "playback_deploy_balloon" && m_state.playback) {
        Replayed(m_state.seat, command, content);
    } else {
        Note("ignored " + command + " from " + sender);
    }
}

void CStationSeat::ReadScenario(const std::string& scenarioText) {
    CParser scenario;
    m_state.radars.clear();
    m_state.interceptors.clear();
    m_state.incursions.clear();
    m_state.northLine.clear();
    m_state.southLine.clear();
    m_state.trajectory.clear();
    m_state.mapError.clear();
    if (!scenarioText.empty() && !scenario.parse_list(scenarioText)) {
        Unreadable("unreadable scenario");
    }
    bool cut = false;
    m_state.mapAddress = scenario.find_text("map");
    m_state.terrain.clear();
    for (const std::string& text : UnitTexts(scenario.find_text("terrain"), 256, cut)) {
        CParser record;
        record.parse_list(text);
        const auto byte = [&record](const char* key) {
            const std::string value = record.find_text(key);
            return IsNumberText(value) ? std::clamp(ReadInt(value), 0, 255) : -1;
        };
        const int code = byte("code");
        if (code >= 0 && byte("r") >= 0 && byte("g") >= 0 && byte("b") >= 0) {
            m_state.terrain[static_cast<uint8_t>(code)] = CTerrain(
                record.find_text("name"), record.find_text("style"), static_cast<uint8_t>(code),
                MakeRgb(static_cast<uint8_t>(byte("r")), static_cast<uint8_t>(byte("g")),
                        static_cast<uint8_t>(byte("b"))));
        }
    }
    if (m_options.fetchMap && !m_state.mapAddress.empty()) {
        m_state.mapError = m_options.fetchMap(m_state.mapAddress);
    } else if (m_options.fetchMap) {
        m_state.mapError = "no map address";
    }

    const auto skip = [&](const char* kind, const std::string& id, const std::string& why) {
        Note(Format("%s %s skipped: %s", kind, id.c_str(), why.c_str()));
    };
    for (const std::string& text : UnitTexts(scenario.find_text("radar"), kMaxUnits, cut)) {
        CParser unit;
        unit.parse_list(text);
        const std::string id = unit.find_text("id");
        if (const char* bad = NotANumber(unit, {"lat", "lon", "range"})) {
            skip("radar", id, std::string(bad) + " is not a number");
        } else if (id.empty() || std::any_of(m_state.radars.begin(), m_state.radars.end(),
                                             [&](const CSeatRadar& r) { return r.id == id; })) {
            skip("radar", id, "its ID is empty or taken");
        } else {
            m_state.radars.push_back({id, unit.find_text("name"), unit.find_text("owner"),
                                      ReadNumber(unit.find_text("lat")),
                                      ReadNumber(unit.find_text("lon")),
                                      ReadNumber(unit.find_text("range"))});
        }
    }
    if (cut) {
        Note(Format("radars beyond the first %zu left out", kMaxUnits));
    }
    for (const std::string& text : UnitTexts(scenario.find_text("interceptors"), kMaxUnits, cut)) {
        CParser unit;
        unit.parse_list(text);
        const std::string id = unit.find_text("id");
        if (const char* bad = NotANumber(unit, {"lat", "lon", "maxspeed", "range"})) {
            skip("interceptor", id, std::string(bad) + " is not a number");
        } else if (id.empty() || FindInterceptor(id) != nullptr) {
            skip("interceptor", id, "its ID is empty or taken");
        } else {
            CSeatInterceptor craft;
            craft.id = id;
            craft.name = unit.find_text("name");
            craft.scope = unit.find_text("scope");
            craft.homeLat = ReadNumber(unit.find_text("lat"));
            craft.homeLng = ReadNumber(unit.find_text("lon"));
            craft.speed = std::max(0.0, ReadNumber(unit.find_text("maxspeed")));
            craft.range = std::max(0.0, ReadNumber(unit.find_text("range")));
            craft.minRange = ReadNumber(unit.find_text("minrange"));
            m_state.interceptors.push_back(craft);
        }
    }
    if (cut) {
        Note(Format("interceptors beyond the first %zu left out", kMaxUnits));
    }
    for (const std::string& text : UnitTexts(scenario.find_text("incursions"), kMaxUnits, cut)) {
        CParser unit;
        unit.parse_list(text);
        const std::string id = unit.find_text("id");
        if (const char* bad = NotANumber(unit, {"lat", "lon", "heading", "speed"})) {
            skip("incursion", id, std::string(bad) + " is not a number");
        } else if (id.empty() || FindIncursion(id) != nullptr) {
            skip("incursion", id, "its ID is empty or taken");
        } else {
            CSeatIncursion incursion;
            incursion.id = id;
            incursion.name = unit.find_text("name");
            incursion.lat0 = ReadNumber(unit.find_text("lat"));
            incursion.lng0 = ReadNumber(unit.find_text("lon"));
            incursion.heading = ReadNumber(unit.find_text("heading"));
            incursion.speed = ReadNumber(unit.find_text("speed"));
            incursion.sinHeading = std::sin(incursion.heading * kPi / 180.0);
            incursion.cosHeading = std::cos(incursion.heading * kPi / 180.0);
            // The start minute, when the console tells it; otherwise the course runs from 0.
            const std::string start = unit.find_text("time");
            incursion.startMinute =
                IsNumberText(start) ? std::clamp(ReadInt(start), 0, kSeatLastMinute + 1) : 0;
            m_state.incursions.push_back(incursion);
        }
    }
    if (cut) {
        Note(Format("incursions beyond the first %zu left out", kMaxUnits));
    }
    CParser lines;
    if (lines.parse_list(scenario.find_text("impactlines"))) {
        m_state.northLine = Points(lines.find_text("nline"));
        m_state.southLine = Points(lines.find_text("sline"));
    }
    m_state.trajectory = Points(scenario.find_text("trajectory"));
    AssignOwners();
    ResetMission();
}

void CStationSeat::ReadTeam(const std::string& teamText, const std::string& location) {
    CParser team;
    m_state.team.clear();
    if (team.parse_list(teamText)) {
        // :number is not trusted: the members are the :clientN keys that are there.
        const int count = std::clamp(ReadInt(team.find_text("number")), 0, 64);
        for (int i = 0; i < count; ++i) {
            const std::string member = team.find_text("client" + std::to_string(i));
            if (!member.empty() &&
                std::find(m_state.team.begin(), m_state.team.end(), member) == m_state.team.end()) {
                m_state.team.push_back(member);
            }
        }
    }
    CParser where;
    m_state.hasLocation = where.parse_list(location) && IsNumberText(where.find_text("lat")) &&
                          IsNumberText(where.find_text("lon"));
    m_state.location = m_state.hasLocation ? CLatLng(ReadNumber(where.find_text("lat")),
                                                     ReadNumber(where.find_text("lon")))
                                           : CLatLng();
    AssignOwners();
}

void CStationSeat::AssignOwners() {
    // A radar's :owner that names a team member wins; otherwise the nearest station location.
    for (CSeatRadar& radar : m_state.radars) {
        const bool named =
            std::find(m_state.team.begin(), m_state.team.end(), radar.owner) != m_state.team.end();
        if (!named) {
            radar.owner = NearestSeat(radar.lat, radar.lng);
        }
    }
    for (CSeatInterceptor& craft : m_state.interceptors) {
        craft.owner = NearestSeat(craft.homeLat, craft.homeLng);
    }
    m_inRange.assign(m_state.radars.size(), std::vector<char>(m_state.incursions.size(), 0));
}

void CStationSeat::ResetMission() {
    m_state.minute = 0;
    m_state.contacts.clear();
    m_state.balloons.clear();
    m_state.requests.clear();
    m_state.chat.clear();
    m_state.goNoGo.clear();
    m_state.missionText.clear();
    for (CSeatInterceptor& craft : m_state.interceptors) {
        const CSeatInterceptor fresh = craft;
        craft = CSeatInterceptor{};
        craft.id = fresh.id;
        craft.name = fresh.name;
        craft.owner = fresh.owner;
        craft.scope = fresh.scope;
        craft.homeLat = fresh.homeLat;
        craft.homeLng = fresh.homeLng;
        craft.speed = fresh.speed;
        craft.range = fresh.range;
        craft.minRange = fresh.minRange;
        Stop(craft, 0);
        craft.fromLat = craft.destLat = craft.lat = craft.homeLat;
        craft.fromLng = craft.destLng = craft.lng = craft.homeLng;
    }
    for (CSeatIncursion& incursion : m_state.incursions) {
        incursion.intercepted = false;
        incursion.interceptedMinute = -1;
        incursion.interceptedBy.clear();
        incursion.lat = incursion.lat0;
        incursion.lng = incursion.lng0;
    }
    m_inRange.assign(m_state.radars.size(), std::vector<char>(m_state.incursions.size(), 0));
    m_trackSince.assign(m_state.incursions.size(), -1);
    m_trackTold.assign(m_state.incursions.size(), false);
    m_balloonCount = 0;
    m_requestCount = 0;
    m_statsSent = false;
}

// ---------------------------------------------------------------------------------------------
// The clock

void CStationSeat::Advance(int minute) {
    const int elapsed = std::max(0, minute - m_state.minute);
    m_state.minute = minute;
    for (CSeatIncursion& incursion : m_state.incursions) {
        const CLatLng at = IncursionAt(incursion, minute);
        incursion.lat = at.lat;
        incursion.lng = at.lng;
    }
    for (CSeatInterceptor& craft : m_state.interceptors) {
        if (craft.owner == m_state.seat && craft.active) {
            craft.activeMinutes += elapsed;
            craft.taskMinutes += Moving(craft, minute) ? elapsed : 0;
        }
        const CLatLng at = InterceptorAt(craft, minute);
        craft.lat = at.lat;
        craft.lng = at.lng;
        craft.moving = Moving(craft, minute);
    }
    UpdateContacts(!m_state.playback && m_state.phase == SeatPhase::Running);
    Changed(Format("minute %d", minute));
}

void CStationSeat::UpdateContacts(bool tell) {
    const int minute = m_state.minute;
    std::vector<char> seenByOwn(m_state.incursions.size(), 0);
    for (std::size_t r = 0; r < m_state.radars.size(); ++r) {
        const CSeatRadar& radar = m_state.radars[r];
        // In playback the recorded stations' contacts are not replayed: the seat shows what
        // every radar sees.
        if (radar.owner != m_state.seat && !m_state.playback) {
            continue;
        }
        for (std::size_t i = 0; i < m_state.incursions.size(); ++i) {
            const CSeatIncursion& incursion = m_state.incursions[i];
            const bool inside =
                !incursion.intercepted && minute >= incursion.startMinute &&
                Distance(radar.lat, radar.lng, incursion.lat, incursion.lng) <= radar.range;
            seenByOwn[i] |= static_cast<char>(inside && radar.owner == m_state.seat);
            if (inside == (m_inRange[r][i] != 0)) {
                continue;
            }
            m_inRange[r][i] = inside;
            const char* command = inside ? "inc_enter_radar" : "inc_exit_radar";
            if (inside) {
                AddContact({incursion.id, radar.id, radar.owner, minute});
            } else {
                RemoveContact(incursion.id, radar.id);
            }
            if (tell) {
                ToConsole(SeatContent(command)
                              .Add("incID", incursion.id)
                              .Add("radarID", radar.id)
                              .text());
                ToTeam(SeatContent("team_contact")
                           .Add("clock", minute)
                           .Add("incID", incursion.id)
                           .Add("radarID", radar.id)
                           .Add("state", inside ? "enter" : "exit")
                           .text());
            }
        }
    }
    // A track forms once the seat's own radars have held an incursion for two minutes: its
    // heading is then known from where it was and where it is.
    for (std::size_t i = 0; i < m_state.incursions.size(); ++i) {
        if (!seenByOwn[i]) {
            m_trackSince[i] = -1;
            m_trackTold[i] = false;
            continue;
        }
        if (m_trackSince[i] < 0) {
            m_trackSince[i] = minute;
        }
        if (tell && !m_trackTold[i] && minute > m_trackSince[i]) {
            const CSeatIncursion& incursion = m_state.incursions[i];
            const CLatLng before = IncursionAt(incursion, minute - 1);
            // The angle turns on the true circle; only its conversion to degrees uses the
            // scenario's 22/7, so that the track reads back the heading the course was given.
            double angle = std::atan2(incursion.lat - before.lat, incursion.lng - before.lng);
            angle = angle < 0.0 ? angle + 2.0 * std::numbers::pi : angle;
            const double heading = angle * 180.0 / kPi;
            m_trackTold[i] = true;
            ToConsole(SeatContent("update_inc_heading")
                          .Add("id", incursion.id)
                          .Add("heading", Format("%.1f", heading))
                          .Add("lat", Coordinate(incursion.lat))
                          .Add("lng", Coordinate(incursion.lng))
                          .text());
        }
    }
}

void CStationSeat::AddContact(const CSeatContact& contact) {
    RemoveContact(contact.incursion, contact.radar);
    m_state.contacts.push_back(contact);
}

void CStationSeat::RemoveContact(const std::string& incursion, const std::string& radar) {
    std::erase_if(m_state.contacts, [&](const CSeatContact& c) {
        return c.incursion == incursion && c.radar == radar;
    });
}

// ---------------------------------------------------------------------------------------------
// The face's actions

CSeatResult CStationSeat::CanAct() const {
    if (m_state.playback) {
        return CSeatResult::Refused("playback: the seat takes no input");
    }
    if (m_state.phase != SeatPhase::Running) {
        return CSeatResult::Refused("the mission is not running");
    }
    return {};
}

CSeatResult CStationSeat::Own(const std::string& id, CSeatInterceptor*& craft) {
    if (CSeatResult can = CanAct(); !can.ok) {
        return can;
    }
    craft = Interceptor(id);
    if (craft == nullptr) {
        return CSeatResult::Refused("no interceptor " + id);
    }
    if (craft->owner != m_state.seat) {
        return CSeatResult::Refused(id + " is not yours" +
                                    (craft->owner.empty() ? std::string(": nobody commands it")
                                                          : ": it belongs to " + craft->owner));
    }
    return {};
}

void CStationSeat::Stop(CSeatInterceptor& craft, int minute) {
    const CLatLng at = InterceptorAt(craft, minute);
    craft.fromLat = craft.destLat = craft.lat = at.lat;
    craft.fromLng = craft.destLng = craft.lng = at.lng;
    craft.fromMinute = minute;
    craft.moving = false;
    craft.stamp = minute;
}

void CStationSeat::StartLeg(CSeatInterceptor& craft, double lat, double lng, int minute) {
    Stop(craft, minute);
    craft.destLat = lat;
    craft.destLng = lng;
    craft.moving = Moving(craft, minute);
}

CSeatResult CStationSeat::Activate(const std::string& id) {
    CSeatInterceptor* craft = nullptr;
    if (CSeatResult own = Own(id, craft); !own.ok) {
        return own;
    }
    if (craft->active) {
        return CSeatResult::Refused(id + " is already active");
    }
    craft->active = true;
    ++craft->activations;
    craft->stamp = m_state.minute;
    ToConsole(SeatContent("activate")
                  .Add("resource", "interceptor")
                  .Add("id", id)
                  .Add("lat", Coordinate(craft->lat))
                  .Add("lng", Coordinate(craft->lng))
                  .Add("gridCol", GridCol(craft->lat))
                  .Add("gridRow", GridRow(craft->lng))
                  .text());
    ToTeam(SeatContent("team_unit")
               .Add("clock", m_state.minute)
               .Add("id", id)
               .Add("active", 1)
               .text());
    Changed("activate " + id);
    return {};
}

CSeatResult CStationSeat::Deactivate(const std::string& id) {
    CSeatInterceptor* craft = nullptr;
    if (CSeatResult own = Own(id, craft); !own.ok) {
        return own;
    }
    if (!craft->active) {
        return CSeatResult::Refused(id + " is not active");
    }
    Stop(*craft, m_state.minute);
    craft->active = false;
    craft->target.clear();
    ToConsole(SeatContent("deactivate")
                  .Add("resource", "interceptor")
                  .Add("id", id)
                  .Add("lat", Coordinate(craft->lat))
                  .Add("lng", Coordinate(craft->lng))
                  .Add("gridCol", GridCol(craft->lat))
                  .Add("gridRow", GridRow(craft->lng))
                  .text());
    ToTeam(SeatContent("team_unit")
               .Add("clock", m_state.minute)
               .Add("id", id)
               .Add("active", 0)
               .Add("lat", Coordinate(craft->lat))
               .Add("lng", Coordinate(craft->lng))
               .text());
    Changed("deactivate " + id);
    return {};
}

CSeatResult CStationSeat::Deploy(const std::string& id, double lat, double lng,
                                 const std::string& target) {
    CSeatInterceptor* craft = nullptr;
    if (CSeatResult own = Own(id, craft); !own.ok) {
        return own;
    }
    if (!craft->active) {
        return CSeatResult::Refused(id + " is not active");
    }
    if (!Finite(lat, lng) || !OnMap(lat, lng)) {
        return CSeatResult::Refused(Format("the point (%.3f, %.3f) is off the map", lat, lng));
    }
    if (craft->range > 0.0 && Distance(craft->homeLat, craft->homeLng, lat, lng) > craft->range) {
        return CSeatResult::Refused(
            Format("the point lies beyond %s's range of %.0f", id.c_str(), craft->range));
    }
    const CLatLng from = InterceptorAt(*craft, m_state.minute);
    StartLeg(*craft, lat, lng, m_state.minute);
    craft->target = target;
    ++craft->deploys;
    ToConsole(SeatContent("deploy")
                  .Add("resource", "interceptor")
                  .Add("id", id)
                  .Add("destLat", Coordinate(lat))
                  .Add("destLng", Coordinate(lng))
                  .Add("initLat", Coordinate(from.lat))
                  .Add("initLng", Coordinate(from.lng))
                  .Add("destGridCol", GridCol(lat))
                  .Add("destGridRow", GridRow(lng))
                  .Add("initGridCol", GridCol(from.lat))
                  .Add("initGridRow", GridRow(from.lng))
                  .text());
    ToTeam(SeatContent("team_deploy")
               .Add("clock", m_state.minute)
               .Add("id", id)
               .Add("initLat", Coordinate(from.lat))
               .Add("initLng", Coordinate(from.lng))
               .Add("destLat", Coordinate(lat))
               .Add("destLng", Coordinate(lng))
               .Add("incID", target)
               .text());
    Changed("deploy " + id);
    return {};
}

CSeatResult CStationSeat::Intercept(const std::string& id, const std::string& incursionId) {
    CSeatInterceptor* craft = nullptr;
    if (CSeatResult own = Own(id, craft); !own.ok) {
        return own;
    }
    if (!craft->active) {
        return CSeatResult::Refused(id + " is not active");
    }
    CSeatIncursion* target = Incursion(incursionId);
    if (target == nullptr) {
        return CSeatResult::Refused("no incursion " + incursionId);
    }
    if (target->intercepted) {
        return CSeatResult::Refused(incursionId + " was intercepted already");
    }
    if (!Sees(incursionId)) {
        return CSeatResult::Refused("no radar of the seat's picture sees " + incursionId);
    }
    const int minute = m_state.minute;
    const CLatLng at = InterceptorAt(*craft, minute);
    const CLatLng there = IncursionAt(*target, minute);
    const double d = Distance(at.lat, at.lng, there.lat, there.lng);
    if (d > Reach(*craft)) {
        return CSeatResult::Refused(Format("%s is %.1f away, beyond %s's reach of %.1f",
                                           incursionId.c_str(), d, id.c_str(), Reach(*craft)));
    }
    Stop(*craft, minute);
    craft->target.clear();
    ++craft->intercepts;
    MarkIntercepted(*target, id, minute);
    ToConsole(SeatContent("intercept")
                  .Add("resource", "interceptor")
                  .Add("id", id)
                  .Add("incID", incursionId)
                  .Add("intLat", Coordinate(at.lat))
                  .Add("intLng", Coordinate(at.lng))
                  .Add("intGridCol", GridCol(at.lat))
                  .Add("intGridRow", GridRow(at.lng))
                  .Add("incLat", Coordinate(there.lat))
                  .Add("incLng", Coordinate(there.lng))
                  .Add("incGridCol", GridCol(there.lat))
                  .Add("incGridRow", GridRow(there.lng))
                  .text());
    ToTeam(SeatContent("team_intercept")
               .Add("clock", minute)
               .Add("id", id)
               .Add("incID", incursionId)
               .Add("lat", Coordinate(at.lat))
               .Add("lng", Coordinate(at.lng))
               .text());
    Changed("intercept " + incursionId);
    return {};
}

void CStationSeat::MarkIntercepted(CSeatIncursion& target, const std::string& by, int minute) {
    target.intercepted = true;
    target.interceptedMinute = minute;
    target.interceptedBy = by;
}

CSeatResult CStationSeat::Abort(const std::string& id) {
    CSeatInterceptor* craft = nullptr;
    if (CSeatResult own = Own(id, craft); !own.ok) {
        return own;
    }
    if (!Moving(*craft, m_state.minute)) {
        return CSeatResult::Refused(id + " is not under way");
    }
    Stop(*craft, m_state.minute);
    craft->target.clear();
    ToConsole(SeatContent("abort")
                  .Add("resource", "interceptor")
                  .Add("id", id)
                  .Add("lat", Coordinate(craft->lat))
                  .Add("lng", Coordinate(craft->lng))
                  .Add("gridCol", GridCol(craft->lat))
                  .Add("gridRow", GridRow(craft->lng))
                  .text());
    ToTeam(SeatContent("team_abort")
               .Add("clock", m_state.minute)
               .Add("id", id)
               .Add("lat", Coordinate(craft->lat))
               .Add("lng", Coordinate(craft->lng))
               .text());
    Changed("abort " + id);
    return {};
}

CSeatResult CStationSeat::DeployBalloon(double lat, double lng) {
    if (CSeatResult can = CanAct(); !can.ok) {
        return can;
    }
    if (!Finite(lat, lng) || !OnMap(lat, lng)) {
        return CSeatResult::Refused(Format("the point (%.3f, %.3f) is off the map", lat, lng));
    }
    if (m_state.balloons.size() >= kMaxRecords) {
        return CSeatResult::Refused("no balloons left");
    }
    ToConsole(SeatContent("deploy_balloon")
                  .Add("destLat", Coordinate(lat))
                  .Add("destLng", Coordinate(lng))
                  .Add("gridCol", GridCol(lat))
                  .Add("gridRow", GridRow(lng))
                  .text());
    // The balloon reports the weather where it rises.
    CSeatResult asked = AskWeather(lat, lng);
    m_state.balloons.back().balloon = true;
    Changed("deploy_balloon");
    return asked;
}

CSeatResult CStationSeat::AskWeather(double lat, double lng) {
    if (CSeatResult can = CanAct(); !can.ok) {
        return can;
    }
    if (!Finite(lat, lng) || !OnMap(lat, lng)) {
        return CSeatResult::Refused(Format("the point (%.3f, %.3f) is off the map", lat, lng));
    }
    if (m_state.balloons.size() >= kMaxRecords) {
        return CSeatResult::Refused("no more weather queries");
    }
    CSeatBalloon query;
    query.id = Format("%s-B%d", m_state.seat.c_str(), ++m_balloonCount);
    query.seat = m_state.seat;
    query.balloon = false;
    query.lat = lat;
    query.lng = lng;
    query.minute = m_state.minute;
    m_state.balloons.push_back(query);
    // Whole coordinates: the console reads them so.
    ToConsole(SeatContent("get_weather")
                  .Add("lat", static_cast<int>(std::trunc(lat)))
                  .Add("lng", static_cast<int>(std::trunc(lng)))
                  .Add("balloonID", query.id)
                  .text());
    Changed("get_weather");
    return {};
}

void CStationSeat::AnswerWeather(const CParser& content) {
    const std::string id = content.find_text("balloonID");
    auto it =
        std::find_if(m_state.balloons.begin(), m_state.balloons.end(),
                     [&](const CSeatBalloon& b) { return b.id == id && b.seat == m_state.seat; });
    if (it == m_state.balloons.end()) {
        Note("weather for an unknown balloon " + id);
        return;
    }
    it->answered = true;
    it->noData = content.find_token("error").has_value();
    const auto value = [&](const char* key) { return ReadNumber(content.find_text(key)); };
    it->temperature = value("temperature");
    it->pressure = value("pressure");
    it->humidity = value("humidity");
    it->windSpeed = value("windspeed");
    it->windDir = value("winddir");
    SeatContent shared("team_weather");
    shared.Add("clock", m_state.minute)
        .Add("balloonID", it->id)
        .Add("balloon", it->balloon ? 1 : 0)
        .Add("lat", Coordinate(it->lat))
        .Add("lng", Coordinate(it->lng));
    if (it->noData) {
        shared.Add("noData", 1);
    } else {
        shared.Add("temperature", Format("%f", it->temperature))
            .Add("pressure", Format("%f", it->pressure))
            .Add("humidity", Format("%f", it->humidity))
            .Add("windspeed", Format("%f", it->windSpeed))
            .Add("winddir", Format("%f", it->windDir));
    }
    if (!m_state.playback) {
        ToTeam(shared.text());
    }
    Changed("weather_data " + id);
}

CSeatResult CStationSeat::Request(const std::string& id, const std::string& incursionId) {
    if (CSeatResult can = CanAct(); !can.ok) {
        return can;
    }
    const CSeatInterceptor* craft = FindInterceptor(id);
    const CSeatIncursion* target = FindIncursion(incursionId);
    if (craft == nullptr) {
        return CSeatResult::Refused("no interceptor " + id);
    }
    if (target == nullptr) {
        return CSeatResult::Refused("no incursion " + incursionId);
    }
    if (craft->owner == m_state.seat) {
        return CSeatResult::Refused(id + " is yours");
    }
    if (craft->owner.empty()) {
        return CSeatResult::Refused("nobody in the team commands " + id);
    }
    if (m_state.requests.size() >= kMaxRecords) {
        return CSeatResult::Refused("too many requests");
    }
    CSeatRequest request;
    request.id = Format("%s-%d", m_state.seat.c_str(), ++m_requestCount);
    request.from = m_state.seat;
    request.to = craft->owner;
    request.interceptor = id;
    request.incursion = incursionId;
    request.minute = m_state.minute;
    m_state.requests.push_back(request);
    const CLatLng there = IncursionAt(*target, m_state.minute);
    ToConsole(SeatContent("request")
                  .Add("resource", "interceptor")
                  .Add("id", id)
                  .Add("lat", Coordinate(there.lat))
                  .Add("lng", Coordinate(there.lng))
                  .Add("gridCol", GridCol(there.lat))
                  .Add("gridRow", GridRow(there.lng))
                  .Add("requestFrom", craft->owner)
                  .text());
    ToTeam(SeatContent("team_request")
               .Add("clock", m_state.minute)
               .Add("requestID", request.id)
               .Add("to", request.to)
               .Add("id", id)
               .Add("incID", incursionId)
               .text());
    Changed("request " + request.id);
    return {};
}

CSeatResult CStationSeat::AnswerRequest(const std::string& requestId, bool accept,
                                        const std::string& why) {
    if (CSeatResult can = CanAct(); !can.ok) {
        return can;
    }
    auto it = std::find_if(m_state.requests.begin(), m_state.requests.end(),
                           [&](const CSeatRequest& r) { return r.id == requestId; });
    if (it == m_state.requests.end() || it->to != m_state.seat) {
        return CSeatResult::Refused("no request " + requestId + " to this seat");
    }
    if (it->state != RequestState::Open) {
        return CSeatResult::Refused("request " + requestId + " was answered already");
    }
    std::string reason = why;
    if (accept) {
        const CSeatInterceptor* craft = FindInterceptor(it->interceptor);
        const CSeatIncursion* target = FindIncursion(it->incursion);
        const std::optional<CMeeting> meeting =
            craft && target ? Meeting(*craft, *target, m_state.minute) : std::nullopt;
        if (!meeting) {
            return CSeatResult::Refused(it->interceptor + " cannot reach " + it->incursion);
        }
        if (!craft->active) {
            if (CSeatResult on = Activate(it->interceptor); !on.ok) {
                return on;
            }
        }
        if (CSeatResult sent =
                Deploy(it->interceptor, meeting->point.lat, meeting->point.lng, it->incursion);
            !sent.ok) {
            return sent;
        }
    }
    // The deploy above may have moved the vector: find the request again.
    it = std::find_if(m_state.requests.begin(), m_state.requests.end(),
                      [&](const CSeatRequest& r) { return r.id == requestId; });
    it->state = accept ? RequestState::Accepted : RequestState::Refused;
    it->reason = reason;
    it->answeredMinute = m_state.minute;
    ToTeam(SeatContent("team_answer")
               .Add("clock", m_state.minute)
               .Add("requestID", requestId)
               .Add("answer", accept ? "accept" : "refuse")
               .Add("reason", reason)
               .text());
    Changed("answer " + requestId);
    return {};
}

CSeatResult CStationSeat::Chat(const std::string& to, const std::string& text) {
    if (CSeatResult can = CanAct(); !can.ok && m_state.phase != SeatPhase::Complete) {
        return can;
    }
    if (m_state.playback) {
        return CSeatResult::Refused("playback: the seat takes no input");
    }
    if (text.empty() || text.size() > kMaxChatBytes) {
        return CSeatResult::Refused(Format("a chat line holds 1 to %zu bytes", kMaxChatBytes));
    }
    // A plain text goes as the list the console reads; one with parentheses, quotes or control
    // bytes as a string holding that list, which the console reads back to the same text.
    SeatContent chat("subject_communication");
    chat.Add("to", to.empty() ? "all" : to);
    const bool plain =
        text.find_first_of("()\"\\#'`,\r\n") == std::string::npos &&
        std::none_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20; });
    if (plain) {
        chat.AddList("message", text);
    } else {
        chat.Add("message", "(" + text + ")");
    }
    chat.Add("from", m_state.seat);
    ToConsole(chat.text());
    ToTeam(SeatContent("team_chat")
               .Add("clock", m_state.minute)
               .Add("to", to.empty() ? "all" : to)
               .Add("message", text)
               .text());
    AddChat(m_state.minute, m_state.seat, to.empty() ? "all" : to, text);
    return {};
}

void CStationSeat::AddChat(int minute, const std::string& from, const std::string& to,
                           std::string text) {
    if (m_state.chat.size() >= kMaxChat) {
        m_state.chat.erase(m_state.chat.begin());
    }
    m_state.chat.push_back({minute, from, to, std::move(text)});
    Changed("chat");
}

CSeatResult CStationSeat::ReportGoNoGo(bool go) {
    if (CSeatResult can = CanAct(); !can.ok) {
        return can;
    }
    const char* status = go ? "go" : "nogo";
    m_state.goNoGo[m_state.seat] = status;
    ToConsole(SeatContent("update_go_nogo_status").Add("status", status).text());
    ToTeam(SeatContent("team_status").Add("clock", m_state.minute).Add("status", status).text());
    Changed(std::string("go/no-go ") + status);
    return {};
}

// ---------------------------------------------------------------------------------------------
// Teammates and replay

void CStationSeat::FromTeammate(const std::string& sender, const std::string& command,
                                const CParser& content) {
    const bool member =
        std::find(m_state.team.begin(), m_state.team.end(), sender) != m_state.team.end();
    if (!member || sender == m_state.seat || m_state.playback) {
        Note("ignored " + command + " from " + sender + ": not a teammate");
        return;
    }
    const std::string clockText = content.find_text("clock");
    if (!IsNumberText(clockText)) {
        Unreadable(command + " from " + sender + " without a clock");
        return;
    }
    const int minute = std::clamp(ReadInt(clockText), 0, kSeatLastMinute + 1);
    const auto key = [&](const char* name) { return content.find_text(name); };
    const auto number = [&](const char* name, double& out) {
        const std::string text = key(name);
        out = ReadNumber(text);
        return IsNumberText(text) && std::isfinite(out);
    };
    // A teammate speaks only for its own interceptors.
    CSeatInterceptor* craft = nullptr;
    if (command == "team_deploy" || command == "team_intercept" || command == "team_abort" ||
        command == "team_unit") {
        craft = Interceptor(key("id"));
        if (craft == nullptr || craft->owner != sender) {
            Note("refused " + command + " from " + sender + ": " + key("id") + " is not theirs");
            return;
        }
    }
    if (command == "team_contact") {
        const std::string radar = key("radarID");
        const bool known =
            FindIncursion(key("incID")) != nullptr &&
            std::any_of(m_state.radars.begin(), m_state.radars.end(),
                        [&](const CSeatRadar& r) { return r.id == radar && r.owner == sender; });
        if (!known) {
            Note("refused team_contact from " + sender + ": " + radar + " is not theirs");
            return;
        }
        if (key("state") == "enter") {
            AddContact({key("incID"), radar, sender, minute});
        } else {
            RemoveContact(key("incID"), radar);
        }
    } else if (command == "team_deploy") {
        double fromLat = 0, fromLng = 0, lat = 0, lng = 0;
        if (!number("initLat", fromLat) || !number("initLng", fromLng) || !number("destLat", lat) ||
            !number("destLng", lng)) {
            Unreadable("team_deploy from " + sender + " with a point that is not a number");
            return;
        }
        // The leg as the owner sent it, so that every seat moves the unit alike.
        craft->active = true;
        craft->fromLat = fromLat;
        craft->fromLng = fromLng;
        craft->fromMinute = minute;
        craft->destLat = lat;
        craft->destLng = lng;
        craft->target = key("incID");
        craft->stamp = minute;
        const CLatLng at = InterceptorAt(*craft, m_state.minute);
        craft->lat = at.lat;
        craft->lng = at.lng;
        craft->moving = Moving(*craft, m_state.minute);
    } else if (command == "team_intercept") {
        CSeatIncursion* target = Incursion(key("incID"));
        if (target == nullptr) {
            Note("refused team_intercept from " + sender + ": no incursion " + key("incID"));
            return;
        }
        Stop(*craft, minute);
        craft->target.clear();
        if (!target->intercepted) {
            MarkIntercepted(*target, craft->id, minute);
        }
    } else if (command == "team_abort" || command == "team_unit") {
        if (command == "team_abort" || key("active") == "0") {
            Stop(*craft, minute);
            craft->target.clear();
        }
        if (command == "team_unit") {
            craft->active = key("active") != "0";
        }
    } else if (command == "team_request") {
        const CSeatInterceptor* asked = FindInterceptor(key("id"));
        if (asked == nullptr || FindIncursion(key("incID")) == nullptr ||
            m_state.requests.size() >= kMaxRecords) {
            Note("refused team_request from " + sender);
            return;
        }
        CSeatRequest request;
        request.id = key("requestID");
        request.from = sender;
        request.to = asked->owner;
        request.interceptor = asked->id;
        request.incursion = key("incID");
        request.minute = minute;
        m_state.requests.push_back(request);
    } else if (command == "team_answer") {
        for (CSeatRequest& request : m_state.requests) {
            if (request.id == key("requestID") && request.to == sender &&
                request.state == RequestState::Open) {
                request.state =
                    key("answer") == "accept" ? RequestState::Accepted : RequestState::Refused;
                request.reason = key("reason");
                request.answeredMinute = minute;
            }
        }
    } else if (command == "team_weather") {
        if (m_state.balloons.size() >= kMaxRecords) {
            return;
        }
        CSeatBalloon balloon;
        balloon.id = key("balloonID");
        balloon.seat = sender;
        balloon.balloon = key("balloon") != "0";
        balloon.minute = minute;
        balloon.answered = true;
        balloon.noData = content.find_token("noData").has_value();
        number("lat", balloon.lat);
        number("lng", balloon.lng);
        number("temperature", balloon.temperature);
        number("pressure", balloon.pressure);
        number("humidity", balloon.humidity);
        number("windspeed", balloon.windSpeed);
        number("winddir", balloon.windDir);
        m_state.balloons.push_back(balloon);
    } else if (command == "team_chat") {
        AddChat(minute, sender, key("to"), key("message").substr(0, kMaxChatBytes));
        return;
    } else if (command == "team_status") {
        m_state.goNoGo[sender] = key("status") == "go" ? "go" : "nogo";
    } else {
        Note("ignored " + command + " from " + sender);
        return;
    }
    Changed(command + " from " + sender);
}

void CStationSeat::Replayed(const std::string& sender, const std::string& command,
                            const CParser& content) {
    const auto key = [&](const char* name) { return content.find_text(name); };
    const int minute = m_state.minute;
    CSeatInterceptor* craft = Interceptor(key("id"));
    if (command == "activate" || command == "deactivate" || command == "abort" ||
        command == "deploy" || command == "intercept") {
        if (craft == nullptr) {
            Note("replayed " + command + " names no interceptor: " + key("id"));
            return;
        }
    }
    if (command == "activate") {
        craft->active = true;
    } else if (command == "deactivate" || command == "abort") {
        Stop(*craft, minute);
        craft->active = command == "abort";
    } else if (command == "deploy") {
        const std::string lat = key("destLat");
        const std::string lng = key("destLng");
        if (!IsNumberText(lat) || !IsNumberText(lng)) {
            Unreadable("replayed deploy with a point that is not a number");
            return;
        }
        craft->active = true;
        StartLeg(*craft, ReadNumber(lat), ReadNumber(lng), minute);
    } else if (command == "intercept") {
        Stop(*craft, minute);
        if (CSeatIncursion* target = Incursion(key("incID")); target && !target->intercepted) {
            MarkIntercepted(*target, craft->id, minute);
        }
        UpdateContacts(false);
    } else if (command == "subject_communication") {
        AddChat(minute, sender, key("to"),
                CUtils::remove_parenthesis(key("message")).substr(0, kMaxChatBytes));
        return;
    } else if (command == "update_go_nogo_status") {
        m_state.goNoGo[sender] = key("status") == "go" ? "go" : "nogo";
    } else if (command == "playback_deploy_balloon") {
        if (m_state.balloons.size() < kMaxRecords) {
            CSeatBalloon balloon;
            balloon.id = Format("%s-B%d", sender.c_str(), ++m_balloonCount);
            balloon.seat = sender;
            balloon.lat = ReadNumber(key("lat"));
            balloon.lng = ReadNumber(key("lng"));
            balloon.minute = minute;
            m_state.balloons.push_back(balloon);
        }
    } else {
        Note("ignored replayed " + command + " from " + sender);
        return;
    }
    Changed("replayed " + command + " from " + sender);
}

// ---------------------------------------------------------------------------------------------
// Reports

void CStationSeat::SendUnitDisplays() {
    // What the seat's display shows from the start: its own interceptors, and the radars whose
    // contacts it sees (its own, or the whole team's). The log keeps the choice this way.
    for (const CSeatRadar& radar : m_state.radars) {
        if (radar.owner == m_state.seat ||
            (m_state.picture == TeamPicture::Team && !radar.owner.empty())) {
            ToConsole(SeatContent("log_unit_display")
                          .Add("name", radar.name)
                          .Add("unitType", "Radar")
                          .Add("id", radar.id)
                          .Add("lat", Coordinate(radar.lat))
                          .Add("lng", Coordinate(radar.lng))
                          .Add("range", Coordinate(radar.range))
                          .text());
        }
    }
    for (const CSeatInterceptor& craft : m_state.interceptors) {
        if (craft.owner == m_state.seat) {
            ToConsole(SeatContent("log_unit_display")
                          .Add("name", craft.name)
                          .Add("unitType", "Interceptor")
                          .Add("id", craft.id)
                          .Add("lat", Coordinate(craft.lat))
                          .Add("lng", Coordinate(craft.lng))
                          .Add("speed", Coordinate(craft.speed))
                          .text());
        }
    }
}

// What a seat's resources cost, for the mission statistics.
constexpr long long kBalloonCost = 100;
constexpr long long kRadarCostPerMinute = 2;
constexpr long long kActivationCost = 500;
constexpr long long kInterceptorCostPerMinute = 10;

std::string CStationSeat::MissionStats() const {
    long long radarCost = 0;
    int radars = 0;
    std::string radarStats;
    for (const CSeatRadar& radar : m_state.radars) {
        if (radar.owner != m_state.seat) {
            continue;
        }
        const long long cost = kRadarCostPerMinute * m_state.minute;
        radarCost += cost;
        radarStats += Format(" :radar%d (", radars++) +
                      SeatContent()
                          .Add("id", radar.id)
                          .Add("name", radar.name)
                          .Add("activationCt", 1)
                          .Add("totalActiveTime", m_state.minute)
                          .Add("cost", cost)
                          .text() +
                      ")";
    }
    long long intCost = 0;
    int crafts = 0;
    std::string intStats;
    for (const CSeatInterceptor& craft : m_state.interceptors) {
        if (craft.owner != m_state.seat) {
            continue;
        }
        const long long cost =
            kActivationCost * craft.activations + kInterceptorCostPerMinute * craft.activeMinutes;
        intCost += cost;
        intStats += Format(" :int%d (", crafts++) +
                    SeatContent()
                        .Add("id", craft.id)
                        .Add("name", craft.name)
                        .Add("activationCt", craft.activations)
                        .Add("deployCt", craft.deploys)
                        .Add("intCt", craft.intercepts)
                        .Add("totalActiveTime", craft.activeMinutes)
                        .Add("totalTaskTime", craft.taskMinutes)
                        .Add("cost", cost)
                        .text() +
                    ")";
    }
    int balloons = 0;
    std::string balloonStats;
    for (const CSeatBalloon& balloon : m_state.balloons) {
        if (balloon.seat != m_state.seat || !balloon.balloon) {
            continue;
        }
        balloonStats += Format(" :balloon%d (", balloons++) +
                        SeatContent()
                            .Add("deployTime", balloon.minute)
                            .Add("reportTime", balloon.minute)
                            .Add("deployLat", Coordinate(balloon.lat))
                            .Add("deployLng", Coordinate(balloon.lng))
                            .Add("cost", kBalloonCost)
                            .text() +
                        ")";
    }
    const long long balloonCost = kBalloonCost * balloons;
    return SeatContent("mission_stats")
        .Add("totalCost", balloonCost + intCost + radarCost)
        .Add("balloonCost", balloonCost)
        .Add("intCost", intCost)
        .Add("radarCost", radarCost)
        .AddList("radarStats", Format("tell :count %d", radars) + radarStats)
        .AddList("intStats", Format("tell :count %d", crafts) + intStats)
        .AddList("balloonStats", Format("tell :count %d", balloons) + balloonStats)
        .text();
}

// ---------------------------------------------------------------------------------------------
// Output and bookkeeping

void CStationSeat::ToConsole(const std::string& content) {
    if (!m_state.console.empty()) {
        m_outbox.push_back({m_state.console, "tell", content});
    }
}

void CStationSeat::ToTeam(const std::string& content) {
    for (const std::string& member : m_state.team) {
        if (member != m_state.seat) {
            m_outbox.push_back({member, "tell", content});
        }
    }
}

std::vector<COutgoing> CStationSeat::TakeOutbox() {
    std::vector<COutgoing> out;
    out.swap(m_outbox);
    return out;
}

void CStationSeat::Note(const std::string& text) {
    if (m_state.notes.size() >= kMaxNotes) {
        m_state.notes.erase(m_state.notes.begin());
    }
    // A hostile text must not make the notes grow without bound either.
    m_state.notes.push_back(text.substr(0, 300));
    Changed("note");
}

void CStationSeat::Unreadable(const std::string& text) {
    ++m_state.unreadable;
    Note(text);
}

void CStationSeat::Changed(const std::string& what) {
    ++m_state.revision;
    if (m_observer) {
        m_observer(m_state.revision, what);
    }
}

} // namespace halyx
