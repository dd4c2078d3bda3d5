#pragma once

// The longest time the event loop went without a turn, for the desktop benchmarks.

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace halyx {

// The longest time the event loop went without a turn, seen by a 1 ms timer while it lives.
// Gaps count once counting() says so (always when not given).
class CLoopGaps {
public:
    explicit CLoopGaps(std::function<bool()> counting = {}) : m_counting(std::move(counting)) {
        m_turns.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_turns, &QTimer::timeout, [this] {
            if (m_sinceTurn.isValid() && (!m_counting || m_counting())) {
                m_maxMs = std::max(m_maxMs, SinceTurnMs());
            }
            m_sinceTurn.start();
        });
        m_turns.start(1);
    }
    // Counts from now, as if the loop had just turned.
    void Restart() { m_sinceTurn.start(); }
    double SinceTurnMs() const { return static_cast<double>(m_sinceTurn.nsecsElapsed()) / 1e6; }
    double MaxMs() const { return m_maxMs; }

private:
    std::function<bool()> m_counting;
    QTimer m_turns;
    QElapsedTimer m_sinceTurn;
    double m_maxMs = 0;
};

} // namespace halyx
