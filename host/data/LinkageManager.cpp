#include "host/data/LinkageManager.h"

#include <cmath>
#include <vector>

namespace TC {

CLinkageManager* CLinkageManager::instance()
{
    static CLinkageManager manager;
    return &manager;
}

bool CLinkageManager::isActive() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bActive;
}

void CLinkageManager::setActive(bool active)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bActive = active;
}

CLinkageManager::Sums CLinkageManager::sum(int tradeDate, const QSet<QString>& accounts,
                                           const QString& stockKey) const
{
    // asked for every row of a position list: no allocation beyond the lookup keys
    Sums total;
    std::lock_guard<std::mutex> lock(m_mutex);
    const QString* inline_[16];
    std::vector<const QString*> spill; // more accounts than a row usually has
    if (accounts.size() > 16)
        spill.resize(size_t(accounts.size()));
    const QString** summed = spill.empty() ? inline_ : spill.data();
    int nSummed = 0;
    for (const QString& a : accounts) {
        auto id = m_mapIdToKey.find(a);
        const QString& key = id != m_mapIdToKey.end() ? id->second : a;
        // an account named by key and by id counts once
        bool twice = false;
        for (int i = 0; i < nSummed && !twice; ++i)
            twice = *summed[i] == key;
        if (twice)
            continue;
        summed[nSummed++] = &key;
        auto it = m_mapSums.find(std::make_tuple(tradeDate, stockKey, key));
        if (it == m_mapSums.end())
            continue;
        total.buyVolume += it->second.buyVolume;
        total.sellVolume += it->second.sellVolume;
        total.buyAmount += it->second.buyAmount;
        total.sellAmount += it->second.sellAmount;
    }
    return total;
}

void CLinkageManager::getBuySellVolumes(int tradeDate, const QSet<QString>& accounts,
                                        const QString& stockKey, double& buyVolume,
                                        double& sellVolume) const
{
    const Sums s = sum(tradeDate, accounts, stockKey);
    buyVolume = s.buyVolume;
    sellVolume = s.sellVolume;
}

void CLinkageManager::getBuySellAmounts(int tradeDate, const QSet<QString>& accounts,
                                        const QString& stockKey, double& buyAmount,
                                        double& sellAmount) const
{
    const Sums s = sum(tradeDate, accounts, stockKey);
    buyAmount = s.buyAmount;
    sellAmount = s.sellAmount;
}

void CLinkageManager::addTrade(int tradeDate, const QString& accountKey, const QString& accountId,
                               const QString& stockKey, double volume, double price,
                               int contractUnit)
{
    if (accountKey.isEmpty() || stockKey.isEmpty() || !std::isfinite(volume)
        || !std::isfinite(price) || volume == 0.0)
        return;
    const double amount = std::fabs(volume) * price * (contractUnit > 0 ? contractUnit : 1);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!accountId.isEmpty() && accountId != accountKey)
        m_mapIdToKey[accountId] = accountKey;
    Sums& s = m_mapSums[std::make_tuple(tradeDate, stockKey, accountKey)];
    if (volume > 0.0) {
        s.buyVolume += volume;
        s.buyAmount += amount;
    } else {
        s.sellVolume += -volume;
        s.sellAmount += amount;
    }
}

void CLinkageManager::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mapSums.clear();
    m_mapIdToKey.clear();
}

} // namespace TC
