#include "record/logcsvexport.h"

#include "common/xmlescape.h"
#include "record/csvwriter.h"
#include "record/logreader.h"
#include "record/logsummary.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <unordered_map>

namespace halyx {

namespace {

// Attributes that have columns of their own at the front of events.csv.
bool IsFixedAttribute(std::string_view name) {
    return name == "TimeStamp" || name == "TSID" || name == "Name" || name == "ClockTime";
}

// Columns in the order they were first met, found again by name.
class CColumnSet {
public:
    // A log may name any number of attributes; beyond this many the rest share one column of
    // name="value" pairs, so that a hostile log cannot make every row millions of fields long.
    static constexpr size_t kMaxColumns = 256;

    void Add(std::string_view name) {
        if (m_index.find(name) == m_index.end()) {
            if (m_names.size() >= kMaxColumns) {
                m_overflowed = true;
                return;
            }
            m_index.emplace(std::string(name), m_names.size());
            m_names.emplace_back(name);
        }
    }
    // Some names had no column of their own and go into the shared one.
    bool Overflowed() const { return m_overflowed; }
    // The column of name, or the column count when it has none.
    size_t Find(std::string_view name) const {
        const auto found = m_index.find(name);
        return found == m_index.end() ? m_names.size() : found->second;
    }
    const std::vector<std::string>& Names() const { return m_names; }

private:
    std::vector<std::string> m_names;
    std::map<std::string, size_t, std::less<>> m_index;
    bool m_overflowed = false;
};

// Appends name="value" to the shared column of the names without a column of their own.
void AppendOther(std::string& other, std::string_view name, std::string_view value) {
    if (!other.empty()) {
        other += ' ';
    }
    other += name;
    other += "=\"";
    AppendXmlEscaped(other, value);
    other += '"';
}

// The fields of a statistics item or block as cells of columns, the rest into other.
void FillFields(const std::vector<CLogField>& fields, const CColumnSet& columns,
                std::vector<std::string_view>& cells, std::string& other) {
    cells.assign(columns.Names().size(), std::string_view());
    other.clear();
    for (const CLogField& f : fields) {
        const size_t column = columns.Find(f.name);
        if (column < cells.size()) {
            if (cells[column].empty()) {
                cells[column] = f.value;
            }
        } else {
            AppendOther(other, f.name, f.value);
        }
    }
}

constexpr std::array<const char*, 12> kStatsFields = {
    "ID",       "Name",       "ActivationCount", "DeployCount", "InterceptCount", "ActiveTime",
    "TaskTime", "DeployTime", "ReportTime",      "DeployLat",   "DeployLng",      "Cost"};

constexpr std::array<const char*, 4> kCostFields = {"TotalCost", "BalloonCost", "InterceptorCost",
                                                    "RadarCost"};

bool ParseInt64(std::string_view text, int64_t& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

struct LogEntry {
    std::string path;
    std::string experiment;
    size_t index = 0; // among the logs given
};

// The columns of an event's attributes, remembered per event name: events of one name carry the
// same attributes in the same order, so a name compare replaces most lookups.
class CColumnCache {
public:
    explicit CColumnCache(const CColumnSet& columns) : m_columns(columns) {}

    void Fill(const CLogEventView& event, std::vector<std::string_view>& cells,
              std::string& other) {
        std::vector<std::pair<std::string, size_t>>& cache = m_byEvent[std::string(event.name)];
        for (size_t i = 0; i < event.attributes.size(); ++i) {
            const auto& [name, value] = event.attributes[i];
            if (i >= cache.size()) {
                cache.emplace_back(std::string(name), m_columns.Find(name));
            } else if (cache[i].first != name) {
                cache[i] = {std::string(name), m_columns.Find(name)};
            }
            if (cache[i].second < cells.size()) {
                cells[cache[i].second] = value;
            } else if (!IsFixedAttribute(name)) {
                AppendOther(other, name, value);
            }
        }
    }

private:
    const CColumnSet& m_columns;
    std::unordered_map<std::string, std::vector<std::pair<std::string, size_t>>> m_byEvent;
};

// ISO 8601 texts of TSIDs; the date and time of day are made once per second.
class CIsoTimeText {
public:
    std::string_view Of(int64_t tsid) {
        int64_t seconds = tsid / 1000;
        int64_t millis = tsid % 1000;
        if (millis < 0) {
            millis += 1000;
            --seconds;
        }
        if (seconds != m_seconds || m_text.empty()) {
            m_seconds = seconds;
            m_text = CLogCsvExport::IsoTime(seconds * 1000);
        }
        if (m_text.size() < 5) {
            return {};
        }
        m_text[m_text.size() - 4] = static_cast<char>('0' + millis / 100);
        m_text[m_text.size() - 3] = static_cast<char>('0' + millis / 10 % 10);
        m_text[m_text.size() - 2] = static_cast<char>('0' + millis % 10);
        return m_text;
    }

private:
    int64_t m_seconds = 0;
    std::string m_text;
};

} // namespace

std::string CLogCsvExport::ExperimentName(const std::string& path) {
    std::string name = std::filesystem::path(path).filename().string();
    if (name.size() > 4 && name.ends_with(".xml")) {
        name.resize(name.size() - 4);
    }
    return name;
}

std::string CLogCsvExport::IsoTime(int64_t tsid) {
    int64_t seconds = tsid / 1000;
    int64_t millis = tsid % 1000;
    if (millis < 0) {
        millis += 1000;
        --seconds;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    if (gmtime_r(&t, &utc) == nullptr || utc.tm_year + 1900 < 0 || utc.tm_year + 1900 > 9999) {
        return {};
    }
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(millis));
    return text;
}

LogCsvReport CLogCsvExport::Export(const std::vector<std::string>& logs, const std::string& folder,
                                   const CLogCsvKeys& keys) {
    LogCsvReport report;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        report.problems.push_back("cannot create the folder " + folder + ": " + ec.message());
        return report;
    }

