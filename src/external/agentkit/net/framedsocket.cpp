#include "external/agentkit/net/framedsocket.h"

#include <QHostAddress>
#include <QMetaObject>

#include <vector>

namespace halyx {

CFramedSocket::CFramedSocket(QTcpSocket* socket, std::size_t maxMessageBytes)
    : m_socket(socket), m_framer(maxMessageBytes) {
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket->setReadBufferSize(kReadBufferBytes);
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
    // New bytes while a batch waits for its turn: that turn reads them too, one batch per turn.
    if (m_closeReported || m_continuing) {
        return;
    }
    if (m_framed.empty() && m_socket->bytesAvailable() > 0) {
        std::vector<std::string> messages;
        std::vector<std::string> diagnostics;
        const QByteArray bytes = m_socket->read(kReadBytesPerTurn);
        m_framer.Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                      messages, diagnostics);
        // A message waits for the byte after it; when none is waiting, it goes on now.
        if (m_socket->bytesAvailable() == 0) {
            m_framer.Flush(messages);
        }
        for (std::string& text : messages) {
            m_framed.push_back(std::move(text));
        }
        // A handler may destroy this object; nothing of it is touched once that happened.
        const std::shared_ptr<bool> alive = m_alive;
        for (const std::string& line : diagnostics) {
            if (on_diagnostic) {
                auto handler = on_diagnostic;
                handler(peer() + ": " + line);
            }
            if (!*alive) {
                return;
            }
        }
    }
    const std::shared_ptr<bool> alive = m_alive;
    for (std::size_t handed = 0; handed < kMessagesPerTurn && !m_framed.empty(); ++handed) {
        const std::string text = std::move(m_framed.front());
        m_framed.pop_front();
        if (on_message) {
            auto handler = on_message;
            handler(text);
        }
        if (!*alive) {
            return;
        }
    }
    if (!m_framed.empty() || m_socket->bytesAvailable() > 0) {
        ContinueLater();
    } else if (m_closed) {
        FinishClose();
    }
}

void CFramedSocket::ContinueLater() {
    if (m_continuing) {
        return;
    }
    m_continuing = true;
    // A queued call runs after the timers and sockets that are due: the next batch waits its
    // turn.
    const std::shared_ptr<bool> alive = m_alive;
    QMetaObject::invokeMethod(
        m_socket,
        [this, alive] {
            if (!*alive) {
                return;
            }
            m_continuing = false;
            ReadAvailable();
        },
        Qt::QueuedConnection);
}

void CFramedSocket::Closed(const std::string& why) {
    if (m_closed) {
        return;
    }
    m_closed = true;
    m_closeReason = why;
    // Bytes that arrived with the close are still messages: the close is reported after them.
    if (!m_framed.empty() || m_socket->bytesAvailable() > 0) {
        ContinueLater();
        return;
    }
    FinishClose();
}

void CFramedSocket::FinishClose() {
    if (m_closeReported) {
        return;
    }
    m_closeReported = true;
    std::string reason = m_closeReason;
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
