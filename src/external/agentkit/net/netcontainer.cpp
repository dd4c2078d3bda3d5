#include "external/agentkit/net/netcontainer.h"

#include "external/agentkit/basicagent.h"
#include "external/agentkit/containeroptions.h"

#include <QCoreApplication>
#include <QHostAddress>

namespace halyx {

CNetContainer::CNetContainer(CBasicAgent& agent) : CAgentContainer(agent) {
    // The simulation clock keeps time to the millisecond, not within a coarse timer's slack.
    m_clock.setTimerType(Qt::PreciseTimer);
    m_clock.setSingleShot(true);
    m_schedule.Start(CTickSchedule::Clock::now(), 1000);
    QObject::connect(&m_clock, &QTimer::timeout, &m_clock, [this] { OnClockTimer(); });
}

CNetContainer::~CNetContainer() {
    m_running = false;
    m_clock.stop();
    m_communicator.reset();
}

void CNetContainer::start_clock() {
    if (m_running) {
        return;
    }
    m_running = true;
    m_schedule.Start(CTickSchedule::Clock::now(), m_schedule.PeriodMs());
    ArmClock();
}

void CNetContainer::stop_clock() {
    m_running = false;
    m_clock.stop();
}

void CNetContainer::set_tick_interval(int milliseconds) {
    m_schedule.SetPeriod(CTickSchedule::Clock::now(), milliseconds > 0 ? milliseconds : 1);
    if (m_running) {
        ArmClock();
    }
}

void CNetContainer::ArmClock() {
    m_clock.start(m_schedule.DelayUntilNext(CTickSchedule::Clock::now()));
}

void CNetContainer::OnClockTimer() {
    if (!m_running) {
        return;
    }
    m_schedule.Ticked();
    get_agent().process_clock_tick();
    // The tick may have stopped the clock, or changed its period (which re-arms it already).
    if (m_running && !m_clock.isActive()) {
        ArmClock();
    }
}

int CNetContainer::CreateContainer(int argc, char** argv, int startClock) {
    CBasicAgent& agent = get_agent();
    const auto fail = [&agent](const std::string& why) {
        agent.debug("<CAgentContainer::CreateContainer()> " + why);
        return 0;
    };
    if (QCoreApplication::instance() == nullptr) {
        return fail("no Qt application object: the agent needs an event loop");
    }
    if (m_communicator) {
        return fail("the agent is already started");
    }
    CContainerOptions options;
    std::string error;
    if (!ParseContainerOptions(argc, argv, options, error)) {
        return fail(error);
    }
    QHostAddress address(QHostAddress::Any);
    if (!options.bind.empty() && !address.setAddress(QString::fromStdString(options.bind))) {
        return fail("cannot listen on " + options.bind + ": not an address");
    }
    auto communicator = std::make_unique<CTcpCommunicator>(agent);
    agent.init_beliefs();
    CBeliefDB* beliefs = agent.get_belief_db();
    if (options.ansHost) {
        beliefs->set_string("ans", *options.ansHost);
    }
    if (options.ansPort) {
        beliefs->set_int("ansport", *options.ansPort);
    }
    if (!options.host.empty()) {
        beliefs->set_string("host", options.host);
    }
    if (!communicator->listen(address, static_cast<quint16>(options.port), error)) {
        agent.attach_communicator(nullptr);
        return fail(error);
    }
    communicator->set_send_timeout(options.sendTimeoutMs);
    m_communicator = std::move(communicator);
    set_tick_interval(options.tickMs);
    if (startClock != 0) {
        start_clock();
    }
    return 1;
}

} // namespace halyx
