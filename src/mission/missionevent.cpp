#include "mission/missionevent.h"

#include "common/numtext.h"
#include "external/kqml/parser.h"
#include "external/kqml/utils.h"
#include "mission/missionstate.h"
#include "record/logreader.h"
#include "record/simeventstore.h"

#include <pugixml.hpp>

#include <cmath>
#include <cstring>
#include <utility>

namespace halyx {

namespace {

struct NamedKind {
    const char* name;
    MissionEventKind kind;
};

// The log's event names.
constexpr NamedKind kLogNames[] = {
    {"IncEnterRadar", MissionEventKind::IncEnterRadar},
    {"IncExitRadar", MissionEventKind::IncExitRadar},
    {"UpdateInc", MissionEventKind::UpdateInc},
    {"ResourceActivate", MissionEventKind::ResourceActivate},
    {"ResourceDeActivate", MissionEventKind::ResourceDeactivate},
    {"DeployResource", MissionEventKind::DeployResource},
    {"InterceptInc", MissionEventKind::InterceptInc},
    {"Abort", MissionEventKind::Abort},
    {"DeployBalloon", MissionEventKind::DeployBalloon},
    {"WeatherQuery", MissionEventKind::WeatherQuery},
    {"ResourceRequest", MissionEventKind::ResourceRequest},
    {"LaunchStatusChange", MissionEventKind::GoNoGo},
    {"ChatMsg", MissionEventKind::Chat},
    {"PauseSim", MissionEventKind::Pause},
    {"ResumeSim", MissionEventKind::Resume},
    {"SimulationComplete", MissionEventKind::Decision},
    {"ProbeStart", MissionEventKind::ProbeStart},
    {"ProbeEnd", MissionEventKind::ProbeEnd},
};

// A clock count as the store reads it: whole, clamped; absent when the text has no digits.
std::optional<int> ClockOf(std::string_view text) {
    if (text.find_first_of("0123456789") == std::string_view::npos) {
        return std::nullopt;
    }
    return ReadInt(text);
}

int64_t ReadTsid(std::string_view text) {
    int64_t value = 0;
    bool negative = false;
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i++] == '-';
    }
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value > (INT64_MAX - (text[i] - '0')) / 10) {
            value = INT64_MAX;
            break;
        }
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

bool SameNumber(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

} // namespace

double MissionNumber(std::string_view text) {
    if (!IsNumberText(text)) {
        return kNoMissionNumber;
    }
    const double value = ReadNumber(text);
    return std::isfinite(value) ? value : kNoMissionNumber;
}

bool CMissionEvent::operator==(const CMissionEvent& o) const {
    return kind == o.kind && pointsFromState == o.pointsFromState && minute == o.minute &&
           tsid == o.tsid && station == o.station && resType == o.resType && resId == o.resId &&
           incId == o.incId && text == o.text && SameNumber(lat, o.lat) && SameNumber(lng, o.lng) &&
           SameNumber(lat2, o.lat2) && SameNumber(lng2, o.lng2) && SameNumber(heading, o.heading);
}

std::optional<CMissionEvent> CLogEventAdapter::Convert(const CLogEventView& ev) {
    CMissionEvent e;
    if (!Convert(ev, e)) {
        return std::nullopt;
    }
    return e;
}

bool CLogEventAdapter::Convert(const CLogEventView& ev, CMissionEvent& e) {
    const NamedKind* found = nullptr;
    for (const NamedKind& named : kLogNames) {
        if (ev.name == named.name) {
            found = &named;
            break;
        }
    }
    const std::optional<int> clock = ClockOf(ev.Attribute("ClockTime"));
    if (clock) {
        m_lastMinute = *clock;
    }
    if (found == nullptr) {
        return false;
    }
    // Every field is set, so that a record reused for the next event keeps nothing of it.
    e.resType.clear();
    e.resId.clear();
    e.incId.clear();
    e.text.clear();
    e.pointsFromState = false;
    e.lat = e.lng = e.lat2 = e.lng2 = e.heading = kNoMissionNumber;
    e.kind = found->kind;
    // The decision carries no clock: it is taken when the clock reaches the close of the window,
    // whatever minute the last command before it had.
    e.minute =
        e.kind == MissionEventKind::Decision ? kMissionLastMinute : clock.value_or(m_lastMinute);
    e.tsid = ReadTsid(ev.Attribute("TSID"));
    e.station = ev.Attribute("From");
    auto set = [&](std::string& field, const char* key) { field = ev.Attribute(key); };
    auto number = [&](double& field, const char* key) { field = MissionNumber(ev.Attribute(key)); };
    switch (e.kind) {
    case MissionEventKind::IncEnterRadar:
    case MissionEventKind::IncExitRadar:
        set(e.incId, "IncID");
        set(e.resId, "RadarID");
        break;
    case MissionEventKind::UpdateInc:
        set(e.incId, "IncID");
        number(e.heading, "Heading");
        number(e.lat, "Lat");
        number(e.lng, "Lng");
        break;
    case MissionEventKind::ResourceActivate:
    case MissionEventKind::ResourceDeactivate:
    case MissionEventKind::Abort:
        set(e.resType, "ResType");
        set(e.resId, "ResID");
        number(e.lat, "Lat");
        number(e.lng, "Lng");
        break;
    case MissionEventKind::DeployResource:
        set(e.resType, "ResType");
        set(e.resId, "ResID");
        number(e.lat, "DestLat");
        number(e.lng, "DestLng");
        number(e.lat2, "InitLat");
        number(e.lng2, "InitLng");
        break;
    case MissionEventKind::InterceptInc:
        set(e.resType, "ResType");
        set(e.resId, "IntID");
        number(e.lat, "IntLat");
        number(e.lng, "IntLng");
        set(e.incId, "IncID");
        number(e.lat2, "IncLat");
        number(e.lng2, "IncLng");
        break;
    case MissionEventKind::DeployBalloon:
        number(e.lat, "DestLat");
        number(e.lng, "DestLng");
        break;
    case MissionEventKind::WeatherQuery:
        number(e.lat, "Lat");
        number(e.lng, "Lng");
        break;
    case MissionEventKind::ResourceRequest:
        set(e.text, "RequestFrom");
        set(e.resType, "ResType");
        set(e.resId, "ResID");
        number(e.lat, "Lat");
        number(e.lng, "Lng");
        break;
    case MissionEventKind::GoNoGo:
        set(e.text, "Status");
        break;
    case MissionEventKind::Chat:
        e.text = ev.text;
        break;
    case MissionEventKind::Decision:
        set(e.text, "LaunchStatus");
        break;
    case MissionEventKind::ProbeStart:
        set(e.text, "Probe");
        set(e.resType, "Kind");
        break;
    case MissionEventKind::ProbeEnd:
        set(e.text, "Probe");
        break;
    case MissionEventKind::Pause:
    case MissionEventKind::Resume:
        break;
    }
    return true;
}

