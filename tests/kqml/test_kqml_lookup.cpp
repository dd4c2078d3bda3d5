// Which keyword a lookup finds: case does not matter, the first wins, nested keywords stay
// hidden, a keyword without a value is absent, and content reads the same with or without its
// outer parentheses.
#include "external/kqml/parser.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

TEST(KqmlLookup, KeywordsMatchWithoutRegardToCase) {
    CParser parser;
    ASSERT_TRUE(parser.parse_message("(TELL :Sender S1 :CONTENT (x) :Reply-With r7)"));
    EXPECT_EQ(parser.find_performative(), "TELL");
    EXPECT_EQ(parser.find_sender(), "S1");
    EXPECT_EQ(parser.find_content(), "(x)");
    EXPECT_EQ(parser.find_reply_with(), "r7");
    EXPECT_EQ(parser.find_token("sEnDeR"), "S1");
    EXPECT_EQ(parser.find_token(":sender"), "S1");
}

TEST(KqmlLookup, FirstOccurrenceWins) {
    CParser parser;
    ASSERT_TRUE(parser.parse_message("(tell :id 1 :ID 2 :id 3)"));
    EXPECT_EQ(parser.find_token("id"), "1");
}

TEST(KqmlLookup, NestedKeywordsDoNotLeakOut) {
    CParser parser;
    ASSERT_TRUE(parser.parse_message("(tell :content (tell :sender Mallory :command x))"));
    EXPECT_FALSE(parser.find_sender().has_value());
    EXPECT_FALSE(parser.find_token("command").has_value());
    // Nor do keywords inside strings.
    ASSERT_TRUE(parser.parse_message("(tell :msg \":sender Mallory\")"));
    EXPECT_FALSE(parser.find_sender().has_value());
}

TEST(KqmlLookup, KeywordWithoutValueIsAbsentAndDoesNotSwallowTheNext) {
    CParser parser;
    ASSERT_TRUE(parser.parse_message("(tell :empty :next 5 :last)"));
    EXPECT_FALSE(parser.find_token("empty").has_value());
    EXPECT_EQ(parser.find_token("next"), "5");
    EXPECT_FALSE(parser.find_token("last").has_value());
    EXPECT_FALSE(parser.find_token("missing").has_value());
    EXPECT_EQ(parser.find_text("missing"), "");
}

TEST(KqmlLookup, ContentReadsTheSameWithOrWithoutOuterParentheses) {
    for (const char* text : {"tell :command init_sim :clock 5", "(tell :command init_sim :clock 5)",
                             "  (tell :command init_sim :clock 5)\n"}) {
        CParser parser;
        ASSERT_TRUE(parser.parse_message(text)) << text;
        EXPECT_EQ(parser.find_performative(), "tell") << text;
        EXPECT_EQ(parser.find_token("command"), "init_sim") << text;
        EXPECT_EQ(parser.find_token("clock"), "5") << text;
    }
}

TEST(KqmlLookup, AFailedParseAnswersNothingAndForgetsTheLastMessage) {
    CParser parser;
    ASSERT_TRUE(parser.parse_message("(tell :id 1)"));
    EXPECT_FALSE(parser.parse_message("(tell :id 2"));
    EXPECT_FALSE(parser.find_performative().has_value());
    EXPECT_FALSE(parser.find_token("id").has_value());
}

// Nested values may be plain keyword lists; a message still needs its performative.
TEST(KqmlLookup, KeywordListsReadFromTheirFirstElement) {
    CParser parser;
    ASSERT_TRUE(parser.parse_list("(:count 2 :radar1 (:id R1 :name \"North\") :flag :x 1)"));
    EXPECT_TRUE(parser.is_keyword_list());
    EXPECT_FALSE(parser.find_performative().has_value());
    EXPECT_EQ(parser.find_token("count"), "2");
    EXPECT_EQ(parser.find_token("radar1"), "(:id R1 :name \"North\")");
    EXPECT_FALSE(parser.find_token("flag").has_value());
    EXPECT_EQ(parser.find_token("x"), "1");

    ASSERT_TRUE(parser.parse_list("(tell :count 2)"));
    EXPECT_FALSE(parser.is_keyword_list());
    EXPECT_EQ(parser.find_performative(), "tell");
    EXPECT_EQ(parser.find_token("count"), "2");

    EXPECT_FALSE(parser.parse_list("(\"tell\" :count 2)"));
    EXPECT_FALSE(parser.parse_list("(:count (2)"));
    EXPECT_FALSE(parser.is_keyword_list());
    EXPECT_EQ(parser.parse_message("(:count 2)").status, KqmlStatus::NoPerformative);
}

} // namespace
} // namespace halyx
