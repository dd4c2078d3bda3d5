// halyx-log on a long experiment log: the CSV files and the timeline picture.
//
//   build/bin/bench_log --benchmark_filter=Csv        # run each alone for its peak memory
//   build/bin/bench_log --benchmark_filter=Timeline
//
// The first run writes a log of 1,000,000 events (the same file and traffic as bench_record) to
// $TMPDIR/halyx_bench_1m.xml and keeps it for later runs. Peak memory is the process's peak
// resident size (getrusage), reported beside the file's size.

#include "controls/timelinepainter.h"
#include "record/experimentlog.h"
#include "record/logcsvexport.h"
#include "record/logreader.h"
#include "record/logtimeline.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

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

double FileMegabytes(const std::string& path) {
    return static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
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

void BM_CsvOfMillionEventLog(benchmark::State& state) {
    const std::string& log = MillionEventLog();
    const std::string out = BenchFolder() + "halyx_bench_csv";
    for (auto _ : state) {
        const LogCsvReport report = CLogCsvExport().Export({log}, out);
        if (!report || report.events != kEvents) {
            state.SkipWithError("the export failed");
        }
    }
    state.counters["file_MB"] = FileMegabytes(log);
    state.counters["events_csv_MB"] = FileMegabytes(out + "/events.csv");
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
    state.counters["rss_per_file"] = PeakRssMegabytes() / FileMegabytes(log);
}
BENCHMARK(BM_CsvOfMillionEventLog)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

QGuiApplication& App() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "bench_log";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

// From the file to the picture: reading, the per-minute model and the painting.
void BM_TimelineOfMillionEventLog(benchmark::State& state) {
    App();
    const std::string& log = MillionEventLog();
    for (auto _ : state) {
        CLogReader reader;
        if (!reader.Open(log)) {
            state.SkipWithError("the log did not load");
            break;
        }
        CLogTimeline timeline(reader.Info(), "halyx_bench_1m");
        reader.ForEachEvent([&](const CLogEventView& e) { timeline.Add(e); });
        timeline.Finish();
        QImage image(CTimelinePainter::PreferredSize(timeline),
                     QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        CTimelinePainter::Paint(painter, image.rect(), timeline);
        painter.end();
        benchmark::DoNotOptimize(image.bits());
    }
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
}
BENCHMARK(BM_TimelineOfMillionEventLog)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

// The painting alone, of the model of that log.
void BM_TimelinePaint(benchmark::State& state) {
    App();
    CLogReader reader;
    reader.Open(MillionEventLog());
    CLogTimeline timeline(reader.Info(), "halyx_bench_1m");
    reader.ForEachEvent([&](const CLogEventView& e) { timeline.Add(e); });
    timeline.Finish();
    QImage image(CTimelinePainter::PreferredSize(timeline), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        CTimelinePainter::Paint(painter, image.rect(), timeline);
    }
}
BENCHMARK(BM_TimelinePaint)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace halyx
