#include "external/agentkit/ansclient.h"

#include "external/agentkit/beliefdb.h"
#include "external/agentkit/nameregistry.h"
#include "external/kqml/message.h"
#include "external/kqml/parser.h"

#include <algorithm>
#include <memory>

namespace halyx {

namespace {

int ReadPort(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    const int value = std::stoi(text);
    return value <= 65535 ? value : 0;
}

// A (tell :name N :host H :port P) record; invalid when any part is missing or wrong.
CAgentInfo ReadAgentRecord(const CParser& parser) {
    const std::string name = parser.find_text("name");
    const std::string host = parser.find_text("host");
    const int port = ReadPort(parser.find_text("port"));
    if (name.empty() || host.empty() || port == 0) {
        return CAgentInfo();
    }
    return CAgentInfo(name, host, port);
}

std::string Request(const char* verb, const std::string& name) {
    std::string out = "(";
    out += verb;
    out += " :name ";
    AppendKqmlValue(out, name);
    out.push_back(')');
    return out;
}

} // namespace

CANSClient::CANSClient(CBeliefDB& beliefs) : m_beliefs(beliefs) {}

CANSClient::~CANSClient() = default;

void CANSClient::diagnostic(const std::string& text) const {
    if (m_diagnostics) {
        m_diagnostics(text);
    }
}

void CANSClient::registration_lost(const std::string& why) {
    if (m_registered) {
        diagnostic("name-server registration of " + m_registeredName + " lost: " + why);
    }
    m_registered = false;
    m_registeredName.clear();
}

std::optional<std::string> CANSClient::Ask(const std::string& text, bool onRegistration) {
    const std::string host = m_beliefs.get_string("ans");
    const int port = m_beliefs.get_int("ansport", kDefaultAnsPort);
    std::string error;
    std::optional<std::string> reply = request(host, port, text, onRegistration, error);
    if (!reply) {
        m_lastError = "no answer from the name server at " + host + ":" + std::to_string(port) +
                      (error.empty() ? "" : ": " + error);
        diagnostic(m_lastError);
    }
    return reply;
}

bool CANSClient::enable(int on) {
    m_lastError.clear();
    if (on == 0) {
        if (m_registered) {
            Ask(Request("unregister", m_registeredName), true);
        }
        close_registration();
        m_registered = false;
        m_registeredName.clear();
        return true;
    }
    if (m_registered) {
        enable(0);
    }
    const std::string host = m_beliefs.get_string("ans");
    const int port = m_beliefs.get_int("ansport", kDefaultAnsPort);
    const std::string name = m_beliefs.get_string("name");
    if (name.empty()) {
        m_lastError = "no agent name to register";
        diagnostic(m_lastError);
        return false;
    }
    std::string error;
    if (host.empty() || port <= 0 || port > 65535 || !open_registration(host, port, error)) {
        m_lastError = "cannot reach the name server at " + host + ":" + std::to_string(port) +
                      (error.empty() ? "" : ": " + error);
        diagnostic(m_lastError);
        return false;
    }
    std::string ownHost = m_beliefs.get_string("host");
    if (ownHost.empty()) {
        ownHost = registration_local_host();
    }
    int ownPort = m_beliefs.get_int("port", 0);
    if (ownPort <= 0) {
        ownPort = listening_port();
    }
    std::string text = "(register :name ";
    AppendKqmlValue(text, name);
    text += " :host ";
    AppendKqmlValue(text, ownHost);
    text += " :port " + std::to_string(ownPort) + ")";
    const std::optional<std::string> reply = Ask(text, true);
    if (!reply) {
        close_registration();
        return false;
    }
    CParser parser;
    parser.parse_message(*reply);
    if (parser.find_performative() == "tell" && parser.find_text("status") == "ok") {
        m_registered = true;
        m_registeredName = name;
        return true;
    }
    const std::string reason = parser.find_text("reason");
    m_lastError = "the name server refused " + name + ": " +
                  (reason.empty() ? std::string("no reason given") : reason);
    diagnostic(m_lastError);
    close_registration();
    return false;
}

void CANSClient::StoreLookup(const std::vector<CAgentInfo>& agents) {
    CLList* list = m_beliefs.list_belief("lookup").get_value();
    list->clear();
    for (const CAgentInfo& agent : agents) {
        list->add_element(std::make_unique<CAgentInfo>(agent));
    }
}

CAgentInfo CANSClient::LookupAgent(const std::string& name) {
    m_lastError.clear();
    const std::optional<std::string> reply = Ask(Request("lookup", name), false);
    if (!reply) {
        StoreLookup({});
        return CAgentInfo();
    }
    CParser parser;
    CAgentInfo info;
    if (parser.parse_message(*reply) && parser.find_performative() == "tell") {
        info = ReadAgentRecord(parser);
    }
    if (!info.IsValid()) {
        const std::string reason = parser.find_text("reason");
        m_lastError = name + ": " + (reason.empty() ? std::string("unreadable answer") : reason);
        StoreLookup({});
        return info;
    }
    StoreLookup({info});
    return info;
}

bool CANSClient::listall(std::vector<CAgentInfo>& agents) {
    m_lastError.clear();
    agents.clear();
    const std::optional<std::string> reply = Ask("(listall)", false);
    CParser parser;
    if (!reply || !parser.parse_message(*reply) || parser.find_performative() != "tell") {
        if (reply) {
            m_lastError = "unreadable answer to listall";
            diagnostic(m_lastError);
        }
        StoreLookup({});
        return false;
    }
    // The records are the list values of the reply; walking them once keeps a long listing
    // linear, whatever :number claims.
    for (const CKqmlElement& element : parser.elements()) {
        if (element.kind != KqmlElementKind::List) {
            continue;
        }
        CParser record;
        if (record.parse_message(parser.element_source(element))) {
            CAgentInfo info = ReadAgentRecord(record);
            if (info.IsValid()) {
                agents.push_back(std::move(info));
            }
        }
    }
    std::sort(agents.begin(), agents.end(),
              [](const CAgentInfo& a, const CAgentInfo& b) { return a.get_name() < b.get_name(); });
    StoreLookup(agents);
    return true;
}

bool CANSClient::listall_listbox(std::vector<std::string>& names) {
    names.clear();
    std::vector<CAgentInfo> agents;
    if (!listall(agents)) {
        return false;
    }
    for (const CAgentInfo& agent : agents) {
        names.push_back(agent.get_name());
    }
    return true;
}

const CLList* CANSClient::check_registration(const std::string& name) {
    if (!m_registered || name != m_registeredName) {
        m_lastError = name + " is not registered by this agent";
        return nullptr;
    }
    const CAgentInfo info = LookupAgent(name);
    if (!info.IsValid()) {
        return nullptr;
    }
    return m_beliefs.list_belief("lookup").get_value();
}

} // namespace halyx
