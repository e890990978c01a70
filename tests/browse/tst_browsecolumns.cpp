// Column lists per browse type and sector kind, column operations, the header and row
// menus, value colours, colour ranges, theme switches and copying the selection.
#include "browse/CBrowseWidget.h"

#include "BrowseTestMarket.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "browse/HpfBrowserData.h"
#include "host/data/ColumnInfo.h"
#include "host/data/Config.h"
#include "host/data/ExtendDataManager.h"
#include "host/data/FormulaManager.h"
#include "host/data/FormulaTypes.h"
#include "host/data/IndexValueParam.h"
#include "host/data/InstrumentDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/market/TestMarket.h"
#include "host/toolkit/UiResource.h"
#include "host/widgets/CIndexColorParameterDialog.h"

#include <QtTest>

#include <QClipboard>
#include <QDialog>
#include <QMenu>
#include <QTemporaryDir>

#include <cmath>
#include <memory>

using namespace TC;
using namespace browsetest;
using ttmarket::TestMarket;

Q_DECLARE_METATYPE(TC::eBrowseType)

namespace {

// The default visible columns, in order; "前收" is not named "昨收" and stays hidden.
const QStringList kDefaultTitles{"代码",   "名称",   "涨幅", "最新", "涨跌",   "总额",   "行业",
                                 "委买价", "委卖价", "总手", "现手", "换手率", "总市值", "流通市值",
                                 "今开",   "最高",   "最低", "IOPV", "溢折率"};

QStringList visibleTitles(CBrowseWidget& w)
{
    QStringList titles;
    auto* table = w.table();
    for (int pos = 0; pos < table->columnCount(); ++pos) {
        const int id = table->columnIdAt(pos);
        if (id >= 0 && table->isColumnVisible(id))
            titles.append(table->headerText(id));
    }
    return titles;
}

ColumnInfo indicator(const QString& title, int line = 0)
{
    ColumnInfo c;
    c.formulaName = QStringLiteral("MA");
    c.lineIndex = line;
    c.title = title;
    c.precision = 2;
    return c;
}

int addIndicator(CBrowseWidget& w, const QString& title)
{
    ColumnInfo c = indicator(title);
    return w.addColumn(c);
}

const QColor* colour(const QString& name)
{
    return XP::CUiResource::instance().getColor(name);
}

void fillAShares(CBrowseWidget& w)
{
    w.setStockList(CSectorManager::instance()->getSectorStockList(QStringLiteral("沪深A股")),
                   false);
}

void pushQuote(CBrowseWidget& w, const QString& market, const QString& code, double last,
               double preClose)
{
    w.formulaMarketQuoteBack(
        market, {code},
        {std::make_shared<quoter::QuoterAllData>(TestMarket::quote(last, preClose))}, false);
}

} // namespace

