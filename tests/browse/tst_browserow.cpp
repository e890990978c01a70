// Row records and the browse model: cell text, string and number rules per value type
// and precision code, the no-value mark, saturating integers and text colours.
#include "browse/BrowseTypes.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/HpfBrowserData.h"
#include "host/data/Config.h"
#include "host/data/UserConfig.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/UiResource.h"

#include <QtTest>

#include <QTemporaryDir>

#include <cmath>
#include <limits>

using namespace TC;
using ttmarket::TestMarket;

namespace {

constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Column layout of the fixture model.
enum {
    ColQuoteA = 3,    // quote slot 0
    ColQuoteB = 4,    // quote slot 1
    ColIndicator = 5, // indicator slot 0
    ColLinkCode = 6,  // quote id 64, text
    ColLonglong = 7,  // quote slot 2, value type 4
    ColDouble = 8,    // quote slot 3, value type 6
    ColOutside = 9,   // quote slot 99: outside every row's vector
    ColNone = 10,     // in no table
    ColLinkName = 11, // quote id 65, text
    ColumnBound = 12
};

} // namespace

class TstBrowseRow : public QObject {
    Q_OBJECT
    QTemporaryDir m_userDir;
    std::unique_ptr<CHpfBrowserDataModel> m_model;
    HpfBrowserDataPtr m_row;

