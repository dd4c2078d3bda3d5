// halyx-command: the experimenter's console of the command station.
//
//   halyx-command [--tick-ms N] [--ans HOST:PORT] [--no-embedded-ans] [--embedded-ans-port N]
//                 [--agent NAME] [--map-server URL | --no-map-server] [--team-only]
//                 [framework options: --port, --bind, --host, --send-timeout-ms]
//   halyx-command --headless [SCRIPT | -] [the options above] [--answer yes|no]
//                 [--clock-every N]
//   halyx-command --repair-log FILE [--repair-out FILE]
//
// Without --headless it opens the desktop window. See docs/console.md and docs/user-guide.md.

#include "headlessconsole.h"
#include "observer.h"

#include "common/numericlocale.h"
#include "common/numtext.h"
#include "common/openfiles.h"
#include "common/random.h"
#include "controls/settings.h"
#include "desktop/halyxcommanddlg.h"
#include "desktop/initpagewidget.h"
#include "desktop/missionfollower.h"
#include "desktop/studypagewidget.h"
#include "external/agentkit/communicator.h"
#include "external/agentkit/containeroptions.h"
#include "external/agentkit/net/nameserver.h"
#include "external/agentkit/net/netcontainer.h"
#include "mapserver/mapaddresses.h"
#include "mapserver/mapserver.h"
#include "record/eventstream.h"
#include "record/logrepair.h"
#include "scenario/defaultscenario.h"
#include "ui/consolewiring.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTcpSocket>

#include <algorithm>
#include <csignal>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// The registration defaults: a sponsor word, "-" and the agent's own name, and a name server on
// this machine.
constexpr const char* kDefaultAgentName = "Lab-HalyxCommand";
constexpr const char* kDefaultAnsHost = "127.0.0.1";
constexpr size_t kMaxScriptBytes = 16u * 1024u * 1024u;

int Usage(const std::string& why) {
    std::fprintf(stderr,
                 "halyx-command: %s\n"
                 "usage: halyx-command [--headless [SCRIPT | -]] [--tick-ms N] [--ans HOST:PORT]\n"
                 "                     [--no-embedded-ans] [--embedded-ans-port N] [--agent NAME]\n"
                 "                     [--answer yes|no] [--clock-every N] [--port N]\n"
                 "                     [--bind ADDRESS] [--map-server URL | --no-map-server]\n"
                 "                     [--team-only] [--auto-reinit] [--pause-when-away]\n"
                 "                     [--allow-hosts CIDR[,CIDR...]] [--study PLAN.csv]\n"
                 "                     [--observer] [--observer-no-chat] [--event-stream PORT]\n"
                 "       halyx-command --repair-log FILE [--repair-out FILE]\n",
                 why.c_str());
    return 2;
}

