#include "host/data/TraderCenter.h"

#include "host/data/Config.h"
#include "host/data/FormulaManager.h"
#include "host/data/HostClock.h"
#include "host/data/LinkageManager.h"
#include "host/data/Log.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/UserConfig.h"

#include <QSet>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <pthread.h>
#include <random>
#include <thread>

namespace ttservice {

// ---------------------------------------------------------------------------------------------
CAccountDataPtr CDataCenter::getAccountData(const QString& keyOrId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& a : m_listAccounts)
        if (a->getAccountInfo()->key == keyOrId)
            return a;
    for (const auto& a : m_listAccounts)
        if (a->getAccountInfo()->accountId == keyOrId)
            return a;
    return nullptr;
}

QList<CAccountInfoPtr> CDataCenter::getAccountList() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<CAccountInfoPtr> out;
    for (const auto& a : m_listAccounts)
        out << a->getAccountInfo();
    return out;
}

QStringList CDataCenter::getAccountKeys() const
{
    QStringList keys;
    for (const auto& info : getAccountList())
        keys << info->key;
    return keys;
}

// ---------------------------------------------------------------------------------------------
bool isFuturesMarket(const QString& m)
{
    static const QSet<QString> markets{
        QStringLiteral("DCE"),   QStringLiteral("SHFE"), QStringLiteral("CZCE"),
        QStringLiteral("CFFEX"), QStringLiteral("INE"),  QStringLiteral("DF"),
        QStringLiteral("SF"),    QStringLiteral("ZF"),   QStringLiteral("IF")};
    return markets.contains(m);
}

namespace {

struct AccountSeed {
    const char* id;
    const char* name;
    int type;
    const char* group;
};

// the accounts the simulated trading service serves
const AccountSeed kAccounts[] = {
    {"310001234567", "普通账户一", eAccountStock, "稳健一号"},
    {"310007654321", "普通账户二", eAccountStock, "成长二号"},
    {"80018888", "期货账户", eAccountFuture, "稳健一号"},
    {"90001234", "期权账户", eAccountStockOption, "成长二号"},
    {"510009999", "信用账户", eAccountCredit, "稳健一号"},
};

QString accountKey(int type, const QString& id)
{
    return QString::number(type) + QLatin1Char('_') + id;
}

double roundToStep(double price, double step)
{
    if (step <= 0.0)
        return price;
    return std::round(price / step) * step;
}

int unitOf(const CInstrumentDetail& d)
{
    if (d.type == eInstrOption || d.type == eInstrFutureOption)
        return d.contractUnit > 0.0 ? static_cast<int>(d.contractUnit) : std::max(1, d.tradeUnit);
    if (d.type == eInstrFuture)
        return std::max(1, d.tradeUnit);
    return 1; // stocks are counted in shares
}

} // namespace

struct TraderCenter::Impl {
    CDataCenter dataCenter;
    std::once_flag built;
    // the catalogue was replaced: accounts are rebuilt from it on next use
    std::atomic<bool> stale{false};

    std::mutex listenerMutex;
    std::vector<std::pair<int, AccountListener>> listeners;
    int nextListener = 1;
    // held while listeners run, so removeAccountListener waits for a running one
    std::recursive_mutex notifyMutex;
    int64_t lastStepMs = -1; // host-clock time of the last step counted; under stepMutex

    // a step trades and pushes as one unit; recursive so that a push callback may trade
    std::recursive_mutex stepMutex;
    std::mt19937 rng{20260101u};

    std::mutex threadMutex; // start/stop
    std::thread thread;
    std::mutex waitMutex;
    std::condition_variable wake;
    std::atomic<bool> stopping{false};
    std::atomic<bool> running{false};
    int intervalMs = 2000;

    void build(unsigned seed);
    CPositionStatics makePosition(const CAccountInfo& account, const CInstrumentDetail& d,
                                  std::mt19937& r);
    bool applyTrade(CAccountData& account, const QString& stockKey, double volume, double price,
                    const QString& positionKey = QString());
    void step();
    int runDue(int interval, int maxSteps);
    void loop();
    void notify(int op, const QString& key);
};

