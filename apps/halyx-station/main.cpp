// halyx-station: the stations of a team, without a person: seats played by bots, and the load
// tool that sends random commands.
//
//   halyx-station --seat NAME=bot|web|idle [--seat ...] [--seed N] [--picture team|own]
//                 [--web-port P] [--bind ADDRESS]
//   halyx-station --name NAME [--behaviour quiet|active] [--flood N] [--to NAME]
//                 [--ans HOST:PORT] [--no-echo] [--register-timeout-ms N]
//                 [framework options: --port, --bind, --host, --send-timeout-ms]
//
// Output, one line each, flushed:
//   READY <name> <port>        registered at the name server, listening on port
//   SEAT <name> <address>      a web seat's page, with its key
//   AWAY <name> / BACK <name>  a web seat's browser went away / came back (console told)
//   TEAM <seat> minute <m> <what>  a seat heard from a teammate (at the seat's minute m)
//   NOTE <seat> <text>         a seat refused or could not read something
//   MAP <address> <n> bytes    the map address of init_sim was read (MAP <address> ERROR <why>
//                              when it could not be; --no-fetch-maps leaves maps alone)
//   PICTURE <address> <w>x<h> <n> bytes in <ms> ms   a web seat's map picture was drawn
//                              (PICTURE <address> ERROR <why> when the map does not read)
//   RECV <message>             a message received, as it arrived
//   SEND <message>             a message sent, as written on the wire
//   FLOOD <n> commands to <r>  a flood was handed to the communicator
//   DIAG <text>                a diagnostic of the framework
//   ERROR <text>               a fault; the program ends with status 1 when it cannot go on
// Line breaks inside a message are shown as \n (and \r), so that each message stays one line.

#include "seatagent.h"
#include "seatmaps.h"
#include "seatweb.h"
#include "stationagent.h"

#include "common/numericlocale.h"
#include "external/agentkit/ansclient.h"
#include "external/agentkit/containeroptions.h"
#include "external/agentkit/net/netcontainer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkInterface>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

void Print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string OneLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

int Usage(const std::string& why) {
    std::fprintf(stderr,
                 "halyx-station: %s\nusage: halyx-station --seat NAME=bot ... [--seed N] "
                 "[--picture team|own]\n"
                 "       halyx-station --name NAME [--ans HOST:PORT] "
                 "[--seed N] [--behaviour quiet|active] [--flood N] [--to NAME] [--no-echo]\n"
                 "       [--no-fetch-maps]\n",
                 why.c_str());
    return 2;
}

// The answer to --help, on standard output (the manual page is made from it).
int Help() {
    std::fputs("Usage: halyx-station --seat NAME=bot [--seat NAME=bot ...] [OPTIONS]\n"
               "       halyx-station --name NAME [OPTIONS]\n"
               "\n"
               "Stations without a person, for sessions, demonstrations and tests. Each --seat\n"
               "is one seat of the team, registered with the name server under NAME and played\n"
               "by a bot that follows the rules of the game (docs/stations.md); one program may\n"
               "run several. --name starts the load tool instead: a station that answers the\n"
               "console and, with --behaviour active, sends random commands. Both print what\n"
               "they send and receive.\n"
               "\n"
               "Options:\n"
               "  --seat NAME=bot          a seat played by a bot (repeatable); NAME=idle keeps\n"
               "                           the seat's state and answers, but plays nothing;\n"
               "                           NAME=web is played by a person in a browser, at the\n"
               "                           address printed as SEAT NAME http://...\n"
               "  --web-port N             the web seats' port (default 0: any free port)\n"
               "  --picture team|own       what a seat sees of its teammates' radar contacts:\n"
               "                           the whole team's (default) or its own radars' only\n"
               "  --name NAME              the load tool's registration name\n"
               "  --ans HOST:PORT          the name server (default localhost:6677)\n"
               "  --seed N                 seed of the bots and of the load tool, so that a run\n"
               "                           repeats\n"
               "  --behaviour quiet|active load tool: quiet only answers; active also sends\n"
               "                           random commands\n"
               "  --flood N                send N commands at once\n"
               "  --to NAME                the receiver of the flood (default: the console)\n"
               "  --answer-errors PERCENT  how many of the bots' answers to probes are wrong\n"
               "                           (default 0)\n"
               "  --no-probes              the seats ignore probes, as a station that does not\n"
               "                           know them\n"
               "  --no-echo                leave out the RECV and SEND lines\n"
               "  --no-fetch-maps          do not fetch the map files the console names\n"
               "  --register-timeout-ms N  give up registering after N ms (default 10000)\n"
               "  --port N, --bind ADDRESS, --host NAME, --tick-ms N, --send-timeout-ms N\n"
               "                           the agent's network and clock settings\n"
               "  -h, --help               print this help and exit\n"
               "\n"
               "Exit status: 0 stopped normally, 1 could not start or register, 2 wrong usage.\n",
               stdout);
    return 0;
}

