#include "study/studyplan.h"

#include <gtest/gtest.h>

#include <string>

namespace halyx {
namespace {

constexpr const char* kHeader = "run,team,block,scenario,mode,stations,notes\n";

CStudyPlanResult Parse(const std::string& body, CStudyPlan& plan) {
    return plan.Parse(std::string(kHeader) + body, "/study/");
}

// What a spreadsheet writes: CRLF, a byte-order mark, quoted fields with commas, doubled quotes
// and line breaks, blank rows; paths relative to the plan's folder.
TEST(StudyPlan, ReadsWhatSpreadsheetsWrite) {
    CStudyPlan plan;
    const std::string text =
        "\xEF\xBB\xBFrun,team,block,scenario,mode,stations,notes\r\n"
        "1,T01,B1,scen/a/a.hsf,multi,ALPHA BRAVO  CHARLIE,\"pilot, first \"\"real\"\" one\r\n"
        "second line\"\r\n"
        ",,,,,,\r\n"
        "2,T01,B2,/abs/b.hsf,single,ALPHA,\r\n";
    ASSERT_TRUE(plan.Parse(text, "/study/")) << plan.Parse(text, "/study/").Describe("plan");
    ASSERT_EQ(plan.Runs().size(), 2u);
    const CStudyRun& first = plan.Runs()[0];
    EXPECT_EQ(first.stations, (std::vector<std::string>{"ALPHA", "BRAVO", "CHARLIE"}));
    EXPECT_EQ(first.notes, "pilot, first \"real\" one\r\nsecond line");
    EXPECT_TRUE(first.multi);
    EXPECT_EQ(first.LogBaseName(), "T01_B1");
    EXPECT_EQ(plan.ScenarioPath(first), "/study/scen/a/a.hsf");
    EXPECT_EQ(plan.Runs()[1].line, 5u);
    EXPECT_FALSE(plan.Runs()[1].multi);
    EXPECT_EQ(plan.ScenarioPath(plan.Runs()[1]), "/abs/b.hsf");
    EXPECT_EQ(plan.LogsFolder(), "/study/logs/");
}

// Every refusal names its line, and a refused plan leaves the loaded one as it was.
TEST(StudyPlan, RefusalsNameTheLine) {
    struct Case {
        std::string body;
        size_t line;
        const char* says;
    };
    const Case cases[] = {
        {"1,T,B,a.hsf,multi,A,\n1,T,C,a.hsf,multi,A,\n", 3, "appears again (first on line 2)"},
        {"1,T,B,a.hsf,both,A,\n", 2, "mode must be multi or single"},
        {"1,T,B,a.hsf,single,A B,\n", 2, "a single run names one station"},
        {"1,T,B,a.hsf,multi,,\n", 2, "stations is empty"},
        {"1,../x,B,a.hsf,multi,A,\n", 2, "team \"../x\" must not begin with '.'"},
        {"1,T,a/b,a.hsf,multi,A,\n", 2, "block \"a/b\" may not hold"},
        {"1,T,B,a.txt,multi,A,\n", 2, "not a .hsf file"},
        {"1,T,B,a.hsf,multi,A\n", 2, "expected 7 fields"},
        {"1,T,B,a.hsf,multi,A,ok\n2,T,C,a.hsf,multi,A,\"open\n\n", 3, "quoted field is not closed"},
        {"1,T,B,\"a.hsf\"x,multi,A,\n", 2, "text after the closing quote"},
        {"1,T,B,a.hsf,multi,A A,\n", 2, "station A is named twice"},
        {"1," + std::string(300, 'T') + ",B,a.hsf,multi,A,\n", 2, "a log name of 302 bytes"},
        {"1,T,B,a.hsf,multi,A," + std::string(5000, 'n') + "\n", 2, "longer than 4096 bytes"},
    };
    CStudyPlan plan;
    ASSERT_TRUE(Parse("1,T,B,a.hsf,multi,A,\n", plan));
    for (const Case& c : cases) {
        const CStudyPlanResult r = Parse(c.body, plan);
        EXPECT_FALSE(r) << c.body;
        EXPECT_EQ(r.line, c.line) << c.body;
        EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
    }
    EXPECT_EQ(plan.Runs().size(), 1u);

    const CStudyPlanResult header = plan.Parse("run,team,block,scenario,mode,stations\n", "/");
    EXPECT_EQ(header.line, 1u);
    EXPECT_EQ(header.Describe("p.csv"),
              "p.csv: line 1: the first line must be run,team,block,scenario,mode,stations,notes");
    EXPECT_FALSE(Parse("", plan));
    EXPECT_FALSE(plan.Load("/nonexistent/plan.csv"));
}

} // namespace
} // namespace halyx
