// A message left open by an unbalanced parenthesis or quote ends at the next line that starts a
// message, so that it costs nobody else's messages; well-formed messages, multi-line strings
// included, frame exactly as before.
#include "external/kqml/framer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace halyx {
namespace {

struct Framed {
    std::vector<std::string> messages;
    std::vector<std::string> diagnostics;
};

// Fed whole and one byte at a time: both must frame the same.
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

// A chat text with one ')' too many closes its message early; the parentheses left after it
// on the line bring the rest of the line along, so the text can still be read whole.
TEST(KqmlLineRecovery, ParenthesesLeftOnTheLineStayWithTheirMessage) {
    for (const std::string text : {"ok) fine", "fine :-)", "a) b) c"}) {
        const std::string line = Chat(text);
        const Framed f = Frame(line + "\n" + kActivate + "\n");
        EXPECT_EQ(f.messages, (std::vector<std::string>{line, kActivate})) << text;
        ASSERT_EQ(f.diagnostics.size(), 1u) << text;
        EXPECT_NE(f.diagnostics[0].find("followed by ')' on its line"), std::string::npos);
    }
    // Blanks before the parenthesis belong to the line; other stray bytes are skipped as before,
    // and a message with nothing after it goes on when the connection flushes.
    const Framed f = Frame("(tell :a 1) \t) x (y\n(tell :b 2)  x\n(tell :c 3)");
    EXPECT_EQ(f.messages,
              (std::vector<std::string>{"(tell :a 1) \t) x (y", "(tell :b 2)", "(tell :c 3)"}));
    ASSERT_EQ(f.diagnostics.size(), 2u);
    EXPECT_NE(f.diagnostics[1].find("stray byte 0x78"), std::string::npos) << f.diagnostics[1];
}

TEST(KqmlLineRecovery, TheSizeLimitEndsAMessageThatNeverCloses) {
    // A peer that writes no line breaks: the open message is cut at the limit, its rest is
    // followed for one more limit and the framer then starts again at the next '('.
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
