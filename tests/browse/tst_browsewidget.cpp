// The browse table widget offscreen: the row set, columns, quote filling, the refresh
// tick, sorting and the selection anchor, events, export, and its life against host
// and pool threads.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "BrowseTestMarket.h"
#include "LogCapture.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "browse/HpfBrowserData.h"
#include "host/data/ColumnInfo.h"
#include "host/data/Config.h"
#include "host/data/FormulaManager.h"
#include "host/data/IndexUserConfig.h"
#include "host/data/IndexValueParam.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/Log.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/EventWidget.h"
#include "host/toolkit/UiResource.h"

#include <QtTest>

#include <QAbstractItemModelTester>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThreadPool>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

using namespace TC;
using namespace browsetest;
using ttmarket::TestMarket;
using InstrumentList = CBrowseWidget::InstrumentList;

namespace TC {
// Reaches the state that later features set (statistics ranges, external lists).
class CBrowseWidgetTest {
public:
    static void setStatus(CBrowseWidget& w, int status) { w.d->m_nBrowseStatus = status; }
    static int pendingQuotes(CBrowseWidget& w) { return w.d->m_pending.pendingCount(); }
};
} // namespace TC

namespace {

constexpr qint64 kI64Max = std::numeric_limits<qint64>::max();

struct Delivery {
    QVector<QString> codes, markets;
    std::vector<quoter::QuoterAllDataPtr> quotes;
};

struct SentEvent {
    QObject* sender;
    int id, a, b;
    QString text;
    void* p;
};

ttservice::CInstrumentDetailPtr withProduct(ttservice::CInstrumentDetailPtr d,
                                            const QString& product, int year, int month)
{
    d->product = product;
    d->deliveryYear = year;
    d->deliveryMonth = month;
    return d;
}

quoter::QuoterAllDataPtr snap(const quoter::QuoterAllData& q)
{
    return std::make_shared<quoter::QuoterAllData>(q);
}

void drainPool()
{
    QThreadPool::globalInstance()->waitForDone(10000);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// A table that shows some instruments in a second row too, as a table of positions per
// account does; it counts the rows handed to the position hook.
class TwoRowsPerInstrument : public CBrowseWidget {
public:
    QHash<QString, QString> secondRow; // code -> key of the further row showing its quote
    int positionUpdates = 0;

    QList<HpfBrowserDataPtr> getDataLastByCode(const QString& market, const QString& code) override
    {
        QList<HpfBrowserDataPtr> rows = CBrowseWidget::getDataLastByCode(market, code);
        const auto found = secondRow.constFind(code);
        if (found != secondRow.constEnd())
            rows.append(model()->rowByKey(*found));
        return rows;
    }
    void updatePositionDataByQuote(const HpfBrowserDataPtr&) override { ++positionUpdates; }
};

// Counts every delivery the quote model hands to the widget, on whatever thread.
class CountingWidget : public CBrowseWidget {
public:
    explicit CountingWidget(std::atomic<int>& deliveries) : m_deliveries(deliveries) {}
    void formulaPushQuoteBack(dorn::PushQuoteParam& param, const QVector<QString>& codes,
                              const QVector<QString>& markets,
                              const std::vector<quoter::QuoterAllDataPtr>& quotes,
                              bool last) override
    {
        ++m_deliveries;
        CBrowseWidget::formulaPushQuoteBack(param, codes, markets, quotes, last);
    }

private:
    std::atomic<int>& m_deliveries;
};

} // namespace

class TstBrowseWidget : public QObject {
    Q_OBJECT
    QTemporaryDir m_userDir;
    std::shared_ptr<LogCapture> m_capture;
    std::vector<SentEvent> m_events;
    InstrumentList m_all;    // every instrument of the test universe
    InstrumentList m_stocks; // the 40 SH stocks
    CBrowseWidget* m_w = nullptr;

    CBrowseWidget* makeWidget(eBrowseType type = BrowseType_Default)
    {
        delete m_w;
        m_w = new CBrowseWidget(nullptr, false, type);
        m_w->resize(900, 300);
        m_w->show();
        return m_w;
    }
    CBrowseWidget* makeWidget(const InstrumentList& rows)
    {
        makeWidget();
        m_w->setStockList(rows);
        return m_w;
    }
    ttservice::CInstrumentDetailPtr detail(const QString& market, const QString& code) const
    {
        for (const auto& d : m_all)
            if (d->market == market && d->code == code)
                return d;
        return nullptr;
    }
    int col(int quoteId) const { return quoteColumn(*m_w, quoteId); }
    int colByTitle(const QString& title) const { return columnIdOf(*m_w, title); }
    HpfBrowserDataPtr row(const QString& market, const QString& code) const
    {
        return m_w->model()->rowByKey(keyOf(market, code));
    }
    QString text(const QString& market, const QString& code, const QString& title) const
    {
        auto r = row(market, code);
        const int c = colByTitle(title);
        return r && c >= 0 ? r->getText(c) : QStringLiteral("<missing>");
    }
    void push(const QString& market, const QString& code, const quoter::QuoterAllData& q)
    {
        m_w->formulaMarketQuoteBack(market, {code}, {snap(q)}, false);
    }
    void push(const QString& market, const QString& code, double last, double preClose)
    {
        push(market, code, TestMarket::quote(last, preClose));
    }
    void selectRows(const QList<int>& rows)
    {
        auto* table = m_w->table();
        table->clearSelection();
        for (int r : rows)
            table->selectionModel()->select(table->model()->index(r, 0),
                                            QItemSelectionModel::Select
                                                | QItemSelectionModel::Rows);
    }
    int subscriptionsFor(CBrowseWidget* w) { return w->wholeQuoteModel()->subscriptionCount(); }
    // Requests and waits for the cache read and for the push subscriptions to be made.
    bool requestAndSubscribe(int subscriptions)
    {
        QSignalSpy history(m_w->wholeQuoteModel().get(), &CWholeQuoteModel::sigHistoryCallBack);
        m_w->request();
        return history.wait(5000)
               && QTest::qWaitFor([&]() { return subscriptionsFor(m_w) == subscriptions; }, 5000);
    }
    int setStockListLogs(const std::string& rest) const
    {
        return m_capture->count("[browser double check] func:TC::CBrowseWidget::setStockList "
                                + rest);
    }
    static const QColor* clr(const char* name)
    {
        return XP::CUiResource::instance().getColor(name);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_userDir.isValid());
        qputenv("TT_USER_DIR", m_userDir.path().toUtf8());
        ttlog::configure();
    }

    void init()
    {
        // 60 s: the tests drive the refresh tick themselves
        SingletonManager::getIndexUserConfig()->setRefreshInterval(60000);
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        m_stocks.clear();
        for (int i = 0; i < 40; ++i)
            m_stocks.append(
                TestMarket::stock("SH", QStringLiteral("6000%1").arg(i, 2, 10, QLatin1Char('0')),
                                  QStringLiteral("股票%1").arg(i), 10.0));
        m_all = m_stocks;
        m_all.append(TestMarket::stock("SZ", "000001", "平安银行", 12.0));
        m_all.append(TestMarket::stock("SH", "600100", "零步长", 10.0, 0.0));
        m_all.append(TestMarket::stock("SH", "510050", "50ETF", 1.0, 0.001));
        auto cb = TestMarket::stock("SH", "110001", "测试转债", 110.0, 0.001);
        cb->type = ttservice::eInstrConvertibleBond;
        cb->cbUnderlyingMarket = "SH";
        cb->cbUnderlyingCode = "600000";
        cb->cbConversionPrice = 8.0;
        m_all.append(cb);
        m_all.append(withProduct(TestMarket::future("CFFEX", "IF00", "沪深300", 3500, 0.2, 300),
                                 "IF", 2025, 3));
        m_all.append(withProduct(TestMarket::future("CFFEX", "IH00", "上证50连续", 2500, 0.2, 300),
                                 "IH", 2025, 3));
        m_all.append(withProduct(TestMarket::future("CFFEX", "IF2503", "沪深2503", 3500, 0.2, 300),
                                 "IF", 2025, 3));
        m_all.append(withProduct(TestMarket::future("CFFEX", "IF2506", "沪深2506", 3500, 0.2, 300),
                                 "IF", 2025, 6));
        m_all.append(TestMarket::stock("CD", "CD001", "自定义", 1.0));
        auto ah = TestMarket::stock("SH", "600050", "中国联通", 5.0);
        ah->pairMarket = "HGT";
        ah->pairCode = "00762";
        m_all.append(ah);
        auto hk = TestMarket::stock("HGT", "00762", "中国联通H", 4.0, 0.001);
        hk->type = ttservice::eInstrHKStock;
        m_all.append(hk);
        std::vector<ttservice::CInstrumentDetailPtr> universe(m_all.begin(), m_all.end());
        TestMarket::install(universe);

        m_capture = std::make_shared<LogCapture>();
        auto logger = log4cxx::Logger::getLogger("TTStdFile");
        logger->addAppender(m_capture);
        logger->setLevel(log4cxx::Level::getDebug());

        m_events.clear();
        XP::CEventSink::setHandler(
            [this](QObject* sender, int id, int a, int b, const QString& text, void* p) {
                m_events.push_back({sender, id, a, b, text, p});
                return true;
            });
    }

