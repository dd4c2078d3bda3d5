// Agents talking over loopback TCP in one process, with the name server embedded.
#include "looptest.h"
#include "rawsocket.h"
#include "testhome.h"

#include "external/agentkit/ansclient.h"
#include "external/agentkit/net/framedsocket.h"
#include "external/agentkit/net/nameserver.h"
#include "external/agentkit/net/tcpcommunicator.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <QElapsedTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace halyx {
namespace {

using looptest::CRunningAgent;
using looptest::WaitFor;

class Loopback : public ::testing::Test {
protected:
    void SetUp() override {
        test::TestApp("looptest");
        std::string error;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0, error)) << error;
    }

    void Write(QTcpSocket& socket, const std::string& bytes) {
        socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
        socket.flush();
    }

    // An agent registered by hand at a port of our choosing, held by its own connection.
    void RegisterByHand(const std::string& name, int port, CNameServer& at) {
        const auto holder = at.registry().open_connection("127.0.0.1");
        at.registry().handle_request("(register :name " + name + " :host 127.0.0.1 :port " +
                                         std::to_string(port) + ")",
                                     holder);
    }

    CNameServer server;
};

// A FIFO would block the start for good. (Answering from a written table is the program's test.)
TEST_F(Loopback, AStateFileMustBeATableAndIsWrittenOncePerBatchOfChanges) {
    const std::filesystem::path folder = test::FreshFolder("ans-state");
    std::ofstream(folder / "broken.state") << "not a table\n";
    ASSERT_EQ(::mkfifo((folder / "fifo.state").c_str(), 0600), 0);
    const struct {
        const char* file;
        const char* error;
    } cases[] = {{"broken.state", "broken.state: line 1"},
                 {"fifo.state", "fifo.state is not a regular file"}};
    std::string error;
    for (const auto& c : cases) {
        CNameServer refusing;
        EXPECT_FALSE(refusing.set_state_file((folder / c.file).string(), error)) << c.file;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }

    CNameServer keeping;
    ASSERT_TRUE(keeping.set_state_file((folder / "table.state").string(), error)) << error;
    for (int i = 0; i < 500; ++i) {
        RegisterByHand("A" + std::to_string(i), 7000, keeping);
    }
    keeping.flush_state();
    EXPECT_LE(keeping.state_writes(), 2u);
    EXPECT_EQ(test::CountOf(test::ReadFile(folder / "table.state"), "\n"), 500u);
}

// Out of file descriptors, the name server neither goes deaf for good nor spins on failed
// accepts: it says so, waits a moment, and answers the waiting client once descriptors are free.
TEST_F(Loopback, ANameServerOutOfDescriptorsRecoversByItself) {
    std::vector<std::string> log;
    server.set_log([&log](const std::string& line) { log.push_back(line); });
    std::vector<int> filler;
    for (int fd = ::open("/dev/null", O_RDONLY); fd >= 0 && filler.size() < 100000;
         fd = ::open("/dev/null", O_RDONLY)) {
        filler.push_back(fd);
    }
    ASSERT_FALSE(filler.empty());
    ::close(filler.back()); // one for the client's socket, none for the server's accept
    filler.pop_back();
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.port());
    // Failed accepts after the first one, which must not be reported again.
    WaitFor([&] { return !log.empty(); }, 10000);
    QElapsedTimer timer;
    timer.start();
    WaitFor([&] { return timer.elapsed() > 300; });
    for (const int fd : filler) {
        ::close(fd);
    }
    client.write("(lookup :name NOBODY)\n");
    ASSERT_TRUE(WaitFor([&] { return client.canReadLine(); }, 10000));
    EXPECT_EQ(client.readLine().trimmed().toStdString(), "(sorry :reason \"unknown agent\")");
    // Later connections are taken at once and quietly (Qt keeps a listening socket's first error
    // for good, which would pause and report again after every one).
    for (int i = 0; i < 3; ++i) {
        QTcpSocket later;
        later.connectToHost(QHostAddress::LocalHost, server.port());
        later.write("(lookup :name NOBODY)\n");
        ASSERT_TRUE(WaitFor([&] { return later.canReadLine(); }, 10000));
    }
    const auto failures = std::count_if(log.begin(), log.end(), [](const std::string& line) {
        return line.starts_with("cannot accept connections");
    });
    EXPECT_EQ(failures, 1) << ::testing::PrintToString(log);
    EXPECT_NE(std::find(log.begin(), log.end(), "accepting connections again"), log.end())
        << ::testing::PrintToString(log);
}

