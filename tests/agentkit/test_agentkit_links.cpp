// What the transport tells its link observer: a receiver that dies is reported lost at once,
// messages to it while gone are counted as dropped, and its return is reported when a connection
// is made again; a peer that accepts and closes every connection does not keep us connecting.
#include "looptest.h"

#include "external/agentkit/net/nameserver.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace halyx {
namespace {

using looptest::CRunningAgent;
using looptest::WaitFor;

struct LinkLog {
    std::vector<std::string> events; // "lost B", "back B", "dropped B 1"
    void Watch(CCommunicator& comm) {
        comm.set_link_observer([this](const CLinkEvent& e) {
            const char* kind = e.kind == CLinkEvent::Kind::Lost   ? "lost "
                               : e.kind == CLinkEvent::Kind::Back ? "back "
                                                                  : "dropped ";
            std::string line = kind + e.receiver;
            if (e.kind == CLinkEvent::Kind::Dropped) {
                line += " " + std::to_string(e.messages);
            }
            events.push_back(line);
        });
    }
    bool Has(const std::string& line) const {
        return std::find(events.begin(), events.end(), line) != events.end();
    }
};

class Links : public ::testing::Test {
protected:
    void SetUp() override {
        looptest::EnsureApp();
        std::string error;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0, error)) << error;
    }
    CNameServer server;
};

TEST_F(Links, AReceiverThatDiesIsLostAtOnceAndBackWhenItReturns) {
    CRunningAgent a("A", server.port());
    ASSERT_TRUE(a.ok);
    LinkLog log;
    log.Watch(a.comm());
    auto b = std::make_unique<CRunningAgent>("B", server.port());
    ASSERT_TRUE(b->ok && b->Register());
    ASSERT_TRUE(a.Send("B", "tell :n 1"));
    ASSERT_TRUE(WaitFor([&] { return b->agent->received.size() == 1; }));
    EXPECT_EQ(log.events, (std::vector<std::string>{"back B"}));

    // Nothing is waiting for B when it dies: the broken connection alone tells.
    b.reset();
    ASSERT_TRUE(WaitFor([&] { return log.Has("lost B"); }, 5000));
    ASSERT_TRUE(a.Send("B", "tell :n 2"));
    ASSERT_TRUE(WaitFor([&] { return log.Has("dropped B 1"); }));

    CRunningAgent b2("B", server.port());
    ASSERT_TRUE(b2.ok && b2.Register());
    ASSERT_TRUE(a.Send("B", "tell :n 3"));
    ASSERT_TRUE(WaitFor([&] { return b2.agent->received.size() == 1; }));
    EXPECT_EQ(log.events.back(), "back B");
    EXPECT_NE(b2.agent->received[0].find(":n 3"), std::string::npos);
}

TEST_F(Links, APeerThatAcceptsAndClosesDoesNotKeepUsConnecting) {
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
    QTcpSocket holder;
    holder.connectToHost(QHostAddress::LocalHost, server.port());
    ASSERT_TRUE(WaitFor([&] { return holder.state() == QAbstractSocket::ConnectedState; }));
    const std::string registration =
        "(register :name RUDE :port " + std::to_string(rude.serverPort()) + ")\n";
    holder.write(registration.data(), static_cast<qint64>(registration.size()));
    ASSERT_TRUE(WaitFor([&] { return holder.canReadLine(); }));

    CRunningAgent a("A", server.port());
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(a.Send("RUDE", "tell :n 1"));
    ASSERT_TRUE(WaitFor([&] { return accepted >= 1; }));
    // Let a loop show itself if there were one.
    QElapsedTimer settle;
    settle.start();
    WaitFor([&] { return settle.elapsed() > 500; });
    EXPECT_LE(accepted, 2);
}

} // namespace
} // namespace halyx
