#include "external/agentkit/memorycommunicator.h"

#include "external/agentkit/basicagent.h"

namespace halyx {

CMemoryCommunicator::CMemoryCommunicator(CBasicAgent& agent, CNameRegistry* registry, int port)
    : CCommunicator(agent), m_port(port) {
    agent.attach_communicator(this);
    agent.init_beliefs();
    if (registry != nullptr) {
        m_ans = std::make_unique<CMemoryAnsClient>(*agent.get_belief_db(), *registry, port);
        m_ans->set_diagnostic_sink([&agent](const std::string& line) { agent.debug(line); });
    }
}

CMemoryCommunicator::~CMemoryCommunicator() = default;

bool CMemoryCommunicator::deliver_text(const std::string& text, const std::string& peer) {
    return get_agent().process_message_from(text, peer);
}

bool CMemoryCommunicator::deliver_from(const std::string& sender, const std::string& performative,
                                       const std::string& content, const std::string& peer) {
    CKqmlMessage message;
    message.performative = performative;
    message.sender = sender;
    message.receiver = get_name();
    message.language = "default-language";
    message.ontology = "default-ontology";
    message.content = content;
    return deliver_text(message.ToText(), peer);
}

void CMemoryCommunicator::transmit(const CKqmlMessage& message, const std::string& wireText) {
    m_sent.push_back(
        {message.performative, message.receiver, message.sender, message.content, wireText});
}

} // namespace halyx
