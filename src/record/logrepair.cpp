#include "record/logrepair.h"

#include "common/format.h"
#include "record/fileio.h"
#include "record/logloader.h"

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

std::string_view LocalName(std::string_view name) {
    const size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

unsigned SectionBitOf(std::string_view name) {
    const std::string_view local = LocalName(name);
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

bool IsNameEnd(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>';
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
    const auto skipTo = [&](size_t from, std::string_view closing) -> bool {
        const size_t at = text.find(closing, from);
        if (at == std::string_view::npos) {
            return false;
        }
        pos = at + closing.size();
        return true;
    };

    while (true) {
        const size_t lt = text.find('<', pos);
        if (lt == std::string_view::npos) {
            return cut;
        }
        const std::string_view rest = text.substr(lt);
        if (rest.starts_with("<?")) {
            if (!skipTo(lt + 2, "?>")) {
                return cut;
            }
        } else if (rest.starts_with("<!--")) {
            if (!skipTo(lt + 4, "-->")) {
                return cut;
            }
        } else if (rest.starts_with("<![CDATA[")) {
            if (!skipTo(lt + 9, "]]>")) {
                return cut;
            }
        } else if (rest.starts_with("<!")) {
            if (!skipTo(lt + 2, ">")) {
                return cut;
            }
        } else if (rest.starts_with("</")) {
            const size_t gt = text.find('>', lt);
            if (gt == std::string_view::npos) {
                return cut;
            }
            std::string_view name = text.substr(lt + 2, gt - lt - 2);
            while (!name.empty() && (name.back() == ' ' || name.back() == '\t' ||
                                     name.back() == '\r' || name.back() == '\n')) {
                name.remove_suffix(1);
            }
            if (stack.empty() || stack.back() != name) {
                return cut; // not a log's structure from here on
            }
            if (stack.size() == 1) {
                // The root's end: the ending is rebuilt, so the kept part stops before it.
                return cut;
            }
            stack.pop_back();
            pos = gt + 1;
            if (stack.size() == 1) {
                complete |= SectionBitOf(name);
            } else if (inSimEvents()) {
                ++events;
            }
        } else {
            // A start tag: its name, then attributes whose quoted values may hold '>'.
            size_t i = lt + 1;
            while (i < text.size() && !IsNameEnd(text[i])) {
                ++i;
            }
            const std::string_view name = text.substr(lt + 1, i - lt - 1);
            if (name.empty() || i >= text.size()) {
                return cut;
            }
            char quote = 0;
            for (; i < text.size(); ++i) {
                const char c = text[i];
                if (quote) {
                    quote = c == quote ? 0 : quote;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>' || c == '<') {
                    break;
                }
            }
            if (i >= text.size() || text[i] != '>') {
                return cut;
            }
            if (stack.empty() && rootSeen) {
                return cut; // a second root
            }
            rootSeen = true;
            pos = i + 1;
            if (text[i - 1] == '/') {
                if (stack.size() == 1) {
                    complete |= SectionBitOf(name);
                } else if (inSimEvents()) {
                    ++events;
                }
            } else {
                stack.push_back(name);
            }
        }
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
