// The board's per-contract arithmetic: the snapshot taken from a quote (not-traded
// rules), the computed values and Greeks against published references, implied
// volatility across the smile, and the estimated margin.
#include "pricet/CHpfOptionBrowserData.h"
#include "pricet/OptionValues.h"

#include "host/data/GreekAndOptionsCalculator.h"
#include "host/data/Quote.h"

#include <QtTest>

#include <cmath>

using namespace TC;
using optionvalues::kNotComputed;
using optionvalues::kUnset;
using optionvalues::kUnsetInt;

namespace {

// Black-Scholes written out here, independent of the calculator under test.
double normCdf(double x)
{
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

double referencePrice(bool call, double s, double k, double r, double sigma, double t)
{
    const double d1 = (std::log(s / k) + (r + sigma * sigma / 2) * t) / (sigma * std::sqrt(t));
    const double d2 = d1 - sigma * std::sqrt(t);
    return call ? s * normCdf(d1) - k * std::exp(-r * t) * normCdf(d2)
                : k * std::exp(-r * t) * normCdf(-d2) - s * normCdf(-d1);
}

quoter::QuoterAllData quote(double last, double bid, double ask, double preClose,
                            int64_t phaseOrOi = 0)
{
    quoter::QuoterAllData q;
    q.last = last;
    q.bidPrice[0] = bid;
    q.askPrice[0] = ask;
    q.preClose = preClose;
    q.openInterestOrPhase = phaseOrOi;
    q.volume = 100;
    return q;
}

COptionContract contract(bool call, double strike, double rate, double vol)
{
    COptionContract c;
    c.call = call;
    c.strike = strike;
    c.rate = rate;
    c.histVolatility = vol;
    c.multiplier = 10000;
    c.contractUnit = 10000;
    c.preSettlement = 0.1;
    c.expiryText = QStringLiteral("20240626");
    return c;
}

CTargetPriceData traded(double last)
{
    CTargetPriceData s;
    s.m_dLast = last;
    return s;
}

} // namespace

class TestOptionValues : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void notTraded_data()
    {
        QTest::addColumn<bool>("stockMarket");
        QTest::addColumn<double>("last");
        QTest::addColumn<double>("bid");
        QTest::addColumn<double>("ask");
        QTest::addColumn<double>("preClose");
        QTest::addColumn<qint64>("phase");
        QTest::addColumn<double>("expLast");
        QTest::addColumn<double>("expChange");
        QTest::addColumn<double>("expPercent");
        QTest::newRow("traded") << false << 0.12 << 0.11 << 0.13 << 0.10 << Q_INT64_C(0) << 0.12
                                << 0.02 << 0.2;
        QTest::newRow("bid only, moves by the bid")
            << false << 0.0 << 0.08 << 0.0 << 0.10 << Q_INT64_C(0) << kUnset << -0.02 << -0.2;
        QTest::newRow("ask only, moves by the ask")
            << false << 0.0 << 0.0 << 0.15 << 0.10 << Q_INT64_C(0) << kUnset << 0.05 << 0.5;
        QTest::newRow("no trade, no quotes: unchanged, not -100 %")
            << false << 0.0 << 0.0 << 0.0 << 0.10 << Q_INT64_C(0) << kUnset << kUnset << kUnset;
        QTest::newRow("no previous close: no change")
            << false << 0.12 << 0.11 << 0.13 << 0.0 << Q_INT64_C(0) << 0.12 << kUnset << kUnset;
        QTest::newRow("previous close within tolerance of 0")
            << false << 0.12 << 0.0 << 0.0 << 4e-6 << Q_INT64_C(0) << 0.12 << kUnset << kUnset;
        QTest::newRow("stock market, pre-open call auction")
            << true << 2.61 << 2.60 << 2.62 << 2.50 << qint64(quoter::PhasePreOpen) << kUnset
            << 0.10 << 0.04;
        QTest::newRow("stock market, suspended")
            << true << 0.0 << 0.0 << 0.0 << 2.50 << qint64(quoter::PhaseSuspended) << kUnset
            << kUnset << kUnset;
        QTest::newRow("stock market, trading")
            << true << 2.60 << 2.59 << 2.61 << 2.50 << qint64(quoter::PhaseContinuous) << 2.60
            << 0.10 << 0.04;
    }

