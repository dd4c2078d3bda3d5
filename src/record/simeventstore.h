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

    size_t Count() const { return m_events.size(); }
    bool Empty() const { return m_events.empty(); }
    const CSimEvent& At(size_t index) const { return m_events[index]; }
    // Index of the next record to release; Count() when every record has been released.
    size_t CursorIndex() const { return m_cursor; }
    bool Exhausted() const { return m_cursor >= m_events.size(); }

    // Converts one recorded Event element into a replayable record; false for event names that
    // are not replayed. Missing attributes read as empty text and missing numbers as 0.
    static bool ConvertEvent(const pugi::xml_node& event, CSimEvent& record);

private:
    std::vector<CSimEvent> m_events;
    size_t m_cursor = 0;
};

} // namespace halyx
