// Interval statistic columns of the browse table: the statistic of every type over
// delivered bars, the colours of the change ratio, column settings, a refresh against the
// host's history with visible rows first and header progress, a second refresh, a column
// removed and the widget destroyed while fetches run; and the speed column and the
// ratio/turnover column move.
//
// Fetches are held on their worker threads by a gate on the host's daily bars, so the
// test knows which deliveries can have arrived.
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

#include <cmath>
#include <limits>

using namespace TC;
using namespace browsetest;
using ttmarket::TestMarket;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

QStringList shCodes()
{
    QStringList codes;
    for (int i = 0; i < 24; ++i)
        codes.append(QString::number(600000 + i));
    return codes;
}
const QStringList kSzCodes = {QStringLiteral("000001"), QStringLiteral("000002")};

// One bar: close, high, low, volume, amount.
struct Bar {
    double close, high, low;
    qint64 volume;
    double amount;
};

std::vector<quoter::QuoterBasePtr> bars(const QVector<Bar>& list)
{
    std::vector<quoter::QuoterBasePtr> out;
    for (const Bar& b : list) {
        auto k = std::make_shared<quoter::KLineData>();
        k->close = b.close;
        k->high = b.high;
        k->low = b.low;
        k->volume = b.volume;
        k->amount = b.amount;
        out.push_back(k);
    }
    return out;
}

QString stageSetting(qint64 start, qint64 end, int type, const QString& title,
                     int barSeconds = 86400)
{
    return QStringLiteral("%1,%2,0,%3,%4,%5")
        .arg(start)
        .arg(end)
        .arg(barSeconds)
        .arg(type)
        .arg(title);
}

// (close[last] - close[ref]) / close[ref] over the trading days [from, to] of the host's
// daily bars, the reference being the bar before from.
double hostRatio(const QString& market, const QString& code, int from, int to)
{
    const auto days = marketBackend()->dailyBars(market.toStdString(), code.toStdString());
    int first = -1, last = -1;
    for (int i = 0; i < int(days.size()); ++i) {
        const int day = CStockManager::dateOfMs(days[size_t(i)].time);
        if (day >= from && day <= to) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first < 1)
        return kNaN;
    const double ref = days[size_t(first - 1)].close;
    return (days[size_t(last)].close - ref) / ref;
}

} // namespace

Q_DECLARE_METATYPE(Bar)

class TstBrowseStage : public QObject {
    Q_OBJECT
    CBrowseWidget::InstrumentList m_list;
    std::shared_ptr<DailyBarGate> m_gate;
    int m_today = 0;
    int m_from = 0; // 20 trading days ending today

    // A shown widget with the universe; a few rows are visible.
    std::unique_ptr<CBrowseWidget> makeWidget()
    {
        auto w = std::make_unique<CBrowseWidget>();
        w->resize(700, 160);
        w->show();
        w->setStockList(m_list, true);
        QCoreApplication::processEvents();
        return w;
    }

    // Every instrument's daily bars wait at the gate.
    void holdAll()
    {
        QSet<QString> codes;
        for (const auto& detail : m_list)
            codes.insert(detail->code);
        m_gate->hold(codes);
    }

    // Codes of the rows outside the visible range.
    QSet<QString> hiddenCodes(CBrowseWidget& w)
    {
        QSet<QString> codes;
        const int first = w.table()->getStartRow();
        const int last = w.table()->getEndRow();
        for (int i = 0; i < w.model()->size(); ++i) {
            if (i < first || i > last)
                codes.insert(w.model()->rowAt(i)->code);
        }
        return codes;
    }

    // Adds the change-ratio column over [m_from, m_today] and waits for its refresh.
    int addRatioColumn(CBrowseWidget& w, QSignalSpy* done = nullptr)
    {
        w.addStageColumn(stageSetting(m_from, m_today, 4, QStringLiteral("区间涨幅")));
        if (done)
            (void)QTest::qWaitFor([done] { return done->count() > 0; }, kWaitMs);
        return columnIdOf(w, QStringLiteral("区间涨幅"));
    }

