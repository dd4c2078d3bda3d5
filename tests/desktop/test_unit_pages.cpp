// The unit pages as a user works them: add, edit by double click, remove selected rows, remove
// all, save and load, auto generate, and undo and redo of each.
#include "controls/addresourcedlg.h"
#include "controls/genresdlg.h"
#include "controls/unittablemodel.h"
#include "desktop/unitpages.h"
#include "desktop/unitpane.h"
#include "pagefixture.h"
#include "scenario/unitfiles.h"

#include <QHeaderView>
#include <QSpinBox>
#include <QTableView>

#include <fstream>

namespace halyx::test {
namespace {

class UnitPages : public PageTest {
protected:
    void SetUp() override { page = Open<CIncursionsPage>(900, 700); }

    // Fills the unit dialog the next click opens and presses OK.
    void AnswerUnitDialog(const CUnitTexts& texts) {
        WhenModal<CAddResourceDlg>([texts](CAddResourceDlg* dialog) {
            const auto type = [](QLineEdit* edit, const QString& text) {
                if (edit->isEnabled()) {
                    Type(edit, text);
                }
            };
            type(dialog->NameEdit(), texts.name);
            type(dialog->LatEdit(), texts.latitude);
            type(dialog->LngEdit(), texts.longitude);
            type(dialog->RangeEdit(), texts.range);
            type(dialog->SpeedEdit(), texts.speed);
            type(dialog->HeadingEdit(), texts.heading);
            type(dialog->TimeEdit(), texts.time);
            dialog->accept();
        });
    }

    QPoint RowCentre(CUnitPane* pane, int row) {
        QTableView* table = pane->Table();
        return table->visualRect(table->model()->index(row, 0)).center();
    }

    QString Cell(CUnitPane* pane, int row, int column) {
        return pane->Table()->model()->index(row, column).data().toString();
    }

    std::unique_ptr<CIncursionsPage> page;
};

TEST_F(UnitPages, AddEditUndoAndAutoGenerateIncursions) {
    CUnitPane* pane = page->IncursionPane();
    AnswerUnitDialog({"Boat", "100", "200", "", "45", "300", "7"});
    Click(pane->Button("Add New"));
    ASSERT_EQ(scenario.Incursions().Count(), 1);
    const CIncursion& added = scenario.Incursions().At(0);
    EXPECT_EQ(added, CIncursion("Boat", added.GetId(), "100", "200", "300", "45", "7"));
    EXPECT_EQ(Cell(pane, 0, 1).toStdString(), added.GetId());
    EXPECT_GT(scenarioChanges, 0);

    // Double click: the dialog shows the unit; a new speed is written back.
    AnswerUnitDialog({"Fast boat", "100", "200", "", "45", "999", "7"});
    QTest::mouseClick(pane->Table()->viewport(), Qt::LeftButton, {}, RowCentre(pane, 0));
    QTest::mouseDClick(pane->Table()->viewport(), Qt::LeftButton, {}, RowCentre(pane, 0));
    EXPECT_EQ(scenario.Incursions().At(0).GetSpeed(), "999");
    EXPECT_EQ(Cell(pane, 0, 0), "Fast boat");

    undoStack.undo();
    EXPECT_EQ(Cell(pane, 0, 0), "Boat");

    // Auto Generate appends the count chosen.
    WhenModal<CGenResDlg>([](CGenResDlg* dialog) {
        dialog->CountBox()->setValue(2);
        dialog->accept();
    });
    Click(pane->Button("Auto Generate"));
    EXPECT_EQ(pane->Table()->model()->rowCount(), 3);
}

TEST_F(UnitPages, RemoveThreeSelectedRowsMatchedById) {
    CUnitPane* pane = page->RadarPane();
    for (int i = 0; i < 6; ++i) {
        // All of one name: rows are told apart by ID only.
        scenario.Radars().Add(CRadar("Twin", "id" + std::to_string(i), "1", "2", "3", "-", "-"));
    }
    ASSERT_EQ(pane->Table()->model()->rowCount(), 6);
    // Sort by name descending (a view sort): the list keeps its order.
    pane->Table()->horizontalHeader()->setSortIndicator(1, Qt::DescendingOrder);
    EXPECT_EQ(Cell(pane, 0, 1), "id5");
    EXPECT_EQ(scenario.Radars().At(0).GetId(), "id0");

    QTest::mouseClick(pane->Table()->viewport(), Qt::LeftButton, {}, RowCentre(pane, 0));
    QTest::mouseClick(pane->Table()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      RowCentre(pane, 2));
    QTest::mouseClick(pane->Table()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      RowCentre(pane, 5));
    Click(pane->Button("Remove"));
    std::vector<std::string> left;
    for (const CRadar& radar : scenario.Radars()) {
        left.push_back(radar.GetId());
    }
    EXPECT_EQ(left, (std::vector<std::string>{"id1", "id2", "id4"}));

    // Remove All empties this pane only.
    scenario.Incursions().Add(CIncursion("I", "i1", "1", "2", "3", "4", "5"));
    Click(pane->Button("Remove All"));
    EXPECT_EQ(scenario.Radars().Count(), 0);
    EXPECT_EQ(page->IncursionPane()->Table()->model()->rowCount(), 1);
}

TEST_F(UnitPages, SaveAndLoadEachUnitFile) {
    const std::string folder = FreshFolder("units");
    scenario.Radars().Add(CRadar("R", "r1", "1", "2", "3", "-", "-"));
    scenario.Incursions().Add(CIncursion("I", "i1", "1", "2", "3", "4", "5"));

    const QString radarFile = QString::fromStdString(folder + "radars.hrd");
    EXPECT_EQ(ClickChoosing(page->RadarPane()->Button("Save to Disk"), radarFile).at(0).mode,
              CFileRequest::Mode::Save);

    ClickChoosing(page->IncursionPane()->Button("Save to Disk"),
                  QString::fromStdString(folder + "inc.hid"));

    scenario.Radars().RemoveAll();
    scenario.Radars().Add(CRadar("Other", "r2", "1", "2", "3", "-", "-"));
    ClickChoosing(page->RadarPane()->Button("Load from Disk"), radarFile);
    ASSERT_EQ(scenario.Radars().Count(), 1);
    EXPECT_EQ(scenario.Radars().At(0).GetId(), "r1");
    EXPECT_EQ(Cell(page->RadarPane(), 0, 0), "R");
    EXPECT_EQ(scenario.Incursions().Count(), 1);

    // A broken file is reported and changes nothing.
    const std::string broken = folder + "broken.hrd";
    std::ofstream(broken, std::ios::binary) << std::string("\x05\x00\x00\x00\x01", 5);
    CatchMessage();
    ClickChoosing(page->RadarPane()->Button("Load from Disk"), QString::fromStdString(broken));
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(scenario.Radars().At(0).GetId(), "r1");

    ClickChoosing(page->RadarPane()->Button("Load from Disk"), QString()); // cancelled
    EXPECT_EQ(scenario.Radars().At(0).GetId(), "r1");
}

} // namespace
} // namespace halyx::test
