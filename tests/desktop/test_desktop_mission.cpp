// A whole experiment driven through the window as an experimenter would, against the embedded
// name server and three real synthetic stations on loopback: register, build the team,
// initialize (the save dialog filled and accepted), start, pause, resume, run to the close of
// the window, reset, then play the recorded log back and stop.
#include "guitest.h"
#include "missionrig.h"
#include "testhome.h"

#include "controls/settings.h"

#include "controls/messagelistmodel.h"
#include "desktop/agentcommpagewidget.h"
#include "desktop/savelogdialog.h"

#include <pugixml.hpp>

#include <QCheckBox>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <filesystem>

namespace halyx::test {
namespace {

class DesktopMission : public ::testing::Test {
protected:
    void SetUp() override {
        GuiApp("test_desktop_mission");
        home = test::RequiredHome() + "/mission/";
        std::filesystem::remove_all(home);
        std::filesystem::create_directories(home);
        ASSERT_EQ(rig.Start(QString::fromStdString(home),
                            QStringLiteral(HALYX_BINARY_DIR "/bin/halyx-station"), 31, "10"),
                  "");
        window = rig.window.get();
        agent = rig.agent.get();
        page = window->InitPage();
    }

    QTreeWidget* StationsList() { return Find<QTreeWidget>(page, QStringLiteral("Stations")); }
    bool AllStatuses(const char* status) {
        return AllRowsShow(StationsList(), QString::fromUtf8(status));
    }
    bool WaitStatuses(const char* status) {
        return QTest::qWaitFor([&] { return AllStatuses(status); }, 30000);
    }
    int Clock() { return Find<QLCDNumber>(page, QStringLiteral("Simulation Clock"))->intValue(); }
    QString ClockCount() { return Find<QLabel>(page, QStringLiteral("Clock Count"))->text(); }
    QPushButton* Button(const char* name) { return Find(page, QString::fromUtf8(name)); }

    CMissionRig rig;
    CExperimentLog& log = rig.log;
    CHalyxCommandDlg* window = nullptr;
    CHalyxCommand* agent = nullptr;
    CInitPageWidget* page = nullptr;
    std::string home;
};

TEST_F(DesktopMission, RunsAMissionAndPlaysItBackWithTheMouse) {
    // A fresh window: its title, the nine pages in order, the first one showing.
    EXPECT_EQ(window->windowTitle().remove(QStringLiteral("[*]")),
              QStringLiteral("HALYX Command - Version 3.13"));
    const QStringList captions = {"Initialization/Registration",
                                  "Scenarios",
                                  "Agent Communications",
                                  "Human Communications",
                                  "Weather Modelling",
                                  "Incursions",
                                  "Interceptors",
                                  "Geography",
                                  "Study"};
    ASSERT_EQ(window->Sheet()->count(), captions.size());
    for (int i = 0; i < captions.size(); ++i) {
        EXPECT_EQ(window->Sheet()->tabText(i), captions[i]);
    }
    EXPECT_EQ(window->Sheet()->currentIndex(), 0);
    EXPECT_EQ(Clock(), 0);
    EXPECT_EQ(ClockCount(), QStringLiteral("Clock Count: 0"));
    EXPECT_FALSE(Button("Add Client")->isEnabled());
    EXPECT_FALSE(Button("Initialize Simulation")->isEnabled());
    EXPECT_FALSE(Find<QCheckBox>(page, QStringLiteral("Playback Mode"))->isEnabled());
    EXPECT_FALSE(Find<QToolButton>(page, QStringLiteral("Play/Pause"))->isEnabled());
    EXPECT_FALSE(Find<QToolButton>(page, QStringLiteral("Stop"))->isEnabled());

    // Register: the fields lock, the agent list shows the three stations, and what registered
    // is remembered for the next start.
    const QString goodPort = Find<QLineEdit>(page, QStringLiteral("ANS Port"))->text();
    Click(Button("Register"));
    EXPECT_FALSE(Button("Register")->isEnabled());
    EXPECT_FALSE(Find<QLineEdit>(page, QStringLiteral("Server"))->isEnabled());
    EXPECT_EQ(CSettings::Text(QStringLiteral("Registration/AnsPort"), QString()), goodPort);
    ASSERT_TRUE(WaitForAgentList(page, 3));
    auto* agents = Find<QListView>(page, QStringLiteral("Agent List"));

    // Team: pick each station in the list and add it.
    for (int row = 0; row < 3; ++row) {
        const QModelIndex index = agents->model()->index(row, 0);
        QTest::mouseClick(agents->viewport(), Qt::LeftButton, {},
                          agents->visualRect(index).center());
        Click(Button("Add Client"));
    }
    ASSERT_EQ(StationsList()->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i) {
        QTreeWidgetItem* item = StationsList()->topLevelItem(i);
        EXPECT_EQ(item->text(0).toStdString(), CMissionRig::kStations[i]);
        EXPECT_EQ(item->text(1), QStringLiteral("Not Initialized"));
        EXPECT_FALSE(item->text(3).isEmpty());
    }
    // Initialize: the experimenter names the run in the save dialog.
    const QString logFolder = QString::fromStdString(home + "logs");
    {
        CModalAnswer fill(
            [&](QWidget* w) {
                auto* dialog = qobject_cast<CSaveLogDialog*>(w);
                ASSERT_NE(dialog, nullptr);
                EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Choose Log Save Location"));
                dialog->NameBox()->clear();
                QTest::keyClicks(dialog->NameBox(), QStringLiteral("GuiMission"));
                dialog->LocationBox()->clear();
                QTest::keyClicks(dialog->LocationBox(), logFolder);
                QTest::keyClicks(dialog->NotesBox(), QStringLiteral("driven by the GUI test"));
                QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
            },
            "halyx::CSaveLogDialog");
        Click(Button("Initialize Simulation"));
        EXPECT_TRUE(fill.Done());
    }
    const std::string logPath = home + "logs/GuiMission.xml";
    ASSERT_TRUE(log.IsOpen());
    EXPECT_EQ(log.FilePath(), logPath);
    EXPECT_TRUE(Button("Reset Simulation")->isEnabled());
    EXPECT_FALSE(StationsList()->isEnabled());
    ASSERT_TRUE(WaitStatuses("Initialized"))
        << StationsList()->topLevelItem(0)->text(1).toStdString();

    // Start, pause, resume.
    QPushButton* start = Button("Start Simulation");
    Click(start);
    EXPECT_EQ(start->text(), QStringLiteral("Pause Simulation"));
    EXPECT_TRUE(AllStatuses("Running"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Clock() >= 60; }, 30000));
    Click(start);
    EXPECT_EQ(start->text(), QStringLiteral("Resume Simulation"));
    EXPECT_TRUE(AllStatuses("Paused"));
    const int pausedAt = Clock();
    QTest::qWait(200);
    EXPECT_EQ(Clock(), pausedAt);
    Click(start);
    EXPECT_TRUE(AllStatuses("Running"));

