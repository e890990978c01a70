#include "host/data/AccountData.h"
#include "host/data/Config.h"
#include "host/data/HostClock.h"
#include "host/data/LinkageManager.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/TraderCenter.h"
#include "host/data/TypeManager.h"
#include "host/market/EmbeddedBackend.h"

#include <QtTest>

#include <atomic>
#include <mutex>

using namespace ttservice;

namespace {

CInstrumentDetailPtr instrument(const QString& market, const QString& code, const QString& name,
                                int type, double refPrice, int tradeUnit = 100)
{
    auto d = std::make_shared<CInstrumentDetail>();
    d->market = market;
    d->code = code;
    d->name = name;
    d->key = XP::nvStockKey(market, code);
    d->type = type;
    d->refPrice = refPrice;
    d->tradeUnit = tradeUnit;
    d->priceStep = type == eInstrStock ? 0.01 : 0.2;
    return d;
}

// A small universe: ten A-shares, three futures contracts (one continuous, never held),
// two ETF options.
std::vector<CInstrumentDetailPtr> smallUniverse()
{
    std::vector<CInstrumentDetailPtr> u;
    const char* names[] = {"浦发银行", "招商银行", "贵州茅台", "中国平安", "万科A",
                           "五粮液",   "宁德时代", "格力电器", "中信证券", "长江电力"};
    const char* codes[] = {"600000", "600036", "600519", "601318", "000002",
                           "000858", "300750", "000651", "600030", "600900"};
    for (int i = 0; i < 10; ++i)
        u.push_back(instrument(
            i == 4 || i == 5 || i == 6 || i == 7 ? QStringLiteral("SZ") : QStringLiteral("SH"),
            QString::fromUtf8(codes[i]), QString::fromUtf8(names[i]), eInstrStock, 10.0 + i));
    u.push_back(instrument(QStringLiteral("CFFEX"), QStringLiteral("IF2612"),
                           QStringLiteral("沪深300指数2612"), eInstrFuture, 3900.0, 300));
    u.push_back(instrument(QStringLiteral("SHFE"), QStringLiteral("cu2701"),
                           QStringLiteral("沪铜2701"), eInstrFuture, 72000.0, 5));
    auto cont = instrument(QStringLiteral("SHFE"), QStringLiteral("cu00"),
                           QStringLiteral("沪铜主连"), eInstrFuture, 72000.0, 5);
    cont->isContinuous = true;
    u.push_back(cont);
    for (const char* code : {"10009001", "10009002"}) {
        auto o = instrument(QStringLiteral("SHO"), QString::fromUtf8(code),
                            QStringLiteral("50ETF购12月3000"), eInstrOption, 0.12, 1);
        o->contractUnit = 10000;
        u.push_back(o);
    }
    return u;
}

QString keyOfType(int type, int nth = 0)
{
    for (const auto& info : TraderCenter::instance()->getAccountList())
        if (info->accountType == type && nth-- == 0)
            return info->key;
    return QString();
}

} // namespace

