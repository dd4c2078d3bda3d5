// The log reader over long, cut-off and odd logs, and the experimenter's marks: comments no event
// reader sees, read back whole. What it reads from the reference logs (every attribute, the
// statistics, the notes, comments that are not events) is checked through the expected CSV files
// of test_log_csv.
#include "logtestutil.h"

#include "record/logreader.h"

#include <gtest/gtest.h>

using namespace halyx;
using namespace halyx::test;

namespace {

std::vector<std::string> EventNames(const CLogReader& reader) {
    std::vector<std::string> names;
    EXPECT_TRUE(reader.ForEachEvent([&](const CLogEventView& e) { names.emplace_back(e.name); }));
    return names;
}

// A note with every byte that could break the comment or the file: "--", "-->", markup, a
// backslash that looks like an escape, a line break and UTF-8.
const std::string kAwkward = "argue -- here --> <b>&amp;</b> \\x41 line\nbreak caf\xc3\xa9 -";

} // namespace

TEST(LogReader, ALongLogIsReadInPiecesWithoutLosingOrReorderingAnEvent) {
    const std::string folder = FreshFolder("long");
    {
        CExperimentLog log(SteppingClock{});
        ASSERT_TRUE(log.Open(folder, "Long", "n", "<Scenario/>\n"));
        for (int i = 0; i < 15000; ++i) {
            log.LogChatMsg(i % 961, "ALPHA", "message " + std::to_string(i));
            if (i % 1000 == 0) {
                log.WriteText("<!-- station BRAVO unreachable at clock 5 -->\n");
            }
        }
        log.EndSimEvents(TeamMembersXml({"ALPHA"}));
        log.Close();
    }
    CLogReader reader;
    ASSERT_TRUE(reader.Open(folder + "Long.xml"));
    int expected = 0;
    bool inOrder = true;
    ASSERT_TRUE(reader.ForEachEvent([&](const CLogEventView& e) {
        inOrder = inOrder && e.text == "message " + std::to_string(expected);
        ++expected;
    }));
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(expected, 15000);
    // A second pass sees the same events again.
    EXPECT_EQ(EventNames(reader).size(), 15000u);
}

// A cut-off log is read through the repair: the summary's and the CSV files' tests.
TEST(LogReader, WhatIsNotALogIsRefused) {
    CLogReader reader;
    EXPECT_EQ(reader.OpenText("this is not a log").status, LogLoadStatus::NotXml);
    const LogLoadResult partial =
        reader.OpenText("<HalyxSimLog><LogHeader/><Notes/><SimEvents/></HalyxSimLog>");
    EXPECT_EQ(partial.status, LogLoadStatus::Incomplete);

    EXPECT_EQ(reader.Open(HalyxHome() + "no-such-log.xml").status, LogLoadStatus::CannotOpen);
}

TEST(LogReader, MarkupInsideACommentIsNeitherAnEventNorAColumn) {
    CLogReader reader;
    ASSERT_TRUE(reader.OpenText(
        LogOf("<Event Name=\"Real\" A=\"1\"/>\n"
              "<!-- station <Event Name=\"Fake\" B=\"2\"/> unreachable at clock 3 -->\n"
              "<!-- team: A | B -->\n"
              "<Event Name=\"Real\" A=\"2\"/>\n")));
    EXPECT_EQ(EventNames(reader), (std::vector<std::string>{"Real", "Real"}));
    EXPECT_EQ(reader.EventAttributeNames(), (std::vector<std::string>{"Name", "A"}));
}

