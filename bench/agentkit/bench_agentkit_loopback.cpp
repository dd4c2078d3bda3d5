// Messages per second between two agents over loopback TCP, name server embedded: a burst of
// station commands from one agent to the other, counted when the receiver has them all; and
// a request-answer round trip.
#include "external/agentkit/ansclient.h"
#include "external/agentkit/basicagent.h"
#include "external/agentkit/net/nameserver.h"
#include "external/agentkit/net/netcontainer.h"

#include "benchapp.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace halyx;

class CCountingAgent : public CBasicAgent {
public:
    explicit CCountingAgent(std::string name) : CBasicAgent(std::move(name)) {
        set_debug_sink([](const std::string&) {});
    }
    bool process_message_text(const std::string& text) override {
        ++received;
        bytes += text.size();
        if (echo) {
            get_communicator()->comm_sendmessage("tell", "A", "default-language",
                                                 "default-ontology", "", "", "",
                                                 "tell :command weather_data :balloonID B1");
        }
        return true;
    }
    std::size_t received = 0;
    std::size_t bytes = 0;
    bool echo = false;
};

struct CPair {
    CNameServer server;
    CCountingAgent a{"A"};
    CCountingAgent b{"B"};
    CNetContainer ca{a};
    CNetContainer cb{b};

    CPair() {
        std::string error;
        server.listen(QHostAddress::LocalHost, 0, error);
        const std::string ans = "127.0.0.1:" + std::to_string(server.port());
        for (CNetContainer* c : {&ca, &cb}) {
            std::vector<std::string> args = {"bench", "--bind", "127.0.0.1", "--ans", ans};
            std::vector<char*> argv;
            for (std::string& s : args) {
                argv.push_back(s.data());
            }
            c->CreateContainer(static_cast<int>(argv.size()), argv.data(), 0);
            c->get_communicator()->retrieve_ans_object()->enable(1);
        }
    }
    void Until(const std::function<bool()>& done) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
};

QCoreApplication& App() {
    return bench::BenchApp<QCoreApplication>();
}

const std::string kCommand =
    "tell :command deploy :resource interceptor :id I3 :destLat 412 :destLng 300 :initLat 100 "
    ":initLng 250 :destGridCol 17 :destGridRow 25 :initGridCol 4 :initGridRow 28";

void BM_LoopbackBurst(benchmark::State& state) {
    App();
    CPair pair;
    const int burst = static_cast<int>(state.range(0));
    CCommunicator* comm = pair.ca.get_communicator();
    // The first message pays for the lookup and the connection.
    comm->comm_sendmessage("tell", "B", "default-language", "default-ontology", "", "", "",
                           kCommand);
    pair.Until([&] { return pair.b.received == 1; });
    std::size_t expected = 1;
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::size_t before = pair.b.bytes;
        for (int i = 0; i < burst; ++i) {
            comm->comm_sendmessage("tell", "B", "default-language", "default-ontology", "", "", "",
                                   kCommand);
        }
        expected += static_cast<std::size_t>(burst);
        pair.Until([&] { return pair.b.received >= expected; });
        bytes += pair.b.bytes - before;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * burst));
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_LoopbackBurst)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoopbackRoundTrip(benchmark::State& state) {
    App();
    CPair pair;
    pair.b.echo = true;
    CCommunicator* comm = pair.ca.get_communicator();
    std::size_t expected = 0;
    for (auto _ : state) {
        comm->comm_sendmessage("tell", "B", "default-language", "default-ontology", "", "", "",
                               "tell :command get_weather :lat 100 :lng 95 :balloonID B1");
        ++expected;
        pair.Until([&] { return pair.a.received >= expected; });
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LoopbackRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
