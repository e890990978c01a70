#include "host/toolkit/NumberFormat.h"

#include <QtTest/QtTest>
#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>

using namespace XP;

class tst_NumberFormat : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void formatDouble_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain 2 decimals") << 12.3456 << 2 << 0 << "12.35";
        QTest::newRow("plain 0 decimals") << 12.5 << 0 << 0 << "13";
        QTest::newRow("half away from zero 2.675") << 2.675 << 2 << 0 << "2.68";
        QTest::newRow("half away from zero 1.005") << 1.005 << 2 << 0 << "1.01";
        QTest::newRow("negative half") << -2.675 << 2 << 0 << "-2.68";
        QTest::newRow("negative plain") << -3.14159 << 3 << 0 << "-3.142";
        QTest::newRow("negative zero rounds unsigned") << -0.001 << 2 << 0 << "0.00";
        QTest::newRow("zero") << 0.0 << 2 << 0 << "0.00";
        QTest::newRow("negative decimals clamp to 0") << 7.6 << -3 << 0 << "8";
        QTest::newRow("many decimals clamp to 10") << 0.5 << 30 << 0 << "0.5000000000";
        QTest::newRow("4 decimals strike") << 3.25 << 4 << 0 << "3.2500";

        QTest::newRow("percent") << 0.0153 << 2 << int(FMT_PERCENT) << "1.53%";
        QTest::newRow("percent negative") << -0.0153 << 2 << int(FMT_PERCENT) << "-1.53%";
        QTest::newRow("percent one decimal progress")
            << 3.0 / 7.0 << 1 << int(FMT_PERCENT) << "42.9%";
        QTest::newRow("percent whole") << 1.0 << 2 << int(FMT_PERCENT) << "100.00%";
        QTest::newRow("percent rounding") << 0.123456 << 2 << int(FMT_PERCENT) << "12.35%";

        QTest::newRow("big below 1e4 plain") << 9999.0 << 2 << int(FMT_BIGVALUE) << "9999.00";
        QTest::newRow("big rounds up to 1e4 takes wan")
            << 9999.999 << 2 << int(FMT_BIGVALUE) << "1.00万";
        QTest::newRow("big exactly 1e4") << 10000.0 << 2 << int(FMT_BIGVALUE) << "1.00万";
        QTest::newRow("big wan") << 12345678.0 << 2 << int(FMT_BIGVALUE) << "1234.57万";
        QTest::newRow("big just below yi") << 99994999.0 << 2 << int(FMT_BIGVALUE) << "9999.50万";
        QTest::newRow("big rounds up to yi") << 99999999.0 << 2 << int(FMT_BIGVALUE) << "1.00亿";
        QTest::newRow("big exactly 1e8") << 1e8 << 2 << int(FMT_BIGVALUE) << "1.00亿";
        QTest::newRow("big yi") << 1.5e9 << 2 << int(FMT_BIGVALUE) << "15.00亿";
        QTest::newRow("big negative wan") << -23456.0 << 2 << int(FMT_BIGVALUE) << "-2.35万";
        QTest::newRow("big negative yi") << -3.21e8 << 2 << int(FMT_BIGVALUE) << "-3.21亿";
        QTest::newRow("big negative below 1e4") << -9999.0 << 2 << int(FMT_BIGVALUE) << "-9999.00";

        QTest::newRow("segment") << 1234567.891 << 2 << int(FMT_SEGMENT) << "1,234,567.89";
        QTest::newRow("segment small") << 123.4 << 1 << int(FMT_SEGMENT) << "123.4";
        QTest::newRow("segment thousand") << 1000.0 << 0 << int(FMT_SEGMENT) << "1,000";
        QTest::newRow("segment negative") << -9876543.0 << 0 << int(FMT_SEGMENT) << "-9,876,543";
        QTest::newRow("segment with big")
            << 1.23456789e12 << 2 << int(FMT_SEGMENT | FMT_BIGVALUE) << "12,345.68亿";
    }

    void formatDouble()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(int, flags);
        QFETCH(QString, expected);
        QCOMPARE(formatDoubleNumber(value, decimals, flags, true, QStringLiteral("-")), expected);
    }

    void invalidValues_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("no-value mark") << kNoValue;
        QTest::newRow("no-value mark minus tiny") << DBL_MAX - 1e-6;
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("+inf") << std::numeric_limits<double>::infinity();
        QTest::newRow("-inf") << -std::numeric_limits<double>::infinity();
    }

    void invalidValues()
    {
        QFETCH(double, value);
        QCOMPARE(formatDoubleNumber(value, 2, 0, true, QStringLiteral("-")), QStringLiteral("-"));
        QCOMPARE(formatDoubleNumber(value, 1, FMT_PERCENT, true, QStringLiteral("非法值")),
                 QStringLiteral("非法值"));
        QCOMPARE(formatDoubleNumber(value, 2, FMT_BIGVALUE, false, QStringLiteral("-")), QString());
        QVERIFY(!isValidNumber(value));
    }

    void formatLonglong_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << qint64(123456) << 0 << 0 << "123456";
        QTest::newRow("negative") << qint64(-42) << 0 << 0 << "-42";
        QTest::newRow("decimals pad") << qint64(5) << 2 << 0 << "5.00";
        QTest::newRow("exact above 2^53")
            << qint64(9007199254740993LL) << 0 << 0 << "9007199254740993";
        QTest::newRow("segment") << qint64(9876543210LL) << 0 << int(FMT_SEGMENT)
                                 << "9,876,543,210";
        QTest::newRow("big wan") << qint64(1234567) << 2 << int(FMT_BIGVALUE) << "123.46万";
        QTest::newRow("big yi") << qint64(250000000) << 2 << int(FMT_BIGVALUE) << "2.50亿";
        QTest::newRow("largest is no value") << std::numeric_limits<qint64>::max() << 0 << 0 << "-";
        QTest::newRow("smallest is no value")
            << std::numeric_limits<qint64>::min() << 0 << 0 << "-";
    }

    void formatLonglong()
    {
        QFETCH(qint64, value);
        QFETCH(int, decimals);
        QFETCH(int, flags);
        QFETCH(QString, expected);
        QCOMPARE(formatLonglongNumber(value, decimals, flags), expected);
    }

    void formatInt()
    {
        QCOMPARE(formatIntNumber(1234567, 0, FMT_SEGMENT), QStringLiteral("1,234,567"));
        QCOMPARE(formatIntNumber(-7, 0, 0), QStringLiteral("-7"));
        QCOMPARE(formatIntNumber(INT_MAX, 0, 0), QStringLiteral("-"));
        QCOMPARE(formatIntNumber(INT_MAX, 0, 0, QStringLiteral("非法值")),
                 QStringLiteral("非法值"));
        QCOMPARE(formatIntNumber(INT_MIN, 0, 0), QStringLiteral("-2147483648"));
    }

    void noValueTolerance()
    {
        QVERIFY(isNoValue(kNoValue));
        QVERIFY(!isNoValue(1e308));
        QVERIFY(isValidNumber(1e308));
        QCOMPARE(formatDoubleNumber(1e308, 0, FMT_BIGVALUE).right(1), QStringLiteral("亿"));
    }
};

QTEST_GUILESS_MAIN(tst_NumberFormat)
#include "tst_numberformat.moc"
