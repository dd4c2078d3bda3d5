#include "external/agentkit/net/tcpcommunicator.h"

#include "external/agentkit/basicagent.h"
#include "external/agentkit/beliefdb.h"
#include "external/agentkit/net/acceptguard.h"
#include "external/agentkit/net/framedsocket.h"

#include <QHostInfo>
#include <QStringList>
#include <QTcpSocket>

#include <algorithm>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace halyx {

CTcpCommunicator::CTcpCommunicator(CBasicAgent& agent)
    : CCommunicator(agent), m_ans(*agent.get_belief_db(), [this] { return get_port(); }),
      m_resolver(*agent.get_belief_db()) {
    agent.attach_communicator(this);
    m_ans.set_diagnostic_sink([this](const std::string& line) { diagnostic(line); });
    m_clock.start();
    m_sweep.setInterval(100);
    QObject::connect(&m_sweep, &QTimer::timeout, &m_sweep, [this] { Sweep(); });
    KeepAcceptingThroughShortages(m_server, [this](const std::string& line) { diagnostic(line); });
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { Accept(); });
}

CTcpCommunicator::~CTcpCommunicator() {
    m_links.clear();
    m_inbound.clear();
}

bool CTcpCommunicator::listen(const QHostAddress& address, quint16 port, std::string& error) {
    if (!m_server.listen(address, port)) {
        error = "cannot listen on " + address.toString().toStdString() + ":" +
                std::to_string(port) + ": " + m_server.errorString().toStdString();
        return false;
    }
    // An agent that listens on one address speaks from it too (Connect), so that is the host
    // it registers unless told another: receivers check that a sender's messages come from
    // the host the name server gives for it.
    if (SpecificAddress(address)) {
        CBeliefDB* beliefs = get_beliefdb();
        if (beliefs->get_string("host").empty()) {
            beliefs->set_string("host", AddressText(address));
        }
    }
    return true;
}

std::size_t CTcpCommunicator::pending_count() const {
    std::size_t count = 0;
    for (const auto& [receiver, link] : m_links) {
        count += link.pending.size();
    }
    return count;
}

bool CTcpCommunicator::SpecificAddress(const QHostAddress& address) {
    return !address.isNull() && address != QHostAddress(QHostAddress::Any) &&
           address != QHostAddress(QHostAddress::AnyIPv4) &&
           address != QHostAddress(QHostAddress::AnyIPv6);
}

std::string CTcpCommunicator::AddressText(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return (isV4 ? QHostAddress(v4) : address).toString().toStdString();
}

std::vector<std::string> CTcpCommunicator::host_addresses(const std::string& host) {
    const QString name = QString::fromStdString(host);
    if (const QHostAddress literal(name); !literal.isNull()) {
        return {AddressText(literal)};
    }
    std::vector<std::string> addresses;
    for (const QHostAddress& address : QHostInfo::fromName(name).addresses()) {
        addresses.push_back(AddressText(address));
    }
    return addresses;
}

bool CTcpCommunicator::ParseAllowedHosts(const std::string& text, std::vector<Subnet>& subnets,
                                         std::string& error) {
    subnets.clear();
    const QStringList parts = QString::fromStdString(text).split(',', Qt::SkipEmptyParts);
    for (const QString& raw : parts) {
        const QString part = raw.trimmed();
        Subnet subnet = QHostAddress::parseSubnet(part);
        if (subnet.first.isNull()) {
            const QHostAddress single(part);
            if (single.isNull()) {
                error = "not an address or network: \"" + part.toStdString() + "\"";
                return false;
            }
            subnet = {single, single.protocol() == QAbstractSocket::IPv6Protocol ? 128 : 32};
        }
        subnets.push_back(subnet);
    }
    if (subnets.empty()) {
        error = "no address or network given";
        return false;
    }
    return true;
}

bool CTcpCommunicator::Allowed(const QHostAddress& address) const {
    if (m_allowed.empty()) {
        return true;
    }
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    const QHostAddress plain = isV4 ? QHostAddress(v4) : address;
    return std::any_of(m_allowed.begin(), m_allowed.end(),
                       [&](const Subnet& subnet) { return plain.isInSubnet(subnet); });
}

