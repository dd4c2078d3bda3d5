// Chat texts a subject could well type, sent by a team station over a real connection in the
// middle of a mission: whatever their parentheses and quotes, each is logged as typed, every
// command the station sends after them is logged, and the launch decision follows the station's
// later go/no-go. A message that cannot be read at all is noted in the log, warned about and
// counted.
#include "e2eutil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTcpSocket>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace halyx {
namespace {

using namespace e2e;

class ChatTexts : public ProgramsTest {
protected:
    static void SetUpTestSuite() { EnsureApplication("test_e2e_chat"); }
};

std::string Line(const std::string& content) {
    return "(tell :sender ALPHA :receiver Lab-HalyxCommand :content (tell :command " + content +
           "))\n";
}

TEST_F(ChatTexts, EveryChatIsLoggedAsTypedAndNoLaterCommandIsLost) {
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
    const int port = std::stoi(ready.substr(ready.find(" port ") + 6));
    // One station whose go decides (single-person game); the mission waits at minute 5.
    Send(console, "register\nwait agent ALPHA timeout=30\nadd ALPHA\nsingle-person on\n"
                  "init name=Chat folder=" +
                      home + "logs\nwait initialized timeout=30\nstart\nwait clock 5\npause\n");
    ASSERT_FALSE(WaitForLine(home + "console.out", "> pause").empty())
        << ReadFile(home + "console.out");

    const std::vector<std::string> typed = {
        "no launch :-( sorry", "he said \"go now", "wait (maybe", "ok) fine", "fine :-)",
        "don't go yet",        "see C:\\",         "a;b",         "#3\"abc",  "room #12 ok"};
    std::string traffic = Line("update_go_nogo_status :status nogo");
    for (const std::string& text : typed) {
        traffic += Line("subject_communication :to all :from Ann :message (" + text + ")") +
                   Line("activate :resource radar :id R1 :lat 1 :lng 2 :gridCol 3 :gridRow 4");
    }
    // Unreadable: a control byte outside any string.
    traffic += Line("abort :resource fighter :id \x01");
    traffic += Line("update_go_nogo_status :status go");
    QTcpSocket station;
    station.connectToHost("127.0.0.1", static_cast<quint16>(port));
    ASSERT_TRUE(station.waitForConnected(10000));
    station.write(traffic.data(), static_cast<qint64>(traffic.size()));
    ASSERT_TRUE(station.waitForBytesWritten(5000));
    ASSERT_FALSE(
        WaitForLine(home + "console.out", "WARNING: unreadable message from ALPHA").empty())
        << ReadFile(home + "console.out");
    Send(console, "wait quiet 300\nhealth\nresume\nwait end timeout=120\nsummary\nquit\n");
    ASSERT_TRUE(console->waitForFinished(180000));
    const std::string transcript = ReadFile(home + "console.out");
    EXPECT_EQ(console->exitCode(), 0) << transcript;
    EXPECT_NE(transcript.find("HEALTH ALPHA responding lost-messages=0 unreadable-messages=1"),
              std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("SUMMARY 1 unreadable messages ALPHA=1"), std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("[ALPHA (as Ann)] -> [all]: no launch :-( sorry\n"),
              std::string::npos)
        << transcript;

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file((home + "logs/Chat.xml").c_str(),
                              pugi::parse_default | pugi::parse_comments));
    const pugi::xml_node root = doc.child("HalyxSimLog");
    std::vector<std::string> chats;
    std::vector<std::string> statuses;
    int activations = 0;
    std::string outcome;
    for (pugi::xml_node event : root.child("SimEvents").children("Event")) {
        const std::string name = event.attribute("Name").value();
        if (name == "ChatMsg") {
            const std::string body = event.text().get();
            chats.push_back(body.substr(1, body.size() - 2));
        } else if (name == "LaunchStatusChange") {
            statuses.push_back(event.attribute("Status").value());
        } else if (name == "SimulationComplete") {
            outcome = event.attribute("LaunchStatus").value();
        }
        activations += name == "ResourceActivate";
    }
    EXPECT_EQ(chats, typed);
    EXPECT_EQ(activations, static_cast<int>(typed.size()));
    EXPECT_EQ(statuses, (std::vector<std::string>{"nogo", "go"}));
    EXPECT_EQ(outcome, "Launch");
    int unreadable = 0;
    for (pugi::xml_node node : root.child("SimEvents").children()) {
        if (node.type() == pugi::node_comment) {
            const std::string text = node.value();
            unreadable += text.starts_with(" unreadable message from ALPHA at clock ") &&
                          text.find(":id \\x01))") != std::string::npos;
        }
    }
    EXPECT_EQ(unreadable, 1);
}

} // namespace
} // namespace halyx
