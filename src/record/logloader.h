#pragma once

// Reads a recorded experiment log back for playback and hands its parts to their owners: the
// scenario element to the scenario reader, the team's names to the agent and the stations list,
// the recorded events to the playback store.
//
// Usage:
//     CLogLoader loader({.readScenario = [&](const pugi::xml_node& s, std::string& error) {
//                            return ReadScenarioXml(s, scenario, error); },
//                        .loadTeam = [&](const std::vector<std::string>& names) {
//                            agent.LoadTeam(names); },
//                        .events = &agent.Events()});
//     LogLoadResult r = loader.Load(path);
//     if (!r && !r.message.empty()) view.ShowMessage(r.message);
//
// A log that breaks off (the program died during a run) is not well-formed and is refused;
// logrepair.h makes a closed copy of it that loads.

#include "record/fileio.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
class xml_node;
}

namespace halyx {

class CSimEventStore;
class IProgress;
struct CSimEvent;

inline constexpr const char* kLogLoadErrorText =
    "There was an error loading the experiment log file.";
inline constexpr const char* kLogIncompleteText =
    "ERROR:Unable to load the Experiment Log because it is incomplete or corrupted.";

// Files larger than this are refused as unreadable rather than read into memory.
inline constexpr size_t kMaxLogFileBytes = size_t{1} << 30;

enum class LogLoadStatus {
    Ok,
    CannotOpen, // the file cannot be opened (no message is shown)
    NotXml,     // not well-formed, empty, too large, or a part could not be read
    Incomplete, // one of the five sections is missing under the root
    Canceled,   // the user stopped the reading (no message is shown)
};

struct LogLoadResult {
    LogLoadStatus status = LogLoadStatus::Ok;
    // The exact text to show the experimenter; empty when nothing is to be shown.
    std::string message;
    // What went wrong and where, for diagnostics: the parser's description, a missing section.
    std::string detail;
    // Byte offset into the text where the parser stopped, when it did.
    size_t offset = 0;

    explicit operator bool() const { return status == LogLoadStatus::Ok; }
};

// A failed result with the message the experimenter is shown for status.
LogLoadResult LogLoadFailure(LogLoadStatus status, std::string detail, size_t offset = 0);

// Reads the whole log file at path into buffer, refusing what cannot be a log (not a file, larger
// than kMaxLogFileBytes).
LogLoadResult ReadLogFileText(const std::string& path, std::string& buffer);
LogLoadResult ReadLogFileText(const std::string& path, CFileBytes& bytes);

struct LogLoadTargets {
    // Loads the scenario from the log's Scenario element; false with error set when it cannot.
    std::function<bool(const pugi::xml_node& scenario, std::string& error)> readScenario;
    // Replaces the team with these station names, in file order, and lists them as
    // "Not Initialized".
    std::function<void(const std::vector<std::string>& names)> loadTeam;
    // Receives the recorded events; may be null.
    CSimEventStore* events = nullptr;
    // Told how much of the text has been read (0 to 1000) and asked between chunks whether to
    // stop; may be null.
    IProgress* progress = nullptr;
};

class CLogLoader {
public:
    explicit CLogLoader(LogLoadTargets targets);

    // Reads the file and loads it as LoadText does.
    LogLoadResult Load(const std::string& path);
    // Parses the text and hands on, in this order, the scenario, the team and the events.
    // Parts handed on before a failure keep their new state.
    LogLoadResult LoadText(std::string_view text);

    // The names of a TeamMembers element's children, in order (attribute Name, "" when absent).
    static std::vector<std::string> TeamNames(const pugi::xml_node& teamMembers);

private:
    class CTextSource;
    // Follows the text's elements a chunk at a time: the events are converted piece by piece,
    // the rest is kept and parsed as one document at the end.
    // Nothing when the text is not shaped like a log: it is then parsed whole.
    std::optional<LogLoadResult> LoadStream(CTextSource& source);
    LogLoadResult LoadWhole(std::string& buffer);
    // Finds the sections under the root and hands them on; records, when given, are the events
    // of the last SimEvents section, already read (the section in the document is empty then).
    LogLoadResult Distribute(const pugi::xml_node& root, CSimEventStore* records);

    LogLoadTargets m_targets;
};

} // namespace halyx