    void buildModel(int indicatorPrecision)
    {
        m_model.reset(new CHpfBrowserDataModel());
        m_model->setQuoteSlot(ColQuoteA, 0);
        m_model->setQuoteSlot(ColQuoteB, 1);
        m_model->setQuoteSlot(ColLonglong, 2);
        m_model->setValueType(ColLonglong, ValueType_Longlong);
        m_model->setQuoteSlot(ColDouble, 3);
        m_model->setValueType(ColDouble, ValueType_Double);
        m_model->setQuoteSlot(ColOutside, 99);
        m_model->setQuoteId(ColLinkCode, QC_LINK_CODE);
        m_model->setValueType(ColLinkCode, ValueType_Text);
        m_model->setQuoteId(ColLinkName, QC_LINK_NAME);
        m_model->setValueType(ColLinkName, ValueType_Text);
        m_model->addIndicatorColumn(ColIndicator, indicatorPrecision);

        m_row.reset(new HpfBrowserData());
        m_row->key = QStringLiteral("SH600000");
        m_row->market = QStringLiteral("SH");
        m_row->code = QStringLiteral("600000");
        m_row->name = QStringLiteral("浦发银行");
        m_row->industry = QStringLiteral("银行");
        m_row->industryFallback = QStringLiteral("金融");
        m_row->underlyingCode = QStringLiteral("600001");
        m_row->underlyingName = QStringLiteral("邯郸钢铁");
        m_row->initValues(4, m_model->indicatorCount(), ColumnBound);
        m_model->attachRow(*m_row);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_userDir.isValid());
        qputenv("TT_USER_DIR", m_userDir.path().toUtf8());
        TestMarket::install({TestMarket::stock("SH", "600000", "浦发银行", 10.0)});
    }
    void cleanupTestCase() { TestMarket::restore(); }
    void init() { buildModel(2); }
    void cleanup() { getUserConfig()->setVolumeFlag(false); }

    void fixedColumns()
    {
        QCOMPARE(m_row->getText(0), QStringLiteral("600000"));
        QCOMPARE(m_row->getText(1), QStringLiteral("浦发银行"));
        QCOMPARE(m_row->getText(2), QStringLiteral("银行"));
        m_row->industry.clear();
        QCOMPARE(m_row->getText(2), QStringLiteral("金融")); // the fallback only when empty
        QCOMPARE(m_row->getString(2), QString());
        QCOMPARE(m_row->getInt(ColQuoteA), 2147483647);
        QCOMPARE(m_row->getKey(), QStringLiteral("SH600000"));
    }

    // getText of a quote cell by its stored precision code.
    void quoteTextByPrecision_data()
    {
        QTest::addColumn<QString>("market");
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("precision");
        QTest::addColumn<bool>("volumeUndivided");
        QTest::addColumn<QString>("expected");
        const QString sh = QStringLiteral("SH"), code = QStringLiteral("600000");
        QTest::newRow("2 decimals") << sh << code << 10.5 << 2 << false << "10.50";
        QTest::newRow("0 decimals") << sh << code << 1234.0 << 0 << false << "1234";
        QTest::newRow("3 decimals") << sh << code << 1.23456 << 3 << false << "1.235";
        QTest::newRow("no value") << sh << code << kNoValue << 2 << false << "-";
        QTest::newRow("no value, lots") << sh << code << kNoValue << -6 << false << "-";
        QTest::newRow("-5 hidden") << sh << code << 10.5 << -5 << false << "-";
        QTest::newRow("-4 weight percent") << sh << code << 0.1234 << -4 << false << "12.340";
        QTest::newRow("-3 percent") << sh << code << 0.0153 << -3 << false << "1.53%";
        QTest::newRow("-2 big value") << sh << code << 12345678.0 << -2 << false << "1234.57万";
        QTest::newRow("-6 lots of 100") << sh << code << 12345.0 << -6 << false << "123";
        QTest::newRow("-6 volume flag keeps shares")
            << sh << code << 12345.0 << -6 << true << "12345";
        QTest::newRow("-6 unknown instrument")
            << sh << "999999" << 12345.0 << -6 << false << "12345";
        QTest::newRow("-6 futures market") << "CFFEX"
                                           << "IF2503" << 12345.0 << -6 << false << "12345";
        QTest::newRow("-1 falls back to 2") << sh << code << 10.5 << -1 << false << "10.50";
    }
    void quoteTextByPrecision()
    {
        QFETCH(QString, market);
        QFETCH(QString, code);
        QFETCH(double, value);
        QFETCH(int, precision);
        QFETCH(bool, volumeUndivided);
        QFETCH(QString, expected);
        getUserConfig()->setVolumeFlag(volumeUndivided);
        m_row->market = market;
        m_row->code = code;
        m_row->setQuoteValue(0, value, precision);
        QCOMPARE(m_row->getText(ColQuoteA), expected);
    }

    void indicatorTextUsesSlotPrecision_data()
    {
        QTest::addColumn<int>("precision");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("string");
        const auto row = [](const char* tag, int precision, const QVariant& value, const char* text,
                            const char* string) {
            QTest::newRow(tag) << precision << value << QString(text) << QString(string);
        };
        row("number, 2", 2, QVariant(3.14159), "3.14", "3.14159");
        row("number, 4", 4, QVariant(3.14159), "3.1416", "3.14159");
        row("percent", -3, QVariant(0.5), "50.00%", "0.5");
        row("no value", 2, QVariant(kNoValue), "-", "-");
        row("nan", 2, QVariant(kNaN), "-", "nan");
        row("infinite", 2, QVariant(kInf), "-", "-");
        row("empty text", 2, QVariant(QString()), "-", "-");
        row("text", 2, QVariant(QStringLiteral("买入")), "-", "买入");
    }
    void indicatorTextUsesSlotPrecision()
    {
        QFETCH(int, precision);
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QFETCH(QString, string);
        buildModel(precision);
        m_row->setIndicatorValue(0, value);
        QCOMPARE(m_row->getText(ColIndicator), text);
        QCOMPARE(m_row->getString(ColIndicator), string);
    }

    void valueTypeColumns()
    {
        m_row->setQuoteValue(2, 1234567.0, 3);
        m_row->setQuoteValue(3, 2.5, 3);
        QCOMPARE(m_row->getText(ColLonglong), QStringLiteral("1234567"));
        QCOMPARE(m_row->getText(ColDouble), QStringLiteral("2.500"));
        m_row->setQuoteValue(2, kNoValue, 3);
        m_row->setQuoteValue(3, kNoValue, 3);
        QCOMPARE(m_row->getText(ColLonglong), QStringLiteral("-"));
        QCOMPARE(m_row->getText(ColDouble), QStringLiteral("-"));
        QCOMPARE(m_row->getText(ColLinkCode), QStringLiteral("600001"));
        QCOMPARE(m_row->getText(ColLinkName), QStringLiteral("邯郸钢铁"));
        QCOMPARE(m_model->columnValueType(ColLinkCode), int(ValueType_Text));
        QCOMPARE(m_model->columnValueType(ColLonglong), int(ValueType_Longlong));
        QCOMPARE(m_model->columnValueType(1), int(ValueType_Text));
        QCOMPARE(m_model->columnValueType(ColQuoteA), int(ValueType_Double));
        QCOMPARE(m_model->columnCount(), 3);
        QCOMPARE(m_model->headerText(ColQuoteA), QString());
        QCOMPARE(m_model->statText(ColQuoteA), QString());
    }

    void stringOfQuoteColumns()
    {
        m_row->setQuoteValue(0, 10.5, 2);
        QCOMPARE(m_row->getString(ColQuoteA), QStringLiteral("10.500"));
        QCOMPARE(m_row->getString(ColQuoteB), QStringLiteral("-")); // no value yet
        QCOMPARE(m_row->getString(ColOutside), QStringLiteral("-"));
        QCOMPARE(m_row->getString(ColNone), QStringLiteral("-"));
        QCOMPARE(m_row->getText(ColNone), QStringLiteral("0.00")); // the number 0.0 of getDouble
    }

    void doubleOfCells_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<double>("stored");
        QTest::addColumn<double>("expected");
        QTest::newRow("quote") << int(ColQuoteA) << 10.5 << 10.5;
        QTest::newRow("quote no value") << int(ColQuoteA) << kNoValue << kNoValue;
        QTest::newRow("slot outside the vector") << int(ColOutside) << 10.5 << kNoValue;
        QTest::newRow("in no table") << int(ColNone) << 10.5 << 0.0;
        QTest::newRow("negative column") << -1 << 10.5 << 0.0;
        QTest::newRow("huge column") << 999999 << 10.5 << 0.0;
        QTest::newRow("indicator") << int(ColIndicator) << 2.5 << 2.5;
        QTest::newRow("indicator nan") << int(ColIndicator) << kNaN << kNoValue;
        QTest::newRow("indicator -inf") << int(ColIndicator) << -kInf << kNoValue;
    }
    void doubleOfCells()
    {
        QFETCH(int, column);
        QFETCH(double, stored);
        QFETCH(double, expected);
        m_row->setQuoteValue(0, stored, 2);
        m_row->setIndicatorValue(0, QVariant(stored));
        QCOMPARE(m_row->getDouble(column), expected);
    }

    // Saturating: never the undefined conversion of NaN, infinities or the no-value mark.
    void longlongOfCells_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<double>("stored");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("in range") << int(ColQuoteA) << 42.9 << qint64(42);
        QTest::newRow("negative in range") << int(ColQuoteA) << -42.9 << qint64(-42);
        QTest::newRow("large exact")
            << int(ColQuoteA) << 9007199254740992.0 << qint64(9007199254740992LL);
        QTest::newRow("no value") << int(ColQuoteA) << kNoValue << kMax;
        QTest::newRow("+inf") << int(ColQuoteA) << kInf << kMax;
        QTest::newRow("nan") << int(ColQuoteA) << kNaN << kMax;
        QTest::newRow("-inf") << int(ColQuoteA) << -kInf << kMin;
        QTest::newRow("-1e300") << int(ColQuoteA) << -1e300 << kMin;
        QTest::newRow("2^63") << int(ColQuoteA) << 9223372036854775808.0 << kMax;
        QTest::newRow("slot outside the vector") << int(ColOutside) << 1.0 << kMin;
        QTest::newRow("in no table") << int(ColNone) << 1.0 << kMax;
        QTest::newRow("indicator") << int(ColIndicator) << 7.0 << qint64(7);
        QTest::newRow("indicator nan") << int(ColIndicator) << kNaN << kMax;
        QTest::newRow("indicator -inf") << int(ColIndicator) << -kInf << kMin;
    }
    void longlongOfCells()
    {
        QFETCH(int, column);
        QFETCH(double, stored);
        QFETCH(qint64, expected);
        m_row->setQuoteValue(0, stored, 2);
        m_row->setIndicatorValue(0, QVariant(stored));
        QCOMPARE(m_row->getLonglong(column), expected);
    }

    void writesOutsideTheVectorsAreSkipped()
    {
        const auto values = m_row->quoteValues;
        m_row->setQuoteValue(-1, 1.0, 2);
        m_row->setQuoteValue(4, 1.0, 2);
        m_row->setQuoteValue(100000, 1.0, 2);
        m_row->setIndicatorValue(5, QVariant(1.0));
        m_row->setTextColorIndex(-1, 1);
        m_row->setTextColorIndex(ColumnBound + 10, 1);
        QCOMPARE(m_row->quoteValues, values);
        QCOMPARE(m_row->indicatorValues.size(), 1);
        QCOMPARE(m_row->textColors.size(), int(ColumnBound));
    }

    void indicatorSlotOutsideARowsVector()
    {
        // a row built before the model gained a second indicator column
        HpfBrowserDataPtr old(new HpfBrowserData());
        old->initValues(4, 1, ColumnBound);
        m_model->attachRow(*old);
        m_model->addIndicatorColumn(ColNone, 2); // no rows in the model: only the table grows
        QCOMPARE(m_model->indicatorSlot(ColNone), 1);
        QCOMPARE(old->getText(ColNone), QStringLiteral("-"));
        QCOMPARE(old->getString(ColNone), QStringLiteral("-"));
        QCOMPARE(old->getDouble(ColNone), kNoValue);
        QCOMPARE(old->getLonglong(ColNone), kMax);
        m_model->fitRow(*old, ColumnBound);
        QCOMPARE(old->indicatorValues.size(), 2);
        QCOMPARE(old->getText(ColNone), QStringLiteral("-"));
    }

    void addingAnIndicatorColumnGrowsRows()
    {
        m_model->addData(m_row);
        m_model->addIndicatorColumn(20, 3);
        QCOMPARE(m_row->indicatorValues.size(), 2);
        QVERIFY(m_row->textColors.size() > 20);
        QCOMPARE(m_row->getText(20), QStringLiteral("-"));
        m_row->setIndicatorValue(1, QVariant(1.5));
        QCOMPARE(m_row->getText(20), QStringLiteral("1.500"));
    }

    void clearValuesKeepsIndicators()
    {
        m_model->addData(m_row);
        m_row->setQuoteValue(0, 10.5, 2);
        m_row->setIndicatorValue(0, QVariant(2.0));
        m_model->clearValues();
        QCOMPARE(m_row->getText(ColQuoteA), QStringLiteral("-"));
        QCOMPARE(m_row->getDouble(ColIndicator), 2.0);
    }

    void textColours()
    {
        auto& res = XP::CUiResource::instance();
        const QColor* equal = res.getColor(QStringLiteral("ic_clr_browse_equal"));
        const QColor* rise = res.getColor(QStringLiteral("ic_clr_browse_rise"));
        QVERIFY(equal && rise && equal != rise);
        const int riseIdx = m_model->paletteIndex(QStringLiteral("ic_clr_browse_rise"));
        QVERIFY(riseIdx > 0);
        m_row->setTextColorIndex(ColQuoteA, riseIdx);
        QCOMPARE(m_row->getTextColor(ColQuoteA), rise);
        QCOMPARE(*m_row->getTextColorKey(ColQuoteA), QStringLiteral("ic_clr_browse_rise"));
        QCOMPARE(m_row->getTextColor(ColQuoteB), equal);       // no colour set
        QCOMPARE(m_row->getTextColor(ColumnBound + 5), equal); // beyond the vector
        QCOMPARE(m_row->getTextColor(-1), equal);
        QVERIFY(!m_row->getTextColorKey(ColumnBound + 5));
        const int unknown = m_model->paletteIndex(QStringLiteral("no_such_colour_key"));
        m_row->setTextColorIndex(ColQuoteB, unknown);
        QCOMPARE(m_row->getTextColor(ColQuoteB), equal); // a key naming no colour
    }

    void rowWithoutModelAnswersSafely()
    {
        HpfBrowserData loose;
        loose.code = QStringLiteral("600000");
        QCOMPARE(loose.getText(0), QStringLiteral("600000"));
        QCOMPARE(loose.getText(ColQuoteA), QString());
        QCOMPARE(loose.getString(ColQuoteA), QStringLiteral("-"));
        QCOMPARE(loose.getDouble(ColQuoteA), 0.0);
        QCOMPARE(loose.getLonglong(ColQuoteA), kMax);
        QVERIFY(loose.getTextColor(ColQuoteA));
    }
};

QTEST_MAIN(TstBrowseRow)
#include "tst_browserow.moc"
