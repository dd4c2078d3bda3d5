// The console commands of a study: open a plan, prepare and finish its runs, skip and repeat
// them, run every pending run in order, and the experimenter's marks.

#include "headlessconsole.h"
#include "study/probeplan.h"

#include "common/format.h"
#include "external/agentkit/agentcontainer.h"
#include "scenario/scenariofileset.h"
#include "ui/studypage.h"

#include <QTimer>

#include <algorithm>

namespace halyx {

namespace {

// The study page's view for the console: messages are printed, the scenario loads into the
// console's own.
class CStudyCommands final : public IStudyPageView {
public:
    CStudyCommands(CScenario& scenario, CInitPage& page, CHalyxCommand& agent, CExperimentLog& log)
        : m_scenario(scenario), m_study(*this, page, agent, log) {
        // The page's changes arrive on the console's own view; following them a few times a
        // second is enough to notice a run's log opening, its end and its log closing.
        m_follow.setInterval(100);
        QObject::connect(&m_follow, &QTimer::timeout, [this] { m_study.Update(); });
        m_follow.start();
    }

    CStudyPage& Study() { return m_study; }

    bool LoadStudyScenario(const std::string& hsfPath, std::string& error) override {
        CScenarioFields fields;
        const CScenarioLoadResult result = LoadScenarioSet(hsfPath, fields, m_scenario);
        for (const std::string& problem : result.problems) {
            CHeadlessConsole::Print("SCENARIO " + problem);
        }
        error = result.error;
        if (result) {
            CHeadlessConsole::Print(
                Format("SCENARIO loaded %s: %d incursions, %d radars, %d interceptors",
                       hsfPath.c_str(), m_scenario.Incursions().Count(),
                       m_scenario.Radars().Count(), m_scenario.Interceptors().Count()));
        }
        return result.ok;
    }
    void ShowStudyMessage(const std::string& text) override {
        CHeadlessConsole::Print("STUDY MESSAGE: " + text);
    }
    void StudyChanged() override {}

private:
    CScenario& m_scenario;
    CStudyPage m_study;
    QTimer m_follow;
};

void PrintRows(const CStudyPage& study) {
    for (const CStudyTableRow& row : study.Rows()) {
        CHeadlessConsole::Print("STUDY run " + row.run + " team=" + row.team + " block=" +
                                row.block + " scenario=" + row.scenario + " state=" + row.state +
                                " log=" + (row.log.empty() ? "-" : row.log) +
                                " decision=" + (row.decision.empty() ? "-" : row.decision));
    }
}

} // namespace

const std::vector<CHeadlessConsole::Command>& CHeadlessConsole::StudyCommands() {
    static const std::vector<Command> commands = {
        {"study", "open FILE | status | next | finish | skip RUN | repeat RUN | run-all",
         "the Study page: open a plan, list its runs, prepare the next, record the end, skip or "
         "repeat a run, or run every pending run in order",
         &CHeadlessConsole::CmdStudy},
        {"mark", "TEXT", "stamps the minute, the wall time and TEXT into the experiment log",
         &CHeadlessConsole::CmdMark},
        {"probes", "FILE", "loads a probe plan: freezes, in-view questions, ratings, questionnaire",
         &CHeadlessConsole::CmdProbes},
        {"freeze", "[SET]",
         "freezes the mission now with the plan's probe SET, or the built-in questions",
         &CHeadlessConsole::CmdFreeze},
    };
    return commands;
}

// The study's page and its view, made when a study command first needs them.
CStudyPage& CHeadlessConsole::Study() {
    if (!m_studyCommands) {
        m_studyCommands = std::make_shared<CStudyCommands>(m_scenario, m_page, m_agent, m_log);
    }
    return static_cast<CStudyCommands*>(m_studyCommands.get())->Study();
}

bool CHeadlessConsole::CmdMark(const Words& words) {
    std::string text;
    for (size_t i = 1; i < words.size(); ++i) {
        text += (i > 1 ? " " : "") + words[i];
    }
    if (!m_log.LogMark(m_agent.Minute(), text)) {
        return Fail("no experiment log is open to mark");
    }
    Print(Format("MARK clock=%d: ", m_agent.Minute()) + EscapeControlBytes(text));
    return true;
}

bool CHeadlessConsole::CmdProbes(const Words& words) {
    if (words.size() != 2) {
        return Fail("probes takes one file");
    }
    CProbePlan plan;
    if (const CProbePlanResult r = plan.Load(words[1]); !r) {
        return Fail(r.Describe(words[1]));
    }
    m_agent.Probes().SetPlan(plan);
    Print(Format("PROBES %zu probes, rating every %d minutes, questionnaire %s",
                 plan.Probes().size(), plan.RatingEvery(), plan.Questionnaire() ? "yes" : "no"));
    return true;
}

bool CHeadlessConsole::CmdFreeze(const Words& words) {
    if (words.size() > 2) {
        return Fail("freeze takes at most one probe set");
    }
    CProbe probe = DefaultFreeze(std::max(0, m_agent.Clock() - 1));
    if (words.size() == 2) {
        const CProbe* set = m_agent.Probes().Plan().Find(words[1]);
        if (set == nullptr) {
            return Fail("the probe plan has no probe " + words[1]);
        }
        probe = *set;
    }
    if (!m_agent.FreezeNow(probe)) {
        return Fail("cannot freeze now: no mission runs, or a freeze already holds");
    }
    Print(Format("FREEZE clock=%d %s", std::max(0, m_agent.Clock() - 1), probe.id.c_str()));
    return true;
}

bool CHeadlessConsole::CmdStudy(const Words& words) {
    CStudyPage& study = Study();
    const std::string what = words.size() > 1 ? words[1] : std::string();
    study.Update();
    if (what == "open" && words.size() == 3) {
        if (!study.Open(words[2])) {
            return Fail("study plan not opened");
        }
        const auto& status = study.Study().Status();
        const auto pending = std::count_if(status.begin(), status.end(), [](const auto& s) {
            return s.state == StudyRunState::Pending;
        });
        Print(Format("STUDY opened %s: %zu runs, %zu pending", words[2].c_str(), status.size(),
                     static_cast<size_t>(pending)));
        PrintRows(study);
        return true;
    }
    if (what == "status" && words.size() == 2) {
        if (!study.Study().IsOpen()) {
            return Fail(CStudyPage::kNoPlan);
        }
        PrintRows(study);
        return true;
    }
    if (what == "next" && words.size() == 2) {
        if (!study.PrepareNext()) {
            return Fail("no run prepared");
        }
        const CStudyRun& run = study.Study().Plan().Runs()[*study.Prepared()];
        Print("STUDY next run " + run.run + " team=" + run.team + " block=" + run.block +
              " mode=" + (run.multi ? "multi" : "single") + " log name=" + study.ProposedName() +
              " folder=" + study.ProposedFolder());
        for (const std::string& missing : study.MissingStations()) {
            Print("STUDY missing station " + missing);
        }
        return study.MissingStations().empty() ? true : Fail("stations missing");
    }
    if (what == "finish" && words.size() == 2) {
        if (!study.FinishRun()) {
            return Fail("no run of the study is running");
        }
        PrintRows(study);
        return true;
    }
    if ((what == "skip" || what == "repeat") && words.size() == 3) {
        const std::optional<size_t> index = study.Study().IndexOf(words[2]);
        if (!index) {
            return Fail("the plan has no run " + words[2]);
        }
        if (!(what == "skip" ? study.Skip(*index) : study.Repeat(*index))) {
            return Fail(what + " of run " + words[2] + " not recorded");
        }
        Print("STUDY " + what + " run " + words[2]);
        return true;
    }
    if (what == "run-all" && words.size() == 2) {
        return RunWholeStudy(study);
    }
    return Fail("study open FILE | status | next | finish | skip RUN | repeat RUN | run-all");
}

// Each pending run in plan order, with the commands an experimenter would type; the first that
// fails stops the study (its run stays pending or is recorded failed).
bool CHeadlessConsole::RunWholeStudy(CStudyPage& study) {
    if (!study.Study().IsOpen()) {
        return Fail(CStudyPage::kNoPlan);
    }
    while (const std::optional<size_t> next = study.Study().NextPending()) {
        const CStudyRun& run = study.Study().Plan().Runs()[*next];
        std::vector<std::string> lines;
        for (const std::string& station : run.stations) {
            lines.push_back("wait agent " + station + " timeout=60");
        }
        lines.push_back("study next");
        const int before = m_status;
        for (const std::string& line : lines) {
            if (!Execute(line) || m_finished) {
                return false;
            }
        }
        if (m_status != before || !study.Prepared()) {
            return false;
        }
        lines = {"init name=" + study.ProposedName() + " folder=\"" + study.ProposedFolder() +
                     "\" yes",
                 "wait initialized timeout=60", "start yes",
                 // A whole mission at the console's tick, twice over for a slow machine.
                 Format("wait end timeout=%lld",
                        std::max(600LL, 2LL * CHalyxCommand::kLaunchWindow *
                                            m_container.get_tick_interval() / 1000)),
                 "wait quiet 500", "study finish"};
        for (size_t i = 0; i < lines.size(); ++i) {
            const bool ran = Execute(lines[i]) && !m_finished && m_status == before;
            if (i == 0) {
                // A run whose log was not made is over at once: nothing would start it.
                study.Update();
                if (!study.Study().Running()) {
                    const std::string why = m_log.LastError().empty()
                                                ? std::string("Initialize Simulation failed")
                                                : m_log.LastError();
                    study.FailPrepared(why);
                    return ran ? Fail("run " + run.run + " failed: " + why) : false;
                }
            }
            if (!ran) {
                study.FinishRun(); // recorded as failed when it did not reach its end
                return false;
            }
        }
    }
    Print("STUDY every run is done, failed or skipped");
    return true;
}

} // namespace halyx
