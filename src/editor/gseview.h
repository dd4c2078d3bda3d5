#pragma once

#include "controls/gserenderer.h"
#include "controls/gseselection.h"
#include "editor/gseselecttool.h"
#include "external/maplib/worldmap.h"

#include <QAbstractScrollArea>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QUndoStack;

namespace halyx {

class CAddResourceDlg;
class CScenario;

// The editor's map pane: a thin scrolling widget over CGSERenderer. Mouse input goes to the
// select tool in content coordinates; the right button opens the unit menu; the wheel zooms
// about the pointer; Delete and Escape act on the selection. Every edit goes onto the undo stack.
class CGSEView : public QAbstractScrollArea, public IMapViewport, private IGSEToolHost {
    Q_OBJECT
public:
    static constexpr int kViewId = 104;
    static constexpr int kGridStep = 40;
    static constexpr int kMaxScale = 10;
    static constexpr int kMinZoomOutScale = 3; // zoom out runs only from this scale up

    CGSEView(CScenario& scenario, QUndoStack& undo, QWidget* parent = nullptr);
    ~CGSEView() override;

    // Questions ("Are you sure ...") go through this; tests answer them. Default: a yes/no box.
    void SetAsk(std::function<bool(const QString&)> ask) { m_ask = std::move(ask); }
    // Runs the unit dialog and answers whether it closed with OK. Default: exec().
    void SetDialogRunner(std::function<bool(CAddResourceDlg&)> run) {
        m_runDialog = std::move(run);
    }
    // Shows the pop-up menu at a global point and answers the chosen item. Default: exec().
    void SetMenuRunner(std::function<QAction*(QMenu&, const QPoint&)> run) {
        m_runMenu = std::move(run);
    }

    const CGSESelection& Selection() const override { return m_selection; }
    const CGSEDrawOptions& Shown() const override { return m_renderer.Options(); }
    bool HandleGrabbed() const { return m_handleGrabbed; }
    // Selection none, handle released, the info pane told.
    void ClearSelection();
    // Selects a unit from outside the editor (a finding of the scenario check), as a click on it
    // would, without grabbing its handle.
    void SelectUnit(const CGSESelection& selection) { SetSelection(selection, false); }

    void ZoomIn();
    void ZoomOut();
    int Scale() const;
    // The whole map shrunk into the view, for an overview (the scale alone cannot go that far
    // down); editing works as at any zoom. Zooming in or out leaves it.
    void SetWholeMap(bool on);
    bool WholeMap() const { return m_wholeMap; }
    // Viewport pixels per content pixel: below 1 only for the whole map.
    double Fit() const;
    // Sizes the view to the map at its current zoom (after a map was loaded) and clears the
    // selection.
    void FirstView();
    // The window-pixel box around every unit's position; empty with no units.
    QRect UnitsRect() const;
    // Scrolls so that the units (or the map, with none) stand in the middle of the view.
    void CenterOnUnits();

    CGSERenderer& Renderer() { return m_renderer; }
    void SetDrawOptions(const CGSEDrawOptions& options);
    void SetMapLimits(const CMapLimits& limits);

    // Content coordinates (window pixels of the whole map) of a viewport point, and back.
    QPoint ContentPoint(const QPoint& viewportPoint) const;
    QPoint ViewportPoint(const QPoint& contentPoint) const;
    // Scrolls so that the content point lies at the viewport's top-left (as far as it can).
    void ScrollTo(const QPoint& contentPoint);

    QString PointerText() const { return m_pointerText; }
    // The menu's items, for the frame's tests and the key handling.
    QAction* AddRadarAction() const { return m_addRadar; }
    QAction* AddInterceptorAction() const { return m_addInterceptor; }
    QAction* AddIncursionAction() const { return m_addIncursion; }
    QAction* EditAction() const { return m_edit; }
    QAction* DeleteAction() const { return m_delete; }

    // The pop-up commands, at the last right-click point.
    void AddUnit(UnitKind kind);
    void EditSelectedUnit();
    void DeleteSelectedUnit();

    // IMapViewport
    void OnMapLayout(int viewId, int windowWidth, int windowHeight) override;

signals:
    void SelectionChanged();
    void PointerTextChanged(const QString& text);
    void WholeMapChanged(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    // IGSEToolHost
    void SetSelection(const CGSESelection& selection, bool handleGrabbed) override;
    void UnitMoving(const CGSESelection& unit, bool finished) override;

    const CWorldMap& Map() const;
    void UpdateMapLayout();
    void UpdateScrollBars();
    void ScheduleRepaint();
    void OnScenarioChanged(int change);
    void OpenMenu(const QPoint& viewportPoint);
    void SetPointerText(const QString& text);
    void ZoomAbout(int delta, const QPoint& viewportPoint);
    bool Ask(const QString& question);

    CScenario& m_scenario;
    QUndoStack& m_undo;
    CGSERenderer m_renderer;
    CGSESelectTool m_selectTool;
    CGSESelection m_selection;
    bool m_handleGrabbed = false;
    bool m_firstShown = false;
    QSize m_contentSize;
    QPoint m_menuPoint;   // content coordinates of the last right click
    QRect m_movingBefore; // what the moving unit covered before the step
    QString m_pointerText;
    int m_wheelRemainder = 0;
    bool m_wholeMap = false;
    QTimer m_repaintTimer;
    int m_subscription = 0;

    QMenu* m_menu = nullptr;
    QAction* m_addRadar = nullptr;
    QAction* m_addInterceptor = nullptr;
    QAction* m_addIncursion = nullptr;
    QAction* m_edit = nullptr;
    QAction* m_delete = nullptr;

    std::function<bool(const QString&)> m_ask;
    std::function<bool(CAddResourceDlg&)> m_runDialog;
    std::function<QAction*(QMenu&, const QPoint&)> m_runMenu;
};

} // namespace halyx
