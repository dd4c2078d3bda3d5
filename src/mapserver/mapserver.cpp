#include "mapserver/mapserver.h"

#include "external/maplib/maptext.h"
#include "mapserver/httpanswer.h"
#include "mapserver/httprequestreader.h"
#include "mapserver/mappath.h"
#include "mapserver/observeraccess.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace halyx {

namespace {

namespace fs = std::filesystem;

std::string Canonical(const fs::path& path) {
    std::error_code ec;
    const fs::path real = fs::canonical(path, ec);
    return ec ? std::string() : real.generic_string();
}

bool IsRegularFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// Inside folder: the folder's real path followed by a separator.
bool IsInside(const std::string& canonicalFile, const std::string& canonicalFolder) {
    std::string prefix = canonicalFolder;
    if (prefix.empty() || prefix.back() != '/') {
        prefix += '/';
    }
    return canonicalFile.size() > prefix.size() && canonicalFile.starts_with(prefix);
}

// The test stations apply before reading a map: its first line is a map-data header line.
bool HoldsMapData(std::string_view text) {
    return text.starts_with(kMapMarker11) || text.starts_with(kMapMarker12);
}

// The head, then the body unless the request was HEAD (appended in place: a map is large).
std::string Answer(std::string head, const std::string& body, bool withBody) {
    if (withBody) {
        head += body;
    }
    return head;
}

std::string Response(int code, const std::string& body, bool withBody, bool close,
                     std::size_t length) {
    std::string headers = code == 200 ? "Content-Type: text/plain; charset=utf-8\r\n"
                                      : "Content-Type: text/plain\r\n";
    if (code == 405) {
        headers += "Allow: GET, HEAD\r\n";
    }
    return Answer(HttpHead(code, headers, length, close), body, withBody);
}

// An answer to HEAD carries the headers alone: a client that keeps the connection would take a
// body for the start of the next answer.
std::string ErrorResponse(int code, const std::string& text, bool close, bool withBody = true) {
    return Response(code, text, withBody, close, text.size());
}

// The observer page: its script and style are inline and it talks to this server only; the key
// in its address is not handed on to anywhere it links.
std::string PageResponse(const std::string& html, bool withBody, bool close) {
    return Answer(
        HttpHead(200,
                 "Content-Type: text/html; charset=utf-8\r\n"
                 "Cache-Control: no-store\r\n"
                 "Referrer-Policy: no-referrer\r\n"
                 "X-Content-Type-Options: nosniff\r\n"
                 "Content-Security-Policy: default-src 'none'; script-src 'unsafe-inline'; "
                 "style-src 'unsafe-inline'; connect-src 'self'; img-src 'self' data:; "
                 "frame-ancestors 'none'\r\n",
                 html.size(), close),
        html, withBody);
}

std::string MapPictureResponse(const std::string& png, bool withBody, bool close) {
    // Its address changes with the picture: a browser may keep it.
    return Answer(HttpHead(200,
                           "Content-Type: image/png\r\n"
                           "Cache-Control: private, max-age=86400\r\n"
                           "X-Content-Type-Options: nosniff\r\n",
                           png.size(), close),
                  png, withBody);
}

// A stream has no length: it ends when the connection does.
constexpr std::string_view kStreamHead = "HTTP/1.1 200 OK\r\n"
                                         "Content-Type: text/event-stream; charset=utf-8\r\n"
                                         "Cache-Control: no-store\r\n"
                                         "Connection: close\r\n"
                                         "\r\n"
                                         "retry: 2000\n\n";

// One server-sent event; every line of the text becomes a data line, so that a line break in it
// cannot end the event early or start a field of its own.
std::string StateEvent(const char* name, const std::string& json) {
    std::string out = "event: ";
    out += name;
    out += '\n';
    std::size_t start = 0;
    while (start <= json.size()) {
        std::size_t end = json.find('\n', start);
        if (end == std::string::npos) {
            end = json.size();
        }
        std::string_view line(json.data() + start, end - start);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        out += "data: ";
        out += line;
        out += '\n';
        start = end + 1;
    }
    out += '\n';
    return out;
}

// An answer of more bytes than this waiting for a slow reader stops the reading of further
// requests even below the count limit, so that a few large maps cannot pile up either.
constexpr qint64 kMaxPendingBytes = qint64{8} << 20;

} // namespace

