// halyx-scenario: command-line inspection and making of scenario files.
#include "commands.h"

#include "common/archive.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace halyx::tool {

namespace {

// One line per command; a new command adds its line here and its own source file.
const ToolCommand kCommands[] = {
    {"dump", "FILE", "print a scenario file as text (see the file kinds below)", RunDump},
    {"weather", "[--season N] [--space V] [--time V] [--seed S] -o FILE.hwd",
     "generate a weather grid and write it to a weather file", RunWeather},
    {"save-default", "DIR NAME [--seed S]", "write the default scenario as the set DIR/NAME/",
     RunSaveDefault},
    {"generate",
     "N [--radars R] [--interceptors I] [--incursions C] [--seed S] [--quiet] "
     "[--balanced TOL [--target FILE.hsf]] DIR",
     "write N random scenarios into numbered folders Scenario_NNNN of DIR; with --balanced keep "
     "only those whose metrics lie within TOL (relative) of the first's or the target's, with a "
     "generation.txt beside each",
     RunGenerate},
    {"map", "FILE-or-URL --png OUT.png [--zoom Z] [--scenario FILE.hsf]",
     "draw a map with the scenario's impact lines, trajectory, stations and radars", RunMap},
    {"check", "FILE.hsf",
     "check a scenario: one line per finding (ERROR or WARNING, component, unit, text); exit 1 "
     "on errors",
     RunCheck},
    {"metrics", "FILE.hsf...", "print one CSV row of metrics per scenario, after a header",
     RunMetrics},
    {"assign",
     "--teams T --stations A,B,C [--stations ...] --out PLAN.csv [--force] SCENARIO.hsf...",
     "write a study plan in which every team runs every scenario once in a balanced order",
     RunAssign},
};

// The file kinds that `dump` reads, by extension.
const DumpFormat kDumpFormats[] = {
    {".hid", "incursions file: its <Incursions> XML list", DumpIncursionFile},
    {".hrd", "radars file: its <Radars> XML list", DumpRadarFile},
    {".hii", "interceptors file: its <Interceptors> XML list", DumpInterceptorFile},
    {".hwd", "weather file: its <WeatherMap> XML grid", DumpWeatherFile},
    {".hsf", "scenario file: the whole set as its <Scenario> XML", DumpScenarioFile},
};

void PrintUsage(std::ostream& out) {
    out << "Usage: halyx-scenario COMMAND [ARGUMENTS]\n"
           "  or:  halyx-scenario COMMAND --help\n\n"
           "Inspects and makes the files of a scenario.\n\nCommands:\n";
    for (const ToolCommand& command : kCommands) {
        out << "  " << command.name << ' ' << command.synopsis << "\n      " << command.description
            << "\n";
    }
    out << "\nFile kinds that dump reads:\n";
    for (const DumpFormat& format : kDumpFormats) {
        out << "  " << format.extension << "  " << format.what << "\n";
    }
    out << "\nExit status: 0 done, 1 a file could not be read, written or understood (check: "
           "or the scenario has errors), 2 wrong usage.\n";
}

} // namespace

std::span<const ToolCommand> Commands() {
    return kCommands;
}
std::span<const DumpFormat> DumpFormats() {
    return kDumpFormats;
}

const ToolCommand& CommandNamed(const char* name) {
    for (const ToolCommand& command : kCommands) {
        if (std::strcmp(command.name, name) == 0) {
            return command;
        }
    }
    std::abort(); // only called with the names of the table above
}

void Report(std::ostream& err, const std::string& message) {
    err << "halyx-scenario: " << message << "\n";
}

void PrintCommandUsage(std::ostream& out, const ToolCommand& command) {
    out << "Usage: halyx-scenario " << command.name << ' ' << command.synopsis << "\n"
        << command.description << "\n";
}

bool IsHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

} // namespace halyx::tool

int main(int argc, char** argv) {
    using namespace halyx::tool;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintUsage(std::cerr);
        return kExitUsage;
    }
    if (IsHelp(args[0]) || args[0] == "help") {
        PrintUsage(std::cout);
        return kExitOk;
    }
    for (const ToolCommand& command : Commands()) {
        if (args[0] != command.name) {
            continue;
        }
        const Args rest(args.data() + 1, args.size() - 1);
        if (!rest.empty() && IsHelp(rest[0])) {
            PrintCommandUsage(std::cout, command);
            return kExitOk;
        }
        try {
            return command.run(rest, std::cout, std::cerr);
        } catch (const halyx::ArchiveError& error) {
            Report(std::cerr, error.what());
        } catch (const std::exception& error) {
            Report(std::cerr, std::string("error: ") + error.what());
        }
        return kExitFailure;
    }
    Report(std::cerr, "unknown command \"" + args[0] + "\" (try --help)");
    return kExitUsage;
}
