// Trade calendar: holidays, shifts, the night roll of futures and session times.
#include "EmbeddedCatalogue.h"
#include "host/data/HostClock.h"
#include "host/data/StockManager.h"
#include "host/data/TradeCalendar.h"

#include <QtTest>

using namespace TC;

namespace {

int date(int ymd)
{
    return CStockManager::dateFromYmd(ymd / 10000, ymd / 100 % 100, ymd % 100);
}

// Milliseconds of a Beijing wall time.
qint64 msAt(int ymd, int hour, int minute)
{
    return (qint64(date(ymd)) + hour * 3600 + minute * 60) * 1000;
}

} // namespace

class TestTradeCalendar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        const QString error = loadEmbeddedCatalogue();
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void cleanup() { HostClock::useWallClock(); }

    void dateUnit()
    {
        // midnight in Beijing as seconds since the epoch
        QCOMPARE(date(20250106), 1736092800);
        QCOMPARE(CStockManager::ymdFromDate(date(20250106)), 20250106);
        QCOMPARE(CStockManager::dateFromYmd(2025, 2, 30), 0);
        QCOMPARE(CStockManager::dateOfMs(msAt(20250106, 23, 59)), date(20250106));
        QCOMPARE(CStockManager::dateOfMs(msAt(20250106, 0, 0)), date(20250106));
        QCOMPARE(CStockManager::dateOfMs(msAt(20250106, 0, 0) - 1), date(20250105));
    }

    // Civil dates across month and year ends and leap days: the day after, validity and
    // the weekday.
    void civilDates_data()
    {
        QTest::addColumn<int>("ymd");
        QTest::addColumn<int>("next");
        QTest::addColumn<int>("weekday"); // 0 Monday
        QTest::newRow("month end") << 20250131 << 20250201 << 4;
        QTest::newRow("year end") << 20241231 << 20250101 << 1;
        QTest::newRow("into a leap day") << 20240228 << 20240229 << 2;
        QTest::newRow("out of a leap day") << 20240229 << 20240301 << 3;
        QTest::newRow("February of a common year") << 20250228 << 20250301 << 4;
        QTest::newRow("century leap year") << 20000228 << 20000229 << 0;
        QTest::newRow("century common year") << 21000228 << 21000301 << 6;
        QTest::newRow("before the epoch") << 19691231 << 19700101 << 2;
    }

    void civilDates()
    {
        QFETCH(int, ymd);
        QFETCH(int, next);
        QFETCH(int, weekday);
        QVERIFY(CTradeCalendar::validYmd(ymd));
        const int day = CTradeCalendar::dayOfYmd(ymd);
        QCOMPARE(CTradeCalendar::ymdOfDay(day), ymd);
        QCOMPARE(CTradeCalendar::ymdOfDay(day + 1), next);
        QCOMPARE(CTradeCalendar::dayOfYmd(next), day + 1);
        QCOMPARE(CTradeCalendar::weekday(day), weekday);
        // the same through the trading-day dates of the stock manager (int seconds: to 2038)
        if (ymd < 20380101) {
            const int date = CStockManager::dateFromYmd(ymd / 10000, ymd / 100 % 100, ymd % 100);
            QCOMPARE(CStockManager::ymdFromDate(date + 86400), next);
        }
    }

    void invalidDates()
    {
        for (int ymd : {20250229, 21000229, 20240230, 20241301, 20240100, 20240431})
            QVERIFY2(!CTradeCalendar::validYmd(ymd), qPrintable(QString::number(ymd)));
        QCOMPARE(CStockManager::dateFromYmd(2023, 2, 29), 0);
        QVERIFY(CStockManager::dateFromYmd(2024, 2, 29) != 0);
        // the first of a month less one day is the last of the one before
        QCOMPARE(CTradeCalendar::ymdOfDay(CTradeCalendar::daysFromYmd(2024, 3, 1) - 1), 20240229);
        QCOMPARE(CTradeCalendar::ymdOfDay(CTradeCalendar::daysFromYmd(2025, 1, 1) - 1), 20241231);
    }

    void isTradeDate_data()
    {
        QTest::addColumn<int>("ymd");
        QTest::addColumn<bool>("trades");
        QTest::newRow("Monday") << 20250106 << true;
        QTest::newRow("Saturday") << 20250104 << false;
        QTest::newRow("Sunday") << 20250105 << false;
        QTest::newRow("New Year") << 20250101 << false;
        QTest::newRow("Spring Festival Friday") << 20250131 << false;
        QTest::newRow("after Spring Festival") << 20250205 << true;
        QTest::newRow("National Day Wednesday") << 20251008 << false;
    }

    void isTradeDate()
    {
        QFETCH(int, ymd);
        QFETCH(bool, trades);
        QCOMPARE(CStockManager::instance()->isTradeDate(date(ymd)), trades);
    }

    void shift_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("shift");
        QTest::addColumn<int>("expected");
        QTest::newRow("over New Year") << 20241231 << 1 << 20250102;
        QTest::newRow("onto a leap day") << 20240228 << 1 << 20240229;
        QTest::newRow("over a leap day") << 20240228 << 2 << 20240301;
        QTest::newRow("back over a month end") << 20240301 << -2 << 20240228;
        QTest::newRow("over Spring Festival") << 20250127 << 1 << 20250205;
        QTest::newRow("back over Spring Festival") << 20250205 << -1 << 20250127;
        QTest::newRow("five back over New Year") << 20250106 << -5 << 20241227;
        QTest::newRow("zero on a trading day") << 20250106 << 0 << 20250106;
        QTest::newRow("zero on a Saturday") << 20250104 << 0 << 20250106;
        QTest::newRow("one from a Saturday") << 20250104 << 1 << 20250106;
        QTest::newRow("minus one from a Sunday") << 20250105 << -1 << 20250103;
        QTest::newRow("to the last day of the year") << 20250102 << 242 << 20251231;
    }

    void shift()
    {
        QFETCH(int, from);
        QFETCH(int, shift);
        QFETCH(int, expected);
        QCOMPARE(CStockManager::ymdFromDate(
                     CStockManager::instance()->getShiftTradeDate(date(from), shift)),
                 expected);
    }

    void tradeDateList()
    {
        CStockManager* sm = CStockManager::instance();
        const QVector<int> list = sm->getTradeDateList(date(20250125), date(20250210));
        QVector<int> ymd;
        for (int d : list)
            ymd.append(CStockManager::ymdFromDate(d));
        QCOMPARE(ymd, (QVector<int>{20250127, 20250205, 20250206, 20250207, 20250210}));
        QVERIFY(sm->getTradeDateList(date(20250210), date(20250125)).isEmpty());
        QCOMPARE(sm->getTradeDateList(date(20250101), date(20251231)).size(), 243);
    }

    void tradeDayCount()
    {
        QCOMPARE(CStockDateHelper::getTradeDay(2025, 1, 27, 2025, 2, 7), 3);
        QCOMPARE(CStockDateHelper::getTradeDay(2025, 2, 7, 2025, 1, 27), -3);
        QCOMPARE(CStockDateHelper::getTradeDay(2025, 1, 4, 2025, 1, 6), 1);
        QCOMPARE(CStockDateHelper::getTradeDay(2025, 1, 6, 2025, 1, 6), 0);
        QCOMPARE(CStockDateHelper::getTradeDay(2025, 13, 6, 2025, 1, 6), 0);
    }

    void lastTradingDay_data()
    {
        QTest::addColumn<QString>("market");
        QTest::addColumn<int>("ymd");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<int>("expected");
        QTest::newRow("stocks in the morning") << "SH" << 20250106 << 10 << 0 << 20250106;
        QTest::newRow("stocks at night stay") << "SZ" << 20250106 << 22 << 0 << 20250106;
        QTest::newRow("stocks on Saturday") << "SH" << 20250104 << 10 << 0 << 20250103;
        QTest::newRow("stocks on New Year") << "SH" << 20250101 << 10 << 0 << 20241231;
        QTest::newRow("futures before 21:00") << "SHFE" << 20250106 << 20 << 59 << 20250106;
        QTest::newRow("futures at 21:00 roll") << "SHFE" << 20250106 << 21 << 0 << 20250107;
        QTest::newRow("Friday night rolls to Monday") << "DCE" << 20250103 << 21 << 30 << 20250106;
        QTest::newRow("after midnight of Friday night") << "INE" << 20250104 << 1 << 30 << 20250106;
        QTest::newRow("holiday eve night") << "CZCE" << 20250127 << 22 << 0 << 20250205;
        QTest::newRow("financial futures do not roll")
            << "CFFEX" << 20250106 << 21 << 30 << 20250106;
        QTest::newRow("Saturday noon") << "SHFE" << 20250104 << 12 << 0 << 20250103;
    }

    void lastTradingDay()
    {
        QFETCH(QString, market);
        QFETCH(int, ymd);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(int, expected);
        HostClock::setNowMs(msAt(ymd, hour, minute));
        QCOMPARE(CStockManager::ymdFromDate(CStockManager::instance()->getLastTradingDay(market)),
                 expected);
    }

    void rolledMarketIsAhead()
    {
        // what the browse table's latest-day test relies on: SH behind SHFE at night
        HostClock::setNowMs(msAt(20250106, 21, 30));
        CStockManager* sm = CStockManager::instance();
        QVERIFY(sm->getLastTradingDay(QStringLiteral("SH"))
                < sm->getLastTradingDay(QStringLiteral("SHFE")));
        HostClock::stepMs(-3600 * 1000);
        QCOMPARE(sm->getLastTradingDay(QStringLiteral("SH")),
                 sm->getLastTradingDay(QStringLiteral("SHFE")));
    }

    void stockSessions()
    {
        HostClock::setNowMs(msAt(20250106, 10, 0));
        const auto ranges = CStockManager::instance()->getOpenTimeByMarket(QStringLiteral("SH"));
        QCOMPARE(ranges.size(), 2);
        QCOMPARE(ranges[0].first, msAt(20250106, 9, 30));
        QCOMPARE(ranges[0].second, msAt(20250106, 11, 30));
        QCOMPARE(ranges[1].first, msAt(20250106, 13, 0));
        QCOMPARE(ranges[1].second, msAt(20250106, 15, 0));
    }

    void futuresSessionsStartTheNightBefore()
    {
        HostClock::setNowMs(msAt(20250106, 10, 0)); // Monday: the night was Friday's
        const auto ranges = CStockManager::instance()->getOpenTimeByMarket(QStringLiteral("SHFE"));
        QCOMPARE(ranges.size(), 4);
        QCOMPARE(ranges[0].first, msAt(20250103, 21, 0));
        QCOMPARE(ranges[0].second, msAt(20250104, 2, 30));
        QCOMPARE(ranges[1].first, msAt(20250106, 9, 0));
        QCOMPARE(ranges[3].second, msAt(20250106, 15, 0));
        QVERIFY(CStockManager::instance()->getOpenTimeByMarket(QStringLiteral("NOPE")).isEmpty());
    }

    void nightCloseByProduct_data()
    {
        QTest::addColumn<QString>("market");
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("nightClose"); // minutes, 0 none
        const auto row = [](const char* tag, const char* market, const char* product,
                            int nightClose) {
            QTest::newRow(tag) << QString(market) << QString(product) << nightClose;
        };
        row("gold to 02:30", "SHFE", "au", 26 * 60 + 30);
        row("copper to 01:00", "SHFE", "cu", 25 * 60);
        row("rebar to 23:00", "SHFE", "rb", 23 * 60);
        row("wire rod no night", "SHFE", "wr", 0);
        row("eggs no night", "DCE", "jd", 0);
    }

    void nightCloseByProduct()
    {
        QFETCH(QString, market);
        QFETCH(QString, product);
        QFETCH(int, nightClose);
        const auto sessions =
            CStockManager::instance()->getSessionMinutes(market, product + QStringLiteral("00"));
        QVERIFY(!sessions.isEmpty());
        if (nightClose == 0) {
            QVERIFY(!sessions.first().night);
        } else {
            QVERIFY(sessions.first().night);
            QCOMPARE(sessions.first().openMin, 21 * 60);
            QCOMPARE(sessions.first().closeMin, nightClose);
        }
    }

    void testHolidays()
    {
        CStockManager* sm = CStockManager::instance();
        sm->setHolidaysForTest({20250106});
        QVERIFY(!sm->isTradeDate(date(20250106)));
        QVERIFY(sm->isTradeDate(date(20250101))); // the file's list is replaced
        QCOMPARE(CStockManager::ymdFromDate(sm->getShiftTradeDate(date(20250103), 1)), 20250107);
        sm->restoreDefault();
        QVERIFY(sm->isTradeDate(date(20250106)));
        QVERIFY(!sm->isTradeDate(date(20250101)));
    }
};

QTEST_GUILESS_MAIN(TestTradeCalendar)
#include "tst_tradecalendar.moc"
