// A peer that sends a great deal at once: every message still arrives, in order, but spread over
// many turns of the event loop, so that the window that owns the loop keeps repainting.
#include "looptest.h"

#include "external/agentkit/net/framedsocket.h"

#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace halyx {
namespace {

TEST(FramedSocketUnderAFlood, DeliversEverythingInOrderOverManyTurns) {
    looptest::EnsureApp();
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QTcpSocket sender;
    sender.connectToHost(QHostAddress::LocalHost, server.serverPort());
    ASSERT_TRUE(looptest::WaitFor([&] { return server.hasPendingConnections(); }));
    ASSERT_TRUE(sender.waitForConnected(5000));

    CFramedSocket receiver(server.nextPendingConnection());
    std::vector<std::string> received;
    receiver.on_message = [&](const std::string& text) { received.push_back(text); };

    // About 2.5 MB, far more than one slice, written before the receiver gets a turn.
    constexpr int kCount = 20000;
    QByteArray all;
    for (int i = 0; i < kCount; ++i) {
        all += "(tell :sender FLOOD :content (tell :command chat :n " + QByteArray::number(i) +
               " :pad " + QByteArray(80, 'x') + "))\n";
    }
    sender.write(all);

    // Turns of the loop while the messages come in, seen by a zero timer.
    int turns = 0;
    QTimer turn;
    QObject::connect(&turn, &QTimer::timeout, [&] {
        if (!received.empty() && received.size() < static_cast<size_t>(kCount)) {
            ++turns;
        }
    });
    turn.start(0);
    ASSERT_TRUE(
        looptest::WaitFor([&] { return received.size() == static_cast<size_t>(kCount); }, 60000))
        << received.size();
    for (int i = 0; i < kCount; i += 997) {
        EXPECT_NE(received[static_cast<size_t>(i)].find(":n " + std::to_string(i) + " "),
                  std::string::npos);
    }
    EXPECT_GT(turns, 20) << "the input was not handed over in slices";

    // What is left when the peer closes is still delivered.
    received.clear();
    sender.write("(tell :sender FLOOD :content (last))\n");
    sender.disconnectFromHost();
    ASSERT_TRUE(looptest::WaitFor([&] { return received.size() == 1; }));
}

} // namespace
} // namespace halyx
