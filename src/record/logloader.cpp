#include "record/logloader.h"

#include "common/progress.h"
#include "record/fileio.h"
#include "record/simeventstore.h"
#include "record/xmllexer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <iterator>
#include <optional>
#include <pugixml.hpp>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace halyx {

namespace {

enum Section { kNotes, kSimEvents, kTeamMembers, kScenario, kLogHeader, kSectionCount };

constexpr std::array<const char*, kSectionCount> kSectionNames = {
    "Notes", "SimEvents", "TeamMembers", "Scenario", "LogHeader"};

// Reads the whole file. Every line, the last included, ends with a line break, as when the
// file is read line by line.
LogLoadResult ReadLogFile(const std::string& path, std::string& buffer) {
    LogLoadResult read = ReadLogFileText(path, buffer);
    if (read && !buffer.empty() && buffer.back() != '\n') {
        buffer += '\n';
    }
    return read;
}

// A file is read this much at a time (more while one piece of markup is longer).
constexpr size_t kChunkBytes = size_t{1} << 20;

// About this much event text is parsed at a time, so that a long log never has a document for
// all its events in memory at once.
constexpr size_t kPieceBytes = size_t{1} << 20;

// A chat message of blanks alone is still the message: keep a text node that is an element's only
// child even when it is all white space.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

} // namespace

// The log's text, from memory at once or from a file a chunk at a time: Window() is what has
// been read and not yet used, Base() where it starts in the text.
class CLogLoader::CTextSource {
public:
    explicit CTextSource(std::string_view text) : m_text(text), m_window(text), m_end(true) {}
    explicit CTextSource(std::string path) : m_path(std::move(path)) {}
    ~CTextSource() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    CTextSource(const CTextSource&) = delete;
    CTextSource& operator=(const CTextSource&) = delete;

    // Opens the file; refuses what ReadWholeFile refuses.
    LogLoadResult Open() {
        m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (m_fd < 0) {
            return LogLoadFailure(LogLoadStatus::CannotOpen, "cannot open " + m_path);
        }
        struct stat info {};
        if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            return LogLoadFailure(LogLoadStatus::CannotOpen, m_path + " is not a file");
        }
        if (static_cast<unsigned long long>(info.st_size) > kMaxLogFileBytes) {
            return LogLoadFailure(LogLoadStatus::NotXml,
                                  m_path + " is too large to be an experiment log");
        }
        m_left = static_cast<size_t>(info.st_size);
        m_size = m_left;
        m_end = m_left == 0;
        return {};
    }

    const std::string& Path() const { return m_path; }
    std::string_view Window() const { return m_window; }
    size_t Base() const { return m_base; }
    // Bytes of the text, the file's size when it was opened.
    size_t Size() const { return m_path.empty() ? m_text.size() : m_size; }
    bool AtEnd() const { return m_end; }

    // Drops the first `used` bytes of the window and reads at least as much again as is left,
    // so that a long piece of markup costs a few reads, not one per chunk. False on a read error.
    bool More(size_t used) {
        m_buffer.erase(0, used);
        m_base += used;
        const size_t want = std::min(m_left, std::max(kChunkBytes, m_buffer.size()));
        const size_t had = m_buffer.size();
        m_buffer.resize(had + want);
        size_t got = 0;
        while (got < want) {
            const ssize_t n = ::read(m_fd, m_buffer.data() + had + got, want - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                return false;
            }
            if (n == 0) {
                m_left = got; // the file shrank while being read
                break;
            }
            got += static_cast<size_t>(n);
        }
        m_buffer.resize(had + got);
        m_left -= got;
        if (got > 0) {
            m_lastByte = m_buffer.back();
        }
        if (m_left == 0) {
            m_end = true;
            // Every line, the last included, ends with a line break, as when the file is read
            // line by line.
            if (m_base + m_buffer.size() > 0 && m_lastByte != '\n') {
                m_buffer += '\n';
            }
        }
        m_window = m_buffer;
        return true;
    }

    // The whole text in one buffer, for the parser to judge a text that is not shaped like a log.
    LogLoadResult Whole(std::string& buffer) const {
        if (m_path.empty()) {
            buffer.assign(m_text);
            return {};
        }
        return ReadLogFile(m_path, buffer);
    }

private:
    std::string_view m_text;
    std::string m_path;
    int m_fd = -1;
    size_t m_size = 0;
    size_t m_left = 0;
    std::string m_buffer;
    std::string_view m_window;
    size_t m_base = 0;
    char m_lastByte = 0;
    bool m_end = false;
};

