// The weather grid shown for another layer: the model's range and heat-map colours for the new
// layer, and the table painted with them. The goal is under 16 ms, one frame.
#include "controls/weathergridmodel.h"
#include "scenario/scenario.h"

#include <QApplication>
#include <QImage>
#include <QTableView>
#include <QUndoStack>

#include <benchmark/benchmark.h>

namespace halyx {
namespace {

void BM_WeatherLayerRender(benchmark::State& state) {
    CScenario scenario;
    scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
    QUndoStack stack;
    CWeatherGridModel model(scenario, stack);
    QTableView view;
    view.setModel(&model);
    CHeatCellDelegate delegate;
    view.setItemDelegate(&delegate);
    view.resize(1000, 800);
    view.show();
    QImage frame(1000, 800, QImage::Format_ARGB32);
    int layer = 0;
    for (auto _ : state) {
        layer = (layer + 1) % CWeatherMap::kLayers;
        model.SetShown(kTemperature, layer);
        view.viewport()->render(&frame);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_WeatherLayerRender)->Unit(benchmark::kMillisecond);

// Every cell's text and colour of a layer, as a view that shows the whole grid asks for them.
void BM_WeatherLayerAllCells(benchmark::State& state) {
    CScenario scenario;
    scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
    QUndoStack stack;
    CWeatherGridModel model(scenario, stack);
    int layer = 0;
    for (auto _ : state) {
        layer = (layer + 1) % CWeatherMap::kLayers;
        model.SetShown(kHumidity, layer);
        for (int row = 0; row < model.rowCount(); ++row) {
            for (int column = 0; column < model.columnCount(); ++column) {
                const QModelIndex index = model.index(row, column);
                benchmark::DoNotOptimize(model.data(index, Qt::DisplayRole));
                benchmark::DoNotOptimize(model.data(index, Qt::BackgroundRole));
            }
        }
    }
}
BENCHMARK(BM_WeatherLayerAllCells)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace halyx
