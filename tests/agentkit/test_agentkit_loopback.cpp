// Agents talking over loopback TCP in one process, with the name server embedded: framing of
// what arrives, sending to agents by name, and what happens when a receiver is missing, gone or
// unreachable.
#include "looptest.h"

#include "external/agentkit/ansclient.h"
#include "external/agentkit/net/framedsocket.h"
#include "external/agentkit/net/nameserver.h"
#include "external/kqml/limits.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

#include <gtest/gtest.h>

namespace halyx {
namespace {

using looptest::CRunningAgent;
using looptest::WaitFor;

class Loopback : public ::testing::Test {
protected:
    void SetUp() override {
        looptest::EnsureApp();
        std::string error;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0, error)) << error;
    }

    // A raw connection to an agent's port, as a station on another machine would open.
    std::unique_ptr<QTcpSocket> Connect(CRunningAgent& to) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(to.comm().get_port()));
        EXPECT_TRUE(WaitFor([&] { return socket->state() == QAbstractSocket::ConnectedState; }));
        return socket;
    }

    void Write(QTcpSocket& socket, const std::string& bytes) {
        socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
        socket.flush();
    }

    CNameServer server;
};

TEST_F(Loopback, TwoMessagesInOneWriteArriveAsTwo) {
    CRunningAgent b("B", server.port());
    ASSERT_TRUE(b.ok);
    auto socket = Connect(b);
    Write(*socket, "(tell :a 1)\n(tell :b \"x)\")\n");
    ASSERT_TRUE(WaitFor([&] { return b.agent->received.size() == 2; }));
    EXPECT_EQ(b.agent->received[0], "(tell :a 1)");
    EXPECT_EQ(b.agent->received[1], "(tell :b \"x)\")");
}

// A flood is handed on in bounded batches: a timer due meanwhile runs between them (the clock
// keeps time), and every message still arrives, in order.
TEST_F(Loopback, FloodIsHandedOnInBatchesWithTimersBetween) {
    CRunningAgent b("B", server.port());
    ASSERT_TRUE(b.ok);
    auto socket = Connect(b);
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
    EXPECT_EQ(b.agent->received.back(), "(tell :n " + std::to_string(kCount - 1) + ")");
    // At most a batch or two (a continuation and a fresh read) between two turns of the timer.
    EXPECT_LE(mostBetweenTicks, 2 * CFramedSocket::kMessagesPerTurn);
    EXPECT_GT(mostBetweenTicks, 0u);
}

TEST_F(Loopback, MessageSplitOverManyWritesArrivesWhole) {
    CRunningAgent b("B", server.port());
    ASSERT_TRUE(b.ok);
    auto socket = Connect(b);
    const std::string message = "(tell :content (tell :command deploy :id 7 :note #3\"((())";
    for (const char c : message) {
        Write(*socket, std::string(1, c));
        QCoreApplication::processEvents();
    }
    Write(*socket, "\n");
    ASSERT_TRUE(WaitFor([&] { return b.agent->received.size() == 1; }));
    EXPECT_EQ(b.agent->received[0], message);
}

TEST_F(Loopback, OversizedMessageIsDroppedAndTheNextOneArrives) {
    CRunningAgent b("B", server.port());
    ASSERT_TRUE(b.ok);
    auto socket = Connect(b);
    std::string big = "(tell :blob \"";
    big.append(kKqmlMaxMessageBytes + 1 - big.size() - 2, 'x');
    big += "\")";
    ASSERT_EQ(big.size(), kKqmlMaxMessageBytes + 1);
    Write(*socket, big + "\n(tell :after 1)\n");
    ASSERT_TRUE(WaitFor([&] { return !b.agent->received.empty(); }, 120000));
    EXPECT_EQ(b.agent->received.size(), 1u);
    EXPECT_EQ(b.agent->received[0], "(tell :after 1)");
    EXPECT_TRUE(b.agent->HasDebug("is larger than 16777216 bytes: dropped"));
}

TEST_F(Loopback, PeerThatDisconnectsMidMessageLosesOnlyThatMessage) {
    CRunningAgent b("B", server.port());
    ASSERT_TRUE(b.ok);
    auto socket = Connect(b);
    Write(*socket, "(tell :whole 1)\n(tell :half \"abc");
    socket->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return b.agent->HasDebug("message in progress was lost"); }));
    EXPECT_EQ(b.agent->received, (std::vector<std::string>{"(tell :whole 1)"}));
    auto again = Connect(b);
    Write(*again, "(tell :next 1)\n");
    ASSERT_TRUE(WaitFor([&] { return b.agent->received.size() == 2; }));
}

TEST_F(Loopback, AgentsFindEachOtherByNameAndKeepOrder) {
    CRunningAgent a("A", server.port());
    CRunningAgent b("Bravo Station", server.port());
    ASSERT_TRUE(a.ok && b.ok);
    ASSERT_TRUE(a.Register());
    ASSERT_TRUE(b.Register());
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(
            a.Send("Bravo Station", "tell :command clock_sync :clock " + std::to_string(i)));
    }
    ASSERT_TRUE(WaitFor([&] { return b.agent->received.size() == 50; }));
    EXPECT_EQ(b.agent->received[49],
              "(tell :sender A :receiver \"Bravo Station\" :language default-language :ontology "
              "default-ontology :content (tell :command clock_sync :clock 49))");
    ASSERT_TRUE(b.Send("A", "tell :command init_sim"));
    ASSERT_TRUE(WaitFor([&] { return a.agent->received.size() == 1; }));
    EXPECT_TRUE(a.agent->debugLines.empty());
}

