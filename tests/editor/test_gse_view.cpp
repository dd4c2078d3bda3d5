// The editor's map view driven as a user drives it: synthesized presses, moves, releases, wheel
// turns and keys on the viewport, with questions, menus and the unit dialog answered by the test.
#include "editortestmap.h"

#include "controls/addresourcedlg.h"
#include "controls/gsegeometry.h"
#include "controls/unittablemodel.h"
#include "editor/gseview.h"
#include "scenario/scenario.h"

#include <QAction>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

namespace halyx {
namespace {

struct EditorView : ::testing::Test {
    CScenario scenario;
    QUndoStack undo;
    std::unique_ptr<CGSEView> view;
    std::vector<QString> questions;
    bool answer = true;

    void SetUp() override {
        test::MakeTestMap(scenario);
        view = std::make_unique<CGSEView>(scenario, undo);
        view->resize(800, 600);
        view->show();
        view->SetAsk([this](const QString& question) {
            questions.push_back(question);
            return answer;
        });
    }

    const CWorldMap& Map() const { return scenario.Geography().GetWorldMap(); }
    QWidget* Viewport() const { return view->viewport(); }

    // The content point of a map position, scrolled into view; then its viewport point.
    QPoint Show(double lat, double lng) {
        const CWindowPoint at = Map().LatLng2PixelLoc(lat, lng);
        view->ScrollTo(QPoint(at.x, at.y) - QPoint(300, 300));
        return view->ViewportPoint(QPoint(at.x, at.y));
    }
    QPoint PointOf(double lat, double lng) const {
        const CWindowPoint at = Map().LatLng2PixelLoc(lat, lng);
        return view->ViewportPoint(QPoint(at.x, at.y));
    }

    void Click(const QPoint& at) { QTest::mouseClick(Viewport(), Qt::LeftButton, {}, at); }
    void Drag(const QPoint& from, const std::vector<QPoint>& path) {
        QTest::mousePress(Viewport(), Qt::LeftButton, {}, from);
        for (const QPoint& step : path) {
            QTest::mouseMove(Viewport(), step);
        }
        QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, path.back());
    }

    // Right-clicks at a point; the menu answers choose (nullptr: closed without a choice) and
    // the Edit/Delete states are kept.
    bool editEnabled = false;
    bool deleteEnabled = false;
    void RightClick(const QPoint& at, QAction* (CGSEView::*choose)() const = nullptr) {
        view->SetMenuRunner([this, choose](QMenu&, const QPoint&) -> QAction* {
            editEnabled = view->EditAction()->isEnabled();
            deleteEnabled = view->DeleteAction()->isEnabled();
            return choose != nullptr ? (view.get()->*choose)() : nullptr;
        });
        QTest::mouseClick(Viewport(), Qt::RightButton, {}, at);
    }
};

TEST_F(EditorView, ClickSelectsInHitOrderRadarsThenIncursionsThenInterceptors) {
    // Two radars one map pixel (3 window pixels) apart, an incursion on the first radar, an
    // interceptor on a second incursion.
    scenario.Radars().Add(CRadar("R1", "r1", "100", "300", "50", "-", "-"));
    scenario.Radars().Add(CRadar("R2", "r2", "101", "300", "50", "-", "-"));
    scenario.Incursions().Add(CIncursion("I1", "i1", "100", "300", "60", "0", "0"));
    scenario.Incursions().Add(CIncursion("I2", "i2", "300", "300", "60", "0", "0"));
    scenario.Interceptors().Add(CInterceptor("F1", "f1", "300", "300", "50", "0", "1", "1", "s"));
    scenario.Interceptors().Add(CInterceptor("F2", "f2", "500", "300", "50", "0", "1", "1", "s"));
    const QPoint r1 = Show(100, 300);
    Click(r1 + QPoint(1, 0)); // between the radars, nearer neither by much: the first wins
    EXPECT_EQ(view->Selection().kind, UnitKind::Radar);
    EXPECT_EQ(view->Selection().id, "r1");
    Click(r1 + QPoint(4, 0)); // closer to R2 but still under 6 pixels from R1
    EXPECT_EQ(view->Selection().id, "r1");
    Click(r1 + QPoint(7, 0)); // only R2 is near now
    EXPECT_EQ(view->Selection().id, "r2");

    Click(Show(300, 300)); // incursion before interceptor
    EXPECT_EQ(view->Selection().kind, UnitKind::Incursion);
    EXPECT_EQ(view->Selection().id, "i2");
    Click(Show(500, 300));
    EXPECT_EQ(view->Selection().kind, UnitKind::Interceptor);
    EXPECT_EQ(view->Selection().id, "f2");
    Click(Show(500, 300) + QPoint(6, 0)); // exactly 6 pixels away is a miss
    EXPECT_TRUE(view->Selection().Empty());
}

TEST_F(EditorView, DraggingAUnitMovesItLiveAndIsOneUndoStep) {
    scenario.Incursions().Add(CIncursion("Boat", "b", "200", "300", "60", "45", "0"));
    // The incursions page's table over the same list.
    CUnitTableModel<CIncursion> table(scenario.Incursions());
    QSignalSpy rowChanged(&table, &QAbstractItemModel::dataChanged);
    const auto cell = [&](int column) {
        return table.data(table.index(0, column), Qt::DisplayRole).toString();
    };
    const QPoint from = Show(200, 300);
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(Viewport(), PointOf(205, 305));
    // The table row follows the drag while the button is still down.
    EXPECT_EQ(cell(2), "205.000");
    EXPECT_EQ(cell(3), "305.000");
    EXPECT_GE(rowChanged.count(), 1);
    QTest::mouseMove(Viewport(), PointOf(210, 310));
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, PointOf(210, 310));
    EXPECT_EQ(scenario.Incursions().At(0).GetLat(), "210.000");
    EXPECT_EQ(scenario.Incursions().At(0).GetLng(), "310.000");
    EXPECT_EQ(undo.count(), 1);

