#pragma once

// The main window showing its simulation control page, with the helpers the page's tests share:
// a team of two registered stations and a recorded experiment to replay.
#include "windowfixture.h"

#include "desktop/initpagewidget.h"

#include <QTreeWidget>

#include <filesystem>
#include <string>
#include <vector>

namespace halyx::test {

class InitPageTest : public WindowTest {
protected:
    explicit InitPageTest(const char* name) : WindowTest(name) {
        widget = window->InitPage();
        window->show();
    }

    CInitPage& Page() { return widget->Presenter(); }

    // ALPHA and BRAVO registered at the name server and added to the team.
    void Team() {
        auto connection = registry.open_connection("10.1.1.1");
        registry.handle_request("(register :name ALPHA :port 7100)", connection);
        registry.handle_request("(register :name BRAVO :port 7101)", connection);
        Page().FillRegistrationFields("Lab-HalyxCommand", comm.get_port(), "127.0.0.1", 6677);
        Click(Find(widget, QStringLiteral("Register")));
        for (const char* name : {"ALPHA", "BRAVO"}) {
            ASSERT_TRUE(Page().SelectAgent(name));
            Page().AddClient();
        }
        widget->Refresh();
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

    QTreeWidgetItem* Row(int i) { return Find<QTreeWidget>(widget, "Stations")->topLevelItem(i); }

    CInitPageWidget* widget = nullptr;
};

} // namespace halyx::test
