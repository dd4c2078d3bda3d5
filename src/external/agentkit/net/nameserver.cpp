#include "external/agentkit/net/nameserver.h"

#include "external/agentkit/net/acceptguard.h"
#include "external/agentkit/net/framedsocket.h"

#include <QFile>
#include <QSaveFile>
#include <QTcpSocket>
#include <QTimer>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace halyx {

namespace {

// Names whose owners did not come back are dropped a few hundred at a time, the requests that
// wait answered between the steps.
constexpr std::size_t kDropStep = 500;

void DropStaleStep(CNameRegistry& registry, QObject& context) {
    if (registry.drop_stale(CNameRegistry::Clock::now(), kDropStep) == kDropStep) {
        QTimer::singleShot(0, &context,
                           [&registry, &context] { DropStaleStep(registry, context); });
    }
}

std::vector<CNameServer*>& InProcessServers() {
    static std::vector<CNameServer*> servers;
    return servers;
}

} // namespace

CNameServer::CNameServer() {
    InProcessServers().push_back(this);
    KeepAcceptingThroughShortages(m_server, [this](const std::string& line) { Log(line); });
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { Accept(); });
    m_registry.set_change_observer([this](const std::string& line) {
        Log(line);
        StateChanged();
    });
    m_saveTimer.setSingleShot(true);
    QObject::connect(&m_saveTimer, &QTimer::timeout, &m_server, [this] {
        if (m_saving.valid()) {
            SaveFinished();
        } else {
            SaveState();
        }
    });
    m_staleTimer.setInterval(1000);
    QObject::connect(&m_staleTimer, &QTimer::timeout, &m_server,
                     [this] { DropStaleStep(m_registry, m_server); });
}

bool CNameServer::set_state_file(const std::string& path, std::string& error) {
    // Looked at before it is opened: opening a FIFO for reading waits for a writer, for ever.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        error = path + " is not a regular file";
        return false;
    }
    QFile file(QString::fromStdString(path));
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            error = "cannot read " + path + ": " + file.errorString().toStdString();
            return false;
        }
        // A saved table is a few lines per agent; anything far larger is not one.
        const QByteArray text = file.read(qint64{16} << 20);
        std::string why;
        if (!m_registry.load_state(
                std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                CNameRegistry::Clock::now(), why)) {
            error = path + ": " + why;
            return false;
        }
    }
    m_statePath = path;
    m_staleTimer.start();
    StateChanged();
    return true;
}

void CNameServer::StateChanged() {
    if (m_statePath.empty()) {
        return;
    }
    m_stateDirty = true;
    if (!m_saveTimer.isActive()) {
        m_saveTimer.start(kSaveDelayMs);
    }
}

namespace {

// Written whole to a temporary file and renamed over the old one, so that a crash in the
// middle leaves the previous table rather than half of one.
std::string WriteTable(const std::string& path, const std::string& text) {
    QSaveFile file(QString::fromStdString(path));
    const bool ok = file.open(QIODevice::WriteOnly) &&
                    file.write(text.data(), static_cast<qint64>(text.size())) ==
                        static_cast<qint64>(text.size()) &&
                    file.commit();
    return ok ? std::string() : file.errorString().toStdString();
}

} // namespace

void CNameServer::SaveState() {
    if (m_statePath.empty() || m_saving.valid() || !m_stateDirty) {
        return;
    }
    m_stateDirty = false;
    ++m_stateWrites;
    m_saving = std::async(std::launch::async, WriteTable, m_statePath, m_registry.save_state());
    m_saveTimer.start(kSaveDelayMs);
}

void CNameServer::SaveFinished() {
    if (m_saving.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        m_saveTimer.start(kSaveDelayMs);
        return;
    }
    const std::string error = m_saving.get();
    if (error != m_stateError && !error.empty()) {
        Log("cannot save the registrations to " + m_statePath + ": " + error);
    }
    m_stateError = error;
    SaveState();
}

void CNameServer::flush_state() {
    for (int round = 0; round < 3 && (m_saving.valid() || m_stateDirty); ++round) {
        if (!m_saving.valid()) {
            SaveState();
        }
        if (m_saving.valid()) {
            m_saving.wait();
            SaveFinished();
        }
    }
    m_saveTimer.stop();
}

CNameServer::~CNameServer() {
    flush_state();
    auto& servers = InProcessServers();
    servers.erase(std::remove(servers.begin(), servers.end(), this), servers.end());
    m_connections.clear();
}

bool CNameServer::listen(const QHostAddress& address, quint16 port, std::string& error) {
    if (!m_server.listen(address, port)) {
        error = m_server.errorString().toStdString();
        return false;
    }
    return true;
}

void CNameServer::set_log(std::function<void(const std::string&)> log) {
    m_log = std::move(log);
}

void CNameServer::Log(const std::string& line) {
    if (m_log) {
        m_log(line);
    }
}

CNameServer* CNameServer::find_in_process(const QHostAddress& address, quint16 port) {
    for (CNameServer* server : InProcessServers()) {
        if (!server->m_server.isListening() || server->port() != port) {
            continue;
        }
        const QHostAddress bound = server->address();
        if (bound == QHostAddress::Any || bound == QHostAddress::AnyIPv4 ||
            bound == QHostAddress::AnyIPv6 ||
            bound.isEqual(address, QHostAddress::TolerantConversion)) {
            return server;
        }
    }
    return nullptr;
}

void CNameServer::Accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_connections.size() >= kMaxNameServerConnections) {
            Log("connection from " + socket->peerAddress().toString().toStdString() +
                " refused: too many connections");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        QHostAddress peerAddress = socket->peerAddress();
        bool isV4 = false;
        const quint32 v4 = peerAddress.toIPv4Address(&isV4);
        if (isV4) {
            peerAddress = QHostAddress(v4);
        }
        const CNameRegistry::ConnectionId id =
            m_registry.open_connection(peerAddress.toString().toStdString());
        auto link = std::make_unique<CFramedSocket>(socket);
        CFramedSocket* raw = link.get();
        raw->on_message = [this, id, raw](const std::string& text) {
            const std::string reply = m_registry.handle_request(text, id);
            if (reply.rfind("(sorry", 0) == 0) {
                Log("refused from " + raw->peer() + ": " + reply);
            }
            raw->send(reply);
        };
        raw->on_diagnostic = [this](const std::string& line) { Log(line); };
        raw->on_closed = [this, id](const std::string& /*why*/) {
            m_registry.close_connection(id);
            // Not destroyed here: this runs inside the connection's own handler.
            QTimer::singleShot(0, &m_server, [this, id] { m_connections.erase(id); });
        };
        m_connections.emplace(id, std::move(link));
    }
}

} // namespace halyx