// Cutting a stream into messages is the framer's test; here, what the socket adds.
TEST_F(Loopback, BatchedOversizedAndCutOffInputFrameOnTheSocket) {
    CRunningAgent b("B", server.port());
    ASSERT_TRUE(b.ok);
    b.comm().set_incoming_message_limit(64);
    auto socket = test::RawConnect(static_cast<quint16>(b.comm().get_port()));
    auto& received = b.agent->received;

    // One over the limit is cut there and handed on, for the receiver to find unreadable.
    const std::string big = "(tell :blob \"" + std::string(100, 'x') + "\")";
    Write(*socket, "(tell :a 1)\n(tell :b \"x)\")\n" + big + "\n(tell :after 1)\n");
    ASSERT_TRUE(WaitFor([&] { return received.size() == 4; }));
    EXPECT_EQ(received, (std::vector<std::string>{"(tell :a 1)", "(tell :b \"x)\")",
                                                  big.substr(0, 64), "(tell :after 1)"}));
    EXPECT_TRUE(b.agent->HasDebug("is larger than 64 bytes: cut at the limit"));

    Write(*socket, "(tell :whole 1)\n(tell :half \"abc");
    socket->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return b.agent->HasDebug("message in progress was lost"); }));
    EXPECT_EQ(received.size(), 5u);
    EXPECT_EQ(received[4], "(tell :whole 1)");
    auto again = test::RawConnect(static_cast<quint16>(b.comm().get_port()));
    Write(*again, "(tell :next 1)\n");
    ASSERT_TRUE(WaitFor([&] { return received.size() == 6; }));
}

// A timer due during a flood runs between its batches: the clock and the window keep going.
TEST_F(Loopback, FloodIsHandedOnInBatchesWithTimersBetween) {
    CRunningAgent b("B", server.port());
    ASSERT_TRUE(b.ok);
    auto socket = test::RawConnect(static_cast<quint16>(b.comm().get_port()));
    constexpr size_t kCount = 30000;
    std::string flood;
    for (size_t i = 0; i < kCount; ++i) {
        flood += "(tell :n " + std::to_string(i) + ")\n";
    }
    size_t mostBetweenTicks = 0;
    size_t atLastTick = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const size_t now = b.agent->received.size();
        mostBetweenTicks = std::max(mostBetweenTicks, now - atLastTick);
        atLastTick = now;
    });
    tick.start(0);
    Write(*socket, flood);
    ASSERT_TRUE(WaitFor([&] { return b.agent->received.size() == kCount; }, 120000));
    tick.stop();
    for (size_t i = 0; i < kCount; i += 997) {
        EXPECT_EQ(b.agent->received[i], "(tell :n " + std::to_string(i) + ")");
    }
    // At most a batch or two (a continuation and a fresh read) between two turns of the timer.
    EXPECT_LE(mostBetweenTicks, 2 * CFramedSocket::kMessagesPerTurn);
    EXPECT_GT(mostBetweenTicks, 0u);
}

TEST_F(Loopback, AgentsFindEachOtherByNameAndAddressAndKeepOrderAndNamesAndPortsStayTheirs) {
    CRunningAgent a("A", server.port());
    CRunningAgent b("Bravo Station", server.port());
    CRunningAgent rival("A", server.port());
    ASSERT_TRUE(a.ok && b.ok && rival.ok);
    ASSERT_TRUE(a.Register());
    ASSERT_TRUE(b.Register());
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(
            a.Send("Bravo Station", "tell :command clock_sync :clock " + std::to_string(i)));
    }
    ASSERT_TRUE(WaitFor([&] { return b.agent->received.size() == 50; }));
    // The last sent is the last received; the wire text itself is the communicator's own test.
    EXPECT_TRUE(b.agent->received[49].ends_with(":clock 49))")) << b.agent->received[49];
    ASSERT_TRUE(b.Send("A", "tell :command init_sim"));
    ASSERT_TRUE(WaitFor([&] { return a.agent->received.size() == 1; }));
    EXPECT_TRUE(a.agent->debugLines.empty());
    // The console checks senders against their registered host: a station started with --bind
    // must register and send from that address.
    CRunningAgent bound("Bound", server.port(), {"--bind", "127.0.0.3"});
    ASSERT_TRUE(bound.ok && bound.Register());
    EXPECT_EQ(a.comm().retrieve_ans_object()->LookupAgent("Bound").GetAgentHost(), "127.0.0.3");
    ASSERT_TRUE(bound.Send("A", "tell :command hello"));
    ASSERT_TRUE(WaitFor([&] { return a.agent->received.size() == 2; }));
    EXPECT_EQ(a.agent->peers[1], "127.0.0.3");

    // A second agent cannot take a live name.
    EXPECT_FALSE(rival.Register());
    EXPECT_TRUE(rival.agent->HasDebug("name already registered"));
    EXPECT_NE(a.comm().retrieve_ans_object()->check_registration("A"), nullptr);
    EXPECT_EQ(rival.comm().retrieve_ans_object()->check_registration("A"), nullptr);

    // Nor a port in use: an agent that cannot listen does not start.
    CRunningAgent taken("C", server.port(), {"--port", std::to_string(a.comm().get_port())});
    EXPECT_FALSE(taken.ok);
    EXPECT_TRUE(taken.agent->HasDebug("cannot listen on"));
    EXPECT_EQ(taken.agent->get_communicator(), nullptr);
}

