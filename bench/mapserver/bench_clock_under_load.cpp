// Whether the clock keeps time while the network is busy: a mission of 250 ticks of 20 ms, once
// idle, once while 1,000 clients at a time fetch the world map again and again, and once while
// three senders flood the agent's port with 100,000 station commands each. Reported per run:
// the worst lateness of a tick against its deadline (start + n x period) and the drift of the
// last tick at the end (targets: under 50 ms and 100 ms). The load runs in threads of its own;
// the clock, the agent and the map server run as in the console.
#include "common/openfiles.h"
#include "external/agentkit/basicagent.h"
#include "external/agentkit/net/netcontainer.h"
#include "external/kqml/parser.h"
#include "mapserver/mapserver.h"

#include "benchapp.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace halyx;
using Clock = std::chrono::steady_clock;

constexpr int kPeriodMs = 20;
constexpr int kTicks = 250;

class CTickAgent : public CBasicAgent {
public:
    CTickAgent() : CBasicAgent("Console") {
        set_debug_sink([](const std::string&) {});
    }
    void process_clock_tick() override { ticks.push_back(Clock::now()); }
    // Reads each command as the console does before acting on it.
    bool process_message_text(const std::string& text) override {
        CParser parser;
        received += parser.parse_message(text) ? 1 : 0;
        return true;
    }
    std::vector<Clock::time_point> ticks;
    std::size_t received = 0;
};