std::optional<CMissionEvent> CLogEventAdapter::ConvertLine(std::string_view line) {
    pugi::xml_document doc;
    if (!doc.load_buffer(line.data(), line.size(), pugi::parse_default, pugi::encoding_utf8)) {
        return std::nullopt;
    }
    const pugi::xml_node node = doc.child("Event");
    if (!node) {
        return std::nullopt;
    }
    CLogEventView view;
    for (const pugi::xml_attribute& a : node.attributes()) {
        view.attributes.emplace_back(a.name(), a.value());
        if (std::strcmp(a.name(), "Name") == 0) {
            view.name = a.value();
        }
    }
    // As the reader hands it on: without the line breaks the writer puts around it.
    std::string_view text = node.first_child().value();
    if (!text.empty() && text.front() == '\n') {
        text.remove_prefix(1);
    }
    if (!text.empty() && text.back() == '\n') {
        text.remove_suffix(1);
    }
    view.text = text;
    if (view.name.empty()) {
        return std::nullopt;
    }
    return Convert(view);
}

bool ReplayKeeps(MissionEventKind kind) {
    switch (kind) {
    case MissionEventKind::ResourceActivate:
    case MissionEventKind::ResourceDeactivate:
    case MissionEventKind::Abort:
    case MissionEventKind::InterceptInc:
    case MissionEventKind::DeployResource:
    case MissionEventKind::Chat:
    case MissionEventKind::GoNoGo:
    case MissionEventKind::DeployBalloon:
        return true;
    default:
        return false;
    }
}

std::optional<CMissionEvent> MissionEventFromRecord(const CSimEvent& record) {
    CParser content;
    if (!content.parse_list("(" + record.content + ")")) {
        return std::nullopt;
    }
    const std::string command = content.find_text("command");
    CMissionEvent e;
    e.minute = record.clockTime;
    e.tsid = record.tsid;
    e.station = record.sender;
    if (command == "activate" || command == "deactivate" || command == "abort") {
        e.kind = command == "activate"     ? MissionEventKind::ResourceActivate
                 : command == "deactivate" ? MissionEventKind::ResourceDeactivate
                                           : MissionEventKind::Abort;
        e.resType = content.find_text("resource");
        e.resId = content.find_text("id");
        e.pointsFromState = true;
    } else if (command == "intercept") {
        e.kind = MissionEventKind::InterceptInc;
        e.resType = content.find_text("resource");
        e.resId = content.find_text("id");
        e.incId = content.find_text("incID");
        e.pointsFromState = true;
    } else if (command == "deploy") {
        e.kind = MissionEventKind::DeployResource;
        e.resType = content.find_text("resource");
        e.resId = content.find_text("id");
        e.lat = MissionNumber(content.find_text("destLat"));
        e.lng = MissionNumber(content.find_text("destLng"));
        e.pointsFromState = true;
    } else if (command == "subject_communication") {
        e.kind = MissionEventKind::Chat;
        e.text = CUtils::remove_parenthesis(content.find_text("message"));
    } else if (command == "update_go_nogo_status") {
        e.kind = MissionEventKind::GoNoGo;
        e.text = content.find_text("status");
    } else if (command == "playback_deploy_balloon") {
        // Sent back to the station that launched it.
        e.kind = MissionEventKind::DeployBalloon;
        e.station = record.receiver;
        e.lat = MissionNumber(content.find_text("lat"));
        e.lng = MissionNumber(content.find_text("lng"));
    } else {
        return std::nullopt;
    }
    return e;
}

std::vector<CMissionEvent> MissionEventsFromStore(const CSimEventStore& store) {
    std::vector<CMissionEvent> events;
    events.reserve(store.Count());
    for (size_t i = 0; i < store.Count(); ++i) {
        if (auto e = MissionEventFromRecord(store.At(i))) {
            events.push_back(std::move(*e));
        }
    }
    return events;
}

bool MissionEventsFromLog(const std::string& path, std::vector<CMissionEvent>& events,
                          std::vector<std::string>& team, std::string& error) {
    CLogReader reader;
    LogLoadResult r = reader.Open(path);
    if (r) {
        CLogEventAdapter adapter;
        r = reader.ForEachEvent([&](const CLogEventView& view) {
            if (auto e = adapter.Convert(view)) {
                events.push_back(std::move(*e));
            }
        });
    }
    if (!r) {
        error = r.detail.empty() ? r.message : r.detail;
        return false;
    }
    team = reader.Info().team;
    return true;
}

} // namespace halyx
