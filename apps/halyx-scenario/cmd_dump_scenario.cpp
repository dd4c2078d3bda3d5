#include "commands.h"

#include "scenario/scenario.h"
#include "scenario/scenariofileset.h"
#include "scenario/scenarioxml.h"

#include <ostream>

namespace halyx::tool {

// A scenario set has no trajectory file, so the dump shows the set's components and an empty
// trajectory.
int DumpScenarioFile(const std::string& path, std::ostream& out, std::ostream& err) {
    CScenario scenario;
    CScenarioFields fields;
    const CScenarioLoadResult result = LoadScenarioSet(path, fields, scenario);
    for (const std::string& problem : result.problems) {
        Report(err, "cannot read " + problem);
    }
    if (!result.error.empty()) {
        Report(err, result.error);
        return kExitFailure;
    }
    out << ScenarioXml(scenario) << "\n";
    return result.ok && result.problems.empty() ? kExitOk : kExitFailure;
}

} // namespace halyx::tool
