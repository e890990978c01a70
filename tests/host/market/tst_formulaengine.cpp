// Indicator formulas against series worked out by hand.
#include "host/market/FormulaEngine.h"

#include <QtTest/QtTest>

Q_DECLARE_METATYPE(std::vector<double>)

using ttmarket::kFormulaInvalid;

namespace {

std::vector<quoter::KLineData> barsOf(const std::vector<double>& close,
                                      const std::vector<double>& high = {},
                                      const std::vector<double>& low = {},
                                      const std::vector<int64_t>& volume = {})
{
    std::vector<quoter::KLineData> bars(close.size());
    for (size_t i = 0; i < close.size(); ++i) {
        bars[i].time = static_cast<int64_t>(i + 1) * 86400000;
        bars[i].close = bars[i].open = close[i];
        bars[i].high = high.empty() ? close[i] : high[i];
        bars[i].low = low.empty() ? close[i] : low[i];
        bars[i].volume = volume.empty() ? 0 : volume[i];
    }
    return bars;
}

void compareSeries(const std::vector<double>& actual, const std::vector<double>& expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == kFormulaInvalid) {
            QVERIFY2(actual[i] == kFormulaInvalid,
                     qPrintable(QStringLiteral("index %1: %2").arg(i).arg(actual[i])));
        } else {
            QVERIFY2(std::fabs(actual[i] - expected[i]) < 1e-9,
                     qPrintable(QStringLiteral("index %1: %2 != %3")
                                    .arg(i)
                                    .arg(actual[i], 0, 'g', 12)
                                    .arg(expected[i], 0, 'g', 12)));
        }
    }
}

} // namespace

