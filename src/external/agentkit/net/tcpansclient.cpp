#include "external/agentkit/net/tcpansclient.h"

#include "external/agentkit/beliefdb.h"
#include "external/agentkit/net/nameserver.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QPointer>

#include <algorithm>
#include <vector>

namespace halyx {

namespace {

std::string HostText(QHostAddress address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4) {
        address = QHostAddress(v4);
    }
    return address.isNull() ? std::string("127.0.0.1") : address.toString().toStdString();
}

} // namespace

CTcpAnsClient::CTcpAnsClient(CBeliefDB& beliefs, std::function<int()> listeningPort)
    : CANSClient(beliefs), m_listeningPort(std::move(listeningPort)) {
    m_retryTimer.setSingleShot(true);
    m_attemptTimer.setSingleShot(true);
    QObject::connect(&m_retryTimer, &QTimer::timeout, [this] { StartAttempt(); });
    QObject::connect(&m_attemptTimer, &QTimer::timeout,
                     [this] { AttemptFailed("no answer in time"); });
}

CTcpAnsClient::~CTcpAnsClient() {
    close_registration();
}

void CTcpAnsClient::set_timeouts(int connectMs, int replyMs) {
    m_connectMs = connectMs;
    m_replyMs = replyMs;
}

void CTcpAnsClient::HookRegistration() {
    // The server going away ends the registration; this is noticed whenever the event loop
    // runs.
    QTcpSocket* socket = m_registration.get();
    QObject::connect(socket, &QTcpSocket::disconnected, socket,
                     [this] { registration_lost("the name server closed the connection"); });
}

bool CTcpAnsClient::start_reregistration() {
    if (m_inProcess) {
        return false; // a server inside this process lives and dies with it
    }
    if (m_registration) {
        // Called from this socket's own signal: it goes once the event loop is back.
        QObject::disconnect(m_registration.get(), nullptr, nullptr, nullptr);
        m_registration->abort();
        m_registration.release()->deleteLater();
    }
    m_retryDelayMs = kRetryFirstMs;
    m_lastAttemptError.clear();
    ScheduleAttempt();
    return true;
}

void CTcpAnsClient::StopRetrying() {
    m_retryTimer.stop();
    m_attemptTimer.stop();
    if (m_attempt) {
        QObject::disconnect(m_attempt.get(), nullptr, nullptr, nullptr);
        m_attempt->abort();
        m_attempt.release()->deleteLater();
    }
}

void CTcpAnsClient::ScheduleAttempt() {
    m_retryTimer.start(m_retryDelayMs);
    m_retryDelayMs = std::min(m_retryDelayMs * 2, kRetryCapMs);
}

void CTcpAnsClient::StartAttempt() {
    const std::string host = beliefs().get_string("ans");
    const int port = beliefs().get_int("ansport", kDefaultAnsPort);
    if (host.empty() || port <= 0 || port > 65535) {
        AttemptFailed("no name server address");
        return;
    }
    m_attempt = std::make_unique<QTcpSocket>();
    m_attemptFramer.Reset();
    QTcpSocket* socket = m_attempt.get();
    QObject::connect(socket, &QTcpSocket::connected, socket, [this] { AttemptConnected(); });
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this] { AttemptReadable(); });
    QObject::connect(socket, &QAbstractSocket::errorOccurred, socket,
                     [this, socket] { AttemptFailed(socket->errorString().toStdString()); });
    m_attemptTimer.start(m_connectMs + m_replyMs);
    socket->connectToHost(QString::fromStdString(host), static_cast<quint16>(port));
}

void CTcpAnsClient::AttemptConnected() {
    m_attempt->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const std::string text = registration_request(HostText(m_attempt->localAddress())) + "\n";
    m_attempt->write(text.data(), static_cast<qint64>(text.size()));
}

void CTcpAnsClient::AttemptReadable() {
    const QByteArray bytes = m_attempt->readAll();
    std::vector<std::string> messages;
    std::vector<std::string> diagnostics;
    m_attemptFramer.Feed(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), messages,
        diagnostics);
    m_attemptFramer.Flush(messages);
    if (messages.empty()) {
        return;
    }
    std::string why;
    if (!registration_accepted(messages.front(), why)) {
        const std::string reply = messages.front();
        AttemptFailed(why);
        registration_refused(reply);
        return;
    }
    m_attemptTimer.stop();
    QObject::disconnect(m_attempt.get(), nullptr, nullptr, nullptr);
    m_registration = std::move(m_attempt);
    HookRegistration();
    registration_restored();
}

