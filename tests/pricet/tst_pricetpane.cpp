// The option board's outer pane over the data files' market at a fixed time: the category
// filter of the underlyings, the routing of row clicks between the list, the board and
// the quote panes, the quote panes' mode keys and empty instruments, and the parameter
// strings of both (round trip and hostile input).
#include "pricet/CPriceTBrowseWidget.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserTable.h"
#include "host/charts/CKLineMainWidget.h"
#include "host/charts/CRealtimeMainWidget.h"
#include "host/data/ColumnInfo.h"
#include "host/data/FormulaManager.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/JsonParam.h"
#include "host/data/SectorManager.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedMarket.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/EventWidget.h"
#include "host/toolkit/PushButton.h"
#include "host/toolkit/PushButtonGroup.h"
#include "pricet/CHpfOptionBrowserData.h"
#include "pricet/CHpfOptionBrowserDataModel.h"
#include "pricet/COptionPriceTBrowseWidget.h"
#include "pricet/CQuoteMainWidget.h"

#include <QtTest>

#include <memory>

using namespace TC;
using ttmarket::TestMarket;

namespace {

const char* const kSector = "T型报价板";

CPriceTBrowseWidget::InstrumentList sector()
{
    return CSectorManager::instance()->getSectorStockList(QString::fromUtf8(kSector));
}

bool isFutures(const QString& m)
{
    return m == QLatin1String("DCE") || m == QLatin1String("INE") || m == QLatin1String("SHFE")
           || m == QLatin1String("CZCE") || m == QLatin1String("CFFEX");
}

int subscriptions()
{
    return CFormulaManager::instance()->pushSubscriptionCount();
}

} // namespace

class TestPriceTPane : public QObject {
    Q_OBJECT

    std::unique_ptr<CPriceTBrowseWidget> m_w;
    QVector<int> m_sunk; // event ids that reached the host

    int rowOfKey(CBrowseWidget* list, const QString& key)
    {
        for (int r = 0; r < list->getStockListSize(); ++r)
            if (list->getStock(r) == key)
                return r;
        return -1;
    }

    // A left click on a row of the underlying list, as its table reports it.
    void clickUnderlying(const QString& key)
    {
        CBrowseWidget* list = m_w->underlyingList();
        const int row = rowOfKey(list, key);
        QVERIFY2(row >= 0, qPrintable(key));
        list->table()->setSelectedRow(row);
        list->handleEvent(47, CPriceTBrowseWidget::kListTableId, row, QString(), nullptr);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // the data files' universe at a fixed trading time, no feed thread
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        TestMarket::install({TestMarket::stock("SH", "600000", "浦发银行", 10.0)});
        CStockManager::instance()->restoreDefault();
        ttmarket::EmbeddedMarket::instance()->reset(ttmarket::EmbeddedMarket::kDefaultSeed);
        QVERIFY(!sector().isEmpty());
    }
    void cleanupTestCase() { TestMarket::restore(); }
    void init()
    {
        m_sunk.clear();
        XP::CEventSink::setHandler([this](QObject*, int id, int, int, const QString&, void*) {
            m_sunk.append(id);
            return true;
        });
        m_w.reset(new CPriceTBrowseWidget());
        m_w->resize(1600, 900);
        m_w->show();
    }
    void cleanup()
    {
        m_w.reset();
        XP::CEventSink::clearHandler();
    }

