#pragma once

// The console against the embedded name server and three synthetic stations on loopback, as the
// mission test and the user guide's pictures both need it.

#include "agent/halyxcommand.h"
#include "desktop/halyxcommanddlg.h"
#include "desktop/initpagewidget.h"
#include "desktop/savelogdialog.h"
#include "external/agentkit/net/nameserver.h"
#include "external/agentkit/net/netcontainer.h"
#include "record/experimentlog.h"
#include "scenario/scenario.h"
#include "ui/consolewiring.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <functional>

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

    // Registers and waits until the three stations are listed; with addTeam they join the team.
    bool RegisterStations(bool addTeam) {
        CInitPage& page = window->InitPage()->Presenter();
        page.Register();
        const bool listed = QTest::qWaitFor(
            [&] {
                page.RefreshList();
                return page.AgentList().size() >= 3;
            },
            20000);
        for (const char* name : kStations) {
            if (addTeam) {
                page.SelectAgent(name);
                page.AddClient();
            }
        }
        return listed;
    }

    // Initializes, answering the log's save dialog once fill has had it, waits until the three
    // stations are initialized and starts the mission.
    bool InitializeAndStart(const std::function<void(CSaveLogDialog&)>& fill, int waitMs) {
        CInitPage& page = window->InitPage()->Presenter();
        QTimer dialogWatch;
        dialogWatch.setInterval(20);
        QObject::connect(&dialogWatch, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<CSaveLogDialog*>(QApplication::activeModalWidget())) {
                dialogWatch.stop();
                fill(*dialog);
                dialog->accept();
            }
        });
        dialogWatch.start();
        page.InitializeSimulation();
        const bool initialized = QTest::qWaitFor(
            [&] {
                return page.Stations().size() == 3 &&
                       page.Stations()[2].status == CInitPage::kInitialized;
            },
            waitMs);
        page.StartSimulation();
        return initialized;
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
