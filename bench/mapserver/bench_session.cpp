// Running a session across machines: map requests the console serves per second over loopback
// (one keep-alive client asking for the world map again and again, as a load tester would), and
// the time from a station's death to the console hearing that it cannot be reached.
#include "external/agentkit/ansclient.h"
#include "external/agentkit/basicagent.h"
#include "external/agentkit/communicator.h"
#include "external/agentkit/net/nameserver.h"
#include "external/agentkit/net/netcontainer.h"
#include "mapserver/mapserver.h"

#include "benchapp.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace halyx;

QCoreApplication& App() {
    return bench::BenchApp<QCoreApplication>();
}

bool Until(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

void BM_MapRequestsOverLoopback(benchmark::State& state) {
    App();
    CMapServer server;
    server.ServeFolder(std::string(HALYX_SOURCE_DIR) + "/data/maps");
    std::string error;
    if (!server.Listen(QHostAddress::LocalHost, 0, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.Port());
    if (!Until([&] { return client.state() == QAbstractSocket::ConnectedState; })) {
        state.SkipWithError("no connection");
        return;
    }
    const QByteArray request = "GET /maps/world.txt HTTP/1.1\r\nHost: localhost\r\n\r\n";
    QByteArray in;
    std::size_t bytes = 0;
    for (auto _ : state) {
        client.write(request);
        in.clear();
        qsizetype needed = -1;
        const bool answered = Until([&] {
            in += client.readAll();
            if (needed < 0) {
                const qsizetype end = in.indexOf("\r\n\r\n");
                const qsizetype length = in.indexOf("Content-Length: ");
                if (end < 0 || length < 0) {
                    return false;
                }
                needed = end + 4 +
                         in.mid(length + 16, in.indexOf("\r\n", length) - length - 16).toLongLong();
            }
            return in.size() >= needed;
        });
        if (!answered) {
            state.SkipWithError("no answer");
            return;
        }
        bytes += static_cast<std::size_t>(in.size());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_MapRequestsOverLoopback)->Unit(benchmark::kMicrosecond);

class CQuietAgent : public CBasicAgent {
public:
    explicit CQuietAgent(std::string name) : CBasicAgent(std::move(name)) {
        set_debug_sink([](const std::string&) {});
    }
    bool process_message_text(const std::string&) override {
        ++received;
        return true;
    }
    int received = 0;
};

std::unique_ptr<CNetContainer> StartContainer(CBasicAgent& agent, int ansPort) {
    auto container = std::make_unique<CNetContainer>(agent);
    std::vector<std::string> args = {"bench", "--bind", "127.0.0.1", "--ans",
                                     "127.0.0.1:" + std::to_string(ansPort)};
    std::vector<char*> argv;
    for (std::string& s : args) {
        argv.push_back(s.data());
    }
    container->CreateContainer(static_cast<int>(argv.size()), argv.data(), 0);
    container->get_communicator()->retrieve_ans_object()->enable(1);
    return container;
}

// A station that dies closes its sockets (the kernel does that for a killed process); the
// console hears it on its open connection, tries again at once and reports the station lost.
// The default send time-out plays no part on this path; it bounds only a peer that vanishes
// without closing (then the connection breaks after that long without acknowledgement).
void BM_StationDeathToReport(benchmark::State& state) {
    App();
    CNameServer nameServer;
    std::string error;
    nameServer.listen(QHostAddress::LocalHost, 0, error);
    CQuietAgent console("Console");
    auto consoleContainer = StartContainer(console, nameServer.port());
    CCommunicator* comm = consoleContainer->get_communicator();
    bool lost = false;
    comm->set_link_observer(
        [&lost](const CLinkEvent& event) { lost = lost || event.kind == CLinkEvent::Kind::Lost; });
    for (auto _ : state) {
        CQuietAgent station("STATION");
        auto stationContainer = StartContainer(station, nameServer.port());
        comm->comm_sendmessage("tell", "STATION", "default-language", "default-ontology", "", "",
                               "", "tell :command clock_sync :clock 1");
        if (!Until([&] { return station.received == 1; })) {
            state.SkipWithError("the station never got its message");
            return;
        }
        lost = false;
        const auto died = std::chrono::steady_clock::now();
        stationContainer.reset();
        if (!Until([&] { return lost; })) {
            state.SkipWithError("the death was not noticed");
            return;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - died).count());
    }
}
BENCHMARK(BM_StationDeathToReport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
