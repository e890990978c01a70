// The view's context-menu commands over a small embedded market: which commands a sector
// shows, what each command does to the host (sectors, baskets, sector indices, recorded
// requests), the text export, and dialogs outliving the view.
#include "view/CIndexBrowseView.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/BasketSetting.h"
#include "host/data/Config.h"
#include "host/data/FormulaManager.h"
#include "host/data/IndexMainWindowHelper.h"
#include "host/data/IndexManager.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockKey.h"
#include "host/data/UserConfig.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/FileDialog.h"
#include "host/toolkit/Menu.h"
#include "host/toolkit/MessageBox.h"
#include "host/widgets/CCustomIndexSetDialog.h"
#include "host/widgets/CHostEventLog.h"
#include "host/widgets/COptionSwitchDialog.h"
#include "host/widgets/CPushButtonTabControl.h"
#include "pricet/COptionPriceTBrowseWidget.h"
#include "pricet/CPriceTBrowseWidget.h"

#include <QtTest>

#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

using ttmarket::TestMarket;

namespace {

const QString kMine = QStringLiteral("自选股");
const QString kAll = QStringLiteral("测试全部");     // every test instrument
const QString kIndexList = QStringLiteral("指数组"); // a type-3 list of the user's
const QString kCustomIndex = QStringLiteral("自定义指数");

QString key(const QString& market, const QString& code)
{
    return XP::nvStockKey(market, code);
}

// Runs f on the dialog the next modal loop shows.
void onModal(std::function<void(QWidget*)> f)
{
    QTimer::singleShot(0, [f] {
        QWidget* w = QApplication::activeModalWidget();
        QVERIFY(w);
        f(w);
    });
}

QStringList basketCodes(const QString& name)
{
    TC::CBasketSetting s;
    QStringList codes;
    if (TC::getUserConfig()->getBasket(name, s))
        for (const TC::CBasketStockData& e : s.stocks)
            codes.append(e.code);
    return codes;
}

QString readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<none>");
}

} // namespace

namespace TC {

class TstViewMenus : public QObject {
    Q_OBJECT

    QTemporaryDir m_userDir;
    CIndexBrowseView* m_view = nullptr;

    CBrowseWidget* table() const { return m_view->mainBrowseWidget(); }

    void show(const QString& sector)
    {
        m_view->setSector(sector);
        QCOMPARE(m_view->getCurrentSector(), sector);
    }
    void select(const QStringList& keys)
    {
        CHpfBrowserTable* t = table()->table();
        t->clearSelection();
        for (int r = 0; r < table()->getStockListSize(); ++r)
            if (keys.contains(table()->getStock(r)))
                t->selectionModel()->select(t->model()->index(r, 0),
                                            QItemSelectionModel::Select
                                                | QItemSelectionModel::Rows);
        QCOMPARE(table()->getSelectStocks().size(), keys.size());
    }
    // The selection in the table's row order, as the commands take it.
    QStringList selection() const { return QStringList(table()->getSelectStocks().toList()); }
    void trigger(const QString& text)
    {
        QAction* a = table()->getMenuAction(text);
        QVERIFY2(a, qPrintable(text));
        a->trigger();
    }
    void setNoSector()
    {
        m_view->m_pCurSector = nullptr;
        m_view->changeAction();
    }
    static QAction* menuEntry(QMenu* menu, const QString& text)
    {
        for (QAction* a : menu->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_userDir.isValid());
        qputenv("TT_USER_DIR", m_userDir.path().toUtf8());
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
        TestMarket::install({
            TestMarket::stock("SH", "600000", "浦发银行", 10.0),
            TestMarket::stock("SH", "600004", "白云机场", 12.0),
            TestMarket::stock("SZ", "000001", "平安银行", 11.0),
            TestMarket::stock("HGT", "00700", "腾讯控股", 300.0),
            TestMarket::future("CFFEX", "IF00", "沪深300连续", 3500.0, 0.2, 300),
            TestMarket::future("CFFEX", "IF2406", "沪深300", 3500.0, 0.2, 300),
        });
        CHostEventLog::instance()->install();
        CSectorManager* sm = CSectorManager::instance();
        QVERIFY(sm->addUserSector(kAll));
        QCOMPARE(sm->addStockListToSector(kAll, {key("SH", "600000"), key("SH", "600004"),
                                                 key("SZ", "000001"), key("HGT", "00700"),
                                                 key("CFFEX", "IF00"), key("CFFEX", "IF2406")}),
                 6);
        QVERIFY(sm->addUserSector(kIndexList, eSectorCustomIndex));
        m_view = new CIndexBrowseView(nullptr, BrowseType_Default);
    }
    void cleanupTestCase()
    {
        delete m_view;
        CHostEventLog::instance()->uninstall();
        TestMarket::restore();
    }
    void cleanup()
    {
        XP::CMessageBox::clearAnswerHook();
        XP::CFileDialog::clearAnswerHook();
        getConfig()->clientType = 0;
    }

