#include "external/kqml/parser.h"
#include "study/probeplan.h"
#include "study/studyplan.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace halyx {
namespace {

constexpr const char* kHeader = "run,team,block,scenario,mode,stations,notes\n";

CStudyPlanResult Parse(const std::string& body, CStudyPlan& plan) {
    return plan.Parse(std::string(kHeader) + body, "/study/");
}

// A refused text: what follows the header, the line named and what the message says.
struct Refusal {
    std::string body;
    size_t line;
    const char* says;
};

void ExpectRefusals(const std::vector<Refusal>& cases, const auto& parse) {
    for (const Refusal& c : cases) {
        const auto r = parse(c.body);
        EXPECT_FALSE(r) << c.body;
        EXPECT_EQ(r.line, c.line) << c.body;
        EXPECT_NE(r.message.find(c.says), std::string::npos) << r.message;
    }
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
    const std::vector<Refusal> cases = {
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
    ExpectRefusals(cases, [&](const std::string& body) { return Parse(body, plan); });
    EXPECT_EQ(plan.Runs().size(), 1u);

    const CStudyPlanResult header = plan.Parse("run,team,block,scenario,mode,stations\n", "/");
    EXPECT_EQ(header.line, 1u);
    EXPECT_EQ(header.Describe("p.csv"),
              "p.csv: line 1: the first line must be run,team,block,scenario,mode,stations,notes");
    EXPECT_FALSE(Parse("", plan));
    EXPECT_FALSE(plan.Load("/nonexistent/plan.csv"));
}

// The probe plan keeps the plan it had when a row is refused, and says where.
TEST(ProbePlan, RefusalsNameTheLine) {
    const std::string header = std::string(CProbePlan::kHeader) + "\n";
    const std::string good = "freeze,100,30,q1,How many?,number:own_contacts~1,\n";
    const std::vector<Refusal> cases = {
        {"pause,100,30,q1,T,text,\n", 2, "kind must be freeze"},
        {good + "freeze,961,30,q2,T,text,\n", 3, "minute must be a whole number"},
        {"freeze,100,0,q1,T,text,\n", 2, "seconds must be"},
        {"freeze,100,30,,T,text,\n", 2, "needs an id and a text"},
        {"freeze,100,30,q1,T,number:weather,\n", 2, "unknown fact \"weather\""},
        {"inview,9,30,q1,T,number:balloon_weather:wind,\n", 2, "unknown fact \"balloon_weather:"},
        {"freeze,100,30,q1,T,text:minute,\n", 2, "answer must be choice, number or text"},
        {"freeze,100,30,q1,T,choice,only\n", 2, "at least two choices"},
        {"freeze,100,30,q1,T,choice:inside_lines~2,\n", 2, "a tolerance (~N) goes with a number"},
        {good + good, 3, "question id \"q1\" twice"},
        {"rating,0,30,,,,\n", 2, "how often"},
        {"questionnaire,,30,,,,all\n", 2, "empty or pairs"},
        {"freeze,100,30,q1,\"open\n", 2, "quoted field is not closed"},
    };
    CProbePlan plan;
    ASSERT_TRUE(plan.Parse(header + good + "inview,200,9,w,W,number:balloon_weather:winddir~2,\n" +
                           "rating,5,20,,,,\nquestionnaire,,,,,,pairs\n"));
    ExpectRefusals(cases, [&](const std::string& body) { return plan.Parse(header + body); });
    ASSERT_EQ(plan.Probes().size(), 2u);
    EXPECT_EQ(plan.RatingEvery(), 5);
    ASSERT_TRUE(plan.Questionnaire());
    EXPECT_EQ(plan.Questionnaire()->questions.size(), 21u);
    EXPECT_EQ(plan.Parse("kind,minute\n").line, 1u);

    // What the seat reads is what the plan says, facts and tolerance included.
    CParser content;
    ASSERT_TRUE(content.parse_list("(" + ProbeContent(plan.Probes()[0]) + ")"));
    std::string why;
    const std::optional<CProbe> read = ReadProbe(content, why);
    ASSERT_TRUE(read) << why;
    EXPECT_EQ(read->questions[0].fact, "own_contacts");
    EXPECT_EQ(read->questions[0].tolerance, 1.0);
}

TEST(ProbePlan, AnswersAreScoredAgainstTheTruth) {
    CProbeQuestion number;
    number.answer = AnswerKind::Number;
    number.tolerance = 2;
    CProbeQuestion choice;
    choice.answer = AnswerKind::Choice;
    struct Case {
        const CProbeQuestion* question;
        const char* answer;
        const char* truth;
        std::optional<int> score;
    };
    const Case cases[] = {
        {&number, "12", "10", 1},    {&number, " 13 ", "10", 0}, {&number, "ten", "10", 0},
        {&number, "1e400", "10", 0}, {&number, "", "10", {}},    {&number, "10", "", {}},
        {&choice, "YES", "yes", 1},  {&choice, "no", "yes", 0},  {&choice, " ", "yes", {}},
        {&choice, "I3", "I3", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ScoreAnswer(*c.question, c.answer, c.truth), c.score)
            << c.answer << " against " << c.truth;
    }
}

} // namespace
} // namespace halyx
