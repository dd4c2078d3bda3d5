#include "external/agentkit/net/tcpcommunicator.h"

#include "external/agentkit/basicagent.h"
#include "external/agentkit/net/acceptguard.h"
#include "external/agentkit/net/framedsocket.h"

#include <QTcpSocket>

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
    return true;
}

std::size_t CTcpCommunicator::pending_count() const {
    std::size_t count = 0;
    for (const auto& [receiver, link] : m_links) {
        count += link.pending.size();
    }
    return count;
}

void CTcpCommunicator::Accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_inbound.size() >= kMaxInboundConnections) {
            diagnostic("connection from " + socket->peerAddress().toString().toStdString() +
                       " refused: " + std::to_string(m_inbound.size()) +
                       " connections are open already");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const std::uint64_t id = m_nextInbound++;
        auto link = std::make_unique<CFramedSocket>(socket, m_incomingLimit);
        link->on_message = [this](const std::string& text) { deliver(text); };
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
        LinkLost(receiver, link, why);
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
        link_event(CLinkEvent::Kind::Back, receiver, 0, "connected");
        Flush(l);
    };
    // An agent may answer on the connection we opened; it is a message like any other.
    raw->on_message = [this](const std::string& text) { deliver(text); };
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
            LinkLost(receiver, l, reason);
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
    socket->connectToHost(QString::fromStdString(link.host), static_cast<quint16>(link.port));
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

void CTcpCommunicator::LinkLost(const std::string& receiver, Link& link, const std::string& why) {
    link.probe = false;
    link_event(CLinkEvent::Kind::Lost, receiver, 0, why);
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
