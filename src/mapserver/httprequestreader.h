#pragma once

// Reads the head of one HTTP/1.x request (request line and headers) from the front of what a
// connection has sent so far. Kept apart from the server so that it can be tested and fuzzed
// without a socket. The head is bounded: a server keeps at most kMaxHeadBytes of a connection's
// input, and answers 414 or 431 when the head does not end within them.
//
//   const CHttpHead head = ReadHttpHead(buffer);
//   if (head.status == CHttpHead::Status::NeedMore) wait for more;
//   else if (head.status == CHttpHead::Status::Bad) answer head.errorCode and close;
//   else { serve head; buffer.erase(0, head.consumed); }

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace halyx {

struct CHttpHead {
    // Request line and headers together, with their line ends.
    static constexpr std::size_t kMaxHeadBytes = 16 * 1024;

    enum class Status { NeedMore, Complete, Bad };
    Status status = Status::NeedMore;
    int errorCode = 0;   // with Bad: 400, 414, 431, 501 or 505
    std::string problem; // with Bad: what was wrong, for a log line
    std::size_t consumed = 0;

    std::string method;
    std::string target;
    bool http10 = false;
    // The connection stays open after the answer (HTTP/1.1 unless "Connection: close"; HTTP/1.0
    // only with "Connection: keep-alive").
    bool keepAlive = true;
    // The request announces a body (a non-zero Content-Length, or any Transfer-Encoding).
    bool hasBody = false;
};

CHttpHead ReadHttpHead(std::string_view input);

} // namespace halyx
