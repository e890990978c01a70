#pragma once
// A market backend over the embedded market whose daily bars of chosen codes wait for the
// test's permission, so a fetch can be held on its worker thread at a known point.

#include "BrowseTestMarket.h"

#include <QSet>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>

class DailyBarGate : public browsetest::ForwardingBackend {
public:
    using ForwardingBackend::ForwardingBackend;

    // Codes whose daily bars wait; an empty set lets everything through.
    void hold(const QSet<QString>& codes)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_held = codes;
        m_cv.notify_all();
    }
    void release() { hold({}); }
    // Lets every held read through and waits until every fetch worker has ended.
    bool releaseAndWait()
    {
        release();
        return browsetest::fetchWorkersDone();
    }
    // Waits until at least n reads wait at the gate.
    bool waitForWaiting(int n, int timeoutMs = 10000)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return m_waiting >= n; });
    }

    std::vector<quoter::KLineData> dailyBars(const std::string& m, const std::string& c) override
    {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            const QString code = QString::fromStdString(c);
            if (m_held.contains(code)) {
                ++m_waiting;
                m_cv.notify_all();
                m_cv.wait(lock, [&] { return !m_held.contains(code); });
                --m_waiting;
            }
        }
        return m_inner->dailyBars(m, c);
    }
    std::vector<quoter::KLineData> minuteBarsOfDay(const std::string& m, const std::string& c,
                                                   int date) override
    {
        return m_inner->minuteBarsOfDay(m, c, date);
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    QSet<QString> m_held;
    int m_waiting = 0;
};
