#include "seatweb.h"

#include "mapserver/httpanswer.h"
#include "mapserver/httprequestreader.h"
#include "mapserver/observeraccess.h"
#include "seatjson.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <cctype>
#include <chrono>

namespace halyx {

namespace {

// The page talks to this program only; the key in its address goes nowhere else.
constexpr const char* kPageHeaders =
    "Cache-Control: no-store\r\n"
    "Referrer-Policy: no-referrer\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "Content-Security-Policy: default-src 'none'; script-src 'self'; style-src 'self'; "
    "connect-src 'self'; img-src 'self' data:; frame-ancestors 'none'\r\n";

std::string Response(int code, const std::string& type, const std::string& body, bool close) {
    return HttpHead(code, "Content-Type: " + type + "\r\n" + kPageHeaders, body.size(), close) +
           body;
}

std::string Text(int code, const std::string& text, bool close) {
    return Response(code, "text/plain; charset=utf-8", text + "\n", close);
}

constexpr std::string_view kStreamHead = "HTTP/1.1 200 OK\r\n"
                                         "Content-Type: text/event-stream; charset=utf-8\r\n"
                                         "Cache-Control: no-store\r\n"
                                         "Connection: close\r\n"
                                         "\r\n"
                                         "retry: 1000\n\n";

// One event; the JSON text is written compact, so it holds no line break.
std::string Event(const char* name, const std::string& data, std::uint64_t id = 0) {
    std::string out;
    if (id != 0) {
        out += "id: " + std::to_string(id) + "\n";
    }
    out += "event: ";
    out += name;
    out += "\ndata: ";
    out += data;
    out += "\n\n";
    return out;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return text;
}

// The value of a header (name in lower case), without the blanks around it; "" without it.
std::string HeaderValue(const std::string& head, const std::string& name) {
    const std::size_t at = Lower(head).find("\r\n" + name + ":");
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t from = head.find_first_not_of(" \t", at + name.size() + 3);
    const std::size_t end = head.find("\r\n", at + 2);
    return from == std::string::npos || from >= end
               ? std::string()
               : head.substr(from, head.find_last_not_of(" \t", end - 1) + 1 - from);
}

// The Content-Length of a head, or -1 when it has none or a chunked body (-2).
long long ContentLength(const std::string& head) {
    const std::string lower = Lower(head);
    if (lower.find("\r\ntransfer-encoding:") != std::string::npos) {
        return -2;
    }
    const std::size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) {
        return -1;
    }
    std::size_t i = at + 17;
    while (i < lower.size() && lower[i] == ' ') {
        ++i;
    }
    long long value = 0;
    std::size_t digits = 0;
    while (i < lower.size() && std::isdigit(static_cast<unsigned char>(lower[i])) != 0 &&
           digits < 12) {
        value = value * 10 + (lower[i] - '0');
        ++i;
        ++digits;
    }
    return digits == 0 ? -2 : value;
}

// The value of a query parameter (no decoding: keys, browser ids and names are plain words).
std::string Param(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=') {
            return std::string(pair.substr(name.size() + 1));
        }
        if (amp == std::string_view::npos) {
            break;
        }
        query.remove_prefix(amp + 1);
    }
    return {};
}

// The page's files, built into the program.
struct Asset {
    const char* name;
    const char* type;
};
constexpr Asset kAssets[] = {
    {"seat.html", "text/html; charset=utf-8"},
    {"seat.css", "text/css; charset=utf-8"},
    {"main.js", "text/javascript; charset=utf-8"},
    {"connection.js", "text/javascript; charset=utf-8"},
    {"header.js", "text/javascript; charset=utf-8"},
    {"map.js", "text/javascript; charset=utf-8"},
    {"units.js", "text/javascript; charset=utf-8"},
    {"chat.js", "text/javascript; charset=utf-8"},
    {"questions.js", "text/javascript; charset=utf-8"},
    {"dom.js", "text/javascript; charset=utf-8"},
};

