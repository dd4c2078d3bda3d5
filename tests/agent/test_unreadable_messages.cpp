// Station lines as the framer cuts them: a chat with unbalanced parentheses or quotes is logged
// as typed; what cannot be read is noted, counted and reported, so every message is logged once.
#include "agentfixture.h"
#include "external/kqml/framer.h"

#include <pugixml.hpp>

namespace halyx::test {
namespace {

struct CountingConsole : RecordingConsole {
    std::vector<std::pair<std::string, std::size_t>> counts;
    void UnreadableFrom(std::string_view station, std::size_t count) override {
        counts.emplace_back(std::string(station), count);
    }
};

class UnreadableMessages : public AgentTest {
protected:
    void SetUp() override {
        Attach(counting);
        Team({"ALPHA", "BRAVO"});
        OpenLog("unreadable");
        agent.StartSim();
        agent.process_clock_tick();
    }

    // The bytes as a station's connection carries them, one message a line.
    void Receive(const std::string& bytes) {
        std::vector<std::string> messages;
        std::vector<std::string> diagnostics;
        framer.Feed(bytes, messages, diagnostics);
        for (const std::string& m : messages) {
            comm.deliver_text(m);
        }
    }

    static std::string Line(const std::string& sender, const std::string& content) {
        return "(tell :sender " + sender + " :receiver HalyxCommand :content (" + content + "))\n";
    }

    pugi::xml_node Events() {
        const std::string text = LogText() + "</SimEvents>\n</HalyxSimLog>\n";
        EXPECT_TRUE(doc.load_string(text.c_str(), pugi::parse_default | pugi::parse_comments))
            << text;
        return doc.child("HalyxSimLog").child("SimEvents");
    }

    // The logged chat texts, without the line breaks the writer puts around them.
    std::vector<std::string> Chats() {
        std::vector<std::string> chats;
        for (pugi::xpath_node chat : Events().select_nodes("Event[@Name='ChatMsg']")) {
            const std::string body = chat.node().text().get();
            chats.push_back(body.substr(1, body.size() - 2));
        }
        return chats;
    }

    std::size_t Count(const char* event) {
        return Events().select_nodes(("Event[@Name='" + std::string(event) + "']").c_str()).size();
    }