int Connect(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Bursts of 1,000 connections opened at once (non-blocking), each asking for the world map
// once, until told to stop. Counts the connections that ended (answered, or closed unanswered by
// the server's cap).
void MapBursts(quint16 port, const std::atomic<bool>& stop, std::atomic<long>& ended) {
    const std::string request = "GET /maps/world.txt HTTP/1.1\r\nConnection: close\r\n\r\n";
    std::vector<char> buffer(1 << 16);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    while (!stop) {
        std::vector<pollfd> fds;
        for (int i = 0; i < 1000; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            if (fd < 0) {
                break;
            }
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            fds.push_back({fd, POLLOUT, 0});
        }
        std::size_t open = fds.size();
        const auto until = Clock::now() + std::chrono::seconds(5);
        while (open > 0 && !stop && Clock::now() < until) {
            if (::poll(fds.data(), fds.size(), 50) <= 0) {
                continue;
            }
            for (pollfd& p : fds) {
                if (p.fd < 0 || p.revents == 0) {
                    continue;
                }
                bool done = (p.revents & (POLLERR | POLLNVAL)) != 0;
                if (!done && (p.events & POLLOUT) != 0 && (p.revents & POLLOUT) != 0) {
                    done = ::send(p.fd, request.data(), request.size(), MSG_NOSIGNAL) <= 0;
                    p.events = POLLIN;
                } else if (!done && (p.revents & (POLLIN | POLLHUP)) != 0) {
                    const ssize_t n = ::recv(p.fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
                    done = n == 0 || (n < 0 && errno != EAGAIN);
                }
                if (done) {
                    ::close(p.fd);
                    p.fd = -1;
                    --open;
                    ++ended;
                }
            }
        }
        for (pollfd& p : fds) {
            if (p.fd >= 0) {
                ::close(p.fd);
            }
        }
    }
}

// 100,000 station commands written as fast as the agent takes them.
void Flood(quint16 port, int sender, const std::atomic<bool>& stop) {
    const int fd = Connect(port);
    if (fd < 0) {
        return;
    }
    const std::string one =
        "(tell :sender S" + std::to_string(sender) +
        " :receiver Console :language default-language :ontology "
        "default-ontology :content (tell :command update_statistic :value 1))\n";
    std::string chunk;
    for (int i = 0; i < 1000; ++i) {
        chunk += one;
    }
    for (int sent = 0; sent < 100000 && !stop; sent += 1000) {
        std::size_t at = 0;
        while (at < chunk.size() && !stop) {
            const ssize_t n = ::send(fd, chunk.data() + at, chunk.size() - at, MSG_NOSIGNAL);
            if (n <= 0) {
                ::close(fd);
                return;
            }
            at += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
}

// One mission with load started beside it; reports the worst lateness and the end drift.
void Mission(benchmark::State& state,
             const std::function<std::vector<std::thread>(quint16 agentPort,
                                                          const std::atomic<bool>& stop)>& load) {
    bench::BenchApp<QCoreApplication>();
    // 1,000 client sockets and the server's side of them do not fit 1,024 descriptors.
    RaiseOpenFileLimit();
    double worst = 0;
    double drift = 0;
    for (auto _ : state) {
        CTickAgent agent;
        CNetContainer container(agent);
        std::vector<std::string> args = {"bench", "--bind", "127.0.0.1", "--tick-ms",
                                         std::to_string(kPeriodMs)};
        std::vector<char*> argv;
        for (std::string& s : args) {
            argv.push_back(s.data());
        }
        if (container.CreateContainer(static_cast<int>(argv.size()), argv.data(), 0) == 0) {
            state.SkipWithError("the agent did not start");
            return;
        }
        std::atomic<bool> stop{false};
        std::vector<std::thread> threads =
            load(static_cast<quint16>(container.get_communicator()->get_port()), stop);
        // Let the load get going before the mission starts.
        QElapsedTimer warm;
        warm.start();
        while (warm.elapsed() < 200) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        const Clock::time_point start = Clock::now();
        container.start_clock();
        while (agent.ticks.size() < static_cast<std::size_t>(kTicks) &&
               Clock::now() - start < std::chrono::seconds(60)) {
            // Sleeps until the next event (a tick comes every period), not spinning beside the
            // clock.
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
        container.stop_clock();
        stop = true;
        for (std::thread& t : threads) {
            t.join();
        }
        if (agent.ticks.size() < static_cast<std::size_t>(kTicks)) {
            state.SkipWithError("the mission did not end");
            return;
        }
        for (std::size_t i = 0; i < agent.ticks.size(); ++i) {
            const auto due = start + std::chrono::milliseconds(kPeriodMs) * (i + 1);
            const double late =
                std::chrono::duration<double, std::milli>(agent.ticks[i] - due).count();
            worst = std::max(worst, late);
            if (i + 1 == agent.ticks.size()) {
                drift = std::max(drift, late);
            }
        }
        state.counters["received"] = static_cast<double>(agent.received);
    }
    state.counters["worst_late_ms"] = worst;
    state.counters["drift_ms"] = drift;
}

void BM_ClockIdle(benchmark::State& state) {
    Mission(state, [](quint16, const std::atomic<bool>&) { return std::vector<std::thread>(); });
}
BENCHMARK(BM_ClockIdle)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ClockUnderMapBurst(benchmark::State& state) {
    bench::BenchApp<QCoreApplication>();
    CMapServer server;
    server.ServeFolder(std::string(HALYX_SOURCE_DIR) + "/data/maps");
    std::string error;
    if (!server.Listen(QHostAddress::LocalHost, 0, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::atomic<long> answers{0};
    Mission(state, [&](quint16, const std::atomic<bool>& stop) {
        std::vector<std::thread> threads;
        threads.emplace_back(MapBursts, server.Port(), std::cref(stop), std::ref(answers));
        return threads;
    });
    state.counters["served"] = static_cast<double>(server.Served());
    state.counters["connections"] = static_cast<double>(answers.load());
}
BENCHMARK(BM_ClockUnderMapBurst)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ClockUnderCommandFlood(benchmark::State& state) {
    Mission(state, [](quint16 port, const std::atomic<bool>& stop) {
        std::vector<std::thread> threads;
        for (int sender = 1; sender <= 3; ++sender) {
            threads.emplace_back(Flood, port, sender, std::cref(stop));
        }
        return threads;
    });
}
BENCHMARK(BM_ClockUnderCommandFlood)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
