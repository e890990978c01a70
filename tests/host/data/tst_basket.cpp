// Trading baskets: account types of instruments and adding codes to a basket.
#include "EmbeddedCatalogue.h"
#include "host/data/BasketSetting.h"
#include "host/data/SectorManager.h"
#include "host/data/StockManager.h"

#include <QtTest>

using namespace TC;
using ttservice::CInstrumentDetailPtr;

namespace {
CInstrumentDetailPtr firstOf(const QString& sector, bool (*pred)(const CInstrumentDetailPtr&))
{
    for (const CInstrumentDetailPtr& d : CSectorManager::instance()->getSectorStockList(sector))
        if (pred(d))
            return d;
    return nullptr;
}
bool any(const CInstrumentDetailPtr&)
{
    return true;
}
bool dated(const CInstrumentDetailPtr& d)
{
    return !d->isContinuous;
}
bool continuous(const CInstrumentDetailPtr& d)
{
    return d->isContinuous;
}
} // namespace

class TestBasket : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        const QString error = loadEmbeddedCatalogue();
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void accountTypes_data()
    {
        QTest::addColumn<QString>("sector");
        QTest::addColumn<int>("which"); // 0 any, 1 dated, 2 continuous
        QTest::addColumn<int>("type");
        QTest::newRow("SH stock") << "上证A股" << 0 << 2;
        QTest::newRow("SZ stock") << "深证A股" << 0 << 2;
        QTest::newRow("SH connect line") << "港股通(沪)" << 0 << 7;
        QTest::newRow("SZ connect line") << "港股通(深)" << 0 << 11;
        QTest::newRow("dated futures contract") << "上期所" << 1 << 1;
        QTest::newRow("continuous contract") << "中金所" << 2 << -1;
        QTest::newRow("futures option") << "商品期权" << 0 << -1;
        QTest::newRow("foreign futures") << "纽约商业(COMEX)" << 0 << -1;
        QTest::newRow("HK stock") << "港股" << 0 << -1;
    }

    void accountTypes()
    {
        QFETCH(QString, sector);
        QFETCH(int, which);
        QFETCH(int, type);
        bool (*preds[])(const CInstrumentDetailPtr&) = {any, dated, continuous};
        const CInstrumentDetailPtr d = firstOf(sector, preds[which]);
        QVERIFY(d);
        QCOMPARE(basketAccountType(*d), type);
    }

    void kindsInMenuOrder()
    {
        QStringList names;
        QList<int> types;
        for (const CBasketKind& k : basketKinds()) {
            names << k.name;
            types << k.accountType;
        }
        QCOMPARE(names,
                 (QStringList{"股票篮子", "期货篮子", "沪港通篮子", "深港通篮子", "沪伦通篮子"}));
        QCOMPARE(types, (QList<int>{2, 1, 7, 11, 2}));
        QCOMPARE(basketKinds().last().subType, 2);
    }

    void addingToBaskets()
    {
        CBasketSetting stocks;
        stocks.name = QStringLiteral("A");
        stocks.entryKind = 5;
        // unknown codes and other account types are skipped, duplicates too
        const CInstrumentDetailPtr future = firstOf(QStringLiteral("上期所"), dated);
        QCOMPARE(addStocksToBasket(stocks, {QStringLiteral("600519"), QStringLiteral("nothing"),
                                            future->key, QStringLiteral("600519.SH"),
                                            QStringLiteral("000858")}),
                 2);
        QCOMPARE(stocks.stocks.size(), 2);
        QCOMPARE(stocks.stocks.at(0).code, QStringLiteral("600519"));
        QCOMPARE(stocks.stocks.at(0).market, QStringLiteral("SH"));
        QCOMPARE(stocks.stocks.at(0).kind, 5);
        QVERIFY(!stocks.stocks.at(0).name.isEmpty());
        QCOMPARE(stocks.stocks.at(1).code, QStringLiteral("000858"));
        QCOMPARE(addStocksToBasket(stocks, {future->key}), 0);
        QCOMPARE(addStocksToBasket(stocks, {}), 0);
        QCOMPARE(stocks.stocks.size(), 2);

        // a futures basket takes the dated contract, never the continuous one
        CBasketSetting futures;
        futures.accountType = 1;
        const CInstrumentDetailPtr cont = firstOf(QStringLiteral("上期所"), continuous);
        QVERIFY(cont);
        QCOMPARE(addStocksToBasket(futures, {cont->key, future->key}), 1);
        QCOMPARE(futures.stocks.first().code, future->code);
    }

    void twentyThousandCodes()
    {
        // a large basket fills in one linear pass
        QVector<QString> keys;
        for (const auto& d : CStockManager::instance()->allInstruments())
            if (basketAccountType(*d) == 2)
                keys.append(d->key);
        const int unique = keys.size();
        QVERIFY(unique > 5000);
        while (keys.size() < 20000)
            keys += keys.mid(0, 20000 - keys.size()); // repeats are skipped
        CBasketSetting big;
        const int distinct = addStocksToBasket(big, keys);
        QCOMPARE(distinct, unique);
        QCOMPARE(big.stocks.size(), unique);
    }
};

QTEST_GUILESS_MAIN(TestBasket)
#include "tst_basket.moc"
