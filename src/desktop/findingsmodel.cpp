#include "desktop/findingsmodel.h"

#include <QBrush>
#include <QColor>

namespace halyx {

void CFindingsModel::SetFindings(std::vector<CFinding> findings) {
    beginResetModel();
    m_findings = std::move(findings);
    endResetModel();
}

int CFindingsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_findings.size());
}

int CFindingsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CFindingsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const CFinding& finding = m_findings[static_cast<size_t>(index.row())];
    if (role == Qt::ForegroundRole && index.column() == Severity &&
        finding.severity == FindingSeverity::Error) {
        return QBrush(QColor(0xB0, 0x00, 0x00));
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    switch (index.column()) {
    case Severity:
        return QString::fromUtf8(SeverityName(finding.severity));
    case Component:
        return QString::fromUtf8(ComponentName(finding));
    case Unit:
        return QString::fromStdString(finding.unit);
    case Text:
        return QString::fromStdString(finding.text);
    default:
        return {};
    }
}

QVariant CFindingsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const kHeaders[ColumnCount] = {"Severity", "Component", "Unit", "Finding"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(kHeaders[section])
                                                 : QVariant();
}

} // namespace halyx
