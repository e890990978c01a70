#include "host/market/PushHub.h"

#include "host/data/Log.h"

#include <exception>

namespace ttmarket {

int PushHub::subscribe(const dorn::PushQuoteParam& param, Callback callback, int mode)
{
    auto sub = std::make_shared<Subscription>();
    sub->param = param;
    sub->callback = std::move(callback);
    sub->mode = mode;
    std::lock_guard<std::mutex> lock(m_mutex);
    sub->id = m_nextId++;
    if (m_nextId <= 0)
        m_nextId = 1;
    m_subs[sub->id] = sub;
    return sub->id;
}

bool PushHub::unsubscribe(int id)
{
    Callback released; // destroyed on this thread, after the lock is let go
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        auto it = m_subs.find(id);
        if (it == m_subs.end())
            return false;
        SubscriptionPtr sub = it->second;
        sub->active = false;
        m_subs.erase(it);
        if (m_runningId == id && m_runningThread == std::this_thread::get_id()) {
            // Inside its own callback: the running call finishes on this very thread and
            // no further call starts; the callback dies when the delivery ends.
            return true;
        }
        m_idle.wait(lock, [&] { return m_runningId != id; });
        released.swap(sub->callback);
    }
    return true;
}

void PushHub::clear()
{
    std::vector<int> ids;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& entry : m_subs)
            ids.push_back(entry.first);
    }
    for (int id : ids)
        unsubscribe(id);
}

int PushHub::count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_subs.size());
}

bool PushHub::hasSubscribers(const std::string& market, int mode) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& entry : m_subs) {
        if (entry.second->mode == mode && entry.second->param.market == market)
            return true;
    }
    return false;
}

int PushHub::deliver(const std::string& market, int mode, const QVector<QString>& codes,
                     const QVector<QString>& markets,
                     const std::vector<quoter::QuoterAllDataPtr>& quotes)
{
    std::lock_guard<std::mutex> batch(m_deliverMutex);
    m_targets.clear();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& entry : m_subs) {
            if (entry.second->mode == mode && entry.second->param.market == market)
                m_targets.push_back(entry.second);
        }
    }
    int calls = 0;
    for (const SubscriptionPtr& sub : m_targets) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!sub->active)
                continue;
            m_runningId = sub->id;
            m_runningThread = std::this_thread::get_id();
        }
        dorn::PushQuoteParam param = sub->param;
        param.queued = sub->param.option == 1;
        try {
            sub->callback(param, codes, markets, quotes);
        } catch (const std::exception& e) {
            TT_LOG_ERROR("[push] callback of %1% threw: %2%", sub->id, e.what());
        } catch (...) {
            TT_LOG_ERROR("[push] callback of %1% threw", sub->id);
        }
        ++calls;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_runningId = 0;
            m_runningThread = std::thread::id();
        }
        m_idle.notify_all();
    }
    // drop the references now so an unsubscribed callback's captures die with it
    m_targets.clear();
    return calls;
}

} // namespace ttmarket
