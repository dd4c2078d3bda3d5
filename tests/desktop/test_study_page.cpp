// The Study page driven as an experimenter drives it, against the embedded name server and three
// synthetic stations: open a plan, prepare its first run, initialize with the proposed log name,
// run to the end, see the row turn done, then open the plan again as after a restart and find
// the state read back from the manifest with the next run offered.
#include "guitest.h"
#include "missionrig.h"

#include "controls/settings.h"
#include "desktop/savelogdialog.h"
#include "desktop/studypagewidget.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenariofileset.h"
#include "study/study.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

namespace halyx::test {
namespace {

TEST(StudyPage, OpenPrepareRunDoneAndResumeFromTheManifest) {
    GuiApp("test_desktop_study_page");
    const std::string home = FreshFolder("study");
    CScenario scenario;
    LoadDefaultScenario(scenario);
    ASSERT_TRUE(SaveScenarioAs("easy", home + "scen/easy/", scenario));
    std::ofstream(home + "plan.csv")
        << "run,team,block,scenario,mode,stations,notes\n"
           "1,T01,B1,scen/easy/easy.hsf,multi,ALPHA BRAVO CHARLIE,\n"
           "2,T01,B2,scen/easy/easy.hsf,single,DELTA,no such station\n";
    // A plan opened by an earlier run of this test would be opened again at start.
    CSettings::SetText(QString::fromUtf8(CStudyPageWidget::kLastPlanKey), QString());
    CMissionRig rig;
    ASSERT_EQ(rig.Start(QString::fromStdString(home),
                        QStringLiteral(HALYX_BINARY_DIR "/bin/halyx-station"), 11, "5"),
              "");
    CHalyxCommandDlg* window = rig.window.get();
    CInitPageWidget* init = window->InitPage();
    auto* study = dynamic_cast<CStudyPageWidget*>(window->Pages().back());
    ASSERT_NE(study, nullptr);
    const auto cell = [&](int row, int column) {
        auto* table = Find<QTableView>(study, QStringLiteral("Runs"));
        return table->model()->index(row, column).data().toString();
    };

    // What registered is remembered for the next start.
    const QString ansPort = Find<QLineEdit>(init, QStringLiteral("ANS Port"))->text();
    Click(Find(init, QStringLiteral("Register")));
    EXPECT_EQ(CSettings::Text(QStringLiteral("Registration/AnsPort"), QString()), ansPort);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            init->Presenter().RefreshList();
            return init->Presenter().AgentList().size() == 3;
        },
        20000));

    window->Sheet()->setCurrentWidget(study);
    EXPECT_FALSE(Find(study, QStringLiteral("Prepare Next Run"))->isEnabled());
    ASSERT_TRUE(study->OpenPlan(QString::fromStdString(home + "plan.csv")));
    EXPECT_EQ(cell(0, CStudyTableModel::kState), QStringLiteral("pending"));
    EXPECT_EQ(cell(1, CStudyTableModel::kScenario), QStringLiteral("scen/easy/easy.hsf"));

    // Prepare: the scenario is loaded, the team is the run's stations, the log name proposed.
    Click(Find(study, QStringLiteral("Prepare Next Run")));
    auto* stations = Find<QTreeWidget>(init, QStringLiteral("Stations"));
    EXPECT_EQ(init->Presenter().Stations().size(), 3u) << study->Message().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return stations->topLevelItemCount() == 3; }, 5000));
    EXPECT_EQ(cell(0, CStudyTableModel::kLog), QStringLiteral("logs/T01_B1"));

    window->Sheet()->setCurrentWidget(init);
    {
        CModalAnswer accept(
            [&](QWidget* w) {
                auto* dialog = qobject_cast<CSaveLogDialog*>(w);
                ASSERT_NE(dialog, nullptr);
                EXPECT_EQ(dialog->NameBox()->text(), QStringLiteral("T01_B1"));
                QTest::keyClicks(dialog->NotesBox(), QStringLiteral("typed in the dialog"));
                QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
            },
            "halyx::CSaveLogDialog");
        Click(Find(init, QStringLiteral("Initialize Simulation")));
        EXPECT_TRUE(accept.Done());
    }
    ASSERT_TRUE(rig.log.IsOpen());
    EXPECT_EQ(std::filesystem::path(rig.log.FilePath()).filename(), "T01_B1.xml");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return stations->findItems("Initialized", Qt::MatchExactly, 1).size() == 3; },
        30000));
    Click(Find(init, QStringLiteral("Start Simulation")));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return cell(0, CStudyTableModel::kState) == QStringLiteral("running"); }, 5000));

    // The end: the row turns done with its decision once the stations' reports are in.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return cell(0, CStudyTableModel::kState) == QStringLiteral("done"); }, 120000));
    EXPECT_FALSE(cell(0, CStudyTableModel::kDecision).isEmpty());
    EXPECT_FALSE(rig.log.IsOpen());
    EXPECT_TRUE(Find(study, QStringLiteral("Prepare Next Run"))->isEnabled());
    // The run is recorded: preparing the next one asks nothing (its station is missing).
    {
        auto box = AnswerBox(QMessageBox::No);
        Click(Find(study, QStringLiteral("Prepare Next Run")));
        EXPECT_FALSE(box->Done());
    }
    EXPECT_NE(study->Message().indexOf(QStringLiteral("not registered: DELTA")), -1);
    EXPECT_TRUE(CStudy::Verify(home).ok());
    EXPECT_NE(ReadFile(home + "logs/T01_B1.xml").find("typed in the dialog\n</Notes>"),
              std::string::npos);

    // A restart opens the plan again and reads the state back from the manifest.
    rig.window.reset();
    rig.window = std::make_unique<CHalyxCommandDlg>(rig.scenario, *rig.agent, rig.log);
    window = rig.window.get();
    study = dynamic_cast<CStudyPageWidget*>(window->Pages().back());
    ASSERT_NE(study, nullptr);
    window->show();
    EXPECT_EQ(Find<QLabel>(study, QStringLiteral("Plan"))->text().toStdString(), home + "plan.csv");
    EXPECT_EQ(cell(0, CStudyTableModel::kState), QStringLiteral("done"));
    EXPECT_EQ(cell(0, CStudyTableModel::kLog), QStringLiteral("logs/T01_B1.xml"));
    EXPECT_EQ(cell(1, CStudyTableModel::kState), QStringLiteral("pending"));

    // A repeat keeps the first attempt in view; the new one has no decision yet.
    const QString decision = cell(0, CStudyTableModel::kDecision);
    Find<QTableView>(study, QStringLiteral("Runs"))->selectRow(0);
    Click(Find(study, QStringLiteral("Repeat Run")));
    EXPECT_EQ(cell(0, CStudyTableModel::kState), QStringLiteral("done, repeated"));
    EXPECT_EQ(cell(0, CStudyTableModel::kDecision), decision);
    EXPECT_EQ(cell(1, CStudyTableModel::kRun), QStringLiteral("1"));
    EXPECT_EQ(cell(1, CStudyTableModel::kState), QStringLiteral("pending"));
    EXPECT_EQ(cell(1, CStudyTableModel::kDecision), QString());
    // Skip asks before it writes "skipped"; No writes nothing.
    Find<QTableView>(study, QStringLiteral("Runs"))->selectRow(2);
    EXPECT_FALSE(
        ClickAnswering(Find(study, QStringLiteral("Skip Run")), QMessageBox::No).isEmpty());
    EXPECT_EQ(cell(2, CStudyTableModel::kState), QStringLiteral("pending"));
}

} // namespace
} // namespace halyx::test
