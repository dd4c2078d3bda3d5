#include "record/teamline.h"

#include "common/numtext.h"

namespace halyx {

namespace {

constexpr std::string_view kOpen = "<!-- team:";
constexpr std::string_view kClose = "-->";
constexpr std::string_view kSeparator = " | ";

bool NeedsEncoding(unsigned char c) {
    return c <= 0x20 || c == 0x7F || c == '%' || c == '|' || c == '-' || c == '<' || c == '>' ||
           c == '&';
}

std::string Decode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
            HexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

std::string TeamCommentLine(const std::vector<std::string>& team) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out(kOpen);
    for (size_t i = 0; i < team.size(); ++i) {
        out += i == 0 ? " " : kSeparator;
        for (const char c : team[i]) {
            const auto byte = static_cast<unsigned char>(c);
            if (NeedsEncoding(byte)) {
                out += '%';
                out += kHex[byte >> 4];
                out += kHex[byte & 0x0F];
            } else {
                out += c;
            }
        }
    }
    out += ' ';
    out += kClose;
    out += '\n';
    return out;
}

bool ReadTeamComment(std::string_view comment, std::vector<std::string>& team) {
    if (!comment.starts_with(kOpen) || !comment.ends_with(kClose)) {
        return false;
    }
    std::string_view list =
        comment.substr(kOpen.size(), comment.size() - kOpen.size() - kClose.size());
    // The writer puts one blank after the colon and one before the end; a name never holds a
    // raw blank, so a list of one blank is the empty team.
    team.clear();
    if (list == " ") {
        return true;
    }
    if (list.size() < 2 || list.front() != ' ' || list.back() != ' ') {
        return false;
    }
    list = list.substr(1, list.size() - 2);
    while (true) {
        const size_t bar = list.find(kSeparator);
        team.push_back(Decode(list.substr(0, bar)));
        if (bar == std::string_view::npos) {
            return true;
        }
        list.remove_prefix(bar + kSeparator.size());
    }
}

} // namespace halyx
