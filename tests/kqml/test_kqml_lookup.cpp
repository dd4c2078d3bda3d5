// What a keyword lookup finds, and each kind of value as it comes back.
#include "external/kqml/parser.h"

#include <gtest/gtest.h>

#include <optional>

namespace halyx {
namespace {

std::string Value(const std::string& message, const std::string& key) {
    CParser parser;
    EXPECT_TRUE(parser.parse_message(message)) << message;
    return parser.find_token(key).value_or("<absent>");
}

TEST(KqmlLookup, EachMessageAndKeyGivesItsValue) {
    struct Case {
        const char* message;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        // Keywords
        {"(TELL :Sender S1 :CONTENT (x) :Reply-With r7)", "sEnDeR", "S1"},
        {"(TELL :Sender S1 :CONTENT (x) :Reply-With r7)", ":sender", "S1"},
        {"(TELL :Sender S1 :CONTENT (x) :Reply-With r7)", "content", "(x)"},
        {"(tell :id 1 :ID 2 :id 3)", "id", "1"},
        {"(tell :content (tell :sender Mallory :command x))", "sender", "<absent>"},
        {"(tell :msg \":sender Mallory\")", "sender", "<absent>"},
        {"(tell :empty :next 5 :last)", "empty", "<absent>"},
        {"(tell :empty :next 5 :last)", "next", "5"},
        {"(tell :empty :next 5 :last)", "last", "<absent>"},
        // Words
        {"(tell :map http://host:8080/w.txt :x 1)", "map", "http://host:8080/w.txt"},
        {"(tell :id #12a :n it's)", "id", "#12a"},
        {"(tell :id #12a :n it's)", "n", "it's"},
        {"(tell :name Z\xc3\xbcrich)", "name", "Z\xc3\xbcrich"},
        // Strings
        {"(tell :msg \"a (b) c\")", "msg", "a (b) c"},
        {R"((tell :msg "say \"go\" now"))", "msg", "say \"go\" now"},
        {R"((tell :msg "C:\\Halyx\\x"))", "msg", "C:\\Halyx\\x"},
        {"(tell :msg \"\")", "msg", ""},
        {"(tell :msg \"two\nlines\")", "msg", "two\nlines"},
        // Length-prefixed strings
        {"(tell :blob #5\"a)\"(b :next 1)", "blob", "a)\"(b"},
        {"(tell :blob #5\"a)\"(b :next 1)", "next", "1"},
        {"(tell :blob #0\" :next 2)", "blob", ""},
        {"(tell :blob #0\" :next 2)", "next", "2"},
        // Content reads the same with or without its outer parentheses.
        {"tell :command init_sim :clock 5", "clock", "5"},
        {"  (tell :command init_sim :clock 5)\n", "command", "init_sim"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Value(c.message, c.key), c.expected) << c.message << " / " << c.key;
    }
    CParser parser;
    ASSERT_TRUE(parser.parse_message("tell :command init_sim"));
    EXPECT_EQ(parser.find_performative(), "tell");
    EXPECT_EQ(parser.find_text("missing"), "");
}

TEST(KqmlLookup, NestedListsComeBackWithParenthesesAndParseAgain) {
    const std::string message =
        "(ask :content (ask :command init_sim :scenario (tell :map m :radar (tell :number 1 :0 "
        "(tell :name \"R 1\" :id 3 :unit \"Int (1)\")))))";
    const std::string scenario = Value(Value(message, "content"), "scenario");
    const std::string radar = Value(scenario, "radar");
    EXPECT_EQ(Value(radar, "number"), "1");
    EXPECT_EQ(Value(radar, "0"), "(tell :name \"R 1\" :id 3 :unit \"Int (1)\")");
    EXPECT_EQ(Value(Value(radar, "0"), "unit"), "Int (1)");
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

    EXPECT_FALSE(parser.parse_list("(\"tell\" :count 2)"));
    EXPECT_FALSE(parser.parse_list("(:count (2)"));
    EXPECT_FALSE(parser.is_keyword_list());
    EXPECT_EQ(parser.parse_message("(:count 2)").status, KqmlStatus::NoPerformative);
}

} // namespace
} // namespace halyx
