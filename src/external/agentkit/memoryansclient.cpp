#include "external/agentkit/memoryansclient.h"

namespace halyx {

CMemoryAnsClient::CMemoryAnsClient(CBeliefDB& beliefs, CNameRegistry& registry, int listeningPort,
                                   std::string localHost)
    : CANSClient(beliefs), m_registry(registry), m_port(listeningPort),
      m_localHost(std::move(localHost)) {}

CMemoryAnsClient::~CMemoryAnsClient() {
    close_registration();
}

void CMemoryAnsClient::drop_registration_connection() {
    close_registration();
    registration_lost("connection closed");
}

bool CMemoryAnsClient::open_registration(const std::string& /*host*/, int /*port*/,
                                         std::string& error) {
    close_registration();
    if (!m_reachable) {
        error = "connection refused";
        return false;
    }
    m_connection = m_registry.open_connection(m_localHost);
    return true;
}

void CMemoryAnsClient::close_registration() {
    if (m_connection) {
        m_registry.close_connection(*m_connection);
        m_connection.reset();
    }
}

std::optional<std::string> CMemoryAnsClient::request(const std::string& /*host*/, int /*port*/,
                                                     const std::string& text, bool onRegistration,
                                                     std::string& error) {
    if (!m_reachable) {
        error = "connection refused";
        return std::nullopt;
    }
    if (onRegistration && m_connection) {
        return m_registry.handle_request(text, *m_connection);
    }
    const CNameRegistry::ConnectionId once = m_registry.open_connection(m_localHost);
    std::string reply = m_registry.handle_request(text, once);
    m_registry.close_connection(once);
    return reply;
}

} // namespace halyx
