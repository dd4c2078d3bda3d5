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
#include "external/agentkit/communicator.h"
#include "external/agentkit/containeroptions.h"
#include "external/agentkit/net/nameserver.h"
#include "external/agentkit/net/netcontainer.h"
#include "mapserver/mapaddresses.h"
#include "mapserver/mapserver.h"
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
                 "                     [--team-only] [--auto-reinit]\n"
                 "                     [--allow-hosts CIDR[,CIDR...]]\n"
                 "                     [--observer] [--observer-no-chat]\n"
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
        "  --allow-hosts CIDR[,...]  accept connections from these networks only\n"
        "  --observer                serve a read-only live page of the mission and print\n"
        "                            its address (OBSERVER http://HOST:PORT/live?key=KEY)\n"
        "  --observer-no-chat        the same page without the subjects' chat\n"
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
               int ansPort, int agentPort, halyx::CMissionFollower& follower) {
    halyx::CHalyxCommandDlg window(scenario, agent, log);
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

} // namespace

int main(int argc, char** argv) {
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
    std::vector<halyx::CTcpCommunicator::Subnet> allowedHosts;
    std::string allowedHostsText;
    std::string mapServerUrl;
    std::optional<halyx::ObserverOptions> observer;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool takesValue = arg == "--repair-log" || arg == "--repair-out" ||
                                arg == "--agent" || arg == "--answer" || arg == "--clock-every" ||
                                arg == "--embedded-ans-port" || arg == "--map-server" ||
                                arg == "--allow-hosts";
        if (takesValue && i + 1 >= argc) {
            return Usage(arg + " needs a value");
        }
        if (arg == "--headless") {
            headless = true;
        } else if (arg == "--no-map-server") {
            serveMaps = false;
        } else if (arg == "--map-server") {
            mapServerUrl = argv[++i];
            if (!halyx::IsMapServerUrl(mapServerUrl)) {
                return Usage("--map-server takes an http:// or https:// address");
            }
        } else if (arg == "--observer" || arg == "--observer-no-chat") {
            const bool chat = arg == "--observer" && (!observer || observer->chat);
            observer = halyx::ObserverOptions{.enabled = true, .chat = chat};
        } else if (arg == "--team-only") {
            teamOnly = true;
        } else if (arg == "--auto-reinit") {
            autoReinit = true;
        } else if (arg == "--allow-hosts") {
            allowedHostsText = argv[++i];
            std::string why;
            if (!halyx::CTcpCommunicator::ParseAllowedHosts(allowedHostsText, allowedHosts, why)) {
                return Usage("--allow-hosts takes CIDR[,CIDR...]: " + why);
            }
        } else if (arg == "--no-embedded-ans") {
            embeddedAns = false;
        } else if (arg == "--repair-log") {
            repairLog = argv[++i];
        } else if (arg == "--repair-out") {
            repairOut = argv[++i];
        } else if (arg == "--agent") {
            agentName = argv[++i];
            agentGiven = true;
        } else if (arg == "--answer") {
            const std::string value = argv[++i];
            if (value != "yes" && value != "no") {
                return Usage("--answer takes yes or no");
            }
            defaultAnswer = value == "yes";
        } else if (arg == "--embedded-ans-port") {
            embeddedPort = halyx::ReadInt(argv[++i]);
            if (embeddedPort < 0 || embeddedPort > 65535) {
                return Usage("--embedded-ans-port takes a port number (0: any free port)");
            }
        } else if (arg == "--clock-every") {
            const std::string value = argv[++i];
            if (value.empty() || value.size() > 9 ||
                value.find_first_not_of("0123456789") != std::string::npos) {
                return Usage("--clock-every takes a number of minutes: " + value);
            }
            clockEvery = halyx::ReadInt(value);
        } else if (arg == "--help" || arg == "-h") {
            return Help();
        } else if (arg.rfind("-", 0) == 0 && arg != "-") {
            // A typo must not run a whole session with a default instead of what was meant.
            if (!halyx::IsContainerOption(arg)) {
                return Usage("unknown option " + arg);
            }
            // A framework option: its value is checked with the others below.
            if (arg.find('=') == std::string::npos) {
                if (i + 1 >= argc) {
                    return Usage(arg + " needs a value");
                }
                ++i;
            }
        } else {
            script = arg;
        }
    }

    halyx::CContainerOptions options;
    std::string error;
    if (!halyx::ParseContainerOptions(argc, argv, options, error)) {
        return Usage(error);
    }

    if (!repairLog.empty()) {
        const std::string out = repairOut.empty() ? halyx::RepairedLogPath(repairLog) : repairOut;
        const halyx::LogRepairResult result = halyx::RepairExperimentLog(repairLog, out);
        std::puts(result.message.c_str());
        return result ? 0 : 1;
    }

    // The scripted console needs no display; the desktop needs the widgets' application.
    std::unique_ptr<QCoreApplication> app;
    if (headless) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        // Without a display the widgets' application would abort; say what to do instead.
        if (qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
            qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            return Usage("no display to open the window on (DISPLAY and WAYLAND_DISPLAY are "
                         "unset); run with --headless, or set QT_QPA_PLATFORM=offscreen");
        }
        app = std::make_unique<QApplication>(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Halyx"));
        QCoreApplication::setApplicationName(QStringLiteral("HalyxCommand"));
    }
    halyx::KeepNumbersInCLocale();
    halyx::RaiseOpenFileLimit();
    // A log that reaches the file-size limit must fail its write, be reported and keep its
    // events, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);

    std::string ansHost = options.ansHost.value_or(kDefaultAnsHost);
    int ansPort = options.ansPort.value_or(halyx::kDefaultAnsPort);

    std::vector<std::string> lines;
    if (script != "-" && !ReadScript(script, lines, error)) {
        return Usage(error);
    }

    halyx::SeedRandomFromClock();

    // The name server comes first so that it outlives every client of this process.
    halyx::CNameServer nameServer;
    // --embedded-ans-port starts the embedded server without asking whether one answers: port 0
    // takes any free port, so that a demonstration never meets another name server.
    const bool startEmbedded =
        embeddedAns && (embeddedPort >= 0 || !NameServerAnswers(ansHost, ansPort));
    if (startEmbedded) {
        const int listenPort = embeddedPort >= 0 ? embeddedPort : ansPort;
        if (!nameServer.listen(QHostAddress::LocalHost, static_cast<quint16>(listenPort), error)) {
            std::fprintf(stderr, "halyx-command: cannot start the embedded name server: %s\n",
                         error.c_str());
            return 1;
        }
        ansHost = kDefaultAnsHost;
        ansPort = nameServer.port();
        halyx::CHeadlessConsole::Print("NAMESERVER embedded, listening on 127.0.0.1:" +
                                       std::to_string(ansPort));
    }

    halyx::CScenario scenario;
    halyx::LoadStartScenario(scenario);

    halyx::CExperimentLog log;
    halyx::CHalyxCommand agent(halyx::AgentScenario::Of(scenario), log);
    agent.set_debug_sink(
        [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    halyx::CNetContainer container(agent);
    if (container.CreateContainer(argc, argv, 1) == 0) {
        halyx::CHeadlessConsole::Print("MESSAGE: Unable to start agent!");
        if (!headless) {
            QMessageBox::critical(nullptr, QStringLiteral("HalyxCommand"),
                                  QStringLiteral("Unable to start agent!"));
        }
        return 1;
    }
    const int agentPort = container.get_communicator()->get_port();
    if (allowedHosts.empty() && !headless) {
        // The desktop keeps the list between runs (Network/AllowedHosts in its settings).
        allowedHostsText =
            halyx::CSettings::Text(QStringLiteral("Network/AllowedHosts"), QString()).toStdString();
        std::string why;
        if (!allowedHostsText.empty() &&
            !halyx::CTcpCommunicator::ParseAllowedHosts(allowedHostsText, allowedHosts, why)) {
            std::fprintf(stderr, "halyx-command: the stored allowed hosts are ignored: %s\n",
                         why.c_str());
            allowedHosts.clear();
        }
    }
    if (!allowedHosts.empty()) {
        container.tcp_communicator()->set_allowed_hosts(allowedHosts);
        halyx::CHeadlessConsole::Print("ALLOW-HOSTS " + allowedHostsText);
    }
    agent.SetAutoReinit(autoReinit);

    // Maps the stations can fetch from their own machines (see docs/across-machines.md). The
    // name this console registered under is asked when an address is first needed.
    std::function<std::string()> registeredName;
    halyx::CMapServer mapServer;
    mapServer.SetLog(
        [](const std::string& line) { halyx::CHeadlessConsole::Print("MAPSERVER " + line); });
    halyx::CMapAddresses mapAddresses(mapServer);
    if (!mapServerUrl.empty()) {
        mapAddresses.UseServer(mapServerUrl);
        halyx::CHeadlessConsole::Print("MAPSERVER elsewhere: " + mapServerUrl);
    } else if (serveMaps) {
        if (!mapAddresses.Serve(halyx::DefaultMapFolder(), options.bind, agentPort, error)) {
            std::fprintf(stderr, "halyx-command: cannot start the map server: %s\n", error.c_str());
            return 1;
        }
        halyx::CHeadlessConsole::Print("MAPSERVER listening on " +
                                       (options.bind.empty() ? std::string("*") : options.bind) +
                                       ":" + std::to_string(mapServer.Port()) + ", " +
                                       std::to_string(mapServer.FileCount()) + " maps");
    }
    // The desktop keeps the observer page on or off between runs; a flag wins for this run.
    if (!observer && !headless) {
        observer = halyx::StoredObserverOptions();
    }
    // What the Mission Picture window and the observer page draw, as the mission runs.
    // The scripted console without the page leaves it out: it would only cost time and memory.
    std::unique_ptr<halyx::CMissionFollower> follower;
    if (!headless || (observer && observer->enabled)) {
        follower = std::make_unique<halyx::CMissionFollower>(scenario, agent, log);
    }
    std::unique_ptr<halyx::CObserverFeed> observerFeed;
    if (observer && observer->enabled) {
        observerFeed = halyx::OpenObserver(mapServer, *follower, *observer, options.bind, error);
        if (!observerFeed) {
            std::fprintf(stderr, "halyx-command: cannot start the observer page: %s\n",
                         error.c_str());
            return 1;
        }
    }
    if (mapAddresses.Active()) {
        agent.SetMapAddressResolver([&](const std::string& address) {
            return mapAddresses.Resolve(address, [&] {
                std::string host;
                std::string port;
                const std::string name = registeredName ? registeredName() : std::string();
                return !name.empty() && agent.LookupStation(name, host, port) ? host
                                                                              : std::string();
            });
        });
    }

    if (!headless) {
        return RunDesktop(*app, scenario, log, agent, container, registeredName, teamOnly,
                          startEmbedded || options.ansHost.has_value(),
                          agentGiven ? agentName : std::string(), ansHost, ansPort, agentPort,
                          *follower);
    }

    halyx::CHeadlessConsole console(scenario, log, agent, container);
    console.SetDefaultAnswer(defaultAnswer);
    console.SetClockEvery(clockEvery);
    agent.SetMainWindow(&console.Page());
    if (follower) {
        follower->SetPlaybackQuery([&console] { return console.Page().IsPlaybackMode(); });
    }
    registeredName = [&console] { return console.Page().AgentName(); };
    if (teamOnly) {
        console.Page().SetTeamOnly(true);
    }
    const int baseTickMs = container.get_tick_interval();
    console.Page().SetSpeedHandler([&container, baseTickMs](int factor) {
        container.set_tick_interval(std::max(1, baseTickMs / std::max(1, factor)));
    });
    console.Page().FillRegistrationFields(agentName, agentPort, ansHost, ansPort);
    halyx::CHeadlessConsole::Print(
        "READY " + agentName + " port " + std::to_string(container.get_communicator()->get_port()) +
        " tick " + std::to_string(container.get_tick_interval()) + " ms");

    std::unique_ptr<QSocketNotifier> signalNotifier;
    InstallSignalPipe(signalNotifier, [&console](int signal) { console.Interrupt(128 + signal); });

    if (script == "-") {
        console.RunStdin();
    } else {
        console.RunScript(std::move(lines));
    }
    return app->exec();
}
