#include "study/balance.h"

#include "common/format.h"
#include "common/paths.h"
#include "common/random.h"
#include "scenario/scenario.h"
#include "scenario/scenariofileset.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace halyx {

namespace {

bool EntryExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

std::string MetricLines(const std::vector<CNamedMetric>& metrics) {
    std::string out;
    for (const CNamedMetric& metric : metrics) {
        out += metric.name + '=' + (metric.value ? Format("%.2f", *metric.value) : "") + '\n';
    }
    return out;
}

std::string GenerationText(const CBalanceOptions& options, int attempt,
                           const std::string& scenarioFile, const CScenarioMetrics& metrics,
                           const CScenarioMetrics& target) {
    std::string text = Format("seed=%u\n", options.seed);
    text +=
        Format("scenarios=%d\nradars=%d\ninterceptors=%d\nincursions=%d\n", options.batch.scenarios,
               options.batch.radars, options.batch.interceptors, options.batch.incursions);
    text += Format("tolerance=%g\n", options.tolerance);
    text +=
        "target=" + (options.targetName.empty() ? std::string("first") : options.targetName) + '\n';
    text += Format("attempt=%d\n", attempt);
    text +=
        "\n[metrics]\n" + MetricsCsvHeader() + '\n' + MetricsCsvRow(scenarioFile, metrics) + '\n';
    text += "\n[balanced]\n" + MetricLines(BalancedMetrics(metrics));
    text += "\n[target]\n" + MetricLines(BalancedMetrics(target));
    return text;
}

} // namespace

bool WithinTolerance(const CScenarioMetrics& value, const CScenarioMetrics& target,
                     double tolerance) {
    const std::vector<CNamedMetric> values = BalancedMetrics(value);
    const std::vector<CNamedMetric> targets = BalancedMetrics(target);
    for (size_t i = 0; i < values.size(); ++i) {
        const std::optional<double>& v = values[i].value;
        const std::optional<double>& t = targets[i].value;
        if (v.has_value() != t.has_value()) {
            return false;
        }
        if (v && std::fabs(*v - *t) > tolerance * std::max(std::fabs(*t), 1.0)) {
            return false;
        }
    }
    return true;
}

CBalanceResult GenerateBalancedBatch(CScenario& scenario, const CBalanceOptions& options) {
    CBalanceResult result;
    const CBatchOptions& batch = options.batch;
    result.error = BatchCountsError(batch);
    if (!result.error.empty()) {
        return result;
    }
    if (!(options.tolerance >= 0.0) || !std::isfinite(options.tolerance)) {
        result.error = "the tolerance is a number of 0 or more";
        return result;
    }
    if (batch.folder.empty()) {
        result.error = "Please enter a save location";
        return result;
    }
    std::string target = ToPortablePath(batch.folder);
    if (!EndsWithSeparator(target)) {
        target += '/';
    }
    if (!CreatePath(target)) {
        result.error = "Cannot create the folder " + target;
        return result;
    }

    SeedRandom(options.seed);
    scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
    std::optional<CScenarioMetrics> goal = options.target;
    const long long maxAttempts =
        static_cast<long long>(std::max(options.attemptsPerScenario, 1)) * batch.scenarios;
    int number = 1;
    scenario.ReplaceAll([&] {
        while (static_cast<int>(result.scenarioFiles.size()) < batch.scenarios) {
            if (result.attempts >= maxAttempts) {
                result.error = Format(
                    "only %d of %d scenarios came within %g of the targets after %d attempts; "
                    "widen the tolerance or change the counts",
                    static_cast<int>(result.scenarioFiles.size()), batch.scenarios,
                    options.tolerance, result.attempts);
                return;
            }
            ++result.attempts;
            GenerateIncursions(scenario.Incursions(), batch.incursions, true);
            GenerateRadars(scenario.Radars(), batch.radars, true);
            GenerateInterceptors(scenario.Interceptors(), batch.interceptors, true);
            NumberGeneratedIds(scenario);
            const CScenarioMetrics metrics = ComputeMetrics(scenario);
            if (!goal) {
                goal = metrics;
            } else if (!WithinTolerance(metrics, *goal, options.tolerance)) {
                continue;
            }

            std::string name = Format("Scenario_%04d", number);
            while (EntryExists(target + name)) {
                name = Format("Scenario_%04d", ++number);
            }
            const std::string folder = target + name + '/';
            const CScenarioSaveResult saved = SaveScenarioAs(name, folder, scenario, nullptr);
            if (!saved.saved || !saved.skipped.empty()) {
                result.error = "Cannot write the scenario " + saved.scenarioFile + ": " +
                               (saved.saved ? saved.skipped.front() : saved.error);
                return;
            }
            std::ofstream text(folder + "generation.txt", std::ios::binary | std::ios::trunc);
            text << GenerationText(options, result.attempts, saved.scenarioFile, metrics, *goal);
            if (!text.flush()) {
                result.error = "Cannot write " + folder + "generation.txt";
                return;
            }
            result.scenarioFiles.push_back(saved.scenarioFile);
        }
    });
    return result;
}

} // namespace halyx
