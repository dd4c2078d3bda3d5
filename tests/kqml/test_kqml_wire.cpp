// Building messages for the wire and cutting a byte stream back into them. A message left open
// ends at the next line that starts a message, so that it costs nobody else's messages.
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

// Fed whole and one byte at a time: both must frame the same, and nothing is left open.
Framed Frame(const std::string& stream, std::size_t limit = 1u << 20) {
    Framed whole;
    CKqmlFramer a(limit);
    a.Feed(stream, whole.messages, whole.diagnostics);
    a.Flush(whole.messages);
    Framed bytes;
    CKqmlFramer b(limit);
    for (const char c : stream) {
        b.Feed(std::string_view(&c, 1), bytes.messages, bytes.diagnostics);
    }
    b.Flush(bytes.messages);
    EXPECT_FALSE(a.InMessage() || b.InMessage()) << stream;
    EXPECT_EQ(whole.messages, bytes.messages) << stream;
    EXPECT_EQ(whole.diagnostics, bytes.diagnostics) << stream;
    return whole;
}

std::string Chat(const std::string& text) {
    return "(tell :sender ALPHA :receiver HalyxCommand :content (tell :command "
           "subject_communication :to all :from Ann :message (" +
           text + ")))";
}

const std::string kActivate =
    "(tell :sender ALPHA :receiver HalyxCommand :content (tell :command activate :id R1))";

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

