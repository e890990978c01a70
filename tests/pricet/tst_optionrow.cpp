// The T-board's row record and model: the 57-column text, colour and background table,
// headers and value types, row keys, strike positions and the statistics row.
#include "pricet/CHpfOptionBrowserData.h"
#include "pricet/CHpfOptionBrowserDataModel.h"
#include "pricet/OptionValues.h"

#include "host/data/InstrumentDetail.h"
#include "host/toolkit/NumberFormat.h"
#include "host/toolkit/UiResource.h"

#include <QtTest>

#include <boost/make_shared.hpp>

using namespace TC;

namespace {

constexpr double kUnset = CHpfOptionBrowserData::kUnset;

const QColor* colorOf(const char* key)
{
    return XP::CUiResource::instance().getColor(QString::fromUtf8(key));
}

// A row with every field set to a value of its own; the put side's intrinsic value is
// unset, its time value the calculator's failure value and its margin unset.
boost::shared_ptr<CHpfOptionBrowserData> filledRow()
{
    auto r = boost::make_shared<CHpfOptionBrowserData>(QStringLiteral("2.5000"),
                                                       QStringLiteral("2.5000"));
    r->m_qsExerciseStyle = QStringLiteral("欧式");
    r->m_qsExerciseEndDate = QStringLiteral("20240626");
    r->m_qsCallExpiryDate = QStringLiteral("20240626");
    r->m_qsCallCode = QStringLiteral("10007001");
    r->m_qsPutCode = QStringLiteral("10007002");
    r->m_qsPutExpiryDate = QStringLiteral("20240625");
    r->m_nStrikePosition = 2;
    r->m_dCallMargin = 12345.678;
    r->m_dCallStrike = 2.5;
    r->m_dCallContractUnit = 10000;
    r->m_dCallRho = 0.1111;
    r->m_dCallVega = 0.2222;
    r->m_dCallTheta = -0.3333;
    r->m_dCallGamma = 1.4444;
    r->m_dCallDelta = 0.5555;
    r->m_dCallRealLeverage = 6.6666;
    r->m_dCallLeverage = 12.1212;
    r->m_dCallPremiumRate = 0.0414;
    r->m_dCallHistVolatility = 0.2345;
    r->m_dCallTimeValue = 0.0316;
    r->m_dCallIntrinsicValue = 0.0717;
    r->m_dCallTheoreticalValue = 2.6018;
    r->m_dCallImpliedVolatility = 0.2219;
    r->m_dCallOpenInterest = 1234;
    r->m_nCallVolume = 567;
    r->m_dCallBid = 0.1022;
    r->m_dCallAsk = 0.1023;
    r->m_dCallChangePercent = 0.0153;
    r->m_dCallChange = 0.0125;
    r->m_dCallLast = 0.1026;
    r->m_dPutLast = 0.2030;
    r->m_dPutChange = -0.0131;
    r->m_dPutChangePercent = -0.0532;
    r->m_dPutAsk = 0.2033;
    r->m_dPutBid = 0.2034;
    r->m_nPutVolume = 89;
    r->m_dPutOpenInterest = 4321;
    r->m_dPutImpliedVolatility = 0.2537;
    r->m_dPutTheoreticalValue = 2.2038;
    r->m_dPutTimeValue = CHpfOptionBrowserData::kNotComputed;
    r->m_dPutHistVolatility = 0.3141;
    r->m_dPutPremiumRate = 0.0442;
    r->m_dPutLeverage = 9.0443;
    r->m_dPutRealLeverage = 4.0444;
    r->m_dPutDelta = -0.4545;
    r->m_dPutGamma = 1.4646;
    r->m_dPutTheta = -0.4747;
    r->m_dPutVega = 0.4848;
    r->m_dPutRho = -0.4949;
    r->m_dPutContractUnit = 10000;
    r->m_dPutStrike = 2.5;
    r->m_dUnderlyingPrice = 2.6; // the call is in the money, the put is not
    return r;
}

ttservice::CInstrumentDetailPtr option(const QString& code, const QString& name, double strike)
{
    auto d = std::make_shared<ttservice::CInstrumentDetail>();
    d->market = QStringLiteral("SHO");
    d->code = code;
    d->name = name;
    d->type = ttservice::eInstrOption;
    d->optUnderlyingMarket = QStringLiteral("SH");
    d->optUnderlyingCode = QStringLiteral("510050");
    d->strike = strike;
    return d;
}

} // namespace

