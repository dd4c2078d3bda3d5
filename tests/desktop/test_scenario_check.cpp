// The scenario check from the desktop: Check Scenario lists the findings, a click on one shows
// the unit in its table and in the editor, and Initialize Simulation asks before going on with
// errors.
#include "initpagefixture.h"

#include "controls/gseselection.h"
#include "controls/unittablemodel.h"
#include "desktop/findingsmodel.h"
#include "desktop/scenariopage.h"
#include "desktop/unitpages.h"
#include "desktop/unitpane.h"
#include "editor/gseframe.h"
#include "editor/gseview.h"
#include "scenario/defaultscenario.h"

#include <QItemSelectionModel>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>

namespace halyx::test {
namespace {

class ScenarioCheckWindow : public InitPageTest {
protected:
    ScenarioCheckWindow() : InitPageTest("test_desktop_scenario_check") {}

    // The list row of the one row selected in the table (shown through its sorting proxy), or -1.
    static int SelectedListRow(QTableView* table) {
        const QModelIndexList selected = table->selectionModel()->selectedRows();
        const auto* proxy = qobject_cast<const QSortFilterProxyModel*>(table->model());
        return selected.size() == 1 && proxy ? proxy->mapToSource(selected.front()).row() : -1;
    }
};

TEST_F(ScenarioCheckWindow, FindingSelectsItsUnitAndInitializeAsksAboutErrors) {
    LoadDefaultScenario(scenario, HALYX_SOURCE_DIR "/data/maps/");
    scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
    scenario.Radars().At(3).SetLat("990");
    const std::string radarId = scenario.Radars().At(3).GetId();
    Click(window->EditorToggle());
    ASSERT_NE(window->Editor(), nullptr);

    CScenarioPage* page = window->ScenarioPage();
    Click(page->Button(QStringLiteral("Check Scenario")));
    CScenarioCheckDialog* dialog = page->CheckDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(dialog->Model()->rowCount(), 1);
    EXPECT_EQ(dialog->Model()->index(0, CFindingsModel::Unit).data().toString().toStdString(),
              radarId);

    QTableView* findings = dialog->Table();
    const QRect cell = findings->visualRect(dialog->Model()->index(0, CFindingsModel::Text));
    QTest::mouseClick(findings->viewport(), Qt::LeftButton, {}, cell.center());

    auto* incursionsPage = qobject_cast<CIncursionsPage*>(window->Sheet()->currentWidget());
    ASSERT_NE(incursionsPage, nullptr) << "the radar's page is not shown";
    CUnitPane* radars = incursionsPage->RadarPane();
    EXPECT_EQ(SelectedListRow(radars->Table()), 3);
    EXPECT_EQ(window->Editor()->View()->Selection(), (CGSESelection{UnitKind::Radar, 3, radarId}));
    // The window stands beside the row it selected, not over it.
    const QRect row = radars->Table()->visualRect(radars->Table()->currentIndex());
    EXPECT_FALSE(dialog->frameGeometry().intersects(
        QRect(radars->Table()->viewport()->mapToGlobal(row.topLeft()), row.size())));

    // A unit removed since the check is not shown in another unit's place.
    scenario.Radars().RemoveById(radarId);
    radars->Table()->clearSelection();
    QTest::mouseClick(findings->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_TRUE(radars->Table()->selectionModel()->selectedRows().isEmpty());

    // An interceptor's finding shows the other page, with the unit in its table and the editor.
    ASSERT_GE(scenario.Interceptors().Count(), 2);
    const std::string interceptorId = scenario.Interceptors().At(1).GetId();
    emit dialog->UnitChosen(UnitKind::Interceptor, 1, QString::fromStdString(interceptorId));
    auto* interceptorsPage = qobject_cast<CInterceptorsPage*>(window->Sheet()->currentWidget());
    ASSERT_NE(interceptorsPage, nullptr) << "the interceptor's page is not shown";
    EXPECT_EQ(SelectedListRow(interceptorsPage->InterceptorPane()->Table()), 1);
    EXPECT_EQ(window->Editor()->View()->Selection(),
              (CGSESelection{UnitKind::Interceptor, 1, interceptorId}));

    // Initialize Simulation names the errors and stops at No.
    scenario.Radars().Add(CRadar("Lost", "R-out", "500", "10", "90", "-", "-"));
    Team();
    QString question;
    {
        auto answer = AnswerBox(QMessageBox::No, &question);
        Page().InitializeSimulation();
        EXPECT_TRUE(answer->Done());
    }
    EXPECT_EQ(question.toStdString(),
              std::string(CInitPage::kCheckErrorsStart) +
                  "ERROR radar R-out position 500.000, 10.000 lies outside the editable region "
                  "(latitude 0 to 950, longitude 95 to 655)\n" +
                  CInitPage::kCheckErrorsEnd);
    EXPECT_FALSE(log.IsOpen());
}

} // namespace
} // namespace halyx::test
