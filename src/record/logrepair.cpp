#include "record/logrepair.h"

#include "common/format.h"
#include "record/experimentlog.h"
#include "record/fileio.h"
#include "record/logloader.h"
#include "record/teamline.h"
#include "record/xmllexer.h"

#include <algorithm>
#include <pugixml.hpp>

#include <filesystem>
#include <system_error>
#include <vector>

namespace halyx {

namespace {

// The sections that a cut-off log must hold complete to be worth replaying.
enum SectionBit : unsigned {
    kLogHeaderBit = 1,
    kNotesBit = 2,
    kScenarioBit = 4,
    kSimEventsBit = 8,
    kTeamMembersBit = 16,
};

unsigned SectionBitOf(std::string_view name) {
    const std::string_view local = MarkupLocalName(name);
    if (local == "LogHeader") {
        return kLogHeaderBit;
    }
    if (local == "Notes") {
        return kNotesBit;
    }
    if (local == "Scenario") {
        return kScenarioBit;
    }
    if (local == "SimEvents") {
        return kSimEventsBit;
    }
    if (local == "TeamMembers") {
        return kTeamMembersBit;
    }
    return 0;
}

// Where the kept part of the log may end: after a complete piece of markup, with at most the
// root and one of the list sections (SimEvents, TeamMembers) open. A partly written event line
// or statistics block is never kept.
struct CutPoint {
    size_t end = 0;
    std::vector<std::string_view> open; // the root, and SimEvents or TeamMembers
    unsigned complete = 0;              // sections closed before this point
    size_t events = 0;                  // events completed inside SimEvents
};

// Who took part, as far as the kept part of a log tells.
struct TeamClues {
    bool teamLineFound = false;
    std::vector<std::string> teamLine;  // the last team line of the events section
    std::vector<std::string> confirmed; // InitSimConf senders, first confirmation of each
};

// The Sender of an InitSimConf event line; false for any other markup.
bool ReadInitSimConfSender(std::string_view markup, std::string& sender) {
    if (markup.find("InitSimConf") == std::string_view::npos) {
        return false;
    }
    pugi::xml_document doc;
    if (!doc.load_buffer(markup.data(), markup.size(), pugi::parse_default | pugi::parse_fragment,
                         pugi::encoding_utf8)) {
        return false;
    }
    const pugi::xml_node event = doc.first_child();
    if (std::string_view(event.attribute("Name").as_string()) != "InitSimConf") {
        return false;
    }
    sender = event.attribute("Sender").as_string();
    return true;
}

// Reads the text as the log writer writes it, element by element, until it ends, breaks off or
// stops making sense (a mismatched end tag, a second root), remembering the last place where it
// could be cut and closed. One pass, no recursion: bounded on any input.
CutPoint ScanLog(std::string_view text, TeamClues* clues = nullptr) {
    CutPoint cut;
    std::vector<std::string_view> stack;
    unsigned complete = 0;
    size_t events = 0;
    bool rootSeen = false;
    size_t pos = 0;

    const auto remember = [&](size_t end) {
        const bool listOpen = stack.size() == 2 && (SectionBitOf(stack[1]) == kSimEventsBit ||
                                                    SectionBitOf(stack[1]) == kTeamMembersBit);
        if (stack.size() <= 1 || listOpen) {
            cut.end = end;
            cut.open = stack;
            cut.complete = complete;
            cut.events = events;
        }
    };
    const auto inSimEvents = [&] {
        return stack.size() == 2 && SectionBitOf(stack[1]) == kSimEventsBit;
    };

    while (true) {
        const Markup m = NextMarkup(text, pos);
        switch (m.kind) {
        case MarkupKind::None:
        case MarkupKind::Broken:
            return cut;
        case MarkupKind::Other:
            if (clues && inSimEvents()) {
                std::vector<std::string> team;
                if (ReadTeamComment(text.substr(m.begin, m.end - m.begin), team)) {
                    clues->teamLineFound = true;
                    clues->teamLine = std::move(team);
                }
            }
            break;
        case MarkupKind::End:
            if (stack.empty() || stack.back() != m.name) {
                return cut; // not a log's structure from here on
            }
            if (stack.size() == 1) {
                return cut; // the root's end: the ending is rebuilt, so the kept part stops here
            }
            stack.pop_back();
            if (stack.size() == 1) {
                complete |= SectionBitOf(m.name);
            } else if (inSimEvents()) {
                ++events;
            }
            break;
        case MarkupKind::Start:
        case MarkupKind::Empty:
            if (stack.empty() && rootSeen) {
                return cut; // a second root
            }
            rootSeen = true;
            if (m.kind == MarkupKind::Start) {
                if (stack.size() >= kMaxXmlDepth) {
                    return cut;
                }
                stack.push_back(m.name);
            } else if (stack.size() == 1) {
                complete |= SectionBitOf(m.name);
            } else if (inSimEvents()) {
                ++events;
                std::string sender;
                if (clues && ReadInitSimConfSender(text.substr(m.begin, m.end - m.begin), sender) &&
                    std::find(clues->confirmed.begin(), clues->confirmed.end(), sender) ==
                        clues->confirmed.end()) {
                    clues->confirmed.push_back(std::move(sender));
                }
            }
            break;
        }
        pos = m.end;
        remember(pos);
    }
}

const char* MissingSectionName(unsigned complete) {
    if (!(complete & kLogHeaderBit)) {
        return "LogHeader";
    }
    if (!(complete & kNotesBit)) {
        return "Notes";
    }
    return "Scenario";
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) {
        out += i == 0 ? "" : ", ";
        out += names[i];
    }
    return out;
}

LogRepairResult Result(LogRepairStatus status, std::string message) {
    LogRepairResult result;
    result.status = status;
    result.message = std::move(message);
    return result;
}

// Whether the text ends (but for blanks) with the closing tag of the root the scan found.
bool EndsWithRootClose(std::string_view text, const CutPoint& cut) {
    if (cut.open.empty()) {
        return true; // the scan found no root open at its last cut: let the loader judge
    }
    const size_t last = text.find_last_not_of(" \t\r\n");
    const std::string close = "</" + std::string(cut.open[0]) + ">";
    return last != std::string_view::npos && text.substr(0, last + 1).ends_with(close);
}

// What a repair would do to a text: its result (without the loader's check of the copy) and,
// when the result is true, the text that follows the kept part in the copy.
LogRepairResult PlanRepair(std::string_view text, std::string& ending) {
    ending.clear();
    TeamClues clues;
    const CutPoint cut = ScanLog(text, &clues);
    // A log that loads as it is needs nothing. Only a log that ends by closing its root can: a
    // cut-off one is not loaded whole just to learn that (the loader holds several times the
    // text).
    if (EndsWithRootClose(text, cut) && CLogLoader({}).LoadText(text)) {
        LogRepairResult result = Result(LogRepairStatus::AlreadyComplete,
                                        "The experiment log is complete and loads as it is.");
        result.keptBytes = text.size();
        result.eventsKept = cut.events;
        return result;
    }
    if (cut.open.empty()) {
        return Result(LogRepairStatus::NotRepairable,
                      "This is not an experiment log: no log element was found.");
    }
    const unsigned needed = kLogHeaderBit | kNotesBit | kScenarioBit;
    if ((cut.complete & needed) != needed) {
        return Result(LogRepairStatus::NotRepairable,
                      Format("The experiment log cannot be repaired: it breaks off before its %s "
                             "section is complete.",
                             MissingSectionName(cut.complete)));
    }

    if (cut.end > 0 && text[cut.end - 1] != '\n') {
        ending += '\n';
    }
    unsigned complete = cut.complete;
    if (cut.open.size() == 2) {
        const unsigned bit = SectionBitOf(cut.open[1]);
        ending += "</";
        ending += cut.open[1];
        ending += bit == kTeamMembersBit ? ">" : ">\n";
        complete |= bit;
    }
    if (!(complete & kSimEventsBit)) {
        ending += "<SimEvents>\n</SimEvents>\n";
    }
    // The team section is written only at the end of a run; a log cut off before has the team
    // line written at initialisation, and an older log at least the stations that confirmed.
    std::string teamNote;
    if (!(complete & kTeamMembersBit)) {
        const std::vector<std::string>& team =
            clues.teamLineFound ? clues.teamLine : clues.confirmed;
        ending += TeamMembersXml(team);
        if (clues.teamLineFound) {
            teamNote = " The team (" + JoinNames(team) +
                       ") was taken from the team line written at initialization.";
        } else if (!team.empty()) {
            teamNote = " The log has no team line (an older log): the team (" + JoinNames(team) +
                       ") was taken from the stations that confirmed initialization, in order.";
        } else {
            teamNote = " No team was found in the log: the TeamMembers section is empty.";
        }
    }
    ending += "</";
    ending += cut.open[0];
    ending += '>';

    LogRepairResult result = Result(LogRepairStatus::Repaired, std::string());
    result.keptBytes = cut.end;
    result.droppedBytes = text.size() - cut.end;
    result.eventsKept = cut.events;
    result.message = Format("Repaired the experiment log: %zu events kept, %zu bytes of a "
                            "broken-off end left out.",
                            result.eventsKept, result.droppedBytes) +
                     teamNote;
    return result;
}

LogRepairResult CopyRefused(const LogLoadResult& check) {
    return Result(LogRepairStatus::NotRepairable,
                  Format("The experiment log cannot be repaired: %s at byte %zu.",
                         check.detail.c_str(), check.offset));
}

} // namespace

