// The Study page after the first run of a two-run plan, for docs/studies.md:
//
//   QT_QPA_PLATFORM=offscreen build/bin/study_picture docs/screenshots/10-study.png
//
// It starts the embedded name server and three synthetic stations on loopback, opens the plan,
// prepares and runs its first run to the end through the window, and grabs the page.
#include "missionrig.h"
#include "picture.h"

#include "desktop/savelogdialog.h"
#include "desktop/studypagewidget.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenariofileset.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTableView>

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    using namespace halyx;
    QApplication app(argc, argv);
    StartPicture("study_picture");
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("10-study.png");
    const QString work = ScratchHome("halyx_study_picture");
    const std::string home = work.toStdString() + "/";
    CScenario scenario;
    LoadDefaultScenario(scenario);
    if (!SaveScenarioAs("easy", home + "scen/easy/", scenario)) {
        return 1;
    }
    std::ofstream(home + "plan.csv") << "run,team,block,scenario,mode,stations,notes\n"
                                        "1,T01,B1,scen/easy/easy.hsf,multi,ALPHA BRAVO CHARLIE,\n"
                                        "2,T01,B2,scen/easy/easy.hsf,single,DELTA,\n";

    test::CMissionRig rig;
    const std::string failed = rig.Start(
        work, QCoreApplication::applicationDirPath() + QStringLiteral("/halyx-station"), 11, "5");
    if (!failed.empty()) {
        std::fprintf(stderr, "%s\n", failed.c_str());
        return 1;
    }
    CHalyxCommandDlg& window = *rig.window;
    window.resize(1366, 768);
    auto* study = dynamic_cast<CStudyPageWidget*>(window.Pages().back());
    rig.RegisterStations(false);
    if (study == nullptr || !study->OpenPlan(QString::fromStdString(home + "plan.csv"))) {
        return 1;
    }
    study->findChild<QPushButton*>(QStringLiteral("Prepare Next Run"))->click();

    // The save dialog proposes the run's log name: accepted as it is.
    rig.InitializeAndStart([](CSaveLogDialog&) {}, 30000);
    auto* runs = study->findChild<QTableView*>(QStringLiteral("Runs"));
    (void)QTest::qWaitFor(
        [&] {
            return runs->model()->index(0, CStudyTableModel::kState).data().toString() ==
                   QStringLiteral("done");
        },
        120000);
    window.Sheet()->setCurrentWidget(study);
    QTest::qWait(100);
    const bool saved = window.grab().save(out);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(out));
    return saved ? 0 : 1;
}
