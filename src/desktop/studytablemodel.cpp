#include "desktop/studytablemodel.h"

#include <QBrush>
#include <QColor>

namespace halyx {

void CStudyTableModel::SetRows(std::vector<CStudyTableRow> rows) {
    if (rows.size() != m_rows.size()) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
        return;
    }
    m_rows = std::move(rows);
    if (!m_rows.empty()) {
        emit dataChanged(index(0, 0), index(static_cast<int>(m_rows.size()) - 1, kColumnCount - 1));
    }
}

int CStudyTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CStudyTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CStudyTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const CStudyTableRow& row = m_rows[static_cast<size_t>(index.row())];
    if (row.superseded && role == Qt::ForegroundRole) {
        return QBrush(QColor(0x75, 0x75, 0x75)); // an attempt that no longer counts
    }
    if (role == Qt::BackgroundRole) {
        if (row.superseded) {
            return {};
        }
        if (row.state == "done") {
            return QBrush(QColor(0xe8, 0xf5, 0xe9));
        }
        if (row.state == "running") {
            return QBrush(QColor(0xff, 0xf8, 0xe1));
        }
        if (row.state == "failed") {
            return QBrush(QColor(0xff, 0xeb, 0xee));
        }
        return {};
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    const std::string* cells[] = {&row.run,   &row.team, &row.block,   &row.scenario,
                                  &row.state, &row.log,  &row.decision};
    return QString::fromStdString(*cells[index.column()]);
}

QVariant CStudyTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumnCount) {
        return {};
    }
    static const char* const kHeaders[] = {"Run",   "Team", "Block",   "Scenario",
                                           "State", "Log",  "Decision"};
    return QString::fromUtf8(kHeaders[section]);
}

} // namespace halyx
