// What the TCP transport tells an agent about where a message came from, and the machines it
// lets in at all: the address of each connection (the whole 127/8 range is this machine, so
// 127.0.0.2 plays another host) and the allowed-hosts list.
#include "looptest.h"

#include "external/agentkit/net/tcpcommunicator.h"

#include <QTcpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace halyx {
namespace {

using looptest::WaitFor;

class SenderAddresses : public ::testing::Test {
protected:
    void SetUp() override {
        looptest::EnsureApp();
        agent.init_beliefs();
        std::string error;
        ASSERT_TRUE(comm.listen(QHostAddress::AnyIPv4, 0, error)) << error;
    }

    // A connection from the given local address to the agent, with one message sent on it.
    std::unique_ptr<QTcpSocket> SendFrom(const char* from, const std::string& content) {
        auto socket = std::make_unique<QTcpSocket>();
        EXPECT_TRUE(socket->bind(QHostAddress(QString::fromLatin1(from)), 0)) << from;
        socket->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(comm.get_port()));
        // A refused connection may be accepted and closed before the loop sees it connected.
        auto connected = std::make_shared<bool>(false);
        QObject::connect(socket.get(), &QAbstractSocket::connected, socket.get(),
                         [connected] { *connected = true; });
        EXPECT_TRUE(WaitFor(
            [&] { return *connected || socket->state() == QAbstractSocket::UnconnectedState; }));
        const std::string text = "(tell :sender ALPHA :content (" + content + "))\n";
        socket->write(text.data(), static_cast<qint64>(text.size()));
        socket->flush();
        return socket;
    }

    looptest::CRecordingAgent agent{"Peer"};
    CTcpCommunicator comm{agent};
};

TEST_F(SenderAddresses, OutsideTheAllowedHostsAConnectionIsClosedUnread) {
    std::vector<CTcpCommunicator::Subnet> allowed;
    std::string error;
    ASSERT_TRUE(CTcpCommunicator::ParseAllowedHosts("127.0.0.1/32", allowed, error)) << error;
    comm.set_allowed_hosts(allowed);

    auto outsider = SendFrom("127.0.0.2", "tell :command forged");
    EXPECT_TRUE(
        WaitFor([&] { return outsider->state() == QAbstractSocket::UnconnectedState; }, 10000));
    auto local = SendFrom("127.0.0.1", "tell :command real");
    ASSERT_TRUE(WaitFor([&] { return agent.received.size() == 1; }));
    EXPECT_NE(agent.received[0].find("real"), std::string::npos);
    EXPECT_EQ(agent.peers[0], "127.0.0.1");
    EXPECT_EQ(comm.refused_connections(), 1u);
    EXPECT_EQ(local->state(), QAbstractSocket::ConnectedState);
    EXPECT_NE(std::find(agent.debugLines.begin(), agent.debugLines.end(),
                        "connection from 127.0.0.2 refused: not in the allowed hosts"),
              agent.debugLines.end());
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

} // namespace
} // namespace halyx
