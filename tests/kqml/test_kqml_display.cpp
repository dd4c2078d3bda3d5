// What the message page shows: the tree of a message, and chat texts without their parentheses.
#include "external/kqml/parsertree.h"
#include "external/kqml/utils.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

// The whole tree in one line: each node's text, its children in brackets.
std::string Dump(const CParserTreeNode& node) {
    std::string out = node.text;
    if (!node.children.empty()) {
        out += " [";
        for (const CParserTreeNode& child : node.children) {
            out += (&child == &node.children.front() ? "" : ", ") + Dump(child);
        }
        out += "]";
    }
    return out;
}

TEST(KqmlTree, PerformativeAtRootKeywordsBelowAndListsAsSubtrees) {
    CParserTree tree;
    ASSERT_TRUE(tree.ShowTree("(tell :sender S1 :receiver HC :content (tell :command deploy "
                              ":id 7) :note \"a b\" :points ((1 2) (3 4)) :none () :flag)"));
    // A list that is no message is shown as written.
    EXPECT_EQ(Dump(tree.root()), "tell [:sender [S1], :receiver [HC], :content [tell [:command "
                                 "[deploy], :id [7]]], :note [\"a b\"], :points [((1 2) (3 4))], "
                                 ":none [()], :flag]");

    // A malformed message leaves an empty tree.
    EXPECT_EQ(tree.ShowTree("(tell :a (1)").status, KqmlStatus::UnclosedList);
    EXPECT_EQ(Dump(tree.root()), "");
}

TEST(KqmlChatText, OnlyOneEnclosingListLosesItsParentheses) {
    const std::pair<const char*, const char*> cases[] = {
        {"(hello there)", "hello there"},
        {"  (a (b) c) \n", "a (b) c"},
        {"()", ""},
        {"plain", "plain"},
        {"(a) (b)", "(a) (b)"},
        {"(a", "(a"},
        {")(", ")("},
        {"", ""},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(CUtils::remove_parenthesis(text), expected) << text;
    }
}

} // namespace
} // namespace halyx
