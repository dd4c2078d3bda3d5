// The scripted console's commands are listed in one table: help prints from it, and the manual
// (docs/console.md) must name exactly its commands, so a command added to one and not the
// others fails here.
#include "headlessconsole.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>

namespace halyx {
namespace {

std::string FirstWord(const std::string& text) {
    return text.substr(0, text.find(' '));
}

// The table's command names. Each command says what it does, and a name found in two groups
// runs one handler.
std::set<std::string> TableNames() {
    std::set<std::string> names;
    std::map<std::string, decltype(CHeadlessConsole::Command::run)> handlers;
    for (const CHeadlessConsole::CommandGroup& group : CHeadlessConsole::CommandGroups()) {
        for (const CHeadlessConsole::Command& command : *group.commands) {
            names.insert(command.name);
            EXPECT_NE(std::string(command.help), "") << command.name;
            const auto first = handlers.emplace(command.name, command.run).first;
            EXPECT_TRUE(first->second == command.run) << command.name;
        }
    }
    return names;
}

// The first cell of every command table row under the manual's command sections:
// "| `start [yes\|no]`, `pause`, `resume` | ..." names start, pause and resume.
std::set<std::string> ManualNames() {
    std::ifstream in(HALYX_SOURCE_DIR "/docs/console.md");
    EXPECT_TRUE(in.good());
    std::set<std::string> names;
    bool inCommands = false;
    const std::regex quoted("`([^`]*)`");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("## ", 0) == 0) {
            inCommands = line == "## Commands" || line == "## Sessions across machines";
        }
        if (!inCommands || line.rfind("| `", 0) != 0) {
            continue;
        }
        const std::string cell = line.substr(2, line.find(" | ") - 2);
        for (std::sregex_iterator it(cell.begin(), cell.end(), quoted), end; it != end; ++it) {
            names.insert(FirstWord((*it)[1]));
        }
    }
    return names;
}

// Help for one command shows what it does; a command in two groups is one command (TableNames
// checks the handler); a name help does not know shows every group.
TEST(ConsoleCommands, HelpAndTheManualNameExactlyTheTablesCommandsAndHelpShowsOneCommand) {
    const std::set<std::string> table = TableNames();
    EXPECT_EQ(ManualNames(), table);

    const std::vector<std::string> lines = CHeadlessConsole::HelpLines("");
    ASSERT_EQ(lines.size(), CHeadlessConsole::CommandGroups().size());
    std::set<std::string> listed;
    for (const std::string& line : lines) {
        std::string rest = line.substr(line.find(": ") + 2);
        for (std::size_t bar; (bar = rest.find(" | ")) != std::string::npos;
             rest.erase(0, bar + 3)) {
            listed.insert(FirstWord(rest.substr(0, bar)));
        }
        listed.insert(FirstWord(rest));
    }
    EXPECT_EQ(listed, table);
    EXPECT_EQ(CHeadlessConsole::HelpLines("wait").size(), 2u);
    EXPECT_EQ(CHeadlessConsole::HelpLines("unregister"),
              std::vector<std::string>{"unregister: UnRegister"});
    EXPECT_EQ(CHeadlessConsole::HelpLines("no-such-command"), lines);
}

// Standard input comes in pieces of any size: an over-long line is dropped whole, however
// many pieces it spans, and nothing of its tail runs as a command.
TEST(ConsoleCommands, AnOverLongInputLineIsDroppedWhole) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"stat", "us\n12345678\nqu", "it"}, "status|12345678|quit|"},
        {{"12345", "6789", "0123", " echo TAIL", "\nquit"}, "!|quit|"},
    };
    for (const auto& [pieces, expected] : cases) {
        CInputLines lines(8);
        std::string seen; // lines as run, "!" for a line dropped
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            for (const auto& piece : lines.Feed(pieces[i], i + 1 == pieces.size())) {
                seen += (piece.tooLong ? "!" : piece.text) + "|";
            }
        }
        EXPECT_EQ(seen, expected) << pieces.front();
    }
}

} // namespace
} // namespace halyx
