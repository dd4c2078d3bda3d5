#include "record/simeventstore.h"

#include "common/numtext.h"
#include "external/kqml/message.h"

#include <algorithm>
#include <cstring>
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

// Texts are stored in blocks of this size; a longer record gets a block of its own.
constexpr size_t kBlockBytes = size_t{256} << 10;

// Lengths are written in 7-bit groups, low first, so a short text costs one byte more.
size_t LengthBytes(size_t n) {
    size_t bytes = 1;
    while (n >= 0x80) {
        n >>= 7;
        ++bytes;
    }
    return bytes;
}

char* PutLength(char* out, size_t n) {
    while (n >= 0x80) {
        *out++ = static_cast<char>((n & 0x7f) | 0x80);
        n >>= 7;
    }
    *out++ = static_cast<char>(n);
    return out;
}

const char* GetText(const char* in, std::string& text) {
    size_t n = 0;
    for (unsigned shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*in++);
        n |= static_cast<size_t>(byte & 0x7f) << shift;
        if (!(byte & 0x80)) {
            break;
        }
    }
    text.assign(in, n);
    return in + n;
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

// A chat as the stations read it: `(TEXT)`, as they sent it, whenever that is one balanced list;
// else (a text holding ":-(" or an open quote) a "..." string, which every reader that follows
// strings takes whole, so that the replayed line cannot hold a station's reader open.
void AppendChatMessage(std::string& content, std::string_view text) {
    std::string list;
    list.reserve(text.size() + 2);
    list += '(';
    list += text;
    list += ')';
    if (IsSingleKqmlList(list)) {
        content += list;
        return;
    }
    content += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            content += '\\';
        }
        content += c;
    }
    content += '"';
}

} // namespace