// The answer to --help, on standard output (the manual page is made from it).
int Help() {
    std::fputs(
        "Usage: halyx-command [--headless [SCRIPT | -]] [OPTIONS]\n"
        "  or:  halyx-command --repair-log FILE [--repair-out FILE]\n"
        "\n"
        "The command station console: it authors scenarios, forms the team of stations,\n"
        "drives the shared clock and records every station command in an experiment log.\n"
        "Without --headless it opens the window; with it, it runs the console commands of\n"
        "SCRIPT (or of standard input for -).\n"
        "\n"
        "Options:\n"
        "  --headless [SCRIPT | -]   run without a window, reading console commands\n"
        "  --study PLAN.csv          with --headless: run every pending run of the study\n"
        "  --tick-ms N               real time of one simulated minute in ms (default 1000)\n"
        "  --ans HOST:PORT           the name server (default 127.0.0.1:6677)\n"
        "  --no-embedded-ans         never start a name server of its own\n"
        "  --embedded-ans-port N     start its own name server on port N (0: any free port)\n"
        "  --agent NAME              the registration name (default Lab-HalyxCommand)\n"
        "  --answer yes|no           the answer to questions a script leaves open\n"
        "  --clock-every N           print the clock every N simulated minutes (0: never)\n"
        "  --port N                  the agent's port (default 0: any free port)\n"
        "  --bind ADDRESS            listen on this address only\n"
        "  --map-server URL          stations fetch the maps from URL\n"
        "  --no-map-server           serve no maps; send file addresses as they are\n"
        "  --team-only               refuse commands from agents outside the team\n"
        "  --auto-reinit             re-initialize a restarted station at once\n"
        "  --pause-when-away         pause a live mission when a web seat's subject goes away\n"
        "  --allow-hosts CIDR[,...]  accept connections from these networks only\n"
        "  --observer                serve a read-only live page of the mission and print\n"
        "                            its address (OBSERVER http://HOST:PORT/live?key=KEY)\n"
        "  --observer-no-chat        the same page without the subjects' chat\n"
        "  --event-stream PORT       send every log event as a line to clients of\n"
        "                            127.0.0.1:PORT (0: any free port; prints EVENTS PORT)\n"
        "  --repair-log FILE         write a closed copy of a log cut off by a crash\n"
        "  --repair-out FILE         where the repaired copy goes\n"
        "  -h, --help                print this help and exit\n"
        "\n"
        "Exit status: 0 done, 1 a failure, 2 wrong usage.\n",
        stdout);
    return 0;
}

// The signal handler only writes to this pipe; the event loop reads it and stops the console.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int signal) {
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

bool NameServerAnswers(const std::string& host, int port) {
    if (port <= 0) {
        return false;
    }
    QTcpSocket probe;
    probe.connectToHost(QString::fromStdString(host), static_cast<quint16>(port));
    const bool answered = probe.waitForConnected(1500);
    probe.abort();
    return answered;
}

bool ReadScript(const std::string& path, std::vector<std::string>& lines, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open the script " + path;
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0 || static_cast<unsigned long long>(size) > kMaxScriptBytes) {
        error = "the script " + path + " is too large";
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return true;
}

void InstallSignalPipe(std::unique_ptr<QSocketNotifier>& notifier,
                       std::function<void(int)> onSignal) {
    if (::pipe(g_signalPipe) != 0) {
        return;
    }
    notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [onSignal] {
        char byte = 0;
        [[maybe_unused]] ssize_t got = ::read(g_signalPipe[0], &byte, 1);
        onSignal(byte);
    });
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
}

// The desktop window. The registration fields show the name server this run was started
// with (its own embedded one, or --ans); otherwise the last one used, from the user's settings.
// The agent name is --agent when given, else the last one used, else the default.
int RunDesktop(QCoreApplication& app, halyx::CScenario& scenario, halyx::CExperimentLog& log,
               halyx::CHalyxCommand& agent, halyx::CNetContainer& container,
               std::function<std::string()>& registeredName, bool teamOnly,
               bool serverFromCommandLine, const std::string& agentName, const std::string& ansHost,
               int ansPort, int agentPort, halyx::CMissionFollower& follower,
               std::function<std::string()> startObserver) {
    halyx::CHalyxCommandDlg window(scenario, agent, log);
    if (halyx::CStudyPageWidget* study = window.StudyPage()) {
        study->SetObserverStarter(std::move(startObserver));
    }
    // A slow or dead name server must not freeze the window: its waits turn the event loop.
    halyx::CTcpAnsClient& ans = container.tcp_communicator()->tcp_ans();
    ans.set_wait_in_event_loop(true);
    ans.set_user_input_during_wait(true);
    window.InitPage()->SetNameServerWait(
        {.cancel = [&ans] { ans.cancel_wait(); }, .clear = [&ans] { ans.clear_cancel(); }});
    halyx::CInitPage& page = window.InitPage()->Presenter();
    registeredName = [&page] { return page.AgentName(); };
    window.InitPage()->SetMissionFollower(&follower);
    if (teamOnly) {
        page.SetTeamOnly(true);
    }
    const int baseTickMs = container.get_tick_interval();
    page.SetSpeedHandler([&container, baseTickMs](int factor) {
        container.set_tick_interval(std::max(1, baseTickMs / std::max(1, factor)));
    });
    window.InitPage()->FillRegistration(
        {.agentName = agentName.empty() ? std::string(kDefaultAgentName) : agentName,
         .agentPort = agentPort,
         .server = ansHost,
         .ansPort = ansPort,
         .agentGiven = !agentName.empty(),
         .serverGiven = serverFromCommandLine});

    std::unique_ptr<QSocketNotifier> signalNotifier;
    InstallSignalPipe(signalNotifier, [&window](int) { window.ForceShutdown(); });
    window.show();
    const int status = app.exec();
    // Closing the window closed the log; an experiment that lost events must not look like a
    // clean run to the script that started the console (the same status as headless).
    if (status == 0 && log.LostData()) {
        return halyx::CHeadlessConsole::kLogLost;
    }
    if (status == 0 && log.Recovered()) {
        return halyx::CHeadlessConsole::kLogRecovered;
    }
    return status;
}

