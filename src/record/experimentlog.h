#pragma once

// The experiment log: one XML file per experiment holding the header, the experimenter's notes,
// the scenario sent to the stations, one event line per event of the run and the team.
//
// Usage, over one experiment:
//     CExperimentLog log;
//     CSaveLocation where;                       // the experimenter names and places the log
//     if (!log.Open(where.GetLocation(), where.GetName(), where.GetNotes(), scenarioXml))
//         view.ShowMessage(log.LastError());
//     log.LogInitSim();
//     log.LogTeamMode("Multiplayer");
//     log.LogTeam(team);                         // the team line, and the team for Close
//     log.LogDeployResource(clock, sender, ...);  // one Log... call per event, as it happens
//     log.EndSimEvents(TeamMembersXml(team));    // mission end or reset; written once per file
//     log.Close();                               // reset, or the program ends
//
// Every write returns true when the text reached the file and false when no file is open (or
// the write failed); callers may ignore the result. Values are escaped for XML; every other
// byte is the event template's. Each event line reaches the operating system when it is
// written, so a crash loses at most the line being written.
//
// A write that fails (a full disk) loses nothing: what the file did not take is kept in memory,
// in order, and every later line joins it. The first failure is reported at once through the
// handler given to SetWriteTroubleHandler; Move() takes the part already written and the kept
// text to another folder and the log continues there. Each later write tries the kept text
// again first, so a disk that gets room again catches up by itself. What is still kept when
// the log is closed goes, with the part already written, to a recovery file NAME.recovered.xml
// in the first folder that takes it: the log's own, the default log folder, the system's
// temporary folder. That file is a complete log. Only when no folder takes it is the kept text
// lost: LostData() then stays true.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halyx {

// Shown when the log file cannot be created; the simulation is then not initialized. The
// first %s is the file, the second the system's reason ("Permission denied", "No space left on
// device").
inline constexpr const char* kLogCreateFailedFormat =
    "Unable to create logfile %s: %s. The simulation has not been initialized";

// More text than this kept in memory (about a million event lines) is dropped and counted as
// lost, rather than let a log on a dead disk take all memory.
inline constexpr size_t kMaxKeptLogBytes = size_t{256} << 20;

// The TeamMembers section for a team in team order, names escaped:
// "<TeamMembers>\n", one "<TeamMember Name=\"...\"/>\n" per member, "</TeamMembers>".
std::string TeamMembersXml(const std::vector<std::string>& team);

class CExperimentLog {
public:
    // Milliseconds since 1970-01-01 UTC. Every stamp of one event (TimeStamp text and TSID), and
    // the header's date and time, come from a single call.
    using Clock = std::function<int64_t()>;

    CExperimentLog();
    // For tests and replays of a known time line.
    explicit CExperimentLog(Clock clock);
    // Closes a file that is still open (see Close).
    ~CExperimentLog();

    CExperimentLog(const CExperimentLog&) = delete;
    CExperimentLog& operator=(const CExperimentLog&) = delete;

    // Creates folder (every missing folder along it; a missing final separator is added) and
    // the file folder + name + ".xml", truncating an old one, and writes the declaration, root,
    // header, notes, the scenario and the opening of the events section. A log that is still open
    // is closed first. On failure LastError() says which file and why (kLogCreateFailedFormat)
    // and nothing stays open.
    bool Open(const std::string& folder, const std::string& name, const std::string& notes,
              std::string_view scenarioXml);
    // Ends the file with "</HalyxSimLog>" and closes it. If the events section was never
    // closed (the program ends during a run), it is closed first and the TeamMembers section of
    // the team last given to LogTeam (empty when none was) is added, so that the file stays
    // well-formed and loads again. False when anything could not be written (see LostData).
    bool Close();

    // Moves the log to folder (created when missing; the file keeps its name): the part already
    // written and the text kept in memory go to the new file, which is synced, the old file is
    // removed and the log continues in the new one. On failure error says why, and the log stays
    // where it was with nothing dropped.
    bool Move(const std::string& folder, std::string& error);

