#pragma once

// The scripted console: drives the simulation control page, one command a line, from a script
// file or standard input, and prints every message box text, every question with the answer it
// gave, the clock each simulated hour, station status changes and chat lines.

#include "agent/halyxcommand.h"
#include "record/experimentlog.h"
#include "scenario/scenario.h"
#include "ui/commpage.h"
#include "ui/initpage.h"

#include <QSocketNotifier>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

class CAgentContainer;
class CStudyPage;

// Cuts standard input into command lines as its bytes come. A line longer than the limit is
// dropped whole, up to its line break however far that is, so that no part of it runs.
class CInputLines {
public:
    explicit CInputLines(std::size_t limit) : m_limit(limit) {}
    struct Piece {
        bool tooLong = false; // a line was dropped here (text is empty)
        std::string text;
    };
    // The lines the bytes complete; at the end of input, the last one without a line break.
    std::vector<Piece> Feed(std::string_view bytes, bool endOfInput);

private:
    std::size_t m_limit;
    std::string m_pending;
    bool m_dropping = false;
};

class CHeadlessConsole final : public IInitPageView, public ICommPageView {
public:
    // Exit statuses of the console program.
    static constexpr int kOk = 0;
    static constexpr int kCommandFailed = 1;
    static constexpr int kTimedOut = 3;
    // An experiment log lost events (they could not be written and the log was not moved).
    static constexpr int kLogLost = 4;
    // An experiment log's disk did not take all its events; the whole log was saved in a
    // recovery file, named in the console's last error line.
    static constexpr int kLogRecovered = 5;
    // The longest command line read from standard input.
    static constexpr std::size_t kMaxInputLine = 64 * 1024;

    CHeadlessConsole(CScenario& scenario, CExperimentLog& log, CHalyxCommand& agent,
                     CAgentContainer& container);
    // The log outlives the console: it must not call back into it.
    ~CHeadlessConsole() override;

    CInitPage& Page() { return m_page; }
    CCommPage& CommPage() { return m_commPage; }

    void SetDefaultAnswer(bool yes) { m_defaultAnswer = yes; }
    void SetClockEvery(int minutes) { m_clockEvery = minutes; }

    // Runs the lines one after the other (waits run the event loop), then ends the event loop
    // with the console's exit status, unless a quit came first.
    void RunScript(std::vector<std::string> lines);
    // Reads commands from standard input as they come, keeping the event loop running between
    // them; ends the event loop at the end of input or at quit.
    void RunStdin();

    // Ctrl-C or a termination request: stops the script and ends the event loop. Like quit and
    // the end of the script, it closes the experiment log with the team on the way out.
    void Interrupt(int status);

    // One command; false when the script must stop (quit, or a wait that timed out).
    bool Execute(const std::string& line);
    int ExitStatus() const { return m_status; }

    // IInitPageView
    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;
    bool Ask(const std::string& text) override;
    bool ChooseLogLocation(CSaveLocation& where) override;
    std::optional<std::string> ChooseOpenFile(const std::string& filter,
                                              const std::string& defaultExtension) override;
    void PageChanged() override;
    void ShowDiagnostic(const std::string& text) override;
    // ICommPageView
    void Refresh() override;
    void ChatEntryAdded(std::string_view line) override;

    static void Print(const std::string& line);
    // Splits a command line into words; "..." keeps blanks inside a word.
    static std::vector<std::string> SplitWords(const std::string& line);

    using Words = std::vector<std::string>;
    // One command: its name, its arguments as help shows them (alternative forms separated by
    // " | ", each printed after the name), what it does, and the handler that runs it with the
    // line's words (the name first). False stops the script.
    struct Command {
        const char* name;
        const char* arguments;
        const char* help;
        bool (CHeadlessConsole::*run)(const Words& words);
    };
    // The commands by group, in help's order; a name found in two groups is the same command.
    struct CommandGroup {
        const char* heading;
        const std::vector<Command>* commands;
    };
    static const std::vector<CommandGroup>& CommandGroups();
    // What help prints: one line per group, or for a command's name what it does.
    static std::vector<std::string> HelpLines(const std::string& name);

private:
    static const std::vector<Command>& BasicCommands();
    // Running a session across machines (sessioncommands.cpp): reinit, team-only, speed,
    // seek, health, waits on one station.
    static const std::vector<Command>& SessionCommands();
    // A study's runs and the experimenter's marks (studycommands.cpp).
    static const std::vector<Command>& StudyCommands();
    static const Command* FindCommand(const std::string& name);
    static std::string Usage(const Command& command);