    // Each category lists only its own underlyings, once each, and its button fills the
    // list with them.
    void categories_data()
    {
        QTest::addColumn<int>("category");
        for (int c = 0; c < CPriceTBrowseWidget::kCategoryCount; ++c)
            QTest::newRow(qPrintable(CPriceTBrowseWidget::categoryText(c))) << c;
    }
    void categories()
    {
        QFETCH(int, category);
        const auto all = sector();
        const auto list = CPriceTBrowseWidget::filterUnderlyings(all, category);
        QSet<QString> keys;
        for (const auto& d : list) {
            QVERIFY(!keys.contains(d->key));
            keys.insert(d->key);
            const QString& m = d->market;
            switch (category) {
            case 0: QVERIFY(m == "SH" || m == "SZ"); break;
            case 1: QCOMPARE(m, QStringLiteral("SH")); break;
            case 2: QCOMPARE(m, QStringLiteral("SZ")); break;
            case 3: QVERIFY(isFutures(m) && d->isContinuous && d->code.endsWith("00")); break;
            case 4: QVERIFY(isFutures(m)); break;
            case 5: QVERIFY(d->code == "000300" || d->code == "000852"); break;
            case 6: QCOMPARE(m, QStringLiteral("SHFE")); break;
            case 7: QCOMPARE(m, QStringLiteral("CZCE")); break;
            case 8: QCOMPARE(m, QStringLiteral("DCE")); break;
            }
        }
        if (category == 5)
            QVERIFY(list.size() >= 1 && list.size() <= 2);
        if (category == 0)
            QCOMPARE(list.size(), CPriceTBrowseWidget::filterUnderlyings(all, 1).size()
                                      + CPriceTBrowseWidget::filterUnderlyings(all, 2).size());
        if (category == 3 || category == 4 || category == 0)
            QVERIFY(!list.isEmpty());
        // the button: the list shows the same, the board keeps its underlying
        m_w->board()->selectUnderlying(QStringLiteral("510050.SH"));
        m_w->categoryBar()->button(category)->click();
        QCOMPARE(m_w->category(), category);
        QCOMPARE(m_w->underlyingList()->getStockListSize(), list.size());
        QCOMPARE(m_w->board()->underlyingKey(), QStringLiteral("510050.SH"));
    }

    // Duplicate futures months collapse into their main contract; the index category
    // never lists more than the two index underlyings even when the sector repeats them.
    void categoryEdgeCases()
    {
        auto all = sector();
        all += all; // every underlying twice
        QVERIFY(CPriceTBrowseWidget::filterUnderlyings(all, 5).size() <= 2);
        const auto mains = CPriceTBrowseWidget::filterUnderlyings(all, 3);
        const auto months = CPriceTBrowseWidget::filterUnderlyings(all, 4);
        QVERIFY(mains.size() < months.size());
        QVERIFY(CPriceTBrowseWidget::filterUnderlyings(all, 9).isEmpty());
        QVERIFY(CPriceTBrowseWidget::filterUnderlyings({nullptr}, 0).isEmpty());
    }

    // A click in the list loads the underlying's pane and the board; a click in the board
    // loads the option's pane; the host still hears of both.
    void routing()
    {
        const QString und = QStringLiteral("510050.SH");
        clickUnderlying(und);
        QCOMPARE(m_w->underlyingQuotePane()->stock(), und);
        QVERIFY(m_w->underlyingQuotePane()->realtimeWidget()->isRequested());
        QCOMPARE(m_w->board()->underlyingKey(), und);
        QVERIFY(m_w->board()->model()->size() > 0);
        QVERIFY(m_sunk.contains(3083));
        QVERIFY(m_w->optionQuotePane()->stock().isEmpty());

        COptionPriceTBrowseWidget* board = m_w->board();
        int column = 10; // the call side
        board->handleEvent(47, COptionPriceTBrowseWidget::kTableId, 0, QString(), &column);
        const auto* row = static_cast<CHpfOptionBrowserData*>(board->model()->getData(0).get());
        const auto call = CStockManager::instance()->getInstrumentDetail(QStringLiteral("SHO"),
                                                                         row->m_qsCallCode);
        QVERIFY(call);
        QCOMPARE(m_w->optionQuotePane()->stock(), call->key);
        QVERIFY(m_w->optionQuotePane()->realtimeWidget()->isRequested());
        QCOMPARE(m_w->underlyingQuotePane()->stock(), und); // untouched

        // a main futures contract: its pane shows it, the board the month it follows
        m_w->selectCategory(3);
        const auto mains = CPriceTBrowseWidget::filterUnderlyings(sector(), 3);
        QVERIFY(!mains.isEmpty());
        clickUnderlying(mains.first()->key);
        QCOMPARE(m_w->underlyingQuotePane()->stock(), mains.first()->key);
        QCOMPARE(m_w->board()->underlyingKey(),
                 XP::nvStockKey(mains.first()->market, mains.first()->mainCode));
    }

