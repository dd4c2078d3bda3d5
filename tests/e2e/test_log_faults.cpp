// The experiment log when the console meets the faults of a laboratory, with real processes on
// loopback: the console quits or its script ends during a run, it is killed (kill -9) mid-run and
// the log is repaired and played back, and its disk fills during a mission.
#include "e2eutil.h"
#include "record/logloader.h"
#include "testhome.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/resource.h>

namespace halyx {
namespace {

using namespace e2e;

const char* const kStations[] = {"ALPHA", "BRAVO", "CHARLIE"};

// A console (or its repair) with its output in the file output; a file-size limit, when given,
// holds for every file it writes (its output stays far below it).
std::unique_ptr<QProcess> Console(const QStringList& args, const std::string& output,
                                  rlim_t fileSizeLimit = 0) {
    auto process = std::make_unique<QProcess>();
    process->setStandardOutputFile(QString::fromStdString(output));
    process->setStandardErrorFile(QString::fromStdString(output + ".err"));
    if (fileSizeLimit > 0) {
        process->setChildProcessModifier([fileSizeLimit] {
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = fileSizeLimit;
            setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    process->start(QString::fromStdString(Program("halyx-command")), args);
    EXPECT_TRUE(process->waitForStarted(10000));
    return process;
}

// The exit code, -1 when it did not end in time, -2 when it crashed.
int Finish(QProcess& process, int seconds) {
    if (!process.waitForFinished(seconds * 1000)) {
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
}

struct Team {
    std::unique_ptr<QProcess> ans;
    std::vector<std::unique_ptr<QProcess>> stations;
    QString address;
};

class LogFaults : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        TestApp("test_e2e_log_faults");
        s_home = FreshFolder("logfaults");
        s_team = new Team;
        s_team->ans = StartAns(s_home, s_team->address);
        ASSERT_FALSE(s_team->address.isEmpty());
        for (int s = 0; s < 3; ++s) {
            s_team->stations.push_back(
                StartToFile("halyx-station",
                            {"--name", kStations[s], "--ans", s_team->address, "--behaviour",
                             "active", "--seed", QString::number(31 + s)},
                            s_home + kStations[s] + ".out"));
            ASSERT_FALSE(WaitForLine(s_home + kStations[s] + ".out", "READY").empty());
        }
    }
    static void TearDownTestSuite() {
        for (auto& process : s_team->stations) {
            Stop({process.get()});
        }
        Stop({s_team->ans.get()});
        delete s_team;
    }

    static QStringList ConsoleArgs(const std::string& script) {
        return {"--headless",
                QString::fromStdString(script),
                "--ans",
                s_team->address,
                "--tick-ms",
                "10",
                "--no-embedded-ans",
                "--clock-every",
                "100"};
    }
    static std::string Script(const std::string& name, const std::string& lines) {
        const std::string path = s_home + name + ".txt";
        std::ofstream(path) << lines;
        return path;
    }
    static std::string InitLines(const std::string& log, const std::string& folder) {
        return "register\nwait agents 3 timeout=60\nadd ALPHA BRAVO CHARLIE\ninit name=" + log +
               " folder=" + folder + "\nwait initialized timeout=60\n";
    }

    static std::vector<std::string> TeamOf(const std::string& path) {
        std::vector<std::string> team;
        CLogLoader loader({.readScenario = nullptr,
                           .loadTeam = [&](const std::vector<std::string>& n) { team = n; },
                           .events = nullptr});
        EXPECT_TRUE(loader.Load(path)) << path;
        return team;
    }

    static inline Team* s_team = nullptr;
    static inline std::string s_home;
};

const std::vector<std::string> kTeam = {"ALPHA", "BRAVO", "CHARLIE"};

TEST_F(LogFaults, QuitOrTheEndOfTheScriptDuringARunClosesTheLogWithTheTeam) {
    for (const std::string ending : {"quit\n", ""}) {
        const std::string name = ending.empty() ? "ScriptEnds" : "Quit";
        const std::string out = s_home + name + ".out";
        auto console =
            Console(ConsoleArgs(Script(name, InitLines(name, s_home + "logs") +
                                                 "start\nwait clock 40 timeout=60\n" + ending)),
                    out);
        EXPECT_EQ(Finish(*console, 120), 0) << ReadFile(out) << ReadFile(out + ".err");
        EXPECT_EQ(TeamOf(s_home + "logs/" + name + ".xml"), kTeam) << name;
    }
}

// kill -9 in the middle of a run leaves the lines written so far, which --repair-log makes a log
// that loads with its team and plays back. (What a repair makes of a log cut at any other
// moment is the repair's own test.)
TEST_F(LogFaults, AfterKillNineTheRepairedLogLoadsAndPlaysBack) {
    const std::string out = s_home + "MidRun.out";
    auto console = Console(ConsoleArgs(Script("MidRun", InitLines("MidRun", s_home + "killed") +
                                                            "start\nwait clock 300 timeout=60\n"
                                                            "echo KILL ME\nwait ms 60000\n")),
                           out);
    ASSERT_FALSE(WaitForLine(out, "KILL ME", 200000).empty()) << ReadFile(out);
    ::kill(static_cast<pid_t>(console->processId()), SIGKILL);
    console->waitForFinished(5000);
    const std::string log = s_home + "killed/MidRun.xml";
    auto repair = Console({"--repair-log", QString::fromStdString(log)}, out + ".repair");
    ASSERT_EQ(Finish(*repair, 60), 0) << ReadFile(out + ".repair");
    const std::string repaired = s_home + "killed/MidRun_repaired.xml";
    EXPECT_EQ(TeamOf(repaired), kTeam);

    const std::string replay = s_home + "Playback.out";
    auto playback = Console(
        ConsoleArgs(Script("Playback", "register\nplayback on\nload-experiment " + repaired +
                                           "\ninit-playback\n"
                                           "wait initialized timeout=60\nplay\n"
                                           "wait replayed timeout=120\nstop\n"
                                           "quit\n")),
        replay);
    EXPECT_EQ(Finish(*playback, 200), 0) << ReadFile(replay);
    EXPECT_NE(ReadFile(replay).find("LOADED " + repaired + ": 3 stations"), std::string::npos)
        << ReadFile(replay);
    EXPECT_NE(ReadFile(replay).find("REPLAYED all"), std::string::npos) << ReadFile(replay);
}

TEST_F(LogFaults, AFullDiskIsReportedAndMovingTheLogLosesNothing) {
    // Room for the log's head and some minutes of the run.
    const rlim_t limit = 500 * 1024; // the default scenario alone takes 450 KB
    for (const bool move : {true, false}) {
        SCOPED_TRACE(move ? "moved" : "not moved");
        const std::string name = move ? "Moved" : "Stuck";
        const std::string spare = s_home + "spare" + name;
        const std::string out = s_home + name + ".out";
        auto console = Console(ConsoleArgs("-"), out, limit);
        console->write((InitLines(name, s_home + "full") + "start\n").c_str());
        ASSERT_FALSE(WaitForLine(out,
                                 "ERROR: experiment log: cannot write " + s_home + "full/" + name +
                                     ".xml: File too large (disk full?)",
                                 120000)
                         .empty())
            << ReadFile(out);
        if (move) {
            // The other disk has room: the experimenter moves the log there.
            rlimit room{};
            getrlimit(RLIMIT_FSIZE, &room);
            ASSERT_EQ(
                prlimit(static_cast<pid_t>(console->processId()), RLIMIT_FSIZE, &room, nullptr), 0);
            console->write(("log move " + spare + "\n").c_str());
            ASSERT_FALSE(
                WaitForLine(out, "LOG MOVED " + spare + "/" + name + ".xml", 30000).empty())
                << ReadFile(out);
        }
        console->write("wait end timeout=120\nwait quiet 1500 timeout=60\nreset yes\nquit\n");
        const int status = Finish(*console, 200);
        if (!move) {
            EXPECT_EQ(status, 4) << ReadFile(out);
            EXPECT_NE(ReadFile(out).find("were never written to"), std::string::npos);
            continue;
        }
        EXPECT_EQ(status, 0) << ReadFile(out) << ReadFile(out + ".err");
        const std::string path = spare + "/" + name + ".xml";
        EXPECT_FALSE(std::filesystem::exists(s_home + "full/" + name + ".xml"));
        // The moved log is whole (the log's own tests check that a move keeps every event).
        EXPECT_EQ(TeamOf(path), kTeam);
    }
}

} // namespace
} // namespace halyx
