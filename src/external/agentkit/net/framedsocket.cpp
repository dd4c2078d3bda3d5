#include "external/agentkit/net/framedsocket.h"

#include <QHostAddress>

#include <vector>

namespace halyx {

CFramedSocket::CFramedSocket(QTcpSocket* socket) : m_socket(socket) {
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QObject::connect(m_socket, &QTcpSocket::readyRead, m_socket, [this] { ReadAvailable(); });
    QObject::connect(m_socket, &QTcpSocket::connected, m_socket, [this] {
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        if (on_connected) {
            auto handler = on_connected;
            handler();
        }
    });
    QObject::connect(m_socket, &QTcpSocket::disconnected, m_socket,
                     [this] { Closed("connection closed by the peer"); });
    QObject::connect(m_socket, &QTcpSocket::errorOccurred, m_socket,
                     [this](QAbstractSocket::SocketError error) {
                         if (error == QAbstractSocket::RemoteHostClosedError) {
                             return; // disconnected() follows
                         }
                         Closed(m_socket->errorString().toStdString());
                     });
}

CFramedSocket::~CFramedSocket() {
    *m_alive = false;
    QObject::disconnect(m_socket, nullptr, nullptr, nullptr);
    m_socket->abort();
    m_socket->deleteLater();
}

std::string CFramedSocket::peer() const {
    return m_socket->peerAddress().toString().toStdString() + ":" +
           std::to_string(m_socket->peerPort());
}

bool CFramedSocket::send(const std::string& text) {
    if (m_closed || m_socket->state() != QAbstractSocket::ConnectedState) {
        return false;
    }
    m_socket->write(text.data(), static_cast<qint64>(text.size()));
    m_socket->write("\n", 1);
    return true;
}

void CFramedSocket::ReadAvailable() {
    std::vector<std::string> messages;
    std::vector<std::string> diagnostics;
    const QByteArray bytes = m_socket->readAll();
    m_framer.Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                  messages, diagnostics);
    // A handler may destroy this object; nothing of it is touched once that happened.
    const std::shared_ptr<bool> alive = m_alive;
    for (const std::string& line : diagnostics) {
        if (!*alive) {
            return;
        }
        if (on_diagnostic) {
            auto handler = on_diagnostic;
            handler(peer() + ": " + line);
        }
    }
    for (const std::string& text : messages) {
        if (!*alive) {
            return;
        }
        if (on_message) {
            auto handler = on_message;
            handler(text);
        }
    }
}

void CFramedSocket::Closed(const std::string& why) {
    if (m_closed) {
        return;
    }
    m_closed = true;
    // Bytes that arrived with the close are still messages.
    if (m_socket->bytesAvailable() > 0) {
        const std::shared_ptr<bool> alive = m_alive;
        ReadAvailable();
        if (!*alive) {
            return;
        }
    }
    std::string reason = why;
    if (m_framer.InMessage()) {
        reason += "; a message in progress was lost (" + std::to_string(m_framer.PendingBytes()) +
                  " bytes)";
        m_framer.Reset();
    }
    if (on_closed) {
        auto handler = on_closed;
        handler(reason);
    }
}

} // namespace halyx
