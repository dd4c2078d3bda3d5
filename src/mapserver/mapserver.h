#pragma once

// Serves map files read-only over HTTP, so that stations on other machines can fetch the maps
// the console names in init_sim. Only the files handed to it are reachable, each under
// /maps/NAME; only GET and HEAD are answered; anything else is 404 (or 405 for other methods).
// Runs on the event-loop thread; map files are small, so each request reads its file whole.
//
//   CMapServer server;
//   server.ServeFolder(DefaultMapFolder());            // every *.txt file in the folder
//   std::string error;
//   if (!server.Listen(QHostAddress::Any, 0, error)) fail(error);
//   std::string url = server.AddressOf("world.txt", "192.168.1.5");
//   // -> http://192.168.1.5:PORT/maps/world.txt

#include <QHostAddress>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponder;

namespace halyx {

class CMapServer {
public:
    // A map file larger than this is not served (the map reader refuses it too).
    static constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{64} << 20;

    CMapServer();
    CMapServer(const CMapServer&) = delete;
    CMapServer& operator=(const CMapServer&) = delete;
    ~CMapServer();

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

    std::size_t FileCount() const { return m_files.size(); }
    // Requests answered with a map (GET or HEAD), and refused, since the start.
    std::uint64_t Served() const { return m_served; }
    std::uint64_t Refused() const { return m_refused; }

private:
    struct File {
        std::string path;      // as handed over
        std::string canonical; // its real place when it was handed over
    };
    bool Add(const std::string& name, const std::string& path, const std::string& canonical);
    void Answer(const QHttpServerRequest& request, QHttpServerResponder& responder);

    std::unique_ptr<QHttpServer> m_http;
    std::map<std::string, File> m_files;
    quint16 m_port = 0;
    std::uint64_t m_served = 0;
    std::uint64_t m_refused = 0;
};

} // namespace halyx
