// Cache fetches and past trading days of the browse table: the shared cache fetch and its
// dispatch by kind, converting quote records to bars, an earlier trade date filled from
// the host's stored daily values (and kept from live pushes), the tick branch against the
// host's ticks, records that are skipped, bad trade dates, and destruction while a fetch
// runs.
#include "browse/CBrowseWidget.h"

#include "BrowseFetchSettled.h"
#include "DailyBarGate.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "browse/HpfBrowserData.h"
#include "host/data/ColumnInfo.h"
#include "host/data/FormulaTypes.h"
#include "host/data/MarketBackend.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/TestMarket.h"

#include <QtTest>

#include <QApplication>
#include <QPointer>

#include <boost/function.hpp>

#include <cmath>

using namespace TC;
using namespace browsetest;
using ttmarket::TestMarket;

namespace {

const QStringList kCodes = {QStringLiteral("600000"), QStringLiteral("600004"),
                            QStringLiteral("600009"), QStringLiteral("600010")};

double quoteCell(CBrowseWidget& w, const QString& key, int quoteId)
{
    const HpfBrowserDataPtr row = w.model()->rowByKey(key);
    return row ? row->getDouble(quoteColumn(w, quoteId)) : kNoValue;
}

quoter::QuoterBasePtr snapshot(double last, double pre)
{
    auto q = std::make_shared<quoter::QuoterAllData>(TestMarket::quote(last, pre));
    return q;
}

} // namespace

class TstBrowseFetch : public QObject {
    Q_OBJECT
    CBrowseWidget::InstrumentList m_list;
    std::shared_ptr<DailyBarGate> m_gate;
    int m_today = 0;

    std::unique_ptr<CBrowseWidget> makeWidget()
    {
        auto w = std::make_unique<CBrowseWidget>();
        w->resize(700, 400);
        w->show();
        w->setStockList(m_list, true);
        return w;
    }

    CBrowseWidget::InstrumentsByMarket byMarket() const
    {
        CBrowseWidget::InstrumentsByMarket map;
        for (const auto& detail : m_list)
            map[detail->market].append(detail);
        return map;
    }

private Q_SLOTS:
    void initTestCase()
    {
        const Instruments instruments = stocks(QStringLiteral("SH"), kCodes, 10.0);
        installMarket(instruments);
        for (int i = 0; i < 5; ++i)
            TestMarket::tick(3000); // a few ticks of today
        m_gate = gateMarket<DailyBarGate>(instruments);
        m_list = detailsOf(instruments);
        m_today = CStockManager::instance()->getLastTradingDay();
    }

    void cleanupTestCase()
    {
        QVERIFY(m_gate->releaseAndWait());
        restoreMarket();
    }

    void cleanup() { QVERIFY(m_gate->releaseAndWait()); }

    void cacheFetchDispatchesByKind()
    {
        auto w = makeWidget();
        QSignalSpy fetched(w.get(), &CBrowseWidget::sigFetchDatas);
        se::RPCFetchCacheDataParam param;
        param.market = "SH";
        param.codes = {"600000", "600004"};
        param.period = se::kPeriodDay;
        param.quoterType = se::kQuoterTypeBar;
        param.startTime = int64_t(CStockManager::instance()->getShiftTradeDate(m_today, -4)) * 1000;
        param.endTime = int64_t(m_today) * 1000;
        QVERIFY(w->doFetchCacheData(param, CBrowseWidget::FetchKind_External));
        QVERIFY(fetched.wait(kWaitMs));
        const auto data = fetched[0][0].value<BrowseFetchData>();
        QCOMPARE(fetched[0][1].toInt(), int(CBrowseWidget::FetchKind_External));
        QCOMPARE(fetched[0][2].toInt(), 0);
        QCOMPARE(int(data.size()), 2);
        QCOMPARE(int(data.at(keyOf(QStringLiteral("600000")).toStdString()).size()), 6);

        // a later generation of the same kind and column drops what is still on its way
        m_gate->hold({QStringLiteral("600000")});
        QVERIFY(w->doFetchCacheData(param, CBrowseWidget::FetchKind_Stage, 7));
        QVERIFY(m_gate->waitForWaiting(1));
        w->nextFetchGeneration(CBrowseWidget::FetchKind_Stage, 7);
        m_gate->release();
        QVERIFY(settled(*w));
        QCOMPARE(fetched.count(), 1);
    }

    void quoteRecordsToBars()
    {
        BrowseFetchData data;
        auto bar = std::make_shared<quoter::KLineData>();
        bar->close = 3.0;
        data["a"] = {snapshot(10.5, 10.0), nullptr, bar};
        data["b"] = {nullptr};
        data["c"] = {};
        CBrowseWidget::fetchDataQuoteToKLineData(data);
        QCOMPARE(int(data.size()), 1);
        const auto& a = data.at("a");
        QCOMPARE(int(a.size()), 2);
        QCOMPARE(quoter::asKLine(a[0].get())->close, 10.5);
        QCOMPARE(a[1], quoter::QuoterBasePtr(bar)); // bars are kept as they are
    }

    void noGetterNoTickFetch()
    {
        auto w = makeWidget();
        w->request();
        QCOMPARE(CBrowseWidget::runningFetchWorkers(), 0);
        QCOMPARE(w->getBrowserStatus(), int(BrowseStatus_Live));
    }

