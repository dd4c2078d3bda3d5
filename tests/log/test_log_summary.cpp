#include "logtestutil.h"

#include "record/logsummary.h"

#include <gtest/gtest.h>

using namespace halyx;
using namespace halyx::test;

namespace {

std::string SummaryOf(const std::string& text) {
    CLogReader reader;
    EXPECT_TRUE(reader.OpenText(text));
    CLogSummary summary(reader.Info());
    EXPECT_TRUE(reader.ForEachEvent([&](const CLogEventView& e) { summary.Add(e); }));
    return summary.FormatTable("Run");
}

bool HasLine(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

} // namespace

// The reference log whole, and cut off before its last lines: then read through a repair and
// without a decision.
TEST(LogSummary, TheReferenceLogReadsAsOneAlignedTableAndCutOffSaysSo) {
    const std::string text = ReadFile(kReferenceLog);
    const std::string table = SummaryOf(text);
    for (const char* line :
         {"Experiment       Run (complete)", "Team             ALPHA, BRAVO, CHARLIE (Multiplayer)",
          "Minutes run      960", "Launch decision  NoLaunch",
          "                    ALPHA  BRAVO  CHARLIE", "DeployResource          1      0        0",
          "chat lines              1      0        0", "first minute            9     10       12",
          "CHARLIE  12 go", "ALPHA    (no report)"}) {
        EXPECT_TRUE(HasLine(table, line)) << line << "\n" << table;
    }
    // The console's own events and the weather answers it sent are nobody's commands.
    EXPECT_EQ(table.find("WeatherResponse"), std::string::npos);
    EXPECT_EQ(table.find("StartSim"), std::string::npos);

    // The line cut off, and the line break before it.
    const std::string cut = SummaryOf(text.substr(0, text.find("Name=\"UnitDisplay\"")));
    EXPECT_TRUE(HasLine(cut, "Experiment       Run (cut off; read through a repair, 63 bytes "
                             "left out)"))
        << cut;
    EXPECT_TRUE(HasLine(cut, "Launch decision  (none: the mission did not end)")) << cut;
}

TEST(LogSummary, HundredsOfStationsAndKindsAreCutToAReadableTable) {
    std::string events;
    for (int station = 0; station < 30; ++station) {
        for (int kind = 0; kind < 50; ++kind) {
            events += "<Event Name=\"K" + std::to_string(100 + kind) +
                      "\" ClockTime=\"1\" From=\"S" + std::to_string(station) + "\"/>\n";
        }
    }
    const std::string table = SummaryOf(LogOf(events));
    EXPECT_NE(table.find("(6 more stations not shown)"), std::string::npos) << table;
    EXPECT_NE(table.find("(10 other kinds)"), std::string::npos) << table;
    EXPECT_EQ(table.find("S24*"), std::string::npos);
    EXPECT_EQ(table.find("K140 "), std::string::npos);
}

// Names and texts come from whoever wrote the log: one that is not plain is quoted and escaped.
TEST(LogSummary, NamesAndTextsThatAreNotPlainAreQuoted) {
    const std::string table = SummaryOf(LogOf(
        "<!-- mark clock=3 time=T: red \\x1b[31m -->\n<!-- mark clock=960 time=U: debrief -->\n"
        "<Event Name=\"Abort\" ClockTime=\"1\" "
        "From=\"ALPHA\"/>\n<Event Name=\"LaunchStatusChange\" ClockTime=\"2\" From=\"ALPHA \" "
        "Status=\"go&#7;\"/>\n"));
    for (const char* line : {"                    ALPHA*  \"ALPHA \"*", "\"ALPHA \"  2 \"go\\x07\"",
                             "Marks            minute 3 (T): \"red \\x1b[31m\"",
                             "                 minute 960 (U): debrief"}) {
        EXPECT_TRUE(HasLine(table, line)) << line << "\n" << table;
    }
}