    // Enter, Return and F5 switch a pane; twice returns to intraday, requested again.
    void modeSwitch_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Enter);
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("F5") << int(Qt::Key_F5);
    }
    void modeSwitch()
    {
        QFETCH(int, key);
        CQuoteMainWidget* pane = m_w->underlyingQuotePane();
        pane->setStock(QStringLiteral("510050.SH"));
        QCOMPARE(pane->mode(), int(CQuoteMainWidget::eRealtime));
        const int subs = subscriptions();
        QTest::keyClick(pane, Qt::Key(key));
        QCOMPARE(pane->mode(), int(CQuoteMainWidget::eKLine));
        QVERIFY(pane->klineWidget()->isVisible() && !pane->realtimeWidget()->isVisible());
        QVERIFY(pane->klineWidget()->isRequested() && !pane->realtimeWidget()->isRequested());
        QVERIFY(pane->klineWidget()->getUiParam().crossline);
        QCOMPARE(pane->klineWidget()->getUiParam().crossIndex, pane->klineWidget()->barCount() - 1);
        QVERIFY2(pane->klineWidget()->barCount() > 100,
                 QByteArray::number(pane->klineWidget()->barCount()));
        QCOMPARE(subscriptions(), subs);
        QTest::keyClick(pane, Qt::Key(key));
        QCOMPARE(pane->mode(), int(CQuoteMainWidget::eRealtime));
        QVERIFY(pane->realtimeWidget()->isVisible() && !pane->klineWidget()->isVisible());
        QVERIFY(pane->realtimeWidget()->isRequested() && !pane->klineWidget()->isRequested());
        QVERIFY(!pane->klineWidget()->getUiParam().crossline);
        QVERIFY(pane->realtimeWidget()->lastSlot() >= 0);
        QCOMPARE(subscriptions(), subs);
        QTest::keyClick(pane, Qt::Key_A); // other keys change nothing
        QCOMPARE(pane->mode(), int(CQuoteMainWidget::eRealtime));
    }

    // An empty instrument: intraday redraws without a request, k-line unsubscribes.
    void emptyInstrument_data()
    {
        QTest::addColumn<bool>("kline");
        QTest::newRow("intraday") << false;
        QTest::newRow("k-line") << true;
    }
    void emptyInstrument()
    {
        QFETCH(bool, kline);
        CQuoteMainWidget* pane = m_w->optionQuotePane();
        const int subs = subscriptions();
        pane->setStock(QStringLiteral("510050.SH"));
        if (kline)
            pane->switchMode();
        QCOMPARE(subscriptions(), subs + 1);
        pane->setStock(QString());
        QCOMPARE(subscriptions(), subs);
        QVERIFY(!pane->realtimeWidget()->isRequested() && !pane->klineWidget()->isRequested());
        QCOMPARE(pane->realtimeWidget()->lastSlot(), -1);
        QCOMPARE(pane->klineWidget()->barCount(), 0);
        pane->setStock(QStringLiteral("999999.SH")); // unknown
        QCOMPARE(subscriptions(), subs);
        QVERIFY(!pane->grab().isNull());
    }

    // The outer pane's string names its children in order and restores them; a quote
    // pane's own string carries both charts' settings as strings.
    void paneRoundTrip()
    {
        m_w->optionQuotePane()->klineWidget()->setParam("{\"barWidth\":3}");
        m_w->underlyingQuotePane()->realtimeWidget()->setParam("{\"volumeShare\":10}");
        m_w->board()->selectTab(2);
        m_w->selectCategory(4);
        ColumnInfo ma;
        ma.formulaName = QStringLiteral("MA");
        ma.period = 86400000;
        ma.title = QStringLiteral("MA5");
        QVERIFY(m_w->underlyingList()->addCustomIndex(ma) >= 0);
        const QString saved = m_w->getParam();
        const JsonObject o = JsonParam::parse(saved).object;
        const std::vector<std::string> names = o.fieldNames();
        const std::vector<std::string> order = {
            "m_pUndlCodeBrowseWidget", "customColumnParam", "m_pOptionPriceTBrowseWidget",
            "m_pOptionPriceTQuoteMainWidget", "m_pUndlCodeQuoteMainWidget"};
        QVERIFY(names.size() > order.size());
        for (size_t i = 0; i < order.size(); ++i) {
            QCOMPARE(names[i], order[i]);
            QCOMPARE(o.type(order[i]), JsonType::String);
        }
        const JsonObject pane = JsonParam::parse(o.getQString("m_pUndlCodeQuoteMainWidget")).object;
        QCOMPARE(pane.type("m_pRealtimeMainWidget"), JsonType::String);
        QCOMPARE(pane.type("m_pKLineMainWidget"), JsonType::String);

        CPriceTBrowseWidget other;
        other.setParam(saved);
        QCOMPARE(other.getParam(), saved);
        QCOMPARE(other.optionQuotePane()->klineWidget()->barWidth(), 3);
        QCOMPARE(other.underlyingQuotePane()->realtimeWidget()->volumeShare(), 10);
        QCOMPARE(other.board()->currentTab(), 2);
        QCOMPARE(other.category(), 4);
        QCOMPARE(other.underlyingList()->customIndexColumns().size(), 1); // not added twice
        QCOMPARE(other.underlyingList()->getCustomColumnParam(),
                 m_w->underlyingList()->getCustomColumnParam());
    }

    // Malformed, truncated, deeply nested strings and numbers where strings belong leave
    // every child as it was.
    void hostileStrings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("garbage") << QStringLiteral("not json at all");
        QTest::newRow("truncated") << QStringLiteral("{\"m_pUndlCodeQuoteMainWidget\":\"{\\\"m_pK");
        QTest::newRow("deep") << QString(100000, QLatin1Char('['))
                                     + QString(100000, QLatin1Char(']'));
        QTest::newRow("deep object") << QStringLiteral("{\"m_pOptionPriceTQuoteMainWidget\":")
                                            + QString(5000, QLatin1Char('{'));
        QTest::newRow("numbers for strings") << QStringLiteral(
            "{\"m_pOptionPriceTBrowseWidget\":1,\"m_pOptionPriceTQuoteMainWidget\":2,"
            "\"m_pUndlCodeQuoteMainWidget\":[3],\"m_pUndlCodeBrowseWidget\":{},"
            "\"customColumnParam\":null}");
        QTest::newRow("inner numbers for strings")
            << QStringLiteral("{\"m_pUndlCodeQuoteMainWidget\":\"{\\\"m_pRealtimeMainWidget\\\":7,"
                              "\\\"m_pKLineMainWidget\\\":{\\\"barWidth\\\":3}}\"}");
        QTest::newRow("inner garbage") << QStringLiteral(
            "{\"m_pOptionPriceTQuoteMainWidget\":\"{\\\"m_pKLineMainWidget\\\":\\\"{[\\\"}\"}");
        QTest::newRow("trailing") << QStringLiteral("{\"category\":3} trailing");
        QTest::newRow("not an object") << QStringLiteral("[\"m_pUndlCodeQuoteMainWidget\"]");
    }
    void hostileStrings()
    {
        QFETCH(QString, text);
        m_w->optionQuotePane()->klineWidget()->setParam("{\"barWidth\":19}");
        const QString before = m_w->getParam();
        const QString optionPane = m_w->optionQuotePane()->getParam();
        m_w->setParam(text);
        m_w->optionQuotePane()->setParam(text);
        m_w->underlyingQuotePane()->setParam(text);
        QCOMPARE(m_w->getParam(), before);
        QCOMPARE(m_w->optionQuotePane()->getParam(), optionPane);
        QCOMPARE(m_w->optionQuotePane()->klineWidget()->barWidth(), 19);
    }
};

QTEST_MAIN(TestPriceTPane)
#include "tst_pricetpane.moc"