// The part of the server that lives on its own thread: the listening socket and the
// connections. Created and destroyed on that thread.
class CMapServerWorker {
public:
    explicit CMapServerWorker(CMapServer& owner)
        : m_owner(owner), m_tcp(std::make_unique<QTcpServer>()) {
        Hook();
        QObject::connect(&m_heartbeat, &QTimer::timeout, &m_heartbeat, [this] { Heartbeat(); });
        m_resume.setSingleShot(true);
        QObject::connect(&m_resume, &QTimer::timeout, &m_resume, [this] {
            if (!Renew()) {
                m_tcp->resumeAccepting();
            }
        });
    }

    ~CMapServerWorker() {
        for (auto& [socket, connection] : m_connections) {
            QObject::disconnect(socket, nullptr, nullptr, nullptr);
            socket->abort();
            delete socket;
        }
        m_owner.m_open.store(0);
        m_owner.m_streams.store(0);
    }

    // A new state was published: every stream that has room gets it now, the others when their
    // reader has caught up.
    void PushState() {
        m_owner.m_pushQueued.store(false);
        const CMapServer::ObserverSnapshot snapshot = m_owner.Observer();
        for (QTcpSocket* socket : m_streams) {
            if (Connection* c = Find(socket)) {
                Offer(socket, *c, snapshot);
            }
        }
    }

    bool Listen(const QHostAddress& address, quint16 port, std::string& error) {
        if (!m_tcp->listen(address, port)) {
            error = "cannot listen on " + address.toString().toStdString() + ":" +
                    std::to_string(port) + ": " + m_tcp->errorString().toStdString();
            return false;
        }
        m_owner.m_port.store(m_tcp->serverPort());
        return true;
    }

private:
    struct Connection {
        std::string input;
        // Bytes of each answer not yet handed to the system, oldest first.
        std::deque<qint64> pending;
        qint64 pendingBytes = 0;
        bool closing = false;
        bool asked = false; // a whole request came in
        std::string address;
        std::uint64_t serial = 0; // order of acceptance
        QTimer* idle = nullptr;
        // An observer stream: no further requests are read, states are written as they come.
        bool stream = false;
        std::uint64_t sent = 0; // the number of the last state written to the stream
    };

    void Hook() {
        QObject::connect(m_tcp.get(), &QTcpServer::newConnection, m_tcp.get(),
                         [this] { Accept(); });
        QObject::connect(m_tcp.get(), &QTcpServer::acceptError, m_tcp.get(),
                         [this](QAbstractSocket::SocketError) { AcceptFailed(); });
    }

    // Qt keeps the first error of a listening socket for good: after one failed accept, every
    // later batch of connections would end in the same error and another pause. A fresh server
    // object over the same listening socket starts clean; false while no descriptor is free.
    bool Renew() {
        const qintptr descriptor = m_tcp->socketDescriptor();
        if (descriptor < 0) {
            return false;
        }
        const int copy = ::fcntl(static_cast<int>(descriptor), F_DUPFD_CLOEXEC, 0);
        if (copy < 0) {
            return false;
        }
        auto fresh = std::make_unique<QTcpServer>();
        if (!fresh->setSocketDescriptor(copy)) {
            ::close(copy);
            return false;
        }
        m_tcp = std::move(fresh); // the old object closes only its own descriptor
        Hook();
        return true;
    }

