#pragma once

// Experiment logs as tidy CSV files for R, pandas or a spreadsheet. Many logs go into one set of
// files, each row carrying its experiment's name, so that the files of several runs concatenate:
//   events.csv   experiment, time (ISO 8601 UTC with milliseconds), tsid, minute, event,
//                station, then one column per attribute found in any of the logs, then text
//   chat.csv     experiment, minute, from, text
//   stats.csv    experiment, station, kind (radar, interceptor, balloon), then the items' fields
//   team.csv     experiment, position, station, then the station's mission costs
//   outcome.csv  experiment, created, notes, team_size, mode, launch_decision, minutes_run, state
//   marks.csv    experiment, minute, time, text: the experimenter's marks
//   probes.csv   experiment, minute, time, steady_ms, probe, kind, seat, question, text, answer,
//                answered, truth, score, ms: every question of a freeze or in view, per seat
//   ratings.csv  experiment, minute, time, steady_ms, seat, rating, answered, ms
//   questionnaire.csv experiment, time, steady_ms, seat, item, answer, answered, ms
// Logs of a study get key columns (run, team, block, attempt, run_state, counts) in front of
// experiment in every file.
// A log cut off by a crash is read through the repair and its outcome row says "repaired".
//
// Usage:
//     CLogCsvExport exporter;
//     LogCsvReport r = exporter.Export({"Run1.xml", "Run2.xml"}, "out");
//     for (auto& p : r.problems) std::cerr << p << '\n';

#include <cstdint>
#include <string>
#include <vector>

namespace halyx {

struct LogCsvReport {
    std::vector<std::string> problems; // one line per log that was left out or file not written
    size_t logsWritten = 0;
    int64_t events = 0;
    bool filesWritten = false; // every file is in the folder

    explicit operator bool() const { return filesWritten && problems.empty(); }
};

// Columns put first in every file: names, and each log's values in the order of the logs.
struct CLogCsvKeys {
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> values;
};

class CLogCsvExport {
public:
    static constexpr const char* kEventsFile = "events.csv";
    static constexpr const char* kChatFile = "chat.csv";
    static constexpr const char* kStatsFile = "stats.csv";
    static constexpr const char* kTeamFile = "team.csv";
    static constexpr const char* kOutcomeFile = "outcome.csv";
    static constexpr const char* kMarksFile = "marks.csv";
    static constexpr const char* kProbesFile = "probes.csv";
    static constexpr const char* kRatingsFile = "ratings.csv";
    static constexpr const char* kQuestionnaireFile = "questionnaire.csv";

    // Reads every log twice (the first pass finds the attribute columns) and writes the
    // files into folder, which is created when missing. A log that cannot be read is reported
    // and left out; the others are still written. An empty path stands for a run without a log
    // (a study's skipped run): it gets an outcome row of its key cells, state "no log".
    LogCsvReport Export(const std::vector<std::string>& logs, const std::string& folder,
                        const CLogCsvKeys& keys = {});

    // "folder/Run1.xml" -> "Run1".
    static std::string ExperimentName(const std::string& path);
    // A TSID (milliseconds since 1970 UTC) as "2026-12-05T14:03:09.048Z".
    static std::string IsoTime(int64_t tsid);
};

} // namespace halyx
