#include "record/experimentlog.h"

#include "common/format.h"
#include "common/paths.h"
#include "common/timestamp.h"
#include "common/xmlescape.h"
#include "record/keywordlist.h"
#include "record/missionstats.h"
#include "record/teamline.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <random>
#include <sys/random.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace halyx {

namespace {

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
constexpr const char* kRootOpen = "<HalyxSimLog>\n";
constexpr const char* kRootClose = "</HalyxSimLog>";
constexpr const char* kSimEventsOpen = "<SimEvents>\n";
constexpr const char* kSimEventsClose = "</SimEvents>\n";

// Appends name="value" with a blank before it, the value escaped.
void AddAttribute(std::string& line, const char* name, std::string_view value) {
    line += ' ';
    line += name;
    line += "=\"";
    AppendXmlAttributeEscaped(line, value);
    line += '"';
}

void AddClock(std::string& line, int clock) {
    AppendFormat(line, " ClockTime=\"%d\"", clock);
}

// The local date and the local time of an instant, each in the locale's own form.
void LocalDateAndTime(int64_t tsid, std::string& date, std::string& time) {
    const std::time_t t = static_cast<std::time_t>(tsid >= 0 ? tsid / 1000 : (tsid - 999) / 1000);
    std::tm local{};
    localtime_r(&t, &local);
    char buf[128];
    date.assign(buf, std::strftime(buf, sizeof buf, "%x", &local));
    time.assign(buf, std::strftime(buf, sizeof buf, "%X", &local));
}

// Writes as much of text as the file takes. Returns 0, or the error that stopped the write;
// written receives the number of bytes the file took either way.
int WriteSome(int fd, std::string_view text, size_t& written) {
    written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return ENOSPC;
        }
        written += static_cast<size_t>(n);
    }
    return 0;
}

bool IsSpaceError(int error) {
    return error == ENOSPC || error == EFBIG || error == EDQUOT;
}

std::string ErrorText(int error) {
    return std::strerror(error);
}

// Copies the first size bytes of the open file from to the open file to. 0 or the error; what
// says which side failed.
int CopyPrefix(int from, const std::string& fromPath, size_t size, int to, std::string& what) {
    std::vector<char> buffer(size_t{1} << 20);
    size_t copied = 0;
    while (copied < size) {
        const ssize_t n = ::pread(from, buffer.data(), std::min(buffer.size(), size - copied),
                                  static_cast<off_t>(copied));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            what = "cannot read " + fromPath;
            return n < 0 ? errno : EIO; // the file shrank under the log
        }
        size_t written = 0;
        if (const int error =
                WriteSome(to, std::string_view(buffer.data(), static_cast<size_t>(n)), written);
            error != 0) {
            return error;
        }
        copied += written;
    }
    return 0;
}

bool IsAllBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

} // namespace

std::string TeamMembersXml(const std::vector<std::string>& team) {
    std::string out = "<TeamMembers>\n";
    for (const std::string& name : team) {
        out += "<TeamMember Name=\"";
        AppendXmlAttributeEscaped(out, name);
        out += "\"/>\n";
    }
    out += "</TeamMembers>";
    return out;
}

CExperimentLog::CExperimentLog() : CExperimentLog(&CurrentTsid) {}

CExperimentLog::CExperimentLog(Clock clock) : m_clock(std::move(clock)) {}

CExperimentLog::~CExperimentLog() {
    Close();
}

