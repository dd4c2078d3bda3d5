#pragma once

#include "controls/gserenderer.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QSplitter;
class QToolBar;
class QUndoStack;

namespace halyx {

class CGSEInfoView;
class CGSETreeView;
class CGSEView;
class CScenario;

// How the editor reaches the scenario page for loading, saving and generating. Each may be left
// empty: the editor then does the work itself on the scenario files.
struct CGSEScenarioHooks {
    // "Load Scenario" after the user said yes: the page's load with its own file dialog.
    std::function<void()> load;
    // Loads the scenario file at path (a tree entry).
    std::function<void(const std::string& path)> loadPath;
    // Saves the scenario set named title in folder (which ends with a separator).
    std::function<void(const std::string& folder, const std::string& title)> save;
    // Runs the generation dialog and the generator; answers the scenario files written, in order.
    std::function<std::vector<std::string>()> generate;
};

// The graphical scenario editor's window: menu, tool bar (zoom in, zoom out), status bar with
// the pointer position, and a splitter with the tree of generated scenarios on the left, the map
// view above the info pane on the right. It edits the scenario it is given, through the undo
// stack it is given; it keeps no copy. The window deletes itself when closed: hold it in a
// QPointer, and listen to destroyed() to know that it is gone.
class CGSEFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "HALYX Graphical Scenario Editor";

    CGSEFrame(CScenario& scenario, QUndoStack& undo, QWidget* parent = nullptr);
    ~CGSEFrame() override;

    CGSEView* View() const { return m_view; }
    CGSETreeView* Tree() const { return m_tree; }
    CGSEInfoView* Info() const { return m_info; }
    QLabel* PointerPane() const { return m_pointerPane; }
    QSplitter* OuterSplitter() const { return m_outer; }
    QSplitter* InnerSplitter() const { return m_inner; }

    void SetScenarioHooks(CGSEScenarioHooks hooks) { m_hooks = std::move(hooks); }
    // Yes/no questions (caption, text) and messages (text, error) go through these; tests
    // answer them. Defaults: message boxes.
    void SetAsk(std::function<bool(const QString&, const QString&)> ask);
    void SetShowMessage(std::function<void(const QString&, bool)> show) {
        m_showMessage = std::move(show);
    }
    // Picks the file to save to; answers an empty text on cancel. Default: a save dialog.
    void SetSaveFileChooser(std::function<QString()> choose) {
        m_chooseSaveFile = std::move(choose);
    }

    // Reads the Global Map address (and the bounds of maps Alpha, Bravo and Charlie) on a worker
    // thread, then loads the map and shows it; on failure says "Map load Failed". The window
    // stays usable meanwhile. MapLoadFinished tells the outcome.
    void LoadGlobalMap();

    // The menu commands.
    void LoadScenario();
    void SaveScenario();
    void GenerateScenarios();

    QAction* ShowRadarsAction() const { return m_showRadars; }
    QAction* ShowInterceptorsAction() const { return m_showInterceptors; }
    QAction* ShowIncursionsAction() const { return m_showIncursions; }
    QAction* ShowMapLimitsAction() const { return m_showMapLimits; }
    QAction* ZoomInAction() const { return m_zoomIn; }
    QAction* ZoomOutAction() const { return m_zoomOut; }
    QAction* WholeMapAction() const { return m_wholeMap; }
    // The window's place was the one stored from the last time (else the opener places it).
    bool GeometryRestored() const { return m_geometryRestored; }

signals:
    void MapLoadFinished(bool ok);

private:
    void BuildMenus();
    void ApplyDrawOptions();
    void FetchMapLimits();
    void LoadScenarioFile(const std::string& path);
    void ShowMessage(const QString& text, bool error);
    bool Ask(const QString& caption, const QString& text);

    CScenario& m_scenario;
    QUndoStack& m_undo;
    CGSEScenarioHooks m_hooks;
    std::function<bool(const QString&, const QString&)> m_ask;
    std::function<void(const QString&, bool)> m_showMessage;
    std::function<QString()> m_chooseSaveFile;

    CGSEView* m_view = nullptr;
    CGSETreeView* m_tree = nullptr;
    CGSEInfoView* m_info = nullptr;
    QSplitter* m_outer = nullptr;
    QSplitter* m_inner = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_pointerPane = nullptr;
    QAction* m_showRadars = nullptr;
    QAction* m_showInterceptors = nullptr;
    QAction* m_showIncursions = nullptr;
    QAction* m_showMapLimits = nullptr;
    QAction* m_zoomIn = nullptr;
    QAction* m_zoomOut = nullptr;
    QAction* m_wholeMap = nullptr;
    bool m_geometryRestored = false;

    std::array<std::string, 3> m_limitAddresses; // the addresses the shown limits came from
    int m_subscription = 0;
};

} // namespace halyx