CPositionStatics TraderCenter::Impl::makePosition(const CAccountInfo& account,
                                                  const CInstrumentDetail& d, std::mt19937& r)
{
    CPositionStatics p;
    p.accountKey = account.key;
    p.accountId = account.accountId;
    p.market = d.market;
    p.code = d.code;
    p.name = d.name;
    p.contractUnit = unitOf(d);
    const bool futures = isFuturesMarket(d.market);
    if (futures)
        p.direction =
            std::uniform_int_distribution<int>(0, 3)(r) == 0 ? eDirectionShort : eDirectionLong;
    p.key = account.key + QLatin1Char('|') + XP::nvStockKey(d.market, d.code)
            + (p.direction == eDirectionShort ? QStringLiteral("|S") : QString());
    if (d.type == eInstrStock || d.type == eInstrETF || d.type == eInstrFund || d.type == eInstrLOF)
        p.volume = 100.0 * std::uniform_int_distribution<int>(1, 60)(r);
    else
        p.volume = std::uniform_int_distribution<int>(1, 20)(r);
    p.yesterdayVolume = p.volume;
    // now and then part of a stock position is frozen by a pending sell order
    if (!futures && p.volume >= 200.0 && std::uniform_int_distribution<int>(0, 4)(r) == 0)
        p.frozenVolume = 100.0;
    p.canUseVolume = futures ? p.volume : p.yesterdayVolume - p.frozenVolume;
    // bought some time ago: stocks and options drift further from today's price than futures
    const double range = futures ? 0.05 : 0.15;
    const double drift = std::uniform_real_distribution<double>(-range, range)(r);
    p.costPrice = roundToStep(d.refPrice * (1.0 + drift), d.priceStep / 10.0);
    p.lastPrice = d.refPrice;
    updateDerivedValues(p);
    return p;
}

void TraderCenter::Impl::build(unsigned seed)
{
    std::mt19937 r(seed);
    auto* stocks = TC::CStockManager::instance();
    stocks->ensureLoaded();
    stale = false; // a first load announces itself as a reset
    // candidates by kind, in key order so that the draw does not depend on hash order
    std::vector<CInstrumentDetailPtr> shares, futures, options;
    for (const auto& d : stocks->allInstruments()) {
        if (!d || d->refPrice <= 0.0)
            continue;
        if (d->type == eInstrStock
            && (d->market == QLatin1String("SH") || d->market == QLatin1String("SZ")))
            shares.push_back(d);
        else if (d->type == eInstrFuture && !d->isContinuous && isFuturesMarket(d->market))
            futures.push_back(d);
        else if (d->type == eInstrOption && d->refPrice >= 0.01
                 && (d->market == QLatin1String("SHO") || d->market == QLatin1String("SZO")))
            options.push_back(d); // no far out-of-the-money contracts worth a tick
    }
    auto byKey = [](const CInstrumentDetailPtr& a, const CInstrumentDetailPtr& b) {
        return a->key < b->key;
    };
    std::sort(shares.begin(), shares.end(), byKey);
    std::sort(futures.begin(), futures.end(), byKey);
    std::sort(options.begin(), options.end(), byKey);

    auto draw = [&r](const std::vector<CInstrumentDetailPtr>& from, int n) {
        std::vector<CInstrumentDetailPtr> picked;
        if (from.empty())
            return picked;
        std::vector<std::size_t> idx(from.size());
        for (std::size_t i = 0; i < idx.size(); ++i)
            idx[i] = i;
        std::shuffle(idx.begin(), idx.end(), r);
        for (std::size_t i = 0; i < idx.size() && static_cast<int>(picked.size()) < n; ++i)
            picked.push_back(from[idx[i]]);
        return picked;
    };

    // the first account holds a few of the best-known names when the catalogue has them
    std::vector<CInstrumentDetailPtr> firstStocks;
    for (const char* key : {"600519.SH", "600036.SH", "601318.SH", "000858.SZ", "300750.SZ"}) {
        const auto d = stocks->getInstrumentDetail(QString::fromLatin1(key));
        if (d && d->refPrice > 0.0 && d->type == eInstrStock)
            firstStocks.push_back(d);
    }
    for (const auto& d : draw(shares, 12 + static_cast<int>(firstStocks.size())))
        if (firstStocks.size() < 12
            && std::find(firstStocks.begin(), firstStocks.end(), d) == firstStocks.end())
            firstStocks.push_back(d);
    std::vector<CInstrumentDetailPtr> secondStocks = draw(shares, 8);
    // the two stock accounts share some holdings, so code statistics have something to sum
    for (std::size_t i = 0; i < firstStocks.size() && i < 4; ++i)
        if (std::find(secondStocks.begin(), secondStocks.end(), firstStocks[i])
            == secondStocks.end())
            secondStocks.push_back(firstStocks[i]);

    QList<CAccountDataPtr> accounts;
    for (const AccountSeed& seed : kAccounts) {
        CAccountInfo info;
        info.accountId = QString::fromUtf8(seed.id);
        info.key = accountKey(seed.type, info.accountId);
        info.name = QString::fromUtf8(seed.name);
        info.accountType = seed.type;
        info.productGroup = QString::fromUtf8(seed.group);
        auto account = std::make_shared<CAccountData>(info);
        const std::vector<CInstrumentDetailPtr>* holdings = nullptr;
        std::vector<CInstrumentDetailPtr> drawn;
        if (seed.type == eAccountStock)
            holdings = accounts.isEmpty() ? &firstStocks : &secondStocks;
        else if (seed.type == eAccountCredit)
            holdings = &(drawn = draw(shares, 6));
        else if (seed.type == eAccountFuture)
            holdings = &(drawn = draw(futures, 6));
        else if (seed.type == eAccountStockOption)
            holdings = &(drawn = draw(options, 5));
        std::vector<CPositionStatics> positions;
        if (holdings)
            for (const auto& d : *holdings)
                positions.push_back(makePosition(info, *d, r));
        account->resetPositions(positions);
        accounts << account;
    }
    {
        std::lock_guard<std::mutex> lock(dataCenter.m_mutex);
        dataCenter.m_listAccounts = accounts;
    }
    TT_LOG_INFO("[TraderCenter] %1% accounts built from %2% instruments", accounts.size(),
                static_cast<int>(stocks->allInstruments().size()));
}

