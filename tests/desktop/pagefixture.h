#pragma once

// A page context as the main window makes it (a scenario, an agent on an in-memory communicator,
// a log, one undo stack), a count of the scenario's change notifications (the editor, tables and
// map redraw on them), and answers to the modal dialogs a page opens.

#include "guitest.h"

#include "agent/halyxcommand.h"
#include "desktop/page.h"
#include "external/agentkit/memorycommunicator.h"
#include "external/agentkit/nameregistry.h"
#include "record/experimentlog.h"
#include "scenario/scenario.h"

#include <QUndoStack>

namespace halyx::test {

class PageTest : public ::testing::Test {
protected:
    PageTest()
        : log([] { return int64_t{1796479389047}; }), agent(AgentScenario::Of(scenario), log),
          comm(agent, &registry), context{scenario, agent, log, undoStack} {
        agent.set_debug_sink([](const std::string&) {});
        changesToken = scenario.Subscribe([this](ScenarioChange, int) { ++scenarioChanges; });
    }
    ~PageTest() override { scenario.Unsubscribe(changesToken); }

    // A page over the context, on screen at a size a user would give it.
    template <class Page> std::unique_ptr<Page> Open(int width = 1200, int height = 800) {
        auto page = std::make_unique<Page>(context);
        page->resize(width, height);
        page->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(page.get()));
        return page;
    }

    static void Type(QLineEdit* field, const QString& text) {
        field->clear();
        field->setFocus();
        QTest::keyClicks(field, text);
    }

    // Runs action once the next modal dialog of its class is up (the page's exec() is then
    // waiting).
    template <class Dialog> void WhenModal(std::function<void(Dialog*)> action) {
        answers.push_back(std::make_unique<CModalAnswer>(
            [action](QWidget* w) { action(qobject_cast<Dialog*>(w)); },
            Dialog::staticMetaObject.className()));
    }

    // Closes the next message box, remembering its text.
    void CatchMessage() {
        WhenModal<QMessageBox>([this](QMessageBox* box) {
            messages.push_back(box->text());
            box->accept();
        });
    }

    CScenario scenario;
    CExperimentLog log;
    CNameRegistry registry;
    CHalyxCommand agent;
    CMemoryCommunicator comm;
    QUndoStack undoStack;
    int scenarioChanges = 0;
    int changesToken = 0;
    CPageContext context;
    std::vector<QString> messages;
    std::vector<std::unique_ptr<CModalAnswer>> answers;
};

} // namespace halyx::test
