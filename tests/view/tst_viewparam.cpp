// The browse view's layout string (round trip, keep flag, older and hostile strings), the
// table shown per sector kind with the open-interest column, the lower pane's grid and
// hiding the tool bar.
#include "view/CIndexBrowseView.h"

#include "browse/BrowseEvents.h"
#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/ColumnInfo.h"
#include "host/data/ExternalDataManager.h"
#include "host/data/IndexUserConfig.h"
#include "host/data/JsonParam.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/CheckBox.h"
#include "host/toolkit/PushButton.h"
#include "host/toolkit/PushButtonGroup.h"
#include "host/toolkit/SearchTextLineEdit.h"
#include "host/toolkit/SplitButtonContainer.h"
#include "host/toolkit/StyleSheetCenter.h"
#include "host/toolkit/WidgetList.h"
#include "host/widgets/CIndexMultiView.h"
#include "host/widgets/CPushButtonTabControl.h"
#include "position/CPositionBrowseWidget.h"
#include "pricet/CPriceTBrowseWidget.h"

#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include <log4cxx/appenderskeleton.h>
#include <log4cxx/logger.h>

#include <memory>
#include <mutex>

using namespace TC;
using ttmarket::TestMarket;

namespace {

const QString kDefault = QStringLiteral("沪深A股");
const QString kShanghai = QStringLiteral("上证A股");
const QString kStockPosition = QStringLiteral("股票持仓");
const QString kFuturesPosition = QStringLiteral("期货持仓");

class ErrorCounter : public log4cxx::AppenderSkeleton {
public:
    std::mutex mutex;
    int errors = 0;
    void close() override {}
    bool requiresLayout() const override { return false; }
    void append(const log4cxx::spi::LoggingEventPtr& e, log4cxx::helpers::Pool&) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (e->getLevel()->isGreaterOrEqual(log4cxx::Level::getError()))
            ++errors;
    }
};

std::unique_ptr<CIndexBrowseView> newView()
{
    return std::make_unique<CIndexBrowseView>(nullptr, BrowseType_Default);
}

// Hides the first visible column after the fixed ones; its id.
int hideAColumn(CBrowseWidget* table, int skip = 0)
{
    for (const ColumnInfo& c : table->getCurrentColumnList()) {
        if (c.columnId < 3 || !table->table()->isColumnVisible(c.columnId) || skip-- > 0)
            continue;
        table->setColumnVisible(c.columnId, false);
        return c.columnId;
    }
    return -1;
}

// JSON written with single quotes, for readable tables
QString j(const char* text)
{
    return QString::fromUtf8(text).replace(QLatin1Char('\''), QLatin1Char('"'));
}

QString json(JsonBuilder& b)
{
    return b.toQString();
}

} // namespace

class TestViewParam : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<ErrorCounter> m_log;