    void cleanup()
    {
        delete m_w;
        m_w = nullptr;
        XP::CEventSink::clearHandler();
        auto logger = log4cxx::Logger::getLogger("TTStdFile");
        logger->removeAppender(m_capture);
        logger->setLevel(log4cxx::Level::getWarn());
        TestMarket::restore();
        drainPool();
    }

    void rowSetSkipsAndDeduplicates()
    {
        makeWidget();
        auto empty = TestMarket::stock("SH", "", "无代码", 1.0);
        InstrumentList list{nullptr, detail("SH", "600000"), empty, detail("SZ", "000001"),
                            detail("SH", "600000")};
        m_w->setStockList(list);
        QCOMPARE(m_w->model()->size(), 2);
        QCOMPARE(m_w->getStockListSize(), 5);
        QCOMPARE(m_w->getStockList(),
                 (QList<QString>{keyOf("SH", "600000"), keyOf("SZ", "000001")}));
        QCOMPARE(m_w->requestedMarkets(), (QList<QString>{"SH", "SZ"}));
        QCOMPARE(setStockListLogs("start, stocks size:5 "), 1);
        QCOMPARE(setStockListLogs("end, m_pBrowserModel size:2 "), 1);
    }

    void emptyListLeavesNothingSelected()
    {
        makeWidget(m_stocks.mid(0, 3));
        m_w->setStockList({}, true);
        QCOMPARE(m_w->model()->size(), 0);
        QCOMPARE(m_w->table()->getSelectedRow(), -1);
        QCOMPARE(m_w->getStock(), QString());
        QCOMPARE(setStockListLogs("start, stocks size:0 "), 1);
        QCOMPARE(setStockListLogs("end"), 2);
    }

