#pragma once

// A live stream of the experiment log's events for a recorder or a script: every client that
// connects to the port gets each event line as the log writes it ("<Event TimeStamp=... />",
// the same names and values), one line per event. The sockets are served by a thread of their
// own, so the clock's thread only appends to a queue; everything is bounded: at most kMaxClients
// clients, kMaxQueuedBytes waiting for each (a client that falls behind loses lines and is told
// how many, in a comment line), and what clients send is read and thrown away.
//
//   CEventStream stream;
//   if (!stream.Start("127.0.0.1", 0)) report(stream.Error());
//   log.SetStreamObserver([&](std::string_view line) { stream.Push(line); });

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace halyx {

class CEventStream {
public:
    static constexpr std::size_t kMaxClients = 8;
    static constexpr std::size_t kMaxQueuedBytes = std::size_t{4} << 20;

    CEventStream() = default;
    ~CEventStream();
    CEventStream(const CEventStream&) = delete;
    CEventStream& operator=(const CEventStream&) = delete;

    // Listens on address:port (port 0: any free port). False, with Error(), when it cannot.
    bool Start(const std::string& address, int port);
    void Stop();
    int Port() const { return m_port; }
    const std::string& Error() const { return m_error; }
    // One event line (its line break is added when missing; line breaks inside become blanks).
    void Push(std::string_view line);
    std::size_t Clients() const { return m_clientCount.load(); }

private:
    struct Client {
        int fd = -1;
        std::string pending;
        std::size_t dropped = 0;
    };
    void Run();
    void Wake();

    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    std::string m_error;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_clientCount{0};
    std::mutex m_mutex; // guards m_clients' queues
    std::vector<Client> m_clients;
};

} // namespace halyx
