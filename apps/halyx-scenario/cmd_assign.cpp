#include "commands.h"

#include "common/format.h"
#include "common/paths.h"
#include "study/assign.h"
#include "toolargs.h"

#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>
#include <system_error>

namespace halyx::tool {

namespace {

constexpr long long kMaxTeams = 10000;
constexpr size_t kMaxScenarios = 100;

} // namespace

int RunAssign(Args args, std::ostream& out, std::ostream& err) {
    const ToolCommand& self = CommandNamed("assign");
    std::optional<long long> teams;
    std::string plan;
    bool force = false;
    std::vector<std::string> scenarios;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--teams") {
            teams = i + 1 < args.size() ? ParseCount(args[++i]) : std::nullopt;
            if (!teams || *teams < 1 || *teams > kMaxTeams) {
                return ToolUsageError(err, self,
                                      Format("--teams takes a number of 1 to %lld", kMaxTeams));
            }
        } else if (arg == "--out") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return ToolUsageError(err, self, "--out takes the plan's file name");
            }
            plan = args[++i];
        } else if (arg == "--force") {
            force = true;
        } else if (arg.rfind("--", 0) == 0) {
            return ToolUsageError(err, self, "unknown option \"" + arg + "\"");
        } else {
            scenarios.push_back(arg);
        }
    }
    if (!teams || plan.empty() || scenarios.empty()) {
        return ToolUsageError(err, self, "assign takes --teams, --out and one or more scenarios");
    }
    if (scenarios.size() > kMaxScenarios) {
        return ToolUsageError(
            err, self,
            Format("assign takes at most %d scenarios", static_cast<int>(kMaxScenarios)));
    }
    // The same set twice would have a team run it twice and upset the balance of the orders.
    std::set<std::string> named;
    for (const std::string& scenario : scenarios) {
        if (!named.insert(PathFromFolder(scenario, ".")).second) {
            return ToolUsageError(err, self, scenario + " is named twice");
        }
    }
    for (const std::string& scenario : scenarios) {
        if (!FileExists(scenario)) {
            Report(err, "cannot read " + scenario + ": no such file");
            return kExitFailure;
        }
    }
    // A plan is edited by hand in a spreadsheet afterwards; writing over one would lose that.
    std::error_code ec;
    if (!force && std::filesystem::exists(std::filesystem::symlink_status(plan, ec))) {
        Report(err, plan + " exists already; use --force to replace it");
        return kExitFailure;
    }
    const std::string folder = std::filesystem::path(plan).parent_path().generic_string();
    std::vector<std::string> relative;
    for (const std::string& scenario : scenarios) {
        relative.push_back(PathFromFolder(scenario, folder));
    }
    const std::vector<CPlanRow> rows = AssignScenarios(static_cast<int>(*teams), relative);
    if (!folder.empty() && !CreatePath(folder + "/")) {
        Report(err, "cannot create the folder " + folder);
        return kExitFailure;
    }
    std::ofstream file(plan, std::ios::binary | std::ios::trunc);
    file << PlanCsv(rows);
    if (!file.flush()) {
        Report(err, "cannot write " + plan);
        return kExitFailure;
    }
    const size_t sequences = BalancedLatinSquare(static_cast<int>(scenarios.size())).size();
    if (static_cast<size_t>(*teams) % sequences != 0) {
        Report(err, Format("note: %lld teams is not a multiple of the %d sequences; positions and "
                           "carry-over are balanced only for a multiple",
                           *teams, static_cast<int>(sequences)));
    }
    out << plan << "\n";
    return kExitOk;
}

} // namespace halyx::tool
