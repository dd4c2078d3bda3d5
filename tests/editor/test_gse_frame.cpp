// The editor window: its panes, the Show toggles, the info pane's lines, the tree's
// load with its bold entry, the load and save commands' questions and paths, and the Global
// Map read on a worker thread. Closing the window, which must destroy it, is driven from the
// main window's test in tests/desktop.
#include "editortestmap.h"

#include "editor/gseframe.h"
#include "editor/gseinfoview.h"
#include "editor/gsetreeview.h"
#include "editor/gseview.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"

#include <QLabel>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace halyx {
namespace {

struct EditorFrame : ::testing::Test {
    CScenario scenario;
    QUndoStack undo;
    std::unique_ptr<CGSEFrame> frame;
    std::vector<QString> asked;
    std::vector<QString> messages;
    bool answer = true;
    std::vector<std::string> loads;

    void SetUp() override {
        LoadDefaultScenario(scenario, std::string(HALYX_SOURCE_DIR) + "/data/maps/");
        frame = std::make_unique<CGSEFrame>(scenario, undo);
        // The test owns the window; closing must not delete it under the test.
        frame->setAttribute(Qt::WA_DeleteOnClose, false);
        frame->SetAsk([this](const QString& caption, const QString& text) {
            asked.push_back(caption + "|" + text);
            return answer;
        });
        frame->SetShowMessage([this](const QString& text, bool) { messages.push_back(text); });
        CGSEScenarioHooks hooks;
        hooks.load = [this] { loads.push_back("<dialog>"); };
        hooks.loadPath = [this](const std::string& path) { loads.push_back(path); };
        frame->SetScenarioHooks(hooks);
    }

    void UseTestMap() {
        test::MakeTestMap(scenario);
        frame->show();
        frame->View()->FirstView();
    }
    QPoint Show(double lat, double lng) {
        const CWindowPoint at = scenario.Geography().GetWorldMap().LatLng2PixelLoc(lat, lng);
        frame->View()->ScrollTo(QPoint(at.x, at.y) - QPoint(200, 200));
        return frame->View()->ViewportPoint(QPoint(at.x, at.y));
    }
    void Click(const QPoint& at) {
        QTest::mouseClick(frame->View()->viewport(), Qt::LeftButton, {}, at);
    }
};

TEST_F(EditorFrame, InfoPaneFollowsTheSelectionCtrlZUndoesADragAndShowItemsHideUnits) {
    UseTestMap();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    EXPECT_TRUE(frame->Info()->Lines().isEmpty());
    Click(Show(538, 269)); // "Natal"
    EXPECT_EQ(frame->Info()->Lines(),
              (QStringList{"Radar", "Name: Natal", "Location: 538, 269", "Range: 130"}));
    Click(Show(296, 395)); // "SloBar2" at Lng "395.4"
    EXPECT_EQ(frame->Info()->Lines(),
              (QStringList{"Incursion", "Name: SloBar2", "Location: 296, 395", "Speed: 60",
                           "Heading: 45", "Appears at Time: 0"}));
    Click(Show(664, 133)); // the first "Battleship"
    EXPECT_EQ(frame->Info()->Lines(),
              (QStringList{"Interceptor", "Name: Battleship", "Location: 664, 133", "Speed: 50"}));
    // The pane follows a drag as it happens.
    QWidget* viewport = frame->View()->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, Show(664, 133));
    QTest::mouseMove(viewport, frame->View()->ViewportPoint(QPoint(670 * 3, (699 - 140) * 3)));
    EXPECT_EQ(frame->Info()->Lines().at(2), "Location: 670, 140");
    QTest::mouseRelease(viewport, Qt::LeftButton, {},
                        frame->View()->ViewportPoint(QPoint(670 * 3, (699 - 140) * 3)));
    EXPECT_EQ(frame->PointerPane()->text(), "670.000,140.000 (670,140)");
    // The pointer pane is wide enough for the longest text the view writes.
    EXPECT_GE(frame->PointerPane()->minimumWidth(),
              frame->PointerPane()->fontMetrics().horizontalAdvance("949.000,654.000 (949,654)"));
    QTest::keyClick(frame->View(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(scenario.Interceptors().At(0).GetLat(), 664);
    Click(Show(900, 600));
    EXPECT_TRUE(frame->Info()->Lines().isEmpty());

    frame->ShowRadarsAction()->trigger();
    frame->ShowMapLimitsAction()->trigger();
    const CGSEDrawOptions options = frame->View()->Renderer().Options();
    EXPECT_FALSE(options.radars);
    EXPECT_FALSE(options.mapLimits);
    EXPECT_TRUE(options.incursions);
    EXPECT_TRUE(options.interceptors);
    frame->ShowRadarsAction()->trigger();
    EXPECT_TRUE(frame->View()->Renderer().Options().radars);

    // Hidden units leave the selection and cannot be picked: "Bahamas" (a radar) at (197, 452).
    Click(Show(197, 452));
    ASSERT_EQ(frame->View()->Selection().kind, UnitKind::Radar);
    frame->ShowRadarsAction()->trigger();
    EXPECT_TRUE(frame->View()->Selection().Empty());
    EXPECT_TRUE(frame->Info()->Lines().isEmpty());
    Click(Show(197, 452));
    EXPECT_TRUE(frame->View()->Selection().Empty());
    // Other radars are out of reach too; incursions are still picked.
    Click(Show(538, 269)); // "Natal" (radar): nothing
    EXPECT_TRUE(frame->View()->Selection().Empty());
    Click(Show(220, 325)); // "Drug Lord 1"
    EXPECT_EQ(frame->View()->Selection().kind, UnitKind::Incursion);
}

TEST_F(EditorFrame, LoadingAsksFirstAndTheTreeKeepsExactlyOneBoldEntry) {
    frame->Tree()->AddTreeEntry("/data/Scenario_0001/Scenario_0001.hsf");
    frame->Tree()->AddTreeEntry("/data/Scenario_0002/Scenario_0002.hsf");
    answer = false;
    frame->Tree()->LoadEntry(0);
    EXPECT_TRUE(loads.empty());
    EXPECT_FALSE(frame->Tree()->IsBold(0));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].startsWith("Load Scenario|Changes made to the current scenario"));
    answer = true;
    frame->Tree()->LoadEntry(0);
    frame->Tree()->LoadEntry(1);
    EXPECT_FALSE(frame->Tree()->IsBold(0));
    EXPECT_TRUE(frame->Tree()->IsBold(1));
    EXPECT_EQ(loads, (std::vector<std::string>{"/data/Scenario_0001/Scenario_0001.hsf",
                                               "/data/Scenario_0002/Scenario_0002.hsf"}));

