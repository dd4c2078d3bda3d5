#pragma once

#include "desktop/page.h"
#include "desktop/scenariocheckdialog.h"
#include "scenario/scenariofileset.h"
#include "scenario/scenariopagemodel.h"
#include "study/check.h"

#include <QPointer>

#include <array>
#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace halyx {

// "Scenarios": the scenario's name, location and notes and the file name and folder of each of
// its eight components, the Save / Save As / Load of the whole set with a progress window, and
// the generation of a batch of scenarios. A save or a load marks the undo stack clean, which
// clears the window's unsaved mark.
class CScenarioPage : public CPage {
    Q_OBJECT
public:
    CScenarioPage(CPageContext& context, QWidget* parent = nullptr);

    QString Caption() const override { return QStringLiteral("Scenarios"); }
    void Refresh() override;

    // Told, on the window's thread, whether a save or load went through once it is over. Not
    // told when the user picked no file.
    using Then = std::function<void(bool done)>;

    // "Save Scenario": checks the fields ("Please fill in all the fields with valid filenames and
    // save locations"), then saves the set in the background with progress. then learns whether
    // the scenario file was written. The window calls it when the user wants the changes saved
    // at Shutdown.
    void Save(Then then = {});
    // "Save As": the set under a scenario file the user picks (its folder becomes the scenario
    // location, its name the scenario name). A save that fails puts the fields back.
    void SaveAs();
    void SaveAs(const QString& scenarioFile, Then then = {});
    // "Load Scenario": asks for a scenario file, then reads the set in the background with
    // progress; only a set read whole replaces the scenario.
    void Load();
    void Load(const QString& scenarioFile, Then then = {});
    // The same load done at once, for the Study page, which prepares a run in one step: a set is
    // a handful of small files, read whole before anything is replaced.
    bool LoadAtOnce(const QString& scenarioFile);
    // "Generate Scenarios...": the batch dialog, then the batch with progress.
    void GenerateScenarios();
    // "Check Scenario": checks the scenario as it stands and shows the findings in a window
    // that stays open beside this one (the same window again on the next check).
    void ShowScenarioCheck();
    CScenarioCheckDialog* CheckDialog() const { return m_checkDialog; }

    CScenarioPageModel& Model() { return m_model; }
    QLineEdit* NameField() const { return m_name; }
    QLineEdit* LocationField() const { return m_location; }
    QPlainTextEdit* NotesField() const { return m_notes; }
    QLineEdit* FileNameField(ScenarioComponent c) const {
        return m_fileNames[static_cast<size_t>(c)];
    }
    QLineEdit* LocationField(ScenarioComponent c) const {
        return m_locations[static_cast<size_t>(c)];
    }
    QPushButton* Button(const QString& text) const;

signals:
    // A finding of the check about this unit was clicked: the window selects it in its table
    // and in the editor.
    void UnitChosen(halyx::UnitKind kind, int index, const QString& id);

private:
    void ShowFields();
    void ChooseFolder(int component); // -1: the scenario location
    void ShowSaveProblems(const std::string& error, const std::vector<std::string>& skipped);
    void ShowLoaded(const CScenarioLoadResult& result, const CScenarioFields& fields);

    CPageContext& m_context;
    CScenarioPageModel m_model;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_location = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    std::array<QLineEdit*, kScenarioComponents> m_fileNames{};
    std::array<QLineEdit*, kScenarioComponents> m_locations{};
    QPointer<CScenarioCheckDialog> m_checkDialog;
};

} // namespace halyx
