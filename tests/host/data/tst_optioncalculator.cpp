#include "host/data/GreekAndOptionsCalculator.h"

#include <QtTest>

#include <cmath>

using ttservice::GreekAndOptionsCalculator;

namespace {

GreekAndOptionsCalculator* calc()
{
    return GreekAndOptionsCalculator::instance();
}

constexpr double kInvalid = GreekAndOptionsCalculator::kInvalid;

#define QCOMPARE_NEAR(actual, expected, tolerance)                                                 \
    do {                                                                                           \
        const double a_ = (actual), e_ = (expected);                                               \
        QVERIFY2(std::fabs(a_ - e_) <= (tolerance),                                                \
                 qPrintable(QStringLiteral("%1 vs %2").arg(a_, 0, 'g', 10).arg(e_, 0, 'g', 10)));  \
    } while (0)

} // namespace

class TstOptionCalculator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Hull, "Options, Futures, and Other Derivatives", the Black-Scholes worked example:
    // S=42, K=40, r=10 %, sigma=20 %, T=0.5 gives c=4.76 and p=0.81.
    // Second row: Hull's Greek letters example, S=49, K=50, r=5 %, sigma=20 %, T=20 weeks
    // (0.3846 years): the call is worth about 2.40.
    void europeanPrices_data()
    {
        QTest::addColumn<double>("s");
        QTest::addColumn<double>("k");
        QTest::addColumn<double>("r");
        QTest::addColumn<double>("sigma");
        QTest::addColumn<double>("years");
        QTest::addColumn<double>("call");
        QTest::addColumn<double>("put");
        QTest::newRow("Hull S=42 K=40") << 42.0 << 40.0 << 0.10 << 0.20 << 0.5 << 4.76 << 0.81;
        QTest::newRow("Hull S=49 K=50")
            << 49.0 << 50.0 << 0.05 << 0.20 << 0.3846 << 2.40 << 2.45; // put by parity
    }
    void europeanPrices()
    {
        QFETCH(double, s);
        QFETCH(double, k);
        QFETCH(double, r);
        QFETCH(double, sigma);
        QFETCH(double, years);
        QFETCH(double, call);
        QFETCH(double, put);
        const double days = years * 365.0;
        QCOMPARE_NEAR(calc()->calcCallPrice(s, k, days, 0.0, r, sigma), call, 0.005);
        QCOMPARE_NEAR(calc()->calcPutPrice(s, k, days, 0.0, r, sigma), put, 0.005);
        // put-call parity holds to rounding
        const double parity = calc()->calcCallPrice(s, k, days, 0.0, r, sigma)
                              - calc()->calcPutPrice(s, k, days, 0.0, r, sigma)
                              - (s - k * std::exp(-r * years));
        QCOMPARE_NEAR(parity, 0.0, 1e-10);
    }

    // Hull's Greek letters example (S=49, K=50, r=5 %, sigma=20 %, T=0.3846): delta 0.522,
    // gamma 0.066, vega 12.1 (per 1.00 of volatility), theta -4.31 per year, rho 8.91.
    void europeanCallGreeks()
    {
        std::map<std::string, double> g;
        QVERIFY(calc()->calcCallGreeks(g, 49.0, 50.0, 0.3846 * 365.0, 0.0, 0.05, 0.20,
                                       ttservice::eGreekPerUnit));
        QCOMPARE_NEAR(g["C_Delta"], 0.522, 0.001);
        QCOMPARE_NEAR(g["C_Gamma"], 0.066, 0.001);
        QCOMPARE_NEAR(g["C_Vega"], 12.1, 0.05);
        QCOMPARE_NEAR(g["C_Theta"], -4.31, 0.01);
        QCOMPARE_NEAR(g["C_Rho"], 8.91, 0.01);
        QCOMPARE(int(g.size()), 5);

        // per point: vega and rho per 1 %, theta per calendar day (Hull: -0.0118 per day)
        std::map<std::string, double> p;
        QVERIFY(calc()->calcCallGreeks(p, 49.0, 50.0, 0.3846 * 365.0, 0.0, 0.05, 0.20,
                                       ttservice::eGreekPerPoint));
        QCOMPARE_NEAR(p["C_Vega"], 0.121, 0.0005);
        QCOMPARE_NEAR(p["C_Theta"], -0.0118, 0.0001);
        QCOMPARE_NEAR(p["C_Rho"], 0.0891, 0.0001);
        QCOMPARE_NEAR(p["C_Delta"], g["C_Delta"], 1e-12);
    }

    // put Greeks follow from parity: delta_p = delta_c - 1, same gamma and vega
    void europeanPutGreeksByParity()
    {
        std::map<std::string, double> g;
        QVERIFY(calc()->calcCallGreeks(g, 49.0, 50.0, 140.0, 0.0, 0.05, 0.20, 0));
        QVERIFY(calc()->calcPutGreeks(g, 49.0, 50.0, 140.0, 0.0, 0.05, 0.20, 0));
        QCOMPARE_NEAR(g["P_Delta"], g["C_Delta"] - 1.0, 1e-10);
        QCOMPARE_NEAR(g["P_Gamma"], g["C_Gamma"], 1e-10);
        QCOMPARE_NEAR(g["P_Vega"], g["C_Vega"], 1e-10);
        const double t = 140.0 / 365.0;
        QCOMPARE_NEAR(g["P_Rho"], g["C_Rho"] - 50.0 * t * std::exp(-0.05 * t), 1e-9);
        QCOMPARE(int(g.size()), 10);
    }

    void impliedVolatilityRoundTrip_data()
    {
        QTest::addColumn<bool>("call");
        QTest::addColumn<double>("s");
        QTest::addColumn<double>("k");
        QTest::addColumn<double>("days");
        QTest::addColumn<double>("sigma");
        QTest::addColumn<int>("style");
        QTest::newRow("call at the money") << true << 3.0 << 3.0 << 30.0 << 0.22 << 0;
        QTest::newRow("put out of the money") << false << 3.0 << 2.7 << 60.0 << 0.35 << 0;
        QTest::newRow("call deep in the money") << true << 4200.0 << 3800.0 << 90.0 << 0.18 << 0;
        QTest::newRow("high volatility") << true << 100.0 << 110.0 << 200.0 << 1.2 << 0;
        QTest::newRow("american put") << false << 100.0 << 105.0 << 120.0 << 0.30 << 1;
    }
    void impliedVolatilityRoundTrip()
    {
        QFETCH(bool, call);
        QFETCH(double, s);
        QFETCH(double, k);
        QFETCH(double, days);
        QFETCH(double, sigma);
        QFETCH(int, style);
        const auto st = ttservice::EExerciseStyle(style);
        const double r = 0.03;
        const double price = call ? calc()->calcCallPrice(s, k, days, 0.0, r, sigma, st)
                                  : calc()->calcPutPrice(s, k, days, 0.0, r, sigma, st);
        QVERIFY(price > 0.0);
        const double iv =
            call ? calc()->calcCallImpliedVolatility(s, k, days, 0.0, r, price, 1.5, st)
                 : calc()->calcPutImpliedVolatility(s, k, days, 0.0, r, price, 1.5, st);
        QCOMPARE_NEAR(iv, sigma, 1e-5);
    }

    void impliedVolatilityOutOfRange_data()
    {
        QTest::addColumn<double>("price");
        QTest::newRow("below intrinsic") << 1.0;   // intrinsic is 2, discounted ~1.96
        QTest::newRow("above the ceiling") << 9.9; // would need a volatility over 150 %
        QTest::newRow("zero") << 0.0;
        QTest::newRow("nan") << std::nan("");
    }
    void impliedVolatilityOutOfRange()
    {
        QFETCH(double, price);
        QCOMPARE(calc()->calcCallImpliedVolatility(12.0, 10.0, 30.0, 0.0, 0.03, price, 1.5),
                 kInvalid);
    }

    // Barone-Adesi-Whaley values for options on futures (b = 0, so q = r = 10 %), T = 0.1,
    // sigma = 15 %, K = 100, as tabulated in Haug, "The Complete Guide to Option Pricing
    // Formulas": calls 0.0206 (S=90), 1.8771 (S=100), 10.0089 (S=110).
    void americanBaw_data()
    {
        QTest::addColumn<double>("s");
        QTest::addColumn<double>("expected");
        QTest::newRow("S=90") << 90.0 << 0.0206;
        QTest::newRow("S=100") << 100.0 << 1.8771;
        QTest::newRow("S=110") << 110.0 << 10.0089;
    }
    void americanBaw()
    {
        QFETCH(double, s);
        QFETCH(double, expected);
        const double v =
            calc()->calcCallPrice(s, 100.0, 36.5, 0.10, 0.10, 0.15, ttservice::eExerciseAmerican);
        QCOMPARE_NEAR(v, expected, 0.005);
        // early exercise is worth something: never below the European value or intrinsic
        const double eu = calc()->calcCallPrice(s, 100.0, 36.5, 0.10, 0.10, 0.15);
        QVERIFY(v >= eu - 1e-12);
        QVERIFY(v >= s - 100.0 - 1e-12);
    }

    void americanProperties()
    {
        // without dividends an American call is the European one
        const double am =
            calc()->calcCallPrice(42.0, 40.0, 182.5, 0.0, 0.10, 0.20, ttservice::eExerciseAmerican);
        QCOMPARE_NEAR(am, calc()->calcCallPrice(42.0, 40.0, 182.5, 0.0, 0.10, 0.20), 1e-12);
        // an in-the-money put is worth more when it may be exercised early
        const double amPut =
            calc()->calcPutPrice(40.0, 45.0, 365.0, 0.0, 0.08, 0.25, ttservice::eExerciseAmerican);
        const double euPut = calc()->calcPutPrice(40.0, 45.0, 365.0, 0.0, 0.08, 0.25);
        QVERIFY2(amPut > euPut + 0.05, qPrintable(QString::number(amPut - euPut)));
        QVERIFY(amPut >= 5.0);
        // finite-difference Greeks of the approximation are sane
        std::map<std::string, double> g;
        QVERIFY(calc()->calcPutGreeks(g, 40.0, 45.0, 365.0, 0.0, 0.08, 0.25, 0,
                                      ttservice::eExerciseAmerican));
        QVERIFY(g["P_Delta"] < 0.0 && g["P_Delta"] > -1.0);
        QVERIFY(g["P_Gamma"] > 0.0);
        QVERIFY(g["P_Vega"] > 0.0);
        QVERIFY(g["P_Rho"] < 0.0);
    }

    void badInput_data()
    {
        QTest::addColumn<double>("s");
        QTest::addColumn<double>("k");
        QTest::addColumn<double>("days");
        QTest::addColumn<double>("sigma");
        QTest::newRow("zero underlying") << 0.0 << 40.0 << 30.0 << 0.2;
        QTest::newRow("negative strike") << 42.0 << -1.0 << 30.0 << 0.2;
        QTest::newRow("no volatility") << 42.0 << 40.0 << 30.0 << 0.0;
        QTest::newRow("expired") << 42.0 << 40.0 << -1.0 << 0.2;
        QTest::newRow("nan") << std::nan("") << 40.0 << 30.0 << 0.2;
        QTest::newRow("unset underlying") << 1.7976931348623157e308 << 40.0 << 30.0 << 0.2;
    }
    void badInput()
    {
        QFETCH(double, s);
        QFETCH(double, k);
        QFETCH(double, days);
        QFETCH(double, sigma);
        std::map<std::string, double> g;
        QVERIFY(!calc()->calcCallGreeks(g, s, k, days, 0.0, 0.05, sigma, 0));
        QVERIFY(!calc()->calcPutGreeks(g, s, k, days, 0.0, 0.05, sigma, 0,
                                       ttservice::eExerciseAmerican));
        QVERIFY(g.empty());
        if (!(s > 0.0 && days == 0.0))
            QCOMPARE(calc()->calcCallPrice(s, k, days, 0.0, 0.05, sigma), kInvalid);
    }

    void expiringToday()
    {
        // 0 days: the price is the intrinsic value, Greeks are not defined
        QCOMPARE(calc()->calcCallPrice(42.0, 40.0, 0.0, 0.0, 0.05, 0.2), 2.0);
        QCOMPARE(calc()->calcPutPrice(42.0, 40.0, 0.0, 0.0, 0.05, 0.2), 0.0);
        std::map<std::string, double> g;
        QVERIFY(!calc()->calcCallGreeks(g, 42.0, 40.0, 0.0, 0.0, 0.05, 0.2, 0));
    }

    void simpleMeasures()
    {
        QCOMPARE(calc()->calcCallIntrinsicValue(3.2, 3.0), 0.2 + 3.0 - 3.0);
        QCOMPARE(calc()->calcPutIntrinsicValue(3.2, 3.0), 0.0);
        QCOMPARE_NEAR(calc()->calcTimeValue(0.35, 0.2), 0.15, 1e-12);
        // break-even: the board passes the last price negated
        QCOMPARE_NEAR(calc()->calcCallTheroticalValue(3.2, 3.0, -0.35), 3.35, 1e-12);
        QCOMPARE_NEAR(calc()->calcPutTheroticalValue(3.2, 3.0, -0.1), 2.9, 1e-12);
        QCOMPARE_NEAR(calc()->calcCallPremiumRate(3.0, 0.35, 10000, 3.2), (3.35 - 3.2) / 3.2,
                      1e-12);
        QCOMPARE_NEAR(calc()->calcPutPremiumRate(3.0, 0.1, 10000, 3.2), (3.3 - 3.0) / 3.2, 1e-12);
        QCOMPARE(calc()->calcCallPremiumRate(3.0, 0.35, 0, 3.2), kInvalid);
        QCOMPARE_NEAR(calc()->calcLeverageRatio(0.32, 3.2, 1.0), 10.0, 1e-12);
        QCOMPARE(calc()->calcLeverageRatio(0.0, 3.2, 1.0), kInvalid);
        QCOMPARE_NEAR(calc()->calcRealLeverageRatio(-0.4, 10.0), 4.0, 1e-12);
        QCOMPARE(calc()->calcRealLeverageRatio(0.4, kInvalid), kInvalid);
    }
};

QTEST_GUILESS_MAIN(TstOptionCalculator)
#include "tst_optioncalculator.moc"
