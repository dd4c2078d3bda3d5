#include "commands.h"

#include "common/format.h"
#include "common/progress.h"
#include "common/random.h"
#include "scenario/defaultscenario.h"
#include "scenario/generation.h"
#include "scenario/scenario.h"
#include "study/balance.h"
#include "study/metrics.h"
#include "toolargs.h"

#include <charconv>
#include <ctime>
#include <ostream>

namespace halyx::tool {

namespace {

// One line per generated scenario.
class LineProgress final : public IProgress {
public:
    explicit LineProgress(std::ostream& out) : m_out(out) {}
    void SetRange(int, int high) override { m_high = high; }
    void SetPos(int pos) override { m_pos = pos; }
    void SetText(const std::string& text) override {
        if (m_high > 0) {
            std::string line = text;
            for (char& c : line) {
                if (c == '\n') {
                    c = ' ';
                }
            }
            m_out << Format("[%d/%d] ", m_pos + 1, m_high) << line << "\n";
        }
    }

private:
    std::ostream& m_out;
    int m_high = 0;
    int m_pos = 0;
};

// A relative tolerance: a decimal number of 0 or more, read with '.' whatever the locale.
std::optional<double> ParseTolerance(const std::string& text) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || !(value >= 0.0) || value > 1e6) {
        return std::nullopt;
    }
    return value;
}

int RunBalanced(const CBatchOptions& batch, double tolerance, std::optional<unsigned int> seed,
                const std::string& targetFile, std::ostream& out, std::ostream& err) {
    CBalanceOptions options;
    options.batch = batch;
    options.tolerance = tolerance;
    // Without --seed one is taken from the clock and written to generation.txt, so that the
    // batch can still be made again.
    options.seed = seed ? *seed : static_cast<unsigned int>(std::time(nullptr)) % 1000000000U;
    if (!targetFile.empty()) {
        CScenario target;
        if (!LoadScenarioForStudy(targetFile, target, err)) {
            return kExitFailure;
        }
        options.target = ComputeMetrics(target);
        options.targetName = targetFile;
    }
    CScenario scenario;
    LoadDefaultScenario(scenario);
    const CBalanceResult result = GenerateBalancedBatch(scenario, options);
    for (const std::string& file : result.scenarioFiles) {
        out << file << "\n";
    }
    if (!result.Complete()) {
        Report(err, result.error);
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace

int RunGenerate(Args args, std::ostream& out, std::ostream& err) {
    const ToolCommand& self = CommandNamed("generate");
    CBatchOptions options;
    std::vector<std::string> positional;
    std::optional<unsigned int> seed;
    bool quiet = false;
    std::optional<double> tolerance;
    std::string targetFile;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--quiet") {
            quiet = true;
            continue;
        }
        if (arg == "--balanced") {
            tolerance = i + 1 < args.size() ? ParseTolerance(args[++i]) : std::nullopt;
            if (!tolerance) {
                return ToolUsageError(err, self, "--balanced takes a tolerance of 0 or more");
            }
            continue;
        }
        if (arg == "--target") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return ToolUsageError(err, self, "--target takes a scenario file");
            }
            targetFile = args[++i];
            continue;
        }
        if (arg == "--radars" || arg == "--interceptors" || arg == "--incursions" ||
            arg == "--seed") {
            const auto value = i + 1 < args.size() ? ParseCount(args[++i]) : std::nullopt;
            if (!value || *value > 1000000) {
                return ToolUsageError(err, self, arg + " takes a whole number of 0 or more");
            }
            const int count = static_cast<int>(*value);
            if (arg == "--radars") {
                options.radars = count;
            } else if (arg == "--interceptors") {
                options.interceptors = count;
            } else if (arg == "--incursions") {
                options.incursions = count;
            } else {
                seed = static_cast<unsigned int>(*value);
            }
            continue;
        }
        if (arg.rfind("--", 0) == 0) {
            return ToolUsageError(err, self, "unknown option \"" + arg + "\"");
        }
        positional.push_back(arg);
    }
    if (positional.size() != 2) {
        return ToolUsageError(err, self, "generate takes a number of scenarios and a folder");
    }
    const auto scenarios = ParseCount(positional[0]);
    if (!scenarios || *scenarios < 1 || *scenarios > kMaxBatchScenarios) {
        return ToolUsageError(err, self,
                              Format("the number of scenarios is 1 to %d", kMaxBatchScenarios));
    }
    options.scenarios = static_cast<int>(*scenarios);
    options.folder = positional[1];
    if (!targetFile.empty() && !tolerance) {
        return ToolUsageError(err, self, "--target goes with --balanced");
    }
    if (tolerance) {
        return RunBalanced(options, *tolerance, seed, targetFile, out, err);
    }
    if (seed) {
        SeedRandom(*seed);
        // Asked for a repeatable batch: IDs without the time of day.
        options.numberIds = true;
    } else {
        SeedRandomFromClock();
    }

    // Everything but the units is the default scenario's, with a generated weather grid.
    CScenario scenario;
    LoadDefaultScenario(scenario);
    scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
    LineProgress progress(out);
    const CBatchResult result =
        GenerateScenarioBatch(scenario, options, quiet ? nullptr : &progress);
    if (quiet) {
        for (const std::string& file : result.scenarioFiles) {
            out << file << "\n";
        }
    }
    if (!result.error.empty()) {
        Report(err, result.error);
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace halyx::tool