    void notTraded()
    {
        QFETCH(bool, stockMarket);
        QFETCH(double, last);
        QFETCH(double, bid);
        QFETCH(double, ask);
        QFETCH(double, preClose);
        QFETCH(qint64, phase);
        QFETCH(double, expLast);
        QFETCH(double, expChange);
        QFETCH(double, expPercent);
        CTargetPriceData s;
        parseFormulaResult(quote(last, bid, ask, preClose, phase), true, stockMarket, s);
        auto same = [](double a, double b) {
            return (a == kUnset && b == kUnset) || std::fabs(a - b) < 1e-9;
        };
        QVERIFY2(same(s.m_dLast, expLast), qPrintable(QString::number(s.m_dLast)));
        QVERIFY2(same(s.m_dChange, expChange), qPrintable(QString::number(s.m_dChange)));
        QVERIFY2(same(s.m_dChangePercent, expPercent),
                 qPrintable(QString::number(s.m_dChangePercent)));
    }

    // A quote the host rejects for the time leaves every field unset; derivatives compare
    // with the previous settlement; volumes saturate below the unset mark.
    void snapshotFields()
    {
        CTargetPriceData s;
        parseFormulaResult(quote(0.12, 0.11, 0.13, 0.10), false, false, s);
        QCOMPARE(s.m_dLast, kUnset);
        QCOMPARE(s.m_dBid, kUnset);
        QCOMPARE(s.m_nVolume, kUnsetInt);

        quoter::QuoterAllData q = quote(0.12, 0.11, 0.13, 0.09, 777);
        q.preSettlement = 0.10;
        q.volume = Q_INT64_C(5000000000);
        parseFormulaResult(q, true, false, s);
        QVERIFY(std::fabs(s.m_dChange - 0.02) < 1e-12);
        QCOMPARE(s.m_dOpenInterest, 777.0);
        QCOMPARE(s.m_nVolume, kUnsetInt - 1);
        QCOMPARE(optionvalues::saturateVolume(-5), kUnsetInt);
        QCOMPARE(optionvalues::saturateVolume(42), 42);
    }

    // S 49, K 50, r 5 %, sigma 20 %, T 20/52 years (Hull): price 2.4005, delta 0.5216, gamma
    // 0.0655, vega 12.105 per unit volatility, theta -4.3053 per year, rho 8.9070.
    void hullReference()
    {
        const double days = 20.0 / 52.0 * 365.0; // 140.38 natural days
        auto* calc = ttservice::GreekAndOptionsCalculator::instance();
        QVERIFY(std::fabs(calc->calcCallPrice(49, 50, days, 0, 0.05, 0.2) - 2.4005) < 1e-4);
        // whole days are a visibly different contract
        QVERIFY(std::fabs(calc->calcCallPrice(49, 50, 140, 0, 0.05, 0.2) - 2.4005) > 1e-3);

        std::map<std::string, double> scratch;
        COptionEnvironment env;
        COptionResult v;
        computeOptionValues(contract(true, 50, 0.05, 0.2), traded(2.4005), 49, days, env, scratch,
                            v);
        QVERIFY2(std::fabs(v.delta - 0.5216) < 1e-4, qPrintable(QString::number(v.delta)));
        QVERIFY2(std::fabs(v.gamma - 0.0655) < 1e-4, qPrintable(QString::number(v.gamma)));
        QVERIFY2(std::fabs(v.vega - 12.105) < 5e-4, qPrintable(QString::number(v.vega)));
        QVERIFY2(std::fabs(v.theta + 4.3053) < 1e-4, qPrintable(QString::number(v.theta)));
        QVERIFY2(std::fabs(v.rho - 8.9070) < 1e-4, qPrintable(QString::number(v.rho)));
        QVERIFY2(std::fabs(v.implied - 0.2) < 1e-4, qPrintable(QString::number(v.implied)));
        // the board's own values of this contract
        QCOMPARE(v.intrinsic, 0.0);
        QVERIFY(std::fabs(v.timeValue - 2.4005) < 1e-12);
        QVERIFY(std::fabs(v.theoretical - (50 + 2.4005)) < 1e-12);
        QVERIFY(std::fabs(v.premiumRate - (50 + 2.4005 - 49) / 49) < 1e-12);
        QVERIFY(std::fabs(v.leverage - 49 / 2.4005) < 1e-9);
        QVERIFY(std::fabs(v.realLeverage - 0.5216 * 49 / 2.4005) < 1e-3);

        // per point: vega and rho per 1 % point, theta per calendar day
        env.benchmark = ttservice::eGreekPerPoint;
        computeOptionValues(contract(true, 50, 0.05, 0.2), traded(2.4005), 49, days, env, scratch,
                            v);
        QVERIFY(std::fabs(v.vega - 0.12105) < 1e-5);
        QVERIFY(std::fabs(v.theta + 4.3053 / 365) < 1e-6);
    }

