// A pilot study run headless from its plan: two teams in two blocks with synthetic stations,
// one manifest row per run whose hashes verify, until one byte of one log changes.
#include "e2eutil.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <fstream>
#include <string>
#include <vector>

namespace halyx {
namespace {

using namespace e2e;

class Study : public ProgramsTest {
protected:
    static void SetUpTestSuite() { TestApp("test_e2e_study"); }

    // Runs a program to its end; its exit code, its output in output.
    int Run(const std::string& program, const QStringList& args, std::string& output,
            int timeoutMs = 60000) {
        const std::string file = home + program + std::to_string(++runs) + ".out";
        QProcess* process = Start(program, args, file);
        EXPECT_TRUE(process->waitForFinished(timeoutMs)) << program;
        output = ReadFile(file) + ReadFile(file + ".err");
        return process->exitCode();
    }

    int runs = 0;
};

TEST_F(Study, PlanRunsHeadlessAndTheManifestProvesTheLogs) {
    std::string out;
    for (const char* name : {"easy", "hard"}) {
        ASSERT_EQ(Run("halyx-scenario",
                      {"save-default", QString::fromStdString(home + "scen"), name}, out),
                  0)
            << out;
    }
    std::ofstream(home + "plan.csv")
        << "run,team,block,scenario,mode,stations,notes\n"
           "1,T01,B1,scen/easy/easy.hsf,multi,ALPHA BRAVO CHARLIE,pilot\n"
           "2,T01,B2,scen/hard/hard.hsf,multi,ALPHA BRAVO CHARLIE,\n"
           "3,T02,B1,scen/hard/hard.hsf,single,BRAVO,\"order reversed, single\"\n"
           "4,T02,B2,scen/easy/easy.hsf,multi,ALPHA BRAVO CHARLIE,\n";

    QString ans;
    processes.push_back(StartAns(home, ans));
    ASSERT_FALSE(ans.isEmpty()) << ReadFile(home + "ans.out.err");
    for (const char* name : {"ALPHA", "BRAVO", "CHARLIE"}) {
        Start("halyx-station",
              {"--name", name, "--ans", ans, "--behaviour", "active", "--seed", "5", "--no-echo",
               "--no-fetch-maps"},
              home + name + ".out");
    }
    const int status =
        Run("halyx-command",
            {"--headless", "--study", QString::fromStdString(home + "plan.csv"), "--ans", ans,
             "--no-embedded-ans", "--tick-ms", "5", "--clock-every", "0", "--no-map-server"},
            out, 240000);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("STUDY every run is done, failed or skipped"), std::string::npos) << out;

    const std::vector<std::string> manifest = Lines(home + "manifest.csv");
    ASSERT_EQ(manifest.size(), 5u) << ReadFile(home + "manifest.csv");
    const std::vector<std::string> logs = {"T01_B1", "T01_B2", "T02_B1", "T02_B2"};
    for (size_t i = 0; i < logs.size(); ++i) {
        EXPECT_NE(manifest[i + 1].find("logs/" + logs[i] + ".xml,"), std::string::npos)
            << manifest[i + 1];
        EXPECT_NE(manifest[i + 1].find(",done,"), std::string::npos) << manifest[i + 1];
    }
    EXPECT_NE(manifest[3].find("\"order reversed, single\""), std::string::npos);

    ASSERT_EQ(Run("halyx-log", {"verify", QString::fromStdString(home)}, out), 0) << out;
    EXPECT_NE(out.find("6 file(s) checked, 0 missing or changed"), std::string::npos) << out;

    ASSERT_EQ(Run("halyx-log",
                  {"csv", QString::fromStdString(home), "-o", QString::fromStdString(home + "t")},
                  out),
              0)
        << out;
    const std::vector<std::string> outcome = Lines(home + "t/outcome.csv");
    ASSERT_EQ(outcome.size(), 5u);
    EXPECT_EQ(outcome[0].rfind("run,team,block,attempt,run_state,counts,experiment,", 0), 0u)
        << outcome[0];
    EXPECT_EQ(outcome[3].rfind("3,T02,B1,1,done,yes,T02_B1,", 0), 0u) << outcome[3];

    // One byte of one log changed: verify names that log, and only it.
    std::string log = ReadFile(home + "logs/T02_B1.xml");
    log[log.size() / 2] ^= 0x01;
    std::ofstream(home + "logs/T02_B1.xml", std::ios::binary) << log;
    ASSERT_EQ(Run("halyx-log", {"verify", QString::fromStdString(home)}, out), 1) << out;
    EXPECT_NE(out.find("DIFFERS run 3: log " + home + "logs/T02_B1.xml differs"), std::string::npos)
        << out;
    EXPECT_NE(out.find("1 missing or changed"), std::string::npos) << out;
}

} // namespace
} // namespace halyx
