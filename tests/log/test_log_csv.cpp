// The CSV files of the reference logs are compared with expected files in data/golden. When a
// change of the files is intended, regenerate them from a built tree with
//     build/bin/halyx-log csv tests/record/data/all_events.xml
//         tests/log/data/stats_and_comments.xml -o tests/log/data/golden
// (one command line)
// and review the difference before committing it.
#include "logtestutil.h"

#include "record/logcsvexport.h"
#include "record/logloader.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace halyx;
using namespace halyx::test;

namespace {

constexpr const char* kFiles[] = {CLogCsvExport::kEventsFile, CLogCsvExport::kChatFile,
                                  CLogCsvExport::kStatsFile, CLogCsvExport::kTeamFile,
                                  CLogCsvExport::kOutcomeFile};

std::vector<std::vector<std::string>> Csv(const std::string& folder, const char* file) {
    return ParseCsv(ReadFile(folder + file));
}

} // namespace

TEST(LogCsv, TwoLogsInOneFolderMatchTheExpectedFiles) {
    const std::string folder = FreshFolder("golden");
    const LogCsvReport report = CLogCsvExport().Export({kReferenceLog, kStatsLog}, folder);
    ASSERT_TRUE(report) << (report.problems.empty() ? "" : report.problems.front());
    EXPECT_EQ(report.logsWritten, 2u);
    for (const char* file : kFiles) {
        EXPECT_EQ(ReadFile(folder + file),
                  ReadFile(std::string(HALYX_TEST_DATA_DIR "/golden/") + file))
            << file;
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "events.csv.part"));
}

TEST(LogCsv, ACutOffLogIsRepairedAndMarkedAndABrokenOneIsReportedWithoutStoppingTheRest) {
    const std::string folder = FreshFolder("repair");
    std::filesystem::create_directories(folder + "a");
    std::filesystem::create_directories(folder + "b");
    // The same reference log twice under one name, from two folders, plus a crash and junk.
    const std::string reference = ReadFile(kReferenceLog);
    WriteAll(folder + "a/Run.xml", reference);
    WriteAll(folder + "b/Run.xml", reference);
    const std::string crashed = reference.substr(0, reference.find("Name=\"UnitDisplay\"") + 5);
    WriteAll(folder + "Crashed.xml", crashed);
    WriteAll(folder + "Junk.xml", "<<<not a log");
    WriteAll(folder + "Empty.xml", "");

    const std::string out = folder + "csv/";
    const LogCsvReport report =
        CLogCsvExport().Export({folder + "a/Run.xml", folder + "Crashed.xml", folder + "Junk.xml",
                                folder + "Empty.xml", folder + "b/Run.xml"},
                               out);
    EXPECT_TRUE(report.filesWritten);
    ASSERT_EQ(report.problems.size(), 2u);
    EXPECT_NE(report.problems[0].find("Junk.xml"), std::string::npos);
    EXPECT_NE(report.problems[1].find("Empty.xml"), std::string::npos);
    EXPECT_FALSE(report);

    const auto outcome = Csv(out, CLogCsvExport::kOutcomeFile);
    ASSERT_EQ(outcome.size(), 4u);
    const int state = Column(outcome[0], "state");
    EXPECT_EQ(outcome[1][0], "Run");
    EXPECT_EQ(outcome[1][static_cast<size_t>(state)], "complete");
    EXPECT_EQ(outcome[2][0], "Crashed");
    EXPECT_EQ(outcome[2][static_cast<size_t>(state)], "repaired");
    EXPECT_EQ(outcome[3][0], "Run (2)");
    // The crashed log keeps the 21 event lines written before the one cut off.
    EXPECT_EQ(report.events, 25 + 21 + 25);

    // A folder that cannot be made is reported.
    WriteAll(folder + "file", "x");
    const LogCsvReport blocked = CLogCsvExport().Export({kReferenceLog}, folder + "file/out");
    EXPECT_FALSE(blocked.filesWritten);
    ASSERT_EQ(blocked.problems.size(), 1u);
    EXPECT_NE(blocked.problems[0].find("cannot create"), std::string::npos);
}

TEST(LogCsv, AttributesBeyondTheColumnLimitShareOneColumnAndAreKept) {
    const std::string folder = FreshFolder("many-attributes");
    std::string events;
    for (int i = 0; i < 300; ++i) {
        events += "<Event TSID=\"1\" Name=\"E\" A" + std::to_string(i) + "=\"v&quot;" +
                  std::to_string(i) + "\"/>\n";
    }
    WriteAll(folder + "Wide.xml", LogOf(events));
    ASSERT_TRUE(CLogCsvExport().Export({folder + "Wide.xml"}, folder + "csv/"));
    const auto rows = Csv(folder + "csv/", CLogCsvExport::kEventsFile);
    ASSERT_EQ(rows.size(), 301u);
    const int other = Column(rows[0], "other_attributes");
    ASSERT_GE(other, 0);
    EXPECT_EQ(rows[0].size(), 6 + 256 + 2u);
    EXPECT_EQ(rows[1][static_cast<size_t>(Column(rows[0], "A0"))], "v\"0");
    EXPECT_EQ(rows[300][static_cast<size_t>(other)], "A299=\"v&quot;299\"");
}

