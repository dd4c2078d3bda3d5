// A synthetic station floods the command agent over loopback TCP with N station commands while
// the experiment log is open. Each message is dispatched, written to the log and kept in the
// message history; with the window open it is also listed on the agent message page (which is
// the page showing) and every chat line goes to the transcript.
//
//   BM_FloodHeadless:   the agent alone, as the scripted console runs it.
//   BM_FloodWithWindow: the same with the main window shown.
//   BM_FloodWithMissionPicture: the same with the "Mission Picture" window open beside it,
//                      following the mission as the log is written.
//   BM_ListOf200000:    the agent message page holding 200,000 messages while more arrive.
//   BM_LoadExperimentInWindow: "Load Experiment" of a 1,000,000-event log (about 175 MB) with the
//                      window shown: read on a worker behind the progress dialog, then handed over.
//
// Counters: items_per_second (first arrival to last), max_gap_ms (the longest time between two
// turns of the event loop, seen by a 1 ms timer, from the first arrival until the last message
// is listed). Run with QT_QPA_PLATFORM=offscreen where there is no display:
//   QT_QPA_PLATFORM=offscreen build/bin/bench_desktop_flood

#include "../agent/floodbench.h"
#include "benchapp.h"
#include "loopgaps.h"
#include "millioneventlog.h"

