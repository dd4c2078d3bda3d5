#pragma once

// What the console's map server and a station's web seats share as small HTTP/1.1 servers: the
// head of an answer and the way an accepted connection is watched.
//
//   socket->write(HttpHead(200, "Content-Type: text/plain\r\n", body.size(), false) + body);
//   QTimer* idle = WatchConnection(socket, idleMs); // connect its timeout to end the peer

#include <cstddef>
#include <string>
#include <string_view>

class QTcpSocket;
class QTimer;

namespace halyx {

// The reason phrase of a status code ("Error" for one these servers do not answer with).
const char* HttpReason(int code);

// The status line, the header lines given (each with its "\r\n"), Content-Length and, with close,
// "Connection: close"; then the blank line. The body is the caller's to append.
std::string HttpHead(int code, std::string_view headers, std::size_t length, bool close);

// Aborts the connection on any socket error, so that its disconnected comes at once, and returns
// its single-shot idle timer, started with ms (owned by the socket; what its timeout does is the
// caller's).
QTimer* WatchConnection(QTcpSocket* socket, int ms);

} // namespace halyx