bool ReadCount(const std::string& text, long long high, long long& value) {
    if (text.empty() || text.size() > 18 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::stoll(text);
    return value <= high;
}

enum class SeatKind { Bot, Idle, Web };

struct SeatOption {
    std::string name;
    SeatKind kind = SeatKind::Bot;
};

// What the command line asks for.
struct StationOptions {
    std::string name;
    std::vector<SeatOption> seats;
    halyx::TeamPicture picture = halyx::TeamPicture::Team;
    long long webPort = 0;
    std::string bind = "127.0.0.1";
    std::string target;
    long long seed = 1;
    long long flood = 0;
    long long registerTimeoutMs = 10000;
    long long answerErrors = 0; // percent of the bots' answers to probes that are wrong
    bool ignoreProbes = false;
    bool echo = true;
    bool fetchMaps = true;
    halyx::StationBehaviour behaviour = halyx::StationBehaviour::Quiet;
};

// One of our options that takes a value; the exit status when the value is refused.
std::optional<int> TakeValue(const std::string& arg, const std::string& value,
                             StationOptions& options) {
    if (arg == "--name") {
        options.name = value;
    } else if (arg == "--seat") {
        const std::size_t equals = value.rfind('=');
        const std::string kind = equals == std::string::npos ? "" : value.substr(equals + 1);
        const std::string name = equals == std::string::npos ? "" : value.substr(0, equals);
        if (equals == 0 || equals == std::string::npos ||
            (kind != "bot" && kind != "idle" && kind != "web") ||
            name.find_first_not_of(
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-") !=
                std::string::npos) {
            return Usage("a seat is NAME=bot, NAME=web or NAME=idle (NAME of letters, digits, _ "
                         "and -): " +
                         value);
        }
        options.seats.push_back({name, kind == "bot"   ? SeatKind::Bot
                                       : kind == "web" ? SeatKind::Web
                                                       : SeatKind::Idle});
    } else if (arg == "--web-port") {
        if (!ReadCount(value, 65535, options.webPort)) {
            return Usage("bad web port: " + value);
        }
    } else if (arg == "--picture") {
        if (value != "team" && value != "own") {
            return Usage("unknown picture " + value);
        }
        options.picture = value == "team" ? halyx::TeamPicture::Team : halyx::TeamPicture::Own;
    } else if (arg == "--to") {
        options.target = value;
    } else if (arg == "--seed") {
        if (!ReadCount(value, 1LL << 62, options.seed)) {
            return Usage("bad seed: " + value);
        }
    } else if (arg == "--flood") {
        if (!ReadCount(value, 100000000, options.flood)) {
            return Usage("bad flood count: " + value);
        }
    } else if (arg == "--answer-errors") {
        if (!ReadCount(value, 100, options.answerErrors)) {
            return Usage("bad answer error rate (a percentage): " + value);
        }
    } else if (arg == "--register-timeout-ms") {
        if (!ReadCount(value, 3600000, options.registerTimeoutMs)) {
            return Usage("bad time-out: " + value);
        }
    } else if (arg == "--behaviour") {
        if (value == "quiet") {
            options.behaviour = halyx::StationBehaviour::Quiet;
        } else if (value == "active") {
            options.behaviour = halyx::StationBehaviour::Active;
        } else {
            return Usage("unknown behaviour " + value);
        }
    }
    return std::nullopt;
}

// Our options and the framework's; the exit status when the program ends here (--help, or an
// option refused).
std::optional<int> ReadOptions(int argc, char** argv, StationOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool takesValue =
            arg == "--name" || arg == "--seed" || arg == "--behaviour" || arg == "--flood" ||
            arg == "--to" || arg == "--register-timeout-ms" || arg == "--seat" ||
            arg == "--picture" || arg == "--web-port" || arg == "--answer-errors";
        if (takesValue) {
            if (i + 1 >= argc) {
                return Usage(arg + " needs a value");
            }
            if (const std::optional<int> status = TakeValue(arg, argv[++i], options)) {
                return status;
            }
        } else if (arg == "--no-echo") {
            options.echo = false;
        } else if (arg == "--no-probes") {
            options.ignoreProbes = true;
        } else if (arg == "--no-fetch-maps") {
            options.fetchMaps = false;
        } else if (arg == "--help" || arg == "-h") {
            return Help();
        } else if (halyx::IsContainerOption(arg)) {
            // --bind is the framework's and the web seats' alike.
            if (arg == "--bind" && i + 1 < argc) {
                options.bind = argv[i + 1];
            } else if (arg.rfind("--bind=", 0) == 0) {
                options.bind = arg.substr(7);
            }
            // The framework's (see agentcontainer.h); its value is checked below.
            if (arg.find('=') == std::string::npos) {
                if (i + 1 >= argc) {
                    return Usage(arg + " needs a value");
                }
                ++i;
            }
        } else {
            return Usage("unknown option " + arg);
        }
    }
    if (options.name.empty() && options.seats.empty()) {
        return Usage("--name or --seat is required");
    }
    for (std::size_t i = 0; i < options.seats.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (options.seats[i].name == options.seats[j].name) {
                return Usage("seat " + options.seats[i].name + " twice");
            }
        }
    }
    halyx::CContainerOptions container;
    std::string error;
    if (!halyx::ParseContainerOptions(argc, argv, container, error)) {
        return Usage(error);
    }
    return std::nullopt;
}

