// The name server and the synthetic station as separate programs, with a console agent in this
// process: every line the station prints matches what the console saw on the wire.
#include "looptest.h"
#include "rawsocket.h"
#include "testhome.h"

#include "external/agentkit/ansclient.h"
#include "external/kqml/parser.h"

#include <QProcess>
#include <QTcpSocket>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace halyx {
namespace {

using looptest::CRunningAgent;
using looptest::WaitFor;

// A program of the build, with its output collected line by line.
class CProgram {
public:
    explicit CProgram(const QStringList& args, const char* name) {
        m_process.setProgram(QString(HALYX_BINARY_DIR) + "/bin/" + name);
        m_process.setArguments(args);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] {
            while (m_process.canReadLine()) {
                lines.push_back(m_process.readLine().trimmed().toStdString());
            }
        });
        m_process.start();
    }
    ~CProgram() { Kill(); }
    // The first line starting with prefix (with it), once it came; "" if the program ended.
    std::string WaitLine(const std::string& prefix) {
        WaitFor([&] { return !With(prefix).empty() || m_process.state() == QProcess::NotRunning; });
        return With(prefix).empty() ? "" : prefix + With(prefix).front();
    }
    std::vector<std::string> With(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& line : lines) {
            if (line.rfind(prefix, 0) == 0) {
                out.push_back(line.substr(prefix.size()));
            }
        }
        return out;
    }
    void Kill() {
        m_process.kill();
        m_process.waitForFinished(10000);
    }

    std::vector<std::string> lines;

private:
    QProcess m_process;
};

// The value under the last key, each key read from the list under the one before.
std::string Read(std::string message, std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        CParser parser;
        parser.parse_message(message);
        message = parser.find_text(key);
    }
    return message;
}

// Starts halyx-ans with args into program and answers its port, 0 when it did not start.
int StartAns(std::unique_ptr<CProgram>& program, const QStringList& args) {
    program = std::make_unique<CProgram>(args, "halyx-ans");
    const std::string listening = program->WaitLine("listening on ");
    return listening.empty() ? 0 : std::stoi(listening.substr(listening.rfind(':') + 1));
}

std::string Command(const std::string& message) {
    return Read(message, {"content", "command"});
}

const char* const kScenario =
    "ask :command init_sim :scenario (tell :map http://maps/a.txt :terrain (tell :number 0) "
    ":radar (tell :number 1 :0 (tell :name \"R 1\" :lat 1 :lon 2 :id R7 :range 9 :life 1 :owner "
    "x)) :interceptors (tell :number 1 :0 (tell :name \"I 1\" :lat 1 :lon 2 :id I3 :maxspeed 1 "
    ":range 1 :scope 1 :minrange 0)) :incursions (tell :number 1  :0 (tell :id B5 :lat 1.0 :lon "
    "2.0 :heading 9 :speed 3 :name \"Boat\")) :impactlines (x) :trajectory (y))";

class Station : public ::testing::Test {
protected:
    void SetUp() override {
        test::TestApp("looptest");
        ansPort = StartAns(ans, {"--port", "0", "--bind", "127.0.0.1"});
        ASSERT_NE(ansPort, 0) << "halyx-ans did not start";
    }

    std::unique_ptr<CProgram> StartStation(const std::string& name, const char* behaviour,
                                           const char* seed) {
        auto station = std::make_unique<CProgram>(
            QStringList{"--name", QString::fromStdString(name), "--ans",
                        "127.0.0.1:" + QString::number(ansPort), "--bind", "127.0.0.1",
                        "--behaviour", behaviour, "--seed", seed, "--no-fetch-maps"},
            "halyx-station");
        EXPECT_FALSE(station->WaitLine("READY ").empty()) << "halyx-station did not start";
        return station;
    }

    std::unique_ptr<CProgram> ans;
    int ansPort = 0;
};

TEST_F(Station, AnswersTheConsoleAndPrintsExactlyWhatWentOverTheWire) {
    auto station = StartStation("Alpha Station", "quiet", "1");
    CRunningAgent console("HalyxCommand", ansPort);
    ASSERT_TRUE(console.ok);
    std::vector<std::string> consoleSent;
    console.comm().set_traffic_observer([&](KqmlTraffic direction, const std::string& text) {
        if (direction == KqmlTraffic::Outgoing) {
            consoleSent.push_back(text);
        }
    });
    ASSERT_TRUE(console.Register()) << console.comm().retrieve_ans_object()->last_error();
    ASSERT_TRUE(console.comm().comm_sendmessage("ask", "Alpha Station", "default-language",
                                                "default-ontology", "", "", "", kScenario));
    ASSERT_TRUE(WaitFor([&] { return console.agent->received.size() == 1; }));
    EXPECT_EQ(Command(console.agent->received[0]), "init_sim");

    console.Send("Alpha Station", "tell :command start_sim :clock 1 :scenario (none) :team (tell "
                                  ":number 1 :client0 Alpha Station)  :stationlocation (tell "
                                  ":lat 564 :lon 325)");
    for (int clock = 0; clock < 5; ++clock) {
        console.Send("Alpha Station", "tell :command clock_sync :clock " + std::to_string(clock));
    }
    console.Send("Alpha Station", "tell :command mission_complete :msg \"The Launch window has "
                                  "expired.\"");
    // What the answers hold is the seat's test; here, that they reach the console.
    ASSERT_TRUE(WaitFor([&] { return console.agent->received.size() == 2; }));
    EXPECT_EQ(Read(console.agent->received[1], {"content", "radarStats", "radar0", "id"}), "R7");

    ASSERT_TRUE(WaitFor([&] { return station->With("RECV ").size() == consoleSent.size(); }));
    EXPECT_EQ(station->With("RECV "), consoleSent);
    EXPECT_EQ(station->With("SEND "), console.agent->received);
    EXPECT_TRUE(station->With("ERROR ").empty());
}

