// Cache fetches of the formula manager over the embedded market's history: bar periods,
// interval boundaries and bad requests.
#include "host/data/FormulaManager.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedMarket.h"
#include "host/market/TestMarket.h"

#include <QDateTime>
#include <QtTest/QtTest>
#include <cmath>

using ttmarket::EmbeddedMarket;
using ttmarket::TestMarket;
using Records = std::map<std::string, std::vector<quoter::QuoterBasePtr>>;

namespace {

const std::string kKey = "600000.SH";

int today()
{
    return TC::CStockManager::dateFromYmd(2024, 6, 7);
}

int tradingDaysBefore(int n)
{
    return TC::CStockManager::instance()->getShiftTradeDate(today(), -n);
}

se::RPCFetchCacheDataParam barParam(int64_t period, int64_t start, int64_t end)
{
    se::RPCFetchCacheDataParam p;
    p.market = "SH";
    p.codes = {"600000"};
    p.quoterType = se::kQuoterTypeBar;
    p.period = period;
    p.startTime = start;
    p.endTime = end;
    return p;
}

Records fetch(const se::RPCFetchCacheDataParam& p)
{
    Records got;
    int calls = 0;
    TC::CFormulaManager::instance()->fetchCacheData(p, [&](Records& data) {
        ++calls;
        got = data;
    });
    if (calls != 1)
        qWarning("fetchCacheData called back %d times", calls);
    return got;
}

std::vector<quoter::KLineData> barsOf(const Records& r)
{
    std::vector<quoter::KLineData> out;
    auto it = r.find(kKey);
    if (it == r.end())
        return out;
    for (const quoter::QuoterBasePtr& rec : it->second) {
        if (const quoter::KLineData* b = quoter::asKLine(rec.get()))
            out.push_back(*b);
    }
    return out;
}

// Checks that g is bars[from, from + n) merged.
void verifyGroup(const quoter::KLineData& g, const std::vector<quoter::KLineData>& bars,
                 size_t from, size_t n)
{
    int64_t volume = 0;
    double amount = 0, high = bars[from].high, low = bars[from].low;
    for (size_t i = from; i < from + n; ++i) {
        volume += bars[i].volume;
        amount += bars[i].amount;
        high = std::max(high, bars[i].high);
        low = std::min(low, bars[i].low);
    }
    QCOMPARE(g.open, bars[from].open);
    QCOMPARE(g.preClose, bars[from].preClose);
    QCOMPARE(g.close, bars[from + n - 1].close);
    QCOMPARE(g.time, bars[from + n - 1].time);
    QCOMPARE(g.high, high);
    QCOMPARE(g.low, low);
    QCOMPARE(g.volume, volume);
    QVERIFY(std::fabs(g.amount - amount) <= 1e-6 * std::max(1.0, amount));
}

} // namespace