bool CExperimentLog::Open(const std::string& folder, const std::string& name,
                          const std::string& notes, std::string_view scenarioXml) {
    // The page allows a new experiment only after a reset, but a log left open here would
    // never get its closing tags; finish it properly before starting the next.
    Close();
    m_lastError.clear();
    // A folder typed without its final separator still means that folder, not a name prefix.
    std::string where = folder;
    if (!where.empty() && !EndsWithSeparator(where)) {
        where += '/';
    }
    // A folder that cannot be made shows when the file cannot be created.
    CreatePath(where);
    m_path = where + name + ".xml";
    // Read access too: a move copies what is written from this very file, even if someone
    // renamed or removed it meanwhile. Never through a link planted under the log's name.
    m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (m_fd < 0) {
        m_lastError = Format(kLogCreateFailedFormat, m_path.c_str(), ErrorText(errno).c_str());
        return false;
    }
    m_written = 0;
    m_writeError.clear();
    m_recoveredPath.clear();
    m_lostWritesAtOpen = m_lostWrites;
    m_team.clear();
    std::string date;
    std::string time;
    LocalDateAndTime(m_clock(), date, time);
    std::string head;
    head.reserve(256 + notes.size() + scenarioXml.size());
    head += kDeclaration;
    head += kRootOpen;
    head += "<LogHeader CreationDate=\"";
    AppendXmlAttributeEscaped(head, date);
    head += "\" CreationTime=\"";
    AppendXmlAttributeEscaped(head, time);
    head += "\"/>\n<Notes>\n";
    AppendXmlTextEscaped(head, notes);
    head += "\n</Notes>\n";
    head += scenarioXml;
    head += kSimEventsOpen;
    // A disk that refuses the first lines will refuse the events too: report it now, with the
    // system's reason, rather than start an experiment whose log is already short.
    size_t written = 0;
    if (const int error = WriteToFile(head, written); error != 0) {
        ::close(m_fd);
        m_fd = -1;
        m_lastError = Format(kLogCreateFailedFormat, m_path.c_str(), ErrorText(error).c_str());
        return false;
    }
    m_written = written;
    m_scenarioWritten = true;
    m_simEventsOpened = true;
    m_simEventsClosed = false;
    m_rootClosed = false;
    return true;
}

bool CExperimentLog::Close() {
    if (m_fd < 0) {
        return false;
    }
    std::string tail;
    if (m_simEventsOpened && !m_simEventsClosed) {
        tail += kSimEventsClose;
        tail += TeamMembersXml(m_team);
    }
    bool written = true;
    if (!m_rootClosed) {
        tail += kRootClose;
        const size_t lostBeforeTail = m_lostWrites;
        written = WriteText(tail);
        if (m_lostWrites > lostBeforeTail) {
            // Memory was full: the few closing lines are kept all the same, so that a recovery
            // file still ends as a log does.
            m_lostWrites = lostBeforeTail;
            m_kept.append(tail);
            ++m_keptWrites;
        }
    }
    if (KeptBytes() > 0 || m_lostWrites > m_lostWritesAtOpen) {
        // Lines dropped because memory was full are gone whatever happens now.
        const size_t dropped = m_lostWrites - m_lostWritesAtOpen;
        const size_t kept = m_keptWrites;
        std::string text;
        std::string where;
        if (KeptBytes() > 0 && SaveRecovery(where)) {
            m_recovered = true;
            m_recoveredPath = where;
            text = Format("%zu event%s that %s could not take %s saved with the rest of the log "
                          "in %s",
                          kept, kept == 1 ? "" : "s", m_path.c_str(), kept == 1 ? "was" : "were",
                          where.c_str());
            if (dropped > 0) {
                AppendFormat(text, "; %zu event%s did not fit in memory and %s lost", dropped,
                             dropped == 1 ? "" : "s", dropped == 1 ? "was" : "were");
            }
        } else {
            m_lostWrites += kept;
            const size_t lost = m_lostWrites - m_lostWritesAtOpen;
            text = Format("%zu event%s (%zu bytes kept in memory) were never written to %s", lost,
                          lost == 1 ? "" : "s", KeptBytes(), m_path.c_str());
            if (!where.empty()) {
                text += "; no recovery file could be written (" + where + ")";
            }
        }
        m_kept.clear();
        m_keptHead = 0;
        m_keptWrites = 0;
        written = false;
        if (m_onTrouble) {
            m_onTrouble(text);
        }
    }
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    m_scenarioWritten = false;
    m_simEventsOpened = false;
    m_simEventsClosed = false;
    m_rootClosed = false;
    m_team.clear();
    return written && closed;
}

