// The weather grid model passes Qt's model checks through edits, regeneration and undo, and its
// heat-map colours run from the lowest to the highest value of the layer shown.
#include "controls/scenariocommands.h"
#include "controls/weathergridmodel.h"
#include "scenario/scenario.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QUndoStack>

#include <gtest/gtest.h>

namespace halyx {
namespace {

TEST(WeatherGridModel, FollowsTheGridAndColoursByValue) {
    CScenario scenario;
    QUndoStack stack;
    CWeatherGridModel model(scenario, stack);
    QAbstractItemModelTester check(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(model.index(0, 0).data().toString(), "-");
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable); // no grid yet

    PushWeatherChange(stack, scenario, "Update",
                      [](CWeatherMap& map) { map.Generate(CWeatherMap::kCellsPerLayer, 0, 0); });
    const double reference = scenario.Weather().GetReference().GetTemperature();
    EXPECT_EQ(model.Low(), reference);
    EXPECT_EQ(model.High(), reference);

    // One hotter cell: it takes the hot end of the scale, the others the cold end.
    QSignalSpy range(&model, &CWeatherGridModel::RangeChanged);
    ASSERT_TRUE(model.setData(model.index(39, 4), QStringLiteral("1000"), Qt::EditRole));
    EXPECT_EQ(model.index(39, 4).data().toString(), "1000.000");
    EXPECT_EQ(model.High(), 1000.0);
    EXPECT_FALSE(range.isEmpty());
    EXPECT_EQ(model.index(39, 4).data(Qt::BackgroundRole).value<QColor>(),
              CWeatherGridModel::HeatColour(1, 0, 1));
    // Another cell of the band, the first one.
    ASSERT_TRUE(CWeatherMap::CarriesWeather(9, 5));
    EXPECT_EQ(model.index(9, 5).data(Qt::BackgroundRole).value<QColor>(),
              CWeatherGridModel::HeatColour(0, 0, 1));
    EXPECT_EQ(model.index(0, 0).data(Qt::BackgroundRole), QVariant()); // a "-" cell is not coloured

    // Another layer and kind: the edit belongs to layer 0's temperature only.
    model.SetShown(kPressure, 15);
    EXPECT_NE(model.index(39, 4).data().toString(), "1000.000");
    model.SetShown(kTemperature, 0);
    stack.undo();
    EXPECT_EQ(model.High(), reference);
    stack.undo();
    EXPECT_EQ(model.index(39, 4).data().toString(), "-");
}

} // namespace
} // namespace halyx