// Prints the traffic (unless --no-echo) and the registration's changes.
void PrintWhatHappens(halyx::CCommunicator* comm, const std::string& name, bool echo) {
    if (echo) {
        comm->set_traffic_observer([](halyx::KqmlTraffic direction, const std::string& text) {
            Print((direction == halyx::KqmlTraffic::Incoming ? "RECV " : "SEND ") + OneLine(text));
        });
    }
    // A restarted name server starts empty: the client registers again by itself and says so.
    comm->retrieve_ans_object()->set_state_observer(
        [name](halyx::RegistrationState state, const std::string& detail) {
            if (state == halyx::RegistrationState::Registered) {
                Print("REGISTERED " + name + " again");
            } else {
                Print("REGISTRATION lost, retrying: " + OneLine(detail));
            }
        });
}

// One agent of the program, from its start to its registration.
struct RunningAgent {
    std::string name;
    std::unique_ptr<halyx::CBasicAgent> agent;
    std::unique_ptr<halyx::CNetContainer> container;
    std::unique_ptr<QTimer> retry;
    QElapsedTimer since;
    bool ready = false;
};

// The framework's options for one agent of several: they cannot all listen on one --port.
std::vector<char*> AgentArguments(int argc, char** argv, bool several) {
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (several && arg == "--port") {
            ++i;
        } else if (!several || arg.rfind("--port=", 0) != 0) {
            args.push_back(argv[i]);
        }
    }
    args.push_back(nullptr);
    return args;
}

// Starts the agent's container and registers it, trying again while the name server may still be
// starting. then runs once it is registered.
bool Start(RunningAgent& running, int argc, char** argv, bool several,
           const StationOptions& options, std::function<void()> then) {
    std::vector<char*> args = AgentArguments(argc, argv, several);
    running.agent->set_debug_sink([](const std::string& line) { Print("DIAG " + OneLine(line)); });
    running.container = std::make_unique<halyx::CNetContainer>(*running.agent);
    if (running.container->CreateContainer(static_cast<int>(args.size()) - 1, args.data(), 0) ==
        0) {
        Print("ERROR unable to start the agent " + running.name);
        return false;
    }
    halyx::CCommunicator* comm = running.container->get_communicator();
    PrintWhatHappens(comm, running.name, options.echo);
    comm->set_name(running.name);
    running.since.start();
    running.retry = std::make_unique<QTimer>();
    running.retry->setInterval(250);
    const auto tryRegister = [&running, comm, options, then] {
        halyx::CANSClient* ans = comm->retrieve_ans_object();
        if (ans->enable(1)) {
            running.retry->stop();
            running.ready = true;
            Print("READY " + running.name + " " + std::to_string(comm->get_port()));
            then();
            return;
        }
        if (running.since.elapsed() > options.registerTimeoutMs) {
            Print("ERROR cannot register " + running.name + ": " + ans->last_error());
            QCoreApplication::exit(1);
        }
    };
    QObject::connect(running.retry.get(), &QTimer::timeout, running.retry.get(), tryRegister);
    QTimer::singleShot(0, running.retry.get(), [&running, tryRegister] {
        tryRegister();
        if (!running.ready) {
            running.retry->start();
        }
    });
    return true;
}

