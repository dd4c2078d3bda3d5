#pragma once

#include "desktop/page.h"
#include "study/check.h"

#include <QMainWindow>
#include <QPointer>
#include <QUndoStack>

#include <functional>
#include <vector>

class QAction;
class QLabel;
class QPushButton;
class QTabWidget;

namespace halyx {

class CGSEFrame;
class CScenarioPage;

class CInitPageWidget;
class CStudyPageWidget;

// The main window: the "Halyx Control Center" with its nine pages, the status line, the
// "Launch Scenario Editor" toggle and "Shutdown". It owns the scenario's undo stack and the
// context the pages are given; the scenario, agent and experiment log outlive it.
class CHalyxCommandDlg final : public QMainWindow {
    Q_OBJECT
public:
    // The program's version (the project's, which the study manifest records too).
    static constexpr int kVersionMajor = HALYX_VERSION_MAJOR;
    static constexpr int kVersionMinor = HALYX_VERSION_MINOR;
    static constexpr const char* kTitleTemplate = "HALYX Command - Version %d.%02d";
    static constexpr const char* kSheetCaption = "Halyx Control Center";
    static constexpr const char* kInitialStatus =
        "Status bar, you will see agent messages appear here";
    static constexpr const char* kUnsavedQuestion =
        "The scenario has changes that are not saved. Do you want to save them before shutting "
        "down?";

    CHalyxCommandDlg(CScenario& scenario, CHalyxCommand& agent, CExperimentLog& log,
                     QWidget* parent = nullptr);
    ~CHalyxCommandDlg() override;

    QTabWidget* Sheet() const { return m_sheet; }
    const std::vector<CPage*>& Pages() const { return m_pages; }
    CInitPageWidget* InitPage() const;
    CScenarioPage* ScenarioPage() const;
    CStudyPageWidget* StudyPage() const;
    // "Mark..." (Ctrl+M): works from every window of the console, whichever page is shown.
    QAction* MarkAction() const { return m_mark; }
    QUndoStack& UndoStack() { return m_undoStack; }
    QLabel* StatusLine() const { return m_status; }
    QPushButton* EditorToggle() const { return m_editorToggle; }

    // The editor window while the "Launch Scenario Editor" toggle is on; null otherwise.
    CGSEFrame* Editor() const;

    // Saves the scenario when the experimenter answers yes to the unsaved-changes question, and
    // then tells whether it did; false keeps the window open. The Scenarios page's Save is set at
    // construction.
    using SaveScenario = std::function<void(std::function<void(bool saved)> then)>;
    void SetSaveScenario(SaveScenario save) { m_saveScenario = std::move(save); }

public slots:
    // "Shutdown": closes the window (asking about unsaved scenario changes first), which closes
    // an open experiment log and ends the program.
    void Shutdown();
    // Ends without questions (a termination signal): the experiment log is still closed.
    void ForceShutdown();
    // The "Launch Scenario Editor" toggle: on opens the editor window and reads the Global Map
    // into it; off closes it. Closing the editor window turns the toggle off.
    void LaunchScenarioEditor(bool on);
    void ShowAbout();

protected:
    void closeEvent(QCloseEvent* event) override;

    // Shows a unit in its table (switching to its page) and, while the editor is open, selects
    // it there. index is where the unit stood and id its ID when it was named; a list changed
    // since then is searched for the ID, and a unit no longer there is not shown.
    void SelectUnit(UnitKind kind, int index, const std::string& id);

private:
    void CloseExperimentLog();
    void BuildStudyMenu();

    CHalyxCommand& m_agent;
    CExperimentLog& m_log;
    QUndoStack m_undoStack;
    CPageContext m_context;
    QTabWidget* m_sheet = nullptr;
    std::vector<CPage*> m_pages;
    QLabel* m_status = nullptr;
    QPushButton* m_editorToggle = nullptr;
    QAction* m_mark = nullptr;
    SaveScenario m_saveScenario;
    // The questions of closing were answered and the save they asked for went through.
    bool m_closeAnswered = false;
    QPointer<CGSEFrame> m_editor;
    bool m_force = false;
};

} // namespace halyx