bool CExperimentLog::Move(const std::string& folder, std::string& error) {
    if (m_fd < 0) {
        error = "no experiment log is open";
        return false;
    }
    std::string where = folder;
    if (where.empty()) {
        error = "no folder was given";
        return false;
    }
    if (!EndsWithSeparator(where)) {
        where += '/';
    }
    CreatePath(where);
    const size_t slash = m_path.find_last_of('/');
    const std::string target =
        where + (slash == std::string::npos ? m_path : m_path.substr(slash + 1));
    std::error_code ec;
    if (std::filesystem::equivalent(m_path, target, ec)) {
        error = "the log is already in " + where;
        return false;
    }
    // Another experiment's log of the same name in that folder is never overwritten.
    const int fd = ::open(target.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST) {
        error = target + " exists";
        return false;
    }
    if (fd < 0) {
        error = "cannot create " + target + ": " + ErrorText(errno);
        return false;
    }
    std::string what = "cannot write " + target;
    int failure = CopyPrefix(m_fd, m_path, m_written, fd, what);
    size_t keptWritten = 0;
    if (failure == 0) {
        failure = WriteSome(fd, std::string_view(m_kept).substr(m_keptHead), keptWritten);
    }
    // The old file goes only once the new one is safely on its disk.
    if (failure == 0 && ::fsync(fd) != 0) {
        failure = errno;
    }
    if (failure != 0) {
        ::close(fd);
        ::unlink(target.c_str());
        error = what + ": " + ErrorText(failure) + (IsSpaceError(failure) ? " (disk full?)" : "");
        return false;
    }
    ::close(m_fd);
    ::unlink(m_path.c_str());
    m_fd = fd;
    m_path = target;
    m_written += keptWritten;
    m_kept.clear();
    m_keptHead = 0;
    m_keptWrites = 0;
    // A failure on the new disk is news again.
    m_writeError.clear();
    m_failWrites = 0;
    return true;
}

int CExperimentLog::WriteToFile(std::string_view text, size_t& written) {
    if (m_failWrites != 0) {
        written = 0;
        return m_failWrites;
    }
    return WriteSome(m_fd, text, written);
}

namespace {

constexpr int kRecoveryNamesTried = 100;

// 16 hex digits from the system's random source (not the program's seeded one: anyone could
// repeat that).
std::string RandomNamePart() {
    uint64_t value = 0;
    if (::getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
        std::random_device device;
        value = (uint64_t{device()} << 32) ^ device();
    }
    return Format("%016llx", static_cast<unsigned long long>(value));
}

} // namespace

std::vector<std::string> CExperimentLog::RecoveryFolders() const {
    if (!m_recoveryFolders.empty()) {
        return m_recoveryFolders;
    }
    std::vector<std::string> folders{FolderPart(m_path), DefaultExpLogFolder()};
    std::error_code ec;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    if (!ec) {
        std::string folder = temp.string();
        if (!EndsWithSeparator(folder)) {
            folder += '/';
        }
        folders.push_back(folder);
    }
    return folders;
}

