#include "mapserver/httpanswer.h"

#include <QTcpSocket>
#include <QTimer>

namespace halyx {

const char* HttpReason(int code) {
    switch (code) {
    case 200:
        return "OK";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 414:
        return "URI Too Long";
    case 431:
        return "Request Header Fields Too Large";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Error";
    }
}

std::string HttpHead(int code, std::string_view headers, std::size_t length, bool close) {
    std::string out = "HTTP/1.1 " + std::to_string(code) + " " + HttpReason(code) + "\r\n";
    out += headers;
    out += "Content-Length: " + std::to_string(length) + "\r\n";
    if (close) {
        out += "Connection: close\r\n";
    }
    out += "\r\n";
    return out;
}

QTimer* WatchConnection(QTcpSocket* socket, int ms) {
    QObject::connect(socket, &QTcpSocket::errorOccurred, socket,
                     [socket](QAbstractSocket::SocketError) {
                         if (socket->state() != QAbstractSocket::UnconnectedState) {
                             socket->abort();
                         }
                     });
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(ms);
    idle->start();
    return idle;
}

} // namespace halyx
