#pragma once
// Push subscriptions and their guarded delivery. Deliveries are serialised (one batch at
// a time, whatever thread fires it), and an unsubscribe waits only for a callback of its
// own id running on another thread, so a callback may unsubscribe itself or others.

#include "host/data/PushQuoteParam.h"

#include <QString>
#include <QVector>
#include <boost/function.hpp>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ttmarket {

// Delivery modes, the values of CFormulaManager::EPushMode: the instruments changed since
// the last batch, or the whole market.
constexpr int kModeChanged = 1;
constexpr int kModeAll = 2;

class PushHub final {
public:
    using Callback = boost::function<void(dorn::PushQuoteParam&, const QVector<QString>&,
                                          const QVector<QString>&,
                                          const std::vector<quoter::QuoterAllDataPtr>&)>;

    // Returns the id (> 0).
    int subscribe(const dorn::PushQuoteParam& param, Callback callback, int mode);
    // False for an unknown id. Never waits for a callback running on the calling thread.
    bool unsubscribe(int id);
    void clear();
    int count() const;
    bool hasSubscribers(const std::string& market, int mode) const;

    // Calls every subscription of market with that mode; returns the number of calls.
    int deliver(const std::string& market, int mode, const QVector<QString>& codes,
                const QVector<QString>& markets,
                const std::vector<quoter::QuoterAllDataPtr>& quotes);

private:
    struct Subscription {
        int id = 0;
        dorn::PushQuoteParam param;
        Callback callback;
        int mode = 0;
        bool active = true;
    };
    using SubscriptionPtr = std::shared_ptr<Subscription>;

    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    std::map<int, SubscriptionPtr> m_subs; // id -> subscription
    int m_nextId = 1;
    int m_runningId = 0; // id whose callback runs now, 0 for none
    std::thread::id m_runningThread;
    std::mutex m_deliverMutex;              // one batch at a time
    std::vector<SubscriptionPtr> m_targets; // reused per delivery
};

} // namespace ttmarket
