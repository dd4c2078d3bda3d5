// The experiment log when the console meets the faults of a laboratory, with real processes on
// loopback: the console quits or its script ends during a run, it is killed (kill -9) at several
// moments and the log is repaired and played back, and its disk fills during a mission.
#include "e2eutil.h"
#include "record/logloader.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/resource.h>

namespace halyx {
namespace {

using namespace e2e;

const char* const kStations[] = {"ALPHA", "BRAVO", "CHARLIE"};

// A program whose output is read through pipes (never a file, which the file-size limit of the
// disk-full case would cut short).
class Piped {
public:
    Piped(const std::string& program, const QStringList& args, rlim_t fileSizeLimit = 0) {
        if (fileSizeLimit > 0) {
            m_process.setChildProcessModifier([fileSizeLimit] {
                rlimit limit{};
                getrlimit(RLIMIT_FSIZE, &limit);
                limit.rlim_cur = fileSizeLimit;
                setrlimit(RLIMIT_FSIZE, &limit);
            });
        }
        m_process.start(QString::fromStdString(Program(program)), args);
        EXPECT_TRUE(m_process.waitForStarted(10000)) << program;
    }
    ~Piped() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    void Pump(int ms) {
        m_process.waitForReadyRead(ms);
        m_out += m_process.readAllStandardOutput().toStdString();
        m_err += m_process.readAllStandardError().toStdString();
    }
    // Waits until the output holds text; false after seconds.
    bool WaitFor(const std::string& text, int seconds) {
        for (int i = 0; i < seconds * 20; ++i) {
            if (m_out.find(text) != std::string::npos) {
                return true;
            }
            if (m_process.state() == QProcess::NotRunning) {
                Pump(0);
                return m_out.find(text) != std::string::npos;
            }
            Pump(50);
        }
        return false;
    }
    void Send(const std::string& lines) { m_process.write(lines.c_str()); }
    // The exit code, -1 when it did not end in time.
    int Finish(int seconds) {
        for (int i = 0; i < seconds * 20 && m_process.state() != QProcess::NotRunning; ++i) {
            Pump(50);
        }
        Pump(0);
        if (m_process.state() != QProcess::NotRunning) {
            return -1;
        }
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -2;
    }
    void KillNine() {
        ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
        m_process.waitForFinished(5000);
        Pump(0);
    }
    qint64 Pid() const { return m_process.processId(); }
    const std::string& Out() const { return m_out; }
    std::string All() const { return m_out + "\n--- stderr ---\n" + m_err.substr(0, 4000); }

private:
    QProcess m_process;
    std::string m_out;
    std::string m_err;
};

struct Team {
    std::unique_ptr<QProcess> ans;
    std::vector<std::unique_ptr<QProcess>> stations;
    QString address;
};

class LogFaults : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_e2e_log_faults";
        static char* argv[] = {name, nullptr};
        s_app = new QCoreApplication(argc, argv);
        s_home = std::string(std::getenv("HALYX_HOME")) + "/logfaults/";
        std::filesystem::remove_all(s_home);
        std::filesystem::create_directories(s_home);
        s_team = new Team;
        s_team->ans =
            StartToFile("halyx-ans", {"--port", "0", "--bind", "127.0.0.1"}, s_home + "ans.out");
        s_team->address = NameServerAddress(s_home + "ans.out");
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
            process->terminate();
            process->waitForFinished(5000);
        }
        s_team->ans->terminate();
        s_team->ans->waitForFinished(5000);
        delete s_team;
        delete s_app;
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

    static inline QCoreApplication* s_app = nullptr;
    static inline Team* s_team = nullptr;
    static inline std::string s_home;
};

const std::vector<std::string> kTeam = {"ALPHA", "BRAVO", "CHARLIE"};

TEST_F(LogFaults, QuitOrTheEndOfTheScriptDuringARunClosesTheLogWithTheTeam) {
    for (const std::string ending : {"quit\n", ""}) {
        const std::string name = ending.empty() ? "ScriptEnds" : "Quit";
        Piped console("halyx-command",
                      ConsoleArgs(Script(name, InitLines(name, s_home + "logs") +
                                                   "start\nwait clock 40 timeout=60\n" + ending)));
        EXPECT_EQ(console.Finish(120), 0) << console.All();
        EXPECT_EQ(TeamOf(s_home + "logs/" + name + ".xml"), kTeam) << name;
    }
}

