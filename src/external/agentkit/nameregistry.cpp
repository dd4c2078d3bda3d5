#include "external/agentkit/nameregistry.h"

#include "external/kqml/message.h"
#include "external/kqml/parser.h"

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

} // namespace

CNameRegistry::ConnectionId CNameRegistry::open_connection(std::string peerHost) {
    const ConnectionId id = m_nextConnection++;
    m_peerHosts[id] = std::move(peerHost);
    return id;
}

void CNameRegistry::close_connection(ConnectionId connection) {
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second.owner == connection) {
            Notify("drop " + it->first + " (connection closed)");
            it = m_entries.erase(it);
        } else {
            ++it;
        }
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
    auto it = m_entries.find(name);
    if (it != m_entries.end() && it->second.owner != connection) {
        return Sorry("name already registered");
    }
    if (it == m_entries.end()) {
        std::size_t held = 0;
        for (const auto& [agent, entry] : m_entries) {
            held += entry.owner == connection ? 1 : 0;
        }
        if (held >= kMaxNamesPerConnection) {
            return Sorry("too many registrations on one connection");
        }
    }
    Entry& entry = m_entries[std::string(name)];
    entry.host = std::move(host);
    entry.port = port;
    entry.owner = connection;
    Notify("register " + std::string(name) + " " + entry.host + ":" + std::to_string(port));
    return kOk;
}

void CNameRegistry::Notify(const std::string& line) {
    if (m_observer) {
        m_observer(line);
    }
}

} // namespace halyx
