#pragma once

// A study plan: the runs of a study, one row each, in a CSV file the researcher edits in a
// spreadsheet. The header is exactly
//     run,team,block,scenario,mode,stations,notes
// scenario is a .hsf file, relative to the plan's folder (or absolute); mode is multi or single;
// stations are the station names separated by blanks. The plan's folder holds the study's logs
// (logs/) and its manifest (manifest.csv).
//
// Usage:
//     CStudyPlan plan;
//     CStudyPlanResult r = plan.Load("/data/study1/plan.csv");
//     if (!r) report(r.Describe());             // "line 4: mode must be multi or single ..."
//     for (const CStudyRun& run : plan.Runs()) use(plan.ScenarioPath(run));

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

struct CStudyRun {
    std::string run;
    std::string team;
    std::string block;
    std::string scenario; // as the plan writes it
    bool multi = true;    // mode multi; false: single
    std::vector<std::string> stations;
    std::string notes;
    size_t line = 0; // where the row begins in the plan

    // "TEAM_BLOCK": the log's name for the run's first attempt.
    std::string LogBaseName() const { return team + "_" + block; }
};

struct CStudyPlanResult {
    bool ok = false;
    size_t line = 0; // 0: the file as a whole
    std::string message;

    explicit operator bool() const { return ok; }
    // "PLAN: line N: MESSAGE", or "PLAN: MESSAGE" for the file as a whole.
    std::string Describe(const std::string& plan) const;
};

class CStudyPlan {
public:
    static constexpr const char* kHeader = "run,team,block,scenario,mode,stations,notes";
    // A plan is a table a person edits; anything larger is refused before it is read.
    static constexpr size_t kMaxBytes = size_t{4} << 20;
    static constexpr size_t kMaxRuns = 10000;
    static constexpr size_t kMaxFieldBytes = 4096;
    static constexpr size_t kMaxStations = 64;

    // Reads the file; on failure the plan stays as it was.
    CStudyPlanResult Load(const std::string& path);
    // The plan's text, as if it stood in folder (which ends with '/').
    CStudyPlanResult Parse(std::string_view text, const std::string& folder);

    bool Empty() const { return m_runs.empty(); }
    const std::string& Path() const { return m_path; }
    // The plan's folder, ending with '/'.
    const std::string& Folder() const { return m_folder; }
    const std::vector<CStudyRun>& Runs() const { return m_runs; }
    // The run of that id, nullptr when the plan has none.
    const CStudyRun* Find(std::string_view run) const;

    // The run's scenario file: the plan's folder + scenario unless that is absolute.
    std::string ScenarioPath(const CStudyRun& run) const;
    std::string LogsFolder() const { return m_folder + "logs/"; }
    std::string ManifestPath() const { return m_folder + "manifest.csv"; }

private:
    std::string m_path;
    std::string m_folder;
    std::vector<CStudyRun> m_runs;
};

// The version written into the manifest beside each run.
const char* ProgramVersion();

} // namespace halyx
