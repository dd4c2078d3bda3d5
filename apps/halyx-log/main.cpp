// halyx-log: recorded experiment logs as CSV files, printed summaries and timeline pictures.
#include "picturecommand.h"
#include "timelinefile.h"

#include "common/numericlocale.h"
#include "record/logcsvexport.h"
#include "record/logreader.h"
#include "record/logsummary.h"
#include "record/logtimeline.h"
#include "study/study.h"

#include <QGuiApplication>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

using namespace halyx;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::ostream& out) {
    out << "Usage: halyx-log csv LOG... -o DIR\n"
           "  or:  halyx-log csv PLANFOLDER -o DIR\n"
           "  or:  halyx-log summary LOG...\n"
           "  or:  halyx-log timeline LOG -o FILE.png|FILE.svg\n"
           "  or:  halyx-log verify PLANFOLDER\n"
           "  or:  halyx-log picture LOG [--minute N] -o FILE.png|FILE.svg\n"
           "  or:  halyx-log picture LOG --every M -o DIR\n\n"
           "Turns recorded experiment logs into data and pictures.\n\n"
           "  csv       writes events.csv, chat.csv, stats.csv, team.csv and outcome.csv into "
           "DIR,\n"
           "            (and marks.csv, probes.csv, ratings.csv, questionnaire.csv), one row set\n"
           "            per log, each row naming its experiment;\n"
           "            for a study's folder, every attempt of its manifest with run, team,\n"
           "            block, attempt, run_state and counts columns first\n"
           "  summary   prints per station the commands of each kind, first and last minute,\n"
           "            go/no-go history and chat lines, and the launch decision\n"
           "  timeline  draws minutes 0-960 with one lane per station: commands, go/no-go band,\n"
           "            chat, pauses, marks and the launch decision\n"
           "  verify    recomputes the SHA-256 of every scenario set and log named in the\n"
           "            study's manifest.csv and names each file that is missing or differs\n"
           "  picture   draws the mission on the map at minute N (default: the end): units,\n"
           "            incursions' courses, radar contacts, each station's commands of the last\n"
           "            30 minutes in its colour, go/no-go and the last chat lines; with --every "
           "M\n"
           "            one PNG each M minutes into DIR (minute_0000.png, minute_0010.png, ...)\n\n"
           "A log cut off by a crash is read through a repair (the file is not changed) and is\n"
           "marked as such.\n\n"
           "Exit status: 0 done, 1 a log could not be read, a file not written or (verify) a file\n"
           "missing or changed, 2 wrong usage.\n";
}

int UsageError(const std::string& message) {
    std::cerr << "halyx-log: " << message << "\n\n";
    PrintUsage(std::cerr);
    return kExitUsage;
}

std::string Problem(const std::string& path, const LogLoadResult& r) {
    std::string text = "halyx-log: " + path + ": ";
    text += r.message.empty() ? r.detail : r.message + " (" + r.detail + ")";
    return text;
}

// Positional arguments and the value of -o/--output.
bool SplitArguments(const std::vector<std::string>& args, std::vector<std::string>& inputs,
                    std::string& output, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" || args[i] == "--output") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = args[i] + " needs a value";
                return false;
            }
            output = args[++i];
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            error = "unknown option \"" + args[i] + "\"";
            return false;
        } else {
            inputs.push_back(args[i]);
        }
    }
    return true;
}

bool IsStudyFolder(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec) &&
           std::filesystem::exists(std::filesystem::path(path) / CStudyManifest::kFileName, ec);
}

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

// The attempts of a study's manifest: each log (none for a skipped run) with its run, team,
// block, attempt, the manifest's state and whether it is the attempt that counts.
bool StudyLogs(const std::string& folder, std::vector<std::string>& logs, CLogCsvKeys& keys) {
    std::vector<CManifestRow> rows;
    const std::string manifest = WithSeparator(folder) + CStudyManifest::kFileName;
    const CManifestReadResult read = CStudyManifest::Read(manifest, rows);
    if (!read) {
        std::cerr << "halyx-log: " << manifest << ": "
                  << (read.line > 0 ? "line " + std::to_string(read.line) + ": " : "")
                  << read.message << "\n";
        return false;
    }
    keys.names = {"run", "team", "block", "attempt", "run_state", "counts"};
    for (const CStudyAttempt& attempt : StudyAttempts(rows)) {
        const CManifestRow& row = attempt.row;
        logs.push_back(row.log.empty() || row.log.starts_with('/')
                           ? row.log
                           : WithSeparator(folder) + row.log);
        keys.values.push_back({row.run, row.team, row.block,
                               attempt.attempt > 0 ? std::to_string(attempt.attempt) : "",
                               attempt.state, attempt.counts ? "yes" : "no"});
    }
    return true;
}

