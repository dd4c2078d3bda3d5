// What the window tells the experimenter about the state of an experiment, driven as the
// experimenter drives it: a log name that is taken or missing, closing mid-mission, the Mission
// Picture following a live mission (the clock, the commands, a mark made from it, the pointer,
// its layers, a picture name it cannot write, drawing after changes only), the end of the
// mission, and where windows are placed. (The end of a replay and unit values the stations cannot
// read are the page presenter's tests, tests/ui; the picture during a replay is the init page's.)
#include "initpagefixture.h"

#include "controls/windowplace.h"
#include "desktop/initpagewidget.h"
#include "desktop/missionfollower.h"
#include "desktop/missionwindow.h"
#include "desktop/savelogdialog.h"
#include "record/savelocation.h"

#include <QCheckBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <optional>

namespace halyx::test {
namespace {

class WindowState : public InitPageTest {
protected:
    // As the program does: the follower is there before the mission starts.
    WindowState() { widget->SetMissionFollower(&follower); }
    // The window listens to the follower until it goes.
    ~WindowState() override { window.reset(); }

    QStringList Statuses() {
        QStringList out;
        auto* rows = Find<QTreeWidget>(widget, "Stations");
        widget->Refresh();
        for (int i = 0; i < rows->topLevelItemCount(); ++i) {
            out << rows->topLevelItem(i)->text(1);
        }
        return out;
    }

    // A point of the picture with a mark under it, or nothing.
    static std::optional<QPoint> MarkOn(CMissionWindow& picture) {
        QWidget* canvas = picture.findChild<QWidget*>(QStringLiteral("MissionCanvas"));
        for (int y = 0; y < canvas->height(); y += 2) {
            for (int x = 0; x < canvas->width(); x += 2) {
                if (!picture.TipAt(QPointF(x, y)).isEmpty()) {
                    return QPoint(x, y);
                }
            }
        }
        return std::nullopt;
    }

