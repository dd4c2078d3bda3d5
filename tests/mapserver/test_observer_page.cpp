// The live observer page over a real socket: the run's key, the newest state on every stream,
// a bounded number of streams, and readers that fall behind skip to the newest state.
#include "mapserver/mapserver.h"
#include "mapserver/observeraccess.h"

#include "rawhttp.h"
#include "testapp.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QThread>

#include <memory>
#include <string>
#include <vector>

namespace halyx {
namespace {

class ObserverPage : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::TestApp("test_mapserver"); }

    void Start(const CMapServer::Limits& limits = {}, bool observer = true) {
        m_server.SetLimits(limits);
        if (observer) {
            m_key = MakeObserverKey();
            ASSERT_EQ(m_key.size(), 32u);
            m_server.EnableObserver(m_key);
        }
        std::string error;
        ASSERT_TRUE(m_server.Listen(QHostAddress::LocalHost, 0, error)) << error;
    }

    std::unique_ptr<QTcpSocket> Open(const std::string& target, bool close = false) {
        auto socket = test::HttpConnect(m_server.Port());
        EXPECT_EQ(socket->state(), QAbstractSocket::ConnectedState);
        const std::string request = "GET " + target + " HTTP/1.1\r\nHost: localhost\r\n" +
                                    (close ? "Connection: close\r\n\r\n" : "\r\n");
        socket->write(request.data(), static_cast<qint64>(request.size()));
        socket->waitForBytesWritten(5000);
        return socket;
    }

    // What a connection has answered once it holds what (or after five seconds).
    static std::string Until(QTcpSocket& socket, const std::string& what) {
        std::string in;
        return test::HttpReadUntil(socket, in, what);
    }

    std::string Fetch(const std::string& target) { return Until(*Open(target, true), "</html>"); }

    CMapServer m_server;
    std::string m_key;
};

TEST_F(ObserverPage, OnlyTheKeyOfThisRunOpensThePageAndTheStream) {
    Start();
    EXPECT_NE(MakeObserverKey(), m_key);
    const std::vector<std::string> refused = {"/live",
                                              "/live?key=",
                                              "/live?key=" + m_key.substr(1),
                                              "/live?key=" + m_key + "0",
                                              "/live?key=" + std::string(32, '0'),
                                              "/live/events?key=x",
                                              "/live?other=" + m_key};
    for (const std::string& target : refused) {
        EXPECT_EQ(test::HttpStatus(Fetch(target)), 403) << target;
    }
    const std::string page = Fetch("/live?lang=en&key=" + m_key);
    EXPECT_EQ(test::HttpStatus(page), 200);
    EXPECT_NE(page.find("Content-Type: text/html; charset=utf-8\r\n"), std::string::npos);
    EXPECT_NE(page.find("Content-Security-Policy: default-src 'none';"), std::string::npos);
    EXPECT_NE(page.find("EventSource"), std::string::npos);
    // Nothing on the page is fetched from another host.
    EXPECT_EQ(page.find("src=\"http"), std::string::npos);
    EXPECT_EQ(page.find("href=\"http"), std::string::npos);

    EXPECT_EQ(QueryKey("a=1&key=abc&key=def"), "abc");
    EXPECT_EQ(QueryKey("akey=abc"), "");
    EXPECT_FALSE(ObserverKeyMatches("", ""));
}

TEST_F(ObserverPage, WithoutTheObserverThePathsAreNoMaps) {
    Start({}, false);
    EXPECT_EQ(test::HttpStatus(Fetch("/live?key=")), 404);
    EXPECT_EQ(test::HttpStatus(Fetch("/live/events")), 404);
}

