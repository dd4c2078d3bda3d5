#pragma once

// The agent name server over TCP, embeddable in any program with a Qt event loop (halyx-ans
// runs one; a console may run its own). Requests and replies are those of CNameRegistry, one
// KQML list per line; a registration ends when the connection that made it closes.
//
//   CNameServer server;
//   server.set_log([](const std::string& line) { std::puts(line.c_str()); });
//   if (!server.listen(QHostAddress::Any, 6677, error)) fail(error);
//
// An agent in the same process that registers with this server is answered directly, without
// a socket, so that its waiting for the answer cannot block the server (see tcpansclient.h).

#include "external/agentkit/nameregistry.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace halyx {

class CFramedSocket;

// Every registered agent holds one connection; lookups hold one briefly.
inline constexpr std::size_t kMaxNameServerConnections = 1024;

class CNameServer {
public:
    CNameServer();
    CNameServer(const CNameServer&) = delete;
    CNameServer& operator=(const CNameServer&) = delete;
    ~CNameServer();

    bool listen(const QHostAddress& address, quint16 port, std::string& error);
    quint16 port() const { return m_server.serverPort(); }
    QHostAddress address() const { return m_server.serverAddress(); }

    // One line per registration change and per refused or malformed request.
    void set_log(std::function<void(const std::string& line)> log);

    // Keeps the registrations in path across a restart: loads it now (a missing file is an empty
    // table) and rewrites it after every change. False with a reason when it cannot be read.
    bool set_state_file(const std::string& path, std::string& error);

    CNameRegistry& registry() { return m_registry; }
    std::size_t connection_count() const { return m_connections.size(); }

    // The server of this process that listens on port (and on address, or on all addresses), or
    // nullptr.
    static CNameServer* find_in_process(const QHostAddress& address, quint16 port);

private:
    void Accept();
    void Log(const std::string& line);
    void SaveState();

    QTcpServer m_server;
    QTimer m_staleTimer;
    std::string m_statePath;
    std::string m_stateError; // the last failure to save, said once
    CNameRegistry m_registry;
    std::map<CNameRegistry::ConnectionId, std::unique_ptr<CFramedSocket>> m_connections;
    std::function<void(const std::string&)> m_log;
};

} // namespace halyx
