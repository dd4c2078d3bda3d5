#pragma once

// Serves map files read-only over HTTP, so that stations on other machines can fetch the maps
// the console names in init_sim. Only the files handed to it are reachable, each under
// /maps/NAME, and only while they hold map data (their first line is a map-data header line, as
// stations check): anything else is 404. Only GET and HEAD are answered (405 otherwise).
//
// Everything network-facing is bounded, since anything listening is attacked: a request head
// of at most 16 KiB (414 / 431 beyond), no request bodies (405 / 413 at once, without reading
// them), at most 16 unanswered pipelined requests per connection (the rest waits in the
// kernel), a connection that has not sent a whole request within 5 s closed, idle connections
// closed after 30 s, at most 256 connections in all and 32 from one address. When all are taken,
// the oldest connection that has sent no request yet makes room; when none has, more are closed
// at once. It runs on a thread of its own, so that the clock and the agent never wait for HTTP.
//
// With EnableObserver it also serves the read-only live mission page at /live?key=KEY and its
// server-sent event stream at /live/events?key=KEY (403 without the key), and the map picture
// handed to PublishObserverMap at /live/map.png?key=KEY. A stream starts with the newest state
// handed to PublishObserverState (a JSON text, event "state"); after it, a stream that has every
// state before gets only what changed (event "update", the text handed over with the state),
// one that missed some gets the whole newest state again. A client that reads slowly skips to
// the newest state instead of queueing them, at most 16 streams are open at once (503 beyond),
// and a comment line every 15 s keeps quiet streams from being taken for idle ones.
// When the process runs out of file descriptors it stops accepting for a moment, says so once,
// and takes up again by itself.
//
//   CMapServer server;
//   server.SetLog([](const std::string& line) { print(line); });   // on the creating thread
//   server.ServeFolder(DefaultMapFolder());            // every *.txt file in the folder
//   std::string error;
//   if (!server.Listen(QHostAddress::Any, 0, error)) fail(error);
//   std::string url = server.AddressOf("world.txt", "192.168.1.5");
//   // -> http://192.168.1.5:PORT/maps/world.txt

#include <QHostAddress>
#include <QObject>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

class QThread;

namespace halyx {

class CMapServerWorker;

class CMapServer {
public:
    // A map file larger than this is not served (the map reader refuses it too).
    static constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{64} << 20;

    struct Limits {
        int maxConnections = 256;
        int maxPerAddress = 32;
        int maxPipelined = 16;
        // Until the first whole request, then between requests.
        int firstRequestMs = 5000;
        int idleMs = 30000;
        // How long accepting pauses when the process is out of file descriptors.
        int acceptPauseMs = 250;
        // Live observer streams open at once.
        int maxStreams = 16;
        // Bytes a stream may have waiting for its reader before newer states replace them.
        qint64 streamQueueBytes = qint64{256} << 10;
        // A comment line on every quiet stream this often.
        int heartbeatMs = 15000;
    };

    CMapServer();
    CMapServer(const CMapServer&) = delete;
    CMapServer& operator=(const CMapServer&) = delete;
    ~CMapServer();

    // Takes effect for connections accepted afterwards; tests shorten the waits.
    void SetLimits(const Limits& limits);
    Limits GetLimits() const;
    // Lines for the console (a file refused because it holds no map data, once per file; running
    // out of file descriptors, once per episode). Called on the thread that made the server.
    void SetLog(std::function<void(const std::string& line)> log);

    // Serves every regular *.txt file directly inside folder whose real place (symbolic links
    // followed) is inside that folder too. Answers how many files were added.
    std::size_t ServeFolder(const std::string& folder);
    // Serves one file under its own file name (or NAME-2.txt, ... when the name is taken by
    // another file); answers the name, or "" when the file is not a readable regular file.
    std::string ServeFile(const std::string& path);
    // The name a file is served under, or "" when it is not served.
    std::string NameOf(const std::string& path) const;

    bool Listen(const QHostAddress& address, quint16 port, std::string& error);
    bool IsListening() const;
    quint16 Port() const;
    // http://HOST:PORT/maps/NAME (an IPv6 host is put in brackets).
    std::string AddressOf(const std::string& name, const std::string& host) const;

    // Serves the live observer page to requests carrying key (not empty). Call before Listen.
    void EnableObserver(const std::string& key);
    bool ObserverEnabled() const;
    // http://HOST:PORT/live?key=KEY
    std::string ObserverAddress(const std::string& host) const;
    // The newest mission state for the observers, a JSON text. Any thread; it never waits for a
    // client: the text is handed to the server's thread, which sends it when each stream can
    // take it.
    void PublishObserverState(std::string json);
    // The same, with what changed since the state published before it (update, a JSON text that
    // a stream holding that state merges into it).
    void PublishObserverState(std::string json, std::string update);
    // The map under the observer's picture, a PNG file's bytes ("" for none).
    void PublishObserverMap(std::string png);
    // Observer streams open now.
    int ObserverStreams() const { return m_streams.load(); }

    std::size_t FileCount() const;
    // Requests answered with a map (GET or HEAD), and refused, since the start.
    std::uint64_t Served() const { return m_served.load(); }
    std::uint64_t Refused() const { return m_refused.load(); }
    // Connections open now (on the server's thread; read from anywhere).
    int OpenConnections() const { return m_open.load(); }

private:
    friend class CMapServerWorker;

    struct File {
        std::string path;      // as handed over
        std::string canonical; // its real place when it was handed over
    };
    // The answer to one request for a map: the body, or nothing (404).
    struct Found {
        std::string body;
    };

    bool Add(const std::string& name, const std::string& path, const std::string& canonical);
    std::string NameOfLocked(const std::string& path) const;
    // Called on the server's thread.
    std::optional<Found> Lookup(const std::string& requestPath);
    // The newest state and its number, and the updates that lead to it from the ones before
    // (oldest first, each with the number of the state it makes).
    struct ObserverSnapshot {
        std::uint64_t version = 0;
        std::shared_ptr<const std::string> state;
        std::deque<std::pair<std::uint64_t, std::shared_ptr<const std::string>>> updates;
    };
    static constexpr std::size_t kKeptUpdates = 32;
    ObserverSnapshot Observer() const;
    std::shared_ptr<const std::string> ObserverMap() const;
    std::string ObserverKey() const;
    void Log(const std::string& line);

    mutable std::mutex m_mutex; // guards m_files, m_notMapData and m_limits
    std::map<std::string, File> m_files;
    std::set<std::string> m_notMapData; // files already reported as refused
    Limits m_limits;
    std::string m_observerKey;                        // guarded by m_mutex
    ObserverSnapshot m_observer;                      // guarded by m_mutex
    std::shared_ptr<const std::string> m_observerMap; // guarded by m_mutex
    std::atomic<bool> m_pushQueued{false};
    std::atomic<int> m_streams{0};

    std::function<void(const std::string&)> m_log;
    QObject m_home; // lives on the creating thread: log lines are delivered through it
    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<QObject> m_anchor;    // lives on m_thread: calls into the worker go through it
    CMapServerWorker* m_worker = nullptr; // lives on m_thread
    std::atomic<quint16> m_port{0};
    std::atomic<std::uint64_t> m_served{0};
    std::atomic<std::uint64_t> m_refused{0};
    std::atomic<int> m_open{0};
};

} // namespace halyx
