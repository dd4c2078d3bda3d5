// The name server's answers: registration, lookup, listing, refusals, and the life of a
// registration tied to its connection.
#include "external/agentkit/nameregistry.h"
#include "external/kqml/parser.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

std::string Field(const std::string& reply, const char* key) {
    CParser parser;
    EXPECT_TRUE(parser.parse_message(reply)) << reply;
    return parser.find_text(key);
}

class NameServer : public ::testing::Test {
protected:
    CNameRegistry registry;
    std::vector<std::string> log;
    CNameRegistry::ConnectionId a = 0;
    CNameRegistry::ConnectionId b = 0;

    void SetUp() override {
        registry.set_change_observer([this](const std::string& line) { log.push_back(line); });
        a = registry.open_connection("10.0.0.1");
        b = registry.open_connection("10.0.0.2");
    }
};

TEST_F(NameServer, RegisteredAgentsAreFoundAndListedSortedByName) {
    EXPECT_EQ(registry.handle_request("(register :name Zulu :host h1 :port 7001)", a),
              "(tell :status ok)");
    EXPECT_EQ(registry.handle_request("(lookup :name Zulu)", b),
              "(tell :name Zulu :host h1 :port 7001)");
    EXPECT_EQ(registry.handle_request("(lookup :name S2)", b), "(sorry :reason \"unknown agent\")");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "register Zulu h1:7001");

    // A missing host is the address the connection comes from; names with blanks are strings.
    EXPECT_EQ(registry.handle_request("(register :name \"Alpha Station\" :port 2)", b),
              "(tell :status ok)");
    const std::string reply = registry.handle_request("(lookup :name \"Alpha Station\")", a);
    EXPECT_EQ(Field(reply, "name"), "Alpha Station");
    EXPECT_EQ(Field(reply, "host"), "10.0.0.2");

    const std::string listing = registry.handle_request("(listall)", a);
    EXPECT_EQ(listing, "(tell :number 2 :0 (tell :name \"Alpha Station\" :host 10.0.0.2 :port 2) "
                       ":1 (tell :name Zulu :host h1 :port 7001))");
    EXPECT_EQ(registry.handle_request("(LISTALL)", a), listing);
}

TEST_F(NameServer, LiveNameIsRefusedToAnotherConnectionUntilItCloses) {
    registry.handle_request("(register :name S1 :port 7001)", a);
    EXPECT_EQ(registry.handle_request("(register :name S1 :port 9999)", b),
              "(sorry :reason \"name already registered\")");
    EXPECT_EQ(Field(registry.handle_request("(lookup :name S1)", b), "port"), "7001");
    // The holder itself may move its registration.
    EXPECT_EQ(registry.handle_request("(register :name S1 :port 7002)", a), "(tell :status ok)");
    EXPECT_EQ(Field(registry.handle_request("(lookup :name S1)", b), "port"), "7002");

    // The registration ends with its connection.
    registry.handle_request("(register :name S2 :port 7002)", b);
    registry.close_connection(a);
    EXPECT_EQ(registry.handle_request("(lookup :name S1)", b), "(sorry :reason \"unknown agent\")");
    EXPECT_EQ(Field(registry.handle_request("(lookup :name S2)", b), "port"), "7002");
    EXPECT_EQ(log.back(), "drop S1 (connection closed)");
    // The name is free again for anyone.
    EXPECT_EQ(registry.handle_request("(register :name S1 :port 7003)", b), "(tell :status ok)");
}

TEST_F(NameServer, OnlyTheHolderMayUnregister) {
    registry.handle_request("(register :name S1 :port 7001)", a);
    EXPECT_EQ(Field(registry.handle_request("(unregister :name S1)", b), "reason"),
              "agent registered by another connection");
    EXPECT_EQ(registry.handle_request("(unregister :name S1)", a), "(tell :status ok)");
    EXPECT_EQ(Field(registry.handle_request("(unregister :name S1)", a), "reason"),
              "unknown agent");
    EXPECT_EQ(log.back(), "unregister S1");
}

TEST_F(NameServer, BadRequestsAreRefusedWithAReasonAndChangeNothing) {
    const std::pair<const char*, const char*> cases[] = {
        {"(register :name S1 :port 0)", "invalid port"},
        {"(register :name S1 :port 65536)", "invalid port"},
        {"(register :name S1 :port 12ab)", "invalid port"},
        {"(register :name S1)", "invalid port"},
        {"(register :port 7001)", "invalid agent name"},
        {"(register :name \"<b>x</b>\" :port 7001)", "invalid agent name"},
        {"(register :name \"a(b\" :port 7001)", "invalid agent name"},
        {"(register :name \" padded\" :port 7001)", "invalid agent name"},
        {"(register :name S1 :host \"a b\" :port 7001)", "invalid host"},
        {"(frobnicate :name S1)", "unknown request"},
        {"(register :name S1 :port 7001", "malformed request: unbalanced parentheses: a list is "
                                          "not closed"},
    };
    for (const auto& [request, reason] : cases) {
        EXPECT_EQ(Field(registry.handle_request(request, a), "reason"), reason) << request;
    }
    std::string longName(256, 'n');
    EXPECT_EQ(
        Field(registry.handle_request("(register :name " + longName + " :port 1)", a), "reason"),
        "invalid agent name");
    EXPECT_TRUE(registry.entries().empty());
    EXPECT_TRUE(log.empty());
}

TEST_F(NameServer, OneConnectionCannotFillTheTable) {
    std::size_t accepted = 0;
    for (int i = 0; i < 1000; ++i) {
        const std::string reply =
            registry.handle_request("(register :name N" + std::to_string(i) + " :port 7001)", a);
        accepted += reply == "(tell :status ok)" ? 1 : 0;
    }
    EXPECT_EQ(accepted, 64u);
    EXPECT_EQ(registry.handle_request("(register :name other :port 7001)", b), "(tell :status ok)");
}

} // namespace
} // namespace halyx
