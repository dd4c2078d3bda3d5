#pragma once

#include <QAbstractListModel>
#include <QFont>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <vector>

namespace halyx {

// A list of message texts shown sorted as text, fed one text at a time at whatever rate the
// stations send. Texts wait in a batch that is merged into the sorted order a few times a
// second, so that a flood costs the view one relayout per batch instead of one per message.
// Past the entry limit the oldest texts (by arrival) leave the list.
class CMessageListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr std::size_t kDefaultMaxEntries = 200000;
    static constexpr int kDefaultBatchMs = 100;

    explicit CMessageListModel(QObject* parent = nullptr);

    // Queues a text; it appears at the next batch.
    void Add(const QString& text);
    // Shows the queued texts now.
    void Flush();
    void Clear();

    void SetMaxEntries(std::size_t maxEntries) { m_maxEntries = maxEntries; }
    void SetBatchInterval(int milliseconds) { m_timer.setInterval(milliseconds); }
    // Font used to measure the widest text (for the view's horizontal scroll width).
    void SetFont(const QFont& font) { m_font = font; }
    int WidestText() const { return m_widest; }
    std::size_t Pending() const { return m_pending.size(); }

    QString TextAt(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

signals:
    // A batch was shown: the row counts before and after it.
    void BatchShown(int rowsBefore, int rowsAfter);

private:
    struct Entry {
        std::uint64_t seq;
        QString text;
    };
    const QString& TextOfSeq(std::uint64_t seq) const { return m_entries[seq - m_firstSeq].text; }

    std::deque<Entry> m_entries; // arrival order; m_entries[i].seq == m_firstSeq + i
    std::uint64_t m_firstSeq = 0;
    std::vector<std::uint64_t> m_order; // sequence numbers in text order
    std::vector<QString> m_pending;
    std::size_t m_maxEntries = kDefaultMaxEntries;
    QFont m_font;
    int m_widest = 0;
    QTimer m_timer;
};

} // namespace halyx
