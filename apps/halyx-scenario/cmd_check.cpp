#include "commands.h"

#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"
#include "scenario/scenariofileset.h"
#include "study/check.h"
#include "toolargs.h"

#include <ostream>

namespace halyx::tool {

bool LoadScenarioForStudy(const std::string& path, CScenario& scenario, std::ostream& err) {
    // A set carries no trajectory: start from the defaults, as the console does, so that the
    // set is checked under the trajectory it will be flown with.
    LoadDefaultScenario(scenario);
    CScenarioFields fields;
    const CScenarioLoadResult result = LoadScenarioSet(path, fields, scenario);
    if (!result.ok) {
        Report(err, result.error);
        return false;
    }
    for (const std::string& problem : result.problems) {
        Report(err, "note: " + problem);
    }
    return true;
}

int RunCheck(Args args, std::ostream& out, std::ostream& err) {
    const ToolCommand& self = CommandNamed("check");
    if (args.size() != 1 || args[0].rfind("--", 0) == 0) {
        return ToolUsageError(err, self, "check takes one scenario file");
    }
    CScenario scenario;
    if (!LoadScenarioForStudy(args[0], scenario, err)) {
        return kExitFailure;
    }
    const std::vector<CFinding> findings = CheckScenario(scenario);
    for (const CFinding& finding : findings) {
        out << FindingLine(finding) << "\n";
    }
    return HasErrors(findings) ? kExitFailure : kExitOk;
}

} // namespace halyx::tool
