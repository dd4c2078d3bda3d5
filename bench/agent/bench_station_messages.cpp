// How many station messages the command agent handles per second, each one recorded in the
// message history, dispatched, and written to the experiment log (flushed per event).
//
//   BM_DispatchInProcess: wire texts handed straight to the agent (in-memory communicator).
//   BM_DispatchOverTcp:   a halyx-station process floods the agent over loopback TCP; the time is
//                         from the first message's arrival to the last one's.
//   BM_TickLatenessUnderFlood: three halyx-station processes flood the agent at once while its
//                         clock ticks every 10 ms; reports the worst lateness of a tick (how much
//                         longer than 10 ms the gap between two ticks was), how many ticks were
//                         more than 20 ms late, the most CPU time the event-loop thread spent
//                         between two ticks (the work done per turn, apart from the machine's
//                         other load), and the throughput.

#include "floodbench.h"

#include "agent/halyxcommand.h"
#include "common/paths.h"
#include "external/agentkit/memorycommunicator.h"
#include "external/kqml/message.h"
#include "record/experimentlog.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace halyx {
namespace {

using bench::CountingAgent;

const std::string kFolder = std::filesystem::temp_directory_path().string() + "/halyx_bench_agent/";

// A mission's typical traffic: one of each station command with realistic values.
std::vector<std::string> TypicalMessages() {
    const char* contents[] = {
        "tell :command deploy :resource interceptor :id I12 :destLat 412 :destLng 388 :initLat "
        "416 :initLng 267 :destGridCol 17 :destGridRow 18 :initGridCol 17 :initGridRow 27",
        "tell :command activate :resource radar :id R3 :lat 538 :lng 269 :gridCol 22 :gridRow 27",
        "tell :command get_weather :lat 480 :lng 575 :balloonID B4",
        "tell :command subject_communication :to BRAVO :from ALPHA :message (radar 3 is up, "
        "sending the frigate north)",
        "tell :command intercept :resource interceptor :id I4 :incID C7 :intLat 500 :intLng 300 "
        ":intGridCol 21 :intGridRow 24 :incLat 501 :incLng 302 :incGridCol 21 :incGridRow 24",
        "tell :command update_inc_heading :id C7 :heading 95 :lat 501 :lng 302",
        "tell :command inc_enter_radar :incID C7 :radarID R3",
        "tell :command deploy_balloon :destLat 300 :destLng 400 :gridCol 12 :gridRow 18",
        "tell :command log_unit_display :unitType Incursion :name Boat :id C7 :lat 501 :lng 302 "
        ":speed 60 :heading 95",
        "tell :command update_go_nogo_status :status go",
    };
    std::vector<std::string> wire;
    for (const char* content : contents) {
        CKqmlMessage m;
        m.performative = "tell";
        m.sender = "ALPHA";
        m.receiver = "HalyxCommand";
        m.language = "default-language";
        m.ontology = "default-ontology";
        m.content = content;
        wire.push_back(m.ToText());
    }
    return wire;
}

CScenario& BenchScenario() {
    static CScenario scenario;
    static bool filled = false;
    if (!filled) {
        scenario.Weather().SetSeason(0);
        scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
        LoadDefaultScenario(scenario);
        filled = true;
    }
    return scenario;
}

void BM_DispatchInProcess(benchmark::State& state) {
    std::filesystem::create_directories(kFolder);
    CExperimentLog log;
    CHalyxCommand agent(AgentScenario::Of(BenchScenario()), log);
    agent.set_debug_sink([](const std::string&) {});
    CMemoryCommunicator comm(agent);
    agent.AddTeamMember("ALPHA");
    log.Open(kFolder, "inprocess", "", "<Scenario>\n</Scenario>\n");
    const std::vector<std::string> messages = TypicalMessages();
    size_t i = 0;
    for (auto _ : state) {
        comm.deliver_text(messages[i % messages.size()]);
        if (++i % 4096 == 0) {
            comm.clear_sent();
        }
    }
    log.Close();
    state.SetItemsProcessed(static_cast<int64_t>(i));
    state.counters["log_bytes_per_msg"] =
        static_cast<double>(std::filesystem::file_size(kFolder + "inprocess.xml")) /
        static_cast<double>(i);
    std::filesystem::remove(kFolder + "inprocess.xml");
}
BENCHMARK(BM_DispatchInProcess)->Iterations(200000)->Unit(benchmark::kMicrosecond);

// The event loop the networked benchmarks need, made once.
void EnsureApp() {
    static int argc = 1;
    static char name[] = "bench_agent_messages";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) {
        new QCoreApplication(argc, argv);
    }
}