class TestCacheFetch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        TestMarket::install({TestMarket::stock(QStringLiteral("SH"), QStringLiteral("600000"),
                                               QStringLiteral("浦发银行"), 10.0)},
                            3);
    }

    void cleanupTestCase() { TestMarket::restore(); }

    void minutePeriods_data()
    {
        QTest::addColumn<int>("minutes");
        for (int n : {1, 5, 15, 30, 60})
            QTest::addRow("%d min", n) << n;
    }

    void minutePeriods()
    {
        QFETCH(int, minutes);
        const int day = tradingDaysBefore(2);
        const std::vector<quoter::KLineData> ones =
            EmbeddedMarket::instance()->minuteBarsOfDay("SH", "600000", day);
        QCOMPARE(ones.size(), size_t(240));
        // the whole day, without the reference bar of the day before
        se::RPCFetchCacheDataParam p =
            barParam(minutes * se::kPeriodMinute, int64_t(day) * 1000, int64_t(day + 86399) * 1000);
        p.lineSetting = 1;
        const std::vector<quoter::KLineData> bars = barsOf(fetch(p));
        QCOMPARE(bars.size(), size_t(240 / minutes));
        for (size_t g = 0; g < bars.size(); ++g)
            verifyGroup(bars[g], ones, g * minutes, minutes);
    }

    void weeksAndMonths_data()
    {
        QTest::addColumn<qint64>("period");
        QTest::addRow("week") << qint64(se::kPeriodWeek);
        QTest::addRow("month") << qint64(se::kPeriodMonth);
    }

    void weeksAndMonths()
    {
        QFETCH(qint64, period);
        const std::vector<quoter::KLineData> days =
            EmbeddedMarket::instance()->dailyBars("SH", "600000");
        se::RPCFetchCacheDataParam p =
            barParam(period, quoter::TimeSeq::TIME_START, quoter::TimeSeq::TIME_LASTED);
        const std::vector<quoter::KLineData> groups = barsOf(fetch(p));
        QVERIFY(groups.size() >= (period == se::kPeriodWeek ? 50u : 11u));
        auto groupOf = [&](int64_t ms) {
            const QDate d = QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, 8 * 3600).date();
            return period == se::kPeriodWeek ? d.addDays(1 - d.dayOfWeek()).toJulianDay()
                                             : qint64(d.year() * 12 + d.month());
        };
        size_t from = 0;
        for (const quoter::KLineData& g : groups) {
            size_t n = 0;
            while (from + n < days.size()
                   && groupOf(days[from + n].time) == groupOf(days[from].time))
                ++n;
            QVERIFY(n >= 1);
            verifyGroup(g, days, from, n);
            from += n;
        }
        QCOMPARE(from, days.size());
    }

    void intervalBoundaries()
    {
        const int d1 = tradingDaysBefore(2), d2 = tradingDaysBefore(1);
        const auto m1 = EmbeddedMarket::instance()->minuteBarsOfDay("SH", "600000", d1);
        const auto m2 = EmbeddedMarket::instance()->minuteBarsOfDay("SH", "600000", d2);
        // the first hour of d2: its bars and, before them, the last bar of d1 for reference
        se::RPCFetchCacheDataParam p =
            barParam(5 * se::kPeriodMinute, m2.front().time, m2[59].time);
        std::vector<quoter::KLineData> bars = barsOf(fetch(p));
        QCOMPARE(bars.size(), size_t(13));
        verifyGroup(bars.front(), m1, 235, 5);
        for (size_t g = 1; g < bars.size(); ++g)
            verifyGroup(bars[g], m2, (g - 1) * 5, 5);
        // bounds are inclusive: an end one ms short of a bar's end leaves it out
        p.endTime = m2[59].time - 1;
        QCOMPARE(barsOf(fetch(p)).size(), size_t(12));
        // without the reference bar
        p.endTime = m2[59].time;
        p.lineSetting = 1;
        QCOMPARE(barsOf(fetch(p)).size(), size_t(12));
        // across two days: every bar of the afternoon of d1 and the morning of d2
        p = barParam(60 * se::kPeriodMinute, m1[120].time, m2[119].time);
        p.lineSetting = 1;
        bars = barsOf(fetch(p));
        QCOMPARE(bars.size(), size_t(4));
        QCOMPARE(bars[0].time, m1[179].time);
        QCOMPARE(bars[1].time, m1[239].time);
        QCOMPARE(bars[2].time, m2[59].time);
        QCOMPARE(bars[3].time, m2[119].time);
        // daily bars: the latest five and the one before
        const auto days = EmbeddedMarket::instance()->dailyBars("SH", "600000");
        p = barParam(se::kPeriodDay, days[days.size() - 5].time, quoter::TimeSeq::TIME_LASTED);
        bars = barsOf(fetch(p));
        QCOMPARE(bars.size(), size_t(6));
        QCOMPARE(bars.front().time, days[days.size() - 6].time);
        QCOMPARE(bars.back().close, days.back().close);
        // a count keeps the most recent bars of the interval
        p.lineSetting = 1;
        p.count = 2;
        p.endTime = days[days.size() - 2].time;
        bars = barsOf(fetch(p));
        QCOMPARE(bars.size(), size_t(2));
        QCOMPARE(bars.back().time, days[days.size() - 2].time);
    }

    void badRequests_data()
    {
        QTest::addColumn<qint64>("period");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("end");
        QTest::addColumn<QString>("code");
        const qint64 day = se::kPeriodDay, minute = se::kPeriodMinute;
        const qint64 t1 = qint64(tradingDaysBefore(1)) * 1000;
        const qint64 future = qint64(TC::CStockManager::dateFromYmd(2024, 7, 1)) * 1000;
        const qint64 longAgo = qint64(TC::CStockManager::dateFromYmd(2020, 1, 1)) * 1000;
        QTest::addRow("period 0") << qint64(0) << t1 << t1 + day << "600000";
        QTest::addRow("negative period") << -minute << t1 << t1 + day << "600000";
        QTest::addRow("90 s") << qint64(90000) << t1 << t1 + day << "600000";
        QTest::addRow("end before start") << day << t1 << t1 - day << "600000";
        QTest::addRow("minutes, end before start") << minute << t1 + day << t1 << "600000";
        QTest::addRow("days in the future") << day << future << future + 5 * day << "600000";
        QTest::addRow("minutes in the future") << minute << future << future + day << "600000";
        QTest::addRow("days before the history")
            << day << longAgo << longAgo + 30 * day << "600000";
        QTest::addRow("minutes before the history")
            << 5 * minute << longAgo << longAgo + day << "600000";
        QTest::addRow("minutes before the minute history")
            << minute << t1 - 30 * day << t1 - 20 * day << "600000";
        QTest::addRow("minutes far in the future")
            << minute << qint64(9000000000000000LL) << qint64(9000000000000001LL) << "600000";
        QTest::addRow("a million days")
            << day * 1000000 << qint64(quoter::TimeSeq::TIME_START) << t1 - 400 * day << "600000";
        QTest::addRow("unknown instrument") << day << qint64(quoter::TimeSeq::TIME_START)
                                            << qint64(quoter::TimeSeq::TIME_LASTED) << "999999";
    }

    void badRequests()
    {
        QFETCH(qint64, period);
        QFETCH(qint64, start);
        QFETCH(qint64, end);
        QFETCH(QString, code);
        se::RPCFetchCacheDataParam p = barParam(period, start, end);
        p.codes = {code.toStdString()};
        QVERIFY(fetch(p).empty());
    }

    void badTickDates_data()
    {
        QTest::addColumn<int>("date");
        QTest::addColumn<QString>("code");
        QTest::addRow("date 0") << 0 << "600000";
        QTest::addRow("negative date") << -86400 << "600000";
        QTest::addRow("next trading day") << tradingDaysBefore(-1) << "600000";
        QTest::addRow("a Saturday") << TC::CStockManager::dateFromYmd(2024, 6, 8) << "600000";
        QTest::addRow("not in the date list") << tradingDaysBefore(30) << "600000";
        QTest::addRow("unknown instrument") << tradingDaysBefore(1) << "999999";
        QTest::addRow("unknown instrument today") << today() << "999999";
    }

    void badTickDates()
    {
        QFETCH(int, date);
        QFETCH(QString, code);
        // the calendar of the last ten trading days
        const QVector<int> list =
            TC::CStockManager::instance()->getTradeDateList(tradingDaysBefore(10), today());
        se::RPCFetchCacheDataParam p;
        p.market = "SH";
        p.codes = {code.toStdString()};
        Records got;
        int calls = 0;
        TC::CFormulaManager::instance()->fetchTickData(
            p, date, std::vector<int>(list.begin(), list.end()), [&](Records& data) {
                ++calls;
                got = data;
            });
        QCOMPARE(calls, 1);
        QVERIFY(got.empty());
    }
};

QTEST_GUILESS_MAIN(TestCacheFetch)
#include "tst_cachefetch.moc"