// kill -9 at several moments of a run: each repaired log loads with its team, and one plays back.
TEST_F(LogFaults, AfterKillNineTheRepairedLogLoadsAndPlaysBack) {
    struct Moment {
        const char* name;
        const char* lines; // after the initialisation's first line
    };
    const Moment moments[] = {
        {"AfterInit", ""},
        {"MidRun", "wait initialized timeout=60\nstart\nwait clock 300 timeout=60\n"},
        {"AfterEnd", "wait initialized timeout=60\nstart\nwait end timeout=120\nwait quiet 500\n"},
    };
    for (const Moment& moment : moments) {
        SCOPED_TRACE(moment.name);
        const std::string name = moment.name;
        const std::string log = s_home + "killed/" + name + ".xml";
        {
            Piped console(
                "halyx-command",
                ConsoleArgs(Script(name, "register\nwait agents 3 timeout=60\nadd ALPHA "
                                         "BRAVO CHARLIE\ninit name=" +
                                             name + " folder=" + s_home + "killed\n" +
                                             moment.lines + "echo KILL ME\nwait ms 60000\n")));
            ASSERT_TRUE(console.WaitFor("KILL ME", 200)) << console.All();
            console.KillNine();
        }
        Piped repair("halyx-command", {"--repair-log", QString::fromStdString(log)});
        ASSERT_EQ(repair.Finish(60), 0) << repair.All();
        // The team comes from the team line before the mission end, from its section after.
        EXPECT_EQ(TeamOf(s_home + "killed/" + name + "_repaired.xml"), kTeam);
    }
    // Every repaired copy loads alike (the repair's own tests); the one cut mid-run plays back.
    const std::string repaired = s_home + "killed/MidRun_repaired.xml";
    Piped playback(
        "halyx-command",
        ConsoleArgs(Script("Playback", "register\nplayback on\nload-experiment " + repaired +
                                           "\ninit-playback\n"
                                           "wait initialized timeout=60\nplay\n"
                                           "wait replayed timeout=120\nstop\nquit\n")));
    EXPECT_EQ(playback.Finish(200), 0) << playback.All();
    EXPECT_NE(playback.Out().find("LOADED " + repaired + ": 3 stations"), std::string::npos)
        << playback.All();
    EXPECT_NE(playback.Out().find("REPLAYED all"), std::string::npos) << playback.All();
}

TEST_F(LogFaults, AFullDiskIsReportedAndMovingTheLogLosesNothing) {
    // Room for the log's head and some minutes of the run.
    const rlim_t limit = 500 * 1024; // the default scenario alone takes 450 KB
    for (const bool move : {true, false}) {
        SCOPED_TRACE(move ? "moved" : "not moved");
        const std::string name = move ? "Moved" : "Stuck";
        const std::string spare = s_home + "spare" + name;
        Piped console("halyx-command", ConsoleArgs("-"), limit);
        console.Send(InitLines(name, s_home + "full") + "start\n");
        ASSERT_TRUE(console.WaitFor("ERROR: experiment log: cannot write " + s_home + "full/" +
                                        name + ".xml: File too large (disk full?)",
                                    120))
            << console.All();
        if (move) {
            // The other disk has room: the experimenter moves the log there.
            rlimit room{};
            getrlimit(RLIMIT_FSIZE, &room);
            ASSERT_EQ(prlimit(static_cast<pid_t>(console.Pid()), RLIMIT_FSIZE, &room, nullptr), 0);
            console.Send("log move " + spare + "\n");
            ASSERT_TRUE(console.WaitFor("LOG MOVED " + spare + "/" + name + ".xml", 30))
                << console.All();
        }
        console.Send("wait end timeout=120\nwait quiet 1500 timeout=60\nreset yes\nquit\n");
        const int status = console.Finish(200);
        if (!move) {
            EXPECT_EQ(status, 4) << console.All();
            EXPECT_NE(console.Out().find("were never written to"), std::string::npos);
            continue;
        }
        EXPECT_EQ(status, 0) << console.All();
        const std::string path = spare + "/" + name + ".xml";
        EXPECT_FALSE(std::filesystem::exists(s_home + "full/" + name + ".xml"));
        // The moved log is whole (the log's own tests check that a move keeps every event).
        EXPECT_EQ(TeamOf(path), kTeam);
    }
}

} // namespace
} // namespace halyx
