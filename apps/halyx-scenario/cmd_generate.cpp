#include "commands.h"

#include "common/format.h"
#include "common/progress.h"
#include "common/random.h"
#include "scenario/defaultscenario.h"
#include "scenario/generation.h"
#include "scenario/scenario.h"
#include "toolargs.h"

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

} // namespace

int RunGenerate(Args args, std::ostream& out, std::ostream& err) {
    const ToolCommand& self = CommandNamed("generate");
    CBatchOptions options;
    std::vector<std::string> positional;
    std::optional<unsigned int> seed;
    bool quiet = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--quiet") {
            quiet = true;
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
    if (seed) {
        SeedRandom(*seed);
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