class TestOptionRow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { CHpfOptionBrowserData::setSegmentFlag(0); }

    void columns_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("header");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("color");
        QTest::addColumn<QString>("background");
        const QString rise = QStringLiteral("ic_clr_browse_rise");
        const QString fall = QStringLiteral("ic_clr_browse_fall");
        const QString eq = QStringLiteral("ic_clr_browse_equal");
        const QString itm = QStringLiteral("ic_clr_table_motion_rise_bg1");
        const QString none;
        struct Row {
            int column;
            const char* header;
            int type;
            const char* text;
            QString color, background;
        };
        const Row rows[] = {
            {0, "预估保证金", 6, "12345.6780", eq, itm},
            {1, "行权价格", 6, "2.5000", rise, itm},
            {2, "合约单位", 6, "10000", eq, itm},
            {3, "行权方式", 10, "欧式", eq, itm},
            {4, "行权终止日", 10, "20240626", eq, itm},
            {5, "期权到期日", 10, "20240626", eq, itm},
            {6, "历波%", 10, "23.45", eq, itm},
            {7, "rho", 6, "0.1111", eq, itm},
            {8, "vega", 6, "0.2222", eq, itm},
            {9, "theta", 6, "-0.3333", eq, itm},
            {10, "gamma", 6, "1.4444", eq, itm},
            {11, "delta", 6, "0.5555", eq, itm},
            {12, "真实杠杆率", 6, "6.6666", eq, itm},
            {13, "杠杆比率", 6, "12.1212", eq, itm},
            {14, "溢价率", 6, "0.0414", eq, itm},
            {15, "历史波动率", 6, "0.2345", eq, itm},
            {16, "时间价值", 6, "0.0316", eq, itm},
            {17, "内在价值", 6, "0.0717", eq, itm},
            {18, "期权理论价值", 6, "2.6018", eq, itm},
            {19, "隐含波动率", 6, "0.2219", eq, itm},
            {20, "持仓量", 6, "1234", eq, itm},
            {21, "总量", 2, "567", eq, itm},
            {22, "买价", 6, "0.1022", rise, itm},
            {23, "卖价", 6, "0.1023", rise, itm},
            {24, "涨幅", 6, "1.53%", rise, itm},
            {25, "涨跌", 6, "0.0125", rise, itm},
            {26, "最新价", 6, "0.1026", rise, itm},
            {27, "合约代码", 10, "10007001", QStringLiteral("ic_clr_browse_stock_code"), itm},
            {28, "购<行权价>沽", 10, "2.5000", QStringLiteral("ic_clr_browse_stock_name"),
             QStringLiteral("ic_clr_table_under_exercise_price_bg1")},
            {29, "合约代码", 10, "10007002", QStringLiteral("ic_clr_browse_stock_code"), none},
            {30, "最新价", 6, "0.2030", fall, none},
            {31, "涨跌", 6, "-0.0131", fall, none},
            {32, "涨幅", 6, "-5.32%", fall, none},
            {33, "卖价", 6, "0.2033", fall, none},
            {34, "买价", 6, "0.2034", fall, none},
            {35, "总量", 2, "89", eq, none},
            {36, "持仓量", 6, "4321", eq, none},
            {37, "隐含波动率", 6, "0.2537", eq, none},
            {38, "期权理论价值", 6, "2.2038", eq, none},
            {39, "内在价值", 6, "-", eq, none},
            {40, "时间价值", 6, "-", eq, none},
            {41, "历史波动率", 6, "0.3141", eq, none},
            {42, "溢价率", 6, "0.0442", eq, none},
            {43, "杠杆比率", 6, "9.0443", eq, none},
            {44, "真实杠杆率", 6, "4.0444", eq, none},
            {45, "delta", 6, "-0.4545", eq, none},
            {46, "gamma", 6, "1.4646", eq, none},
            {47, "theta", 6, "-0.4747", eq, none},
            {48, "vega", 6, "0.4848", eq, none},
            {49, "rho", 6, "-0.4949", eq, none},
            {50, "历波%", 10, "31.41", eq, none},
            {51, "期权到期日", 10, "20240625", eq, none},
            {52, "行权终止日", 10, "20240626", eq, none},
            {53, "行权方式", 10, "欧式", eq, none},
            {54, "合约单位", 6, "10000", eq, none},
            {55, "行权价格", 6, "2.5000", fall, none},
            {56, "预估保证金", 6, "-", eq, none},
            {57, "", 0, "-", eq, none},
            {-1, "", 0, "-", eq, none},
        };
        for (const Row& r : rows)
            QTest::newRow(qPrintable(QStringLiteral("column %1").arg(r.column)))
                << r.column << QString::fromUtf8(r.header) << r.type << QString::fromUtf8(r.text)
                << r.color << r.background;
    }

    void columns()
    {
        QFETCH(int, column);
        QFETCH(QString, header);
        QFETCH(int, type);
        QFETCH(QString, text);
        QFETCH(QString, color);
        QFETCH(QString, background);
        CHpfOptionBrowserDataModel model;
        QCOMPARE(model.columnCount(), 57);
        QCOMPARE(model.headerText(column), header);
        QCOMPARE(model.columnValueType(column), type);
        auto row = filledRow();
        QCOMPARE(row->getText(column), text);
        const QColor* expected = XP::CUiResource::instance().getColor(color);
        QVERIFY(expected);
        QCOMPARE(row->getTextColor(column), expected);
        QCOMPARE(row->getBackgroundColor(column),
                 background.isEmpty() ? nullptr : XP::CUiResource::instance().getColor(background));
        if (!background.isEmpty())
            QVERIFY(row->getBackgroundColor(column));
    }

    // Sort values: the double and integer columns give their fields, no column a 64-bit one.
    void sortValues()
    {
        auto row = filledRow();
        QCOMPARE(row->getDouble(26), 0.1026);
        QCOMPARE(row->getDouble(34), 0.2034);
        QCOMPARE(row->getDouble(27), kUnset);
        QCOMPARE(row->getInt(21), 567);
        QCOMPARE(row->getInt(35), 89);
        QCOMPARE(row->getInt(20), CHpfOptionBrowserData::kUnsetInt);
        QCOMPARE(row->getLonglong(21), Q_INT64_C(9223372036854775807));
        QCOMPARE(row->getKey(), QStringLiteral("2.5000"));
        // the strike column sorts by strike, also across a change of digit count
        CHpfOptionBrowserData low(QStringLiteral("9.7500"), QStringLiteral("9.7500"));
        CHpfOptionBrowserData high(QStringLiteral("10.0000"), QStringLiteral("10.0000"));
        QVERIFY(low.getString(28) < high.getString(28));
        QCOMPARE(high.getText(28), QStringLiteral("10.0000"));
    }

    // A fresh row and a call-only row: unset doubles, the calculator's failure value and
    // unset integers show "-"; put code and dates stay empty.
    void unsetValues()
    {
        CHpfOptionBrowserData row(QStringLiteral("k"), QStringLiteral("2.5000"));
        auto d = option(QStringLiteral("10007001"), QStringLiteral("50ETF购6月2500"), 2.5);
        d->expiryYmd = 20240626;
        d->contractUnit = 10000;
        d->histVolatility = 0.2;
        row.fillStatic(*d, true);
        row.m_dCallLast = CHpfOptionBrowserData::kNotComputed;
        QCOMPARE(row.getText(26), QStringLiteral("-"));
        QCOMPARE(row.getText(27), QStringLiteral("10007001"));
        QCOMPARE(row.getText(4), QStringLiteral("20240626"));
        QCOMPARE(row.getText(1), QStringLiteral("2.5000"));
        QCOMPARE(row.getText(6), QStringLiteral("20.00"));
        for (int c = 29; c <= 56; ++c) {
            const QString t = row.getText(c);
            if (c == 52 || c == 53) // one field for both sides
                continue;
            QVERIFY2(t == QStringLiteral("-") || t.isEmpty(), qPrintable(QString::number(c) + t));
        }
        QCOMPARE(row.getText(29), QString());
        QCOMPARE(row.getText(51), QString());
        QCOMPARE(row.getText(50), QStringLiteral("-")); // no "非法值" for an unset side
        QCOMPARE(row.getText(21), QStringLiteral("-"));
        // a value one step below the unset mark is still unset
        row.m_dCallBid = kUnset * (1 - 1e-300);
        QCOMPARE(row.getText(22), QStringLiteral("-"));
    }

    // Digit grouping of the user applies to four-decimal and integer columns, never to
    // the change percent.
    void segmentedNumbers()
    {
        CHpfOptionBrowserData::setSegmentFlag(XP::FMT_SEGMENT);
        auto row = filledRow();
        QCOMPARE(row->getText(0), QStringLiteral("12,345.6780"));
        QCOMPARE(row->getText(36), QStringLiteral("4,321"));
        row->m_nCallVolume = 1234567;
        QCOMPARE(row->getText(21), QStringLiteral("1,234,567"));
        QCOMPARE(row->getText(24), QStringLiteral("1.53%"));
    }

    void backgrounds_data()
    {
        QTest::addColumn<double>("underlying");
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("callItm");
        QTest::addColumn<bool>("putItm");
        QTest::addColumn<QString>("strikeBackground");
        QTest::newRow("call in the money")
            << 2.6 << 2 << true << false << "ic_clr_table_under_exercise_price_bg1";
        QTest::newRow("put in the money")
            << 2.4 << 1 << false << true << "ic_clr_table_above_exercise_price_bg1";
        QTest::newRow("on the strike")
            << 2.5 << 0 << false << false << "ic_clr_table_motion_rise_bg1";
        QTest::newRow("within tolerance")
            << 2.500004 << 2 << false << false << "ic_clr_table_under_exercise_price_bg1";
        QTest::newRow("no underlying") << kUnset << 1 << false << false << "";
    }

    void backgrounds()
    {
        QFETCH(double, underlying);
        QFETCH(int, position);
        QFETCH(bool, callItm);
        QFETCH(bool, putItm);
        QFETCH(QString, strikeBackground);
        auto row = filledRow();
        row->m_dUnderlyingPrice = underlying;
        row->m_nStrikePosition = position;
        const QColor* itm = colorOf("ic_clr_table_motion_rise_bg1");
        QVERIFY(itm);
        for (int c : {0, 13, 27})
            QCOMPARE(row->getBackgroundColor(c), callItm ? itm : nullptr);
        for (int c : {29, 44, 56})
            QCOMPARE(row->getBackgroundColor(c), putItm ? itm : nullptr);
        QCOMPARE(row->getBackgroundColor(28),
                 strikeBackground.isEmpty()
                     ? nullptr
                     : XP::CUiResource::instance().getColor(strikeBackground));
    }

    void rowKeys_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("strike");
        QTest::addColumn<int>("flag");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("strikeText");
        const auto row = [](const char* tag, const char* code, const char* name, double strike,
                            int flag, const char* key, const char* strikeText) {
            QTest::newRow(tag) << QString(code) << QString(name) << strike << flag << QString(key)
                               << QString(strikeText);
        };
        row("code without dash", "10007001", "50ETF购6月2500", 2.5, 0, "2.5000", "2.5000");
        row("adjusted", "10007101", "50ETF购6月2452A", 2.452, 0, "2.4520A", "2.4520A");
        row("series", "IO2406-C-3500", "沪深300购2406-3500", 3500.0, 0, "IO2406_3500.0000",
            "3500.0000");
        row("series, grouped", "IO2406-P-3500", "沪深300沽2406-3500", 3500.0, int(XP::FMT_SEGMENT),
            "IO2406_3,500.0000", "3,500.0000");
        row("series adjusted", "m2409-C-3000", "豆粕购A", 3000.0, 0, "m2409_3000.0000A",
            "3000.0000A");
    }

    void rowKeys()
    {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(double, strike);
        QFETCH(int, flag);
        QFETCH(QString, key);
        QFETCH(QString, strikeText);
        auto d = option(code, name, strike);
        QCOMPARE(CHpfOptionBrowserData::rowKey(d.get(), flag), key);
        QCOMPARE(CHpfOptionBrowserData::strikeTextOfKey(key), strikeText);
    }

    // Call and put of one series and strike share a key; no option data, no key.
    void rowKeyPairsAndGaps()
    {
        auto call = option(QStringLiteral("IO2406-C-3500"), QStringLiteral("购"), 3500);
        auto put = option(QStringLiteral("IO2406-P-3500"), QStringLiteral("沽"), 3500);
        QCOMPARE(CHpfOptionBrowserData::rowKey(call.get(), 0),
                 CHpfOptionBrowserData::rowKey(put.get(), 0));
        auto plain = option(QStringLiteral("IO2406-C-3500"), QStringLiteral("购"), 3500);
        plain->optUnderlyingCode.clear();
        QCOMPARE(CHpfOptionBrowserData::rowKey(plain.get(), 0), QString());
        QCOMPARE(CHpfOptionBrowserData::rowKey(nullptr, 0), QString());
    }

    void strikePositions_data()
    {
        QTest::addColumn<double>("price");
        QTest::addColumn<QVector<int>>("positions"); // strikes 2.3 .. 2.7
        QTest::newRow("between") << 2.55 << QVector<int>{0, 0, 2, 1, 0};
        QTest::newRow("on a strike stops the walk") << 2.5 << QVector<int>{0, 0, 2, 0, 0};
        QTest::newRow("below all") << 2.0 << QVector<int>{1, 0, 0, 0, 0};
        QTest::newRow("above all") << 3.0 << QVector<int>{0, 0, 0, 0, 2};
        QTest::newRow("unset keeps") << kUnset << QVector<int>{7, 7, 7, 7, 7};
        QTest::newRow("zero keeps") << 0.0 << QVector<int>{7, 7, 7, 7, 7};
    }

    void strikePositions()
    {
        QFETCH(double, price);
        QFETCH(QVector<int>, positions);
        std::vector<boost::shared_ptr<CHpfOptionBrowserData>> owned;
        std::vector<CHpfOptionBrowserData*> rows;
        for (double k : {2.3, 2.4, 2.5, 2.6, 2.7}) {
            owned.push_back(
                boost::make_shared<CHpfOptionBrowserData>(QString::number(k), QString::number(k)));
            owned.back()->m_dCallStrike = k;
            owned.back()->m_nStrikePosition = 7;
            rows.push_back(owned.back().get());
        }
        updateStrikePositions(rows, price);
        QVector<int> got;
        for (auto* r : rows)
            got.append(r->m_nStrikePosition);
        QCOMPARE(got, positions);
    }

    // Totals skip unset values and sum volumes in 64 bits.
    void statisticsRow()
    {
        CHpfOptionBrowserDataModel model;
        auto a = filledRow();
        auto b = boost::make_shared<CHpfOptionBrowserData>(QStringLiteral("b"),
                                                           QStringLiteral("2.6000"));
        b->m_dCallOpenInterest = 766; // a call-only row: the put side is unset
        b->m_nCallVolume = 2147483646;
        model.addData(a);
        model.addData(b);
        QCOMPARE(model.statText(20), XP::formatDoubleNumber(2000.0, 2, XP::FMT_BIGVALUE));
        QCOMPARE(model.statText(36), XP::formatDoubleNumber(4321.0, 2, XP::FMT_BIGVALUE));
        QCOMPARE(model.statText(21),
                 XP::formatDoubleNumber(2147483646.0 + 567, 2, XP::FMT_BIGVALUE));
        QCOMPARE(model.statText(35), XP::formatDoubleNumber(89.0, 2, XP::FMT_BIGVALUE));
        QVERIFY(!model.statText(21).contains(QStringLiteral("非法值")));
        QCOMPARE(model.statText(26), QString());
        QVERIFY(!model.columnFlag(20));
    }
};

QTEST_MAIN(TestOptionRow)
#include "tst_optionrow.moc"
