#include "external/agentkit/net/acceptguard.h"

#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <memory>

namespace halyx {

namespace {

struct Shortage {
    bool on = false;
    std::function<void(const std::string&)> log;
};

// Listens again on a copy of the listening socket's descriptor: the socket (and the connections
// waiting on it) lives on, Qt's error state does not. False while no descriptor is free.
bool Renew(QTcpServer& server) {
    const qintptr descriptor = server.socketDescriptor();
    if (descriptor < 0) {
        return false;
    }
    const int copy = ::fcntl(static_cast<int>(descriptor), F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        return false;
    }
    server.close();
    if (!server.setSocketDescriptor(copy)) {
        ::close(copy);
        return false;
    }
    return true;
}

} // namespace

void KeepAcceptingThroughShortages(QTcpServer& server, std::function<void(const std::string&)> log,
                                   int pauseMs) {
    auto shortage = std::make_shared<Shortage>();
    shortage->log = std::move(log);
    QObject::connect(&server, &QTcpServer::acceptError, &server,
                     [&server, shortage, pauseMs](QAbstractSocket::SocketError) {
                         server.pauseAccepting();
                         if (!shortage->on) {
                             shortage->on = true;
                             if (shortage->log) {
                                 shortage->log("cannot accept connections (" +
                                               server.errorString().toStdString() +
                                               "); trying again shortly");
                             }
                         }
                         QTimer::singleShot(pauseMs, &server, [&server] {
                             if (!Renew(server)) {
                                 server.resumeAccepting();
                             }
                         });
                     });
    // Connected before the owner's own handler takes the connections.
    QObject::connect(&server, &QTcpServer::newConnection, &server, [shortage] {
        if (shortage->on) {
            shortage->on = false;
            if (shortage->log) {
                shortage->log("accepting connections again");
            }
        }
    });
}

} // namespace halyx