    undo.undo();
    EXPECT_EQ(cell(2), "200");
    undo.redo();
    EXPECT_EQ(scenario.Incursions().At(0).GetLat(), "210.000");

    // A second drag of the same unit is a step of its own.
    Drag(PointOf(210, 310), {PointOf(220, 320)});
    EXPECT_EQ(undo.count(), 2);
    undo.undo();
    EXPECT_EQ(scenario.Incursions().At(0).GetLat(), "210.000");

    // Dragged off the editable region, a unit stays at the last place inside.
    scenario.Radars().Add(CRadar("Edge", "e", "940", "300", "20", "-", "-"));
    const QPoint edge = Show(940, 300); // scrolls: before the points after it
    Drag(edge, {PointOf(945, 300), PointOf(960, 300)});
    EXPECT_EQ(scenario.Radars().At(0).GetLat(), "945.000");

    // Escape during a drag puts the unit back and records nothing; a second one deselects.
    scenario.Interceptors().Add(CInterceptor("Ship", "s", "600", "300", "50", "0", "1", "1", "s"));
    const int steps = undo.count();
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, Show(600, 300));
    QTest::mouseMove(Viewport(), PointOf(620, 320));
    EXPECT_DOUBLE_EQ(scenario.Interceptors().At(0).GetLat(), 620.0);
    QTest::keyClick(view.get(), Qt::Key_Escape);
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, PointOf(620, 320));
    EXPECT_DOUBLE_EQ(scenario.Interceptors().At(0).GetLat(), 600.0);
    EXPECT_EQ(undo.count(), steps);
    QTest::keyClick(view.get(), Qt::Key_Escape);
    EXPECT_TRUE(view->Selection().Empty());
}

