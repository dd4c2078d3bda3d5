#pragma once

// The main window showing its simulation control page, with the helpers the page's tests share:
// a team of two registered stations and a recorded experiment to replay.
#include "windowfixture.h"

#include "desktop/initpagewidget.h"

#include <QListView>
#include <QTreeWidget>

#include <filesystem>
#include <string>
#include <vector>

namespace halyx::test {

// QTRY_* would return from the test quietly on failure under gtest; this waits and says.
template <typename Condition> bool Eventually(Condition condition) {
    return QTest::qWaitFor(condition, 10000);
}

class InitPageTest : public WindowTest {
protected:
    InitPageTest() {
        widget = window->InitPage();
        window->show();
    }

    CInitPage& Page() { return widget->Presenter(); }

    // ALPHA and BRAVO registered, each added to the team by its agent list row and Add Client.
    void Team() {
        auto connection = registry.open_connection("10.1.1.1");
        registry.handle_request("(register :name ALPHA :port 7100)", connection);
        registry.handle_request("(register :name BRAVO :port 7101)", connection);
        Page().FillRegistrationFields("Lab-HalyxCommand", comm.get_port(), "127.0.0.1", 6677);
        Click(Find(widget, QStringLiteral("Register")));
        widget->Refresh();
        auto* agents = Find<QListView>(widget, QStringLiteral("Agent List"));
        ASSERT_EQ(agents->model()->rowCount(), 2);
        for (int row = 0; row < 2; ++row) {
            const QModelIndex index = agents->model()->index(row, 0);
            QTest::mouseClick(agents->viewport(), Qt::LeftButton, {},
                              agents->visualRect(index).center());
            Click(Find(widget, QStringLiteral("Add Client")));
        }
        widget->Refresh();
        ASSERT_EQ(Page().Stations().size(), 2u);
        EXPECT_EQ(Page().Stations()[0].name, "ALPHA");
        EXPECT_EQ(Page().Stations()[1].name, "BRAVO");
    }

    // A recorded experiment of the team given, its first member chatting "minute N" at minutes
    // 0 to minutes - 1. A log of the same name recorded earlier is replaced.
    std::string Recorded(const std::string& name, const std::vector<std::string>& team,
                         int minutes) {
        const std::string folder = home + "recorded/";
        const std::string path = folder + name + ".xml";
        std::filesystem::remove(path);
        CExperimentLog recorded;
        const std::string xml =
            MakeInitPageScenario(scenario, agent, [](const std::string&) {}).scenarioXml();
        EXPECT_TRUE(recorded.Open(folder, name, "", xml));
        recorded.LogTeam(team);
        for (int minute = 0; minute < minutes; ++minute) {
            recorded.LogChatMsg(minute, team.front(), "minute " + std::to_string(minute));
        }
        EXPECT_TRUE(recorded.Close());
        return path;
    }

    // Initialize Simulation with the proposed log name (the scenario's gaps accepted); both
    // stations confirm and ALPHA says go.
    void InitializeWithAlphaGo() {
        {
            auto missing = AnswerBox(QMessageBox::Yes);
            // The "Choose Log Save Location" dialog accepted as it stands.
            CModalAnswer save(
                [](QWidget* w) { QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection); },
                "halyx::CSaveLogDialog");
            Click(Find(widget, QStringLiteral("Initialize Simulation")));
        }
        ASSERT_TRUE(log.IsOpen());
        Deliver("ALPHA", "tell :command init_sim");
        Deliver("BRAVO", "tell :command init_sim");
        Deliver("ALPHA", "tell :command update_go_nogo_status :status go");
        widget->Refresh();
    }

    // Load Experiment answered with path; waits until the log is read.
    void LoadExperiment(const std::string& path) {
        ClickChoosing(Find(widget, QStringLiteral("Load Experiment")),
                      QString::fromStdString(path));
        EXPECT_TRUE(BackgroundWorkDone());
    }

    QTreeWidgetItem* Row(int i) { return Find<QTreeWidget>(widget, "Stations")->topLevelItem(i); }

    CInitPageWidget* widget = nullptr;
};

} // namespace halyx::test