    // --- which commands a sector shows --------------------------------------------------
    void menuVisibility_data()
    {
        QTest::addColumn<QString>("sector"); // empty: no current sector
        QTest::addColumn<bool>("remove");
        QTest::addColumn<bool>("indexCommands");
        QTest::addColumn<bool>("exportIndex");
        QTest::addColumn<bool>("addToSector");
        QTest::addColumn<bool>("basket");
        QTest::addColumn<bool>("external");
        QTest::newRow("index-like and own: 自定义指数")
            << kCustomIndex << true << false << true << false << true << false;
        QTest::newRow("index-like and own: a user list")
            << kMine << true << false << true << true << true << false;
        QTest::newRow("index-like, not own")
            << kIndexList << false << true << true << false << true << false;
        QTest::newRow("neither") << QStringLiteral("沪深A股") << false << false << false << false
                                 << true << false;
        QTest::newRow("neither: no basket in 上证期权")
            << QStringLiteral("上证期权") << false << false << false << false << false << false;
        QTest::newRow("no sector") << QString() << false << false << false << false << true << true;
        // a data set opened over a sector of neither kind
        QTest::newRow("external data set") << QStringLiteral("沪深A股|宏观指标") << false << false
                                           << false << false << true << true;
    }
    void menuVisibility()
    {
        QFETCH(QString, sector);
        if (sector.isEmpty())
            setNoSector();
        else
            show(sector.section('|', 0, 0));
        if (sector.contains('|'))
            m_view->setExternal(sector.section('|', 1));
        auto shown = [this](const QString& text) {
            QAction* a = table()->getMenuAction(text);
            return a && a->isVisible();
        };
        QFETCH(bool, remove);
        QFETCH(bool, indexCommands);
        QFETCH(bool, exportIndex);
        QCOMPARE(shown(QStringLiteral("从板块中删除")), remove);
        for (const char* text : {"新建板块指数", "编辑板块指数", "删除板块指数", "导入板块指数"})
            QCOMPARE(shown(QString::fromUtf8(text)), indexCommands);
        QCOMPARE(shown(QStringLiteral("导出板块指数")), exportIndex);
        QVERIFY(m_view->addToSectorMenu());
        QTEST(m_view->addToSectorMenu()->menuAction()->isEnabled(), "addToSector");
        QVERIFY(m_view->basketMenu());
        QTEST(m_view->basketMenu()->menuAction()->isVisible(), "basket");
        QFETCH(bool, external);
        for (const char* text : {"从外部数据删除", "导入自定义指标模板", "导出自定义指标模板"})
            QCOMPARE(shown(QString::fromUtf8(text)), external);
        QCOMPARE(m_view->externalMenu()->menuAction()->isVisible(), external);
    }