    void Accept() {
        const CMapServer::Limits limits = m_owner.GetLimits();
        while (QTcpSocket* socket = m_tcp->nextPendingConnection()) {
            if (m_outOfDescriptors) {
                m_outOfDescriptors = false;
                m_owner.Log("accepting connections again");
            }
            const std::string address = PeerAddress(*socket);
            const auto from = m_perAddress.find(address);
            const bool addressFull =
                from != m_perAddress.end() && from->second >= limits.maxPerAddress;
            if (addressFull ||
                (static_cast<int>(m_connections.size()) >= limits.maxConnections && !MakeRoom())) {
                ++m_owner.m_refused;
                socket->abort();
                socket->deleteLater();
                continue;
            }
            Open(socket, address, limits);
        }
    }

    // Out of file descriptors (or another resource): the listening socket stays readable, so
    // accepting on would spin. Qt has paused it; take up again after a moment.
    void AcceptFailed() {
        m_tcp->pauseAccepting();
        if (!m_outOfDescriptors) {
            m_outOfDescriptors = true;
            m_owner.Log("cannot accept connections (" + m_tcp->errorString().toStdString() +
                        "); trying again shortly");
        }
        m_resume.start(m_owner.GetLimits().acceptPauseMs);
    }

    static std::string PeerAddress(const QTcpSocket& socket) {
        QHostAddress peer = socket.peerAddress();
        bool isV4 = false;
        const quint32 v4 = peer.toIPv4Address(&isV4);
        return (isV4 ? QHostAddress(v4) : peer).toString().toStdString();
    }

    // All connections are taken: the oldest one that has not sent a request yet is closed, so
    // that clients that only connect cannot lock out those that ask. False when every
    // connection has asked something.
    bool MakeRoom() {
        QTcpSocket* oldest = nullptr;
        std::uint64_t oldestSerial = 0;
        for (const auto& [socket, connection] : m_connections) {
            if (!connection->asked && !connection->closing &&
                (oldest == nullptr || connection->serial < oldestSerial)) {
                oldest = socket;
                oldestSerial = connection->serial;
            }
        }
        if (oldest == nullptr) {
            return false;
        }
        QObject::disconnect(oldest, nullptr, nullptr, nullptr);
        oldest->abort();
        Closed(oldest);
        return true;
    }