bool CExperimentLog::SaveRecovery(std::string& where) {
    std::string stem = FileNamePart(m_path);
    if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".xml") == 0) {
        stem.resize(stem.size() - 4);
    }
    std::string refusals;
    std::vector<std::string> tried;
    for (const std::string& folder : RecoveryFolders()) {
        std::error_code ec;
        bool seen = false;
        for (const std::string& earlier : tried) {
            seen = seen || std::filesystem::equivalent(earlier, folder, ec);
        }
        tried.push_back(folder);
        if (seen || folder.empty()) {
            continue;
        }
        // The default log folder may not exist yet; the log's own folder is not made again
        // when it was removed under the log.
        if (folder != FolderPart(m_path)) {
            CreatePath(folder);
        }
        // Never over an earlier recovery, and never through a link someone placed in a shared
        // temporary folder. After the plain name, each name has a random part: names planted in
        // advance cannot all be in the way.
        std::string target;
        int fd = -1;
        int error = 0;
        for (int n = 1; n <= kRecoveryNamesTried && fd < 0; ++n) {
            target = folder + stem + (n == 1 ? std::string() : "-" + RandomNamePart()) +
                     ".recovered.xml";
            fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
            error = fd < 0 ? errno : 0;
            if (fd < 0 && error != EEXIST) {
                break;
            }
        }
        // Which folder refused, or which side of the copy failed once the file was made.
        std::string what = folder;
        if (fd >= 0) {
            what = "cannot write " + target;
            error = CopyPrefix(m_fd, m_path, m_written, fd, what);
            size_t written = 0;
            if (error == 0) {
                error = WriteSome(fd, std::string_view(m_kept).substr(m_keptHead), written);
            }
            if (error == 0 && ::fsync(fd) != 0) {
                error = errno;
            }
            ::close(fd);
            if (error == 0) {
                where = target;
                return true;
            }
            ::unlink(target.c_str());
        }
        if (!refusals.empty()) {
            refusals += "; ";
        }
        refusals += what + ": " + ErrorText(error);
    }
    where = refusals;
    return false;
}

void CExperimentLog::Keep(std::string_view text) {
    if (KeptBytes() + text.size() > kMaxKeptLogBytes) {
        ++m_lostWrites;
        return;
    }
    if (m_keptHead > 0 && m_keptHead >= m_kept.size() / 2) {
        m_kept.erase(0, m_keptHead);
        m_keptHead = 0;
    }
    m_kept.append(text);
    ++m_keptWrites;
}

bool CExperimentLog::FlushKept() {
    size_t written = 0;
    const int error = WriteToFile(std::string_view(m_kept).substr(m_keptHead), written);
    m_written += written;
    m_keptHead += written;
    if (error == 0) {
        m_kept.clear();
        m_keptHead = 0;
        m_keptWrites = 0;
        return true;
    }
    NoteWriteFailure(error);
    return false;
}

void CExperimentLog::NoteWriteFailure(int error) {
    if (!m_writeError.empty()) {
        return; // reported already
    }
    m_writeError = "cannot write " + m_path + ": " + ErrorText(error);
    if (IsSpaceError(error)) {
        m_writeError += " (disk full?)";
    }
    if (m_onTrouble) {
        m_onTrouble(m_writeError);
    }
}

bool CExperimentLog::WriteText(std::string_view text) {
    if (m_fd < 0) {
        return false;
    }
    // Watchers see each event as it is logged, whether the disk takes it now or later.
    if (text.starts_with("<Event ")) {
        if (m_onEvent) {
            m_onEvent(text);
        }
        if (m_onStream) {
            m_onStream(text);
        }
    }
    if (m_rootClosed) {
        return WriteBeforeRootClose(text);
    }
    // Kept text goes first, so that the file never gets lines out of order.
    if (KeptBytes() > 0 && !FlushKept()) {
        Keep(text);
        return false;
    }
    size_t written = 0;
    const int error = WriteToFile(text, written);
    m_written += written;
    if (error == 0) {
        return true;
    }
    Keep(text.substr(written));
    NoteWriteFailure(error);
    return false;
}

bool CExperimentLog::WriteSimEventsTag(bool opening) {
    if (!WriteText(opening ? kSimEventsOpen : kSimEventsClose)) {
        return false;
    }
    m_simEventsOpened = opening || m_simEventsOpened;
    m_simEventsClosed = !opening;
    return true;
}

bool CExperimentLog::WriteScenario(std::string_view scenarioXml) {
    if (m_fd < 0 || m_scenarioWritten) {
        return false;
    }
    m_scenarioWritten = true;
    return WriteText(scenarioXml);
}

