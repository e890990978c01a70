// The smaller data features of the browse table: the statistics row, constituent weights,
// net buying and total buy/sell fed by the host, the correlation column, and the interval
// quote refresh with its progress dialog, including a newer refresh overtaking an older
// one and a widget destroyed while its fetches are in flight.
//
// History reads go through a gated backend: the test holds the fetch workers inside the
// data cache, so that what they deliver arrives at a moment the test chooses.
#include "browse/CBrowseWidget.h"
#include "tests/browse/DailyBarGate.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "browse/HpfBrowserData.h"
#include "host/data/ColumnInfo.h"
#include "host/data/Correlation.h"
#include "host/data/IndexManager.h"
#include "host/data/MarketBackend.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/TemporaryDataManager.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/EmbeddedMarket.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/NumberFormat.h"
#include "host/widgets/CBrowserFetchDataProgressDialog.h"

#include <QtTest>

#include <limits>

using namespace TC;
using namespace browsetest;
using ttmarket::TestMarket;

namespace {

constexpr int kLatestColumn = 4;  // the base column "最新"
constexpr int kWeightColumn = 39; // the base column "权重%"

const QStringList kCodes = {"600000", "600004", "600009", "600010"};

std::vector<quoter::KLineData> days(const QString& code)
{
    return ttmarket::EmbeddedMarket::instance()->dailyBars("SH", code.toStdString());
}

bool fetchesDone()
{
    if (!fetchWorkersDone())
        return false;
    QCoreApplication::sendPostedEvents(); // what the last workers posted
    return true;
}

ColumnInfo statColumn(const QString& title, bool average)
{
    ColumnInfo c;
    c.formulaName = title;
    c.title = title;
    c.statEnabled = true;
    c.statAverage = average;
    return c;
}

} // namespace

class TstBrowseStatistics : public QObject {
    Q_OBJECT
    std::shared_ptr<DailyBarGate> m_gate;
    CBrowseWidget::InstrumentList m_list;
    QHash<QString, std::vector<se::RPCSectorStock>> m_members;

    // A shown table of the test rows.
    void fill(CBrowseWidget& w)
    {
        w.setSectorName(QStringLiteral("测试板块"));
        w.setStockList(m_list);
        w.resize(600, 300);
        w.show();
    }

private Q_SLOTS:
    void initTestCase()
    {
        const Instruments instruments = stocks(QStringLiteral("SH"), kCodes, 10.0);
        installMarket(instruments);
        m_members.insert(keyOf(QStringLiteral("600000")),
                         {{"SH", "600004", 60.0f}, {"SH", "600009", 40.0f}});
        m_gate = gateMarket<DailyBarGate>(instruments, m_members);
        m_list = detailsOf(instruments);
        QVERIFY(days(kCodes.first()).size() > 8);
    }

    void cleanupTestCase()
    {
        m_gate->release();
        QVERIFY(fetchesDone());
        restoreMarket();
    }

    void init()
    {
        m_gate->release();
        CTemporaryDataManager::instance()->clear();
    }

    void statisticsRow_data()
    {
        QTest::addColumn<bool>("average");
        QTest::addColumn<QList<double>>("values"); // per row; NaN: no value
        QTest::addColumn<QString>("text");
        const double none = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("sum") << false << QList<double>{1, 2, 3, 4}
                             << XP::formatDoubleNumber(10.0, 2, XP::FMT_BIGVALUE);
        QTest::newRow("average") << true << QList<double>{1, 2, 3, 4}
                                 << XP::formatDoubleNumber(2.5, 2, XP::FMT_BIGVALUE);
        // rows without a value count in n: 6 over 4 rows
        QTest::newRow("average with a row without value")
            << true << QList<double>{1, 2, 3, none} << QStringLiteral("1.50");
        QTest::newRow("overflow is invalid")
            << false << QList<double>{1e308, 1e308, 1, 1} << QStringLiteral("非法值");
    }
    void statisticsRow()
    {
        QFETCH(bool, average);
        QFETCH(QList<double>, values);
        QFETCH(QString, text);
        CBrowseWidget w;
        fill(w);
        ColumnInfo c = statColumn(QStringLiteral("统计列"), average);
        const int id = w.addColumn(c);
        QMap<QString, double> byKey;
        for (int i = 0; i < kCodes.size(); ++i) {
            if (!std::isnan(values[i]))
                byKey.insert(keyOf(kCodes[i]), values[i]);
        }
        w.setColumnValue(id, byKey);
        w.slotCalcStatData();
        QCOMPARE(w.model()->statText(id), text);
    }

