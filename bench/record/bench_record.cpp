// Loading a long experiment log and playing it back.
//
//   build-NAME/bin/bench_record [--benchmark_filter=...]
//
// The first run writes a log of 1,000,000 events (about half of them replayable station
// commands, spread over the 960 minutes of a mission) to $TMPDIR/halyx_bench_1m.xml and keeps
// it for later runs. Peak memory is the process's peak resident size (getrusage), reported
// beside the file's size; the load runs first so that the peak belongs to it.

#include "record/experimentlog.h"
#include "record/logloader.h"
#include "record/simeventstore.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>

namespace halyx {
namespace {

constexpr int kEvents = 1000000;

double PeakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

std::string BenchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/";
}

// A mission's worth of typical traffic, repeated until kEvents lines are written.
const std::string& MillionEventLog() {
    static const std::string path = [] {
        const std::string folder = BenchFolder();
        const std::string file = folder + "halyx_bench_1m.xml";
        if (std::filesystem::exists(file)) {
            return file;
        }
        int64_t tsid = 1796479389047;
        CExperimentLog log([&tsid] { return tsid++; });
        log.Open(folder, "halyx_bench_1m", "benchmark", "<Scenario>\n</Scenario>\n");
        for (int i = 0; i < kEvents; ++i) {
            const int clock = static_cast<int>(static_cast<int64_t>(i) * 960 / kEvents);
            const char* from = i % 3 == 0 ? "ALPHA" : i % 3 == 1 ? "BRAVO" : "CHARLIE";
            switch (i % 8) {
            case 0:
                log.LogDeployResource(clock, from, "Interceptor", "N3", "100", "200", "4", "5",
                                      "300", "400", "12", "20");
                break;
            case 1:
                log.LogChatMsg(clock, from, "incursion heading north, can you cover it?");
                break;
            case 2:
                log.LogResourceActivate(clock, from, "Radar", "R2", "10", "20", "1", "2");
                break;
            case 3:
                log.LogDeployBalloon(clock, from, "500", "600", "21", "3");
                break;
            case 4:
                log.LogWeatherQuery(clock, from, "100", "95");
                break;
            case 5:
                log.LogWeatherResponse(clock, from, "100", "95", 21.5, 1013.25, 40, 12, 270);
                break;
            case 6:
                log.LogUpdateInc(clock, from, "I1", "90", "110", "210");
                break;
            default:
                log.LogIncEnterRadar(clock, from, "I1", "R2");
                break;
            }
        }
        log.EndSimEvents(TeamMembersXml({"ALPHA", "BRAVO", "CHARLIE"}));
        log.Close();
        return file;
    }();
    return path;
}

void BM_LoadMillionEventLog(benchmark::State& state) {
    const std::string& path = MillionEventLog();
    const double fileMegabytes =
        static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
    const double rssBefore = PeakRssMegabytes();
    size_t loaded = 0;
    for (auto _ : state) {
        CSimEventStore store;
        CLogLoader loader({.readScenario = nullptr, .loadTeam = nullptr, .events = &store});
        if (!loader.Load(path)) {
            state.SkipWithError("the log did not load");
            return;
        }
        loaded = store.Count();
    }
    state.counters["file_MB"] = fileMegabytes;
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
    state.counters["peak_growth_MB"] = PeakRssMegabytes() - rssBefore;
    state.counters["peak_per_file_byte"] = PeakRssMegabytes() / fileMegabytes;
    state.counters["replayable_events"] = static_cast<double>(loaded);
    state.SetItemsProcessed(state.iterations() * kEvents);
}
BENCHMARK(BM_LoadMillionEventLog)->Unit(benchmark::kMillisecond)->Iterations(3);

// Counts what would go out; the agent's real sending is measured with the agent.
class CountingSender : public EventSender {
public:
    void SendKqml(const std::string&, const std::string&, const std::string& c) override {
        bytes += c.size();
    }
    void SendKqmlAs(const std::string&, const std::string&, const std::string&,
                    const std::string& c) override {
        bytes += c.size();
    }
    void BroadcastKqml(const std::string& c) override { bytes += c.size(); }
    void BroadcastKqmlAs(const std::string&, const std::string& c) override { bytes += c.size(); }
    size_t bytes = 0;
};

void BM_ReleaseWholePlayback(benchmark::State& state) {
    CSimEventStore store;
    CLogLoader loader({.readScenario = nullptr, .loadTeam = nullptr, .events = &store});
    if (!loader.Load(MillionEventLog())) {
        state.SkipWithError("the log did not load");
        return;
    }
    CountingSender sender;
    for (auto _ : state) {
        store.Rewind();
        for (int clock = 0; clock <= 960; ++clock) {
            store.Release(clock, sender);
        }
    }
    benchmark::DoNotOptimize(sender.bytes);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(store.Count()));
}
BENCHMARK(BM_ReleaseWholePlayback)->Unit(benchmark::kMillisecond);

void BM_WriteEventLine(benchmark::State& state) {
    const std::string folder = BenchFolder();
    CExperimentLog log;
    log.Open(folder, "halyx_bench_write", "", "<Scenario/>\n");
    int clock = 0;
    for (auto _ : state) {
        log.LogDeployResource(++clock, "ALPHA", "Interceptor", "N3", "100", "200", "4", "5", "300",
                              "400", "12", "20");
    }
    log.Close();
    std::filesystem::remove(folder + "halyx_bench_write.xml");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteEventLine);

} // namespace
} // namespace halyx
