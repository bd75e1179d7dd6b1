#pragma once

// How long the calling thread's event loop kept a timer waiting, at worst, while the probe ran:
// a timer asks for a tick every 5 ms, and every gap between two ticks beyond that is latency.

#include <QElapsedTimer>
#include <QTimer>

namespace testsupport {

class LatencyProbe {
public:
    LatencyProbe() {
        m_timer.setInterval(5);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_worst = qMax(m_worst, m_clock.restart() - 5); });
        m_clock.start();
        m_timer.start();
    }
    // The worst gap in ms, counting the time since the last tick until stop.
    qint64 worstMs() const { return m_stopped ? m_worst : qMax(m_worst, m_clock.elapsed() - 5); }
    void stop() {
        m_worst = worstMs();
        m_timer.stop();
        m_stopped = true;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_worst = 0;
    bool m_stopped = false;
};

} // namespace testsupport
