#include "seatjson.h"

#include <algorithm>
#include <cmath>

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

QJsonArray SeatProbesJson(const std::vector<CProbe>& open,
                          const std::function<int(const CProbe&)>& secondsLeft) {
    QJsonArray out;
    for (const CProbe& p : open) {
        QJsonArray questions;
        for (const CProbeQuestion& q : p.questions) {
            QJsonObject o{
                {"id", Q(q.id)}, {"text", Q(q.text)}, {"answer", AnswerKindName(q.answer)}};
            if (!q.choices.empty()) {
                QJsonArray choices;
                for (const std::string& choice : q.choices) {
                    choices.append(Q(choice));
                }
                o.insert("choices", choices);
            }
            if (q.answer == AnswerKind::Number && q.high > q.low) {
                o.insert("low", q.low);
                o.insert("high", q.high);
                o.insert("step", q.step);
            }
            questions.append(o);
        }
        out.append(QJsonObject{{"id", Q(p.id)},
                               {"kind", ProbeKindName(p.kind)},
                               {"minute", p.minute},
                               {"seconds", p.seconds},
                               {"left", secondsLeft(p)},
                               {"questions", questions}});
    }
    return out;
}

CSeatResult ReadProbeAction(const std::vector<CProbe>& open, const QJsonObject& action,
                            std::string& probeId, CProbeAnswers& answers) {
    probeId = Text(action, "probe");
    const auto probe =
        std::find_if(open.begin(), open.end(), [&](const CProbe& p) { return p.id == probeId; });
    if (probe == open.end()) {
        return CSeatResult::Refused("no open probe " + probeId.substr(0, 64) +
                                    " (its time may be up)");
    }
    const QJsonValue given = action.value(QLatin1String("answers"));
    if (!given.isObject()) {
        return CSeatResult::Refused("the answers to probe " + probeId + " are missing");
    }
    const QJsonObject values = given.toObject();
    for (auto it = values.begin(); it != values.end(); ++it) {
        const std::string id = it.key().toStdString();
        const auto q = std::find_if(probe->questions.begin(), probe->questions.end(),
                                    [&](const CProbeQuestion& x) { return x.id == id; });
        if (q == probe->questions.end()) {
            return CSeatResult::Refused("probe " + probeId + " has no question " +
                                        id.substr(0, 64));
        }
        if (!it.value().isString() && !it.value().isDouble()) {
            return CSeatResult::Refused("the answer to " + id + " is not a text or a number");
        }
    }
    answers.clear();
    for (const CProbeQuestion& q : probe->questions) {
        const QJsonValue v = values.value(QString::fromStdString(q.id));
        // QString::number writes a '.', whatever the locale.
        const QString text =
            v.isDouble() ? QString::number(v.toDouble(), 'g', 12) : v.toString().trimmed();
        const std::string value = text.toStdString();
        if (value.size() > kMaxProbeTextBytes) {
            return CSeatResult::Refused("the answer to " + q.id + " is longer than " +
                                        std::to_string(kMaxProbeTextBytes) + " bytes");
        }
        if (!value.empty() && q.answer == AnswerKind::Choice &&
            std::find(q.choices.begin(), q.choices.end(), value) == q.choices.end()) {
            return CSeatResult::Refused("the answer to " + q.id + " is not one of its choices");
        }
        if (!value.empty() && q.answer == AnswerKind::Number) {
            bool number = false;
            const double x = text.toDouble(&number);
            if (!number || !std::isfinite(x)) {
                return CSeatResult::Refused("the answer to " + q.id + " is not a number");
            }
            if (q.high > q.low && (x < q.low || x > q.high)) {
                return CSeatResult::Refused("the answer to " + q.id + " is off its scale");
            }
        }
        answers.emplace_back(q.id, value);
    }
    return {};
}

} // namespace halyx
