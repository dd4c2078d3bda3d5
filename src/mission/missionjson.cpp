#include "mission/missionjson.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace halyx {

namespace {

// Length of the valid UTF-8 sequence at text[i], 0 when there is none.
size_t Utf8Length(std::string_view text, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = b(i);
    size_t n = 0;
    unsigned min = 0;
    unsigned cp = 0;
    if (c < 0x80) {
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        n = 2, min = 0x80, cp = c & 0x1Fu;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3, min = 0x800, cp = c & 0x0Fu;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4, min = 0x10000, cp = c & 0x07u;
    } else {
        return 0;
    }
    if (i + n > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b(i + k) & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return n;
}

void Key(std::string& out, const char* key) {
    out += '"';
    out += key;
    out += "\":";
}

void AppendPoint(std::string& out, const MissionPoint& p) {
    out += '[';
    AppendJsonNumber(out, p.lat);
    out += ',';
    AppendJsonNumber(out, p.lng);
    out += ']';
}

void AppendInt(std::string& out, long long value) {
    out += std::to_string(value);
}

} // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else if (u >= 0x80) {
            const size_t n = Utf8Length(text, i);
            if (n == 0) {
                out += "\\ufffd";
                ++i;
            } else {
                out.append(text.substr(i, n));
                i += n;
            }
            continue;
        } else if (c == '<') {
            // Safe inside a script element too.
            out += "\\u003c";
        } else {
            out += c;
        }
        ++i;
    }
    out += '"';
}

void AppendJsonNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, ec == std::errc() ? end : buf);
}