TEST_F(EditorView, HandlesSetIncursionSpeedAndHeadingAndRadarRange) {
    scenario.Incursions().Add(CIncursion("Boat", "b", "300", "300", "100", "0", "0"));
    Click(Show(300, 300));
    ASSERT_EQ(view->Selection().kind, UnitKind::Incursion);
    // The handle lies 15 + 0.3 * 100 = 45 map units along the heading (up).
    const CWindowPoint handle = HandlePoint(Map(), 300, 300, 100, 0.0);
    const QPoint grab = view->ViewportPoint(QPoint(handle.x, handle.y));
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, grab);
    EXPECT_TRUE(view->HandleGrabbed());
    QTest::mouseMove(Viewport(), PointOf(315, 300));
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, PointOf(315, 300));
    const CIncursion& boat = scenario.Incursions().At(0);
    EXPECT_EQ(boat.GetSpeed(), "0.000");
    EXPECT_NEAR(boat.GetHeadingValue(), 90.0, 0.1); // to the right, stored in degrees
    EXPECT_EQ(boat.GetLat(), "300");                // the unit itself stays
    EXPECT_EQ(undo.count(), 1);

    // A radar's range follows its dragged circle.
    scenario.Radars().Add(CRadar("Site", "s", "400", "300", "50", "-", "-"));
    Click(Show(400, 300));
    ASSERT_EQ(view->Selection().kind, UnitKind::Radar);
    // A press within 6 map units of the range circle grabs it.
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, PointOf(454, 300));
    EXPECT_TRUE(view->HandleGrabbed());
    QTest::mouseMove(Viewport(), PointOf(480, 300));
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, PointOf(480, 300));
    EXPECT_EQ(scenario.Radars().At(0).GetRange(), "80.000");
    EXPECT_EQ(scenario.Radars().At(0).GetLat(), "400");
    // A press well inside the circle is no grab: it selects at the point (nothing there).
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, PointOf(430, 300));
    EXPECT_FALSE(view->HandleGrabbed());
    EXPECT_TRUE(view->Selection().Empty());
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, PointOf(430, 300));
}

TEST_F(EditorView, HoveringAUnitShowsItsNameAndItsRightClickMenuEditsAndDeletesOnlyAUnit) {
    scenario.Radars().Add(CRadar("Site", "s", "400", "300", "50", "-", "-"));
    const QPoint at = Show(400, 300);
    QHelpEvent over(QEvent::ToolTip, at + QPoint(2, 1), Viewport()->mapToGlobal(at));
    QApplication::sendEvent(Viewport(), &over);
    EXPECT_EQ(QToolTip::text(), "Site");
    QHelpEvent away(QEvent::ToolTip, at + QPoint(40, 0), Viewport()->mapToGlobal(at));
    QApplication::sendEvent(Viewport(), &away);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 3000));

    RightClick(at);
    EXPECT_TRUE(editEnabled);
    EXPECT_TRUE(deleteEnabled);
    EXPECT_EQ(view->Selection().kind, UnitKind::Radar);
    RightClick(Show(700, 500));
    EXPECT_FALSE(editEnabled);
    EXPECT_FALSE(deleteEnabled);
    EXPECT_TRUE(view->Selection().Empty());
    // On the selected radar's range circle the handle is grabbed: no edit, no delete.
    RightClick(Show(400, 300));
    RightClick(PointOf(450, 300));
    EXPECT_TRUE(view->HandleGrabbed());
    EXPECT_FALSE(editEnabled);
}

