// The experimenter's marks: written as comments no event reader sees, read back whole, and shown
// in marks.csv, the summary and the timeline picture.
#include "logtestutil.h"
#include "testapp.h"

#include "controls/timelinepainter.h"
#include "record/logcsvexport.h"
#include "record/logreader.h"
#include "record/logsummary.h"
#include "record/logtimeline.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace halyx;
using namespace halyx::test;

namespace {

// A note with every byte that could break the comment or the file: "--", "-->", markup, a
// backslash that looks like an escape, a line break and UTF-8.
const std::string kAwkward = "argue -- here --> <b>&amp;</b> \\x41 line\nbreak caf\xc3\xa9 -";

std::string WriteMarkedLog(const std::string& folder) {
    CExperimentLog log(SteppingClock{});
    EXPECT_TRUE(log.Open(folder, "Marked", "marks", "<Scenario/>\n"));
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
    return folder + "Marked.xml";
}

} // namespace

TEST(LogMarks, ReadBackWholeAndInvisibleToEventReaders) {
    const std::string path = WriteMarkedLog(FreshFolder("marks_read"));
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
    std::vector<std::string> names;
    ASSERT_TRUE(reader.ForEachEvent([&](const CLogEventView& e) { names.emplace_back(e.name); }));
    EXPECT_EQ(names,
              (std::vector<std::string>{"InitSim", "StartSim", "ChatMsg", "SimulationComplete"}));

    CLogSummary summary(reader.Info());
    const std::string table = summary.FormatTable("Marked");
    EXPECT_NE(table.find("Marks            minute 120 (2026-12-05T14:03:09Z): team argued here"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("minute 960"), std::string::npos);
}

TEST(LogMarks, MarksCsvCarriesTheStudyKeys) {
    const std::string path = WriteMarkedLog(FreshFolder("marks_csv_in"));
    const std::string out = FreshFolder("marks_csv_out");
    CLogCsvKeys keys{{"run", "team", "block"}, {{"7", "T01", "B2"}}};
    ASSERT_TRUE(CLogCsvExport().Export({path}, out, keys));
    const auto marks = ParseCsv(ReadFile(out + CLogCsvExport::kMarksFile));
    ASSERT_EQ(marks.size(), 4u);
    EXPECT_EQ(marks[0], (std::vector<std::string>{"run", "team", "block", "experiment", "minute",
                                                  "time", "text"}));
    EXPECT_EQ(marks[1], (std::vector<std::string>{"7", "T01", "B2", "Marked", "120",
                                                  "2026-12-05T14:03:09Z", "team argued here"}));
    EXPECT_EQ(marks[2][6], kAwkward);
    // Every other file has the keys in front too, on every row.
    const auto events = ParseCsv(ReadFile(out + CLogCsvExport::kEventsFile));
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0][3], "experiment");
    for (size_t i = 1; i < events.size(); ++i) {
        EXPECT_EQ(events[i][0], "7");
        EXPECT_EQ(events[i][3], "Marked");
    }
    EXPECT_EQ(ParseCsv(ReadFile(out + CLogCsvExport::kOutcomeFile))[1][2], "B2");
    keys.values.push_back({"8", "T01", "B3"}); // a skipped run: no log, still an outcome row
    ASSERT_TRUE(CLogCsvExport().Export({path, ""}, out, keys));
    EXPECT_EQ(ParseCsv(ReadFile(out + CLogCsvExport::kOutcomeFile)).back().back(), "no log");
}

TEST(LogMarks, TimelineDrawsEachMark) {
    test::TestApp<QGuiApplication>("log_test_marks");
    CLogReader reader;
    ASSERT_TRUE(reader.Open(WriteMarkedLog(FreshFolder("marks_timeline"))));
    CLogTimeline timeline(reader.Info(), "Marked");
    ASSERT_TRUE(reader.ForEachEvent([&](const CLogEventView& e) { timeline.Add(e); }));
    timeline.Finish();
    ASSERT_EQ(timeline.Marks().size(), 3u);

    QImage image(CTimelinePainter::PreferredSize(timeline), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    CTimelinePainter::Paint(painter, image.rect(), timeline, TimelineStyle{false});
    painter.end();
    // The mark's flag stands just above the lanes at its minute, and nowhere without a mark.
    auto orangeAround = [&](int minute) {
        const double x = 130 + (minute + 0.5) * (1600.0 - 130 - 120) / 960;
        for (int dx = 0; dx <= 4; ++dx) {
            const QColor c = image.pixelColor(static_cast<int>(x) + dx, 60);
            if (c.red() > 200 && c.green() < 120 && c.blue() < 60) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(orangeAround(120));
    EXPECT_TRUE(orangeAround(300));
    EXPECT_FALSE(orangeAround(600));
}
