#include "host/data/AccountData.h"

#include <algorithm>

namespace ttservice {

void updateDerivedValues(CPositionStatics& r)
{
    const double unit = r.contractUnit > 0 ? r.contractUnit : 1;
    r.positionCost = r.costPrice * r.volume * unit;
    r.marketValue = r.lastPrice * r.volume * unit;
    r.profit = r.marketValue - r.positionCost;
    if (r.direction == eDirectionShort)
        r.profit = -r.profit;
    r.profitRate = r.positionCost > 0.0 ? r.profit / r.positionCost : 0.0;
}

CAccountData::CAccountData(const CAccountInfo& info)
    : m_pInfo(std::make_shared<const CAccountInfo>(info))
{
}

CAccountData::~CAccountData() = default;

CAccountInfoPtr CAccountData::getAccountInfo() const
{
    return m_pInfo;
}

std::vector<CPositionStaticsPtr> CAccountData::getPositions() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_vecPositions;
}

CPositionStaticsPtr CAccountData::getPosition(const QString& positionKey) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& p : m_vecPositions)
        if (p->key == positionKey)
            return p;
    return nullptr;
}

int CAccountData::subscribe(int dataKind, PositionStatCallback callback)
{
    if (dataKind != eDataPositionStat || !callback)
        return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    const int id = m_nNextId++;
    m_vecSubscribers.push_back({id, std::move(callback)});
    return id;
}

void CAccountData::unsubscribe(int id)
{
    // waits for a delivery running on another thread; re-entrant from inside a callback
    std::lock_guard<std::recursive_mutex> delivering(m_deliverMutex);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vecSubscribers.erase(std::remove_if(m_vecSubscribers.begin(), m_vecSubscribers.end(),
                                          [id](const Subscriber& s) { return s.id == id; }),
                           m_vecSubscribers.end());
}

int CAccountData::subscriptionCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_vecSubscribers.size());
}

void CAccountData::publish(const CPositionStatics& record)
{
    auto shared = std::make_shared<const CPositionStatics>(record);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = std::find_if(m_vecPositions.begin(), m_vecPositions.end(),
                               [&](const CPositionStaticsPtr& p) { return p->key == record.key; });
        if (it != m_vecPositions.end())
            *it = shared;
        else
            m_vecPositions.push_back(shared);
    }
    deliver(shared);
}

void CAccountData::resetPositions(const std::vector<CPositionStatics>& records)
{
    std::vector<CPositionStaticsPtr> fresh;
    fresh.reserve(records.size());
    for (const auto& r : records)
        fresh.push_back(std::make_shared<const CPositionStatics>(r));
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vecPositions.swap(fresh);
}

void CAccountData::deliver(const CPositionStaticsPtr& record)
{
    std::lock_guard<std::recursive_mutex> delivering(m_deliverMutex);
    std::vector<int> ids;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& s : m_vecSubscribers)
            ids.push_back(s.id);
    }
    for (int kind : {ePushPosition, ePushCode}) {
        for (int id : ids) {
            // looked up per call: an earlier callback may have unsubscribed this one
            PositionStatCallback callback;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                for (const auto& s : m_vecSubscribers)
                    if (s.id == id)
                        callback = s.callback;
            }
            if (callback)
                callback(kind, record);
        }
    }
}

} // namespace ttservice