bool CSimEventStore::ConvertEvent(const pugi::xml_node& event, CSimEvent& record) {
    const std::string_view name = Attr(event, "Name");
    const std::string_view from = Attr(event, "From");
    std::string content;
    bool toRecorder = false;
    // Each value as one KQML word, quoted when it is not one (a blank, a parenthesis, nothing at
    // all), so that a recorded value can never shift the keywords after it.
    auto value = [&](const char* attribute) { AppendKqmlValue(content, Attr(event, attribute)); };
    if (name == "ResourceActivate" || name == "ResourceDeActivate" || name == "Abort") {
        const char* verb = name == "ResourceActivate"     ? "activate"
                           : name == "ResourceDeActivate" ? "deactivate"
                                                          : "abort";
        content = "tell :command ";
        content += verb;
        content += " :resource ";
        value("ResType");
        content += " :id ";
        value("ResID");
    } else if (name == "InterceptInc") {
        content = "tell :command intercept :resource ";
        value("ResType");
        content += " :id ";
        value("IntID");
        content += " :incID ";
        value("IncID");
    } else if (name == "DeployResource") {
        content = "tell :command deploy :resource ";
        value("ResType");
        content += " :id ";
        value("ResID");
        content += " :destLat ";
        value("DestLat");
        content += " :destLng ";
        value("DestLng");
    } else if (name == "ChatMsg") {
        content = "tell :command subject_communication :from ";
        AppendKqmlValue(content, from);
        content += " :message ";
        AppendChatMessage(content, ChatText(event));
    } else if (name == "LaunchStatusChange") {
        content = "tell :command update_go_nogo_status :status ";
        value("Status");
    } else if (name == "DeployBalloon") {
        content = "tell :command playback_deploy_balloon :lat ";
        value("DestLat");
        content += " :lng ";
        value("DestLng");
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

bool CSimEventStore::KeyLess(const Record& a, const Record& b) {
    return a.clockTime < b.clockTime || (a.clockTime == b.clockTime && a.tsid < b.tsid);
}

CSimEventStore::Record CSimEventStore::Store(const CSimEvent& record) {
    const size_t size = LengthBytes(record.sender.size()) + record.sender.size() +
                        LengthBytes(record.receiver.size()) + record.receiver.size() +
                        LengthBytes(record.content.size()) + record.content.size();
    if (m_blocks.empty() || m_blockSize - m_blockUsed < size) {
        m_blockSize = std::max(kBlockBytes, size);
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(m_blockSize));
        m_blockUsed = 0;
    }
    Record packed;
    packed.tsid = record.tsid;
    packed.clockTime = record.clockTime;
    packed.block = static_cast<uint32_t>(m_blocks.size() - 1);
    packed.offset = static_cast<uint32_t>(m_blockUsed);
    char* out = m_blocks.back().get() + m_blockUsed;
    for (const std::string* text : {&record.sender, &record.receiver, &record.content}) {
        out = PutLength(out, text->size());
        std::memcpy(out, text->data(), text->size());
        out += text->size();
    }
    m_blockUsed += size;
    return packed;
}

void CSimEventStore::Read(const Record& packed, CSimEvent& record) const {
    const char* in = m_blocks[packed.block].get() + packed.offset;
    in = GetText(in, record.sender);
    in = GetText(in, record.receiver);
    GetText(in, record.content);
    record.clockTime = packed.clockTime;
    record.tsid = packed.tsid;
}

CSimEvent CSimEventStore::At(size_t index) const {
    CSimEvent record;
    Read(m_records[index], record);
    return record;
}

void CSimEventStore::LoadEvents(const pugi::xml_node& simEvents) {
    Clear();
    CSimEvent record;
    for (pugi::xml_node event = simEvents.first_child(); event; event = event.next_sibling()) {
        AddRecorded(event, record);
    }
    SortRecords();
}

void CSimEventStore::AddRecorded(const pugi::xml_node& event, CSimEvent& record) {
    if (event.type() != pugi::node_element) {
        return;
    }
    if (ConvertEvent(event, record)) {
        AppendUnsorted(record);
    } else if (Attr(event, "Name") == "SimulationComplete") {
        m_decision = Attr(event, "LaunchStatus");
    }
}

void CSimEventStore::LoadRecords(std::vector<CSimEvent> records) {
    Clear();
    for (const CSimEvent& record : records) {
        AppendUnsorted(record);
    }
    SortRecords();
}

void CSimEventStore::AppendUnsorted(const CSimEvent& record) {
    m_records.push_back(Store(record));
}

void CSimEventStore::SortRecords() {
    // Same order as inserting one by one after every record with a lower or equal key, but
    // n log n even for a log whose events arrive in reverse.
    std::stable_sort(m_records.begin(), m_records.end(), KeyLess);
    m_records.shrink_to_fit();
    m_cursor = 0;
}

void CSimEventStore::Insert(const CSimEvent& record) {
    const Record packed = Store(record);
    const auto at = std::upper_bound(m_records.begin(), m_records.end(), packed, KeyLess);
    const size_t index = static_cast<size_t>(at - m_records.begin());
    const bool exhausted = Exhausted();
    m_records.insert(at, packed);
    // The cursor stays on the record it was on; once every record has been released it stays
    // past the end.
    if (exhausted) {
        m_cursor = m_records.size();
    } else if (index <= m_cursor) {
        ++m_cursor;
    }
}

void CSimEventStore::Release(int clock, EventSender& sender) {
    // One record's texts are unpacked at a time, into strings that keep their room.
    CSimEvent record;
    while (m_cursor < m_records.size() && m_records[m_cursor].clockTime == clock) {
        Read(m_records[m_cursor++], record);
        SendEvent(record, sender);
    }
}

void CSimEventStore::Rewind() {
    m_cursor = 0;
}

size_t CSimEventStore::SeekTo(int minute) {
    Rewind();
    while (m_cursor < m_records.size() && m_records[m_cursor].clockTime < minute) {
        ++m_cursor;
    }
    return m_cursor;
}

void CSimEventStore::Clear() {
    m_records.clear();
    m_records.shrink_to_fit();
    m_blocks.clear();
    m_blockSize = 0;
    m_blockUsed = 0;
    m_cursor = 0;
    m_decision.clear();
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