    CountingConsole counting;
    CKqmlFramer framer{CHalyxCommand::kStationMessageLimit};
    pugi::xml_document doc;
};

// Stations write the sender after the message too: keywords after the list are never text.
TEST_F(UnreadableMessages, AChatIsLoggedAsTypedAndTheCommandsAfterItAllArrive) {
    std::vector<std::string> typed = {
        "no launch :-( sorry", "he said \"go now", "wait (maybe", "ok) fine", "fine :-)",
        "don't go yet",        "see C:\\",         "a;b",         "#3\"abc",  "room #12 ok"};
    for (const std::string& text : typed) {
        Receive(Line("ALPHA", "tell :command subject_communication :to all :from Ann :message (" +
                                  text + ")") +
                Line("ALPHA", "tell :command activate :resource radar :id R1") +
                Line("BRAVO", "tell :command update_go_nogo_status :status go"));
    }
    EXPECT_EQ(Count("ResourceActivate"), typed.size());
    EXPECT_EQ(Count("LaunchStatusChange"), typed.size());
    for (const std::string text : {"status report at minute 11", "fine (really)"}) {
        Receive(Line("ALPHA", "tell :command subject_communication :to all :message (" + text +
                                  ") :from Ann"));
        typed.push_back(text);
    }
    EXPECT_EQ(Chats(), typed);
    EXPECT_EQ(agent.UnreadableMessagesTotal(), 0u);
    // The chat page shows them as typed too, with their :to and :from.
    for (const char* shown :
         {"chat all|ALPHA (as Ann)|ok) fine", "chat all|ALPHA (as Ann)|status report at minute 11",
          "chat all|ALPHA (as Ann)|fine (really)"}) {
        EXPECT_NE(std::find(counting.calls.begin(), counting.calls.end(), shown),
                  counting.calls.end())
            << shown;
    }
}

TEST_F(UnreadableMessages, AnOversizedBrokenChatIsNotedAndCostsNothingElse) {
    const std::string huge(CHalyxCommand::kStationMessageLimit + 1000, 'x');
    Receive(Line("ALPHA", "tell :command subject_communication :to all :from Ann :message (:-( " +
                              huge + ")") +
            Line("ALPHA", "tell :command activate :resource radar :id R1"));
    EXPECT_EQ(agent.UnreadableMessages("ALPHA"), 1u);
    EXPECT_EQ(Count("ResourceActivate"), 1u);
    EXPECT_EQ(Count("ChatMsg"), 0u);
    const std::string comment = Events().select_node("comment()").node().value();
    EXPECT_TRUE(comment.starts_with(" unreadable message from ALPHA at clock 1 (")) << comment;
    EXPECT_NE(comment.find(" [and 786432 more bytes] "), std::string::npos)
        << comment.substr(comment.size() - 100);
}

// Hostile values of every kind: each message is logged once, as its event or as a note.
TEST_F(UnreadableMessages, EveryMessageSentIsInTheLogOnce) {
    std::string deep;
    for (int i = 0; i < 300; ++i) {
        deep += "(";
    }
    deep += "x" + std::string(300, ')');
    const std::vector<std::string> values = {
        "",                                 // missing
        "99999999999999999999999999999999", // huge
        "-1e308",
        "0x7fffffff",
        "NaN",
        "\"<Event Name=\\\"Abort\\\"/> &amp; -->\"",  // markup
        "\"\xff\xfe\xc3\xa9\"",                       // 8-bit
        "\"a\x01\x1b" + std::string(1, '\0') + "b\"", // control bytes in a string
        "a\x01b",                                     // a control byte outside a string
        "\"" + std::string(100 * 1024, 'w') + "\"",   // 100 KB
        "(a (b (c (d))))",
        deep, // nested deeper than the parser takes
        "(unclosed",
        "\"unclosed",
    };
    const std::vector<std::string> commands = {"activate :resource radar :id",
                                               "deploy :resource fighter :id",
                                               "abort :resource fighter :id",
                                               "update_inc_heading :id C1 :heading",
                                               "subject_communication :to all :from Ann :message",
                                               "request :requestFrom BRAVO :resource x :id",
                                               "log_unit_display :id R1 :unitType"};
    std::size_t sent = 0;
    for (const std::string& command : commands) {
        for (const std::string& value : values) {
            const bool chatList = command.starts_with("subject") && !value.starts_with("(") &&
                                  !value.starts_with("\"");
            const std::string v = chatList ? "(" + value + ")" : value;
            Receive(Line(sent % 2 ? "BRAVO" : "ALPHA", "tell :command " + command + " " + v));
            ++sent;
        }
    }
    // Broken framing: no content, no command, stray bytes in the list, a foreign sender.
    for (const std::string& line :
         {std::string("(tell :sender ALPHA)\n"), Line("ALPHA", "tell :status ok"),
          Line("ALPHA", "tell :command activate \x02"), Line("X9", "tell :command abort \x03")}) {
        Receive(line);
        ++sent;
    }

    std::size_t events = 0;
    std::size_t comments = 0;
    std::map<std::string, std::size_t> commented;
    for (pugi::xml_node node : Events().children()) {
        if (node.type() == pugi::node_comment) {
            const std::string text = node.value();
            ASSERT_TRUE(text.starts_with(" unreadable message from ")) << text;
            const std::size_t from = text.find("from ") + 5;
            ++commented[text.substr(from, text.find(' ', from) - from)];
            ++comments;
        } else if (const std::string name = node.attribute("Name").value();
                   name != "StartSim" && name != "SteadyClock") {
            ++events;
        }
    }
    EXPECT_EQ(events + comments, sent) << events << " events, " << comments << " comments";
    EXPECT_GT(comments, commands.size());
    EXPECT_EQ(comments, agent.UnreadableMessagesTotal());
    EXPECT_EQ(commented["ALPHA"], agent.UnreadableMessages("ALPHA"));
    EXPECT_EQ(commented["BRAVO"], agent.UnreadableMessages("BRAVO"));
    EXPECT_EQ(commented["X9"], agent.UnreadableMessages("")) << "outside the team: one count";
    ASSERT_FALSE(counting.counts.empty());
    EXPECT_EQ(counting.counts.back(), (std::pair<std::string, std::size_t>{"", 1}));
    // Each unreadable message was reported (what a report says is the dispatch test's).
    EXPECT_EQ(static_cast<std::size_t>(std::count_if(
                  counting.calls.begin(), counting.calls.end(),
                  [](const std::string& call) { return call.starts_with("unreadable "); })),
              comments);
}

} // namespace
} // namespace halyx::test
