#pragma once

// A TCP connection that carries KQML messages: bytes in are cut into messages by a CKqmlFramer,
// messages out are written with their newline. Owners may destroy it from inside any of its
// callbacks; the socket itself is then deleted by the event loop.
//
// Incoming work is done in bounded batches: at most kReadBytesPerTurn bytes are read and at most
// kMessagesPerTurn messages handed on per turn of the event loop; the rest waits for the next
// turn, so that the clock's timer and the other connections run in between however fast a peer
// sends. The socket buffers at most kReadBufferBytes; past that TCP holds the sender back. A
// close is reported once every message that arrived before it was handed on.
//
//   auto link = std::make_unique<CFramedSocket>(socket);
//   link->on_message = [](const std::string& text) { ... };
//   link->on_closed = [](const std::string& why) { ... };
//   link->send("(tell :status ok)");

#include "external/kqml/framer.h"

#include <QTcpSocket>

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace halyx {

class CFramedSocket {
public:
    static constexpr qint64 kReadBytesPerTurn = 64 * 1024;
    static constexpr std::size_t kMessagesPerTurn = 128;
    static constexpr qint64 kReadBufferBytes = 1024 * 1024;

    // Takes ownership of socket. A message larger than maxMessageBytes is cut there.
    explicit CFramedSocket(QTcpSocket* socket, std::size_t maxMessageBytes = kKqmlMaxMessageBytes);
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
    // One batch: frames what is waiting (up to the byte budget), hands on up to the message
    // budget, and asks for another turn while anything is left.
    void ReadAvailable();
    void ContinueLater();
    void Closed(const std::string& why);
    void FinishClose();

    QTcpSocket* m_socket;
    CKqmlFramer m_framer;
    std::deque<std::string> m_framed;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_closed = false;
    bool m_closeReported = false;
    bool m_continuing = false;
    std::string m_closeReason;
};

} // namespace halyx
