#include "headlessconsole.h"

#include "common/format.h"
#include "common/numtext.h"
#include "external/agentkit/agentcontainer.h"
#include "record/savelocation.h"
#include "scenario/generation.h"
#include "scenario/scenariofileset.h"
#include "scenario/scenarioxml.h"
#include "ui/consolewiring.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <utility>

namespace halyx {

namespace {

constexpr int kDefaultWaitSeconds = 600;

bool IsAnswer(const std::string& word) {
    return word == "yes" || word == "no";
}

// key=value words; plain words are left in place.
std::map<std::string, std::string> Options(const std::vector<std::string>& words,
                                           std::vector<std::string>& plain) {
    std::map<std::string, std::string> options;
    for (size_t i = 1; i < words.size(); ++i) {
        size_t eq = words[i].find('=');
        if (eq != std::string::npos && eq > 0) {
            options[words[i].substr(0, eq)] = words[i].substr(eq + 1);
        } else {
            plain.push_back(words[i]);
        }
    }
    return options;
}

int TimeoutOf(const std::map<std::string, std::string>& options) {
    auto it = options.find("timeout");
    int seconds = it == options.end() ? kDefaultWaitSeconds : ReadInt(it->second);
    return seconds > 0 ? seconds : kDefaultWaitSeconds;
}

std::string Join(const std::vector<std::string>& words, const char* separator) {
    std::string out;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0) {
            out += separator;
        }
        out += words[i];
    }
    return out;
}

} // namespace

CHeadlessConsole::CHeadlessConsole(CScenario& scenario, CExperimentLog& log, CHalyxCommand& agent,
                                   CAgentContainer& container)
    : m_scenario(scenario), m_log(log), m_agent(agent), m_container(container), m_commPage(this),
      m_page(*this, agent, log,
             MakeInitPageScenario(scenario, agent, [](const std::string& line) { Print(line); })) {
    m_page.SetCommPage(&m_commPage);
    m_agent.SetStatusView(&m_page);
    m_agent.SetNotices(&m_page);
    m_agent.SetChatSink(&m_commPage);
    m_chatPrinted = m_commPage.LogText().size();
    m_log.SetWriteTroubleHandler([this](const std::string& reason) {
        if (m_log.KeptBytes() > 0 && m_log.IsOpen()) {
            Print("ERROR: experiment log: " + reason +
                  "; the events that follow are kept in memory: log move FOLDER continues the "
                  "log there");
        } else {
            Print("ERROR: experiment log: " + reason);
        }
    });
}

CHeadlessConsole::~CHeadlessConsole() {
    m_log.SetWriteTroubleHandler(nullptr);
    m_agent.SetStatusView(nullptr);
    m_agent.SetNotices(nullptr);
    m_agent.SetChatSink(nullptr);
}