    void Open(QTcpSocket* socket, const std::string& address, const CMapServer::Limits& limits) {
        // Qt reads no more than this ahead of the parser: the rest stays with the system, and
        // the sender is slowed down instead of this process growing.
        socket->setReadBufferSize(static_cast<qint64>(CHttpHead::kMaxHeadBytes));
        auto connection = std::make_unique<Connection>();
        connection->address = address;
        connection->serial = ++m_accepted;
        ++m_perAddress[address];
        // Bytes that never make a request do not keep the connection: only a whole request, or
        // an answer taken by the peer, starts the wait again.
        connection->idle = WatchConnection(socket, limits.firstRequestMs);
        QObject::connect(connection->idle, &QTimer::timeout, socket, [socket] { socket->abort(); });
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Read(socket); });
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket,
                         [this, socket](qint64 bytes) { Written(socket, bytes); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket,
                         [this, socket] { Closed(socket); });
        m_connections.emplace(socket, std::move(connection));
        m_owner.m_open.store(static_cast<int>(m_connections.size()));
        Read(socket);
    }

    Connection* Find(QTcpSocket* socket) {
        const auto it = m_connections.find(socket);
        return it == m_connections.end() ? nullptr : it->second.get();
    }

    void Closed(QTcpSocket* socket) {
        if (m_streams.erase(socket) != 0) {
            m_owner.m_streams.store(static_cast<int>(m_streams.size()));
        }
        if (const auto it = m_connections.find(socket); it != m_connections.end()) {
            const auto from = m_perAddress.find(it->second->address);
            if (from != m_perAddress.end() && --from->second <= 0) {
                m_perAddress.erase(from);
            }
            m_connections.erase(it);
        }
        m_owner.m_open.store(static_cast<int>(m_connections.size()));
        socket->deleteLater();
    }

    void Read(QTcpSocket* socket) {
        Connection* c = Find(socket);
        const CMapServer::Limits limits = m_owner.GetLimits();
        const int maxPipelined = limits.maxPipelined;
        while (c != nullptr && !c->closing && !c->stream &&
               static_cast<int>(c->pending.size()) < maxPipelined &&
               (c->pending.empty() || c->pendingBytes < kMaxPendingBytes)) {
            if (c->input.size() < CHttpHead::kMaxHeadBytes) {
                const QByteArray more =
                    socket->read(static_cast<qint64>(CHttpHead::kMaxHeadBytes - c->input.size()));
                c->input.append(more.constData(), static_cast<std::size_t>(more.size()));
            }
            const CHttpHead head = ReadHttpHead(c->input);
            if (head.status == CHttpHead::Status::NeedMore) {
                return;
            }
            if (head.status == CHttpHead::Status::Bad) {
                ++m_owner.m_refused;
                Send(socket, *c, ErrorResponse(head.errorCode, head.problem + "\n", true), true);
                return;
            }
            c->input.erase(0, head.consumed);
            if (!c->asked) {
                c->asked = true;
                c->idle->setInterval(limits.idleMs);
            }
            c->idle->start();
            Answer(socket, *c, head);
            // A close may end the connection (and its record) within the answer.
            c = Find(socket);
        }
    }

    void Answer(QTcpSocket* socket, Connection& c, const CHttpHead& head) {
        const bool get = head.method == "GET";
        const bool readOnly = get || head.method == "HEAD";
        const bool body = head.method != "HEAD";
        if (head.hasBody) {
            // Refused before a byte of the body is read; the connection ends with the answer,
            // since the unread body would otherwise be taken for the next request.
            ++m_owner.m_refused;
            Send(socket, c,
                 readOnly ? ErrorResponse(413, "requests carry no body here\n", true, body)
                          : ErrorResponse(405, "only GET and HEAD are answered here\n", true),
                 true);
            return;
        }
        const bool close = !head.keepAlive;
        if (!readOnly) {
            ++m_owner.m_refused;
            Send(socket, c, ErrorResponse(405, "only GET and HEAD are answered here\n", close),
                 close);
            return;
        }
        std::string path = head.target;
        path = path.substr(0, path.find_first_of("?#"));
        if ((path == kObserverPagePath || path == kObserverEventsPath ||
             path == kObserverMapPath) &&
            m_owner.ObserverEnabled()) {
            AnswerObserver(socket, c, head, path, close);
            return;
        }
        const std::optional<CMapServer::Found> found =
            path.starts_with('/') ? m_owner.Lookup(path) : std::nullopt;
        if (!found) {
            ++m_owner.m_refused;
            Send(socket, c, ErrorResponse(404, "no such map\n", close, body), close);
            return;
        }
        ++m_owner.m_served;
        Send(socket, c, Response(200, found->body, get, close, found->body.size()), close);
    }

    void AnswerObserver(QTcpSocket* socket, Connection& c, const CHttpHead& head,
                        std::string_view path, bool close) {
        const bool events = path == kObserverEventsPath;
        std::string_view query = head.target;
        const std::size_t mark = query.find('?');
        query = mark == std::string_view::npos ? std::string_view() : query.substr(mark + 1);
        query = query.substr(0, query.find('#'));
        if (!ObserverKeyMatches(QueryKey(query), m_owner.ObserverKey())) {
            ++m_owner.m_refused;
            Send(socket, c,
                 ErrorResponse(403, "this page needs the key of this run\n", close,
                               head.method != "HEAD"),
                 close);
            return;
        }
        const bool get = head.method == "GET";
        if (path == kObserverMapPath) {
            const std::shared_ptr<const std::string> map = m_owner.ObserverMap();
            if (!map) {
                ++m_owner.m_refused;
                Send(socket, c, ErrorResponse(404, "no map\n", close, get), close);
                return;
            }
            ++m_owner.m_served;
            Send(socket, c, MapPictureResponse(*map, get, close), close);
            return;
        }
        if (!events) {
            ++m_owner.m_served;
            Send(socket, c, PageResponse(ObserverPageHtml(), get, close), close);
            return;
        }
        const CMapServer::Limits limits = m_owner.GetLimits();
        if (static_cast<int>(m_streams.size()) >= limits.maxStreams) {
            ++m_owner.m_refused;
            Send(socket, c, ErrorResponse(503, "too many observers\n", true, head.method != "HEAD"),
                 true);
            return;
        }
        ++m_owner.m_served;
        if (!get) {
            Send(socket, c, std::string(kStreamHead), true);
            return;
        }
        c.stream = true;
        m_streams.insert(socket);
        m_owner.m_streams.store(static_cast<int>(m_streams.size()));
        if (!m_heartbeat.isActive()) {
            m_heartbeat.start(limits.heartbeatMs);
        }
        Send(socket, c, std::string(kStreamHead), false);
        Offer(socket, c, m_owner.Observer());
    }

    // Writes what the stream lacks of the newest state unless it has it already or its reader is
    // behind: then the newest state waits until the bytes before it are taken. A stream that
    // has the state before the kept updates gets them; any other the whole state.
    void Offer(QTcpSocket* socket, Connection& c, const CMapServer::ObserverSnapshot& snapshot) {
        if (!snapshot.state || c.sent == snapshot.version || c.closing ||
            c.pendingBytes > m_owner.GetLimits().streamQueueBytes) {
            return;
        }
        const auto& updates = snapshot.updates;
        const std::uint64_t had = c.sent;
        const bool follows = had != 0 && !updates.empty() &&
                             updates.back().first == snapshot.version &&
                             updates.front().first <= had + 1;
        c.sent = snapshot.version;
        if (!follows) {
            Send(socket, c, StateEvent("state", *snapshot.state), false);
            return;
        }
        std::string events;
        for (const auto& [version, update] : updates) {
            if (version > had) {
                events += StateEvent("update", *update);
            }
        }
        Send(socket, c, events, false);
    }

    void Heartbeat() {
        if (m_streams.empty()) {
            m_heartbeat.stop();
            return;
        }
        for (QTcpSocket* socket : m_streams) {
            Connection* c = Find(socket);
            if (c != nullptr && c->pendingBytes == 0) {
                Send(socket, *c, ": keep-alive\n\n", false);
            }
        }
    }

    void Send(QTcpSocket* socket, Connection& c, const std::string& bytes, bool close) {
        const qint64 size = static_cast<qint64>(bytes.size());
        c.pending.push_back(size);
        c.pendingBytes += size;
        socket->write(bytes.data(), size);
        if (close) {
            c.closing = true;
            // Closes once the answer is handed over; the idle timer ends a peer that never
            // reads it.
            socket->disconnectFromHost();
        }
    }

    void Written(QTcpSocket* socket, qint64 bytes) {
        Connection* c = Find(socket);
        if (c == nullptr) {
            return;
        }
        c->idle->start();
        while (bytes > 0 && !c->pending.empty()) {
            const qint64 taken = std::min(bytes, c->pending.front());
            c->pending.front() -= taken;
            c->pendingBytes -= taken;
            bytes -= taken;
            if (c->pending.front() == 0) {
                c->pending.pop_front();
            }
        }
        if (c->stream) {
            Offer(socket, *c, m_owner.Observer());
            return;
        }
        // Requests held back while the answers piled up may be read now.
        Read(socket);
    }

    CMapServer& m_owner;
    std::unique_ptr<QTcpServer> m_tcp;
    QTimer m_resume;
    bool m_outOfDescriptors = false;
    std::map<QTcpSocket*, std::unique_ptr<Connection>> m_connections;
    std::map<std::string, int> m_perAddress; // open connections by peer address
    std::uint64_t m_accepted = 0;
    std::set<QTcpSocket*> m_streams;
    QTimer m_heartbeat;
};