    void menuOfBrowseType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("absent");
        const QStringList commands{"从板块中删除", "新建板块指数", "导出成分股", "同步数据"};
        QTest::newRow("main kind")
            << int(BrowseType_Default)
            << commands + QStringList{"添加扩展数据", "加入自选板块", "加入篮子"} << QStringList();
        QTest::newRow("net buying: the sector menu only")
            << int(BrowseType_NetBuying) << QStringList{"加入自选板块"}
            << commands + QStringList{"添加扩展数据", "加入篮子"};
        QTest::newRow("extended data: and its own command")
            << int(BrowseType_Extend) << QStringList{"添加扩展数据", "加入自选板块"}
            << commands + QStringList{"加入篮子"};
    }
    void menuOfBrowseType()
    {
        QFETCH(int, type);
        CIndexBrowseView view(nullptr, eBrowseType(type));
        QStringList texts;
        for (QAction* a : view.mainBrowseWidget()->table()->rowMenu()->actions())
            texts.append(a->text());
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);
        for (const QString& t : present)
            QVERIFY2(texts.contains(t), qPrintable(t));
        for (const QString& t : absent)
            QVERIFY2(!texts.contains(t), qPrintable(t));
    }

    // Folders of the user's lists become submenus of "加入自选板块" and groups of the bar's
    // "我的" drop-down.
    void userFolders()
    {
        CSectorManager* sm = CSectorManager::instance();
        QVERIFY(sm->addUserSector(QStringLiteral("文件夹"), eSectorUserGroup));
        QVERIFY(sm->addUserSector(QStringLiteral("子表"), eSectorUser, QStringLiteral("文件夹")));
        QAction* folder = menuEntry(m_view->addToSectorMenu(), QStringLiteral("文件夹"));
        QVERIFY(folder && folder->menu());
        QVERIFY(menuEntry(folder->menu(), QStringLiteral("子表")));
        CCombinPushButton* mine =
            m_view->sectorTabControl()->buttonByRootText(QStringLiteral("我的"));
        QVERIFY(mine);
        QAction* group = menuEntry(mine->menu(), QStringLiteral("文件夹"));
        QVERIFY(group && group->menu());
        QVERIFY(menuEntry(group->menu(), QStringLiteral("子表")));
        QVERIFY(menuEntry(mine->menu(), kMine));
    }

    // In the T-board's sector the board's own "加入自选板块" follows the user's lists, in place.
    void boardSectorMenu()
    {
        show(QStringLiteral("T型报价板"));
        QMenu* rows = m_view->priceTBrowseWidget()->board()->table()->rowMenu();
        auto position = [rows] {
            QStringList texts;
            for (QAction* a : rows->actions())
                texts.append(a->text());
            return texts;
        };
        const QStringList before = position();
        QVERIFY(before.contains(QStringLiteral("加入自选板块")));
        QVERIFY(CSectorManager::instance()->addUserSector(QStringLiteral("期权表")));
        QCOMPARE(position(), before);
        QAction* menu = menuEntry(rows, QStringLiteral("加入自选板块"));
        QVERIFY(menuEntry(menu->menu(), QStringLiteral("期权表")));
    }

    // --- requests handed to the host ----------------------------------------------------
    void hostRequests_data()
    {
        QTest::addColumn<bool>("board"); // from the T-board's own menu
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("event");
        for (bool board : {false, true}) {
            const char* where = board ? "T-board: " : "table: ";
            QTest::addRow("%s条件选股", where) << board << QStringLiteral("条件选股") << 3017;
            QTest::addRow("%s新建工作组", where) << board << QStringLiteral("新建工作组") << 3159;
            QTest::addRow("%s预警雷达", where) << board << QStringLiteral("预警雷达") << 1185;
        }
    }
    void hostRequests()
    {
        QFETCH(bool, board);
        QFETCH(QString, text);
        QFETCH(int, event);
        CHostEventLog* log = CHostEventLog::instance();
        const int before = log->count(event);
        if (board) {
            QVERIFY(m_view->priceTBrowseWidget());
            QAction* a = menuEntry(m_view->priceTBrowseWidget()->board()->table()->rowMenu(), text);
            QVERIFY(a);
            a->trigger();
        } else {
            trigger(text);
        }
        QCOMPARE(log->count(event), before + 1);
        const CHostEvent e = log->events(event).last();
        QCOMPARE(e.a, 0);
        QCOMPARE(e.b, 0);
        QVERIFY(e.text.isEmpty());
    }

    void selectionCommands()
    {
        show(kAll);
        select({key("SH", "600000"), key("SZ", "000001")});
        const QStringList two = selection();
        CFormulaManager* fm = CFormulaManager::instance();
        fm->clearCommands();
        trigger(QStringLiteral("同步数据"));
        QCOMPARE(fm->commands().back().command, QStringLiteral("synchroStockListData"));
        QCOMPARE(fm->commands().back().args, two);

        select({key("SH", "600004")});
        CIndexMainWindowHelper::inst()->clearRequests();
        trigger(QStringLiteral("所属板块分析"));
        QVERIFY(!CIndexMainWindowHelper::inst()->contrastRequests().isEmpty());
        QCOMPARE(CIndexMainWindowHelper::inst()->contrastRequests().last(), key("SH", "600004"));

        // an empty selection's quick order still reaches the host
        select({});
        m_view->slotQuickOrderBuy();
        m_view->slotQuickOrderSell();
        const std::vector<CommandRecord> c = fm->commands();
        QCOMPARE(int(c.size()), 3);
        QCOMPARE(c[1].command, QStringLiteral("sendBasketQuickOrder"));
        QCOMPARE(c[1].kind, 18);
        QVERIFY(c[1].args.isEmpty());
        QCOMPARE(c[2].kind, 19);
    }

    // --- user sectors -------------------------------------------------------------------
    void addToUserSector()
    {
        CSectorManager* sm = CSectorManager::instance();
        QVERIFY(sm->addUserSector(QStringLiteral("加入目标")));
        // the main table's menu, rebuilt as the user's lists change
        QAction* sub = menuEntry(table()->table()->rowMenu(), QStringLiteral("加入自选板块"));
        QVERIFY(sub && sub->menu());
        int copies = 0;
        for (QAction* a : table()->table()->rowMenu()->actions())
            copies += a->text() == QStringLiteral("加入自选板块");
        QCOMPARE(copies, 1); // the old menu left with the rebuild
        QAction* target = menuEntry(sub->menu(), QStringLiteral("加入目标"));
        QVERIFY(target);
        show(kAll);
        select({key("SH", "600000"), key("HGT", "00700")});
        const QStringList two = selection();
        QSignalSpy self(sm, &CSectorManager::sigUpdateSelfSelect);
        target->trigger();
        QCOMPARE(sm->getSector(QStringLiteral("加入目标"))->getStockKeys(), two);
        QCOMPARE(self.count(), 1);
        QCOMPARE(self.at(0).at(0).toInt(), 0);
        QCOMPARE(self.at(0).at(1).toStringList(), two);

        // the light client hands the request to the host instead
        getConfig()->clientType = 3;
        select({key("SZ", "000001")});
        CHostEventLog* log = CHostEventLog::instance();
        const int before = log->count(4004);
        target->trigger();
        QCOMPARE(log->count(4004), before + 1);
        const QJsonObject o =
            QJsonDocument::fromJson(log->events(4004).last().text.toUtf8()).object();
        QCOMPARE(o.value("sector").toString(), QStringLiteral("加入目标"));
        QCOMPARE(o.value("stocks").toArray(), QJsonArray{key("SZ", "000001")});
    }

    // Slots that read the sending action's text ignore any other caller.
    void slotsWithoutAction()
    {
        show(kAll);
        select({key("SH", "600000")});
        const QStringList mine = CSectorManager::instance()->getSector(kMine)->getStockKeys();
        const QMap<QString, CBasketSetting> baskets = getUserConfig()->getBaskets();
        QVERIFY(QMetaObject::invokeMethod(m_view, "slotAddStockToSector"));
        QVERIFY(QMetaObject::invokeMethod(m_view, "slotAddStockToBasket"));
        QCOMPARE(CSectorManager::instance()->getSector(kMine)->getStockKeys(), mine);
        QCOMPARE(getUserConfig()->getBaskets().size(), baskets.size());
    }

    void removeFromSector()
    {
        CSectorManager* sm = CSectorManager::instance();
        const QStringList keys{key("SH", "600000"), key("SH", "600004")};
        sm->cleanStockFromSector(kMine, false);
        QCOMPARE(sm->addStockListToSector(kMine, keys), 2);
        show(kMine);
        select({keys[0]});
        QSignalSpy self(sm, &CSectorManager::sigUpdateSelfSelect);
        trigger(QStringLiteral("从板块中删除"));
        QCOMPARE(sm->getSector(kMine)->getStockKeys(), QStringList{keys[1]});
        QCOMPARE(self.count(), 1);
        QCOMPARE(self.at(0).at(0).toInt(), 1);
        select({keys[1]});
        m_view->removeStock(); // the quiet removal, for editable lists of type 2
        QVERIFY(sm->getSector(kMine)->getStockKeys().isEmpty());

        // leaving "自定义指数" deletes the index itself
        CIndexManager* im = CIndexManager::instance();
        CCustomIndexDetail index;
        index.code = im->nextFreeCode();
        index.name = QStringLiteral("待删指数");
        index.stocks.push_back({QStringLiteral("SH"), QStringLiteral("600000"), 100.0});
        QVERIFY(im->addIndex(index));
        show(kCustomIndex);
        const QString indexKey = key(CIndexManager::market(), index.code);
        QVERIFY(table()->getStockList().contains(indexKey));
        select({indexKey});
        m_view->removeStock();
        QVERIFY(sm->getSector(kCustomIndex)->getStockKeys().contains(indexKey));
        CFormulaManager::instance()->clearCommands();
        trigger(QStringLiteral("从板块中删除"));
        QVERIFY(!im->getIndex(index.code));
        QCOMPARE(CFormulaManager::instance()->commands().front().command,
                 QStringLiteral("deleCustomIndex"));
    }

    // --- baskets --------------------------------------------------------------------------
    void newBasket_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<int>("accountType");
        QTest::addColumn<int>("subType");
        QTest::newRow("futures: the continuous contract stays out")
            << QStringLiteral("期货篮子")
            << QStringList{key("CFFEX", "IF00"), key("CFFEX", "IF2406"), key("SH", "600000")}
            << QStringList{"IF2406"} << 1 << 0;
        QTest::newRow("stocks") << QStringLiteral("股票篮子")
                                << QStringList{key("SH", "600000"), key("HGT", "00700")}
                                << QStringList{"600000"} << 2 << 0;
        QTest::newRow("沪港通") << QStringLiteral("沪港通篮子")
                                << QStringList{key("SH", "600000"), key("HGT", "00700")}
                                << QStringList{"00700"} << 7 << 0;
        QTest::newRow("沪伦通: stocks with sub-type 2")
            << QStringLiteral("沪伦通篮子") << QStringList{key("SZ", "000001")}
            << QStringList{"000001"} << 2 << 2;
    }
    void newBasket()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, selected);
        const QString name = QStringLiteral("篮子-") + QTest::currentDataTag();
        show(kAll);
        select(selected);
        onModal([&](QWidget* w) {
            auto* d = qobject_cast<COptionSwitchDialog*>(w);
            QVERIFY(d);
            QCOMPARE(d->windowTitle(), QStringLiteral("创建篮子"));
            QVERIFY(d->setValue(QStringLiteral("名称"), name));
            QVERIFY(d->setValue(QStringLiteral("类型"), kind));
            d->accept();
        });
        CFormulaManager::instance()->clearCommands();
        m_view->basketMenu()->popup(QPoint()); // the menu lists the baskets as it opens
        QAction* create = menuEntry(m_view->basketMenu(), QStringLiteral("创建篮子"));
        m_view->basketMenu()->hide();
        QVERIFY(create);
        create->trigger();
        CBasketSetting s;
        QVERIFY(getUserConfig()->getBasket(name, s));
        QTEST(basketCodes(name), "codes");
        QTEST(s.accountType, "accountType");
        QTEST(s.subType, "subType");
        QCOMPARE(CFormulaManager::instance()->commands().back().command,
                 QStringLiteral("sendUpdateBasket"));
        QCOMPARE(CFormulaManager::instance()->commands().back().args, QStringList{name});
    }

    void existingBasket()
    {
        CBasketSetting futures;
        futures.name = QStringLiteral("期货组");
        futures.accountType = 1;
        getUserConfig()->setBasket(futures);
        show(kAll);
        m_view->slotUpdateBasket();
        QAction* entry = menuEntry(m_view->basketMenu(), futures.name);
        QVERIFY(entry);
        select({key("CFFEX", "IF2406")});
        entry->trigger();
        QCOMPARE(basketCodes(futures.name), QStringList{"IF2406"});
        // a stock is of another account type: the basket stays as it is
        select({key("SH", "600000")});
        entry->trigger();
        QCOMPARE(basketCodes(futures.name), QStringList{"IF2406"});

        // a cancelled dialog creates nothing
        const int count = getUserConfig()->getBaskets().size();
        onModal([](QWidget* w) {
            auto* d = qobject_cast<COptionSwitchDialog*>(w);
            QVERIFY(d);
            d->setValue(QStringLiteral("名称"), QStringLiteral("不要"));
            d->reject();
        });
        m_view->slotAddNewBasket();
        QCOMPARE(getUserConfig()->getBaskets().size(), count);
    }

    void basketMenuOrder()
    {
        for (const char* n : {"乙篮", "B篮", "甲篮", "A篮"}) {
            CBasketSetting s;
            s.name = QString::fromUtf8(n);
            getUserConfig()->setBasket(s);
        }
        m_view->slotUpdateBasket();
        QStringList shown;
        for (QAction* a : m_view->basketMenu()->actions())
            if (!a->isSeparator())
                shown.append(a->text());
        QStringList expected = getUserConfig()->getBaskets().keys();
        std::sort(expected.begin(), expected.end());
        QCOMPARE(shown, QStringList{QStringLiteral("创建篮子")} + expected);
    }

    // --- sector indices -------------------------------------------------------------------
    void newIndexNumbering()
    {
        CIndexManager* im = CIndexManager::instance();
        for (int n : {1, 2}) {
            CCustomIndexDetail index;
            index.code = im->nextFreeCode();
            index.name = QStringLiteral("新板块指数%1").arg(n);
            index.stocks.push_back({QStringLiteral("SH"), QStringLiteral("600000"), 100.0});
            QVERIFY(im->addIndex(index));
        }
        show(kIndexList);
        QString offered;
        onModal([&offered](QWidget* w) {
            auto* d = qobject_cast<CCustomIndexSetDialog*>(w);
            QVERIFY(d);
            offered = d->indexName();
            d->reject();
        });
        trigger(QStringLiteral("新建板块指数"));
        QCOMPARE(offered, QStringLiteral("新板块指数3"));
    }

    void exportAndImportIndex()
    {
        CIndexManager* im = CIndexManager::instance();
        const CCustomIndexDetailPtr first = im->allIndices().value(0);
        QVERIFY(first);
        show(kCustomIndex);
        select({key(CIndexManager::market(), first->code)});
        QFile::remove(CIndexManager::defaultExportPath());
        trigger(QStringLiteral("导出板块指数"));
        QVERIFY(QFile::exists(CIndexManager::defaultExportPath()));
        QVERIFY(im->removeIndex(first->code));
        trigger(QStringLiteral("导入板块指数"));
        QVERIFY(im->getIndex(first->code));
    }

    // --- the text export of a sector's codes ---------------------------------------------
    void exportSectorStock_data()
    {
        QTest::addColumn<QString>("sector"); // empty: no current sector
        QTest::addColumn<QString>("file");
        QTest::newRow("a user list") << kMine << kMine + ".txt";
        QTest::newRow("no sector") << QString() << QStringLiteral("自选股.txt");
        QTest::newRow("path characters") << QStringLiteral("a/../b:c*?") << "a_.._b_c__.txt";
        QTest::newRow("parent folder") << QStringLiteral("../逃逸") << ".._逃逸.txt";
        QTest::newRow("dots only") << QStringLiteral("..") << "__.txt";
    }
    void exportSectorStock()
    {
        QFETCH(QString, sector);
        QFETCH(QString, file);
        CSectorManager* sm = CSectorManager::instance();
        if (!sector.isEmpty() && !sm->getSector(sector)) {
            QVERIFY(sm->addUserSector(sector));
            sm->addStockListToSector(sector, {key("SH", "600004"), key("SZ", "000001")});
        }
        if (sector.isEmpty()) {
            show(kMine);
            setNoSector();
        } else {
            show(sector);
        }
        QTemporaryDir outer;
        const QString dir = outer.path() + "/out";
        QVERIFY(QDir().mkpath(dir));
        XP::CFileDialog::setAnswerHook(
            [&dir](int, const QString&, const QString&, const QString&) { return dir; });
        QString message;
        XP::CMessageBox::setAnswerHook([&message](const QString&, const QString& text, int) {
            message = text;
            return int(XP::CMessageBox::Ok);
        });
        m_view->slotExportSectorStock();
        QCOMPARE(message, QStringLiteral("导出成功"));
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{file});
        QCOMPARE(
            QDir(outer.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
            QStringList{"out"});
        QCOMPARE(readFile(dir + '/' + file), QStringList(table()->getStockList()).join('\n'));
    }

    void exportFailureAndCancel()
    {
        show(kAll);
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        // the super-user writes into read-only folders: a folder in the file's place makes
        // the write fail for every user
        QDir().mkpath(dir.path() + '/' + kAll + ".txt");
        XP::CFileDialog::setAnswerHook(
            [&dir](int, const QString&, const QString&, const QString&) { return dir.path(); });
        QStringList messages;
        XP::CMessageBox::setAnswerHook([&messages](const QString&, const QString& text, int) {
            messages.append(text);
            return int(XP::CMessageBox::Ok);
        });
        m_view->slotExportSectorStock();
        QCOMPARE(messages, QStringList{QStringLiteral("导出失败")});
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                              | QFileDevice::ExeOwner);

        XP::CFileDialog::setAnswerHook(
            [](int, const QString&, const QString&, const QString&) { return QString(); });
        m_view->slotExportSectorStock();
        QCOMPARE(messages.size(), 1); // a cancelled chooser ends the command quietly
    }

    // --- dialogs outliving the view -------------------------------------------------------
    void destroyedDuringDialog_data()
    {
        QTest::addColumn<QString>("slot");
        QTest::newRow("new index") << QStringLiteral("slotNewIndex");
        QTest::newRow("new basket") << QStringLiteral("slotAddNewBasket");
    }
    void destroyedDuringDialog()
    {
        QFETCH(QString, slot);
        QPointer<CIndexBrowseView> view = new CIndexBrowseView(nullptr, BrowseType_Default);
        const int baskets = getUserConfig()->getBaskets().size();
        onModal([view](QWidget* w) {
            if (auto* d = qobject_cast<COptionSwitchDialog*>(w))
                d->setValue(QStringLiteral("名称"), QStringLiteral("孤儿篮"));
            delete view.data();
        });
        QVERIFY(QMetaObject::invokeMethod(view, slot.toLatin1().constData()));
        QVERIFY(!view);
        QCOMPARE(getUserConfig()->getBaskets().size(), baskets);
        QVERIFY(!QApplication::activeModalWidget());
    }
};

} // namespace TC

QTEST_MAIN(TC::TstViewMenus)
#include "tst_viewmenus.moc"
