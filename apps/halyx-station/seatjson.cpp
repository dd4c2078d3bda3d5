#include "seatjson.h"

#include <QJsonArray>

namespace halyx {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QJsonArray Line(const CLatLngList& points) {
    QJsonArray out;
    for (const CLatLng& p : points) {
        out.append(QJsonArray{p.lat, p.lng});
    }
    return out;
}

const char* PhaseName(const CSeatState& s) {
    if (s.playback || s.phase == SeatPhase::Playback) {
        return "replay";
    }
    switch (s.phase) {
    case SeatPhase::Idle:
        return "waiting";
    case SeatPhase::Initialized:
        return "initialized";
    case SeatPhase::Running:
        return "running";
    case SeatPhase::Complete:
        return "complete";
    case SeatPhase::Playback:
        break;
    }
    return "replay";
}

const char* RequestName(RequestState state) {
    switch (state) {
    case RequestState::Open:
        return "open";
    case RequestState::Accepted:
        return "accepted";
    case RequestState::Refused:
        return "refused";
    }
    return "open";
}

QJsonArray Interceptors(const CSeatState& s) {
    QJsonArray out;
    for (const CSeatInterceptor& i : s.interceptors) {
        out.append(QJsonObject{{"id", Q(i.id)},
                               {"name", Q(i.name)},
                               {"owner", Q(i.owner)},
                               {"lat", i.lat},
                               {"lng", i.lng},
                               {"homeLat", i.homeLat},
                               {"homeLng", i.homeLng},
                               {"range", i.range},
                               {"speed", i.speed},
                               {"active", i.active},
                               {"moving", i.moving},
                               {"destLat", i.destLat},
                               {"destLng", i.destLng},
                               {"target", Q(i.target)}});
    }
    return out;
}

QJsonArray Incursions(const CStationSeat& seat) {
    const CSeatState& s = seat.State();
    QJsonArray out;
    for (const CSeatIncursion& n : s.incursions) {
        if (!n.intercepted && !seat.Sees(n.id)) {
            continue;
        }
        // The track as far as the seat's picture holds it: from the first contact to now.
        int since = s.minute;
        for (const CSeatContact& c : s.contacts) {
            if (c.incursion == n.id) {
                since = std::min(since, c.since);
            }
        }
        const CLatLng from = CStationSeat::IncursionAt(n, since);
        out.append(QJsonObject{{"id", Q(n.id)},
                               {"name", Q(n.name)},
                               {"lat", n.lat},
                               {"lng", n.lng},
                               {"fromLat", from.lat},
                               {"fromLng", from.lng},
                               {"intercepted", n.intercepted},
                               {"by", Q(n.interceptedBy)}});
    }
    return out;
}

QJsonArray Radars(const CSeatState& s) {
    QJsonArray out;
    for (const CSeatRadar& r : s.radars) {
        out.append(QJsonObject{{"id", Q(r.id)},
                               {"name", Q(r.name)},
                               {"owner", Q(r.owner)},
                               {"lat", r.lat},
                               {"lng", r.lng},
                               {"range", r.range}});
    }
    return out;
}

QJsonArray Balloons(const CSeatState& s) {
    QJsonArray out;
    for (const CSeatBalloon& b : s.balloons) {
        QJsonObject o{{"id", Q(b.id)},          {"seat", Q(b.seat)}, {"balloon", b.balloon},
                      {"lat", b.lat},           {"lng", b.lng},      {"minute", b.minute},
                      {"answered", b.answered}, {"noData", b.noData}};
        if (b.answered && !b.noData) {
            o.insert("temperature", b.temperature);
            o.insert("pressure", b.pressure);
            o.insert("humidity", b.humidity);
            o.insert("windSpeed", b.windSpeed);
            o.insert("windDir", b.windDir);
        }
        out.append(o);
    }
    return out;
}

QJsonArray Requests(const CSeatState& s) {
    QJsonArray out;
    for (const CSeatRequest& r : s.requests) {
        out.append(QJsonObject{{"id", Q(r.id)},
                               {"from", Q(r.from)},
                               {"to", Q(r.to)},
                               {"unit", Q(r.interceptor)},
                               {"target", Q(r.incursion)},
                               {"minute", r.minute},
                               {"state", RequestName(r.state)},
                               {"reason", Q(r.reason)}});
    }
    return out;
}

QJsonArray Chat(const CSeatState& s) {
    QJsonArray out;
    for (const CSeatChat& c : s.chat) {
        out.append(QJsonObject{
            {"minute", c.minute}, {"from", Q(c.from)}, {"to", Q(c.to)}, {"text", Q(c.text)}});
    }
    return out;
}

std::string Text(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toString().toStdString();
}

bool Number(const QJsonObject& o, const char* key, double& value) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble()) {
        return false;
    }
    value = v.toDouble();
    return true;
}

} // namespace

