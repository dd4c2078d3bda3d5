// halyx-ans: the agent name server. Agents register their name, host and port here and look
// each other up; a registration ends when the agent's connection closes.
//
//   halyx-ans [--port N] [--bind ADDRESS]
//
// Prints "listening on ADDRESS:PORT" once ready (with --port 0 the port is the one the system
// chose), then one line per registration change, flushed.

#include "common/numericlocale.h"
#include "external/agentkit/nameregistry.h"
#include "external/agentkit/net/nameserver.h"

#include <QCoreApplication>
#include <QHostAddress>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void Print(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int Usage(const char* why) {
    std::fprintf(stderr, "halyx-ans: %s\nusage: halyx-ans [--port N] [--bind ADDRESS]\n", why);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    halyx::KeepNumbersInCLocale();
    int port = halyx::kDefaultAnsPort;
    QHostAddress bind(QHostAddress::Any);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--port" || arg == "--bind") && i + 1 >= argc) {
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
        } else if (arg == "--help" || arg == "-h") {
            Usage("the agent name server");
            return 0;
        } else {
            return Usage(("unknown option " + arg).c_str());
        }
    }
    halyx::CNameServer server;
    server.set_log(Print);
    std::string error;
    if (!server.listen(bind, static_cast<quint16>(port), error)) {
        std::fprintf(stderr, "halyx-ans: cannot listen on port %d: %s\n", port, error.c_str());
        return 1;
    }
    Print("listening on " + server.address().toString().toStdString() + ":" +
          std::to_string(server.port()));
    return app.exec();
}
