// What the message page shows: the tree of a message, and chat texts without their parentheses.
#include "external/kqml/parsertree.h"
#include "external/kqml/utils.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

TEST(KqmlTree, PerformativeAtRootKeywordsBelowAndListsAsSubtrees) {
    CParserTree tree;
    ASSERT_TRUE(tree.ShowTree("(tell :sender S1 :receiver HC :content (tell :command deploy "
                              ":id 7) :note \"a b\" :points ((1 2) (3 4)) :none () :flag)"));
    const CParserTreeNode& root = tree.root();
    EXPECT_EQ(root.text, "tell");
    ASSERT_EQ(root.children.size(), 7u);
    EXPECT_EQ(root.children[0].text, ":sender");
    ASSERT_EQ(root.children[0].children.size(), 1u);
    EXPECT_EQ(root.children[0].children[0].text, "S1");
    const CParserTreeNode& content = root.children[2];
    EXPECT_EQ(content.text, ":content");
    ASSERT_EQ(content.children.size(), 1u);
    EXPECT_EQ(content.children[0].text, "tell");
    ASSERT_EQ(content.children[0].children.size(), 2u);
    EXPECT_EQ(content.children[0].children[0].text, ":command");
    EXPECT_EQ(content.children[0].children[0].children[0].text, "deploy");
    EXPECT_EQ(root.children[3].children[0].text, "\"a b\"");
    // A list that is no message is shown as written.
    EXPECT_EQ(root.children[4].children[0].text, "((1 2) (3 4))");
    EXPECT_EQ(root.children[5].children[0].text, "()");
    EXPECT_TRUE(root.children[6].children.empty());

    // A malformed message leaves an empty tree.
    EXPECT_EQ(tree.ShowTree("(tell :a (1)").status, KqmlStatus::UnclosedList);
    EXPECT_TRUE(tree.root().text.empty());
    EXPECT_TRUE(tree.root().children.empty());
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
