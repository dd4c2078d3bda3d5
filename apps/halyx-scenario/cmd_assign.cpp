#include "commands.h"

#include "common/format.h"
#include "common/paths.h"
#include "study/assign.h"
#include "study/studyplan.h"
#include "toolargs.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>
#include <system_error>

namespace halyx::tool {

namespace {

constexpr long long kMaxTeams = 10000;
constexpr size_t kMaxScenarios = 100;

// "ALPHA,BRAVO,CHARLIE" as the plan's stations column ("ALPHA BRAVO CHARLIE"); "" with the
// reason in error when a name is empty, holds a blank or a control byte, or comes twice.
std::string StationsColumn(const std::string& list, std::string& error) {
    std::vector<std::string> names;
    size_t from = 0;
    while (true) {
        const size_t comma = list.find(',', from);
        const std::string name = list.substr(from, comma - from);
        if (name.empty()) {
            error = "--stations takes station names separated by commas (\"" + list + "\")";
            return {};
        }
        for (const char c : name) {
            if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) {
                error = "the station name \"" + name + "\" holds a blank or a control character";
                return {};
            }
        }
        if (std::find(names.begin(), names.end(), name) != names.end()) {
            error = "the station " + name + " is named twice in \"" + list + "\"";
            return {};
        }
        names.push_back(name);
        if (comma == std::string::npos) {
            break;
        }
        from = comma + 1;
    }
    if (names.size() > CStudyPlan::kMaxStations) {
        error = Format("--stations takes at most %d stations",
                       static_cast<int>(CStudyPlan::kMaxStations));
        return {};
    }
    std::string column;
    for (const std::string& name : names) {
        column += (column.empty() ? "" : " ") + name;
    }
    return column;
}

} // namespace

int RunAssign(Args args, std::ostream& out, std::ostream& err) {
    const ToolCommand& self = CommandNamed("assign");
    std::optional<long long> teams;
    std::string plan;
    bool force = false;
    std::vector<std::string> scenarios;
    std::vector<std::string> stations;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--stations") {
            std::string error = "--stations takes the station names, ALPHA,BRAVO,CHARLIE";
            const std::string column =
                i + 1 < args.size() ? StationsColumn(args[++i], error) : std::string();
            if (column.empty()) {
                return ToolUsageError(err, self, error);
            }
            stations.push_back(column);
        } else if (arg == "--teams") {
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
    if (!teams || plan.empty() || scenarios.empty() || stations.empty()) {
        return ToolUsageError(err, self,
                              "assign takes --teams, --stations, --out and one or more scenarios");
    }
    // One list for every team, or one per team in team order.
    if (stations.size() != 1 && stations.size() != static_cast<size_t>(*teams)) {
        return ToolUsageError(err, self,
                              Format("--stations is given once for every team or once per team "
                                     "(%lld times), not %d times",
                                     *teams, static_cast<int>(stations.size())));
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
    const std::vector<CPlanRow> rows =
        AssignScenarios(static_cast<int>(*teams), relative, stations);
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
