#include "external/agentkit/net/framedsocket.h"

#include <QHostAddress>
#include <QTimer>

#include <vector>

namespace halyx {

namespace {
// A peer that floods must not hold the event loop (the window would freeze): each turn takes at
// most one slice of what has arrived and the rest waits for the next turn. Qt's read buffer is
// bounded as well, so that TCP slows the sender down instead of this process growing.
constexpr qint64 kReadSlice = 16 * 1024;
constexpr qint64 kReadBuffer = 1024 * 1024;
} // namespace

CFramedSocket::CFramedSocket(QTcpSocket* socket) : m_socket(socket) {
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket->setReadBufferSize(kReadBuffer);
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
    const QByteArray bytes = m_socket->read(kReadSlice);
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
    if (*alive && !m_closed && !m_moreScheduled && m_socket->bytesAvailable() > 0) {
        m_moreScheduled = true;
        QTimer::singleShot(0, m_socket, [this, alive] {
            if (*alive) {
                m_moreScheduled = false;
                ReadAvailable();
            }
        });
    }
}

void CFramedSocket::Closed(const std::string& why) {
    if (m_closed) {
        return;
    }
    m_closed = true;
    // Bytes that arrived with the close are still messages.
    const std::shared_ptr<bool> alive = m_alive;
    while (m_socket->bytesAvailable() > 0) {
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
