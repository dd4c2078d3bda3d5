#include "external/kqml/parsertree.h"

#include "external/kqml/parser.h"

namespace halyx {

namespace {

// Nesting is bounded by the parser's depth limit, so this recursion is too.
void FillList(const CParser& parser, CParserTreeNode& node);

CParserTreeNode ValueNode(const CParser& parser, const CKqmlElement& element) {
    CParserTreeNode node;
    if (element.kind != KqmlElementKind::List) {
        node.text = std::string(parser.element_source(element));
        return node;
    }
    CParser inner;
    if (!inner.parse_message(parser.element_source(element))) {
        // A list that is no message (empty, or starting with a list) is shown as written.
        node.text = std::string(parser.element_source(element));
        return node;
    }
    FillList(inner, node);
    return node;
}

void FillList(const CParser& parser, CParserTreeNode& node) {
    const std::vector<CKqmlElement>& elements = parser.elements();
    node.text = parser.element_value(elements.front());
    std::size_t i = 1;
    while (i < elements.size()) {
        const CKqmlElement& element = elements[i];
        if (parser.is_keyword(element)) {
            CParserTreeNode keyword;
            keyword.text = std::string(parser.element_source(element));
            if (i + 1 < elements.size() && !parser.is_keyword(elements[i + 1])) {
                keyword.children.push_back(ValueNode(parser, elements[i + 1]));
                ++i;
            }
            node.children.push_back(std::move(keyword));
        } else {
            node.children.push_back(ValueNode(parser, element));
        }
        ++i;
    }
}

} // namespace

CKqmlParseResult CParserTree::ShowTree(std::string_view text) {
    Clear();
    CParser parser;
    const CKqmlParseResult result = parser.parse_message(text);
    if (result) {
        FillList(parser, m_root);
    }
    return result;
}

} // namespace halyx
