// The editor's map at zoom 10 in a 1280 x 1024 view around the launch site, crowded with 1,000
// radars, 1,000 incursions and 1,000 interceptors placed at random inside the view (the worst
// case: every symbol is drawn). Measured: the bare map as the library draws it (the yardstick),
// a full repaint with the kept background and with it rebuilt, hit-testing a click among the
// 3,000 units, and one drag step (move a unit, repaint what it covered before and after).
#include "controls/gsegeometry.h"
#include "controls/gserenderer.h"
#include "scenario/defaultscenario.h"
#include "scenario/geographyview.h"
#include "scenario/scenario.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <string>

namespace halyx {
namespace {

constexpr int kUnitsPerKind = 1000;
const QSize kViewSize(1280, 1024);

struct Crowd {
    CScenario scenario;
    QRect view;

    Crowd() {
        LoadDefaultScenario(scenario, std::string(HALYX_SOURCE_DIR) + "/data/maps/");
        CSilentGeographyView silent;
        if (!scenario.Geography().GetMapFromURL(
                scenario.Geography().GetMapURL(CGeography::kGlobalMap), silent)) {
            std::abort();
        }
        CWorldMap& map = scenario.Geography().GetWorldMap();
        map.zoomby(7);
        const CWindowPoint site = map.LatLng2PixelLoc(184, 472);
        view = QRect(QPoint(site.x - kViewSize.width() / 2, site.y - kViewSize.height() / 2),
                     kViewSize);
        // Units anywhere under the view: its map corners.
        const CLatLng low = MapPositionAt(map, view.left(), view.bottom());
        const CLatLng high = MapPositionAt(map, view.right(), view.top());
        std::mt19937 random(7);
        std::uniform_real_distribution<double> lat(low.lat, high.lat);
        std::uniform_real_distribution<double> lng(low.lng, high.lng);
        std::uniform_real_distribution<double> range(5.0, 150.0);
        std::uniform_real_distribution<double> heading(0.0, 360.0);
        std::uniform_real_distribution<double> speed(10.0, 1000.0);
        scenario.ReplaceAll([&] {
            scenario.Radars().ClearQuietly();
            scenario.Incursions().ClearQuietly();
            scenario.Interceptors().ClearQuietly();
            for (int i = 0; i < kUnitsPerKind; ++i) {
                const std::string id = std::to_string(i);
                CRadar radar("R" + id, "r" + id, "", "", "", "-", "-");
                radar.SetLatValue(lat(random));
                radar.SetLngValue(lng(random));
                radar.SetRangeValue(range(random));
                scenario.Radars().AddQuietly(std::make_unique<CRadar>(radar));
                CIncursion incursion("I" + id, "i" + id, "", "", "", "", "0");
                incursion.SetLatValue(lat(random));
                incursion.SetLngValue(lng(random));
                incursion.SetSpeedValue(speed(random));
                incursion.SetHeadingValue(heading(random));
                scenario.Incursions().AddQuietly(std::make_unique<CIncursion>(incursion));
                scenario.Interceptors().AddQuietly(
                    std::make_unique<CInterceptor>("F" + id, "f" + id, lat(random), lng(random),
                                                   speed(random), 0.0, 100.0, 1.0, "air"));
            }
        });
    }
};

Crowd& TheCrowd() {
    static Crowd crowd;
    return crowd;
}

void BM_BareMapZoom10(benchmark::State& state) {
    Crowd& crowd = TheCrowd();
    CGSERenderer renderer(crowd.scenario);
    QImage image(kViewSize, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.translate(-crowd.view.topLeft());
        renderer.RenderBareMap(painter, crowd.view);
    }
}
BENCHMARK(BM_BareMapZoom10)->Unit(benchmark::kMillisecond);

void BM_FullRepaint3000UnitsZoom10(benchmark::State& state) {
    Crowd& crowd = TheCrowd();
    CGSERenderer renderer(crowd.scenario);
    renderer.SetVisibleRect(crowd.view);
    const bool rebuild = state.range(0) != 0;
    QImage image(kViewSize, QImage::Format_RGB32);
    for (auto _ : state) {
        if (rebuild) {
            renderer.InvalidateBackground();
        }
        QPainter painter(&image);
        painter.translate(-crowd.view.topLeft());
        renderer.Render(painter, crowd.view);
    }
    state.SetLabel(rebuild ? "background rebuilt" : "background kept");
}
BENCHMARK(BM_FullRepaint3000UnitsZoom10)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_HitTestAmong3000Units(benchmark::State& state) {
    Crowd& crowd = TheCrowd();
    const CWorldMap& map = crowd.scenario.Geography().GetWorldMap();
    // A point off the view, so no unit is near and every unit is looked at.
    const QPoint miss = crowd.view.topLeft() - QPoint(500, 500);
    for (auto _ : state) {
        benchmark::DoNotOptimize(UnitAt(crowd.scenario, map, miss.x(), miss.y()));
    }
}
BENCHMARK(BM_HitTestAmong3000Units)->Unit(benchmark::kMicrosecond);

void BM_DragStep(benchmark::State& state) {
    Crowd& crowd = TheCrowd();
    CScenario& scenario = crowd.scenario;
    const CWorldMap& map = scenario.Geography().GetWorldMap();
    CGSERenderer renderer(scenario);
    renderer.SetVisibleRect(crowd.view);
    const int index = 500;
    CIncursion& unit = scenario.Incursions().At(index);
    const CGSESelection selection{kIncursionKind, index, unit.GetId()};
    renderer.SetSelection(selection);
    QImage image(kViewSize, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        painter.translate(-crowd.view.topLeft());
        renderer.Render(painter, crowd.view);
    }
    const double lat0 = unit.GetLatValue();
    const double lng0 = unit.GetLngValue();
    int step = 0;
    for (auto _ : state) {
        const QRect before = renderer.UnitRect(selection);
        unit.SetLatValue(lat0 + (step % 20));
        unit.SetLngValue(lng0 + (step % 13));
        scenario.Incursions().NotifyChanged(index);
        ++step;
        const QRect damaged = before.united(renderer.UnitRect(selection));
        QPainter painter(&image);
        painter.translate(-crowd.view.topLeft());
        renderer.Render(painter, damaged.intersected(crowd.view));
    }
    // Back where it started, so that the next run moves it over the same ground.
    unit.SetLatValue(lat0);
    unit.SetLngValue(lng0);
    benchmark::DoNotOptimize(map.getScalefactor());
}
BENCHMARK(BM_DragStep)->Unit(benchmark::kMillisecond);

// One layer at a time (0: none, 1: radars, 2: incursions, 3: interceptors), to see where a
// full repaint spends its time.
void BM_RepaintOneKind(benchmark::State& state) {
    Crowd& crowd = TheCrowd();
    CGSERenderer renderer(crowd.scenario);
    renderer.SetVisibleRect(crowd.view);
    CGSEDrawOptions options;
    options.radars = state.range(0) == 1;
    options.incursions = state.range(0) == 2;
    options.interceptors = state.range(0) == 3;
    renderer.SetOptions(options);
    QImage image(kViewSize, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.translate(-crowd.view.topLeft());
        renderer.Render(painter, crowd.view);
    }
    static const char* const kLabels[] = {"no units", "1,000 radars", "1,000 incursions",
                                          "1,000 interceptors"};
    state.SetLabel(kLabels[state.range(0)]);
}
BENCHMARK(BM_RepaintOneKind)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace halyx
