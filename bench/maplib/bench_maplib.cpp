// Reading the shipped world map (1000 by 700 pixels) and drawing it as the editor does: the part
// under a 1280 by 1024 window, at the default zoom 3 and the deepest editor zoom 10, with and
// without the terrain image kept between draws, and the whole map at zoom 3.
#include "external/maplib/draw/mapdraw.h"
#include "external/maplib/maptext.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

namespace halyx {
namespace {

const std::string& WorldText() {
    static const std::string text = [] {
        std::ifstream in(std::string(HALYX_SOURCE_DIR) + "/data/maps/world.txt", std::ios::binary);
        std::stringstream buffer;
        buffer << in.rdbuf();
        return buffer.str();
    }();
    return text;
}

CWorldMap& World() {
    static CWorldMap map = [] {
        CWorldMap loaded;
        if (!LoadMapText(WorldText(), loaded)) {
            std::abort();
        }
        loaded.setTerrainSettings({{35, CTerrain("Land", "Solid", 35, MakeRgb(0, 0, 0))},
                                   {45, CTerrain("Sea", "Solid", 45, MakeRgb(0, 99, 99))}});
        loaded.setGridlines(true, 40);
        return loaded;
    }();
    return map;
}

void BM_ParseWorldMap(benchmark::State& state) {
    for (auto _ : state) {
        CWorldMap map;
        const CMapLoadResult result = LoadMapText(WorldText(), map);
        benchmark::DoNotOptimize(result.status);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(WorldText().size()));
}
BENCHMARK(BM_ParseWorldMap)->Unit(benchmark::kMicrosecond);

// A window of the editor's size over the middle of the map.
void BM_DrawWindow(benchmark::State& state) {
    CWorldMap& map = World();
    map.setDefaultZoom(static_cast<int>(state.range(0)));
    const bool cached = state.range(1) != 0;
    QImage window(1280, 1024, QImage::Format_RGB32);
    CMapImageCache cache;
    CImpactLines lines;
    lines.AddNLinePoint(178, 487);
    lines.AddNLinePoint(816, 211);
    for (auto _ : state) {
        QPainter painter(&window);
        const int s = map.getScalefactor();
        painter.translate(-400 * s + 640, -(700 - 350) * s + 512);
        const QRect area(400 * s - 640, 350 * s - 512, 1280, 1024);
        blt(painter, map, area, cached ? &cache : nullptr);
        OnDraw(painter, map, lines);
    }
    state.SetLabel(cached ? "cached terrain image" : "terrain image built per draw");
}
BENCHMARK(BM_DrawWindow)
    ->Args({3, 0})
    ->Args({3, 1})
    ->Args({10, 0})
    ->Args({10, 1})
    ->Unit(benchmark::kMillisecond);

void BM_DrawWholeMapZoom3(benchmark::State& state) {
    CWorldMap& map = World();
    map.setDefaultZoom(3);
    QImage image(3000, 2100, QImage::Format_RGB32);
    CMapImageCache cache;
    for (auto _ : state) {
        QPainter painter(&image);
        blt(painter, map, image.rect(), &cache);
    }
}
BENCHMARK(BM_DrawWholeMapZoom3)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace halyx

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