// Outside the allowed hosts a connection is closed unread (the whole 127/8 range is this machine,
// so 127.0.0.2 plays another host).
TEST_F(Loopback, OutsideTheAllowedHostsAConnectionIsClosedUnread) {
    CRunningAgent b("B", server.port());
    ASSERT_TRUE(b.ok);
    std::vector<CTcpCommunicator::Subnet> allowed;
    std::string error;
    ASSERT_TRUE(CTcpCommunicator::ParseAllowedHosts("127.0.0.1/32", allowed, error)) << error;
    auto& tcp = static_cast<CTcpCommunicator&>(b.comm());
    tcp.set_allowed_hosts(allowed);
    const auto port = static_cast<quint16>(tcp.get_port());

    QTcpSocket outsider;
    ASSERT_TRUE(outsider.bind(QHostAddress("127.0.0.2"), 0));
    outsider.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(outsider.waitForConnected(5000)) << outsider.errorString().toStdString();
    Write(outsider, "(tell :sender ALPHA :content (tell :command forged))\n");
    EXPECT_TRUE(WaitFor([&] { return outsider.state() == QAbstractSocket::UnconnectedState; }));
    auto local = test::RawConnect(port);
    Write(*local, "(tell :sender ALPHA :content (tell :command real))\n");
    ASSERT_TRUE(WaitFor([&] { return b.agent->received.size() == 1; }));
    EXPECT_NE(b.agent->received[0].find("real"), std::string::npos);
    EXPECT_EQ(b.agent->peers[0], "127.0.0.1");
    EXPECT_EQ(tcp.refused_connections(), 1u);
    EXPECT_EQ(local->state(), QAbstractSocket::ConnectedState);
    const auto& lines = b.agent->debugLines;
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "connection from 127.0.0.2 refused: not in the allowed hosts"),
              lines.end());
}

TEST(AllowedHosts, ListsAreReadStrictly) {
    std::vector<CTcpCommunicator::Subnet> subnets;
    std::string error;
    ASSERT_TRUE(CTcpCommunicator::ParseAllowedHosts("127.0.0.0/8, 10.1.2.3,::1", subnets, error));
    ASSERT_EQ(subnets.size(), 3u);
    EXPECT_EQ(subnets[0].second, 8);
    EXPECT_EQ(subnets[1], (CTcpCommunicator::Subnet{QHostAddress("10.1.2.3"), 32}));
    EXPECT_EQ(subnets[2].second, 128);

    for (const char* bad : {"", ",", "127.0.0.1/33", "300.1.1.1"}) {
        EXPECT_FALSE(CTcpCommunicator::ParseAllowedHosts(bad, subnets, error)) << bad;
    }
    EXPECT_FALSE(CTcpCommunicator::ParseAllowedHosts("10.0.0.0/8,lab-pc", subnets, error));
    EXPECT_EQ(error, "not an address or network: \"lab-pc\"");
}

TEST_F(Loopback, UnregisteredOrUnreachableReceiversGiveADiagnosticNotAHang) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    RegisterByHand("Ghost", closed.serverPort(), server);
    closed.close();
    CRunningAgent a("A", server.port());
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(a.Send("Nobody", "tell :command x"));
    ASSERT_TRUE(WaitFor([&] { return a.agent->HasDebug("cannot find Nobody"); }));
    EXPECT_TRUE(a.agent->HasDebug("unknown agent"));
    ASSERT_TRUE(a.Send("Ghost", "tell :command x"));
    ASSERT_TRUE(WaitFor([&] { return a.agent->HasDebug("cannot reach Ghost"); }));
}

