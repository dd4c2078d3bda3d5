// An agent as the command station uses it, over the in-memory transport.
#include "external/agentkit/ansclient.h"
#include "external/agentkit/basicagent.h"
#include "external/agentkit/containeroptions.h"
#include "external/agentkit/memorycontainer.h"
#include "external/kqml/parser.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

class CRecordingAgent : public CBasicAgent {
public:
    explicit CRecordingAgent(std::string name) : CBasicAgent(std::move(name)) {
        set_debug_sink([this](const std::string& line) { debugLines.push_back(line); });
    }
    bool process_message(CParser& parser) override {
        performatives.push_back(parser.find_performative().value_or(""));
        return true;
    }
    void process_clock_tick() override { ++ticks; }

    std::vector<std::string> debugLines;
    std::vector<std::string> performatives;
    int ticks = 0;
};

// The registration steps the command agent takes: disable, set the beliefs, enable, then
// confirm its own name in the "lookup" list.
bool Register(CBasicAgent& agent, const std::string& name, int port) {
    CANSClient* ans = agent.get_communicator()->retrieve_ans_object();
    ans->enable(0);
    CBeliefDB* beliefs = agent.get_belief_db();
    dynamic_cast<CStringBelief*>(beliefs->find_element("ans"))->set_value("ans.example");
    dynamic_cast<CIntBelief*>(beliefs->find_element("ansport"))->set_value(6677);
    dynamic_cast<CStringBelief*>(beliefs->find_element("name"))->set_value(name);
    dynamic_cast<CIntBelief*>(beliefs->find_element("port"))->set_value(port);
    ans->enable(1);
    const CLList* found = ans->check_registration(name);
    if (found == nullptr) {
        return false;
    }
    auto* lookup = dynamic_cast<CListBelief*>(beliefs->find_element("lookup"));
    for (CListElement* e = lookup->get_value()->get_first_element(); e; e = e->get_next()) {
        if (e->get_name() == name) {
            return true;
        }
    }
    return false;
}

TEST(AgentRegistration, ANameIsHeldByOneAgentUntilItLetsGoAndLookupsFindIt) {
    CNameRegistry registry;
    CRecordingAgent first("S1");
    CMemoryCommunicator firstComm(first, &registry, 7101);
    ASSERT_TRUE(Register(first, "Shared", 7101));
    EXPECT_TRUE(firstComm.retrieve_ans_object()->is_enabled());
    EXPECT_EQ(firstComm.get_name(), "Shared");

    // A name held by another agent is a failure, not a success.
    CRecordingAgent second("S2");
    CMemoryCommunicator secondComm(second, &registry, 7102);
    EXPECT_FALSE(Register(second, "Shared", 7102));
    EXPECT_FALSE(secondComm.retrieve_ans_object()->is_enabled());
    ASSERT_FALSE(second.debugLines.empty());
    EXPECT_NE(second.debugLines.front().find("name already registered"), std::string::npos);
    EXPECT_EQ(registry.entries().at("Shared").port, 7101);

    // Disabling, or losing the connection, ends the registration.
    firstComm.retrieve_ans_object()->enable(0);
    EXPECT_TRUE(registry.entries().empty());
    ASSERT_TRUE(Register(first, "Shared", 7101));
    firstComm.memory_ans()->drop_registration_connection();
    EXPECT_TRUE(registry.entries().empty());
    EXPECT_FALSE(firstComm.retrieve_ans_object()->is_enabled());
    EXPECT_EQ(firstComm.retrieve_ans_object()->check_registration("Shared"), nullptr);

    // Lookups and the listing fill the lookup belief.
    ASSERT_TRUE(Register(first, "Shared", 7101));
    ASSERT_TRUE(Register(second, "Alpha Station", 7102));
    CANSClient* ans = firstComm.retrieve_ans_object();
    const CAgentInfo info = ans->LookupAgent("Alpha Station");
    ASSERT_TRUE(info.IsValid());
    EXPECT_EQ(info.GetAgentHost(), "127.0.0.1");
    EXPECT_EQ(info.GetAgentPortStr(), "7102");
    EXPECT_FALSE(ans->LookupAgent("Nobody").IsValid());
    EXPECT_EQ(ans->LookupAgent("Nobody").GetAgentPortStr(), "");
    std::vector<std::string> names;
    ASSERT_TRUE(ans->listall_listbox(names));
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha Station", "Shared"}));
    const CListBelief* lookup = first.get_belief_db()->find_list("lookup");
    ASSERT_NE(lookup, nullptr);
    EXPECT_EQ(lookup->get_value()->size(), 2u);
    const auto* found = dynamic_cast<const CAgentInfo*>(lookup->get_value()->get_first_element());
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->GetAgentPort(), 7102);

    // An unreachable server is a failure with its reason.
    secondComm.retrieve_ans_object()->enable(0);
    secondComm.memory_ans()->set_reachable(false);
    EXPECT_FALSE(Register(second, "Other", 7102));
    EXPECT_NE(second.debugLines.back().find("cannot reach the name server"), std::string::npos);
}