void CTcpAnsClient::AttemptFailed(const std::string& why) {
    m_attemptTimer.stop();
    if (m_attempt) {
        QObject::disconnect(m_attempt.get(), nullptr, nullptr, nullptr);
        m_attempt->abort();
        m_attempt.release()->deleteLater();
    }
    // Said once per kind of failure, not at every attempt.
    if (why != m_lastAttemptError) {
        m_lastAttemptError = why;
        diagnostic("registering with the name server again failed (" + why + "); retrying");
    }
    ScheduleAttempt();
}

CNameServer* CTcpAnsClient::FindInProcess(const std::string& host, int port,
                                          QHostAddress* address) const {
    if (port <= 0 || port > 65535) {
        return nullptr;
    }
    const QString name = QString::fromStdString(host);
    QHostAddress parsed;
    if (!parsed.setAddress(name)) {
        if (name.compare("localhost", Qt::CaseInsensitive) == 0) {
            parsed = QHostAddress(QHostAddress::LocalHost);
        } else if (CNameServer::find_in_process(QHostAddress::Any, static_cast<quint16>(port)) ==
                   nullptr) {
            return nullptr; // no server of ours on that port: no need to resolve the name
        } else {
            const QHostInfo info = QHostInfo::fromName(name);
            if (info.addresses().isEmpty()) {
                return nullptr;
            }
            parsed = info.addresses().front();
        }
    }
    const bool local = parsed.isLoopback() || [&parsed] {
        for (const QHostAddress& own : QNetworkInterface::allAddresses()) {
            if (own.isEqual(parsed, QHostAddress::TolerantConversion)) {
                return true;
            }
        }
        return false;
    }();
    if (!local) {
        return nullptr;
    }
    *address = parsed;
    return CNameServer::find_in_process(parsed, static_cast<quint16>(port));
}

bool CTcpAnsClient::InProcessAlive() const {
    return m_inProcess && CNameServer::find_in_process(m_inProcess->address, m_inProcess->port) ==
                              m_inProcess->server;
}

namespace {

// A wait that ended without a socket error ran out of time (a wait in the event loop sets no
// time-out error of its own).
bool TimedOut(const QTcpSocket& socket) {
    return socket.error() == QAbstractSocket::SocketTimeoutError ||
           socket.error() == QAbstractSocket::UnknownSocketError;
}

// What a failed connection attempt says: the reason first, in the words the user knows.
std::string ConnectFailure(const QTcpSocket& socket, int connectMs) {
    if (TimedOut(socket)) {
        return "timeout: no connection within " + std::to_string(connectMs) + " ms";
    }
    const std::string detail = socket.errorString().toStdString();
    switch (socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return "refused: " + detail;
    case QAbstractSocket::HostNotFoundError:
        return "unknown host: " + detail;
    default:
        return detail;
    }
}

constexpr const char* kCancelled = "cancelled";

} // namespace

void CTcpAnsClient::cancel_wait() {
    m_cancelled = true;
    if (m_wait) {
        m_wait->quit();
    }
}

