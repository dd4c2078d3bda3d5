// Weather grid: generating the full grid and building its XML text, as the weather page and the
// scenario XML do; and the .hwd archive form.
#include "common/random.h"
#include "scenario/weathermap.h"

#include <benchmark/benchmark.h>

using namespace halyx;

static void BM_WeatherGenerate(benchmark::State& state) {
    SeedRandom(1);
    CWeatherMap map(40, 40);
    for (auto _ : state) {
        map.Generate(1600, 0.3, 4.0);
        benchmark::DoNotOptimize(map.GetCell(9 * 40 + 5));
    }
}
BENCHMARK(BM_WeatherGenerate)->Unit(benchmark::kMicrosecond);

static void BM_WeatherGenerateAndXml(benchmark::State& state) {
    SeedRandom(1);
    CWeatherMap map(40, 40);
    size_t bytes = 0;
    for (auto _ : state) {
        map.Generate(1600, 0.3, 4.0);
        const std::string xml = map.ToXml();
        bytes = xml.size();
        benchmark::DoNotOptimize(xml.data());
    }
    state.counters["xml_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_WeatherGenerateAndXml)->Unit(benchmark::kMillisecond);

static void BM_WeatherFileWriteRead(benchmark::State& state) {
    SeedRandom(1);
    CWeatherMap map(40, 40);
    map.Generate(1600, 0.3, 4.0);
    for (auto _ : state) {
        const std::vector<uint8_t> bytes = WeatherFileBytes(map);
        CWeatherMap back;
        ReadWeatherFileBytes(bytes, back);
        benchmark::DoNotOptimize(back.GetCell(9 * 40 + 5));
    }
}
BENCHMARK(BM_WeatherFileWriteRead)->Unit(benchmark::kMicrosecond);