void CTcpCommunicator::Accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (!Allowed(socket->peerAddress())) {
            // Counted; only the first few are noted, so a machine that keeps trying cannot fill
            // the debug output.
            if (m_refusedConnections++ < 20) {
                diagnostic("connection from " + AddressText(socket->peerAddress()) +
                           " refused: not in the allowed hosts");
            }
            socket->abort();
            socket->deleteLater();
            continue;
        }
        if (m_inbound.size() >= kMaxInboundConnections) {
            diagnostic("connection from " + socket->peerAddress().toString().toStdString() +
                       " refused: " + std::to_string(m_inbound.size()) +
                       " connections are open already");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const std::uint64_t id = m_nextInbound++;
        const std::string peer = AddressText(socket->peerAddress());
        auto link = std::make_unique<CFramedSocket>(socket, m_incomingLimit);
        link->on_message = [this, peer](const std::string& text) { deliver(text, peer); };
        link->on_diagnostic = [this](const std::string& line) { diagnostic(line); };
        link->on_closed = [this, id](const std::string& why) {
            if (why.find("message in progress") != std::string::npos) {
                diagnostic("incoming connection closed: " + why);
            }
            m_inbound.erase(id);
        };
        m_inbound.emplace(id, std::move(link));
    }
}

void CTcpCommunicator::transmit(const CKqmlMessage& message, const std::string& wireText) {
    Link& link = m_links[message.receiver];
    const std::size_t waiting =
        link.pendingBytes +
        (link.socket ? static_cast<std::size_t>(link.socket->bytes_to_write()) : 0);
    if (waiting + wireText.size() > kMaxPendingBytesPerReceiver) {
        diagnostic("message to " + message.receiver + " dropped: " + std::to_string(waiting) +
                   " bytes are already waiting for that receiver");
        link_event(CLinkEvent::Kind::Dropped, message.receiver, 1, "too much text waiting");
        return;
    }
    if (link.state == State::Connected && link.pending.empty() && link.socket->send(wireText)) {
        link.fromProbe = false;
        return;
    }
    link.pending.push_back({wireText, m_clock.elapsed() + m_sendTimeoutMs});
    link.pendingBytes += wireText.size();
    if (!m_sweep.isActive()) {
        m_sweep.start();
    }
    Advance(message.receiver);
}

void CTcpCommunicator::Advance(const std::string& receiver) {
    Link& link = m_links[receiver];
    switch (link.state) {
    case State::Connected:
        Flush(link);
        return;
    case State::LookingUp:
    case State::Connecting:
        return;
    case State::Idle:
        break;
    }
    if (link.pending.empty() && !link.probe) {
        return;
    }
    if (link.port > 0) {
        Connect(receiver, link);
        return;
    }
    link.state = State::LookingUp;
    const std::uint64_t generation = ++m_nextGeneration;
    link.generation = generation;
    m_resolver.lookup(receiver, [this, generation](const std::string& name, const CAgentInfo& info,
                                                   const std::string& error) {
        Resolved(name, generation, info, error);
    });
}

void CTcpCommunicator::Resolved(const std::string& receiver, std::uint64_t generation,
                                const CAgentInfo& info, const std::string& error) {
    auto it = m_links.find(receiver);
    if (it == m_links.end() || it->second.state != State::LookingUp ||
        it->second.generation != generation) {
        return;
    }
    Link& link = it->second;
    link.state = State::Idle;
    if (!info.IsValid()) {
        const std::string why = "cannot find " + receiver + " at the name server: " + error;
        // Unknown (rather than unanswered): its registration ended with its program.
        LinkLost(receiver, link, why, error == "unknown agent");
        Drop(receiver, link, why);
        return;
    }
    link.host = info.GetAgentHost();
    link.port = info.GetAgentPort();
    Connect(receiver, link);
}

void CTcpCommunicator::Connect(const std::string& receiver, Link& link) {
    link.state = State::Connecting;
    link.fromProbe = link.probe && link.pending.empty();
    link.connectDeadline = m_clock.elapsed() + m_sendTimeoutMs;
    if (!m_sweep.isActive()) {
        m_sweep.start();
    }
    auto* socket = new QTcpSocket();
    link.socket = std::make_unique<CFramedSocket>(socket, m_incomingLimit);
    CFramedSocket* raw = link.socket.get();
    raw->on_connected = [this, receiver] {
        Link& l = m_links[receiver];
        l.state = State::Connected;
        l.probe = false;
        LimitUnacknowledged(*l.socket);
        CLinkEvent back;
        back.kind = CLinkEvent::Kind::Back;
        back.receiver = receiver;
        back.why = "connected";
        back.host = l.host;
        back.port = l.port;
        link_event(std::move(back));
        Flush(l);
    };
    // An agent may answer on the connection we opened; it is a message like any other.
    raw->on_message = [this, raw](const std::string& text) {
        deliver(text, AddressText(raw->socket()->peerAddress()));
    };
    raw->on_diagnostic = [this](const std::string& line) { diagnostic(line); };
    raw->on_closed = [this, receiver](const std::string& why) {
        Link& l = m_links[receiver];
        const bool wasConnecting = l.state == State::Connecting;
        const std::string where = l.host + ":" + std::to_string(l.port);
        // The address may be stale next time (the agent restarted elsewhere): ask again.
        l.port = 0;
        l.host.clear();
        l.state = State::Idle;
        std::unique_ptr<CFramedSocket> old = std::move(l.socket);
        if (wasConnecting) {
            const std::string reason = "cannot reach " + receiver + " at " + where + ": " + why;
            // Refused: the machine is there but nothing listens on the port, so the receiver's
            // program ended (and a later connection reaches a new one).
            const bool refused =
                old && old->socket()->error() == QAbstractSocket::ConnectionRefusedError;
            LinkLost(receiver, l, reason, refused);
            Drop(receiver, l, reason);
        } else {
            diagnostic("connection to " + receiver + " at " + where + " closed: " + why);
            // Connect again at once, messages or not, so that a receiver that has gone is
            // noticed now rather than at the next message. Not after a connection that only
            // checked and carried nothing: a peer that accepts and closes at once would
            // otherwise keep us connecting in a loop.
            l.probe = !l.fromProbe;
            Advance(receiver);
        }
    };
    if (const QHostAddress own = m_server.serverAddress(); SpecificAddress(own)) {
        socket->bind(own, 0);
    }
    socket->connectToHost(QString::fromStdString(link.host), static_cast<quint16>(link.port));
}