    // Distinct markets of the visible rows plus those of the other rows: the requests of
    // one refresh.
    int requestCount(CBrowseWidget& w)
    {
        QSet<QString> visible, others;
        const int first = w.table()->getStartRow();
        const int last = w.table()->getEndRow();
        for (int i = 0; i < w.model()->size(); ++i)
            (i >= first && i <= last ? visible : others).insert(w.model()->rowAt(i)->market);
        return visible.size() + others.size();
    }

private Q_SLOTS:
    void initTestCase()
    {
        Instruments instruments = stocks(QStringLiteral("SH"), shCodes(), 10.0);
        for (const auto& sz : stocks(QStringLiteral("SZ"), kSzCodes, 20.0))
            instruments.push_back(sz);
        installMarket(instruments);
        m_gate = gateMarket<DailyBarGate>(instruments);
        m_list = detailsOf(instruments);
        m_today = CStockManager::instance()->getLastTradingDay();
        m_from = CStockManager::instance()->getShiftTradeDate(m_today, -19);
    }

    void cleanupTestCase()
    {
        QVERIFY(m_gate->releaseAndWait());
        restoreMarket();
    }

    void cleanup()
    {
        QVERIFY(m_gate->releaseAndWait());
        failBrowseWorkerStartsForTest(0);
    }

    void statistic_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QVector<Bar>>("input");
        QTest::addColumn<double>("expected"); // NaN: the cell keeps its earlier value
        QTest::addColumn<QString>("colour");  // type 4 only

