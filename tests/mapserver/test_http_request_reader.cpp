// The request head reader: where a head ends, which requests announce a body, which
// connections stay open, and every refusal with its status.
#include "mapserver/httprequestreader.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

using Status = CHttpHead::Status;

TEST(HttpHeadReading, ACompleteHeadIsReadUpToItsEmptyLine) {
    const std::string two =
        "GET /maps/a.txt HTTP/1.1\r\nHost: x\r\n\r\nHEAD /maps/b.txt HTTP/1.0\n\n";
    const CHttpHead first = ReadHttpHead(two);
    ASSERT_EQ(first.status, Status::Complete);
    EXPECT_EQ(first.method, "GET");
    EXPECT_EQ(first.target, "/maps/a.txt");
    EXPECT_TRUE(first.keepAlive);
    EXPECT_FALSE(first.hasBody);
    const CHttpHead second = ReadHttpHead(std::string_view(two).substr(first.consumed));
    ASSERT_EQ(second.status, Status::Complete);
    EXPECT_EQ(second.method, "HEAD");
    EXPECT_TRUE(second.http10);
    EXPECT_FALSE(second.keepAlive);
    // Not there yet: every prefix of a head asks for more.
    for (std::size_t n = 0; n < first.consumed; ++n) {
        EXPECT_EQ(ReadHttpHead(std::string_view(two).substr(0, n)).status, Status::NeedMore) << n;
    }
}

TEST(HttpHeadReading, BodiesAndConnectionWishesAreSeen) {
    EXPECT_TRUE(ReadHttpHead("POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\n").hasBody);
    EXPECT_FALSE(ReadHttpHead("POST / HTTP/1.1\r\ncontent-length: 000\r\n\r\n").hasBody);
    EXPECT_TRUE(ReadHttpHead("GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n").hasBody);
    EXPECT_FALSE(ReadHttpHead("GET / HTTP/1.1\r\nConnection: keep-alive, Close\r\n\r\n").keepAlive);
    EXPECT_TRUE(ReadHttpHead("GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n").keepAlive);
}

TEST(HttpHeadReading, MalformedAndOversizedHeadsAreRefusedWithTheirStatus) {
    const auto code = [](const std::string& text) {
        const CHttpHead head = ReadHttpHead(text);
        return head.status == Status::Bad ? head.errorCode : 0;
    };
    EXPECT_EQ(code("GET /\r\n\r\n"), 400);
    EXPECT_EQ(code("GET  / HTTP/1.1\r\n\r\n"), 400);
    EXPECT_EQ(code("GET / HTTP/1.1 extra\r\n\r\n"), 400);
    EXPECT_EQ(code("G(T / HTTP/1.1\r\n\r\n"), 400);
    EXPECT_EQ(code("GET /a\x01 HTTP/1.1\r\n\r\n"), 400);
    EXPECT_EQ(code("GET / FTP/1.1\r\n\r\n"), 400);
    EXPECT_EQ(code("GET / HTTP/2.0\r\n\r\n"), 505);
    EXPECT_EQ(code("GET / HTTP/1.1\r\n folded: no\r\n\r\n"), 400);
    EXPECT_EQ(code("GET / HTTP/1.1\r\nNoColon\r\n\r\n"), 400);
    EXPECT_EQ(code("GET / HTTP/1.1\r\nContent-Length: -1\r\n\r\n"), 400);
    EXPECT_EQ(code("GET / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n"), 400);
    EXPECT_EQ(code("GET / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n"), 400);

    // The bound: a head of exactly 16 KiB is read, one byte more is refused; a request line
    // that has not ended within it is 414, headers that have not are 431.
    const std::size_t max = CHttpHead::kMaxHeadBytes;
    std::string exact = "GET / HTTP/1.1\r\nX: ";
    exact += std::string(max - exact.size() - 4, 'x') + "\r\n\r\n";
    ASSERT_EQ(exact.size(), max);
    EXPECT_EQ(ReadHttpHead(exact).status, Status::Complete);
    EXPECT_EQ(code(exact.insert(20, "x")), 431);
    EXPECT_EQ(code("GET /" + std::string(max, 'a')), 414);
    EXPECT_EQ(ReadHttpHead("GET /" + std::string(max - 6, 'a')).status, Status::NeedMore);
    EXPECT_EQ(code("GET / HTTP/1.1\r\n" + std::string(max, 'h')), 431);
    EXPECT_EQ(code(std::string(max + 10, '\n')), 414);
}

} // namespace
} // namespace halyx
