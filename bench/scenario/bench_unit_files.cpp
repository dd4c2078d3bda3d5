// Unit files of 100,000 units: writing and reading them in memory and on disk.
#include "common/format.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/unitfiles.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <unistd.h>

using namespace halyx;

namespace {

constexpr int kUnits = 100'000;

void Fill(CUnitList<CIncursion>& list) {
    for (int i = 0; i < kUnits; ++i) {
        list.AddQuietly(std::make_unique<CIncursion>(
            Format("Incursion %d", i), Format("1230450%d", i % 32768),
            Format("%0.2f", 10.0 + i % 930), Format("%0.2f", 105.0 + i % 540),
            Format("%d", 50 + i % 350), Format("%0.2f", (i * 7) % 360 + 0.25),
            Format("%d", i % 17)));
    }
}

void Fill(CUnitList<CInterceptor>& list) {
    for (int i = 0; i < kUnits; ++i) {
        list.AddQuietly(std::make_unique<CInterceptor>(Format("Interceptor %d", i),
                                                       Format("1230450%d", i % 32768), 10.0 + i,
                                                       105.0 + i, 400.0, 0.0, 0.0, 0.0, "-"));
    }
}

template <class T> void WriteRead(benchmark::State& state) {
    CUnitList<T> list;
    Fill(list);
    size_t size = 0;
    for (auto _ : state) {
        const std::vector<uint8_t> bytes = UnitFileBytes(list);
        CUnitList<T> back;
        ReadUnitFileBytes<T>(bytes, back);
        size = bytes.size();
        benchmark::DoNotOptimize(back.Count());
    }
    state.counters["file_bytes"] = static_cast<double>(size);
    state.SetItemsProcessed(state.iterations() * kUnits);
}

template <class T> void WriteOnly(benchmark::State& state) {
    CUnitList<T> list;
    Fill(list);
    for (auto _ : state) {
        const std::vector<uint8_t> bytes = UnitFileBytes(list);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetItemsProcessed(state.iterations() * kUnits);
}

template <class T> void ReadOnly(benchmark::State& state) {
    CUnitList<T> list;
    Fill(list);
    const std::vector<uint8_t> bytes = UnitFileBytes(list);
    for (auto _ : state) {
        CUnitList<T> back;
        ReadUnitFileBytes<T>(bytes, back);
        benchmark::DoNotOptimize(back.Count());
    }
    state.SetItemsProcessed(state.iterations() * kUnits);
}

template <class T> void WriteReadDisk(benchmark::State& state) {
    CUnitList<T> list;
    Fill(list);
    const std::string path = Format("/tmp/halyx_bench_units_%d.bin", static_cast<int>(::getpid()));
    for (auto _ : state) {
        CUnitList<T> back;
        if (WriteUnitFile(path, list) != 0 || ReadUnitFile(path, back) != 0) {
            state.SkipWithError("cannot write or read the temporary file");
            break;
        }
        benchmark::DoNotOptimize(back.Count());
    }
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations() * kUnits);
}

} // namespace

static void BM_IncursionFile100k(benchmark::State& state) {
    WriteRead<CIncursion>(state);
}
static void BM_InterceptorFile100k(benchmark::State& state) {
    WriteRead<CInterceptor>(state);
}
static void BM_IncursionFile100kOnDisk(benchmark::State& state) {
    WriteReadDisk<CIncursion>(state);
}
static void BM_IncursionWrite100k(benchmark::State& state) {
    WriteOnly<CIncursion>(state);
}
static void BM_IncursionRead100k(benchmark::State& state) {
    ReadOnly<CIncursion>(state);
}
BENCHMARK(BM_IncursionWrite100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IncursionRead100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IncursionFile100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InterceptorFile100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IncursionFile100kOnDisk)->Unit(benchmark::kMillisecond);
