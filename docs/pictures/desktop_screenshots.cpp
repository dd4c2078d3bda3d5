// Renders each page of the running window into PNG files for the user guide:
//
//   QT_QPA_PLATFORM=offscreen build/bin/desktop_screenshots docs/screenshots [WIDTHxHEIGHT]
//
// The window is 1366x768 unless a size is given (1920x1080 shows the pages on a larger screen).
// Map addresses are shown as the console finds them: set HALYX_MAP_DIR to a neutral folder
// holding a copy of data/maps before making pictures for docs/.
//
//   build/bin/desktop_screenshots --screen OUT.png     (grabs the whole screen of $DISPLAY)
//
// It starts the embedded name server and three synthetic stations on loopback, registers, forms
// the team, initializes (grabbing the save dialog on the way), starts the mission, lets it run
// to minute 300 with the stations' chat and commands coming in, pauses, and grabs every page
// (and the Mission Picture beside the window);
// then resets and plays the recorded log back for a last picture.
#include "missionrig.h"
#include "picture.h"

#include "controls/filedialogs.h"
#include "controls/progressdialog.h"
#include "desktop/missionfollower.h"
#include "desktop/savelogdialog.h"
#include "desktop/timelinedialog.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

bool Save(QWidget* widget, const QString& path, QPixmap picture = QPixmap()) {
    // The pages catch up with the agent once per turn of the event loop.
    QCoreApplication::processEvents();
    const bool saved = (widget ? widget->grab() : picture).save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--screen") {
        // What a user sees: the whole screen, with whatever windows are on it.
        QScreen* screen = QGuiApplication::primaryScreen();
        return screen && Save(nullptr, QString::fromLocal8Bit(argv[2]), screen->grabWindow(0)) ? 0
                                                                                               : 1;
    }
    StartPicture("desktop_screenshots");
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(out);
    const QString work = ScratchHome("halyx_screenshots");

    halyx::test::CMissionRig rig;
    const std::string failed = rig.Start(
        work, QCoreApplication::applicationDirPath() + QStringLiteral("/halyx-station"), 5, "20");
    if (!failed.empty()) {
        std::fprintf(stderr, "%s\n", failed.c_str());
        return 1;
    }
    halyx::CHalyxCommandDlg& window = *rig.window;
    halyx::CHalyxCommand& agent = *rig.agent;
    // As the program does: the Mission Picture follows the mission from its start.
    halyx::CMissionFollower follower(rig.scenario, agent, rig.log);
    window.InitPage()->SetMissionFollower(&follower);
    struct CloseBeforeFollower {
        halyx::CInitPageWidget* page;
        ~CloseBeforeFollower() {
            delete page->MissionWindow();
            page->SetMissionFollower(nullptr);
        }
    } closePicture{window.InitPage()};
    QSize size(1366, 768);
    if (argc > 2) {
        const QStringList parts = QString::fromLocal8Bit(argv[2]).split(QLatin1Char('x'));
        if (parts.size() == 2 && parts[0].toInt() > 0 && parts[1].toInt() > 0) {
            size = QSize(parts[0].toInt(), parts[1].toInt());
        }
    }
    window.resize(size);
    halyx::CInitPage& page = window.InitPage()->Presenter();
    Save(&window, out + QStringLiteral("/01-start.png"));

    rig.RegisterStations(true);
    Save(&window, out + QStringLiteral("/02-team.png"));

    // The save dialog, filled, then accepted.
    rig.InitializeAndStart(
        [&](halyx::CSaveLogDialog& dialog) {
            dialog.NameBox()->setText(QStringLiteral("Pilot_07"));
            dialog.NotesBox()->setPlainText(
                QStringLiteral("Pilot session 7: three subjects, default scenario."));
            QTest::qWait(50);
            Save(&dialog, out + QStringLiteral("/03-save-dialog.png"));
        },
        20000);
    (void)QTest::qWaitFor([&] { return agent.Clock() >= 300; }, 60000);
    page.StartSimulation(); // pause
    QTest::qWait(300);
    Save(&window, out + QStringLiteral("/04-running.png"));

    // The Mission Picture beside the window, as on a second screen.
    if (auto* open = window.findChild<QPushButton*>(QStringLiteral("Mission Picture"))) {
        open->click();
    }
    if (QWidget* picture = window.InitPage()->MissionWindow()) {
        picture->resize(size.height() * 5 / 4, size.height());
        (void)QTest::qWaitForWindowExposed(picture);
        // The window reads the scenario's world map in the background when it first opens.
        (void)QTest::qWaitFor([&] { return rig.scenario.Geography().GetWorldMap().exists(); },
                              20000);
        QTest::qWait(300);
        const QPixmap left = window.grab();
        const QPixmap right = picture->grab();
        QPixmap both(left.width() + right.width(), std::max(left.height(), right.height()));
        both.fill(Qt::black);
        QPainter painter(&both);
        painter.drawPixmap(0, 0, left);
        painter.drawPixmap(left.width(), 0, right);
        painter.end();
        Save(nullptr, out + QStringLiteral("/16-mission-picture.png"), both);
        picture->close();
    }

    window.Sheet()->setCurrentIndex(2);
    QTest::qWait(400);
    // One received message opened in the tree.
    if (auto* display = window.findChild<QPushButton*>(QStringLiteral("Incoming Display"))) {
        display->click();
    }
    Save(&window, out + QStringLiteral("/05-agent-communications.png"));
    window.Sheet()->setCurrentIndex(3);
    QTest::qWait(400);
    Save(&window, out + QStringLiteral("/06-human-communications.png"));
    // The scenario pages, as the window shows them in the middle of a mission.
    const char* const scenarioPages[][2] = {{"Scenarios", "09-scenarios"},
                                            {"Weather Modelling", "10-weather"},
                                            {"Incursions", "11-incursions"},
                                            {"Interceptors", "12-interceptors"},
                                            {"Geography", "13-geography"}};
    for (const auto& [caption, file] : scenarioPages) {
        for (int tab = 0; tab < window.Sheet()->count(); ++tab) {
            if (window.Sheet()->tabText(tab) == QLatin1String(caption)) {
                window.Sheet()->setCurrentIndex(tab);
                QTest::qWait(400);
                Save(&window, out + QStringLiteral("/%1.png").arg(QLatin1String(file)));
            }
        }
    }
    window.Sheet()->setCurrentIndex(0);

    // Reset (yes), then play the recorded log back.
    const QString recorded = QString::fromStdString(rig.log.FilePath());
    QTimer answers;
    answers.setInterval(20);
    QObject::connect(&answers, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)->click() : box->accept();
        }
    });
    answers.start();
    halyx::SetFileChooserForTests([&recorded](const halyx::CFileRequest&) { return recorded; });
    page.ResetSimulation();
    page.SetPlaybackMode(true);
    page.LoadExperiment();
    halyx::SetFileChooserForTests(nullptr);
    (void)QTest::qWaitFor([] { return !halyx::BackgroundWorkPending(); }, 60000);
    page.InitializePlayback();
    (void)QTest::qWaitFor([&] { return page.IsEnabled(halyx::InitControl::PlayPause); }, 20000);
    page.PlayPause();
    (void)QTest::qWaitFor([&] { return agent.Clock() >= 120; }, 60000);
    QTest::qWait(100);
    Save(&window, out + QStringLiteral("/07-playback.png"));
    // The replay's chat, apart from the live transcript.
    window.Sheet()->setCurrentIndex(3);
    QTest::qWait(300);
    Save(&window, out + QStringLiteral("/14-replayed-chat.png"));
    window.Sheet()->setCurrentIndex(0);
    // The mission's timeline, fitted to its window.
    if (auto* timeline = window.findChild<QPushButton*>(QStringLiteral("Timeline"))) {
        timeline->click();
        halyx::CTimelineDialog* dialog = nullptr;
        (void)QTest::qWaitFor(
            [&] {
                dialog = window.findChild<halyx::CTimelineDialog*>();
                return dialog != nullptr && dialog->Timeline() != nullptr;
            },
            20000);
        if (dialog != nullptr) {
            dialog->resize(1100, 420);
            QTest::qWait(200);
            Save(dialog, out + QStringLiteral("/15-timeline.png"));
            dialog->close();
        }
    }
    page.Stop();
    answers.stop();
    return 0;
}
