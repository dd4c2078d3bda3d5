#pragma once

// Repair of an experiment log that was cut off because the program died during a run. The
// original is never changed: a closed copy is written that keeps every complete event line,
// drops the line that was being written, closes the events section, adds an empty TeamMembers
// section when there is none and closes the root, so the experiment can still be replayed.
//
// Usage (halyx-command --repair-log FILE):
//     LogRepairResult r = RepairExperimentLog(file, RepairedLogPath(file));
//     std::puts(r.message.c_str());
//     return r ? 0 : 1;

#include <cstddef>
#include <string>
#include <string_view>

namespace halyx {

enum class LogRepairStatus {
    Repaired,        // a closed copy was written
    AlreadyComplete, // the log loads as it is; an unchanged copy was written
    CannotRead,      // the input cannot be opened or is too large
    CannotWrite,     // the copy cannot be written (or would replace the input)
    NotRepairable,   // the log breaks off before its scenario is complete, or is not a log
};

struct LogRepairResult {
    LogRepairStatus status = LogRepairStatus::NotRepairable;
    // One line for the user: what was done or why not.
    std::string message;
    size_t keptBytes = 0;    // bytes of the input kept in the copy
    size_t droppedBytes = 0; // bytes of the input left out (the broken-off tail)
    size_t eventsKept = 0;   // event lines in the copy's SimEvents section

    explicit operator bool() const {
        return status == LogRepairStatus::Repaired || status == LogRepairStatus::AlreadyComplete;
    }
};

// Reads the log at inPath and writes its closed copy to outPath.
LogRepairResult RepairExperimentLog(const std::string& inPath, const std::string& outPath);

// The same on texts: repaired receives the closed copy when the result is true.
LogRepairResult RepairExperimentLogText(std::string_view text, std::string& repaired);

// Where the copy goes by default: beside the input, "NAME.xml" -> "NAME_repaired.xml".
std::string RepairedLogPath(const std::string& inPath);

} // namespace halyx
