// The unit table model follows its list whoever changes it, and passes Qt's own model checks
// through every kind of change, with and without the sorting proxy.
#include "controls/filedialogs.h"
#include "controls/scenariocommands.h"
#include "controls/unittablemodel.h"
#include "scenario/scenario.h"

#include <QAbstractItemModelTester>
#include <QUndoStack>

#include <gtest/gtest.h>

namespace halyx {
namespace {

TEST(UnitTableModel, FollowsEveryChangeOfItsListAndPassesTheModelChecks) {
    CScenario scenario;
    CUnitTableModel<CRadar> model(scenario.Radars());
    CUnitSortProxy proxy;
    proxy.setSourceModel(&model);
    proxy.sort(0, Qt::DescendingOrder);
    QAbstractItemModelTester modelCheck(&model,
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
    QAbstractItemModelTester proxyCheck(&proxy,
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
    QUndoStack stack;
    for (int i = 0; i < 5; ++i) {
        PushAddUnit(stack, scenario,
                    CRadar("R" + std::to_string(i), "id" + std::to_string(i), "1", "2",
                           std::to_string(10 - i), "-", "-"));
    }
    EXPECT_EQ(model.rowCount(), 5);
    EXPECT_EQ(model.IdAt(4), "id4");
    EXPECT_EQ(proxy.index(0, 0).data().toString(), "R4");

    PushRemoveUnits(stack, scenario, UnitKind::Radar, {"id1", "id3"});
    EXPECT_EQ(model.IdAt(1), "id2");
    stack.undo();
    EXPECT_EQ(model.IdAt(3), "id3");

    CRadar changed = scenario.Radars().At(2);
    changed.SetName("Changed");
    PushEditUnit(stack, scenario, changed);
    EXPECT_EQ(model.index(2, 0).data().toString(), "Changed");

    PushGenerateUnits(stack, scenario, UnitKind::Radar, 80); // a batch: one reset
    EXPECT_EQ(model.rowCount(), 85);
    stack.undo();
    EXPECT_EQ(model.rowCount(), 5);
    PushRemoveAllUnits(stack, scenario, UnitKind::Radar);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.IdAt(0), "");
    stack.undo();
    EXPECT_EQ(proxy.rowCount(), 5);
}

TEST(UnitTableModel, EveryTableShowsNumbersAlikeAndSortsThemAsNumbersWithoutReorderingTheList) {
    // Interceptors keep numbers and print them with six decimals; the other kinds keep the text
    // they were given. The tables show both the same way, without losing a digit that counts.
    CScenario scenario;
    CUnitTableModel<CInterceptor> interceptors(scenario.Interceptors());
    CUnitTableModel<CIncursion> incursions(scenario.Incursions());
    CInterceptor interceptor;
    interceptor.SetSpeed(664);
    interceptor.SetLat(28.123456);
    scenario.Interceptors().Add(interceptor);
    scenario.Incursions().Add(CIncursion("I", "N1", "28.123456", "2", "664.000", "0", "0"));
    EXPECT_EQ(interceptors.index(0, 4).data().toString(), "664.000");
    EXPECT_EQ(incursions.index(0, 4).data().toString(), "664.000");
    EXPECT_EQ(interceptors.index(0, 2).data().toString(), "28.123456");
    EXPECT_EQ(incursions.index(0, 2).data().toString(), "28.123456");

    CUnitSortProxy proxy;
    proxy.setSourceModel(&incursions);
    for (const char* speed : {"100", "9", "25.5", "-"}) {
        scenario.Incursions().Add(CIncursion("I", speed, "1", "2", speed, "0", "0"));
    }
    proxy.sort(4, Qt::AscendingOrder);
    QStringList order;
    for (int row = 0; row < proxy.rowCount(); ++row) {
        order << proxy.index(row, 4).data().toString();
    }
    EXPECT_EQ(order, (QStringList{"9", "25.500", "100", "664.000", "-"}));
    EXPECT_EQ(scenario.Incursions().At(1).GetSpeed(), "100");

    EXPECT_EQ(TableNumberText("276.000"), "276.000");
    EXPECT_EQ(TableNumberText("-80.250000"), "-80.250");
    EXPECT_EQ(TableNumberText("0.5"), "0.500");
    EXPECT_EQ(TableNumberText("12.0001000"), "12.0001");
    // Not plain decimal numbers: left alone.
    for (const char* text : {"", "-", "12", "N3", "1e5", "1.2.3", ".5", "5.", "abc.000"}) {
        EXPECT_EQ(TableNumberText(text), text) << text;
    }
}

TEST(FileFilters, PairsBecomeQtFilters) {
    EXPECT_EQ(QtFileFilter("Halyx Scenario File (*.hsf)|*.hsf||"), "Halyx Scenario File (*.hsf)");
    EXPECT_EQ(QtFileFilter("Text|*.txt;*.log|All Files (*.*)|*.*||"),
              "Text (*.txt *.log);;All Files (*.*)");
    EXPECT_EQ(QtFileFilter(""), "");
}

} // namespace
} // namespace halyx
