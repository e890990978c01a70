// Columns that do not come from formulas: the external-data layout and its fetches,
// extended-data columns, and user-defined (editable) field columns kept per sector.
#include "browse/CBrowseWidget.h"

#include "BrowseTestMarket.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "browse/HpfBrowserData.h"
#include "host/data/ColumnInfo.h"
#include "host/data/ExtendDataManager.h"
#include "host/data/ExternalDataManager.h"
#include "host/data/FormulaManager.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/TemporaryDataManager.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/EventWidget.h"
#include "host/toolkit/ToolkitEvents.h"
#include "host/widgets/COptionTextListDialog.h"

#include <QtTest>

#include <QApplication>
#include <QDateTime>

#include <cmath>
#include <limits>

using namespace TC;
using namespace browsetest;
using ttmarket::TestMarket;

namespace {

const QString kSectorA = QStringLiteral("自选A");
const QString kSectorB = QStringLiteral("自选B");

using Records = std::map<std::string, std::vector<quoter::QuoterBasePtr>>;

// The external entries of the demo sets, plus a duplicate and an entry without a code.
QList<CExternalDataInfo*> externalList()
{
    auto* e = CExternalDataManager::instance();
    QList<CExternalDataInfo*> list = e->getCatalogDataList(QStringLiteral("宏观指标"));
    list += e->getCatalogDataList(QStringLiteral("公共数据"));
    list.append(e->getCatalogDataList(QStringLiteral("宏观指标")).first()); // a duplicate
    static CExternalDataInfo blank;                                         // no code: skipped
    list.append(&blank);
    return list;
}

// The external layout over externalList().
void showExternal(CBrowseWidget& w)
{
    w.setExternalColumn();
    QList<CExternalDataInfo*> list = externalList();
    w.setDataList(list);
}

quoter::QuoterBasePtr bar(int64_t time, double close)
{
    auto b = std::make_shared<quoter::KLineData>();
    b->time = time;
    b->close = close;
    return b;
}

// Sends the table's commit events for an edited cell, as the line-edit delegate does.
void commitCell(CBrowseWidget& w, int column, const QString& key, const QString& text)
{
    QString rowKey = key;
    w.handleEvent(XP::EV_CELL_COMMITTED, 0, column, text, &rowKey);
    w.handleEvent(XP::EV_CELL_COMMITTED_KEY, 0, column, key, nullptr);
}

} // namespace

class TstBrowseExternal : public QObject {
    Q_OBJECT
    CBrowseWidget::InstrumentList m_list;

private Q_SLOTS:
    void initTestCase()
    {
        const Instruments instruments =
            stocks(QStringLiteral("SH"), {"600000", "600004", "600009"}, 10.0);
        installMarket(instruments);
        m_list = detailsOf(instruments);
        CExternalDataManager::instance()->reset();
    }

    void cleanupTestCase()
    {
        QVERIFY(indicatorWorkersDone());
        TestMarket::restore();
    }

    void init() { se::FieldParams::clear(); }

