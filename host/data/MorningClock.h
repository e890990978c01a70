#pragma once
// The host clock run as a trading morning whatever the wall time: it starts at 10:00 of
// the last trading day and follows the wall clock from there. For the programs that run
// the simulated market (the demo terminal, the feed daemon).

#include "host/data/HostClock.h"
#include "host/data/StockManager.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace TC {

class MorningClock final {
public:
    // Sets the host clock now and moves it on every stepMs.
    explicit MorningClock(int stepMs)
        : m_open(
            (qint64(CStockManager::instance()->getLastTradingDay(QStringLiteral("SH"))) + 10 * 3600)
            * 1000)
    {
        HostClock::setNowMs(m_open);
        m_sinceStart.start();
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this]() { HostClock::setNowMs(m_open + m_sinceStart.elapsed()); });
        m_timer.start(stepMs);
    }
    MorningClock(const MorningClock&) = delete;
    MorningClock& operator=(const MorningClock&) = delete;

    // wall milliseconds since the clock was set
    qint64 elapsedMs() const { return m_sinceStart.elapsed(); }

private:
    const qint64 m_open;
    QElapsedTimer m_sinceStart;
    QTimer m_timer;
};

} // namespace TC
