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

TEST(LogSummary, TheReferenceLogReadsAsOneAlignedTable) {
    const std::string table = SummaryOf(ReadFile(kReferenceLog));
    EXPECT_TRUE(HasLine(table, "Experiment       Run (complete)")) << table;
    EXPECT_TRUE(HasLine(table, "Team             ALPHA, BRAVO, CHARLIE (Multiplayer)")) << table;
    EXPECT_TRUE(HasLine(table, "Minutes run      960")) << table;
    EXPECT_TRUE(HasLine(table, "Launch decision  NoLaunch")) << table;
    EXPECT_TRUE(HasLine(table, "                    ALPHA  BRAVO  CHARLIE")) << table;
    EXPECT_TRUE(HasLine(table, "DeployResource          1      0        0")) << table;
    EXPECT_TRUE(HasLine(table, "chat lines              1      0        0")) << table;
    EXPECT_TRUE(HasLine(table, "first minute            9     10       12")) << table;
    EXPECT_TRUE(HasLine(table, "CHARLIE  12 go")) << table;
    EXPECT_TRUE(HasLine(table, "ALPHA    (no report)")) << table;
    // The console's own events and the weather answers it sent are nobody's commands.
    EXPECT_EQ(table.find("WeatherResponse"), std::string::npos);
    EXPECT_EQ(table.find("StartSim"), std::string::npos);
}

TEST(LogSummary, ACutOffLogSaysSoAndHasNoDecision) {
    const std::string text = ReadFile(kReferenceLog);
    const std::string table = SummaryOf(text.substr(0, text.find("Name=\"UnitDisplay\"")));
    // The line cut off, and the line break before it.
    EXPECT_TRUE(HasLine(table, "Experiment       Run (cut off; read through a repair, 63 bytes "
                               "left out)"))
        << table;
    EXPECT_TRUE(HasLine(table, "Launch decision  (none: the mission did not end)")) << table;
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