int RunVerify(const std::vector<std::string>& inputs) {
    if (inputs.size() != 1) {
        return UsageError("verify takes one study folder");
    }
    const CStudyVerifyReport report = CStudy::Verify(inputs.front());
    for (const std::string& note : report.notes) {
        std::cerr << "halyx-log: " << note << "\n";
    }
    for (const std::string& problem : report.problems) {
        std::cout << "DIFFERS " << problem << "\n";
    }
    std::cout << report.filesChecked << " file(s) checked, " << report.problems.size()
              << " missing or changed\n";
    return report.ok() ? kExitOk : kExitFailure;
}

int RunCsv(const std::vector<std::string>& inputs, const std::string& output) {
    if (inputs.empty() || output.empty()) {
        return UsageError("csv takes one or more logs (or a study folder) and -o DIR");
    }
    std::vector<std::string> logs = inputs;
    CLogCsvKeys keys;
    if (inputs.size() == 1 && IsStudyFolder(inputs.front())) {
        logs.clear();
        if (!StudyLogs(inputs.front(), logs, keys)) {
            return kExitFailure;
        }
    }
    CLogCsvExport exporter;
    const LogCsvReport report = exporter.Export(logs, output, keys);
    for (const std::string& problem : report.problems) {
        std::cerr << "halyx-log: " << problem << "\n";
    }
    if (report.filesWritten) {
        std::cout << report.logsWritten << " log(s), " << report.events << " events written to "
                  << output << "\n";
    }
    return report ? kExitOk : kExitFailure;
}

int RunSummary(const std::vector<std::string>& inputs) {
    if (inputs.empty()) {
        return UsageError("summary takes one or more logs");
    }
    int status = kExitOk;
    bool first = true;
    for (const std::string& path : inputs) {
        CLogReader reader;
        LogLoadResult r = reader.Open(path);
        CLogSummary summary(reader.Info());
        if (r) {
            r = reader.ForEachEvent([&](const CLogEventView& e) { summary.Add(e); });
        }
        if (!r) {
            std::cerr << Problem(path, r) << "\n";
            status = kExitFailure;
            continue;
        }
        std::cout << (first ? "" : "\n")
                  << summary.FormatTable(CLogCsvExport::ExperimentName(path));
        first = false;
    }
    return status;
}

int RunTimeline(int argc, char** argv, const std::vector<std::string>& inputs,
                const std::string& output) {
    if (inputs.size() != 1 || output.empty()) {
        return UsageError("timeline takes one log and -o FILE.png or FILE.svg");
    }
    if (!IsTimelineFileName(output)) {
        return UsageError("the picture's name must end in .png or .svg");
    }
    // Only the picture needs Qt: its text is laid out with the system's fonts. Pictures go into
    // files and no window is ever shown, so no display is needed.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QGuiApplication app(argc, argv);
    halyx::KeepNumbersInCLocale();

    CLogReader reader;
    LogLoadResult r = reader.Open(inputs.front());
    CLogTimeline timeline(reader.Info(), CLogCsvExport::ExperimentName(inputs.front()));
    if (r) {
        r = reader.ForEachEvent([&](const CLogEventView& e) { timeline.Add(e); });
    }
    if (!r) {
        std::cerr << Problem(inputs.front(), r) << "\n";
        return kExitFailure;
    }
    timeline.Finish();
    std::string error;
    if (!WriteTimelineFile(timeline, output, error)) {
        std::cerr << "halyx-log: " << error << "\n";
        return kExitFailure;
    }
    std::cout << output << "\n";
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintUsage(std::cerr);
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintUsage(std::cout);
        return kExitOk;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "picture") {
        return RunPictureCommand(argc, argv, args, UsageError);
    }
    std::vector<std::string> inputs;
    std::string output;
    std::string error;
    if (!SplitArguments(args, inputs, output, error)) {
        return UsageError(error);
    }
    if (command == "csv") {
        return RunCsv(inputs, output);
    }
    if (command == "summary") {
        if (!output.empty()) {
            return UsageError("summary prints to standard output and takes no -o");
        }
        return RunSummary(inputs);
    }
    if (command == "timeline") {
        return RunTimeline(argc, argv, inputs, output);
    }
    if (command == "verify") {
        if (!output.empty()) {
            return UsageError("verify prints to standard output and takes no -o");
        }
        return RunVerify(inputs);
    }
    return UsageError("unknown command \"" + command + "\"");
}
