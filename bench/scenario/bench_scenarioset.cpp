// Saving and loading a whole scenario set holding 500 units of each kind, with a generated
// weather grid and the default geography.
#include "common/paths.h"
#include "common/random.h"
#include "scenario/defaultscenario.h"
#include "scenario/generation.h"
#include "scenario/scenario.h"
#include "scenario/scenariofileset.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

namespace halyx {
namespace {

std::string BenchFolder() {
    static const std::string folder = [] {
        const std::string path = std::filesystem::temp_directory_path().string() +
                                 "/halyx-bench-set-" + std::to_string(getpid()) + "/";
        CreatePath(path);
        return path;
    }();
    return folder;
}

void FillLarge(CScenario& scenario) {
    SeedRandom(42);
    LoadDefaultScenario(scenario, "/maps/");
    GenerateIncursions(scenario.Incursions(), 500, true);
    GenerateRadars(scenario.Radars(), 500, true);
    GenerateInterceptors(scenario.Interceptors(), 500, true);
    scenario.Weather().Generate(1600, 0.3, 4.0);
}

void BM_SaveSet500(benchmark::State& state) {
    CScenario scenario;
    FillLarge(scenario);
    const std::string folder = BenchFolder() + "Save/";
    for (auto _ : state) {
        const CScenarioSaveResult saved = SaveScenarioAs("Large", folder, scenario);
        if (!saved) {
            state.SkipWithError(saved.error.c_str());
            break;
        }
    }
}
BENCHMARK(BM_SaveSet500)->Unit(benchmark::kMillisecond);

void BM_LoadSet500(benchmark::State& state) {
    CScenario scenario;
    FillLarge(scenario);
    const std::string folder = BenchFolder() + "Load/";
    if (!SaveScenarioAs("Large", folder, scenario)) {
        state.SkipWithError("cannot save the set");
        return;
    }
    CScenario loaded;
    CScenarioFields fields;
    for (auto _ : state) {
        const CScenarioLoadResult result = LoadScenarioSet(folder + "Large.hsf", fields, loaded);
        if (!result) {
            state.SkipWithError(result.error.c_str());
            break;
        }
    }
    state.counters["units"] =
        loaded.Incursions().Count() + loaded.Radars().Count() + loaded.Interceptors().Count();
}
BENCHMARK(BM_LoadSet500)->Unit(benchmark::kMillisecond);

struct Cleanup {
    ~Cleanup() {
        std::error_code ec;
        std::filesystem::remove_all(BenchFolder(), ec);
    }
} cleanup;

} // namespace
} // namespace halyx