    void continuousContractName_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        const auto row = [](const char* tag, const char* code, const char* name) {
            QTest::newRow(tag) << QString(code) << QString(name);
        };
        row("continuous gets the delivery month", "IF00", "沪深300(2503)");
        row("name already says continuous", "IH00", "上证50连续");
        row("dated contract", "IF2506", "沪深2506");
    }
    void continuousContractName()
    {
        QFETCH(QString, code);
        QFETCH(QString, name);
        makeWidget({detail("CFFEX", code)});
        QCOMPARE(m_w->model()->rowAt(0)->getText(1), name);
    }

    void convertibleBondUnderlying()
    {
        makeWidget({detail("SH", "110001")});
        auto r = row("SH", "110001");
        QVERIFY(r);
        QCOMPARE(r->underlyingMarket, QStringLiteral("SH"));
        QCOMPARE(r->underlyingCode, QStringLiteral("600000"));
        QCOMPARE(r->underlyingName, QStringLiteral("股票0"));
        QCOMPARE(r->getText(col(QC_LINK_CODE)), QStringLiteral("600000"));
        QCOMPARE(r->getText(col(QC_LINK_NAME)), QStringLiteral("股票0"));
    }

    void cdRowKeyHasNoMarket()
    {
        makeWidget({detail("CD", "CD001"), detail("SH", "600000")});
        QCOMPARE(m_w->getStock(0), XP::nvStockKey(QString(), QStringLiteral("CD001")));
        QCOMPARE(m_w->getStock(1), keyOf("SH", "600000"));
        QCOMPARE(m_w->getStock(2), QString());
        QCOMPARE(m_w->getStock(-1), QString());
        QCOMPARE(CBrowseWidget::getStockCodeIndex({"a", "b", "b"}, "b"), 1);
        QCOMPARE(CBrowseWidget::getStockCodeIndex({"a"}, "z"), -1);
    }

    // A row lookup's answer stays what it was when a later lookup finds another row; odd
    // keys are harmless.
    void rowLookups()
    {
        makeWidget(m_stocks.mid(0, 2));
        const QList<HpfBrowserDataPtr> first = m_w->getDataLastByCode("SH", "600000");
        const QList<HpfBrowserDataPtr> second = m_w->getDataLastByCode("SH", "600001");
        const QList<HpfBrowserDataPtr> none = m_w->getDataLastByCode("SZ", "600000");
        QCOMPARE(first.size(), 1);
        QCOMPARE(first.first()->code, QStringLiteral("600000"));
        QCOMPARE(second.first()->code, QStringLiteral("600001"));
        QCOMPARE(none.size(), 1);
        QVERIFY(!none.first());
        // unusual keys find nothing and change nothing
        QCOMPARE(m_w->getDataLastByCode("SH", "不存在 的 代码").size(), 1);
        QVERIFY(!m_w->getDataLastByCode("SH", QString(5000, QLatin1Char('x'))).first());
        std::vector<int> rows;
        m_w->getRowIndexByStockCode(QStringLiteral("  "), rows);
        QVERIFY(rows.empty());
        m_w->updateStock(QStringLiteral("中文 key"));
        QCOMPARE(m_w->model()->size(), 2);
        m_w->setStockList(m_stocks.mid(1, 1));
        QVERIFY(!m_w->getDataLastByCode("SH", "600000").first());
        QCOMPARE(first.first()->code, QStringLiteral("600000"));
    }

    void updateStockToggles()
    {
        makeWidget(m_stocks.mid(0, 3));
        const QString k = keyOf("SH", "600001");
        m_w->updateStock(k);
        QCOMPARE(m_w->model()->size(), 2);
        QVERIFY(!m_w->model()->rowByKey(k));
        m_w->updateStock(k);
        QCOMPARE(m_w->model()->size(), 3);
        // an added row has every slot the model has: quotes land in it
        push("SH", "600001", 10.5, 10.0);
        QCOMPARE(text("SH", "600001", "最新"), QStringLiteral("10.50"));
    }

    // Removing the selected last row moves the selection to min(last visible row, last row).
    void updateStockReselectsAfterTheLastRow_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("every row visible") << 3;
        QTest::newRow("scrolled to the last row") << 40;
    }
    void updateStockReselectsAfterTheLastRow()
    {
        QFETCH(int, rows);
        makeWidget(m_stocks.mid(0, rows));
        auto* table = m_w->table();
        table->setSelectedRowMove(rows - 1);
        QCOMPARE(table->getSelectedRow(), rows - 1);
        m_w->updateStock(m_w->getStock(rows - 1));
        const int last = rows - 2;
        QCOMPARE(m_w->model()->size(), rows - 1);
        QCOMPARE(table->getSelectedRow(), last);
        QCOMPARE(table->getSelectedRow(), std::min(table->getEndRow(), last));

        // a selected row that is not the last one: nothing is chosen in its place
        m_w->setSelectRow(0);
        m_w->updateStock(m_w->getStock(0));
        QCOMPARE(table->getSelectedRow(), -1);
    }

    // The weight column goes to position 3 for an index's constituents and is written with
    // precision -2 then; without the flag it has no value.
    void weightColumn()
    {
        makeWidget();
        const int weight = col(QC_WEIGHT);
        QVERIFY(weight > 3);
        m_w->setStockList(m_stocks.mid(0, 2));
        QVERIFY(m_w->table()->visualPosition(weight) != 3);
        push("SH", "600000", 10.5, 10.0);
        QCOMPARE(text("SH", "600000", "权重%"), QStringLiteral("-"));

        m_w->setIndexConstituentsList(true);
        m_w->setStockList(m_stocks.mid(0, 2));
        QCOMPARE(m_w->table()->visualPosition(weight), 3);
        push("SH", "600000", 10.5, 10.0);
        auto r = row("SH", "600000");
        const int slot = m_w->model()->quoteSlot(weight);
        QVERIFY(slot >= 0);
        QCOMPARE(int(r->quotePrecisions[slot]), -2);
    }

    void colourVectors()
    {
        makeWidget(m_stocks.mid(0, 2));
        auto r = m_w->model()->rowAt(0);
        QVERIFY(r->textColors.size() >= m_w->columnList().size() + 3);
        QCOMPARE(r->getTextColor(0), clr("ic_clr_browse_stock_code"));
        QCOMPARE(r->getTextColor(1), clr("ic_clr_browse_stock_name"));
        QCOMPARE(r->getTextColor(2), clr("ic_clr_browse_equal"));
        for (int c : {7, 20, 21})
            QCOMPARE(r->getTextColor(c), clr("ic_clr_browse_big_value"));
        QCOMPARE(r->getTextColor(col(QC_LATEST)), clr("ic_clr_browse_equal"));
    }

    void quoteColours_data()
    {
        QTest::addColumn<double>("last");
        QTest::addColumn<QString>("priceKey");
        QTest::newRow("below the threshold is equal") << 10.00001 << "ic_clr_browse_equal";
        QTest::newRow("rise") << 10.05 << "ic_clr_browse_rise";
        QTest::newRow("fall") << 9.95 << "ic_clr_browse_fall";
        QTest::newRow("unchanged") << 10.0 << "ic_clr_browse_equal";
    }
    void quoteColours()
    {
        QFETCH(double, last);
        QFETCH(QString, priceKey);
        makeWidget(m_stocks.mid(0, 1));
        push("SH", "600000", last, 10.0);
        auto r = row("SH", "600000");
        const QColor* expected = clr(qPrintable(priceKey));
        QCOMPARE(r->getTextColor(col(QC_LATEST)), expected);
        QCOMPARE(r->getTextColor(col(QC_RATIO)), expected);
        QCOMPARE(r->getTextColor(col(QC_CHANGE)), expected);
        QCOMPARE(r->getTextColor(col(QC_AMOUNT)), clr("ic_clr_browse_big_value"));
    }

    void highlightStocks()
    {
        makeWidget(m_stocks.mid(0, 3));
        const QColor* code = clr("ic_clr_browse_stock_code");
        const QColor* name = clr("ic_clr_browse_stock_name");
        QMap<QString, ttservice::CInstrumentDetailPtr> marked{
            {keyOf("SH", "600001"), detail("SH", "600001")}, {QStringLiteral("null"), nullptr}};
        m_w->setHighLightStocks(marked);
        QCOMPARE(row("SH", "600001")->getTextColor(1), code);
        QCOMPARE(row("SH", "600000")->getTextColor(1), name);
        m_w->setHighLightStocks({});
        QCOMPARE(row("SH", "600001")->getTextColor(1), name);
    }

    void adapterModelStaysConsistent()
    {
        makeWidget();
        QAbstractItemModelTester tester(m_w->table()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
        m_w->setStockList(m_stocks.mid(0, 10), true);
        m_w->reSort(col(QC_RATIO), 1);
        for (int i = 0; i < 10; ++i)
            push("SH", m_stocks[i]->code, 10.0 + i * 0.1, 10.0);
        m_w->resort();
        m_w->updateStock(keyOf("SH", "600003"));
        m_w->updateStock(keyOf("SH", "600003"));
        ColumnInfo indicator;
        indicator.formulaName = QStringLiteral("MA");
        indicator.title = QStringLiteral("MA5");
        QVERIFY(m_w->addColumn(indicator) > 0);
        m_w->updateStockList(m_stocks.mid(5, 5));
        QCOMPARE(m_w->model()->size(), 5);
        // rows built after the indicator column joined get its slot
        for (int i = 0; i < m_w->model()->size(); ++i)
            QCOMPARE(m_w->model()->rowAt(i)->indicatorValues.size(),
                     m_w->model()->indicatorCount());
        m_w->addInstrument(keyOf("SH", "600020"));
        QCOMPARE(m_w->model()->size(), 6);
        QCOMPARE(m_w->model()->rowByKey(keyOf("SH", "600020"))->indicatorValues.size(),
                 m_w->model()->indicatorCount());
        m_w->clearContent();
        m_w->setColumnList(m_w->getBaseColumnList());
        QCOMPARE(m_w->table()->model()->rowCount(), 0);
        m_w->setStockList(m_stocks.mid(0, 4));
        QCOMPARE(m_w->table()->model()->rowCount(), 4);
    }

    // One click sorts after a delay that leaves room for a second; a double click asks for
    // the default order at once.
    void headerClicks()
    {
        makeWidget(m_stocks.mid(0, 5));
        auto* table = m_w->table();
        const int ratio = col(QC_RATIO);
        QSignalSpy sorted(table, &XP::CBaseHighPerformanceTable::sigSortChanged);
        table->handleEvent(33, table->tableId(), ratio, QString(), nullptr);
        QVERIFY(table->isHeaderClickPending());
        QCOMPARE(sorted.count(), 0); // not yet: a second click may follow
        QVERIFY(sorted.wait(1000));
        QCOMPARE(sorted.count(), 1);
        QCOMPARE(sorted.at(0).at(0).toInt(), ratio);
        QCOMPARE(table->getSortColumnID(), ratio);
        QVERIFY(!table->isHeaderClickPending());

        m_w->reSort(ratio, 1);
        m_w->setSelectRow(3);
        sorted.clear();
        table->handleEvent(33, table->tableId(), ratio, QString(), nullptr);
        table->handleEvent(33, table->tableId(), ratio, QString(), nullptr);
        // event 3251 reached the widget: code ascending, first row selected
        QCOMPARE(table->getSortColumnID(), 0);
        QCOMPARE(table->getSortOrder(), 0);
        QCOMPARE(table->getSelectedRow(), 0);
        QCOMPARE(sorted.count(), 1);
        QVERIFY(!table->isHeaderClickPending());
        QVERIFY(!sorted.wait(CHpfBrowserTable::kHeaderClickDelayMs + 200)); // no late single click
        QCOMPARE(table->getSortColumnID(), 0);
    }

    void selectionEvents()
    {
        makeWidget(m_stocks.mid(0, 3));
        m_w->table()->clearSelection();
        QVERIFY(m_w->handleEvent(47, 88, 1, QString(), nullptr));
        QVERIFY(m_events.empty()); // nothing selected: nothing sent

        m_w->setSelectRow(1);
        const QString k = keyOf("SH", "600001");
        QVERIFY(m_w->handleEvent(47, 7, 1, QString(), nullptr));
        QCOMPARE(m_events.size(), size_t(2));
        QCOMPARE(m_events[0].id, 47);
        QCOMPARE(m_events[0].a, 7);
        QCOMPARE(m_events[0].text, k);
        QCOMPARE(m_events[0].p, static_cast<void*>(m_w));
        QCOMPARE(m_events[1].id, 3083);
        QCOMPARE(m_events[1].a, 88);
        QCOMPARE(m_events[1].b, 0);
        QCOMPARE(m_events[1].text, k);
        QCOMPARE(m_w->currentCode(), k);

        m_events.clear();
        QVERIFY(m_w->handleEvent(49, 3, 4, QString(), nullptr));
        QCOMPARE(m_events.size(), size_t(2));
        QCOMPARE(m_events[0].id, 49);
        QCOMPARE(m_events[0].text, k);
        QCOMPARE(m_events[1].id, 3258);
        QCOMPARE(m_events[1].text, QString());                       // no account in a plain table
        QVERIFY(!m_w->handleEvent(99999, 0, 0, QString(), nullptr)); // not ours
    }

    void requestPerBrowseStatus_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("subscribes");
        QTest::newRow("live") << int(BrowseStatus_Live) << true;
        QTest::newRow("tick loaded") << int(BrowseStatus_TickLoaded) << true;
        QTest::newRow("statistics") << int(BrowseStatus_Statistic) << false;
        QTest::newRow("external list") << int(BrowseStatus_External) << false;
    }
    void requestPerBrowseStatus()
    {
        QFETCH(int, status);
        QFETCH(bool, subscribes);
        const int base = CFormulaManager::instance()->pushSubscriptionCount();
        makeWidget({detail("SH", "600000"), detail("SZ", "000001")});
        CBrowseWidgetTest::setStatus(*m_w, status);
        QSignalSpy history(m_w->wholeQuoteModel().get(), &CWholeQuoteModel::sigHistoryCallBack);
        m_w->request();
        if (subscribes) {
            QVERIFY(history.wait(5000));
            QTRY_COMPARE_WITH_TIMEOUT(subscriptionsFor(m_w), 2, 5000);
            QCOMPARE(CFormulaManager::instance()->pushSubscriptionCount(), base + 2);
        } else {
            drainPool();
            QCOMPARE(history.count(), 0);
            QCOMPARE(subscriptionsFor(m_w), 0);
        }
        // pushes and cache fills leave quote cells alone in statuses 2 and 3
        const quint64 pushes = m_w->pushCount();
        dorn::PushQuoteParam param("SH");
        m_w->formulaPushQuoteBack(param, {"600000"}, {"SH"}, {snap(TestMarket::quote(11.0, 10.0))},
                                  false);
        m_w->slotBrowserRefreshTimeOut();
        QCOMPARE(text("SH", "600000", "最新") == QStringLiteral("11.00"), subscribes);
        QCOMPARE(m_w->pushCount() - pushes, quint64(subscribes ? 1 : 0));
        m_w->unrequest();
        QCOMPARE(subscriptionsFor(m_w), 0);
        QCOMPARE(CFormulaManager::instance()->pushSubscriptionCount(), base);
    }

    void quoteRules_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("last");
        QTest::addColumn<double>("preClose");
        QTest::addColumn<int>("phase");
        QTest::addColumn<double>("bid1");
        QTest::addColumn<double>("ask1");
        QTest::addColumn<qint64>("volume");
        QTest::addColumn<double>("amount");
        QTest::addColumn<double>("iopv");
        QTest::addColumn<QStringList>("expected"); // "title=text"
        const int cont = quoter::PhaseContinuous;
        auto add = [](const char* name, const char* code, double last, double preClose, int phase,
                      double bid1, double ask1, qint64 volume, double amount, double iopv,
                      const QStringList& expected) {
            QTest::newRow(name) << QString::fromLatin1(code) << last << preClose << phase << bid1
                                << ask1 << volume << amount << iopv << expected;
        };
        add("phase 12, bid as price", "600000", 0.0, 10.0, 12, 10.5, 10.6, 0, 0.0, 0.0,
            {"最新=10.50", "今开=-", "最高=-", "最低=-", "涨幅=5.00%", "涨跌=0.50",
             "委买价=10.50"});
        add("phase 19, ask as price", "600000", 0.0, 10.0, 19, 0.0, 9.5, 0, 0.0, 0.0,
            {"最新=9.50", "今开=-", "涨幅=-5.00%", "涨跌=-0.50"});
        add("phase 19 without a book: the pre-close", "600000", 0.0, 10.0, 19, 0.0, 0.0, 0, 0.0,
            0.0, {"最新=10.00", "涨幅=0.00%", "涨跌=0.00"});
        add("last 0 in continuous trading", "600000", 0.0, 10.0, cont, 0.0, 0.0, 500, 5000.0, 0.0,
            {"最新=-", "今开=-", "最高=-", "最低=-", "涨幅=-", "涨跌=-", "总手=500", "现手=500",
             "总额=5000.00", "委买价=-"});
        add("unchanged: 0 change, no amount", "600000", 10.0, 10.0, cont, 9.99, 10.01, 0, 0.0, 0.0,
            {"涨幅=0.00%", "涨跌=0.00", "总额=-", "总手=-", "最新=10.00"});
        add("volumes at the 64-bit limit", "600000", 10.5, 10.0, cont, 10.49, 10.51, kI64Max, 100.0,
            0.0, {"总手=-", "现手=-", "换手率=-", "最新=10.50"});
        add("turnover", "600000", 10.5, 10.0, cont, 10.49, 10.51, 80000, 100.0, 0.0,
            {"换手率=1.00%"});
        add("nan last price", "600000", std::nan(""), 10.0, cont, 10.49, 10.51, 10, 100.0, 0.0,
            {"最新=-", "涨幅=-", "涨跌=-"});
        add("zero pre-close", "600000", 10.5, 0.0, cont, 10.49, 10.51, 10, 100.0, 0.0,
            {"最新=10.50", "涨幅=-", "涨跌=-"});
        add("negative pre-close", "600000", 10.5, -10.0, cont, 10.49, 10.51, 10, 100.0, 0.0,
            {"最新=10.50", "涨幅=-", "涨跌=-"});
        add("infinite amount", "600000", 10.5, 10.0, cont, 10.49, 10.51, 10,
            std::numeric_limits<double>::infinity(), 0.0, {"总额=-"});
        add("negative price", "600000", -3.0, 10.0, cont, 0.0, 0.0, 10, 100.0, 0.0,
            {"最新=-", "涨幅=-"});
        add("phase 12, no book, negative pre-close", "600000", 0.0, -10.0, 12, 0.0, 0.0, 0, 0.0,
            0.0, {"最新=-", "前收=-", "涨幅=-", "涨跌=-"});
        add("iopv and discount", "510050", 1.05, 1.0, cont, 1.049, 1.051, 10, 100.0, 1.0,
            {"最新=1.050", "IOPV=1.00", "溢折率=5.00%"});
        add("discount without a price", "510050", 0.0, 1.0, cont, 0.0, 0.0, 10, 100.0, 1.0,
            {"最新=-", "IOPV=1.00", "溢折率=-"});
        add("price step 0 gives 2 decimals", "600100", 10.5, 10.0, cont, 10.49, 10.51, 10, 100.0,
            0.0, {"最新=10.50", "今开=10.50", "委卖价=10.51"});
    }
    void quoteRules()
    {
        QFETCH(QString, code);
        QFETCH(double, last);
        QFETCH(double, preClose);
        QFETCH(int, phase);
        QFETCH(double, bid1);
        QFETCH(double, ask1);
        QFETCH(qint64, volume);
        QFETCH(double, amount);
        QFETCH(double, iopv);
        QFETCH(QStringList, expected);
        makeWidget({detail("SH", code)});
        quoter::QuoterAllData q = TestMarket::quote(last, preClose);
        q.openInterestOrPhase = phase;
        q.bidPrice[0] = bid1;
        q.askPrice[0] = ask1;
        q.volume = volume;
        q.amount = amount;
        q.iopv = iopv;
        push("SH", code, q);
        for (const QString& e : expected) {
            const QString title = e.section(QLatin1Char('='), 0, 0);
            QVERIFY2(colByTitle(title) >= 0, qPrintable(title));
            QCOMPARE(title + QLatin1Char('=') + text("SH", code, title), e);
        }
    }

    void priceDecimals_data()
    {
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("decimals");
        QTest::newRow("0.01") << 0.01 << 2;
        QTest::newRow("0.001") << 0.001 << 3;
        QTest::newRow("0.05") << 0.05 << 2;
        QTest::newRow("0.2") << 0.2 << 1;
        QTest::newRow("1") << 1.0 << 0;
        QTest::newRow("5") << 5.0 << 0;
        QTest::newRow("0") << 0.0 << 2;
        QTest::newRow("no value") << kNoValue << 2;
        QTest::newRow("1e-6") << 1e-6 << 6;
        QTest::newRow("0.0001") << 0.0001 << 4;
        QTest::newRow("0.25") << 0.25 << 2;
    }
    void priceDecimals()
    {
        QFETCH(double, step);
        QFETCH(int, decimals);
        QCOMPARE(CBrowseWidget::priceDecimalsOf(step), decimals);
    }

    void invalidSnapshotFillsOnlyPreClose()
    {
        makeWidget({detail("SH", "600000")});
        m_w->clearContent();
        quoter::QuoterAllData q = TestMarket::quote(10.5, 9.0);
        q.time = TestMarket::at(2024, 5, 1, 10, 0); // another trading day
        push("SH", "600000", q);
        QCOMPARE(text("SH", "600000", "前收"), QStringLiteral("9.00"));
        QCOMPARE(text("SH", "600000", "最新"), QStringLiteral("-"));
    }

    void convertibleBondValues_data()
    {
        QTest::addColumn<double>("underlyingLast");
        QTest::addColumn<double>("bondLast");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("premium");
        const auto row = [](const char* tag, double underlyingLast, double bondLast,
                            const char* value, const char* premium) {
            QTest::newRow(tag) << underlyingLast << bondLast << QString(value) << QString(premium);
        };
        row("premium from cv", 12.0, 120.0, "150.00", "-20.00");
        row("cv of exactly 100: a rate, not cv", 8.0, 110.0, "100.00", "10.00");
        row("underlying without price", 0.0, 120.0, "-", "-");
        row("bond without price", 12.0, 0.0, "150.00", "-");
    }
    void convertibleBondValues()
    {
        QFETCH(double, underlyingLast);
        QFETCH(double, bondLast);
        QFETCH(QString, value);
        QFETCH(QString, premium);
        makeWidget();
        m_w->setSectorName(QStringLiteral("可转债"));
        m_w->resetTableColumn();
        m_w->setStockList({detail("SH", "110001")});
        QVERIFY(TestMarket::setQuote("SH", "600000", TestMarket::quote(underlyingLast, 11.0)));
        quoter::QuoterAllData q = TestMarket::quote(bondLast, 110.0);
        if (bondLast == 0.0)
            q.bidPrice[0] = q.askPrice[0] = 0.0;
        push("SH", "110001", q);
        auto r = row("SH", "110001");
        QCOMPARE(r->getText(col(QC_CONVERT_PRICE)), QStringLiteral("8.00"));
        QCOMPARE(r->getText(col(QC_CONVERT_VALUE)), value);
        QCOMPARE(r->getText(col(QC_CONVERT_PREMIUM)), premium);
        if (underlyingLast > 0) {
            QCOMPARE(r->getText(col(QC_LINK_PRICE)), QString::number(underlyingLast, 'f', 2));
            QCOMPARE(r->getTextColor(col(QC_LINK_PRICE)),
                     clr(underlyingLast > 11.0 ? "ic_clr_browse_rise" : "ic_clr_browse_fall"));
        }
        // in a convertible-bond sector the underlying's name is name-coloured
        QCOMPARE(r->getTextColor(col(QC_LINK_NAME)), clr("ic_clr_browse_stock_name"));
    }

    void badDeliveriesAreSkipped()
    {
        makeWidget(m_stocks.mid(0, 2));
        m_w->clearContent();
        auto q = snap(TestMarket::quote(10.5, 10.0));
        // more codes than quotes: the shorter list is walked, with a warning
        m_w->formulaMarketQuoteBack("SH", {"600000", "600001"}, {q}, true);
        QCOMPARE(text("SH", "600000", "最新"), QStringLiteral("10.50"));
        QCOMPARE(text("SH", "600001", "最新"), QStringLiteral("-"));
        QCOMPARE(m_capture->count("[formulaMarketQuoteBackExecute] market= SH codes:2 quotes:1"),
                 1);
        // more quotes than codes
        m_w->formulaMarketQuoteBack("SH", {"600001"}, {q, q, q}, true);
        QCOMPARE(text("SH", "600001", "最新"), QStringLiteral("10.50"));
        // null snapshots, unknown codes, a market not requested, empty lists
        m_w->formulaMarketQuoteBack("SH", {"600000", "999999"}, {nullptr, q}, true);
        m_w->formulaMarketQuoteBack("SZ", {"600000"}, {snap(TestMarket::quote(20.0, 10.0))}, true);
        m_w->formulaMarketQuoteBack("SH", {}, {}, true);
        QCOMPARE(text("SH", "600000", "最新"), QStringLiteral("10.50"));
        QCOMPARE(m_w->model()->size(), 2);
    }

    // Quotes reach the rows a derived table returns for an instrument, by cache fill and
    // by push alike, and each such row goes through the position hook.
    void derivedTableRowsGetQuotes()
    {
        delete m_w;
        auto* w = new TwoRowsPerInstrument;
        m_w = w;
        w->setStockList(m_stocks.mid(0, 2));
        w->secondRow.insert(QStringLiteral("600000"), keyOf("SH", "600001"));
        w->positionUpdates = 0;
        push("SH", "600000", 10.7, 10.0);
        QCOMPARE(text("SH", "600000", "最新"), QStringLiteral("10.70"));
        QCOMPARE(text("SH", "600001", "最新"), QStringLiteral("10.70"));
        QCOMPARE(w->positionUpdates, 2);

        dorn::PushQuoteParam param("SH");
        w->formulaPushQuoteBack(param, {"600000"}, {"SH"}, {snap(TestMarket::quote(10.2, 10.0))},
                                true);
        w->slotBrowserRefreshTimeOut();
        QCOMPARE(text("SH", "600001", "最新"), QStringLiteral("10.20"));
        QCOMPARE(w->positionUpdates, 4);
    }

    void refreshTickCoalescesResorts()
    {
        makeWidget(m_stocks.mid(0, 3));
        const int ratio = col(QC_RATIO);
        m_w->reSort(ratio, 1);
        QVERIFY(requestAndSubscribe(1));

        QSignalSpy layout(m_w->model(), &XP::IBaseHpfTableModel::sigLayoutAboutToBeChanged);
        QSignalSpy refreshed(m_w, &CBrowseWidget::sigRefreshed);
        TestMarket::setQuote("SH", "600001", TestMarket::quote(10.5, 10.0));
        TestMarket::setQuote("SH", "600002", TestMarket::quote(9.5, 10.0));
        TestMarket::setQuote("SH", "600000", TestMarket::quote(10.0, 10.0));
        QVERIFY(TestMarket::firePush("SH") >= 1);
        TestMarket::setQuote("SH", "600002", TestMarket::quote(10.9, 10.0));
        QVERIFY(TestMarket::firePush("SH") >= 1);
        QCOMPARE(layout.count(), 0); // pushes wait for the tick
        m_w->slotBrowserRefreshTimeOut();
        QCOMPARE(layout.count(), 1);
        QCOMPARE(refreshed.count(), 1);
        QCOMPARE(m_w->getStock(0), keyOf("SH", "600002"));
        QCOMPARE(m_w->getStock(1), keyOf("SH", "600001"));
        QCOMPARE(m_w->getStock(2), keyOf("SH", "600000"));

        m_w->slotBrowserRefreshTimeOut(); // nothing changed since
        QCOMPARE(layout.count(), 1);
        QCOMPARE(refreshed.count(), 1);

        m_w->reSort(0, 0); // a fixed column: repaint, no re-sort
        layout.clear();
        TestMarket::setQuote("SH", "600000", TestMarket::quote(11.0, 10.0));
        TestMarket::firePush("SH");
        m_w->slotBrowserRefreshTimeOut();
        QCOMPARE(layout.count(), 0);
        QCOMPARE(refreshed.count(), 2);
        QCOMPARE(text("SH", "600000", "最新"), QStringLiteral("11.00"));
    }

    // Queued pushes drained between refresh ticks wait for the tick: a repaint or a model
    // read in between shows the previous tick's values, still in sorted order.
    void pushesBetweenTicksKeepTheSortedView()
    {
        TestMarket::setQuote("SH", "600000", TestMarket::quote(10.1, 10.0));
        TestMarket::setQuote("SH", "600001", TestMarket::quote(10.2, 10.0));
        TestMarket::setQuote("SH", "600002", TestMarket::quote(10.3, 10.0));
        makeWidget(m_stocks.mid(0, 3));
        const int ratio = col(QC_RATIO);
        m_w->reSort(ratio, 1);
        QVERIFY(requestAndSubscribe(1));
        const QStringList before{keyOf("SH", "600002"), keyOf("SH", "600001"),
                                 keyOf("SH", "600000")};
        auto shown = [this]() {
            QStringList keys;
            for (int r = 0; r < m_w->model()->size(); ++r)
                keys.append(m_w->getStock(r));
            return keys;
        };
        QCOMPARE(shown(), before);
        TestMarket::firePush("SH"); // the first push carries the whole market
        m_w->slotBrowserRefreshTimeOut();
        QCOMPARE(shown(), before);

        QSignalSpy layout(m_w->model(), &XP::IBaseHpfTableModel::sigLayoutAboutToBeChanged);
        QSignalSpy refreshed(m_w, &CBrowseWidget::sigRefreshed);
        TestMarket::setQuote("SH", "600000", TestMarket::quote(10.9, 10.0));
        TestMarket::setQuote("SH", "600002", TestMarket::quote(9.5, 10.0));
        QVERIFY(TestMarket::firePush("SH") >= 1);
        QTRY_VERIFY_WITH_TIMEOUT(m_w->wholeQuoteModel()->queuedCount() > 0, 5000);
        m_w->slotDrainQueued();
        QCOMPARE(m_w->wholeQuoteModel()->queuedCount(), 0);
        QVERIFY(CBrowseWidgetTest::pendingQuotes(*m_w) > 0);
        m_w->table()->repaint();
        QCOMPARE(shown(), before);
        QCOMPARE(text("SH", "600000", "最新"), QStringLiteral("10.10"));
        QCOMPARE(text("SH", "600002", "最新"), QStringLiteral("10.30"));
        for (int r = 1; r < 3; ++r)
            QVERIFY(m_w->model()->rowAt(r - 1)->getDouble(ratio)
                    >= m_w->model()->rowAt(r)->getDouble(ratio));
        QCOMPARE(layout.count(), 0);
        QCOMPARE(refreshed.count(), 0);

        // the tick writes, re-sorts and repaints once
        m_w->slotBrowserRefreshTimeOut();
        QCOMPARE(CBrowseWidgetTest::pendingQuotes(*m_w), 0);
        QCOMPARE(layout.count(), 1);
        QCOMPARE(refreshed.count(), 1);
        QCOMPARE(shown(), QStringList({keyOf("SH", "600000"), keyOf("SH", "600001"),
                                       keyOf("SH", "600002")}));
        QCOMPARE(text("SH", "600000", "最新"), QStringLiteral("10.90"));
        QCOMPARE(text("SH", "600002", "最新"), QStringLiteral("9.50"));
    }

    // With the reselect flag the selection follows the chosen instrument; without it the
    // selection stays on its row positions.
    void selectionAcrossResorts_data()
    {
        QTest::addColumn<bool>("reselect");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("reselect: follows the instrument") << true << QList<int>{0} << QList<int>{4};
        QTest::newRow("no reselect: same row") << false << QList<int>{0} << QList<int>{0};
        QTest::newRow("no reselect: same rows") << false << QList<int>{0, 1} << QList<int>{0, 1};
    }
    void selectionAcrossResorts()
    {
        QFETCH(bool, reselect);
        QFETCH(QList<int>, selected);
        QFETCH(QList<int>, expected);
        makeWidget(m_stocks.mid(0, 5));
        for (int i = 0; i < 5; ++i)
            push("SH", m_stocks[i]->code, 10.0 + 0.1 * i, 10.0);
        m_w->reSort(col(QC_RATIO), 1);
        const QString anchor = keyOf("SH", "600004");
        QCOMPARE(m_w->getStock(0), anchor);
        m_w->setIsResetSelectStock(reselect);
        m_w->setStock(anchor);
        selectRows(selected);
        push("SH", "600004", 9.0, 10.0); // now the lowest
        m_w->slotBrowserRefreshTimeOut();
        QCOMPARE(m_w->getStock(4), anchor);
        QCOMPARE(m_w->table()->getSelectedRows(), expected);
        QCOMPARE(m_w->currentCode(), anchor);
    }

    // Dragging the scroll bar or turning the wheel lets go of the followed instrument.
    void scrollingReleasesTheAnchor()
    {
        makeWidget(m_stocks);
        for (int i = 0; i < m_stocks.size(); ++i)
            push("SH", m_stocks[i]->code, 10.0 + 0.01 * i, 10.0);
        m_w->reSort(col(QC_RATIO), 1);
        auto* table = m_w->table();
        QTRY_VERIFY(table->isVerticalScrollVisible());
        m_w->setIsResetSelectStock(true);
        const QString anchor = m_w->getStock(0);
        m_w->setStock(anchor);
        table->handleEvent(20, 1, 0, QString(), nullptr); // a press of the scroll bar
        QCOMPARE(m_w->currentCode(), QString());
        m_w->setStock(anchor);
        table->handleEvent(18, 0, 0, QString(), nullptr); // not a press of the bar
        QCOMPARE(m_w->currentCode(), anchor);

        QWheelEvent wheel(QPointF(50, 50), table->viewport()->mapToGlobal(QPoint(50, 50)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(table->viewport(), &wheel);
        QCOMPARE(m_w->currentCode(), QString());
        const int scrolled = table->verticalScrollValue();
        QVERIFY(scrolled > 0);
        // the former anchor drops to the bottom: a re-sort does not jump after it
        push("SH", m_w->model()->rowByKey(anchor)->code, 9.0, 10.0);
        m_w->slotBrowserRefreshTimeOut();
        QCOMPARE(table->verticalScrollValue(), scrolled);
    }

    void sortHelpers()
    {
        makeWidget(m_stocks.mid(0, 3));
        m_w->sortByPreParam(-1, 0);
        int column = -2, order = -2;
        m_w->getSortParam(column, order);
        QCOMPARE(column, col(QC_RATIO));
        QCOMPARE(order, 1);
        m_w->sortByPreParam(col(QC_LATEST), 0);
        m_w->getSortParam(column, order);
        QCOMPARE(column, col(QC_LATEST));
        QCOMPARE(order, 0);
        QCOMPARE(m_w->table()->getSelectedRow(), 0);
        m_w->clearSort();
        m_w->getSortParam(column, order);
        QCOMPARE(column, -1);

        // without a "涨幅" column sorting by rate does nothing
        QList<ColumnInfo> list = m_w->getBaseColumnList();
        list.removeAt(QC_RATIO);
        m_w->setColumnList(list);
        m_w->setStockList(m_stocks.mid(0, 3));
        m_w->sortByPreParam(-1, 1);
        m_w->getSortParam(column, order);
        QCOMPARE(column, -1);
    }

    void refreshIntervalFollowsTheConfiguration()
    {
        makeWidget();
        QCOMPARE(m_w->refreshInterval(), 60000);
        SingletonManager::getIndexUserConfig()->setRefreshInterval(500);
        QTRY_COMPARE_WITH_TIMEOUT(m_w->refreshInterval(), 500, 2000);
        SingletonManager::getIndexUserConfig()->setRefreshInterval(500); // unchanged: kept
        QCOMPARE(m_w->refreshInterval(), 500);
        // the refresh timer runs at the new interval: queued pushes are drained by it
        QSignalSpy refreshed(m_w, &CBrowseWidget::sigRefreshed);
        m_w->setStockList(m_stocks.mid(0, 1));
        QVERIFY(refreshed.wait(3000));
        SingletonManager::getIndexUserConfig()->setRefreshInterval(60000);
        QTRY_COMPARE_WITH_TIMEOUT(m_w->refreshInterval(), 60000, 2000);
    }

    void moveFirstRowMatchesProductCode_data()
    {
        QTest::addColumn<QString>("market");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("target");
        const auto row = [](const char* tag, const char* market, const char* code,
                            const QString& target) {
            QTest::newRow(tag) << QString(market) << QString(code) << target;
        };
        row("same product: the first contract", "CFFEX", "IF2506", keyOf("CFFEX", "IF2503"));
        row("no product: the key itself", "SH", "600001", keyOf("SH", "600001"));
        row("unknown key", "SH", "999999", keyOf("SH", "999999"));
    }
    void moveFirstRowMatchesProductCode()
    {
        QFETCH(QString, market);
        QFETCH(QString, code);
        QFETCH(QString, target);
        makeWidget({detail("SH", "600000"), detail("SH", "600001"), detail("CFFEX", "IF2503"),
                    detail("CFFEX", "IF2506")});
        m_w->setCurSelectCodeMoveFirstRow(keyOf(market, code));
        QCOMPARE(m_w->currentCode(), target);
        const int index = m_w->model()->getDataIndexByKey(target);
        if (index >= 0)
            QCOMPARE(m_w->getStock(), target);
    }

    // A known key is selected (scrolled to when outside the view); an unknown key leaves the
    // selection alone, as the table ignores invalid rows.
    void curSelectCode_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("expected");
        QTest::newRow("row in view") << "600002" << 2;
        QTest::newRow("row below the view") << "600035" << 35;
        QTest::newRow("unknown key keeps the selection") << "999999" << 3;
    }
    void curSelectCode()
    {
        QFETCH(QString, code);
        QFETCH(int, expected);
        makeWidget(m_stocks);
        auto* table = m_w->table();
        QTRY_VERIFY(table->isVerticalScrollVisible());
        QVERIFY(table->getEndRow() < 35);
        m_w->setSelectRow(3);
        m_w->setCurSelectCode(keyOf("SH", code));
        QCOMPARE(table->getSelectedRow(), expected);
        QVERIFY(table->getStartRow() <= expected && expected <= table->getEndRow());
        QCOMPARE(m_w->currentCode(), keyOf("SH", code));
    }

    void selectStocksInRowOrder()
    {
        makeWidget({detail("SH", "600000"), detail("CD", "CD001"), detail("SH", "600001"),
                    detail("SH", "600002")});
        selectRows({3, 0, 2});
        QCOMPARE(m_w->getSelectStocks(),
                 (QVector<QString>{keyOf("SH", "600000"), keyOf("SH", "600001"),
                                   keyOf("SH", "600002")}));
    }

    void selectJsonDefaultColumns()
    {
        makeWidget(m_stocks.mid(0, 2));
        m_w->table()->clearSelection();
        QCOMPARE(QString::fromStdString(m_w->getSelectJsonParam()).remove(QLatin1Char(' ')),
                 QStringLiteral("{\"index\":-1}"));
        push("SH", "600001", TestMarket::quote(10.5, 10.0, 12345));
        m_w->setSelectRow(1);
        const QString json = QString::fromStdString(m_w->getSelectJsonParam());
        const QJsonObject o = QJsonDocument::fromJson(json.toUtf8()).object();
        QCOMPARE(o.value("index").toInt(), 1);
        QCOMPARE(o.value("CODE").toString(), keyOf("SH", "600001"));
        QCOMPARE(o.value("NAME").toString(), QStringLiteral("股票1"));
        const char* keys[] = {"OPEN",   "LATEST",   "HIGH",    "LOW",      "AMOUNT",
                              "VOLUMN", "PRECLOSE", "ZHANGFU", "ZHANGDIE", "POSITION",
                              "BID1",   "BIDVOL1",  "ASK1",    "ASKVOL1"};
        auto r = row("SH", "600001");
        int lastPos = json.indexOf(QStringLiteral("\"NAME\""));
        for (int q = 0; q < 14; ++q) {
            // the default list shows quote id q in column q + 3
            QCOMPARE(o.value(keys[q]).toString(), r->getText(q + 3));
            const int pos =
                json.indexOf(QLatin1Char('"') + QLatin1String(keys[q]) + QLatin1Char('"'));
            QVERIFY2(pos > lastPos, keys[q]);
            lastPos = pos;
        }
        QCOMPARE(o.size(), 17);
        QCOMPARE(o.value("LATEST").toString(), QStringLiteral("10.50"));
        QCOMPARE(o.value("ZHANGFU").toString(), QStringLiteral("5.00%"));
    }

    void selectJsonChangedColumns()
    {
        makeWidget();
        QList<ColumnInfo> list = m_w->getBaseColumnList();
        std::reverse(list.begin(), list.end());
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [](const ColumnInfo& c) { return c.lineIndex == QC_OPEN; }),
                   list.end());
        m_w->setColumnList(list);
        m_w->setStockList(m_stocks.mid(0, 1));
        push("SH", "600000", TestMarket::quote(10.5, 10.0, 12345));
        m_w->setSelectRow(0);
        const QJsonObject o =
            QJsonDocument::fromJson(QByteArray::fromStdString(m_w->getSelectJsonParam())).object();
        QVERIFY(!o.contains("OPEN")); // not a column
        QCOMPARE(o.value("LATEST").toString(), QStringLiteral("10.50"));
        QCOMPARE(o.value("PRECLOSE").toString(), QStringLiteral("10.00"));
        QCOMPARE(o.value("ZHANGFU").toString(), QStringLiteral("5.00%"));
        QCOMPARE(o.value("BID1").toString(), QStringLiteral("10.49"));
        QCOMPARE(o.value("ASK1").toString(), QStringLiteral("10.51"));
    }

    // A+H rows take the Hong Kong line's quote into their linked columns; that market is not
    // requested, yet the tick repaints and re-sorts for it. Outside that sector it is ignored.
    void linkedRowsOfAnAHSector()
    {
        makeWidget({detail("SH", "600050")});
        m_w->clearContent();
        m_w->formulaMarketQuoteBack("HGT", {"00762"}, {snap(TestMarket::quote(4.4, 4.0))}, false);
        QCOMPARE(row("SH", "600050")->getText(col(QC_LINK_PRICE)), QStringLiteral("-"));

        makeWidget();
        m_w->setSectorName(QStringLiteral("A+H"));
        m_w->resetTableColumn();
        QVERIFY(colByTitle("港股价格") >= 0);
        m_w->setStockList({detail("SH", "600050"), detail("SH", "600000")});
        QCOMPARE(m_w->requestedMarkets(), (QList<QString>{"SH"}));
        auto r = row("SH", "600050");
        QCOMPARE(r->getText(col(QC_LINK_CODE)), QStringLiteral("00762"));
        QCOMPARE(r->getText(col(QC_LINK_NAME)), QStringLiteral("中国联通H"));
        m_w->reSort(col(QC_RATIO), 1);
        m_w->slotBrowserRefreshTimeOut(); // settle the fill's changes
        QSignalSpy layout(m_w->model(), &XP::IBaseHpfTableModel::sigLayoutAboutToBeChanged);
        QSignalSpy refreshed(m_w, &CBrowseWidget::sigRefreshed);

        quoter::QuoterAllData hq = TestMarket::quote(4.4, 4.0);
        hq.amount = 123456789.0;
        m_w->formulaMarketQuoteBack("HGT", {"00762"}, {snap(hq)}, false);
        QCOMPARE(r->getText(col(QC_LINK_PRICE)), QStringLiteral("4.40"));
        QCOMPARE(r->getText(col(QC_LINK_RATIO)), QStringLiteral("10.00%"));
        QCOMPARE(r->getText(col(QC_LINK_AMOUNT)), QStringLiteral("1.23亿"));
        const QColor* rise = clr("ic_clr_browse_rise");
        QCOMPARE(r->getTextColor(col(QC_LINK_PRICE)), rise);
        QCOMPARE(r->getTextColor(col(QC_LINK_RATIO)), rise);
        QCOMPARE(text("SH", "600000", "港股价格"), QStringLiteral("-")); // not linked
        m_w->slotBrowserRefreshTimeOut();
        QCOMPARE(refreshed.count(), 1);
        QCOMPARE(layout.count(), 1);
    }

    void browseType3AnnouncesTheFirstRow_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("no rows: an empty key") << 0;
        QTest::newRow("rows: the first key") << 2;
    }
    void browseType3AnnouncesTheFirstRow()
    {
        QFETCH(int, rows);
        makeWidget(BrowseType_NetBuying);
        m_w->setStockList(m_stocks.mid(0, rows), true);
        m_events.clear();
        m_w->slotWholeHistoryQuoteBack();
        QCOMPARE(m_events.size(), size_t(1));
        QCOMPARE(m_events[0].id, 3255);
        QCOMPARE(m_events[0].text, rows ? keyOf("SH", "600000") : QString());
        makeWidget(BrowseType_Default);
        m_w->setStockList(m_stocks.mid(0, rows));
        m_events.clear();
        m_w->slotWholeHistoryQuoteBack();
        QVERIFY(m_events.empty());
    }

    void earlierTradeDateRequestsLocal()
    {
        makeWidget({detail("SH", "600000")});
        const int last = CStockManager::instance()->getLastTradingDay(QStringLiteral("SH"));
        QVERIFY(last > 0);
        QList<QString> markets{"SH"};
        QVERIFY(m_w->isLatestDay(markets)); // no getter: live
        m_w->setGetTradeDateFunc([last]() { return last - 7 * 86400; });
        QVERIFY(!m_w->isLatestDay(markets));
        QList<QString> none;
        QVERIFY(!m_w->isLatestDay(none));
        m_w->request();
        drainPool();
        QCOMPARE(m_capture->count("[browser] request local"), 1);
        QCOMPARE(subscriptionsFor(m_w), 0);

        m_w->setGetTradeDateFunc([last]() { return last; });
        QVERIFY(m_w->isLatestDay(markets));
        QVERIFY(requestAndSubscribe(1));
        QCOMPARE(m_capture->count("[browser] request local"), 1);
    }

    // A host thread pushes partial deliveries, each instrument a price it never had before,
    // while the GUI timers drain: at the end every row shows its instrument's last price.
    void pushStormLosesNothing()
    {
        SingletonManager::getIndexUserConfig()->setRefreshInterval(100);
        makeWidget();
        QList<ttservice::CInstrumentDetailPtr> list = m_stocks;
        list.append(detail("SZ", "000001"));
        m_w->setStockList(list);
        QVERIFY(requestAndSubscribe(2));

        const quint64 pushesBefore = m_w->pushCount();
        CWholeQuoteModelPtr model = m_w->wholeQuoteModel();
        std::atomic<bool> done{false};
        int deliveries = 0;
        QHash<QString, double> lastSent;
        std::thread feed([&]() {
            for (int round = 1; round <= 30; ++round) {
                // a third of the instruments a time, queued as the host queues them
                QMap<QString, Delivery> byMarket;
                for (int i = round % 3; i < list.size(); i += 3) {
                    const auto& d = list[i];
                    const double price = 10.0 + 0.01 * round + 0.0001 * i;
                    Delivery& delivery = byMarket[d->market];
                    delivery.codes.append(d->code);
                    delivery.markets.append(d->market);
                    delivery.quotes.push_back(snap(TestMarket::quote(price, 10.0)));
                    lastSent[d->key] = price;
                }
                for (auto it = byMarket.begin(); it != byMarket.end(); ++it) {
                    dorn::PushQuoteParam param(it.key().toStdString());
                    param.queued = true;
                    model->onPushQuote(param, it->codes, it->markets, it->quotes);
                    ++deliveries;
                }
            }
            done = true;
        });
        QSignalSpy refreshed(m_w, &CBrowseWidget::sigRefreshed);
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), 20000);
        feed.join();
        QVERIFY(deliveries > 30);
        QCOMPARE(lastSent.size(), list.size());
        QTRY_VERIFY_WITH_TIMEOUT(
            refreshed.count() > 0 && m_w->wholeQuoteModel()->queuedCount() == 0, 5000);
        m_w->slotBrowserRefreshTimeOut();
        QCOMPARE(m_w->pushCount() - pushesBefore, quint64(deliveries));
        for (const auto& d : list) {
            auto r = row(d->market, d->code);
            QVERIFY(r);
            QCOMPARE(r->getDouble(col(QC_LATEST)), lastSent.value(d->key));
        }
    }

    // Direct deliveries from a host thread while the GUI thread runs no event loop: the
    // widget holds one pending snapshot per instrument, however many deliveries came, and
    // the next tick writes each instrument's last one.
    void directDeliveriesKeepOneSnapshotPerInstrument()
    {
        makeWidget(m_stocks.mid(0, 10));
        CWholeQuoteModelPtr model = m_w->wholeQuoteModel();
        const quint64 pushesBefore = m_w->pushCount();
        QHash<QString, double> lastSent;
        std::thread host([&]() {
            for (int round = 0; round < 3000; ++round) {
                QVector<QString> codes, markets;
                std::vector<quoter::QuoterAllDataPtr> quotes;
                for (int k = 0; k < 3; ++k) {
                    const int i = (round + 3 * k) % 10;
                    const double price = 10.0 + 0.0001 * round + 0.01 * i;
                    codes.append(m_stocks[i]->code);
                    markets.append(QStringLiteral("SH"));
                    quotes.push_back(snap(TestMarket::quote(price, 10.0)));
                    lastSent[m_stocks[i]->code] = price;
                }
                dorn::PushQuoteParam param("SH"); // not queued: delivered on this thread
                model->onPushQuote(param, codes, markets, quotes);
            }
        });
        host.join();
        QCOMPARE(m_w->pushCount() - pushesBefore, quint64(3000));
        QCOMPARE(CBrowseWidgetTest::pendingQuotes(*m_w), 10);
        QCOMPARE(text("SH", "600000", "最新"), QStringLiteral("10.00")); // the cache fill's
        m_w->slotBrowserRefreshTimeOut();
        QCOMPARE(CBrowseWidgetTest::pendingQuotes(*m_w), 0);
        for (int i = 0; i < 10; ++i)
            QCOMPARE(row("SH", m_stocks[i]->code)->getDouble(col(QC_LATEST)),
                     lastSent.value(m_stocks[i]->code));
    }

    // The widget dies while its quote model reads the cache and a host thread delivers
    // directly: the model outlives the widget and goes on taking pushes, and none of them
    // reaches the destroyed widget.
    void destroyWhileReadAndPushInFlight()
    {
        std::atomic<int> delivered{0};
        delete m_w;
        m_w = new CountingWidget(delivered);
        m_w->show();
        m_w->setStockList(m_stocks.mid(0, 10));
        boost::weak_ptr<CWholeQuoteModel> weak = m_w->wholeQuoteModel();
        std::atomic<bool> stop{false};
        std::atomic<int> pushes{0};
        std::thread pusher([&]() {
            while (!stop) {
                if (auto model = weak.lock()) {
                    dorn::PushQuoteParam param("SH"); // not queued: delivered at once
                    model->onPushQuote(param, {"600000"}, {"SH"},
                                       {snap(TestMarket::quote(10.5, 10.0))});
                    ++pushes;
                } else {
                    std::this_thread::yield();
                }
            }
        });
        TestMarket::startFeed(1);
        // host-thread deliveries land in the pending store, not in a virtual of the widget
        QTRY_VERIFY_WITH_TIMEOUT(m_w->pushCount() > 10, 5000);
        QCOMPARE(delivered.load(), 0);
        m_w->request(); // the cache read runs on the pool now
        // queued feed deliveries reach the widget's virtual on the GUI thread
        QTRY_VERIFY_WITH_TIMEOUT(delivered.load() > 0, 5000);
        CWholeQuoteModelPtr keep = m_w->wholeQuoteModel();
        delete m_w;
        m_w = nullptr;
        const int deliveredAtDeath = delivered.load();
        const int pushesAtDeath = pushes.load();
        QTRY_VERIFY_WITH_TIMEOUT(pushes.load() > pushesAtDeath + 100, 5000);
        QCOMPARE(delivered.load(), deliveredAtDeath);
        keep.reset();
        QTRY_VERIFY_WITH_TIMEOUT(weak.expired(), 5000);
        stop = true;
        pusher.join();
        TestMarket::stopFeed();
        drainPool();
        QCOMPARE(delivered.load(), deliveredAtDeath);
    }
};

QTEST_MAIN(TstBrowseWidget)
#include "tst_browsewidget.moc"