bool CExperimentLog::EndSimEvents(std::string_view teamMembersXml) {
    if (m_fd < 0 || m_simEventsClosed) {
        return false;
    }
    std::string text = kSimEventsClose;
    text += teamMembersXml;
    m_simEventsOpened = true;
    m_simEventsClosed = true;
    if (!WriteText(text)) {
        return false;
    }
    // From the end of the run on, the file is a whole document at every moment (a summary or a
    // copy taken before the reset reads a finished log); Close then adds nothing.
    if (KeptBytes() == 0) {
        size_t written = 0;
        if (WriteSome(m_fd, kRootClose, written) == 0) {
            m_written += written;
            m_rootClosed = true;
        } else {
            // Half an end tag would spoil the file: it goes, and Close writes it as usual.
            [[maybe_unused]] const int cut = ::ftruncate(m_fd, static_cast<off_t>(m_written));
            ::lseek(m_fd, static_cast<off_t>(m_written), SEEK_SET);
        }
    }
    return true;
}

bool CExperimentLog::WriteBeforeRootClose(std::string_view text) {
    // Steps back over the end tag and writes the text and the end tag again in one write, so
    // the file never lacks its end.
    const size_t tagSize = std::char_traits<char>::length(kRootClose);
    const size_t tagAt = m_written - tagSize;
    if (::lseek(m_fd, static_cast<off_t>(tagAt), SEEK_SET) < 0) {
        NoteWriteFailure(errno);
        return false;
    }
    std::string block(text);
    block += kRootClose;
    size_t written = 0;
    const int error = WriteSome(m_fd, block, written);
    if (error == 0) {
        m_written = tagAt + written;
        return true;
    }
    // The file is cut where the text stopped; what did not go is kept, and Close writes the
    // end tag after it as it does for a log whose end was never written.
    const size_t textWritten = std::min(written, text.size());
    m_written = tagAt + textWritten;
    m_rootClosed = false;
    [[maybe_unused]] const int cut = ::ftruncate(m_fd, static_cast<off_t>(m_written));
    ::lseek(m_fd, static_cast<off_t>(m_written), SEEK_SET);
    Keep(text.substr(textWritten));
    NoteWriteFailure(error);
    return false;
}

void CExperimentLog::BeginEvent(std::string& line, const char* name) {
    const int64_t tsid = m_clock();
    line.clear();
    line += "<Event TimeStamp=\"";
    line += TimeStampText(tsid);
    AppendFormat(line, "\" TSID=\"%" PRId64 "\" Name=\"%s\"", tsid, name);
}

bool CExperimentLog::WriteEvent(const char* name, std::optional<int> clock,
                                std::initializer_list<EventAttribute> attributes) {
    if (m_fd < 0) {
        return false;
    }
    BeginEvent(m_line, name);
    if (clock) {
        AddClock(m_line, *clock);
    }
    for (const auto& [attribute, value] : attributes) {
        AddAttribute(m_line, attribute, value);
    }
    m_line += "/>\n";
    return WriteText(m_line);
}

// ResourceActivate, ResourceDeActivate and Abort share one shape.
bool CExperimentLog::WriteResourceEvent(const char* name, int clock, std::string_view from,
                                        std::string_view resType, std::string_view resID,
                                        std::string_view lat, std::string_view lng,
                                        std::string_view gridCol, std::string_view gridRow) {
    return WriteEvent(name, clock,
                      {{"From", from},
                       {"ResType", resType},
                       {"ResID", resID},
                       {"Lat", lat},
                       {"Lng", lng},
                       {"GridCol", gridCol},
                       {"GridRow", gridRow}});
}

bool CExperimentLog::LogMeasure(
    const char* name, std::optional<int> clock,
    const std::vector<std::pair<std::string, std::string>>& attributes) {
    if (m_fd < 0 || m_simEventsClosed) {
        return false;
    }
    BeginEvent(m_line, name);
    if (clock) {
        AddClock(m_line, *clock);
    }
    for (const auto& [attribute, value] : attributes) {
        AddAttribute(m_line, attribute.c_str(), value);
    }
    m_line += "/>\n";
    return WriteText(m_line);
}

bool CExperimentLog::LogInitSim() {
    return WriteEvent("InitSim", std::nullopt, {});
}

bool CExperimentLog::LogTeamMode(std::string_view mode) {
    return WriteEvent("TeamMode", std::nullopt, {{"Mode", mode}});
}

