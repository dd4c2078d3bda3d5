// The mission picture's costs.
//
//   build/bin/bench_mission
//
// Goals: 1,000,000 events applied in under a second; the picture at a minute of a
// 1,000,000-event log, from the file to the image, in under a second; a redraw with 10,000
// marks on screen in under 16 ms. Commands about IDs nobody knows (a stray's flood, a damaged
// log): the cost per event stays flat however many distinct IDs come, the observer's state and
// its updates stay small, and an SVG of a million marks at one minute is as large as one of a
// few thousand. The long log is the one the log benchmarks share
// ($TMPDIR/halyx_bench_1m.xml, written on the first run).

#include "controls/missionpainter.h"
#include "controls/missionpicturefile.h"
#include "mission/missionjson.h"
#include "mission/missionlog.h"
#include "mission/missionstate.h"
#include "record/logreader.h"
#include "scenario/defaultscenario.h"
#include "scenario/geographyview.h"
#include "scenario/scenario.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "benchapp.h"
#include "millioneventlog.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace halyx {
namespace {

using namespace bench;

void LoadMap(CScenario& scenario) {
    LoadDefaultScenario(scenario, std::string(HALYX_SOURCE_DIR) + "/data/maps/");
    CSilentGeographyView silent;
    scenario.Geography().GetMapFromURL(scenario.Geography().GetMapURL(CGeography::kGlobalMap),
                                       silent);
    CWorldMap& map = scenario.Geography().GetWorldMap();
    map.zoomby(kMinZoom - map.getScalefactor());
}

// A million events of every kind, spread over the mission's minutes.
std::vector<CMissionEvent> MillionEvents() {
    std::vector<CMissionEvent> events(kEvents);
    static const char* kStations[] = {"ALPHA", "BRAVO", "CHARLIE"};
    for (int i = 0; i < kEvents; ++i) {
        CMissionEvent& e = events[static_cast<size_t>(i)];
        e.kind = static_cast<MissionEventKind>(i % (kMissionEventKinds - 1));
        e.minute = static_cast<int>(int64_t{i} * kMissionLastMinute / kEvents);
        e.tsid = i;
        e.station = kStations[i % 3];
        e.resType = "Interceptor";
        e.resId = i % 2 ? "N" + std::to_string(i % 20) : "R" + std::to_string(i % 12);
        e.incId = "I" + std::to_string(i % 9);
        e.heading = 90;
        e.text = "incursion heading north";
        e.lat = 100 + i % 500;
        e.lng = 200.5;
        e.lat2 = 100;
        e.lng2 = 210;
    }
    return events;
}

void BM_ApplyMillionEvents(benchmark::State& state) {
    const std::vector<CMissionEvent> events = MillionEvents();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<CMissionEvent> copy = events;
        CMissionBuilder builder;
        state.ResumeTiming();
        builder.Assign(std::move(copy));
        benchmark::DoNotOptimize(builder.Latest().eventsApplied);
        state.PauseTiming();
        builder = CMissionBuilder(); // freeing is not applying
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kEvents);
}
BENCHMARK(BM_ApplyMillionEvents)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Live: one Append per event, as the log writes them.
void BM_AppendMillionEventsLive(benchmark::State& state) {
    const std::vector<CMissionEvent> events = MillionEvents();
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<CMissionEvent> copy = events; // as the log's watcher hands each one over
        CMissionBuilder builder;
        state.ResumeTiming();
        for (CMissionEvent& e : copy) {
            builder.Append(std::move(e));
        }
        benchmark::DoNotOptimize(builder.Latest().eventsApplied);
        state.PauseTiming();
        builder = CMissionBuilder();
        copy = {};
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kEvents);
}
BENCHMARK(BM_AppendMillionEventsLive)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// From the file to the image: reading the log, applying its events, seeking to the minute and
// painting (what halyx-log picture does once the map is loaded).
void BM_PictureAtMinuteOfMillionEventLog(benchmark::State& state) {
    BenchApp<QGuiApplication>();
    const std::string& log = MillionEventLog();
    CScenario scenario;
    LoadMap(scenario);
    CMissionPainter painter(scenario);
    const QSize size = CMissionPainter::PreferredSize(scenario);
    for (auto _ : state) {
        CScenario fromLog;
        MissionLog read;
        std::string error;
        if (!ReadMissionLog(log, fromLog, read, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        CMissionBuilder builder(MissionSetupFrom(scenario, read.team));
        builder.Assign(std::move(read.events));
        const CMissionState& at = builder.StateAt(static_cast<int>(state.range(0)));
        const QImage image = MissionPictureImage(painter, size, at, builder.MarksUpTo(at));
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
}
BENCHMARK(BM_PictureAtMinuteOfMillionEventLog)
    ->Arg(480)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

// For comparison: the analysis reader alone over the same log, every event handed on and
// dropped (the floor under the picture from a file).
void BM_ReaderAloneOnMillionEventLog(benchmark::State& state) {
    const std::string& log = MillionEventLog();
    for (auto _ : state) {
        CLogReader reader;
        size_t events = 0;
        if (!reader.Open(log) || !reader.ForEachEvent([&](const CLogEventView&) { ++events; })) {
            state.SkipWithError("the log did not load");
            break;
        }
        benchmark::DoNotOptimize(events);
    }
}
BENCHMARK(BM_ReaderAloneOnMillionEventLog)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

// The window's redraw: 10,000 marks within the trail, on a map of the default scenario; the
// deployments and interceptions among them with their lines.
void BM_RedrawTenThousandMarks(benchmark::State& state) {
    BenchApp<QGuiApplication>();
    CScenario scenario;
    LoadMap(scenario);
    CMissionBuilder builder(MissionSetupFrom(scenario, {"ALPHA", "BRAVO", "CHARLIE"}));
    for (int i = 0; i < 10000; ++i) {
        CMissionEvent e;
        e.kind = static_cast<MissionEventKind>(3 + i % 8); // activate .. request
        e.minute = i * 30 / 10000;
        e.tsid = i;
        e.station = i % 3 == 0 ? "ALPHA" : i % 3 == 1 ? "BRAVO" : "CHARLIE";
        e.resId = "N" + std::to_string(i % 40);
        e.incId = "I1";
        e.lat = 100 + (i * 37) % 800;
        e.lng = 50 + (i * 53) % 600;
        // A deployment's start a little way off, as interceptors move.
        e.lat2 = 100 + (i * 37) % 800 + 20;
        e.lng2 = 50 + (i * 53) % 600 - 15;
        builder.Append(std::move(e));
    }
    const CMissionState& at = builder.StateAt(29);
    const auto marks = builder.MarksUpTo(at);
    CMissionPainter painter(scenario);
    QImage image(CMissionPainter::PreferredSize(scenario), QImage::Format_RGB32);
    {
        QPainter warm(&image);
        painter.Paint(warm, image.rect(), at, marks); // the map is kept after the first paint
    }
    for (auto _ : state) {
        QPainter p(&image);
        painter.Paint(p, image.rect(), at, marks);
    }
    state.counters["marks"] = static_cast<double>(marks.size());
}
BENCHMARK(BM_RedrawTenThousandMarks)->Unit(benchmark::kMillisecond)->UseRealTime();

// Commands that each name an ID the scenario does not know, as a stray or a damaged log sends
// them: kind 0 heading updates, 1 deployments, 2 radar contacts.
std::vector<CMissionEvent> DistinctIdEvents(int kind, int count, bool oneMinute) {
    std::vector<CMissionEvent> events(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        CMissionEvent& e = events[static_cast<size_t>(i)];
        e.kind = kind == 0   ? MissionEventKind::UpdateInc
                 : kind == 1 ? MissionEventKind::DeployResource
                             : MissionEventKind::IncEnterRadar;
        e.minute = oneMinute ? 1 : static_cast<int>(int64_t{i} * kMissionLastMinute / count);
        e.tsid = i;
        e.station = "ALPHA";
        e.resType = "Interceptor";
        e.resId = (kind == 2 ? "R" : "D") + std::to_string(i);
        e.incId = "X" + std::to_string(i);
        e.heading = 90;
        e.lat = 100 + i % 500;
        e.lng = 200.5;
    }
    return events;
}

// Applying a log of distinct IDs and painting its end: time and peak memory should grow with
// the count, not with its square.
void BM_PictureOfDistinctIds(benchmark::State& state) {
    BenchApp<QGuiApplication>();
    CScenario scenario;
    LoadMap(scenario);
    CMissionPainter painter(scenario);
    const QSize size = CMissionPainter::PreferredSize(scenario);
    const int kind = static_cast<int>(state.range(0));
    const int count = static_cast<int>(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<CMissionEvent> events = DistinctIdEvents(kind, count, false);
        state.ResumeTiming();
        CMissionBuilder builder(MissionSetupFrom(scenario, {"ALPHA"}));
        builder.Assign(std::move(events));
        const CMissionState& at = builder.StateAt(kMissionLastMinute);
        const QImage image = MissionPictureImage(painter, size, at, builder.MarksUpTo(at));
        benchmark::DoNotOptimize(image.constBits());
        state.counters["over_limit"] = static_cast<double>(at.overLimitCommands);
    }
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
}
BENCHMARK(BM_PictureOfDistinctIds)
    ->ArgsProduct({{0, 1}, {50000, 200000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

// An SVG of a million marks at one minute: the picture draws the newest ones and says so.
void BM_SvgOfAMillionMarksAtOneMinute(benchmark::State& state) {
    BenchApp<QGuiApplication>();
    CScenario scenario;
    LoadMap(scenario);
    CMissionPainter painter(scenario);
    std::vector<CMissionEvent> events = DistinctIdEvents(0, kEvents, true);
    for (CMissionEvent& e : events) {
        e.kind = MissionEventKind::DeployBalloon;
    }
    CMissionBuilder builder(MissionSetupFrom(scenario, {"ALPHA"}));
    builder.Assign(std::move(events));
    const CMissionState& at = builder.StateAt(1);
    QTemporaryDir folder;
    const std::string file = folder.path().toStdString() + "/minute.svg";
    for (auto _ : state) {
        std::string error;
        if (!WriteMissionPicture(painter, at, builder.MarksUpTo(at), file, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.counters["svg_MB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
}
BENCHMARK(BM_SvgOfAMillionMarksAtOneMinute)->Unit(benchmark::kMillisecond)->UseRealTime();

// The observer under a stray's flood: 250,000 radar contacts with new IDs logged one by one,
// the state published every 1,000 events (five times a second at 5,000 events a second) as the
// console's feed does. Reported: the slowest publish (state and update built), the largest
// whole state and the largest update.
void BM_ObserverStateUnderAStrayFlood(benchmark::State& state) {
    CScenario scenario;
    LoadDefaultScenario(scenario, std::string(HALYX_SOURCE_DIR) + "/data/maps/");
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<CMissionEvent> events = DistinctIdEvents(2, 250000, false);
        state.ResumeTiming();
        CMissionBuilder builder(MissionSetupFrom(scenario, {"ALPHA", "BRAVO", "CHARLIE"}));
        std::string last;
        double slowestMs = 0;
        size_t largestState = 0;
        size_t largestUpdate = 0;
        for (size_t i = 0; i < events.size(); ++i) {
            builder.Append(std::move(events[i]));
            if ((i + 1) % 1000 != 0) {
                continue;
            }
            const auto start = Clock::now();
            std::string json = MissionStateJson(builder.Latest(), builder.Marks());
            const std::string update = MissionStateUpdate(last, json);
            slowestMs = std::max(
                slowestMs, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            largestState = std::max(largestState, json.size());
            largestUpdate = std::max(largestUpdate, update.size());
            last = std::move(json);
        }
        state.counters["slowest_publish_ms"] = slowestMs;
        state.counters["largest_state_KB"] = static_cast<double>(largestState) / 1024.0;
        state.counters["largest_update_KB"] = static_cast<double>(largestUpdate) / 1024.0;
    }
    state.counters["peak_rss_MB"] = PeakRssMegabytes();
}
BENCHMARK(BM_ObserverStateUnderAStrayFlood)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

} // namespace
} // namespace halyx
