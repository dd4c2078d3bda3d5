#pragma once

#include <QAbstractListModel>
#include <QFont>
#include <QFutureWatcher>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

namespace halyx {

// A list of message texts shown sorted as text, fed one text at a time at whatever rate the
// stations send. Texts wait in a batch; a few times a second the batch is sorted and merged into
// the list by a worker thread (messages of one kind share long beginnings, so comparing them is
// slow), and the merged list replaces the shown one in one step. The event loop never waits for
// a sort. Past the entry limit the oldest texts (by arrival) leave the list. The same list can
// be shown in arrival order instead.
class CMessageListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr std::size_t kDefaultMaxEntries = 200000;
    static constexpr int kDefaultBatchMs = 100;

    explicit CMessageListModel(QObject* parent = nullptr);
    ~CMessageListModel() override;

    // Queues a text; it appears after the next batch.
    void Add(const QString& text);
    // Shows every queued text now (waits for a merge under way).
    void Flush();
    void Clear();

    void SetMaxEntries(std::size_t maxEntries) { m_maxEntries = maxEntries; }
    void SetBatchInterval(int milliseconds);
    // Font used to measure the widest text (for the view's horizontal scroll width).
    void SetFont(const QFont& font) { m_font = font; }
    int WidestText() const { return m_widest; }
    // Texts not shown yet (queued or being merged).
    std::size_t Pending() const { return m_pending.size() + m_merging; }

    QString TextAt(int row) const;

    // Rows in arrival order instead of text order; the current entry follows its text.
    void SetArrivalOrder(bool arrival);
    bool ArrivalOrder() const { return m_arrivalOrder; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The shown list: texts in text order with their arrival numbers, and the positions of the
    // texts in arrival order.
    struct Sorted {
        std::vector<QString> texts;
        std::vector<std::uint64_t> seqs;
        std::vector<std::uint32_t> byArrival;
    };
    struct Entry {
        std::uint64_t seq;
        QString text;
    };
    // The merge of a batch into a list, dropping arrivals before keepFrom. Pure; runs on a
    // worker thread.
    static std::shared_ptr<const Sorted> Merge(std::shared_ptr<const Sorted> shown,
                                               std::vector<Entry> batch, std::uint64_t keepFrom);

signals:
    // A batch was shown: the row counts before and after it.
    void BatchShown(int rowsBefore, int rowsAfter);

private:
    void StartMerge();
    void Apply(std::shared_ptr<const Sorted> merged);
    // The position in the sorted list of the row shown.
    std::size_t Position(int row) const;
    int RowOf(std::size_t position, const Sorted& list) const;
    std::uint64_t KeepFrom() const {
        return m_nextSeq > m_maxEntries ? m_nextSeq - m_maxEntries : 0;
    }

    std::shared_ptr<const Sorted> m_shown;
    std::vector<Entry> m_pending;
    std::uint64_t m_nextSeq = 0;
    std::size_t m_merging = 0;
    std::size_t m_maxEntries = kDefaultMaxEntries;
    QFont m_font;
    int m_widest = 0;
    qsizetype m_longestChars = 0;
    int m_batchMs = kDefaultBatchMs;
    bool m_arrivalOrder = false;
    QTimer m_timer;
    QFutureWatcher<std::shared_ptr<const Sorted>> m_watcher;
};

} // namespace halyx
