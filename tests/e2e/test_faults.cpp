// The console among faults a laboratory meets, with the real programs on loopback: a name server
// killed and restarted, a user whose locale writes decimal commas, a station that sends control
// bytes and unreadable content.
#include "e2eutil.h"
#include "testhome.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpSocket>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>

namespace halyx {
namespace {

using namespace e2e;

class Faults : public ProgramsTest {
protected:
    static void SetUpTestSuite() {
        TestApp("test_e2e_faults");
        // The test's own process keeps the C locale whatever Qt chose.
        std::setlocale(LC_ALL, "C");
        MakeCommaLocale();
    }

    // A German locale, which writes 1,5 for one and a half, compiled into a folder of the test's
    // own (no root needed); empty when this machine cannot make it.
    static void MakeCommaLocale() {
        const std::string folder = test::RequiredHome() + "/locales";
        s_localePath.clear();
        if (std::filesystem::exists(folder + "/de_DE.UTF-8/LC_NUMERIC")) {
            s_localePath = folder;
            return;
        }
        std::filesystem::create_directories(folder);
        QProcess localedef;
        localedef.start("localedef", {"-i", "de_DE", "-f", "UTF-8",
                                      QString::fromStdString(folder + "/de_DE.UTF-8")});
        if (localedef.waitForFinished(120000) && localedef.exitStatus() == QProcess::NormalExit &&
            std::filesystem::exists(folder + "/de_DE.UTF-8/LC_NUMERIC")) {
            s_localePath = folder;
        }
    }

    // A program of the build with its output in a file; commaLocale runs it in the German
    // locale when this machine could make one.
    QProcess* Start(const std::string& program, const QStringList& args, const std::string& output,
                    bool commaLocale = false) {
        std::optional<QProcessEnvironment> env;
        if (commaLocale && !s_localePath.empty()) {
            env = QProcessEnvironment::systemEnvironment();
            env->insert("LOCPATH", QString::fromStdString(s_localePath));
            env->insert("LC_ALL", "de_DE.UTF-8");
            env->insert("LANG", "de_DE.UTF-8");
        }
        return ProgramsTest::Start(program, args, output, env);
    }

    QProcess* StartNameServer(int port, const std::string& output) {
        QProcess* ans = Start("halyx-ans", {"--port", QString::number(port), "--bind", "127.0.0.1"},
                              output, true);
        const std::string listening = WaitForLine(output, "listening on");
        EXPECT_FALSE(listening.empty()) << ReadFile(output + ".err");
        ansPort = listening.empty() ? 0 : std::stoi(listening.substr(listening.rfind(':') + 1));
        return ans;
    }

