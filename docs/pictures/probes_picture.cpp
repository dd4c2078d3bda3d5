// The simulation control page during a freeze, for docs/measures.md:
//
//   QT_QPA_PLATFORM=offscreen build/bin/probes_picture docs/screenshots/20-probes-box.png [LOG]
//
// Three synthetic stations on loopback, CHARLIE's ignoring probes as a station that does not
// know them; a probe plan with a freeze at minute 30 and a rating every 10 minutes is loaded in
// the Probes box. The page is grabbed while the freeze waits for CHARLIE: ALPHA and BRAVO have
// answered and run again, CHARLIE's row reads Frozen (answering). The mission then runs on to
// minute 200; LOG, when given, is where the recorded log is copied (for its timeline).
#include "missionrig.h"
#include "picture.h"

#include "controls/filedialogs.h"
#include "desktop/probesbox.h"
#include "desktop/savelogdialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: probes_picture OUT.png [LOG]\n");
        return 2;
    }
    StartPicture("probes_picture");
    const QString work = ScratchHome("halyx_probes_picture");
    const QString plan = work + QStringLiteral("/probes.csv");
    {
        QFile file(plan);
        if (!file.open(QIODevice::WriteOnly)) {
            return 1;
        }
        file.write("kind,minute,seconds,id,text,answer,choices\n"
                   "freeze,30,30,contacts,How many incursions do your radars "
                   "see?,number:own_contacts,\n"
                   "freeze,30,30,minute,What minute is it?,number:minute~5,\n"
                   "freeze,150,5,minute,What minute is it?,number:minute~5,\n"
                   "inview,90,20,busy,How many of your interceptors are "
                   "active?,number:active_interceptors,\n"
                   "rating,10,3,,,,\n");
    }

    halyx::test::CMissionRig rig;
    const std::string failed =
        rig.Start(work, QCoreApplication::applicationDirPath() + QStringLiteral("/halyx-station"),
                  5, "100", true, {"--no-probes"});
    if (!failed.empty()) {
        std::fprintf(stderr, "%s\n", failed.c_str());
        return 1;
    }
    halyx::CHalyxCommandDlg& window = *rig.window;
    halyx::CHalyxCommand& agent = *rig.agent;
    window.resize(1366, 768);
    halyx::CInitPage& page = window.InitPage()->Presenter();
    auto* box = window.findChild<halyx::CProbesBox*>();
    if (box == nullptr || !box->LoadPlan(plan)) {
        std::fprintf(stderr, "the probe plan was not loaded\n");
        return 1;
    }
    rig.RegisterStations(true);
    rig.InitializeAndStart(
        [](halyx::CSaveLogDialog& dialog) {
            dialog.NameBox()->setText(QStringLiteral("Pilot_08"));
        },
        20000);
    // The freeze at minute 30, answered by the two seats that know probes.
    const bool waiting = QTest::qWaitFor(
        [&] {
            const auto p = agent.Probes().FreezeProgress();
            return p.probe == "freeze-30" && p.answered == 2;
        },
        60000);
    QTest::qWait(600); // the box and the rows catch up
    const bool saved = waiting && window.grab().save(QString::fromLocal8Bit(argv[1]));
    std::printf("%s %s\n", saved ? "wrote" : "could not write", argv[1]);
    (void)QTest::qWaitFor([&] { return agent.Clock() >= 200; }, 120000);
    page.Stop();
    if (argc > 2) {
        QFile::remove(QString::fromLocal8Bit(argv[2]));
        QFile::copy(QString::fromStdString(rig.log.FilePath()), QString::fromLocal8Bit(argv[2]));
    }
    return saved ? 0 : 1;
}