    // The ratio column (id 10) averages as a percentage; a hidden table is not recomputed.
    void statisticsRowOfRatioAndHiddenTable()
    {
        CBrowseWidget w;
        fill(w);
        w.slotCalcStatData();
        double sum = 0;
        for (const QString& code : kCodes)
            sum += isNoValue(cell(w, keyOf(code), 10)) ? 0.0 : cell(w, keyOf(code), 10);
        QCOMPARE(w.model()->statText(10),
                 XP::formatDoubleNumber(sum / kCodes.size(), 2, XP::FMT_PERCENT, true,
                                        QStringLiteral("非法值")));
        ColumnInfo c = statColumn(QStringLiteral("统计列"), false);
        const int id = w.addColumn(c);
        w.setColumnValue(id, {{keyOf(kCodes[0]), 5.0}});
        w.hide();
        const QString before = w.model()->statText(id);
        w.slotCalcStatData();
        QCOMPARE(w.model()->statText(id), before);
    }

    void weights_data()
    {
        QTest::addColumn<QString>("sector");
        QTest::addColumn<bool>("constituents");
        QTest::addColumn<QString>("code");
        QTest::addColumn<float>("weight");
        QTest::newRow("catalogue index, constituent")
            << keyOf("600000") << true << "600004" << 60.0f;
        QTest::newRow("catalogue index, non-constituent")
            << keyOf("600000") << true << "600010" << 0.0f;
        QTest::newRow("custom index, constituent") << "CI001" << true << "600009" << 12.5f;
        QTest::newRow("weight column off") << keyOf("600000") << false << "600004" << 0.0f;
        QTest::newRow("no sector code") << "" << true << "600004" << 0.0f;
    }
    void weights()
    {
        QFETCH(QString, sector);
        QFETCH(bool, constituents);
        QFETCH(QString, code);
        QFETCH(float, weight);
        CCustomIndexDetail index;
        index.code = QStringLiteral("CI001");
        index.name = QStringLiteral("测试指数");
        index.stocks = {{"SH", "600009", 12.5}, {"SH", "600010", 87.5}};
        QVERIFY(CIndexManager::instance()->addIndex(index));
        CBrowseWidget w;
        w.setIndexConstituentsList(constituents);
        w.setSectorCode(sector);
        QCOMPARE(w.getStkWeight(keyOf(code)), weight);
        w.setStockList(m_list);
        const double shown = cell(w, keyOf(code), kWeightColumn);
        if (weight > 0)
            QCOMPARE(shown, double(weight));
        else
            QVERIFY(isNoValue(shown)); // a zero weight shows as no value
    }

    // The weights follow a change of the sector code.
    void weightsFollowTheSector()
    {
        CCustomIndexDetail index;
        index.code = QStringLiteral("CI001");
        index.name = QStringLiteral("测试指数");
        index.stocks = {{"SH", "600004", 3.0}};
        QVERIFY(CIndexManager::instance()->addIndex(index));
        CBrowseWidget w;
        w.setIndexConstituentsList(true);
        w.setSectorCode(keyOf("600000"));
        QCOMPARE(w.getStkWeight(keyOf("600004")), 60.0f);
        w.setSectorCode(QStringLiteral("CI001"));
        QCOMPARE(w.getStkWeight(keyOf("600004")), 3.0f);
        QCOMPARE(w.getStkWeight(keyOf("600009")), 0.0f);
    }

    void netBuyingFollowsTheHost()
    {
        auto* temporary = CTemporaryDataManager::instance();
        CBrowseWidget w(nullptr, false, BrowseType_NetBuying);
        fill(w);
        const int net = w.netBuyColumn();
        QVERIFY(net >= 0 && w.totalBuyColumn() >= 0 && w.totalSellColumn() >= 0);
        w.reSort(net, 1); // descending
        temporary->applyTrades(QStringLiteral("SH"), QStringLiteral("600009"), 9000.0, 1000.0);
        temporary->applyTrades(QStringLiteral("SH"), QStringLiteral("600004"), 100.0, 400.0);
        temporary->notifyBatchDone();
        QCOMPARE(cell(w, keyOf("600009"), net), 8000.0);
        QCOMPARE(cell(w, keyOf("600004"), net), -300.0);
        QCOMPARE(cell(w, keyOf("600009"), w.totalBuyColumn()), 9000.0);
        QCOMPARE(cell(w, keyOf("600009"), w.totalSellColumn()), 1000.0);
        QCOMPARE(w.model()->rowAt(0)->code, QStringLiteral("600009")); // sorted again
        QCOMPARE(w.model()->rowAt(kCodes.size() - 1)->code, QStringLiteral("600004"));
    }