// The host a subject's browser reaches the seats at: the bound address, or this machine's first
// network address when bound to all of them.
std::string WebHost(const QHostAddress& address) {
    if (address != QHostAddress::Any && address != QHostAddress::AnyIPv4 &&
        address != QHostAddress::AnyIPv6) {
        return address.toString().toStdString();
    }
    for (const QHostAddress& own : QNetworkInterface::allAddresses()) {
        if (!own.isLoopback() && own.protocol() == QAbstractSocket::IPv4Protocol) {
            return own.toString().toStdString();
        }
    }
    return "127.0.0.1";
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    halyx::KeepNumbersInCLocale();
    StationOptions options;
    if (const std::optional<int> status = ReadOptions(argc, argv, options)) {
        return *status;
    }
    const bool several = options.seats.size() + (options.name.empty() ? 0 : 1) > 1;
    // Before the agents and the web seats, which use it.
    halyx::CSeatMaps maps(Print,
                          std::any_of(options.seats.begin(), options.seats.end(),
                                      [](const SeatOption& s) { return s.kind == SeatKind::Web; }));
    std::vector<std::unique_ptr<RunningAgent>> agents;
    std::unique_ptr<halyx::CSeatWeb> web;

    for (std::size_t i = 0; i < options.seats.size(); ++i) {
        const SeatOption& seat = options.seats[i];
        halyx::CSeatOptions seatOptions;
        seatOptions.picture = options.picture;
        if (options.fetchMaps) {
            seatOptions.fetchMap = [&maps](const std::string& address) {
                return maps.Fetch(address);
            };
        }
        // Each bot its own seed, so that the seats of one program do not play alike.
        const std::optional<std::uint64_t> bot =
            seat.kind == SeatKind::Bot
                ? std::optional<std::uint64_t>(static_cast<std::uint64_t>(options.seed) + i)
                : std::nullopt;
        auto running = std::make_unique<RunningAgent>();
        running->name = seat.name;
        auto agent = std::make_unique<halyx::CSeatAgent>(seat.name, seatOptions, bot, Print);
        agent->SetMeasures(static_cast<double>(options.answerErrors) / 100.0, options.ignoreProbes);
        if (seat.kind == SeatKind::Web) {
            if (!web) {
                web = std::make_unique<halyx::CSeatWeb>(Print);
                web->SetMaps(maps);
            }
            if (!web->AddSeat(*agent)) {
                Print("ERROR the system gives no random bytes for the seats' keys");
                return 1;
            }
        }
        running->agent = std::move(agent);
        if (!Start(*running, argc, argv, several, options, [] {})) {
            return 1;
        }
        agents.push_back(std::move(running));
    }
    if (web) {
        const QHostAddress address(QString::fromStdString(options.bind));
        std::string error;
        if (address.isNull() ||
            !web->Listen(address, static_cast<quint16>(options.webPort), error)) {
            Print("ERROR " + (address.isNull() ? "bad address " + options.bind : error));
            return 1;
        }
        const std::string host = WebHost(address);
        for (const SeatOption& seat : options.seats) {
            if (seat.kind == SeatKind::Web) {
                Print("SEAT " + seat.name + " " + web->AddressOf(seat.name, host));
            }
        }
    }
    if (!options.name.empty()) {
        auto running = std::make_unique<RunningAgent>();
        running->name = options.name;
        auto station = std::make_unique<halyx::CStationAgent>(
            options.name, options.behaviour, static_cast<std::uint64_t>(options.seed), Print);
        station->set_fetch_maps(options.fetchMaps);
        halyx::CStationAgent* load = station.get();
        running->agent = std::move(station);
        const auto flood = [load, options] {
            if (options.flood > 0 && !options.target.empty()) {
                load->Flood(options.target, static_cast<int>(options.flood));
                Print("FLOOD " + std::to_string(options.flood) + " commands to " + options.target);
            } else if (options.flood > 0) {
                load->set_pending_flood(static_cast<int>(options.flood));
            }
        };
        if (!Start(*running, argc, argv, several, options, flood)) {
            return 1;
        }
        agents.push_back(std::move(running));
    }
    return app.exec();
}
