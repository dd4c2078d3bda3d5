#include "record/logsummary.h"

#include "common/format.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <span>

namespace halyx {

namespace {

std::string Minute(int minute) {
    return minute < 0 ? "-" : std::to_string(minute);
}

void Pad(std::string& out, std::string_view text, size_t width, bool right) {
    const size_t fill = width > text.size() ? width - text.size() : 0;
    if (right) {
        out.append(fill, ' ');
    }
    out += text;
    if (!right) {
        out.append(fill, ' ');
    }
}

// A name or a text as it stands when it is plain; otherwise quoted, with quotes, backslashes
// and control bytes escaped, so that a station named "ALPHA " cannot pass for ALPHA and no
// control byte of what someone typed reaches the terminal raw.
std::string Shown(std::string_view text) {
    const bool plain =
        text.empty() || (text.front() != ' ' && text.back() != ' ' && text.front() != '"' &&
                         std::none_of(text.begin(), text.end(), [](char c) {
                             const auto byte = static_cast<unsigned char>(c);
                             return byte < 0x20 || byte == 0x7f;
                         }));
    if (plain) {
        return std::string(text);
    }
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else {
            out += EscapeControlBytes(std::string_view(&c, 1));
        }
    }
    out += '"';
    return out;
}

// Notes and marks may run over many lines; the summary shows them on one.
std::string OneLine(std::string_view text) {
    std::string line;
    for (const char c : text) {
        line += c == '\n' || c == '\r' || c == '\t' ? ' ' : c;
    }
    return Shown(line);
}

using TableRows = std::vector<std::pair<std::string, std::vector<std::string>>>;

// The table's rows: one per command kind (the first kMaxTableKinds, then one row for the
// others), then chat lines and the first and last minute, a cell per station shown.
TableRows StationRows(std::span<const CStationSummary> shown) {
    std::set<std::string> kinds;
    for (const CStationSummary& s : shown) {
        for (const auto& [kind, count] : s.commands) {
            kinds.insert(kind);
        }
    }
    TableRows rows;
    size_t kindRows = 0;
    for (const std::string& kind : kinds) {
        if (++kindRows > CLogSummary::kMaxTableKinds) {
            break;
        }
        std::vector<std::string> cells;
        for (const CStationSummary& s : shown) {
            const auto found = s.commands.find(kind);
            cells.push_back(found == s.commands.end() ? "0" : std::to_string(found->second));
        }
        rows.emplace_back(Shown(kind), std::move(cells));
    }
    if (kinds.size() > CLogSummary::kMaxTableKinds) {
        std::vector<std::string> cells;
        for (const CStationSummary& s : shown) {
            int64_t count = 0;
            for (const auto& [kind, n] : s.commands) {
                count += rows.end() == std::find_if(rows.begin(), rows.end(),
                                                    [&](const auto& r) { return r.first == kind; })
                             ? n
                             : 0;
            }
            cells.push_back(std::to_string(count));
        }
        rows.emplace_back("(" + std::to_string(kinds.size() - CLogSummary::kMaxTableKinds) +
                              " other kinds)",
                          std::move(cells));
    }
    auto addRow = [&](std::string label, auto cell) {
        std::vector<std::string> cells;
        for (const CStationSummary& s : shown) {
            cells.push_back(cell(s));
        }
        rows.emplace_back(std::move(label), std::move(cells));
    };
    addRow("chat lines", [](const CStationSummary& s) { return std::to_string(s.chatLines); });
    addRow("first minute", [](const CStationSummary& s) { return Minute(s.firstMinute); });
    addRow("last minute", [](const CStationSummary& s) { return Minute(s.lastMinute); });
    return rows;
}

// The rows under a line of station names, every column as wide as its widest cell; a station
// outside the recorded team is starred.
void WriteStationTable(std::string& out, std::span<const CStationSummary> shown,
                       const TableRows& rows) {
    size_t labelWidth = 0;
    for (const auto& [label, cells] : rows) {
        labelWidth = std::max(labelWidth, label.size());
    }
    std::vector<std::string> names;
    for (const CStationSummary& s : shown) {
        names.push_back(Shown(s.station) + (s.inTeam ? "" : "*"));
    }
    std::vector<size_t> widths;
    for (size_t i = 0; i < shown.size(); ++i) {
        size_t w = names[i].size();
        for (const auto& [label, cells] : rows) {
            w = std::max(w, cells[i].size());
        }
        widths.push_back(w);
    }
    out += '\n';
    Pad(out, "", labelWidth, false);
    for (size_t i = 0; i < shown.size(); ++i) {
        out += "  ";
        Pad(out, names[i], widths[i], true);
    }
    out += '\n';
    for (const auto& [label, cells] : rows) {
        Pad(out, label, labelWidth, false);
        for (size_t i = 0; i < cells.size(); ++i) {
            out += "  ";
            Pad(out, cells[i], widths[i], true);
        }
        out += '\n';
    }
    bool outsiders = false;
    for (const CStationSummary& s : shown) {
        outsiders = outsiders || !s.inTeam;
    }
    if (outsiders) {
        out += "* not a member of the recorded team\n";
    }
}

void WriteGoNoGoHistory(std::string& out, std::span<const CStationSummary> shown) {
    out += "\nGo/no-go history (minute status)\n";
    size_t nameWidth = 0;
    for (const CStationSummary& s : shown) {
        nameWidth = std::max(nameWidth, Shown(s.station).size());
    }
    for (const CStationSummary& s : shown) {
        Pad(out, Shown(s.station), nameWidth, false);
        out += " ";
        if (s.goNoGo.empty()) {
            out += " (no report)";
        }
        for (const auto& [minute, status] : s.goNoGo) {
            out += ' ';
            out += Minute(minute);
            out += ' ';
            out += status.empty() ? "?" : Shown(status);
            out += ';';
        }
        if (!s.goNoGo.empty()) {
            out.pop_back();
        }
        if (s.goNoGoDropped > 0) {
            out += " ... and " + std::to_string(s.goNoGoDropped) + " more";
        }
        out += '\n';
    }
}

} // namespace

