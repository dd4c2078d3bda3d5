// The name server's answers, and the life of a registration tied to its connection.
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

TEST_F(NameServer, LiveNameIsRefusedToAnotherConnectionUntilItClosesOrItsHolderLetsGo) {
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
    // The name is free again for anyone; only its holder may unregister it.
    EXPECT_EQ(registry.handle_request("(register :name S1 :port 7003)", b), "(tell :status ok)");
    const CNameRegistry::ConnectionId c = registry.open_connection("10.0.0.3");
    EXPECT_EQ(Field(registry.handle_request("(unregister :name S1)", c), "reason"),
              "agent registered by another connection");
    EXPECT_EQ(registry.handle_request("(unregister :name S1)", b), "(tell :status ok)");
    EXPECT_EQ(Field(registry.handle_request("(unregister :name S1)", b), "reason"),
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

TEST_F(NameServer, ABoundNameIsRefusedToEveryOtherHost) {
    std::vector<CNameRegistry::Binding> bindings;
    std::string error;
    ASSERT_TRUE(CNameRegistry::parse_bindings("# the lab\n"
                                              "Lab-HalyxCommand 10.0.0.1\n"
                                              "  Alpha Station  10.0.0.2\r\n"
                                              "\n"
                                              "Radar-* 10.0.0.2\n"
                                              "Radar-* 10.0.0.3\n",
                                              bindings, error))
        << error;
    ASSERT_EQ(bindings.size(), 4u);
    EXPECT_EQ(bindings[1].pattern, "Alpha Station");
    registry.set_bindings(bindings);
    const CNameRegistry::ConnectionId c = registry.open_connection("10.0.0.3");

    // The squatter on another host is refused, even when it claims the owner's host.
    EXPECT_EQ(Field(registry.handle_request(
                        "(register :name Lab-HalyxCommand :host 10.0.0.1 :port 7000)", b),
                    "reason"),
              "name bound to another host");
    EXPECT_EQ(registry.handle_request("(register :name Lab-HalyxCommand :port 7000)", a),
              "(tell :status ok)");
    EXPECT_EQ(
        Field(registry.handle_request("(register :name Radar-North :port 7001)", a), "reason"),
        "name bound to another host");
    EXPECT_EQ(registry.handle_request("(register :name Radar-North :port 7001)", c),
              "(tell :status ok)");
    EXPECT_EQ(registry.handle_request("(register :name \"Alpha Station\" :port 7002)", b),
              "(tell :status ok)");
    // Names no line names stay first come, first served.
    EXPECT_EQ(registry.handle_request("(register :name Free :port 7003)", c), "(tell :status ok)");
    EXPECT_TRUE(registry.is_bound("Radar-"));
    EXPECT_FALSE(registry.is_bound("Radar"));

    // A names file with a line that is not NAME HOST is refused with its line.
    for (const char* bad : {"Alone\n", "ok 10.0.0.1\nbad(name) 10.0.0.1\n", "name bad<host\n"}) {
        std::vector<CNameRegistry::Binding> none;
        EXPECT_FALSE(CNameRegistry::parse_bindings(bad, none, error)) << bad;
        EXPECT_TRUE(error.starts_with("line ")) << error;
    }
}

TEST_F(NameServer, ARestartedServerKeepsEachNameForItsOwnerUntilTheGraceEnds) {
    registry.handle_request("(register :name Lab-HalyxCommand :host console :port 7000)", a);
    registry.handle_request("(register :name ALPHA :port 7100)", b);
    const std::string saved = registry.save_state();

    CNameRegistry restarted;
    restarted.set_grace(std::chrono::seconds(60));
    const auto start = CNameRegistry::Clock::now();
    std::string error;
    ASSERT_TRUE(restarted.load_state(saved, start, error)) << error;
    const CNameRegistry::ConnectionId attacker = restarted.open_connection("10.0.0.9");
    const CNameRegistry::ConnectionId console = restarted.open_connection("10.0.0.1");
    // Lookups answer as before the restart; the name is not free for the first comer.
    EXPECT_EQ(restarted.handle_request("(lookup :name Lab-HalyxCommand)", attacker),
              "(tell :name Lab-HalyxCommand :host console :port 7000)");
    EXPECT_EQ(Field(restarted.handle_request("(register :name Lab-HalyxCommand :port 1)", attacker),
                    "reason"),
              "name already registered");
    // The owner's host takes it back (on a new port), and keeps it from then on.
    EXPECT_EQ(restarted.handle_request("(register :name Lab-HalyxCommand :port 7001)", console),
              "(tell :status ok)");
    EXPECT_EQ(restarted.drop_stale(start + std::chrono::seconds(61), 0), 0u); // a step of none
    EXPECT_EQ(restarted.drop_stale(start + std::chrono::seconds(61)), 1u);    // ALPHA only
    EXPECT_EQ(Field(restarted.handle_request("(lookup :name Lab-HalyxCommand)", attacker), "port"),
              "7001");
    EXPECT_EQ(Field(restarted.handle_request("(lookup :name ALPHA)", attacker), "reason"),
              "unknown agent");
    EXPECT_EQ(restarted.handle_request("(register :name ALPHA :port 1)", attacker),
              "(tell :status ok)");

    // Not a saved table: refused with its line, nothing restored.
    CNameRegistry other;
    EXPECT_FALSE(other.load_state("A\th\t7000\t10.0.0.1\nB\th\tport\t10.0.0.1\n", start, error));
    EXPECT_EQ(error, "line 2: not a saved registration");
    EXPECT_TRUE(other.entries().empty());
}

} // namespace
} // namespace halyx
