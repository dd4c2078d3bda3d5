#include "external/kqml/message.h"

#include "external/kqml/scan.h"

namespace halyx {

using namespace kqmlscan;

bool IsKqmlWord(std::string_view text) {
    if (text.empty() || text.front() == ':') {
        return false;
    }
    for (const char c : text) {
        // Common KQML readers take a quote, a backquote, '#' or ',' as quotation or read-macro
        // syntax and refuse the whole message; such a value goes out as a string.
        if (EndsWord(static_cast<unsigned char>(c)) || c == '\'' || c == '`' || c == '#' ||
            c == ',') {
            return false;
        }
    }
    return true;
}

void AppendKqmlValue(std::string& out, std::string_view text) {
    if (IsKqmlWord(text)) {
        out.append(text);
        return;
    }
    out.push_back('"');
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
}

bool IsSingleKqmlList(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsSpace(static_cast<unsigned char>(text[first]))) {
        ++first;
    }
    while (last > first && IsSpace(static_cast<unsigned char>(text[last - 1]))) {
        --last;
    }
    if (first == last || text[first] != '(') {
        return false;
    }
    const std::string_view body = text.substr(first, last - first);
    const ScanEnd end = ScanList(body, 0, 0);
    return end.status == KqmlStatus::Ok && end.end == body.size();
}

std::string CKqmlMessage::ToText() const {
    std::string out;
    out.reserve(96 + sender.size() + receiver.size() + content.size());
    out.push_back('(');
    AppendKqmlValue(out, performative);
    auto field = [&out](const char* keyword, const std::string& value, bool always) {
        if (value.empty() && !always) {
            return;
        }
        out.append(keyword);
        AppendKqmlValue(out, value);
    };
    field(" :sender ", sender, true);
    field(" :receiver ", receiver, true);
    field(" :language ", language, false);
    field(" :ontology ", ontology, false);
    field(" :reply-with ", replyWith, false);
    field(" :in-reply-to ", inReplyTo, false);
    field(" :protocol ", protocol, false);
    if (!content.empty()) {
        out.append(" :content ");
        if (IsSingleKqmlList(content)) {
            out.append(content);
        } else {
            out.push_back('(');
            out.append(content);
            out.push_back(')');
        }
    }
    out.push_back(')');
    return out;
}

} // namespace halyx
