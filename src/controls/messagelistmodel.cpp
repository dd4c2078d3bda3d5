#include "controls/messagelistmodel.h"

#include <QFontMetrics>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace halyx {

namespace {
// Measuring a very long text costs more than the width is worth; past this many characters the
// width is estimated from the average character.
constexpr int kMeasuredChars = 2000;
// A long list costs the view a relayout per batch; it is given fewer batches.
constexpr std::size_t kLongList = 20000;
constexpr int kLongListBatchMs = 250;
constexpr qsizetype kTooltipChars = 4000;
} // namespace

CMessageListModel::CMessageListModel(QObject* parent)
    : QAbstractListModel(parent), m_shown(std::make_shared<const Sorted>()) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(kDefaultBatchMs);
    connect(&m_timer, &QTimer::timeout, this, &CMessageListModel::StartMerge);
    connect(&m_watcher, &QFutureWatcherBase::finished, this, [this] {
        if (m_merging > 0) {
            Apply(m_watcher.result());
        }
    });
}

CMessageListModel::~CMessageListModel() {
    m_watcher.waitForFinished();
}

void CMessageListModel::SetBatchInterval(int milliseconds) {
    m_batchMs = milliseconds;
    m_timer.setInterval(milliseconds);
}

void CMessageListModel::Add(const QString& text) {
    // Shaping every text costs more than the whole rest of the list; only a text longer than
    // any before it can be the widest (near enough: one font, no wide scripts).
    if (text.size() > m_longestChars) {
        m_longestChars = text.size();
        const QFontMetrics metrics(m_font);
        const int width = text.size() <= kMeasuredChars
                              ? metrics.horizontalAdvance(text)
                              : static_cast<int>(text.size()) * metrics.averageCharWidth();
        m_widest = std::max(m_widest, width);
    }
    m_pending.push_back({m_nextSeq++, text});
    if (!m_timer.isActive() && m_merging == 0) {
        m_timer.start();
    }
}

std::shared_ptr<const CMessageListModel::Sorted>
CMessageListModel::Merge(std::shared_ptr<const Sorted> shown, std::vector<Entry> batch,
                         std::uint64_t keepFrom) {
    const auto textOrder = [](const Entry& a, const Entry& b) {
        const int order = QString::compare(a.text, b.text);
        return order < 0 || (order == 0 && a.seq < b.seq);
    };
    std::erase_if(batch, [keepFrom](const Entry& e) { return e.seq < keepFrom; });
    std::sort(batch.begin(), batch.end(), textOrder);
    auto merged = std::make_shared<Sorted>();
    merged->texts.reserve(shown->texts.size() + batch.size());
    merged->seqs.reserve(shown->texts.size() + batch.size());
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < shown->texts.size() || j < batch.size()) {
        bool takeShown = j >= batch.size();
        if (!takeShown && i < shown->texts.size()) {
            const int order = QString::compare(shown->texts[i], batch[j].text);
            takeShown = order < 0 || (order == 0 && shown->seqs[i] < batch[j].seq);
        }
        if (takeShown) {
            if (shown->seqs[i] >= keepFrom) {
                merged->texts.push_back(shown->texts[i]);
                merged->seqs.push_back(shown->seqs[i]);
            }
            ++i;
        } else {
            merged->texts.push_back(std::move(batch[j].text));
            merged->seqs.push_back(batch[j].seq);
            ++j;
        }
    }
    // Arrival numbers are distinct and, apart from cleared ones, consecutive: placing each
    // entry at its number's slot orders them in one pass, here on the worker thread.
    const auto [low, high] = std::minmax_element(merged->seqs.begin(), merged->seqs.end());
    if (!merged->seqs.empty() && *high - *low > 2 * merged->seqs.size() + 1024) {
        // Never expected; a sort keeps the memory bounded all the same.
        merged->byArrival.resize(merged->seqs.size());
        for (std::uint32_t k = 0; k < merged->byArrival.size(); ++k) {
            merged->byArrival[k] = k;
        }
        std::sort(
            merged->byArrival.begin(), merged->byArrival.end(),
            [&seqs = merged->seqs](std::uint32_t a, std::uint32_t b) { return seqs[a] < seqs[b]; });
    } else if (!merged->seqs.empty()) {
        constexpr std::uint32_t kEmpty = UINT32_MAX;
        std::vector<std::uint32_t> places(static_cast<std::size_t>(*high - *low) + 1, kEmpty);
        for (std::uint32_t k = 0; k < merged->seqs.size(); ++k) {
            places[static_cast<std::size_t>(merged->seqs[k] - *low)] = k;
        }
        merged->byArrival.reserve(merged->seqs.size());
        for (const std::uint32_t k : places) {
            if (k != kEmpty) {
                merged->byArrival.push_back(k);
            }
        }
    }
    return merged;
}

