// Instrument lookups, the test fixture, option maps and trade units.
#include "EmbeddedCatalogue.h"
#include "host/data/ExchangeClient.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/TradeOpenCloseTimeManager.h"

#include <QSignalSpy>
#include <QtTest>

using namespace TC;
using ttservice::CInstrumentDetail;
using ttservice::CInstrumentDetailPtr;

namespace {
CInstrumentDetailPtr make(const QString& market, const QString& code, const QString& name, int type)
{
    auto d = std::make_shared<CInstrumentDetail>();
    d->market = market;
    d->code = code;
    d->name = name;
    d->type = type;
    return d;
}
} // namespace

class TestStockManager : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        const QString error = loadEmbeddedCatalogue();
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void stockKey_data()
    {
        QTest::addColumn<QString>("market");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("key");
        const auto row = [](const char* tag, const char* market, const char* code,
                            const char* key) {
            QTest::newRow(tag) << QString(market) << QString(code) << QString(key);
        };
        row("market and code", "SH", "600519", "600519.SH");
        row("no market", "", "600519", "600519");
        row("futures", "SHFE", "rb2505", "rb2505.SHFE");
        row("empty", "", "", "");
    }

    void stockKey()
    {
        QFETCH(QString, market);
        QFETCH(QString, code);
        QFETCH(QString, key);
        QCOMPARE(XP::nvStockKey(market, code), key);
        QCOMPARE(
            QString::fromStdString(utils::nvStockKey(market.toStdString(), code.toStdString())),
            key);
        QString m, c;
        if (key.isEmpty()) {
            QVERIFY(!XP::splitStockKey(key, &m, &c));
        } else {
            QVERIFY(XP::splitStockKey(key, &m, &c));
            QCOMPARE(m, market);
            QCOMPARE(c, code);
        }
    }

    void monotonicClock()
    {
        const int64_t a = utils::clock();
        const int64_t b = utils::clock();
        QVERIFY(a > 0 && b >= a);
    }

    void lookups()
    {
        CStockManager* sm = CStockManager::instance();
        const CInstrumentDetailPtr d = sm->getInstrumentDetail(QStringLiteral("600519.SH"));
        QVERIFY(d);
        QCOMPARE(d->name, QStringLiteral("贵州茅台"));
        QCOMPARE(sm->getInstrumentDetail(QStringLiteral("SH"), QStringLiteral("600519")), d);
        QCOMPARE(sm->findByCode(QStringLiteral("600519")), d);
        QCOMPARE(sm->getInstrumentDetail(QString(), QStringLiteral("600519")), d);
        // a code on both exchanges: SH first
        QCOMPARE(sm->findByCode(QStringLiteral("000001"))->name, QStringLiteral("上证指数"));
        QCOMPARE(sm->getInstrumentDetail(QStringLiteral("000001.SZ"))->name,
                 QStringLiteral("平安银行"));
        QCOMPARE(TC::getDetailQsKey(d), QStringLiteral("600519.SH"));
        QCOMPARE(TC::getDetailQsMarket(d), QStringLiteral("SH"));
        QCOMPARE(TC::getDetailQsCode(d), QStringLiteral("600519"));
        QCOMPARE(TC::getDetailQsName(d), QStringLiteral("贵州茅台"));
    }

    void unknownKeys_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("unknown code") << "999999.SH";
        QTest::newRow("unknown market") << "600519.XX";
        QTest::newRow("empty") << "";
        QTest::newRow("dot only") << ".";
        QTest::newRow("garbage") << "\xe2\x80\x8b??";
    }

    void unknownKeys()
    {
        QFETCH(QString, key);
        CStockManager* sm = CStockManager::instance();
        QVERIFY(!sm->getInstrumentDetail(key));
        QVERIFY(!sm->findByCode(key));
        QVERIFY(sm->getSectorStock(key).empty());
        QVERIFY(sm->instrumentsOfMarket(key).isEmpty());
        QCOMPARE(ttservice::getStockTradeUnit(QStringLiteral("SH"), key), 1);
        CCodeInfo info;
        QVERIFY(!CExchangeClient::instance()->getCodeInfo(key, info));
        QVERIFY(
            !CTradeOpenCloseTimeManager::instance()->hasNightQuoter(QStringLiteral("SHFE"), key));
        const CInstrumentDetailPtr null;
        QVERIFY(TC::getDetailQsKey(null).isEmpty());
        QVERIFY(TC::getDetailQsName(null).isEmpty());
    }

    void markets()
    {
        CStockManager* sm = CStockManager::instance();
        const QStringList m = sm->markets();
        for (const char* name : {"SH", "SZ", "SHO", "SZO", "CFFEX", "SHFE", "DCE", "CZCE", "INE",
                                 "HK", "HGT", "SGT", "COMEX"})
            QVERIFY2(m.contains(QLatin1String(name)), name);
        const auto sho = sm->instrumentsOfMarket(QStringLiteral("SHO"));
        QVERIFY(!sho.isEmpty());
        for (const auto& d : sho)
            QCOMPARE(d->market, QStringLiteral("SHO"));
    }

    void indexConstituents()
    {
        CStockManager* sm = CStockManager::instance();
        const auto byKey = sm->getSectorStock(QStringLiteral("000300.SH"));
        QCOMPARE(int(byKey.size()), 300);
        QCOMPARE(int(sm->getSectorStock(QStringLiteral("000300")).size()), 300);
        float sum = 0;
        for (const auto& s : byKey)
            sum += s.weight;
        QVERIFY(qAbs(sum - 100.0f) < 0.05f);
    }

    void tradeUnit_data()
    {
        QTest::addColumn<QString>("market");
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("unit");
        const auto row = [](const char* tag, const char* market, const char* code, int unit) {
            QTest::newRow(tag) << QString(market) << QString(code) << unit;
        };
        row("SH stock", "SH", "600519", 100);
        row("SZ stock", "SZ", "000858", 100);
        row("ETF", "SH", "510050", 100);
        row("bond", "SH", "019740", 10);
        row("convertible", "SH", "113050", 10);
        row("index", "SH", "000300", 1);
        row("futures market", "SHFE", "rb00", 1);
    }

    void tradeUnit()
    {
        QFETCH(QString, market);
        QFETCH(QString, code);
        QFETCH(int, unit);
        QCOMPARE(ttservice::getStockTradeUnit(market, code), unit);
    }

    void stockOptionMap()
    {
        const QMap<QString, QStringList> map = CExchangeClient::instance()->getStockOptionMap();
        for (const char* u : {"510050.SH", "510300.SH", "159919.SZ", "000300.SH", "000852.SH"})
            QVERIFY2(map.contains(QLatin1String(u)), u);
        const QStringList list = map.value(QStringLiteral("510050.SH"));
        QCOMPARE(list.size(), 4 * 9 * 2);
        CStockManager* sm = CStockManager::instance();
        for (int i = 1; i < list.size(); ++i) {
            const auto a = sm->getInstrumentDetail(list[i - 1]);
            const auto b = sm->getInstrumentDetail(list[i]);
            QVERIFY(a && b);
            QCOMPARE(b->optUnderlyingCode, QStringLiteral("510050"));
            const bool ordered = a->expiryDate < b->expiryDate
                                 || (a->expiryDate == b->expiryDate
                                     && (a->strike < b->strike
                                         || (a->strike == b->strike && a->isCall && !b->isCall)));
            QVERIFY2(ordered, qPrintable(list[i]));
        }
        QVERIFY(CExchangeClient::instance()->isCall(list[0]));
        QVERIFY(!CExchangeClient::instance()->isCall(list[1]));
        QCOMPARE(CExchangeClient::instance()->getOptionList(QStringLiteral("510050.SH")), list);
        QVERIFY(CExchangeClient::instance()->getOptionList(QStringLiteral("600519.SH")).isEmpty());
    }

    void futureOptionMap()
    {
        const QMap<QString, QStringList> map = CExchangeClient::instance()->getFutureOptionMap();
        QVERIFY(!map.isEmpty());
        CStockManager* sm = CStockManager::instance();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            const auto und = sm->getInstrumentDetail(it.key());
            QVERIFY2(und && und->type == ttservice::eInstrFuture, qPrintable(it.key()));
            for (const QString& k : it.value())
                QVERIFY(TC::isTryFutureOptionInstrument(sm->getInstrumentDetail(k)->code));
        }
    }

    void codeInfo()
    {
        CCodeInfo info;
        QVERIFY(CExchangeClient::instance()->getCodeInfo(QStringLiteral("510050.SH"), info));
        QCOMPARE(info.name, QStringLiteral("上证50ETF"));
        QCOMPARE(info.refPrice, 2.65);
        QVERIFY(info.histVolatility > 0);
        QVERIFY(CExchangeClient::instance()->getCodeInfo(QStringLiteral("IF00.CFFEX"), info));
        QCOMPARE(info.contractMultiplier, 300);
    }

    void futureOptionCodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("option");
        QTest::addColumn<bool>("call");
        QTest::newRow("DCE call") << "m2505-C-3000" << true << true;
        QTest::newRow("DCE put") << "m2505-P-3000" << true << false;
        QTest::newRow("CZCE call") << "SR505C6100" << true << true;
        QTest::newRow("SHFE put") << "cu2505P70000" << true << false;
        QTest::newRow("index option") << "IO2501-C-3800" << true << true;
        QTest::newRow("future") << "rb2505" << false << false;
        QTest::newRow("stock") << "600519" << false << false;
        QTest::newRow("one dash only") << "m2505-C3000" << false << false;
        QTest::newRow("empty") << "" << false << false;
    }

    void futureOptionCodes()
    {
        QFETCH(QString, code);
        QFETCH(bool, option);
        QFETCH(bool, call);
        QCOMPARE(TC::isTryFutureOptionInstrument(code), option);
        QCOMPARE(ttservice::CFtOptionDataHelper::isFtOptionInstrument(code), option);
        QCOMPARE(ttservice::CFtOptionDataHelper::isCallOption(code), call);
    }

    void nightQuoter_data()
    {
        QTest::addColumn<QString>("market");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("night");
        const auto row = [](const char* tag, const char* market, const char* code, bool night) {
            QTest::newRow(tag) << QString(market) << QString(code) << night;
        };
        row("rebar", "SHFE", "rb00", true);
        row("index future", "CFFEX", "IF00", false);
        row("eggs", "DCE", "jd00", false);
        row("stock", "SH", "600519", false);
        row("code only, product known", "DCE", "m9999", true);
    }

    void nightQuoter()
    {
        QFETCH(QString, market);
        QFETCH(QString, code);
        QFETCH(bool, night);
        QCOMPARE(CTradeOpenCloseTimeManager::instance()->hasNightQuoter(market, code), night);
    }

    void fixtureReplacesAndRestores()
    {
        CStockManager* sm = CStockManager::instance();
        QSignalSpy spy(sm, &CStockManager::sigUniverseReset);
        const size_t full = sm->allInstruments().size();
        auto a = make(QStringLiteral("SH"), QStringLiteral("600001"), QStringLiteral("测试一"),
                      ttservice::eInstrStock);
        a->industry = QStringLiteral("银行");
        auto b = make(QStringLiteral("SZ"), QStringLiteral("000002"), QStringLiteral("测试二"),
                      ttservice::eInstrStock);
        QHash<QString, std::vector<se::RPCSectorStock>> members;
        members.insert(QStringLiteral("000300.SH"),
                       {{QStringLiteral("SH"), QStringLiteral("600001"), 60.0f},
                        {QStringLiteral("SZ"), QStringLiteral("000002"), 40.0f}});
        sm->resetUniverseForTest({a, nullptr, b}, members);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(int(sm->allInstruments().size()), 2);
        QCOMPARE(sm->getInstrumentDetail(QStringLiteral("600001.SH")), a);
        QCOMPARE(a->key, QStringLiteral("600001.SH")); // filled in by the fixture
        QVERIFY(!sm->getInstrumentDetail(QStringLiteral("600519.SH")));
        QCOMPARE(int(sm->getSectorStock(QStringLiteral("000300.SH")).size()), 2);
        QCOMPARE(sm->markets(), (QStringList{QStringLiteral("SH"), QStringLiteral("SZ")}));
        sm->restoreDefault();
        QCOMPARE(spy.count(), 2);
        QCOMPARE(sm->allInstruments().size(), full);
        QVERIFY(sm->getInstrumentDetail(QStringLiteral("600519.SH")));
    }
};

QTEST_GUILESS_MAIN(TestStockManager)
#include "tst_stockmanager.moc"
