// Malformed messages are rejected where reading stopped; hostile sizes cost bounded work.
#include "external/kqml/limits.h"
#include "external/kqml/parser.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

struct Bad {
    std::string text;
    KqmlStatus status;
    std::size_t offset;
};

TEST(KqmlMalformed, EachInputIsRejectedWithItsStatusAndOffset) {
    const Bad corpus[] = {
        {"", KqmlStatus::Empty, 0},
        {"   \n", KqmlStatus::Empty, 4},
        {"()", KqmlStatus::NoPerformative, 0},
        {"(:sender x)", KqmlStatus::NoPerformative, 1},
        {"(\"tell\" :x 1)", KqmlStatus::NoPerformative, 2},
        {"((a) b)", KqmlStatus::NoPerformative, 1},
        {"(tell :x 1", KqmlStatus::UnclosedList, 10},
        {"(tell :x (a (b)", KqmlStatus::UnclosedList, 15},
        {"(tell :x 1))", KqmlStatus::UnexpectedClose, 11},
        {"tell :x 1)", KqmlStatus::UnexpectedClose, 9},
        {"(tell :x \"abc)", KqmlStatus::UnterminatedString, 9},
        {"(tell :x \"abc\\\")", KqmlStatus::UnterminatedString, 9},
        {"(tell :x (y \"z))", KqmlStatus::UnterminatedString, 12},
        {"(tell :x #10\"abc)", KqmlStatus::BadLengthString, 9},
        {"(tell :x #99999999999999999999\"a)", KqmlStatus::BadLengthString, 9},
        {std::string("(tell :x a\0b)", 13), KqmlStatus::StrayByte, 10},
        {"(tell :x \x01)", KqmlStatus::StrayByte, 9},
        {"(tell :x 1) junk", KqmlStatus::TrailingText, 12},
        {"(tell :x 1) (tell)", KqmlStatus::TrailingText, 12},
        {"(tell :x 1)\x04", KqmlStatus::StrayByte, 11},
    };
    // A failed parse answers nothing, not even from the message read before it.
    CParser parser;
    for (const Bad& bad : corpus) {
        ASSERT_TRUE(parser.parse_message("(tell :x 1)"));
        const CKqmlParseResult result = parser.parse_message(bad.text);
        EXPECT_EQ(result.status, bad.status) << bad.text << ": " << result.description();
        EXPECT_EQ(result.offset, bad.offset) << bad.text;
        EXPECT_FALSE(parser.find_performative().has_value()) << bad.text;
        EXPECT_FALSE(parser.find_token("x").has_value()) << bad.text;
    }
}

TEST(KqmlMalformed, DeepNestingIsRefusedNotRecursed) {
    const std::size_t depth = 1000000;
    std::string text = "(tell :x ";
    text.append(depth, '(');
    text.append(depth, ')');
    text.push_back(')');
    CParser parser;
    const CKqmlParseResult result = parser.parse_message(text);
    EXPECT_EQ(result.status, KqmlStatus::TooDeep);
    EXPECT_EQ(result.offset, 9 + kKqmlMaxDepth - 1);

    std::string deepest = "(tell :x ";
    deepest.append(kKqmlMaxDepth - 1, '(');
    deepest.push_back('a');
    deepest.append(kKqmlMaxDepth - 1, ')');
    deepest.push_back(')');
    EXPECT_TRUE(parser.parse_message(deepest));
}

// Too large is refused before the text is copied; too many elements before they are stored.
TEST(KqmlMalformed, OversizedTextAndOverlongListsAreRefused) {
    std::string large = "(tell :x \"";
    large.append(kKqmlMaxMessageBytes, 'a');
    large += "\")";
    std::string wide = "(tell";
    for (std::size_t i = 0; i < kKqmlMaxElements; ++i) {
        wide += " a";
    }
    wide += ")";
    CParser parser;
    CKqmlParseResult result = parser.parse_message(large);
    EXPECT_EQ(result.status, KqmlStatus::TooLarge);
    EXPECT_EQ(result.offset, kKqmlMaxMessageBytes);
    result = parser.parse_message(wide);
    EXPECT_EQ(result.status, KqmlStatus::TooManyElements);
    EXPECT_EQ(result.offset, 5 + 2 * (kKqmlMaxElements - 1) + 1);
}

} // namespace
} // namespace halyx