// The chat lines hold what must be quoted: commas, quotes, line breaks, markup, and Latin-1
// text that is read back as UTF-8.
TEST(LogCsv, AStudysKeyColumnsLeadEveryRowOfEveryTableAndTextsReadBackExactly) {
    const std::string folder = FreshFolder("measures");
    const std::string chat = "he said \"go, now\"\nthen <b>stop</b> & 'left',\n";
    const std::string station = "BRAVO, \"the second\"";
    {
        CExperimentLog log(SteppingClock{});
        ASSERT_TRUE(log.Open(folder, "T01_B1", "", "<Scenario/>\n"));
        for (const auto& [kind, question, answer] : {std::tuple{"freeze", "minute", "120"},
                                                     {"rating", "rating", "4"},
                                                     {"questionnaire", "effort", "55"}}) {
            log.LogMeasure("ProbeAnswer", 120,
                           {{"Probe", "p"},
                            {"Kind", kind},
                            {"Seat", "ALPHA"},
                            {"Question", question},
                            {"Answer", answer},
                            {"Answered", "1"}});
        }
        log.LogMark(120, "team argued here");
        log.LogChatMsg(121, station, chat);
        log.LogChatMsg(122, "ALPHA", "caf\xe9 in Latin-1, caf\xc3\xa9 in UTF-8");
        log.EndSimEvents(TeamMembersXml({"ALPHA", station}));
        log.Close();
    }
    const std::vector<std::string> names = {"run",     "team",      "block",
                                            "attempt", "run_state", "counts"};
    const std::vector<std::string> values = {"1", "T01", "B1", "1", "done", "yes"};
    // A skipped run has no log, and still its outcome row.
    const std::vector<std::string> skipped = {"2", "T01", "B2", "1", "skipped", "no"};
    ASSERT_TRUE(CLogCsvExport().Export({folder + "T01_B1.xml", ""}, folder + "csv/",
                                       CLogCsvKeys{names, {values, skipped}}));
    const auto keys = [](const std::vector<std::string>& row) {
        return std::vector<std::string>(row.begin(), row.begin() + 6);
    };
    for (const auto& [file, count, column, answer] :
         {std::tuple{CLogCsvExport::kEventsFile, 6u, "Answer", "120"},
          {CLogCsvExport::kChatFile, 3u, "from", station.c_str()},
          {CLogCsvExport::kProbesFile, 2u, "answer", "120"},
          {CLogCsvExport::kRatingsFile, 2u, "rating", "4"},
          {CLogCsvExport::kQuestionnaireFile, 2u, "answer", "55"},
          {CLogCsvExport::kMarksFile, 2u, "text", "team argued here"},
          {CLogCsvExport::kOutcomeFile, 3u, "experiment", "T01_B1"}}) {
        const auto rows = Csv(folder + "csv/", file);
        ASSERT_EQ(rows.size(), count) << file;
        EXPECT_EQ(keys(rows[0]), names) << file;
        for (size_t i = 1; i < rows.size(); ++i) {
            EXPECT_EQ(keys(rows[i]), rows[i].back() == "no log" ? skipped : values) << file;
        }
        EXPECT_EQ(rows[1][static_cast<size_t>(Column(rows[0], column))], answer) << file;
    }
    const auto chatRows = Csv(folder + "csv/", CLogCsvExport::kChatFile);
    EXPECT_EQ(std::vector<std::string>(chatRows[1].begin() + 6, chatRows[1].end()),
              (std::vector<std::string>{"T01_B1", "121", station, chat}));
    EXPECT_EQ(chatRows[2].back(), "caf\xc3\xa9 in Latin-1, caf\xc3\xa9 in UTF-8");
    EXPECT_EQ(Csv(folder + "csv/", CLogCsvExport::kOutcomeFile)[2].back(), "no log");
    const auto marks = Csv(folder + "csv/", CLogCsvExport::kMarksFile);
    EXPECT_EQ(std::vector<std::string>(marks[0].begin() + 6, marks[0].end()),
              (std::vector<std::string>{"experiment", "minute", "time", "text"}));
    EXPECT_EQ(
        std::vector<std::string>(marks[1].begin() + 6, marks[1].end()),
        (std::vector<std::string>{"T01_B1", "120", "2026-12-05T14:03:09Z", "team argued here"}));
}
