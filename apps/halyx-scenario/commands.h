#pragma once

#include <iosfwd>
#include <span>
#include <string>

namespace halyx {
class CScenario;
}

namespace halyx::tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1; // a file that cannot be read, written or understood
inline constexpr int kExitUsage = 2;   // wrong arguments

// Arguments after the command name.
using Args = std::span<const std::string>;

// One command of the tool. run answers an exit code; it writes results to out and messages to
// err (each message starts with "halyx-scenario: ").
struct ToolCommand {
    const char* name;
    const char* synopsis;    // the arguments, for the usage text
    const char* description; // one line
    int (*run)(Args args, std::ostream& out, std::ostream& err);
};

// A file kind that `dump` knows, by its extension (compared without regard to case).
struct DumpFormat {
    const char* extension; // with the dot: ".hwd"
    const char* what;      // for the usage text
    // Writes the file's text form to out. Answers an exit code; may throw ArchiveError.
    int (*dump)(const std::string& path, std::ostream& out, std::ostream& err);
};

// The tables, in main.cpp.
std::span<const ToolCommand> Commands();
std::span<const DumpFormat> DumpFormats();
// The table's entry for a command's own usage text.
const ToolCommand& CommandNamed(const char* name);

// "halyx-scenario: " + message + "\n" on err.
void Report(std::ostream& err, const std::string& message);
// Usage text of one command, on out.
void PrintCommandUsage(std::ostream& out, const ToolCommand& command);
bool IsHelp(const std::string& arg);

// Commands (one source file each).
int RunDump(Args args, std::ostream& out, std::ostream& err);
int RunWeather(Args args, std::ostream& out, std::ostream& err);
int RunSaveDefault(Args args, std::ostream& out, std::ostream& err);
int RunGenerate(Args args, std::ostream& out, std::ostream& err);
int RunMap(Args args, std::ostream& out, std::ostream& err);
int RunCheck(Args args, std::ostream& out, std::ostream& err);
int RunMetrics(Args args, std::ostream& out, std::ostream& err);
int RunAssign(Args args, std::ostream& out, std::ostream& err);

// Loads a scenario set on top of the default scenario (a set carries no trajectory, so the
// console's default one stays). Reports to err and answers false when the set does not load.
bool LoadScenarioForStudy(const std::string& path, CScenario& scenario, std::ostream& err);

// Dump formats.
int DumpIncursionFile(const std::string& path, std::ostream& out, std::ostream& err);
int DumpRadarFile(const std::string& path, std::ostream& out, std::ostream& err);
int DumpInterceptorFile(const std::string& path, std::ostream& out, std::ostream& err);
int DumpWeatherFile(const std::string& path, std::ostream& out, std::ostream& err);
int DumpScenarioFile(const std::string& path, std::ostream& out, std::ostream& err);

} // namespace halyx::tool
