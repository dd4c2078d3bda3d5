#include "record/eventstream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace halyx {

CEventStream::~CEventStream() {
    Stop();
}

bool CEventStream::Start(const std::string& address, int port) {
    Stop();
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<std::uint16_t>(port));
    if (port < 0 || port > 65535 || ::inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1) {
        m_error = "not an IPv4 address and port: " + address + ":" + std::to_string(port);
        return false;
    }
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int yes = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    socklen_t size = sizeof at;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        ::listen(m_listen, 8) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&at), &size) != 0 ||
        ::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_error = std::string("cannot listen: ") + std::strerror(errno);
        Stop();
        return false;
    }
    m_port = ntohs(at.sin_port);
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CEventStream::Stop() {
    if (m_thread.joinable()) {
        m_stop = true;
        Wake();
        m_thread.join();
    }
    for (int* fd : {&m_listen, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    std::lock_guard lock(m_mutex);
    for (Client& client : m_clients) {
        ::close(client.fd);
    }
    m_clients.clear();
    m_clientCount = 0;
}

void CEventStream::Wake() {
    if (m_wake[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &byte, 1);
    }
}

void CEventStream::Push(std::string_view line) {
    if (m_clientCount.load() == 0) {
        return;
    }
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    text += '\n';
    {
        std::lock_guard lock(m_mutex);
        for (Client& client : m_clients) {
            if (client.pending.size() + text.size() > kMaxQueuedBytes) {
                ++client.dropped;
                continue;
            }
            if (client.dropped > 0) {
                client.pending += "<!-- " + std::to_string(client.dropped) +
                                  " events left out: the reader fell behind -->\n";
                client.dropped = 0;
            }
            client.pending += text;
        }
    }
    Wake();
}

void CEventStream::Run() {
    std::vector<pollfd> fds;
    char sink[4096];
    while (!m_stop) {
        fds.clear();
        fds.push_back({m_wake[0], POLLIN, 0});
        fds.push_back({m_listen, POLLIN, 0});
        {
            std::lock_guard lock(m_mutex);
            for (const Client& client : m_clients) {
                fds.push_back({client.fd,
                               static_cast<short>(POLLIN | (client.pending.empty() ? 0 : POLLOUT)),
                               0});
            }
        }
        if (::poll(fds.data(), fds.size(), 1000) < 0 && errno != EINTR) {
            return;
        }
        while (::read(m_wake[0], sink, sizeof sink) > 0) {
        }
        if (fds[1].revents & POLLIN) {
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            std::lock_guard lock(m_mutex);
            if (fd >= 0 && m_clients.size() < kMaxClients) {
                m_clients.push_back({fd, {}, 0});
                m_clientCount = m_clients.size();
            } else if (fd >= 0) {
                ::close(fd);
            }
        }
        std::lock_guard lock(m_mutex);
        for (std::size_t i = 2; i < fds.size(); ++i) {
            auto client = std::find_if(m_clients.begin(), m_clients.end(),
                                       [&](const Client& c) { return c.fd == fds[i].fd; });
            if (client == m_clients.end()) {
                continue;
            }
            bool gone = (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
            if (fds[i].revents & POLLIN) {
                const ssize_t n = ::read(client->fd, sink, sizeof sink);
                gone = gone || n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR);
            }
            if (!gone && (fds[i].revents & POLLOUT) && !client->pending.empty()) {
                const ssize_t n = ::send(client->fd, client->pending.data(), client->pending.size(),
                                         MSG_NOSIGNAL);
                if (n > 0) {
                    client->pending.erase(0, static_cast<std::size_t>(n));
                } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    gone = true;
                }
            }
            if (gone) {
                ::close(client->fd);
                m_clients.erase(client);
                m_clientCount = m_clients.size();
            }
        }
    }
}

} // namespace halyx
