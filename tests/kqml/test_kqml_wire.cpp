// Building messages for the wire and cutting a byte stream back into messages.
#include "external/kqml/framer.h"
#include "external/kqml/limits.h"
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
    framer.Flush(out.messages);
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
    EXPECT_EQ(m.ToText(), "(tell :sender HalyxCommand :receiver \"Alpha Station\" :language "
                          "default-language :ontology default-ontology :content (tell :command "
                          "clock_sync :clock 5))");
    // Hostile names arrive intact.
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

// Gaps and stray bytes between messages, oversized messages, the exact limit and impossible
// length prefixes: each drops only what it must and the next message still arrives. An
// oversized message is handed on cut at the limit, for the receiver to record as unreadable.
TEST(KqmlFraming, EachStreamGivesItsMessagesAndDiagnostics) {
    const std::string big = "(tell :x \"" + std::string(100, ')') + "\" :y (a b))";
    struct Case {
        std::size_t limit;
        std::vector<std::string> chunks;
        std::vector<std::string> messages;
        std::string diagnostic; // a part of the one diagnostic expected, "" for none
    };
    const Case cases[] = {
        {kKqmlMaxMessageBytes,
         {"(tell :a 1)\n\x04 \r\n(ask :b (2))\n"},
         {"(tell :a 1)", "(ask :b (2))"},
         ""},
        {64,
         {big.substr(0, 30), big.substr(30), "(tell :after 1)"},
         {big.substr(0, 64), "(tell :after 1)"},
         "larger than 64 bytes"},
        {16,
         {"(tell :x 123456)(tell :x 1234567)(tell)"},
         {"(tell :x 123456)", "(tell :x 1234567", "(tell)"},
         "larger than 16 bytes"},
        {kKqmlMaxMessageBytes, {"garbage ) \"x", "yz (tell :ok 1)"}, {"(tell :ok 1)"}, "offset 0"},
        {1000,
         {"(tell :x #999999\"abc)\n(tell :next 1)\n"},
         {"(tell :next 1)"},
         "exceeds the message limit"},
    };
    for (const Case& c : cases) {
        CKqmlFramer framer(c.limit);
        const Framed f = FeedAll(framer, c.chunks);
        EXPECT_EQ(f.messages, c.messages) << c.chunks[0];
        EXPECT_FALSE(framer.InMessage()) << c.chunks[0];
        if (c.diagnostic.empty()) {
            EXPECT_TRUE(f.diagnostics.empty()) << c.chunks[0];
        } else {
            ASSERT_EQ(f.diagnostics.size(), 1u) << c.chunks[0];
            EXPECT_NE(f.diagnostics[0].find(c.diagnostic), std::string::npos) << f.diagnostics[0];
        }
    }
}

TEST(KqmlFraming, OneMessageSplitOverManyWritesAtEveryByteAndResetForgetsAHalf) {
    const std::string message = "(tell :s \"a ) \\\" (\" :b #4\"))(( :c (x (y)) :d #1x :e #12)";
    CKqmlFramer framer;
    std::vector<std::string> chunks;
    for (const char c : message + "\n") {
        chunks.emplace_back(1, c);
    }
    const Framed f = FeedAll(framer, chunks);
    ASSERT_EQ(f.messages, std::vector<std::string>{message});
    CParser parser;
    ASSERT_TRUE(parser.parse_message(f.messages[0]));
    EXPECT_EQ(parser.find_token("b"), "))((");

    // A reset forgets a partial message.
    FeedAll(framer, {"(tell :half \"str"});
    EXPECT_TRUE(framer.InMessage());
    framer.Reset();
    EXPECT_EQ(FeedAll(framer, {"(tell :whole 1)"}).messages,
              std::vector<std::string>{"(tell :whole 1)"});
}

} // namespace
} // namespace halyx