#include "agent/halyxcommand.h"
#include "common/numericlocale.h"
#include "controls/filedialogs.h"
#include "controls/messagelistmodel.h"
#include "desktop/agentcommpagewidget.h"
#include "desktop/halyxcommanddlg.h"
#include "desktop/initpagewidget.h"
#include "desktop/missionfollower.h"
#include "record/experimentlog.h"
#include "scenario/scenario.h"
#include "ui/consolewiring.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace halyx {
namespace {

using bench::CountingAgent;

const std::string kFolder =
    std::filesystem::temp_directory_path().string() + "/halyx_bench_desktop/";

QApplication& App() {
    QApplication& app = bench::BenchApp<QApplication>();
    static const bool named = [] {
        QCoreApplication::setOrganizationName(QStringLiteral("HalyxBench"));
        QCoreApplication::setApplicationName(QStringLiteral("bench_desktop_flood"));
        KeepNumbersInCLocale();
        return true;
    }();
    (void)named;
    return app;
}

CScenario& BenchScenario() {
    static CScenario scenario;
    static bool filled = false;
    if (!filled) {
        LoadStartScenario(scenario);
        filled = true;
    }
    return scenario;
}

void Flood(benchmark::State& state, bool withWindow, bool withPicture = false) {
    App();
    const int flood = static_cast<int>(state.range(0));
    std::filesystem::create_directories(kFolder);
    double worstGapMs = 0;
    for (auto _ : state) {
        bench::FloodRig<CountingAgent> rig(BenchScenario());
        CountingAgent& agent = rig.agent;
        CExperimentLog& log = rig.log;
        if (!rig.Start(state, {"FLOOD"}, kFolder, "flood")) {
            return;
        }

        std::unique_ptr<CMissionFollower> follower;
        std::unique_ptr<CHalyxCommandDlg> window;
        CMessageListModel* listed = nullptr;
        if (withWindow) {
            follower = std::make_unique<CMissionFollower>(BenchScenario(), agent, log);
            window = std::make_unique<CHalyxCommandDlg>(BenchScenario(), agent, log);
            window->InitPage()->SetMissionFollower(follower.get());
            if (withPicture) {
                FindButton(window->InitPage(), QStringLiteral("Mission Picture"))->click();
            }
            window->Sheet()->setCurrentIndex(2);
            listed = dynamic_cast<CAgentCommPageWidget*>(window->Pages()[2])->Incoming().model;
            window->show();
            QCoreApplication::processEvents();
        }

        // The loop's turns, timed from the flood's first message.
        auto gaps = std::make_unique<CLoopGaps>([&agent] { return agent.m_received > 0; });

        QProcess station;
        bench::StartFlood(station, "FLOOD", rig.ans, flood);

        bench::RunUntil(
            [&] {
                const bool arrived = agent.m_received >= flood;
                const bool shown =
                    !listed || (listed->Pending() == 0 && listed->rowCount() >= flood);
                return arrived && shown;
            },
            300000);
        const double maxGapMs = gaps->MaxMs();
        gaps.reset();
        if (!rig.EndFlood(state, {&station}, flood)) {
            return;
        }
        worstGapMs = std::max(worstGapMs, maxGapMs);
        if (withPicture) {
            state.counters["picture_events"] = static_cast<double>(follower->Events().size());
        }
        window.reset();
        follower.reset();
        log.Close();
        std::filesystem::remove(kFolder + "flood.xml");
    }
    state.SetItemsProcessed(state.iterations() * flood);
    state.counters["max_gap_ms"] = worstGapMs;
}

// The agent message page already listing 200,000 messages (the history's limit) while more
// arrive, 1,000 per 20 ms: the longest turn of the event loop, with the list merged, shown and
// trimmed to its limit at every batch.
void BM_ListOf200000(benchmark::State& state) {
    App();
    CExperimentLog log;
    CHalyxCommand agent(AgentScenario::Of(BenchScenario()), log);
    CHalyxCommandDlg window(BenchScenario(), agent, log);
    window.Sheet()->setCurrentIndex(2);
    auto* page = dynamic_cast<CAgentCommPageWidget*>(window.Pages()[2]);
    CMessageListModel* listed = page->Incoming().model;
    window.show();
    const std::string base =
        "(tell :sender ALPHA :receiver HalyxCommand :language default-language "
        ":ontology default-ontology :content (tell :command deploy :id I";
    long long n = 0;
    for (; n < 200000; ++n) {
        page->AddIncomingText(base + std::to_string(n * 7919 % 1000003) + "))");
    }
    listed->Flush();
    QCoreApplication::processEvents();
    double maxGapMs = 0;
    for (auto _ : state) {
        CLoopGaps gaps;
        QTimer feed;
        int batches = 0;
        QObject::connect(&feed, &QTimer::timeout, [&] {
            for (int i = 0; i < 1000; ++i, ++n) {
                page->AddIncomingText(base + std::to_string(n * 7919 % 1000003) + "))");
            }
            ++batches;
        });
        feed.start(20);
        QElapsedTimer elapsed;
        elapsed.start();
        while (batches < 100 || listed->Pending() > 0) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            if (batches >= 100) {
                feed.stop();
            }
        }
        state.SetIterationTime(static_cast<double>(elapsed.nsecsElapsed()) / 1e9);
        maxGapMs = std::max(maxGapMs, gaps.MaxMs());
    }
    state.counters["rows"] = listed->rowCount();
    state.counters["max_gap_ms"] = maxGapMs;
}
BENCHMARK(BM_ListOf200000)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_LoadExperimentInWindow(benchmark::State& state) {
    App();
    const std::string& path = bench::MillionEventLog();
    CExperimentLog log;
    CScenario scenario;
    CHalyxCommand agent(AgentScenario::Of(scenario), log);
    CHalyxCommandDlg window(scenario, agent, log);
    window.show();
    QCoreApplication::processEvents();
    // The reader the simulation control page uses.
    const InitPageScenario wiring = MakeInitPageScenario(
        scenario, agent, {},
        [&window](const std::string& log, std::function<void(StagedExperiment)> done) {
            ReadExperimentInBackground(&window, log, std::move(done));
        });
    double maxGapMs = 0;
    double handOverMs = 0;
    for (auto _ : state) {
        CLoopGaps gaps;
        QElapsedTimer elapsed;
        elapsed.start();
        // The first turn of the loop measures from here, so the wait before the dialog shows
        // counts as a gap.
        gaps.Restart();
        bool over = false;
        bool loaded = false;
        wiring.loadExperiment(path, [&](const InitPageScenario::ExperimentCommit& commit) {
            // What runs on the window's thread after the reading: the hand-over of the
            // scenario, the team and the events.
            QElapsedTimer handOver;
            handOver.start();
            std::string message;
            loaded = commit(message);
            handOverMs = static_cast<double>(handOver.nsecsElapsed()) / 1e6;
            over = true;
        });
        while (!over) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        if (!loaded) {
            state.SkipWithError("the log did not load");
            return;
        }
        state.SetIterationTime(static_cast<double>(elapsed.nsecsElapsed()) / 1e9);
        maxGapMs = std::max({maxGapMs, gaps.MaxMs(), handOverMs});
    }
    state.counters["events"] = static_cast<double>(agent.Events().Count());
    state.counters["max_gap_ms"] = maxGapMs;
    state.counters["hand_over_ms"] = handOverMs;
}
BENCHMARK(BM_LoadExperimentInWindow)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_FloodHeadless(benchmark::State& state) {
    Flood(state, false);
}
void BM_FloodWithWindow(benchmark::State& state) {
    Flood(state, true);
}
void BM_FloodWithMissionPicture(benchmark::State& state) {
    Flood(state, true, true);
}
BENCHMARK(BM_FloodHeadless)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloodWithWindow)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloodWithMissionPicture)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace halyx
