#include "commands.h"

#include "common/random.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"
#include "scenario/scenariofileset.h"
#include "toolargs.h"

#include <ostream>

namespace halyx::tool {

int RunSaveDefault(Args args, std::ostream& out, std::ostream& err) {
    const ToolCommand& self = CommandNamed("save-default");
    std::vector<std::string> positional;
    std::optional<unsigned int> seed;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seed") {
            const auto value = i + 1 < args.size() ? ParseCount(args[++i]) : std::nullopt;
            if (!value) {
                return ToolUsageError(err, self, "--seed takes a whole number of 0 or more");
            }
            seed = static_cast<unsigned int>(*value);
        } else if (args[i].rfind("--", 0) == 0) {
            return ToolUsageError(err, self, "unknown option \"" + args[i] + "\"");
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2 || positional[0].empty() || positional[1].empty()) {
        return ToolUsageError(err, self, "save-default takes a folder and a scenario name");
    }
    std::string folder = positional[0];
    if (folder.back() != '/' && folder.back() != '\\') {
        folder += '/';
    }
    const std::string& name = positional[1];
    if (name.find_first_of("/\\") != std::string::npos) {
        return ToolUsageError(err, self, "a scenario name cannot hold a folder separator");
    }
    if (seed) {
        SeedRandom(*seed);
    } else {
        SeedRandomFromClock();
    }

    CScenario scenario;
    LoadDefaultScenario(scenario);
    // As at start-up, the weather page generates its grid with its defaults.
    scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
    const CScenarioSaveResult saved = SaveScenarioAs(name, folder + name + "/", scenario);
    if (!saved.saved) {
        Report(err, "cannot save " + saved.scenarioFile + ": " + saved.error);
        return kExitFailure;
    }
    for (const std::string& skipped : saved.skipped) {
        Report(err, "cannot write " + skipped);
    }
    out << saved.scenarioFile << "\n";
    return saved.skipped.empty() ? kExitOk : kExitFailure;
}

} // namespace halyx::tool
