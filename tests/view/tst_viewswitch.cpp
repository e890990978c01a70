// The browse view's sector switch over the data files' universe: the table shown per sector
// kind with the open-interest column, the layout kept per sector and table kind (the
// position kind by account type), the lower pane, a hidden view that fills but requests
// nothing, the user-sector signals on the bar, setStock, sectors that vanish while shown,
// and the trade-date getter reaching every table.
#include "ViewTestFixture.h"

#include "host/data/ColumnInfo.h"
#include "host/toolkit/PushButton.h"
#include "host/toolkit/PushButtonGroup.h"
#include "host/toolkit/SplitButtonContainer.h"
#include "host/toolkit/ToolkitEvents.h"
#include "host/toolkit/WidgetList.h"
#include "host/widgets/CPushButtonTabControl.h"
#include "position/CPositionBrowseWidget.h"
#include "pricet/CPriceTBrowseWidget.h"

#include <boost/function.hpp>

using namespace TC;
using namespace viewtest;

namespace {

const QString kAll = QStringLiteral("沪深A股");
const QString kSH = QStringLiteral("上证A股");
const QString kStockPosition = QStringLiteral("股票持仓");

// A product-group sub-sector of a position kind.
QString firstChildOf(const QString& name)
{
    CSectorDetail* s = CSectorManager::instance()->getSector(name);
    return s && s->hasChildren() ? s->getChildren().first()->getName() : QString();
}

bool shown(CBrowseWidget& table, int column)
{
    return table.table()->isColumnVisible(column);
}

// Hides the table's last column; its id.
int hideLastColumn(CBrowseWidget& table)
{
    const int id = table.getCurrentColumnList().last().columnId;
    table.setColumnVisible(id, false);
    return shown(table, id) ? -1 : id;
}

CCombinPushButton* barButton(CIndexBrowseView& view, const QString& rootText)
{
    return view.sectorTabControl()->buttonByRootText(rootText);
}

} // namespace

class TestViewSwitch : public QObject {
    Q_OBJECT

