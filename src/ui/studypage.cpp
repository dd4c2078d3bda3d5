#include "ui/studypage.h"

#include "agent/halyxcommand.h"
#include "common/paths.h"
#include "common/timestamp.h"
#include "record/experimentlog.h"
#include "record/logreader.h"
#include "ui/initpage.h"

#include <algorithm>
#include <filesystem>

namespace halyx {

namespace {

// The log's path as the save location normalised it may be spelled differently from the plan's
// folder ("a//b/", "./"): the same file is what counts.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return a == b || std::filesystem::equivalent(a, b, ec);
}

} // namespace

CStudyPage::CStudyPage(IStudyPageView& view, CInitPage& initPage, CHalyxCommand& agent,
                       CExperimentLog& log)
    : m_view(view), m_page(initPage), m_agent(agent), m_log(log) {}

bool CStudyPage::Open(const std::string& planPath) {
    if (m_running) {
        m_view.ShowStudyMessage(kRunInProgress);
        return false;
    }
    CStudy study;
    const CStudyPlanResult result = study.Open(planPath);
    if (!result) {
        m_view.ShowStudyMessage("The study plan was not opened: " + result.Describe(planPath));
        return false;
    }
    m_study = std::move(study);
    m_prepared.reset();
    m_proposedName.clear();
    m_missing.clear();
    for (const size_t line : m_study.TornRows()) {
        m_view.ShowStudyMessage("Line " + std::to_string(line) + " of " +
                                m_study.Plan().ManifestPath() +
                                " is not a whole row (cut off when the console stopped) and was "
                                "left out");
    }
    for (size_t i = 0; i < m_study.Status().size(); ++i) {
        if (const std::string& problem = m_study.Status()[i].problem; !problem.empty()) {
            m_view.ShowStudyMessage("Run " + m_study.Plan().Runs()[i].run + ": " + problem +
                                    "; it is offered again");
        }
    }
    m_view.StudyChanged();
    return true;
}

std::vector<CStudyTableRow> CStudyPage::Rows() const {
    std::vector<CStudyTableRow> rows;
    const auto& runs = m_study.Plan().Runs();
    for (size_t i = 0; i < runs.size(); ++i) {
        const CStudyRunStatus& status = m_study.Status()[i];
        for (const CEarlierAttempt& attempt : status.superseded) {
            rows.push_back({runs[i].run, runs[i].team, runs[i].block, runs[i].scenario,
                            StudyRunStateText(attempt.state) + std::string(kSupersededSuffix),
                            attempt.log, attempt.decision, i, true});
        }
        std::string log = status.log;
        if (status.state == StudyRunState::Running || m_prepared == i) {
            log = "logs/" + (m_prepared == i ? m_proposedName : FileNamePart(status.logPath));
        }
        rows.push_back({runs[i].run, runs[i].team, runs[i].block, runs[i].scenario,
                        StudyRunStateText(status.state), log,
                        m_running == i && m_ended ? m_decision : status.decision, i, false});
    }
    return rows;
}

std::string CStudyPage::ProposedFolder() const {
    return m_prepared ? m_study.Plan().LogsFolder() : std::string();
}

bool CStudyPage::PrepareNext() {
    if (!m_study.IsOpen()) {
        m_view.ShowStudyMessage(kNoPlan);
        return false;
    }
    if (m_running && m_ended) {
        FinishRun();
    }
    const std::optional<size_t> next = m_study.NextPending();
    if (!next) {
        m_view.ShowStudyMessage(kAllDone);
        return false;
    }
    return Prepare(*next);
}

bool CStudyPage::Prepare(size_t index) {
    if (!m_study.IsOpen() || index >= m_study.Plan().Runs().size()) {
        m_view.ShowStudyMessage(kNoPlan);
        return false;
    }
    if (m_running || m_agent.Started()) {
        m_view.ShowStudyMessage(kRunInProgress);
        return false;
    }
    const CStudyRun& run = m_study.Plan().Runs()[index];
    if (const std::string why = m_study.WhyNoRunCanStart(); !why.empty()) {
        m_view.ShowStudyMessage("Run " + run.run + " cannot start: " + why);
        return false;
    }
    std::string error;
    if (!m_view.LoadStudyScenario(m_study.Plan().ScenarioPath(run), error)) {
        m_view.ShowStudyMessage("Run " + run.run +
                                " was not prepared: its scenario did not load: " + error);
        return false;
    }
    // A mission that has ended leaves the page waiting for Reset. Once its log is closed (its
    // run recorded) nothing is lost by it, and nothing is asked.
    if (m_page.MissionOver()) {
        if (m_log.IsOpen()) {
            m_page.ResetSimulation();
        } else {
            m_page.ResetWithoutQuestion();
        }
        if (m_page.MissionOver()) {
            return false; // the experimenter kept the ended mission
        }
    }
    m_page.SetSinglePersonGame(!run.multi);
    // The team is the run's stations in plan order: every other row goes, then each registered
    // station is added unless it is in the list already.
    std::vector<std::string> present;
    for (const StationRow& row : std::vector<StationRow>(m_page.Stations())) {
        if (std::find(run.stations.begin(), run.stations.end(), row.name) == run.stations.end()) {
            if (m_page.SelectStation(row.name)) {
                m_page.RemoveClient();
            }
        } else {
            present.push_back(row.name);
        }
    }
    m_missing.clear();
    m_page.ChooseShowAllAgents();
    m_page.RefreshList();
    for (const std::string& station : run.stations) {
        if (std::find(present.begin(), present.end(), station) != present.end()) {
            continue;
        }
        if (m_page.IsEnabled(InitControl::AddClient) && m_page.SelectAgent(station)) {
            m_page.AddClient();
        } else {
            m_missing.push_back(station);
        }
    }
    m_prepared = index;
    m_proposedName = m_study.ProposedLogName(index);
    m_logAtPrepare.reset();
    if (m_log.IsOpen()) {
        m_logAtPrepare = m_log.FilePath();
    }
    if (!m_missing.empty()) {
        std::string names;
        for (const std::string& name : m_missing) {
            names += (names.empty() ? "" : ", ") + name;
        }
        m_view.ShowStudyMessage("Run " + run.run + ": these stations are not registered: " + names +
                                ". Start them and prepare the run again, or add them "
                                "on the Initialization/Registration page.");
    }
    m_view.StudyChanged();
    return true;
}

