#pragma once

// Reads an experiment log for analysis: the header, the notes, the team, the mission statistics
// and every recorded event with all its attributes. The playback loader (logloader.h) keeps only
// what can be sent again; analysis wants every line, so this reader hands the events on one at a
// time and keeps none of them, and a log of a million events costs little more than its text.
//
// Usage:
//     CLogReader reader;
//     LogLoadResult r = reader.Open(path);        // a log cut off by a crash is repaired first
//     if (!r) { report(r.message, r.detail); }
//     reader.ForEachEvent([&](const CLogEventView& e) { use(e.name, e.Attribute("ClockTime")); });
//
// Everything but the events is checked by the XML parser as the loader checks it. Events in the
// shape the log writes them (plain attribute values, a text without entities) are read straight
// from the text, each byte once; an event of any other shape goes through the parser, so what is
// handed on, and what is refused, is the parser's either way. Comments and processing
// instructions anywhere in the log are skipped and never become events.

#include "record/logloader.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halyx {

struct CLogField {
    std::string name;
    std::string value;

    bool operator==(const CLogField&) const = default;
};

// One recorded event as the reader hands it on. The views are valid during the callback only.
struct CLogEventView {
    std::string_view name; // the Name attribute; events without one are not handed on
    // Every attribute, Name, TimeStamp and TSID included, in file order.
    std::vector<std::pair<std::string_view, std::string_view>> attributes;
    // The element's text without the line breaks the writer puts around it: a chat message.
    std::string_view text;

    // The value of the attribute, "" when the event has none of that name.
    std::string_view Attribute(std::string_view key) const;
};

// One item of a station's mission statistics: kind is "radar", "interceptor" or "balloon".
struct CLogStatsItem {
    std::string kind;
    std::vector<CLogField> fields; // the item's attributes, in file order
};

struct CLogStationStats {
    std::string station;
    std::vector<CLogField> costs; // TotalCost, BalloonCost, InterceptorCost, RadarCost
    std::vector<CLogStatsItem> items;
};

// An experimenter's mark (CExperimentLog::LogMark): the clock minute, the wall time in ISO 8601
// UTC and the note, unescaped.
struct CLogMark {
    int minute = 0;
    std::string time;
    std::string text;

    bool operator==(const CLogMark&) const = default;
};

struct CLogInfo {
    std::string creationDate;
    std::string creationTime;
    std::string notes;    // without the line breaks the writer puts around them
    std::string scenario; // the Scenario element, written out again as XML
    std::vector<std::string> team;
    std::vector<CLogStationStats> stats; // in file order, wherever the blocks stand
    // The marks, in file order; a log holding more than kMaxMarks keeps the first ones and
    // counts the rest in marksDropped.
    static constexpr size_t kMaxMarks = 10000;
    std::vector<CLogMark> marks;
    size_t marksDropped = 0;
    bool repaired = false;   // the log was cut off and was read through a repair
    size_t droppedBytes = 0; // what the repair left out
};

class CLogReader {
public:
    // Reads the file. A log that is not well-formed is repaired in memory (the file is never
    // changed) and read from the repaired text, with Info().repaired set; a log the repair
    // refuses is refused with the loader's message.
    LogLoadResult Open(const std::string& path);
    LogLoadResult OpenText(std::string text);

    const CLogInfo& Info() const { return m_info; }

    // The attribute names met on the events, in the order first met: the columns a table of the
    // events needs, found by a quick look over the events' tags without parsing them.
    std::vector<std::string> EventAttributeNames() const;

    // Hands each event of the log's last SimEvents section to visit, in file order. May be
    // called again for a second pass.
    LogLoadResult ForEachEvent(const std::function<void(const CLogEventView&)>& visit) const;

private:
    LogLoadResult Read(bool mayRepair);

    // The log's text: the file as read, or the text the repair or the parser made of it.
    CFileBytes m_file;
    std::string m_owned; // when not empty, it is the text
    std::string_view Text() const { return m_owned.empty() ? m_file.View() : m_owned; }
    size_t m_eventsBegin = 0;
    std::vector<size_t> m_pieceEnds; // where the events are cut into pieces for parsing
    CLogInfo m_info;
};

} // namespace halyx
