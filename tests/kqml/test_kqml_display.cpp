// What the message page shows: the tree of a message, and chat texts without their parentheses.
#include "external/kqml/parsertree.h"
#include "external/kqml/utils.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

TEST(KqmlTree, PerformativeAtRootKeywordsBelowAndListsAsSubtrees) {
    CParserTree tree;
    ASSERT_TRUE(tree.ShowTree("(tell :sender S1 :receiver HC :content (tell :command deploy "
                              ":id 7) :note \"a b\" :flag)"));
    const CParserTreeNode& root = tree.root();
    EXPECT_EQ(root.text, "tell");
    ASSERT_EQ(root.children.size(), 5u);
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
    EXPECT_TRUE(root.children[4].children.empty());
}

TEST(KqmlTree, ListThatIsNoMessageIsShownAsWritten) {
    CParserTree tree;
    ASSERT_TRUE(tree.ShowTree("(tell :points ((1 2) (3 4)) :none ())"));
    EXPECT_EQ(tree.root().children[0].children[0].text, "((1 2) (3 4))");
    EXPECT_EQ(tree.root().children[1].children[0].text, "()");
}

TEST(KqmlTree, MalformedMessageLeavesAnEmptyTree) {
    CParserTree tree;
    ASSERT_TRUE(tree.ShowTree("(tell :a 1)"));
    const CKqmlParseResult result = tree.ShowTree("(tell :a (1)");
    EXPECT_EQ(result.status, KqmlStatus::UnclosedList);
    EXPECT_TRUE(tree.root().text.empty());
    EXPECT_TRUE(tree.root().children.empty());
}

TEST(KqmlChatText, EnclosingParenthesesComeOff) {
    EXPECT_EQ(CUtils::remove_parenthesis("(hello there)"), "hello there");
    EXPECT_EQ(CUtils::remove_parenthesis("  (a (b) c) \n"), "a (b) c");
    EXPECT_EQ(CUtils::remove_parenthesis("()"), "");
}

TEST(KqmlChatText, TextThatIsNotOneListStaysAsItIs) {
    EXPECT_EQ(CUtils::remove_parenthesis("plain"), "plain");
    EXPECT_EQ(CUtils::remove_parenthesis("(a) (b)"), "(a) (b)");
    EXPECT_EQ(CUtils::remove_parenthesis("(a"), "(a");
    EXPECT_EQ(CUtils::remove_parenthesis(")("), ")(");
    EXPECT_EQ(CUtils::remove_parenthesis(""), "");
}

} // namespace
} // namespace halyx