void CStudyPage::Update() {
    if (!m_study.IsOpen()) {
        return;
    }
    bool changed = false;
    // The experimenter may change the proposed name in the save dialog: any log opened after the
    // run was prepared is the run's.
    if (m_prepared && !m_running && m_log.IsOpen() &&
        !(m_logAtPrepare && SameFile(m_log.FilePath(), *m_logAtPrepare))) {
        m_running = m_prepared;
        m_prepared.reset();
        m_ended = false;
        m_study.SetRunning(*m_running, m_log.FilePath(), CurrentTsid());
        m_view.ShowStudyMessage("Run " + m_study.Plan().Runs()[*m_running].run +
                                " is running; its log is " + m_log.FilePath() + ".");
        changed = true;
    }
    if (m_running && !m_ended && m_page.MissionOver() && !m_page.IsPlaybackMode()) {
        m_ended = true;
        m_decision = m_agent.LastOutcome();
        changed = true;
    }
    if (m_running &&
        !(m_log.IsOpen() && m_log.FilePath() == m_study.Status()[*m_running].logPath)) {
        Record(false); // says StudyChanged itself
        return;
    }
    if (changed) {
        m_view.StudyChanged();
    }
}

std::string CStudyPage::FinishQuestion() const {
    if (!m_running || m_ended || !m_page.MissionRunning()) {
        return {};
    }
    return "Run " + m_study.Plan().Runs()[*m_running].run + " is still running (minute " +
           std::to_string(m_agent.Clock()) +
           "). End its mission now, as Reset does, and record the run as failed?";
}

std::string CStudyPage::SkipQuestion(size_t index) const {
    if (!m_study.IsOpen() || index >= m_study.Status().size() || m_running == index ||
        m_study.Status()[index].state != StudyRunState::Pending) {
        return {};
    }
    return "Record run " + m_study.Plan().Runs()[index].run +
           " as skipped in the manifest? It is then not offered again unless it is repeated.";
}

bool CStudyPage::FinishRun() {
    if (!m_running) {
        return false;
    }
    // An end the page has not followed yet is still an end.
    if (!m_ended && m_page.MissionOver() && !m_page.IsPlaybackMode()) {
        m_ended = true;
        m_decision = m_agent.LastOutcome();
    }
    // A mission under way would otherwise go on with its clock stopped and its log closed, and
    // the next Start would run one that records nothing.
    if (!m_ended && m_page.MissionRunning()) {
        m_page.ResetWithoutQuestion();
    }
    return Record(true);
}

bool CStudyPage::Record(bool closeLog) {
    const size_t index = *m_running;
    const std::string path = m_study.Status()[index].logPath;
    if (closeLog && m_log.IsOpen() && m_log.FilePath() == path) {
        m_agent.CloseExperimentLog();
    }
    CStudyRunOutcome outcome;
    outcome.completed = m_ended;
    outcome.decision = m_ended ? m_decision : std::string();
    outcome.endTsid = CurrentTsid();
    CLogReader reader;
    if (reader.Open(path)) {
        reader.ForEachEvent([&](const CLogEventView&) { ++outcome.events; });
    }
    m_running.reset();
    m_ended = false;
    std::string error;
    const bool written = m_study.Finish(index, outcome, error);
    const std::string& run = m_study.Plan().Runs()[index].run;
    if (!error.empty()) {
        m_view.ShowStudyMessage("Run " + run + ": " + error);
    } else {
        m_view.ShowStudyMessage("Run " + run + " is recorded as " +
                                StudyRunStateText(m_study.Status()[index].state) + ".");
    }
    m_view.StudyChanged();
    return written;
}

bool CStudyPage::FailPrepared(const std::string& why) {
    if (!m_prepared || m_running) {
        return false;
    }
    const size_t index = *m_prepared;
    m_prepared.reset();
    m_proposedName.clear();
    std::string error;
    const bool written = m_study.FailWithoutLog(index, CurrentTsid(), error);
    m_view.ShowStudyMessage("Run " + m_study.Plan().Runs()[index].run +
                            " failed before its log was made: " + why +
                            (error.empty() ? "" : "; " + error));
    m_view.StudyChanged();
    return written;
}

bool CStudyPage::Skip(size_t index) {
    if (!m_study.IsOpen() || index >= m_study.Status().size() || m_running == index) {
        return false;
    }
    std::string error;
    if (!m_study.Skip(index, error)) {
        m_view.ShowStudyMessage("The skip was not recorded: " + error);
        return false;
    }
    if (m_prepared == index) {
        m_prepared.reset();
        m_proposedName.clear();
    }
    m_view.StudyChanged();
    return true;
}

bool CStudyPage::Repeat(size_t index) {
    if (!m_study.IsOpen() || index >= m_study.Status().size() || m_running == index ||
        m_study.Status()[index].state == StudyRunState::Pending) {
        return false;
    }
    std::string error;
    if (!m_study.Repeat(index, error)) {
        m_view.ShowStudyMessage("The repeat was not recorded: " + error);
        return false;
    }
    m_view.StudyChanged();
    return true;
}

} // namespace halyx