TEST_F(Loopback, ASilentNameServerCostsATimeOutNotAFreeze) {
    // A name server that accepts connections and never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    CRunningAgent a("A", silent.serverPort(), {"--send-timeout-ms", "300"});
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(a.Send("B", "tell :command x"));
    ASSERT_TRUE(WaitFor([&] { return a.agent->HasDebug("not delivered within 300 ms"); }));
    EXPECT_EQ(a.agent->debugLines.size(), 1u);
    auto& tcp = static_cast<CTcpCommunicator&>(a.comm());
    EXPECT_EQ(tcp.pending_count(), 0u);

    // A window waits on the name server without freezing: timers run during the wait, user input
    // does not. The scripted console keeps the plain wait, during which nothing else runs.
    tcp.tcp_ans().set_timeouts(1000, 300);
    for (const bool turning : {false, true}) {
        tcp.tcp_ans().set_wait_in_event_loop(turning);
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(20);
        const CAgentInfo info = tcp.retrieve_ans_object()->LookupAgent("B");
        timer.stop();
        EXPECT_FALSE(info.IsValid());
        EXPECT_NE(tcp.retrieve_ans_object()->last_error().find("no answer within 300 ms"),
                  std::string::npos)
            << tcp.retrieve_ans_object()->last_error();
        if (turning) {
            EXPECT_GE(ticks, 5);
        } else {
            EXPECT_EQ(ticks, 0);
        }
    }
    // A port nobody listens on says so (the window shows the reason as it comes).
    quint16 closed = 0;
    {
        QTcpServer gone;
        ASSERT_TRUE(gone.listen(QHostAddress::LocalHost, 0));
        closed = gone.serverPort();
    }
    CRunningAgent c("C", closed);
    ASSERT_TRUE(c.ok);
    EXPECT_FALSE(c.comm().retrieve_ans_object()->LookupAgent("B").IsValid());
    EXPECT_NE(c.comm().retrieve_ans_object()->last_error().find(": refused: "), std::string::npos)
        << c.comm().retrieve_ans_object()->last_error();
}

TEST_F(Loopback, AReceiverThatDiesIsLostAtOnceAndBackWhenItReturns) {
    CRunningAgent a("A", server.port());
    ASSERT_TRUE(a.ok);
    std::vector<std::string> events;
    a.comm().set_link_observer([&](const CLinkEvent& e) {
        const char* kind = e.kind == CLinkEvent::Kind::Lost   ? "lost "
                           : e.kind == CLinkEvent::Kind::Back ? "back "
                                                              : "dropped ";
        const bool dropped = e.kind == CLinkEvent::Kind::Dropped;
        events.push_back(kind + e.receiver + (dropped ? " " + std::to_string(e.messages) : ""));
    });
    const auto has = [&](const std::string& line) {
        return std::find(events.begin(), events.end(), line) != events.end();
    };
    auto b = std::make_unique<CRunningAgent>("B", server.port());
    ASSERT_TRUE(b->ok && b->Register());
    ASSERT_TRUE(a.Send("B", "tell :n 1"));
    ASSERT_TRUE(WaitFor([&] { return b->agent->received.size() == 1; }));
    EXPECT_EQ(events, (std::vector<std::string>{"back B"}));

    // Nothing is waiting for B when it dies: the broken connection alone tells.
    b.reset();
    ASSERT_TRUE(WaitFor([&] { return has("lost B"); }, 5000));
    ASSERT_TRUE(a.Send("B", "tell :n 2"));
    ASSERT_TRUE(WaitFor([&] { return has("dropped B 1"); }));

    CRunningAgent b2("B", server.port());
    ASSERT_TRUE(b2.ok && b2.Register());
    ASSERT_TRUE(a.Send("B", "tell :n 3"));
    ASSERT_TRUE(WaitFor([&] { return b2.agent->received.size() == 1; }));
    EXPECT_EQ(events.back(), "back B");
    EXPECT_NE(b2.agent->received[0].find(":n 3"), std::string::npos);
}

TEST_F(Loopback, APeerThatAcceptsAndClosesDoesNotKeepUsConnecting) {
    QTcpServer rude;
    ASSERT_TRUE(rude.listen(QHostAddress::LocalHost, 0));
    int accepted = 0;
    QObject::connect(&rude, &QTcpServer::newConnection, &rude, [&] {
        while (QTcpSocket* socket = rude.nextPendingConnection()) {
            ++accepted;
            socket->close();
            socket->deleteLater();
        }
    });
    RegisterByHand("RUDE", rude.serverPort(), server);
    CRunningAgent a("A", server.port());
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(a.Send("RUDE", "tell :n 1"));
    // The message's connection is closed, one more checks whether RUDE has gone, and that one's
    // close ends it: a third connection would already be under way when the second close is told.
    const auto closes = [&] {
        return std::count_if(a.agent->debugLines.begin(), a.agent->debugLines.end(),
                             [](const std::string& line) {
                                 return line.starts_with("connection to RUDE") &&
                                        line.find(" closed") != std::string::npos;
                             });
    };
    ASSERT_TRUE(WaitFor([&] { return closes() == 2; }));
    // A message to another agent and back takes the event loop round more than once: time for a
    // third connection to be accepted, if there were one.
    CRunningAgent b("B", server.port());
    ASSERT_TRUE(b.ok && b.Register());
    ASSERT_TRUE(a.Send("B", "tell :n 2"));
    ASSERT_TRUE(WaitFor([&] { return b.agent->received.size() == 1; }));
    EXPECT_EQ(accepted, 2);
    EXPECT_EQ(closes(), 2);
}

} // namespace
} // namespace halyx