    CMissionFollower follower{scenario, agent, log};
};

TEST_F(WindowState, ALogNeedsANameAndAnOldOneIsNeverOverwritten) {
    const std::string folder = FreshFolder("taken");
    std::ofstream(folder + "HalyxSimLog_0001.xml") << "finished experiment";

    CSaveLocation where(folder);
    CSaveLogDialog dialog(where);
    auto* taken = Find<QLabel>(&dialog, QStringLiteral("Name Taken"));
    EXPECT_FALSE(taken->isVisibleTo(&dialog));
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    dialog.NameBox()->clear();
    QTest::keyClicks(dialog.NameBox(), QStringLiteral("HalyxSimLog_0001"));
    EXPECT_TRUE(taken->isVisibleTo(&dialog));
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    QTest::keyClick(dialog.NameBox(), Qt::Key_2);
    EXPECT_FALSE(taken->isVisibleTo(&dialog));
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    // No name: no preview and no OK. Should accept() come all the same (the Enter key of another
    // default button), the message is shown and the dialog stays open.
    dialog.NameBox()->clear();
    EXPECT_TRUE(dialog.Preview()->text().isEmpty());
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    int result = -1;
    QObject::connect(&dialog, &QDialog::finished, [&](int r) { result = r; });
    dialog.open();
    {
        QString box;
        auto answer = AnswerBox(QMessageBox::Ok, &box);
        dialog.accept();
        EXPECT_EQ(box, QStringLiteral("You must enter a unique name for this experiment"));
    }
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(dialog.isVisible());
    dialog.reject();
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(ReadFile(folder + "HalyxSimLog_0001.xml"), "finished experiment");
}

TEST_F(WindowState, ALiveMissionIsFollowedByThePictureAndItsEndIsShownUntilReset) {
    Team();
    InitializeWithAlphaGo();
    auto* start = Find(widget, QStringLiteral("Start Simulation"));
    Click(start);
    EXPECT_EQ(Statuses(), (QStringList{"Running", "Running"}));

    // Freeze now: a seat's row is frozen until its answer; the Probes box counts the answers.
    auto* freeze = Find(widget, QStringLiteral("Freeze Now"));
    ASSERT_TRUE(Eventually([&] { return freeze->isEnabled(); }));
    Click(freeze);
    const QString frozen = QStringLiteral("Frozen (answering)");
    EXPECT_EQ(Statuses(), (QStringList{frozen, frozen}));
    Deliver("ALPHA", "tell :command probe_answer :probeID freeze-0 :count 1 :a1 (:id minute "
                     ":value 0)");
    EXPECT_EQ(Statuses(), (QStringList{"Running", frozen}));
    auto* answers = Find<QLabel>(widget, QStringLiteral("Probe Answers"));
    EXPECT_TRUE(Eventually([&] {
        return answers->text() ==
               QStringLiteral("Answers recorded: 3\nFrozen (freeze-0): 1 of 2 seats answered");
    })) << answers->text().toStdString();
    Deliver("BRAVO", "tell :command probe_answer :probeID freeze-0 :count 0");
    EXPECT_EQ(Statuses(), (QStringList{"Running", "Running"}));
    EXPECT_TRUE(Eventually([&] { return answers->text() == "Answers recorded: 6"; }))
        << answers->text().toStdString();

    // Closing mid-mission asks; No keeps the window and the mission.
    {
        QString question;
        auto answer = AnswerBox(QMessageBox::No, &question);
        window->close();
        EXPECT_EQ(question, QStringLiteral("A mission is running (minute 0). End it and close the "
                                           "experiment log?"));
    }
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(agent.Started());

    // The picture brings in the scenario's world map when nothing loaded it yet; opening it
    // again raises the same window.
    scenario.Geography().SetMapURL(CGeography::kGlobalMap, HALYX_SOURCE_DIR "/data/maps/world.txt");
    ASSERT_FALSE(scenario.Geography().GetWorldMap().exists());
    Click(Find(widget, QStringLiteral("Mission Picture")));
    CMissionWindow* picture = widget->MissionWindow();
    ASSERT_NE(picture, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(picture));
    EXPECT_TRUE(Eventually([&] { return scenario.Geography().GetWorldMap().exists(); }));
    EXPECT_TRUE(picture->isWindow());
    Click(Find(widget, QStringLiteral("Mission Picture")));
    EXPECT_EQ(widget->MissionWindow(), picture);
    auto* stations = Find<QLabel>(picture, QStringLiteral("Stations"));
    EXPECT_TRUE(Eventually([&] { return stations->text().contains("ALPHA</span> go"); }))
        << stations->text().toStdString();

    // Ctrl+M from the picture: the note goes into the log and the status line says so.
    picture->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(picture));
    int boxWidth = 0;
    CModalAnswer note(
        [&](QWidget* w) {
            auto* dialog = qobject_cast<QInputDialog*>(w);
            ASSERT_NE(dialog, nullptr);
            dialog->setTextValue(QStringLiteral("team argued here"));
            boxWidth = dialog->findChild<QLineEdit*>()->width();
            dialog->accept();
        },
        "QInputDialog");
    QTest::keyClick(picture, Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(note.Done());
    EXPECT_GE(boxWidth, 350); // a sentence, not a word
    EXPECT_EQ(window->StatusLine()->text(), QStringLiteral("Marked minute 0: team argued here"));

    agent.process_clock_tick();
    agent.process_clock_tick();
    Deliver("BRAVO", "tell :command deploy :resource Interceptor :id I1 :initLat 184 :initLng "
                     "472 :initGridCol 0 :initGridRow 0 :destLat 240 :destLng 469 "
                     ":destGridCol 0 :destGridRow 0");
    auto* minute = Find<QLabel>(picture, QStringLiteral("Minute"));
    ASSERT_TRUE(Eventually([&] {
        return minute->text() == QStringLiteral("Minute %1").arg(agent.Clock()) &&
               picture->Follower()
                       .State()
                       .commandsByKind[static_cast<int>(MissionEventKind::DeployResource)] == 1;
    })) << minute->text().toStdString();

    // Nothing changed, nothing drawn: once the last change is drawn (a redraw waits three times
    // the last drawing's time, longer on a loaded machine), poll after poll draws nothing. A
    // window that drew at every poll would never be quiet here.
    ASSERT_TRUE(Eventually([&] { return picture->Redraws() > 0; }));
    int redraws = 0;
    EXPECT_TRUE(Eventually([&] {
        redraws = picture->Redraws();
        QTest::qWait(4 * CMissionFollower::kPollMs);
        return picture->Redraws() == redraws;
    }));

    // The pointer over the deployment says whose it is and what it was.
    const std::optional<QPoint> mark = MarkOn(*picture);
    ASSERT_TRUE(mark.has_value());
    const QString tip = picture->TipAt(*mark);
    EXPECT_TRUE(tip.contains("BRAVO")) << tip.toStdString();
    EXPECT_TRUE(tip.contains("deploy")) << tip.toStdString();
    // With the deployments layer off that mark is no longer there to hover.
    Click(Find<QCheckBox>(picture, QStringLiteral("Deployments")));
    EXPECT_FALSE(picture->Style().layers.deployments);
    EXPECT_TRUE(picture->TipAt(*mark).isEmpty() || !picture->TipAt(*mark).contains("deploy"));
    EXPECT_TRUE(Eventually([&] { return picture->Redraws() > redraws; }));
    Find<QSpinBox>(picture, QStringLiteral("Trail"))->setValue(5);
    EXPECT_EQ(picture->Style().trailMinutes, 5);

    // A picture name of another kind is refused with the reason, and no file (what a PNG or SVG
    // holds is halyx-log picture's test, which writes through the same function).
    const std::string folder = FreshFolder("pictures");
    {
        QString message;
        auto box = AnswerBox(QMessageBox::Ok, &message);
        ClickChoosing(Find(picture, QStringLiteral("Save Picture...")),
                      QString::fromStdString(folder + "live.txt"));
        EXPECT_FALSE(message.isEmpty());
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "live.txt"));

