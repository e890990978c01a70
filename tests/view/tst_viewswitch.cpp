// The browse view's sector switch over the data files' universe: the table layout kept per
// sector and table kind (the position kind by account type), the lower pane, a hidden view
// that fills but requests nothing, the user-sector signals on the bar, setStock, sectors
// that vanish while shown, and the trade-date getter reaching every table.
#include "view/CIndexBrowseView.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/ColumnInfo.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockManager.h"
#include "host/market/EmbeddedBackend.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/SplitButtonContainer.h"
#include "host/toolkit/ToolkitEvents.h"
#include "host/toolkit/WidgetList.h"
#include "host/widgets/CPushButtonTabControl.h"
#include "position/CPositionBrowseWidget.h"
#include "pricet/CPriceTBrowseWidget.h"

#include <QTemporaryDir>
#include <QtTest>

#include <boost/function.hpp>

#include <memory>

using namespace TC;

namespace {

const QString kAll = QStringLiteral("沪深A股");
const QString kSH = QStringLiteral("上证A股");
const QString kStockPosition = QStringLiteral("股票持仓");

std::unique_ptr<CIndexBrowseView> makeView(bool shown)
{
    auto view = std::make_unique<CIndexBrowseView>(nullptr, BrowseType_Default);
    view->resize(900, 600);
    if (shown)
        view->show();
    return view;
}

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
        QVERIFY(m_userDir.isValid());
        qputenv("TT_USER_DIR", m_userDir.path().toLocal8Bit());
        ttmarket::installEmbeddedBackend();
        QVERIFY(CStockManager::instance()->ensureLoaded());
        QVERIFY(CSectorManager::instance()->getSectorStockList(kAll).size() > 1000);
    }

    void cleanupTestCase() { ttmarket::TestMarket::restore(); }

    // The main kind keeps one layout per sector; every sub-sector of "股票持仓" shares the
    // position layout under "2"; no layout is kept under an empty key.
    void layoutsPerKind()
    {
        auto view = makeView(false);
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
        auto view = makeView(true);
        view->setSector(kAll);
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
        auto hidden = makeView(false);
        hidden->setSector(kSH);
        CBrowseWidget* table = hidden->getBrowseWidget();
        QCOMPARE(table->getStockListSize(),
                 CSectorManager::instance()->getSectorStockList(kSH).size());
        QVERIFY(table->wholeQuoteModel()->codeMap().empty());
        QCOMPARE(table->wholeQuoteModel()->subscriptionCount(), 0);

        auto shown = makeView(true);
        shown->setSector(kSH);
        QTRY_VERIFY(shown->getBrowseWidget()->wholeQuoteModel()->subscriptionCount() > 0);
        QCOMPARE(hidden->getBrowseWidget()->wholeQuoteModel()->subscriptionCount(), 0);
    }

    // The sector bar follows the user sectors: a new name shows on "我的", a removed
    // sector leaves "   - ".
    void userSectorSignals()
    {
        auto view = makeView(false);
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
        auto view = makeView(false);

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
        auto view = makeView(false);
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
        auto view = makeView(true);
        view->setSector(QStringLiteral("观察五"));
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
        auto view = makeView(false);
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