TEST_F(ObserverPage, AStreamGetsTheLatestStateAtOnceAndEachNewOne) {
    Start();
    m_server.PublishObserverState(R"({"minute":1})");
    auto stream = Open("/live/events?key=" + m_key);
    std::string in;
    test::HttpReadUntil(*stream, in, "data: {\"minute\":1}\n\n");
    ASSERT_EQ(test::HttpStatus(in), 200) << in;
    EXPECT_NE(in.find("Content-Type: text/event-stream"), std::string::npos);
    EXPECT_NE(in.find("event: state\ndata: {\"minute\":1}\n\n"), std::string::npos) << in;
    EXPECT_EQ(m_server.ObserverStreams(), 1);

    // A line break inside the text cannot end the event or forge a field of its own.
    m_server.PublishObserverState("{\"minute\":2,\r\n\"x\":\"\ndata: forged\"}");
    QElapsedTimer timer;
    timer.start();
    test::HttpReadUntil(*stream, in, "forged\"}\n\n");
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_NE(
        in.find("event: state\ndata: {\"minute\":2,\ndata: \"x\":\"\ndata: data: forged\"}\n\n"),
        std::string::npos)
        << in;

    // A stream that has the state before gets only what changed; a new one the whole state.
    m_server.PublishObserverState(R"({"minute":3,"big":"...."})", R"({"minute":3})");
    test::HttpReadUntil(*stream, in, "event: update\ndata: {\"minute\":3}\n\n");
    EXPECT_NE(in.find("event: update\ndata: {\"minute\":3}\n\n"), std::string::npos) << in;
    EXPECT_EQ(in.find("\"big\""), std::string::npos);
    auto late = Open("/live/events?key=" + m_key);
    const std::string whole = Until(*late, "\"big\"");
    EXPECT_NE(whole.find("event: state\ndata: {\"minute\":3,\"big\":\"....\"}\n\n"),
              std::string::npos)
        << whole;
    // The map picture under the page, with the key only.
    EXPECT_EQ(test::HttpStatus(Fetch("/live/map.png?key=" + m_key)), 404);
    m_server.PublishObserverMap("\x89PNG-picture");
    const std::string picture = Fetch("/live/map.png?key=" + m_key);
    EXPECT_EQ(test::HttpStatus(picture), 200);
    EXPECT_TRUE(picture.ends_with("\r\n\r\n\x89PNG-picture")) << picture;
    EXPECT_EQ(test::HttpStatus(Fetch("/live/map.png?key=x")), 403);
}

TEST_F(ObserverPage, StreamsAreCappedAndAClosedOneFreesItsPlace) {
    CMapServer::Limits limits;
    limits.maxStreams = 2;
    Start(limits);
    auto first = Open("/live/events?key=" + m_key);
    auto second = Open("/live/events?key=" + m_key);
    ASSERT_EQ(test::HttpStatus(Until(*first, "retry:")), 200);
    ASSERT_EQ(test::HttpStatus(Until(*second, "retry:")), 200);
    const std::string third = Until(*Open("/live/events?key=" + m_key), "observers");
    EXPECT_EQ(test::HttpStatus(third), 503) << third;
    // The page itself is still served: it is not a stream.
    EXPECT_EQ(test::HttpStatus(Fetch("/live?key=" + m_key)), 200);

    first->abort();
    QElapsedTimer timer;
    timer.start();
    while (m_server.ObserverStreams() > 1 && timer.elapsed() < 5000) {
        QThread::msleep(10);
    }
    auto fourth = Open("/live/events?key=" + m_key);
    const std::string answer = Until(*fourth, "retry:");
    EXPECT_EQ(test::HttpStatus(answer), 200) << answer;
}

TEST_F(ObserverPage, AReaderThatFallsBehindSkipsToTheNewestState) {
    CMapServer::Limits limits;
    limits.streamQueueBytes = 64 * 1024;
    Start(limits);
    auto stream = Open("/live/events?key=" + m_key);
    stream->setReadBufferSize(4096);
    std::string in;
    test::HttpReadUntil(*stream, in, "retry:");
    // 200 states of 100 KiB, 20 MB in all, while the reader takes nothing.
    const std::string filler(100 * 1024, 'f');
    for (int i = 0; i < 200; ++i) {
        m_server.PublishObserverState("{\"n\":" + std::to_string(i) + ",\"f\":\"" + filler + "\"}");
        QThread::msleep(2);
    }
    QThread::msleep(300);
    stream->setReadBufferSize(0);
    test::HttpReadUntil(*stream, in, "{\"n\":199,", 10000);
    EXPECT_NE(in.find("{\"n\":199,"), std::string::npos);
    // What reached the reader is a few states, not the backlog of all of them.
    EXPECT_LT(in.size(), std::size_t{8} << 20);
    EXPECT_EQ(m_server.ObserverStreams(), 1);
}

} // namespace
} // namespace halyx
