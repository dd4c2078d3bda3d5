// Renders the window at the end of a mission (the decision shown until Reset) for the user
// guide, with stations played by an in-memory communicator:
//
//   QT_QPA_PLATFORM=offscreen build/bin/mission_end_screenshot docs/screenshots/mission-end.png
#include "agent/halyxcommand.h"
#include "desktop/halyxcommanddlg.h"
#include "desktop/initpagewidget.h"
#include "external/agentkit/memorycommunicator.h"
#include "external/agentkit/nameregistry.h"
#include "picture.h"
#include "record/experimentlog.h"
#include "scenario/scenario.h"
#include "ui/consolewiring.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    using namespace halyx;
    // The log goes to a scratch home, never to the user's.
    const QString home = QDir::temp().filePath(QStringLiteral("halyx_mission_end"));
    QDir(home).removeRecursively();
    qputenv("HALYX_HOME", home.toLocal8Bit());
    QApplication app(argc, argv);
    StartPicture("mission_end_screenshot");
    const QString out =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("mission-end.png");

    CScenario scenario;
    LoadStartScenario(scenario);
    CExperimentLog log;
    CHalyxCommand agent(AgentScenario::Of(scenario), log);
    agent.set_debug_sink([](const std::string&) {});
    CNameRegistry registry;
    CMemoryCommunicator comm(agent, &registry);
    CHalyxCommandDlg window(scenario, agent, log);
    window.resize(1366, 768);
    window.show();
    CInitPage& page = window.InitPage()->Presenter();

    const char* const team[] = {"ALPHA", "BRAVO", "CHARLIE"};
    const auto connection = registry.open_connection("10.1.1.1");
    int port = 7100;
    for (const char* name : team) {
        registry.handle_request("(register :name " + std::string(name) + " :port " +
                                    std::to_string(port++) + ")",
                                connection);
    }
    page.FillRegistrationFields("Lab-HalyxCommand", comm.get_port(), "127.0.0.1", 6677);
    page.Register();
    for (const char* name : team) {
        page.SelectAgent(name);
        page.AddClient();
    }
    // Any question is answered yes; the save dialog is taken as it stands.
    QTimer answers;
    QObject::connect(&answers, &QTimer::timeout, [] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)->click() : box->accept();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->accept();
        }
    });
    answers.start(20);
    page.InitializeSimulation();
    for (const char* name : team) {
        comm.deliver_from(name, "tell", "tell :command init_sim");
    }
    comm.deliver_from("ALPHA", "tell", "tell :command update_go_nogo_status :status go");
    comm.deliver_from("BRAVO", "tell", "tell :command update_go_nogo_status :status go");
    page.StartSimulation();
    agent.SeekPlayback(CHalyxCommand::kLaunchWindow);
    agent.process_clock_tick();
    answers.stop();
    window.InitPage()->Refresh();
    QCoreApplication::processEvents();
    const bool saved = window.grab().save(out);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(out));
    agent.CloseExperimentLog();
    return saved ? 0 : 1;
}
