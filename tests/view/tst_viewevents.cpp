// The browse view's host events and keys: what a row choice hands up, table commands from
// the view's own tables only (the current table put back afterwards), null pointers, the
// smart keyboard and the lower pane's grid keys, and destruction while the keyboard is
// bound or the add-to-sector dialog is open.
#include "ViewTestFixture.h"

#include "browse/BrowseEvents.h"
#include "host/data/ColumnInfo.h"
#include "host/toolkit/WidgetList.h"
#include "host/widgets/CAddSelfStockDialog.h"
#include "host/widgets/CHostEventLog.h"
#include "host/widgets/CIndexMultiView.h"
#include "host/widgets/CSmartKeyboardDialog.h"

#include <cstring>

using namespace TC;
using namespace viewtest;

namespace {

const QString kAll = QStringLiteral("沪深A股");
const QString kSH = QStringLiteral("上证A股");

std::unique_ptr<CIndexBrowseView> shownView()
{
    return makeView(kAll, true);
}

} // namespace

class TestViewEvents : public QObject {
    Q_OBJECT

    QTemporaryDir m_userDir;
    CHostEventLog* m_log = CHostEventLog::instance();

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(setUp(m_userDir, false));
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        TestMarket::install({TestMarket::stock("SH", "600000", "浦发银行", 10.0),
                             TestMarket::stock("SH", "600036", "招商银行", 30.0),
                             TestMarket::stock("SZ", "000001", "平安银行", 10.0)});
        m_log->install();
    }

    void cleanupTestCase()
    {
        m_log->uninstall();
        TestMarket::restore();
    }

    void init() { m_log->clear(); }

    // A chosen row goes up as 3059 with the sector's type; the view itself rides along
    // only when the lower table sent it. A first integer of 2 arms the lower pane's keys.
    void rowChoiceHandsUp()
    {
        auto view = shownView();
        const QString key = view->getStockList().first();
        QVERIFY(view->handleEvent(Event_SelectStock, 88, 0, key, view->mainBrowseWidget()));
        QVERIFY(view->handleEvent(Event_SelectStock, 2, 0, key, view->subBrowseWidget()));
        QVERIFY(view->handleEvent(Event_SelectStock, 88, 0, key, nullptr));
        const QList<CHostEvent> events = m_log->events(3059);
        QCOMPARE(events.size(), 3);
        QCOMPARE(events[0].a, int(view->currentSector()->sectorType()));
        QCOMPARE(events[0].text, key);
        QCOMPARE(events[0].pointer, nullptr);
        QCOMPARE(events[1].pointer, static_cast<const void*>(view.get()));
        QCOMPARE(events[2].pointer, nullptr);
        QCOMPARE(view->mainBrowseWidget()->currentCode(), key);

        // double click and account events with a null pointer are handed up as they came
        QVERIFY(view->handleEvent(Event_DoubleSelectStock, 88, 0, key, nullptr));
        QVERIFY(view->handleEvent(Event_PositionAccount, 88, 0, QString(), nullptr));
        QCOMPARE(m_log->count(3057), 1);
        QCOMPARE(m_log->count(Event_PositionAccount), 1);
    }

    // Table commands are taken only from the view's own tables; a command of the lower
    // table runs on it and the current table is put back, so the next switch stores the
    // main table's layout under the main kind.
    void tableCommandPointers()
    {
        auto view = shownView();
        CBrowseWidget* main = view->mainBrowseWidget();
        main->removeColumnInfo(main->getCurrentColumnList().last().columnId);
        const QString mainParam = main->param(false);
        QVERIFY(mainParam != view->subBrowseWidget()->param(false));

        // not a table at all: any read of it as one would crash
        alignas(CBrowseWidget) unsigned char garbage[sizeof(CBrowseWidget)];
        std::memset(garbage, 0xa5, sizeof garbage);
        QVERIFY(view->handleEvent(Event_SectorCommand, 0, 4, QString(), garbage));
        CBrowseWidget foreign;
        QVERIFY(view->handleEvent(Event_SectorCommand, 0, 4, QString(), &foreign));
        QVERIFY(view->handleEvent(Event_SectorCommand, 0, 4, QString(), nullptr));
        QVERIFY(view->handleEvent(Event_SectorCommand, 0, 4, QString(), view->subBrowseWidget()));
        QCOMPARE(view->getBrowseWidget(), main);

        view->setSector(kSH);
        QCOMPARE(view->sectorParams().at(CIndexBrowseView::KindMain).at(kAll), mainParam);
    }

    void smartKeyboardOnlyWhenSwitchedOn()
    {
        auto view = shownView();
        CSmartKeyboardDialog* keyboard = CSmartKeyboardDialog::instance();
        keyboard->hide();
        QTest::keyClick(view.get(), Qt::Key_A);
        QVERIFY(!keyboard->isVisible());
        QVERIFY(!keyboard->isBoundTo(view.get()));

        view->setStarrtSmartShow(true);
        QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(!keyboard->isVisible());
        QTest::keyClick(view.get(), Qt::Key_6);
        QVERIFY(keyboard->isVisible());
        QVERIFY(keyboard->isBoundTo(view.get()));
        QCOMPARE(keyboard->windowTitle(), QStringLiteral("选择品种"));

        // picking an instrument of the list makes it the current row
        const QString key = view->getStockList().last();
        keyboard->setSearchText(key.left(6));
        QVERIFY(keyboard->chooseCurrent());
        QCOMPARE(view->getBrowseWidget()->currentCode(), key);
    }

    // Once a row of the lower table was chosen, Ctrl+M shows its grid (an empty table an
    // empty grid, made once and following the table later) and Escape returns.
    void lowerPaneKeys()
    {
        auto view = shownView();
        CBrowseWidget* lower = view->subBrowseWidget();
        view->subPanel()->show();
        QTest::keyClick(view.get(), Qt::Key_M, Qt::ControlModifier);
        QVERIFY(!view->multiView());

        lower->setStockList({});
        QVERIFY(view->handleEvent(Event_SelectStock, 2, 0, QString(), lower));
        QTest::keyClick(view.get(), Qt::Key_M, Qt::ControlModifier);
        CIndexMultiView* grid = view->multiView();
        QVERIFY(grid && grid->isVisible() && grid->isRequested());
        QCOMPARE(grid->stockList(), QStringList());
        QCOMPARE(grid->currentStock(), QString());
        QCOMPARE(grid->paneCount(), 9);
        QVERIFY(lower->isHidden());
        QTest::keyClick(view.get(), Qt::Key_Escape);
        QVERIFY(grid->isHidden());
        QVERIFY(!grid->isRequested());
        QVERIFY(!lower->isHidden());

        const auto list = CSectorManager::instance()->getSectorStockList(kAll);
        lower->setStockList(list);
        view->createMultiView();
        QCOMPARE(view->multiView(), grid);
        QCOMPARE(grid->stockList().size(), list.size());
        QCOMPARE(grid->currentStock(), lower->getStockList().first());
    }

    // Nothing reaches a destroyed view: not the keyboard's callback, not the code after
    // the add-to-sector dialog's exec().
    void destroyWhileBoundOrDialogOpen()
    {
        CSmartKeyboardDialog* keyboard = CSmartKeyboardDialog::instance();
        auto view = shownView();
        view->setStarrtSmartShow(true);
        QTest::keyClick(view.get(), Qt::Key_6);
        QVERIFY(keyboard->isBoundTo(view.get()));
        view.reset();
        keyboard->setSearchText(QStringLiteral("600000"));
        QVERIFY(keyboard->chooseCurrent()); // a pick after the view went calls nothing

        view = shownView();
        view->setStarrtSmartShow(true);
        bool sawDialog = false;
        QTimer::singleShot(0, this, [&] {
            sawDialog = qobject_cast<CAddSelfStockDialog*>(QApplication::activeModalWidget());
            view.reset();
        });
        QTest::keyPress(view.get(), Qt::Key_Insert);
        QVERIFY(sawDialog);
        QVERIFY(!view);
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TestViewEvents)
#include "tst_viewevents.moc"