    void externalLayout_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("default type") << int(BrowseType_Default);
        QTest::newRow("net-buying type") << int(BrowseType_NetBuying);
    }
    void externalLayout()
    {
        QFETCH(int, type);
        auto* temporary = CTemporaryDataManager::instance();
        const int feedBefore = temporary->netBuyingClients();
        {
            CBrowseWidget w(nullptr, false, eBrowseType(type));
            const int feedOn = temporary->netBuyingClients();
            QCOMPARE(feedOn, feedBefore + (type == BrowseType_NetBuying ? 1 : 0));
            showExternal(w);

            QCOMPARE(w.getBrowserStatus(), int(BrowseStatus_External));
            QCOMPARE(int(w.browseType()), type); // the layout never changes the type
            QCOMPARE(temporary->netBuyingClients(), feedOn);
            CHpfBrowserTable* t = w.table();
            QStringList shown;
            for (int pos = 0; pos < t->columnCount(); ++pos) {
                const int id = t->columnIdAt(pos);
                if (t->isColumnVisible(id))
                    shown.append(t->headerText(id));
            }
            QCOMPARE(shown, (QStringList{"代码", "名称", "日期", "数值"}));
            QVERIFY(t->isColumnFilterable(0) && t->isColumnFilterable(1));

            // one row per distinct code, keyed "ED" + code, in code order
            QCOMPARE(w.model()->size(), 13);
            QCOMPARE(w.getStockListSize(), 13);
            QStringList codes;
            for (int i = 0; i < w.model()->size(); ++i)
                codes.append(w.model()->rowAt(i)->code);
            QStringList sorted = codes;
            std::sort(sorted.begin(), sorted.end());
            QCOMPARE(codes, sorted);
            QVERIFY(w.model()->rowByKey(QStringLiteral("EDCPI01")));

            // request() in the external layout asks for series, not quotes
            const int fetches = w.externalFetchCount();
            w.request();
            QVERIFY(w.externalFetchCount() > fetches);
            QVERIFY(w.wholeQuoteModel()->codeMap().empty());
        }
        QCOMPARE(temporary->netBuyingClients(), feedBefore);
    }

    void externalFetchGroupsByPeriodAndFillsRows()
    {
        CBrowseWidget w;
        showExternal(w);
        w.requestExternal();

        // one fetch per period: day, month and quarter series of the two sets
        const QMap<qint64, QStringList> plan = w.externalFetchPlan();
        QCOMPARE(plan.keys(), (QList<qint64>{86400000LL, 2592000000LL, 7862400000LL}));
        QCOMPARE(plan.value(7862400000LL), QStringList{QStringLiteral("GDP01")});
        int planned = 0;
        for (const QStringList& codes : plan)
            planned += codes.size();
        QCOMPARE(planned, 13);

        auto* e = CExternalDataManager::instance();
        for (const CExternalDataInfo* info : e->getCatalogDataList(QStringLiteral("公共数据"))) {
            const QString key = QStringLiteral("ED") + info->code;
            QTRY_COMPARE_WITH_TIMEOUT(cell(w, key, 3), info->lastValue, kWaitMs);
            QCOMPARE(w.model()->rowByKey(key)->getText(2),
                     QDateTime::fromMSecsSinceEpoch(info->lastTimeMs, Qt::OffsetFromUTC, 8 * 3600)
                         .toString(QStringLiteral("yyyy-MM-dd")));
        }
    }

    // Indicator columns of the external table are queued once, however often it requests.
    void externalRequestQueuesIndicatorsOnce()
    {
        CBrowseWidget w;
        showExternal(w);
        ColumnInfo ma;
        ma.formulaName = QStringLiteral("MA");
        ma.title = QStringLiteral("MA5");
        ma.period = 86400000;
        w.addCustomIndex(ma);
        w.requestExternal();
        w.requestExternal();
        w.request();
        QVERIFY(w.requestQueue().size() <= 1);
        QVERIFY(indicatorWorkersDone());
    }

    void externalDeliveryBadInput()
    {
        CBrowseWidget w;
        showExternal(w);
        Records data;
        data["EDCPI01"] = {};                                       // no records
        data["EDPMI01"] = {std::make_shared<quoter::QuoterBase>()}; // not a bar
        data["EDM2001"] = {bar(1000, std::nan(""))};                // no number
        data["EDPPI01"] = {bar(1000, 1.0), bar(86400000, 2.5)};     // the last one counts
        auto snapshot = std::make_shared<quoter::QuoterAllData>();
        snapshot->time = 86400000;
        snapshot->last = 7.25;
        data[utils::nvStockKey("ED", "USDCNY")] = {snapshot}; // a stock key, a snapshot
        data["EDNOSUCH"] = {bar(1000, 1.0)};                  // no such row
        w.fetchExternalDataBack(data);
        for (const char* key : {"EDCPI01", "EDPMI01", "EDM2001"})
            QVERIFY(isNoValue(cell(w, QString::fromLatin1(key), 3)));
        QCOMPARE(cell(w, QStringLiteral("EDPPI01"), 3), 2.5);
        QCOMPARE(cell(w, QStringLiteral("EDUSDCNY"), 3), 7.25);
        QCOMPARE(w.model()->size(), 13);
    }

    void removeExternalData_data()
    {
        QTest::addColumn<bool>("external");
        QTest::newRow("external layout: ED + code") << true;
        QTest::newRow("other layout: the bare code") << false;
    }
    void removeExternalData()
    {
        QFETCH(bool, external);
        CBrowseWidget w;
        w.setStockList(m_list);
        if (external)
            showExternal(w);
        const int before = w.model()->size();
        const QString code = external ? QStringLiteral("CPI01") : m_list.first()->key;
        w.removeExternalData(code);
        QCOMPARE(w.model()->size(), before - 1);
        QVERIFY(!w.model()->rowByKey(external ? QStringLiteral("EDCPI01") : code));
    }

    // The template commands are the host's: the widget only asks for them.
    void templateCommandsGoToTheHost()
    {
        CBrowseWidget w;
        QList<QPair<int, int>> sent;
        XP::CEventSink::setHandler(
            [&](QObject* sender, int id, int, int b, const QString&, void* p) {
                if (sender == &w && p == &w)
                    sent.append({id, b});
                return true;
            });
        w.addFuncMenuAction(QStringLiteral("导入模板"), 5)->trigger();
        w.addFuncMenuAction(QStringLiteral("导出模板"), 6)->trigger();
        XP::CEventSink::clearHandler();
        QCOMPARE(sent, (QList<QPair<int, int>>{{3264, 5}, {3264, 6}}));
    }

    void extendedColumns_data()
    {
        QTest::addColumn<bool>("getter");
        QTest::newRow("with a trade date") << true;
        QTest::newRow("without a trade-date getter") << false;
    }
    void extendedColumns()
    {
        QFETCH(bool, getter);
        CBrowseWidget w;
        w.setStockList(m_list);
        const int date = CStockManager::instance()->getLastTradingDay();
        if (getter)
            w.setGetTradeDateFunc([date]() { return date; });
        const QString name = QStringLiteral("流通市值(亿)");
        const QList<int> ids = w.addExtendColumns({name, name, QStringLiteral("总股本(亿)")});
        QCOMPARE(ids.size(), 2); // a name shown once
        QVERIFY(w.addExtendColumns({name}).isEmpty());
        QVERIFY(w.isExtendColID(ids[0]) && !w.isExtendColID(3));
        QList<QString> names;
        w.getExtendNames(names);
        QCOMPARE(names, (QList<QString>{"Extend_流通市值(亿)", "Extend_总股本(亿)"}));

        for (const auto& detail : m_list) {
            double expected = 0;
            QVERIFY(CExtendDataManager::instance()->getValue(name, detail->key, expected,
                                                             int64_t(date) * 1000));
            const double shown = cell(w, detail->key, ids[0]);
            if (getter)
                QCOMPARE(shown, expected);
            else
                QVERIFY(isNoValue(shown)); // left as it was, nothing thrown
        }
        w.updateExtendIndex(); // the per-switch refresh behaves the same
        QCOMPARE(isNoValue(cell(w, m_list.first()->key, ids[0])), !getter);
    }

    void userFieldTypedAndKeptPerSector()
    {
        CBrowseWidget w;
        w.setSectorName(kSectorA);
        w.setStockList(m_list);
        QSignalSpy updated(CFormulaManager::instance(), &CFormulaManager::sigUpdateCustomField);
        const int id = w.addCustomField(QStringLiteral("目标价"), QStringLiteral("10"));
        QVERIFY(id >= 0);
        QCOMPARE(se::FieldParams::getDefault(QStringLiteral("目标价")), QStringLiteral("10"));
        QVERIFY(w.isCustomEditableColumn(id));
        QCOMPARE(w.sectorFieldMap().value(kSectorA), QStringList{QStringLiteral("目标价")});
        QCOMPARE(updated.count(), 1);
        const QString key = m_list.first()->key;
        QCOMPARE(cell(w, key, id), 10.0); // the default until typed

        commitCell(w, id, key, QStringLiteral("12.5"));
        QCOMPARE(se::FieldParams::getData(kSectorA, QStringLiteral("目标价"), key), 12.5);
        QCOMPARE(cell(w, key, id), 12.5);
        QCOMPARE(updated.count(), 2);
        commitCell(w, id, key, QStringLiteral("abc")); // not a number: the value stays
        QCOMPARE(se::FieldParams::getData(kSectorA, QStringLiteral("目标价"), key), 12.5);
        QCOMPARE(w.model()->rowByKey(key)->getText(id), QStringLiteral("12.500"));
        QCOMPARE(updated.count(), 2);

        // another sector does not show A's field; coming back shows the typed value
        w.setSectorName(kSectorB);
        w.setStockList(m_list);
        QVERIFY(isNoValue(cell(w, key, id)));
        w.setSectorName(kSectorA);
        w.setStockList(m_list);
        QCOMPARE(cell(w, key, id), 12.5);
        QCOMPARE(cell(w, m_list.last()->key, id), 10.0);

        QStringList all;
        w.getAllField(all);
        QCOMPARE(all, QStringList{QStringLiteral("目标价")});
        w.removeColumnInfo(id);
        QVERIFY(!w.isCustomEditableColumn(id));
        QVERIFY(w.sectorFieldMap().value(kSectorA).isEmpty());
    }

    // Names and defaults are checked by the field store; the widget adds nothing for them.
    void userFieldBadInput_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("defaultValue");
        const auto row = [](const char* tag, const char* field, const char* defaultValue) {
            QTest::newRow(tag) << QString(field) << QString(defaultValue);
        };
        row("name with a separator", "a:b", "0");
        row("default not a number", "字段", "abc");
        row("already shown", "已有", "0");
    }
    void userFieldBadInput()
    {
        QFETCH(QString, field);
        QFETCH(QString, defaultValue);
        CBrowseWidget w;
        w.setSectorName(kSectorA);
        w.setStockList(m_list);
        QVERIFY(w.addCustomField(QStringLiteral("已有"), QStringLiteral("1")) >= 0);
        const int columns = w.columnList().size();
        QString why;
        QCOMPARE(w.addCustomField(field, defaultValue, &why), -1);
        QVERIFY(!why.isEmpty());
        QCOMPARE(w.columnList().size(), columns);
        QCOMPARE(w.sectorFieldMap().value(kSectorA), QStringList{QStringLiteral("已有")});
    }

    // The menu command: the dialog's new fields become columns with their defaults stored.
    void addCustomFieldThroughDialog()
    {
        CBrowseWidget w;
        w.setSectorName(kSectorA);
        w.setStockList(m_list);
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<COptionTextListDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->sectorName(), kSectorA);
            QVERIFY(dialog->addField(QStringLiteral("止损价"), QStringLiteral("8.5")));
            dialog->accept();
        });
        w.slotAddCustomField();
        QCOMPARE(w.userDefinedColumns().size(), 1);
        const int id = w.userDefinedColumns().first().columnId;
        QCOMPARE(w.table()->headerText(id), QStringLiteral("止损价"));
        QCOMPARE(se::FieldParams::getDefault(QStringLiteral("止损价")), QStringLiteral("8.5"));
        QCOMPARE(cell(w, m_list.first()->key, id), 8.5);
    }
};

QTEST_MAIN(TstBrowseExternal)
#include "tst_browseexternal.moc"
