#pragma once
// Trade linkage: the day's buy and sell sums per account and instrument, fed by the trading
// service. Thread-safe.

#include <QSet>
#include <QString>

#include <map>
#include <memory>
#include <mutex>
#include <tuple>

namespace TC {

class CLinkageManager final {
public:
    static CLinkageManager* instance();

    bool isActive() const;
    void setActive(bool active);

    // Sums over the given accounts (keys or account ids) of the trades in one instrument on
    // a trading day (midnight UTC+8 seconds, as the trade calendar counts). Zero when none.
    void getBuySellVolumes(int tradeDate, const QSet<QString>& accounts, const QString& stockKey,
                           double& buyVolume, double& sellVolume) const;
    void getBuySellAmounts(int tradeDate, const QSet<QString>& accounts, const QString& stockKey,
                           double& buyAmount, double& sellAmount) const;

    // Records one trade: positive volume buys, negative sells; amount = |volume| x price x unit.
    void addTrade(int tradeDate, const QString& accountKey, const QString& accountId,
                  const QString& stockKey, double volume, double price, int contractUnit = 1);
    void clear();

private:
    CLinkageManager() = default;
    struct Sums {
        double buyVolume = 0.0, sellVolume = 0.0, buyAmount = 0.0, sellAmount = 0.0;
    };
    Sums sum(int tradeDate, const QSet<QString>& accounts, const QString& stockKey) const;

    mutable std::mutex m_mutex;
    bool m_bActive = true;
    // (trade date, stock key, account key) -> sums; account id -> key resolves id lookups
    std::map<std::tuple<int, QString, QString>, Sums> m_mapSums;
    std::map<QString, QString> m_mapIdToKey;
};

} // namespace TC