    void impliedVolatility_data()
    {
        QTest::addColumn<bool>("call");
        QTest::addColumn<double>("strike");
        QTest::addColumn<double>("days");
        QTest::addColumn<double>("sigma");
        // a smile: higher volatility away from the money
        QTest::newRow("deep ITM call") << true << 2.0 << 30.0 << 0.45;
        QTest::newRow("ATM call") << true << 2.5 << 30.0 << 0.22;
        QTest::newRow("deep OTM call") << true << 3.2 << 90.0 << 0.38;
        QTest::newRow("deep ITM put") << false << 3.2 << 90.0 << 0.40;
        QTest::newRow("ATM put, 1 day") << false << 2.5 << 1.0 << 0.25;
        QTest::newRow("OTM put, 1 year") << false << 2.0 << 365.0 << 0.55;
        QTest::newRow("OTM call, 1 year, low vol") << true << 3.0 << 365.0 << 0.12;
    }

    void impliedVolatility()
    {
        QFETCH(bool, call);
        QFETCH(double, strike);
        QFETCH(double, days);
        QFETCH(double, sigma);
        const double s = 2.5, r = 0.02;
        const double price = referencePrice(call, s, strike, r, sigma, days / 365.0);
        std::map<std::string, double> scratch;
        COptionResult v;
        computeOptionValues(contract(call, strike, r, 0.2), traded(price), s, days,
                            COptionEnvironment(), scratch, v);
        QVERIFY2(std::fabs(v.implied - sigma) < 1e-4,
                 qPrintable(QStringLiteral("%1 for %2").arg(v.implied).arg(sigma)));
    }

    // A price below intrinsic value has no implied volatility, and the cell shows "-".
    void noImpliedVolatilityBelowIntrinsic()
    {
        std::map<std::string, double> scratch;
        COptionResult v;
        computeOptionValues(contract(true, 2.0, 0.02, 0.2), traded(0.40), 2.5, 30,
                            COptionEnvironment(), scratch, v);
        QCOMPARE(v.implied, kNotComputed);
        CHpfOptionBrowserData row(QStringLiteral("k"), QStringLiteral("2.0000"));
        CTargetPriceData snap = traded(0.40);
        storeOptionValues(row, true, 2.5, snap, v);
        QCOMPARE(row.getText(19), QStringLiteral("-"));
        QCOMPARE(row.getText(17), QStringLiteral("0.5000"));
        QCOMPARE(row.getText(16), QStringLiteral("-")); // negative time value: unset
    }

    // Expiring today: intrinsic, time, theoretical value and premium, but no implied
    // volatility, Greeks or leverage; negative days (expired) likewise.
    void expiringToday_data()
    {
        QTest::addColumn<double>("days");
        QTest::newRow("today") << 0.0;
        QTest::newRow("expired") << -3.0;
    }

    void expiringToday()
    {
        QFETCH(double, days);
        std::map<std::string, double> scratch;
        COptionResult v;
        computeOptionValues(contract(false, 2.6, 0.02, 0.2), traded(0.15), 2.5, days,
                            COptionEnvironment(), scratch, v);
        QVERIFY(std::fabs(v.intrinsic - 0.1) < 1e-12);
        QVERIFY(std::fabs(v.timeValue - 0.05) < 1e-12);
        QVERIFY(std::fabs(v.theoretical - (2.6 - 0.15)) < 1e-12);
        QVERIFY(v.premiumRate != kNotComputed);
        QCOMPARE(v.implied, kNotComputed);
        QCOMPARE(v.leverage, kNotComputed);
        QCOMPARE(v.realLeverage, kNotComputed);
        QCOMPARE(v.delta, kUnset);
        QCOMPARE(v.vega, kUnset);
    }

