// How each kind of value comes back from a lookup: words as written, strings unquoted and
// unescaped, length-prefixed strings byte for byte, lists as re-parsable text.
#include "external/kqml/parser.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

std::string Value(const std::string& message, const std::string& key) {
    CParser parser;
    EXPECT_TRUE(parser.parse_message(message)) << message;
    return parser.find_token(key).value_or("<absent>");
}

TEST(KqmlValues, WordsKeepColonsSlashesHashesAndHighBytes) {
    EXPECT_EQ(Value("(tell :map http://host:8080/w.txt :x 1)", "map"), "http://host:8080/w.txt");
    EXPECT_EQ(Value("(tell :id #12a :n it's)", "id"), "#12a");
    EXPECT_EQ(Value("(tell :id #12a :n it's)", "n"), "it's");
    EXPECT_EQ(Value("(tell :name Z\xc3\xbcrich)", "name"), "Z\xc3\xbcrich");
    EXPECT_EQ(Value("(tell :lat -12.5e3)", "lat"), "-12.5e3");
}

TEST(KqmlValues, StringsLoseQuotesAndResolveEscapes) {
    EXPECT_EQ(Value("(tell :msg \"a (b) c\")", "msg"), "a (b) c");
    EXPECT_EQ(Value(R"((tell :msg "say \"go\" now"))", "msg"), "say \"go\" now");
    EXPECT_EQ(Value(R"((tell :msg "C:\\Halyx\\x"))", "msg"), "C:\\Halyx\\x");
    EXPECT_EQ(Value("(tell :msg \"\")", "msg"), "");
    EXPECT_EQ(Value("(tell :msg \"two\nlines\")", "msg"), "two\nlines");
}

TEST(KqmlValues, LengthPrefixedStringsTakeExactlyTheirBytes) {
    EXPECT_EQ(Value("(tell :blob #5\"a)\"(b :next 1)", "blob"), "a)\"(b");
    EXPECT_EQ(Value("(tell :blob #5\"a)\"(b :next 1)", "next"), "1");
    EXPECT_EQ(Value("(tell :blob #0\" :next 2)", "blob"), "");
    EXPECT_EQ(Value("(tell :blob #0\" :next 2)", "next"), "2");
}

TEST(KqmlValues, ListsComeBackWithParenthesesAndParseAgain) {
    const std::string message =
        "(tell :sender S1 :content (tell :command deploy :resource \"Int (1)\" :id 7))";
    const std::string content = Value(message, "content");
    EXPECT_EQ(content, "(tell :command deploy :resource \"Int (1)\" :id 7)");
    EXPECT_EQ(Value(content, "resource"), "Int (1)");
    EXPECT_EQ(Value(content, "id"), "7");
}

TEST(KqmlValues, ScenarioListsNestSeveralLevels) {
    const std::string message =
        "(ask :content (ask :command init_sim :scenario (tell :map m :radar (tell :number 1 :0 "
        "(tell :name \"R 1\" :id 3)))))";
    const std::string scenario = Value(Value(message, "content"), "scenario");
    const std::string radar = Value(scenario, "radar");
    EXPECT_EQ(Value(radar, "number"), "1");
    EXPECT_EQ(Value(Value(radar, "0"), "name"), "R 1");
}

} // namespace
} // namespace halyx