// positionKey picks a short futures position; by default the long one of the instrument
bool TraderCenter::Impl::applyTrade(CAccountData& account, const QString& stockKey, double volume,
                                    double price, const QString& key)
{
    if (!std::isfinite(volume) || !std::isfinite(price) || volume == 0.0 || price <= 0.0)
        return false;
    const auto info = account.getAccountInfo();
    const QString positionKey = key.isEmpty() ? info->key + QLatin1Char('|') + stockKey : key;
    CPositionStatics p;
    if (const auto existing = account.getPosition(positionKey)) {
        p = *existing;
    } else {
        const auto d = TC::CStockManager::instance()->getInstrumentDetail(stockKey);
        if (!d || volume < 0.0)
            return false;
        p.key = positionKey;
        p.accountKey = info->key;
        p.accountId = info->accountId;
        p.market = d->market;
        p.code = d->code;
        p.name = d->name;
        p.contractUnit = unitOf(*d);
    }
    const bool futures = isFuturesMarket(p.market);
    if (volume < 0.0 && -volume > p.canUseVolume + 1e-9)
        return false;
    if (volume > 0.0) {
        p.costPrice = (p.costPrice * p.volume + price * volume) / (p.volume + volume);
        p.volume += volume;
        if (futures)
            p.canUseVolume += volume; // stocks bought today are usable tomorrow
    } else {
        p.volume += volume;
        p.canUseVolume += volume;
        if (p.volume <= 1e-9)
            p.volume = p.canUseVolume = 0.0;
    }
    p.lastPrice = price;
    updateDerivedValues(p);

    const bool bought = (volume > 0.0) == (p.direction == eDirectionLong);
    const int tradeDate = TC::CStockManager::instance()->getLastTradingDay(p.market);
    TC::CLinkageManager::instance()->addTrade(tradeDate, info->key, info->accountId, stockKey,
                                              bought ? std::fabs(volume) : -std::fabs(volume),
                                              price, p.contractUnit);
    account.publish(p);
    return true;
}

void TraderCenter::Impl::step()
{
    std::lock_guard<std::recursive_mutex> lock(stepMutex);
    QList<CAccountDataPtr> accounts;
    {
        std::lock_guard<std::mutex> l(dataCenter.m_mutex);
        accounts = dataCenter.m_listAccounts;
    }
    for (const auto& account : accounts) {
        const auto positions = account->getPositions();
        if (positions.empty())
            continue;
        // one trade per account and step, at a price near the position's last one
        const auto& pick =
            positions[std::uniform_int_distribution<std::size_t>(0, positions.size() - 1)(rng)];
        const auto d = TC::CStockManager::instance()->getInstrumentDetail(pick->market, pick->code);
        const double step = d ? d->priceStep : 0.01;
        const double ref = d && d->refPrice > 0.0 ? d->refPrice : pick->lastPrice;
        // at the simulated market's price when it quotes the instrument, else a small walk
        double price = 0.0;
        if (const auto quote = TC::getLastQuoterAllDataPtr(pick->market, pick->code))
            price = quote->last;
        if (!(price > 0.0 && price < 1e300)) {
            price = pick->lastPrice * (1.0 + std::normal_distribution<double>(0.0, 0.004)(rng));
            price = std::min(std::max(price, ref * 0.9), ref * 1.1); // inside the daily limits
            price = std::max(roundToStep(price, step), step);
        }
        const bool stockLike = !isFuturesMarket(pick->market) && pick->contractUnit == 1;
        const double lot = stockLike ? 100.0 : 1.0;
        double volume = lot * std::uniform_int_distribution<int>(1, 5)(rng);
        if (std::uniform_int_distribution<int>(0, 1)(rng) == 1 && pick->canUseVolume >= volume)
            volume = -volume;
        applyTrade(*account, XP::nvStockKey(pick->market, pick->code), volume, price, pick->key);
    }
}

