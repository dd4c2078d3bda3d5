#include "record/simeventstore.h"

#include "common/numtext.h"

#include <algorithm>
#include <pugixml.hpp>

namespace halyx {

namespace {

// TSID as a decimal 64-bit number: leading blanks and sign, then the leading digits; anything
// else reads as 0, and values beyond the range are clamped rather than overflowing.
int64_t ReadInt64(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\v' || text[i] == '\f')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    uint64_t value = 0;
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        if (value > (limit - digit) / 10) {
            value = limit;
            break;
        }
        value = value * 10 + digit;
    }
    if (negative) {
        return value == (uint64_t{1} << 63) ? INT64_MIN : -static_cast<int64_t>(value);
    }
    return static_cast<int64_t>(value);
}

bool KeyLess(const CSimEvent& a, const CSimEvent& b) {
    return a.clockTime < b.clockTime || (a.clockTime == b.clockTime && a.tsid < b.tsid);
}

std::string_view Attr(const pugi::xml_node& event, const char* name) {
    return event.attribute(name).as_string();
}

// The chat text is the element's first child, between the two line breaks the writer puts
// around it.
std::string_view ChatText(const pugi::xml_node& event) {
    std::string_view text = event.first_child().value();
    if (!text.empty() && text.front() == '\n') {
        text.remove_prefix(1);
    }
    if (!text.empty() && text.back() == '\n') {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

bool CSimEventStore::ConvertEvent(const pugi::xml_node& event, CSimEvent& record) {
    const std::string_view name = Attr(event, "Name");
    const std::string_view from = Attr(event, "From");
    std::string content;
    bool toRecorder = false;
    if (name == "ResourceActivate" || name == "ResourceDeActivate" || name == "Abort") {
        const char* verb = name == "ResourceActivate"     ? "activate"
                           : name == "ResourceDeActivate" ? "deactivate"
                                                          : "abort";
        content = "tell :command ";
        content += verb;
        content += " :resource ";
        content += Attr(event, "ResType");
        content += " :id ";
        content += Attr(event, "ResID");
    } else if (name == "InterceptInc") {
        content = "tell :command intercept :resource ";
        content += Attr(event, "ResType");
        content += " :id ";
        content += Attr(event, "IntID");
        content += " :incID ";
        content += Attr(event, "IncID");
    } else if (name == "DeployResource") {
        content = "tell :command deploy :resource ";
        content += Attr(event, "ResType");
        content += " :id ";
        content += Attr(event, "ResID");
        content += " :destLat ";
        content += Attr(event, "DestLat");
        content += " :destLng ";
        content += Attr(event, "DestLng");
    } else if (name == "ChatMsg") {
        content = "tell :command subject_communication :from ";
        content += from;
        content += " :message (";
        content += ChatText(event);
        content += ')';
    } else if (name == "LaunchStatusChange") {
        content = "tell :command update_go_nogo_status :status ";
        content += Attr(event, "Status");
    } else if (name == "DeployBalloon") {
        content = "tell :command playback_deploy_balloon :lat ";
        content += Attr(event, "DestLat");
        content += " :lng ";
        content += Attr(event, "DestLng");
        toRecorder = true;
    } else {
        return false;
    }
    record.clockTime = ReadInt(Attr(event, "ClockTime"));
    record.tsid = ReadInt64(Attr(event, "TSID"));
    record.content = std::move(content);
    // A replayed balloon goes back only to the station that launched it, from the command
    // station; every other command reaches the team in the recorded station's name.
    if (toRecorder) {
        record.sender.clear();
        record.receiver.assign(from);
    } else {
        record.sender.assign(from);
        record.receiver.clear();
    }
    return true;
}

void CSimEventStore::LoadEvents(const pugi::xml_node& simEvents) {
    std::vector<CSimEvent> records;
    CSimEvent record;
    for (pugi::xml_node event = simEvents.first_child(); event; event = event.next_sibling()) {
        if (event.type() == pugi::node_element && ConvertEvent(event, record)) {
            records.push_back(std::move(record));
            record = CSimEvent();
        }
    }
    LoadRecords(std::move(records));
}

void CSimEventStore::LoadRecords(std::vector<CSimEvent> records) {
    m_events = std::move(records);
    // Same order as inserting one by one after every record with a lower or equal key, but
    // n log n even for a log whose events arrive in reverse.
    std::stable_sort(m_events.begin(), m_events.end(), KeyLess);
    m_events.shrink_to_fit();
    m_cursor = 0;
}

void CSimEventStore::Insert(const CSimEvent& record) {
    const auto at = std::upper_bound(m_events.begin(), m_events.end(), record, KeyLess);
    const size_t index = static_cast<size_t>(at - m_events.begin());
    const bool exhausted = Exhausted();
    m_events.insert(at, record);
    // The cursor stays on the record it was on; once every record has been released it stays
    // past the end.
    if (exhausted) {
        m_cursor = m_events.size();
    } else if (index <= m_cursor) {
        ++m_cursor;
    }
}

void CSimEventStore::Release(int clock, EventSender& sender) {
    while (m_cursor < m_events.size() && m_events[m_cursor].clockTime == clock) {
        const size_t index = m_cursor++;
        SendEvent(m_events[index], sender);
    }
}

void CSimEventStore::Rewind() {
    m_cursor = 0;
}

size_t CSimEventStore::SeekTo(int minute) {
    Rewind();
    while (m_cursor < m_events.size() && m_events[m_cursor].clockTime < minute) {
        ++m_cursor;
    }
    return m_cursor;
}

void CSimEventStore::Clear() {
    m_events.clear();
    m_cursor = 0;
}

void CSimEventStore::SendEvent(const CSimEvent& record, EventSender& sender) {
    if (record.receiver.empty()) {
        if (record.sender.empty()) {
            sender.BroadcastKqml(record.content);
        } else {
            sender.BroadcastKqmlAs(record.sender, record.content);
        }
    } else if (record.sender.empty()) {
        sender.SendKqml("tell", record.receiver, record.content);
    } else {
        sender.SendKqmlAs("tell", record.receiver, record.sender, record.content);
    }
}

} // namespace halyx
