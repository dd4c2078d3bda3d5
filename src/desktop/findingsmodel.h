#pragma once

#include "study/check.h"

#include <QAbstractTableModel>

#include <vector>

namespace halyx {

// The findings of a scenario check as a table: severity, component, unit, text.
class CFindingsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Severity, Component, Unit, Text, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    void SetFindings(std::vector<CFinding> findings);
    const std::vector<CFinding>& Findings() const { return m_findings; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<CFinding> m_findings;
};

} // namespace halyx