    // Inputs that leave values uncomputed: no underlying, no last price, no rate, no
    // historical volatility (outside the volatility-from-quotes mode), no strike.
    void missingInputs()
    {
        std::map<std::string, double> scratch;
        COptionResult v;
        COptionEnvironment env;
        computeOptionValues(contract(true, 2.5, 0.02, 0.2), traded(0.1), kUnset, 30, env, scratch,
                            v);
        QCOMPARE(v.intrinsic, kNotComputed);
        QCOMPARE(v.theoretical, kNotComputed);
        computeOptionValues(contract(true, 2.5, 0.02, 0.2), CTargetPriceData(), 2.5, 30, env,
                            scratch, v);
        QCOMPARE(v.premiumRate, kNotComputed);
        computeOptionValues(contract(true, 2.5, kUnset, 0.2), traded(0.1), 2.5, 30, env, scratch,
                            v);
        QVERIFY(v.intrinsic != kNotComputed);
        QCOMPARE(v.implied, kNotComputed);
        computeOptionValues(contract(true, 2.5, 0.02, kUnset), traded(0.1), 2.5, 30, env, scratch,
                            v);
        QVERIFY(v.implied > 0.1 && v.implied < 0.6);
        QCOMPARE(v.delta, kUnset);
        QCOMPARE(v.leverage, kNotComputed);
        // volatility from the quotes: the Greeks use the implied volatility
        env.haldenMode = true;
        computeOptionValues(contract(true, 2.5, 0.02, kUnset), traded(0.1), 2.5, 30, env, scratch,
                            v);
        QVERIFY(v.delta > 0.4 && v.delta < 0.7);
    }

    void margin_data()
    {
        QTest::addColumn<bool>("call");
        QTest::addColumn<double>("strike");
        QTest::addColumn<double>("settle");
        QTest::addColumn<double>("expected");
        const double u = 2.5, n = 10000;
        // call OTM by 0.3: 0.05 + max(0.3 - 0.3, 0.175)
        QTest::newRow("call OTM") << true << 2.8 << 0.05 << (0.05 + 0.175) * n * 1.2;
        // call ITM: 0.6 + 0.12 U
        QTest::newRow("call ITM") << true << 2.0 << 0.6 << (0.6 + 0.3) * n * 1.2;
        // put OTM by 0.5: 0.02 + max(0.3 - 0.5, 0.07 K)
        QTest::newRow("put OTM") << false << 2.0 << 0.02 << (0.02 + 0.14) * n * 1.2;
        QTest::newRow("put ITM") << false << 3.0 << 0.55 << (0.55 + 0.3) * n * 1.2;
        // the put cap: never above strike x unit x 1.2
        QTest::newRow("put cap") << false << 0.2 << 0.3 << 0.2 * n * 1.2;
        Q_UNUSED(u);
    }

    void margin()
    {
        QFETCH(bool, call);
        QFETCH(double, strike);
        QFETCH(double, settle);
        QFETCH(double, expected);
        const double m = estimateMargin(call, true, 2.5, strike, settle, 10000);
        QVERIFY2(std::fabs(m - expected) < 1e-6, qPrintable(QString::number(m)));
        if (!call)
            QVERIFY(m <= strike * 10000 * 1.2 + 1e-9);
    }

    // No previous settlement or contract unit: unset, never infinite; no reference: 0.
    void marginGaps()
    {
        QCOMPARE(estimateMargin(true, true, 2.5, 2.5, kUnset, 10000), kUnset);
        QCOMPARE(estimateMargin(true, true, 2.5, 2.5, 0.1, kUnset), kUnset);
        QCOMPARE(estimateMargin(false, true, 2.5, 2.5, 0.0, 10000), kUnset);
        QCOMPARE(estimateMargin(true, false, 0.0, 2.5, 0.1, 10000), 0.0);
        CHpfOptionBrowserData row(QStringLiteral("k"), QStringLiteral("2.5000"));
        row.m_dPutMargin = estimateMargin(false, true, 2.5, 2.5, kUnset, 10000);
        QCOMPARE(row.getText(56), QStringLiteral("-"));
    }

    void dates()
    {
        QCOMPARE(dayOfYmd(19700102), 1);
        QCOMPARE(dayOfYmd(20240230), 0);
        QCOMPARE(dayOfYmd(0), 0);
        QCOMPARE(naturalDays(dayOfYmd(20240607), dayOfYmd(20240626)), 19);
    }
};

QTEST_MAIN(TestOptionValues)
#include "tst_optionvalues.moc"