CMapServer::CMapServer()
    : m_thread(std::make_unique<QThread>()), m_anchor(std::make_unique<QObject>()) {
    m_thread->setObjectName(QStringLiteral("map server"));
    m_anchor->moveToThread(m_thread.get());
    m_thread->start();
    QMetaObject::invokeMethod(
        m_anchor.get(), [this] { m_worker = new CMapServerWorker(*this); },
        Qt::BlockingQueuedConnection);
}

CMapServer::~CMapServer() {
    QMetaObject::invokeMethod(
        m_anchor.get(),
        [this] {
            delete m_worker;
            m_worker = nullptr;
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    m_anchor.reset(); // its thread has ended
}

void CMapServer::SetLimits(const Limits& limits) {
    std::lock_guard lock(m_mutex);
    m_limits = limits;
}

CMapServer::Limits CMapServer::GetLimits() const {
    std::lock_guard lock(m_mutex);
    return m_limits;
}

void CMapServer::SetLog(std::function<void(const std::string&)> log) {
    m_log = std::move(log);
}

void CMapServer::Log(const std::string& line) {
    QMetaObject::invokeMethod(
        &m_home,
        [this, line] {
            if (m_log) {
                m_log(line);
            }
        },
        Qt::QueuedConnection);
}

bool CMapServer::Add(const std::string& name, const std::string& path,
                     const std::string& canonical) {
    if (!IsServableMapName(name) || m_files.count(name) != 0) {
        return false;
    }
    m_files.emplace(name, File{path, canonical});
    return true;
}

void CMapServer::EnableObserver(const std::string& key) {
    std::lock_guard lock(m_mutex);
    m_observerKey = key;
}

bool CMapServer::ObserverEnabled() const {
    std::lock_guard lock(m_mutex);
    return !m_observerKey.empty();
}

std::string CMapServer::ObserverKey() const {
    std::lock_guard lock(m_mutex);
    return m_observerKey;
}

std::string CMapServer::ObserverAddress(const std::string& host) const {
    const std::string shownHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return "http://" + shownHost + ":" + std::to_string(m_port.load()) +
           std::string(kObserverPagePath) + "?key=" + ObserverKey();
}

CMapServer::ObserverSnapshot CMapServer::Observer() const {
    std::lock_guard lock(m_mutex);
    return m_observer;
}

std::shared_ptr<const std::string> CMapServer::ObserverMap() const {
    std::lock_guard lock(m_mutex);
    return m_observerMap;
}

void CMapServer::PublishObserverMap(std::string png) {
    auto map = png.empty() ? nullptr : std::make_shared<const std::string>(std::move(png));
    std::lock_guard lock(m_mutex);
    m_observerMap = std::move(map);
}

void CMapServer::PublishObserverState(std::string json) {
    PublishObserverState(std::move(json), std::string());
}

void CMapServer::PublishObserverState(std::string json, std::string update) {
    auto state = std::make_shared<const std::string>(std::move(json));
    {
        std::lock_guard lock(m_mutex);
        m_observer.state = std::move(state);
        ++m_observer.version;
        if (update.empty()) {
            // Nothing leads from the states before to this one.
            m_observer.updates.clear();
        } else {
            m_observer.updates.emplace_back(m_observer.version,
                                            std::make_shared<const std::string>(std::move(update)));
            if (m_observer.updates.size() > kKeptUpdates) {
                m_observer.updates.pop_front();
            }
        }
    }
    // One queued call covers any number of states published before the server's thread runs
    // it: it sends whichever is newest then.
    if (!m_pushQueued.exchange(true)) {
        QMetaObject::invokeMethod(
            m_anchor.get(),
            [this] {
                if (m_worker != nullptr) {
                    m_worker->PushState();
                }
            },
            Qt::QueuedConnection);
    }
}

std::size_t CMapServer::FileCount() const {
    std::lock_guard lock(m_mutex);
    return m_files.size();
}

std::size_t CMapServer::ServeFolder(const std::string& folder) {
    const std::string realFolder = Canonical(folder);
    if (realFolder.empty()) {
        return 0;
    }
    std::size_t added = 0;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const fs::path path = entry.path();
        if (path.extension() != ".txt" || !IsRegularFile(path)) {
            continue;
        }
        const std::string real = Canonical(path);
        // A link that leads out of the folder is not served: the folder is what was shared.
        if (real.empty() || !IsInside(real, realFolder)) {
            continue;
        }
        std::lock_guard lock(m_mutex);
        if (Add(path.filename().string(), path.string(), real)) {
            ++added;
        }
    }
    return added;
}

std::string CMapServer::NameOfLocked(const std::string& path) const {
    const std::string real = Canonical(path);
    for (const auto& [name, file] : m_files) {
        if (file.path == path || (!real.empty() && file.canonical == real)) {
            return name;
        }
    }
    return {};
}

std::string CMapServer::NameOf(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    return NameOfLocked(path);
}

std::string CMapServer::ServeFile(const std::string& path) {
    std::lock_guard lock(m_mutex);
    if (std::string known = NameOfLocked(path); !known.empty()) {
        return known;
    }
    const std::string real = Canonical(path);
    if (real.empty() || !IsRegularFile(real)) {
        return {};
    }
    const fs::path file(real);
    std::string stem = file.stem().string();
    std::string extension = file.extension().string();
    if (!IsServableMapName(stem + extension)) {
        stem = "map";
        extension = IsServableMapName("map" + extension) ? extension : ".txt";
    }
    std::string name = stem + extension;
    for (int n = 2; m_files.count(name) != 0 && n < 1000; ++n) {
        name = stem + "-" + std::to_string(n) + extension;
    }
    return Add(name, path, real) ? name : std::string();
}

bool CMapServer::Listen(const QHostAddress& address, quint16 port, std::string& error) {
    bool ok = false;
    QMetaObject::invokeMethod(
        m_anchor.get(), [&] { ok = m_worker->Listen(address, port, error); },
        Qt::BlockingQueuedConnection);
    return ok;
}

bool CMapServer::IsListening() const {
    return m_port.load() != 0;
}

quint16 CMapServer::Port() const {
    return m_port.load();
}

std::string CMapServer::AddressOf(const std::string& name, const std::string& host) const {
    const std::string shownHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return "http://" + shownHost + ":" + std::to_string(m_port.load()) +
           std::string(kMapPathPrefix) + name;
}

std::optional<CMapServer::Found> CMapServer::Lookup(const std::string& requestPath) {
    const std::optional<std::string> name = MapNameOfRequestPath(requestPath);
    if (!name) {
        return std::nullopt;
    }
    File file;
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_files.find(*name);
        if (it == m_files.end()) {
            return std::nullopt;
        }
        file = it->second;
    }
    // The file may have been replaced by a link to somewhere else since it was handed over.
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file.canonical, ec);
    if (Canonical(file.path) != file.canonical || ec || size > kMaxFileBytes) {
        return std::nullopt;
    }
    std::ifstream in(file.canonical, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    Found found;
    found.body.resize(static_cast<std::size_t>(size));
    in.read(found.body.data(), static_cast<std::streamsize>(size));
    found.body.resize(static_cast<std::size_t>(in.gcount()));
    if (!HoldsMapData(found.body)) {
        bool first = false;
        {
            std::lock_guard lock(m_mutex);
            first = m_notMapData.insert(file.canonical).second;
        }
        if (first) {
            Log("refused " + file.path + ": not map data");
        }
        return std::nullopt;
    }
    return found;
}

} // namespace halyx