LogLoadResult LogLoadFailure(LogLoadStatus status, std::string detail, size_t offset) {
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

namespace {

LogLoadResult FileReadResult(ReadFileStatus status, const std::string& path) {
    switch (status) {
    case ReadFileStatus::Ok:
        break;
    case ReadFileStatus::CannotOpen:
        return LogLoadFailure(LogLoadStatus::CannotOpen, "cannot open " + path);
    case ReadFileStatus::NotAFile:
        return LogLoadFailure(LogLoadStatus::CannotOpen, path + " is not a file");
    case ReadFileStatus::TooLarge:
        return LogLoadFailure(LogLoadStatus::NotXml,
                              path + " is too large to be an experiment log");
    case ReadFileStatus::ReadError:
        return LogLoadFailure(LogLoadStatus::NotXml, "read error in " + path);
    }
    return {};
}

} // namespace

LogLoadResult ReadLogFileText(const std::string& path, std::string& buffer) {
    return FileReadResult(ReadWholeFile(path, buffer, kMaxLogFileBytes), path);
}

LogLoadResult ReadLogFileText(const std::string& path, CFileBytes& bytes) {
    return FileReadResult(bytes.Read(path, kMaxLogFileBytes), path);
}

CLogLoader::CLogLoader(LogLoadTargets targets) : m_targets(std::move(targets)) {}

LogLoadResult CLogLoader::Load(const std::string& path) {
    // A file of zeros, or any file that is not markup, is refused before it is read: the
    // parser would take it whole into memory to find that out.
    if (size_t offset = 0; !BeginsWithMarkup(path, offset)) {
        return LogLoadFailure(LogLoadStatus::NotXml,
                              path + " is not an experiment log: it does not begin with markup",
                              offset);
    }
    std::optional<LogLoadResult> result;
    {
        CTextSource source(path);
        LogLoadResult opened = source.Open();
        if (!opened) {
            return opened;
        }
        result = LoadStream(source);
    }
    if (result) {
        return *result;
    }
    std::string buffer;
    LogLoadResult read = ReadLogFile(path, buffer);
    if (!read) {
        return read;
    }
    return LoadWhole(buffer);
}

LogLoadResult CLogLoader::LoadText(std::string_view text) {
    std::optional<LogLoadResult> result;
    {
        CTextSource source(text);
        result = LoadStream(source);
    }
    if (result) {
        return *result;
    }
    std::string buffer(text);
    return LoadWhole(buffer);
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

// One pass over the text, a window at a time, following its elements without building a
// document (no recursion, nesting capped). The inside of each SimEvents section of the root is
// parsed in pieces of about kPieceBytes of whole events, each piece's document freed before the
// next, and its events kept as packed records; everything else is kept as text and parsed as one
// document at the end, with those sections empty. Every byte still goes through the XML parser,
// so what is refused is the same as with one document. Nothing when the text does not have the
// plain shape of a log (it breaks off, end tags do not match, a second root, too deep): the
// parser then reads it whole and says what is wrong and where.
std::optional<LogLoadResult> CLogLoader::LoadStream(CTextSource& source) {
    std::vector<std::string> stack;
    bool rootSeen = false;
    bool rootClosed = false;
    bool inEvents = false; // inside a SimEvents section of the root
    std::string skeleton;
    std::string piece;
    size_t pieceBegin = 0;   // where piece starts in the text
    size_t sectionBegin = 0; // where the open section's inside starts in the text
    // Where the insides of sections were left out of the skeleton, and how many bytes were left
    // out up to there, to give the parser's offsets in the skeleton as offsets in the text.
    struct Cut {
        size_t at;
        size_t removed;
    };
    std::vector<Cut> cuts;
    CSimEventStore records; // the events of the last section so far
    CSimEvent record;
    std::optional<LogLoadResult> pieceError;

    IProgress* const progress = m_targets.progress;
    const size_t total = std::max<size_t>(source.Size(), 1);
    if (progress) {
        progress->SetRange(0, 1000);
        progress->SetPos(0);
    }

    std::string_view window = source.Window();
    size_t pos = 0;
    const auto take = [&](size_t upto) {
        (inEvents ? piece : skeleton).append(window.substr(pos, upto - pos));
        pos = upto;
    };
    const auto parsePiece = [&] {
        if (!pieceError) {
            pugi::xml_document doc;
            const pugi::xml_parse_result r =
                doc.load_buffer_inplace(piece.data(), piece.size(),
                                        kParseOptions | pugi::parse_fragment, pugi::encoding_utf8);
            if (!r) {
                pieceError = LogLoadFailure(LogLoadStatus::NotXml, r.description(),
                                            pieceBegin + static_cast<size_t>(r.offset));
            } else if (m_targets.events) {
                for (pugi::xml_node event = doc.first_child(); event;
                     event = event.next_sibling()) {
                    records.AddRecorded(event, record);
                }
            }
        }
        pieceBegin += piece.size();
        piece.clear();
    };

    while (true) {
        const Markup m = NextMarkup(window, pos);
        if (m.kind == MarkupKind::None || m.kind == MarkupKind::Broken) {
            if (source.AtEnd()) {
                if (m.kind == MarkupKind::Broken || !rootClosed) {
                    return std::nullopt;
                }
                take(window.size());
                break;
            }
            take(m.kind == MarkupKind::None ? window.size() : m.begin);
            if (progress) {
                if (progress->Canceled()) {
                    return LogLoadFailure(LogLoadStatus::Canceled, "canceled");
                }
                progress->SetPos(
                    static_cast<int>(std::min<size_t>(source.Base() + pos, total) * 1000 / total));
            }
            if (!source.More(pos)) {
                return LogLoadFailure(LogLoadStatus::NotXml, "read error in " + source.Path());
            }
            window = source.Window();
            pos = 0;
            continue;
        }
        if (m.kind == MarkupKind::Start || m.kind == MarkupKind::Empty) {
            if (rootClosed || (rootSeen && stack.empty()) || stack.size() >= kMaxXmlDepth) {
                return std::nullopt;
            }
            rootSeen = true;
            const bool section = stack.size() == 1 && MarkupLocalName(m.name) == "SimEvents";
            take(m.end);
            if (m.kind == MarkupKind::Start) {
                stack.emplace_back(m.name);
            }
            if (section) {
                records.Clear(); // a later section replaces an earlier one
            }
            if (section && m.kind == MarkupKind::Start) {
                inEvents = true;
                sectionBegin = source.Base() + m.end;
                pieceBegin = sectionBegin;
            }
        } else if (m.kind == MarkupKind::End) {
            if (stack.empty() || stack.back() != m.name) {
                return std::nullopt;
            }
            if (inEvents && stack.size() == 2) {
                take(m.begin);
                parsePiece();
                inEvents = false;
                const size_t removed = (cuts.empty() ? 0 : cuts.back().removed) +
                                       (source.Base() + m.begin - sectionBegin);
                cuts.push_back({skeleton.size(), removed});
            }
            take(m.end);
            stack.pop_back();
            rootClosed = stack.empty();
        } else {
            take(m.end);
        }
        if (inEvents && stack.size() == 2 && piece.size() >= kPieceBytes) {
            parsePiece();
        }
    }
    std::string().swap(piece);

    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer_inplace(
        skeleton.data(), skeleton.size(), kParseOptions, pugi::encoding_utf8);
    if (!parsed) {
        size_t offset = static_cast<size_t>(parsed.offset);
        const auto after = std::upper_bound(cuts.begin(), cuts.end(), offset,
                                            [](size_t o, const Cut& c) { return o < c.at; });
        offset += after == cuts.begin() ? 0 : std::prev(after)->removed;
        // The first fault in the text, as one parse of the whole would find it.
        if (!pieceError || offset < pieceError->offset) {
            return LogLoadFailure(LogLoadStatus::NotXml, parsed.description(), offset);
        }
    }
    if (pieceError) {
        return *pieceError;
    }
    return Distribute(doc.document_element(), &records);
}

LogLoadResult CLogLoader::LoadWhole(std::string& buffer) {
    // Parsed in place: the document's texts point into the buffer, which saves a second copy
    // of what can be a very large file.
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer_inplace(buffer.data(), buffer.size(), kParseOptions, pugi::encoding_utf8);
    if (!parsed) {
        return LogLoadFailure(LogLoadStatus::NotXml, parsed.description(),
                              static_cast<size_t>(parsed.offset));
    }
    return Distribute(doc.document_element(), nullptr);
}

LogLoadResult CLogLoader::Distribute(const pugi::xml_node& root, CSimEventStore* records) {
    if (!root) {
        return LogLoadFailure(LogLoadStatus::NotXml, "the document has no root element");
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
        return LogLoadFailure(LogLoadStatus::Incomplete, missing);
    }

    if (m_targets.readScenario) {
        std::string error;
        if (!m_targets.readScenario(sections[kScenario], error)) {
            return LogLoadFailure(
                LogLoadStatus::NotXml, error.empty() ? "the scenario could not be read" : error,
                static_cast<size_t>(std::max<ptrdiff_t>(0, sections[kScenario].offset_debug())));
        }
    }
    if (m_targets.loadTeam) {
        m_targets.loadTeam(TeamNames(sections[kTeamMembers]));
    }
    if (m_targets.events) {
        if (records) {
            records->SortRecords();
            *m_targets.events = std::move(*records);
        } else {
            m_targets.events->LoadEvents(sections[kSimEvents]);
        }
    }
    return {};
}

} // namespace halyx
