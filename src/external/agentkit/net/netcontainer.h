#pragma once

// The container of a real agent: a TCP communicator listening on its port, the name-server
// client, and the clock timer, all on the thread of the Qt event loop (a QCoreApplication or
// QApplication must exist). Options: see agentkit/agentcontainer.h.
//
//   QCoreApplication app(argc, argv);
//   CMyAgent agent;
//   CNetContainer container(agent);
//   if (container.CreateContainer(argc, argv, 1) == 0) return 1;
//   return app.exec();

#include "external/agentkit/agentcontainer.h"
#include "external/agentkit/net/tcpcommunicator.h"
#include "external/agentkit/tickschedule.h"

#include <QTimer>

#include <memory>

namespace halyx {

class CNetContainer : public CAgentContainer {
public:
    explicit CNetContainer(CBasicAgent& agent);
    ~CNetContainer() override;

    int CreateContainer(int argc, char** argv, int startClock) override;
    CCommunicator* get_communicator() override { return m_communicator.get(); }
    CTcpCommunicator* tcp_communicator() { return m_communicator.get(); }

    void start_clock() override;
    void stop_clock() override;
    bool clock_running() const override { return m_running; }
    void set_tick_interval(int milliseconds) override;
    int get_tick_interval() const override { return m_schedule.PeriodMs(); }

private:
    void ArmClock();
    void OnClockTimer();

    std::unique_ptr<CTcpCommunicator> m_communicator;
    // One shot per tick, aimed at the tick's deadline (see CTickSchedule): a repeating timer
    // counts each period from when it fired, so every late tick would delay all later ones.
    QTimer m_clock;
    CTickSchedule m_schedule;
    bool m_running = false;
};

} // namespace halyx