    // First pass: which logs can be read, and which attribute and statistics columns they need.
    std::vector<LogEntry> readable;
    std::map<std::string, int> names;
    CColumnSet attributes;
    CColumnSet statsFields;
    for (const char* field : kStatsFields) {
        statsFields.Add(field);
    }
    CColumnSet costFields;
    for (const char* field : kCostFields) {
        costFields.Add(field);
    }
    // One log alone stays open and is read only once; of many, only one is in memory at a time.
    CLogReader lastReader;
    for (size_t index = 0; index < logs.size(); ++index) {
        const std::string& path = logs[index];
        if (path.empty()) {
            readable.push_back({path, std::string(), index});
            continue;
        }
        CLogReader reader;
        const LogLoadResult r = reader.Open(path);
        if (!r) {
            std::string why = r.message.empty() ? r.detail : r.message + " (" + r.detail + ")";
            report.problems.push_back(path + ": " + why);
            continue;
        }
        for (const std::string& name : reader.EventAttributeNames()) {
            if (!IsFixedAttribute(name)) {
                attributes.Add(name);
            }
        }
        for (const CLogStationStats& s : reader.Info().stats) {
            for (const CLogField& c : s.costs) {
                costFields.Add(c.name);
            }
            for (const CLogStatsItem& item : s.items) {
                for (const CLogField& f : item.fields) {
                    statsFields.Add(f.name);
                }
            }
        }
        // Two logs of one name (from different folders) must still be told apart.
        std::string experiment = ExperimentName(path);
        const int seen = ++names[experiment];
        if (seen > 1) {
            experiment += " (" + std::to_string(seen) + ")";
        }
        readable.push_back({path, experiment, index});
        if (logs.size() == 1) {
            lastReader = std::move(reader);
        }
    }

    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    CCsvWriter events;
    CCsvWriter chat;
    CCsvWriter stats;
    CCsvWriter team;
    CCsvWriter outcome;
    CCsvWriter marks;
    CCsvWriter probes;
    CCsvWriter ratings;
    CCsvWriter questionnaire;
    std::array<std::pair<CCsvWriter*, const char*>, 9> files = {
        std::pair{&events, kEventsFile},
        std::pair{&chat, kChatFile},
        std::pair{&stats, kStatsFile},
        std::pair{&team, kTeamFile},
        std::pair{&outcome, kOutcomeFile},
        std::pair{&marks, kMarksFile},
        std::pair{&probes, kProbesFile},
        std::pair{&ratings, kRatingsFile},
        std::pair{&questionnaire, kQuestionnaireFile}};
    for (auto& [writer, name] : files) {
        if (!writer->Open(base + name)) {
            report.problems.push_back(writer->Error());
            return report;
        }
        for (const std::string& key : keys.names) {
            writer->Field(key);
        }
    }
    // The key cells of a log, put in front of each of its rows.
    auto lead = [&](CCsvWriter& writer, const LogEntry& entry) {
        for (size_t k = 0; k < keys.names.size(); ++k) {
            const bool has =
                entry.index < keys.values.size() && k < keys.values[entry.index].size();
            writer.Field(has ? std::string_view(keys.values[entry.index][k]) : std::string_view());
        }
    };
    for (std::string_view h : {"experiment", "time", "tsid", "minute", "event", "station"}) {
        events.Field(h);
    }
    for (const std::string& name : attributes.Names()) {
        events.Field(name);
    }
    if (attributes.Overflowed()) {
        events.Field("other_attributes");
    }
    events.Field("text");
    events.EndRow();
    chat.Row({"experiment", "minute", "from", "text"});
    for (std::string_view h : {"experiment", "station", "kind"}) {
        stats.Field(h);
    }
    for (const std::string& name : statsFields.Names()) {
        stats.Field(name);
    }
    if (statsFields.Overflowed()) {
        stats.Field("other_fields");
    }
    stats.EndRow();
    for (std::string_view h : {"experiment", "position", "station"}) {
        team.Field(h);
    }
    for (const std::string& name : costFields.Names()) {
        team.Field(name);
    }
    if (costFields.Overflowed()) {
        team.Field("other_fields");
    }
    team.EndRow();
    outcome.Row({"experiment", "created", "notes", "team_size", "mode", "launch_decision",
                 "minutes_run", "state"});
    marks.Row({"experiment", "minute", "time", "text"});
    probes.Row({"experiment", "minute", "time", "steady_ms", "probe", "kind", "seat", "question",
                "text", "answer", "answered", "truth", "score", "ms"});
    ratings.Row({"experiment", "minute", "time", "steady_ms", "seat", "rating", "answered", "ms"});
    questionnaire.Row(
        {"experiment", "time", "steady_ms", "seat", "item", "answer", "answered", "ms"});

