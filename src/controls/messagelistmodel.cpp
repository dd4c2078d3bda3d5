#include "controls/messagelistmodel.h"

#include <QFontMetrics>

#include <algorithm>

namespace halyx {

namespace {
// Measuring a very long text costs more than the width is worth; past this many characters the
// width is estimated from the average character.
constexpr int kMeasuredChars = 2000;
} // namespace

CMessageListModel::CMessageListModel(QObject* parent) : QAbstractListModel(parent) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(kDefaultBatchMs);
    connect(&m_timer, &QTimer::timeout, this, &CMessageListModel::Flush);
}

void CMessageListModel::Add(const QString& text) {
    m_pending.push_back(text);
    if (!m_timer.isActive()) {
        m_timer.start();
    }
}

void CMessageListModel::Flush() {
    m_timer.stop();
    if (m_pending.empty()) {
        return;
    }
    const int rowsBefore = rowCount();
    // Persistent indexes (the current entry, the selection) follow their text through the merge.
    emit layoutAboutToBeChanged();
    const QModelIndexList persistent = persistentIndexList();
    std::vector<std::uint64_t> persistentSeq;
    persistentSeq.reserve(static_cast<std::size_t>(persistent.size()));
    for (const QModelIndex& index : persistent) {
        persistentSeq.push_back(m_order[static_cast<std::size_t>(index.row())]);
    }

    const QFontMetrics metrics(m_font);
    std::vector<std::uint64_t> added;
    added.reserve(m_pending.size());
    for (QString& text : m_pending) {
        const std::uint64_t seq = m_firstSeq + m_entries.size();
        const int width = text.size() <= kMeasuredChars
                              ? metrics.horizontalAdvance(text)
                              : static_cast<int>(text.size()) * metrics.averageCharWidth();
        m_widest = std::max(m_widest, width);
        m_entries.push_back({seq, std::move(text)});
        added.push_back(seq);
    }
    m_pending.clear();
    const auto byText = [this](std::uint64_t a, std::uint64_t b) {
        const int order = QString::compare(TextOfSeq(a), TextOfSeq(b));
        return order < 0 || (order == 0 && a < b);
    };
    std::sort(added.begin(), added.end(), byText);
    std::vector<std::uint64_t> merged;
    merged.reserve(m_order.size() + added.size());
    std::merge(m_order.begin(), m_order.end(), added.begin(), added.end(),
               std::back_inserter(merged), byText);
    m_order = std::move(merged);

    if (m_entries.size() > m_maxEntries) {
        const std::size_t drop = m_entries.size() - m_maxEntries;
        m_entries.erase(m_entries.begin(), m_entries.begin() + static_cast<std::ptrdiff_t>(drop));
        m_firstSeq += drop;
        std::erase_if(m_order, [this](std::uint64_t seq) { return seq < m_firstSeq; });
    }

    // Where each remaining sequence number now sits, for the persistent indexes.
    QModelIndexList moved;
    moved.reserve(persistent.size());
    if (!persistent.isEmpty()) {
        std::vector<int> rowOfSeq(m_entries.size(), -1);
        for (std::size_t row = 0; row < m_order.size(); ++row) {
            rowOfSeq[m_order[row] - m_firstSeq] = static_cast<int>(row);
        }
        for (std::uint64_t seq : persistentSeq) {
            moved.push_back(seq < m_firstSeq ? QModelIndex()
                                             : index(rowOfSeq[seq - m_firstSeq], 0));
        }
        changePersistentIndexList(persistent, moved);
    }
    emit layoutChanged();
    emit BatchShown(rowsBefore, rowCount());
}

void CMessageListModel::Clear() {
    beginResetModel();
    m_timer.stop();
    m_entries.clear();
    m_firstSeq = 0;
    m_order.clear();
    m_pending.clear();
    m_widest = 0;
    endResetModel();
}

QString CMessageListModel::TextAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_order.size()) {
        return {};
    }
    return TextOfSeq(m_order[static_cast<std::size_t>(row)]);
}

int CMessageListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_order.size());
}

QVariant CMessageListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() != 0) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        QString text = TextAt(index.row());
        // A tooltip of a huge message would cover the screen.
        if (role == Qt::ToolTipRole && text.size() > 1000) {
            text.truncate(1000);
            text += QStringLiteral("...");
        }
        return text;
    }
    return {};
}

} // namespace halyx
