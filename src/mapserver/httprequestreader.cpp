#include "mapserver/httprequestreader.h"

#include <algorithm>
#include <cctype>

namespace halyx {

namespace {

bool IsTokenChar(unsigned char c) {
    if (std::isalnum(c) != 0) {
        return true;
    }
    return std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return IsTokenChar(static_cast<unsigned char>(c));
    });
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// Whether a comma-separated header value lists token (case-insensitive).
bool ListsToken(std::string_view value, std::string_view token) {
    while (!value.empty()) {
        const std::size_t comma = value.find(',');
        if (Lower(Trim(value.substr(0, comma))) == token) {
            return true;
        }
        if (comma == std::string_view::npos) {
            break;
        }
        value.remove_prefix(comma + 1);
    }
    return false;
}

CHttpHead Bad(int code, std::string problem) {
    CHttpHead head;
    head.status = CHttpHead::Status::Bad;
    head.errorCode = code;
    head.problem = std::move(problem);
    return head;
}

// One line without its end ("\r\n", or a bare "\n" as lenient clients send).
std::string_view LineAt(std::string_view head, std::size_t& pos) {
    const std::size_t end = head.find('\n', pos);
    std::string_view line = head.substr(pos, end - pos);
    pos = end == std::string_view::npos ? head.size() : end + 1;
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

} // namespace

CHttpHead ReadHttpHead(std::string_view input) {
    // Blank lines before a request are allowed (and skipped) between pipelined requests.
    std::size_t start = 0;
    while (start < input.size() && start < CHttpHead::kMaxHeadBytes &&
           (input[start] == '\r' || input[start] == '\n')) {
        ++start;
    }
    // The head ends at the first empty line.
    std::size_t end = std::string_view::npos;
    for (std::size_t pos = input.find('\n', start); pos != std::string_view::npos;
         pos = input.find('\n', pos + 1)) {
        if (pos + 1 < input.size() && input[pos + 1] == '\n') {
            end = pos + 2;
            break;
        }
        if (pos + 2 < input.size() && input[pos + 1] == '\r' && input[pos + 2] == '\n') {
            end = pos + 3;
            break;
        }
    }
    if (end == std::string_view::npos || end > CHttpHead::kMaxHeadBytes) {
        if (std::min(input.size(), end) < CHttpHead::kMaxHeadBytes) {
            return CHttpHead{};
        }
        // Over the bound: the request line alone (414) or the headers (431).
        const std::size_t firstLineEnd = input.find('\n', start);
        if (firstLineEnd == std::string_view::npos || firstLineEnd >= CHttpHead::kMaxHeadBytes) {
            return Bad(414, "request line longer than 16 KiB");
        }
        return Bad(431, "request head longer than 16 KiB");
    }

    const std::string_view head = input.substr(0, end);
    std::size_t pos = start;
    const std::string_view requestLine = LineAt(head, pos);
    const std::size_t sp1 = requestLine.find(' ');
    const std::size_t sp2 = sp1 == std::string_view::npos ? sp1 : requestLine.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || requestLine.find(' ', sp2 + 1) != std::string_view::npos) {
        return Bad(400, "malformed request line");
    }
    const std::string_view method = requestLine.substr(0, sp1);
    const std::string_view target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string_view version = requestLine.substr(sp2 + 1);
    if (!IsToken(method) || target.empty()) {
        return Bad(400, "malformed request line");
    }
    for (const char c : target) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7f) {
            return Bad(400, "control byte in the request target");
        }
    }
    if (!version.starts_with("HTTP/")) {
        return Bad(400, "malformed request line");
    }
    if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        return Bad(505, "unsupported version");
    }

    CHttpHead out;
    out.method = std::string(method);
    out.target = std::string(target);
    out.http10 = version == "HTTP/1.0";
    out.keepAlive = !out.http10;
    bool sawLength = false;
    std::string_view length;
    while (pos < head.size()) {
        const std::string_view line = LineAt(head, pos);
        if (line.empty()) {
            break;
        }
        const std::size_t colon = line.find(':');
        // A folded line (leading blank) or a line without a name is refused: it is how requests
        // are smuggled past servers that read them differently.
        if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) {
            return Bad(400, "malformed header line");
        }
        const std::string name = Lower(line.substr(0, colon));
        const std::string_view value = Trim(line.substr(colon + 1));
        if (name == "content-length") {
            if (value.empty() || value.size() > 18 ||
                value.find_first_not_of("0123456789") != std::string_view::npos ||
                (sawLength && value != length)) {
                return Bad(400, "bad Content-Length");
            }
            sawLength = true;
            length = value;
            out.hasBody = out.hasBody || value.find_first_not_of('0') != std::string_view::npos;
        } else if (name == "transfer-encoding") {
            out.hasBody = true;
        } else if (name == "connection") {
            if (ListsToken(value, "close")) {
                out.keepAlive = false;
            } else if (ListsToken(value, "keep-alive")) {
                out.keepAlive = true;
            }
        }
    }
    out.status = CHttpHead::Status::Complete;
    out.consumed = end;
    return out;
}

} // namespace halyx