    bool CmdRegister(const Words& words);
    bool CmdUnregister(const Words& words);
    bool CmdAgents(const Words& words);
    bool CmdAdd(const Words& words);
    bool CmdRemove(const Words& words);
    bool CmdSinglePerson(const Words& words);
    bool CmdInit(const Words& words);
    bool CmdStart(const Words& words);
    bool CmdPause(const Words& words);
    bool CmdResume(const Words& words);
    bool CmdReset(const Words& words);
    bool CmdPlayback(const Words& words);
    bool CmdLoadExperiment(const Words& words);
    bool CmdInitPlayback(const Words& words);
    bool CmdPlay(const Words& words);
    bool CmdStop(const Words& words);
    bool CmdWait(const Words& words);
    bool CmdAnswer(const Words& words);
    bool CmdCommLog(const Words& words);
    bool CmdLog(const Words& words);
    bool CmdLoadScenario(const Words& words);
    bool CmdSaveScenario(const Words& words);
    bool CmdGenerate(const Words& words);
    bool CmdStatus(const Words& words);
    bool CmdSummary(const Words& words);
    bool CmdEcho(const Words& words);
    bool CmdHelp(const Words& words);
    bool CmdQuit(const Words& words);
    bool CmdReinit(const Words& words);
    bool CmdTeamOnly(const Words& words);
    bool CmdSpeed(const Words& words);
    bool CmdSeek(const Words& words);
    bool CmdHealth(const Words& words);

    void TakeAnswers(std::vector<std::string>& plain);
    bool PressStartButton(const Words& words, int wanted);
    std::optional<bool> WaitForStation(const Words& words);
    bool WaitQuiet(qint64 quietMs, int timeout, const std::string& what);
    bool WaitAskingNameServer(const std::function<bool()>& known, int timeout,
                              const std::string& what);
    void PrintSessionSummary();
    // Station health and stray commands as they happen.
    void PrintSessionChanges();
    // Studies and marks (studycommands.cpp).
    CStudyPage& Study();
    bool CmdStudy(const Words& words);
    bool CmdMark(const Words& words);
    bool CmdProbes(const Words& words);
    bool CmdFreeze(const Words& words);
    bool RunWholeStudy(CStudyPage& study);
    // Messages refused because they claimed a team member from another machine.
    void PrintRefusals();
    bool Fail(const std::string& why);
    bool WaitUntil(const std::function<bool()>& done, int timeoutSeconds, const std::string& what);
    void PrintStatus();
    void PrintSummary();
    void OnStdinReadable();
    void Finish();

    CScenario& m_scenario;
    CExperimentLog& m_log;
    CHalyxCommand& m_agent;
    CAgentContainer& m_container;
    CCommPage m_commPage;
    CInitPage m_page;

    std::deque<bool> m_answers;
    bool m_defaultAnswer = true;
    int m_clockEvery = 60;
    int m_status = kOk;
    bool m_finished = false;

    // What the next "dialog" answers.
    std::map<std::string, std::string> m_logChoice;
    std::optional<std::string> m_openFile;

    // What was printed last, to print only changes.
    std::string m_lastClock = "000";
    std::string m_lastRegistration;
    std::vector<StationRow> m_lastStations;
    std::set<std::string> m_lastAway; // web seats whose subject was away at the last look
    std::string m_lastOutcome;
    size_t m_chatPrinted = 0;
    std::string m_lastLogPath;

    std::set<std::string> m_lastUnreachable;
    long long m_straysPrinted = 0;
    std::size_t m_refusalsPrinted = 0;
    static constexpr std::size_t kRefusalHintsKept = 1000;
    std::set<std::string> m_refusalHints;

    std::shared_ptr<void> m_studyCommands;
    std::unique_ptr<QSocketNotifier> m_stdin;
    CInputLines m_stdinLines{kMaxInputLine};
};

} // namespace halyx
