#pragma once

// What a researcher reads first about one recorded experiment: per station, how many commands of
// each kind it sent, its first and last minute, its go/no-go history and its chat lines; and the
// team mode, the minutes run and the launch decision. Built in one pass over the events, so a
// long log costs one counter per station and kind.
//
// Usage:
//     CLogSummary summary(reader.Info());
//     reader.ForEachEvent([&](const CLogEventView& e) { summary.Add(e); });
//     std::cout << summary.FormatTable("Run1");

#include "record/logreader.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halyx {

struct CStationSummary {
    std::string station;
    bool inTeam = false;
    std::map<std::string, int64_t> commands; // event name -> count, chat not included
    int64_t chatLines = 0;
    int firstMinute = -1; // -1: the station sent nothing with a clock
    int lastMinute = -1;
    std::vector<std::pair<int, std::string>> goNoGo; // minute, status, in file order
    int64_t goNoGoDropped = 0;                       // reports beyond the kept history
};

class CLogSummary {
public:
    // Only this many go/no-go reports per station are kept; the rest are counted.
    static constexpr size_t kMaxHistory = 200;
    // The printed table shows at most this many stations and command kinds.
    static constexpr size_t kMaxTableStations = 24;
    static constexpr size_t kMaxTableKinds = 40;
    // A mission that reached its decision ran to the close of the window.
    static constexpr int kDecisionMinute = 960;

    explicit CLogSummary(const CLogInfo& info);

    void Add(const CLogEventView& event);

    const CLogInfo& Info() const { return m_info; }
    const std::vector<CStationSummary>& Stations() const { return m_stations; }
    const std::string& Mode() const { return m_mode; }
    // "Launch", "NoLaunch", or "" when the mission did not reach its end.
    const std::string& LaunchDecision() const { return m_decision; }
    // The last clock minute of any event, -1 when no event carries one.
    int MinutesRun() const { return m_minutesRun; }
    int64_t Events() const { return m_events; }

    // The summary as aligned text for a terminal.
    std::string FormatTable(std::string_view experiment) const;

    // The station an event came from: its From, else its Sender; "" for the console's own.
    static std::string_view StationOf(const CLogEventView& event);
    // The event's clock minute, -1 when it has none or it is not a number.
    static int MinuteOf(const CLogEventView& event);

private:
    CStationSummary& Station(std::string_view name);

    CLogInfo m_info;
    std::vector<CStationSummary> m_stations;
    std::map<std::string, size_t, std::less<>> m_index;
    std::string m_mode;
    std::string m_decision;
    int m_minutesRun = -1;
    int64_t m_events = 0;
};

} // namespace halyx