    void netBuyingWithoutColumnChangesNothing()
    {
        auto* temporary = CTemporaryDataManager::instance();
        CBrowseWidget feed(nullptr, false, BrowseType_NetBuying); // keeps the feed on
        CBrowseWidget w;
        fill(w);
        QCOMPARE(w.netBuyColumn(), -1);
        const QString first = w.model()->rowAt(0)->code;
        temporary->applyTrades(QStringLiteral("SH"), QStringLiteral("600010"), 500.0, 0.0);
        w.slotSendNetBuyingChange();
        w.slotSendTotalBuySellChange();
        QCOMPARE(w.model()->rowAt(0)->code, first);
    }

    void correlationColumn()
    {
        CBrowseWidget w;
        fill(w);
        QCOMPARE(w.getCorelationColumnID(), -1);
        w.addCorelationColumn();
        const int id = w.getCorelationColumnID();
        QVERIFY(id >= 0);
        w.addCorelationColumn(); // an existing column is reused
        QCOMPARE(w.getCorelationColumnID(), id);
        QCOMPARE(w.table()->headerText(id), QStringLiteral("相关性"));
        QStringList keys;
        for (const QString& code : kCodes)
            keys.append(keyOf(code));
        keys.append(QStringLiteral("999999.SH")); // no history: no value
        QMap<QString, double> values = computeCorrelation(keyOf("600000"), keys, 20);
        w.setCorelationValue(values);
        QVERIFY(std::fabs(cell(w, keyOf("600000"), id) - 1.0) < 1e-9);
        for (const QString& code : kCodes.mid(1)) {
            const double v = cell(w, keyOf(code), id);
            QVERIFY2(v >= -1.0 && v <= 1.0, qPrintable(code));
        }
    }

    // A universe change re-reads the industry names instead of the cached ones.
    void industryNamesFollowTheHost()
    {
        auto universe = [](const QString& industry) {
            std::vector<ttservice::CInstrumentDetailPtr> list;
            for (const QString& code : kCodes) {
                list.push_back(TestMarket::stock(QStringLiteral("SH"), code, code, 10.0));
                list.back()->industry = industry;
            }
            return list;
        };
        auto* stocks = CStockManager::instance();
        stocks->resetUniverseForTest(universe(QStringLiteral("银行")));
        CBrowseWidget w;
        CBrowseWidget::InstrumentList list;
        for (const QString& code : kCodes)
            list.append(stocks->getInstrumentDetail(QStringLiteral("SH"), code));
        w.setStockList(list);
        QCOMPARE(w.model()->rowAt(0)->industry, QStringLiteral("银行"));
        stocks->resetUniverseForTest(universe(QStringLiteral("电子"))); // sigReInitIndustry
        for (int i = 0; i < w.model()->size(); ++i)
            QCOMPARE(w.model()->rowAt(i)->industry, QStringLiteral("电子"));
        std::vector<ttservice::CInstrumentDetailPtr> original(m_list.begin(), m_list.end());
        stocks->resetUniverseForTest(original, m_members);
    }

