#include "external/agentkit/tickschedule.h"

#include <algorithm>

namespace halyx {

void CTickSchedule::Start(Clock::time_point now, int periodMs) {
    m_base = now;
    m_ticks = 0;
    m_periodMs = std::max(1, periodMs);
}

void CTickSchedule::SetPeriod(Clock::time_point now, int periodMs) {
    Start(now, periodMs);
}

CTickSchedule::Clock::time_point CTickSchedule::NextDeadline() const {
    return m_base + std::chrono::milliseconds(m_periodMs) * (m_ticks + 1);
}

int CTickSchedule::DelayUntilNext(Clock::time_point now) const {
    const auto left = NextDeadline() - now;
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<std::int64_t>(ms, m_periodMs));
}

} // namespace halyx