private Q_SLOTS:
    void initTestCase()
    {
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        ttmarket::installEmbeddedBackend();
        QVERIFY(CStockManager::instance()->ensureLoaded());
        m_log = std::make_shared<ErrorCounter>();
        log4cxx::Logger::getLogger("TTStdFile")->addAppender(m_log);
    }
    void cleanupTestCase()
    {
        log4cxx::Logger::getLogger("TTStdFile")->removeAppender(m_log);
        TestMarket::restore();
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("TT_USER_DIR", m_dir->path().toUtf8());
        m_log->errors = 0;
    }

    // --- round trip ----------------------------------------------------------------------

    void roundTrip_data()
    {
        QTest::addColumn<bool>("paneOpen");
        QTest::newRow("lower pane open") << true;
        QTest::newRow("lower pane closed") << false;
    }
    void roundTrip()
    {
        QFETCH(bool, paneOpen);
        auto a = newView();
        a->setSector(kStockPosition);
        QCOMPARE(a->getBrowseWidget(), static_cast<CBrowseWidget*>(a->positionBrowseWidget()));
        const int stockHidden = hideAColumn(a->positionBrowseWidget());
        QVERIFY(stockHidden >= 0);
        a->setSector(kFuturesPosition);
        const int futuresHidden = hideAColumn(a->positionBrowseWidget(), 1);
        QVERIFY(futuresHidden >= 0 && futuresHidden != stockHidden);
        a->setSector(kShanghai);
        QVERIFY(hideAColumn(a->mainBrowseWidget()) >= 0);
        a->mainBrowseWidget()->customIndexValues()[kShanghai][QStringLiteral("MA5")].insert(
            QStringLiteral("600000.SH"), 1.5);
        const QString mainLayout = a->mainBrowseWidget()->saveConfigStr();
        if (paneOpen)
            a->splitContainer()->openSplit();
        else
            a->splitContainer()->closeSplit();
        const QString saved = a->param(true);

        auto b = newView();
        b->setParam(saved, false);
        QCOMPARE(b->getCurrentSector(), kShanghai);
        CCombinPushButton* boards =
            b->sectorTabControl()->buttonByRootText(QStringLiteral("A股分类"));
        QVERIFY(boards);
        QCOMPARE(boards->curText(), kShanghai);
        QCOMPARE(b->sectorTabControl()->currentButton(), boards);
        QCOMPARE(b->mainBrowseWidget()->saveConfigStr(), mainLayout);
        // the value file came back with the layout: the last values show at once
        QCOMPARE(b->mainBrowseWidget()
                     ->customIndexValues()
                     .value(kShanghai)
                     .value(QStringLiteral("MA5"))
                     .value(QStringLiteral("600000.SH")),
                 1.5);
        QCOMPARE(b->lastShow(), paneOpen);
        // position layouts per account type; a view without the string shows the columns
        auto plain = newView();
        for (CIndexBrowseView* v : {b.get(), plain.get()}) {
            const bool restored = v == b.get();
            CHpfBrowserTable* positions = v->positionBrowseWidget()->table();
            v->setSector(kStockPosition);
            QCOMPARE(positions->isColumnVisible(stockHidden), !restored);
            v->setSector(kFuturesPosition);
            QCOMPARE(positions->isColumnVisible(futuresHidden), !restored);
        }
        QCOMPARE(m_log->errors, 0);
    }

    void keepFlag_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::newRow("start-up") << false;
        QTest::newRow("keep") << true;
    }
    // The table's own layout ("browsewidgetparam") is applied only without the keep flag.
    void keepFlag()
    {
        QFETCH(bool, keep);
        auto source = newView();
        source->setSector(kShanghai);
        const QString sectorLayout = source->mainBrowseWidget()->param(false);
        const int hidden = hideAColumn(source->mainBrowseWidget());
        QVERIFY(hidden >= 0);
        const QString ownLayout = source->mainBrowseWidget()->param(false);

        JsonBuilder s;
        s.appendString("currentSector", kShanghai)
            .appendString("browsewidgetparam", ownLayout)
            .appendStringArray("sectorKeys", {kShanghai})
            .appendStringArray("sectorParams", {sectorLayout});
        auto view = newView();
        view->setParam(json(s), keep);
        QCOMPARE(view->getCurrentSector(), kShanghai);
        QCOMPARE(view->mainBrowseWidget()->table()->isColumnVisible(hidden), keep);
    }

    void externalDataSetReopened()
    {
        const QString set = QStringLiteral("宏观指标");
        QVERIFY(CExternalDataManager::instance()->isExist(set));
        auto a = newView();
        a->setExternal(set);
        auto b = newView();
        b->setParam(a->param(false), false);
        QCOMPARE(b->getBrowseWidget(), b->mainBrowseWidget());
        QCOMPARE(b->mainBrowseWidget()->getBrowserStatus(), int(BrowseStatus_External));
        QCOMPARE(b->mainBrowseWidget()->getSectorName(), set);
        QCOMPARE(b->mainBrowseWidget()->getStockListSize(),
                 a->mainBrowseWidget()->getStockListSize());
    }

    // --- older, ill-typed and hostile strings --------------------------------------------

    void partialStrings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sector");
        QTest::addColumn<QStringList>("stored"); // main kind: "key=param"
        QTest::addColumn<bool>("lastShow");

        QTest::newRow("older, current sector only")
            << j("{'currentSector':'上证A股'}") << kShanghai << QStringList() << true;
        QTest::newRow("wrong types")
            << j("{'currentSector':5,'sectorList':[1],'sectorKeys':'x',"
                 "'sectorParams':['p'],'shareBrowseParam':3,'m_bLastShow':'no'}")
            << kDefault << QStringList() << true;
        QTest::newRow("keys without params")
            << j("{'sectorKeys':['a'],'m_bLastShow':false}") << kDefault << QStringList() << false;
        QTest::newRow("unequal arrays pair up to the shorter")
            << j("{'sectorKeys':['a','b','c'],'sectorParams':['pa',7]}") << kDefault
            << QStringList{"a=pa"} << true;
        QTest::newRow("entries of another type skipped")
            << j("{'sectorKeys':[1,'b',null,'d'],'sectorParams':['p1','pb','pc']}") << kDefault
            << QStringList{"b=pb"} << true;
        QTest::newRow("sector that no longer exists")
            << j("{'currentSector':'已删除的板块','sectorKeys':['已删除的板块'],"
                 "'sectorParams':['{}'],'shareBrowseParam':'{}'}")
            << QString() << QStringList{"已删除的板块={}"} << true;
    }
    void partialStrings()
    {
        QFETCH(QString, text);
        QFETCH(QString, sector);
        QFETCH(QStringList, stored);
        QFETCH(bool, lastShow);
        auto view = newView();
        const QString before = view->getCurrentSector();
        view->setParam(text, false);
        // a sector that is gone leaves the view where it was
        QCOMPARE(view->getCurrentSector(), sector.isEmpty() ? before : sector);
        QStringList got;
        const auto& all = view->sectorParams();
        const auto main = all.find(CIndexBrowseView::KindMain);
        if (main != all.end()) {
            for (const auto& e : main->second) {
                if (e.first != view->getCurrentSector() && e.first != before)
                    got << e.first + QLatin1Char('=') + e.second;
            }
        }
        QCOMPARE(got, stored);
        QCOMPARE(view->mainBrowseWidget()->getSectorName(), view->getCurrentSector());
        QCOMPARE(view->lastShow(), lastShow);
        QCOMPARE(m_log->errors, 0);
    }

    void hostileStrings_data()
    {
        QTest::addColumn<QString>("text");
        const QString valid = j("{'currentSector':'上证A股','sectorKeys':['a'],"
                                "'sectorParams':['b']}");
        QTest::newRow("not JSON") << QStringLiteral("currentSector=上证A股");
        QTest::newRow("truncated") << valid.left(valid.size() / 2);
        QTest::newRow("trailing garbage") << valid + QStringLiteral("}]x");
        QTest::newRow("nested 5000 deep")
            << j("{'currentSector':'上证A股','sectorList':") + QString(5000, QLatin1Char('['))
                   + QString(5000, QLatin1Char(']')) + QLatin1Char('}');
        QString big = j("{'currentSector':'上证A股','browsewidgetparam':'");
        big += QString(20 << 20, QLatin1Char('x'));
        big += QStringLiteral("\"}");
        QTest::newRow("20 MiB") << big;
    }
    // Each is the empty string: the default sector, and an error in the log.
    void hostileStrings()
    {
        QFETCH(QString, text);
        auto view = newView();
        view->setSector(kShanghai);
        view->setParam(text, false);
        QCOMPARE(view->getCurrentSector(), kDefault);
        QCOMPARE(m_log->errors, 1);
        QVERIFY(view->sectorParams().count(CIndexBrowseView::KindMain) == 0
                || view->sectorParams().at(CIndexBrowseView::KindMain).count(QStringLiteral("a"))
                       == 0);
    }

    // --- the table per sector kind and the open-interest column ---------------------------

    void tablePerSector_data()
    {
        QTest::addColumn<QString>("sector");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("openInterest");
        QTest::newRow("stocks") << kDefault << int(CIndexBrowseView::KindMain) << false;
        QTest::newRow("domestic futures")
            << QStringLiteral("上期所") << int(CIndexBrowseView::KindMain) << true;
        QTest::newRow("options") << QStringLiteral("上证期权") << int(CIndexBrowseView::KindMain)
                                 << true;
        QTest::newRow("foreign futures")
            << QStringLiteral("纽约商品(NYMEX)") << int(CIndexBrowseView::KindMain) << false;
        QTest::newRow("positions")
            << kStockPosition << int(CIndexBrowseView::KindPosition) << false;
        QTest::newRow("T-board") << QStringLiteral("T型报价板") << int(CIndexBrowseView::KindPriceT)
                                 << false;
        QTest::newRow("convertible bonds")
            << QStringLiteral("可转债") << int(CIndexBrowseView::KindMain) << false;
    }
    void tablePerSector()
    {
        QFETCH(QString, sector);
        QFETCH(int, kind);
        QFETCH(bool, openInterest);
        QVERIFY2(CSectorManager::instance()->getSector(sector), qPrintable(sector));
        auto view = newView();
        view->resize(800, 600);
        view->show();
        view->setSector(QStringLiteral("可转债"));
        view->setSector(sector);
        QCOMPARE(view->currentBrowserKind(), kind);
        QCOMPARE(view->mainBrowseWidget()->isVisible(), kind == CIndexBrowseView::KindMain);
        QCOMPARE(view->positionBrowseWidget()->isVisible(), kind == CIndexBrowseView::KindPosition);
        QCOMPARE(view->priceTBrowseWidget()->isVisible(), kind == CIndexBrowseView::KindPriceT);
        if (kind != CIndexBrowseView::KindPriceT)
            QCOMPARE(view->getBrowseWidget()->table()->isColumnVisible(12), openInterest);
        // the bond buttons only over a convertible-bond sector, the first one naming it
        const bool bonds = CSectorManager::instance()->isConvertibleBondSector(sector);
        QCOMPARE(view->bondButtonGroup()->isVisible(), bonds);
        if (bonds) {
            QCOMPARE(view->bondButtonGroup()->checkedId(), 1);
            QCOMPARE(view->bondButtonGroup()->button(1)->text(), sector);
        }
    }

    // Opening a position sector from outside (event 3081): the position table, the sector
    // remembered for the next save, the bar button of its top-level sector marked.
    void positionSectorFromOutside()
    {
        auto view = newView();
        view->setSector(kShanghai);
        view->setPositionSector(QStringLiteral("不存在的持仓"), {}, false, true);
        QCOMPARE(view->getCurrentSector(), kShanghai);

        view->setPositionSector(kStockPosition, {}, false, true);
        QCOMPARE(view->currentBrowserKind(), int(CIndexBrowseView::KindPosition));
        QCOMPARE(view->getCurrentSector(), kStockPosition);
        QVERIFY(view->mainBrowseWidget()->isHidden());
        QVERIFY(!view->positionBrowseWidget()->isHidden());
        CCombinPushButton* button = view->sectorTabControl()->currentButton();
        QVERIFY(button);
        QCOMPARE(button->rootText(),
                 CSectorManager::instance()->getSector(kStockPosition)->getParent()->getName());
        QCOMPARE(button->curText(), view->positionBrowseWidget()->getSectorName());
        // the main table's layout was kept as leaving its sector stores it
        QVERIFY(view->sectorParams().at(CIndexBrowseView::KindMain).count(kShanghai));
    }

    // --- the lower pane's grid -------------------------------------------------------------

    // Ctrl+M over an empty lower table opens an empty grid; later calls follow the table.
    void multiViewFollowsTheLowerTable()
    {
        auto view = newView();
        CBrowseWidget* lower = view->subBrowseWidget();
        QVERIFY(lower);
        lower->setStockList({});
        view->subPanel()->show();
        QVERIFY(view->handleEvent(Event_SelectStock, 2, 0, QString(), lower));
        QTest::keyClick(view.get(), Qt::Key_M, Qt::ControlModifier);
        CIndexMultiView* grid = view->multiView();
        QVERIFY(grid);
        QCOMPARE(grid->stockList(), QStringList());
        QCOMPARE(grid->currentStock(), QString());
        QCOMPARE(grid->paneCount(), 9);

        const auto list = CSectorManager::instance()->getSectorStockList(kShanghai).mid(0, 4);
        QVERIFY(!list.isEmpty());
        lower->setStockList(list);
        view->createMultiView();
        QCOMPARE(view->multiView(), grid); // made once
        QCOMPARE(grid->stockList().size(), list.size());
        QCOMPARE(grid->currentStock(), lower->getStockList().first());
    }

    // --- the option-arbitrage box and the user configuration -------------------------------

    void arbitrageBoxInUserConfig_data()
    {
        QTest::addColumn<bool>("on");
        QTest::newRow("shown") << true;
        QTest::newRow("hidden") << false;
    }
    void arbitrageBoxInUserConfig()
    {
        QFETCH(bool, on);
        CIndexUserConfig* config = SingletonManager::getIndexUserConfig();
        auto view = newView();
        view->setSector(QStringLiteral("上期所"));
        XP::CCheckBox* box = view->filterBox(CIndexBrowseView::FilterOptionArbitrage);
        QVERIFY(box);
        config->setShowFutureOptionArbitrage(on);
        view->load();
        QCOMPARE(box->isChecked(), on);

        QSignalSpy saved(config, &CIndexUserConfig::sigSaved);
        box->setChecked(!on); // the user's toggle stores the flag
        QCOMPARE(config->isShowFutureOptionArbitrage(), !on);
        QCOMPARE(saved.count(), 1);
        config->setShowFutureOptionArbitrage(on);
        QVERIFY(config->load());
        QCOMPARE(config->isShowFutureOptionArbitrage(), !on);
    }

    // --- switches ---------------------------------------------------------------------------

    void themeStyle()
    {
        auto view = newView();
        QCOMPARE(view->styleSheet(), XP::CStyleSheetCenter::getStyle(15));
        view->setStyleSheet(QString());
        view->themeChanged();
        QCOMPARE(view->styleSheet(), XP::CStyleSheetCenter::getStyle(15));
        for (QMenu* menu : {view->addToSectorMenu(), view->basketMenu(), view->externalMenu()}) {
            if (menu)
                QCOMPARE(menu->styleSheet(), view->styleSheet());
        }
    }

    void hidingTheToolBarClearsTheSearch()
    {
        auto view = newView();
        view->setSector(kShanghai);
        const int whole = view->getStockList().size();
        QVERIFY(whole > 1);
        const QString code = view->getStockList().first().section(QLatin1Char('.'), 0, 0);
        view->searchEdit()->setText(code);
        view->slotSearchDelayUse();
        QVERIFY(view->getStockList().size() < whole);
        view->setToolBarVisible(false);
        QCOMPARE(view->searchEdit()->text(), QString());
        QCOMPARE(view->getStockList().size(), whole);
        QVERIFY(!view->searchEdit()->isVisibleTo(view.get()));
    }
};

QTEST_MAIN(TestViewParam)
#include "tst_viewparam.moc"