class TstTraderCenter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        ttmarket::installEmbeddedBackend();
        TC::CStockManager::instance()->resetUniverseForTest(smallUniverse());
    }
    void init()
    {
        TraderCenter::instance()->rebuildAccounts();
        TC::CLinkageManager::instance()->clear();
    }
    void cleanupTestCase()
    {
        TraderCenter::instance()->stop();
        TC::CStockManager::instance()->restoreDefault();
    }

    void accountsAndHoldings()
    {
        const auto accounts = TraderCenter::instance()->getAccountList();
        QCOMPARE(accounts.size(), 5);
        QStringList types;
        for (const auto& a : accounts)
            types << QString::number(a->accountType);
        QCOMPARE(types, QStringList({"2", "2", "1", "6", "3"}));

        auto* center = TraderCenter::instance()->getDataCenter();
        const auto first = center->getAccountData(keyOfType(eAccountStock, 0));
        const auto second = center->getAccountData(keyOfType(eAccountStock, 1));
        QVERIFY(first && second);
        // lookup by the account id works as well as by key
        QCOMPARE(center->getAccountData(first->getAccountInfo()->accountId), first);
        QVERIFY(!center->getAccountData(QStringLiteral("no such account")));

        // only ten shares exist: the first account holds all of them, the second shares some
        QCOMPARE(int(first->getPositions().size()), 10);
        QSet<QString> firstCodes, shared;
        for (const auto& p : first->getPositions())
            firstCodes.insert(p->code);
        for (const auto& p : second->getPositions())
            if (firstCodes.contains(p->code))
                shared.insert(p->code);
        QVERIFY(!shared.isEmpty());

        for (const auto& p : first->getPositions()) {
            QCOMPARE(p->accountKey, first->getAccountInfo()->key);
            QCOMPARE(p->accountId, first->getAccountInfo()->accountId);
            QVERIFY(p->volume >= 100.0 && std::fmod(p->volume, 100.0) == 0.0);
            QCOMPARE(p->canUseVolume, p->yesterdayVolume - p->frozenVolume);
            QVERIFY(p->costPrice > 0.0);
            QCOMPARE(p->positionCost, p->costPrice * p->volume);
            QVERIFY(!p->name.isEmpty());
        }

        // futures: never the continuous contract, the whole volume is usable
        const auto futures = center->getAccountData(keyOfType(eAccountFuture));
        QVERIFY(futures && !futures->getPositions().empty());
        for (const auto& p : futures->getPositions()) {
            QVERIFY(p->code != QLatin1String("cu00"));
            QCOMPARE(p->canUseVolume, p->volume);
            QCOMPARE(p->positionCost, p->costPrice * p->volume * p->contractUnit);
        }
        const auto options = center->getAccountData(keyOfType(eAccountStockOption));
        QCOMPARE(int(options->getPositions().size()), 2);
        QCOMPARE(options->getPositions().front()->contractUnit, 10000);
        // the credit account holds shares
        const auto credit = center->getAccountData(keyOfType(eAccountCredit));
        QCOMPARE(int(credit->getPositions().size()), 6);
        for (const auto& p : credit->getPositions())
            QVERIFY(p->market == QLatin1String("SH") || p->market == QLatin1String("SZ"));
    }

    // accounts opened and closed in the session, and who is told
    void accountsOpenAndClose()
    {
        auto* center = TraderCenter::instance();
        QStringList told;
        const int id = center->addAccountListener(
            [&](int op, const QString& key) { told << QString::number(op) + key; });
        CAccountInfo info;
        info.key = QStringLiteral("2_new");
        info.accountId = QStringLiteral("new");
        CPositionStatics p;
        p.key = QStringLiteral("2_new|600000.SH");
        p.market = QStringLiteral("SH");
        p.code = QStringLiteral("600000");
        p.volume = 100;
        QVERIFY(center->addAccount(info, {p}));
        QVERIFY(!center->addAccount(info, {})); // the key is taken
        const auto data = center->getDataCenter()->getAccountData(QStringLiteral("new"));
        QVERIFY(data);
        QCOMPARE(data->getPositions().front()->accountKey, info.key);
        QVERIFY(center->removeAccount(info.key));
        QVERIFY(!center->removeAccount(info.key));
        QVERIFY(!center->getDataCenter()->getAccountData(info.key));
        QCOMPARE(told, QStringList({"02_new", "12_new"}));
        center->removeAccountListener(id);
        QVERIFY(center->addAccount(info, {}));
        QCOMPARE(told.size(), 2);
        center->removeAccount(info.key);
    }

    // The simulator trades by host-clock time: a clock that stands still trades nothing,
    // stepping it trades one step per interval it covered.
    void hostClockDrivesTheTrader()
    {
        auto* center = TraderCenter::instance();
        TC::HostClock::setNowMs(TC::HostClock::nowMs());
        center->runDueSteps(1000); // settles what an earlier run left owing
        QCOMPARE(center->runDueSteps(1000), 0);
        const auto stock = center->getDataCenter()->getAccountData(keyOfType(eAccountStock, 0));
        std::atomic<int> pushes{0};
        const int id =
            stock->subscribe(eDataPositionStat, [&](int, const CPositionStaticsPtr&) { ++pushes; });
        TC::HostClock::stepMs(3500);
        QCOMPARE(center->runDueSteps(1000), 3);
        QCOMPARE(pushes.load(), 3 * 2);     // one trade per account and step, pushed once per kind
        TC::HostClock::stepMs(3600 * 1000); // a jump is not traded up step by step
        QCOMPARE(center->runDueSteps(1000, 10), 10);
        QCOMPARE(center->runDueSteps(1000, 10), 0);
        stock->unsubscribe(id);
        TC::HostClock::useWallClock();
    }

    // a new catalogue gives new accounts without being asked
    void rebuildsOnUniverseReset()
    {
        std::vector<CInstrumentDetailPtr> two{
            instrument(QStringLiteral("SH"), QStringLiteral("600000"), QStringLiteral("浦发银行"),
                       eInstrStock, 10.0),
            instrument(QStringLiteral("SZ"), QStringLiteral("000001"), QStringLiteral("平安银行"),
                       eInstrStock, 12.0)};
        const auto old =
            TraderCenter::instance()->getDataCenter()->getAccountData(keyOfType(eAccountStock));
        TC::CStockManager::instance()->resetUniverseForTest(two);
        const auto fresh =
            TraderCenter::instance()->getDataCenter()->getAccountData(keyOfType(eAccountStock));
        QVERIFY(fresh != old);
        QCOMPARE(int(fresh->getPositions().size()), 2);
        QVERIFY(TraderCenter::instance()
                    ->getDataCenter()
                    ->getAccountData(keyOfType(eAccountFuture))
                    ->getPositions()
                    .empty());
        QCOMPARE(int(old->getPositions().size()), 10); // the old snapshot is left alone
        TC::CStockManager::instance()->resetUniverseForTest(smallUniverse());
        QCOMPARE(int(TraderCenter::instance()
                         ->getDataCenter()
                         ->getAccountData(keyOfType(eAccountStock))
                         ->getPositions()
                         .size()),
                 10);
    }

    void buildIsDeterministic()
    {
        auto snapshot = [] {
            QStringList out;
            for (const auto& info : TraderCenter::instance()->getAccountList())
                for (const auto& p : TraderCenter::instance()
                                         ->getDataCenter()
                                         ->getAccountData(info->key)
                                         ->getPositions())
                    out << p->key + QLatin1Char('=') + QString::number(p->volume) + QLatin1Char('@')
                               + QString::number(p->costPrice);
            return out;
        };
        const QStringList first = snapshot();
        TraderCenter::instance()->rebuildAccounts();
        QCOMPARE(snapshot(), first);
        TraderCenter::instance()->rebuildAccounts(7);
        QVERIFY(snapshot() != first);
    }

    void tradePushesBothKinds()
    {
        const QString key = keyOfType(eAccountStock, 0);
        const auto account = TraderCenter::instance()->getDataCenter()->getAccountData(key);
        const auto before = account->getPosition(key + QStringLiteral("|600000.SH"));
        QVERIFY(before);

        QStringList seen;
        const int id =
            account->subscribe(eDataPositionStat, [&](int kind, const CPositionStaticsPtr& r) {
                seen << QStringLiteral("%1:%2:%3").arg(kind).arg(r->code).arg(r->volume);
            });
        QVERIFY(id > 0);
        QVERIFY(TraderCenter::instance()->trade(key, QStringLiteral("600000.SH"), 300, 10.5));
        const double volume = before->volume + 300;
        QCOMPARE(seen, QStringList({QStringLiteral("0:600000:%1").arg(volume),
                                    QStringLiteral("1:600000:%1").arg(volume)}));

        const auto after = account->getPosition(before->key);
        QCOMPARE(after->volume, volume);
        // shares bought today are not usable until tomorrow
        QCOMPARE(after->canUseVolume, before->canUseVolume);
        QCOMPARE(after->costPrice, (before->costPrice * before->volume + 10.5 * 300) / volume);
        // the published record is a new one; the old snapshot did not change
        QCOMPARE(before->volume, volume - 300);
        account->unsubscribe(id);
    }

    void tradeRejections_data()
    {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("stock");
        QTest::addColumn<double>("volume");
        QTest::addColumn<double>("price");
        const auto row = [](const char* tag, const char* account, const char* stock, double volume,
                            double price) {
            QTest::newRow(tag) << QString(account) << QString(stock) << volume << price;
        };
        row("unknown account", "x", "600000.SH", 100.0, 10.0);
        row("unknown instrument", "", "999999.SH", 100.0, 10.0);
        row("sell beyond usable", "", "600000.SH", -1e9, 10.0);
        row("zero volume", "", "600000.SH", 0.0, 10.0);
        row("no price", "", "600000.SH", 100.0, 0.0);
    }
    void tradeRejections()
    {
        QFETCH(QString, account);
        QFETCH(QString, stock);
        QFETCH(double, volume);
        QFETCH(double, price);
        const QString key = account.isEmpty() ? keyOfType(eAccountStock, 0) : account;
        QVERIFY(!TraderCenter::instance()->trade(key, stock, volume, price));
    }

    void linkageSums()
    {
        const QString key = keyOfType(eAccountStock, 0);
        const QString id = TraderCenter::instance()
                               ->getDataCenter()
                               ->getAccountData(key)
                               ->getAccountInfo()
                               ->accountId;
        QVERIFY(TraderCenter::instance()->trade(key, QStringLiteral("600036.SH"), 300, 10.0));
        QVERIFY(TraderCenter::instance()->trade(key, QStringLiteral("600036.SH"), -100, 11.0));

        const int today = TC::CStockManager::instance()->getLastTradingDay(QStringLiteral("SH"));
        auto* linkage = TC::CLinkageManager::instance();
        QVERIFY(linkage->isActive());
        double buy = -1, sell = -1, buyAmount = -1, sellAmount = -1;
        for (const QString& who : {key, id}) { // by key or by account id
            linkage->getBuySellVolumes(today, {who}, QStringLiteral("600036.SH"), buy, sell);
            linkage->getBuySellAmounts(today, {who}, QStringLiteral("600036.SH"), buyAmount,
                                       sellAmount);
            QCOMPARE(buy, 300.0);
            QCOMPARE(sell, 100.0);
            QCOMPARE(buyAmount, 3000.0);
            QCOMPARE(sellAmount, 1100.0);
        }
        // the same account named twice counts once
        linkage->getBuySellVolumes(today, {key, id}, QStringLiteral("600036.SH"), buy, sell);
        QCOMPARE(buy, 300.0);
        linkage->getBuySellVolumes(today - 86400, {key}, QStringLiteral("600036.SH"), buy, sell);
        QCOMPARE(buy, 0.0);
        linkage->getBuySellVolumes(today, {keyOfType(eAccountStock, 1)},
                                   QStringLiteral("600036.SH"), buy, sell);
        QCOMPARE(buy, 0.0);
    }

    void futuresShortOpensAsSell()
    {
        const QString key = keyOfType(eAccountFuture);
        const auto account = TraderCenter::instance()->getDataCenter()->getAccountData(key);
        CPositionStatics shortPos = *account->getPositions().front();
        shortPos.key = key + QStringLiteral("|IF2612.CFFEX|S");
        shortPos.market = QStringLiteral("CFFEX");
        shortPos.code = QStringLiteral("IF2612");
        shortPos.direction = eDirectionShort;
        shortPos.contractUnit = 300;
        std::vector<CPositionStatics> list{shortPos};
        account->resetPositions(list);
        // the simulator adds to the short position: the linkage sees a sale
        TraderCenter::instance()->stepForTest();
        const auto after = account->getPosition(shortPos.key);
        QVERIFY(after);
        const int day = TC::CStockManager::instance()->getLastTradingDay(QStringLiteral("CFFEX"));
        double buy = 0, sell = 0, buyAmount = 0, sellAmount = 0;
        TC::CLinkageManager::instance()->getBuySellVolumes(
            day, {key}, QStringLiteral("IF2612.CFFEX"), buy, sell);
        TC::CLinkageManager::instance()->getBuySellAmounts(
            day, {key}, QStringLiteral("IF2612.CFFEX"), buyAmount, sellAmount);
        QCOMPARE(buy - sell, shortPos.volume - after->volume);
        QCOMPARE(after->canUseVolume, after->volume);
        QVERIFY(buy + sell > 0.0);
        // amounts count the contract multiplier
        QVERIFY(std::fabs(buyAmount + sellAmount - (buy + sell) * after->lastPrice * 300.0) < 1e-6);
    }

    void unsubscribeStopsDelivery()
    {
        const QString key = keyOfType(eAccountStock, 0);
        const auto account = TraderCenter::instance()->getDataCenter()->getAccountData(key);
        int calls = 0;
        const int id = account->subscribe(eDataPositionStat,
                                          [&](int, const CPositionStaticsPtr&) { ++calls; });
        QVERIFY(TraderCenter::instance()->trade(key, QStringLiteral("600000.SH"), 100, 10.0));
        QCOMPARE(calls, 2);
        account->unsubscribe(id);
        QCOMPARE(account->subscriptionCount(), 0);
        QVERIFY(TraderCenter::instance()->trade(key, QStringLiteral("600000.SH"), 100, 10.0));
        QCOMPARE(calls, 2);
        QCOMPARE(account->subscribe(12345, [](int, const CPositionStaticsPtr&) {}), 0);
        QCOMPARE(account->subscribe(eDataPositionStat, PositionStatCallback()), 0);
    }

    void unsubscribeFromInsideCallback()
    {
        const QString key = keyOfType(eAccountStock, 0);
        const auto account = TraderCenter::instance()->getDataCenter()->getAccountData(key);
        int selfCalls = 0, otherCalls = 0, id = 0, other = 0;
        // the first subscriber drops itself and the second one on its first call
        id = account->subscribe(eDataPositionStat, [&](int, const CPositionStaticsPtr&) {
            ++selfCalls;
            account->unsubscribe(id);
            account->unsubscribe(other);
        });
        other = account->subscribe(eDataPositionStat,
                                   [&](int, const CPositionStaticsPtr&) { ++otherCalls; });
        QVERIFY(TraderCenter::instance()->trade(key, QStringLiteral("600000.SH"), 100, 10.0));
        QCOMPARE(selfCalls, 1);
        QCOMPARE(otherCalls, 0);
        QCOMPARE(account->subscriptionCount(), 0);
    }

    // Pushes from the trading thread; once unsubscribe returns the callback never runs again,
    // so the state it uses may be freed.
    void tradingThreadPushes()
    {
        auto* center = TraderCenter::instance();
        const auto stock = center->getDataCenter()->getAccountData(keyOfType(eAccountStock, 0));
        const auto futures = center->getDataCenter()->getAccountData(keyOfType(eAccountFuture));
        std::atomic<int> stockCalls{0}, futuresCalls{0}, lateCalls{0};
        std::atomic<bool> released{false};
        std::atomic<bool> onOtherThread{true};
        const auto gui = std::this_thread::get_id();
        const int id = stock->subscribe(eDataPositionStat, [&](int, const CPositionStaticsPtr& r) {
            if (released)
                ++lateCalls;
            if (std::this_thread::get_id() == gui)
                onOtherThread = false;
            ++stockCalls;
        });
        const int fid = futures->subscribe(
            eDataPositionStat, [&](int, const CPositionStaticsPtr&) { ++futuresCalls; });

        center->start(5);
        QVERIFY(center->isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(stockCalls.load() >= 6, 10000);
        stock->unsubscribe(id);
        released = true;
        const int seen = futuresCalls.load();
        QTRY_VERIFY_WITH_TIMEOUT(futuresCalls.load() >= seen + 6, 10000); // the thread went on
        center->stop();
        QVERIFY(!center->isRunning());
        QCOMPARE(lateCalls.load(), 0);
        QVERIFY(onOtherThread.load());
        futures->unsubscribe(fid);
    }

    void productGroups()
    {
        auto* center = TraderCenter::instance();
        const QString first = keyOfType(eAccountStock, 0), second = keyOfType(eAccountStock, 1);
        // "全部产品" is the empty group: every stock account
        QCOMPARE(center->getAccountKeysByProductGroup(eAccountStock, QString()),
                 QStringList({first, second}));
        QCOMPARE(center->getAccountKeysByProductGroup(eAccountFuture, QString()),
                 QStringList({keyOfType(eAccountFuture)}));
        // a group of the user configuration lists its accounts
        TC::getUserConfig()->setProductGroup(QStringLiteral("测试产品"),
                                             {second, keyOfType(eAccountFuture)});
        QCOMPARE(center->getAccountKeysByProductGroup(eAccountStock, QStringLiteral("测试产品")),
                 QStringList({second}));
        // "清空选中" names no group: nothing
        QVERIFY(center->getAccountKeysByProductGroup(eAccountStock, QStringLiteral("清空选中"))
                    .isEmpty());
        // filtered accounts are left out
        center->setAccountFilter(first, true);
        QVERIFY(center->isAccountFilter(first));
        QCOMPARE(center->getAccountKeysByProductGroup(eAccountStock, QString()),
                 QStringList({second}));
        center->setAccountFilter(first, false);
        TC::getUserConfig()->removeProductGroup(QStringLiteral("测试产品"));

        // the accounts' own groups, for seeding the configuration, name existing accounts
        const auto groups = TraderCenter::defaultProductGroups();
        QCOMPARE(groups.keys(),
                 QStringList({QStringLiteral("成长二号"), QStringLiteral("稳健一号")}));
        QCOMPARE(groups.value(QStringLiteral("稳健一号")),
                 QStringList({first, keyOfType(eAccountFuture), keyOfType(eAccountCredit)}));
        // without such a group in the configuration the accounts' own group decides
        TC::getUserConfig()->removeProductGroup(QStringLiteral("成长二号"));
        QCOMPARE(center->getAccountKeysByProductGroup(eAccountStock, QStringLiteral("成长二号")),
                 QStringList({second}));
    }

    // the shipped universe: realistic holdings drawn from it
    void holdingsFromTheFullUniverse()
    {
        auto* stocks = TC::CStockManager::instance();
        stocks->restoreDefault();
        QVERIFY2(stocks->ensureLoaded(), qPrintable(stocks->loadError()));
        TraderCenter::instance()->rebuildAccounts();
        auto* center = TraderCenter::instance()->getDataCenter();
        const auto first = center->getAccountData(keyOfType(eAccountStock, 0))->getPositions();
        const auto second = center->getAccountData(keyOfType(eAccountStock, 1))->getPositions();
        const auto futures = center->getAccountData(keyOfType(eAccountFuture))->getPositions();
        const auto options = center->getAccountData(keyOfType(eAccountStockOption))->getPositions();
        QCOMPARE(int(first.size()), 12);
        QCOMPARE(int(second.size()), 12); // eight of its own and four of the first's
        QCOMPARE(int(futures.size()), 6);
        QCOMPARE(int(options.size()), 5);
        for (const auto& list : {first, second, futures, options}) {
            for (const auto& p : list) {
                const auto d = stocks->getInstrumentDetail(p->market, p->code);
                QVERIFY2(d, qPrintable(p->key));
                QCOMPARE(p->name, d->name);
                // cost within 15 % of the previous close
                QVERIFY2(std::fabs(p->costPrice / d->refPrice - 1.0) <= 0.151, qPrintable(p->key));
            }
        }
        for (const auto& p : first)
            QVERIFY(p->market == QLatin1String("SH") || p->market == QLatin1String("SZ"));
        for (const auto& p : options)
            QVERIFY(p->market == QLatin1String("SHO") || p->market == QLatin1String("SZO"));
        TC::CStockManager::instance()->resetUniverseForTest(smallUniverse());
    }

    void enumNames_data()
    {
        QTest::addColumn<QString>("enumName");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("name");
        QTest::newRow("stock account") << "EAccountType" << 2 << "股票";
        QTest::newRow("futures account") << "EAccountType" << 1 << "期货";
        QTest::newRow("short") << "EPositionDirection" << 1 << "空头";
        QTest::newRow("american") << "EExerciseStyle" << 1 << "美式";
        QTest::newRow("put") << "ECallPut" << 1 << "认沽";
        QTest::newRow("unknown value") << "EAccountType" << 99 << "";
        QTest::newRow("unknown enum") << "ENothing" << 0 << "";
    }
    void enumNames()
    {
        QFETCH(QString, enumName);
        QFETCH(int, value);
        QFETCH(QString, name);
        QCOMPARE(TypeManager::getEnumItemName(enumName, value), name);
    }
};

QTEST_GUILESS_MAIN(TstTraderCenter)
#include "tst_tradercenter.moc"