// Each fault drops only what it must; an oversized message is handed on cut at the limit, for
// the receiver to record as unreadable.
TEST(KqmlFraming, EachStreamGivesItsMessagesAndDiagnostics) {
    const std::string big = "(tell :x \"" + std::string(100, ')') + "\" :y (a b))";
    // Parentheses and quotes inside strings and length-prefixed strings end nothing.
    const std::string quoted = "(tell :s \"a ) \\\" (\" :b #4\"))(( :c (x (y)) :d #1x :e #12)";
    struct Case {
        std::size_t limit;
        std::string stream;
        std::vector<std::string> messages;
        std::string diagnostic; // a part of the one diagnostic expected, "" for none
    };
    const Case cases[] = {
        {kKqmlMaxMessageBytes, quoted + "\n", {quoted}, ""},
        {kKqmlMaxMessageBytes,
         "(tell :a 1)\n\x04 \r\n(ask :b (2))\n",
         {"(tell :a 1)", "(ask :b (2))"},
         ""},
        {64,
         big + "(tell :after 1)",
         {big.substr(0, 64), "(tell :after 1)"},
         "larger than 64 bytes"},
        {16,
         "(tell :x 123456)(tell :x 1234567)(tell)",
         {"(tell :x 123456)", "(tell :x 1234567", "(tell)"},
         "larger than 16 bytes"},
        {kKqmlMaxMessageBytes, "garbage ) \"xyz (tell :ok 1)", {"(tell :ok 1)"}, "offset 0"},
        {1000,
         "(tell :x #999999\"abc)\n(tell :next 1)\n",
         {"(tell :next 1)"},
         "exceeds the message limit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stream.substr(0, 40));
        const Framed f = Frame(c.stream, c.limit);
        EXPECT_EQ(f.messages, c.messages);
        if (c.diagnostic.empty()) {
            EXPECT_TRUE(f.diagnostics.empty());
        } else {
            ASSERT_EQ(f.diagnostics.size(), 1u);
            EXPECT_NE(f.diagnostics[0].find(c.diagnostic), std::string::npos) << f.diagnostics[0];
        }
    }

    // A reset forgets a partial message.
    CKqmlFramer framer;
    Framed f;
    framer.Feed("(tell :half \"str", f.messages, f.diagnostics);
    EXPECT_TRUE(framer.InMessage());
    framer.Reset();
    framer.Feed("(tell :whole 1)", f.messages, f.diagnostics);
    framer.Flush(f.messages);
    EXPECT_EQ(f.messages, std::vector<std::string>{"(tell :whole 1)"});
}

TEST(KqmlLineRecovery, AnOpenChatEndsAtTheNextMessageLine) {
    for (const std::string text :
         {"no launch :-( sorry", "he said \"go now", "wait (maybe", "x #40\"short"}) {
        const std::string stream = Chat(text) + "\n" + kActivate + "\r\n" + kActivate + "\n";
        const Framed f = Frame(stream);
        ASSERT_EQ(f.messages.size(), 3u) << text;
        EXPECT_EQ(f.messages[0], Chat(text)) << "the broken line is handed on whole";
        EXPECT_EQ(f.messages[1], kActivate);
        EXPECT_EQ(f.messages[2], kActivate);
        ASSERT_EQ(f.diagnostics.size(), 1u) << text;
        EXPECT_NE(f.diagnostics[0].find("offset 0 was still open"), std::string::npos)
            << f.diagnostics[0];
        EXPECT_NE(f.diagnostics[0].find(std::to_string(Chat(text).size() + 1)), std::string::npos)
            << f.diagnostics[0];
    }
    // Carriage returns before the break stay with neither message; a bare "(tell)" line is a
    // message of its own.
    const Framed f = Frame("(tell :a (b\r\n(tell)\n(ask-one :x 1)");
    EXPECT_EQ(f.messages, (std::vector<std::string>{"(tell :a (b", "(tell)", "(ask-one :x 1)"}));
}

TEST(KqmlLineRecovery, WellFormedMessagesAcrossLinesAreKept) {
    const std::vector<std::string> kept = {
        // A string over several lines, one of them starting with a parenthesis.
        "(tell :content (tell :command subject_communication :message \"line one\n(see "
        "below)\nline three\"))",
        // Lists over lines, and a line that starts with a word no message starts with.
        "(tell :content\n(tellme :x 1)\n(ask-x 2)\n(tell1))",
        "(tell :a #12\"ab\n(cd)\n(ef))",
        "(tell :a (b\n (tell :c 1)))",
    };
    for (const std::string& message : kept) {
        const Framed f = Frame(message + "\n" + kActivate + "\n");
        EXPECT_EQ(f.messages, (std::vector<std::string>{message, kActivate}));
        EXPECT_TRUE(f.diagnostics.empty()) << f.diagnostics[0];
    }
}

// A chat text with one ')' too many closes its message early: the line's rest comes along.
TEST(KqmlLineRecovery, ParenthesesLeftOnTheLineStayWithTheirMessage) {
    for (const std::string text : {"ok) fine", "fine :-)", "a) b) c"}) {
        const std::string line = Chat(text);
        const Framed f = Frame(line + "\n" + kActivate + "\n");
        EXPECT_EQ(f.messages, (std::vector<std::string>{line, kActivate})) << text;
        ASSERT_EQ(f.diagnostics.size(), 1u) << text;
        EXPECT_NE(f.diagnostics[0].find("followed by ')' on its line"), std::string::npos);
    }
    // Blanks before the parenthesis belong to the line; other stray bytes are skipped.
    const Framed f = Frame("(tell :a 1) \t) x (y\n(tell :b 2)  x\n(tell :c 3)");
    EXPECT_EQ(f.messages,
              (std::vector<std::string>{"(tell :a 1) \t) x (y", "(tell :b 2)", "(tell :c 3)"}));
    ASSERT_EQ(f.diagnostics.size(), 2u);
    EXPECT_NE(f.diagnostics[1].find("stray byte 0x78"), std::string::npos) << f.diagnostics[1];
}

TEST(KqmlLineRecovery, TheSizeLimitEndsAMessageThatNeverCloses) {
    // No line breaks: cut at the limit, the rest followed one more limit, then the next '('.
    std::string stream = "(tell :message (oops";
    while (stream.size() < 300) {
        stream += " (tell :x 1)";
    }
    const Framed f = Frame(stream, 100);
    ASSERT_GE(f.messages.size(), 2u);
    EXPECT_EQ(f.messages[0], stream.substr(0, 100));
    EXPECT_EQ(f.messages.back(), "(tell :x 1)");
    EXPECT_NE(f.diagnostics[0].find("larger than 100 bytes"), std::string::npos);

    // With line breaks the next message arrives at once, whole.
    const Framed g = Frame("(tell :x \"" + std::string(500, 'a') + "\n" + kActivate, 100);
    ASSERT_EQ(g.messages.size(), 2u);
    EXPECT_EQ(g.messages[0].size(), 100u);
    EXPECT_EQ(g.messages[1], kActivate);
}

} // namespace
} // namespace halyx
