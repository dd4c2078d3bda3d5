// halyx-ans: the agent name server. Agents register their name, host and port here and look
// each other up; a registration ends when the agent's connection closes.
//
//   halyx-ans [--port N] [--bind ADDRESS] [--names FILE] [--state FILE] [--grace SECONDS]
//
// --names FILE binds names to hosts ("NAME HOST" lines, "PREFIX* HOST" for every name that
// starts with PREFIX): a bound name is refused to any other host. A host given by name is looked
// up once at start. --state FILE keeps the registrations across a restart: a restarted server
// answers lookups as before and gives each name back only to its owner's host, for --grace
// seconds (default 60), after which a name whose owner has not come back is dropped.
//
// Prints "listening on ADDRESS:PORT" once ready (with --port 0 the port is the one the system
// chose), then one line per registration change, flushed.

#include "common/numericlocale.h"
#include "common/openfiles.h"
#include "external/agentkit/nameregistry.h"
#include "external/agentkit/net/nameserver.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QHostInfo>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Print(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int Usage(const char* why) {
    std::fprintf(stderr,
                 "halyx-ans: %s\nusage: halyx-ans [--port N] [--bind ADDRESS] [--names FILE] "
                 "[--state FILE] [--grace SECONDS]\n",
                 why);
    return 2;
}

// The answer to --help, on standard output (the manual page is made from it).
int Help() {
    std::fputs("Usage: halyx-ans [OPTIONS]\n"
               "\n"
               "The agent name server: agents register their name, host and port here and look\n"
               "up each other's.\n"
               "\n"
               "Options:\n"
               "  --port N           port to listen on (default 6677)\n"
               "  --bind ADDRESS     listen on this address only (default: every interface)\n"
               "  --names FILE       bind names to hosts: lines \"NAME HOST\" or \"PREFIX* HOST\"\n"
               "  --state FILE       keep the registrations across a restart in FILE\n"
               "  --grace SECONDS    how long a kept name waits for its owner (default 60)\n"
               "  -h, --help         print this help and exit\n"
               "\n"
               "Exit status: 0 stopped normally, 1 could not start, 2 wrong usage.\n",
               stdout);
    return 0;
}

// The names file, with every host given by name replaced by its addresses (the server compares
// a registration's peer address with them).
bool ReadBindings(const std::string& path, std::vector<halyx::CNameRegistry::Binding>& out,
                  std::string& error) {
    QFile file(QString::fromLocal8Bit(path.c_str()));
    if (!file.open(QIODevice::ReadOnly)) {
        error = "cannot read " + path + ": " + file.errorString().toStdString();
        return false;
    }
    const QByteArray text = file.read(qint64{4} << 20);
    std::vector<halyx::CNameRegistry::Binding> bindings;
    if (!halyx::CNameRegistry::parse_bindings(
            std::string_view(text.constData(), static_cast<std::size_t>(text.size())), bindings,
            error)) {
        error = path + ": " + error;
        return false;
    }
    out.clear();
    for (const halyx::CNameRegistry::Binding& binding : bindings) {
        const QString host = QString::fromStdString(binding.host);
        QHostAddress address;
        if (address.setAddress(host)) {
            out.push_back(binding);
            continue;
        }
        const QHostInfo info = QHostInfo::fromName(host);
        if (info.addresses().isEmpty()) {
            error = path + ": unknown host " + binding.host;
            return false;
        }
        for (const QHostAddress& found : info.addresses()) {
            out.push_back({binding.pattern, found.toString().toStdString()});
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    halyx::KeepNumbersInCLocale();
    halyx::RaiseOpenFileLimit();
    int port = halyx::kDefaultAnsPort;
    QHostAddress bind(QHostAddress::Any);
    std::string namesPath;
    std::string statePath;
    int graceSeconds = 60;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--port" || arg == "--bind" || arg == "--names" || arg == "--state" ||
             arg == "--grace") &&
            i + 1 >= argc) {
            return Usage((arg + " needs a value").c_str());
        }
        if (arg == "--port") {
            const std::string value = argv[++i];
            if (value.empty() || value.size() > 5 ||
                value.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(value) > 65535) {
                return Usage(("bad port: " + value).c_str());
            }
            port = std::stoi(value);
        } else if (arg == "--bind") {
            if (!bind.setAddress(QString::fromLocal8Bit(argv[++i]))) {
                return Usage((std::string("not an address: ") + argv[i]).c_str());
            }
        } else if (arg == "--names") {
            namesPath = argv[++i];
        } else if (arg == "--state") {
            statePath = argv[++i];
        } else if (arg == "--grace") {
            const std::string value = argv[++i];
            if (value.empty() || value.size() > 6 ||
                value.find_first_not_of("0123456789") != std::string::npos) {
                return Usage(("bad grace period: " + value).c_str());
            }
            graceSeconds = std::stoi(value);
        } else if (arg == "--help" || arg == "-h") {
            return Help();
        } else {
            return Usage(("unknown option " + arg).c_str());
        }
    }
    halyx::CNameServer server;
    server.set_log(Print);
    std::string error;
    if (!namesPath.empty()) {
        std::vector<halyx::CNameRegistry::Binding> bindings;
        if (!ReadBindings(namesPath, bindings, error)) {
            std::fprintf(stderr, "halyx-ans: %s\n", error.c_str());
            return 1;
        }
        server.registry().set_bindings(std::move(bindings));
    }
    server.registry().set_grace(std::chrono::seconds(graceSeconds));
    if (!statePath.empty() && !server.set_state_file(statePath, error)) {
        std::fprintf(stderr, "halyx-ans: %s\n", error.c_str());
        return 1;
    }
    if (!server.listen(bind, static_cast<quint16>(port), error)) {
        std::fprintf(stderr, "halyx-ans: cannot listen on port %d: %s\n", port, error.c_str());
        return 1;
    }
    Print("listening on " + server.address().toString().toStdString() + ":" +
          std::to_string(server.port()));
    return app.exec();
}