bool CExperimentLog::LogTeam(const std::vector<std::string>& team) {
    if (m_fd < 0) {
        return false;
    }
    m_team = team;
    return WriteText(TeamCommentLine(team));
}

bool CExperimentLog::LogInitSimConf(std::string_view sender,
                                    std::optional<std::string_view> mapError) {
    if (mapError) {
        return WriteEvent("InitSimConf", std::nullopt,
                          {{"Sender", sender}, {"MapError", *mapError}});
    }
    return WriteEvent("InitSimConf", std::nullopt, {{"Sender", sender}});
}

bool CExperimentLog::LogStartSim() {
    return WriteEvent("StartSim", std::nullopt, {});
}

bool CExperimentLog::LogPauseSim(int clock) {
    return WriteEvent("PauseSim", clock, {});
}

bool CExperimentLog::LogResumeSim(int clock) {
    return WriteEvent("ResumeSim", clock, {});
}

bool CExperimentLog::LogSimulationComplete(bool launched) {
    return WriteEvent("SimulationComplete", std::nullopt,
                      {{"LaunchStatus", launched ? "Launch" : "NoLaunch"}});
}

bool CExperimentLog::LogChatMsg(int clock, std::string_view from, std::string_view message) {
    if (m_fd < 0) {
        return false;
    }
    BeginEvent(m_line, "ChatMsg");
    AddClock(m_line, clock);
    AddAttribute(m_line, "From", from);
    m_line += ">\n";
    AppendXmlTextEscaped(m_line, message);
    m_line += "\n</Event>\n";
    return WriteText(m_line);
}

bool CExperimentLog::LogIncEnterRadar(int clock, std::string_view from, std::string_view incID,
                                      std::string_view radarID) {
    return WriteEvent("IncEnterRadar", clock,
                      {{"IncID", incID}, {"RadarID", radarID}, {"From", from}});
}

bool CExperimentLog::LogIncExitRadar(int clock, std::string_view from, std::string_view incID,
                                     std::string_view radarID) {
    return WriteEvent("IncExitRadar", clock,
                      {{"IncID", incID}, {"RadarID", radarID}, {"From", from}});
}

bool CExperimentLog::LogLaunchStatusChange(int clock, std::string_view status,
                                           std::string_view from) {
    return WriteEvent("LaunchStatusChange", clock, {{"Status", status}, {"From", from}});
}

bool CExperimentLog::LogDeployResource(int clock, std::string_view from, std::string_view resType,
                                       std::string_view resID, std::string_view initLat,
                                       std::string_view initLng, std::string_view initGridCol,
                                       std::string_view initGridRow, std::string_view destLat,
                                       std::string_view destLng, std::string_view destGridCol,
                                       std::string_view destGridRow) {
    return WriteEvent("DeployResource", clock,
                      {{"From", from},
                       {"ResType", resType},
                       {"ResID", resID},
                       {"InitLat", initLat},
                       {"InitLng", initLng},
                       {"InitGridCol", initGridCol},
                       {"InitGridRow", initGridRow},
                       {"DestLat", destLat},
                       {"DestLng", destLng},
                       {"DestGridCol", destGridCol},
                       {"DestGridRow", destGridRow}});
}

bool CExperimentLog::LogInterceptInc(int clock, std::string_view from, std::string_view resType,
                                     std::string_view intID, std::string_view intLat,
                                     std::string_view intLng, std::string_view intGridCol,
                                     std::string_view intGridRow, std::string_view incID,
                                     std::string_view incLat, std::string_view incLng,
                                     std::string_view incGridCol, std::string_view incGridRow) {
    return WriteEvent("InterceptInc", clock,
                      {{"From", from},
                       {"ResType", resType},
                       {"IntID", intID},
                       {"IntLat", intLat},
                       {"IntLng", intLng},
                       {"IntGridCol", intGridCol},
                       {"IntGridRow", intGridRow},
                       {"IncID", incID},
                       {"IncLat", incLat},
                       {"IncLng", incLng},
                       {"IncGridCol", incGridCol},
                       {"IncGridRow", incGridRow}});
}