void CHeadlessConsole::Print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::vector<std::string> CHeadlessConsole::SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c == '\\' && i + 1 < line.size()) {
                word += line[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                word += c;
            }
        } else if (c == '"') {
            quoted = true;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

bool CHeadlessConsole::Fail(const std::string& why) {
    Print("ERROR: " + why);
    m_status = kCommandFailed;
    return true;
}

// ---------------------------------------------------------------------------------------------
// The page's view

void CHeadlessConsole::ShowMessage(const std::string& text) {
    Print("MESSAGE: " + text);
}

void CHeadlessConsole::ShowError(const std::string& text) {
    Print("ERROR: " + EscapeControlBytes(text));
}

bool CHeadlessConsole::Ask(const std::string& text) {
    bool yes = m_defaultAnswer;
    if (!m_answers.empty()) {
        yes = m_answers.front();
        m_answers.pop_front();
    }
    Print("QUESTION: " + text);
    Print(std::string("ANSWER: ") + (yes ? "yes" : "no"));
    return yes;
}

bool CHeadlessConsole::ChooseLogLocation(CSaveLocation& where) {
    auto option = [&](const char* key) -> const std::string* {
        auto it = m_logChoice.find(key);
        return it == m_logChoice.end() ? nullptr : &it->second;
    };
    if (const std::string* name = option("name")) {
        where.SetName(*name);
    }
    if (const std::string* folder = option("folder")) {
        where.SetLocation(*folder);
    }
    if (const std::string* notes = option("notes")) {
        where.SetNotes(*notes);
    }
    std::string message;
    if (!where.Accept(message)) {
        Print("MESSAGE: " + message);
        return false;
    }
    Print("LOG FILE: " + where.Preview());
    return true;
}

std::optional<std::string> CHeadlessConsole::ChooseOpenFile(const std::string&,
                                                            const std::string&) {
    std::optional<std::string> file = m_openFile;
    m_openFile.reset();
    return file;
}

void CHeadlessConsole::PageChanged() {
    const std::string& registration = m_page.RegistrationStatus();
    if (registration != m_lastRegistration) {
        // Register and UnRegister say so themselves; a loss and its repair happen on their own.
        if (registration == CInitPage::kRegistrationLostStatus) {
            Print("REGISTRATION " + registration + ": " +
                  EscapeControlBytes(m_page.RegistrationDetail()));
        } else if (registration == CInitPage::kRegisteredStatus &&
                   m_lastRegistration == CInitPage::kRegistrationLostStatus) {
            Print("REGISTERED " + m_page.AgentName() + " again at " + m_page.Server() + ":" +
                  m_page.AnsPort());
        }
        m_lastRegistration = registration;
    }
    // A station that could not fetch its map says so on its line ("Initialized (no map)").
    std::vector<StationRow> rows = m_page.Stations();
    for (StationRow& row : rows) {
        if (m_agent.MapError(row.name)) {
            row.status += std::string(" (") + CInitPage::kNoMap + ")";
        }
    }
    for (const StationRow& row : rows) {
        bool known = false;
        for (const StationRow& old : m_lastStations) {
            if (old.name == row.name) {
                known = true;
                if (old.status != row.status) {
                    Print("STATION " + row.name + " " + row.status);
                }
                break;
            }
        }
        if (!known) {
            Print("STATION " + row.name + " " + row.status);
        }
    }
    m_lastStations = std::move(rows);
    // A web seat's subject leaving or coming back.
    const auto& away = m_page.AwaySubjects();
    for (const auto& [name, since] : away) {
        if (m_lastAway.count(name) == 0) {
            Print("SEAT " + name + " away");
        }
    }
    for (const std::string& name : m_lastAway) {
        if (away.find(name) == away.end()) {
            Print("SEAT " + name + " back");
        }
    }
    m_lastAway.clear();
    for (const auto& [name, since] : away) {
        m_lastAway.insert(name);
    }

    if (m_page.ClockDigits() != m_lastClock) {
        m_lastClock = m_page.ClockDigits();
        const int minute = ReadInt(m_lastClock);
        if (m_clockEvery > 0 && (minute % m_clockEvery == 0 || minute >= 960)) {
            Print("CLOCK " + m_page.ClockDigits() + " " + m_page.ClockCount());
        }
    }
    // The decision the window shows at the mission's end, once per mission (Reset clears it).
    if (m_page.MissionOutcome() != m_lastOutcome) {
        m_lastOutcome = m_page.MissionOutcome();
        if (!m_lastOutcome.empty()) {
            Print("DECISION " + m_lastOutcome);
        }
    }
    PrintSessionChanges();
}

// A station's chat may hold any bytes: one entry is one printed line, control bytes escaped, so
// that a carriage return or a NUL cannot garble or split the transcript.
void CHeadlessConsole::ChatEntryAdded(std::string_view line) {
    Print("CHAT " + EscapeControlBytes(line));
    m_chatPrinted = std::string::npos;
}

void CHeadlessConsole::Refresh() {
    const std::string& text = m_commPage.LogText();
    if (m_chatPrinted == std::string::npos || text.size() < m_chatPrinted) {
        // The entry just added was printed whole (or the transcript was cut or replaced).
        m_chatPrinted = text.size();
        return;
    }
    std::string added = text.substr(m_chatPrinted);
    m_chatPrinted = text.size();
    std::istringstream lines(added);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty()) {
            Print("CHAT " + EscapeControlBytes(line));
        }
    }
}

void CHeadlessConsole::ShowDiagnostic(const std::string& text) {
    Print("WARNING: " + EscapeControlBytes(text));
}

// ---------------------------------------------------------------------------------------------
// Running

bool CHeadlessConsole::WaitUntil(const std::function<bool()>& done, int timeoutSeconds,
                                 const std::string& what) {
    if (done()) {
        return true;
    }
    QEventLoop loop;
    bool met = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            met = true;
            loop.quit();
        }
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] { loop.quit(); });
    poll.start();
    deadline.start(timeoutSeconds * 1000);
    loop.exec();
    if (m_finished) {
        return false;
    }
    if (!met) {
        Print(Format("TIMEOUT: %s not reached in %d s", what.c_str(), timeoutSeconds));
        m_status = kTimedOut;
        return false;
    }
    return true;
}

bool CHeadlessConsole::Execute(const std::string& line) {
    std::vector<std::string> words = SplitWords(line);
    if (words.empty() || words[0].front() == '#') {
        return true;
    }
    Print("> " + line);
    const Command* command = FindCommand(words[0]);
    if (command == nullptr) {
        return Fail("unknown command " + words[0] + " (try help)");
    }
    return (this->*command->run)(words);
}

