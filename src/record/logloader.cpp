#include "record/logloader.h"

#include "record/fileio.h"
#include "record/simeventstore.h"
#include "record/xmllexer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <pugixml.hpp>
#include <utility>
#include <vector>

namespace halyx {

namespace {

enum Section { kNotes, kSimEvents, kTeamMembers, kScenario, kLogHeader, kSectionCount };

constexpr std::array<const char*, kSectionCount> kSectionNames = {
    "Notes", "SimEvents", "TeamMembers", "Scenario", "LogHeader"};

LogLoadResult Failure(LogLoadStatus status, std::string detail, size_t offset = 0) {
    LogLoadResult result;
    result.status = status;
    if (status == LogLoadStatus::NotXml) {
        result.message = kLogLoadErrorText;
    } else if (status == LogLoadStatus::Incomplete) {
        result.message = kLogIncompleteText;
    }
    result.detail = std::move(detail);
    result.offset = offset;
    return result;
}

// Reads the whole file. Every line, the last included, ends with a line break, as when the
// file is read line by line.
LogLoadResult ReadLogFile(const std::string& path, std::string& buffer) {
    switch (ReadWholeFile(path, buffer, kMaxLogFileBytes)) {
    case ReadFileStatus::Ok:
        break;
    case ReadFileStatus::CannotOpen:
        return Failure(LogLoadStatus::CannotOpen, "cannot open " + path);
    case ReadFileStatus::NotAFile:
        return Failure(LogLoadStatus::CannotOpen, path + " is not a file");
    case ReadFileStatus::TooLarge:
        return Failure(LogLoadStatus::NotXml, path + " is too large to be an experiment log");
    case ReadFileStatus::ReadError:
        return Failure(LogLoadStatus::NotXml, "read error in " + path);
    }
    if (!buffer.empty() && buffer.back() != '\n') {
        buffer += '\n';
    }
    return {};
}

// Where the events of a log lie, found in one pass over the text without building a document:
// the inside of the root's last SimEvents section, cut into pieces that each hold whole events.
struct EventsOutline {
    bool found = false;
    size_t innerBegin = 0;
    size_t innerEnd = 0;
    std::vector<size_t> pieceEnds; // the last is innerEnd
};

// About this much text is parsed at a time, so that a long log never has a document for all its
// events in memory at once.
constexpr size_t kPieceBytes = size_t{1} << 20;

// A chat message of blanks alone is still the message: keep a text node that is an element's only
// child even when it is all white space.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

// False when the text does not have the plain shape of a log (it breaks off, an end tag does not
// match, there is a second root, it nests too deep): the whole parser then decides and explains.
bool OutlineEvents(std::string_view text, EventsOutline& outline) {
    std::vector<std::string_view> stack;
    bool rootSeen = false;
    bool rootClosed = false;
    EventsOutline current;
    size_t pieceStart = 0;
    size_t pos = 0;
    while (true) {
        const Markup m = NextMarkup(text, pos);
        if (m.kind == MarkupKind::None) {
            return rootClosed;
        }
        if (m.kind == MarkupKind::Broken) {
            return false;
        }
        const bool inEvents = stack.size() == 2 && MarkupLocalName(stack[1]) == "SimEvents";
        if (m.kind == MarkupKind::Start || m.kind == MarkupKind::Empty) {
            if (rootClosed || (rootSeen && stack.empty()) || stack.size() >= kMaxXmlDepth) {
                return false;
            }
            rootSeen = true;
            if (m.kind == MarkupKind::Start) {
                stack.push_back(m.name);
                if (stack.size() == 2 && MarkupLocalName(m.name) == "SimEvents") {
                    current = EventsOutline();
                    current.innerBegin = m.end;
                    pieceStart = m.end;
                }
            } else if (stack.size() == 1 && MarkupLocalName(m.name) == "SimEvents") {
                outline = EventsOutline(); // an empty section, the last so far
            }
        } else if (m.kind == MarkupKind::End) {
            if (stack.empty() || stack.back() != m.name) {
                return false;
            }
            if (inEvents) {
                current.found = true;
                current.innerEnd = m.begin;
                current.pieceEnds.push_back(m.begin);
                outline = std::move(current);
                current = EventsOutline();
            }
            stack.pop_back();
            rootClosed = stack.empty();
        }
        pos = m.end;
        if (stack.size() == 2 && inEvents && pos - pieceStart >= kPieceBytes) {
            current.pieceEnds.push_back(pos);
            pieceStart = pos;
        }
    }
}

} // namespace

CLogLoader::CLogLoader(LogLoadTargets targets) : m_targets(std::move(targets)) {}

LogLoadResult CLogLoader::Load(const std::string& path) {
    std::string buffer;
    LogLoadResult result = ReadLogFile(path, buffer);
    if (!result) {
        return result;
    }
    return LoadBuffer(buffer);
}

LogLoadResult CLogLoader::LoadText(std::string_view text) {
    std::string buffer(text);
    return LoadBuffer(buffer);
}

std::vector<std::string> CLogLoader::TeamNames(const pugi::xml_node& teamMembers) {
    std::vector<std::string> names;
    for (pugi::xml_node member = teamMembers.first_child(); member;
         member = member.next_sibling()) {
        if (member.type() == pugi::node_element) {
            names.emplace_back(member.attribute("Name").as_string());
        }
    }
    return names;
}

LogLoadResult CLogLoader::LoadBuffer(std::string& buffer) {
    EventsOutline outline;
    if (!OutlineEvents(buffer, outline) || !outline.found) {
        return LoadWhole(buffer);
    }
    // Everything but the events is parsed as one document, the events section left empty ...
    const size_t cutSize = outline.innerEnd - outline.innerBegin;
    std::string skeleton;
    skeleton.reserve(buffer.size() - cutSize);
    skeleton.append(buffer, 0, outline.innerBegin);
    skeleton.append(buffer, outline.innerEnd);
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer_inplace(
        skeleton.data(), skeleton.size(), kParseOptions, pugi::encoding_utf8);
    if (!parsed) {
        size_t offset = static_cast<size_t>(parsed.offset);
        offset += offset >= outline.innerBegin ? cutSize : 0;
        return Failure(LogLoadStatus::NotXml, parsed.description(), offset);
    }
    // ... and the events a piece at a time, each piece's document freed before the next.
    std::vector<CSimEvent> records;
    CSimEvent record;
    size_t pieceBegin = outline.innerBegin;
    for (const size_t pieceEnd : outline.pieceEnds) {
        pugi::xml_document piece;
        const pugi::xml_parse_result r =
            piece.load_buffer_inplace(buffer.data() + pieceBegin, pieceEnd - pieceBegin,
                                      kParseOptions | pugi::parse_fragment, pugi::encoding_utf8);
        if (!r) {
            return Failure(LogLoadStatus::NotXml, r.description(),
                           pieceBegin + static_cast<size_t>(r.offset));
        }
        for (pugi::xml_node event = piece.first_child(); event; event = event.next_sibling()) {
            if (event.type() == pugi::node_element && CSimEventStore::ConvertEvent(event, record)) {
                records.push_back(std::move(record));
                record = CSimEvent();
            }
        }
        pieceBegin = pieceEnd;
    }
    // The records and the skeleton hold copies of all that is still needed: the file's text
    // goes before the records are sorted, which needs memory of its own.
    std::string().swap(buffer);
    return Distribute(doc.document_element(), &records);
}

LogLoadResult CLogLoader::LoadWhole(std::string& buffer) {
    // Parsed in place: the document's texts point into the buffer, which saves a second copy
    // of what can be a very large file.
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer_inplace(buffer.data(), buffer.size(), kParseOptions, pugi::encoding_utf8);
    if (!parsed) {
        return Failure(LogLoadStatus::NotXml, parsed.description(),
                       static_cast<size_t>(parsed.offset));
    }
    return Distribute(doc.document_element(), nullptr);
}

LogLoadResult CLogLoader::Distribute(const pugi::xml_node& root, std::vector<CSimEvent>* records) {
    if (!root) {
        return Failure(LogLoadStatus::NotXml, "the document has no root element");
    }
    std::array<pugi::xml_node, kSectionCount> sections{};
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        const std::string_view local = MarkupLocalName(child.name());
        for (size_t i = 0; i < kSectionCount; ++i) {
            if (local == kSectionNames[i]) {
                sections[i] = child; // a later section of the same name wins
            }
        }
    }
    std::string missing;
    for (size_t i = 0; i < kSectionCount; ++i) {
        if (!sections[i]) {
            missing += missing.empty() ? "missing section " : ", ";
            missing += kSectionNames[i];
        }
    }
    if (!missing.empty()) {
        return Failure(LogLoadStatus::Incomplete, missing);
    }

    if (m_targets.readScenario) {
        std::string error;
        if (!m_targets.readScenario(sections[kScenario], error)) {
            return Failure(
                LogLoadStatus::NotXml, error.empty() ? "the scenario could not be read" : error,
                static_cast<size_t>(std::max<ptrdiff_t>(0, sections[kScenario].offset_debug())));
        }
    }
    if (m_targets.loadTeam) {
        m_targets.loadTeam(TeamNames(sections[kTeamMembers]));
    }
    if (m_targets.events) {
        if (records) {
            m_targets.events->LoadRecords(std::move(*records));
        } else {
            m_targets.events->LoadEvents(sections[kSimEvents]);
        }
    }
    return {};
}

} // namespace halyx
