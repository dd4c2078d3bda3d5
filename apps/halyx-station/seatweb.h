#pragma once

// The web seats of halyx-station: serves each seat's page, a stream of the seat's state, and
// the subject's actions, over plain HTTP on one port. A seat's agent stays in this program, so
// to the console a web seat is a station like any other.
//
//   GET  /seat/NAME?key=KEY                the page (403 without the seat's key)
//   GET  /seat/NAME/events?key=KEY&b=ID    server-sent events: the whole state at once, then
//                                          numbered updates; b names the browser
//   POST /seat/NAME/act?key=KEY&b=ID       one action, a small JSON object with the page's id
//   GET  /seat/NAME/map.png?key=KEY&v=V    the seat's map picture (404 until it is drawn); the
//                                          state's map.v names it, so a page's cache holds it
//   GET  /assets/FILE                      the page's modules and style (no secrets in them)
//
// Everything is bounded: request heads (16 KiB), action bodies (4 KiB), connections, idle
// time, and a stream whose reader falls behind by more than a few states is closed (its page
// reconnects and takes the whole state again). It runs on the program's event loop and never
// waits: sockets are written without blocking, and a seat's state is made once per change.

#include "seatagent.h"
#include "seatmaps.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

class QTcpServer;
class QTcpSocket;

namespace halyx {

class CSeatWeb : public QObject {
public:
    using LineSink = std::function<void(const std::string& line)>;

    struct Limits {
        int maxConnections = 256;
        int idleMs = 30000;
        // A comment on every stream this often, so that proxies and the page see it alive.
        int pingMs = 20000;
        qint64 maxBodyBytes = 4096;
        // Bytes a stream may have waiting for its reader before it is closed.
        qint64 streamQueueBytes = qint64{4} << 20;
        // A seat whose stream has been gone this long is told to the console as away; a reload
        // comes back sooner.
        int awayAfterMs = 3000;
        // Action ids remembered per seat, so that a re-sent action is answered, not repeated.
        std::size_t rememberedActions = 4096;
    };

    explicit CSeatWeb(LineSink log) : CSeatWeb(std::move(log), Limits()) {}
    CSeatWeb(LineSink log, Limits limits);
    ~CSeatWeb() override;

    // The seat gets a fresh key of 128 random bits; false when the system gives no random bytes.
    bool AddSeat(CSeatAgent& agent);
    bool Listen(const QHostAddress& address, quint16 port, std::string& error);
    quint16 Port() const;
    // http://HOST:PORT/seat/NAME?key=KEY
    std::string AddressOf(const std::string& seat, const std::string& host) const;
    // Where the seats' map pictures come from; each page is told when its picture is ready.
    void SetMaps(CSeatMaps& maps);

private:
    struct Connection;
    struct WebSeat;

    void Accept();
    void Read(QTcpSocket* socket);
    void Answer(QTcpSocket* socket, Connection& c, const std::string& method,
                const std::string& target, const std::string& etag, const std::string& body);
    void ServeMap(QTcpSocket* socket, Connection& c, WebSeat& seat, std::string_view query,
                  const std::string& etag);
    const CSeatMapPicture* PictureOf(WebSeat& seat);
    void OpenStream(QTcpSocket* socket, Connection& c, WebSeat& seat, const std::string& browser);
    void Act(QTcpSocket* socket, Connection& c, WebSeat& seat, const std::string& body);
    void Publish(WebSeat& seat);
    void StreamGone(WebSeat& seat);
    void Send(QTcpSocket* socket, Connection& c, const std::string& bytes, bool close);
    void Closed(QTcpSocket* socket);
    Connection* Find(QTcpSocket* socket);

    LineSink m_log;
    Limits m_limits;
    std::unique_ptr<QTcpServer> m_tcp;
    std::map<QTcpSocket*, std::unique_ptr<Connection>> m_connections;
    std::map<std::string, std::unique_ptr<WebSeat>> m_seats;
    QTimer m_ping;
    CSeatMaps* m_maps = nullptr;
};

} // namespace halyx