    // Second pass: the rows.
    std::vector<std::string_view> cells(attributes.Names().size());
    std::vector<std::string_view> fieldCells;
    std::string other;
    CColumnCache columns(attributes);
    CIsoTimeText isoTime;
    for (const LogEntry& entry : readable) {
        if (entry.path.empty()) {
            lead(outcome, entry);
            for (int cell = 0; cell < 7; ++cell) {
                outcome.Field(std::string_view());
            }
            outcome.Field("no log");
            outcome.EndRow();
            continue;
        }
        CLogReader reader;
        LogLoadResult r;
        if (logs.size() == 1) {
            reader = std::move(lastReader);
        } else {
            r = reader.Open(entry.path);
        }
        if (!r) {
            report.problems.push_back(entry.path + ": " + r.message + " (" + r.detail + ")");
            continue;
        }
        const std::string& experiment = entry.experiment;
        CLogSummary summary(reader.Info());
        std::optional<int64_t> firstTsid;
        r = reader.ForEachEvent([&](const CLogEventView& e) {
            summary.Add(e);
            ++report.events;
            lead(events, entry);
            events.Field(experiment);
            const std::string_view tsidText = e.Attribute("TSID");
            int64_t tsid = 0;
            const bool timed = ParseInt64(tsidText, tsid);
            if (timed && !firstTsid) {
                firstTsid = tsid;
            }
            events.Field(timed ? isoTime.Of(tsid) : std::string_view());
            events.Field(tsidText);
            events.Field(e.Attribute("ClockTime"));
            events.Field(e.name);
            std::string_view station = CLogSummary::StationOf(e);
            events.Field(station.empty() ? e.Attribute("To") : station);
            std::fill(cells.begin(), cells.end(), std::string_view());
            other.clear();
            columns.Fill(e, cells, other);
            for (const std::string_view cell : cells) {
                events.Field(cell);
            }
            if (attributes.Overflowed()) {
                events.Field(other);
            }
            events.Field(e.text);
            events.EndRow();
            if (e.name == "ChatMsg") {
                lead(chat, entry);
                chat.Row({experiment, e.Attribute("ClockTime"), e.Attribute("From"), e.text});
            } else if (e.name == "ProbeAnswer") {
                const std::string_view kind = e.Attribute("Kind");
                const std::string time(tsid != 0 ? isoTime.Of(tsid) : std::string_view());
                if (kind == "rating") {
                    lead(ratings, entry);
                    ratings.Row({experiment, e.Attribute("ClockTime"), time,
                                 e.Attribute("SteadyMs"), e.Attribute("Seat"),
                                 e.Attribute("Answer"), e.Attribute("Answered"),
                                 e.Attribute("Ms")});
                } else if (kind == "questionnaire") {
                    lead(questionnaire, entry);
                    questionnaire.Row({experiment, time, e.Attribute("SteadyMs"),
                                       e.Attribute("Seat"), e.Attribute("Question"),
                                       e.Attribute("Answer"), e.Attribute("Answered"),
                                       e.Attribute("Ms")});
                } else {
                    lead(probes, entry);
                    probes.Row({experiment, e.Attribute("ClockTime"), time, e.Attribute("SteadyMs"),
                                e.Attribute("Probe"), kind, e.Attribute("Seat"),
                                e.Attribute("Question"), e.Attribute("Text"), e.Attribute("Answer"),
                                e.Attribute("Answered"), e.Attribute("Truth"), e.Attribute("Score"),
                                e.Attribute("Ms")});
                }
            }
        });
        if (!r) {
            // The rows written so far stay; the outcome row says the log broke off.
            report.problems.push_back(entry.path + ": " + r.message + " (" + r.detail + ")");
        }
        const CLogInfo& info = reader.Info();
        for (const CLogStationStats& s : info.stats) {
            for (const CLogStatsItem& item : s.items) {
                lead(stats, entry);
                stats.Field(experiment);
                stats.Field(s.station);
                stats.Field(item.kind);
                FillFields(item.fields, statsFields, fieldCells, other);
                for (const std::string_view cell : fieldCells) {
                    stats.Field(cell);
                }
                if (statsFields.Overflowed()) {
                    stats.Field(other);
                }
                stats.EndRow();
            }
        }
        // A member's costs come from its last statistics block; stations that reported
        // statistics without being in the recorded team follow, without a position.
        std::map<std::string_view, const CLogStationStats*> lastStats;
        std::vector<std::string_view> rows(info.team.begin(), info.team.end());
        for (const std::string& name : info.team) {
            lastStats.emplace(name, nullptr);
        }
        for (const CLogStationStats& s : info.stats) {
            const auto [at, added] = lastStats.insert_or_assign(s.station, &s);
            if (added) {
                rows.push_back(s.station);
            }
        }
        for (size_t i = 0; i < rows.size(); ++i) {
            lead(team, entry);
            team.Field(experiment);
            team.Field(i < info.team.size() ? std::to_string(i + 1) : std::string());
            team.Field(rows[i]);
            const CLogStationStats* last = lastStats[rows[i]];
            static const std::vector<CLogField> kNoCosts;
            FillFields(last != nullptr ? last->costs : kNoCosts, costFields, fieldCells, other);
            for (const std::string_view cell : fieldCells) {
                team.Field(cell);
            }
            if (costFields.Overflowed()) {
                team.Field(other);
            }
            team.EndRow();
        }
        lead(outcome, entry);
        outcome.Field(experiment);
        // The header's date and time are in the recording machine's locale: the first event's
        // instant (the log opens with it) is the one a script can read.
        outcome.Field(firstTsid ? CLogCsvExport::IsoTime(*firstTsid) : std::string());
        outcome.Field(info.notes);
        outcome.Field(static_cast<long long>(info.team.size()));
        outcome.Field(summary.Mode());
        outcome.Field(summary.LaunchDecision());
        outcome.Field(summary.MinutesRun() < 0 ? std::string()
                                               : std::to_string(summary.MinutesRun()));
        outcome.Field(!r ? "unreadable events" : info.repaired ? "repaired" : "complete");
        outcome.EndRow();
        for (const CLogMark& mark : info.marks) {
            lead(marks, entry);
            marks.Row({experiment, std::to_string(mark.minute), mark.time, mark.text});
        }
        ++report.logsWritten;
    }
    report.filesWritten = true;
    for (auto& [writer, name] : files) {
        if (!writer->Close()) {
            report.problems.push_back(writer->Error());
            report.filesWritten = false;
        }
    }
    return report;
}

} // namespace halyx
