#pragma once

// The name server's bookkeeping and protocol, without any networking: the TCP name server
// (net/nameserver.h) and the in-memory name server of tests both answer requests through it.
// A registration belongs to the connection that made it and ends with it.
//
//   CNameRegistry registry;
//   auto conn = registry.open_connection("127.0.0.1");
//   std::string reply = registry.handle_request("(register :name S1 :port 7001)", conn);
//   registry.close_connection(conn);          // S1 is gone again
//
// Requests and replies:
//   (register :name N :host H :port P)  -> (tell :status ok) | (sorry :reason "...")
//   (unregister :name N)                -> (tell :status ok) | (sorry :reason "...")
//   (lookup :name N)                    -> (tell :name N :host H :port P)
//                                        | (sorry :reason "unknown agent")
//   (listall)                           -> (tell :number K :0 (tell :name N :host H :port P) ...)
// A missing :host means the address the connection comes from. Names are 1 to 255 bytes
// without control bytes, without the characters " \ ( ) < > & and without blanks at either
// end; inner blanks are allowed (the name then travels as a "..." string). One name per agent:
// a name held by a live connection is refused to every other connection.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

class CNameRegistry {
public:
    using ConnectionId = std::uint64_t;
    // One line per change: "register N H:P", "unregister N", "drop N (connection closed)".
    using ChangeObserver = std::function<void(const std::string& line)>;

    struct Entry {
        std::string host;
        int port = 0;
        ConnectionId owner = 0;
    };

    ConnectionId open_connection(std::string peerHost);
    // Ends every registration the connection made.
    void close_connection(ConnectionId connection);

    // Answers one request. Never throws; malformed requests get a sorry reply.
    std::string handle_request(std::string_view request, ConnectionId connection);

    void set_change_observer(ChangeObserver observer) { m_observer = std::move(observer); }
    const std::map<std::string, Entry, std::less<>>& entries() const { return m_entries; }

private:
    std::string Register(std::string_view name, std::string host, std::string_view port,
                         ConnectionId connection);
    void Notify(const std::string& line);

    std::map<std::string, Entry, std::less<>> m_entries;
    std::map<ConnectionId, std::string> m_peerHosts;
    ConnectionId m_nextConnection = 1;
    ChangeObserver m_observer;
};

// Longest agent name or host name the name server accepts.
inline constexpr std::size_t kMaxAgentNameLength = 255;
// The name server's port unless told otherwise.
inline constexpr int kDefaultAnsPort = 6677;

} // namespace halyx
