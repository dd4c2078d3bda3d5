#pragma once

// The structure of a message for display: the performative at the root, under it each keyword
// (":sender", ":content", ...) with its value below it; a value that is a list becomes a subtree
// of the same shape.
//
//   CParserTree tree;
//   if (tree.ShowTree(text)) {
//       const CParserTreeNode& root = tree.root();     // root.text == "tell"
//       for (const CParserTreeNode& item : root.children) ...   // ":sender" -> "S1", ...
//   }

#include "external/kqml/parseresult.h"

#include <string>
#include <string_view>
#include <vector>

namespace halyx {

struct CParserTreeNode {
    std::string text;
    std::vector<CParserTreeNode> children;
};

class CParserTree {
public:
    // Builds the tree of text; on failure the tree is empty and the result says why.
    CKqmlParseResult ShowTree(std::string_view text);
    const CParserTreeNode& root() const { return m_root; }
    void Clear() { m_root = CParserTreeNode(); }

private:
    CParserTreeNode m_root;
};

} // namespace halyx