    QTemporaryDir m_userDir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(setUp(m_userDir, true));
        QVERIFY(CSectorManager::instance()->getSectorStockList(kAll).size() > 1000);
    }

    void cleanupTestCase() { ttmarket::TestMarket::restore(); }

    void tablePerSector_data()
    {
        QTest::addColumn<QString>("sector");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("openInterest");
        const int main = CIndexBrowseView::KindMain;
        QTest::newRow("stocks") << kAll << main << false;
        QTest::newRow("domestic futures") << QStringLiteral("上期所") << main << true;
        QTest::newRow("options") << QStringLiteral("上证期权") << main << true;
        QTest::newRow("foreign futures") << QStringLiteral("纽约商品(NYMEX)") << main << false;
        QTest::newRow("positions")
            << kStockPosition << int(CIndexBrowseView::KindPosition) << false;
        QTest::newRow("T-board") << QStringLiteral("T型报价板") << int(CIndexBrowseView::KindPriceT)
                                 << false;
        QTest::newRow("convertible bonds") << QStringLiteral("可转债") << main << false;
    }
    void tablePerSector()
    {
        QFETCH(QString, sector);
        QFETCH(int, kind);
        QVERIFY2(CSectorManager::instance()->getSector(sector), qPrintable(sector));
        auto view = makeView(QStringLiteral("可转债"), true);
        view->setSector(sector);
        QCOMPARE(view->currentBrowserKind(), kind);
        QCOMPARE(view->mainBrowseWidget()->isVisible(), kind == CIndexBrowseView::KindMain);
        QCOMPARE(view->positionBrowseWidget()->isVisible(), kind == CIndexBrowseView::KindPosition);
        QCOMPARE(view->priceTBrowseWidget()->isVisible(), kind == CIndexBrowseView::KindPriceT);
        if (kind != CIndexBrowseView::KindPriceT)
            QTEST(view->getBrowseWidget()->table()->isColumnVisible(12), "openInterest");
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
        auto view = makeView(kSH);
        view->setPositionSector(QStringLiteral("不存在的持仓"), {}, false, true);
        QCOMPARE(view->getCurrentSector(), kSH);

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
        QVERIFY(view->sectorParams().at(CIndexBrowseView::KindMain).count(kSH));
    }

    // The main kind keeps one layout per sector; every sub-sector of "股票持仓" shares the
    // position layout under "2"; no layout is kept under an empty key.
    void layoutsPerKind()
    {
        auto view = makeView();
        CBrowseWidget* main = view->mainBrowseWidget();
        CPositionBrowseWidget* position = view->positionBrowseWidget();
        QVERIFY(position);
        const QString group = firstChildOf(kStockPosition);
        QVERIFY(!group.isEmpty());

        view->setSector(kAll);
        for (const auto& kind : view->sectorParams())
            QVERIFY(kind.second.find(QString()) == kind.second.end());
        const int mainColumn = hideLastColumn(*main);

        view->setSector(group);
        QCOMPARE(view->currentBrowserKind(), int(CIndexBrowseView::KindPosition));
        QCOMPARE(view->getBrowseWidget(), static_cast<CBrowseWidget*>(position));
        const int positionColumn = hideLastColumn(*position);

        view->setSector(kSH);
        QCOMPARE(view->currentBrowserKind(), int(CIndexBrowseView::KindMain));
        main->setColumnVisible(mainColumn, true); // this sector's own layout
        const auto& positions = view->sectorParams().at(CIndexBrowseView::KindPosition);
        QCOMPARE(int(positions.size()), 1);
        QCOMPARE(positions.begin()->first, QStringLiteral("2"));

        view->setSector(kAll);
        QVERIFY(!shown(*main, mainColumn));
        view->setSector(kSH);
        QVERIFY(shown(*main, mainColumn));
        position->setColumnVisible(positionColumn, true); // overwritten by the stored "2"
        view->setSector(kStockPosition);                  // another sector of the same kind
        QVERIFY(!shown(*position, positionColumn));
        QCOMPARE(view->sectorKey(group), QStringLiteral("2"));
        QCOMPARE(view->sectorKey(kAll), kAll);
    }

    void lowerPaneClosesOnSwitch()
    {
        auto view = makeView(kAll, true);
        view->splitContainer()->openSplit();
        view->subPanel()->show();
        view->setSector(kSH);
        QVERIFY(view->subPanel()->isHidden());
        QVERIFY(!view->splitContainer()->isSplitOpen());

        view->splitContainer()->openSplit();
        view->subPanel()->show();
        QVERIFY(view->handleEvent(XP::EV_BUTTON_CLICKED, 0, 0, QString(), nullptr));
        QVERIFY(view->subPanel()->isHidden());
        QVERIFY(!view->splitContainer()->isSplitOpen());
    }

    void hiddenViewRequestsNothing()
    {
        auto hidden = makeView(kSH);
        CBrowseWidget* table = hidden->getBrowseWidget();
        QCOMPARE(table->getStockListSize(),
                 CSectorManager::instance()->getSectorStockList(kSH).size());
        QVERIFY(table->wholeQuoteModel()->codeMap().empty());
        QCOMPARE(table->wholeQuoteModel()->subscriptionCount(), 0);

        auto shown = makeView(kSH, true);
        QTRY_VERIFY(shown->getBrowseWidget()->wholeQuoteModel()->subscriptionCount() > 0);
        QCOMPARE(hidden->getBrowseWidget()->wholeQuoteModel()->subscriptionCount(), 0);
    }

    // The sector bar follows the user sectors: a new name shows on "我的", a removed
    // sector leaves "   - ".
    void userSectorSignals()
    {
        auto view = makeView();
        CSectorManager* sectors = CSectorManager::instance();
        QVERIFY(sectors->addUserSector(QStringLiteral("观察一")));
        QVERIFY(sectors->renameUserSector(QStringLiteral("观察一"), QStringLiteral("观察二")));
        QCOMPARE(barButton(*view, QStringLiteral("我的"))->curText(), QStringLiteral("观察二"));
        QVERIFY(sectors->removeUserSector(QStringLiteral("观察二")));
        QCOMPARE(barButton(*view, QStringLiteral("我的"))->curText(), QStringLiteral("   - "));
    }

    void setStockInUserAndSystemSectors()
    {
        CSectorManager* sectors = CSectorManager::instance();
        const auto all = sectors->getSectorStockList(kAll);
        const QString first = all.first()->key, other = all.at(1)->key;
        QVERIFY(sectors->addUserSector(QStringLiteral("观察三")));
        QVERIFY(sectors->addStockToSector(QStringLiteral("观察三"), first));
        auto view = makeView();

        // user sector: the code joins it and becomes the current row
        view->setSector(QStringLiteral("观察三"));
        view->setStock(other);
        QCOMPARE(sectors->getSector(QStringLiteral("观察三"))->getStockKeys(),
                 (QStringList{first, other}));
        QVERIFY(view->getStockList().contains(other));
        QCOMPARE(view->getBrowseWidget()->currentCode(), other);

        // system sector: the view moves to the first sector that holds the code
        const auto sz = sectors->getSectorStockList(QStringLiteral("深证A股"));
        const QString szKey = sz.first()->key;
        view->setSector(kSH);
        view->setStock(szKey);
        QCOMPARE(view->getCurrentSector(), sectors->getStockSectorNames(szKey).first());
        QCOMPARE(view->getBrowseWidget()->currentCode(), szKey);

        // a code the catalogue does not know changes nothing
        view->setSector(QStringLiteral("观察三"));
        view->setStock(QStringLiteral("NOSUCH.XX"));
        QCOMPARE(view->getCurrentSector(), QStringLiteral("观察三"));
        QCOMPARE(sectors->getSector(QStringLiteral("观察三"))->getStockKeys().size(), 2);
        QVERIFY(sectors->removeUserSector(QStringLiteral("观察三")));
    }

    // The host's tree may be rebuilt or lose the shown sector: the view follows by name
    // and never shows a sector that is gone.
    void sectorsThatVanish()
    {
        CSectorManager* sectors = CSectorManager::instance();
        auto view = makeView();
        view->setSector(kSH);
        CSectorDetail* before = view->currentSector();
        sectors->reset();
        QVERIFY(sectors->getRoot());
        QVERIFY(view->currentSector() != before);
        QCOMPARE(view->currentSector(), sectors->getSector(kSH));

        QVERIFY(sectors->addUserSector(QStringLiteral("观察四")));
        view->setSector(QStringLiteral("观察四"));
        QVERIFY(sectors->removeUserSector(QStringLiteral("观察四")));
        QCOMPARE(view->currentSector(), sectors->getUserSector());
        view->handleEvent(XP::EV_SEARCH_TEXT_CHANGED, 0, 0, QString(), nullptr); // re-applies
        QCOMPARE(view->currentSector(), sectors->getUserSector());
    }

    // An empty user sector and an outside list of 20,000 entries fill the table as they are.
    void emptyAndHugeLists()
    {
        CSectorManager* sectors = CSectorManager::instance();
        QVERIFY(sectors->addUserSector(QStringLiteral("观察五")));
        auto view = makeView(QStringLiteral("观察五"), true);
        QCOMPARE(view->getBrowseWidget()->getStockListSize(), 0);
        QVERIFY(sectors->removeUserSector(QStringLiteral("观察五")));

        const auto all = sectors->getSectorStockList(kAll);
        CIndexBrowseView::InstrumentList huge;
        while (huge.size() < 20000)
            huge.append(all.at(huge.size() % all.size()));
        view->setStockListByIndex(huge);
        QCOMPARE(view->getBrowseWidget()->getStockListSize(), 20000);
    }

    // Every table the view makes gets the panel's trade-date getter, the unlisted new
    // bonds' table too when it is first made.
    void tradeDateGetterReachesEveryTable()
    {
        auto view = makeView();
        view->setCurrentTradeDateFunc(boost::function<int()>([] { return 86400; }));
        QVERIFY(view->handleEvent(XP::EV_BUTTON_CLICKED, 2, 0, QString(), nullptr));
        QVERIFY(view->newBondBrowseWidget());
        const QList<CBrowseWidget*> tables{
            view->mainBrowseWidget(), view->subBrowseWidget(), view->newBondBrowseWidget(),
            view->positionBrowseWidget(), view->priceTBrowseWidget()->underlyingList()};
        for (CBrowseWidget* table : tables) {
            QList<QString> markets{QStringLiteral("SH")};
            QVERIFY2(!table->isLatestDay(markets), qPrintable(table->objectName()));
        }
    }
};

QTEST_MAIN(TestViewSwitch)
#include "tst_viewswitch.moc"