void CHeadlessConsole::Finish() {
    if (m_finished) {
        return;
    }
    m_finished = true;
    // However the console ends, a log still open ends with the team, as at a reset.
    m_agent.CloseExperimentLog();
    if (m_log.LostData() && m_status == kOk) {
        m_status = kLogLost;
    } else if (m_log.Recovered() && m_status == kOk) {
        m_status = kLogRecovered;
    }
    m_stdin.reset();
    QCoreApplication::exit(m_status);
}

void CHeadlessConsole::Interrupt(int status) {
    Print("INTERRUPTED: closing the experiment log and leaving");
    m_status = status;
    Finish();
}

void CHeadlessConsole::RunScript(std::vector<std::string> lines) {
    QTimer::singleShot(0, [this, lines = std::move(lines)] {
        for (const std::string& line : lines) {
            if (m_finished || !Execute(line)) {
                break;
            }
        }
        Finish();
    });
}

void CHeadlessConsole::RunStdin() {
    m_stdin = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(m_stdin.get(), &QSocketNotifier::activated, [this] { OnStdinReadable(); });
}

void CHeadlessConsole::OnStdinReadable() {
    m_stdin->setEnabled(false);
    char buffer[4096];
    ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
        m_stdin->setEnabled(true);
        return;
    }
    const bool endOfInput = n <= 0;
    const std::string_view bytes(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    for (const CInputLines::Piece& piece : m_stdinLines.Feed(bytes, endOfInput)) {
        if (piece.tooLong) {
            Fail("input line too long; dropped");
            continue;
        }
        if (!Execute(piece.text)) {
            Finish();
            return;
        }
        if (m_finished) {
            return;
        }
    }
    if (endOfInput) {
        Finish();
        return;
    }
    m_stdin->setEnabled(true);
}

std::vector<CInputLines::Piece> CInputLines::Feed(std::string_view bytes, bool endOfInput) {
    std::vector<Piece> pieces;
    while (!bytes.empty()) {
        const size_t newline = bytes.find('\n');
        const std::string_view part = bytes.substr(0, newline);
        if (!m_dropping && m_pending.size() + part.size() > m_limit) {
            m_dropping = true;
            m_pending.clear();
            pieces.push_back({true, {}});
        } else if (!m_dropping) {
            m_pending.append(part);
        }
        if (newline == std::string_view::npos) {
            break;
        }
        bytes.remove_prefix(newline + 1);
        if (!m_dropping) {
            pieces.push_back({false, std::exchange(m_pending, {})});
        }
        m_dropping = false;
    }
    if (endOfInput) {
        if (!m_dropping && !m_pending.empty()) {
            pieces.push_back({false, std::exchange(m_pending, {})});
        }
        m_pending.clear();
        m_dropping = false;
    }
    return pieces;
}

// ---------------------------------------------------------------------------------------------
// Reports

void CHeadlessConsole::PrintStatus() {
    const std::string& registration = m_page.RegistrationStatus();
    Print(Format("STATUS registered=%s playback=%s started=%d paused=%d clock=%d display=%s \"%s\"",
                 registration == CInitPage::kRegisteredStatus         ? "yes"
                 : registration == CInitPage::kRegistrationLostStatus ? "lost-retrying"
                                                                      : "no",
                 m_page.IsPlaybackMode() ? "on" : "off", m_agent.Started() ? 1 : 0,
                 m_agent.Paused() ? 1 : 0, m_agent.Minute(), m_page.ClockDigits().c_str(),
                 m_page.ClockCount().c_str()));
    Print(Format("STATUS start-button=\"%s\" gonogo=%d,%d,%d mode=%s outcome=%s",
                 m_page.StartCaption().c_str(), m_agent.GoNoGo(0), m_agent.GoNoGo(1),
                 m_agent.GoNoGo(2), m_agent.Multiplayer() ? "Multiplayer" : "SinglePlayer",
                 m_agent.LastOutcome().empty() ? "none" : m_agent.LastOutcome().c_str()));
    for (const StationRow& row : m_page.Stations()) {
        Print("STATUS station " + row.name + " \"" + row.status + "\" " + row.host + " " +
              row.port);
    }
    Print("STATUS team " + Join(m_agent.Team(), ","));
    // The history keeps only the newest messages; what arrived, what was carried out and what
    // the history still holds are separate figures.
    const CAgentCommStore& history = m_agent.CommStore();
    Print(Format("STATUS log=%s received=%zu dispatched=%lld sent=%zu",
                 m_log.IsOpen() ? m_log.FilePath().c_str() : "closed", history.ReceivedCount(),
                 m_agent.DispatchedCount(), history.SentCount()));
    Print(Format("STATUS history in-kept=%zu in-dropped=%zu out-kept=%zu out-dropped=%zu",
                 history.Incoming().size(), history.DroppedIncoming(), history.Outgoing().size(),
                 history.DroppedOutgoing()));
}

