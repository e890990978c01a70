// The embedded market's history: daily bars, minute bars of the last days and how both
// agree with the live day.
#include "host/data/StockManager.h"
#include "host/market/EmbeddedMarket.h"
#include "host/market/TestMarket.h"

#include <QtTest/QtTest>
#include <cmath>

using ttmarket::EmbeddedMarket;
using ttmarket::TestMarket;

namespace {

int today()
{
    return TC::CStockManager::dateFromYmd(2024, 6, 7);
}

int tradingDaysBefore(int n)
{
    return TC::CStockManager::instance()->getShiftTradeDate(today(), -n);
}

void installAt10(uint64_t seed)
{
    TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
    TestMarket::install({TestMarket::stock(QStringLiteral("SH"), QStringLiteral("600000"),
                                           QStringLiteral("浦发银行"), 10.0),
                         TestMarket::stock(QStringLiteral("SZ"), QStringLiteral("000001"),
                                           QStringLiteral("平安银行"), 12.0)},
                        seed);
}

// The bars merged into one: first open and preClose, extremes, last close, sums.
quoter::KLineData total(const std::vector<quoter::KLineData>& bars)
{
    quoter::KLineData t = bars.front();
    t.volume = 0;
    t.amount = 0;
    for (const quoter::KLineData& b : bars) {
        t.high = std::max(t.high, b.high);
        t.low = std::min(t.low, b.low);
        t.close = b.close;
        t.volume += b.volume;
        t.amount += b.amount;
    }
    return t;
}

bool near(double a, double b)
{
    return std::fabs(a - b) <= 1e-6 * std::max(1.0, std::fabs(b));
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { installAt10(7); }

    void cleanupTestCase() { TestMarket::restore(); }

    void sameSeedSameBars()
    {
        EmbeddedMarket* m = EmbeddedMarket::instance();
        const int day = tradingDaysBefore(2);
        const auto days = m->dailyBars("SH", "600000");
        const auto minutes = m->minuteBarsOfDay("SH", "600000", day);
        QVERIFY(days.size() > 250);
        QVERIFY(!minutes.empty());

        installAt10(7);
        const auto days2 = m->dailyBars("SH", "600000");
        const auto minutes2 = m->minuteBarsOfDay("SH", "600000", day);
        QCOMPARE(days2.size(), days.size());
        QCOMPARE(minutes2.size(), minutes.size());
        for (size_t i = 0; i < days.size(); ++i) {
            QCOMPARE(days2[i].time, days[i].time);
            QCOMPARE(days2[i].close, days[i].close);
            QCOMPARE(days2[i].volume, days[i].volume);
        }
        for (size_t i = 0; i < minutes.size(); ++i) {
            QCOMPARE(minutes2[i].time, minutes[i].time);
            QCOMPARE(minutes2[i].close, minutes[i].close);
            QCOMPARE(minutes2[i].volume, minutes[i].volume);
        }

        installAt10(8);
        const auto other = m->minuteBarsOfDay("SH", "600000", day);
        QCOMPARE(other.size(), minutes.size());
        int differ = 0;
        for (size_t i = 0; i < other.size(); ++i)
            differ += other[i].close != minutes[i].close ? 1 : 0;
        QVERIFY(differ > 0);
    }

    void dailyCloseIsNextPreClose()
    {
        for (const char* code : {"600000", "000001"}) {
            const std::string mk = code[0] == '6' ? "SH" : "SZ";
            const auto days = EmbeddedMarket::instance()->dailyBars(mk, code);
            QCOMPARE(days.size(), size_t(EmbeddedMarket::kHistoryDays + 1));
            for (size_t i = 0; i < days.size(); ++i) {
                QVERIFY(TC::CStockManager::instance()->isTradeDate(int(days[i].time / 1000)));
                QVERIFY(days[i].high >= std::max(days[i].open, days[i].close) - 1e-9);
                QVERIFY(days[i].low <= std::min(days[i].open, days[i].close) + 1e-9);
                QVERIFY(days[i].low > 0);
                if (i == 0)
                    continue;
                QVERIFY(days[i].time > days[i - 1].time);
                QCOMPARE(days[i].preClose, days[i - 1].close);
                // within the daily limit, give or take a tick
                QVERIFY(std::fabs(days[i].close / days[i - 1].close - 1)
                        <= 0.1 + 0.01 / days[i - 1].close);
            }
            // the last bar is today's; its previous close is the live snapshot's
            const quoter::QuoterAllDataPtr q =
                TestMarket::lastQuote(QString::fromStdString(mk), QString::fromLatin1(code));
            QCOMPARE(TC::CStockManager::dateOfMs(days.back().time), today());
            QCOMPARE(days[days.size() - 2].close, q->preClose);
            QCOMPARE(days.back().close, q->last);
        }
        QVERIFY(EmbeddedMarket::instance()->dailyBars("SH", "999999").empty());
    }

    void minutesAggregateToTheDay_data()
    {
        QTest::addColumn<QString>("market");
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("back");
        for (int back = 1; back <= EmbeddedMarket::kMinuteHistoryDays; ++back) {
            QTest::addRow("SH %d", back) << "SH"
                                         << "600000" << back;
            QTest::addRow("SZ %d", back) << "SZ"
                                         << "000001" << back;
        }
    }

    void minutesAggregateToTheDay()
    {
        QFETCH(QString, market);
        QFETCH(QString, code);
        QFETCH(int, back);
        const std::string mk = market.toStdString(), c = code.toStdString();
        const int day = tradingDaysBefore(back);
        const auto minutes = EmbeddedMarket::instance()->minuteBarsOfDay(mk, c, day);
        // four trading hours
        QCOMPARE(minutes.size(), size_t(240));
        for (size_t i = 0; i < minutes.size(); ++i) {
            QCOMPARE(TC::CStockManager::dateOfMs(minutes[i].time), day);
            QVERIFY(minutes[i].low <= std::min(minutes[i].open, minutes[i].close));
            QVERIFY(minutes[i].high >= std::max(minutes[i].open, minutes[i].close));
            QVERIFY(minutes[i].volume >= 0);
            if (i > 0) {
                QVERIFY(minutes[i].time > minutes[i - 1].time);
                QCOMPARE(minutes[i].preClose, minutes[i - 1].close);
            }
        }
        quoter::KLineData dayBar;
        for (const quoter::KLineData& b : EmbeddedMarket::instance()->dailyBars(mk, c)) {
            if (TC::CStockManager::dateOfMs(b.time) == day)
                dayBar = b;
        }
        QVERIFY(dayBar.time != 0);
        const quoter::KLineData t = total(minutes);
        QCOMPARE(t.open, dayBar.open);
        QCOMPARE(t.high, dayBar.high);
        QCOMPARE(t.low, dayBar.low);
        QCOMPARE(t.close, dayBar.close);
        QCOMPARE(t.preClose, dayBar.preClose);
        QCOMPARE(t.volume, dayBar.volume);
        QVERIFY(near(t.amount, dayBar.amount));
    }

    void todayMinutesAgreeWithTheSnapshot()
    {
        // half an hour of trading
        for (int i = 0; i < 120; ++i)
            TestMarket::tick(15000);
        for (const char* code : {"600000", "000001"}) {
            const std::string mk = code[0] == '6' ? "SH" : "SZ";
            const auto minutes = EmbeddedMarket::instance()->minuteBarsOfDay(mk, code, today());
            QVERIFY2(minutes.size() >= 5, std::to_string(minutes.size()).c_str());
            QCOMPARE(minutes.size(), EmbeddedMarket::instance()->minuteBars(mk, code).size());
            const quoter::QuoterAllDataPtr q =
                TestMarket::lastQuote(QString::fromStdString(mk), QString::fromLatin1(code));
            for (size_t i = 0; i < minutes.size(); ++i) {
                QCOMPARE(minutes[i].time % 60000, int64_t(0));
                if (i > 0)
                    QVERIFY(minutes[i].time > minutes[i - 1].time);
            }
            const quoter::KLineData t = total(minutes);
            QCOMPARE(t.open, q->open);
            QCOMPARE(t.high, q->high);
            QCOMPARE(t.low, q->low);
            QCOMPARE(t.close, q->last);
            QCOMPARE(t.preClose, q->preClose);
            QCOMPARE(t.volume, q->volume);
            QVERIFY(near(t.amount, q->amount));
        }
    }

    void noMinutesOutsideTheWindow_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("date");
        QTest::addRow("before the minute history")
            << "600000" << tradingDaysBefore(EmbeddedMarket::kMinuteHistoryDays + 1);
        QTest::addRow("a year back") << "600000" << tradingDaysBefore(240);
        QTest::addRow("next trading day") << "600000" << tradingDaysBefore(-1);
        QTest::addRow("a Saturday") << "600000" << TC::CStockManager::dateFromYmd(2024, 6, 8);
        QTest::addRow("date 0") << "600000" << 0;
        QTest::addRow("negative date") << "600000" << -86400;
        QTest::addRow("unknown instrument") << "999999" << tradingDaysBefore(1);
    }

    void noMinutesOutsideTheWindow()
    {
        QFETCH(QString, code);
        QFETCH(int, date);
        QVERIFY(
            EmbeddedMarket::instance()->minuteBarsOfDay("SH", code.toStdString(), date).empty());
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