TEST(AgentSending, SendsAreRecordedWithTheirWireTextAndBrokenContentIsRefused) {
    CRecordingAgent console("HalyxCommand");
    CMemoryCommunicator comm(console);
    const auto send = [&](const char* receiver, const char* content) {
        return comm.comm_sendmessage("tell", receiver, "default-language", "default-ontology", "",
                                     "", "", content);
    };
    EXPECT_TRUE(send("S1", "tell :command clock_sync :clock 0"));
    EXPECT_TRUE(comm.comm_sendmessage_sender("tell", "S2", "S1", "default-language",
                                             "default-ontology", "", "", "",
                                             "tell :command deploy :id 3"));
    ASSERT_EQ(comm.sent().size(), 2u);
    EXPECT_EQ(comm.sent()[0].receiver, "S1");
    EXPECT_EQ(comm.sent()[0].sender, "HalyxCommand");
    EXPECT_EQ(comm.sent()[0].text,
              "(tell :sender HalyxCommand :receiver S1 :language default-language :ontology "
              "default-ontology :content (tell :command clock_sync :clock 0))");
    EXPECT_EQ(comm.sent()[1].sender, "S1");
    EXPECT_EQ(comm.sent()[1].content, "tell :command deploy :id 3");

    // Content that would break the receiver's framing (a unit name holding a parenthesis or a
    // quote, inserted as it stands), or no receiver, is refused.
    EXPECT_FALSE(send("S1", "tell :name \"Boat (1\" :x )"));
    EXPECT_FALSE(send("S1", "tell :name \"Boat"));
    EXPECT_FALSE(send("", "tell :x 1"));
    EXPECT_EQ(comm.sent().size(), 2u);
    ASSERT_EQ(console.debugLines.size(), 3u);
    EXPECT_NE(console.debugLines[0].find("not well-formed"), std::string::npos);
}

TEST(AgentReceiving, MessagesAndTicksReachTheAgent) {
    CNameRegistry registry;
    CRecordingAgent agent("HalyxCommand");
    CMemoryContainer container(agent, &registry);
    char arg0[] = "halyx";
    char* argv[] = {arg0};
    ASSERT_EQ(container.CreateContainer(1, argv, 1), 1);
    CMemoryCommunicator* comm = container.memory_communicator();
    comm->deliver_from("S1", "tell", "tell :command init_sim");
    comm->deliver_text("(broken");
    EXPECT_EQ(agent.performatives, (std::vector<std::string>{"tell"}));
    ASSERT_EQ(agent.debugLines.size(), 1u);
    EXPECT_NE(agent.debugLines[0].find("unreadable message"), std::string::npos);
    EXPECT_TRUE(container.tick());
    container.stop_clock();
    EXPECT_FALSE(container.tick());
    EXPECT_EQ(agent.ticks, 1);
}

TEST(AgentOptions, FrameworkOptionsAreReadAndOthersLeftAlone) {
    const char* argv[] = {"halyx",     "--name", "S1",     "--ans=ans.example:7000",
                          "--tick-ms", "250",    "--port", "0",
                          "--headless"};
    CContainerOptions options;
    std::string error;
    ASSERT_TRUE(ParseContainerOptions(9, argv, options, error)) << error;
    EXPECT_EQ(options.ansHost, "ans.example");
    EXPECT_EQ(options.ansPort, 7000);
    EXPECT_EQ(options.tickMs, 250);

    const char* bad[] = {"halyx", "--tick-ms", "0"};
    EXPECT_FALSE(ParseContainerOptions(3, bad, options, error));
    EXPECT_EQ(error, "bad value for --tick-ms: 0");
    const char* badPort[] = {"halyx", "--ans", "host:99999"};
    EXPECT_FALSE(ParseContainerOptions(3, badPort, options, error));
    const char* missing[] = {"halyx", "--port"};
    EXPECT_FALSE(ParseContainerOptions(2, missing, options, error));
}

} // namespace
} // namespace halyx