    // Called once, at the first write that fails after an Open or a Move, with the reason
    // ("cannot write PATH: No space left on device (disk full?)"), and once when a Close loses
    // kept text ("N events ... were never written to PATH"). The log's state is up to date when
    // it is called; it must not write to this log.
    using WriteTroubleHandler = std::function<void(const std::string& reason)>;
    void SetWriteTroubleHandler(WriteTroubleHandler handler) { m_onTrouble = std::move(handler); }
    // Called with each event line as it is written ("<Event ... />\n", or a chat element with
    // its text), while a file is open; the mission picture follows the mission with it. It must
    // not write to this log.
    using EventObserver = std::function<void(std::string_view line)>;
    void SetEventObserver(EventObserver observer) { m_onEvent = std::move(observer); }
    // A second watcher of the same lines, for the live event stream (eventstream.h).
    void SetStreamObserver(EventObserver observer) { m_onStream = std::move(observer); }
    // Text that the file has not taken yet, and how many writes (event lines, mostly) it holds.
    size_t KeptBytes() const { return m_kept.size() - m_keptHead; }
    size_t KeptWrites() const { return m_keptWrites; }
    // The reason of the last failed write; empty when none failed since the Open or Move.
    const std::string& WriteError() const { return m_writeError; }
    // True once some text of this object's logs never reached a file (sticky: for the program's
    // exit status).
    bool LostData() const { return m_lostWrites > 0; }
    size_t LostWrites() const { return m_lostWrites; }
    // The recovery file of the last Close that needed one (see above); empty when none did.
    const std::string& RecoveredPath() const { return m_recoveredPath; }
    // True once a Close of this object saved a log in a recovery file (sticky, like LostData).
    bool Recovered() const { return m_recovered; }
    // The folders a recovery file is tried in, in order (each ends with '/'); empty means the
    // usual ones. For tests, and for a program with a better place for them.
    void SetRecoveryFolders(std::vector<std::string> folders) {
        m_recoveryFolders = std::move(folders);
    }
    // Tests: every later write to the open file fails with error, as on a disk with no room
    // left, while other files still take text (0 ends it).
    void FailWritesForTest(int error) { m_failWrites = error; }

    bool IsOpen() const { return m_fd >= 0; }
    // The path of the open (or last opened) file.
    const std::string& FilePath() const { return m_path; }
    // The message to show for the last failed Open; empty after a successful one.
    const std::string& LastError() const { return m_lastError; }

    // Writes text unchanged.
    bool WriteText(std::string_view text);
    // "<SimEvents>\n" when opening, "</SimEvents>\n" when not.
    bool WriteSimEventsTag(bool opening);
    // The scenario XML, written once per file: a second call on the same file writes nothing.
    bool WriteScenario(std::string_view scenarioXml);
    // Ends the run's section: "</SimEvents>\n" and the team section, once per file, and the
    // file's end tag, so that the file is complete from then on: each later write goes in front
    // of the end tag. Later calls (a reset after the mission end) write nothing and return
    // false.
    bool EndSimEvents(std::string_view teamMembersXml);
    // True once the events section of the open file has been closed.
    bool SimEventsClosed() const { return m_simEventsClosed; }

    // One operation per event; clock is the simulation clock count where the event has one.
    bool LogInitSim();
    bool LogTeamMode(std::string_view mode);
    // The team line (teamline.h), written right after TeamMode; the team is also kept for Close.
    bool LogTeam(const std::vector<std::string>& team);
    // mapError: what the station said when it could not fetch its map (the MapError attribute,
    // left out when the station fetched it).
    bool LogInitSimConf(std::string_view sender,
                        std::optional<std::string_view> mapError = std::nullopt);
    bool LogStartSim();
    bool LogPauseSim(int clock);
    bool LogResumeSim(int clock);
    bool LogSimulationComplete(bool launched);
    bool LogChatMsg(int clock, std::string_view from, std::string_view message);
    bool LogIncEnterRadar(int clock, std::string_view from, std::string_view incID,
                          std::string_view radarID);
    bool LogIncExitRadar(int clock, std::string_view from, std::string_view incID,
                         std::string_view radarID);
    bool LogLaunchStatusChange(int clock, std::string_view status, std::string_view from);
    bool LogDeployResource(int clock, std::string_view from, std::string_view resType,
                           std::string_view resID, std::string_view initLat,
                           std::string_view initLng, std::string_view initGridCol,
                           std::string_view initGridRow, std::string_view destLat,
                           std::string_view destLng, std::string_view destGridCol,
                           std::string_view destGridRow);
    bool LogInterceptInc(int clock, std::string_view from, std::string_view resType,
                         std::string_view intID, std::string_view intLat, std::string_view intLng,
                         std::string_view intGridCol, std::string_view intGridRow,
                         std::string_view incID, std::string_view incLat, std::string_view incLng,
                         std::string_view incGridCol, std::string_view incGridRow);
    bool LogDeployBalloon(int clock, std::string_view from, std::string_view destLat,
                          std::string_view destLng, std::string_view gridCol,
                          std::string_view gridRow);
    bool LogWeatherQuery(int clock, std::string_view from, std::string_view lat,
                         std::string_view lng);
    // The cell's five values are written with "%f".
    bool LogWeatherResponse(int clock, std::string_view to, std::string_view lat,
                            std::string_view lng, double temperature, double pressure,
                            double humidity, double windSpeed, double windDir);
    bool LogWeatherNoData(int clock, std::string_view to, std::string_view lat,
                          std::string_view lng);
    bool LogResourceActivate(int clock, std::string_view from, std::string_view resType,
                             std::string_view resID, std::string_view lat, std::string_view lng,
                             std::string_view gridCol, std::string_view gridRow);
    bool LogResourceDeActivate(int clock, std::string_view from, std::string_view resType,
                               std::string_view resID, std::string_view lat, std::string_view lng,
                               std::string_view gridCol, std::string_view gridRow);
    bool LogAbort(int clock, std::string_view from, std::string_view resType,
                  std::string_view resID, std::string_view lat, std::string_view lng,
                  std::string_view gridCol, std::string_view gridRow);
    bool LogResourceRequest(int clock, std::string_view from, std::string_view requestFrom,
                            std::string_view resType, std::string_view resID, std::string_view lat,
                            std::string_view lng, std::string_view gridCol,
                            std::string_view gridRow);
    bool LogUpdateInc(int clock, std::string_view from, std::string_view incID,
                      std::string_view heading, std::string_view lat, std::string_view lng);
    // content is the station command's KQML content text ("tell :command log_unit_display
    // :unitType Radar ..."); the unit keywords are read from it. A :unitType other than
    // Radar, Interceptor or Incursion writes nothing and returns false.
    bool LogUnitDisplay(int clock, std::string_view from, std::string_view content);
    static bool IsUnitDisplayType(std::string_view unitType) {
        return unitType == "Radar" || unitType == "Interceptor" || unitType == "Incursion";
    }
    // The mission statistics report of one station (missionstats.h), written as one block.
    // An empty content writes nothing and returns false.
    bool LogMissionStats(std::string_view teamMember, std::string_view content);

