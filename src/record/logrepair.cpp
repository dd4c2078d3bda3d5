#include "record/logrepair.h"

#include "common/format.h"
#include "record/fileio.h"
#include "record/logloader.h"
#include "record/xmllexer.h"

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

// Reads the text as the log writer writes it, element by element, until it ends, breaks off or
// stops making sense (a mismatched end tag, a second root), remembering the last place where it
// could be cut and closed. One pass, no recursion: bounded on any input.
CutPoint ScanLog(std::string_view text) {
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

LogRepairResult Result(LogRepairStatus status, std::string message) {
    LogRepairResult result;
    result.status = status;
    result.message = std::move(message);
    return result;
}

} // namespace

LogRepairResult RepairExperimentLogText(std::string_view text, std::string& repaired) {
    repaired.clear();
    // A log that loads as it is needs nothing.
    CLogLoader checker({});
    if (checker.LoadText(text)) {
        LogRepairResult result = Result(LogRepairStatus::AlreadyComplete,
                                        "The experiment log is complete and loads as it is.");
        result.keptBytes = text.size();
        result.eventsKept = ScanLog(text).events;
        repaired.assign(text);
        return result;
    }

    const CutPoint cut = ScanLog(text);
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

    repaired.reserve(cut.end + 128);
    repaired.assign(text.substr(0, cut.end));
    if (!repaired.empty() && repaired.back() != '\n') {
        repaired += '\n';
    }
    unsigned complete = cut.complete;
    if (cut.open.size() == 2) {
        const unsigned bit = SectionBitOf(cut.open[1]);
        repaired += "</";
        repaired += cut.open[1];
        repaired += bit == kTeamMembersBit ? ">" : ">\n";
        complete |= bit;
    }
    if (!(complete & kSimEventsBit)) {
        repaired += "<SimEvents>\n</SimEvents>\n";
    }
    if (!(complete & kTeamMembersBit)) {
        repaired += "<TeamMembers>\n</TeamMembers>";
    }
    repaired += "</";
    repaired += cut.open[0];
    repaired += '>';

    const LogLoadResult check = checker.LoadText(repaired);
    if (!check) {
        repaired.clear();
        return Result(LogRepairStatus::NotRepairable,
                      Format("The experiment log cannot be repaired: %s at byte %zu.",
                             check.detail.c_str(), check.offset));
    }
    LogRepairResult result = Result(LogRepairStatus::Repaired, std::string());
    result.keptBytes = cut.end;
    result.droppedBytes = text.size() - cut.end;
    result.eventsKept = cut.events;
    result.message = Format("Repaired the experiment log: %zu events kept, %zu bytes of a "
                            "broken-off end left out.",
                            result.eventsKept, result.droppedBytes);
    return result;
}

LogRepairResult RepairExperimentLog(const std::string& inPath, const std::string& outPath) {
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
    std::string repaired;
    LogRepairResult result = RepairExperimentLogText(text, repaired);
    if (!result) {
        return result;
    }
    if (!WriteWholeFile(outPath, repaired)) {
        return Result(LogRepairStatus::CannotWrite,
                      "Unable to write the repaired copy " + outPath + ".");
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
