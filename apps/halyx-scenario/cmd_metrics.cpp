#include "commands.h"

#include "scenario/scenario.h"
#include "study/metrics.h"
#include "toolargs.h"

#include <ostream>

namespace halyx::tool {

int RunMetrics(Args args, std::ostream& out, std::ostream& err) {
    const ToolCommand& self = CommandNamed("metrics");
    if (args.empty()) {
        return ToolUsageError(err, self, "metrics takes one or more scenario files");
    }
    for (const std::string& arg : args) {
        if (arg.rfind("--", 0) == 0) {
            return ToolUsageError(err, self, "unknown option \"" + arg + "\"");
        }
    }
    out << MetricsCsvHeader() << "\n";
    int status = kExitOk;
    for (const std::string& path : args) {
        CScenario scenario;
        if (!LoadScenarioForStudy(path, scenario, err)) {
            status = kExitFailure; // the other files still get their rows
            continue;
        }
        out << MetricsCsvRow(path, ComputeMetrics(scenario)) << "\n";
    }
    return status;
}

} // namespace halyx::tool
