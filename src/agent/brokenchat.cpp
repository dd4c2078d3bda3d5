#include "agent/brokenchat.h"

#include <cstddef>
#include <vector>

namespace halyx {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool EndsWord(char c) {
    return IsBlank(c) || c == '(' || c == ')' || c == '"';
}

// One pass over the text as a KQML reader would take it, keeping the keyword values of the
// message (depth 1) and of its content (depth 2), up to the point where `:message (` opens at
// the content's level.
struct CLenientScan {
    std::string sender;
    std::string command;
    std::string to;
    std::string from;
    std::size_t messageStart = std::string_view::npos; // first byte after `:message (`
    std::size_t depthInside = 0;                       // lists open there, its own included
};

CLenientScan Scan(std::string_view text) {
    CLenientScan scan;
    std::size_t depth = 0;
    std::string key; // keyword waiting for its value
    std::size_t keyDepth = 0;
    auto assign = [&](const std::string& value) {
        if (keyDepth == 1 && key == ":sender") {
            scan.sender = value;
        } else if (keyDepth == 2 && key == ":command") {
            scan.command = value;
        } else if (keyDepth == 2 && key == ":to") {
            scan.to = value;
        } else if (keyDepth == 2 && key == ":from") {
            scan.from = value;
        }
        key.clear();
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (IsBlank(c)) {
            ++i;
        } else if (c == '(') {
            ++depth;
            ++i;
            if (!key.empty()) {
                if (key == ":message" && keyDepth == 2) {
                    scan.messageStart = i;
                    scan.depthInside = depth;
                    return scan;
                }
                key.clear();
            }
        } else if (c == ')') {
            if (depth == 0) {
                return scan;
            }
            --depth;
            key.clear();
            ++i;
        } else if (c == '"') {
            std::string value;
            ++i;
            while (i < text.size() && text[i] != '"') {
                if (text[i] == '\\' && i + 1 < text.size()) {
                    ++i;
                }
                value.push_back(text[i]);
                ++i;
            }
            if (i >= text.size()) {
                return scan; // an open string: nothing after it can be trusted
            }
            ++i;
            if (!key.empty()) {
                assign(value);
            }
        } else {
            const std::size_t start = i;
            while (i < text.size() && !EndsWord(text[i])) {
                ++i;
            }
            const std::string word(text.substr(start, i - start));
            if (word.size() > 1 && word[0] == ':') {
                key = word;
                keyDepth = depth;
            } else if (!key.empty()) {
                assign(word);
            }
        }
    }
    return scan;
}

// Where the list opened just before start closes (strings honoured); npos when it does not.
std::size_t ListEnd(std::string_view text, std::size_t start) {
    std::size_t depth = 1;
    bool inString = false;
    for (std::size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            return i;
        }
    }
    return std::string_view::npos;
}

// True when only `:keyword value` pairs and closing parentheses follow from: what a station
// writes after a message it read normally (`:message (TEXT) :from ALPHA))`). A word that is no
// keyword there was left on the line by a ')' in the text.
bool OnlyKeywordsFollow(std::string_view text, std::size_t from) {
    bool wantValue = false;
    std::size_t i = from;
    while (i < text.size()) {
        const char c = text[i];
        if (IsBlank(c) || (c == ')' && !wantValue)) {
            ++i;
        } else if (c == ')') {
            return false; // a keyword without its value
        } else if (c == '(' || c == '"') {
            if (!wantValue) {
                return false;
            }
            if (c == '(') {
                const std::size_t end = ListEnd(text, i + 1);
                if (end == std::string_view::npos) {
                    return false;
                }
                i = end + 1;
            } else {
                for (++i; i < text.size() && text[i] != '"'; ++i) {
                    i += text[i] == '\\' ? 1 : 0;
                }
                if (i >= text.size()) {
                    return false;
                }
                ++i;
            }
            wantValue = false;
        } else {
            const std::size_t start = i;
            while (i < text.size() && !EndsWord(text[i])) {
                ++i;
            }
            if (!wantValue && (i - start < 2 || text[start] != ':')) {
                return false;
            }
            wantValue = !wantValue;
        }
    }
    return !wantValue;
}

} // namespace

std::optional<CRecoveredChat> RecoverChat(std::string_view text, bool parsed) {
    const CLenientScan scan = Scan(text);
    if (scan.messageStart == std::string_view::npos || scan.command != "subject_communication") {
        return std::nullopt;
    }
    std::string_view tail = text.substr(scan.messageStart);
    while (!tail.empty() && IsBlank(tail.back())) {
        tail.remove_suffix(1);
    }
    std::size_t closing = 0;
    while (closing < tail.size() && tail[tail.size() - 1 - closing] == ')') {
        ++closing;
    }
    std::size_t strip = 0;
    if (parsed) {
        // Read normally unless words other than the content's own keywords are left after the
        // message's list: then the text held a ')' that closed it early, and the rest of the
        // text was left on the line, after the message.
        const std::size_t end = ListEnd(text, scan.messageStart);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        if (OnlyKeywordsFollow(text, end + 1)) {
            return std::nullopt;
        }
        // One ')' too many in the text is by far the common case ("ok) fine", ":-)"): the
        // parentheses that closed the lists are all but that one.
        strip = closing < scan.depthInside - 1 ? closing : scan.depthInside - 1;
    } else {
        if (closing < scan.depthInside) {
            return std::nullopt;
        }
        strip = scan.depthInside;
    }
    CRecoveredChat chat;
    chat.sender = scan.sender;
    chat.to = scan.to;
    chat.from = scan.from;
    chat.message = std::string(tail.substr(0, tail.size() - strip));
    return chat;
}

std::string ReadSenderLeniently(std::string_view text) {
    return Scan(text).sender;
}

} // namespace halyx