int TraderCenter::Impl::runDue(int interval, int maxSteps)
{
    std::lock_guard<std::recursive_mutex> lock(stepMutex);
    const int64_t now = TC::HostClock::nowMs();
    if (lastStepMs < 0 || now < lastStepMs) {
        lastStepMs = now; // first call, or the clock was set back
        return 0;
    }
    int steps = 0;
    while (lastStepMs + interval <= now && steps < maxSteps) {
        lastStepMs += interval;
        step();
        ++steps;
    }
    if (lastStepMs + interval <= now)
        lastStepMs = now; // a jump of the clock is not traded up step by step
    return steps;
}

void TraderCenter::Impl::loop()
{
    pthread_setname_np(pthread_self(), "trading");
    // polls the host clock often enough to follow a clock that tests or the demo step
    const int poll = std::min(intervalMs, 50);
    std::unique_lock<std::mutex> lock(waitMutex);
    while (!stopping) {
        if (wake.wait_for(lock, std::chrono::milliseconds(poll),
                          [this] { return stopping.load(); }))
            break;
        lock.unlock();
        try {
            runDue(intervalMs, 100);
        } catch (const std::exception& e) {
            TT_LOG_ERROR("[TraderCenter] step failed: %1%", e.what());
        }
        lock.lock();
    }
}

void TraderCenter::Impl::notify(int op, const QString& key)
{
    std::lock_guard<std::recursive_mutex> running(notifyMutex);
    std::vector<std::pair<int, AccountListener>> copy;
    {
        std::lock_guard<std::mutex> l(listenerMutex);
        copy = listeners;
    }
    for (const auto& entry : copy) {
        bool alive = false;
        {
            std::lock_guard<std::mutex> l(listenerMutex);
            for (const auto& e : listeners)
                alive |= e.first == entry.first;
        }
        if (alive)
            entry.second(op, key);
    }
}

// ---------------------------------------------------------------------------------------------
TraderCenter* TraderCenter::instance()
{
    static TraderCenter center;
    return &center;
}

TraderCenter::TraderCenter() : d(new Impl)
{
    // constructed first, so destroyed after this one and its thread
    TC::CLinkageManager::instance();
    QObject::connect(TC::CStockManager::instance(), &TC::CStockManager::sigUniverseReset,
                     [this] { d->stale = true; });
}

TraderCenter::~TraderCenter()
{
    stop();
}

CDataCenter* TraderCenter::getDataCenter()
{
    std::call_once(d->built, [this] { d->build(20260101u); });
    if (d->stale.exchange(false)) {
        std::lock_guard<std::recursive_mutex> lock(d->stepMutex);
        d->build(20260101u);
    }
    return &d->dataCenter;
}

QList<CAccountInfoPtr> TraderCenter::getAccountList()
{
    return getDataCenter()->getAccountList();
}

bool TraderCenter::isAccountFilter(const QString& accountKey) const
{
    const TC::CUserConfig* config = TC::getUserConfig();
    return config && config->isAccountFilter(accountKey);
}

void TraderCenter::setAccountFilter(const QString& accountKey, bool filtered)
{
    if (TC::CUserConfig* config = TC::getUserConfig())
        config->setAccountFilter(accountKey, filtered);
}

bool TraderCenter::addAccount(const CAccountInfo& info,
                              const std::vector<CPositionStatics>& positions)
{
    auto* center = getDataCenter();
    if (info.key.isEmpty())
        return false;
    auto account = std::make_shared<CAccountData>(info);
    std::vector<CPositionStatics> records = positions;
    for (auto& r : records) {
        r.accountKey = info.key;
        r.accountId = info.accountId;
    }
    account->resetPositions(records);
    {
        std::lock_guard<std::recursive_mutex> step(d->stepMutex);
        std::lock_guard<std::mutex> lock(center->m_mutex);
        for (const auto& a : center->m_listAccounts)
            if (a->getAccountInfo()->key == info.key)
                return false;
        center->m_listAccounts << account;
    }
    d->notify(eAccountAdded, info.key);
    return true;
}

