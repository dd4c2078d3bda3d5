#pragma once

#include "study/check.h"

#include <QDialog>

#include <vector>

class QLabel;
class QTableView;

namespace halyx {

class CFindingsModel;

// "Scenario Check": the findings of the check in a table, a line that counts them, and Close.
// It stays open beside the window; clicking a finding about a unit asks for that unit to be
// selected (UnitChosen), so the experimenter can go down the list and mend each one.
class CScenarioCheckDialog : public QDialog {
    Q_OBJECT
public:
    explicit CScenarioCheckDialog(QWidget* parent = nullptr);

    void SetFindings(std::vector<CFinding> findings);
    CFindingsModel* Model() const { return m_model; }
    QTableView* Table() const { return m_table; }
    QLabel* Summary() const { return m_summary; }

signals:
    // kind: the unit's kind; index: its position in its list when checked, id: its ID then.
    void UnitChosen(halyx::UnitKind kind, int index, const QString& id);

private:
    void RowClicked(int row);

    CFindingsModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_summary = nullptr;
};

} // namespace halyx