        const QVector<Bar> three = {
            {10, 99, 1, 1000, 5e6}, {11, 12, 9.5, 200, 2e6}, {12, 13, 10.5, 300, 3e6}};
        const double N = kNoValue;
        // clang-format off
        QTest::newRow("0 highest high after the reference") << 0 << three << 13.0 << "";
        QTest::newRow("1 lowest low after the reference")   << 1 << three << 9.5 << "";
        QTest::newRow("2 summed volume")                    << 2 << three << 500.0 << "";
        QTest::newRow("3 change")                           << 3 << three << 2.0 << "";
        QTest::newRow("4 change ratio")                     << 4 << three << 0.2 << "ic_clr_browse_rise";
        QTest::newRow("5 summed amount")                    << 5 << three << 5e6 << "";
        QTest::newRow("6 highest high")                     << 6 << three << 13.0 << "";
        QTest::newRow("other types give 0")                 << 9 << three << 0.0 << "";
        QTest::newRow("one bar: unchanged")                 << 4 << QVector<Bar>{{10, 10, 10, 1, 1}} << kNaN << "";
        QTest::newRow("reference close 0: no change")       << 3 << QVector<Bar>{{0, 0, 0, 0, 0}, {11, 11, 11, 1, 1}} << N << "";
        QTest::newRow("reference close 0: no ratio")        << 4 << QVector<Bar>{{0, 0, 0, 0, 0}, {11, 11, 11, 1, 1}} << N << "ic_clr_browse_equal";
        QTest::newRow("close NaN: no ratio")                << 4 << QVector<Bar>{{10, 10, 10, 1, 1}, {kNaN, 11, 9, 1, 1}} << N << "ic_clr_browse_equal";
        QTest::newRow("NaN high skipped")                   << 0 << QVector<Bar>{{10, 10, 10, 1, 1}, {11, kNaN, 9, 1, 1}, {11, 12, 9, 1, 1}} << 12.0 << "";
        QTest::newRow("ratio 0: equal colour")              << 4 << QVector<Bar>{{10, 10, 10, 1, 1}, {10, 10, 10, 1, 1}} << 0.0 << "ic_clr_browse_equal";
        QTest::newRow("ratio 0.00002: rise colour")         << 4 << QVector<Bar>{{10, 10, 10, 1, 1}, {10.0002, 11, 9, 1, 1}} << 0.00002 << "ic_clr_browse_rise";
        QTest::newRow("falling ratio: fall colour")         << 4 << QVector<Bar>{{10, 10, 10, 1, 1}, {9, 10, 9, 1, 1}} << -0.1 << "ic_clr_browse_fall";
        // clang-format on
    }

    void statistic()
    {
        QFETCH(int, type);
        QFETCH(QVector<Bar>, input);
        QFETCH(double, expected);
        QFETCH(QString, colour);
        auto w = makeWidget();
        QSignalSpy done(w.get(), &CBrowseWidget::sigStageDataDone);
        // an interval before the history: the host delivers nothing, the cells stay empty
        w->addStageColumn(stageSetting(86400, 172800, type, QStringLiteral("stat")));
        const int id = columnIdOf(*w, QStringLiteral("stat"));
        QVERIFY(id >= 0);
        QVERIFY(done.wait(kWaitMs));
        const QString key = keyOf(QStringLiteral("SH"), QStringLiteral("600001"));
        const QString other = keyOf(QStringLiteral("SH"), QStringLiteral("600002"));
        QVERIFY(isNoValue(cell(*w, key, id)));

        BrowseFetchData data;
        data[key.toStdString()] = bars({{4, 4, 4, 1, 1}, {5, 5, 5, 1, 1}});
        w->onFetchStageData(data, id);
        const double before = cell(*w, key, id);
        QVERIFY(!isNoValue(before));
        data[key.toStdString()] = bars(input);
        data["999999.SH"] = bars(input); // no such row
        w->onFetchStageData(data, id);
        const double v = cell(*w, key, id);
        if (std::isnan(expected))
            QCOMPARE(v, before);
        else if (isNoValue(expected))
            QVERIFY2(isNoValue(v), qPrintable(QString::number(v)));
        else
            QVERIFY2(std::fabs(v - expected) < 1e-9, qPrintable(QString::number(v)));
        QVERIFY(isNoValue(cell(*w, other, id)));
        if (!colour.isEmpty()) {
            const QString* key2 = w->model()->rowByKey(key)->getTextColorKey(id);
            QVERIFY(key2);
            QCOMPARE(*key2, colour);
        }
    }

    void columnSetting_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("added");
        QTest::newRow("six fields") << "86400,172800,0,86400,4,t" << true;
        QTest::newRow("five fields") << "86400,172800,0,86400,4" << false;
        QTest::newRow("start not a number") << "x,172800,0,86400,4,t" << false;
        QTest::newRow("type not a number") << "86400,172800,0,86400,r,t" << false;
        QTest::newRow("bar setting past 32 bits in ms") << "86400,172800,0,2147484,4,t" << false;
        QTest::newRow("negative start") << "-5,172800,0,86400,4,t" << false;
        QTest::newRow("start past 64 bits in ms") << "9223372036854776,172800,0,86400,4,t" << false;
    }

    void columnSetting()
    {
        QFETCH(QString, setting);
        QFETCH(bool, added);
        auto w = makeWidget();
        const int before = w->columnList().size();
        w->addStageColumn(setting);
        QCOMPARE(w->columnList().size(), before + (added ? 1 : 0));
        if (added) {
            const ColumnInfo& c = w->columnList().last();
            QCOMPARE(c.columnKind, 2);
            QCOMPARE(c.period, 86400000);
            QCOMPARE(c.isPrivate, 1);
            QCOMPARE(w->table()->getSortColumnID(), c.columnId);
            QCOMPARE(w->table()->getSortOrder(), 1);
        }
    }

    void equalSettingRefreshesTheColumn()
    {
        auto w = makeWidget();
        QSignalSpy done(w.get(), &CBrowseWidget::sigStageDataDone);
        w->addStageColumn(stageSetting(86400, 172800, 4, QStringLiteral("a")));
        const int count = w->columnList().size();
        const int id = columnIdOf(*w, QStringLiteral("a"));
        w->addStageColumn(stageSetting(86400, 172800, 4, QStringLiteral("b")));
        QCOMPARE(w->columnList().size(), count);
        QCOMPARE(columnIdOf(*w, QStringLiteral("b")), id);
        // the first refresh was superseded before anything of it was laid
        QTRY_COMPARE_WITH_TIMEOUT(done.count(), 1, kWaitMs);
        QVERIFY(settled(*w));
        QCOMPARE(done.count(), 1);
        QCOMPARE(headerShown(*w, id), QStringLiteral("b"));
    }

    void refreshFillsFromTheHostHistory()
    {
        auto w = makeWidget();
        QSignalSpy done(w.get(), &CBrowseWidget::sigStageDataDone);
        const int id = addRatioColumn(*w, &done);
        QVERIFY(id >= 0);
        QCOMPARE(headerShown(*w, id), QStringLiteral("区间涨幅"));
        for (const auto& detail : m_list) {
            const double expected = hostRatio(detail->market, detail->code, m_from, m_today);
            QVERIFY(!std::isnan(expected));
            QVERIFY2(std::fabs(cell(*w, keyOf(detail->market, detail->code), id) - expected) < 1e-9,
                     qPrintable(detail->code));
        }
        // sorted descending by the column
        for (int i = 1; i < w->model()->size(); ++i)
            QVERIFY(w->model()->rowAt(i - 1)->getDouble(id) >= w->model()->rowAt(i)->getDouble(id));
    }

    // Progress counts the visible rows: the header is the bare title again once they are
    // laid, while the other rows still wait for their bars.
    void visibleRowsFirstWithProgress()
    {
        auto w = makeWidget();
        const QSet<QString> hidden = hiddenCodes(*w);
        QVERIFY(!hidden.isEmpty());
        QVERIFY(hidden.size() < w->model()->size());
        m_gate->hold(hidden);
        QSignalSpy done(w.get(), &CBrowseWidget::sigStageDataDone);
        const int id = addRatioColumn(*w);
        const ColumnInfo* c = listed(*w, id);
        QVERIFY(c);
        QCOMPARE(c->totalCount, w->model()->size() - hidden.size());
        QCOMPARE(headerShown(*w, id), QStringLiteral("区间涨幅(0.0%)"));
        QTRY_COMPARE_WITH_TIMEOUT(headerShown(*w, id), QStringLiteral("区间涨幅"), kWaitMs);
        QCOMPARE(listed(*w, id)->totalCount, 0);
        QVERIFY(m_gate->waitForWaiting(1));
        int laid = 0;
        for (int i = 0; i < w->model()->size(); ++i) {
            const HpfBrowserDataPtr row = w->model()->rowAt(i);
            const bool empty = isNoValue(row->getDouble(id));
            QCOMPARE(empty, hidden.contains(row->code));
            laid += empty ? 0 : 1;
        }
        QCOMPARE(laid, w->model()->size() - hidden.size());
        QCOMPARE(done.count(), 0);
        m_gate->release();
        QVERIFY(done.wait(kWaitMs));
        for (int i = 0; i < w->model()->size(); ++i)
            QVERIFY(!isNoValue(w->model()->rowAt(i)->getDouble(id)));
        QCOMPARE(headerShown(*w, id), QStringLiteral("区间涨幅"));
    }

    // A second refresh starts its progress from zero and drops what the first delivers late.
    void refreshTwice()
    {
        auto w = makeWidget();
        QSignalSpy done(w.get(), &CBrowseWidget::sigStageDataDone);
        const int id = addRatioColumn(*w, &done);
        QSignalSpy deliveries(w.get(), &CBrowseWidget::sigFetchDatas);

        holdAll();
        w->doUpdateStageData(id); // held at the gate
        QVERIFY(m_gate->waitForWaiting(1));
        const int visible = listed(*w, id)->totalCount;
        QVERIFY(visible > 1);
        w->doUpdateStageData(id);
        const int requests = requestCount(*w);
        QCOMPARE(listed(*w, id)->totalCount, visible);
        QCOMPARE(listed(*w, id)->doneCount, 0);
        m_gate->release();
        QVERIFY(done.wait(kWaitMs));
        QVERIFY(settled(*w));
        // one delivery per market request of the last refresh
        QCOMPARE(done.count(), 2);
        QCOMPARE(deliveries.count(), requests);
        for (const QList<QVariant>& args : deliveries)
            QCOMPARE(args[2].toInt(), id);
        QCOMPARE(headerShown(*w, id), QStringLiteral("区间涨幅"));
    }

    void columnRemovedWhileFetching()
    {
        auto w = makeWidget();
        holdAll();
        QSignalSpy deliveries(w.get(), &CBrowseWidget::sigFetchDatas);
        const int id = addRatioColumn(*w);
        QVERIFY(m_gate->waitForWaiting(1));
        w->removeColumnInfo(id);
        // a column taking the freed place must not receive the old deliveries
        w->addStageColumn(stageSetting(86400, 172800, 3, QStringLiteral("later")));
        const int later = columnIdOf(*w, QStringLiteral("later"));
        m_gate->release();
        QVERIFY(settled(*w));
        QCOMPARE(deliveries.count(), 0);
        for (int i = 0; i < w->model()->size(); ++i)
            QVERIFY(isNoValue(w->model()->rowAt(i)->getDouble(later)));
    }

    void widgetDestroyedWhileFetching()
    {
        auto w = makeWidget();
        holdAll();
        addRatioColumn(*w);
        QVERIFY(m_gate->waitForWaiting(1));
        QPointer<CBrowseWidget> gone(w.get());
        w.reset();
        QVERIFY(!gone);
        m_gate->release(); // the workers finish and post to a closed mailbox
        QVERIFY(fetchWorkersDone());
        QCoreApplication::processEvents(); // nothing posted runs
    }

    // A worker that cannot start counts as answered: the refresh still ends.
    void workerStartFailureCountsAsAnswered()
    {
        auto w = makeWidget();
        QSignalSpy done(w.get(), &CBrowseWidget::sigStageDataDone);
        failBrowseWorkerStartsForTest(100);
        const int id = addRatioColumn(*w);
        QCOMPARE(done.count(), 1);
        QCOMPARE(headerShown(*w, id), QStringLiteral("区间涨幅"));
        QVERIFY(isNoValue(w->model()->rowAt(0)->getDouble(id)));
    }

    void speedColumn()
    {
        auto w = makeWidget();
        ColumnInfo speed;
        speed.formulaName = QStringLiteral("SPEED");
        speed.title = QStringLiteral("3分钟涨速");
        speed.precision = -3;
        QCOMPARE(w->speedColumn(), -1);
        w->addSpeedColumn(speed);
        const int id = w->speedColumn();
        QVERIFY(id >= 0);
        QCOMPARE(headerShown(*w, id), QStringLiteral("3分钟涨速"));
        w->addSpeedColumn(speed); // listed already: the same column
        QCOMPARE(w->speedColumn(), id);

        const QString shown = keyOf(QStringLiteral("SH"), QStringLiteral("600003"));
        QMap<QString, double> values{{shown, 0.0123}, {QStringLiteral("1.XX"), 5.0}};
        w->setSpeedValue(values);
        QCOMPARE(cell(*w, shown, id), 0.0123);
        QCOMPARE(w->model()->rowByKey(shown)->getText(id), QStringLiteral("1.23%"));
        QVERIFY(isNoValue(cell(*w, keyOf(QStringLiteral("SH"), QStringLiteral("600004")), id)));
    }

    void moveWeightAndZhangfu_data()
    {
        QTest::addColumn<QStringList>("titles"); // the column list's titles
        QTest::addColumn<QString>("moved");
        QTest::addColumn<int>("position");
        QTest::newRow("ratio to 2")
            << QStringList{"最新", "换手率", "总量", "涨幅", "今开"} << "涨幅" << 2;
        QTest::newRow("turnover to 6 without ratio")
            << QStringList{"最新", "总量", "今开", "最高", "最低", "换手率"} << "换手率" << 6;
    }

    void moveWeightAndZhangfu()
    {
        QFETCH(QStringList, titles);
        QFETCH(QString, moved);
        QFETCH(int, position);
        auto w = makeWidget();
        QList<ColumnInfo> list;
        for (const QString& title : titles) {
            ColumnInfo c;
            QVERIFY(w->getBrowserColumn(c, EBrowserQuoterColumnID(0)));
            c.title = title;
            c.lineIndex = list.size();
            list.append(c);
        }
        w->setColumnList(list);
        w->moveWeightAndZhangfu();
        const int id = columnIdOf(*w, moved);
        QCOMPARE(w->table()->visualPosition(id), position);
    }
};

QTEST_MAIN(TstBrowseStage)
#include "tst_browsestage.moc"
