// A recorded chat replayed to the stations: whatever the subject typed, the replayed line frames
// as one message on a station's connection and reads back as the text typed; a text that is one
// balanced list goes out as it always did, `:message (TEXT)`.

#include "common/xmlescape.h"
#include "external/kqml/framer.h"
#include "external/kqml/message.h"
#include "external/kqml/parser.h"
#include "external/kqml/utils.h"
#include "record/simeventstore.h"
#include "recordtestutil.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

TEST(ChatReplay, EveryTypedTextReachesTheStationsWholeAndAsTyped) {
    const std::vector<std::string> typed = {"no launch :-( sorry",
                                            "he said \"go now",
                                            "wait (maybe",
                                            "ok) fine",
                                            "fine :-)",
                                            "don't go yet",
                                            "see C:\\",
                                            "a;b",
                                            "#3\"abc",
                                            "room #12 ok",
                                            "x #99\"y",
                                            "tab\there",
                                            "(fine) (ok)"};
    std::string events;
    int tsid = 1;
    for (const std::string& text : typed) {
        events += "<Event Name=\"ChatMsg\" ClockTime=\"1\" TSID=\"" + std::to_string(tsid++) +
                  "\" From=\"Ann (lead)\">\n" + XmlEscape(text) + "\n</Event>\n";
    }
    CSimEventStore store = test::StoreOf(events);
    test::RecordingSender sender;
    store.Release(1, sender);
    ASSERT_EQ(sender.sent.size(), typed.size());

    // All replayed lines on one connection, as the communicator writes them.
    std::string wire;
    for (const std::string& sent : sender.sent) {
        CKqmlMessage m;
        m.performative = "tell";
        m.sender = "Ann";
        m.receiver = "ALPHA";
        m.content = sent.substr(sent.find(": ") + 2);
        wire += m.ToText() + "\n";
    }
    CKqmlFramer framer;
    std::vector<std::string> messages;
    std::vector<std::string> diagnostics;
    framer.Feed(wire, messages, diagnostics);
    EXPECT_TRUE(diagnostics.empty()) << diagnostics[0];
    ASSERT_EQ(messages.size(), typed.size());
    for (size_t i = 0; i < typed.size(); ++i) {
        CParser message;
        ASSERT_TRUE(message.parse_message(messages[i])) << messages[i];
        CParser content;
        ASSERT_TRUE(content.parse_list(*message.find_content())) << messages[i];
        EXPECT_EQ(content.find_text("from"), "Ann (lead)");
        // How a station reads a chat: the message's text, its list parentheses taken off.
        EXPECT_EQ(CUtils::remove_parenthesis(content.find_text("message")), typed[i])
            << messages[i];
    }
    // Balanced texts keep their form.
    EXPECT_NE(sender.sent[5].find(":message (don't go yet)"), std::string::npos);
    EXPECT_NE(sender.sent[12].find(":message ((fine) (ok))"), std::string::npos);
    EXPECT_NE(sender.sent[0].find(":message \"no launch :-( sorry\""), std::string::npos);
}

} // namespace
} // namespace halyx