class TestFormulaEngine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void movingAverage_data()
    {
        QTest::addColumn<std::vector<double>>("input");
        QTest::addColumn<int>("n");
        QTest::addColumn<std::vector<double>>("expected");
        const double X = kFormulaInvalid;
        QTest::newRow("three of five")
            << std::vector<double>{1, 2, 3, 4, 5} << 3 << std::vector<double>{X, X, 2, 3, 4};
        QTest::newRow("window of one")
            << std::vector<double>{4, 8} << 1 << std::vector<double>{4, 8};
        QTest::newRow("longer than data")
            << std::vector<double>{1, 2} << 3 << std::vector<double>{X, X};
        QTest::newRow("empty") << std::vector<double>{} << 5 << std::vector<double>{};
        QTest::newRow("invalid input restarts the window")
            << std::vector<double>{1, X, 3, 5, 7} << 2 << std::vector<double>{X, X, X, 4, 6};
        QTest::newRow("zero window") << std::vector<double>{1, 2} << 0 << std::vector<double>{X, X};
    }

    void movingAverage()
    {
        QFETCH(std::vector<double>, input);
        QFETCH(int, n);
        QFETCH(std::vector<double>, expected);
        compareSeries(ttmarket::series::ma(input, n), expected);
    }

    void smaAndEma()
    {
        // SMA(x, 3, 1): 10, (20 + 2*10)/3, (30 + 2*that)/3
        const double s1 = (20 + 2 * 10) / 3.0;
        const double s2 = (30 + 2 * s1) / 3.0;
        compareSeries(ttmarket::series::sma({10, 20, 30}, 3, 1), {10, s1, s2});
        // EMA(x, 2) = (2x + y') / 3
        const double e1 = (2 * 11 + 10) / 3.0;
        const double e2 = (2 * 12 + e1) / 3.0;
        compareSeries(ttmarket::series::ema({10, 11, 12}, 2), {10, e1, e2});
        // m above n is meaningless
        compareSeries(ttmarket::series::sma({1, 2}, 2, 3), {kFormulaInvalid, kFormulaInvalid});
    }

    void extremes()
    {
        compareSeries(ttmarket::series::hhv({3, 1, 4, 1, 5, 9, 2}, 3), {3, 3, 4, 4, 5, 9, 9});
        compareSeries(ttmarket::series::llv({3, 1, 4, 1, 5, 9, 2}, 3), {3, 1, 1, 1, 1, 1, 2});
    }

    void sampleDeviation()
    {
        // mean 5, squared deviations 32, n - 1 = 7
        const std::vector<double> sd = ttmarket::series::stdev({2, 4, 4, 4, 5, 5, 7, 9}, 8);
        QCOMPARE(sd.size(), size_t(8));
        QCOMPARE(sd[6], kFormulaInvalid);
        QVERIFY(std::fabs(sd[7] - std::sqrt(32.0 / 7.0)) < 1e-12);
    }

    void macd()
    {
        ttmarket::FormulaOutput out;
        QVERIFY(ttmarket::evaluateFormula("MACD", {{"SHORT", 2}, {"LONG", 3}, {"MID", 2}},
                                          barsOf({10, 11, 12, 11}), out));
        // EMA2 = (2x + y')/3, EMA3 = (2x + 2y')/4
        const double a1 = (22 + 10) / 3.0, a2 = (24 + a1) / 3.0, a3 = (22 + a2) / 3.0;
        const double b1 = (11 + 10) / 2.0, b2 = (12 + b1) / 2.0, b3 = (11 + b2) / 2.0;
        const double d0 = 0, d1 = a1 - b1, d2 = a2 - b2, d3 = a3 - b3;
        const double e0 = d0, e1 = (2 * d1 + e0) / 3, e2 = (2 * d2 + e1) / 3,
                     e3 = (2 * d3 + e2) / 3;
        QCOMPARE(out.values.size(), size_t(3));
        compareSeries(out.values[0], {d0, d1, d2, d3});
        compareSeries(out.values[1], {e0, e1, e2, e3});
        compareSeries(out.values[2], {0, 2 * (d1 - e1), 2 * (d2 - e2), 2 * (d3 - e3)});
        // the worked numbers, to four places
        QVERIFY(std::fabs(out.values[0][3] - 0.0601852) < 1e-6);
        QVERIFY(std::fabs(out.values[2][3] + 0.1203704) < 1e-6);
    }

    void kdj()
    {
        ttmarket::FormulaOutput out;
        QVERIFY(ttmarket::evaluateFormula(
            "KDJ", {{"N", 3}, {"M1", 3}, {"M2", 3}},
            barsOf({10, 11, 12, 10}, {11, 12, 13, 12}, {9, 10, 10, 9}), out));
        // RSV over 3 bars: (C - LLV(L)) / (HHV(H) - LLV(L)) * 100
        const double r0 = 50, r1 = 2.0 / 3 * 100, r2 = 75, r3 = 25;
        const double k0 = r0, k1 = (r1 + 2 * k0) / 3, k2 = (r2 + 2 * k1) / 3,
                     k3 = (r3 + 2 * k2) / 3;
        const double dd0 = k0, dd1 = (k1 + 2 * dd0) / 3, dd2 = (k2 + 2 * dd1) / 3,
                     dd3 = (k3 + 2 * dd2) / 3;
        compareSeries(out.values[0], {k0, k1, k2, k3});
        compareSeries(out.values[1], {dd0, dd1, dd2, dd3});
        compareSeries(out.values[2],
                      {3 * k0 - 2 * dd0, 3 * k1 - 2 * dd1, 3 * k2 - 2 * dd2, 3 * k3 - 2 * dd3});
        QVERIFY(std::fabs(out.values[0][3] - 49.691358) < 1e-5);
    }

    void rsi()
    {
        ttmarket::FormulaOutput out;
        QVERIFY(ttmarket::evaluateFormula("RSI", {{"N1", 2}, {"N2", 2}, {"N3", 2}},
                                          barsOf({10, 11, 10.5, 12}), out));
        // moves +1, -0.5, +1.5; SMA(up,2,1): 1, 0.5, 1.0; SMA(|move|,2,1): 1, 0.75, 1.125
        compareSeries(out.values[0], {kFormulaInvalid, 100.0, 0.5 / 0.75 * 100, 1.0 / 1.125 * 100});
        // a flat series has no defined RSI
        QVERIFY(ttmarket::evaluateFormula("RSI", {}, barsOf({10, 10, 10}), out));
        compareSeries(out.values[0], {kFormulaInvalid, kFormulaInvalid, kFormulaInvalid});
    }

    void boll()
    {
        ttmarket::FormulaOutput out;
        QVERIFY(ttmarket::evaluateFormula("BOLL", {{"N", 3}, {"P", 2}}, barsOf({1, 2, 3, 4}), out));
        const double X = kFormulaInvalid;
        compareSeries(out.values[0], {X, X, 2, 3});
        compareSeries(out.values[1], {X, X, 4, 5});
        compareSeries(out.values[2], {X, X, 0, 1});
    }

    void vol()
    {
        ttmarket::FormulaOutput out;
        QVERIFY(ttmarket::evaluateFormula("VOL", {{"M1", 2}, {"M2", 3}},
                                          barsOf({1, 1, 1}, {}, {}, {100, 200, 600}), out));
        compareSeries(out.values[0], {100, 200, 600});
        compareSeries(out.values[1], {kFormulaInvalid, 150, 400});
        compareSeries(out.values[2], {kFormulaInvalid, kFormulaInvalid, 300});
    }

    void textFormula()
    {
        ttmarket::FormulaOutput out;
        QVERIFY(ttmarket::evaluateFormula("trend", {}, barsOf({10, 11, 11, 9}), out));
        QCOMPARE(out.texts.size(), size_t(1));
        QCOMPARE(out.texts[0], (std::vector<std::string>{"", "上涨", "平盘", "下跌"}));
        QCOMPARE(ttmarket::findFormula("TREND")->lineTypes[0], ttmarket::kLineText);
    }

    void parameters_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("ok");
        QTest::newRow("default") << "M1" << 5.0 << true;
        QTest::newRow("zero") << "M1" << 0.0 << false;
        QTest::newRow("negative") << "M2" << -3.0 << false;
        QTest::newRow("fraction") << "M1" << 2.5 << false;
        QTest::newRow("huge") << "M4" << 1e12 << false;
        QTest::newRow("not a number") << "M3" << std::nan("") << false;
        QTest::newRow("unknown name is ignored") << "X" << -1.0 << true;
    }

    void parameters()
    {
        QFETCH(QString, name);
        QFETCH(double, value);
        QFETCH(bool, ok);
        ttmarket::FormulaOutput out;
        QCOMPARE(
            ttmarket::evaluateFormula("MA", {{name.toStdString(), value}}, barsOf({1, 2, 3}), out),
            ok);
    }

    void catalogue()
    {
        for (const char* name : {"MA", "EMA", "MACD", "KDJ", "RSI", "BOLL", "VOL", "TREND"}) {
            const ttmarket::FormulaDefinition* f = ttmarket::findFormula(name);
            QVERIFY2(f, name);
            QCOMPARE(f->paramNames.size(), f->paramDefaults.size());
            QCOMPARE(f->lineNames.size(), f->lineTypes.size());
        }
        QCOMPARE(ttmarket::findFormula("macd")->lineNames,
                 (std::vector<std::string>{"DIF", "DEA", "MACD"}));
        QVERIFY(!ttmarket::findFormula("NOPE"));
        ttmarket::FormulaOutput out;
        QVERIFY(!ttmarket::evaluateFormula("NOPE", {}, barsOf({1}), out));
        // no bars is no error: empty series
        QVERIFY(ttmarket::evaluateFormula("MA", {}, {}, out));
        QCOMPARE(out.values[0].size(), size_t(0));
    }
};

QTEST_GUILESS_MAIN(TestFormulaEngine)
#include "tst_formulaengine.moc"
