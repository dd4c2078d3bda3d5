#include "mission/missionjson.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <utility>
#include <vector>

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
    out += ',';
    Key(out, "overLimit");
    AppendInt(out, static_cast<long long>(state.overLimitCommands));
    out += '}';
    out += '}';
    return out;
}

namespace {

// Where the JSON value that starts at i ends (one past it), or where the enclosing object or
// array goes on (its ',' or closing bracket) for a value that is a number or a word.
std::size_t ValueEnd(const std::string& s, std::size_t i) {
    int depth = 0;
    bool inString = false;
    for (; i < s.size(); ++i) {
        const char ch = s[i];
        if (inString) {
            if (ch == '\\') {
                ++i;
            } else if (ch == '"') {
                inString = false;
                if (depth == 0) {
                    return i + 1;
                }
            }
            continue;
        }
        if (ch == '"') {
            inString = true;
        } else if (ch == '{' || ch == '[') {
            ++depth;
        } else if (ch == '}' || ch == ']') {
            if (--depth <= 0) {
                return depth == 0 ? i + 1 : i;
            }
        } else if (depth == 0 && ch == ',') {
            return i;
        }
    }
    return s.size();
}

// The members of an object written without blanks ({"a":1,"b":[2]}): key (quoted) and value.
std::vector<std::pair<std::string, std::string>> Members(const std::string& object) {
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t i = 1;
    while (i < object.size() && object[i] == '"') {
        const std::size_t keyEnd = ValueEnd(object, i);
        const std::size_t valueEnd = ValueEnd(object, keyEnd + 1);
        out.emplace_back(object.substr(i, keyEnd - i),
                         object.substr(keyEnd + 1, valueEnd - keyEnd - 1));
        i = valueEnd + (valueEnd < object.size() && object[valueEnd] == ',' ? 1 : 0);
    }
    return out;
}

// The elements of an array written without blanks.
std::vector<std::string_view> Elements(const std::string& array) {
    std::vector<std::string_view> out;
    std::size_t i = 1;
    while (i < array.size() && array[i] != ']') {
        const std::size_t end = ValueEnd(array, i);
        out.push_back(std::string_view(array).substr(i, end - i));
        i = end + (end < array.size() && array[end] == ',' ? 1 : 0);
    }
    return out;
}

} // namespace

std::string MissionStateUpdate(const std::string& previous, const std::string& state) {
    if (previous.empty()) {
        return {};
    }
    const auto before = Members(previous);
    const auto after = Members(state);
    const auto find = [](const auto& members, const std::string& key) -> const std::string* {
        for (const auto& [k, v] : members) {
            if (k == key) {
                return &v;
            }
        }
        return nullptr;
    };
    std::string out = "{";
    const auto add = [&out](std::string_view key, std::string_view value) {
        out += out.size() > 1 ? "," : "";
        out += key;
        out += ':';
        out += value;
    };
    for (const auto& [key, value] : after) {
        const std::string* old = find(before, key);
        if (old != nullptr && *old == value) {
            continue;
        }
        if (key == "\"marks\"" && old != nullptr) {
            // The trail moves on: the old marks after the first few that dropped out lead the
            // new ones. Only a few places are tried; a seek back sends the marks whole.
            const std::vector<std::string_view> was = Elements(*old);
            const std::vector<std::string_view> now = Elements(value);
            constexpr std::size_t kTries = 64;
            bool sent = false;
            for (std::size_t drop = 0; drop <= std::min(was.size(), kTries) && !sent; ++drop) {
                const std::size_t kept = was.size() - drop;
                if (kept > now.size() ||
                    !std::equal(was.begin() + static_cast<long>(drop), was.end(), now.begin())) {
                    continue;
                }
                add("\"marksDrop\"", std::to_string(drop));
                std::string added = "[";
                for (std::size_t i = kept; i < now.size(); ++i) {
                    added += i > kept ? "," : "";
                    added += now[i];
                }
                add("\"marksAdd\"", added + "]");
                sent = true;
            }
            if (sent) {
                continue;
            }
        }
        add(key, value);
    }
    for (const auto& [key, value] : before) {
        if (find(after, key) == nullptr) {
            add(key, "null");
        }
    }
    return out + "}";
}

} // namespace halyx