// What the command line asks for.
struct CommandLine {
    bool headless = false;
    bool embeddedAns = true;
    std::string script = "-";
    std::string repairLog;
    std::string repairOut;
    std::string agentName = kDefaultAgentName;
    bool agentGiven = false;
    bool defaultAnswer = true;
    int clockEvery = 60;
    int embeddedPort = -1;
    bool serveMaps = true;
    bool teamOnly = false;
    bool autoReinit = false;
    bool pauseWhenAway = false;
    std::vector<halyx::CTcpCommunicator::Subnet> allowedHosts;
    std::string allowedHostsText;
    std::string mapServerUrl;
    std::string studyPlan;
    std::optional<halyx::ObserverOptions> observer;
    int eventStreamPort = -1; // -1: no live event stream
};

bool TakesValue(const std::string& arg) {
    return arg == "--repair-log" || arg == "--repair-out" || arg == "--agent" ||
           arg == "--answer" || arg == "--clock-every" || arg == "--embedded-ans-port" ||
           arg == "--map-server" || arg == "--allow-hosts" || arg == "--study" ||
           arg == "--event-stream";
}

// One of our options that takes a value; the exit status when the value is refused.
std::optional<int> TakeValue(const std::string& arg, const std::string& value, CommandLine& line) {
    if (arg == "--event-stream") {
        const int port = halyx::ReadInt(value);
        if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos ||
            port > 65535) {
            return Usage("bad event stream port: " + value);
        }
        line.eventStreamPort = port;
        return std::nullopt;
    }
    if (arg == "--map-server") {
        line.mapServerUrl = value;
        if (!halyx::IsMapServerUrl(line.mapServerUrl)) {
            return Usage("--map-server takes an http:// or https:// address");
        }
    } else if (arg == "--allow-hosts") {
        line.allowedHostsText = value;
        std::string why;
        if (!halyx::CTcpCommunicator::ParseAllowedHosts(line.allowedHostsText, line.allowedHosts,
                                                        why)) {
            return Usage("--allow-hosts takes CIDR[,CIDR...]: " + why);
        }
    } else if (arg == "--study") {
        line.studyPlan = value;
    } else if (arg == "--repair-log") {
        line.repairLog = value;
    } else if (arg == "--repair-out") {
        line.repairOut = value;
    } else if (arg == "--agent") {
        line.agentName = value;
        line.agentGiven = true;
    } else if (arg == "--answer") {
        if (value != "yes" && value != "no") {
            return Usage("--answer takes yes or no");
        }
        line.defaultAnswer = value == "yes";
    } else if (arg == "--embedded-ans-port") {
        line.embeddedPort = halyx::ReadInt(value);
        if (line.embeddedPort < 0 || line.embeddedPort > 65535) {
            return Usage("--embedded-ans-port takes a port number (0: any free port)");
        }
    } else if (arg == "--clock-every") {
        if (value.empty() || value.size() > 9 ||
            value.find_first_not_of("0123456789") != std::string::npos) {
            return Usage("--clock-every takes a number of minutes: " + value);
        }
        line.clockEvery = halyx::ReadInt(value);
    }
    return std::nullopt;
}

