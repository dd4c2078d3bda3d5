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

void CANSClient::Notify(RegistrationState state, const std::string& detail) const {
    if (m_stateObserver) {
        m_stateObserver(state, detail);
    }
}

RegistrationState CANSClient::registration_state() const {
    if (m_registered) {
        return RegistrationState::Registered;
    }
    return m_retrying ? RegistrationState::Retrying : RegistrationState::Unregistered;
}

void CANSClient::registration_lost(const std::string& why) {
    if (!m_registered) {
        return;
    }
    diagnostic("name-server registration of " + m_registeredName + " lost: " + why);
    m_wantedName = m_registeredName;
    m_registered = false;
    m_registeredName.clear();
    // The experimenter asked to be registered and never asked otherwise: a name server that
    // restarts (empty) must learn of this agent again, or no station could find it.
    m_retrying = start_reregistration();
    Notify(registration_state(), why);
}

std::string CANSClient::registration_request(const std::string& ownHost) const {
    std::string host = m_beliefs.get_string("host");
    if (host.empty()) {
        host = ownHost;
    }
    int ownPort = m_beliefs.get_int("port", 0);
    if (ownPort <= 0) {
        ownPort = listening_port();
    }
    std::string text = "(register :name ";
    AppendKqmlValue(text, m_wantedName);
    text += " :host ";
    AppendKqmlValue(text, host);
    text += " :port " + std::to_string(ownPort) + ")";
    return text;
}

bool CANSClient::registration_accepted(const std::string& reply, std::string& why) const {
    CParser parser;
    if (parser.parse_message(reply) && parser.find_performative() == "tell" &&
        parser.find_text("status") == "ok") {
        return true;
    }
    const std::string reason = parser.find_text("reason");
    why = "the name server refused " + m_wantedName + ": " +
          (reason.empty() ? std::string("no reason given") : reason);
    return false;
}

void CANSClient::registration_refused(const std::string& reply) {
    CParser parser;
    std::string reason = parser.parse_message(reply) ? parser.find_text("reason") : std::string();
    if (reason.empty()) {
        reason = "no reason given";
    }
    if (m_retrying && reason == m_lastRefusal) {
        return;
    }
    m_lastRefusal = reason;
    if (m_refusalObserver) {
        m_refusalObserver(m_wantedName, reason);
    }
}

void CANSClient::registration_restored() {
    m_lastRefusal.clear();
    m_registered = true;
    m_retrying = false;
    m_registeredName = m_wantedName;
    diagnostic("name-server registration of " + m_registeredName + " taken again");
    Notify(RegistrationState::Registered, "");
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
    m_lastRefusal.clear();
    // An explicit enable ends any background registration (close_registration stops it).
    m_retrying = false;
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
    m_wantedName = name;
    const std::optional<std::string> reply =
        Ask(registration_request(registration_local_host()), true);
    if (!reply) {
        close_registration();
        return false;
    }
    std::string why;
    if (registration_accepted(*reply, why)) {
        m_registered = true;
        m_registeredName = name;
        return true;
    }
    m_lastError = why;
    diagnostic(m_lastError);
    close_registration();
    registration_refused(*reply);
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