CLogSummary::CLogSummary(const CLogInfo& info) : m_info(info) {
    for (const std::string& name : info.team) {
        Station(name).inTeam = true;
    }
}

std::string_view CLogSummary::StationOf(const CLogEventView& event) {
    const std::string_view from = event.Attribute("From");
    return from.empty() ? event.Attribute("Sender") : from;
}

int CLogSummary::MinuteOf(const CLogEventView& event) {
    std::string_view text = event.Attribute("ClockTime");
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    int minute = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), minute);
    return ec == std::errc() && minute >= 0 ? minute : -1;
}

CStationSummary& CLogSummary::Station(std::string_view name) {
    const auto found = m_index.find(name);
    if (found != m_index.end()) {
        return m_stations[found->second];
    }
    m_index.emplace(std::string(name), m_stations.size());
    m_stations.emplace_back();
    m_stations.back().station = std::string(name);
    return m_stations.back();
}

void CLogSummary::Add(const CLogEventView& event) {
    ++m_events;
    const int minute = MinuteOf(event);
    m_minutesRun = std::max(m_minutesRun, minute);
    if (event.name == "TeamMode") {
        m_mode = event.Attribute("Mode");
    } else if (event.name == "SimulationComplete") {
        m_decision = event.Attribute("LaunchStatus");
        // The decision is taken at the close of the window, whenever the last command came.
        m_minutesRun = std::max(m_minutesRun, kDecisionMinute);
    }
    const std::string_view from = StationOf(event);
    if (from.empty()) {
        return;
    }
    CStationSummary& station = Station(from);
    if (event.name == "ChatMsg") {
        ++station.chatLines;
    } else {
        const auto found = station.commands.find(std::string(event.name));
        if (found != station.commands.end()) {
            ++found->second;
        } else {
            station.commands.emplace(std::string(event.name), 1);
        }
    }
    if (event.name == "LaunchStatusChange") {
        if (station.goNoGo.size() < kMaxHistory) {
            station.goNoGo.emplace_back(minute, std::string(event.Attribute("Status")));
        } else {
            ++station.goNoGoDropped;
        }
    }
    if (minute >= 0) {
        station.firstMinute =
            station.firstMinute < 0 ? minute : std::min(station.firstMinute, minute);
        station.lastMinute = std::max(station.lastMinute, minute);
    }
}

std::string CLogSummary::FormatTable(std::string_view experiment) const {
    std::string out;
    auto line = [&](std::string_view label, std::string_view value) {
        Pad(out, label, 17, false);
        out += value;
        out += '\n';
    };
    std::string state = "complete";
    if (m_info.repaired) {
        state = "cut off; read through a repair, " + std::to_string(m_info.droppedBytes) +
                " bytes left out";
    }
    line("Experiment", Shown(experiment) + " (" + state + ")");
    line("Created", OneLine(m_info.creationDate) + " " + OneLine(m_info.creationTime));
    line("Notes", OneLine(m_info.notes));
    std::string team;
    for (const std::string& name : m_info.team) {
        team += team.empty() ? "" : ", ";
        team += Shown(name);
    }
    line("Team", (team.empty() ? "(none recorded)" : team) +
                     (m_mode.empty() ? "" : " (" + Shown(m_mode) + ")"));
    line("Events", std::to_string(m_events));
    line("Minutes run", Minute(m_minutesRun));
    line("Launch decision",
         m_decision.empty() ? "(none: the mission did not end)" : Shown(m_decision));
    // Marks are notes a person typed during the run: shown whole, up to a screenful.
    constexpr size_t kMarksShown = 50;
    for (size_t i = 0; i < m_info.marks.size() && i < kMarksShown; ++i) {
        const CLogMark& mark = m_info.marks[i];
        line(i == 0 ? "Marks" : "", "minute " + std::to_string(mark.minute) + " (" +
                                        OneLine(mark.time) + "): " + OneLine(mark.text));
    }
    const size_t moreMarks =
        m_info.marks.size() - std::min(m_info.marks.size(), kMarksShown) + m_info.marksDropped;
    if (moreMarks > 0) {
        line("", "(" + std::to_string(moreMarks) + " more marks)");
    }

    if (m_stations.empty()) {
        return out;
    }
    // A table for a terminal: a log naming hundreds of stations or command kinds shows the
    // first ones and says how many more there are (the CSV files hold them all).
    const std::span<const CStationSummary> shown(m_stations.data(),
                                                 std::min(m_stations.size(), kMaxTableStations));
    WriteStationTable(out, shown, StationRows(shown));
    if (shown.size() < m_stations.size()) {
        out +=
            "(" + std::to_string(m_stations.size() - shown.size()) + " more stations not shown)\n";
    }
    WriteGoNoGoHistory(out, shown);
    return out;
}

} // namespace halyx