std::size_t CMessageListModel::Position(int row) const {
    const auto r = static_cast<std::size_t>(row);
    return m_arrivalOrder ? m_shown->byArrival[r] : r;
}

int CMessageListModel::RowOf(std::size_t position, const Sorted& list) const {
    if (!m_arrivalOrder) {
        return static_cast<int>(position);
    }
    const auto at = std::find(list.byArrival.begin(), list.byArrival.end(), position);
    return at == list.byArrival.end() ? -1 : static_cast<int>(at - list.byArrival.begin());
}

void CMessageListModel::SetArrivalOrder(bool arrival) {
    if (arrival == m_arrivalOrder) {
        return;
    }
    emit layoutAboutToBeChanged();
    const QModelIndexList persistent = persistentIndexList();
    std::vector<std::size_t> positions;
    for (const QModelIndex& index : persistent) {
        positions.push_back(Position(index.row()));
    }
    m_arrivalOrder = arrival;
    QModelIndexList moved;
    for (std::size_t position : positions) {
        moved.push_back(index(RowOf(position, *m_shown), 0));
    }
    changePersistentIndexList(persistent, moved);
    emit layoutChanged();
}

void CMessageListModel::StartMerge() {
    if (m_pending.empty() || m_merging > 0) {
        return;
    }
    m_merging = m_pending.size();
    m_watcher.setFuture(
        QtConcurrent::run(&CMessageListModel::Merge, m_shown, std::move(m_pending), KeepFrom()));
    m_pending.clear();
}

void CMessageListModel::Flush() {
    m_timer.stop();
    if (m_merging > 0) {
        m_watcher.waitForFinished();
        Apply(m_watcher.result());
    }
    if (!m_pending.empty()) {
        std::vector<Entry> batch = std::move(m_pending);
        m_pending.clear();
        m_merging = batch.size();
        Apply(Merge(m_shown, std::move(batch), KeepFrom()));
    }
}

void CMessageListModel::Apply(std::shared_ptr<const Sorted> merged) {
    m_merging = 0;
    const int rowsBefore = rowCount();
    // Persistent indexes (the current entry, the selection) follow their text.
    emit layoutAboutToBeChanged();
    const QModelIndexList persistent = persistentIndexList();
    std::vector<int> rows;
    for (const QModelIndex& index : persistent) {
        const std::uint64_t seq = m_shown->seqs[Position(index.row())];
        const auto at = std::find(merged->seqs.begin(), merged->seqs.end(), seq);
        rows.push_back(at == merged->seqs.end()
                           ? -1
                           : RowOf(static_cast<std::size_t>(at - merged->seqs.begin()), *merged));
    }
    m_shown = std::move(merged);
    QModelIndexList moved;
    for (int row : rows) {
        moved.push_back(row < 0 ? QModelIndex() : index(row, 0));
    }
    changePersistentIndexList(persistent, moved);
    emit layoutChanged();
    m_timer.setInterval(m_shown->texts.size() > kLongList ? kLongListBatchMs : m_batchMs);
    emit BatchShown(rowsBefore, rowCount());
    if (!m_pending.empty() && !m_timer.isActive()) {
        m_timer.start();
    }
}

void CMessageListModel::Clear() {
    beginResetModel();
    m_timer.stop();
    m_watcher.waitForFinished();
    m_merging = 0;
    m_shown = std::make_shared<const Sorted>();
    m_pending.clear();
    m_widest = 0;
    m_longestChars = 0;
    m_timer.setInterval(m_batchMs);
    endResetModel();
}

QString CMessageListModel::TextAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_shown->texts.size()) {
        return {};
    }
    return m_shown->texts[Position(row)];
}

int CMessageListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_shown->texts.size());
}

QVariant CMessageListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() != 0) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        QString text = TextAt(index.row());
        if (role == Qt::ToolTipRole) {
            // The whole message, wrapped to the tooltip's width (rich text wraps, plain text
            // does not); only a huge one is cut, as it would cover the screen.
            if (text.size() > kTooltipChars) {
                text.truncate(kTooltipChars);
                text += QStringLiteral("...");
            }
            return QStringLiteral("<p style='white-space:pre-wrap'>%1</p>")
                .arg(text.toHtmlEscaped());
        }
        return text;
    }
    return {};
}

} // namespace halyx
