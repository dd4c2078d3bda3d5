#include "ui/commpage.h"

#include "common/format.h"
#include "common/paths.h"
#include "external/kqml/parser.h"
#include "external/kqml/utils.h"
#include "record/simeventstore.h"

#include <ctime>
#include <fstream>

namespace halyx {

namespace {

constexpr const char* kHeaderStart = "New Log Started at ";
constexpr const char* kHeaderRule =
    "\n-----------------------------------------------------------------------------\n\n";
constexpr const char* kSavedOn = "File saved on: ";
constexpr const char* kBeginLog = "----BEGIN COMMUNICATION LOG----";
constexpr const char* kEndLog = "----END COMMUNICATION LOG----";
constexpr const char* kBeginNotes = "----BEGIN NOTES----";
constexpr const char* kEndNotes = "----END NOTES----";
constexpr const char* kNotesFileExtension = ".hef";
constexpr const char* kLogFileExtension = ".hcl";

std::size_t LastSeparator(std::string_view text) {
    return text.find_last_of("/\\");
}

// Reads one line; the line ending (\n, or \r\n from the other platform) is not kept.
bool ReadLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) {
        return false;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return true;
}

} // namespace

std::string CCommPage::LocalDateTimeText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[128];
    std::size_t n = std::strftime(buffer, sizeof buffer, "%x %X", &local);
    return std::string(buffer, n);
}

CCommPage::CCommPage(ICommPageView* view) : m_view(view) {
    m_logText = kHeaderStart + LocalDateTimeText() + kHeaderRule;
    m_headerSize = m_logText.size();
}

void CCommPage::AddChatEntry(std::string_view to, std::string_view from, std::string_view message) {
    const std::size_t start = m_logText.size();
    m_logText += "[";
    m_logText += LocalDateTimeText();
    m_logText += "] [";
    m_logText += from;
    m_logText += "] -> [";
    m_logText += to;
    m_logText += "]: ";
    m_logText += message;
    const std::size_t lineSize = m_logText.size() - start;
    m_logText += "\n";
    if (m_view) {
        // Before the trim, which may drop this very entry when the transcript is full.
        m_view->ChatEntryAdded(std::string_view(m_logText).substr(start, lineSize));
    }
    TrimLogText();
    if (m_view) {
        m_view->Refresh();
    }
}

void CCommPage::AddTestEntries() {
    for (int i = 0; i < 4; ++i) {
        AddChatEntry(kTestReceiver, kTestSender, kTestMessage);
    }
}

namespace {

// The replay line of a recorded chat event, or "" when the event is no chat.
std::string ReplayLine(const CSimEvent& event, const std::vector<std::string>& team) {
    CParser content;
    if (!content.parse_list("(" + event.content + ")")) {
        return {};
    }
    if (content.find_token("command").value_or("") != "subject_communication") {
        return {};
    }
    const std::string from = ChatSpeaker(event.sender, content.find_text("from"));
    std::string to = content.find_text("to");
    if (to.empty()) {
        for (const std::string& member : team) {
            if (member != event.sender) {
                to += (to.empty() ? "" : ", ") + member;
            }
        }
    }
    std::string line = Format("[Minute %d] [", static_cast<int>(event.clockTime));
    line += from;
    line += to.empty() ? "]: " : "] -> [" + to + "]: ";
    line += CUtils::remove_parenthesis(content.find_text("message"));
    line += '\n';
    return line;
}

} // namespace

void CCommPage::ClearReplay() {
    m_replayText.clear();
    ++m_replayGeneration;
    m_replayActive = true;
    m_replayMinute = -1;
    m_replayNext = 0;
    m_replayCount = 0;
    if (m_view) {
        m_view->Refresh();
    }
}

void CCommPage::ShowReplayUpTo(int minute, const CSimEventStore& events,
                               const std::vector<std::string>& team) {
    const bool sameStore = events.Count() == m_replayCount;
    if (minute < m_replayMinute || !sameStore) {
        m_replayText.clear();
        m_replayNext = 0;
        ++m_replayGeneration;
    }
    bool added = !sameStore || minute < m_replayMinute;
    m_replayActive = true;
    m_replayCount = events.Count();
    // The records are in clock order, so the walk stops at the first one past the minute.
    while (m_replayNext < events.Count()) {
        const CSimEvent event = events.At(m_replayNext);
        if (event.clockTime > minute) {
            break;
        }
        const std::string line = ReplayLine(event, team);
        if (!line.empty()) {
            m_replayText += line;
            added = true;
        }
        ++m_replayNext;
    }
    m_replayMinute = minute;
    if (added && m_view) {
        m_view->Refresh();
    }
}