    // A note for people reading the file, as one XML comment line "<!-- text -->": readers of
    // the log skip it. Line breaks become blanks and "--" (which would end or break the
    // comment) becomes "- -", as does a final '-'.
    bool LogComment(std::string_view text);
    // A station message that could not be read, as one comment line: "<!-- unreadable message
    // from STATION at clock N (WHY): TEXT -->". Every byte that could break the comment or the
    // file's encoding is written as \xNN: control bytes, bytes from 0x80 up, '<' '>' '&', the
    // backslash itself, and a '-' after a '-' or at the end. Text beyond kUnreadableTextBytes is
    // left out and its length said.
    static constexpr std::size_t kUnreadableTextBytes = 256u * 1024u;
    bool LogUnreadableMessage(int clock, std::string_view station, std::string_view why,
                              std::string_view text);

    // The experimenter's mark, so that a moment ("the team argued here") can be found later:
    // "<!-- mark clock=N time=2026-12-07T15:04:05Z: TEXT -->", the text escaped as in
    // LogUnreadableMessage and cut at kMarkTextBytes. A comment, so readers of the events never
    // see it; the analysis reader collects the marks (CLogInfo::marks).
    static constexpr std::size_t kMarkTextBytes = 1024;
    bool LogMark(int clock, std::string_view text);
    // A measure (probe, answer, steady clock reading): an event of its own name whose attributes
    // come in the order given. Readers that do not know the name skip it.
    bool LogMeasure(const char* name, std::optional<int> clock,
                    const std::vector<std::pair<std::string, std::string>>& attributes);

private:
    // Takes one clock reading and appends "<Event TimeStamp=\"...\" TSID=\"...\" Name=\"" + name
    // + "\"" to line.
    using EventAttribute = std::pair<const char*, std::string_view>;

    void BeginEvent(std::string& line, const char* name);
    // One event line of the common shape: stamp, name, the clock when given, the attributes
    // in order (escaped), then "/>".
    bool WriteEvent(const char* name, std::optional<int> clock,
                    std::initializer_list<EventAttribute> attributes);
    bool WriteResourceEvent(const char* name, int clock, std::string_view from,
                            std::string_view resType, std::string_view resID, std::string_view lat,
                            std::string_view lng, std::string_view gridCol,
                            std::string_view gridRow);

    // Keeps text the file did not take, tries the kept text again, reports the first failure.
    void Keep(std::string_view text);
    bool FlushKept();
    // After the end of the run: text goes in front of the end tag already written.
    bool WriteBeforeRootClose(std::string_view text);
    void NoteWriteFailure(int error);
    // Writes to the open file as WriteSome does.
    int WriteToFile(std::string_view text, size_t& written);
    // Saves the written part and the kept text in a recovery file; where receives its path, or
    // why each folder refused it.
    bool SaveRecovery(std::string& where);
    std::vector<std::string> RecoveryFolders() const;

    Clock m_clock;
    int m_fd = -1;
    size_t m_written = 0; // bytes the open file holds
    std::string m_kept;   // text not written yet, from m_keptHead on
    size_t m_keptHead = 0;
    size_t m_keptWrites = 0;
    size_t m_lostWrites = 0;
    size_t m_lostWritesAtOpen = 0;
    std::string m_writeError;
    WriteTroubleHandler m_onTrouble;
    EventObserver m_onEvent;
    EventObserver m_onStream;
    std::vector<std::string> m_team;
    std::string m_path;
    std::string m_lastError;
    bool m_scenarioWritten = false;
    bool m_simEventsOpened = false;
    bool m_simEventsClosed = false;
    bool m_rootClosed = false; // the file ends with its end tag already
    std::string m_line;        // reused for every event line
    std::vector<std::string> m_recoveryFolders;
    std::string m_recoveredPath;
    bool m_recovered = false;
    int m_failWrites = 0;
};

} // namespace halyx