    // To the close of the launch window. The display catches up with the agent at the next turn of
    // the event loop.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !agent->LastOutcome().empty() && Clock() == 960; }, 120000));
    EXPECT_EQ(Clock(), 960);
    EXPECT_EQ(ClockCount(), QStringLiteral("T-0 hours, 0 mins"));

    // Reset answered no changes nothing; answered yes, it resets (the question and every
    // control after it are the page logic's own tests).
    ClickAnswering(Button("Reset Simulation"), QMessageBox::No);
    EXPECT_EQ(Clock(), 960);
    ClickAnswering(Button("Reset Simulation"), QMessageBox::Yes);
    EXPECT_TRUE(AllStatuses("Not Initialized"));
    EXPECT_EQ(Clock(), 0);
    EXPECT_EQ(ClockCount(), QStringLiteral("Clock Count: 0"));

    // The log: closed, well-formed, with the notes typed and the outcome (what else it holds
    // is the log writer's and the agent's own tests).
    EXPECT_FALSE(log.IsOpen());
    const std::string text = ReadFile(logPath);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(text.c_str()));
    pugi::xml_node root = doc.child("HalyxSimLog");
    EXPECT_NE(std::string(root.child("Notes").text().get()).find("driven by the GUI test"),
              std::string::npos);
    EXPECT_STREQ(root.child("SimEvents").last_child().attribute("Name").value(),
                 "SimulationComplete");

    // Every message came through the agent message page.
    window->Sheet()->setCurrentIndex(2);
    auto* agentComm = dynamic_cast<CAgentCommPageWidget*>(window->Pages()[2]);
    ASSERT_NE(agentComm, nullptr);
    agentComm->Incoming().model->Flush();
    EXPECT_EQ(static_cast<size_t>(agentComm->Incoming().model->rowCount()),
              agent->CommStore().Incoming().size());
    EXPECT_GT(agentComm->Outgoing().model->rowCount(), 3 * 960);
    window->Sheet()->setCurrentIndex(0);

    // Playback of the recorded experiment (which controls each step enables is the page
    // logic's own test; Click fails on a disabled button).
    Click(Find<QCheckBox>(page, QStringLiteral("Playback Mode")));
    EXPECT_EQ(StationsList()->topLevelItemCount(), 0);
    ClickChoosing(Button("Load Experiment"), QString::fromStdString(logPath));
    ASSERT_TRUE(BackgroundWorkDone());
    ASSERT_EQ(StationsList()->topLevelItemCount(), 3);
    Click(Button("Initialize Playback"));
    ASSERT_TRUE(WaitStatuses("Initialized"));
    auto* play = Find<QToolButton>(page, QStringLiteral("Play/Pause"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return play->isEnabled(); }, 5000));
    EXPECT_FALSE(play->property("playing").toBool());
    Click(play);
    EXPECT_TRUE(AllStatuses("Playback"));
    EXPECT_TRUE(play->property("playing").toBool());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Clock() >= 30; }, 30000));
    Click(Find<QToolButton>(page, QStringLiteral("Stop")));
    EXPECT_EQ(Clock(), 0);
    EXPECT_FALSE(play->property("playing").toBool());
}

} // namespace
} // namespace halyx::test
