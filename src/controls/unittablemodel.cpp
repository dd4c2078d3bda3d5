#include "controls/unittablemodel.h"

namespace halyx {

std::vector<CColumnSpec> ParseColumnSpec(const QString& spec) {
    std::vector<CColumnSpec> columns;
    for (const QString& pair : spec.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype comma = pair.lastIndexOf(QLatin1Char(','));
        CColumnSpec column;
        column.heading = comma < 0 ? pair : pair.left(comma);
        column.width = comma < 0 ? 0 : pair.mid(comma + 1).toInt();
        columns.push_back(column);
    }
    return columns;
}

std::string UnitCellText(const CIncursion& unit, int column) {
    switch (column) {
    case 0:
        return unit.GetName();
    case 1:
        return unit.GetId();
    case 2:
        return unit.GetLat();
    case 3:
        return unit.GetLng();
    case 4:
        return unit.GetSpeed();
    case 5:
        return unit.GetHeading();
    case 6:
        return unit.GetTime();
    default:
        return {};
    }
}

std::string UnitCellText(const CRadar& unit, int column) {
    switch (column) {
    case 0:
        return unit.GetName();
    case 1:
        return unit.GetId();
    case 2:
        return unit.GetLat();
    case 3:
        return unit.GetLng();
    case 4:
        return unit.GetRange();
    case 5:
        return unit.GetLife();
    case 6:
        return unit.GetOwner();
    default:
        return {};
    }
}

std::string UnitCellText(const CInterceptor& unit, int column) {
    switch (column) {
    case 0:
        return unit.GetName();
    case 1:
        return unit.GetId();
    case 2:
        return unit.GetLatText();
    case 3:
        return unit.GetLngText();
    case 4:
        return unit.GetSpeedText();
    case 5:
        return unit.GetHeadingText();
    case 6:
        return unit.GetRangeText();
    case 7:
        return unit.GetMinRangeText();
    case 8:
        return unit.GetScope();
    default:
        return {};
    }
}

CUnitTableModelBase::CUnitTableModelBase(const QString& columnSpec, QObject* parent)
    : QAbstractTableModel(parent), m_columns(ParseColumnSpec(columnSpec)) {}

int CUnitTableModelBase::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int CUnitTableModelBase::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant CUnitTableModelBase::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(m_columns.size())) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole) {
        return m_columns[static_cast<size_t>(section)].heading;
    }
    return {};
}

QVariant CUnitTableModelBase::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= ListCount() || role != Qt::DisplayRole) {
        return {};
    }
    return QString::fromStdString(CellText(index.row(), index.column()));
}

QString CUnitTableModelBase::IdAt(int row) const {
    if (row < 0 || row >= ListCount() || row >= m_rows) {
        return {};
    }
    return QString::fromStdString(CellText(row, 1));
}

void CUnitTableModelBase::OnListChange(UnitListChange change, int index) {
    switch (change) {
    case UnitListChange::Added:
        beginInsertRows({}, index, index);
        ++m_rows;
        endInsertRows();
        break;
    case UnitListChange::Removed:
        beginRemoveRows({}, index, index);
        --m_rows;
        endRemoveRows();
        break;
    case UnitListChange::Changed:
        emit dataChanged(this->index(index, 0), this->index(index, columnCount() - 1));
        break;
    case UnitListChange::Reset:
        beginResetModel();
        m_rows = ListCount();
        endResetModel();
        break;
    }
}

bool CUnitSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const QString a = left.data().toString();
    const QString b = right.data().toString();
    bool aNumber = false;
    bool bNumber = false;
    const double x = a.toDouble(&aNumber);
    const double y = b.toDouble(&bNumber);
    if (aNumber && bNumber) {
        return x < y;
    }
    // Not the locale's collation: it costs ten times as much, and names and IDs are plain ASCII.
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

} // namespace halyx