TEST_F(Station, ActiveStationsWithOneSeedSendTheSameCommandsAtTheSameMinutes) {
    auto first = StartStation("Alpha Station", "active", "42");
    auto second = StartStation("Bravo Station", "active", "42");
    auto other = StartStation("Charlie Station", "active", "43");
    CRunningAgent console("HalyxCommand", ansPort);
    ASSERT_TRUE(console.ok && console.Register());
    const auto mission = [&console](const std::string& member) {
        console.Send(member, kScenario);
        for (int clock = 0; clock <= 960; ++clock) {
            console.Send(member, "tell :command clock_sync :clock " + std::to_string(clock));
        }
        console.Send(member, "tell :command mission_complete :msg \"done\"");
    };
    for (const char* member : {"Alpha Station", "Bravo Station", "Charlie Station"}) {
        mission(member);
    }
    const auto ended = [](const CProgram& station) {
        const std::vector<std::string> sent = station.With("SEND ");
        return sent.size() > 1 && Command(sent.back()) == "mission_stats";
    };
    ASSERT_TRUE(WaitFor([&] { return ended(*first) && ended(*second) && ended(*other); }));
    const auto commands = [](const CProgram& station) {
        std::vector<std::string> out;
        for (const std::string& line : station.With("SEND ")) {
            out.push_back(Command(line));
        }
        return out;
    };
    const std::vector<std::string> a = commands(*first);
    const std::vector<std::string> b = commands(*second);
    const std::vector<std::string> c = commands(*other);
    EXPECT_GT(a.size(), 40u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    // Every command a station sent reached the console.
    ASSERT_TRUE(
        WaitFor([&] { return console.agent->received.size() == a.size() + b.size() + c.size(); }));
    // The same mission again: its statistics start from nothing, so they are the first's.
    const std::string firstStats = first->With("SEND ").back();
    mission("Alpha Station");
    ASSERT_TRUE(WaitFor([&] { return first->With("SEND ").size() == 2 * a.size(); }));
    EXPECT_EQ(first->With("SEND ").back(), firstStats);
}

// halyx-ans with --names and --state: the next server answers from the killed one's table.
TEST(NameServerProgram, KeepsBoundNamesAndItsTableAcrossAKill) {
    test::TestApp("looptest");
    const std::filesystem::path folder = test::FreshFolder("ans-program");
    std::ofstream(folder / "names.txt") << "# only from another machine\nLab-* 127.0.0.9\n";
    const QStringList args{"--port",  "0",
                           "--bind",  "127.0.0.1",
                           "--names", QString::fromStdString((folder / "names.txt").string()),
                           "--state", QString::fromStdString((folder / "table.txt").string())};
    const auto ask = [](int port, const std::string& request) {
        return test::RawExchange(static_cast<quint16>(port), request + "\n", "\n");
    };

    std::unique_ptr<CProgram> first;
    const int firstPort = StartAns(first, args);
    ASSERT_NE(firstPort, 0) << "halyx-ans did not start";
    EXPECT_EQ(ask(firstPort, "(register :name Lab-HalyxCommand :port 7000)"),
              "(sorry :reason \"name bound to another host\")\n");
    {
        // This connection keeps ALPHA registered until the kill.
        const auto holder = test::RawConnect(static_cast<quint16>(firstPort));
        holder->write("(register :name ALPHA :port 7100)\n");
        std::string answer;
        EXPECT_EQ(test::RawReadUntil(*holder, answer, "\n"), "(tell :status ok)\n");
        // Changes reach the table in batches, a moment after they are answered.
        EXPECT_TRUE(WaitFor(
            [&folder] {
                return test::ReadFile(folder / "table.txt").find("ALPHA\t") != std::string::npos;
            },
            5000));
        first->Kill();
    }

    std::unique_ptr<CProgram> second;
    const int secondPort = StartAns(second, args);
    ASSERT_NE(secondPort, 0) << "halyx-ans did not start again";
    EXPECT_EQ(ask(secondPort, "(lookup :name ALPHA)"),
              "(tell :name ALPHA :host 127.0.0.1 :port 7100)\n");
    EXPECT_EQ(second->With("restore ALPHA").size(), 1u);
}

} // namespace
} // namespace halyx
