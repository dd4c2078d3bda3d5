// The scenarios page as a user works it: Save in the background on a copy, Load back to the same
// scenario, the batch generation dialog.
#include "controls/generatescenariodlg.h"
#include "controls/scenariocommands.h"
#include "desktop/scenariopage.h"
#include "pagefixture.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenarioxml.h"

#include <QPlainTextEdit>
#include <QSpinBox>
#include <filesystem>

namespace halyx::test {
namespace {

class ScenarioPage : public PageTest {
protected:
    void SetUp() override {
        LoadDefaultScenario(scenario, HALYX_SOURCE_DIR "/data/maps/");
        scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
        folder = FreshFolder("scenarios");
        page = Open<CScenarioPage>();
    }
    std::string folder;
    std::unique_ptr<CScenarioPage> page;
};

// How the fields are rebuilt and checked before a save is the page model's own test; here, the
// widgets.
TEST_F(ScenarioPage, SaveAsASetAndLoadItBackGivesTheSameScenario) {
    // The folder button (the page's first) and a typed name.
    ClickChoosing(page->findChildren<QPushButton*>(QString()).at(0),
                  QString::fromStdString(folder).chopped(1));
    Type(page->NameField(), "Alpha");
    page->NotesField()->setPlainText("line one\nline two\nline three");
    PushRemoveUnits(undoStack, scenario, UnitKind::Radar, {scenario.Radars().At(0).GetId()});
    ASSERT_FALSE(undoStack.isClean());

    const std::string saved = ScenarioXml(scenario);
    Click(page->Button("Save Scenario"));
    // The save runs on a copy: a change made after it started is not in the files.
    PushRemoveAllUnits(undoStack, scenario, UnitKind::Radar);
    ASSERT_TRUE(BackgroundWorkDone());
    EXPECT_FALSE(undoStack.isClean());
    const std::string hsf = folder + "Alpha/Alpha.hsf";
    ASSERT_TRUE(std::filesystem::exists(hsf));

    // Change everything a little, then load the set back.
    PushRemoveAllUnits(undoStack, scenario, UnitKind::Incursion);
    scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0, 0);
    page->NotesField()->setPlainText("other");
    ClickChoosing(page->Button("Load Scenario"), QString::fromStdString(hsf));
    ASSERT_TRUE(BackgroundWorkDone());
    EXPECT_EQ(ScenarioXml(scenario), saved);
    EXPECT_EQ(page->NotesField()->toPlainText(), "line one\nline two\nline three");
    EXPECT_EQ(undoStack.count(), 0);
    EXPECT_TRUE(undoStack.isClean());

    // Save As under another name writes a second set.
    bool done = false;
    page->SaveAs(QString::fromStdString(folder + "Copy/Gamma.hsf"), [&](bool ok) { done = ok; });
    ASSERT_TRUE(BackgroundWorkDone());
    EXPECT_TRUE(done);
    EXPECT_TRUE(std::filesystem::exists(folder + "Copy/Weather Data/Gamma_Weather.hwd"));
    EXPECT_EQ(page->NameField()->text(), "Gamma");

    // A set that does not read changes nothing.
    CatchMessage();
    done = true;
    page->Load(QString::fromStdString(folder + "missing.hsf"), [&](bool ok) { done = ok; });
    ASSERT_TRUE(BackgroundWorkDone());
    EXPECT_FALSE(done);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Error Loading Scenario");
    EXPECT_EQ(ScenarioXml(scenario), saved);
    EXPECT_EQ(page->NameField()->text(), "Gamma");
}

TEST_F(ScenarioPage, TheGenerationDialogWritesABatch) {
    WhenModal<CGenerateScenarioDlg>([this](CGenerateScenarioDlg* dialog) {
        dialog->FolderEdit()->clear();
        CatchMessage();
        dialog->accept();
        EXPECT_TRUE(dialog->isVisible());
        dialog->ScenariosBox()->setValue(2);
        dialog->RadarsBox()->setValue(1);
        dialog->InterceptorsBox()->setValue(2);
        dialog->IncursionsBox()->setValue(3);
        dialog->FolderEdit()->setText(QString::fromStdString(folder).chopped(1));
        dialog->accept();
    });
    const int radarsBefore = scenario.Radars().Count();
    Click(page->Button("Generate Scenarios..."));
    ASSERT_TRUE(BackgroundWorkDone());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Please enter a save location");
    EXPECT_TRUE(std::filesystem::exists(folder + "Scenario_0002/Scenario_0002.hsf"));
    EXPECT_EQ(scenario.Radars().Count(), 1);
    EXPECT_EQ(scenario.Incursions().Count(), 3);
    undoStack.undo();
    EXPECT_EQ(scenario.Radars().Count(), radarsBefore);
}

} // namespace
} // namespace halyx::test
