#include "controls/unittablemodel.h"

#include <algorithm>
#include <cctype>

namespace halyx {

std::vector<CColumnLayout> ParseColumnLayout(const QString& layout) {
    std::vector<CColumnLayout> columns;
    for (const QString& pair : layout.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype comma = pair.lastIndexOf(QLatin1Char(','));
        CColumnLayout column;
        column.heading = comma < 0 ? pair : pair.left(comma);
        column.width = comma < 0 ? 0 : pair.mid(comma + 1).toInt();
        columns.push_back(column);
    }
    return columns;
}

std::string TableNumberText(std::string text) {
    // Only a plain decimal number is touched: names, IDs and "-" stay as they are.
    std::size_t i = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    const std::size_t digits = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    if (i == digits || i >= text.size() || text[i] != '.') {
        return text;
    }
    const std::size_t point = i++;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    if (i != text.size() || i == point + 1) {
        return text;
    }
    // Zeros past the third decimal say nothing; digits that do are kept.
    std::size_t end = text.size();
    while (end > point + 4 && text[end - 1] == '0') {
        --end;
    }
    text.erase(end);
    text.append(point + 4 - std::min(point + 4, text.size()), '0');
    return text;
}

CUnitTableModelBase::CUnitTableModelBase(const QString& columnLayout, QObject* parent)
    : QAbstractTableModel(parent), m_columns(ParseColumnLayout(columnLayout)) {}

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
    return QString::fromStdString(TableNumberText(CellText(index.row(), index.column())));
}

QString CUnitTableModelBase::IdAt(int row) const {
    if (row < 0 || row >= ListCount() || row >= m_rows) {
        return {};
    }
    return QString::fromStdString(CellText(row, 1));
}

void CUnitTableModelBase::OnListPending(UnitListPending pending, int index) {
    switch (pending) {
    case UnitListPending::Insert:
        beginInsertRows({}, index, index);
        break;
    case UnitListPending::Remove:
        beginRemoveRows({}, index, index);
        break;
    case UnitListPending::Reset:
        beginResetModel();
        m_resetBegun = true;
        break;
    }
}

void CUnitTableModelBase::OnListChange(UnitListChange change, int index) {
    switch (change) {
    case UnitListChange::Added:
        ++m_rows;
        endInsertRows();
        break;
    case UnitListChange::Removed:
        --m_rows;
        endRemoveRows();
        break;
    case UnitListChange::Changed:
        emit dataChanged(this->index(index, 0), this->index(index, columnCount() - 1));
        break;
    case UnitListChange::Reset:
        // A bulk load announces nothing before; its reset is begun here.
        if (!m_resetBegun) {
            beginResetModel();
        }
        m_resetBegun = false;
        m_rows = ListCount();
        endResetModel();
        break;
    }
}

CUnitSortProxy::Key CUnitSortProxy::KeyOf(const QString& text) {
    Key key;
    key.value = text.toDouble(&key.number);
    key.text = text;
    return key;
}

bool CUnitSortProxy::Less(const Key& a, const Key& b) {
    if (a.number && b.number) {
        return a.value < b.value;
    }
    if (a.number != b.number) {
        return a.number; // numbers before texts such as "-"
    }
    // Not the locale's collation: it costs ten times as much, and names and IDs are plain ASCII.
    return a.text.compare(b.text, Qt::CaseInsensitive) < 0;
}

void CUnitSortProxy::sort(int column, Qt::SortOrder order) {
    QAbstractItemModel* source = sourceModel();
    if (source != nullptr && column >= 0 && column < source->columnCount()) {
        const int rows = source->rowCount();
        m_keys.clear();
        m_keys.reserve(static_cast<size_t>(rows));
        for (int row = 0; row < rows; ++row) {
            m_keys.push_back(KeyOf(source->index(row, column).data().toString()));
        }
        m_keyColumn = column;
    }
    QSortFilterProxyModel::sort(column, order);
    // Later re-sorts (a row added or changed) compare the few rows concerned directly.
    m_keys.clear();
    m_keyColumn = -1;
}

bool CUnitSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const auto cached = [this](const QModelIndex& index) {
        return index.column() == m_keyColumn && index.row() >= 0 &&
               static_cast<size_t>(index.row()) < m_keys.size();
    };
    if (cached(left) && cached(right)) {
        return Less(m_keys[static_cast<size_t>(left.row())],
                    m_keys[static_cast<size_t>(right.row())]);
    }
    return Less(KeyOf(left.data().toString()), KeyOf(right.data().toString()));
}

} // namespace halyx