// Our options; the framework's are checked by ParseContainerOptions. The exit status when the
// program ends here (--help, or an option refused).
std::optional<int> ReadCommandLine(int argc, char** argv, CommandLine& line) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (TakesValue(arg)) {
            if (i + 1 >= argc) {
                return Usage(arg + " needs a value");
            }
            if (const std::optional<int> status = TakeValue(arg, argv[++i], line)) {
                return status;
            }
        } else if (arg == "--headless") {
            line.headless = true;
        } else if (arg == "--no-map-server") {
            line.serveMaps = false;
        } else if (arg == "--observer" || arg == "--observer-no-chat") {
            const bool chat = arg == "--observer" && (!line.observer || line.observer->chat);
            line.observer = halyx::ObserverOptions{.enabled = true, .chat = chat};
        } else if (arg == "--team-only") {
            line.teamOnly = true;
        } else if (arg == "--auto-reinit") {
            line.autoReinit = true;
        } else if (arg == "--pause-when-away") {
            line.pauseWhenAway = true;
        } else if (arg == "--no-embedded-ans") {
            line.embeddedAns = false;
        } else if (arg == "--help" || arg == "-h") {
            return Help();
        } else if (arg.rfind("-", 0) == 0 && arg != "-") {
            // A typo must not run a whole session with a default instead of what was meant.
            if (!halyx::IsContainerOption(arg)) {
                return Usage("unknown option " + arg);
            }
            // A framework option: its value is checked with the others.
            if (arg.find('=') == std::string::npos) {
                if (i + 1 >= argc) {
                    return Usage(arg + " needs a value");
                }
                ++i;
            }
        } else {
            line.script = arg;
        }
    }
    return std::nullopt;
}

int RepairLog(const CommandLine& line) {
    const std::string out =
        line.repairOut.empty() ? halyx::RepairedLogPath(line.repairLog) : line.repairOut;
    const halyx::LogRepairResult result = halyx::RepairExperimentLog(line.repairLog, out);
    std::puts(result.message.c_str());
    return result ? 0 : 1;
}

// The scripted console needs no display; the desktop needs the widgets' application. None
// when there is no display to open the window on.
std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv, bool headless) {
    if (headless) {
        return std::make_unique<QCoreApplication>(argc, argv);
    }
    // Without a display the widgets' application would abort.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return nullptr;
    }
    auto app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Halyx"));
    QCoreApplication::setApplicationName(QStringLiteral("HalyxCommand"));
    return app;
}

// Starts the name server inside this process on 127.0.0.1, and points the registration at it.
bool StartEmbeddedNameServer(halyx::CNameServer& nameServer, const CommandLine& line,
                             std::string& ansHost, int& ansPort) {
    const int listenPort = line.embeddedPort >= 0 ? line.embeddedPort : ansPort;
    std::string error;
    if (!nameServer.listen(QHostAddress::LocalHost, static_cast<quint16>(listenPort), error)) {
        std::fprintf(stderr, "halyx-command: cannot start the embedded name server: %s\n",
                     error.c_str());
        return false;
    }
    ansHost = kDefaultAnsHost;
    ansPort = nameServer.port();
    halyx::CHeadlessConsole::Print("NAMESERVER embedded, listening on 127.0.0.1:" +
                                   std::to_string(ansPort));
    return true;
}

