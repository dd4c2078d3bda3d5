// The weather page as a user works it: the grid's texts, the season and sliders, Update, a cell
// typed in, the files, undo.
#include "controls/weathergridmodel.h"
#include "desktop/weatherpage.h"
#include "pagefixture.h"

#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QTableView>

#include <fstream>

namespace halyx::test {
namespace {

class WeatherPage : public PageTest {
protected:
    void SetUp() override {
        scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
        page = Open<CWeatherPage>();
    }
    QString Cell(int row, int column) {
        return page->Table()->model()->index(row, column).data().toString();
    }
    // A table cell that carries weather in the base layer: the band's first.
    static std::pair<int, int> WeatherCell() { return {9, 5}; }
    // Double-clicks the cell, replaces its text and presses Return.
    void TypeIntoCell(int row, int column, const QString& text) {
        QTableView* table = page->Table();
        table->scrollTo(table->model()->index(row, column));
        const QPoint at = table->visualRect(table->model()->index(row, column)).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
        auto* editor = table->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits in a queued call.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(table->currentIndex(), table->model()->index(row, column));
    }
    std::unique_ptr<CWeatherPage> page;
};

TEST_F(WeatherPage, ShowsTheChosenHourAndKindWithThreeDecimals) {
    const auto [row, col] = WeatherCell();
    ASSERT_TRUE(CWeatherMap::CarriesWeather(row, col));
    const auto text = [](double value) { return QString::number(value, 'f', 3); };
    const CWeatherMap& map = scenario.Weather();
    EXPECT_EQ(Cell(row, col), text(map.GetCell(row * 40 + col)->GetTemperature()));
    EXPECT_EQ(Cell(0, 0), "-");

    // "T - 1 Hours", the last entry, shows layer 15.
    page->TimeList()->setCurrentIndex(15);
    EXPECT_EQ(Cell(row, col), text(map.GetCell(15 * 1600 + row * 40 + col)->GetTemperature()));
    page->ShowList()->setCurrentIndex(kHumidity);
    EXPECT_EQ(Cell(row, col), text(map.GetCell(15 * 1600 + row * 40 + col)->GetHumidity()));
}

TEST_F(WeatherPage, SeasonFillsTheFieldsAndUpdateWithSlidersAtZeroFlattensTheGrid) {
    const auto before = WeatherFileBytes(scenario.Weather());
    page->SeasonList()->setCurrentIndex(3);
    EXPECT_EQ(page->ReferenceField(kTemperature)->text(), "15");
    EXPECT_EQ(WeatherFileBytes(scenario.Weather()), before); // not before Update

    page->SpaceSlider()->setValue(0);
    page->TimeSlider()->setValue(0);
    QTest::mouseClick(page->Button("Update"), Qt::LeftButton);
    // The whole grid flattened is the generator's own test; one cell shows it here.
    const auto [row, col] = WeatherCell();
    EXPECT_EQ(Cell(row, col), "15.000");
}

// The grid's own edit and the station's answer from it are tested below; here, the typing.
TEST_F(WeatherPage, ACellTypedIntoTheTableIsOneUndoStep) {
    scenario.Weather().ReplaceCell(39 * 40 + 4, nullptr);
    EXPECT_EQ(Cell(39, 4), "-");
    TypeIntoCell(39, 4, "21.5");
    EXPECT_EQ(Cell(39, 4), "21.500");
    // Not a number: the editor does not take it and the cell keeps its value.
    TypeIntoCell(39, 4, "abc");
    EXPECT_EQ(Cell(39, 4), "21.500");

    undoStack.undo();
    EXPECT_EQ(Cell(39, 4), "-");
    EXPECT_GT(scenarioChanges, 0);
}

// An edit that did not come through the cell editor (which takes numbers only) is refused with
// its reason in a box and the cell unchanged; the reference fields take numbers only.
TEST_F(WeatherPage, CellsAndReferenceValuesTakeNumbersOnly) {
    CWeatherGridModel* model = page->Model();
    const auto [row, col] = WeatherCell();
    const QModelIndex cell = model->index(row, col);
    const QVariant old = model->data(cell, Qt::EditRole);
    CatchMessage();
    EXPECT_FALSE(model->setData(cell, QStringLiteral("hot"), Qt::EditRole));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 5000));
    EXPECT_TRUE(messages[0].startsWith("Temperature must be a number"))
        << messages[0].toStdString();
    EXPECT_EQ(model->data(cell, Qt::EditRole), old);
    EXPECT_EQ(CWeatherGridModel::RefusalOf(kHumidity, QStringLiteral("120")),
              "Humidity must lie between 0 and 100");

    QLineEdit* temp = page->ReferenceField(kTemperature);
    temp->clear();
    QTest::keyClicks(temp, QStringLiteral("warm"));
    EXPECT_TRUE(temp->text().isEmpty());
}

TEST_F(WeatherPage, SaveAndLoadDataAndReportFileErrors) {
    const std::string folder = FreshFolder("weather");
    const QString file = QString::fromStdString(folder + "w.hwd");
    const auto saved = WeatherFileBytes(scenario.Weather());
    ClickChoosing(page->Button("Save Data"), file);

    scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0, 0);
    ClickChoosing(page->Button("Load Data"), file);
    EXPECT_EQ(WeatherFileBytes(scenario.Weather()), saved);

    // A broken file and a save into no folder: a message each, the grid as it was.
    const std::string broken = folder + "broken.hwd";
    std::ofstream(broken, std::ios::binary) << std::string("\x28\x00\x00\x00", 4);
    const std::pair<const char*, std::string> failing[] = {
        {"Load Data", broken}, {"Save Data", folder + "no/such/folder/w.hwd"}};
    for (const auto& [button, path] : failing) {
        CatchMessage();
        ClickChoosing(page->Button(button), QString::fromStdString(path));
    }
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(WeatherFileBytes(scenario.Weather()), saved);

    CatchMessage();
    QTest::mouseClick(page->Button("Test"), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_TRUE(messages[2].startsWith("Temp = "));
}

} // namespace
} // namespace halyx::test
