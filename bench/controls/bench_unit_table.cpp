// A unit table of 10,000 incursions: loading the list (one reset through the model, the sorting
// proxy and the view, then the first paint) and scrolling it a page at a time. The goal is a
// load under 50 ms of CPU time; a scroll step should stay well under a frame.
#include "controls/scenariocommands.h"
#include "controls/unittablemodel.h"
#include "scenario/scenario.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QTableView>
#include <QUndoStack>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace halyx {
namespace {

constexpr int kUnits = 10000;

std::vector<CIncursion> ManyIncursions() {
    std::vector<CIncursion> units;
    units.reserve(kUnits);
    for (int i = 0; i < kUnits; ++i) {
        units.emplace_back("Incursion " + std::to_string(i), "ID" + std::to_string(i),
                           std::to_string(10 + i % 900), std::to_string(105 + i % 500),
                           std::to_string(50 + i % 350), std::to_string(i % 360),
                           std::to_string(i % 17));
    }
    return units;
}

struct Table {
    CScenario scenario;
    CUnitTableModel<CIncursion> model{scenario.Incursions()};
    CUnitSortProxy proxy;
    QTableView view;
    QImage frame{900, 600, QImage::Format_ARGB32};

    Table() {
        proxy.setSourceModel(&model);
        view.setModel(&proxy);
        view.setSortingEnabled(true);
        view.sortByColumn(-1, Qt::AscendingOrder);
        view.verticalHeader()->setDefaultSectionSize(20);
        view.resize(900, 600);
        view.show();
    }
    void Paint() {
        view.viewport()->render(&frame);
        QApplication::processEvents();
    }
};

void BM_UnitTableLoad10000(benchmark::State& state) {
    Table table;
    const std::vector<CIncursion> units = ManyIncursions();
    QUndoStack stack;
    int rows = 0;
    for (auto _ : state) {
        // A unit file of 10,000 read into the page: one replace command, one reset.
        PushReplaceUnits(stack, table.scenario, units);
        table.Paint();
        state.PauseTiming();
        rows = table.model.rowCount();
        stack.undo();
        table.Paint();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_UnitTableLoad10000)->Unit(benchmark::kMillisecond);

void BM_UnitTableScrollPage(benchmark::State& state) {
    Table table;
    QUndoStack stack;
    PushReplaceUnits(stack, table.scenario, ManyIncursions());
    table.Paint();
    QScrollBar* bar = table.view.verticalScrollBar();
    for (auto _ : state) {
        int next = bar->value() + bar->pageStep();
        if (next > bar->maximum()) {
            next = 0;
        }
        bar->setValue(next);
        table.Paint();
    }
}
BENCHMARK(BM_UnitTableScrollPage)->Unit(benchmark::kMillisecond);

void BM_UnitTableSortByName(benchmark::State& state) {
    Table table;
    QUndoStack stack;
    PushReplaceUnits(stack, table.scenario, ManyIncursions());
    bool descending = false;
    for (auto _ : state) {
        table.view.sortByColumn(0, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        descending = !descending;
        table.Paint();
    }
}
BENCHMARK(BM_UnitTableSortByName)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace halyx
