#include "external/agentkit/nameregistry.h"

#include "external/kqml/message.h"
#include "external/kqml/parser.h"

#include <algorithm>
#include <cctype>

namespace halyx {

namespace {

// One connection may hold a few names (an agent that re-registers under a new name); a client
// that tries thousands is refused rather than allowed to grow the table without end.
constexpr std::size_t kMaxNamesPerConnection = 64;

std::string Sorry(std::string_view reason) {
    std::string out = "(sorry :reason ";
    AppendKqmlValue(out, reason);
    out.push_back(')');
    return out;
}

const std::string kOk = "(tell :status ok)";

// Characters that no agent name or host may hold: they would have to be escaped in every
// message and every log line that carries the name, and a name is no place for markup.
bool Forbidden(unsigned char c) {
    return c < 0x20 || c == 0x7f || c == '"' || c == '\\' || c == '(' || c == ')' || c == '<' ||
           c == '>' || c == '&';
}

// Names may hold inner blanks ("Alpha Station"); such a name travels as a "..." string.
bool ValidName(std::string_view text) {
    if (text.empty() || text.size() > kMaxAgentNameLength || text.front() == ' ' ||
        text.back() == ' ') {
        return false;
    }
    for (const char c : text) {
        if (Forbidden(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// Host names and addresses; an IPv6 address starts with ':' and so travels as a string.
bool ValidHost(std::string_view text) {
    return ValidName(text) && text.find(' ') == std::string_view::npos;
}

std::string AgentRecord(const std::string& name, const CNameRegistry::Entry& entry) {
    std::string out = "(tell :name ";
    AppendKqmlValue(out, name);
    out += " :host ";
    AppendKqmlValue(out, entry.host);
    out += " :port " + std::to_string(entry.port) + ")";
    return out;
}

// A port is a decimal number in 1..65535, nothing else.
int ReadPort(std::string_view text) {
    if (text.empty() || text.size() > 5) {
        return 0;
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return 0;
        }
        value = value * 10 + (c - '0');
    }
    return value <= 65535 ? value : 0;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// "ALPHA" names ALPHA only; "Lab-*" names every name that starts with "Lab-".
bool Matches(std::string_view pattern, std::string_view name) {
    if (!pattern.empty() && pattern.back() == '*') {
        return name.starts_with(pattern.substr(0, pattern.size() - 1));
    }
    return pattern == name;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

} // namespace

bool CNameRegistry::parse_bindings(std::string_view text, std::vector<Binding>& bindings,
                                   std::string& error) {
    std::vector<Binding> out;
    const std::vector<std::string_view> lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = TrimBlanks(lines[i]);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::size_t blank = line.find_last_of(" \t");
        const std::string_view pattern = blank == std::string_view::npos
                                             ? std::string_view()
                                             : TrimBlanks(line.substr(0, blank));
        const std::string_view host =
            blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
        const std::string_view name = !pattern.empty() && pattern.back() == '*'
                                          ? pattern.substr(0, pattern.size() - 1)
                                          : pattern;
        const bool validName = (name.empty() && pattern == "*") || ValidName(name);
        if (pattern.empty() || !validName || !ValidHost(host)) {
            error = "line " + std::to_string(i + 1) + ": expected NAME HOST (or PREFIX* HOST)";
            return false;
        }
        out.push_back(Binding{std::string(pattern), std::string(host)});
    }
    bindings = std::move(out);
    return true;
}

bool CNameRegistry::is_bound(std::string_view name) const {
    return std::any_of(m_bindings.begin(), m_bindings.end(),
                       [name](const Binding& b) { return Matches(b.pattern, name); });
}

std::string CNameRegistry::save_state() const {
    std::string out;
    for (const auto& [name, entry] : m_entries) {
        out +=
            name + "\t" + entry.host + "\t" + std::to_string(entry.port) + "\t" + entry.peer + "\n";
    }
    return out;
}

bool CNameRegistry::load_state(std::string_view text, Clock::time_point now, std::string& error) {
    std::vector<std::pair<std::string, Entry>> loaded;
    const std::vector<std::string_view> lines = SplitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        std::vector<std::string_view> fields;
        for (std::size_t start = 0;;) {
            const std::size_t tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab - start));
            if (tab == std::string_view::npos) {
                break;
            }
            start = tab + 1;
        }
        const int port = fields.size() == 4 ? ReadPort(fields[2]) : 0;
        if (fields.size() != 4 || !ValidName(fields[0]) || !ValidHost(fields[1]) || port == 0 ||
            (!fields[3].empty() && !ValidHost(fields[3]))) {
            error = "line " + std::to_string(i + 1) + ": not a saved registration";
            return false;
        }
        Entry entry;
        entry.host = std::string(fields[1]);
        entry.port = port;
        entry.peer = std::string(fields[3]);
        entry.restoredAt = now;
        loaded.emplace_back(std::string(fields[0]), std::move(entry));
    }
    for (auto& [name, entry] : loaded) {
        if (m_entries.count(name) == 0) {
            Notify("restore " + name + " " + entry.host + ":" + std::to_string(entry.port));
            m_entries.emplace(name, std::move(entry));
            ++m_restored;
        }
    }
    return true;
}

std::size_t CNameRegistry::drop_stale(Clock::time_point now, std::size_t atMost) {
    // Called every second: nothing to look at once every restored name is claimed or gone.
    if (m_restored == 0) {
        return 0;
    }
    std::size_t dropped = 0;
    for (auto it = m_entries.begin(); it != m_entries.end() && dropped < atMost;) {
        if (it->second.owner == 0 && now - it->second.restoredAt >= m_grace) {
            Notify("drop " + it->first + " (its owner did not register again)");
            it = m_entries.erase(it);
            ++dropped;
            --m_restored;
        } else {
            ++it;
        }
    }
    return dropped;
}

CNameRegistry::ConnectionId CNameRegistry::open_connection(std::string peerHost) {
    const ConnectionId id = m_nextConnection++;
    m_peerHosts[id] = std::move(peerHost);
    return id;
}

void CNameRegistry::close_connection(ConnectionId connection) {
    // Only the connection's own names are looked at: a server with thousands of names closes
    // a connection as fast as one with a few.
    if (const auto held = m_held.find(connection); held != m_held.end()) {
        for (const std::string& name : held->second) {
            const auto it = m_entries.find(name);
            if (it != m_entries.end() && it->second.owner == connection) {
                Notify("drop " + it->first + " (connection closed)");
                m_entries.erase(it);
            }
        }
        m_held.erase(held);
    }
    m_peerHosts.erase(connection);
}

std::string CNameRegistry::handle_request(std::string_view request, ConnectionId connection) {
    CParser parser;
    const CKqmlParseResult result = parser.parse_message(request);
    if (!result) {
        return Sorry(std::string("malformed request: ") + result.description());
    }
    const std::string verb = Lower(parser.find_performative().value_or(""));
    const std::string name = parser.find_text("name");
    if (verb == "register") {
        std::optional<std::string> host = parser.find_token("host");
        if (!host || host->empty()) {
            auto peer = m_peerHosts.find(connection);
            host = peer != m_peerHosts.end() ? peer->second : std::string();
        }
        return Register(name, *host, parser.find_text("port"), connection);
    }
    if (verb == "unregister") {
        auto it = m_entries.find(name);
        if (it == m_entries.end()) {
            return Sorry("unknown agent");
        }
        if (it->second.owner != connection) {
            return Sorry("agent registered by another connection");
        }
        if (const auto held = m_held.find(connection); held != m_held.end()) {
            held->second.erase(it->first);
        }
        m_entries.erase(it);
        Notify("unregister " + name);
        return kOk;
    }
    if (verb == "lookup") {
        auto it = m_entries.find(name);
        if (it == m_entries.end()) {
            return Sorry("unknown agent");
        }
        return AgentRecord(it->first, it->second);
    }
    if (verb == "listall") {
        std::string out = "(tell :number " + std::to_string(m_entries.size());
        std::size_t index = 0;
        for (const auto& [agent, entry] : m_entries) {
            out += " :" + std::to_string(index++) + " " + AgentRecord(agent, entry);
        }
        out.push_back(')');
        return out;
    }
    return Sorry("unknown request");
}

std::string CNameRegistry::Register(std::string_view name, std::string host,
                                    std::string_view portText, ConnectionId connection) {
    if (!ValidName(name)) {
        return Sorry("invalid agent name");
    }
    if (!ValidHost(host)) {
        return Sorry("invalid host");
    }
    const int port = ReadPort(portText);
    if (port == 0) {
        return Sorry("invalid port");
    }
    const auto peerIt = m_peerHosts.find(connection);
    const std::string peer = peerIt != m_peerHosts.end() ? peerIt->second : std::string();
    if (is_bound(name)) {
        const bool allowed =
            std::any_of(m_bindings.begin(), m_bindings.end(), [&](const Binding& b) {
                return Matches(b.pattern, name) && b.host == peer;
            });
        if (!allowed) {
            return Sorry("name bound to another host");
        }
    }
    auto it = m_entries.find(name);
    // A restored name goes back to a registration from its owner's host; anyone else waits
    // until the grace period is over.
    if (it != m_entries.end() && it->second.owner != 0 && it->second.owner != connection) {
        return Sorry("name already registered");
    }
    const bool claim = it != m_entries.end() && it->second.owner == 0;
    if (claim && it->second.peer != peer) {
        return Sorry("name already registered");
    }
    std::set<std::string, std::less<>>& held = m_held[connection];
    if ((it == m_entries.end() || claim) && held.size() >= kMaxNamesPerConnection) {
        return Sorry("too many registrations on one connection");
    }
    if (claim) {
        // A restored name goes back to a registration from its owner's host.
        --m_restored;
    }
    held.emplace(name);
    Entry& entry = m_entries[std::string(name)];
    entry.host = std::move(host);
    entry.port = port;
    entry.owner = connection;
    entry.peer = peer;
    Notify("register " + std::string(name) + " " + entry.host + ":" + std::to_string(port));
    return kOk;
}

void CNameRegistry::Notify(const std::string& line) {
    if (m_observer) {
        m_observer(line);
    }
}

} // namespace halyx
