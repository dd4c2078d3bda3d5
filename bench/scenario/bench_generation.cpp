// A batch of 100 generated scenarios (5 radars, 5 interceptors, 5 incursions each, the dialog's
// defaults) saved as complete sets, and the unit generators alone.
#include "common/paths.h"
#include "common/random.h"
#include "scenario/defaultscenario.h"
#include "scenario/generation.h"
#include "scenario/scenario.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

namespace halyx {
namespace {

void BM_Batch100(benchmark::State& state) {
    const std::string root = std::filesystem::temp_directory_path().string() +
                             "/halyx-bench-batch-" + std::to_string(getpid()) + "/";
    CScenario scenario;
    SeedRandom(9);
    LoadDefaultScenario(scenario, "/maps/");
    scenario.Weather().Generate(1600, 0.3, 4.0);
    int round = 0;
    for (auto _ : state) {
        CBatchOptions options;
        options.scenarios = 100;
        options.folder = root + std::to_string(round++) + "/";
        const CBatchResult result = GenerateScenarioBatch(scenario, options);
        if (!result.Complete()) {
            state.SkipWithError(result.error.c_str());
            break;
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
}
BENCHMARK(BM_Batch100)->Unit(benchmark::kMillisecond);

void BM_GenerateUnits500(benchmark::State& state) {
    SeedRandom(3);
    CUnitList<CIncursion> incursions;
    for (auto _ : state) {
        GenerateIncursions(incursions, 500, true);
    }
}
BENCHMARK(BM_GenerateUnits500)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace halyx