LogRepairResult RepairExperimentLogText(std::string_view text, std::string& repaired) {
    repaired.clear();
    std::string ending;
    LogRepairResult result = PlanRepair(text, ending);
    if (!result) {
        return result;
    }
    repaired.reserve(result.keptBytes + ending.size());
    repaired.assign(text.substr(0, result.keptBytes));
    repaired += ending;
    if (result.status == LogRepairStatus::Repaired) {
        const LogLoadResult check = CLogLoader({}).LoadText(repaired);
        if (!check) {
            repaired.clear();
            return CopyRefused(check);
        }
    }
    return result;
}

LogRepairResult RepairExperimentLog(const std::string& inPath, const std::string& outPath) {
    if (size_t offset = 0; !BeginsWithMarkup(inPath, offset)) {
        return Result(LogRepairStatus::NotRepairable,
                      "This is not an experiment log: no log element was found.");
    }
    std::string text;
    if (ReadWholeFile(inPath, text, kMaxLogFileBytes) != ReadFileStatus::Ok) {
        return Result(LogRepairStatus::CannotRead,
                      "Unable to read the experiment log " + inPath + ".");
    }
    std::error_code ec;
    if (outPath == inPath || std::filesystem::equivalent(inPath, outPath, ec)) {
        return Result(LogRepairStatus::CannotWrite,
                      "The repaired copy must not replace the original " + inPath + ".");
    }
    std::string ending;
    LogRepairResult result = PlanRepair(text, ending);
    if (!result) {
        return result;
    }
    // The copy is written straight from the input and checked as a file before it takes its
    // name, so a long log is not held twice in memory.
    LogLoadResult check;
    const auto loads = [&](const std::string& written) {
        // The copy is complete and closed: the input text is no longer needed while the
        // loader checks the copy, and a long log is not held beside the loaded one.
        std::string().swap(text);
        if (result.status == LogRepairStatus::Repaired) {
            check = CLogLoader({}).Load(written);
        }
        return static_cast<bool>(check);
    };
    if (!WriteWholeFile(outPath, {std::string_view(text).substr(0, result.keptBytes), ending},
                        loads)) {
        return check ? Result(LogRepairStatus::CannotWrite,
                              "Unable to write the repaired copy " + outPath + ".")
                     : CopyRefused(check);
    }
    result.message += " The closed copy is " + outPath + ".";
    return result;
}

std::string RepairedLogPath(const std::string& inPath) {
    const size_t slash = inPath.find_last_of("/\\");
    const size_t dot = inPath.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        return inPath.substr(0, dot) + "_repaired" + inPath.substr(dot);
    }
    return inPath + "_repaired.xml";
}

} // namespace halyx
