// What the window tells the experimenter about the state of an experiment, driven as the
// experimenter drives it: a log name that is taken or missing, the end of a mission, closing
// mid-mission, and where windows are placed. (The end of a replay and unit values the stations
// cannot read are the page presenter's tests, tests/ui.)
#include "initpagefixture.h"

#include "controls/windowplace.h"
#include "desktop/initpagewidget.h"
#include "desktop/savelogdialog.h"
#include "record/savelocation.h"

#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include <fstream>

namespace halyx::test {
namespace {

class WindowState : public InitPageTest {
protected:
    WindowState() : InitPageTest("test_desktop_window_state") {}

    QStringList Statuses() {
        QStringList out;
        auto* rows = Find<QTreeWidget>(widget, "Stations");
        widget->Refresh();
        for (int i = 0; i < rows->topLevelItemCount(); ++i) {
            out << rows->topLevelItem(i)->text(1);
        }
        return out;
    }
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

TEST_F(WindowState, TheEndOfAMissionIsShownUntilReset) {
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
    // Nothing runs any more: the window closes without the question... after Reset.
    ClickAnswering(Find(widget, QStringLiteral("Reset Simulation")), QMessageBox::Yes);
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