// --allow-hosts, or for the desktop the list it keeps between runs (Network/AllowedHosts in its
// settings).
void AllowHosts(halyx::CNetContainer& container, CommandLine& line) {
    if (line.allowedHosts.empty() && !line.headless) {
        line.allowedHostsText =
            halyx::CSettings::Text(QStringLiteral("Network/AllowedHosts"), QString()).toStdString();
        std::string why;
        if (!line.allowedHostsText.empty() && !halyx::CTcpCommunicator::ParseAllowedHosts(
                                                  line.allowedHostsText, line.allowedHosts, why)) {
            std::fprintf(stderr, "halyx-command: the stored allowed hosts are ignored: %s\n",
                         why.c_str());
            line.allowedHosts.clear();
        }
    }
    if (!line.allowedHosts.empty()) {
        container.tcp_communicator()->set_allowed_hosts(line.allowedHosts);
        halyx::CHeadlessConsole::Print("ALLOW-HOSTS " + line.allowedHostsText);
    }
}

// Maps the stations can fetch from their own machines (see docs/across-machines.md): served
// here, or from --map-server. False when the map server cannot start.
bool ServeMaps(halyx::CMapServer& mapServer, halyx::CMapAddresses& mapAddresses,
               const CommandLine& line, const std::string& bind, int agentPort) {
    mapServer.SetLog(
        [](const std::string& text) { halyx::CHeadlessConsole::Print("MAPSERVER " + text); });
    if (!line.mapServerUrl.empty()) {
        mapAddresses.UseServer(line.mapServerUrl);
        halyx::CHeadlessConsole::Print("MAPSERVER elsewhere: " + line.mapServerUrl);
    } else if (line.serveMaps) {
        std::string error;
        if (!mapAddresses.Serve(halyx::DefaultMapFolder(), bind, agentPort, error)) {
            std::fprintf(stderr, "halyx-command: cannot start the map server: %s\n", error.c_str());
            return false;
        }
        halyx::CHeadlessConsole::Print("MAPSERVER listening on " +
                                       (bind.empty() ? std::string("*") : bind) + ":" +
                                       std::to_string(mapServer.Port()) + ", " +
                                       std::to_string(mapServer.FileCount()) + " maps");
    }
    return true;
}

bool StartAgent(halyx::CNetContainer& container, int argc, char** argv, bool headless) {
    if (container.CreateContainer(argc, argv, 1) != 0) {
        return true;
    }
    halyx::CHeadlessConsole::Print("MESSAGE: Unable to start agent!");
    if (!headless) {
        QMessageBox::critical(nullptr, QStringLiteral("HalyxCommand"),
                              QStringLiteral("Unable to start agent!"));
    }
    return false;
}

// A map's address for a station: on the map server, at the address the station can reach this
// machine by (the name server tells where this console registered from).
void ResolveMapAddresses(halyx::CHalyxCommand& agent, halyx::CMapAddresses& mapAddresses,
                         const std::function<std::string()>& registeredName) {
    // Every one of them lives until main returns.
    agent.SetMapAddressResolver([&agent, &mapAddresses,
                                 &registeredName](const std::string& address) {
        return mapAddresses.Resolve(address, [&agent, &registeredName] {
            std::string host;
            std::string port;
            const std::string name = registeredName ? registeredName() : std::string();
            return !name.empty() && agent.LookupStation(name, host, port) ? host : std::string();
        });
    });
}

// What every run of the console needs once its application object exists.
void SetUpProcess() {
    halyx::KeepNumbersInCLocale();
    halyx::RaiseOpenFileLimit();
    // A log that reaches the file-size limit must fail its write, be reported and keep its
    // events, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
}

// The lines the scripted console runs: the script's, none for standard input, or for --study
// the commands that run every pending run of the plan. False with error set.
bool ScriptLines(CommandLine& line, std::vector<std::string>& lines, std::string& error) {
    if (line.studyPlan.empty()) {
        return line.script == "-" || ReadScript(line.script, lines, error);
    }
    // Every pending run of the plan, one after the other, with the stations it names.
    if (!line.headless || line.script != "-") {
        error = "--study FILE runs a study headless, without a script: --headless --study FILE";
        return false;
    }
    line.script.clear();
    lines = {"register", "study open \"" + line.studyPlan + "\"", "study run-all", "study status"};
    return true;
}