TEST_F(EditorView, AddingEachKindAtThePointAndEditingAUnitPushOneStepEach) {
    CUnitTexts opened;
    const auto fill = [&](const CUnitTexts& typed) {
        view->SetDialogRunner([&opened, typed](CAddResourceDlg& dialog) {
            opened = dialog.Texts();
            dialog.NameEdit()->setText(typed.name);
            dialog.RangeEdit()->setText(typed.range);
            dialog.SpeedEdit()->setText(typed.speed);
            dialog.HeadingEdit()->setText(typed.heading);
            return true;
        });
    };
    fill({"Tower", "", "", "75", "", "", ""});
    RightClick(Show(123, 456), &CGSEView::AddRadarAction);
    // The dialog opens with the point's position (the radar below keeps it) and no name.
    EXPECT_TRUE(opened.name.isEmpty());
    ASSERT_EQ(scenario.Radars().Count(), 1);
    const CRadar& radar = scenario.Radars().At(0);
    EXPECT_FALSE(radar.GetId().empty());
    EXPECT_EQ(radar, CRadar("Tower", radar.GetId(), "123.00", "456.00", "75", "", ""));

    fill({"Cutter", "", "", "", "", "40", ""});
    RightClick(Show(200, 200), &CGSEView::AddInterceptorAction);
    ASSERT_EQ(scenario.Interceptors().Count(), 1);
    EXPECT_EQ(scenario.Interceptors().At(0).GetName(), "Cutter");
    EXPECT_DOUBLE_EQ(scenario.Interceptors().At(0).GetLng(), 200.0);
    // Edit opens the dialog on the unit under the point; the change is one step.
    view->SetDialogRunner([](CAddResourceDlg& dialog) {
        EXPECT_EQ(dialog.NameEdit()->text(), "Cutter");
        dialog.SpeedEdit()->setText("75");
        return true;
    });
    RightClick(Show(200, 200), &CGSEView::EditAction);
    EXPECT_DOUBLE_EQ(scenario.Interceptors().At(0).GetSpeed(), 75.0);
    EXPECT_EQ(undo.count(), 3);

    fill({"Smuggler", "", "", "", "135", "20", ""});
    RightClick(Show(250, 250), &CGSEView::AddIncursionAction);
    ASSERT_EQ(scenario.Incursions().Count(), 1);
    const CIncursion& incursion = scenario.Incursions().At(0);
    EXPECT_EQ(incursion,
              CIncursion("Smuggler", incursion.GetId(), "250.00", "250.00", "20", "135", "0"));

    EXPECT_EQ(undo.count(), 4);
    undo.undo();
    EXPECT_EQ(scenario.Incursions().Count(), 0);

    // A cancelled dialog adds nothing.
    view->SetDialogRunner([](CAddResourceDlg&) { return false; });
    RightClick(Show(300, 300), &CGSEView::AddRadarAction);
    EXPECT_EQ(scenario.Radars().Count(), 1);
}

TEST_F(EditorView, DeleteAsksByKindAndRemovesOnlyOnYes) {
    scenario.Incursions().Add(CIncursion("Boat", "b", "200", "300", "60", "45", "0"));
    scenario.Radars().Add(CRadar("Site", "s", "400", "300", "50", "-", "-"));
    answer = false;
    RightClick(Show(200, 300), &CGSEView::DeleteAction);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], "Are you sure you want to delete this Incursion?");
    EXPECT_EQ(scenario.Incursions().Count(), 1);
    answer = true;
    RightClick(Show(200, 300), &CGSEView::DeleteAction);
    EXPECT_EQ(scenario.Incursions().Count(), 0);
    EXPECT_TRUE(view->Selection().Empty());

    // The Delete key asks the same question.
    Click(Show(400, 300));
    QTest::keyClick(view.get(), Qt::Key_Delete);
    EXPECT_EQ(questions.back(), "Are you sure you want to delete this Radar?");
    EXPECT_EQ(scenario.Radars().Count(), 0);
    undo.undo();
    EXPECT_EQ(scenario.Radars().Count(), 1);

    // A selected unit removed elsewhere (a table, the undo stack) is deselected at once.
    Click(Show(400, 300));
    ASSERT_FALSE(view->Selection().Empty());
    QSignalSpy changed(view.get(), &CGSEView::SelectionChanged);
    scenario.Radars().RemoveById("s");
    EXPECT_TRUE(view->Selection().Empty());
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(EditorView, ZoomStaysBetweenItsLimitsAndTheWheelKeepsThePointUnderThePointer) {
    for (int i = 0; i < 10; ++i) {
        view->ZoomIn();
    }
    EXPECT_EQ(view->Scale(), 10);
    for (int i = 0; i < 10; ++i) {
        view->ZoomOut();
    }
    // Zoom out runs while the scale is 3 or more, so it stops at 2.
    EXPECT_EQ(view->Scale(), 2);
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 2000 - Viewport()->width());

    // Whole Map goes further: the map's far corner lies in the view, nothing scrolls, and a
    // zoom goes back to the scales.
    const QPoint farCorner(1999, view->verticalScrollBar()->maximum() + Viewport()->height() - 1);
    view->SetWholeMap(true);
    EXPECT_TRUE(Viewport()->rect().contains(view->ViewportPoint(farCorner)));
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0);
    const QPoint back = view->ContentPoint(view->ViewportPoint(QPoint(600, 400)));
    EXPECT_LE((back - QPoint(600, 400)).manhattanLength(), 6);

    // The wheel zooms about the map point under the pointer.
    view->ZoomIn();
    EXPECT_FALSE(view->WholeMap());
    const QPoint pointer(250, 180);
    view->ScrollTo(QPoint(600, 700));
    const QPoint before = view->ContentPoint(pointer);
    const CLatLng under = MapPositionAt(Map(), before.x(), before.y());
    const auto turn = [&](int delta) {
        QWheelEvent wheel(pointer, Viewport()->mapToGlobal(pointer), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Viewport(), &wheel);
    };
    turn(120);
    EXPECT_EQ(view->Scale(), 4);
    const QPoint after = view->ContentPoint(pointer);
    const CLatLng still = MapPositionAt(Map(), after.x(), after.y());
    EXPECT_NEAR(still.lat, under.lat, 1.0);
    EXPECT_NEAR(still.lng, under.lng, 1.0);
    // Half a notch does nothing yet; the second half completes a step.
    turn(-60);
    EXPECT_EQ(view->Scale(), 4);
    turn(-60);
    EXPECT_EQ(view->Scale(), 3);
}