    static std::string s_localePath;
    int ansPort = 0;
};

std::string Faults::s_localePath;

// A restarted name server starts empty: the console and a running station register again by
// themselves, so that a station started after the restart finds the console and the next
// mission initializes.
TEST_F(Faults, ARestartedNameServerLearnsOfTheConsoleAndTheStationsAgain) {
    StartNameServer(0, home + "ans1.out");
    ASSERT_GT(ansPort, 0);
    const QString ans = QString::fromStdString("127.0.0.1:" + std::to_string(ansPort));
    Start("halyx-station", {"--name", "BRAVO", "--ans", ans, "--behaviour", "quiet"},
          home + "BRAVO.out", true);
    ASSERT_FALSE(WaitForLine(home + "BRAVO.out", "READY").empty());
    QProcess* console = Start(
        "halyx-command", {"--headless", "-", "--ans", ans, "--no-embedded-ans", "--tick-ms", "10"},
        home + "console.out", true);
    Send(console, "register\n");
    ASSERT_FALSE(WaitForLine(home + "console.out", "REGISTERED").empty())
        << ReadFile(home + "console.out");

    processes.front()->kill();
    processes.front()->waitForFinished(5000);
    EXPECT_FALSE(
        WaitForLine(home + "console.out", "REGISTRATION registration lost, retrying").empty())
        << ReadFile(home + "console.out");
    Send(console, "status\n");
    EXPECT_FALSE(WaitForLine(home + "console.out", "STATUS registered=lost-retrying").empty());

    StartNameServer(ansPort, home + "ans2.out");
    EXPECT_FALSE(WaitForLine(home + "console.out", "REGISTERED Lab-HalyxCommand again").empty())
        << ReadFile(home + "console.out");
    EXPECT_FALSE(WaitForLine(home + "BRAVO.out", "REGISTERED BRAVO again").empty())
        << ReadFile(home + "BRAVO.out");

    // A station started after the restart: it can only answer init_sim if it finds the console.
    Start("halyx-station", {"--name", "ALPHA", "--ans", ans, "--behaviour", "quiet"},
          home + "ALPHA.out", true);
    ASSERT_FALSE(WaitForLine(home + "ALPHA.out", "READY").empty());
    Send(console, "wait agent ALPHA timeout=30\nwait agent BRAVO timeout=30\nadd ALPHA BRAVO\n"
                  "init name=Restart folder=" +
                      home + "logs\nwait initialized timeout=30\nstatus\nquit\n");
    ASSERT_TRUE(console->waitForFinished(120000));
    const std::string transcript = ReadFile(home + "console.out");
    EXPECT_EQ(console->exitCode(), 0) << transcript << ReadFile(home + "console.out.err");
    EXPECT_NE(transcript.find("STATION ALPHA Initialized"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("STATION BRAVO Initialized"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("STATUS registered=yes"), std::string::npos) << transcript;

    // Under a comma locale, the numbers sent to the stations and written to the log keep '.'.
    if (s_localePath.empty()) {
        // In CI the machine is set up to make it (scripts/install-deps.sh): not checking there
        // would pass without having checked anything.
        ASSERT_NE(qEnvironmentVariable("CI"), "true")
            << "localedef could not make de_DE.UTF-8 (package locales missing?)";
        GTEST_SKIP() << "localedef could not make de_DE.UTF-8 here (package locales missing?): "
                        "the numbers were not checked under a comma locale";
    }
    {
        // The locale writes commas indeed, or the check would prove nothing.
        setenv("LOCPATH", s_localePath.c_str(), 1);
        ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", 1.5);
        std::setlocale(LC_NUMERIC, "C");
        unsetenv("LOCPATH");
        ASSERT_STREQ(text, "1,5");
        const std::string log = ReadFile(home + "logs/Restart.xml");
        EXPECT_FALSE(std::regex_search(log, std::regex("=\"-?[0-9]+,[0-9]+\""))) << log;
        EXPECT_TRUE(std::regex_search(log, std::regex("=\"-?[0-9]+\\.[0-9]+\"")));
    }
}

// A program that took the console's name first: the console says who holds it, on its console,
// as an error the experimenter sees rather than a line on stderr.
TEST_F(Faults, ASquattedConsoleNameIsReportedWithItsHolder) {
    StartNameServer(0, home + "ans.out");
    ASSERT_GT(ansPort, 0);
    const QString ans = QString::fromStdString("127.0.0.1:" + std::to_string(ansPort));
    Start("halyx-station", {"--name", "Lab-HalyxCommand", "--ans", ans, "--behaviour", "quiet"},
          home + "squatter.out");
    const std::string ready = WaitForLine(home + "squatter.out", "READY");
    ASSERT_FALSE(ready.empty()) << ReadFile(home + "squatter.out.err");
    const std::string port = ready.substr(ready.rfind(' ') + 1);
    QProcess* console = Start(
        "halyx-command", {"--headless", "-", "--ans", ans, "--no-embedded-ans", "--tick-ms", "10"},
        home + "console.out");
    Send(console, "register\n");
    EXPECT_EQ(WaitForLine(home + "console.out", "ERROR:"),
              "ERROR: the name server gives Lab-HalyxCommand to 127.0.0.1:" + port)
        << ReadFile(home + "console.out");
    Send(console, "quit\n");
    console->waitForFinished(30000);
}

// save-scenario makes FOLDER/NAME/NAME.hsf, as the scenario page and halyx-scenario do.
TEST_F(Faults, SaveScenarioMakesTheScenarioFolderAsThePageDoes) {
    std::ofstream(home + "save.txt") << "save-scenario " << home << "out Lab1\nquit\n";
    QProcess* console =
        Start("halyx-command",
              {"--headless", QString::fromStdString(home + "save.txt"), "--no-embedded-ans"},
              home + "console.out", true);
    ASSERT_TRUE(console->waitForFinished(60000));
    const std::string transcript = ReadFile(home + "console.out");
    EXPECT_EQ(console->exitCode(), 0) << transcript << ReadFile(home + "console.out.err");
    const std::string folder = home + "out/Lab1/";
    ASSERT_TRUE(std::filesystem::exists(folder + "Lab1.hsf")) << transcript;
    EXPECT_NE(transcript.find("SCENARIO saved " + folder + "Lab1.hsf"), std::string::npos)
        << transcript;
}

// What a station sends reaches the transcript one line per chat, control bytes escaped; an
// unreadable content or message is said and counted, per station and for the session.
TEST_F(Faults, HostileStationTrafficIsShownTruthfully) {
    QString ans;
    processes.push_back(StartAns(home, ans));
    ASSERT_FALSE(ans.isEmpty()) << ReadFile(home + "ans.out.err");
    Start("halyx-station", {"--name", "ALPHA", "--ans", ans, "--behaviour", "quiet"},
          home + "ALPHA.out");
    ASSERT_FALSE(WaitForLine(home + "ALPHA.out", "READY").empty());
    QProcess* console = Start(
        "halyx-command", {"--headless", "-", "--ans", ans, "--no-embedded-ans", "--tick-ms", "10"},
        home + "console.out");
    const std::string ready = WaitForLine(home + "console.out", "READY");
    ASSERT_FALSE(ready.empty()) << ReadFile(home + "console.out.err");
    Send(console, "register\nwait agent ALPHA timeout=30\nadd ALPHA\n");
    // READY NAME port N tick T ms
    const size_t at = ready.find(" port ");
    const int port = std::stoi(ready.substr(at + 6));
    QTcpSocket station;
    station.connectToHost("127.0.0.1", static_cast<quint16>(port));
    ASSERT_TRUE(station.waitForConnected(10000));
    using namespace std::string_literals;
    // A chat holding a carriage return, a NUL and a line feed.
    const std::string traffic =
        "(tell :sender X1 :receiver Lab-HalyxCommand :content (tell :command "
        "subject_communication :to B :from X1 :message \"one\rtwo\0three\nfour\"))\n"s +
        "(tell :sender X1 :content (\"deploy\" :id 4))\n" +
        // A control byte outside any string, from the team's station.
        "(tell :sender ALPHA :receiver Lab-HalyxCommand :content (tell :command abort "
        ":resource fighter :id \x01))\n";
    station.write(traffic.data(), static_cast<qint64>(traffic.size()));
    ASSERT_TRUE(station.waitForBytesWritten(5000));
    // The messages of one connection are handled in order: the second one's warning comes last.
    ASSERT_FALSE(
        WaitForLine(home + "console.out", "WARNING: unreadable message from ALPHA").empty())
        << ReadFile(home + "console.out");
    Send(console, "status\nhealth\nsummary\nquit\n");
    ASSERT_TRUE(console->waitForFinished(60000));
    const std::string transcript = ReadFile(home + "console.out");
    EXPECT_TRUE(std::regex_search(
        transcript, std::regex(R"(\nCHAT [^\n]*\[X1\] -> \[B\]: one\\rtwo\\x00three\\nfour\n)")))
        << transcript;
    EXPECT_NE(transcript.find("WARNING: unreadable content from X1"), std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("STATUS log=closed received=3 dispatched=1 sent=0"),
              std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("STATUS history in-kept=3 in-dropped=0"), std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("HEALTH ALPHA responding lost-messages=0 unreadable-messages=1"),
              std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("SUMMARY 2 unreadable messages (outside the team)=1 ALPHA=1"),
              std::string::npos)
        << transcript;
}

} // namespace
} // namespace halyx