QJsonObject SeatStateJson(const CStationSeat& seat) {
    const CSeatState& s = seat.State();
    QJsonArray team;
    for (const std::string& member : s.team) {
        team.append(Q(member));
    }
    QJsonObject go;
    for (const auto& [station, status] : s.goNoGo) {
        go.insert(Q(station), Q(status));
    }
    QJsonObject out{{"rev", static_cast<qint64>(s.revision)},
                    {"seat", Q(s.seat)},
                    {"team", team},
                    {"phase", PhaseName(s)},
                    {"minute", s.minute},
                    {"lastMinute", kSeatLastMinute},
                    {"radars", Radars(s)},
                    {"interceptors", Interceptors(s)},
                    {"incursions", Incursions(seat)},
                    {"north", Line(s.northLine)},
                    {"south", Line(s.southLine)},
                    {"trajectory", Line(s.trajectory)},
                    {"balloons", Balloons(s)},
                    {"requests", Requests(s)},
                    {"chat", Chat(s)},
                    {"goNoGo", go},
                    {"mission", Q(s.missionText)},
                    {"mapError", Q(s.mapError)}};
    if (s.hasLocation) {
        out.insert("location", QJsonArray{s.location.lat, s.location.lng});
    }
    if (!s.notes.empty()) {
        out.insert("note", Q(s.notes.back()));
    }
    return out;
}

CSeatResult SeatAction(CStationSeat& seat, const QJsonObject& action) {
    const std::string kind = Text(action, "kind");
    const std::string unit = Text(action, "unit");
    const std::string target = Text(action, "target");
    double lat = 0.0;
    double lng = 0.0;
    const bool point = Number(action, "lat", lat) && Number(action, "lng", lng);
    if (kind == "activate") {
        return seat.Activate(unit);
    }
    if (kind == "deactivate") {
        return seat.Deactivate(unit);
    }
    if (kind == "abort") {
        return seat.Abort(unit);
    }
    if (kind == "intercept") {
        return seat.Intercept(unit, target);
    }
    if (kind == "request") {
        return seat.Request(unit, target);
    }
    if (kind == "answer") {
        return seat.AnswerRequest(Text(action, "request"),
                                  action.value(QLatin1String("accept")).toBool(),
                                  Text(action, "why"));
    }
    if (kind == "chat") {
        return seat.Chat(Text(action, "to"), Text(action, "text"));
    }
    if (kind == "gonogo") {
        return seat.ReportGoNoGo(action.value(QLatin1String("go")).toBool());
    }
    if (kind == "deploy" || kind == "balloon" || kind == "weather") {
        if (!point) {
            return CSeatResult::Refused("the action needs a point");
        }
        if (kind == "deploy") {
            return seat.Deploy(unit, lat, lng, target);
        }
        return kind == "balloon" ? seat.DeployBalloon(lat, lng) : seat.AskWeather(lat, lng);
    }
    return CSeatResult::Refused("unknown action");
}

} // namespace halyx