class TstBrowseColumns : public QObject {
    Q_OBJECT
    QTemporaryDir m_userDir;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TT_USER_DIR", m_userDir.path().toUtf8());
        QVERIFY(XP::CUiResource::instance().loadTheme(QStringLiteral("dark")));
        TestMarket::install({TestMarket::stock("SH", "600000", "浦发银行", 10.0),
                             TestMarket::stock("SZ", "000001", "平安银行", 12.0),
                             TestMarket::stock("SH", "600519", "贵州茅台", 1500.0),
                             TestMarket::stock("SZ", "000002", "万科A", 8.0)});
        TestMarket::setClock(TestMarket::at(2024, 6, 7, 10, 0));
    }
    void cleanupTestCase() { TestMarket::restore(); }

    void baseColumnsAndIds()
    {
        CBrowseWidget w;
        const QList<ColumnInfo>& list = w.columnList();
        // 37 base columns, then the extra columns (type 0: no net-buying columns)
        QCOMPARE(list.size(), 37 + 6 + 11);
        for (int p = 0; p < list.size(); ++p)
            QCOMPARE(list[p].columnId, p + 3);
        QCOMPARE(list[0].title, QStringLiteral("今开"));
        QCOMPARE(list[36].title, QStringLiteral("权重%"));
        QCOMPARE(list[36].precision, -3);
        for (int q : {43, 44, 45})
            QCOMPARE(quoteColumn(w, q), -1);
        QCOMPARE(w.totalBuyColumn(), -1);
        QCOMPARE(w.netBuyColumn(), -1);
        // only the net-buying kind adds them
        for (eBrowseType type : {BrowseType_Speed, BrowseType_Brief, BrowseType_Extend}) {
            CBrowseWidget other(nullptr, false, type);
            for (int q : {43, 44, 45})
                QCOMPARE(quoteColumn(other, q), -1);
        }
        // quote slots skip nothing when every listed column is a quote column
        QCOMPARE(w.model()->quoteSlot(3), 0);
        QCOMPARE(w.model()->quoteSlot(3 + 40), 40);
        QCOMPARE(w.model()->quoteId(quoteColumn(w, 73)), 73);
        // linked code and name columns hold text
        QCOMPARE(w.model()->columnValueType(quoteColumn(w, 64)), int(ValueType_Text));
        QCOMPARE(w.model()->columnValueType(quoteColumn(w, 65)), int(ValueType_Text));
        QCOMPARE(w.model()->columnValueType(quoteColumn(w, 1)), int(ValueType_Double));
        // statistics cells for "总额" (4) and "涨幅" (7)
        QVERIFY(w.model()->hasStatColumn(4 + 3));
        QVERIFY(w.model()->hasStatColumn(7 + 3));
        QVERIFY(!w.model()->hasStatColumn(1 + 3));
        QVERIFY(w.nightColumn() >= 0);
        // extra columns take their precision from the descriptor they reuse
        CBrowseWidget type3(nullptr, false, BrowseType_NetBuying);
        for (const ColumnInfo& c : list)
            if (c.lineIndex >= 64 || c.lineIndex == 41 || c.lineIndex == 42)
                QCOMPARE(c.precision, -3);
        for (const ColumnInfo& c : type3.columnList())
            if (c.lineIndex >= 64)
                QCOMPARE(c.precision, -2);
        QVERIFY(quoteColumn(type3, 43) > 0);
        QCOMPARE(type3.totalBuyColumn(), quoteColumn(type3, 43));
        QCOMPARE(type3.netBuyColumn(), quoteColumn(type3, 45));
    }

    void typeLists_data()
    {
        QTest::addColumn<eBrowseType>("type");
        QTest::addColumn<eBrowseType>("browseType");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("speed") << BrowseType_Speed << BrowseType_Default
                               << QStringList{"代码",      "名称",     "涨幅",   "总额",
                                              "行业",      "最新",     "总市值", "流通市值",
                                              "1分钟涨速", "5分钟涨速"};
        QTest::newRow("brief") << BrowseType_Brief << BrowseType_Default
                               << QStringList{"代码", "名称", "涨幅", "总额"};
        QTest::newRow("net buying on a net-buying table")
            << BrowseType_NetBuying << BrowseType_NetBuying
            << QStringList{"代码", "名称",   "涨幅", "总额",   "行业",    "总买",
                           "总卖", "净买入", "最新", "总市值", "流通市值"};
        QTest::newRow("net buying on a plain table")
            << BrowseType_NetBuying << BrowseType_Default
            << QStringList{"代码", "名称", "涨幅", "总额", "行业", "最新", "总市值", "流通市值"};
        QTest::newRow("unknown is the default")
            << eBrowseType(9) << BrowseType_Default << kDefaultTitles;
        QTest::newRow("no type chosen") << eBrowseType(-1) << BrowseType_Default << kDefaultTitles;
    }
    void typeLists()
    {
        QFETCH(eBrowseType, type);
        QFETCH(eBrowseType, browseType);
        QFETCH(QStringList, expected);
        CBrowseWidget w(nullptr, false, browseType);
        if (type >= 0)
            w.tryMoveColumnByType(type);
        QCOMPARE(visibleTitles(w), expected);
        // the descriptors follow the table
        for (const ColumnInfo& c : w.columnList())
            QCOMPARE(c.visible, w.table()->isColumnVisible(c.columnId));
    }

    void sectorColumns_data()
    {
        QTest::addColumn<QString>("sector");
        QTest::addColumn<bool>("industry");
        QTest::addColumn<QList<int>>("shownQuotes");
        QTest::addColumn<QList<int>>("hiddenQuotes");
        QTest::newRow("stocks") << "沪深A股" << true << QList<int>{}
                                << QList<int>{64, 65, 66, 67, 68, 69, 70, 71};
        QTest::newRow("index") << "沪深指数" << false << QList<int>{} << QList<int>{64, 65, 69};
        QTest::newRow("futures") << "中金所" << false << QList<int>{9, 72}
                                 << QList<int>{14, 15, 19, 40, 64};
        QTest::newRow("convertible bonds")
            << "可转债" << true << QList<int>{65, 66, 67, 69, 70, 71} << QList<int>{64, 68};
        QTest::newRow("A+H") << "A+H" << true << QList<int>{64, 66, 67, 68}
                             << QList<int>{65, 69, 70, 71};
    }
    void sectorColumns()
    {
        QFETCH(QString, sector);
        QFETCH(bool, industry);
        QFETCH(QList<int>, shownQuotes);
        QFETCH(QList<int>, hiddenQuotes);
        if (!CSectorManager::instance()->getSector(sector))
            QSKIP("sector not in this universe");
        CBrowseWidget w;
        w.setSectorName(sector);
        w.resetTableColumn();
        QCOMPARE(w.table()->isColumnVisible(2), industry);
        for (int q : shownQuotes)
            QVERIFY2(w.table()->isColumnVisible(quoteColumn(w, q)), qPrintable(QString::number(q)));
        for (int q : hiddenQuotes)
            QVERIFY2(!w.table()->isColumnVisible(quoteColumn(w, q)),
                     qPrintable(QString::number(q)));
        QVERIFY(w.table()->isColumnLocked(0));
        QVERIFY(w.table()->isColumnLocked(1));
    }

    void connectSectorTitles()
    {
        QString connect;
        for (const QString& name :
             {QStringLiteral("沪深港通"), QStringLiteral("沪股通"), QStringLiteral("港股通")}) {
            if (CSectorManager::instance()->isConnectSector(name)) {
                connect = name;
                break;
            }
        }
        if (connect.isEmpty())
            QSKIP("no connect sector in this universe");
        CBrowseWidget w;
        w.setSectorName(connect);
        w.resetTableColumn();
        ColumnInfo code;
        QVERIFY(w.getColumnInfo(quoteColumn(w, 64), code));
        QCOMPARE(code.title, QStringLiteral("A股代码"));
        QVERIFY(w.table()->isColumnVisible(code.columnId));
    }

    void homePageColumns()
    {
        CBrowseWidget w;
        w.setHomePageColumnVisible(true);
        for (const ColumnInfo& c : w.columnList())
            QCOMPARE(w.table()->isColumnVisible(c.columnId), c.lineIndex == 7);
        w.setHomePageColumnVisible(false);
        for (const ColumnInfo& c : w.columnList())
            QCOMPARE(w.table()->isColumnVisible(c.columnId),
                     c.lineIndex == 4 || c.lineIndex == 7 || c.lineIndex == 41);
        QVERIFY(!(w.table()->tableFlags() & CHpfBrowserTable::TF_ROW_NUMBER));
    }

    void addAndRemoveColumns()
    {
        CBrowseWidget w;
        fillAShares(w);
        const int rows = w.model()->size();
        QVERIFY(rows > 0);
        ColumnInfo ma = indicator(QStringLiteral("MA5"));
        const int id = w.addColumn(ma);
        QVERIFY(id >= 3);
        QCOMPARE(ma.columnId, id); // the descriptor learns its id
        QCOMPARE(w.table()->visualPosition(id), 2);
        QCOMPARE(w.table()->headerText(id), QStringLiteral("MA5"));
        ColumnInfo again = indicator(QStringLiteral("another title"));
        QCOMPARE(w.addColumn(again), -1); // same indicator
        // every row got an indicator slot; its cell has no value yet
        QVERIFY(w.model()->indicatorSlot(id) >= 0);
        auto row = w.model()->rowAt(0);
        QCOMPARE(row->getText(id), QStringLiteral("-"));
        QCOMPARE(row->getTextColor(id), colour(QStringLiteral("ic_clr_browse_equal")));

        const int before = w.columnList().size();
        w.removeColumnInfo(id);
        QCOMPARE(w.columnList().size(), before - 1);
        ColumnInfo gone;
        QVERIFY(!w.getColumnInfo(id, gone));
        w.removeColumnInfo(99999); // unknown: nothing happens
        w.removeColumnInfo(-1);
        QCOMPARE(w.columnList().size(), before - 1);
    }

    // Indicator columns handed to setColumnList get a value slot in every row, rows added
    // later included: they show "-" and hold no value until their formula fills them, and
    // the quote columns after them keep their own slots.
    void listedIndicatorColumnsHaveValueSlots()
    {
        CBrowseWidget w;
        QList<ColumnInfo> list = w.getBaseColumnList();
        list.insert(1, indicator(QStringLiteral("MA5")));
        list.append(indicator(QStringLiteral("MA10"), 1));
        w.setColumnList(list);
        const int ma5 = columnIdOf(w, QStringLiteral("MA5"));
        const int ma10 = columnIdOf(w, QStringLiteral("MA10"));
        const int latest = columnIdOf(w, QStringLiteral("最新"));
        QVERIFY(ma5 >= 3 && ma10 >= 3 && latest >= 3);
        QVERIFY(w.model()->indicatorSlot(ma5) >= 0);
        QVERIFY(w.model()->indicatorSlot(ma10) >= 0);
        QVERIFY(w.model()->indicatorSlot(ma5) != w.model()->indicatorSlot(ma10));

        auto* stocks = CStockManager::instance();
        w.setStockList(
            {stocks->getInstrumentDetail(QStringLiteral("SH"), QStringLiteral("600000")),
             stocks->getInstrumentDetail(QStringLiteral("SZ"), QStringLiteral("000001"))});
        w.updateStock(keyOf(QStringLiteral("SH"), QStringLiteral("600519"))); // added later
        QCOMPARE(w.model()->size(), 3);
        pushQuote(w, QStringLiteral("SH"), QStringLiteral("600519"), 1510.0, 1500.0);
        for (int r = 0; r < 3; ++r) {
            const auto row = w.model()->rowAt(r);
            for (int id : {ma5, ma10}) {
                QCOMPARE(row->getText(id), QStringLiteral("-"));
                QVERIFY(isNoValue(row->getDouble(id)));
            }
        }
        const auto added =
            w.model()->rowByKey(keyOf(QStringLiteral("SH"), QStringLiteral("600519")));
        QCOMPARE(added->getText(latest), QStringLiteral("1510.00"));
        added->setIndicatorValue(w.model()->indicatorSlot(ma10), 7.25);
        QCOMPARE(added->getDouble(ma10), 7.25);
        QVERIFY(isNoValue(added->getDouble(ma5)));
    }

    void columnNumberByTitle()
    {
        CBrowseWidget w;
        ColumnInfo a = indicator(QStringLiteral("A"), 1);
        ColumnInfo b = indicator(QStringLiteral("B"), 2);
        w.addColumn(a);
        const int idB = w.addColumn(b);
        QCOMPARE(w.getAllColumnNumber(), idB); // the last added stands first
        QCOMPARE(w.getColumnNumber(QStringLiteral("B")), idB);
        QCOMPARE(w.getColumnNumber(QStringLiteral("nothing")), -1);
        CBrowseWidget plain;
        // the first non-fixed column is a quote column without an indicator slot
        QCOMPARE(plain.getColumnNumber(QStringLiteral("涨幅")), -1);
    }

    void columnVisibilityByTitles()
    {
        CBrowseWidget w;
        w.setColumnVisible(QSet<QString>{QStringLiteral("最新"), QStringLiteral("不存在")}, true);
        for (const ColumnInfo& c : w.columnList()) {
            QCOMPARE(c.visible, c.title == QStringLiteral("最新"));
            QCOMPARE(w.table()->isColumnVisible(c.columnId), c.visible);
        }
        w.setColumnVisible(3, true);
        QVERIFY(w.table()->isColumnVisible(3));
    }

    void headerMenuPerColumnKind()
    {
        CBrowseWidget w;
        QVERIFY(!w.prepareHeaderMenu(quoteColumn(w, 1))); // "最新"
        QVERIFY(!w.prepareHeaderMenu(0));
        QVERIFY(!w.prepareHeaderMenu(2)); // the industry column has no descriptor
        QVERIFY(w.prepareHeaderMenu(quoteColumn(w, 42)));
        for (QAction* a : w.headerMenu()->actions())
            QVERIFY(!a->isVisible());
        ColumnInfo ma = indicator(QStringLiteral("MA5"));
        ma.autoRefresh = true;
        const int id = w.addColumn(ma);
        QVERIFY(w.prepareHeaderMenu(id));
        const QList<QAction*> actions = w.headerMenu()->actions();
        QCOMPARE(actions.size(), 6);
        QCOMPARE(actions[0]->text(), QStringLiteral("删除该列"));
        QCOMPARE(actions[4]->text(), QStringLiteral("自动刷新"));
        for (int i = 0; i < 5; ++i)
            QVERIFY(actions[i]->isVisible() && actions[i]->isEnabled());
        QVERIFY(actions[4]->isChecked());
    }

    void removeHeaderKeepsFixedColumns()
    {
        CBrowseWidget w;
        const int before = w.columnList().size();
        QVERIFY(w.handleEvent(55, 2, 0, QString(), nullptr)); // right click on "行业"
        w.slotRemoveHeader();
        QCOMPARE(w.columnList().size(), before);
        QCOMPARE(w.table()->headerText(2), QStringLiteral("行业"));
    }

    void rowMenuQuickOrders()
    {
        CBrowseWidget w;
        fillAShares(w);
        w.addPublicMenuAction();
        QVERIFY(!w.getMenuAction(QStringLiteral("nothing")));
        w.table()->setSelectedRow(1);
        const int before = int(CFormulaManager::instance()->commands().size());
        w.getMenuAction(QStringLiteral("股票组合买入"))->trigger();
        w.getMenuAction(QStringLiteral("股票组合卖出"))->trigger();
        const auto commands = CFormulaManager::instance()->commands();
        QCOMPARE(int(commands.size()), before + 2);
        QCOMPARE(commands[size_t(before)].command, QStringLiteral("sendBasketQuickOrder"));
        QCOMPARE(commands[size_t(before)].kind, 18);
        QCOMPARE(commands[size_t(before) + 1].kind, 19);
        QCOMPARE(commands[size_t(before)].args, QStringList{w.getStock(1)});
    }

    void fillTextColorThreshold_data()
    {
        QTest::addColumn<double>("a");
        QTest::addColumn<double>("b");
        QTest::addColumn<QString>("key");
        QTest::newRow("within 1e-5 is equal") << 10.00001 << 10.0 << "ic_clr_browse_equal";
        QTest::newRow("above is rise") << 10.0001 << 10.0 << "ic_clr_browse_rise";
        QTest::newRow("below is fall") << 9.9999 << 10.0 << "ic_clr_browse_fall";
        QTest::newRow("zero against zero") << 0.0 << 0.0 << "ic_clr_browse_equal";
    }
    void fillTextColorThreshold()
    {
        QFETCH(double, a);
        QFETCH(double, b);
        QFETCH(QString, key);
        CBrowseWidget w;
        const QColor* colour = nullptr;
        const QString* k = nullptr;
        w.fillTextColor(colour, k, a, b, BrowseColor_Compare);
        QCOMPARE(*k, key);
        QCOMPARE(colour, XP::CUiResource::instance().getColor(key));
        w.fillTextColor(colour, k, a, b, BrowseColor_Code);
        QCOMPARE(*k, QStringLiteral("ic_clr_browse_stock_code"));
        w.fillTextColor(colour, k, a, b, BrowseColor_Name);
        QCOMPARE(*k, QStringLiteral("ic_clr_browse_stock_name"));
    }

    void colorNames()
    {
        CBrowseWidget w;
        auto& res = XP::CUiResource::instance();
        QCOMPARE(w.ColorValue(QStringLiteral("default")),
                 res.getColor(QStringLiteral("ic_clr_browse_equal")));
        QCOMPARE(w.ColorValue(QStringLiteral("紫色")),
                 res.getColor(QStringLiteral("clr_index_purple")));
        QCOMPARE(w.ColorValue(QStringLiteral("unknown name")),
                 res.getColor(QStringLiteral("ic_clr_browse_rise")));
        QCOMPARE(w.getEqualColor(), res.getColor(QStringLiteral("ic_clr_browse_equal")));
        QCOMPARE(CBrowseWidget::CColorConversion(3), QStringLiteral("clr_index_blue"));
        QCOMPARE(CBrowseWidget::CColorConversion(7), QStringLiteral("false"));
        QVERIFY(!res.getColor(QStringLiteral("false")));
        for (const QString& name : CIndexColorParameterDialog::colorNames()) {
            if (name != QLatin1String("default"))
                QVERIFY2(w.ColorValue(name), qPrintable(name));
        }
    }

    void colourRanges_data()
    {
        QTest::addColumn<int>("lowerExclusive");
        QTest::addColumn<int>("upperExclusive");
        QTest::addColumn<QList<bool>>("coloured"); // for values 1.0, 1.5, 2.0, 3.0
        QTest::newRow("inclusive") << 0 << 0 << QList<bool>{true, true, true, false};
        QTest::newRow("exclusive") << 1 << 1 << QList<bool>{false, true, false, false};
        QTest::newRow("lower exclusive") << 1 << 0 << QList<bool>{false, true, true, false};
    }
    void colourRanges()
    {
        QFETCH(int, lowerExclusive);
        QFETCH(int, upperExclusive);
        QFETCH(QList<bool>, coloured);
        CBrowseWidget w;
        fillAShares(w);
        QVERIFY(w.model()->size() >= 3);
        const int id = addIndicator(w, QStringLiteral("指标"));
        const int slot = w.model()->indicatorSlot(id);
        const double values[] = {1.0, 1.5, 2.0, 3.0};
        const int rows = std::min(4, w.model()->size());
        for (int i = 0; i < rows; ++i)
            w.model()->rowAt(i)->setIndicatorValue(slot, values[i]);
        w.setIndexValueParams(
            QStringLiteral("指标"),
            {SIndexValueParam{1.0, 2.0, "note", "紫色", lowerExclusive, upperExclusive}});
        w.changeIndexValueColor("指标");
        const QColor* purple = colour(QStringLiteral("clr_index_purple"));
        for (int i = 0; i < rows; ++i)
            QCOMPARE(w.model()->rowAt(i)->getTextColor(id) == purple, coloured[i]);
    }

    void laterRangeWinsAndUnknownTitleDoesNothing()
    {
        CBrowseWidget w;
        fillAShares(w);
        const int id = addIndicator(w, QStringLiteral("指标"));
        const int slot = w.model()->indicatorSlot(id);
        auto row = w.model()->rowAt(0);
        row->setIndicatorValue(slot, 5.0);
        w.setIndexValueParams(QStringLiteral("指标"), {SIndexValueParam{0, 10, {}, "蓝色", 0, 0},
                                                       SIndexValueParam{4, 6, {}, "黄色", 0, 0},
                                                       SIndexValueParam{9, 1, {}, "紫色", 0, 0}});
        w.changeIndexValueColor("指标");
        QCOMPARE(row->getTextColor(id), colour(QStringLiteral("clr_index_yellow")));
        // a title with no column: getColumnNumber gives -1 and nothing is written
        w.setIndexValueParams(QStringLiteral("没有"), {SIndexValueParam{0, 10, {}, "紫色", 0, 0}});
        w.changeIndexValueColor("没有");
        QCOMPARE(row->getTextColor(id), colour(QStringLiteral("clr_index_yellow")));
    }

    void clearIndexParamDropsDefaultRanges()
    {
        CBrowseWidget w;
        const SIndexValueParam purple{1, 2, "n1", "紫色", 0, 0};
        const SIndexValueParam blue{3, 4, "n2", "蓝色", 1, 0};
        const SIndexValueParam plain{5, 6, "n3", "default", 0, 1};
        w.setIndexValueParams(QStringLiteral("甲"), {plain, purple, plain, blue});
        w.setIndexValueParams(QStringLiteral("乙"), {plain});
        w.clearIndexParam();
        const auto first = w.indexValueParams(QStringLiteral("甲"));
        QCOMPARE(int(first.size()), 2);
        QVERIFY(first[0] == purple); // the others keep their order
        QVERIFY(first[1] == blue);
        QVERIFY(w.indexValueParams(QStringLiteral("乙")).empty());
    }

    void colourDialogRoundTrip()
    {
        CIndexColorParameterDialog dialog;
        const std::vector<SIndexValueParam> ranges = {SIndexValueParam{1, 2, "n1", "红色", 1, 0},
                                                      SIndexValueParam{3, 4, "n2", "default", 0, 1},
                                                      SIndexValueParam{5, 1, "bad", "蓝色", 0, 0}};
        dialog.setIndexValueParam(QStringLiteral("指标"), ranges);
        QCOMPARE(dialog.rangeCount(), 3);
        QCOMPARE(dialog.title(), QStringLiteral("指标"));
        const auto back = dialog.getIndexValueParam();
        QCOMPARE(int(back.size()), 2); // the inverted range is left out
        QVERIFY(back[0] == ranges[0]);
        QVERIFY(back[1] == ranges[1]);
        dialog.removeRange(0);
        dialog.removeRange(42);
        QCOMPARE(dialog.rangeCount(), 2);
        dialog.clearWidget();
        QCOMPARE(dialog.rangeCount(), 0);
        QVERIFY(dialog.title().isEmpty());
    }

    void colourMenuAppliesAcceptedRanges()
    {
        CBrowseWidget w;
        fillAShares(w);
        const int id = addIndicator(w, QStringLiteral("指标"));
        w.model()->rowAt(0)->setIndicatorValue(w.model()->indicatorSlot(id), 1.5);
        w.handleEvent(55, id, 0, QString(), nullptr);
        w.headerMenu()->hide();
        QTimer::singleShot(0, &w, [&w]() {
            auto* dialog = w.colorDialog();
            QVERIFY(dialog);
            dialog->addRange(SIndexValueParam{1, 2, {}, "蓝色", 0, 0});
            dialog->accept();
        });
        w.slotSetIndexValueColor();
        QCOMPARE(int(w.indexValueParams(QStringLiteral("指标")).size()), 1);
        QCOMPARE(w.model()->rowAt(0)->getTextColor(id), colour(QStringLiteral("clr_index_blue")));
    }

    void widgetDestroyedWhileColourDialogOpen()
    {
        auto* w = new CBrowseWidget();
        ColumnInfo ma = indicator(QStringLiteral("指标"));
        const int id = w->addColumn(ma);
        w->handleEvent(55, id, 0, QString(), nullptr);
        w->headerMenu()->hide();
        QPointer<CBrowseWidget> guard(w);
        QTimer::singleShot(0, [w]() { delete w; });
        w->slotSetIndexValueColor(); // returns once the widget is gone, touching nothing
        QVERIFY(!guard);
    }

    // Cells name their colours by key: a theme switch re-colours them without a new quote.
    void themeSwitchRecoloursEveryCell()
    {
        auto& res = XP::CUiResource::instance();
        CBrowseWidget w;
        fillAShares(w);
        auto row = w.model()->rowAt(0);
        pushQuote(w, row->market, row->code, 10.5, 10.0);
        const int latest = quoteColumn(w, QC_LATEST);
        QVERIFY(row->getTextColor(0) && row->getTextColor(latest));
        QCOMPARE(*row->getTextColor(latest), *res.getColor(QStringLiteral("ic_clr_browse_rise")));
        const QColor darkCode = *row->getTextColor(0);
        const QColor darkRise = *row->getTextColor(latest);

        QVERIFY(res.loadTheme(QStringLiteral("light")));
        QCOMPARE(*row->getTextColor(0), *res.getColor(QStringLiteral("ic_clr_browse_stock_code")));
        QCOMPARE(*row->getTextColor(latest), *res.getColor(QStringLiteral("ic_clr_browse_rise")));
        const QColor lightCode = *row->getTextColor(0);
        QVERIFY(res.loadTheme(QStringLiteral("dark")));
        QCOMPARE(*row->getTextColor(0), darkCode);
        QCOMPARE(*row->getTextColor(latest), darkRise);
        QVERIFY(lightCode != darkCode);
    }

    // A theme switch restyles the row-number column but leaves its showing as it was.
    void themeSwitchKeepsTheRowNumberColumn_data()
    {
        QTest::addColumn<int>("clientType");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("shown");
        QTest::newRow("after a stock list") << 0 << "none" << true;
        QTest::newRow("home page columns") << 0 << "home page" << false;
        QTest::newRow("drag closed on the lite client") << 3 << "close drag" << false;
        QTest::newRow("drag closed on the full client") << 0 << "close drag" << true;
    }
    void themeSwitchKeepsTheRowNumberColumn()
    {
        QFETCH(int, clientType);
        QFETCH(QString, action);
        QFETCH(bool, shown);
        auto& res = XP::CUiResource::instance();
        CBrowseWidget w;
        fillAShares(w);
        QVERIFY(w.table()->tableFlags() & CHpfBrowserTable::TF_ROW_NUMBER);
        const int savedClient = getConfig()->clientType;
        getConfig()->clientType = clientType;
        if (action == QLatin1String("home page"))
            w.setHomePageColumnVisible(false);
        else if (action == QLatin1String("close drag"))
            w.openAndCloseDrag(false);
        getConfig()->clientType = savedClient;
        QCOMPARE(bool(w.table()->tableFlags() & CHpfBrowserTable::TF_ROW_NUMBER), shown);
        for (const char* theme : {"light", "dark"}) {
            QVERIFY(res.loadTheme(QString::fromLatin1(theme)));
            QCOMPARE(bool(w.table()->tableFlags() & CHpfBrowserTable::TF_ROW_NUMBER), shown);
        }
    }

    // Ctrl+C puts the visible titles and the selected rows on the clipboard, tab separated.
    void copyShortcut()
    {
        CBrowseWidget w;
        fillAShares(w);
        QVERIFY(w.model()->size() >= 3);
        auto third = w.model()->rowAt(2);
        pushQuote(w, third->market, third->code, 10.5, 10.0);
        auto* table = w.table();
        QApplication::clipboard()->setText(QStringLiteral("untouched"));
        table->clearSelection();
        QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("untouched")); // nothing selected

        // rows 2 and 0 selected: copied in row order
        for (int r : {2, 0})
            table->selectionModel()->select(table->model()->index(r, 0),
                                            QItemSelectionModel::Select
                                                | QItemSelectionModel::Rows);
        QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
        const QString text = QApplication::clipboard()->text();
        QCOMPARE(text, table->selectionText());
        const QStringList lines = text.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4); // header, two rows, the final newline
        QCOMPARE(lines[3], QString());
        QCOMPARE(lines[0], kDefaultTitles.join(QLatin1Char('\t')));
        const QStringList first = lines[1].split(QLatin1Char('\t'));
        QCOMPARE(first.size(), 19);
        QCOMPARE(first[0], w.model()->rowAt(0)->code);
        const QStringList second = lines[2].split(QLatin1Char('\t'));
        QCOMPARE(second[0], third->code);
        QCOMPARE(second[1], third->getText(1));
        QCOMPARE(second[3], QStringLiteral("10.50"));
    }

    void customSortParamFromFieldsAndExtendedData()
    {
        CBrowseWidget w;
        w.setSectorName(QStringLiteral("沪深A股"));
        fillAShares(w);
        QVERIFY(w.model()->size() >= 4);
        ColumnInfo field = indicator(QStringLiteral("自定义X"));
        field.formulaName = QStringLiteral("自定义X");
        const int id = w.addColumn(field);
        w.table()->sortByColumn(id, 0);
        const double values[] = {1.0, std::nan(""), 1.0, 2.0};
        QStringList keys;
        for (int i = 0; i < 4; ++i) {
            keys << w.model()->rowAt(i)->key;
            se::FieldParams::setData(QStringLiteral("沪深A股"), QStringLiteral("自定义X"),
                                     keys.last(), values[i]);
        }
        QMap<double, QList<QString>> out;
        w.getCustomSortParam(out);
        QCOMPARE(out.size(), 2); // NaN is left out
        QCOMPARE(out.value(1.0), (QList<QString>{keys[0], keys[2]}));
        QCOMPARE(out.value(2.0), QList<QString>{keys[3]});

        const QStringList extended = CExtendDataManager::instance()->getExtendList();
        QVERIFY(!extended.isEmpty());
        ColumnInfo ext;
        ext.formulaName = extended.first();
        ext.title = extended.first();
        ext.columnKind = 1;
        const int extId = w.addColumn(ext);
        w.table()->sortByColumn(extId, 1);
        out.clear();
        w.getCustomSortParam(out); // no trade-date getter: skipped
        QVERIFY(out.isEmpty());
        w.setGetTradeDateFunc(
            []() { return CStockManager::instance()->getLastTradingDay(QStringLiteral("SH")); });
        w.getCustomSortParam(out);
        int counted = 0;
        for (const auto& list : out)
            counted += list.size();
        QVERIFY(counted > 0 && counted <= w.model()->size());
    }

    void colourRangesUseTheSectorsFieldValues()
    {
        CBrowseWidget w;
        w.setSectorName(QStringLiteral("沪深A股"));
        fillAShares(w);
        const int id = addIndicator(w, QStringLiteral("字段Y"));
        auto row = w.model()->rowAt(0);
        se::FieldParams::setData(QStringLiteral("沪深A股"), QStringLiteral("字段Y"), row->key, 7.0);
        w.setIndexValueParams(QStringLiteral("字段Y"), {SIndexValueParam{6, 8, {}, "绿色", 0, 0}});
        w.changeIndexValueColor("字段Y");
        QCOMPARE(row->getTextColor(id), colour(QStringLiteral("ic_clr_browse_fall")));
    }
};

QTEST_MAIN(TstBrowseColumns)
#include "tst_browsecolumns.moc"