void BM_DispatchOverTcp(benchmark::State& state) {
    EnsureApp();
    const int flood = static_cast<int>(state.range(0));
    std::filesystem::create_directories(kFolder);

    for (auto _ : state) {
        bench::FloodRig<CountingAgent> rig(BenchScenario());
        CountingAgent& agent = rig.agent;
        CExperimentLog& log = rig.log;
        if (!rig.Start(state, {"FLOOD"}, kFolder, "tcp")) {
            return;
        }

        QProcess station;
        bench::StartFlood(station, "FLOOD", rig.ans, flood);

        bench::RunUntil([&] { return agent.m_received >= flood; }, 120000);
        if (!rig.EndFlood(state, {&station}, flood)) {
            return;
        }
        state.counters["dispatched"] = static_cast<double>(agent.DispatchedCount());
        log.Close();
        std::filesystem::remove(kFolder + "tcp.xml");
    }
    state.SetItemsProcessed(state.iterations() * flood);
}
BENCHMARK(BM_DispatchOverTcp)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

std::int64_t ThreadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Also records the gaps between clock ticks while messages arrive: in real time (what the
// experimenter sees, the machine's other load included) and in this thread's CPU time (the work
// the event loop did between two ticks, whatever else the machine runs).
class TickingAgent : public CountingAgent {
public:
    using CountingAgent::CountingAgent;
    void process_clock_tick() override {
        const qint64 now = m_ticks.nsecsElapsed();
        const std::int64_t cpu = ThreadCpuNs();
        // Only the ticks while the flood is coming in count.
        if (m_lastTick >= 0 && m_received > 0 && !m_floodDone) {
            m_worstGapNs = std::max(m_worstGapNs, now - m_lastTick);
            m_worstCpuNs = std::max(m_worstCpuNs, cpu - m_lastCpu);
            // A gap over 30 ms is a tick more than 20 ms late.
            m_lateOver20 += now - m_lastTick > 30000000 ? 1 : 0;
            ++m_tickCount;
        }
        m_lastTick = now;
        m_lastCpu = cpu;
        CountingAgent::process_clock_tick();
    }
    QElapsedTimer m_ticks;
    qint64 m_lastTick = -1;
    qint64 m_worstGapNs = 0;
    std::int64_t m_lastCpu = 0;
    std::int64_t m_worstCpuNs = 0;
    long long m_tickCount = 0;
    long long m_lateOver20 = 0;
    bool m_floodDone = false;
};

void BM_TickLatenessUnderFlood(benchmark::State& state) {
    EnsureApp();
    const int flood = static_cast<int>(state.range(0));
    constexpr int kStations = 3;
    constexpr int kTickMs = 10;
    std::filesystem::create_directories(kFolder);
    double worstLateMs = 0;
    double worstCpuMs = 0;
    long long lateOver20 = 0;
    long long ticks = 0;

    for (auto _ : state) {
        bench::FloodRig<TickingAgent> rig(BenchScenario());
        TickingAgent& agent = rig.agent;
        CExperimentLog& log = rig.log;
        std::vector<std::string> team;
        for (int i = 0; i < kStations; ++i) {
            team.push_back("FLOOD" + std::to_string(i));
        }
        agent.m_ticks.start();
        if (!rig.Start(state, team, kFolder, "tick", {"--tick-ms=" + std::to_string(kTickMs)}, 1)) {
            return;
        }

        std::vector<std::unique_ptr<QProcess>> stations;
        std::vector<QProcess*> flooding;
        for (int i = 0; i < kStations; ++i) {
            stations.push_back(std::make_unique<QProcess>());
            flooding.push_back(stations.back().get());
            bench::StartFlood(*flooding.back(), team[static_cast<size_t>(i)], rig.ans, flood);
        }

        const long long total = static_cast<long long>(flood) * kStations;
        bench::RunUntil(
            [&] {
                if (agent.m_received >= total) {
                    agent.m_floodDone = true;
                    return true;
                }
                return false;
            },
            180000);
        if (!rig.EndFlood(state, flooding, total)) {
            return;
        }
        worstLateMs =
            std::max(worstLateMs, static_cast<double>(agent.m_worstGapNs) / 1e6 - kTickMs);
        worstCpuMs = std::max(worstCpuMs, static_cast<double>(agent.m_worstCpuNs) / 1e6);
        lateOver20 += agent.m_lateOver20;
        ticks += agent.m_tickCount;
        log.Close();
        std::filesystem::remove(kFolder + "tick.xml");
    }
    state.counters["worst_tick_late_ms"] = worstLateMs;
    state.counters["worst_cpu_between_ticks_ms"] = worstCpuMs;
    state.counters["ticks_during_flood"] = static_cast<double>(ticks);
    state.counters["ticks_late_over_20ms"] = static_cast<double>(lateOver20);
    state.SetItemsProcessed(state.iterations() * flood * kStations);
}
BENCHMARK(BM_TickLatenessUnderFlood)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace halyx