void CCommPage::TrimLogText() {
    if (m_logText.size() <= kMaxLogText) {
        return;
    }
    // Drop about the oldest half of the entries, at a line boundary, keeping the header.
    std::size_t header = m_headerSize <= m_logText.size() ? m_headerSize : 0;
    std::size_t cut = header + (m_logText.size() - header) / 2;
    std::size_t lineEnd = m_logText.find('\n', cut);
    cut = lineEnd == std::string::npos ? m_logText.size() : lineEnd + 1;
    m_logText.erase(header, cut - header);
}

void CCommPage::SetExperimentName(std::string_view name) {
    m_experimentName = name;
    if (EndsWithSeparator(m_location)) {
        m_location.pop_back();
        // Drops the folder that the previous name added. A location with no separator left
        // (a drive root such as "D:") is kept as it is, so the new folder lands under it.
        std::size_t sep = LastSeparator(m_location);
        if (sep != std::string::npos) {
            m_location.erase(sep);
        }
    }
    if (!m_experimentName.empty()) {
        m_location += '/';
        m_location += m_experimentName;
        m_location += '/';
    }
    if (m_view) {
        m_view->Refresh();
    }
}

void CCommPage::SetLocation(std::string_view folder) {
    // A folder picker answers without a trailing separator; a typed one may have it.
    while (EndsWithSeparator(folder)) {
        folder.remove_suffix(1);
    }
    m_location = folder;
    if (m_view) {
        m_view->Refresh();
    }
    SetExperimentName(std::string(m_experimentName));
}

bool CCommPage::SaveLog() {
    if (m_location.empty() || m_experimentName.empty()) {
        if (m_view) {
            m_view->ShowMessage(kFillNameMessage);
        }
        return false;
    }
    std::string folder = m_location;
    if (!EndsWithSeparator(folder)) {
        folder += '/';
    }
    CreatePath(folder);
    std::string path = folder + m_experimentName + kLogFileExtension;
    if (path != m_savedPath && FileExists(path)) {
        if (m_view) {
            m_view->ShowMessage(kExistsMessage);
        }
        return false;
    }
    std::ofstream out(path, std::ios::out | std::ios::trunc);
    if (!out) {
        return false;
    }
    out << m_location << m_experimentName << kNotesFileExtension << "\n";
    out << kSavedOn << LocalDateTimeText() << "\n";
    out << kBeginLog << "\n";
    out << m_logText << "\n";
    out << kEndLog << "\n";
    out << kBeginNotes << "\n";
    out << m_notes << "\n";
    out << kEndNotes << "\n";
    out.close();
    if (!out) {
        return false;
    }
    m_savedPath = path;
    if (m_view) {
        m_view->ShowMessage(kSavedMessage);
    }
    return true;
}

bool CCommPage::LoadLog(const std::string& path) {
    std::ifstream in(path, std::ios::in | std::ios::binary);
    if (!in) {
        return false;
    }
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0 || static_cast<unsigned long long>(size) > kMaxFileSize) {
        if (m_view) {
            m_view->ShowMessage(kTooLargeMessage);
        }
        return false;
    }

    // Everything is read into locals first: a file that breaks off before its end markers
    // leaves the current transcript and notes as they were.
    std::string line;
    if (!ReadLine(in, line)) {
        if (m_view) {
            m_view->ShowMessage(kIncompleteMessage);
        }
        return false;
    }
    std::string location;
    std::string name;
    std::size_t sep = LastSeparator(line);
    if (sep != std::string::npos) {
        location = line.substr(0, sep + 1);
        name = line.substr(sep + 1);
    } else {
        name = line;
    }
    name.erase(name.size() >= 4 ? name.size() - 4 : 0);

    bool complete = ReadLine(in, line) && ReadLine(in, line);
    std::string logText;
    bool endOfLog = false;
    while (complete && ReadLine(in, line)) {
        if (line == kEndLog) {
            endOfLog = true;
            break;
        }
        logText += line;
        logText += '\n';
    }
    std::string notes;
    bool endOfNotes = false;
    if (endOfLog && ReadLine(in, line)) {
        while (ReadLine(in, line)) {
            if (line == kEndNotes) {
                endOfNotes = true;
                break;
            }
            notes += line;
            notes += '\n';
        }
    }
    if (!endOfNotes) {
        if (m_view) {
            m_view->ShowMessage(kIncompleteMessage);
        }
        return false;
    }
    if (!notes.empty()) {
        notes.pop_back();
    }
    m_location = std::move(location);
    m_experimentName = std::move(name);
    m_logText = std::move(logText);
    m_headerSize = 0;
    m_notes = std::move(notes);
    if (m_view) {
        m_view->Refresh();
    }
    return true;
}

} // namespace halyx
