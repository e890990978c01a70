// Quote cache, simulator rules, history fetches and formula requests, driven
// synchronously through the test market.
#include "host/data/ExternalDataManager.h"
#include "host/data/FormulaManager.h"
#include "host/data/FormulaOperateManager.h"
#include "host/data/HostClock.h"
#include "host/data/IndexManager.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/TemporaryDataManager.h"
#include "host/data/TradeOpenCloseTimeManager.h"
#include "host/market/EmbeddedMarket.h"
#include "host/market/OptionPricing.h"
#include "host/market/TestMarket.h"

#include <QtTest/QtTest>

using ttmarket::TestMarket;

namespace {

// A Friday that trades; the Monday after is a holiday.
int64_t friday(int hour, int minute)
{
    return TestMarket::at(2024, 6, 7, hour, minute);
}

std::vector<ttservice::CInstrumentDetailPtr> smallUniverse()
{
    auto etf = TestMarket::stock(QStringLiteral("SH"), QStringLiteral("510050"),
                                 QStringLiteral("50ETF"), 2.5, 0.001);
    etf->type = ttservice::eInstrETF;
    etf->iopvBasis = 2.5;
    auto call = TestMarket::stock(QStringLiteral("SHO"), QStringLiteral("10000001"),
                                  QStringLiteral("50ETF购6月2500"), 0.1, 0.0001);
    call->type = ttservice::eInstrOption;
    call->optUnderlyingMarket = QStringLiteral("SH");
    call->optUnderlyingCode = QStringLiteral("510050");
    call->isCall = true;
    call->strike = 2.5;
    call->expiryDate = TC::CStockManager::dateFromYmd(2024, 6, 26);
    call->histVolatility = 0.2;
    call->riskFreeRate = 0.02;
    call->contractUnit = 10000;
    auto bond = TestMarket::stock(QStringLiteral("SH"), QStringLiteral("113001"),
                                  QStringLiteral("浦发转债"), 130.0, 0.001);
    bond->type = ttservice::eInstrConvertibleBond;
    bond->cbUnderlyingMarket = QStringLiteral("SH");
    bond->cbUnderlyingCode = QStringLiteral("600000");
    bond->cbConversionPrice = 8.0;
    return {TestMarket::stock(QStringLiteral("SH"), QStringLiteral("600000"),
                              QStringLiteral("浦发银行"), 10.0),
            bond,
            TestMarket::stock(QStringLiteral("SH"), QStringLiteral("688001"),
                              QStringLiteral("华兴源创"), 50.0),
            TestMarket::stock(QStringLiteral("SZ"), QStringLiteral("000001"),
                              QStringLiteral("平安银行"), 12.0),
            etf,
            call};
}

std::vector<double> lastPrices(int ticks)
{
    std::vector<double> out;
    for (int i = 0; i < ticks; ++i) {
        TestMarket::tick(1000);
        out.push_back(TestMarket::lastQuote(QStringLiteral("SH"), QStringLiteral("600000"))->last);
        out.push_back(TestMarket::lastQuote(QStringLiteral("SZ"), QStringLiteral("000001"))->last);
    }
    return out;
}

} // namespace