void CTcpCommunicator::discard_pending(const std::string& receiver) {
    const auto it = m_links.find(receiver);
    if (it != m_links.end()) {
        it->second.pending.clear();
        it->second.pendingBytes = 0;
    }
}

void CTcpCommunicator::Flush(Link& link) {
    while (!link.pending.empty()) {
        // A connection that is closing keeps the rest; its close looks the receiver up again.
        if (!link.socket->send(link.pending.front().text)) {
            return;
        }
        link.pendingBytes -= link.pending.front().text.size();
        link.pending.pop_front();
        link.fromProbe = false;
    }
}

void CTcpCommunicator::Drop(const std::string& receiver, Link& link, const std::string& why) {
    if (link.pending.empty()) {
        return; // the time-out has already reported these messages
    }
    diagnostic(std::to_string(link.pending.size()) + " message(s) to " + receiver +
               " dropped: " + why);
    const std::size_t dropped = link.pending.size();
    link.pending.clear();
    link.pendingBytes = 0;
    link_event(CLinkEvent::Kind::Dropped, receiver, dropped, why);
}

void CTcpCommunicator::Sweep() {
    const qint64 now = m_clock.elapsed();
    bool waiting = false;
    for (auto& [receiver, link] : m_links) {
        std::size_t expired = 0;
        while (!link.pending.empty() && link.pending.front().deadline <= now) {
            link.pendingBytes -= link.pending.front().text.size();
            link.pending.pop_front();
            ++expired;
        }
        if (expired > 0) {
            const std::string why =
                "not delivered within " + std::to_string(m_sendTimeoutMs) + " ms";
            diagnostic(std::to_string(expired) + " message(s) to " + receiver + " dropped: " + why);
            LinkLost(receiver, link, why);
            link_event(CLinkEvent::Kind::Dropped, receiver, expired, why);
        }
        const bool hung = link.state == State::Connecting &&
                          (link.pending.empty() || link.connectDeadline <= now);
        if (hung && (expired > 0 || link.connectDeadline <= now)) {
            // A connection attempt that hangs (a host that never answers) is given up.
            link.socket.reset();
            link.state = State::Idle;
            link.port = 0;
            link.host.clear();
            if (expired == 0) {
                LinkLost(receiver, link,
                         "no connection within " + std::to_string(m_sendTimeoutMs) + " ms");
            }
        }
        waiting = waiting || !link.pending.empty() || link.state == State::Connecting;
    }
    if (!waiting) {
        m_sweep.stop();
    }
}

void CTcpCommunicator::LinkLost(const std::string& receiver, Link& link, const std::string& why,
                                bool gone) {
    link.probe = false;
    CLinkEvent lost;
    lost.kind = CLinkEvent::Kind::Lost;
    lost.receiver = receiver;
    lost.why = why;
    lost.gone = gone;
    link_event(std::move(lost));
}

void CTcpCommunicator::LimitUnacknowledged(CFramedSocket& socket) const {
#ifdef TCP_USER_TIMEOUT
    // A peer that vanishes without closing (a machine switched off, a cable pulled) would keep
    // the connection open for many minutes while the kernel retransmits; with this, data left
    // unacknowledged for the send time-out breaks the connection, and the close is reported.
    const qintptr fd = socket.socket()->socketDescriptor();
    const unsigned int timeout =
        static_cast<unsigned int>(m_sendTimeoutMs > 0 ? m_sendTimeoutMs : 0);
    if (fd >= 0) {
        ::setsockopt(static_cast<int>(fd), IPPROTO_TCP, TCP_USER_TIMEOUT, &timeout, sizeof timeout);
    }
#else
    (void)socket;
#endif
}

} // namespace halyx