TEST_F(EditorView, PointerOnTheRegionEdgesOrWithoutAMapReadsOutsideMapRegion) {
    QSignalSpy texts(view.get(), &CGSEView::PointerTextChanged);
    const std::tuple<double, double, QString> cases[] = {
        {500, 300, "500.000,300.000 (500,300)"}, {0, 300, "Outside Map Region"},
        {950, 300, "Outside Map Region"},        {500, 95, "Outside Map Region"},
        {500, 655, "Outside Map Region"},        {1, 96, "01.000,96.000 (1,96)"}, // six wide
        {949, 654, "949.000,654.000 (949,654)"}};
    for (const auto& [lat, lng, text] : cases) {
        QTest::mouseMove(Viewport(), Show(lat, lng));
        EXPECT_EQ(view->PointerText(), text) << lat << "," << lng;
    }
    EXPECT_EQ(texts.count(), 4); // repeated texts are not announced again

    // Without a map nothing is selected and the pointer is always outside.
    scenario.Radars().Add(CRadar("Site", "s", "0", "0", "50", "-", "-"));
    scenario.Geography().GetWorldMap().empty();
    view->FirstView();
    for (const QPoint& at : {QPoint(0, 0), QPoint(2, 2), QPoint(100, 100)}) {
        Click(at);
        EXPECT_TRUE(view->Selection().Empty());
        QTest::mouseMove(Viewport(), at + QPoint(1, 1));
        EXPECT_EQ(view->PointerText(), "Outside Map Region");
    }
}

TEST_F(EditorView, OpensCentredOnTheUnitsOrOnTheMapWithoutThem) {
    const QPoint middle(Viewport()->width() / 2, Viewport()->height() / 2);
    const auto nearMiddle = [&](const QPoint& at) {
        return std::abs(at.x() - middle.x()) <= 2 && std::abs(at.y() - middle.y()) <= 2;
    };
    // Far from the map's corner, as a real scenario's units are.
    scenario.Radars().Add(CRadar("R1", "r1", "400", "400", "50", "-", "-"));
    scenario.Incursions().Add(CIncursion("I1", "i1", "500", "500", "60", "0", "0"));
    view->FirstView();
    const QPoint r1 = PointOf(400, 400);
    const QPoint i1 = PointOf(500, 500);
    EXPECT_TRUE(nearMiddle((r1 + i1) / 2))
        << r1.x() << "," << r1.y() << " " << i1.x() << "," << i1.y();
    EXPECT_TRUE(Viewport()->rect().contains(r1));
    EXPECT_TRUE(Viewport()->rect().contains(i1));

    scenario.Radars().RemoveAll();
    scenario.Incursions().RemoveAll();
    view->FirstView();
    EXPECT_GT(view->horizontalScrollBar()->value(), 0);
    EXPECT_GT(view->verticalScrollBar()->value(), 0);
}

} // namespace
} // namespace halyx