void CHeadlessConsole::PrintSummary() {
    if (m_lastLogPath.empty()) {
        Print("SUMMARY no experiment log was written in this run");
        return;
    }
    std::ifstream in(m_lastLogPath, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    std::map<std::string, int> counts;
    int events = 0;
    const std::string marker = "<Event ";
    for (size_t pos = text.find(marker); pos != std::string::npos;
         pos = text.find(marker, pos + 1)) {
        size_t name = text.find(" Name=\"", pos);
        size_t end = name == std::string::npos ? name : text.find('"', name + 7);
        if (end == std::string::npos) {
            break;
        }
        ++counts[text.substr(name + 7, end - name - 7)];
        ++events;
    }
    int stats = 0;
    for (size_t pos = text.find("<MissionStats "); pos != std::string::npos;
         pos = text.find("<MissionStats ", pos + 1)) {
        ++stats;
    }
    Print("SUMMARY log " + m_lastLogPath + Format(" (%zu bytes)", text.size()));
    Print("SUMMARY outcome " +
          (m_agent.LastOutcome().empty() ? std::string("none") : m_agent.LastOutcome()) +
          Format(", clock %d, team %s", m_agent.Minute(), Join(m_agent.Team(), ",").c_str()));
    std::string line = Format("SUMMARY %d events:", events);
    for (const auto& [name, count] : counts) {
        line += Format(" %s=%d", name.c_str(), count);
    }
    Print(line);
    Print(Format("SUMMARY %d mission statistics reports", stats));
}

// ---------------------------------------------------------------------------------------------
// Commands

// Every command of the console: what help lists (in this order) and what runs it. A new
// command is a handler and a row here, or in another group of CommandGroups.
const std::vector<CHeadlessConsole::Command>& CHeadlessConsole::BasicCommands() {
    static const std::vector<Command> commands = {
        {"register", "[server=H] [port=N] [agent=NAME]", "fills the fields and presses Register",
         &CHeadlessConsole::CmdRegister},
        {"unregister", "", "UnRegister", &CHeadlessConsole::CmdUnregister},
        {"agents", "[PREFIX]", "Show All Agents, or Filter By PREFIX; prints the list",
         &CHeadlessConsole::CmdAgents},
        {"add", "NAME...", "selects each agent and presses Add Client", &CHeadlessConsole::CmdAdd},
        {"remove", "NAME...", "selects each station row and presses Remove Client",
         &CHeadlessConsole::CmdRemove},
        {"single-person", "on|off", "the Single Person Game box",
         &CHeadlessConsole::CmdSinglePerson},
        {"init", "[name=N] [folder=F] [notes=TEXT] [yes|no]",
         "Initialize Simulation with the log's name, folder and notes; yes/no answers its question",
         &CHeadlessConsole::CmdInit},
        {"start", "[yes|no]", "the start button when it reads Start Simulation",
         &CHeadlessConsole::CmdStart},
        {"pause", "", "the start button when it reads Pause Simulation",
         &CHeadlessConsole::CmdPause},
        {"resume", "", "the start button when it reads Resume Simulation",
         &CHeadlessConsole::CmdResume},
        {"reset", "[yes|no]", "Reset Simulation and its question", &CHeadlessConsole::CmdReset},
        {"playback", "on|off [yes|no]", "the Playback Mode box", &CHeadlessConsole::CmdPlayback},
        {"load-experiment", "FILE", "Load Experiment with FILE",
         &CHeadlessConsole::CmdLoadExperiment},
        {"init-playback", "", "Initialize Playback", &CHeadlessConsole::CmdInitPlayback},
        {"play", "[yes|no]",
         "the play/pause button; yes/no answers the question about stations that did not "
         "initialize",
         &CHeadlessConsole::CmdPlay},
        {"stop", "", "the stop button", &CHeadlessConsole::CmdStop},
        {"wait", "clock N|end|initialized|replayed|quiet MS|agents N|agent NAME|ms N [timeout=S]",
         "waits, the event loop running, until the condition holds", &CHeadlessConsole::CmdWait},
        {"answer", "yes|no", "queues the answer to the next question",
         &CHeadlessConsole::CmdAnswer},
        {"comm-log", "save FOLDER NAME [notes=TEXT] | load FILE",
         "the human communication page's Save Log and Load Log", &CHeadlessConsole::CmdCommLog},
        {"log", "move FOLDER", "Move Log...: the experiment log continues in FOLDER",
         &CHeadlessConsole::CmdLog},
        {"load-scenario", "FILE.hsf", "loads a scenario file set, whole or not at all",
         &CHeadlessConsole::CmdLoadScenario},
        {"save-scenario", "FOLDER NAME", "saves the scenario as FOLDER/NAME/NAME.hsf",
         &CHeadlessConsole::CmdSaveScenario},
        {"generate", "N FOLDER [radars=R] [interceptors=I] [incursions=C]",
         "a batch of random scenarios", &CHeadlessConsole::CmdGenerate},
        {"status", "", "the page's state", &CHeadlessConsole::CmdStatus},
        {"summary", "", "the counts of the last experiment log", &CHeadlessConsole::CmdSummary},
        {"echo", "TEXT", "prints TEXT", &CHeadlessConsole::CmdEcho},
        {"help", "[COMMAND]", "the commands, or what one of them does", &CHeadlessConsole::CmdHelp},
        {"quit", "", "ends the console, closing the experiment log", &CHeadlessConsole::CmdQuit},
    };
    return commands;
}

const std::vector<CHeadlessConsole::CommandGroup>& CHeadlessConsole::CommandGroups() {
    static const std::vector<CommandGroup> groups = {
        {"commands", &BasicCommands()},
        {"session commands", &SessionCommands()},
        {"study commands", &StudyCommands()},
    };
    return groups;
}

const CHeadlessConsole::Command* CHeadlessConsole::FindCommand(const std::string& name) {
    for (const CommandGroup& group : CommandGroups()) {
        for (const Command& command : *group.commands) {
            if (name == command.name) {
                return &command;
            }
        }
    }
    return nullptr;
}

std::string CHeadlessConsole::Usage(const Command& command) {
    // "save A | load B" reads "comm-log save A | comm-log load B".
    std::string usage;
    const std::string_view arguments = command.arguments;
    std::size_t from = 0;
    while (true) {
        const std::size_t bar = arguments.find(" | ", from);
        const std::string_view form = arguments.substr(from, bar - from);
        usage += command.name;
        if (!form.empty()) {
            usage += ' ';
            usage += form;
        }
        if (bar == std::string_view::npos) {
            return usage;
        }
        usage += " | ";
        from = bar + 3;
    }
}

std::vector<std::string> CHeadlessConsole::HelpLines(const std::string& name) {
    std::vector<std::string> lines;
    for (const CommandGroup& group : CommandGroups()) {
        std::string line = std::string(group.heading) + ":";
        for (const Command& command : *group.commands) {
            if (name.empty()) {
                line += (&command == group.commands->data() ? " " : " | ") + Usage(command);
            } else if (name == command.name) {
                lines.push_back(Usage(command) + ": " + command.help);
            }
        }
        if (name.empty()) {
            lines.push_back(line);
        }
    }
    // A name that is no command shows them all.
    return lines.empty() ? HelpLines(std::string()) : lines;
}

// Takes yes and no out of the words, as answers to the questions the command asks.
void CHeadlessConsole::TakeAnswers(std::vector<std::string>& plain) {
    for (auto it = plain.begin(); it != plain.end();) {
        if (IsAnswer(*it)) {
            m_answers.push_back(*it == "yes");
            it = plain.erase(it);
        } else {
            ++it;
        }
    }
}

// wanted: 0 start, 1 pause, 2 resume; the page's one button does whichever is due.
bool CHeadlessConsole::PressStartButton(const Words& words, int wanted) {
    std::vector<std::string> plain;
    Options(words, plain);
    TakeAnswers(plain);
    int due = !m_agent.Started() ? 0 : (m_agent.Paused() ? 2 : 1);
    if (!m_page.IsEnabled(InitControl::StartSimulation) || due != wanted) {
        m_answers.clear();
        return Fail("the start button does not read \"" + words[0] + "\" now (it reads \"" +
                    m_page.StartCaption() + "\")");
    }
    m_page.StartSimulation();
    return true;
}

bool CHeadlessConsole::CmdHelp(const Words& words) {
    for (const std::string& line : HelpLines(words.size() == 2 ? words[1] : std::string())) {
        Print(line);
    }
    return true;
}

bool CHeadlessConsole::CmdEcho(const Words& words) {
    Print(Join(std::vector<std::string>(words.begin() + 1, words.end()), " "));
    return true;
}

bool CHeadlessConsole::CmdQuit(const Words&) {
    Finish();
    return false;
}

bool CHeadlessConsole::CmdAnswer(const Words& words) {
    if (words.size() != 2 || !IsAnswer(words[1])) {
        return Fail("answer takes yes or no");
    }
    m_answers.push_back(words[1] == "yes");
    return true;
}

bool CHeadlessConsole::CmdRegister(const Words& words) {
    std::vector<std::string> plain;
    auto options = Options(words, plain);
    if (!m_page.IsEnabled(InitControl::Register)) {
        return Fail("already registered");
    }
    if (options.count("server")) {
        m_page.SetServer(options["server"]);
    }
    if (options.count("port")) {
        m_page.SetAnsPort(options["port"]);
    }
    if (options.count("agent")) {
        m_page.SetAgentName(options["agent"]);
    }
    m_page.Register();
    if (!m_page.IsEnabled(InitControl::Register)) {
        Print("REGISTERED " + m_page.AgentName() + " port " + m_page.AgentPort() + " at " +
              m_page.Server() + ":" + m_page.AnsPort());
    }
    return true;
}

bool CHeadlessConsole::CmdUnregister(const Words&) {
    m_page.UnRegister();
    return true;
}

bool CHeadlessConsole::CmdAgents(const Words& words) {
    if (words.size() > 1) {
        m_page.ChooseFilterBy();
        m_page.SetFilterText(words[1]);
        m_page.RefreshList();
    } else {
        m_page.ChooseShowAllAgents();
    }
    Print("AGENTS " + Join(m_page.AgentList(), " "));
    return true;
}

bool CHeadlessConsole::CmdAdd(const Words& words) {
    for (size_t i = 1; i < words.size(); ++i) {
        if (!m_page.IsEnabled(InitControl::AddClient)) {
            return Fail("Add Client is not available now");
        }
        if (!m_page.SelectAgent(words[i])) {
            // Not in the list (yet): refresh it once, as the experimenter would.
            m_page.RefreshList();
            if (!m_page.SelectAgent(words[i])) {
                Fail(words[i] + " is not in the agent list");
                continue;
            }
        }
        m_page.AddClient();
    }
    return true;
}

bool CHeadlessConsole::CmdRemove(const Words& words) {
    for (size_t i = 1; i < words.size(); ++i) {
        if (!m_page.SelectStation(words[i])) {
            Fail(words[i] + " is not in the stations list");
            continue;
        }
        m_page.RemoveClient();
    }
    return true;
}

bool CHeadlessConsole::CmdSinglePerson(const Words& words) {
    if (words.size() != 2 || (words[1] != "on" && words[1] != "off")) {
        return Fail("single-person takes on or off");
    }
    m_page.SetSinglePersonGame(words[1] == "on");
    return true;
}

bool CHeadlessConsole::CmdInit(const Words& words) {
    std::vector<std::string> plain;
    m_logChoice = Options(words, plain);
    TakeAnswers(plain);
    if (!m_page.IsEnabled(InitControl::InitializeSimulation)) {
        m_answers.clear();
        return Fail("Initialize Simulation is not available now");
    }
    m_page.InitializeSimulation();
    m_logChoice.clear();
    if (m_log.IsOpen()) {
        m_lastLogPath = m_log.FilePath();
        Print("LOG OPEN " + m_lastLogPath);
    }
    return true;
}

bool CHeadlessConsole::CmdStart(const Words& words) {
    return PressStartButton(words, 0);
}

bool CHeadlessConsole::CmdPause(const Words& words) {
    return PressStartButton(words, 1);
}

bool CHeadlessConsole::CmdResume(const Words& words) {
    return PressStartButton(words, 2);
}

bool CHeadlessConsole::CmdReset(const Words& words) {
    std::vector<std::string> plain;
    Options(words, plain);
    TakeAnswers(plain);
    if (!m_page.IsEnabled(InitControl::ResetSimulation)) {
        m_answers.clear();
        return Fail("Reset Simulation is not available now");
    }
    m_page.ResetSimulation();
    return true;
}

bool CHeadlessConsole::CmdPlayback(const Words& words) {
    std::vector<std::string> plain;
    Options(words, plain);
    TakeAnswers(plain);
    if (plain.size() != 1 || (plain[0] != "on" && plain[0] != "off")) {
        return Fail("playback takes on or off");
    }
    if (!m_page.IsEnabled(InitControl::PlaybackMode)) {
        m_answers.clear();
        return Fail("Playback Mode is not available now (register first)");
    }
    m_page.SetPlaybackMode(plain[0] == "on");
    return true;
}

bool CHeadlessConsole::CmdLoadExperiment(const Words& words) {
    if (words.size() != 2) {
        return Fail("load-experiment takes one file");
    }
    if (!m_page.IsEnabled(InitControl::LoadExperiment)) {
        return Fail("Load Experiment is not available now (playback on first)");
    }
    m_openFile = words[1];
    m_page.LoadExperiment();
    return true;
}

bool CHeadlessConsole::CmdInitPlayback(const Words&) {
    if (!m_page.IsEnabled(InitControl::InitializePlayback)) {
        return Fail("Initialize Playback is not available now");
    }
    m_page.InitializePlayback();
    return true;
}

bool CHeadlessConsole::CmdPlay(const Words& words) {
    std::vector<std::string> plain;
    Options(words, plain);
    TakeAnswers(plain);
    if (!m_page.IsEnabled(InitControl::PlayPause)) {
        m_answers.clear();
        return Fail("the play button is not available now");
    }
    m_page.PlayPause();
    return true;
}

bool CHeadlessConsole::CmdStop(const Words&) {
    if (!m_page.IsEnabled(InitControl::Stop)) {
        return Fail("the stop button is not available now");
    }
    m_page.Stop();
    return true;
}

bool CHeadlessConsole::CmdStatus(const Words&) {
    PrintStatus();
    return true;
}

bool CHeadlessConsole::CmdSummary(const Words&) {
    PrintSummary();
    PrintSessionSummary();
    return true;
}

// Until no message has arrived for quietMs milliseconds: the stations' last reports (mission
// statistics after the mission end) are in.
bool CHeadlessConsole::WaitQuiet(qint64 quietMs, int timeout, const std::string& what) {
    QElapsedTimer since;
    since.start();
    size_t seen = m_agent.CommStore().Incoming().size() + m_agent.CommStore().DroppedIncoming();
    return WaitUntil(
        [&] {
            size_t now =
                m_agent.CommStore().Incoming().size() + m_agent.CommStore().DroppedIncoming();
            if (now != seen) {
                seen = now;
                since.restart();
            }
            return since.elapsed() >= quietMs;
        },
        timeout, what);
}

// The name server is asked about every 200 ms, not on every poll.
bool CHeadlessConsole::WaitAskingNameServer(const std::function<bool()>& known, int timeout,
                                            const std::string& what) {
    int polls = 0;
    return WaitUntil([&known, &polls] { return polls++ % 20 == 0 && known(); }, timeout, what);
}

bool CHeadlessConsole::CmdWait(const Words& words) {
    if (const std::optional<bool> done = WaitForStation(words)) {
        return *done;
    }
    std::vector<std::string> plain;
    auto options = Options(words, plain);
    const int timeout = TimeoutOf(options);
    const std::string what = Join(plain, " ");
    if (plain.empty()) {
        return Fail("wait needs a condition");
    }
    const std::string& kind = plain[0];
    if (kind == "ms" && plain.size() == 2) {
        const int ms = ReadInt(plain[1]);
        QEventLoop loop;
        QTimer::singleShot(ms > 0 ? ms : 0, &loop, &QEventLoop::quit);
        loop.exec();
        return true;
    }
    if (kind == "clock" && plain.size() == 2) {
        // Until the clock shows that minute (events from then on are logged with it).
        const int minute = ReadInt(plain[1]);
        return WaitUntil([this, minute] { return m_agent.Minute() >= minute; }, timeout, what);
    }
    if (kind == "end") {
        return WaitUntil(
            [this] { return !m_agent.Started() && m_agent.Clock() > CHalyxCommand::kLaunchWindow; },
            timeout, what);
    }
    if (kind == "initialized") {
        return WaitUntil(
            [this] {
                const auto& rows = m_page.Stations();
                return !rows.empty() &&
                       std::all_of(rows.begin(), rows.end(), [](const StationRow& r) {
                           return r.status == CInitPage::kInitialized;
                       });
            },
            timeout, what);
    }
    if (kind == "quiet" && plain.size() == 2) {
        return WaitQuiet(std::max(1, ReadInt(plain[1])), timeout, what);
    }
    if (kind == "replayed") {
        if (!WaitUntil([this] { return m_agent.Events().Exhausted(); }, timeout, what)) {
            return false;
        }
        Print(Format("REPLAYED all %zu recorded commands", m_agent.Events().Count()));
        return true;
    }
    if (kind == "agents" && plain.size() == 2) {
        const size_t count = static_cast<size_t>(std::max(0, ReadInt(plain[1])));
        return WaitAskingNameServer(
            [this, count] {
                std::vector<std::string> names = m_agent.ListAgents();
                std::erase(names, m_page.AgentName());
                return names.size() >= count;
            },
            timeout, what);
    }
    if (kind == "agent" && plain.size() == 2) {
        const std::string name = plain[1];
        return WaitAskingNameServer(
            [this, name] {
                std::string host;
                std::string port;
                return m_agent.LookupStation(name, host, port);
            },
            timeout, what);
    }
    return Fail("unknown wait condition: " + what);
}

bool CHeadlessConsole::CmdLoadScenario(const Words& words) {
    if (words.size() != 2) {
        return Fail("load-scenario takes one .hsf file");
    }
    if (m_agent.Started()) {
        return Fail("the scenario cannot change while a simulation runs");
    }
    CScenarioFields fields;
    CScenarioLoadResult result = LoadScenarioSet(words[1], fields, m_scenario);
    for (const std::string& problem : result.problems) {
        Print("SCENARIO " + problem);
    }
    if (!result) {
        return Fail("scenario not loaded: " + result.error);
    }
    Print(Format("SCENARIO loaded %s: %d incursions, %d radars, %d interceptors", words[1].c_str(),
                 m_scenario.Incursions().Count(), m_scenario.Radars().Count(),
                 m_scenario.Interceptors().Count()));
    return true;
}

bool CHeadlessConsole::CmdSaveScenario(const Words& words) {
    if (words.size() != 3) {
        return Fail("save-scenario takes a folder and a name");
    }
    std::string folder = words[1];
    const std::string& name = words[2];
    if (folder.empty() || name.empty() || name.find_first_of("/\\") != std::string::npos) {
        return Fail("save-scenario takes a folder and a name without a folder separator");
    }
    if (folder.back() != '/') {
        folder += '/';
    }
    // FOLDER/NAME/NAME.hsf, the layout of the scenario page and of halyx-scenario.
    CScenarioSaveResult result = SaveScenarioAs(name, folder + name + "/", m_scenario);
    for (const std::string& skipped : result.skipped) {
        Print("SCENARIO skipped " + skipped);
    }
    if (!result) {
        return Fail("scenario not saved: " + result.error);
    }
    Print("SCENARIO saved " + result.scenarioFile);
    return true;
}

bool CHeadlessConsole::CmdGenerate(const Words& words) {
    std::vector<std::string> plain;
    auto options = Options(words, plain);
    if (plain.size() != 2) {
        return Fail("generate N FOLDER [radars=R] [interceptors=I] [incursions=C]");
    }
    if (m_agent.Started()) {
        return Fail("the scenario cannot change while a simulation runs");
    }
    CBatchOptions batch;
    batch.scenarios = ReadInt(plain[0]);
    batch.folder = plain[1];
    if (options.count("radars")) {
        batch.radars = ReadInt(options["radars"]);
    }
    if (options.count("interceptors")) {
        batch.interceptors = ReadInt(options["interceptors"]);
    }
    if (options.count("incursions")) {
        batch.incursions = ReadInt(options["incursions"]);
    }
    CBatchResult result = GenerateScenarioBatch(m_scenario, batch);
    for (const std::string& file : result.scenarioFiles) {
        Print("SCENARIO generated " + file);
    }
    if (!result.Complete()) {
        return Fail("generation stopped: " + result.error);
    }
    return true;
}

bool CHeadlessConsole::CmdLog(const Words& words) {
    if (words.size() != 3 || words[1] != "move") {
        return Fail("log move FOLDER");
    }
    if (!m_page.CanMoveLog()) {
        return Fail("no experiment log is open");
    }
    if (!m_page.MoveLog(words[2])) {
        return Fail("the experiment log was not moved");
    }
    m_lastLogPath = m_log.FilePath();
    Print("LOG MOVED " + m_lastLogPath);
    return true;
}

bool CHeadlessConsole::CmdCommLog(const Words& words) {
    std::vector<std::string> plain;
    auto options = Options(words, plain);
    if (plain.size() == 3 && plain[0] == "save") {
        m_commPage.SetLocation(plain[1]);
        m_commPage.SetExperimentName(plain[2]);
        if (options.count("notes")) {
            m_commPage.SetNotes(options["notes"]);
        }
        if (!m_commPage.SaveLog()) {
            return Fail("the communication log was not saved");
        }
        return true;
    }
    if (plain.size() == 2 && plain[0] == "load") {
        if (!m_commPage.LoadLog(plain[1])) {
            return Fail("the communication log was not loaded");
        }
        m_chatPrinted = m_commPage.LogText().size();
        Print("COMMLOG loaded " + plain[1]);
        return true;
    }
    return Fail("comm-log save FOLDER NAME [notes=TEXT] | comm-log load FILE");
}

} // namespace halyx
