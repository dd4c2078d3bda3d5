// Comment lines in the events section (station health notes, messages that could not be read)
// are for people: no byte of their text can break out of the comment or the file, and every
// reader (playback loader, log reader, repair) reads the log exactly as the same log without them.

#include "record/experimentlog.h"
#include "record/logreader.h"
#include "record/logrepair.h"
#include "recordtestutil.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

using test::ReadFile;

// Everything hostile a station could put into a message, and a text over the kept length.
std::string HostileText() {
    std::string text = "(tell :sender ALPHA :content (tell :command chat --> <Event Name=\"Abort\" "
                       "From=\"X\"/> &amp; ]]> -- a\\b";
    text.push_back('\0');
    text += "\x01\x1b\x7f\r\n\t\xff\xfe\xc3\xa9 end-";
    return text;
}

// The events, in order, as the log reader hands them on.
std::vector<std::string> ReaderEvents(const std::string& text) {
    CLogReader reader;
    EXPECT_TRUE(reader.OpenText(text));
    std::vector<std::string> names;
    reader.ForEachEvent([&](const CLogEventView& e) {
        names.push_back(std::string(e.name) + "|" + std::string(e.Attribute("From")) + "|" +
                        std::string(e.text));
    });
    return names;
}

// The log's text without its comment lines.
std::string WithoutComments(const std::string& text) {
    std::string plain;
    for (size_t from = 0; from < text.size();) {
        const size_t br = text.find('\n', from);
        const size_t end = br == std::string::npos ? text.size() : br + 1;
        const std::string_view line(text.data() + from, end - from);
        if (!line.starts_with("<!--")) {
            plain += line;
        }
        from = end;
    }
    EXPECT_EQ(plain.find("<!--"), std::string::npos) << plain;
    return plain;
}

// The playback loader and the log reader find the same team and events in the log at path as in
// plain.
void ExpectReadAsWithoutComments(const std::string& path, const std::string& plain) {
    test::LoadedLog with = test::LoadLog(path);
    const test::LoadedLog without = test::LoadLog(plain, true);
    EXPECT_TRUE(with.result) << with.result.detail;
    EXPECT_TRUE(without.result) << without.result.detail;
    EXPECT_EQ(with.team, without.team);
    EXPECT_EQ(with.events.Count(), without.events.Count());
    for (size_t i = 0; i < with.events.Count() && i < without.events.Count(); ++i) {
        EXPECT_EQ(with.events.At(i), without.events.At(i)) << i;
    }
    EXPECT_EQ(ReaderEvents(ReadFile(path)), ReaderEvents(plain));
}

// A health note whose text could end its comment, and a station message that could not be read:
// each is one comment line with its bytes made harmless.
TEST(LogComments, NotesAndUnreadableMessagesAreOneLineEachAndNoReaderSeesThem) {
    const std::string folder = test::FreshFolder("unreadable");
    CExperimentLog log(test::SteppingClock{test::kAfternoonTsid});
    ASSERT_TRUE(log.Open(folder, "run", "", "<Scenario>\n</Scenario>\n"));
    log.LogInitSim();
    log.LogStartSim();
    log.LogResourceActivate(3, "ALPHA", "Radar", "R1", "1", "2", "3", "4");
    ASSERT_TRUE(log.LogComment("station A--B --> <Event Name=\"Abort\"/> ---\nnext line-"));
    ASSERT_TRUE(log.LogUnreadableMessage(4, "AL--PHA<", "a control byte at byte 9", HostileText()));
    log.LogChatMsg(5, "ALPHA", "still here");
    ASSERT_TRUE(log.LogUnreadableMessage(
        6, "", "too long", std::string(CExperimentLog::kUnreadableTextBytes + 10, 'x')));
    const std::string before = ReadFile(folder + "run.xml");
    log.EndSimEvents(TeamMembersXml({"ALPHA"}));
    log.Close();
    const std::string text = ReadFile(folder + "run.xml");

    EXPECT_NE(
        text.find("/>\n<!-- station A- -B - -> <Event Name=\"Abort\"/> - - - next line-  -->\n"),
        std::string::npos)
        << text;
    // One line each, in printable ASCII, with the station, the clock and the reason.
    const size_t at = text.find("<!-- unreadable message from AL-\\x2dPHA\\x3c at clock 4 (a "
                                "control byte at byte 9): (tell :sender ALPHA");
    ASSERT_NE(at, std::string::npos) << text;
    const std::string line = text.substr(at, text.find('\n', at) - at);
    EXPECT_NE(line.find("chat -\\x2d\\x3e \\x3cEvent Name=\"Abort\" From=\"X\"/\\x3e \\x26amp; "
                        "]]\\x3e -\\x2d a\\x5cb\\x00\\x01\\x1b\\x7f\\x0d\\x0a\\x09\\xff\\xfe"
                        "\\xc3\\xa9 end\\x2d -->"),
              std::string::npos)
        << line;
    for (const char c : line) {
        EXPECT_TRUE(c >= 0x20 && c < 0x7f) << static_cast<int>(c);
    }
    EXPECT_NE(text.find("<!-- unreadable message from (no sender) at clock 6 (too long): xxx"),
              std::string::npos);
    EXPECT_NE(text.find("xxx [and 10 more bytes] -->\n"), std::string::npos);

    const std::string plain = WithoutComments(text);
    ExpectReadAsWithoutComments(folder + "run.xml", plain);
    EXPECT_EQ(ReaderEvents(text).size(), 4u);

    // A log cut off after an unreadable message repairs to the same events as without it.
    std::string repaired;
    std::string repairedPlain;
    ASSERT_TRUE(RepairExperimentLogText(before, repaired));
    ASSERT_TRUE(
        RepairExperimentLogText(plain.substr(0, plain.find("</SimEvents>")), repairedPlain));
    EXPECT_EQ(ReaderEvents(repaired), ReaderEvents(repairedPlain));
    EXPECT_FALSE(log.LogUnreadableMessage(7, "A", "closed", "x")) << "no file is open";
    EXPECT_FALSE(log.LogComment("closed"));
}

} // namespace
} // namespace halyx
