// Host stores behind the browse table's data columns: the external-data series, the
// user-defined field store, extended data at a date, and the correlation computation.
#include "host/data/Correlation.h"
#include "host/data/ExtendDataManager.h"
#include "host/data/ExternalDataManager.h"
#include "host/data/FormulaTypes.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedMarket.h"
#include "host/market/TestMarket.h"

#include <QtTest>

#include <QSet>

using namespace TC;
using ttmarket::TestMarket;

class TstDataStores : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        TestMarket::install({TestMarket::stock(QStringLiteral("SH"), QStringLiteral("600000"),
                                               QStringLiteral("浦发银行"), 10.0),
                             TestMarket::stock(QStringLiteral("SH"), QStringLiteral("600004"),
                                               QStringLiteral("白云机场"), 12.0)});
    }
    void cleanupTestCase() { TestMarket::restore(); }

    // A dozen and more series, each with its own period, the same after every reset.
    void externalSeries()
    {
        auto* e = CExternalDataManager::instance();
        e->reset();
        QList<CExternalDataInfoPtr> all;
        for (const char* set : {"宏观指标", "自定义因子", "公共数据"})
            all += e->getDataList(QString::fromUtf8(set));
        QVERIFY(all.size() >= 12);
        QSet<int> periods;
        QSet<QString> codes;
        QMap<QString, QVector<QPair<qint64, double>>> first;
        for (const CExternalDataInfoPtr& info : all) {
            periods.insert(info->period);
            codes.insert(info->code);
            const auto series = e->getSeries(info->code);
            QVERIFY2(series.size() >= 12, qPrintable(info->code));
            // spaced by the series' period and ending with its latest value
            QCOMPARE(series[1].first - series[0].first, qint64(info->period) * 1000);
            QCOMPARE(series.last().second, info->lastValue);
            first.insert(info->code, series);
        }
        QCOMPARE(codes.size(), all.size());
        QCOMPARE(periods, (QSet<int>{86400, 30 * 86400, 91 * 86400}));
        e->reset();
        for (auto it = first.cbegin(); it != first.cend(); ++it)
            QCOMPARE(e->getSeries(it.key()), it.value());
    }

    void fieldNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "目标价" << true;
        QTest::newRow("64 characters") << QString(64, QLatin1Char('x')) << true;
        QTest::newRow("200 characters") << QString(200, QLatin1Char('x')) << false;
        QTest::newRow("comma") << "a,b" << false;
        QTest::newRow("colon") << "a:b" << false;
        QTest::newRow("newline") << "a\nb" << false;
        QTest::newRow("blank") << "  " << false;
    }
    void fieldNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QString why;
        QCOMPARE(se::FieldParams::isValidFieldName(name, &why), valid);
        QCOMPARE(why.isEmpty(), valid);
    }

    void fieldValues_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("number") << " 12.5 " << true << 12.5;
        QTest::newRow("negative") << "-3" << true << -3.0;
        QTest::newRow("text") << "abc" << false << 0.0;
        QTest::newRow("nan") << "nan" << false << 0.0;
        QTest::newRow("infinite") << "inf" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
    }
    void fieldValues()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        double v = 0.0;
        QCOMPARE(se::FieldParams::parseValue(text, &v), ok);
        QCOMPARE(v, value);
    }

    // Values per sector, field and instrument; the field's default where none was typed.
    void fieldStore()
    {
        se::FieldParams::clear();
        se::FieldParams::setDefault(QStringLiteral("f"), QStringLiteral("2.5"));
        se::FieldParams::setData(QStringLiteral("A"), QStringLiteral("f"), QStringLiteral("k"), 7);
        QCOMPARE(
            se::FieldParams::getData(QStringLiteral("A"), QStringLiteral("f"), QStringLiteral("k")),
            7.0);
        QCOMPARE(
            se::FieldParams::getData(QStringLiteral("B"), QStringLiteral("f"), QStringLiteral("k")),
            2.5);
        QVERIFY(!se::FieldParams::hasData(QStringLiteral("B"), QStringLiteral("f"),
                                          QStringLiteral("k")));
        QCOMPARE(se::FieldParams::getDefault(QStringLiteral("g")), QStringLiteral("0"));
    }

    // Market values take the close of the asked trading day.
    void extendedDataAtADate()
    {
        const QString key = XP::nvStockKey(QStringLiteral("SH"), QStringLiteral("600000"));
        const auto bars = ttmarket::EmbeddedMarket::instance()->dailyBars("SH", "600000");
        QVERIFY(bars.size() > 3);
        const auto detail = CStockManager::instance()->findByCode(key);
        QVERIFY(detail && detail->floatShares > 0);
        auto* x = CExtendDataManager::instance();
        for (size_t i : {bars.size() - 3, bars.size() - 1}) {
            double v = 0;
            QVERIFY(x->getValue(QStringLiteral("流通市值(亿)"), key, v, bars[i].time));
            QCOMPARE(v, detail->floatShares * bars[i].close / 1e8);
        }
        double v = 0;
        QVERIFY(!x->getValue(QStringLiteral("不存在"), key, v));
        QVERIFY(!x->getValue(QStringLiteral("总股本(亿)"), QStringLiteral("999999.SH"), v));
    }

    void correlation()
    {
        const QString a = XP::nvStockKey(QStringLiteral("SH"), QStringLiteral("600000"));
        const QString b = XP::nvStockKey(QStringLiteral("SH"), QStringLiteral("600004"));
        const QMap<QString, double> r =
            computeCorrelation(a, {a, b, QStringLiteral("999999.SH")}, 30);
        QVERIFY(std::fabs(r.value(a) - 1.0) < 1e-9);
        QVERIFY(r.contains(b) && r.value(b) >= -1.0 && r.value(b) <= 1.0);
        QVERIFY(!r.contains(QStringLiteral("999999.SH")));
        QVERIFY(computeCorrelation(QStringLiteral("999999.SH"), {a}, 30).isEmpty());
    }
};

QTEST_MAIN(TstDataStores)
#include "tst_datastores.moc"
