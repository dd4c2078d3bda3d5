#include "external/agentkit/communicator.h"

#include "external/agentkit/basicagent.h"
#include "external/kqml/limits.h"
#include "external/kqml/parser.h"

namespace halyx {

CCommunicator::CCommunicator(CBasicAgent& agent) : m_agent(agent) {}

CCommunicator::~CCommunicator() {
    if (m_agent.get_communicator() == this) {
        m_agent.attach_communicator(nullptr);
    }
}

bool CCommunicator::comm_sendmessage(const std::string& performative, const std::string& receiver,
                                     const std::string& language, const std::string& ontology,
                                     const std::string& replyWith, const std::string& inReplyTo,
                                     const std::string& protocol, const std::string& content) {
    return comm_sendmessage_sender(performative, receiver, std::string(), language, ontology,
                                   replyWith, inReplyTo, protocol, content);
}

bool CCommunicator::comm_sendmessage_sender(
    const std::string& performative, const std::string& receiver, const std::string& sender,
    const std::string& language, const std::string& ontology, const std::string& replyWith,
    const std::string& inReplyTo, const std::string& protocol, const std::string& content) {
    CKqmlMessage message;
    message.performative = performative;
    message.receiver = receiver;
    message.sender = sender;
    message.language = language;
    message.ontology = ontology;
    message.replyWith = replyWith;
    message.inReplyTo = inReplyTo;
    message.protocol = protocol;
    message.content = content;
    return send_message(std::move(message));
}

bool CCommunicator::send_message(CKqmlMessage message) {
    if (message.sender.empty()) {
        message.sender = get_name();
    }
    if (message.receiver.empty()) {
        diagnostic("message not sent: no receiver");
        return false;
    }
    std::string wire = message.ToText();
    if (wire.size() + 1 > kKqmlMaxMessageBytes) {
        diagnostic("message to " + message.receiver + " not sent: " + std::to_string(wire.size()) +
                   " bytes is over the message size limit");
        return false;
    }
    // A content with an unbalanced parenthesis or quote would make the receiver misread every
    // later message on the connection, so it never leaves this agent.
    CParser check;
    const CKqmlParseResult result = check.parse_message(wire);
    if (!result || check.find_performative() != message.performative) {
        diagnostic("message to " + message.receiver + " not sent: not well-formed KQML (" +
                   result.description() + " at byte " + std::to_string(result.offset) + ")");
        return false;
    }
    if (m_observer) {
        m_observer(KqmlTraffic::Outgoing, wire);
    }
    transmit(message, wire);
    return true;
}

CBeliefDB* CCommunicator::get_beliefdb() {
    return m_agent.get_belief_db();
}

std::string CCommunicator::get_name() const {
    std::string name = m_agent.get_belief_db()->get_string("name");
    return name.empty() ? m_agent.get_name() : name;
}

void CCommunicator::set_name(const std::string& name) {
    m_agent.get_belief_db()->set_string("name", name);
}

void CCommunicator::set_port(int port) {
    m_agent.get_belief_db()->set_int("port", port);
}

void CCommunicator::set_ansname(const std::string& host) {
    m_agent.get_belief_db()->set_string("ans", host);
}

void CCommunicator::set_ansport(int port) {
    m_agent.get_belief_db()->set_int("ansport", port);
}

void CCommunicator::deliver(const std::string& text, const std::string& peer) {
    if (m_observer) {
        m_observer(KqmlTraffic::Incoming, text);
    }
    m_agent.process_message_from(text, peer);
}

void CCommunicator::link_event(CLinkEvent::Kind kind, const std::string& receiver,
                               std::size_t messages, const std::string& why) {
    CLinkEvent event;
    event.kind = kind;
    event.receiver = receiver;
    event.messages = messages;
    event.why = why;
    link_event(std::move(event));
}

void CCommunicator::link_event(CLinkEvent event) {
    if (m_linkObserver) {
        m_linkObserver(event);
    }
}

void CCommunicator::diagnostic(const std::string& text) {
    m_agent.debug(text);
}

} // namespace halyx