// Events in the log's own shape are read straight from the text; any other shape goes through
// the XML parser. Both must hand on the same thing a parser would: entities replaced, blanks in
// values made spaces, line breaks of texts normalised; and a malformed event is refused.
TEST(LogReader, EventsOfEveryShapeAreReadAsTheParserReadsThem) {
    struct Shape {
        const char* xml;
        const char* expected; // "Name|attr=value,...|text", "" when not handed on
    };
    const Shape shapes[] = {
        {"<Event Name=\"Chat\" From=\"A\">\nhello there\n</Event>",
         "Chat|Name=Chat,From=A|hello there"},
        {"<Event Name=\"Chat\">it&apos;s &lt;ok&gt; &#65;</Event>", "Chat|Name=Chat|it's <ok> A"},
        {"<Event Name='Single' V='a\"b'/>", "Single|Name=Single,V=a\"b|"},
        {"<Event Name=\"Tab\" V=\"a\tb\nc\"/>", "Tab|Name=Tab,V=a b c|"},
        {"<Event\n  Name=\"Lines\"\tV=\"1\"/>", "Lines|Name=Lines,V=1|"},
        {"<Event Name=\"Crlf\">a\r\nb\rc</Event>", "Crlf|Name=Crlf|a\nb\nc"},
        {"<Event Name=\"Child\"><X/>t</Event>", "Child|Name=Child|"},
        {"<Event Name=\"Spaced\"  V = \"1\" />", "Spaced|Name=Spaced,V=1|"},
        {"<Event V=\"no name\"/>", ""},
        {"<h:Event Name=\"Prefixed\" xmlns:h=\"u\"/>", "Prefixed|Name=Prefixed,xmlns:h=u|"},
        {"<Event Name=\"Empty\"></Event>", "Empty|Name=Empty|"},
        {"<Other Name=\"NotAnEvent\"/>", ""},
        {"<Event Name=\"Amp\" V=\"x &amp; y\">a &amp; b</Event>", "Amp|Name=Amp,V=x & y|a & b"},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.xml);
        CLogReader reader;
        ASSERT_TRUE(reader.OpenText(LogOf("<!-- c -->" + std::string(shape.xml) + "\n")));
        std::string got;
        ASSERT_TRUE(reader.ForEachEvent([&](const CLogEventView& e) {
            got += std::string(e.name) + "|";
            for (size_t i = 0; i < e.attributes.size(); ++i) {
                got += (i ? "," : "") + std::string(e.attributes[i].first) + "=" +
                       std::string(e.attributes[i].second);
            }
            got += "|" + std::string(e.text);
        }));
        EXPECT_EQ(got, shape.expected);
    }
    for (const char* broken :
         {"<Event Name=\"A\"B=\"1\"/>", "<Event Name=\"A\" B=1/>", "<Event Name=\"A\" =\"1\"/>"}) {
        SCOPED_TRACE(broken);
        CLogReader reader;
        const LogLoadResult opened =
            reader.OpenText(LogOf("<Event Name=\"Ok\"/>\n" + std::string(broken) + "\n"));
        // Some are refused at once by the look over the layout, the others when read.
        const LogLoadResult r = opened ? reader.ForEachEvent([](const CLogEventView&) {}) : opened;
        EXPECT_EQ(r.status, LogLoadStatus::NotXml);
    }
}

TEST(LogMarks, ReadBackWholeAndInvisibleToEventReaders) {
    const std::string folder = FreshFolder("marks_read");
    CExperimentLog log(SteppingClock{});
    ASSERT_TRUE(log.Open(folder, "Marked", "marks", "<Scenario/>\n"));
    log.LogInitSim();
    log.LogStartSim();
    log.LogChatMsg(100, "ALPHA", "hello");
    EXPECT_TRUE(log.LogMark(120, "team argued here"));
    EXPECT_TRUE(log.LogMark(300, kAwkward));
    // Comments that only look like marks are not marks.
    log.WriteText("<!-- mark clock=abc time=T: not a minute -->\n");
    log.WriteText("<!-- mark clock=5 without the rest -->\n");
    log.LogSimulationComplete(true);
    log.EndSimEvents(TeamMembersXml({"ALPHA"}));
    // After the end of the run the mark goes in front of the end tag, still readable.
    EXPECT_TRUE(log.LogMark(960, "debrief"));
    log.Close();
    const std::string path = folder + "Marked.xml";
    const std::string text = ReadFile(path);
    EXPECT_NE(text.find("<!-- mark clock=120 time=2026-12-05T14:03:09Z: team argued here -->\n"),
              std::string::npos)
        << text;
    CLogReader reader;
    ASSERT_TRUE(reader.Open(path));
    EXPECT_FALSE(reader.Info().repaired); // the escaped note kept the file well-formed
    ASSERT_EQ(reader.Info().marks.size(), 3u);
    EXPECT_EQ(reader.Info().marks[0], (CLogMark{120, "2026-12-05T14:03:09Z", "team argued here"}));
    EXPECT_EQ(reader.Info().marks[1].text, kAwkward);
    EXPECT_EQ(reader.Info().marks[2].minute, 960);
    EXPECT_EQ(EventNames(reader),
              (std::vector<std::string>{"InitSim", "StartSim", "ChatMsg", "SimulationComplete"}));
}