class TestQuoteCache : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        TestMarket::setClock(friday(10, 0));
        TestMarket::install(smallUniverse(), 42);
    }

    void cleanupTestCase() { TestMarket::restore(); }

    void cacheReads()
    {
        TC::CFormulaManager* fm = TC::CFormulaManager::instance();
        const auto quotes = fm->subPushQuoterFromCache(
            dorn::PushQuoteParam("SH"), std::vector<std::string>{"600000", "999999", "688001"});
        QCOMPARE(quotes.size(), size_t(3));
        QVERIFY(quotes[0]);
        QVERIFY(!quotes[1]);
        QVERIFY(quotes[2]);
        QCOMPARE(quotes[0]->preClose, 10.0);
        QCOMPARE(quotes[2]->preClose, 50.0);
        // an unknown market gives nulls, never a throw
        const auto none = fm->subPushQuoterFromCache(dorn::PushQuoteParam("XX"),
                                                     QVector<QString>{QStringLiteral("600000")});
        QCOMPARE(none.size(), size_t(1));
        QVERIFY(!none[0]);
        // what was set is what is read
        quoter::QuoterAllData q = TestMarket::quote(10.5, 10.0, 12300);
        QVERIFY(TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("600000"), q));
        QVERIFY(!TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("123456"), q));
        const quoter::QuoterAllDataPtr read = fm->lastQuote("SH", "600000");
        QVERIFY(read);
        QCOMPARE(read->last, 10.5);
        QCOMPARE(read->volume, int64_t(12300));
        QCOMPARE(read->bidPrice[0], q.bidPrice[0]);
    }

    void cacheReadsSeveralMarkets()
    {
        std::map<std::string, std::vector<std::string>> codes{
            {"SH", {"600000"}}, {"SZ", {"000001", "000002"}}, {"SHO", {"10000001"}}};
        std::map<std::string, std::vector<quoter::QuoterAllDataPtr>> out;
        // SHO has no parameter, so it is not read
        TC::CFormulaManager::instance()->subPushQuoterFromCache(
            {dorn::PushQuoteParam("SH"), dorn::PushQuoteParam("SZ"), dorn::PushQuoteParam("CFFEX")},
            codes, out);
        QCOMPARE(out.size(), size_t(2));
        QCOMPARE(out["SH"].size(), size_t(1));
        QCOMPARE(out["SZ"].size(), size_t(2));
        QVERIFY(out["SZ"][0]);
        QVERIFY(!out["SZ"][1]);
        QVERIFY(!out.count("SHO"));
    }

    void lookupsByKey()
    {
        const QString key = XP::nvStockKey(QStringLiteral("SZ"), QStringLiteral("000001"));
        const quoter::QuoterAllDataPtr byKey = TC::getLastQuoterAllDataPtr(key);
        QVERIFY(byKey);
        QCOMPARE(byKey.get(),
                 dorn::getQuoter(QStringLiteral("SZ"), QStringLiteral("000001")).get());
        QCOMPARE(byKey.get(),
                 TC::getLastQuoterAllDataPtr(QStringLiteral("SZ"), QStringLiteral("000001")).get());
        QVERIFY(!TC::getLastQuoterAllDataPtr(QString()));
        QVERIFY(!TC::getLastQuoterAllDataPtr(QStringLiteral("nonsense")));
        QVERIFY(!dorn::getQuoter(std::string("SZ"), std::string()));
        QVERIFY(!dorn::getCBInfo(QStringLiteral("600000")).valid);
        QVERIFY(!dorn::getCBInfo(QString()).valid);
    }

    void limitsAndBooks()
    {
        struct Seen {
            int64_t volume = 0;
            double amount = 0;
        };
        std::map<std::string, Seen> seen;
        for (int i = 0; i < 600; ++i) {
            TestMarket::tick(1000);
            for (const char* code : {"600000", "688001"}) {
                const quoter::QuoterAllDataPtr q =
                    TestMarket::lastQuote(QStringLiteral("SH"), QString::fromLatin1(code));
                QVERIFY(q);
                const double limit = std::string(code) == "688001" ? 0.20 : 0.10;
                QVERIFY2(q->last <= q->preClose * (1 + limit) + 1e-9
                             && q->last >= q->preClose * (1 - limit) - 1e-9,
                         qPrintable(QStringLiteral("%1 at %2").arg(code).arg(q->last)));
                QVERIFY(std::fabs(q->upperLimit - std::round(q->preClose * (1 + limit) * 100) / 100)
                        < 1e-9);
                QVERIFY(q->high >= q->last && q->last >= q->low);
                QVERIFY(q->bidPrice[0] < q->askPrice[0] || q->askPrice[0] == 0
                        || q->bidPrice[0] == 0);
                for (int k = 1; k < 5; ++k) {
                    if (q->bidPrice[k] > 0)
                        QVERIFY(q->bidPrice[k] < q->bidPrice[k - 1]);
                    if (q->askPrice[k] > 0)
                        QVERIFY(q->askPrice[k] > q->askPrice[k - 1]);
                }
                Seen& s = seen[code];
                QVERIFY(q->volume >= s.volume);
                QVERIFY(q->amount >= s.amount);
                // volumes count lots of 100 shares: the average price lies within the day's range
                if (q->volume > 0) {
                    const double average = q->amount / (double(q->volume) * 100.0);
                    QVERIFY2(average >= q->low * 0.999 && average <= q->high * 1.001, code);
                }
                s.volume = q->volume;
                s.amount = q->amount;
            }
        }
        // ten minutes of trading moved the volume
        QVERIFY(TestMarket::lastQuote(QStringLiteral("SH"), QStringLiteral("600000"))->volume > 0);
    }

    void phases_data()
    {
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<qint64>("phase");
        QTest::addColumn<bool>("traded");
        QTest::addColumn<bool>("book");
        QTest::newRow("early morning") << 8 << 0 << qint64(quoter::PhasePreOpen) << false << false;
        QTest::newRow("call auction") << 9 << 20 << qint64(quoter::PhasePreOpen) << false << true;
        QTest::newRow("morning session")
            << 10 << 0 << qint64(quoter::PhaseContinuous) << true << true;
        QTest::newRow("midday break")
            << 12 << 0 << qint64(quoter::PhaseMiddayBreak) << true << true;
        QTest::newRow("after the close") << 15 << 30 << qint64(quoter::PhaseClosed) << true << true;
    }

    void phases()
    {
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(qint64, phase);
        QFETCH(bool, traded);
        QFETCH(bool, book);
        TestMarket::setClock(friday(hour, minute));
        TestMarket::install(smallUniverse(), 42);
        TestMarket::tick(0);
        const quoter::QuoterAllDataPtr q =
            TestMarket::lastQuote(QStringLiteral("SH"), QStringLiteral("600000"));
        QVERIFY(q);
        QCOMPARE(q->openInterestOrPhase, int64_t(phase));
        QCOMPARE(q->last > 0, traded);
        QCOMPARE(q->bidPrice[0] > 0, book);
        if (!traded)
            QCOMPARE(q->open, 0.0);
    }

    void deterministicForASeed()
    {
        TestMarket::install(smallUniverse(), 7);
        const std::vector<double> first = lastPrices(200);
        TestMarket::setClock(friday(10, 0));
        TestMarket::install(smallUniverse(), 7);
        const std::vector<double> again = lastPrices(200);
        QCOMPARE(again, first);
        TestMarket::setClock(friday(10, 0));
        TestMarket::install(smallUniverse(), 8);
        QVERIFY(lastPrices(200) != first);
    }

    void optionFollowsUnderlying()
    {
        for (int i = 0; i < 300; ++i) {
            TestMarket::tick(1000);
            const quoter::QuoterAllDataPtr u =
                TestMarket::lastQuote(QStringLiteral("SH"), QStringLiteral("510050"));
            const quoter::QuoterAllDataPtr o =
                TestMarket::lastQuote(QStringLiteral("SHO"), QStringLiteral("10000001"));
            QVERIFY(u && o);
            const double years = (TC::CStockManager::dateFromYmd(2024, 6, 26) * 1000.0 + 15 * 3600e3
                                  - TC::HostClock::nowMs())
                                 / (365.0 * 86400e3);
            const double fair = ttmarket::blackScholes(
                true, u->last, 2.5, years, 0.02, ttmarket::smileVolatility(0.2, u->last, 2.5));
            QVERIFY2(std::fabs(o->last - fair) <= 0.00005 + 1e-9,
                     qPrintable(QStringLiteral("option %1, model %2 at %3")
                                    .arg(o->last)
                                    .arg(fair)
                                    .arg(u->last)));
            // futures and options carry open interest in the integer field
            QVERIFY(o->openInterestOrPhase >= 0);
            // the ETF's IOPV moves with it
            QVERIFY(std::fabs(u->iopv - 2.5 * u->last / u->preClose) < 1e-9);
        }
    }

    void optionSmile()
    {
        // the instrument's level at the money, a put skew, both wings above the money
        QCOMPARE(ttmarket::smileVolatility(0.2, 2.5, 2.5), 0.2);
        const double low = ttmarket::smileVolatility(0.2, 2.5, 2.0);
        QVERIFY(low > 0.2);
        QVERIFY(low > ttmarket::smileVolatility(0.2, 2.5, 3.0));
        QVERIFY(ttmarket::smileVolatility(0.2, 2.5, 4.0) > 0.2);
        QVERIFY(ttmarket::smileVolatility(0.2, 2.5, 1.25) < 0.6);
        QCOMPARE(ttmarket::smileVolatility(0.2, 0.0, 2.5), 0.2); // no spot: the level itself
    }

    void convertibleFollowsStock()
    {
        const dorn::CBInfo info = dorn::getCBInfo(QStringLiteral("113001"));
        QVERIFY(info.valid);
        QCOMPARE(info.conversionPrice, 8.0);
        QCOMPARE(info.underlyingCode, std::string("600000"));
        QVERIFY(dorn::getCBInfo(std::string("SH"), std::string("113001")).valid);
        for (int i = 0; i < 200; ++i) {
            TestMarket::tick(1000);
            const quoter::QuoterAllDataPtr stock =
                TestMarket::lastQuote(QStringLiteral("SH"), QStringLiteral("600000"));
            const quoter::QuoterAllDataPtr bond =
                TestMarket::lastQuote(QStringLiteral("SH"), QStringLiteral("113001"));
            // a conversion premium of 5 % to 30 % over the conversion value
            const double value = 100.0 / 8.0 * stock->last;
            QVERIFY2(
                bond->last >= value * 1.05 - 0.001 && bond->last <= value * 1.30 + 0.001,
                qPrintable(
                    QStringLiteral("bond %1, conversion value %2").arg(bond->last).arg(value)));
        }
    }

    // A five-minute formula period groups the day's minute bars.
    void formulaPeriodGroupsMinutes()
    {
        for (int i = 0; i < 185; ++i)
            TestMarket::tick(1000);
        TC::CFormulaParam p;
        p.market = QStringLiteral("SH");
        p.code = QStringLiteral("600000");
        p.formulaName = QStringLiteral("VOL");
        p.period = 5 * 60000;
        const se::RPCFormulaResultPtr r = TC::CFormulaManager::instance()->evaluate(p);
        QCOMPARE(r->errorCode, 0);
        QCOMPARE(r->doubleValues[0].size(), size_t(1));
        QCOMPARE(
            r->doubleValues[0][0],
            double(TestMarket::lastQuote(QStringLiteral("SH"), QStringLiteral("600000"))->volume));
    }

    void isValidData_data()
    {
        QTest::addColumn<qint64>("time");
        QTest::addColumn<QString>("market");
        QTest::addColumn<bool>("valid");
        QTest::newRow("now") << qint64(friday(10, 0) / 1000) << "SH" << true;
        QTest::newRow("call auction") << qint64(friday(9, 15) / 1000) << "SZ" << true;
        QTest::newRow("yesterday")
            << qint64(TestMarket::at(2024, 6, 6, 14, 0) / 1000) << "SH" << false;
        QTest::newRow("zero") << qint64(0) << "SH" << false;
        QTest::newRow("negative") << qint64(-5) << "SH" << false;
        QTest::newRow("no market") << qint64(friday(10, 0) / 1000) << "" << false;
    }

    void isValidData()
    {
        QFETCH(qint64, time);
        QFETCH(QString, market);
        QFETCH(bool, valid);
        QCOMPARE(TC::CFormulaManager::instance()->isValidData(time, market), valid);
    }

    void fetchSnapshots()
    {
        for (int i = 0; i < 5; ++i)
            TestMarket::tick(1000);
        se::RPCFetchCacheDataParam param;
        param.market = "SH";
        param.codes = {"600000"};
        param.quoterType = se::getQuoterType("SH");
        QVERIFY(param.quoterType != se::kQuoterTypeBar);
        param.startTime = friday(9, 0);
        param.endTime = quoter::TimeSeq::TIME_LASTED;
        std::map<std::string, std::vector<quoter::QuoterBasePtr>> got;
        TC::CFormulaManager::instance()->fetchCacheData(
            param,
            [&](std::map<std::string, std::vector<quoter::QuoterBasePtr>>& data) { got = data; });
        const std::vector<quoter::QuoterBasePtr>& records = got[utils::nvStockKey("SH", "600000")];
        QVERIFY(!records.empty());
        for (const quoter::QuoterBasePtr& r : records) {
            QVERIFY(quoter::asAllData(r.get()));
            QVERIFY(r->time >= friday(9, 0));
        }
        QCOMPARE(records.back().get(),
                 TestMarket::lastQuote(QStringLiteral("SH"), QStringLiteral("600000")).get());
        // snapshots convert to bars for callers that need bars
        const quoter::KLineDataPtr bar = quoter::quoteToKLine(records.back());
        QVERIFY(bar);
        QCOMPARE(bar->close, quoter::asAllData(records.back().get())->last);
    }

    void fetchExternalData()
    {
        TC::CExternalDataManager* ed = TC::CExternalDataManager::instance();
        ed->reset();
        const QVector<QPair<qint64, double>> series{{1000, 1.5}, {2000, 2.5}, {3000, 4.0}};
        QVERIFY(ed->addData(QStringLiteral("自定义因子"), QStringLiteral("QTEST1"),
                            QStringLiteral("测试因子"), series));
        se::RPCFetchCacheDataParam param;
        param.market = "ED";
        param.codes = {"QTEST1", "MISSING"};
        param.startTime = -2524550400000LL;
        param.endTime = 2147483632000LL;
        param.count = 1;
        param.quoterType = se::kQuoterTypeBar;
        param.period = 86400000;
        std::map<std::string, std::vector<quoter::QuoterBasePtr>> got;
        TC::CFormulaManager::instance()->fetchCacheData(
            param,
            [&](std::map<std::string, std::vector<quoter::QuoterBasePtr>>& data) { got = data; });
        QCOMPARE(got.size(), size_t(1));
        const std::vector<quoter::QuoterBasePtr>& records = got[utils::nvStockKey("ED", "QTEST1")];
        // the most recent value only
        QCOMPARE(records.size(), size_t(1));
        QCOMPARE(quoter::asKLine(records[0].get())->close, 4.0);
        QCOMPARE(records[0]->time, int64_t(3000));
        // all of the series, with a formula over it
        param.count = 0;
        TC::CFormulaManager::instance()->fetchCacheData(
            param,
            [&](std::map<std::string, std::vector<quoter::QuoterBasePtr>>& data) { got = data; });
        QCOMPARE(got[utils::nvStockKey("ED", "QTEST1")].size(), size_t(3));
        TC::CFormulaParam p;
        p.market = QStringLiteral("ED");
        p.code = QStringLiteral("QTEST1");
        p.formulaName = QStringLiteral("MA");
        p.params = {{QStringLiteral("M1"), QStringLiteral("2")}};
        const se::RPCFormulaResultPtr r = TC::CFormulaManager::instance()->evaluate(p);
        QCOMPARE(r->errorCode, 0);
        QCOMPARE(r->doubleValues[0].back(), (2.5 + 4.0) / 2);
        ed->reset();
    }

    void fetchTicks()
    {
        for (int i = 0; i < 40; ++i)
            TestMarket::tick(1000);
        TC::CStockManager* sm = TC::CStockManager::instance();
        const int today = TC::CStockManager::dateFromYmd(2024, 6, 7);
        const int before = TC::CStockManager::dateFromYmd(2024, 6, 6);
        const QVector<int> list =
            sm->getTradeDateList(TC::CStockManager::dateFromYmd(2024, 5, 1), today);
        const std::vector<int> dates(list.begin(), list.end());
        se::RPCFetchCacheDataParam param;
        param.market = "SZ";
        param.codes = {"000001"};
        auto fetch = [&](int date) {
            std::map<std::string, std::vector<quoter::QuoterBasePtr>> got;
            TC::CFormulaManager::instance()->fetchTickData(
                param, date, dates,
                [&](std::map<std::string, std::vector<quoter::QuoterBasePtr>>& data) {
                    got = data;
                });
            return got;
        };
        const auto live = fetch(today);
        QCOMPARE(live.size(), size_t(1));
        const std::vector<quoter::QuoterAllDataPtr> ring =
            ttmarket::EmbeddedMarket::instance()->ticks("SZ", "000001");
        // forty seconds of trading left several snapshots, the newest last
        QVERIFY(ring.size() >= 3);
        QCOMPARE(live.begin()->second.size(), ring.size());
        QCOMPARE(live.begin()->second.back().get(),
                 TestMarket::lastQuote(QStringLiteral("SZ"), QStringLiteral("000001")).get());
        for (size_t i = 1; i < ring.size(); ++i)
            QVERIFY(ring[i]->time >= ring[i - 1]->time);
        // the day before: one snapshot a minute within that day, the last one its stored values
        const auto past = fetch(before);
        QCOMPARE(past.size(), size_t(1));
        const std::vector<quoter::QuoterBasePtr>& day = past.begin()->second;
        QCOMPARE(day.size(), size_t(240));
        QCOMPARE(TC::CStockManager::dateOfMs(day.front()->time), before);
        QCOMPARE(TC::CStockManager::dateOfMs(day.back()->time), before);
        const QString key = XP::nvStockKey(QStringLiteral("SZ"), QStringLiteral("000001"));
        const quoter::QuoterAllData* close = quoter::asAllData(day.back().get());
        QCOMPARE(close->last, se::IndexData::getSingleValue(key, QStringLiteral("最新"), before));
        QCOMPARE(static_cast<double>(close->volume),
                 se::IndexData::getSingleValue(key, QStringLiteral("总量"), before));
        QCOMPARE(close->high, se::IndexData::getSingleValue(key, QStringLiteral("最高"), before));
    }

    void formulaBatch()
    {
        TC::CFormulaOperateManager* ops = TC::CFormulaOperateManager::instance();
        const TC::CFormulaDetailPtr ma = ops->getFormula(QStringLiteral("ma"));
        QVERIFY(ma);
        QCOMPARE(ma->name, QStringLiteral("MA"));
        QCOMPARE(ma->paramNames.size(), size_t(4));
        QCOMPARE(ma->paramValues[0], QStringLiteral("5"));
        // script formulas arrive with their folder
        QVERIFY(ops->getFormula(QStringLiteral("C:\\formulas\\MACD")));

        QVector<TC::CFormulaParam> batch;
        for (const char* code : {"600000", "688001"}) {
            TC::CFormulaParam p;
            p.market = QStringLiteral("SH");
            p.code = QString::fromLatin1(code);
            p.formulaName = QStringLiteral("MA");
            p.params = {{QStringLiteral("M1"), QStringLiteral("3")}};
            p.requestId = se::IdGenerator::genId(0, p.formulaName, p.code);
            batch.append(p);
        }
        std::vector<int> indexes;
        std::vector<se::RPCFormulaResultPtr> results;
        std::vector<se::RPCFormulaMetaResultPtr> metas;
        TC::CFormulaManager::instance()->requestFormulasSync2(
            batch,
            [&](int index, int count, const se::RPCFormulaMetaResultPtr& meta,
                const se::RPCFormulaResultPtr& result) {
                QCOMPARE(count, 2);
                indexes.push_back(index);
                metas.push_back(meta);
                results.push_back(result);
            },
            std::make_shared<std::atomic<bool>>(false));
        QCOMPARE(indexes, (std::vector<int>{0, 1}));
        const std::vector<quoter::KLineData> bars =
            ttmarket::EmbeddedMarket::instance()->dailyBars("SH", "688001");
        const se::RPCFormulaResultPtr& r = results[1];
        QCOMPARE(r->errorCode, 0);
        QCOMPARE(metas[1]->lineIndexes.size(), size_t(4));
        QCOMPARE(metas[1]->lineIndexes[0], std::vector<int>{0});
        QCOMPARE(r->dataTypes[0], 0);
        QCOMPARE(r->doubleValues[0].size(), bars.size());
        const size_t n = bars.size();
        const double expected = (bars[n - 1].close + bars[n - 2].close + bars[n - 3].close) / 3;
        QVERIFY(std::fabs(r->doubleValues[0].back() - expected) < 1e-9);
        // MA2 kept its default of 10
        double sum10 = 0;
        for (size_t i = n - 10; i < n; ++i)
            sum10 += bars[i].close;
        QVERIFY(std::fabs(r->doubleValues[1].back() - sum10 / 10) < 1e-9);

        // the last trading day only, as period-0 columns ask
        TC::CFormulaParam last = batch[0];
        last.requestKind = 2;
        last.startTime = int64_t(TC::CStockManager::dateFromYmd(2024, 6, 7)) * 1000;
        const se::RPCFormulaResultPtr one = TC::CFormulaManager::instance()->evaluate(last);
        QCOMPARE(one->doubleValues[0].size(), size_t(1));
        QCOMPARE(one->times, std::vector<int64_t>{last.startTime});
        // maxCount keeps the most recent values
        last.startTime = quoter::TimeSeq::TIME_START2;
        last.maxCount = 4;
        QCOMPARE(TC::CFormulaManager::instance()->evaluate(last)->doubleValues[0].size(),
                 size_t(4));

        // the text formula
        TC::CFormulaParam text = batch[0];
        text.formulaName = QStringLiteral("TREND");
        text.params.clear();
        const se::RPCFormulaResultPtr t = TC::CFormulaManager::instance()->evaluate(text);
        QCOMPARE(t->dataTypes[0], se::kFormulaTextType);
        QVERIFY(!t->stringValues[0].empty());
        const std::string lastText = t->stringValues[0].back();
        QVERIFY(lastText == "上涨" || lastText == "下跌" || lastText == "平盘");
    }

    void formulaStopFlag()
    {
        QVector<TC::CFormulaParam> batch(5);
        for (TC::CFormulaParam& p : batch) {
            p.market = QStringLiteral("SZ");
            p.code = QStringLiteral("000001");
            p.formulaName = QStringLiteral("RSI");
        }
        auto stop = std::make_shared<std::atomic<bool>>(false);
        int calls = 0;
        TC::CFormulaManager::instance()->requestFormulasSync2(
            batch,
            [&](int, int, const se::RPCFormulaMetaResultPtr&, const se::RPCFormulaResultPtr&) {
                if (++calls == 2)
                    se::setStopFlag(stop, true);
            },
            stop);
        QCOMPARE(calls, 2);
        // a flag set before the call stops it before the first request
        calls = 0;
        TC::CFormulaManager::instance()->requestFormulasSync2(
            batch,
            [&](int, int, const se::RPCFormulaMetaResultPtr&, const se::RPCFormulaResultPtr&) {
                ++calls;
            },
            stop);
        QCOMPARE(calls, 0);
        // a null flag never stops
        TC::CFormulaManager::instance()->requestFormulasSync2(
            batch,
            [&](int, int, const se::RPCFormulaMetaResultPtr&, const se::RPCFormulaResultPtr&) {
                ++calls;
            },
            nullptr);
        QCOMPARE(calls, 5);

        // cancelled ids of a running batch are skipped
        batch[3].requestId = QStringLiteral("cancel-me");
        calls = 0;
        std::vector<int> seen;
        TC::CFormulaManager::instance()->requestFormulasSync2(
            batch,
            [&](int index, int, const se::RPCFormulaMetaResultPtr&,
                const se::RPCFormulaResultPtr&) {
                seen.push_back(index);
                if (index == 0)
                    TC::CFormulaManager::instance()->unrequestFormulas(
                        {QStringLiteral("cancel-me")});
            },
            nullptr);
        QCOMPARE(seen, (std::vector<int>{0, 1, 2, 4}));
        // the cancel does not outlive the batch
        seen.clear();
        TC::CFormulaManager::instance()->requestFormulasSync2(
            batch,
            [&](int index, int, const se::RPCFormulaMetaResultPtr&,
                const se::RPCFormulaResultPtr&) { seen.push_back(index); },
            nullptr);
        QCOMPARE(seen.size(), size_t(5));
    }

    void formulaUnknowns()
    {
        TC::CFormulaParam p;
        p.market = QStringLiteral("SH");
        p.code = QStringLiteral("999999");
        p.formulaName = QStringLiteral("MA");
        se::RPCFormulaMetaResultPtr meta;
        se::RPCFormulaResultPtr r = TC::CFormulaManager::instance()->evaluate(p, &meta);
        QVERIFY(r->errorCode != 0);
        QCOMPARE(meta->lineIndexes.size(), size_t(4));
        QVERIFY(r->doubleValues[0].empty());
        p.code = QStringLiteral("600000");
        p.formulaName = QStringLiteral("NOSUCH");
        r = TC::CFormulaManager::instance()->evaluate(p, &meta);
        QVERIFY(r->errorCode != 0);
        QVERIFY(meta->lineIndexes.empty());
        p.formulaName = QStringLiteral("MA");
        p.params = {{QStringLiteral("M1"), QStringLiteral("-4")}};
        QVERIFY(TC::CFormulaManager::instance()->evaluate(p)->errorCode != 0);
        // a text that is not a number leaves the default
        p.params = {{QStringLiteral("M1"), QStringLiteral("abc")}};
        QCOMPARE(TC::CFormulaManager::instance()->evaluate(p)->errorCode, 0);
    }

    void indexRequest()
    {
        TC::CFormulaManager* fm = TC::CFormulaManager::instance();
        quoter::TRegionInfo region;
        region.keys = {utils::nvStockKey("SH", "600000"), utils::nvStockKey("SH", "nope")};
        std::vector<std::string> order;
        long long gotId = -1;
        std::vector<std::map<std::string, quoter::QuoterBasePtr>> deliveries;
        const long long id = fm->requestIndex(
            region,
            [&](long long i) {
                order.push_back("id");
                gotId = i;
            },
            [&](const std::map<std::string, quoter::QuoterBasePtr>& data) {
                order.push_back("data");
                deliveries.push_back(data);
            });
        QCOMPARE(gotId, id);
        QCOMPARE(order, (std::vector<std::string>{"id", "data"}));
        QCOMPARE(deliveries[0].size(), size_t(1));
        QVERIFY(deliveries[0].count(utils::nvStockKey("SH", "600000")));

        QVERIFY(TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("600000"),
                                     TestMarket::quote(10.8, 10.0)));
        TestMarket::firePush(QStringLiteral("SH"));
        QCOMPARE(deliveries.size(), size_t(2));
        const auto* q = quoter::asAllData(deliveries[1].begin()->second.get());
        QVERIFY(q);
        QCOMPARE(q->last, 10.8);

        fm->unrequestIndex(id);
        TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("600000"),
                             TestMarket::quote(10.9, 10.0));
        TestMarket::firePush(QStringLiteral("SH"));
        QCOMPARE(deliveries.size(), size_t(2));
        fm->unrequestIndex(id); // twice is harmless

        // a past date is valued from that day's bar and not refreshed
        region.time = int64_t(TC::CStockManager::dateFromYmd(2024, 6, 6)) * 1000;
        region.keys = {utils::nvStockKey("SH", "600000")};
        deliveries.clear();
        const long long pastId =
            fm->requestIndex(region, TC::CFormulaManager::IndexIdCallback(),
                             [&](const std::map<std::string, quoter::QuoterBasePtr>& data) {
                                 deliveries.push_back(data);
                             });
        QCOMPARE(deliveries.size(), size_t(1));
        QCOMPARE(quoter::asAllData(deliveries[0].begin()->second.get())->last, 10.0);
        TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("600000"),
                             TestMarket::quote(11.0, 10.0));
        TestMarket::firePush(QStringLiteral("SH"));
        QCOMPARE(deliveries.size(), size_t(1));
        fm->unrequestIndex(pastId);
    }

    void customIndexValues()
    {
        TC::CIndexManager* im = TC::CIndexManager::instance();
        im->clear();
        TC::CCustomIndexDetail index;
        index.code = QStringLiteral("ZDY001");
        index.name = QStringLiteral("两行指数");
        index.basePoint = 1000.0;
        index.stocks = {{QStringLiteral("SH"), QStringLiteral("600000"), 60.0},
                        {QStringLiteral("SZ"), QStringLiteral("000001"), 40.0}};
        QVERIFY(im->addIndex(index));
        TestMarket::setQuote(QStringLiteral("SH"), QStringLiteral("600000"),
                             TestMarket::quote(11.0, 10.0));
        TestMarket::setQuote(QStringLiteral("SZ"), QStringLiteral("000001"),
                             TestMarket::quote(12.0, 12.0));
        std::vector<std::map<std::string, quoter::QuoterBasePtr>> deliveries;
        const long long id = TC::CFormulaManager::instance()->requestIndex(
            quoter::TRegionInfo(), TC::CFormulaManager::IndexIdCallback(),
            [&](const std::map<std::string, quoter::QuoterBasePtr>& data) {
                deliveries.push_back(data);
            });
        QCOMPARE(deliveries.size(), size_t(1));
        const quoter::QuoterAllData* q = quoter::asAllData(deliveries[0]["ZDY001"].get());
        QVERIFY(q);
        // 60 % of the weight up 10 %, 40 % flat
        QVERIFY(std::fabs(q->last - 1000.0 * (60 * 1.1 + 40 * 1.0) / 100) < 1e-9);
        QCOMPARE(q->preClose, 1000.0);
        // a push of a constituent's market values it again
        TestMarket::setQuote(QStringLiteral("SZ"), QStringLiteral("000001"),
                             TestMarket::quote(10.8, 12.0));
        TestMarket::firePush(QStringLiteral("SZ"));
        QCOMPARE(deliveries.size(), size_t(2));
        q = quoter::asAllData(deliveries[1]["ZDY001"].get());
        QVERIFY(std::fabs(q->last - 1000.0 * (60 * 1.1 + 40 * 0.9) / 100) < 1e-9);
        TC::CFormulaManager::instance()->unrequestIndex(id);
        im->clear();
    }

    void commandsRecorded()
    {
        TC::CFormulaManager* fm = TC::CFormulaManager::instance();
        fm->clearCommands();
        QSignalSpy fieldSpy(fm, &TC::CFormulaManager::sigUpdateCustomField);
        QSignalSpy commandSpy(fm, &TC::CFormulaManager::sigCommandRecorded);
        fm->sendBasketQuickOrder({QStringLiteral("600000.SH"), QStringLiteral("000001.SZ")}, 18);
        fm->sendBasketQuickOrder({QStringLiteral("600000.SH")}, 19);
        fm->sendUpdateBasket(QStringLiteral("篮子一"));
        fm->updateCustomField(QStringLiteral("我的自选"), QStringLiteral("目标价"));
        const std::vector<TC::CommandRecord> list = fm->commands();
        QCOMPARE(list.size(), size_t(4));
        QCOMPARE(list[0].command, QStringLiteral("sendBasketQuickOrder"));
        QCOMPARE(list[0].kind, 18);
        QCOMPARE(list[0].args,
                 (QStringList{QStringLiteral("600000.SH"), QStringLiteral("000001.SZ")}));
        QCOMPARE(list[1].kind, 19);
        QCOMPARE(list[2].args, QStringList{QStringLiteral("篮子一")});
        QCOMPARE(fieldSpy.count(), 1);
        QCOMPARE(fieldSpy.at(0).at(1).toString(), QStringLiteral("目标价"));
        QCOMPARE(commandSpy.count(), 4);
        fm->clearCommands();
        QVERIFY(fm->commands().empty());
    }

    // The market's trades feed the net-buying store only while a client wants it.
    void netBuyingFollowsTrading()
    {
        TC::CTemporaryDataManager* temp = TC::CTemporaryDataManager::instance();
        temp->clear();
        QSignalSpy netSpy(temp, &TC::CTemporaryDataManager::sigSendNetBuyingChange);
        QVERIFY(!temp->isNetBuyingRunning());
        TestMarket::tick(1000);
        QCOMPARE(netSpy.count(), 0);
        temp->startOrStopNetBuying(true);
        for (int i = 0; i < 20; ++i)
            TestMarket::tick(1000);
        QVERIFY(netSpy.count() > 0);
        const auto totals = temp->getCodeTransactionValue(QStringLiteral("600000"));
        QVERIFY(totals.first + totals.second > 0);
        QCOMPARE(temp->getCodeNetBuyingValue(QStringLiteral("600000")),
                 totals.first - totals.second);
        temp->startOrStopNetBuying(false);
    }

    void defaultUniverse()
    {
        TestMarket::restore();
        TestMarket::setClock(friday(10, 30));
        ttmarket::EmbeddedMarket* m = ttmarket::EmbeddedMarket::instance();
        m->reset(ttmarket::EmbeddedMarket::kDefaultSeed);
        QVERIFY2(m->instrumentCount() >= 5000, qPrintable(QString::number(m->instrumentCount())));
        m->tick();
        for (const std::string& market : m->markets()) {
            for (const ttservice::CInstrumentDetailPtr& d :
                 TC::CStockManager::instance()->instrumentsOfMarket(
                     QString::fromStdString(market))) {
                const quoter::QuoterAllDataPtr q = m->lastQuote(market, d->code.toStdString());
                QVERIFY2(q, qPrintable(d->key));
                QVERIFY2(q->preClose > 0, qPrintable(d->key));
                if (q->last > 0 && q->upperLimit > 0)
                    QVERIFY2(q->last <= q->upperLimit + 1e-9 && q->last >= q->lowerLimit - 1e-9,
                             qPrintable(d->key));
            }
        }
    }

    void futuresInDefaultUniverse()
    {
        TestMarket::restore();
        // Thursday night: night products trade for Friday, the others wait for the morning
        TestMarket::setClock(TestMarket::at(2024, 6, 6, 21, 30));
        ttmarket::EmbeddedMarket* m = ttmarket::EmbeddedMarket::instance();
        m->reset(ttmarket::EmbeddedMarket::kDefaultSeed);
        TC::CStockManager* sm = TC::CStockManager::instance();
        std::map<QString, int64_t> volumeBefore;
        for (const ttservice::CInstrumentDetailPtr& d : sm->allInstruments()) {
            if (d->type == ttservice::eInstrFuture)
                volumeBefore[d->key] =
                    m->lastQuote(d->market.toStdString(), d->code.toStdString())->volume;
        }
        for (int i = 0; i < 60; ++i)
            TestMarket::tick(1000);
        TC::CTradeOpenCloseTimeManager* night = TC::CTradeOpenCloseTimeManager::instance();
        int continuous = 0, nightTraded = 0, dayWaiting = 0, indexFutures = 0;
        for (const ttservice::CInstrumentDetailPtr& d : sm->allInstruments()) {
            if (d->type != ttservice::eInstrFuture)
                continue;
            const quoter::QuoterAllDataPtr q =
                m->lastQuote(d->market.toStdString(), d->code.toStdString());
            QVERIFY2(q, qPrintable(d->key));
            if (d->isContinuous && !d->mainCode.isEmpty()) {
                // a continuous contract is its main contract under another code
                const quoter::QuoterAllDataPtr main =
                    m->lastQuote(d->market.toStdString(), d->mainCode.toStdString());
                QVERIFY2(main, qPrintable(d->key));
                QCOMPARE(q->last, main->last);
                QCOMPARE(q->volume, main->volume);
                QCOMPARE(q->preClose, main->preClose);
                ++continuous;
                continue;
            }
            if (night->hasNightQuoter(d->market, d->code)) {
                if (q->volume > volumeBefore[d->key])
                    ++nightTraded;
            } else {
                QVERIFY2(q->volume == volumeBefore[d->key], qPrintable(d->key));
                ++dayWaiting;
            }
            if (d->product == QLatin1String("IF"))
                ++indexFutures;
        }
        QVERIFY(continuous > 0);
        QVERIFY(nightTraded > 0);
        QVERIFY(dayWaiting > 0);
        QVERIFY(indexFutures > 0);

        // in the day session index futures follow their index
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        for (int i = 0; i < 30; ++i)
            TestMarket::tick(1000);
        const quoter::QuoterAllDataPtr index = m->lastQuote("SH", "000300");
        QVERIFY(index && index->last > 0);
        for (const ttservice::CInstrumentDetailPtr& d :
             sm->instrumentsOfMarket(QStringLiteral("CFFEX"))) {
            if (d->product != QLatin1String("IF") || d->isContinuous)
                continue;
            const quoter::QuoterAllDataPtr q = m->lastQuote("CFFEX", d->code.toStdString());
            QVERIFY(q && q->last > 0);
            QVERIFY2(std::fabs(q->last / index->last - 1) < 0.02,
                     qPrintable(
                         QStringLiteral("%1 %2 vs %3").arg(d->code).arg(q->last).arg(index->last)));
            // futures carry the open interest in the integer field
            QVERIFY(q->openInterestOrPhase > 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestQuoteCache)
#include "tst_quotecache.moc"
