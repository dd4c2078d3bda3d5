// Any bytes given to the parser: no crash, no sanitizer report, and the answers agree with each
// other (every value of a good message can be looked up, lists parse again, values written
// back as words or strings read back the same, list reading agrees with message reading).
#include "external/kqml/message.h"
#include "external/kqml/parser.h"
#include "external/kqml/parsertree.h"
#include "external/kqml/utils.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace halyx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CParser parser;
    const CKqmlParseResult result = parser.parse_message(text);
    if (result.offset > size) {
        std::abort();
    }
    CUtils::remove_parenthesis(text);
    IsSingleKqmlList(text);
    // The list reading accepts everything the message reading does, and keyword lists besides.
    CParser list;
    const CKqmlParseResult listResult = list.parse_list(text);
    if ((result && !listResult) || (listResult && !list.is_keyword_list() && !result) ||
        (list.is_keyword_list() && list.find_performative())) {
        std::abort();
    }
    for (const std::string_view key : {"count", "command"}) {
        list.find_token(key);
    }
    if (!result) {
        if (parser.find_performative() || !parser.elements().empty()) {
            std::abort();
        }
        return 0;
    }
    for (const std::string_view key : {"sender", "content", "reply-with", "command", ""}) {
        parser.find_token(key);
    }
    int lists = 0;
    for (const CKqmlElement& element : parser.elements()) {
        const std::string value = parser.element_value(element);
        if (element.kind == KqmlElementKind::List && ++lists <= 4) {
            CParser inner;
            const CKqmlParseResult again = inner.parse_message(value);
            // A nested list is balanced; only an empty list or one without a performative fails.
            if (!again && again.status != KqmlStatus::NoPerformative &&
                again.status != KqmlStatus::TooManyElements) {
                std::abort();
            }
        }
        if (element.kind != KqmlElementKind::List) {
            std::string written = "(tell :v ";
            AppendKqmlValue(written, value);
            written.push_back(')');
            CParser back;
            if (!back.parse_message(written) || back.find_token("v") != value) {
                std::abort();
            }
        }
    }
    if (size < 4096) {
        CParserTree tree;
        if (!tree.ShowTree(text)) {
            std::abort();
        }
    }
    return 0;
}