bool CExperimentLog::LogDeployBalloon(int clock, std::string_view from, std::string_view destLat,
                                      std::string_view destLng, std::string_view gridCol,
                                      std::string_view gridRow) {
    return WriteEvent("DeployBalloon", clock,
                      {{"From", from},
                       {"DestLat", destLat},
                       {"DestLng", destLng},
                       {"GridCol", gridCol},
                       {"GridRow", gridRow}});
}

bool CExperimentLog::LogWeatherQuery(int clock, std::string_view from, std::string_view lat,
                                     std::string_view lng) {
    return WriteEvent("WeatherQuery", clock, {{"From", from}, {"Lat", lat}, {"Lng", lng}});
}

bool CExperimentLog::LogWeatherResponse(int clock, std::string_view to, std::string_view lat,
                                        std::string_view lng, double temperature, double pressure,
                                        double humidity, double windSpeed, double windDir) {
    if (m_fd < 0) {
        return false;
    }
    BeginEvent(m_line, "WeatherResponse");
    AddClock(m_line, clock);
    AddAttribute(m_line, "To", to);
    AddAttribute(m_line, "Lat", lat);
    AddAttribute(m_line, "Lng", lng);
    AppendFormat(m_line,
                 " Temperature=\"%f\" Pressure=\"%f\" Humidity=\"%f\" WindSpeed=\"%f\" "
                 "WindDir=\"%f\"/>\n",
                 temperature, pressure, humidity, windSpeed, windDir);
    return WriteText(m_line);
}

bool CExperimentLog::LogWeatherNoData(int clock, std::string_view to, std::string_view lat,
                                      std::string_view lng) {
    if (m_fd < 0) {
        return false;
    }
    BeginEvent(m_line, "WeatherResponse");
    AddClock(m_line, clock);
    AddAttribute(m_line, "To", to);
    AddAttribute(m_line, "Lat", lat);
    AddAttribute(m_line, "Lng", lng);
    m_line += " WeatherData=\"NoData\"/>\n";
    return WriteText(m_line);
}

bool CExperimentLog::LogResourceActivate(int clock, std::string_view from, std::string_view resType,
                                         std::string_view resID, std::string_view lat,
                                         std::string_view lng, std::string_view gridCol,
                                         std::string_view gridRow) {
    return WriteResourceEvent("ResourceActivate", clock, from, resType, resID, lat, lng, gridCol,
                              gridRow);
}

bool CExperimentLog::LogResourceDeActivate(int clock, std::string_view from,
                                           std::string_view resType, std::string_view resID,
                                           std::string_view lat, std::string_view lng,
                                           std::string_view gridCol, std::string_view gridRow) {
    return WriteResourceEvent("ResourceDeActivate", clock, from, resType, resID, lat, lng, gridCol,
                              gridRow);
}

bool CExperimentLog::LogAbort(int clock, std::string_view from, std::string_view resType,
                              std::string_view resID, std::string_view lat, std::string_view lng,
                              std::string_view gridCol, std::string_view gridRow) {
    return WriteResourceEvent("Abort", clock, from, resType, resID, lat, lng, gridCol, gridRow);
}

bool CExperimentLog::LogResourceRequest(int clock, std::string_view from,
                                        std::string_view requestFrom, std::string_view resType,
                                        std::string_view resID, std::string_view lat,
                                        std::string_view lng, std::string_view gridCol,
                                        std::string_view gridRow) {
    return WriteEvent("ResourceRequest", clock,
                      {{"From", from},
                       {"RequestFrom", requestFrom},
                       {"ResType", resType},
                       {"ResID", resID},
                       {"Lat", lat},
                       {"Lng", lng},
                       {"GridCol", gridCol},
                       {"GridRow", gridRow}});
}

bool CExperimentLog::LogUpdateInc(int clock, std::string_view from, std::string_view incID,
                                  std::string_view heading, std::string_view lat,
                                  std::string_view lng) {
    return WriteEvent(
        "UpdateInc", clock,
        {{"From", from}, {"IncID", incID}, {"Heading", heading}, {"Lat", lat}, {"Lng", lng}});
}

