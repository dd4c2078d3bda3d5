// When the clock's ticks fall due: each against its own deadline from the start.
#include "external/agentkit/tickschedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace halyx {
namespace {

using Clock = CTickSchedule::Clock;
using std::chrono::milliseconds;

// Plays the container's loop against a made-up clock: fire when due, tick, re-arm. handleMs is
// how long each tick takes to handle (a stall when large); answers the times ticks were
// delivered, in milliseconds from the start.
std::vector<long> PlayTicks(CTickSchedule& schedule, Clock::time_point start, long untilMs,
                            const std::vector<long>& handleMs) {
    std::vector<long> delivered;
    Clock::time_point now = start;
    while (now - start < milliseconds(untilMs)) {
        now += milliseconds(schedule.DelayUntilNext(now));
        delivered.push_back(std::chrono::duration_cast<milliseconds>(now - start).count());
        schedule.Ticked();
        const size_t i = delivered.size() - 1;
        now += milliseconds(i < handleMs.size() ? handleMs[i] : 0);
    }
    return delivered;
}

// A slow tick does not push the next ones back, as a timer counting from each firing would; the
// minutes that fell due during a stall come one by one at once, none merged, none skipped.
TEST(ClockSchedule, EachTickFallsOnItsOwnDeadlineWhateverCameLate) {
    const struct {
        std::vector<long> handleMs;
        long untilMs;
        std::vector<long> ticks;
    } cases[] = {{{}, 5000, {1000, 2000, 3000, 4000, 5000}},
                 {{600}, 4000, {1000, 2000, 3000, 4000}},
                 {{3500}, 7000, {1000, 4500, 4500, 4500, 5000, 6000, 7000}}};
    for (const auto& c : cases) {
        CTickSchedule schedule;
        const Clock::time_point start = Clock::now();
        schedule.Start(start, 1000);
        EXPECT_EQ(schedule.DelayUntilNext(start + milliseconds(999)), 1);
        EXPECT_EQ(PlayTicks(schedule, start, c.untilMs, c.handleMs), c.ticks);
        EXPECT_EQ(schedule.Ticks(), static_cast<std::int64_t>(c.ticks.size()));
    }
}

TEST(ClockSchedule, ASpeedChangeCountsFromWhenItIsMade) {
    CTickSchedule schedule;
    const Clock::time_point start = Clock::now();
    schedule.Start(start, 1000);
    schedule.Ticked(); // the tick at 1000
    // Four times as fast from 1300 on: due at 1550, not at once and not at 2000.
    schedule.SetPeriod(start + milliseconds(1300), 250);
    EXPECT_EQ(schedule.DelayUntilNext(start + milliseconds(1300)), 250);
    EXPECT_EQ(schedule.NextDeadline(), start + milliseconds(1550));
    // A nonsense period is taken as the shortest one rather than dividing by zero or stalling.
    schedule.SetPeriod(start, 0);
    EXPECT_EQ(schedule.PeriodMs(), 1);
    EXPECT_EQ(schedule.DelayUntilNext(start), 1);
}

} // namespace
} // namespace halyx
