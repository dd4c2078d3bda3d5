#pragma once

// The console against the embedded name server and three synthetic stations on loopback, as the
// mission test and the user guide's pictures both need it.

#include "agent/halyxcommand.h"
#include "desktop/halyxcommanddlg.h"
#include "desktop/initpagewidget.h"
#include "external/agentkit/net/nameserver.h"
#include "external/agentkit/net/netcontainer.h"
#include "record/experimentlog.h"
#include "scenario/scenario.h"
#include "ui/consolewiring.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

namespace halyx::test {

class CMissionRig {
public:
    static constexpr const char* kStations[] = {"ALPHA", "BRAVO", "CHARLIE"};

    ~CMissionRig() {
        window.reset();
        container.reset();
        agent.reset();
        for (auto& process : stations) {
            process->terminate();
            process->waitForFinished(5000);
        }
    }

    // Starts the server, the stations (their output in folder) and the console with its window
    // shown and the registration fields filled; returns what failed, or an empty text. The
    // stations are load tools sending random commands, or with seats bot seats (which answer
    // probes); the last station gets lastStationArgs besides.
    std::string Start(const QString& folder, const QString& stationProgram, int firstSeed,
                      const char* tickMs, bool seats = false,
                      const QStringList& lastStationArgs = {}) {
        std::string error;
        if (!nameServer.listen(QHostAddress::LocalHost, 0, error)) {
            return "name server: " + error;
        }
        for (int s = 0; s < 3; ++s) {
            auto process = std::make_unique<QProcess>();
            const QString name = QString::fromUtf8(kStations[s]);
            const QString out = folder + QLatin1Char('/') + name;
            process->setStandardOutputFile(out + QStringLiteral(".out"));
            process->setStandardErrorFile(out + QStringLiteral(".err"));
            QStringList args = seats ? QStringList{"--seat", name + QStringLiteral("=bot")}
                                     : QStringList{"--name", name, "--behaviour", "active"};
            args << "--ans" << QStringLiteral("127.0.0.1:%1").arg(nameServer.port()) << "--seed"
                 << QString::number(firstSeed + s);
            if (s == 2) {
                args += lastStationArgs;
            }
            process->start(stationProgram, args);
            if (!process->waitForStarted(10000)) {
                return "a station did not start";
            }
            stations.push_back(std::move(process));
        }
        // The stations register with the server of this process: the loop must run meanwhile.
        const bool ready = QTest::qWaitFor(
            [&] {
                for (const char* name : kStations) {
                    QFile out(folder + QLatin1Char('/') + QString::fromUtf8(name) + ".out");
                    if (!out.open(QIODevice::ReadOnly) || !out.readAll().contains("READY")) {
                        return false;
                    }
                }
                return true;
            },
            30000);
        if (!ready) {
            return "the stations did not register";
        }
        LoadStartScenario(scenario);
        agent = std::make_unique<CHalyxCommand>(AgentScenario::Of(scenario), log);
        agent->set_debug_sink([](const std::string&) {});
        container = std::make_unique<CNetContainer>(*agent);
        char program[] = "console";
        char tickOption[] = "--tick-ms";
        std::string tick = tickMs;
        char* argv[] = {program, tickOption, tick.data(), nullptr};
        if (container->CreateContainer(3, argv, 1) == 0) {
            return "Unable to start agent!";
        }
        window = std::make_unique<CHalyxCommandDlg>(scenario, *agent, log);
        window->InitPage()->Presenter().FillRegistrationFields(
            "Lab-HalyxCommand", container->get_communicator()->get_port(), "127.0.0.1",
            nameServer.port());
        window->show();
        return QTest::qWaitForWindowExposed(window.get()) ? "" : "the window did not appear";
    }

    CNameServer nameServer;
    std::vector<std::unique_ptr<QProcess>> stations;
    CScenario scenario;
    CExperimentLog log;
    std::unique_ptr<CHalyxCommand> agent;
    std::unique_ptr<CNetContainer> container;
    std::unique_ptr<CHalyxCommandDlg> window;
};

} // namespace halyx::test
