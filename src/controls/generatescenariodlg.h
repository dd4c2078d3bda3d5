#pragma once

#include "scenario/generation.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QSpinBox;
class QUndoStack;

namespace halyx {

class CScenario;

// "Auto Generate Scenarios": how many scenarios, the units of each, and the folder they go to.
class CGenerateScenarioDlg : public QDialog {
    Q_OBJECT
public:
    explicit CGenerateScenarioDlg(QWidget* parent = nullptr);

    // The dialog's values; the folder ends with a separator after OK.
    CBatchOptions Options() const;

    // OK: an empty folder shows "Please enter a save location" and keeps the dialog open.
    void accept() override;
    // "...": a folder picker starting at the default scenario folder (created when missing).
    void ChooseFolder();

    QSpinBox* ScenariosBox() const { return m_scenarios; }
    QSpinBox* RadarsBox() const { return m_radars; }
    QSpinBox* InterceptorsBox() const { return m_interceptors; }
    QSpinBox* IncursionsBox() const { return m_incursions; }
    QLineEdit* FolderEdit() const { return m_folder; }

private:
    QSpinBox* m_scenarios = nullptr;
    QSpinBox* m_radars = nullptr;
    QSpinBox* m_interceptors = nullptr;
    QSpinBox* m_incursions = nullptr;
    QLineEdit* m_folder = nullptr;
};

// Runs the batch in the background on a copy of the scenario, with a progress dialog that can
// cancel between scenarios, and tells the user when it stopped early. The unit lists then hold
// the last scenario's units; that replacement is one step on the undo stack. then gets the
// batch's result. A canceled batch leaves the scenario as it was (the sets written so far stay)
// and then is not called.
void RunScenarioBatch(QWidget* parent, CScenario& scenario, QUndoStack& stack,
                      const CBatchOptions& options,
                      std::function<void(const CBatchResult&)> then = {});

} // namespace halyx
