#include "study/study.h"

#include "common/paths.h"
#include "common/sha256.h"

#include <map>
#include <sys/stat.h>
#include <utility>

namespace halyx {

const char* StudyRunStateText(StudyRunState state) {
    switch (state) {
    case StudyRunState::Pending:
        return "pending";
    case StudyRunState::Running:
        return "running";
    case StudyRunState::Done:
        return "done";
    case StudyRunState::Failed:
        return "failed";
    case StudyRunState::Skipped:
        return "skipped";
    }
    return "pending";
}

std::vector<CStudyAttempt> StudyAttempts(const std::vector<CManifestRow>& rows) {
    std::vector<CStudyAttempt> attempts;
    std::map<std::string, size_t> last; // run -> its latest attempt
    std::map<std::string, int> withLog; // run -> attempts with a log so far
    for (const CManifestRow& row : rows) {
        if (row.state == "repeat") {
            if (const auto it = last.find(row.run); it != last.end()) {
                attempts[it->second].state = "superseded";
                last.erase(it);
            }
            continue;
        }
        if (row.state != "done" && row.state != "failed" && row.state != "skipped") {
            continue;
        }
        CStudyAttempt attempt;
        attempt.row = row;
        attempt.state = row.state;
        attempt.attempt = row.state == "skipped" ? 0 : ++withLog[row.run];
        last[row.run] = attempts.size();
        attempts.push_back(std::move(attempt));
    }
    for (const auto& [run, index] : last) {
        attempts[index].counts = attempts[index].state == "done";
    }
    return attempts;
}

CStudyPlanResult CStudy::Open(const std::string& planPath) {
    CStudy opened;
    CStudyPlanResult result = opened.m_plan.Load(planPath);
    if (!result) {
        return result;
    }
    std::vector<CManifestRow> rows;
    const CManifestReadResult read = CStudyManifest::Read(opened.m_plan.ManifestPath(), rows);
    if (!read) {
        return {false, 0,
                opened.m_plan.ManifestPath() + ": " +
                    (read.line > 0 ? "line " + std::to_string(read.line) + ": " : "") +
                    read.message};
    }
    opened.m_status.assign(opened.m_plan.Runs().size(), {});
    opened.m_tornRows = read.tornRows;
    for (const CManifestRow& row : rows) {
        opened.Apply(row);
    }
    opened.CheckDoneLogs(rows);
    *this = std::move(opened);
    return result;
}

// A row saying done proves a run only with its log, the same bytes as when the row was written:
// a row forged or left by hand must not make a run vanish from the study.
void CStudy::CheckDoneLogs(const std::vector<CManifestRow>& rows) {
    std::vector<const CManifestRow*> last(m_status.size(), nullptr);
    for (const CManifestRow& row : rows) {
        if (const std::optional<size_t> index = IndexOf(row.run);
            index && (row.state == "done" || row.state == "failed")) {
            last[*index] = &row;
        }
    }
    std::map<std::string, std::string> hashes; // each file read once, "" when it cannot be
    for (size_t i = 0; i < m_status.size(); ++i) {
        if (m_status[i].state != StudyRunState::Done || last[i] == nullptr) {
            continue;
        }
        const CManifestRow& row = *last[i];
        const std::string portable = ToPortablePath(row.log);
        const std::string path =
            portable.empty() || portable.starts_with('/') ? portable : m_plan.Folder() + portable;
        auto it = hashes.find(path);
        if (it == hashes.end()) {
            std::string hex;
            std::string error;
            if (path.empty() || !Sha256OfFile(path, hex, error)) {
                hex.clear();
            }
            it = hashes.emplace(path, hex).first;
        }
        if (it->second.empty()) {
            m_status[i].problem = "the manifest says done, but its log " +
                                  (row.log.empty() ? std::string("(none named)") : row.log) +
                                  " is missing";
        } else if (it->second != row.logSha256) {
            m_status[i].problem =
                "the manifest says done, but its log " + row.log + " differs from the one recorded";
        } else {
            continue;
        }
        m_status[i].state = StudyRunState::Pending;
    }
}

void CStudy::Close() {
    *this = CStudy();
}

void CStudy::Apply(const CManifestRow& row) {
    const std::optional<size_t> index = IndexOf(row.run);
    if (!index) {
        return; // a run taken out of the plan since; its row stays in the manifest
    }
    CStudyRunStatus& status = m_status[*index];
    status.problem.clear();
    if (row.state == "done" || row.state == "failed") {
        status.state = row.state == "done" ? StudyRunState::Done : StudyRunState::Failed;
        ++status.attempts;
        status.log = row.log;
        status.decision = row.decision;
    } else if (row.state == "skipped") {
        status.state = StudyRunState::Skipped;
    } else if (row.state == "repeat") {
        // The attempt stays in view as it ended; the run starts afresh, with no decision yet.
        if (status.state != StudyRunState::Pending) {
            status.superseded.push_back({status.state, status.log, status.decision});
        }
        status.state = StudyRunState::Pending;
        status.log.clear();
        status.decision.clear();
    }
}

std::optional<size_t> CStudy::NextPending() const {
    for (size_t i = 0; i < m_status.size(); ++i) {
        if (m_status[i].state == StudyRunState::Pending) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<size_t> CStudy::Running() const {
    for (size_t i = 0; i < m_status.size(); ++i) {
        if (m_status[i].state == StudyRunState::Running) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<size_t> CStudy::IndexOf(const std::string& run) const {
    const auto& runs = m_plan.Runs();
    for (size_t i = 0; i < runs.size(); ++i) {
        if (runs[i].run == run) {
            return i;
        }
    }
    return std::nullopt;
}

std::string CStudy::ProposedLogName(size_t index) const {
    const std::string base = m_plan.Runs()[index].LogBaseName();
    int attempt = m_status[index].attempts + 1;
    // Bounded: each name tried is a file that exists, and a folder holds finitely many.
    for (;; ++attempt) {
        const std::string name = attempt == 1 ? base : base + "_r" + std::to_string(attempt);
        struct stat info {};
        if (::lstat((m_plan.LogsFolder() + name + ".xml").c_str(), &info) != 0) {
            return name; // not there, or not to be seen: making the log will say why
        }
    }
}

std::string CStudy::WhyNoRunCanStart() const {
    std::string logs = m_plan.LogsFolder();
    logs.pop_back(); // lstat of "logs/" would follow a link
    const std::string manifest = m_plan.ManifestPath();
    struct stat info {};
    if (::lstat(logs.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) {
        return logs + (S_ISLNK(info.st_mode) ? " is a link: the study writes its logs only into "
                                               "a folder of its own"
                                             : " is not a folder");
    }
    if (::lstat(manifest.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return manifest + (S_ISLNK(info.st_mode) ? " is a link: the study writes its rows only "
                                                   "into a file of its own"
                                                 : " is not a file");
    }
    return {};
}

void CStudy::SetRunning(size_t index, std::string logPath, int64_t startTsid) {
    CStudyRunStatus& status = m_status[index];
    status.state = StudyRunState::Running;
    status.logPath = std::move(logPath);
    status.startTsid = startTsid;
}

bool CStudy::AppendRow(size_t index, CManifestRow row, std::string& error) {
    const CStudyRun& run = m_plan.Runs()[index];
    row.run = run.run;
    row.team = run.team;
    row.block = run.block;
    row.scenario = run.scenario;
    row.version = ProgramVersion();
    row.notes = run.notes;
    if (!CreatePath(m_plan.Folder())) {
        error = m_plan.Folder() + ": cannot be created";
        return false;
    }
    if (!CStudyManifest::Append(m_plan.ManifestPath(), row, error)) {
        return false;
    }
    Apply(row);
    return true;
}

bool CStudy::Finish(size_t index, const CStudyRunOutcome& outcome, std::string& error) {
    CStudyRunStatus& status = m_status[index];
    CManifestRow row;
    error.clear();
    std::string why;
    if (!ScenarioSetSha256(m_plan.ScenarioPath(m_plan.Runs()[index]), row.scenarioSha256, why)) {
        error = "scenario set not hashed: " + why;
    }
    const std::string& path = status.logPath;
    row.log = path.starts_with(m_plan.Folder()) ? path.substr(m_plan.Folder().size()) : path;
    if (!path.empty() && !Sha256OfFile(path, row.logSha256, why)) {
        error += (error.empty() ? "" : "; ") + std::string("log not hashed: ") + why;
    }
    row.start = status.startTsid > 0 ? IsoUtc(status.startTsid) : "";
    row.end = IsoUtc(outcome.endTsid);
    row.decision = outcome.decision;
    row.state = outcome.completed ? "done" : "failed";
    row.events = std::to_string(outcome.events);
    std::string appendError;
    if (!AppendRow(index, std::move(row), appendError)) {
        // Without its row the run counts as not run: it is offered again, under a new log name
        // since its log stays.
        error += (error.empty() ? "" : "; ") + appendError;
        status.state = StudyRunState::Pending;
        status.logPath.clear();
        return false;
    }
    status.logPath.clear();
    return true;
}

bool CStudy::FailWithoutLog(size_t index, int64_t tsid, std::string& error) {
    SetRunning(index, std::string(), tsid);
    CStudyRunOutcome outcome;
    outcome.endTsid = tsid;
    return Finish(index, outcome, error);
}

bool CStudy::Skip(size_t index, std::string& error) {
    CManifestRow row;
    row.state = "skipped";
    return AppendRow(index, std::move(row), error);
}

bool CStudy::Repeat(size_t index, std::string& error) {
    CManifestRow row;
    row.state = "repeat";
    return AppendRow(index, std::move(row), error);
}

CStudyVerifyReport CStudy::Verify(const std::string& planFolder) {
    CStudyVerifyReport report;
    std::string folder = ToPortablePath(planFolder);
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    const std::string manifest = folder + CStudyManifest::kFileName;
    if (!FileExists(manifest)) {
        report.problems.push_back(manifest + ": missing");
        return report;
    }
    std::vector<CManifestRow> rows;
    const CManifestReadResult read = CStudyManifest::Read(manifest, rows);
    if (!read) {
        report.problems.push_back(
            manifest + ": " + (read.line > 0 ? "line " + std::to_string(read.line) + ": " : "") +
            read.message);
        return report;
    }
    for (const size_t line : read.tornRows) {
        report.notes.push_back(manifest + ": line " + std::to_string(line) +
                               " is not a whole row and was left out");
    }
    auto resolve = [&](const std::string& path) {
        const std::string portable = ToPortablePath(path);
        return portable.starts_with('/') ? portable : folder + portable;
    };
    // Runs repeat scenarios: each set is hashed once.
    std::map<std::string, std::string> setHashes;
    std::map<std::string, std::pair<bool, std::string>> logHashes; // hashed, hex or why not
    for (const CManifestRow& row : rows) {
        if (row.state != "done" && row.state != "failed") {
            continue;
        }
        if (!row.scenario.empty()) {
            const std::string hsf = resolve(row.scenario);
            auto it = setHashes.find(hsf);
            if (it == setHashes.end()) {
                std::string hex;
                std::string error;
                if (!ScenarioSetSha256(hsf, hex, error)) {
                    hex = "missing: " + error;
                }
                it = setHashes.emplace(hsf, hex).first;
                ++report.filesChecked;
            }
            if (it->second.starts_with("missing: ")) {
                report.problems.push_back("run " + row.run + ": scenario set " + hsf + " " +
                                          it->second);
            } else if (it->second != row.scenarioSha256) {
                report.problems.push_back("run " + row.run + ": scenario set " + hsf +
                                          " differs from the one recorded");
            }
        }
        if (!row.log.empty()) {
            const std::string log = resolve(row.log);
            // Rows may name one file many times; it is read once.
            auto it = logHashes.find(log);
            if (it == logHashes.end()) {
                std::string hex;
                std::string error;
                const bool hashed = Sha256OfFile(log, hex, error);
                it = logHashes.emplace(log, std::pair{hashed, hashed ? hex : error}).first;
                ++report.filesChecked;
            }
            const auto& [hashed, hex] = it->second;
            if (!hashed) {
                report.problems.push_back("run " + row.run + ": log missing: " + hex);
            } else if (hex != row.logSha256) {
                report.problems.push_back("run " + row.run + ": log " + log +
                                          " differs from the one recorded");
            }
        }
    }
    return report;
}

} // namespace halyx
