#pragma once
// Trading accounts and their positions as the trading service keeps them. Records are
// immutable once published: an update replaces the shared record, so a reader holding one
// never sees it change.

#include <QString>
#include <QVector>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace ttservice {

// The account-type numbers the position sectors are keyed by.
enum EAccountType {
    eAccountFuture = 1,
    eAccountStock = 2,
    eAccountCredit = 3, // 融资融券
    eAccountStockOption = 6,
    eAccountHGT = 7, // 沪港通
    eAccountSGT = 11 // 深港通
};

// Data kinds of subscriptions.
enum EDataKind { eDataPositionStat = 547 };

// Push kinds of a position-statistics subscription: every change is pushed once per kind.
enum EPositionPushKind { ePushPosition = 0, ePushCode = 1 };

enum EPositionDirection { eDirectionLong = 0, eDirectionShort = 1 };

class IData {
public:
    virtual ~IData() = default;
    virtual QString getKey() const = 0;
};

struct CAccountInfo final : IData {
    QString key;       // unique; what the data center is asked with
    QString accountId; // the broker's account number shown to the user
    QString name;
    int accountType = eAccountStock;
    QString productGroup; // the product (fund) the account belongs to; may be empty
    QString getKey() const override { return key; }
};
using CAccountInfoPtr = std::shared_ptr<const CAccountInfo>;

// One position of an account. Volumes in shares (stocks) or lots (futures), amounts in
// currency.
struct CPositionStatics final : IData {
    QString key; // accountKey + "|" + stock key [+ "|S" for a short futures position]
    QString accountKey;
    QString accountId;
    QString market, code, name;
    int direction = eDirectionLong;
    double volume = 0.0;          // 持仓量
    double yesterdayVolume = 0.0; // 昨持仓
    double frozenVolume = 0.0;    // 冻结数量
    double canUseVolume = 0.0;    // 可用数量 (stocks: T+1, so today's buys are not usable)
    double costPrice = 0.0;       // 成本价, per share or per unit of the contract
    double positionCost = 0.0;    // 持仓成本 = cost price x volume x contract unit
    double lastPrice = 0.0;       // the price the service valued the position at
    double marketValue = 0.0;     // lastPrice x volume x contract unit
    double profit = 0.0;          // marketValue - positionCost (sign flipped for shorts)
    double profitRate = 0.0;      // profit / positionCost, 0.05 for 5 %
    int contractUnit = 1;
    QString getKey() const override { return key; }
};
using CPositionStaticsPtr = std::shared_ptr<const CPositionStatics>;

// (push kind, record); called on the trading thread, or on the caller's thread for the
// synchronous fixtures of TraderCenter
using PositionStatCallback = std::function<void(int kind, const CPositionStaticsPtr& record)>;

class CAccountData final {
public:
    explicit CAccountData(const CAccountInfo& info);
    ~CAccountData();
    CAccountData(const CAccountData&) = delete;
    CAccountData& operator=(const CAccountData&) = delete;

    CAccountInfoPtr getAccountInfo() const;
    // a snapshot, in the order the positions were opened
    std::vector<CPositionStaticsPtr> getPositions() const;
    CPositionStaticsPtr getPosition(const QString& positionKey) const;

    // Subscribes to a data kind (only eDataPositionStat has data); returns an id > 0, or 0
    // for another kind or an empty callback.
    int subscribe(int dataKind, PositionStatCallback callback);
    // Once this returns, no callback of the id starts; may be called from inside a callback.
    // Do not hold a lock that the callback takes while calling it from another thread.
    void unsubscribe(int id);
    int subscriptionCount() const;

    // --- used by the trading service and the fixtures ---
    // Replaces or adds a record (by key) and pushes it to the subscribers, kind by kind.
    void publish(const CPositionStatics& record);
    // Replaces all records without pushing.
    void resetPositions(const std::vector<CPositionStatics>& records);

private:
    void deliver(const CPositionStaticsPtr& record);

    CAccountInfoPtr m_pInfo;
    mutable std::mutex m_mutex; // records and subscriber list
    std::vector<CPositionStaticsPtr> m_vecPositions;
    struct Subscriber {
        int id;
        PositionStatCallback callback;
    };
    std::vector<Subscriber> m_vecSubscribers;
    int m_nNextId = 1;
    // held for a whole delivery, so unsubscribe waits for a running callback; recursive so
    // that a callback may unsubscribe
    std::recursive_mutex m_deliverMutex;
};
using CAccountDataPtr = std::shared_ptr<CAccountData>;

// Recomputes the derived amounts of a record from its volume, cost price, last price and
// contract unit.
void updateDerivedValues(CPositionStatics& record);

} // namespace ttservice
