#pragma once

// The Study page without its window: opens a plan, shows where each run stands, prepares the
// next run on the simulation control page (scenario, single or multi, stations, log name) and,
// when the run's log closes, writes the run's row into the study's manifest. The desktop page
// and the headless console's study commands both drive it.
//
// Usage:
//     CStudyPage study(view, initPage, agent, log);
//     study.Open("/data/study1/plan.csv");
//     study.PrepareNext();        // then the usual Initialize (with ProposedName / ProposedFolder)
//                                 // and Start on the simulation control page
//     study.Update();             // whenever the control page changed; notices the run start
//     study.FinishRun();          // after the end (and the stations' last reports): one row
//
// A run is running from the moment a log (normally of its proposed name) opens after it was
// prepared. Its row is written
// when FinishRun is called, or as soon as its log closes (a reset, or the next Initialize): done
// when the mission reached its end, failed otherwise.

#include "study/study.h"

#include <optional>
#include <string>
#include <vector>

namespace halyx {

class CInitPage;
class CHalyxCommand;
class CExperimentLog;

class IStudyPageView {
public:
    virtual ~IStudyPageView() = default;
    // Loads the scenario set whole or not at all into the console's scenario; false with why.
    virtual bool LoadStudyScenario(const std::string& hsfPath, std::string& error) = 0;
    virtual void ShowStudyMessage(const std::string& text) = 0;
    // The runs' states, the prepared run or the buttons changed.
    virtual void StudyChanged() = 0;
};

// One line of the runs table: a run of the plan, or an attempt of it that a repeat superseded
// (listed before the run's own line).
struct CStudyTableRow {
    std::string run;
    std::string team;
    std::string block;
    std::string scenario;
    std::string state;
    std::string log;
    std::string decision;
    size_t runIndex = 0;     // the run's place in the plan
    bool superseded = false; // an earlier attempt: nothing can be done with it
};

class CStudyPage {
public:
    static constexpr const char* kNoPlan = "No study plan is open";
    static constexpr const char* kAllDone = "Every run of the plan is done, failed or skipped";
    static constexpr const char* kRunInProgress =
        "A run is in progress; finish or reset it before preparing the next";
    // The state shown for an attempt that a repeat superseded, after its own state.
    static constexpr const char* kSupersededSuffix = ", repeated";

    CStudyPage(IStudyPageView& view, CInitPage& initPage, CHalyxCommand& agent,
               CExperimentLog& log);

    // Opens the plan and reads its manifest back; false (and a message) when either cannot be
    // read, the study open before staying open.
    bool Open(const std::string& planPath);
    const CStudy& Study() const { return m_study; }
    std::vector<CStudyTableRow> Rows() const;

    // Prepares a run: loads its scenario (nothing changes when the set does not load whole),
    // sets single or multi, puts its registered stations in the team in plan order (any others
    // are taken out) and proposes its log name. Missing stations are said and kept in
    // MissingStations(). False when nothing was prepared.
    bool PrepareNext();
    bool Prepare(size_t index);
    std::optional<size_t> Prepared() const { return m_prepared; }
    const std::vector<std::string>& MissingStations() const { return m_missing; }
    // The log's name and folder for the prepared run ("" when none is prepared).
    const std::string& ProposedName() const { return m_proposedName; }
    std::string ProposedFolder() const;

    // Follows the control page: the prepared run's log opened (running), the mission's end, the
    // log closed (the row is written).
    void Update();
    // The running run has ended (or is given up): closes its log and writes its row. A mission
    // still under way is ended first as Reset ends it, and the run recorded as failed.
    bool FinishRun();
    // What to ask before FinishRun ends a mission that is still under way ("" when nothing).
    std::string FinishQuestion() const;
    // What to ask before Skip records the run as skipped ("" when it would not be recorded).
    std::string SkipQuestion(size_t index) const;
    bool RunEnded() const { return m_running.has_value() && m_ended; }
    // The prepared run could not begin (its log was not made): recorded as failed, with why.
    bool FailPrepared(const std::string& why);

    bool Skip(size_t index);
    bool Repeat(size_t index);

private:
    bool Record(bool closeLog);

    IStudyPageView& m_view;
    CInitPage& m_page;
    CHalyxCommand& m_agent;
    CExperimentLog& m_log;
    CStudy m_study;
    std::optional<size_t> m_prepared;
    std::optional<size_t> m_running;
    bool m_ended = false;
    std::string m_decision;
    std::string m_proposedName;
    std::optional<std::string> m_logAtPrepare; // the log open when the run was prepared
    std::vector<std::string> m_missing;
};

} // namespace halyx
