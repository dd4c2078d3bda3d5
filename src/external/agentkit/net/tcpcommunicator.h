#pragma once

// The communicator over TCP. It listens on its own port for messages from other agents and
// delivers each to the agent on the event-loop thread. To send, it finds the receiver at the
// name server (without waiting), connects, and keeps the connection for later messages; when
// that connection breaks, the next message looks the receiver up again. Messages to one
// receiver keep their order. A message that cannot be delivered within the send time-out, or
// whose receiver the name server does not know, is dropped with a diagnostic on the agent's
// debug output. The link observer (communicator.h) hears when a receiver becomes unreachable
// (lookup or connection failed, messages expired, a connection broke and could not be made
// again at once) and when a connection to it is made again.
//
//   CTcpCommunicator comm(agent);                 // attaches itself to the agent
//   std::string error;
//   if (!comm.listen(QHostAddress::Any, 0, error)) fail(error);
//   comm.comm_sendmessage("tell", "Station1", "default-language", "default-ontology", "", "",
//                         "", "tell :command clock_sync :clock 5");

#include "external/agentkit/communicator.h"
#include "external/agentkit/net/ansresolver.h"
#include "external/agentkit/net/tcpansclient.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace halyx {

class CFramedSocket;

class CTcpCommunicator : public CCommunicator {
public:
    explicit CTcpCommunicator(CBasicAgent& agent);
    ~CTcpCommunicator() override;

    bool listen(const QHostAddress& address, quint16 port, std::string& error);

    int get_port() const override { return m_server.serverPort(); }
    CANSClient* retrieve_ans_object() override { return &m_ans; }
    CTcpAnsClient& tcp_ans() { return m_ans; }
    // An address as it is; a name through the system's resolver (which may wait for it).
    std::vector<std::string> host_addresses(const std::string& host) override;
    void discard_pending(const std::string& receiver) override;

    void set_send_timeout(int milliseconds) { m_sendTimeoutMs = milliseconds; }
    int get_send_timeout() const { return m_sendTimeoutMs; }
    void set_incoming_message_limit(std::size_t bytes) override { m_incomingLimit = bytes; }
    // Messages accepted and not yet handed to a connection.
    std::size_t pending_count() const;
    // Connections from other agents open now.
    std::size_t inbound_count() const { return m_inbound.size(); }

    // Only machines in these networks may connect; a connection from elsewhere is closed at
    // once, before it is read. Empty: every machine may.
    using Subnet = std::pair<QHostAddress, int>;
    void set_allowed_hosts(std::vector<Subnet> subnets) { m_allowed = std::move(subnets); }
    const std::vector<Subnet>& allowed_hosts() const { return m_allowed; }
    std::size_t refused_connections() const { return m_refusedConnections; }
    // "CIDR[,CIDR...]" (an address alone is one host); false, with error naming the bad part.
    static bool ParseAllowedHosts(const std::string& text, std::vector<Subnet>& subnets,
                                  std::string& error);
    // An address as messages' senders are checked against it: IPv4 in dotted form, also when
    // it reached a dual-stack socket.
    static std::string AddressText(const QHostAddress& address);
    // Not null and not one of the "any" addresses.
    static bool SpecificAddress(const QHostAddress& address);

protected:
    void transmit(const CKqmlMessage& message, const std::string& wireText) override;

private:
    struct Pending {
        std::string text;
        qint64 deadline = 0;
    };
    enum class State { Idle, LookingUp, Connecting, Connected };
    struct Link {
        State state = State::Idle;
        std::string host;
        int port = 0;
        std::unique_ptr<CFramedSocket> socket;
        std::deque<Pending> pending;
        std::size_t pendingBytes = 0;
        std::uint64_t generation = 0;
        // Connecting although nothing waits: the connection broke and we check at once whether
        // the receiver can still be reached.
        bool probe = false;
        bool fromProbe = false; // the connection was made by such a check, and carried nothing

        qint64 connectDeadline = 0;
    };

    void Advance(const std::string& receiver);
    void Flush(Link& link);
    void Drop(const std::string& receiver, Link& link, const std::string& why);
    void Resolved(const std::string& receiver, std::uint64_t generation, const CAgentInfo& info,
                  const std::string& error);
    void Connect(const std::string& receiver, Link& link);
    void Sweep();
    void LinkLost(const std::string& receiver, Link& link, const std::string& why,
                  bool gone = false);
    bool Allowed(const QHostAddress& address) const;
    void LimitUnacknowledged(CFramedSocket& socket) const;
    void Accept();

    QTcpServer m_server;
    CTcpAnsClient m_ans;
    CAnsResolver m_resolver;
    std::map<std::string, Link> m_links;
    std::map<std::uint64_t, std::unique_ptr<CFramedSocket>> m_inbound;
    std::uint64_t m_nextInbound = 1;
    std::uint64_t m_nextGeneration = 1;
    QElapsedTimer m_clock;
    QTimer m_sweep;
    int m_sendTimeoutMs = 10000;
    std::size_t m_incomingLimit = kKqmlMaxMessageBytes;
    std::vector<Subnet> m_allowed;
    std::size_t m_refusedConnections = 0;
};

// Largest amount of text that may wait for one receiver (queued or unwritten) before further
// messages to it are dropped: a receiver that stops reading must not grow the sender without end.
inline constexpr std::size_t kMaxPendingBytesPerReceiver = 64u * 1024u * 1024u;
// Each open connection may buffer up to one message of 16 MiB; a team is a handful of stations,
// so a few hundred connections is far more than any experiment opens.
inline constexpr std::size_t kMaxInboundConnections = 256;

} // namespace halyx
