#pragma once

// A raw client for the tests of the servers (HTTP, and the name server's line protocol): a request
// goes out exactly as written (a hostile path or head reaches the server as a client sent it) and
// the answer is read as bytes, blocking on the socket (the servers run threads of their own).

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>

#include <memory>
#include <string>

namespace halyx::test {

// A connection to port on host, connected unless the host refused it within 5 s.
inline std::unique_ptr<QTcpSocket> RawConnect(quint16 port,
                                              const QHostAddress& host = QHostAddress::LocalHost) {
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(host, port);
    socket->waitForConnected(5000);
    return socket;
}

// Reads into in until it holds what (with what empty: until the peer closes) or ms pass.
inline std::string& RawReadUntil(QTcpSocket& socket, std::string& in, const std::string& what = "",
                                 int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while ((what.empty() || in.find(what) == std::string::npos) && timer.elapsed() < ms &&
           socket.state() == QAbstractSocket::ConnectedState) {
        socket.waitForReadyRead(20);
        in += socket.readAll().toStdString();
    }
    in += socket.readAll().toStdString();
    return in;
}

// Sends request on a connection of its own and answers what came back (see RawReadUntil).
inline std::string RawExchange(quint16 port, const std::string& request,
                               const std::string& until = "", int ms = 5000,
                               const QHostAddress& host = QHostAddress::LocalHost) {
    const auto socket = RawConnect(port, host);
    std::string in;
    if (socket->state() == QAbstractSocket::ConnectedState) {
        socket->write(request.data(), static_cast<qint64>(request.size()));
        RawReadUntil(*socket, in, until, ms);
    }
    return in;
}

// The status code of an answer, 0 when there is none.
inline int HttpStatus(const std::string& answer) {
    return answer.size() > 12 && answer.starts_with("HTTP/1.") ? std::stoi(answer.substr(9, 3)) : 0;
}

} // namespace halyx::test