// What the Mission Picture window and the observer page draw, collected as the mission runs.
struct MissionViews {
    std::unique_ptr<halyx::CMissionFollower> follower;
    std::unique_ptr<halyx::CObserverFeed> observerFeed;
};

// The scripted console without the observer page follows no mission: it would only cost time
// and memory. False when the page was asked for and cannot be served.
bool StartMissionViews(MissionViews& views, CommandLine& line, halyx::CScenario& scenario,
                       halyx::CHalyxCommand& agent, halyx::CExperimentLog& log,
                       halyx::CMapServer& mapServer, const std::string& bind) {
    // The desktop keeps the observer page on or off between runs; a flag wins for this run.
    if (!line.observer && !line.headless) {
        line.observer = halyx::StoredObserverOptions();
    }
    const bool observe = line.observer && line.observer->enabled;
    if (!line.headless || observe) {
        views.follower = std::make_unique<halyx::CMissionFollower>(scenario, agent, log);
    }
    if (observe) {
        std::string error;
        views.observerFeed =
            halyx::OpenObserver(mapServer, *views.follower, *line.observer, bind, error);
        if (!views.observerFeed) {
            std::fprintf(stderr, "halyx-command: cannot start the observer page: %s\n",
                         error.c_str());
            return false;
        }
    }
    return true;
}