bool CExperimentLog::LogUnitDisplay(int clock, std::string_view from, std::string_view content) {
    if (m_fd < 0) {
        return false;
    }
    const CKeywordList keys(content);
    const std::string_view unitType = keys.Get("unitType");
    if (!IsUnitDisplayType(unitType)) {
        return false;
    }
    const bool radar = unitType == "Radar";
    const bool interceptor = unitType == "Interceptor";
    BeginEvent(m_line, "UnitDisplay");
    AddClock(m_line, clock);
    AddAttribute(m_line, "From", from);
    AddAttribute(m_line, "UnitName", keys.Get("name"));
    AddAttribute(m_line, "ResType", unitType);
    AddAttribute(m_line, "ResID", keys.Get("id"));
    AddAttribute(m_line, "Lat", keys.Get("lat"));
    AddAttribute(m_line, "Lng", keys.Get("lng"));
    if (radar) {
        AddAttribute(m_line, "Range", keys.Get("range"));
        m_line += "/>\n";
    } else if (interceptor) {
        AddAttribute(m_line, "Speed", keys.Get("speed"));
        m_line += "/>\n";
    } else {
        AddAttribute(m_line, "Speed", keys.Get("speed"));
        AddAttribute(m_line, "Heading", keys.Get("heading"));
        // The incursion form has always ended without a line break; the next event follows on
        // the same line, which is still well-formed.
        m_line += "/>";
    }
    return WriteText(m_line);
}

bool CExperimentLog::LogMissionStats(std::string_view teamMember, std::string_view content) {
    if (m_fd < 0 || IsAllBlank(content)) {
        return false;
    }
    return WriteText(MissionStatsXml(teamMember, content));
}

namespace {

// For LogUnreadableMessage: one line of printable ASCII that cannot end an XML comment.
void AppendCommentEscaped(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool dash = byte == '-' && (out.back() == '-' || i + 1 == text.size());
        if (byte < 0x20 || byte >= 0x7f || byte == '<' || byte == '>' || byte == '&' ||
            byte == '\\' || dash) {
            out += "\\x";
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0xf]);
        } else {
            out.push_back(static_cast<char>(byte));
        }
    }
}

} // namespace

bool CExperimentLog::LogUnreadableMessage(int clock, std::string_view station, std::string_view why,
                                          std::string_view text) {
    if (m_fd < 0) {
        return false;
    }
    std::string line = "<!-- unreadable message from ";
    AppendCommentEscaped(line, station.empty() ? std::string_view("(no sender)") : station);
    AppendFormat(line, " at clock %d (", clock);
    AppendCommentEscaped(line, why);
    line += "): ";
    AppendCommentEscaped(line, text.substr(0, kUnreadableTextBytes));
    if (text.size() > kUnreadableTextBytes) {
        AppendFormat(line, " [and %zu more bytes]", text.size() - kUnreadableTextBytes);
    }
    line += " -->\n";
    return WriteText(line);
}

bool CExperimentLog::LogMark(int clock, std::string_view text) {
    if (m_fd < 0) {
        return false;
    }
    const std::time_t seconds = static_cast<std::time_t>(m_clock() / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char time[32];
    std::strftime(time, sizeof time, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string line = Format("<!-- mark clock=%d time=%s: ", clock, time);
    AppendCommentEscaped(line, text.substr(0, kMarkTextBytes));
    line += " -->\n";
    return WriteText(line);
}

bool CExperimentLog::LogComment(std::string_view text) {
    std::string line = "<!-- ";
    for (const char c : text) {
        const char put = (c == '\n' || c == '\r') ? ' ' : c;
        if (put == '-' && line.back() == '-') {
            line += ' ';
        }
        line += put;
    }
    if (line.back() == '-') {
        line += ' ';
    }
    line += " -->\n";
    return WriteText(line);
}

} // namespace halyx
