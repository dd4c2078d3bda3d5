// halyx-log on a long experiment log: the CSV files and the timeline picture.
//
//   build/bin/bench_log --benchmark_filter=Csv        # run each alone for its peak memory
//   build/bin/bench_log --benchmark_filter=Timeline
//
// The first run writes a log of 1,000,000 events (the same file and traffic as bench_record) to
// $TMPDIR/halyx_bench_1m.xml and keeps it for later runs. Peak memory is the process's peak
// resident size (getrusage), reported beside the file's size.

#include "controls/timelinepainter.h"
#include "record/logcsvexport.h"
#include "record/logreader.h"
#include "record/logtimeline.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "benchapp.h"
#include "millioneventlog.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>

namespace halyx {
namespace {

using namespace bench;

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
    return BenchApp<QGuiApplication>();
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