    void earlierDateFromStoredValues()
    {
        auto* stocks = CStockManager::instance();
        const int date = stocks->getShiftTradeDate(m_today, -1);
        const int before = stocks->getShiftTradeDate(date, -1);
        auto w = makeWidget();
        w->request(); // live first: subscribed to the day's pushes
        QTRY_VERIFY_WITH_TIMEOUT(w->wholeQuoteModel()->subscriptionCount() > 0, kWaitMs);
        w->setGetTradeDateFunc([date]() { return date; });
        w->request();
        QTRY_COMPARE_WITH_TIMEOUT(w->getBrowserStatus(), int(BrowseStatus_TickLoaded), kWaitMs);
        QVERIFY(settled(*w));

        struct Field {
            int quoteId;
            const char* name;
            int date;
        };
        const Field fields[] = {{1, "最新", date},  {0, "今开", date}, {2, "最高", date},
                                {3, "最低", date},  {4, "总额", date}, {5, "总量", date},
                                {6, "最新", before}};
        auto check = [&]() {
            for (const QString& code : kCodes) {
                for (const Field& f : fields) {
                    const double stored = se::IndexData::getSingleValue(
                        keyOf(code), QString::fromUtf8(f.name), f.date);
                    QVERIFY(!isNoValue(stored));
                    QVERIFY2(std::fabs(quoteCell(*w, keyOf(code), f.quoteId) - stored) < 1e-9,
                             qPrintable(code + QLatin1Char(' ') + QString::fromUtf8(f.name)));
                }
            }
        };
        check();
        // the live day goes on: nothing of it reaches the rows
        for (int i = 0; i < 3; ++i) {
            TestMarket::tick(3000);
            w->slotBrowserRefreshTimeOut();
        }
        check();
        w->resetBrowserStatus();
        QCOMPARE(w->getBrowserStatus(), int(BrowseStatus_Live));
    }

    void tickBranchAgainstHostTicks()
    {
        auto w = makeWidget();
        for (const QString& code : kCodes) {
            const HpfBrowserDataPtr row = w->model()->rowByKey(keyOf(code));
            row->initValues(row->quoteValues.size(), row->indicatorValues.size(),
                            row->textColors.size());
        }
        w->doFetchDataForTick(byMarket(), {}, m_today);
        QTRY_COMPARE_WITH_TIMEOUT(w->getBrowserStatus(), int(BrowseStatus_TickLoaded), kWaitMs);
        for (const QString& code : kCodes) {
            const auto ticks = marketBackend()->ticks("SH", code.toStdString());
            QVERIFY(!ticks.empty());
            const quoter::QuoterAllData& last = *ticks.back();
            QCOMPARE(quoteCell(*w, keyOf(code), 1), last.last);
            QCOMPARE(quoteCell(*w, keyOf(code), 4), last.amount);
            QCOMPARE(quoteCell(*w, keyOf(code), 6), last.preClose);
        }
    }

    // Live index results reach the rows through the same slot but leave the status.
    void liveIndexResultsKeepTheStatus()
    {
        auto w = makeWidget();
        std::map<std::string, quoter::QuoterBasePtr> values;
        values[keyOf(kCodes[1]).toStdString()] = snapshot(12.34, 12.0);
        w->ondataIndex(values);
        QCOMPARE(quoteCell(*w, keyOf(kCodes[1]), 1), 12.34);
        QCOMPARE(w->getBrowserStatus(), int(BrowseStatus_Live));
    }

    void recordsSkipped_data()
    {
        QTest::addColumn<bool>("empty"); // an empty list, else a null record before a snapshot
        QTest::newRow("empty record list") << true;
        QTest::newRow("null record") << false;
    }

    void recordsSkipped()
    {
        QFETCH(bool, empty);
        auto w = makeWidget();
        const QString key = keyOf(kCodes[2]);
        const double before = quoteCell(*w, key, 1);
        BrowseFetchData data;
        if (empty)
            data[key.toStdString()] = {};
        else
            data[key.toStdString()] = {snapshot(11.11, 11.0), nullptr};
        data["no-such.SH"] = {snapshot(1.0, 1.0)};
        w->slotFtchTickDataCallBack(data);
        QCOMPARE(quoteCell(*w, key, 1), empty ? before : 11.11);
    }

    void badTradeDates_data()
    {
        QTest::addColumn<int>("shift"); // trading days before today; 0: the getter gives 0
        QTest::addColumn<bool>("negative");
        QTest::newRow("getter gives 0") << 0 << false;
        QTest::newRow("getter gives a negative date") << 0 << true;
        QTest::newRow("before the history") << 400 << false;
    }

    void badTradeDates()
    {
        QFETCH(int, shift);
        QFETCH(bool, negative);
        const int date = shift == 0 ? (negative ? -86400 : 0)
                                    : CStockManager::instance()->getShiftTradeDate(m_today, -shift);
        auto w = makeWidget();
        w->setGetTradeDateFunc([date]() { return date; });
        w->request();
        QVERIFY(settled(*w));
        if (shift == 0) {
            QCOMPARE(w->getBrowserStatus(), int(BrowseStatus_Live));
            return;
        }
        // nothing stored for the date: the quote cells show no value
        QCOMPARE(w->getBrowserStatus(), int(BrowseStatus_TickLoaded));
        for (const QString& code : kCodes)
            QVERIFY(isNoValue(quoteCell(*w, keyOf(code), 1)));
    }

    void widgetDestroyedWhileFetching()
    {
        const int date = CStockManager::instance()->getShiftTradeDate(m_today, -2);
        auto w = makeWidget();
        m_gate->hold(QSet<QString>(kCodes.begin(), kCodes.end()));
        w->setGetTradeDateFunc([date]() { return date; });
        w->request();
        QVERIFY(m_gate->waitForWaiting(1));
        QPointer<CBrowseWidget> gone(w.get());
        w.reset();
        QVERIFY(!gone);
        QVERIFY(m_gate->releaseAndWait());
        QCoreApplication::processEvents(); // nothing posted runs
    }
};

QTEST_MAIN(TstBrowseFetch)
#include "tst_browsefetch.moc"
