#pragma once

// The playback event store: the station commands of a recorded experiment, ordered by clock
// count and then by wall-clock stamp, released one clock tick at a time.
//
// Usage:
//     CSimEventStore store;                 // owned by the agent
//     store.LoadEvents(simEventsElement);   // by the log loader (logloader.h)
//     store.Release(clock, agent);          // each playback tick; agent implements EventSender
//     store.Rewind();                       // stop of playback: the next start replays from 0
//
// A record whose clock count has already passed when the cursor reaches it is not sent, and the
// records behind it wait too: release is by exact clock count.

#include "record/simevent.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pugi {
class xml_node;
}

namespace halyx {

// How the store reaches the stations; the command agent implements it with its own sending,
// so replayed messages are also recorded in its message history.
class EventSender {
public:
    virtual ~EventSender() = default;
    // performative to receiver, from the command station.
    virtual void SendKqml(const std::string& performative, const std::string& receiver,
                          const std::string& content) = 0;
    // performative to receiver, marked as sent by sender.
    virtual void SendKqmlAs(const std::string& performative, const std::string& receiver,
                            const std::string& sender, const std::string& content) = 0;
    // "tell" to every team member in team order, from the command station.
    virtual void BroadcastKqml(const std::string& content) = 0;
    // "tell" to every team member in team order, marked as sent by sender.
    virtual void BroadcastKqmlAs(const std::string& sender, const std::string& content) = 0;
};

class CSimEventStore {
public:
    // Replaces every record with the replayable events of a log's SimEvents element (events of
    // other names are skipped) and puts the cursor on the first record.
    void LoadEvents(const pugi::xml_node& simEvents);
    // Replaces every record with these (converted with ConvertEvent, in file order), sorts them
    // and puts the cursor on the first. For logs read piece by piece.
    void LoadRecords(std::vector<CSimEvent> records);
    // Adds one record after every record with a lower or equal (clockTime, tsid).
    void Insert(const CSimEvent& record);
    // For loaders that collect records first: adds one at the end, in no particular order, and
    // then SortRecords puts them in release order (stable: ties keep the order they were added)
    // and the cursor on the first.
    void AppendUnsorted(const CSimEvent& record);
    void SortRecords();
    // Sends, in order, every record at the cursor whose clockTime equals clock.
    void Release(int clock, EventSender& sender);
    // Puts the cursor back on the first record.
    void Rewind();
    // Rewinds, then moves the cursor over every record before minute: the next Release(minute)
    // sends that minute's records, and nothing earlier is sent. Answers the cursor index.
    size_t SeekTo(int minute);
    // Sends one record: "tell" to its receiver or to the whole team, in its sender's name or the
    // command station's.
    static void SendEvent(const CSimEvent& record, EventSender& sender);
    // Empties the store.
    void Clear();

    size_t Count() const { return m_records.size(); }
    bool Empty() const { return m_records.empty(); }
    // A copy of the record at index (the store keeps its records packed, not as CSimEvent).
    CSimEvent At(size_t index) const;
    // Index of the next record to release; Count() when every record has been released.
    size_t CursorIndex() const { return m_cursor; }
    bool Exhausted() const { return m_cursor >= m_records.size(); }

    // Converts one recorded Event element into a replayable record; false for event names that
    // are not replayed. Missing attributes read as empty text and missing numbers as 0.
    static bool ConvertEvent(const pugi::xml_node& event, CSimEvent& record);
    // One recorded Event element, for loaders: a replayable one joins the records unsorted (as
    // AppendUnsorted; record is scratch space), the launch decision is kept.
    void AddRecorded(const pugi::xml_node& event, CSimEvent& record);
    // The decision the recording ended with ("Launch", "NoLaunch"); "" when it has none.
    const std::string& RecordedDecision() const { return m_decision; }

private:
    // A long log holds hundreds of thousands of records: each is a small fixed part, sorted,
    // and its texts (sender, receiver, content, each after its length) in blocks of bytes that
    // never move once written, so loading never copies what it has already stored.
    struct Record {
        int64_t tsid = 0;
        int32_t clockTime = 0;
        uint32_t block = 0;  // which block holds the texts
        uint32_t offset = 0; // where in that block they start
    };
    static bool KeyLess(const Record& a, const Record& b);

    Record Store(const CSimEvent& record);
    void Read(const Record& packed, CSimEvent& record) const;

    std::vector<Record> m_records;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    size_t m_blockSize = 0; // of the last block
    size_t m_blockUsed = 0; // bytes written in the last block
    size_t m_cursor = 0;
    std::string m_decision;
};

} // namespace halyx