// The scripted console, from the script's lines or from standard input.
int RunHeadless(QCoreApplication& app, halyx::CScenario& scenario, halyx::CExperimentLog& log,
                halyx::CHalyxCommand& agent, halyx::CNetContainer& container,
                std::function<std::string()>& registeredName, const CommandLine& line,
                const std::string& ansHost, int ansPort, int agentPort,
                std::vector<std::string> lines, halyx::CMissionFollower* follower) {
    halyx::CHeadlessConsole console(scenario, log, agent, container);
    console.SetDefaultAnswer(line.defaultAnswer);
    console.SetClockEvery(line.clockEvery);
    if (follower != nullptr) {
        follower->SetPlaybackQuery([&console] { return console.Page().IsPlaybackMode(); });
        follower->SetRecordingQuery([&console] {
            return console.Page().ExperimentLoaded() ? console.Page().LoadedPath() : std::string();
        });
    }
    registeredName = [&console] { return console.Page().AgentName(); };
    if (line.teamOnly) {
        console.Page().SetTeamOnly(true);
    }
    const int baseTickMs = container.get_tick_interval();
    console.Page().SetSpeedHandler([&container, baseTickMs](int factor) {
        container.set_tick_interval(std::max(1, baseTickMs / std::max(1, factor)));
    });
    console.Page().FillRegistrationFields(line.agentName, agentPort, ansHost, ansPort);
    halyx::CHeadlessConsole::Print("READY " + line.agentName + " port " +
                                   std::to_string(container.get_communicator()->get_port()) +
                                   " tick " + std::to_string(container.get_tick_interval()) +
                                   " ms");

    std::unique_ptr<QSocketNotifier> signalNotifier;
    InstallSignalPipe(signalNotifier, [&console](int signal) { console.Interrupt(128 + signal); });

    if (line.script == "-") {
        console.RunStdin();
    } else {
        console.RunScript(std::move(lines));
    }
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    CommandLine line;
    if (const std::optional<int> status = ReadCommandLine(argc, argv, line)) {
        return *status;
    }
    halyx::CContainerOptions options;
    std::string error;
    if (!halyx::ParseContainerOptions(argc, argv, options, error)) {
        return Usage(error);
    }
    if (!line.repairLog.empty()) {
        return RepairLog(line);
    }

    std::unique_ptr<QCoreApplication> app = MakeApplication(argc, argv, line.headless);
    if (!app) {
        return Usage("no display to open the window on (DISPLAY and WAYLAND_DISPLAY are "
                     "unset); run with --headless, or set QT_QPA_PLATFORM=offscreen");
    }
    SetUpProcess();

    std::string ansHost = options.ansHost.value_or(kDefaultAnsHost);
    int ansPort = options.ansPort.value_or(halyx::kDefaultAnsPort);

    std::vector<std::string> lines;
    if (!ScriptLines(line, lines, error)) {
        return Usage(error);
    }

    halyx::SeedRandomFromClock();

    // The name server comes first so that it outlives every client of this process.
    halyx::CNameServer nameServer;
    // --embedded-ans-port starts the embedded server without asking whether one answers: port 0
    // takes any free port, so that a demonstration never meets another name server.
    const bool startEmbedded =
        line.embeddedAns && (line.embeddedPort >= 0 || !NameServerAnswers(ansHost, ansPort));
    if (startEmbedded && !StartEmbeddedNameServer(nameServer, line, ansHost, ansPort)) {
        return 1;
    }

    halyx::CScenario scenario;
    halyx::LoadStartScenario(scenario);

    // Before the log, so that it outlives every line the log hands it.
    halyx::CEventStream events;
    halyx::CExperimentLog log;
    halyx::CHalyxCommand agent(halyx::AgentScenario::Of(scenario), log);
    agent.set_debug_sink(
        [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });
    halyx::CNetContainer container(agent);
    if (!StartAgent(container, argc, argv, line.headless)) {
        return 1;
    }
    const int agentPort = container.get_communicator()->get_port();
    AllowHosts(container, line);
    agent.SetAutoReinit(line.autoReinit);
    agent.SetPauseWhenAway(line.pauseWhenAway);

    // The name this console registered under is asked when a map address is first needed.
    std::function<std::string()> registeredName;
    halyx::CMapServer mapServer;
    halyx::CMapAddresses mapAddresses(mapServer);
    if (!ServeMaps(mapServer, mapAddresses, line, options.bind, agentPort)) {
        return 1;
    }
    if (line.eventStreamPort >= 0) {
        if (!events.Start("127.0.0.1", line.eventStreamPort)) {
            std::fprintf(stderr, "halyx-command: event stream: %s\n", events.Error().c_str());
            return 1;
        }
        log.SetStreamObserver([&events](std::string_view text) { events.Push(text); });
        std::printf("EVENTS %d\n", events.Port());
        std::fflush(stdout);
    }
    MissionViews views;
    if (!StartMissionViews(views, line, scenario, agent, log, mapServer, options.bind)) {
        return 1;
    }
    if (mapAddresses.Active()) {
        ResolveMapAddresses(agent, mapAddresses, registeredName);
    }

    if (!line.headless) {
        // The Study menu's Observer Page starts the page in this run too.
        auto startObserver = [&views, &mapServer, bind = options.bind]() -> std::string {
            if (!views.observerFeed) {
                halyx::ObserverOptions observer = halyx::StoredObserverOptions();
                observer.enabled = true;
                std::string error;
                views.observerFeed =
                    halyx::OpenObserver(mapServer, *views.follower, observer, bind, error);
                if (!views.observerFeed) {
                    return "The observer page could not be started: " + error;
                }
            }
            return "The observer page is on: " +
                   mapServer.ObserverAddress(halyx::ObserverHost(bind));
        };
        return RunDesktop(*app, scenario, log, agent, container, registeredName, line.teamOnly,
                          startEmbedded || options.ansHost.has_value(),
                          line.agentGiven ? line.agentName : std::string(), ansHost, ansPort,
                          agentPort, *views.follower, startObserver);
    }
    return RunHeadless(*app, scenario, log, agent, container, registeredName, line, ansHost,
                       ansPort, agentPort, std::move(lines), views.follower.get());
}