    void intervalRefreshLaysTheInterval_data()
    {
        QTest::addColumn<long long>("period");
        QTest::newRow("daily bars") << 86400000LL;
        QTest::newRow("recorded snapshots") << 0LL;
    }
    void intervalRefreshLaysTheInterval()
    {
        QFETCH(long long, period);
        CBrowseWidget w;
        fill(w);
        const auto bars = days(kCodes.first());
        const size_t n = bars.size();
        const long long start = bars[n - 6].time / 1000;
        const long long end = bars[n - 3].time / 1000;
        w.requestForStatistic(start, end, 0, period);
        QCOMPARE(w.getBrowserStatus(), int(BrowseStatus_Statistic));
        CBrowserFetchDataProgressDialog* dialog = w.statisticProgressDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->maximum(), w.statisticRequestCount());
        QTRY_COMPARE_WITH_TIMEOUT(w.statisticAnswerCount(), w.statisticRequestCount(), kWaitMs);
        QVERIFY(!dialog->isVisible()); // closed by itself after the last answer
        for (const QString& code : kCodes)
            QCOMPARE(cell(w, keyOf(code), kLatestColumn), days(code)[n - 3].close);
    }

    // A second refresh while the first runs: only the newer one's answers are laid, and
    // the dialog closes after its last answer.
    void intervalRefreshOvertaken()
    {
        CBrowseWidget w;
        fill(w);
        const size_t n = days(kCodes.first()).size();
        const long long start = days(kCodes.first())[n - 8].time / 1000;
        m_gate->hold(QSet<QString>(kCodes.begin(), kCodes.end()));
        w.requestForStatistic(start, days(kCodes.first())[n - 6].time / 1000, 0, 86400000);
        const int first = w.statisticRequestCount();
        QVERIFY(m_gate->waitForWaiting(first));
        w.requestForStatistic(start, days(kCodes.first())[n - 2].time / 1000, 0, 86400000);
        const int second = w.statisticRequestCount();
        QVERIFY(m_gate->waitForWaiting(first + second));
        QVERIFY(w.statisticProgressDialog()->isVisible());
        const quint64 laid = CBrowseWidget::cacheDeliveriesLaid();
        m_gate->release();
        QVERIFY(fetchesDone());
        QCOMPARE(CBrowseWidget::cacheDeliveriesLaid() - laid, quint64(second));
        QCOMPARE(w.statisticAnswerCount(), second);
        QVERIFY(!w.statisticProgressDialog()->isVisible());
        for (const QString& code : kCodes)
            QCOMPARE(cell(w, keyOf(code), kLatestColumn), days(code)[n - 2].close);
    }

    void intervalRefreshCancelled()
    {
        CBrowseWidget w;
        fill(w);
        const double before = cell(w, keyOf(kCodes.first()), kLatestColumn);
        const size_t n = days(kCodes.first()).size();
        m_gate->hold(QSet<QString>(kCodes.begin(), kCodes.end()));
        w.requestForStatistic(days(kCodes.first())[n - 6].time / 1000,
                              days(kCodes.first())[n - 4].time / 1000, 0, 86400000);
        QVERIFY(m_gate->waitForWaiting(w.statisticRequestCount()));
        w.statisticProgressDialog()->cancel(); // the "取消" button
        QVERIFY(!w.statisticProgressDialog()->isVisible());
        const quint64 laid = CBrowseWidget::cacheDeliveriesLaid();
        m_gate->release();
        QVERIFY(fetchesDone());
        QCOMPARE(CBrowseWidget::cacheDeliveriesLaid(), laid); // late answers change nothing
        QCOMPARE(w.statisticAnswerCount(), 0);
        QCOMPARE(cell(w, keyOf(kCodes.first()), kLatestColumn), before);
    }

    void intervalRefreshWithoutRequest_data()
    {
        QTest::addColumn<bool>("rows");
        QTest::addColumn<int>("endShift"); // end relative to start, in days
        QTest::newRow("empty table") << false << 3;
        QTest::newRow("end before start") << true << -3;
    }
    void intervalRefreshWithoutRequest()
    {
        QFETCH(bool, rows);
        QFETCH(int, endShift);
        CBrowseWidget w;
        if (rows)
            fill(w);
        const long long start = days(kCodes.first()).back().time / 1000 - 10 * 86400;
        w.requestForStatistic(start, start + endShift * 86400, 0, 86400000);
        QCOMPARE(w.externalFetchCount(), 0);
        QCOMPARE(w.statisticRequestCount(), 0);
        QVERIFY(!w.statisticProgressDialog() || !w.statisticProgressDialog()->isVisible());
    }

    // Nothing of a fetch in flight reaches a destroyed widget (run under ASan).
    void destroyedWhileFetching()
    {
        auto* w = new CBrowseWidget;
        fill(*w);
        const size_t n = days(kCodes.first()).size();
        m_gate->hold(QSet<QString>(kCodes.begin(), kCodes.end()));
        w->requestForStatistic(days(kCodes.first())[n - 6].time / 1000,
                               days(kCodes.first())[n - 4].time / 1000, 0, 86400000);
        QVERIFY(m_gate->waitForWaiting(w->statisticRequestCount()));
        const quint64 laid = CBrowseWidget::cacheDeliveriesLaid();
        delete w;
        m_gate->release();
        QVERIFY(fetchesDone());
        QCOMPARE(CBrowseWidget::cacheDeliveriesLaid(), laid);
    }
};

QTEST_MAIN(TstBrowseStatistics)
#include "tst_browsestatistics.moc"
