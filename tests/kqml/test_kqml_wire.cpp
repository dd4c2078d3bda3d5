// Building messages for the wire and cutting a byte stream back into messages.
#include "external/kqml/framer.h"
#include "external/kqml/message.h"
#include "external/kqml/parser.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

struct Framed {
    std::vector<std::string> messages;
    std::vector<std::string> diagnostics;
};

Framed FeedAll(CKqmlFramer& framer, const std::vector<std::string>& chunks) {
    Framed out;
    for (const std::string& chunk : chunks) {
        framer.Feed(chunk, out.messages, out.diagnostics);
    }
    return out;
}

TEST(KqmlMessageText, FieldsAndContentAsReceiversReadThem) {
    CKqmlMessage m;
    m.performative = "tell";
    m.sender = "HalyxCommand";
    m.receiver = "Alpha Station";
    m.language = "default-language";
    m.ontology = "default-ontology";
    m.content = "tell :command clock_sync :clock 5";
    const std::string text = m.ToText();
    EXPECT_EQ(text, "(tell :sender HalyxCommand :receiver \"Alpha Station\" :language "
                    "default-language :ontology default-ontology :content (tell :command "
                    "clock_sync :clock 5))");
    CParser parser;
    ASSERT_TRUE(parser.parse_message(text));
    EXPECT_EQ(parser.find_receiver(), "Alpha Station");
    EXPECT_EQ(parser.find_content(), "(tell :command clock_sync :clock 5)");
}

TEST(KqmlMessageText, HostileNamesArriveIntact) {
    CKqmlMessage m;
    m.performative = "tell";
    m.sender = "a\"b) :sender x";
    m.receiver = ":receiver";
    m.replyWith = "r1";
    m.content = "(tell :x 1)";
    CParser parser;
    ASSERT_TRUE(parser.parse_message(m.ToText()));
    EXPECT_EQ(parser.find_sender(), "a\"b) :sender x");
    EXPECT_EQ(parser.find_receiver(), ":receiver");
    EXPECT_EQ(parser.find_reply_with(), "r1");
    EXPECT_EQ(parser.find_content(), "(tell :x 1)");
}

// Other KQML readers take ' ` # and , as quotation or read macros and refuse the message: such
// values travel as strings, while ordinary words (colons, dots, slashes inside) stay bare.
TEST(KqmlMessageText, ReadMacroCharactersAreQuotedAndWordsStayBare) {
    for (const std::string value : {"O'Brien", "a`b", "R#1", "#x", "1,5", "x,"}) {
        std::string out;
        AppendKqmlValue(out, value);
        EXPECT_EQ(out, "\"" + value + "\"") << value;
        CParser parser;
        ASSERT_TRUE(parser.parse_message("(tell :v " + out + ")"));
        EXPECT_EQ(parser.find_token("v"), value);
    }
    for (const std::string value : {"R1", "-12.5", "http://host:80/a/b.png", "a:b", "x-y_z"}) {
        std::string out;
        AppendKqmlValue(out, value);
        EXPECT_EQ(out, value);
    }
}

TEST(KqmlFraming, TwoMessagesInOneWriteAndGapsBetween) {
    CKqmlFramer framer;
    const Framed f = FeedAll(framer, {"(tell :a 1)\n\x04 \r\n(ask :b (2))\n"});
    ASSERT_EQ(f.messages.size(), 2u);
    EXPECT_EQ(f.messages[0], "(tell :a 1)");
    EXPECT_EQ(f.messages[1], "(ask :b (2))");
    EXPECT_TRUE(f.diagnostics.empty());
    EXPECT_FALSE(framer.InMessage());
}

TEST(KqmlFraming, OneMessageSplitOverManyWritesAtEveryByte) {
    const std::string message = "(tell :s \"a ) \\\" (\" :b #4\"))(( :c (x (y)) :d #1x :e #12)";
    CKqmlFramer framer;
    std::vector<std::string> chunks;
    for (const char c : message + "\n") {
        chunks.emplace_back(1, c);
    }
    const Framed f = FeedAll(framer, chunks);
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0], message);
    CParser parser;
    ASSERT_TRUE(parser.parse_message(f.messages[0]));
    EXPECT_EQ(parser.find_token("b"), "))((");
}

TEST(KqmlFraming, OversizedMessageIsDroppedAndTheNextStillArrives) {
    CKqmlFramer framer(64);
    const std::string big = "(tell :x \"" + std::string(100, ')') + "\" :y (a b))";
    const Framed f = FeedAll(framer, {big.substr(0, 30), big.substr(30), "(tell :after 1)"});
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0], "(tell :after 1)");
    ASSERT_EQ(f.diagnostics.size(), 1u);
    EXPECT_NE(f.diagnostics[0].find("larger than 64 bytes"), std::string::npos);
}

TEST(KqmlFraming, MessageOfExactlyTheLimitPasses) {
    CKqmlFramer framer(16);
    const Framed f = FeedAll(framer, {"(tell :x 123456)(tell :x 1234567)(tell)"});
    ASSERT_EQ(f.messages.size(), 2u);
    EXPECT_EQ(f.messages[0], "(tell :x 123456)");
    EXPECT_EQ(f.messages[1], "(tell)");
}

TEST(KqmlFraming, StrayBytesAreSkippedToTheNextMessageWithOneDiagnostic) {
    CKqmlFramer framer;
    const Framed f = FeedAll(framer, {"garbage ) \"x", "yz (tell :ok 1)"});
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0], "(tell :ok 1)");
    ASSERT_EQ(f.diagnostics.size(), 1u);
    EXPECT_NE(f.diagnostics[0].find("offset 0"), std::string::npos);
}

TEST(KqmlFraming, ImpossibleLengthPrefixResynchronises) {
    CKqmlFramer framer(1000);
    const Framed f = FeedAll(framer, {"(tell :x #999999\"abc)\n(tell :next 1)\n"});
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0], "(tell :next 1)");
    EXPECT_EQ(f.diagnostics.size(), 1u);
}

TEST(KqmlFraming, ResetForgetsAPartialMessage) {
    CKqmlFramer framer;
    std::vector<std::string> messages;
    std::vector<std::string> diagnostics;
    framer.Feed("(tell :half \"str", messages, diagnostics);
    EXPECT_TRUE(framer.InMessage());
    framer.Reset();
    framer.Feed("(tell :whole 1)", messages, diagnostics);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "(tell :whole 1)");
}

} // namespace
} // namespace halyx
