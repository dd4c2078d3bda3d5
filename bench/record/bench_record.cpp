// Loading a long experiment log and playing it back.
//
//   build-NAME/bin/bench_record [--benchmark_filter=...]
//
// The first run writes a log of 1,000,000 events (about half of them replayable station
// commands, spread over the 960 minutes of a mission) to $TMPDIR/halyx_bench_1m.xml and keeps
// it for later runs. Peak memory is the process's peak resident size (getrusage), reported
// beside the file's size; the load runs first so that the peak belongs to it.

#include "record/logloader.h"
#include "record/logrepair.h"
#include "record/simeventstore.h"

#include "millioneventlog.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>

namespace halyx {
namespace {

using namespace bench;

void BM_LoadMillionEventLog(benchmark::State& state) {
    const std::string& path = MillionEventLog();
    const double fileMegabytes = FileMegabytes(path);
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

// A log cut off in its last event line, repaired into a closed copy: the input is held once and
// freed before the loader checks the copy. Run it alone (--benchmark_filter) for a peak that is
// its own.
void BM_RepairCutOffMillionEventLog(benchmark::State& state) {
    const std::string& path = MillionEventLog();
    const std::string cut = BenchFolder() + "halyx_bench_1m_cut.xml";
    const std::string out = BenchFolder() + "halyx_bench_1m_cut_repaired.xml";
    std::filesystem::copy_file(path, cut, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(cut, std::filesystem::file_size(path) - 40);
    const double fileMegabytes = FileMegabytes(cut);
    const double rssBefore = PeakRssMegabytes();
    for (auto _ : state) {
        if (!RepairExperimentLog(cut, out)) {
            state.SkipWithError("the log was not repaired");
            return;
        }
    }
    state.counters["file_MB"] = fileMegabytes;
    state.counters["peak_growth_MB"] = PeakRssMegabytes() - rssBefore;
    state.counters["growth_per_file_byte"] = (PeakRssMegabytes() - rssBefore) / fileMegabytes;
    std::filesystem::remove(cut);
    std::filesystem::remove(out);
}
BENCHMARK(BM_RepairCutOffMillionEventLog)->Unit(benchmark::kMillisecond)->Iterations(1);

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
