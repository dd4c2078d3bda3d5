#pragma once

// A TCP connection that carries KQML messages: bytes in are cut into messages by a CKqmlFramer,
// messages out are written with their newline. Owners may destroy it from inside any of its
// callbacks; the socket itself is then deleted by the event loop.
//
//   auto link = std::make_unique<CFramedSocket>(socket);
//   link->on_message = [](const std::string& text) { ... };
//   link->on_closed = [](const std::string& why) { ... };
//   link->send("(tell :status ok)");

#include "external/kqml/framer.h"

#include <QTcpSocket>

#include <functional>
#include <memory>
#include <string>

namespace halyx {

class CFramedSocket {
public:
    // Takes ownership of socket.
    explicit CFramedSocket(QTcpSocket* socket);
    CFramedSocket(const CFramedSocket&) = delete;
    CFramedSocket& operator=(const CFramedSocket&) = delete;
    ~CFramedSocket();

    std::function<void(const std::string& text)> on_message;
    std::function<void(const std::string& line)> on_diagnostic;
    // Connected (for an outgoing connection).
    std::function<void()> on_connected;
    // Closed by the peer, or failed; why is a readable reason.
    std::function<void(const std::string& why)> on_closed;

    // Writes text and a newline; false when the connection is not open.
    bool send(const std::string& text);
    qint64 bytes_to_write() const { return m_socket->bytesToWrite(); }
    QTcpSocket* socket() const { return m_socket; }
    std::string peer() const;

private:
    void ReadAvailable();
    void Closed(const std::string& why);

    QTcpSocket* m_socket;
    CKqmlFramer m_framer;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_closed = false;
    bool m_moreScheduled = false;
};

} // namespace halyx
