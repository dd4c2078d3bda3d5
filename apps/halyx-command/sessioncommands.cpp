// The console commands for sessions that run across machines and for reviewing recordings:
// bringing a restarted station back, refusing strangers, playback speed and seek, and the
// station health and stray-command lines printed as they happen.

#include "headlessconsole.h"

#include "common/format.h"
#include "common/numtext.h"
#include "external/agentkit/agentcontainer.h"

#include <algorithm>
#include <utility>

namespace halyx {

namespace {

bool IsWholeNumber(const std::string& text) {
    return !text.empty() && text.size() <= 9 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

void CHeadlessConsole::PrintSessionChanges() {
    std::set<std::string> unreachable;
    for (const StationRow& row : m_page.Stations()) {
        if (!m_page.IsStationResponding(row.name)) {
            unreachable.insert(row.name);
        }
    }
    for (const std::string& name : unreachable) {
        if (m_lastUnreachable.count(name) == 0) {
            Print("STATION " + name + " lost");
        }
    }
    for (const std::string& name : m_lastUnreachable) {
        if (unreachable.count(name) == 0 && m_page.IsStationResponding(name)) {
            Print("STATION " + name + " back");
        }
    }
    m_lastUnreachable = std::move(unreachable);

    const long long total = m_page.StrayCount();
    const auto& kept = m_page.StrayCommands();
    const long long unseen =
        std::min<long long>(total - m_straysPrinted, static_cast<long long>(kept.size()));
    for (auto it = kept.end() - unseen; it != kept.end(); ++it) {
        Print("STRAY " + it->command + " from " + it->sender + ": " + CInitPage::kNotInTeam +
              (it->refused ? ", refused" : ""));
    }
    m_straysPrinted = total;
    PrintRefusals();
}

void CHeadlessConsole::PrintRefusals() {
    const auto& kept = m_agent.Refusals();
    const std::size_t unseen =
        std::min<std::size_t>(m_agent.RefusalsNoted() - m_refusalsPrinted, kept.size());
    for (auto it = kept.end() - static_cast<std::ptrdiff_t>(unseen); it != kept.end(); ++it) {
        Print("REFUSED forged sender " + it->name + " from " + it->peer);
        // How to let a real station in is said once per claimed name and address.
        if (m_refusalHints.size() < kRefusalHintsKept &&
            m_refusalHints.insert(it->name + " " + it->peer).second) {
            Print("  " + it->hint);
        }
    }
    m_refusalsPrinted = m_agent.RefusalsNoted();
}

const std::vector<CHeadlessConsole::Command>& CHeadlessConsole::SessionCommands() {
    static const std::vector<Command> commands = {
        {"reinit", "NAME [yes]",
         "Re-initialize for one station that restarted; yes accepts one that registers from "
         "another host now",
         &CHeadlessConsole::CmdReinit},
        {"team-only", "on|off", "the team-only box: refuse commands from agents outside the team",
         &CHeadlessConsole::CmdTeamOnly},
        {"speed", "1|2|4|8|16", "playback speed, as a multiple of the tick rate",
         &CHeadlessConsole::CmdSpeed},
        {"seek", "MINUTE", "playback continues from MINUTE", &CHeadlessConsole::CmdSeek},
        {"health", "", "every station's state, lost and unreadable message counts",
         &CHeadlessConsole::CmdHealth},
        // More conditions of the one wait command.
        {"wait", "lost NAME|back NAME|status NAME TEXT [timeout=S]",
         "until the station is unreachable, reachable again, or its row reads TEXT",
         &CHeadlessConsole::CmdWait},
    };
    return commands;
}

bool CHeadlessConsole::CmdReinit(const Words& words) {
    std::vector<std::string> plain(words.begin(), words.end());
    TakeAnswers(plain);
    if (plain.size() != 2) {
        m_answers.clear();
        return Fail("reinit takes one station name");
    }
    const std::string& name = plain[1];
    // Whoever registers a member's name from another host is not let in unless told so.
    const bool answer = std::exchange(m_defaultAnswer, false);
    const bool done = m_page.ReinitializeStation(name);
    m_defaultAnswer = answer;
    m_answers.clear();
    if (!done && m_page.CanReinitialize(name)) {
        return Fail(name + " was not re-initialized: it registers from another host now (reinit " +
                    name + " yes accepts it)");
    }
    if (!done) {
        return Fail("Re-initialize is not available for " + name +
                    " now (a station of the list, after Initialize Simulation or a loaded "
                    "experiment)");
    }
    Print("REINIT " + name);
    return true;
}

bool CHeadlessConsole::CmdTeamOnly(const Words& words) {
    if (words.size() != 2 || (words[1] != "on" && words[1] != "off")) {
        return Fail("team-only takes on or off");
    }
    m_page.SetTeamOnly(words[1] == "on");
    return true;
}

bool CHeadlessConsole::CmdSpeed(const Words& words) {
    std::string factor = words.size() == 2 ? words[1] : std::string();
    if (!factor.empty() && (factor.front() == 'x' || factor.front() == 'X')) {
        factor.erase(0, 1);
    }
    if (!IsWholeNumber(factor) || !m_page.SetPlaybackSpeed(ReadInt(factor))) {
        return Fail("speed takes 1, 2, 4, 8 or 16, in playback mode");
    }
    Print(Format("SPEED x%d, %d ms a minute", m_page.PlaybackSpeed(),
                 m_container.get_tick_interval()));
    return true;
}

bool CHeadlessConsole::CmdSeek(const Words& words) {
    if (words.size() != 2 || !IsWholeNumber(words[1])) {
        return Fail("seek takes a minute from 0 to 960");
    }
    if (!m_page.SeekPlayback(ReadInt(words[1]))) {
        return Fail("seek is available in playback mode with a loaded experiment, to a "
                    "minute from 0 to 960");
    }
    Print(Format("SEEK %d: next record %zu of %zu", m_agent.Clock(), m_agent.Events().CursorIndex(),
                 m_agent.Events().Count()));
    return true;
}

bool CHeadlessConsole::CmdHealth(const Words&) {
    for (const StationRow& row : m_page.Stations()) {
        Print(Format("HEALTH %s %s lost-messages=%zu unreadable-messages=%zu", row.name.c_str(),
                     m_page.IsStationResponding(row.name) ? "responding" : "not-responding",
                     m_page.LostMessages(row.name), m_agent.UnreadableMessages(row.name)));
    }
    Print(Format("HEALTH strays=%lld team-only=%s", m_page.StrayCount(),
                 m_page.TeamOnlyChecked() ? "on" : "off"));
    return true;
}

// The session's counts, after those of the log.
void CHeadlessConsole::PrintSessionSummary() {
    std::string line =
        Format("SUMMARY %zu messages lost to unreachable stations", m_agent.LostMessagesTotal());
    for (const auto& [name, count] : m_agent.LostMessagesByStation()) {
        line += Format(" %s=%zu", name.c_str(), count);
    }
    Print(line);
    Print(Format("SUMMARY %lld commands from agents not in the team%s", m_page.StrayCount(),
                 m_page.TeamOnlyChecked() ? " (refused)" : ""));
    line = Format("SUMMARY %zu unreadable messages", m_agent.UnreadableMessagesTotal());
    for (const auto& [name, count] : m_agent.UnreadableByStation()) {
        line += Format(" %s=%zu", name.empty() ? "(outside the team)" : name.c_str(), count);
    }
    Print(line);
    std::string refused =
        Format("SUMMARY %zu messages refused for a forged sender", m_agent.RefusedTotal());
    for (const auto& [name, count] : m_agent.RefusedByName()) {
        refused += Format(" %s=%zu", name.c_str(), count);
    }
    Print(refused);
}

// The wait conditions on one station; nothing when the words name none of them.
std::optional<bool> CHeadlessConsole::WaitForStation(const Words& words) {
    std::vector<std::string> plain;
    int timeout = 600;
    for (size_t i = 1; i < words.size(); ++i) {
        if (words[i].rfind("timeout=", 0) == 0) {
            const int seconds = ReadInt(words[i].substr(8));
            timeout = seconds > 0 ? seconds : timeout;
        } else {
            plain.push_back(words[i]);
        }
    }
    const std::string what = plain.empty() ? std::string() : plain[0];
    if ((what == "lost" || what == "back") && plain.size() == 2) {
        const std::string name = plain[1];
        const bool lost = what == "lost";
        return WaitUntil([this, name, lost] { return m_page.IsStationResponding(name) != lost; },
                         timeout, what + " " + name);
    }
    if (what == "status" && plain.size() == 3) {
        const std::string name = plain[1];
        const std::string status = plain[2];
        return WaitUntil(
            [this, name, status] {
                const auto& rows = m_page.Stations();
                return std::any_of(rows.begin(), rows.end(), [&](const StationRow& row) {
                    return row.name == name && row.status == status;
                });
            },
            timeout, "status " + name + " " + status);
    }
    return std::nullopt;
}

} // namespace halyx
