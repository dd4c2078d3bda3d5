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
#include <future>
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
    // table) and rewrites it after changes, once per batch: the changes of kSaveDelayMs are
    // written together, on a thread of its own, so that lookups never wait for the disk. False
    // with a reason when it cannot be read or is not a regular file (a FIFO, a device).
    bool set_state_file(const std::string& path, std::string& error);
    static constexpr int kSaveDelayMs = 200;
    // Tables written since the start (tests).
    std::size_t state_writes() const { return m_stateWrites; }
    // Writes what is not written yet and waits for it.
    void flush_state();

    CNameRegistry& registry() { return m_registry; }
    std::size_t connection_count() const { return m_connections.size(); }

    // The server of this process that listens on port (and on address, or on all addresses), or
    // nullptr.
    static CNameServer* find_in_process(const QHostAddress& address, quint16 port);

private:
    void Accept();
    void Log(const std::string& line);
    void StateChanged();
    // Starts writing the table when no write is under way; when one is, it is written again
    // once that one has finished.
    void SaveState();
    void SaveFinished();

    QTcpServer m_server;
    QTimer m_staleTimer;
    QTimer m_saveTimer;
    std::string m_statePath;
    std::string m_stateError;          // the last failure to save, said once
    std::future<std::string> m_saving; // the write under way: its error, "" when it succeeded
    bool m_stateDirty = false;
    std::size_t m_stateWrites = 0;
    CNameRegistry m_registry;
    std::map<CNameRegistry::ConnectionId, std::unique_ptr<CFramedSocket>> m_connections;
    std::function<void(const std::string&)> m_log;
};

} // namespace halyx
