// halyx-station: a synthetic station for tests, demonstrations and pilot runs.
//
//   halyx-station --name NAME [--ans HOST:PORT] [--seed N] [--behaviour quiet|active]
//                 [--flood N] [--to NAME] [--no-echo] [--register-timeout-ms N]
//                 [framework options: --port, --bind, --host, --send-timeout-ms]
//
// Output, one line each, flushed:
//   READY <name> <port>        registered at the name server, listening on port
//   MAP <address> <n> bytes    the map address of init_sim was read (MAP <address> ERROR <why>
//                              when it could not be; --no-fetch-maps leaves maps alone)
//   RECV <message>             a message received, as it arrived
//   SEND <message>             a message sent, as written on the wire
//   FLOOD <n> commands to <r>  a flood was handed to the communicator
//   DIAG <text>                a diagnostic of the framework
//   ERROR <text>               a fault; the program ends with status 1 when it cannot go on
// Line breaks inside a message are shown as \n (and \r), so that each message stays one line.

#include "stationagent.h"

#include "common/numericlocale.h"
#include "external/agentkit/ansclient.h"
#include "external/agentkit/containeroptions.h"
#include "external/agentkit/net/netcontainer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <optional>
#include <string>

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
                 "halyx-station: %s\nusage: halyx-station --name NAME [--ans HOST:PORT] "
                 "[--seed N] [--behaviour quiet|active] [--flood N] [--to NAME] [--no-echo]\n"
                 "       [--no-fetch-maps]\n",
                 why.c_str());
    return 2;
}

// The answer to --help, on standard output (the manual page is made from it).
int Help() {
    std::fputs("Usage: halyx-station --name NAME [OPTIONS]\n"
               "\n"
               "A synthetic station for tests, demonstrations and pilot runs: it registers with\n"
               "the name server, answers the console's commands and prints what it sends and\n"
               "receives.\n"
               "\n"
               "Options:\n"
               "  --name NAME              the station's registration name (required)\n"
               "  --ans HOST:PORT          the name server (default localhost:6677)\n"
               "  --seed N                 seed of the active behaviour, so that a run repeats\n"
               "  --behaviour quiet|active quiet only answers; active also sends commands\n"
               "  --flood N                send N commands at once\n"
               "  --to NAME                the receiver of the flood (default: the console)\n"
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

// What the command line asks for.
struct StationOptions {
    std::string name;
    std::string target;
    long long seed = 1;
    long long flood = 0;
    long long registerTimeoutMs = 10000;
    bool echo = true;
    bool fetchMaps = true;
    halyx::StationBehaviour behaviour = halyx::StationBehaviour::Quiet;
};

// One of our options that takes a value; the exit status when the value is refused.
std::optional<int> TakeValue(const std::string& arg, const std::string& value,
                             StationOptions& options) {
    if (arg == "--name") {
        options.name = value;
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
        const bool takesValue = arg == "--name" || arg == "--seed" || arg == "--behaviour" ||
                                arg == "--flood" || arg == "--to" || arg == "--register-timeout-ms";
        if (takesValue) {
            if (i + 1 >= argc) {
                return Usage(arg + " needs a value");
            }
            if (const std::optional<int> status = TakeValue(arg, argv[++i], options)) {
                return status;
            }
        } else if (arg == "--no-echo") {
            options.echo = false;
        } else if (arg == "--no-fetch-maps") {
            options.fetchMaps = false;
        } else if (arg == "--help" || arg == "-h") {
            return Help();
        } else if (halyx::IsContainerOption(arg)) {
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
    if (options.name.empty()) {
        return Usage("--name is required");
    }
    halyx::CContainerOptions container;
    std::string error;
    if (!halyx::ParseContainerOptions(argc, argv, container, error)) {
        return Usage(error);
    }
    return std::nullopt;
}

// Prints the traffic (unless --no-echo) and the registration's changes.
void PrintWhatHappens(halyx::CCommunicator* comm, const StationOptions& options) {
    if (options.echo) {
        comm->set_traffic_observer([](halyx::KqmlTraffic direction, const std::string& text) {
            Print((direction == halyx::KqmlTraffic::Incoming ? "RECV " : "SEND ") + OneLine(text));
        });
    }
    // A restarted name server starts empty: the client registers again by itself and says so.
    comm->retrieve_ans_object()->set_state_observer(
        [name = options.name](halyx::RegistrationState state, const std::string& detail) {
            if (state == halyx::RegistrationState::Registered) {
                Print("REGISTERED " + name + " again");
            } else {
                Print("REGISTRATION lost, retrying: " + OneLine(detail));
            }
        });
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    halyx::KeepNumbersInCLocale();
    StationOptions options;
    if (const std::optional<int> status = ReadOptions(argc, argv, options)) {
        return *status;
    }
    const std::string& name = options.name;

    halyx::CStationAgent agent(name, options.behaviour, static_cast<std::uint64_t>(options.seed),
                               Print);
    agent.set_debug_sink([](const std::string& line) { Print("DIAG " + OneLine(line)); });
    agent.set_fetch_maps(options.fetchMaps);
    halyx::CNetContainer container(agent);
    if (container.CreateContainer(argc, argv, 0) == 0) {
        Print("ERROR unable to start the agent");
        return 1;
    }
    halyx::CCommunicator* comm = container.get_communicator();
    PrintWhatHappens(comm, options);
    comm->set_name(name);

    // The name server may still be starting: registration is tried again for a while.
    QElapsedTimer since;
    since.start();
    QTimer retry;
    retry.setInterval(250);
    bool ready = false;
    const auto tryRegister = [&] {
        halyx::CANSClient* ans = comm->retrieve_ans_object();
        if (ans->enable(1)) {
            retry.stop();
            ready = true;
            Print("READY " + name + " " + std::to_string(comm->get_port()));
            if (options.flood > 0 && !options.target.empty()) {
                agent.Flood(options.target, static_cast<int>(options.flood));
                Print("FLOOD " + std::to_string(options.flood) + " commands to " + options.target);
            } else if (options.flood > 0) {
                agent.set_pending_flood(static_cast<int>(options.flood));
            }
            return;
        }
        if (since.elapsed() > options.registerTimeoutMs) {
            Print("ERROR cannot register " + name + ": " + ans->last_error());
            QCoreApplication::exit(1);
        }
    };
    QObject::connect(&retry, &QTimer::timeout, &retry, tryRegister);
    QTimer::singleShot(0, &retry, [&] {
        tryRegister();
        if (!ready) {
            retry.start();
        }
    });
    return app.exec();
}