std::string MissionStateJson(const CMissionState& state, std::span<const CMissionMark> marks,
                             const MissionJsonOptions& options) {
    std::string out;
    out.reserve(4096);
    out += '{';
    Key(out, "minute");
    AppendInt(out, state.minute);
    out += ',';
    Key(out, "paused");
    out += state.paused ? "true" : "false";
    out += ',';
    Key(out, "decision");
    AppendJsonString(out, state.decision);

    out += ',';
    Key(out, "stations");
    out += '[';
    for (size_t i = 0; i < state.stations.size(); ++i) {
        const MissionStation& s = state.stations[i];
        out += i ? ",{" : "{";
        Key(out, "name");
        AppendJsonString(out, s.name);
        out += ',';
        Key(out, "goNoGo");
        AppendJsonString(out, s.goNoGo);
        out += '}';
    }
    out += ']';

    out += ',';
    Key(out, "incursions");
    out += '[';
    bool first = true;
    for (const MissionTrack& t : state.tracks) {
        if (!state.IncursionVisible(t)) {
            continue;
        }
        out += first ? "{" : ",{";
        first = false;
        Key(out, "id");
        AppendJsonString(out, t.id);
        out += ',';
        Key(out, "at");
        AppendPoint(out, t.PositionAt(state.minute));
        out += ',';
        Key(out, "heading");
        AppendJsonNumber(out, t.heading);
        out += ',';
        Key(out, "updatedAt");
        AppendInt(out, t.updatedAt);
        out += '}';
    }
    out += ']';

    out += ',';
    Key(out, "resources");
    out += '[';
    first = true;
    for (const auto& [id, r] : state.resources) {
        out += first ? "{" : ",{";
        first = false;
        Key(out, "id");
        AppendJsonString(out, id);
        out += ',';
        Key(out, "type");
        AppendJsonString(out, r.type);
        out += ',';
        Key(out, "state");
        AppendJsonString(out, ResourceActivityName(r.activity));
        out += ',';
        Key(out, "station");
        AppendInt(out, r.station);
        out += ',';
        Key(out, "at");
        if (r.placed) {
            AppendPoint(out, r.point);
        } else {
            out += "null";
        }
        if (r.hasFrom) {
            out += ',';
            Key(out, "from");
            AppendPoint(out, r.from);
        }
        if (!r.target.empty()) {
            out += ',';
            Key(out, "target");
            AppendJsonString(out, r.target);
        }
        out += '}';
    }
    out += ']';

    out += ',';
    Key(out, "contacts");
    out += '[';
    for (size_t i = 0; i < state.contacts.size(); ++i) {
        out += i ? ",{" : "{";
        Key(out, "inc");
        AppendJsonString(out, state.contacts[i].incId);
        out += ',';
        Key(out, "radar");
        AppendJsonString(out, state.contacts[i].radarId);
        out += ',';
        Key(out, "since");
        AppendInt(out, state.contacts[i].since);
        out += '}';
    }
    out += ']';

    out += ',';
    Key(out, "marks");
    out += '[';
    first = true;
    const int oldest = state.minute - options.trailMinutes;
    // The marks are in minute order: the trail's are the last ones, and the latest of them count.
    size_t from = static_cast<size_t>(
        std::lower_bound(marks.begin(), marks.end(), oldest,
                         [](const CMissionMark& m, int minute) { return m.minute < minute; }) -
        marks.begin());
    from = std::max(from, marks.size() > options.maxMarks ? marks.size() - options.maxMarks : 0);
    for (const CMissionMark& m : marks.subspan(from)) {
        if (m.minute < oldest || m.minute > state.minute) {
            continue;
        }
        out += first ? "{" : ",{";
        first = false;
        Key(out, "kind");
        AppendJsonString(out, MissionEventKindName(m.kind));
        out += ',';
        Key(out, "minute");
        AppendInt(out, m.minute);
        out += ',';
        Key(out, "station");
        AppendInt(out, m.station);
        out += ',';
        Key(out, "at");
        AppendPoint(out, m.at);
        if (m.hasTo) {
            out += ',';
            Key(out, "to");
            AppendPoint(out, m.to);
        }
        out += '}';
    }
    out += ']';

    out += ',';
    Key(out, "requests");
    out += '[';
    for (size_t i = 0; i < state.requests.size(); ++i) {
        const MissionRequest& r = state.requests[i];
        out += i ? ",{" : "{";
        Key(out, "minute");
        AppendInt(out, r.minute);
        out += ',';
        Key(out, "station");
        AppendInt(out, r.station);
        out += ',';
        Key(out, "asked");
        AppendJsonString(out, r.asked);
        out += ',';
        Key(out, "type");
        AppendJsonString(out, r.resType);
        out += ',';
        Key(out, "id");
        AppendJsonString(out, r.resId);
        out += '}';
    }
    out += ']';

    if (options.withChat) {
        out += ',';
        Key(out, "chat");
        out += '[';
        for (size_t i = 0; i < state.chat.size(); ++i) {
            out += i ? ",{" : "{";
            Key(out, "minute");
            AppendInt(out, state.chat[i].minute);
            out += ',';
            Key(out, "station");
            AppendInt(out, state.chat[i].station);
            out += ',';
            Key(out, "text");
            AppendJsonString(out, state.chat[i].text);
            out += '}';
        }
        out += ']';
    }

    out += ',';
    Key(out, "pauses");
    out += '[';
    for (size_t i = 0; i < state.pauses.size(); ++i) {
        out += i ? ",[" : "[";
        AppendInt(out, state.pauses[i].first);
        out += ',';
        AppendInt(out, state.pauses[i].second);
        out += ']';
    }
    out += ']';

    out += ',';
    Key(out, "counts");
    out += '{';
    Key(out, "events");
    AppendInt(out, static_cast<long long>(state.eventsApplied));
    out += ',';
    Key(out, "unplaced");
    AppendInt(out, static_cast<long long>(state.unplacedCommands));
    out += ',';
    Key(out, "balloons");
    AppendInt(out, static_cast<long long>(state.balloons));
    out += ',';
    Key(out, "weatherQueries");
    AppendInt(out, static_cast<long long>(state.weatherQueries));
    out += ',';
    Key(out, "requests");
    AppendInt(out, static_cast<long long>(state.requestCount));
    out += '}';
    out += '}';
    return out;
}

} // namespace halyx
