#include "record/logreader.h"

#include "record/logrepair.h"

#include <array>
#include <charconv>
#include <pugixml.hpp>
#include <sstream>
#include <unordered_set>

namespace halyx {

namespace {

// A chat message of blanks alone is still the message.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

// About this much event text is parsed at a time, so that no document ever holds all events.
constexpr size_t kPieceBytes = size_t{1} << 20;

// No log nests anywhere near this deep; a hostile text does not get a stack to match.
constexpr size_t kMaxDepth = 4096;

enum class MarkKind { None, Start, End, Empty, Other, Broken };

struct Mark {
    MarkKind kind = MarkKind::None;
    std::string_view name;
    size_t begin = 0;
    size_t end = 0;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The characters that end a stretch of a tag's names and blanks: quotes open values, '>' ends
// the tag, '<' means the tag is broken. One table look-up per byte in the hottest loop.
constexpr std::array<bool, 256> kTagStop = [] {
    std::array<bool, 256> stop{};
    stop['"'] = stop['\''] = stop['<'] = stop['>'] = true;
    return stop;
}();

// The first piece of markup at or after pos, found without a document. Comments, processing
// instructions, CDATA and declarations are Other, so a comment line never looks like an event.
Mark NextMark(std::string_view t, size_t pos) {
    Mark m;
    const size_t lt = t.find('<', pos);
    if (lt == std::string_view::npos) {
        return m;
    }
    m.begin = lt;
    const std::string_view rest = t.substr(lt);
    auto skipTo = [&](std::string_view close, size_t from) {
        const size_t e = t.find(close, from);
        if (e == std::string_view::npos) {
            m.kind = MarkKind::Broken;
        } else {
            m.kind = MarkKind::Other;
            m.end = e + close.size();
        }
        return m;
    };
    if (rest.starts_with("<!--")) {
        return skipTo("-->", lt + 4);
    }
    if (rest.starts_with("<![CDATA[")) {
        return skipTo("]]>", lt + 9);
    }
    if (rest.starts_with("<?")) {
        return skipTo("?>", lt + 2);
    }
    if (rest.starts_with("<!")) {
        // A declaration; one with an internal subset is left to the parser.
        const size_t gt = t.find('>', lt);
        const std::string_view inside = t.substr(lt, gt == std::string_view::npos ? gt : gt - lt);
        if (inside.find('[') != std::string_view::npos) {
            m.kind = MarkKind::Broken;
            return m;
        }
        return skipTo(">", lt + 2);
    }
    const bool closing = rest.starts_with("</");
    size_t i = lt + (closing ? 2 : 1);
    const size_t nameBegin = i;
    while (i < t.size() && !IsBlank(t[i]) && t[i] != '/' && t[i] != '>' && t[i] != '<') {
        ++i;
    }
    m.name = t.substr(nameBegin, i - nameBegin);
    if (m.name.empty()) {
        m.kind = MarkKind::Broken;
        return m;
    }
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (!kTagStop[static_cast<unsigned char>(c)]) {
            continue;
        }
        if (c == '"' || c == '\'') {
            // Values are most of a log's bytes: jump over them to the closing quote.
            const size_t close = t.find(c, i + 1);
            if (close == std::string_view::npos) {
                break;
            }
            i = close;
        } else if (c == '<') {
            break;
        } else if (c == '>') {
            m.end = i + 1;
            m.kind = closing ? MarkKind::End : t[i - 1] == '/' ? MarkKind::Empty : MarkKind::Start;
            return m;
        }
    }
    m.kind = MarkKind::Broken;
    return m;
}

std::string_view LocalName(std::string_view name) {
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// Where the events lie: the inside of the root's last SimEvents section cut into pieces of whole
// events, and the MissionStats blocks written inside it.
struct Outline {
    bool found = false;
    size_t innerBegin = 0;
    size_t innerEnd = 0;
    std::vector<size_t> pieceEnds;
    std::vector<std::pair<size_t, size_t>> statsBlocks;
};

// Adds the names of the attributes of a start tag ("<Event A=\"1\" B='2'>") that are not yet
// in seen. Values are skipped by their quotes, so a value holding "=" or ">" is no name.
// Names already known, remembered per position in the tag, so that the million tags of a long
// log cost a few short compares each instead of a hash lookup per attribute.
struct KnownNames {
    static constexpr size_t kPositions = 32;
    static constexpr size_t kPerPosition = 16;
    std::array<std::array<std::string_view, kPerPosition>, kPositions> recent{};
    std::array<size_t, kPositions> next{};
    std::unordered_set<std::string_view> seen;

    bool IsRecent(size_t position, std::string_view name) const {
        if (position >= kPositions) {
            return false;
        }
        for (const std::string_view known : recent[position]) {
            if (known == name) {
                return true;
            }
        }
        return false;
    }
    void Remember(size_t position, std::string_view name) {
        if (position < kPositions) {
            recent[position][next[position]++ % kPerPosition] = name;
        }
    }
};

void AddAttributeNames(std::string_view tag, KnownNames& known,
                       std::vector<std::string_view>& names) {
    size_t position = 0;
    size_t i = 1;
    while (i < tag.size() && !IsBlank(tag[i]) && tag[i] != '>' && tag[i] != '/') {
        ++i; // the element's name
    }
    while (i < tag.size()) {
        while (i < tag.size() && IsBlank(tag[i])) {
            ++i;
        }
        const size_t begin = i;
        while (i < tag.size() && tag[i] != '=' && !IsBlank(tag[i]) && tag[i] != '>' &&
               tag[i] != '/') {
            ++i;
        }
        if (i == begin) {
            return; // the end of the tag
        }
        const std::string_view name = tag.substr(begin, i - begin);
        while (i < tag.size() && tag[i] != '"' && tag[i] != '\'') {
            ++i;
        }
        if (i >= tag.size()) {
            return;
        }
        const size_t close = tag.find(tag[i], i + 1);
        if (close == std::string_view::npos) {
            return;
        }
        i = close + 1;
        if (!known.IsRecent(position, name)) {
            known.Remember(position, name);
            if (known.seen.insert(name).second) {
                names.push_back(name);
            }
        }
        ++position;
    }
}

// False when the text does not have the plain shape of a log; the parser then decides.
bool OutlineLog(std::string_view text, Outline& outline) {
    std::vector<std::string_view> stack;
    bool rootSeen = false;
    Outline current;
    size_t pieceStart = 0;
    size_t statsBegin = 0;
    size_t pos = 0;
    while (true) {
        const Mark m = NextMark(text, pos);
        if (m.kind == MarkKind::None) {
            return rootSeen && stack.empty();
        }
        if (m.kind == MarkKind::Broken) {
            return false;
        }
        const bool inEvents = stack.size() >= 2 && LocalName(stack[1]) == "SimEvents";
        if (m.kind == MarkKind::Start || m.kind == MarkKind::Empty) {
            if ((rootSeen && stack.empty()) || stack.size() >= kMaxDepth) {
                return false;
            }
            rootSeen = true;
            if (m.kind == MarkKind::Start) {
                if (stack.size() == 1 && LocalName(m.name) == "SimEvents") {
                    current = Outline();
                    current.innerBegin = m.end;
                    pieceStart = m.end;
                }
                if (stack.size() == 2 && inEvents && LocalName(m.name) == "MissionStats") {
                    statsBegin = m.begin;
                }
                stack.push_back(m.name);
            } else if (stack.size() == 1 && LocalName(m.name) == "SimEvents") {
                outline = Outline(); // an empty section, the last so far
                outline.found = true;
                outline.innerBegin = outline.innerEnd = m.end;
                outline.pieceEnds.push_back(m.end);
            }
        } else if (m.kind == MarkKind::End) {
            if (stack.empty() || stack.back() != m.name) {
                return false;
            }
            stack.pop_back();
            if (stack.size() == 1 && inEvents) {
                current.found = true;
                current.innerEnd = m.begin;
                current.pieceEnds.push_back(m.begin);
                outline = std::move(current);
                current = Outline();
            } else if (stack.size() == 2 && inEvents && LocalName(m.name) == "MissionStats") {
                current.statsBlocks.emplace_back(statsBegin, m.end);
            }
        }
        pos = m.end;
        if (stack.size() == 2 && LocalName(stack[1]) == "SimEvents" &&
            pos - pieceStart >= kPieceBytes) {
            current.pieceEnds.push_back(pos);
            pieceStart = pos;
        }
    }
}

std::string_view TrimLineBreaks(std::string_view text) {
    if (text.starts_with("\r\n")) {
        text.remove_prefix(2);
    } else if (text.starts_with('\n')) {
        text.remove_prefix(1);
    }
    if (text.ends_with("\r\n")) {
        text.remove_suffix(2);
    } else if (text.ends_with('\n')) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<CLogField> Fields(const pugi::xml_node& node) {
    std::vector<CLogField> fields;
    for (const pugi::xml_attribute& a : node.attributes()) {
        fields.push_back({a.name(), a.value()});
    }
    return fields;
}

CLogStationStats ReadStats(const pugi::xml_node& block) {
    CLogStationStats stats;
    stats.station = block.attribute("TeamMember").as_string();
    for (const pugi::xml_node& child : block.children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        const std::string_view name = LocalName(child.name());
        const char* kind = name == "RadarStats"         ? "radar"
                           : name == "InterceptorStats" ? "interceptor"
                           : name == "BalloonStats"     ? "balloon"
                                                        : nullptr;
        if (kind == nullptr) {
            stats.costs.push_back({std::string(name), child.child_value()});
            continue;
        }
        for (const pugi::xml_node& item : child.children()) {
            if (item.type() == pugi::node_element) {
                stats.items.push_back({kind, Fields(item)});
            }
        }
    }
    return stats;
}

// One mark's comment after "<!-- mark clock=" ("120 time=2026-...Z: TEXT "); false when it does
// not have the mark's shape.
bool ReadMark(std::string_view body, CLogMark& mark) {
    const size_t timeAt = body.find(" time=");
    const size_t textAt = body.find(": ");
    if (timeAt == std::string_view::npos || textAt == std::string_view::npos || textAt < timeAt ||
        !body.ends_with(' ')) {
        return false;
    }
    const std::string_view digits = body.substr(0, timeAt);
    const auto [at, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), mark.minute);
    if (ec != std::errc() || at != digits.data() + digits.size()) {
        return false;
    }
    mark.time = body.substr(timeAt + 6, textAt - timeAt - 6);
    const std::string_view escaped = body.substr(textAt + 2, body.size() - textAt - 3);
    for (size_t i = 0; i < escaped.size(); ++i) {
        unsigned value = 0;
        if (escaped[i] == '\\' && i + 3 < escaped.size() && escaped[i + 1] == 'x' &&
            std::from_chars(escaped.data() + i + 2, escaped.data() + i + 4, value, 16).ptr ==
                escaped.data() + i + 4) {
            mark.text.push_back(static_cast<char>(value));
            i += 3;
        } else {
            mark.text.push_back(escaped[i]);
        }
    }
    return true;
}

// Reads the marks' comments back. Each search starts after the comment before, so a text of
// many openings without an end is read once, not once per opening.
void ReadMarks(std::string_view text, CLogInfo& info) {
    constexpr std::string_view kOpen = "<!-- mark clock=";
    for (size_t pos = text.find(kOpen); pos != std::string_view::npos;) {
        const size_t end = text.find("-->", pos);
        if (end == std::string_view::npos) {
            return;
        }
        CLogMark mark;
        if (ReadMark(text.substr(pos + kOpen.size(), end - pos - kOpen.size()), mark)) {
            if (info.marks.size() < CLogInfo::kMaxMarks) {
                info.marks.push_back(std::move(mark));
            } else {
                ++info.marksDropped;
            }
        }
        pos = text.find(kOpen, end + 3);
    }
}

// Where a value or a text stops on the quick path: its closing quote (set per value), or what
// keeps it off the quick path: entities, tabs and line breaks in values (which the parser
// rewrites), carriage returns and '<' anywhere.
enum : uint8_t { kPlain = 0, kQuote = 1, kNotPlain = 2 };
constexpr std::array<uint8_t, 256> MakeStops(char quote, bool value) {
    std::array<uint8_t, 256> stop{};
    stop['&'] = stop['<'] = stop['\r'] = kNotPlain;
    if (value) {
        stop['\n'] = stop['\t'] = kNotPlain;
    }
    stop[static_cast<unsigned char>(quote)] = kQuote;
    return stop;
}
constexpr std::array<uint8_t, 256> kDoubleQuoted = MakeStops('"', true);
constexpr std::array<uint8_t, 256> kSingleQuoted = MakeStops('\'', true);
constexpr std::array<uint8_t, 256> kEventText = [] {
    std::array<uint8_t, 256> stop = MakeStops('<', false);
    stop['<'] = kQuote; // the end tag
    return stop;
}();

bool NameStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

bool NameChar(unsigned char c) {
    return NameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// Reads an event at lt ('<') in the shape the log writes it, in one pass: a name, attributes
// with plain values separated by spaces, and (when not empty) a text without entities or
// carriage returns followed by its end tag. Fills view with views into t and returns where the
// event ends; npos for anything else (another element, a comment, any other shape), which the
// parser then reads (the same values with entities replaced, or a refusal), so that what is
// handed on never depends on the path.
size_t ReadPlainEvent(std::string_view t, size_t lt, CLogEventView& view) {
    const size_t n = t.size();
    size_t i = lt + 1;
    if (i >= n || !NameStart(static_cast<unsigned char>(t[i]))) {
        return std::string_view::npos;
    }
    while (i < n && NameChar(static_cast<unsigned char>(t[i]))) {
        ++i;
    }
    const std::string_view element = t.substr(lt + 1, i - lt - 1);
    if (LocalName(element) != "Event") {
        return std::string_view::npos;
    }
    view.attributes.clear();
    view.name = {};
    while (true) {
        const size_t blanks = i;
        while (i < n && t[i] == ' ') {
            ++i;
        }
        if (i >= n) {
            return std::string_view::npos;
        }
        if (t[i] == '/') {
            if (i + 1 >= n || t[i + 1] != '>') {
                return std::string_view::npos;
            }
            view.text = {};
            return i + 2;
        }
        if (t[i] == '>') {
            break;
        }
        if (i == blanks || !NameStart(static_cast<unsigned char>(t[i]))) {
            return std::string_view::npos;
        }
        const size_t nameBegin = i;
        while (i < n && NameChar(static_cast<unsigned char>(t[i]))) {
            ++i;
        }
        if (i + 1 >= n || t[i] != '=' || (t[i + 1] != '"' && t[i + 1] != '\'')) {
            return std::string_view::npos;
        }
        const std::string_view name = t.substr(nameBegin, i - nameBegin);
        const auto& stops = t[i + 1] == '"' ? kDoubleQuoted : kSingleQuoted;
        const size_t valueBegin = i + 2;
        i = valueBegin;
        while (i < n && stops[static_cast<unsigned char>(t[i])] == kPlain) {
            ++i;
        }
        if (i >= n || stops[static_cast<unsigned char>(t[i])] != kQuote) {
            return std::string_view::npos;
        }
        const std::string_view value = t.substr(valueBegin, i - valueBegin);
        view.attributes.emplace_back(name, value);
        if (view.name.empty() && name == "Name") {
            view.name = value;
        }
        ++i;
    }
    // The text, then the end tag.
    const size_t textBegin = ++i;
    while (i < n && kEventText[static_cast<unsigned char>(t[i])] == kPlain) {
        ++i;
    }
    if (i + 2 + element.size() >= n || t[i] != '<' || t[i + 1] != '/' ||
        t.substr(i + 2, element.size()) != element || t[i + 2 + element.size()] != '>') {
        return std::string_view::npos;
    }
    view.text = TrimLineBreaks(t.substr(textBegin, i - textBegin));
    return i + 3 + element.size();
}

// The same from a parsed element; false when it has no Name (such events are not handed on).
bool ViewOfParsedEvent(const pugi::xml_node& event, CLogEventView& view) {
    view.attributes.clear();
    view.name = {};
    for (const pugi::xml_attribute& a : event.attributes()) {
        const auto& [name, value] = view.attributes.emplace_back(a.name(), a.value());
        if (view.name.empty() && name == "Name") {
            view.name = value;
        }
    }
    if (view.name.empty()) {
        return false;
    }
    view.text = TrimLineBreaks(
        event.first_child().type() == pugi::node_pcdata ? event.first_child().value() : "");
    return true;
}
} // namespace

std::string_view CLogEventView::Attribute(std::string_view key) const {
    for (const auto& [name, value] : attributes) {
        if (name == key) {
            return value;
        }
    }
    return {};
}

LogLoadResult CLogReader::Open(const std::string& path) {
    m_owned = std::string();
    if (LogLoadResult read = ReadLogFileText(path, m_file); !read) {
        return read;
    }
    return Read(true);
}

LogLoadResult CLogReader::OpenText(std::string text) {
    m_file.Clear();
    m_owned = std::move(text);
    return Read(true);
}

LogLoadResult CLogReader::Read(bool mayRepair) {
    m_info = CLogInfo();
    m_pieceEnds.clear();
    Outline outline;
    if (!OutlineLog(Text(), outline)) {
        // A text that breaks off (a crashed run) goes through the repair first: it follows the
        // text element by element, where a whole document of a long log would cost several
        // times its size.
        if (mayRepair) {
            std::string repaired;
            const LogRepairResult r = RepairExperimentLogText(Text(), repaired);
            if (r.status == LogRepairStatus::Repaired) {
                m_owned = std::move(repaired);
                m_file.Clear();
                LogLoadResult again = Read(false);
                m_info.repaired = true;
                m_info.droppedBytes = r.droppedBytes;
                return again;
            }
        }
        // An unusual but well-formed text is written out plainly and read again; anything else
        // is refused with the parser's description of what is wrong and where.
        pugi::xml_document whole;
        const pugi::xml_parse_result parsed =
            whole.load_buffer(Text().data(), Text().size(), kParseOptions, pugi::encoding_utf8);
        if (!parsed) {
            return LogLoadFailure(LogLoadStatus::NotXml, parsed.description(),
                                  static_cast<size_t>(parsed.offset));
        }
        std::ostringstream plain;
        whole.save(plain, "", pugi::format_raw | pugi::format_no_declaration);
        m_owned = plain.str();
        m_file.Clear();
        if (!OutlineLog(Text(), outline)) {
            return LogLoadFailure(LogLoadStatus::NotXml, "the log's layout cannot be followed");
        }
    }
    if (!outline.found) {
        return LogLoadFailure(LogLoadStatus::Incomplete, "missing section SimEvents");
    }

    // Everything but the events, parsed as one document.
    std::string skeleton;
    skeleton.reserve(Text().size() - (outline.innerEnd - outline.innerBegin));
    skeleton.append(Text(), 0, outline.innerBegin);
    skeleton.append(Text(), outline.innerEnd);
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer_inplace(
        skeleton.data(), skeleton.size(), kParseOptions, pugi::encoding_utf8);
    if (!parsed) {
        size_t offset = static_cast<size_t>(parsed.offset);
        offset += offset >= outline.innerBegin ? outline.innerEnd - outline.innerBegin : 0;
        return LogLoadFailure(LogLoadStatus::NotXml, parsed.description(), offset);
    }
    enum { kHeader, kNotes, kScenario, kEvents, kTeam, kCount };
    constexpr std::array<const char*, kCount> kNames = {"LogHeader", "Notes", "Scenario",
                                                        "SimEvents", "TeamMembers"};
    std::array<pugi::xml_node, kCount> sections{};
    std::vector<CLogStationStats> lateStats;
    for (const pugi::xml_node& child : doc.document_element().children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        const std::string_view local = LocalName(child.name());
        for (size_t i = 0; i < kCount; ++i) {
            if (local == kNames[i]) {
                sections[i] = child;
            }
        }
        if (local == "MissionStats") {
            lateStats.push_back(ReadStats(child));
        }
    }
    std::string missing;
    for (size_t i = 0; i < kCount; ++i) {
        if (!sections[i]) {
            missing += missing.empty() ? "missing section " : ", ";
            missing += kNames[i];
        }
    }
    if (!missing.empty()) {
        return LogLoadFailure(LogLoadStatus::Incomplete, missing);
    }
    m_info.creationDate = sections[kHeader].attribute("CreationDate").as_string();
    m_info.creationTime = sections[kHeader].attribute("CreationTime").as_string();
    m_info.notes = TrimLineBreaks(sections[kNotes].child_value());
    std::ostringstream scenario;
    sections[kScenario].print(scenario, "", pugi::format_raw);
    m_info.scenario = scenario.str();
    for (const pugi::xml_node& member : sections[kTeam].children()) {
        if (member.type() == pugi::node_element) {
            m_info.team.emplace_back(member.attribute("Name").as_string());
        }
    }
    // Statistics that arrived before the events section was closed stand inside it.
    for (const auto& [begin, end] : outline.statsBlocks) {
        pugi::xml_document block;
        if (block.load_buffer(Text().data() + begin, end - begin, kParseOptions,
                              pugi::encoding_utf8)) {
            m_info.stats.push_back(ReadStats(block.document_element()));
        }
    }
    for (CLogStationStats& stats : lateStats) {
        m_info.stats.push_back(std::move(stats));
    }
    ReadMarks(Text(), m_info);
    m_eventsBegin = outline.innerBegin;
    m_pieceEnds = std::move(outline.pieceEnds);
    return {};
}

std::vector<std::string> CLogReader::EventAttributeNames() const {
    KnownNames known;
    std::vector<std::string_view> names;
    const std::string_view events =
        m_pieceEnds.empty() ? std::string_view() : Text().substr(0, m_pieceEnds.back());
    size_t depth = 0;
    for (size_t pos = m_eventsBegin;;) {
        const Mark m = NextMark(events, pos);
        if (m.kind == MarkKind::None || m.kind == MarkKind::Broken) {
            break;
        }
        if ((m.kind == MarkKind::Start || m.kind == MarkKind::Empty) && depth == 0 &&
            LocalName(m.name) == "Event") {
            AddAttributeNames(events.substr(m.begin, m.end - m.begin), known, names);
        }
        depth += m.kind == MarkKind::Start ? 1 : 0;
        depth -= m.kind == MarkKind::End && depth > 0 ? 1 : 0;
        pos = m.end;
    }
    return {names.begin(), names.end()};
}

LogLoadResult
CLogReader::ForEachEvent(const std::function<void(const CLogEventView&)>& visit) const {
    CLogEventView view;
    // Elements of an unusual shape are copied into this one reused buffer and parsed there in
    // place: a fresh buffer each time would cost the system new pages every time.
    std::string scratch;
    // Hands on the events of a stretch of the section through the parser; offset is where the
    // stretch begins in the text.
    auto parse = [&](std::string_view stretch, size_t offset) -> LogLoadResult {
        scratch.assign(stretch);
        pugi::xml_document doc;
        const pugi::xml_parse_result r =
            doc.load_buffer_inplace(scratch.data(), scratch.size(),
                                    kParseOptions | pugi::parse_fragment, pugi::encoding_utf8);
        if (!r) {
            return LogLoadFailure(LogLoadStatus::NotXml, r.description(),
                                  offset + static_cast<size_t>(r.offset));
        }
        for (const pugi::xml_node& event : doc.children()) {
            if (event.type() == pugi::node_element && LocalName(event.name()) == "Event" &&
                ViewOfParsedEvent(event, view)) {
                visit(view);
            }
        }
        return {};
    };
    size_t pieceBegin = m_eventsBegin;
    for (const size_t pieceEnd : m_pieceEnds) {
        const std::string_view piece = Text().substr(pieceBegin, pieceEnd - pieceBegin);
        for (size_t pos = 0;;) {
            // Events as the log writes them are read at once; anything else goes by its marks.
            if (const size_t lt = piece.find('<', pos); lt != std::string_view::npos) {
                if (const size_t end = ReadPlainEvent(piece, lt, view);
                    end != std::string_view::npos) {
                    if (!view.name.empty()) {
                        visit(view);
                    }
                    pos = end;
                    continue;
                }
            }
            const Mark m = NextMark(piece, pos);
            if (m.kind == MarkKind::None) {
                break;
            }
            const bool comment = m.kind == MarkKind::Other && (piece.substr(m.begin, 4) == "<!--" ||
                                                               piece.substr(m.begin, 2) == "<?");
            if (comment) {
                pos = m.end;
                continue;
            }
            if (m.kind != MarkKind::Start && m.kind != MarkKind::Empty) {
                // Anything else at this level is the parser's to judge, with the rest.
                if (LogLoadResult r = parse(piece.substr(m.begin), pieceBegin + m.begin); !r) {
                    return r;
                }
                break;
            }
            // Any other element (or an event of another shape) goes to the parser whole.
            size_t end = m.end;
            for (size_t depth = m.kind == MarkKind::Start ? 1 : 0; depth > 0;) {
                const Mark inner = NextMark(piece, end);
                if (inner.kind == MarkKind::None || inner.kind == MarkKind::Broken) {
                    end = piece.size(); // the parser says what is wrong
                    break;
                }
                depth += inner.kind == MarkKind::Start ? 1 : 0;
                depth -= inner.kind == MarkKind::End ? 1 : 0;
                end = inner.end;
            }
            const std::string_view element = piece.substr(m.begin, end - m.begin);
            if (LogLoadResult r = parse(element, pieceBegin + m.begin); !r) {
                return r;
            }
            pos = end;
        }
        pieceBegin = pieceEnd;
    }
    return {};
}

} // namespace halyx
