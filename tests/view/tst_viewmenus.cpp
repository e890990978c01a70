// The view's context-menu commands over a small embedded market: which commands a sector
// shows, what each command does to the host (sectors, baskets, sector indices, recorded
// requests), the text export, and dialogs outliving the view.
#include "ViewTestFixture.h"

#include "host/data/BasketSetting.h"
#include "host/data/Config.h"
#include "host/data/FormulaManager.h"
#include "host/data/IndexMainWindowHelper.h"
#include "host/data/IndexManager.h"
#include "host/data/StockKey.h"
#include "host/data/UserConfig.h"
#include "host/toolkit/Menu.h"
#include "host/widgets/CCustomIndexSetDialog.h"
#include "host/widgets/CHostEventLog.h"
#include "host/widgets/COptionSwitchDialog.h"
#include "host/widgets/COptionTextListDialog.h"
#include "host/widgets/CPushButtonTabControl.h"
#include "pricet/COptionPriceTBrowseWidget.h"
#include "pricet/CPriceTBrowseWidget.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace viewtest;

namespace {

const QString kMine = QStringLiteral("自选股");
const QString kAll = QStringLiteral("测试全部");     // every test instrument
const QString kIndexList = QStringLiteral("指数组"); // a type-3 list of the user's
const QString kCustomIndex = QStringLiteral("自定义指数");

QString key(const QString& market, const QString& code)
{
    return XP::nvStockKey(market, code);
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

// A sector index of one constituent; its code.
QString addIndex(const QString& name)
{
    TC::CIndexManager* im = TC::CIndexManager::instance();
    TC::CCustomIndexDetail index;
    index.code = im->nextFreeCode();
    index.name = name;
    index.stocks.push_back({QStringLiteral("SH"), QStringLiteral("600000"), 100.0});
    return im->addIndex(index) ? index.code : QString();
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
    QString m_chosen; // the file chooser's answer
    QStringList m_messages;

    CBrowseWidget* table() const { return m_view->mainBrowseWidget(); }

    void show(const QString& sector)
    {
        m_view->setSector(sector);
        QCOMPARE(m_view->getCurrentSector(), sector);
    }
    void select(const QStringList& keys)
    {
        selectRows(table(), keys);
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

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(setUp(m_userDir, false));
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
    void init()
    {
        m_messages.clear();
        answerDialogs(&m_chosen, &m_messages);
    }
    void cleanup()
    {
        clearAnswers();
        getConfig()->clientType = 0;
    }

    // --- which commands a sector shows --------------------------------------------------
    void menuVisibility_data()
    {
        QTest::addColumn<QString>("sector"); // empty: no current sector; "|set": data set
        QTest::addColumn<bool>("remove");
        QTest::addColumn<bool>("indexCommands");
        QTest::addColumn<bool>("exportIndex");
        QTest::addColumn<bool>("addToSector");
        QTest::addColumn<bool>("basket");
        QTest::addColumn<bool>("external");
        const struct {
            const char* tag;
            QString sector;
            bool remove, indexCommands, exportIndex, addToSector, basket, external;
        } rows[] = {
            {"index-like and own: 自定义指数", kCustomIndex, 1, 0, 1, 0, 1, 0},
            {"index-like and own: a user list", kMine, 1, 0, 1, 1, 1, 0},
            {"index-like, not own", kIndexList, 0, 1, 1, 0, 1, 0},
            {"neither", QStringLiteral("沪深A股"), 0, 0, 0, 0, 1, 0},
            {"neither: no basket in 上证期权", QStringLiteral("上证期权"), 0, 0, 0, 0, 0, 0},
            {"no sector", QString(), 0, 0, 0, 0, 1, 1},
            {"external data set", QStringLiteral("沪深A股|宏观指标"), 0, 0, 0, 0, 1, 1},
        };
        for (const auto& r : rows)
            QTest::newRow(r.tag) << r.sector << r.remove << r.indexCommands << r.exportIndex
                                 << r.addToSector << r.basket << r.external;
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
        QFETCH(bool, indexCommands);
        QFETCH(bool, external);
        QTEST(shown(QStringLiteral("从板块中删除")), "remove");
        for (const char* text : {"新建板块指数", "编辑板块指数", "删除板块指数", "导入板块指数"})
            QCOMPARE(shown(QString::fromUtf8(text)), indexCommands);
        QTEST(shown(QStringLiteral("导出板块指数")), "exportIndex");
        QTEST(m_view->addToSectorMenu()->menuAction()->isEnabled(), "addToSector");
        QTEST(m_view->basketMenu()->menuAction()->isVisible(), "basket");
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
        QFETCH(QStringList, present);
        QFETCH(QStringList, absent);
        CIndexBrowseView view(nullptr, eBrowseType(type));
        const QStringList shown = texts(view.mainBrowseWidget()->table()->rowMenu()->actions());
        for (const QString& t : present)
            QVERIFY2(shown.contains(t), qPrintable(t));
        for (const QString& t : absent)
            QVERIFY2(!shown.contains(t), qPrintable(t));
    }

    // The user's lists follow in "加入自选板块" of the table (folders as submenus), in place in
    // the T-board's own menu, and in the bar's "我的" drop-down (folders as groups).
    void userListsInMenus()
    {
        show(QStringLiteral("T型报价板"));
        QMenu* board = m_view->priceTBrowseWidget()->board()->table()->rowMenu();
        const QStringList boardBefore = texts(board->actions());
        QVERIFY(boardBefore.contains(QStringLiteral("加入自选板块")));
        CSectorManager* sm = CSectorManager::instance();
        QVERIFY(sm->addUserSector(QStringLiteral("期权表")));
        QVERIFY(sm->addUserSector(QStringLiteral("文件夹"), eSectorUserGroup));
        QVERIFY(sm->addUserSector(QStringLiteral("子表"), eSectorUser, QStringLiteral("文件夹")));
        QCOMPARE(texts(board->actions()), boardBefore);
        QVERIFY(menuEntry(menuEntry(board, QStringLiteral("加入自选板块"))->menu(),
                          QStringLiteral("期权表")));
        QCOMPARE(
            texts(table()->table()->rowMenu()->actions()).count(QStringLiteral("加入自选板块")), 1);
        CCombinPushButton* mine =
            m_view->sectorTabControl()->buttonByRootText(QStringLiteral("我的"));
        QVERIFY(mine && menuEntry(mine->menu(), kMine));
        for (QMenu* menu : std::initializer_list<QMenu*>{m_view->addToSectorMenu(), mine->menu()}) {
            QAction* folder = menuEntry(menu, QStringLiteral("文件夹"));
            QVERIFY(folder && folder->menu());
            QVERIFY(menuEntry(folder->menu(), QStringLiteral("子表")));
        }
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
        QAction* a =
            board ? menuEntry(m_view->priceTBrowseWidget()->board()->table()->rowMenu(), text)
                  : table()->getMenuAction(text);
        QVERIFY(a);
        a->trigger();
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
        QCOMPARE(CIndexMainWindowHelper::inst()->contrastRequests(),
                 QStringList{key("SH", "600004")});

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
        QAction* target = menuEntry(m_view->addToSectorMenu(), QStringLiteral("加入目标"));
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

        // slots that read the sending action's text ignore any other caller
        const QStringList mine = sm->getSector(kMine)->getStockKeys();
        const int baskets = getUserConfig()->getBaskets().size();
        QVERIFY(QMetaObject::invokeMethod(m_view, "slotAddStockToSector"));
        QVERIFY(QMetaObject::invokeMethod(m_view, "slotAddStockToBasket"));
        QCOMPARE(sm->getSector(kMine)->getStockKeys(), mine);
        QCOMPARE(getUserConfig()->getBaskets().size(), baskets);
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
        const QString code = addIndex(QStringLiteral("待删指数"));
        QVERIFY(!code.isEmpty());
        show(kCustomIndex);
        const QString indexKey = key(CIndexManager::market(), code);
        select({indexKey});
        m_view->removeStock();
        QVERIFY(sm->getSector(kCustomIndex)->getStockKeys().contains(indexKey));
        CFormulaManager::instance()->clearCommands();
        trigger(QStringLiteral("从板块中删除"));
        QVERIFY(!CIndexManager::instance()->getIndex(code));
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

    // Existing baskets are listed by name and take codes of their own account type only;
    // a cancelled dialog creates none.
    void existingBaskets()
    {
        for (const char* n : {"乙篮", "B篮", "甲篮", "A篮"}) {
            CBasketSetting s;
            s.name = QString::fromUtf8(n);
            getUserConfig()->setBasket(s);
        }
        CBasketSetting futures;
        futures.name = QStringLiteral("期货组");
        futures.accountType = 1;
        getUserConfig()->setBasket(futures);
        show(kAll);
        m_view->slotUpdateBasket();
        QStringList expected = getUserConfig()->getBaskets().keys();
        std::sort(expected.begin(), expected.end());
        QCOMPARE(texts(m_view->basketMenu()->actions()),
                 QStringList{QStringLiteral("创建篮子")} + expected);

        QAction* entry = menuEntry(m_view->basketMenu(), futures.name);
        select({key("CFFEX", "IF2406")});
        entry->trigger();
        QCOMPARE(basketCodes(futures.name), QStringList{"IF2406"});
        select({key("SH", "600000")});
        entry->trigger();
        QCOMPARE(basketCodes(futures.name), QStringList{"IF2406"});

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

    // --- sector indices -------------------------------------------------------------------
    void newIndexNumbering()
    {
        for (int n : {1, 2})
            QVERIFY(!addIndex(QStringLiteral("新板块指数%1").arg(n)).isEmpty());
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
        show(sector.isEmpty() ? kMine : sector);
        if (sector.isEmpty())
            setNoSector();
        QTemporaryDir outer;
        m_chosen = outer.path() + "/out";
        QVERIFY(QDir().mkpath(m_chosen));
        m_view->slotExportSectorStock();
        QCOMPARE(m_messages, QStringList{QStringLiteral("导出成功")});
        QCOMPARE(QDir(m_chosen).entryList(QDir::Files | QDir::Hidden), QStringList{file});
        QCOMPARE(
            QDir(outer.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
            QStringList{"out"});
        QCOMPARE(readFile(m_chosen + '/' + file), QStringList(table()->getStockList()).join('\n'));
    }

    void exportFailureAndCancel()
    {
        show(kAll);
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        // the super-user writes into read-only folders: a folder in the file's place makes
        // the write fail for every user
        QDir().mkpath(dir.path() + '/' + kAll + ".txt");
        m_chosen = dir.path();
        m_view->slotExportSectorStock();
        QCOMPARE(m_messages, QStringList{QStringLiteral("导出失败")});
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                              | QFileDevice::ExeOwner);
        m_chosen.clear();
        m_view->slotExportSectorStock();
        QCOMPARE(m_messages.size(), 1); // a cancelled chooser ends the command quietly
    }

    // --- dialogs outliving the view -------------------------------------------------------
    void destroyedDuringDialog_data()
    {
        QTest::addColumn<QString>("slot");
        QTest::newRow("new index") << QStringLiteral("slotNewIndex");
        QTest::newRow("new basket") << QStringLiteral("slotAddNewBasket");
        QTest::newRow("custom field") << QStringLiteral("slotAddCustomField");
    }
    void destroyedDuringDialog()
    {
        QFETCH(QString, slot);
        QPointer<CIndexBrowseView> view = new CIndexBrowseView(nullptr, BrowseType_Default);
        view->setSector(QStringLiteral("沪深A股"));
        const int baskets = getUserConfig()->getBaskets().size();
        QSignalSpy fields(CFormulaManager::instance(), &CFormulaManager::sigUpdateCustomField);
        onModal([view](QWidget* w) {
            if (auto* d = qobject_cast<COptionSwitchDialog*>(w))
                d->setValue(QStringLiteral("名称"), QStringLiteral("孤儿篮"));
            if (auto* d = qobject_cast<COptionTextListDialog*>(w))
                QVERIFY(d->addField(QStringLiteral("止损"), QStringLiteral("1")));
            delete view.data(); // takes the dialog with it
        });
        QVERIFY(QMetaObject::invokeMethod(view, slot.toLatin1().constData()));
        QVERIFY(!view);
        QCOMPARE(getUserConfig()->getBaskets().size(), baskets);
        QCOMPARE(fields.count(), 0);
        QVERIFY(!QApplication::activeModalWidget());
    }
};

} // namespace TC

QTEST_MAIN(TC::TstViewMenus)
#include "tst_viewmenus.moc"
