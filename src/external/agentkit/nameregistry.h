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
//
// Names may be bound to hosts (set_bindings): a bound name is refused to a connection from any
// other host. The table can be saved and loaded (save_state / load_state), so that a restarted
// name server answers lookups as before: a restored name waits for its owner's host to register
// it again, and is dropped when it has not within the grace period (drop_stale).

#include <chrono>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

class CNameRegistry {
public:
    using ConnectionId = std::uint64_t;
    // One line per change: "register N H:P", "unregister N", "drop N (connection closed)".
    using ChangeObserver = std::function<void(const std::string& line)>;

    using Clock = std::chrono::steady_clock;

    struct Entry {
        std::string host;
        int port = 0;
        ConnectionId owner = 0; // 0: restored from a saved table, waiting for its owner
        std::string peer;       // the address the registration came from
        Clock::time_point restoredAt{};
    };

    // "NAME HOST": NAME (or every name starting with PATTERN, for "PATTERN*") may be registered
    // only from HOST, an address as the server sees its peers. A name may be bound to several
    // hosts on several lines.
    struct Binding {
        std::string pattern;
        std::string host;
    };
    // Reads "NAME HOST" lines ('#' starts a comment line; the host is the last word, so a name
    // may hold blanks). False with the line number and what is wrong.
    static bool parse_bindings(std::string_view text, std::vector<Binding>& bindings,
                               std::string& error);
    void set_bindings(std::vector<Binding> bindings) { m_bindings = std::move(bindings); }
    // Whether some binding names this name (and so only its hosts may register it).
    bool is_bound(std::string_view name) const;

    // One line per registration: NAME, host, port and peer separated by tabs.
    std::string save_state() const;
    // Restores a saved table (entries already held by a live connection are kept). False with
    // the line number when the text is not a saved table; nothing is restored then.
    bool load_state(std::string_view text, Clock::time_point now, std::string& error);
    void set_grace(std::chrono::milliseconds grace) { m_grace = grace; }
    // Drops restored entries whose owner has not registered again within the grace period, at
    // most atMost of them (a server with thousands to drop answers lookups between the steps);
    // answers how many.
    std::size_t drop_stale(Clock::time_point now,
                           std::size_t atMost = std::numeric_limits<std::size_t>::max());

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
    // The names each connection holds, so that closing one and counting its names do not look
    // at every name of the table.
    std::map<ConnectionId, std::set<std::string, std::less<>>> m_held;
    std::size_t m_restored = 0; // entries restored and not claimed by their owner yet
    std::vector<Binding> m_bindings;
    std::chrono::milliseconds m_grace{60000};
    ConnectionId m_nextConnection = 1;
    ChangeObserver m_observer;
};

// Longest agent name or host name the name server accepts.
inline constexpr std::size_t kMaxAgentNameLength = 255;
// The name server's port unless told otherwise.
inline constexpr int kDefaultAnsPort = 6677;

} // namespace halyx