// Turns the event loop (without user input, unless the window asked for it) until one of the
// socket's signals, the time-out or a cancel; true when the signal came first.
template <class Signal>
bool CTcpAnsClient::WaitInEventLoop(QTcpSocket& socket, Signal signal, int ms) const {
    if (m_cancelled) {
        return false;
    }
    QEventLoop loop;
    bool signalled = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&socket, signal, &loop, [&] {
        signalled = true;
        loop.quit();
    });
    QObject::connect(&socket, &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
    timer.start(ms);
    QEventLoop* outer = m_wait;
    m_wait = &loop;
    loop.exec(m_userInputDuringWait ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    m_wait = outer;
    return signalled && !m_cancelled;
}

std::unique_ptr<QTcpSocket> CTcpAnsClient::Connect(const std::string& host, int port,
                                                   std::string& error) const {
    if (m_cancelled) {
        error = kCancelled;
        return nullptr;
    }
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QString::fromStdString(host), static_cast<quint16>(port));
    if (!WaitForConnected(*socket, m_connectMs)) {
        error = m_cancelled ? std::string(kCancelled) : ConnectFailure(*socket, m_connectMs);
        return nullptr;
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return socket;
}

bool CTcpAnsClient::WaitForConnected(QTcpSocket& socket, int ms) const {
    if (!m_waitInEventLoop) {
        return socket.waitForConnected(ms);
    }
    if (socket.state() == QAbstractSocket::ConnectedState) {
        return true;
    }
    return WaitInEventLoop(socket, &QAbstractSocket::connected, ms);
}

bool CTcpAnsClient::WaitForReadyRead(QTcpSocket& socket, int ms) const {
    if (!m_waitInEventLoop) {
        return socket.waitForReadyRead(ms);
    }
    return WaitInEventLoop(socket, &QIODevice::readyRead, ms);
}

std::optional<std::string> CTcpAnsClient::Exchange(QTcpSocket& socket, const std::string& text,
                                                   std::string& error) const {
    socket.write(text.data(), static_cast<qint64>(text.size()));
    socket.write("\n", 1);
    socket.flush();
    const QPointer<QTcpSocket> alive(&socket);
    CKqmlFramer framer;
    std::vector<std::string> messages;
    std::vector<std::string> diagnostics;
    QElapsedTimer clock;
    clock.start();
    while (messages.empty()) {
        const qint64 left = m_replyMs - clock.elapsed();
        if (left <= 0) {
            error = "timeout: no answer within " + std::to_string(m_replyMs) + " ms";
            return std::nullopt;
        }
        const bool ready =
            socket.bytesAvailable() > 0 || WaitForReadyRead(socket, static_cast<int>(left));
        // A wait that turns the event loop may see the registration's connection break and the
        // socket go: nothing of it is touched then.
        if (!alive) {
            error = "the name server closed the connection";
            return std::nullopt;
        }
        if (m_cancelled) {
            error = kCancelled;
            return std::nullopt;
        }
        if (!ready) {
            error = TimedOut(socket)
                        ? "timeout: no answer within " + std::to_string(m_replyMs) + " ms"
                        : socket.errorString().toStdString();
            return std::nullopt;
        }
        const QByteArray bytes = socket.readAll();
        framer.Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                    messages, diagnostics);
        framer.Flush(messages);
    }
    return messages.front();
}

bool CTcpAnsClient::open_registration(const std::string& host, int port, std::string& error) {
    close_registration();
    QHostAddress address;
    if (CNameServer* server = FindInProcess(host, port, &address)) {
        InProcess link;
        link.server = server;
        link.port = static_cast<quint16>(port);
        link.address = address;
        link.connection = server->registry().open_connection(address.toString().toStdString());
        m_inProcess = link;
        return true;
    }
    m_registration = Connect(host, port, error);
    if (!m_registration) {
        return false;
    }
    HookRegistration();
    return true;
}

void CTcpAnsClient::close_registration() {
    StopRetrying();
    if (m_inProcess) {
        if (InProcessAlive()) {
            m_inProcess->server->registry().close_connection(m_inProcess->connection);
        }
        m_inProcess.reset();
    }
    if (m_registration) {
        QObject::disconnect(m_registration.get(), nullptr, nullptr, nullptr);
        m_registration->abort();
        m_registration.reset();
    }
}

std::optional<std::string> CTcpAnsClient::request(const std::string& host, int port,
                                                  const std::string& text, bool onRegistration,
                                                  std::string& error) {
    if (onRegistration && m_inProcess) {
        if (!InProcessAlive()) {
            error = "the name server has stopped";
            return std::nullopt;
        }
        return m_inProcess->server->registry().handle_request(text, m_inProcess->connection);
    }
    if (onRegistration && m_registration) {
        return Exchange(*m_registration, text, error);
    }
    QHostAddress address;
    if (CNameServer* server = FindInProcess(host, port, &address)) {
        CNameRegistry& registry = server->registry();
        const CNameRegistry::ConnectionId once =
            registry.open_connection(address.toString().toStdString());
        std::string reply = registry.handle_request(text, once);
        registry.close_connection(once);
        return reply;
    }
    std::unique_ptr<QTcpSocket> socket = Connect(host, port, error);
    if (!socket) {
        return std::nullopt;
    }
    std::optional<std::string> reply = Exchange(*socket, text, error);
    socket->abort();
    return reply;
}

std::string CTcpAnsClient::registration_local_host() const {
    QHostAddress address;
    if (m_inProcess) {
        address = m_inProcess->address;
    } else if (m_registration) {
        address = m_registration->localAddress();
    }
    return HostText(address);
}

} // namespace halyx