TEST_F(Loopback, SendToAnUnregisteredAgentGivesADiagnosticNotAHang) {
    CRunningAgent a("A", server.port());
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(a.Send("Nobody", "tell :command x"));
    ASSERT_TRUE(WaitFor([&] { return a.agent->HasDebug("cannot find Nobody"); }));
    EXPECT_TRUE(a.agent->HasDebug("unknown agent"));
}

TEST_F(Loopback, UnreachableReceiverGivesADiagnostic) {
    // A registration whose port nobody listens on any more.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 deadPort = closed.serverPort();
    closed.close();
    const auto holder = server.registry().open_connection("127.0.0.1");
    server.registry().handle_request(
        "(register :name Ghost :host 127.0.0.1 :port " + std::to_string(deadPort) + ")", holder);
    CRunningAgent a("A", server.port());
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(a.Send("Ghost", "tell :command x"));
    ASSERT_TRUE(WaitFor([&] { return a.agent->HasDebug("cannot reach Ghost"); }));
}

TEST_F(Loopback, MessageWaitingOnASilentNameServerIsDroppedAfterTheTimeOut) {
    // A name server that accepts connections and never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    CRunningAgent a("A", silent.serverPort(), {"--send-timeout-ms", "300"});
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(a.Send("B", "tell :command x"));
    ASSERT_TRUE(WaitFor([&] { return a.agent->HasDebug("not delivered within 300 ms"); }));
    EXPECT_EQ(a.agent->debugLines.size(), 1u);
    EXPECT_EQ(static_cast<CTcpCommunicator&>(a.comm()).pending_count(), 0u);
}

TEST_F(Loopback, ASilentNameServerCanBeWaitedOnWithTheEventLoopTurning) {
    // A window waits on the name server without freezing: timers run during the wait, user input
    // does not. The scripted console keeps the plain wait, during which nothing else runs.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    CRunningAgent a("A", silent.serverPort());
    ASSERT_TRUE(a.ok);
    auto& tcp = static_cast<CTcpCommunicator&>(a.comm());
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
}

TEST_F(Loopback, AgentThatCannotListenDoesNotStart) {
    CRunningAgent first("A", server.port());
    ASSERT_TRUE(first.ok);
    CRunningAgent second("B", server.port(), {"--port", std::to_string(first.comm().get_port())});
    EXPECT_FALSE(second.ok);
    EXPECT_TRUE(second.agent->HasDebug("cannot listen on"));
    EXPECT_EQ(second.agent->get_communicator(), nullptr);
}

TEST_F(Loopback, ReceiverThatRestartsElsewhereIsFoundAgain) {
    CRunningAgent a("A", server.port());
    ASSERT_TRUE(a.ok);
    auto b = std::make_unique<CRunningAgent>("B", server.port());
    ASSERT_TRUE(b->ok && b->Register());
    ASSERT_TRUE(a.Send("B", "tell :n 1"));
    ASSERT_TRUE(WaitFor([&] { return b->agent->received.size() == 1; }));
    b.reset();
    ASSERT_TRUE(WaitFor([&] { return a.agent->HasDebug("connection to B"); }));
    CRunningAgent b2("B", server.port());
    ASSERT_TRUE(b2.ok && b2.Register());
    ASSERT_TRUE(a.Send("B", "tell :n 2"));
    ASSERT_TRUE(WaitFor([&] { return b2.agent->received.size() == 1; }));
}

TEST_F(Loopback, RegistrationOverTcpLivesAsLongAsItsConnection) {
    auto holder = std::make_unique<QTcpSocket>();
    holder->connectToHost(QHostAddress::LocalHost, server.port());
    ASSERT_TRUE(WaitFor([&] { return holder->state() == QAbstractSocket::ConnectedState; }));
    Write(*holder, "(register :name S1 :port 7001)\n");
    ASSERT_TRUE(WaitFor([&] { return holder->canReadLine(); }));
    EXPECT_EQ(holder->readLine().toStdString(), "(tell :status ok)\n");

    QTcpSocket rival;
    rival.connectToHost(QHostAddress::LocalHost, server.port());
    ASSERT_TRUE(WaitFor([&] { return rival.state() == QAbstractSocket::ConnectedState; }));
    Write(rival, "(register :name S1 :port 7002)\n");
    ASSERT_TRUE(WaitFor([&] { return rival.canReadLine(); }));
    EXPECT_EQ(rival.readLine().toStdString(), "(sorry :reason \"name already registered\")\n");

    holder->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return server.registry().entries().empty(); }));
    Write(rival, "(register :name S1 :port 7002)\n");
    ASSERT_TRUE(WaitFor([&] { return rival.canReadLine(); }));
    EXPECT_EQ(rival.readLine().toStdString(), "(tell :status ok)\n");
}

TEST_F(Loopback, SecondAgentCannotTakeALiveName) {
    CRunningAgent first("S", server.port());
    CRunningAgent second("S", server.port());
    ASSERT_TRUE(first.ok && second.ok);
    ASSERT_TRUE(first.Register());
    EXPECT_FALSE(second.Register());
    EXPECT_TRUE(second.agent->HasDebug("name already registered"));
    EXPECT_EQ(first.comm().retrieve_ans_object()->check_registration("S") != nullptr, true);
    EXPECT_EQ(second.comm().retrieve_ans_object()->check_registration("S"), nullptr);
}

} // namespace
} // namespace halyx
