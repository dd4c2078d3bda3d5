#pragma once

// The runs of a study as a table: run, team, block, scenario, state, log, decision.

#include "ui/studypage.h"

#include <QAbstractTableModel>

#include <vector>

namespace halyx {

class CStudyTableModel final : public QAbstractTableModel {
public:
    enum Column { kRun, kTeam, kBlock, kScenario, kState, kLog, kDecision, kColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    // Takes the rows anew; a table of the same length changes in one ranged signal.
    void SetRows(std::vector<CStudyTableRow> rows);
    const std::vector<CStudyTableRow>& Rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<CStudyTableRow> m_rows;
};

} // namespace halyx
