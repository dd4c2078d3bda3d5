#pragma once

// When the clock's ticks are due. Every tick has a deadline counted from the moment the clock
// started (start + n x period), so a tick that is handled late does not push the later ones back:
// the next one is due at its own deadline, at once when that has already passed. Ticks are
// never merged or dropped; a long stall is followed by back-to-back ticks until the clock has
// caught up, so that stations still see every minute once, in order.
//
//   CTickSchedule schedule;
//   schedule.Start(now, 1000);
//   timer.start(schedule.DelayUntilNext(now));   // ... on timeout:
//   schedule.Ticked(); agent.process_clock_tick();
//   timer.start(schedule.DelayUntilNext(steady_clock::now()));

#include <chrono>
#include <cstdint>

namespace halyx {

class CTickSchedule {
public:
    using Clock = std::chrono::steady_clock;

    // Starts counting from now; the first tick is due one period later.
    void Start(Clock::time_point now, int periodMs);
    // A new period from now on: the next tick is due one new period after now (a speed change
    // must not fire the next tick at once nor wait out the rest of the old period).
    void SetPeriod(Clock::time_point now, int periodMs);
    int PeriodMs() const { return m_periodMs; }

    // Milliseconds until the next tick is due, rounded up; 0 when it is due or overdue.
    int DelayUntilNext(Clock::time_point now) const;
    // The tick that was due has been delivered; the next one is due one period after its deadline.
    void Ticked() { ++m_ticks; }

    Clock::time_point NextDeadline() const;
    // Ticks delivered since Start or SetPeriod.
    std::int64_t Ticks() const { return m_ticks; }

private:
    Clock::time_point m_base{};
    std::int64_t m_ticks = 0;
    int m_periodMs = 1000;
};

} // namespace halyx
