#pragma once

// A name-server client that talks to a CNameRegistry in the same process: registration and
// lookup without sockets, for tests. set_reachable(false) makes the server stop answering;
// drop_registration_connection() acts as if the connection broke.
//
//   CNameRegistry registry;
//   CMemoryAnsClient ans(beliefs, registry, 7001);

#include "external/agentkit/ansclient.h"
#include "external/agentkit/nameregistry.h"

namespace halyx {

class CMemoryAnsClient : public CANSClient {
public:
    CMemoryAnsClient(CBeliefDB& beliefs, CNameRegistry& registry, int listeningPort,
                     std::string localHost = "127.0.0.1");
    ~CMemoryAnsClient() override;

    void set_reachable(bool reachable) { m_reachable = reachable; }
    void drop_registration_connection();

protected:
    bool open_registration(const std::string& host, int port, std::string& error) override;
    void close_registration() override;
    std::optional<std::string> request(const std::string& host, int port, const std::string& text,
                                       bool onRegistration, std::string& error) override;
    std::string registration_local_host() const override { return m_localHost; }
    int listening_port() const override { return m_port; }

private:
    CNameRegistry& m_registry;
    int m_port;
    std::string m_localHost;
    bool m_reachable = true;
    std::optional<CNameRegistry::ConnectionId> m_connection;
};

} // namespace halyx
