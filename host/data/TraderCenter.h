#pragma once
// The trading service: accounts, their positions and a simulated trading thread that
// trades them and pushes position statistics. Accounts are built on first use from the
// catalogue: two stock accounts, one futures account and one stock-option account, with
// holdings drawn from it by a fixed seed. When the catalogue is replaced (a test universe)
// the accounts are built again from it on next use; holders of the old account data keep
// them, but they are no longer traded or pushed.

#include "host/data/AccountData.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace ttservice {

// The futures exchanges the trading service knows: positions there go both ways and
// their whole volume may be closed.
bool isFuturesMarket(const QString& market);

class CDataCenter final {
public:
    // by account key or account id; null when unknown
    CAccountDataPtr getAccountData(const QString& keyOrId) const;
    QList<CAccountInfoPtr> getAccountList() const; // in creation order
    QStringList getAccountKeys() const;

private:
    friend class TraderCenter;
    CDataCenter() = default;
    mutable std::mutex m_mutex;
    QList<CAccountDataPtr> m_listAccounts;
};

class TraderCenter final {
public:
    static TraderCenter* instance();

    CDataCenter* getDataCenter();

    // the accounts the user configuration lists, filtered or not
    QList<CAccountInfoPtr> getAccountList();
    // kept in the user configuration (CUserConfig::isAccountFilter)
    bool isAccountFilter(const QString& accountKey) const;
    void setAccountFilter(const QString& accountKey, bool filtered);

    // Accounts opened or closed during the session. Listeners are told (op, account key)
    // on the thread that made the change, after it took effect.
    enum EAccountOperation { eAccountAdded = 0, eAccountRemoved = 1 };
    using AccountListener = std::function<void(int op, const QString& accountKey)>;
    // False when the key is empty or already taken.
    bool addAccount(const CAccountInfo& info, const std::vector<CPositionStatics>& positions);
    // False for an unknown key. Holders of the account data keep it; it is no longer traded.
    bool removeAccount(const QString& accountKey);
    int addAccountListener(AccountListener listener);
    // Once this returns the listener is not called again.
    void removeAccountListener(int id);
    // Keys of the unfiltered accounts of a type in a product group: the group's keys from the
    // user configuration, or every account of the type for an empty group ("全部产品").
    QStringList getAccountKeysByProductGroup(int accountType, const QString& group);
    // The simulated accounts' product groups (group name -> account keys), for seeding the
    // user configuration's product groups.
    static QMap<QString, QStringList> defaultProductGroups();

    // The simulated trading thread ("trading"): for every interval of host-clock time
    // (HostClock) that passes it trades a few positions, records the trades with the
    // linkage service and pushes the changed records. A fixed clock that does not move
    // trades nothing; stepping it (TestMarket::tick) trades as many steps as it covered.
    void start(int intervalMs = 2000);
    void stop(); // joins; no push starts afterwards
    bool isRunning() const;

    // --- synchronous fixtures (run on the caller's thread) ---
    // One step of the simulator.
    void stepForTest();
    // The steps the host clock owes since the last call (at most maxSteps), run on the
    // caller's thread; the first call only starts counting. Returns the steps run.
    int runDueSteps(int intervalMs, int maxSteps = 100);
    // Trades on an account: positive volume buys (opens long), negative sells (closes);
    // updates the position, records the trade for the current trading day and pushes.
    // False for an unknown account or instrument, or a sell beyond the usable volume.
    bool trade(const QString& accountKey, const QString& stockKey, double volume, double price);
    // Rebuilds the accounts from the present catalogue with another seed; the old accounts
    // are no longer traded or pushed.
    void rebuildAccounts(unsigned seed = 20260101u);

    ~TraderCenter();

private:
    TraderCenter();
    TraderCenter(const TraderCenter&) = delete;
    TraderCenter& operator=(const TraderCenter&) = delete;
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace ttservice
