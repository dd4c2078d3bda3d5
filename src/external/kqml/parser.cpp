#include "external/kqml/parser.h"

#include "external/kqml/limits.h"
#include "external/kqml/scan.h"

namespace halyx {

using namespace kqmlscan;

namespace {

bool SameKeyword(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<unsigned char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<unsigned char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

std::size_t SkipSpace(std::string_view text, std::size_t i) {
    while (i < text.size() && IsSpace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    return i;
}

CKqmlParseResult Fail(KqmlStatus status, std::size_t offset) {
    return {status, offset};
}

} // namespace

CKqmlParseResult CParser::parse_message(std::string_view text) {
    m_elements.clear();
    m_text.clear();
    m_keywordList = false;
    m_result = Parse(text, false);
    if (!m_result) {
        m_elements.clear();
        m_text.clear();
    }
    return m_result;
}

CKqmlParseResult CParser::parse_list(std::string_view text) {
    m_elements.clear();
    m_text.clear();
    m_keywordList = false;
    m_result = Parse(text, true);
    if (!m_result) {
        m_elements.clear();
        m_text.clear();
        m_keywordList = false;
    }
    return m_result;
}

CKqmlParseResult CParser::Parse(std::string_view source, bool keywordListAllowed) {
    if (source.size() > kKqmlMaxMessageBytes) {
        return Fail(KqmlStatus::TooLarge, kKqmlMaxMessageBytes);
    }
    m_text.assign(source);
    const std::string_view text = m_text;
    const std::size_t n = text.size();

    std::size_t i = SkipSpace(text, 0);
    if (i == n) {
        return Fail(KqmlStatus::Empty, n);
    }
    const std::size_t listStart = i;
    const bool wrapped = text[i] == '(';
    if (wrapped) {
        ++i;
    }
    bool closed = false;
    for (;;) {
        i = SkipSpace(text, i);
        if (i == n) {
            break;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == ')') {
            if (!wrapped) {
                return Fail(KqmlStatus::UnexpectedClose, i);
            }
            ++i;
            closed = true;
            break;
        }
        if (IsStray(c)) {
            return Fail(KqmlStatus::StrayByte, i);
        }
        if (m_elements.size() >= kKqmlMaxElements) {
            return Fail(KqmlStatus::TooManyElements, i);
        }
        CKqmlElement element;
        std::size_t begin = i;
        std::size_t end = 0;
        std::size_t lengthBegin = 0;
        std::size_t length = 0;
        if (c == '(') {
            const ScanEnd s = ScanList(text, i, 1);
            if (s.status != KqmlStatus::Ok) {
                return Fail(s.status, s.end);
            }
            element.kind = KqmlElementKind::List;
            end = s.end;
            i = end;
        } else if (c == '"') {
            bool escapes = false;
            const ScanEnd s = ScanString(text, i, &escapes);
            if (s.status != KqmlStatus::Ok) {
                return Fail(s.status, s.end);
            }
            element.kind = KqmlElementKind::String;
            element.hasEscapes = escapes;
            begin = i + 1;
            end = s.end - 1;
            i = s.end;
        } else if (c == '#' && LengthPrefix(text, i, &lengthBegin, &length)) {
            if (length > n - lengthBegin) {
                return Fail(KqmlStatus::BadLengthString, i);
            }
            element.kind = KqmlElementKind::LengthString;
            begin = lengthBegin;
            end = lengthBegin + length;
            i = end;
        } else {
            end = ScanWord(text, i).end;
            i = end;
        }
        element.begin = static_cast<std::uint32_t>(begin);
        element.length = static_cast<std::uint32_t>(end - begin);
        m_elements.push_back(element);
    }
    if (wrapped && !closed) {
        return Fail(KqmlStatus::UnclosedList, n);
    }
    if (wrapped) {
        i = SkipSpace(text, i);
        if (i < n) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (c == ')') {
                return Fail(KqmlStatus::UnexpectedClose, i);
            }
            return Fail(IsStray(c) ? KqmlStatus::StrayByte : KqmlStatus::TrailingText, i);
        }
    }
    if (keywordListAllowed && !m_elements.empty() && is_keyword(m_elements.front())) {
        m_keywordList = true;
        return {KqmlStatus::Ok, n};
    }
    if (m_elements.empty() || m_elements.front().kind != KqmlElementKind::Word ||
        is_keyword(m_elements.front())) {
        return Fail(KqmlStatus::NoPerformative,
                    m_elements.empty() ? listStart : m_elements.front().begin);
    }
    return {KqmlStatus::Ok, n};
}

std::string_view CParser::element_source(const CKqmlElement& element) const {
    std::string_view text = m_text;
    switch (element.kind) {
    case KqmlElementKind::String:
        return text.substr(element.begin - 1, element.length + 2);
    case KqmlElementKind::LengthString: {
        // The prefix is '#', the digits and the quote just before the content.
        std::size_t start = element.begin - 1;
        while (start > 0 && text[start - 1] != '#') {
            --start;
        }
        return text.substr(start - 1, element.begin + element.length - (start - 1));
    }
    default:
        return text.substr(element.begin, element.length);
    }
}

std::string CParser::element_value(const CKqmlElement& element) const {
    const std::string_view raw = std::string_view(m_text).substr(element.begin, element.length);
    if (element.kind != KqmlElementKind::String || !element.hasEscapes) {
        return std::string(raw);
    }
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size()) {
            ++i;
        }
        out.push_back(raw[i]);
    }
    return out;
}

bool CParser::is_keyword(const CKqmlElement& element) const {
    return element.kind == KqmlElementKind::Word && element.length > 0 &&
           m_text[element.begin] == ':';
}

std::optional<std::string> CParser::find_performative() const {
    if (!m_result || m_elements.empty() || m_keywordList) {
        return std::nullopt;
    }
    return element_value(m_elements.front());
}

std::optional<std::string> CParser::find_token(std::string_view key) const {
    if (!m_result) {
        return std::nullopt;
    }
    if (!key.empty() && key.front() == ':') {
        key.remove_prefix(1);
    }
    const std::size_t count = m_elements.size();
    std::size_t i = m_keywordList ? 0 : 1;
    while (i < count) {
        const CKqmlElement& element = m_elements[i];
        if (!is_keyword(element)) {
            ++i;
            continue;
        }
        const bool hasValue = i + 1 < count && !is_keyword(m_elements[i + 1]);
        const std::string_view name =
            std::string_view(m_text).substr(element.begin + 1, element.length - 1);
        if (SameKeyword(name, key)) {
            if (!hasValue) {
                return std::nullopt;
            }
            return element_value(m_elements[i + 1]);
        }
        i += hasValue ? 2 : 1;
    }
    return std::nullopt;
}

} // namespace halyx