bool TraderCenter::removeAccount(const QString& accountKey)
{
    auto* center = getDataCenter();
    bool removed = false;
    {
        std::lock_guard<std::recursive_mutex> step(d->stepMutex);
        std::lock_guard<std::mutex> lock(center->m_mutex);
        for (int i = 0; i < center->m_listAccounts.size(); ++i) {
            if (center->m_listAccounts[i]->getAccountInfo()->key == accountKey) {
                center->m_listAccounts.removeAt(i);
                removed = true;
                break;
            }
        }
    }
    if (removed)
        d->notify(eAccountRemoved, accountKey);
    return removed;
}

int TraderCenter::addAccountListener(AccountListener listener)
{
    if (!listener)
        return 0;
    std::lock_guard<std::mutex> lock(d->listenerMutex);
    const int id = d->nextListener++;
    d->listeners.emplace_back(id, std::move(listener));
    return id;
}

void TraderCenter::removeAccountListener(int id)
{
    std::lock_guard<std::recursive_mutex> running(d->notifyMutex);
    std::lock_guard<std::mutex> lock(d->listenerMutex);
    d->listeners.erase(std::remove_if(d->listeners.begin(), d->listeners.end(),
                                      [id](const auto& e) { return e.first == id; }),
                       d->listeners.end());
}

QStringList TraderCenter::getAccountKeysByProductGroup(int accountType, const QString& group)
{
    QSet<QString> inGroup;
    bool fromConfig = false;
    if (!group.isEmpty()) {
        if (TC::CUserConfig* config = TC::getUserConfig()) {
            const auto groups = config->getProductGroups();
            auto it = groups.constFind(group);
            if (it != groups.constEnd()) {
                fromConfig = true;
                for (const QString& k : *it)
                    inGroup.insert(k);
            }
        }
    }
    QStringList keys;
    for (const auto& info : getAccountList()) {
        if (info->accountType != accountType || isAccountFilter(info->key))
            continue;
        const bool member =
            group.isEmpty()
            || (fromConfig ? (inGroup.contains(info->key) || inGroup.contains(info->accountId))
                           : info->productGroup == group);
        if (member)
            keys << info->key;
    }
    return keys;
}

QMap<QString, QStringList> TraderCenter::defaultProductGroups()
{
    QMap<QString, QStringList> groups;
    for (const AccountSeed& seed : kAccounts)
        groups[QString::fromUtf8(seed.group)] << accountKey(seed.type, QString::fromUtf8(seed.id));
    return groups;
}

void TraderCenter::start(int intervalMs)
{
    getDataCenter();
    std::lock_guard<std::mutex> lock(d->threadMutex);
    if (d->running)
        return;
    d->intervalMs = std::max(10, intervalMs);
    {
        std::lock_guard<std::recursive_mutex> step(d->stepMutex);
        d->lastStepMs = -1; // counts from now
    }
    d->stopping = false;
    d->running = true;
    d->thread = std::thread([this] { d->loop(); });
}

void TraderCenter::stop()
{
    std::lock_guard<std::mutex> lock(d->threadMutex);
    if (!d->running)
        return;
    {
        std::lock_guard<std::mutex> w(d->waitMutex);
        d->stopping = true;
    }
    d->wake.notify_all();
    if (d->thread.joinable())
        d->thread.join();
    d->running = false;
}

bool TraderCenter::isRunning() const
{
    return d->running;
}

void TraderCenter::stepForTest()
{
    getDataCenter();
    d->step();
}

int TraderCenter::runDueSteps(int intervalMs, int maxSteps)
{
    getDataCenter();
    return d->runDue(std::max(1, intervalMs), std::max(0, maxSteps));
}

bool TraderCenter::trade(const QString& accountKey, const QString& stockKey, double volume,
                         double price)
{
    const auto account = getDataCenter()->getAccountData(accountKey);
    if (!account)
        return false;
    std::lock_guard<std::recursive_mutex> lock(d->stepMutex);
    return d->applyTrade(*account, stockKey, volume, price);
}

void TraderCenter::rebuildAccounts(unsigned seed)
{
    getDataCenter(); // a pending build must not run again over this one
    std::lock_guard<std::recursive_mutex> lock(d->stepMutex);
    d->rng.seed(seed);
    d->build(seed);
}

} // namespace ttservice