    // Load Scenario asks first; answering No keeps the selection.
    loads.clear();
    UseTestMap();
    Click(Show(538, 269));
    answer = false;
    frame->LoadScenario();
    EXPECT_TRUE(asked.back().startsWith("HALYX Graphical Scenario Editor|Changes made"));
    EXPECT_TRUE(loads.empty());
    EXPECT_FALSE(frame->View()->Selection().Empty());
    answer = true;
    frame->LoadScenario();
    EXPECT_EQ(loads, std::vector<std::string>{"<dialog>"});
    EXPECT_TRUE(frame->View()->Selection().Empty());
}

TEST_F(EditorFrame, SaveHandsOverFolderAndTitleAndGeneratedScenariosJoinTheTree) {
    std::string folder;
    std::string title;
    CGSEScenarioHooks hooks;
    hooks.save = [&](const std::string& f, const std::string& t) {
        folder = f;
        title = t;
    };
    frame->SetScenarioHooks(hooks);
    frame->SetSaveFileChooser([] { return QStringLiteral("/tmp/F/Test.hsf"); });
    frame->SaveScenario();
    EXPECT_EQ(folder, "/tmp/F/");
    EXPECT_EQ(title, "Test");
    // A cancelled dialog saves nothing.
    folder.clear();
    frame->SetSaveFileChooser([] { return QString(); });
    frame->SaveScenario();
    EXPECT_TRUE(folder.empty());

    // Generated scenarios are appended to the tree in order.
    hooks.generate = [] { return std::vector<std::string>{"/g/S_0001.hsf", "/g/S_0002.hsf"}; };
    frame->SetScenarioHooks(hooks);
    frame->GenerateScenarios();
    ASSERT_EQ(frame->Tree()->EntryCount(), 2);
    EXPECT_EQ(frame->Tree()->EntryText(1), "/g/S_0002.hsf");
}

// The Global Map read off the window thread, with the station maps' limits; one that cannot be
// read says so and the window stays.
TEST_F(EditorFrame, GlobalMapLoadsWithItsLimitsOrSaysMapLoadFailed) {
    const std::string world = scenario.Geography().GetMapURL(CGeography::kGlobalMap);
    scenario.Geography().SetMapURL(CGeography::kGlobalMap, "/nonexistent/world.txt");
    frame->resize(1100, 820);
    frame->show();
    QSignalSpy finished(frame.get(), &CGSEFrame::MapLoadFinished);
    frame->LoadGlobalMap();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(finished.at(0).at(0).toBool());
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "Error in retriving /nonexistent/world.txt");
    EXPECT_EQ(messages.back(), "Map load Failed");
    EXPECT_TRUE(frame->isVisible());

    messages.clear();
    scenario.Geography().SetMapURL(CGeography::kGlobalMap, world);
    frame->LoadGlobalMap();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(finished.at(1).at(0).toBool());
    EXPECT_TRUE(scenario.Geography().GetWorldMap().exists());
    for (const CMapLimit& limit : frame->View()->Renderer().MapLimits()) {
        EXPECT_TRUE(limit.ok);
    }
    EXPECT_TRUE(messages.empty());
}

} // namespace
} // namespace halyx