std::string ReadAsset(const std::string& name) {
    QFile file(QStringLiteral(":/seat/") + QString::fromStdString(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

struct CSeatWeb::Connection {
    std::string input;
    QTimer* idle = nullptr;
    bool closing = false;
    WebSeat* stream = nullptr; // the seat whose events this connection carries
};

struct CSeatWeb::WebSeat {
    CSeatAgent* agent = nullptr;
    std::string key;
    QTcpSocket* stream = nullptr;
    std::string browser; // the browser whose stream it is
    std::string state;   // the newest state as JSON
    std::uint64_t sent = 0;
    QTimer away;
    bool told = false; // the console was told the subject is away
    std::map<std::string, CSeatResult> done;
    std::deque<std::string> doneOrder;
    // When each open probe first reached this program, so that a page that connects later is
    // told the time left, not the whole time again.
    std::map<std::string, std::chrono::steady_clock::time_point> probeArrived;
};

CSeatWeb::CSeatWeb(LineSink log, Limits limits)
    : m_log(std::move(log)), m_limits(limits), m_tcp(std::make_unique<QTcpServer>()) {
    QObject::connect(m_tcp.get(), &QTcpServer::newConnection, this, [this] { Accept(); });
    QObject::connect(&m_ping, &QTimer::timeout, this, [this] {
        for (auto& [name, seat] : m_seats) {
            if (Connection* c = seat->stream ? Find(seat->stream) : nullptr) {
                Send(seat->stream, *c, ": ping\n\n", false);
            }
        }
    });
    m_ping.start(m_limits.pingMs);
}

CSeatWeb::~CSeatWeb() {
    for (auto& [socket, connection] : m_connections) {
        QObject::disconnect(socket, nullptr, nullptr, nullptr);
        socket->abort();
        delete socket;
    }
}

bool CSeatWeb::AddSeat(CSeatAgent& agent) {
    auto seat = std::make_unique<WebSeat>();
    seat->agent = &agent;
    seat->key = MakeObserverKey();
    if (seat->key.empty()) {
        return false;
    }
    WebSeat* raw = seat.get();
    seat->away.setSingleShot(true);
    QObject::connect(&seat->away, &QTimer::timeout, this, [this, raw] {
        if (raw->stream == nullptr && !raw->told) {
            raw->told = true;
            raw->agent->TellConsole("tell :command seat_presence :state away");
            m_log("AWAY " + raw->agent->seat().Name());
        }
    });
    agent.SetChanged([this, raw] { Publish(*raw); });
    m_seats[agent.seat().Name()] = std::move(seat);
    return true;
}

bool CSeatWeb::Listen(const QHostAddress& address, quint16 port, std::string& error) {
    if (!m_tcp->listen(address, port)) {
        error = "cannot listen on " + address.toString().toStdString() + ":" +
                std::to_string(port) + ": " + m_tcp->errorString().toStdString();
        return false;
    }
    return true;
}

quint16 CSeatWeb::Port() const {
    return m_tcp->serverPort();
}

std::string CSeatWeb::AddressOf(const std::string& seat, const std::string& host) const {
    const auto it = m_seats.find(seat);
    const std::string h = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return "http://" + h + ":" + std::to_string(Port()) + "/seat/" + seat +
           "?key=" + (it == m_seats.end() ? std::string() : it->second->key);
}

CSeatWeb::Connection* CSeatWeb::Find(QTcpSocket* socket) {
    const auto it = m_connections.find(socket);
    return it == m_connections.end() ? nullptr : it->second.get();
}

void CSeatWeb::Accept() {
    while (QTcpSocket* socket = m_tcp->nextPendingConnection()) {
        if (static_cast<int>(m_connections.size()) >= m_limits.maxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setReadBufferSize(static_cast<qint64>(CHttpHead::kMaxHeadBytes) +
                                  m_limits.maxBodyBytes);
        auto c = std::make_unique<Connection>();
        c->idle = WatchConnection(socket, m_limits.idleMs);
        QObject::connect(c->idle, &QTimer::timeout, socket, [this, socket] {
            // A stream is kept alive by its pings; a plain connection that says nothing ends.
            Connection* conn = Find(socket);
            if (conn != nullptr && conn->stream == nullptr) {
                socket->abort();
            }
        });
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
        QObject::connect(socket, &QTcpSocket::disconnected, this,
                         [this, socket] { Closed(socket); });
        m_connections.emplace(socket, std::move(c));
        Read(socket);
    }
}

void CSeatWeb::Closed(QTcpSocket* socket) {
    Connection* c = Find(socket);
    if (c != nullptr && c->stream != nullptr && c->stream->stream == socket) {
        StreamGone(*c->stream);
    }
    m_connections.erase(socket);
    socket->deleteLater();
}

void CSeatWeb::StreamGone(WebSeat& seat) {
    seat.stream = nullptr;
    seat.away.start(m_limits.awayAfterMs);
}

void CSeatWeb::Read(QTcpSocket* socket) {
    Connection* c = Find(socket);
    const std::size_t most =
        CHttpHead::kMaxHeadBytes + static_cast<std::size_t>(m_limits.maxBodyBytes);
    while (c != nullptr && !c->closing && c->stream == nullptr) {
        if (c->input.size() < most) {
            const QByteArray more = socket->read(static_cast<qint64>(most - c->input.size()));
            c->input.append(more.constData(), static_cast<std::size_t>(more.size()));
        }
        const CHttpHead head = ReadHttpHead(c->input);
        if (head.status == CHttpHead::Status::NeedMore) {
            return;
        }
        if (head.status == CHttpHead::Status::Bad) {
            Send(socket, *c, Text(head.errorCode, head.problem, true), true);
            return;
        }
        std::string body;
        // Only the map picture is ever asked for again with its tag.
        const std::string etag =
            head.target.find("/map.png") != std::string::npos
                ? HeaderValue(c->input.substr(0, head.consumed), "if-none-match")
                : std::string();
        if (head.hasBody) {
            const long long length = ContentLength(c->input.substr(0, head.consumed));
            if (length < 0) {
                Send(socket, *c, Text(411, "a body needs a Content-Length", true), true);
                return;
            }
            if (length > m_limits.maxBodyBytes) {
                Send(socket, *c, Text(413, "the body is too large", true), true);
                return;
            }
            if (c->input.size() < head.consumed + static_cast<std::size_t>(length)) {
                return; // the rest of the body is on its way
            }
            body = c->input.substr(head.consumed, static_cast<std::size_t>(length));
            c->input.erase(0, head.consumed + static_cast<std::size_t>(length));
        } else {
            c->input.erase(0, head.consumed);
        }
        c->idle->start(m_limits.idleMs);
        Answer(socket, *c, head.method, head.target, etag, body);
        if (!head.keepAlive && !c->closing && c->stream == nullptr) {
            c->closing = true;
            socket->disconnectFromHost();
        }
        c = Find(socket);
    }
}

void CSeatWeb::Answer(QTcpSocket* socket, Connection& c, const std::string& method,
                      const std::string& target, const std::string& etag, const std::string& body) {
    const std::size_t mark = target.find('?');
    const std::string path = target.substr(0, mark);
    const std::string_view query =
        mark == std::string::npos ? std::string_view() : std::string_view(target).substr(mark + 1);
    if (path.starts_with("/assets/") && method == "GET") {
        const std::string name = path.substr(8);
        for (const Asset& asset : kAssets) {
            if (name == asset.name && name != "seat.html") {
                Send(socket, c, Response(200, asset.type, ReadAsset(name), false), false);
                return;
            }
        }
        Send(socket, c, Text(404, "no such file", false), false);
        return;
    }
    if (!path.starts_with("/seat/")) {
        Send(socket, c, Text(404, "no such page", false), false);
        return;
    }
    std::string rest = path.substr(6);
    const std::size_t slash = rest.find('/');
    const std::string name = rest.substr(0, slash);
    const std::string what = slash == std::string::npos ? "" : rest.substr(slash + 1);
    const auto it = m_seats.find(name);
    if (it == m_seats.end() || !ObserverKeyMatches(QueryKey(query), it->second->key)) {
        Send(socket, c, Text(403, "this seat needs its key", false), false);
        return;
    }
    WebSeat& seat = *it->second;
    if (what.empty() && method == "GET") {
        Send(socket, c, Response(200, "text/html; charset=utf-8", ReadAsset("seat.html"), false),
             false);
    } else if (what == "events" && method == "GET") {
        OpenStream(socket, c, seat, Param(query, "b"));
    } else if (what == "act" && method == "POST") {
        Act(socket, c, seat, body);
    } else if (what == "map.png" && method == "GET") {
        ServeMap(socket, c, seat, query, etag);
    } else {
        Send(socket, c, Text(404, "no such page", false), false);
    }
}

void CSeatWeb::SetMaps(CSeatMaps& maps) {
    m_maps = &maps;
    maps.SetReady([this] {
        for (auto& [name, seat] : m_seats) {
            Publish(*seat);
        }
    });
}

const CSeatMapPicture* CSeatWeb::PictureOf(WebSeat& seat) {
    const CSeatState& state = seat.agent->seat().State();
    return m_maps != nullptr && !state.mapAddress.empty()
               ? m_maps->Get(state.mapAddress, state.terrain)
               : nullptr;
}

void CSeatWeb::ServeMap(QTcpSocket* socket, Connection& c, WebSeat& seat, std::string_view query,
                        const std::string& etag) {
    const CSeatMapPicture* picture = PictureOf(seat);
    if (picture == nullptr) {
        Send(socket, c, Text(404, "no map yet", false), false);
        return;
    }
    // The address names the version, so a page keeps the picture until the map changes; an
    // address with another version is checked again each time.
    const std::string tag = "\"" + picture->version + "\"";
    std::string head = (Param(query, "v") == picture->version
                            ? "Cache-Control: private, max-age=86400, immutable\r\n"
                            : "Cache-Control: no-cache\r\n") +
                       ("ETag: " + tag + "\r\nX-Content-Type-Options: nosniff\r\n");
    if (etag == tag) {
        Send(socket, c, "HTTP/1.1 304 Not Modified\r\n" + head + "\r\n", false);
        return;
    }
    head = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n" + head +
           "Content-Length: " + std::to_string(picture->png.size()) + "\r\n\r\n";
    Send(socket, c, head, false);
    socket->write(picture->png);
}

void CSeatWeb::OpenStream(QTcpSocket* socket, Connection& c, WebSeat& seat,
                          const std::string& browser) {
    Send(socket, c, std::string(kStreamHead), false);
    if (seat.stream != nullptr && seat.browser != browser) {
        const QJsonObject refusal{
            {"text", QString::fromStdString("Seat " + seat.agent->seat().Name() +
                                            " is open in another browser")}};
        Send(socket, c,
             Event("refused", QJsonDocument(refusal).toJson(QJsonDocument::Compact).toStdString()),
             true);
        return;
    }
    if (seat.stream != nullptr) {
        // The same browser again (a reload): the new page takes over.
        QTcpSocket* old = seat.stream;
        if (Connection* oc = Find(old)) {
            oc->stream = nullptr;
        }
        old->abort();
    }
    seat.stream = socket;
    seat.browser = browser;
    c.stream = &seat;
    seat.away.stop();
    if (seat.told) {
        seat.told = false;
        seat.agent->TellConsole("tell :command seat_presence :state back");
        m_log("BACK " + seat.agent->seat().Name());
    }
    // The whole state on every connect.
    seat.state.clear();
    seat.sent = 0;
    Publish(seat);
}

void CSeatWeb::Publish(WebSeat& seat) {
    // The page numbers its updates by one revision; the seat and its probes change apart.
    const CSeatProbes& probes = seat.agent->probes();
    const std::uint64_t revision = seat.agent->seat().Revision() + probes.Revision() +
                                   (m_maps != nullptr ? m_maps->Revision() : 0);
    if (seat.state.empty() || revision != seat.sent) {
        QJsonObject state = SeatStateJson(seat.agent->seat());
        const auto now = std::chrono::steady_clock::now();
        std::erase_if(seat.probeArrived, [&](const auto& arrived) {
            return std::none_of(probes.Open().begin(), probes.Open().end(),
                                [&](const CProbe& p) { return p.id == arrived.first; });
        });
        state.insert("probes", SeatProbesJson(probes.Open(), [&](const CProbe& p) {
                         const auto at = seat.probeArrived.try_emplace(p.id, now).first->second;
                         const auto gone =
                             std::chrono::duration_cast<std::chrono::seconds>(now - at).count();
                         return static_cast<int>(
                             std::max<long long>(0, p.seconds - static_cast<long long>(gone)));
                     }));
        state.insert("frozen", probes.Frozen());
        if (const CSeatMapPicture* picture = PictureOf(seat)) {
            state.insert("map", QJsonObject{{"v", QString::fromStdString(picture->version)},
                                            {"lat", QJsonArray{picture->minLat, picture->maxLat}},
                                            {"lng", QJsonArray{picture->minLng, picture->maxLng}}});
        }
        state.insert("rev", static_cast<qint64>(revision));
        state.insert("prev", static_cast<qint64>(seat.sent));
        seat.state = QJsonDocument(state).toJson(QJsonDocument::Compact).toStdString();
    } else {
        return;
    }
    const std::uint64_t prev = seat.sent;
    seat.sent = revision;
    Connection* c = seat.stream != nullptr ? Find(seat.stream) : nullptr;
    if (c == nullptr) {
        return;
    }
    if (seat.stream->bytesToWrite() > m_limits.streamQueueBytes) {
        // A reader this far behind takes the whole state when it comes back.
        seat.stream->abort();
        return;
    }
    Send(seat.stream, *c, Event(prev == 0 ? "state" : "update", seat.state, revision + 1), false);
}

void CSeatWeb::Act(QTcpSocket* socket, Connection& c, WebSeat& seat, const std::string& body) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(body), &error);
    const QJsonObject action = doc.object();
    const std::string id = action.value(QLatin1String("id")).toString().toStdString();
    if (error.error != QJsonParseError::NoError || !doc.isObject() || id.empty() ||
        id.size() > 64) {
        Send(socket, c, Text(400, "an action is a JSON object with an id", false), false);
        return;
    }
    CSeatResult result;
    if (const auto known = seat.done.find(id); known != seat.done.end()) {
        result = known->second; // sent again after a reconnect: answered, not repeated
    } else {
        if (action.value(QLatin1String("kind")).toString() == QLatin1String("probe")) {
            std::string probe;
            CProbeAnswers answers;
            result = ReadProbeAction(seat.agent->probes().Open(), action, probe, answers);
            if (result.ok) {
                result = seat.agent->AnswerProbe(probe, answers);
            } else {
                m_log("NOTE " + seat.agent->seat().Name() + " refused: " + result.reason);
            }
        } else {
            result = seat.agent->Act([&action](CStationSeat& s) { return SeatAction(s, action); });
        }
        seat.done[id] = result;
        seat.doneOrder.push_back(id);
        if (seat.doneOrder.size() > m_limits.rememberedActions) {
            seat.done.erase(seat.doneOrder.front());
            seat.doneOrder.pop_front();
        }
    }
    const QJsonObject answer{{"id", QString::fromStdString(id)},
                             {"ok", result.ok},
                             {"reason", QString::fromStdString(result.reason)}};
    Send(socket, c,
         Response(200, "application/json",
                  QJsonDocument(answer).toJson(QJsonDocument::Compact).toStdString(), false),
         false);
}

void CSeatWeb::Send(QTcpSocket* socket, Connection& c, const std::string& bytes, bool close) {
    socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (close) {
        c.closing = true;
        socket->disconnectFromHost();
    }
}

} // namespace halyx
