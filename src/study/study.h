#pragma once

// A study in progress: the plan and, read back from the manifest, where each run stands. A run
// is pending until a row of the manifest says done, failed or skipped; a repeat row makes it
// pending again, and its next log gets "_r2", "_r3" ... after TEAM_BLOCK. Running is known only
// to the console that runs it; after a restart that run is pending again (its log, if one was
// begun, is never overwritten: the next free name is proposed).
//
// Usage:
//     CStudy study;
//     if (CStudyPlanResult r = study.Open("plan.csv"); !r) report(r.Describe("plan.csv"));
//     if (auto next = study.NextPending()) {
//         std::string name = study.ProposedLogName(*next);     // logs/TEAM_BLOCK.xml is free
//         study.SetRunning(*next, study.Plan().LogsFolder() + name + ".xml", CurrentTsid());
//         ... the mission ...
//         study.Finish(*next, outcome, error);                   // one manifest row
//     }

#include "study/studymanifest.h"
#include "study/studyplan.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace halyx {

enum class StudyRunState { Pending, Running, Done, Failed, Skipped };
// "pending", "running", "done", "failed", "skipped".
const char* StudyRunStateText(StudyRunState state);

// An attempt that a repeat superseded, as its row of the manifest had it.
struct CEarlierAttempt {
    StudyRunState state = StudyRunState::Done;
    std::string log;
    std::string decision;
};

struct CStudyRunStatus {
    StudyRunState state = StudyRunState::Pending;
    int attempts = 0;     // runs with a log, done or failed
    std::string log;      // the last log, relative to the plan's folder
    std::string decision; // of the last attempt
    std::string logPath;  // while running: the log's full path
    int64_t startTsid = 0;
    // Why a row that says done does not stand (its log is missing or differs from the one
    // recorded); the run is pending again.
    std::string problem;
    std::vector<CEarlierAttempt> superseded; // oldest first
};

// How a run ended, as the console saw it.
struct CStudyRunOutcome {
    bool completed = false; // the mission reached its end; false: aborted
    std::string decision;   // "Launch", "NoLaunch", or "" when there was none
    int64_t events = 0;
    int64_t endTsid = 0;
};

struct CStudyVerifyReport {
    std::vector<std::string> problems; // one line per file missing or differing
    size_t filesChecked = 0;
    std::vector<std::string> notes; // rows left out of the manifest
    bool ok() const { return problems.empty(); }
};

// One attempt at a run as a study's tables show it: a manifest row that is done, failed or
// skipped. A repeat row supersedes the run's attempt before it.
struct CStudyAttempt {
    CManifestRow row;
    int attempt = 0;     // 1, 2 ... among the run's attempts with a log; 0 for a skip
    std::string state;   // "done", "failed", "skipped" or "superseded"
    bool counts = false; // the run's last attempt, done and not superseded: the data that stands
};
// The attempts of a manifest's rows, in their order.
std::vector<CStudyAttempt> StudyAttempts(const std::vector<CManifestRow>& rows);

class CStudy {
public:
    // Loads the plan and its manifest; on failure the study stays as it was. A manifest that
    // cannot be read is a failure too: runs would be repeated by mistake.
    CStudyPlanResult Open(const std::string& planPath);
    bool IsOpen() const { return !m_plan.Empty(); }
    void Close();

    const CStudyPlan& Plan() const { return m_plan; }
    const std::vector<CStudyRunStatus>& Status() const { return m_status; }
    // Lines of the manifest left out when it was read (cut off by a crash).
    const std::vector<size_t>& TornRows() const { return m_tornRows; }
    std::optional<size_t> NextPending() const;
    std::optional<size_t> Running() const;
    // The run of that id, or nullopt.
    std::optional<size_t> IndexOf(const std::string& run) const;

    // TEAM_BLOCK for a first attempt, TEAM_BLOCK_rN for the Nth, and the next suffix while a
    // log of that name is in the logs folder already (a link of that name too, even one that
    // leads nowhere).
    std::string ProposedLogName(size_t index) const;
    // Why no run can start now ("" when one can): the logs folder or the manifest is a link (what
    // is written there would land outside the plan's folder) or not what its name says.
    std::string WhyNoRunCanStart() const;

    void SetRunning(size_t index, std::string logPath, int64_t startTsid);
    // Hashes the run's scenario set and log and appends the row (done or failed). A hash that
    // cannot be made is written empty and said in error; the row is written all the same, so the
    // run is not lost. False when the row could not be written: the run is pending again.
    bool Finish(size_t index, const CStudyRunOutcome& outcome, std::string& error);
    // A prepared run that failed before its log could be made: a failed row without a log.
    bool FailWithoutLog(size_t index, int64_t tsid, std::string& error);
    bool Skip(size_t index, std::string& error);
    bool Repeat(size_t index, std::string& error);

    // Recomputes the hash of every scenario set and log named in the manifest of the plan's
    // folder.
    static CStudyVerifyReport Verify(const std::string& planFolder);

private:
    bool AppendRow(size_t index, CManifestRow row, std::string& error);
    void Apply(const CManifestRow& row);
    void CheckDoneLogs(const std::vector<CManifestRow>& rows);

    CStudyPlan m_plan;
    std::vector<CStudyRunStatus> m_status;
    std::vector<size_t> m_tornRows;
};

} // namespace halyx
