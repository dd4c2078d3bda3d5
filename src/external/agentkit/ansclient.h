#pragma once

// The client side of the name server. The communicator owns one (retrieve_ans_object); its
// settings come from the belief base ("ans", "ansport", "name", "port", "host"), its answers
// go to the caller and into the "lookup" list belief.
//
//   CANSClient* ans = communicator->retrieve_ans_object();
//   ans->enable(0);
//   beliefs->set_string("ans", host); beliefs->set_int("ansport", 6677);
//   beliefs->set_string("name", "HalyxCommand"); beliefs->set_int("port", port);
//   ans->enable(1);                                        // registers, keeps the connection
//   if (const CLList* found = ans->check_registration("HalyxCommand")) ...   // walk it
//   CAgentInfo info = ans->LookupAgent("Station1");
//   std::vector<std::string> names; ans->listall_listbox(names);
//
// Every call here waits for the name server's answer (bounded by a time-out), as the user who
// pressed "Register" or "Add Client" does; sending messages never waits.

#include "external/agentkit/agentinfo.h"
#include "external/agentkit/llist.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace halyx {

class CBeliefDB;

class CLookupModule {
public:
    virtual ~CLookupModule() = default;
    // 1: register with the name server named by the beliefs; 0: unregister. Answers whether the
    // module is now in the state asked for.
    virtual bool enable(int on) = 0;
    virtual bool is_enabled() const = 0;
};

// Where a registration stands. A registration whose connection broke while it was wanted is
// Retrying until the name server takes it again (a restarted server starts empty).
enum class RegistrationState { Unregistered, Registered, Retrying };

class CANSClient : public CLookupModule {
public:
    explicit CANSClient(CBeliefDB& beliefs);
    ~CANSClient() override;

    bool enable(int on) override;
    bool is_enabled() const override { return m_registered; }
    RegistrationState registration_state() const;
    // Told, on the event-loop thread, when the state changes by itself: the registration was
    // lost (detail says why) or was taken again after a loss. Not told of enable's own changes.
    using StateObserver = std::function<void(RegistrationState state, const std::string& detail)>;
    void set_state_observer(StateObserver observer) { m_stateObserver = std::move(observer); }
    // Told when the name server refuses this agent's name (it is held by another agent, or bound
    // to another host), with the server's reason: at once for enable(1), and once per reason
    // while the registration is being taken again in the background.
    using RefusalObserver = std::function<void(const std::string& name, const std::string& reason)>;
    void set_refusal_observer(RefusalObserver observer) { m_refusalObserver = std::move(observer); }
    // The name of the live registration ("" when there is none).
    const std::string& registered_name() const { return m_registeredName; }

    // Asks the name server about name. Invalid when unknown or when the server cannot be asked.
    // The "lookup" belief then holds the answer (one record, or none).
    CAgentInfo LookupAgent(const std::string& name);
    // Every registered agent, sorted by name; false when the server cannot be asked. The
    // "lookup" belief then holds the same records.
    bool listall(std::vector<CAgentInfo>& agents);
    // The names of listall, for a list box.
    bool listall_listbox(std::vector<std::string>& names);
    // Confirms that this client holds the registration of name: looks the name up and answers
    // the "lookup" list, or nullptr when this client does not hold it (not enabled, registered
    // under another name, or the server gives no answer). A name held by some other agent is
    // not a success.
    const CLList* check_registration(const std::string& name);

    // Why the last call failed ("" after a success).
    const std::string& last_error() const { return m_lastError; }
    void set_diagnostic_sink(std::function<void(const std::string&)> sink) {
        m_diagnostics = std::move(sink);
    }

protected:
    // The transport, implemented over TCP (net/) or in memory (tests).
    // Opens the connection that carries the registration and stays open while it lives.
    virtual bool open_registration(const std::string& host, int port, std::string& error) = 0;
    virtual void close_registration() = 0;
    // One request, one reply: on the registration connection (register, unregister), or on a
    // connection of its own to host:port (lookups, so that a late answer can never be taken for
    // the answer to a later question). nullopt (and error) when no reply came.
    virtual std::optional<std::string> request(const std::string& host, int port,
                                               const std::string& text, bool onRegistration,
                                               std::string& error) = 0;
    // The address by which the name server sees this host (the registration's default host).
    virtual std::string registration_local_host() const = 0;
    // The port this agent listens on (the registration's default port).
    virtual int listening_port() const = 0;

    // The transport calls this when the registration connection breaks.
    void registration_lost(const std::string& why);
    // Starts taking the lost registration again in the background (never waiting); false when
    // the transport cannot, and the registration stays lost.
    virtual bool start_reregistration() { return false; }
    // For the transport's background registration: the request for the name being taken again,
    // whether a reply accepts it, and the news that it did.
    const std::string& wanted_name() const { return m_wantedName; }
    std::string registration_request(const std::string& ownHost) const;
    bool registration_accepted(const std::string& reply, std::string& why) const;
    // The server answered the registration of the wanted name with a refusal.
    void registration_refused(const std::string& reply);
    void registration_restored();
    void diagnostic(const std::string& text) const;

    CBeliefDB& beliefs() { return m_beliefs; }

private:
    std::optional<std::string> Ask(const std::string& text, bool onRegistration);
    void StoreLookup(const std::vector<CAgentInfo>& agents);

    CBeliefDB& m_beliefs;
    void Notify(RegistrationState state, const std::string& detail) const;

    bool m_registered = false;
    bool m_retrying = false;
    std::string m_registeredName;
    std::string m_wantedName;
    StateObserver m_stateObserver;
    RefusalObserver m_refusalObserver;
    std::string m_lastRefusal; // said once while retrying
    std::string m_lastError;
    std::function<void(const std::string&)> m_diagnostics;
};

} // namespace halyx