    // The window fits the screen it opened on, however large the picture's own size.
    EXPECT_TRUE(picture->screen()->availableGeometry().contains(picture->frameGeometry()));

    // The clock runs to the close of the launch window.
    agent.SeekPlayback(CHalyxCommand::kLaunchWindow);
    agent.process_clock_tick();
    widget->Refresh();
    EXPECT_EQ(Statuses(), (QStringList{"Complete", "Complete"}));
    const QString decision =
        QStringLiteral("Mission complete at minute 960: No Launch (ALPHA: go, BRAVO: no-go)");
    auto* outcome = Find<QLabel>(widget, QStringLiteral("Mission Outcome"));
    EXPECT_EQ(outcome->text(), decision);
    EXPECT_TRUE(outcome->isVisible());
    EXPECT_EQ(window->StatusLine()->text(), decision);
    EXPECT_FALSE(start->isEnabled());
    EXPECT_TRUE(Find(widget, QStringLiteral("Reset Simulation"))->isEnabled());
    // The log just recorded is the one Timeline opens.
    EXPECT_TRUE(Find(widget, QStringLiteral("Timeline"))->isEnabled());
    // The old button, pressed anyway, neither asks nor starts the finished experiment again.
    Page().StartSimulation();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(agent.Started());
    EXPECT_EQ(Statuses(), (QStringList{"Complete", "Complete"}));
    // Reset empties the outcome and the picture (the next mission's starts without this one's
    // marks); the closed log holds the mark.
    ClickAnswering(Find(widget, QStringLiteral("Reset Simulation")), QMessageBox::Yes);
    EXPECT_TRUE(Eventually([&] {
        return picture->Follower()
                   .State()
                   .commandsByKind[static_cast<int>(MissionEventKind::DeployResource)] == 0;
    }));
    EXPECT_NE(ReadFile(log.FilePath()).find("team argued here"), std::string::npos);
    EXPECT_TRUE(outcome->text().isEmpty());
    EXPECT_FALSE(outcome->isVisible());
    EXPECT_EQ(Statuses(), (QStringList{"Not Initialized", "Not Initialized"}));
    EXPECT_EQ(window->StatusLine()->text(), QString());
    // With the log closed, nothing starts until Initialize opens another.
    {
        QString refusal;
        auto answer = AnswerBox(QMessageBox::Ok, &refusal);
        Page().StartSimulation();
        EXPECT_EQ(refusal.toStdString(), CInitPage::kStartNeedsLog);
    }
    EXPECT_FALSE(agent.Started());
    // Nothing runs any more: the window closes without the question.
    window->close();
    EXPECT_FALSE(window->isVisible());
}

// A picture larger than the screen is cut down to it; the scenario check's window goes below
// the row it selected, above it when there is no room, cut down when neither has room.
TEST(WindowPlace, WindowsStayOnTheScreenAndOffTheRowTheyPointAt) {
    const QRect screen(0, 0, 1366, 768);
    EXPECT_EQ(CentredRect({1640, 1000}, QRect(68, 38, 1229, 691), screen), screen);
    EXPECT_EQ(CentredRect({400, 300}, QRect(), screen), QRect(483, 234, 400, 300));
    const struct {
        QSize size;
        QRect row;
        QRect placed;
    } cases[] = {
        {{760, 360}, QRect(0, 100, 1366, 20), QRect(303, 128, 760, 360)},
        {{760, 360}, QRect(0, 700, 1366, 20), QRect(303, 332, 760, 360)},
        {{760, 740}, QRect(0, 380, 1366, 20), QRect(303, 0, 760, 372)},
        {{300, 700}, QRect(0, 380, 600, 20), QRect(608, 40, 300, 700)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BesideRect(c.size, c.row, screen), c.placed) << c.row.y();
    }
}

} // namespace
} // namespace halyx::test
