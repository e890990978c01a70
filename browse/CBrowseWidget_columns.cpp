// Column lists, column operations, the header menu and the row menu.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "browse/BrowseEvents.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/Config.h"
#include "host/data/ExtendDataManager.h"
#include "host/data/FormulaManager.h"
#include "host/data/SectorManager.h"
#include "host/toolkit/Menu.h"
#include "host/toolkit/StyleSheetCenter.h"

#include <QCursor>

#include <algorithm>

namespace TC {

namespace {

const char* const kBaseTitles[QC_BASE_COUNT] = {
    "今开",   "最新",   "最高",   "最低",   "总额",   "总量",   "前收",   "涨幅",
    "涨跌",   "持仓",   "委买价", "委买量", "委卖价", "委卖量", "委比",   "市盈率",
    "总笔",   "总手",   "现手",   "买二价", "买三价", "买四价", "买五价", "买二量",
    "买三量", "买四量", "买五量", "卖二价", "卖三价", "卖四价", "卖五价", "卖二量",
    "卖三量", "卖四量", "卖五量", "均价",   "权重%"};

const QString kTableBackground = QStringLiteral("ic_clr_table_background");
constexpr int kAlignLeft = 129;  // left, vertically centred
constexpr int kAlignRight = 130; // right, vertically centred
constexpr int kClientTypeLite = 3;

// Sectors whose instruments have no industry.
const char* const kNoIndustrySectors[] = {"沪深指数",
                                          "沪深基金",
                                          "沪深债券",
                                          "沪深ETF",
                                          "沪市指数",
                                          "沪市基金",
                                          "沪市债券",
                                          "沪市ETF",
                                          "深市指数",
                                          "深市基金",
                                          "深市债券",
                                          "深市ETF",
                                          "内盘期货板块",
                                          "期权板块",
                                          "概念指数",
                                          "地域指数",
                                          "申万一级行业板块指数",
                                          "申万一级行业板块指数(港股)",
                                          "证监会行业板块指数"};

} // namespace

QList<ColumnInfo> CBrowseWidget::getBaseColumnList() const
{
    QList<ColumnInfo> list;
    list.reserve(QC_BASE_COUNT);
    for (int id = 0; id < QC_BASE_COUNT; ++id) {
        ColumnInfo c;
        c.formulaName = kQuoterFormula;
        c.period = kPeriodDay;
        c.lineIndex = id;
        c.title = QString::fromUtf8(kBaseTitles[id]);
        c.visible = true;
        if (id == QC_WEIGHT) {
            c.visible = false;
            c.precision = -3;
        }
        list.append(c);
    }
    return list;
}

bool CBrowseWidget::getBrowserColumn(ColumnInfo& out, EBrowserQuoterColumnID id) const
{
    auto it = d->m_baseColumns.constFind(int(id));
    if (it == d->m_baseColumns.constEnd())
        return false;
    out = *it;
    return true;
}

QString CBrowseWidget::numberFontKey() const
{
    return d->m_bConcise && getConfig()->conciseStyle
               ? QStringLiteral("ic_concise_fnt_table_number_default")
               : QStringLiteral("ic_fnt_table_number_default");
}

QString CBrowseWidget::textFontKey() const
{
    return d->m_bConcise && getConfig()->conciseStyle
               ? QStringLiteral("ic_concise_fnt_table_text_default")
               : QStringLiteral("ic_fnt_table_text_default");
}

void CBrowseWidget::appendExtraColumns()
{
    const bool ah = CSectorManager::instance()->isAHSector(d->m_qsSectorName);
    const bool connect = CSectorManager::instance()->isConnectSector(d->m_qsSectorName);
    auto linkTitle = [&](const char* ahTitle, const char* connectTitle, const char* cbTitle) {
        return QString::fromUtf8(ah ? ahTitle : connect ? connectTitle : cbTitle);
    };
    struct Extra {
        int id;
        QString title;
        int precision; // 1000: keep what the reused descriptor carries
        bool visible;
    };
    const int linkPrecision = d->m_nBrowseType == BrowseType_NetBuying ? -2 : -3;
    std::vector<Extra> extras = {
        {QC_TOTAL_VALUE, QStringLiteral("总市值"), 1000, true},
        {QC_FLOAT_VALUE, QStringLiteral("流通市值"), 1000, true},
        {QC_TURNOVER, QStringLiteral("换手率"), 1000, true},
        {QC_VOLUME_RATIO, QStringLiteral("量比"), 1000, true},
        {QC_SPEED1, QStringLiteral("1分钟涨速"), -3, true},
        {QC_SPEED5, QStringLiteral("5分钟涨速"), -3, true},
    };
    if (d->m_nBrowseType == BrowseType_NetBuying) {
        extras.push_back({QC_TOTAL_BUY, QStringLiteral("总买"), -6, true});
        extras.push_back({QC_TOTAL_SELL, QStringLiteral("总卖"), -6, true});
        extras.push_back({QC_NET_BUY, QStringLiteral("净买入"), -2, true});
    }
    const std::vector<Extra> linked = {
        {QC_LINK_CODE, linkTitle("港股代码", "A股代码", "正股代码"), linkPrecision, true},
        {QC_LINK_NAME, linkTitle("港股名称", "A股名称", "正股简称"), linkPrecision, false},
        {QC_LINK_PRICE, linkTitle("港股价格", "A股价格", "正股价格"), linkPrecision, false},
        {QC_LINK_RATIO, linkTitle("港股涨幅", "A股涨幅", "正股涨幅"), linkPrecision, false},
        {QC_LINK_AMOUNT, linkTitle("港股总额", "A股总额", "转股总额"), linkPrecision, false},
        {QC_CONVERT_PRICE, QStringLiteral("最新转股价"), linkPrecision, false},
        {QC_CONVERT_VALUE, QStringLiteral("转股价值"), linkPrecision, false},
        {QC_CONVERT_PREMIUM, QStringLiteral("转股溢价率(%)"), linkPrecision, false},
        {QC_NIGHT, QStringLiteral("夜盘"), linkPrecision, false},
        {QC_IOPV, QStringLiteral("IOPV"), linkPrecision, true},
        {QC_DISCOUNT, QStringLiteral("溢折率"), linkPrecision, true},
    };
    extras.insert(extras.end(), linked.begin(), linked.end());

    ColumnInfo c; // one descriptor for all: each entry keeps the precision set before it
    c.formulaName = kQuoterFormula;
    c.period = kPeriodDay;
    for (const Extra& e : extras) {
        c.lineIndex = e.id;
        c.title = e.title;
        c.visible = e.visible;
        if (e.precision != 1000)
            c.precision = e.precision;
        d->m_columnList.append(c);
        d->m_extraColumns.append(c);
    }
}

void CBrowseWidget::setColumnList(const QList<ColumnInfo>& list)
{
    stopIndicatorBatch(); // its columns are about to go
    d->m_columnList = list;
    d->m_pTable->clearSort();
    d->m_pTable->clearColumns();
    d->m_pModel->clear();
    clearRowIndex();
    d->m_pModel->clearColumnTables();
    d->m_requestQueue.clear();
    d->m_customIndexColumns.clear();
    d->m_indicatorColumns.clear();
    d->m_extraColumns.clear();
    d->m_addedColumns.clear();
    clearUserDefinedColumns();
    d->m_removedColumnNames.clear();
    d->m_nSpeedColumn = d->m_nTotalBuyColumn = d->m_nTotalSellColumn = d->m_nNetBuyColumn = -1;
    d->m_nNightColumn = d->m_nCorrelationColumn = -1;

    const int callerCount = d->m_columnList.size();
    appendExtraColumns();

    d->m_pTable->setColumnCount(d->m_columnList.size() + 3);
    const QString numberFont = numberFontKey();
    const QString textFont = textFontKey();
    d->m_pTable->setHeaderText(0, QStringLiteral("代码"));
    d->m_pTable->setHeaderText(1, QStringLiteral("名称"));
    d->m_pTable->setHeaderText(2, QStringLiteral("行业"));
    d->m_pTable->setColumnFontKey(0, numberFont);
    d->m_pTable->setColumnFontKey(1, textFont);
    d->m_pTable->setColumnFontKey(2, textFont);

    int indicators = 0;
    for (int p = 0; p < d->m_columnList.size(); ++p) {
        ColumnInfo& c = d->m_columnList[p];
        const int id = p + 3;
        c.columnId = id;
        d->m_pTable->setHeaderText(id, c.title);
        d->m_pTable->setColumnFontKey(id, numberFont);
        d->m_pTable->setColumnVisible(id, c.visible);
        if (p < callerCount) {
            if (c.isQuoter()) {
                c.period = kPeriodDay;
                d->m_pModel->setQuoteSlot(id, p - indicators);
            } else {
                ++indicators;
                d->m_pModel->addIndicatorColumn(id, c.precision);
                d->m_indicatorColumns.append(c);
                d->m_pTable->setColumnSettingIcon(id, true);
            }
            if (c.lineIndex == 4 || c.lineIndex == 7)
                d->m_pModel->addStatColumn(id);
            continue;
        }
        c.period = kPeriodDay;
        d->m_pModel->setQuoteSlot(id, p - indicators);
        d->m_pModel->setQuoteId(id, c.lineIndex);
        switch (c.lineIndex) {
        case QC_SPEED5: d->m_pTable->setColumnSettingIcon(id, true); break;
        case QC_TOTAL_BUY: d->m_nTotalBuyColumn = id; break;
        case QC_TOTAL_SELL: d->m_nTotalSellColumn = id; break;
        case QC_NET_BUY: d->m_nNetBuyColumn = id; break;
        case QC_NIGHT: d->m_nNightColumn = id; break;
        case QC_LINK_CODE:
        case QC_LINK_NAME:
            d->m_pModel->setValueType(id, ValueType_Text);
            d->m_pTable->setColumnFontKey(id, textFont);
            break;
        default: break;
        }
        d->m_extraColumns[p - callerCount].columnId = id;
    }
    if (d->m_nTotalSellColumn < 0 && d->m_nBrowseType == BrowseType_NetBuying)
        d->m_nTotalSellColumn = 44;

    tryMoveColumnByType(BrowseType_Default);
    for (int id = 0; id < d->m_columnList.size() + 3; ++id) {
        d->m_pTable->setLockColumnColorKey(id, kTableBackground);
        d->m_pTable->setColumnTextAlignment(id, id < 3 ? kAlignLeft : kAlignRight);
    }
    rebuildQuoteColumnPlan();
}

void CBrowseWidget::resetTableColumn()
{
    setColumnList(getBaseColumnList());
    if (getConfig()->clientType != kClientTypeLite)
        resetSectorShowHideColumn();
    for (int id = 0; id < 3; ++id)
        d->m_pTable->setColumnFilterable(id, true);
    setDefaultColumnLock(true);
}

void CBrowseWidget::setDefaultColumnLock(bool lock)
{
    d->m_pTable->setColumnLocked(0, lock);
    d->m_pTable->setColumnLocked(1, lock);
}

ColumnInfo* CBrowseWidget::findColumn(int column)
{
    for (ColumnInfo& c : d->m_columnList) {
        if (c.columnId == column)
            return &c;
    }
    return nullptr;
}

const ColumnInfo* CBrowseWidget::findColumn(int column) const
{
    return const_cast<CBrowseWidget*>(this)->findColumn(column);
}

int CBrowseWidget::addColumn(ColumnInfo& column)
{
    for (const ColumnInfo& c : d->m_columnList) {
        if (c == column)
            return -1;
    }
    const int id = d->m_pTable->newColumnId();
    if (column.columnKind == 2 && column.intSetting == 4 && d->m_pModel->quoteSlot(id) < 0)
        d->m_pModel->setQuoteSlot(id, d->m_pModel->nextQuoteSlot());
    d->m_pTable->setColumnFontKey(id, numberFontKey());
    d->m_pModel->addIndicatorColumn(id, column.precision);
    if (column.statEnabled) {
        d->m_pModel->addStatColumn(id);
        d->m_pModel->setStatMode(id, column.statAverage ? 1 : 0);
    }
    d->m_pTable->setHeaderText(id, column.title);
    d->m_pTable->setColumnSettingIcon(id, true);
    d->m_pTable->setColumnTextAlignment(id, kAlignRight);
    column.columnId = id;
    d->m_columnList.append(column);
    if (!column.isQuoter())
        d->m_indicatorColumns.append(column);
    d->m_pTable->moveColumn(id, 2);
    d->m_pTable->setLockColumnColorKey(id, kTableBackground);
    // rows built before the column joined get its slots
    const int bound = columnIdBound();
    for (const auto& data : d->m_pModel->getAllDatas()) {
        auto* row = static_cast<HpfBrowserData*>(data.get());
        d->m_pModel->fitRow(*row, bound);
        row->setTextColorIndex(id, d->m_nEqualIdx);
    }
    resetSelectStock();
    d->m_addedColumns.append(column);
    rebuildQuoteColumnPlan();
    return id;
}

void CBrowseWidget::removeColumnInfo(int column)
{
    auto sameId = [column](const ColumnInfo& c) { return c.columnId == column; };
    auto it = std::find_if(d->m_columnList.begin(), d->m_columnList.end(), sameId);
    if (it == d->m_columnList.end())
        return;
    d->m_removedColumnNames.append(it->title);
    d->m_columnList.erase(it);
    d->m_addedColumns.erase(
        std::remove_if(d->m_addedColumns.begin(), d->m_addedColumns.end(), sameId),
        d->m_addedColumns.end());
    d->m_indicatorColumns.erase(
        std::remove_if(d->m_indicatorColumns.begin(), d->m_indicatorColumns.end(), sameId),
        d->m_indicatorColumns.end());
    forgetUserDefinedColumn(column);
    d->m_customIndexColumns.erase(
        std::remove_if(d->m_customIndexColumns.begin(), d->m_customIndexColumns.end(), sameId),
        d->m_customIndexColumns.end());
    d->m_extraColumns.erase(
        std::remove_if(d->m_extraColumns.begin(), d->m_extraColumns.end(), sameId),
        d->m_extraColumns.end());
    for (int* special : {&d->m_nSpeedColumn, &d->m_nTotalBuyColumn, &d->m_nTotalSellColumn,
                         &d->m_nNetBuyColumn, &d->m_nCorrelationColumn, &d->m_nNightColumn}) {
        if (*special == column)
            *special = -1;
    }
    d->m_pTable->removeColumn(column);
    d->m_pModel->dropColumn(column);
    rebuildQuoteColumnPlan();
}

bool CBrowseWidget::getColumnInfo(int column, ColumnInfo& out) const
{
    const ColumnInfo* c = findColumn(column);
    if (!c)
        return false;
    out = *c;
    return true;
}

QVector<ColumnInfo> CBrowseWidget::getCurrentColumnList() const
{
    QVector<ColumnInfo> list;
    list.reserve(d->m_columnList.size());
    for (const ColumnInfo& c : d->m_columnList)
        list.append(c);
    std::stable_sort(list.begin(), list.end(), [this](const ColumnInfo& a, const ColumnInfo& b) {
        return d->m_pTable->visualPosition(a.columnId) < d->m_pTable->visualPosition(b.columnId);
    });
    return list;
}

int CBrowseWidget::getAllColumnNumber() const
{
    const int count = d->m_pTable->columnCount();
    for (int pos = 0; pos < count; ++pos) {
        const int id = d->m_pTable->columnIdAt(pos);
        if (id >= 3)
            return id;
    }
    return 0;
}

int CBrowseWidget::getColumnNumber(const QString& title) const
{
    const int c = getAllColumnNumber();
    const int k = d->m_pModel->indicatorSlot(c);
    if (k < 0)
        return -1;
    for (int id = c - k; id <= c; ++id) {
        const ColumnInfo* info = findColumn(id);
        if (info && info->title == title)
            return id;
    }
    return -1;
}

void CBrowseWidget::setColumnVisible(const int& column, bool visible)
{
    if (d->m_pTable->isColumnVisible(column) != visible)
        d->m_pTable->setColumnVisible(column, visible);
    if (ColumnInfo* c = findColumn(column))
        c->visible = visible;
}

void CBrowseWidget::setColumnVisible(const QSet<QString>& titles, bool visible)
{
    for (ColumnInfo& c : d->m_columnList) {
        const bool v = titles.contains(c.title) ? visible : !visible;
        c.visible = v;
        if (d->m_pTable->isColumnVisible(c.columnId) != v)
            d->m_pTable->setColumnVisible(c.columnId, v);
    }
}

void CBrowseWidget::setColumnWidth(int width)
{
    const int listed = d->m_columnList.size();
    for (int id = 0; id < listed; ++id)
        d->m_pTable->setColumnWidth(id, width);
}

void CBrowseWidget::setColumnTextAlignment(int column, QFlags<XP::EAlign> align)
{
    d->m_pTable->setColumnTextAlignment(column, align);
}

QList<QString> CBrowseWidget::columnNamesOfType(eBrowseType type)
{
    QList<QString> names{QStringLiteral("代码"), QStringLiteral("名称")};
    auto add = [&names](std::initializer_list<const char*> more) {
        for (const char* n : more)
            names.append(QString::fromUtf8(n));
    };
    switch (type) {
    case BrowseType_Speed:
        add({"涨幅", "总额", "行业", "最新", "总市值", "流通市值", "1分钟涨速", "5分钟涨速"});
        break;
    case BrowseType_Brief: add({"涨幅", "总额"}); break;
    case BrowseType_NetBuying:
        add({"涨幅", "总额", "行业", "总买", "总卖", "净买入", "最新", "总市值", "流通市值", "涨速",
             "涨速"});
        break;
    case BrowseType_Extend:
        names.append(CExtendDataManager::instance()->getExtendList());
        add({"涨幅", "总市值", "流通市值", "行业"});
        break;
    default:
        add({"涨幅", "最新", "涨跌", "总额", "行业", "委买价", "委卖价", "总手", "现手", "换手率",
             "总市值", "流通市值", "昨收", "今开", "最高", "最低", "IOPV", "溢折率"});
        break;
    }
    return names;
}

void CBrowseWidget::tryMoveColumnByType(eBrowseType type)
{
    tryMoveColumnByNames(columnNamesOfType(type));
}

void CBrowseWidget::tryMoveColumnByNames(const QList<QString>& names)
{
    QHash<QString, int> byTitle; // maps header title to column id
    byTitle.insert(d->m_pTable->headerText(0), 0);
    byTitle.insert(d->m_pTable->headerText(1), 1);
    byTitle.insert(d->m_pTable->headerText(2), 2);
    for (const ColumnInfo& c : d->m_columnList) {
        const QString key = c.columnKind == 1 ? QStringLiteral("Extend_") + c.title : c.title;
        if (!byTitle.contains(key))
            byTitle.insert(key, c.columnId);
    }
    QSet<int> named;
    for (int pos = 0; pos < names.size(); ++pos) {
        auto it = byTitle.constFind(names[pos]);
        if (it == byTitle.constEnd())
            continue;
        d->m_pTable->moveColumn(*it, pos);
        named.insert(*it);
    }
    for (int id = 0; id < d->m_columnList.size() + 3; ++id)
        d->m_pTable->setColumnVisible(id, named.contains(id));
    for (ColumnInfo& c : d->m_columnList)
        c.visible = named.contains(c.columnId);
}

void CBrowseWidget::resetSectorShowHideColumn()
{
    auto* sectors = CSectorManager::instance();
    const QString& sector = d->m_qsSectorName;
    bool hideIndustry = false;
    for (const char* name : kNoIndustrySectors) {
        if (sectors->checkDirectRelationship(sector, QString::fromUtf8(name))) {
            hideIndustry = true;
            break;
        }
    }
    setColumnVisible(2, !hideIndustry);

    auto setRange = [this](int from, int to, bool visible) {
        for (int id = from; id <= to; ++id) {
            if (findColumn(id))
                setColumnVisible(id, visible);
        }
    };
    if (sectors->isParentSector(sector, QStringLiteral("内盘期货板块"))) {
        setRange(12, 12, true);
        setRange(17, 18, false);
        setRange(22, 45, false);
        if (d->m_nNightColumn >= 0)
            setColumnVisible(d->m_nNightColumn, true);
    } else if (sectors->isParentSector(sector, QStringLiteral("板块指数板块"))) {
        setRange(13, 19, false);
        setRange(21, 21, false);
        setRange(22, 38, false);
        setRange(40, 41, false);
        setRange(43, 45, false);
    }

    const bool cb = sectors->isConvertibleBondSector(sector);
    const bool ah = sectors->isAHSector(sector);
    const bool connect = sectors->isConnectSector(sector);
    for (const ColumnInfo& c : d->m_extraColumns) {
        bool visible;
        switch (c.lineIndex) {
        case QC_LINK_CODE:
        case QC_LINK_AMOUNT: visible = ah || connect; break;
        case QC_LINK_NAME:
        case QC_CONVERT_PRICE:
        case QC_CONVERT_VALUE:
        case QC_CONVERT_PREMIUM: visible = cb; break;
        case QC_LINK_PRICE:
        case QC_LINK_RATIO: visible = cb || ah || connect; break;
        default: continue;
        }
        setColumnVisible(c.columnId, visible);
    }
}

void CBrowseWidget::setHomePageColumnVisible(bool compact)
{
    d->m_pTable->removeTableFlag(XP::CBaseHighPerformanceTable::TF_ROW_NUMBER);
    for (const ColumnInfo& c : d->m_columnList) {
        const int q = c.lineIndex;
        const bool shown = compact ? q == 7 : (q == 4 || q == 7 || q == 41);
        setColumnVisible(c.columnId, shown);
    }
}

void CBrowseWidget::createAction()
{
    d->m_pHeaderMenu = new XP::CMenu(QString(), this);
    d->m_pActRemove = d->m_pHeaderMenu->addAction(QStringLiteral("删除该列"));
    d->m_pActRefreshColumn = d->m_pHeaderMenu->addAction(QStringLiteral("刷新当前列"));
    d->m_pActRefreshModel = d->m_pHeaderMenu->addAction(QStringLiteral("刷新当前模型"));
    d->m_pActRefreshSetting = d->m_pHeaderMenu->addAction(QStringLiteral("刷新设置"));
    d->m_pActAutoRefresh = d->m_pHeaderMenu->addAction(QStringLiteral("自动刷新"));
    d->m_pActAutoRefresh->setCheckable(true);
    d->m_pActIndexColor = d->m_pHeaderMenu->addAction(QStringLiteral("设置指标颜色"));
    connect(d->m_pActRemove, &QAction::triggered, this, &CBrowseWidget::slotRemoveHeader);
    connect(d->m_pActRefreshColumn, &QAction::triggered, this, &CBrowseWidget::slotVariableRefresh);
    connect(d->m_pActRefreshModel, &QAction::triggered, this, &CBrowseWidget::slotFormulaRefresh);
    connect(d->m_pActRefreshSetting, &QAction::triggered, this,
            &CBrowseWidget::slotSetAutoRefreshTimeParam);
    connect(d->m_pActAutoRefresh, &QAction::triggered, this,
            &CBrowseWidget::slotSetColumnAutoRefresh);
    connect(d->m_pActIndexColor, &QAction::triggered, this, &CBrowseWidget::slotSetIndexValueColor);
}

bool CBrowseWidget::prepareHeaderMenu(int column)
{
    const QList<QAction*> entries = {d->m_pActRemove,       d->m_pActRefreshColumn,
                                     d->m_pActRefreshModel, d->m_pActRefreshSetting,
                                     d->m_pActAutoRefresh,  d->m_pActIndexColor};
    const ColumnInfo* c = findColumn(column);
    if (column == 0 || column == 1 || column == 2 || !c)
        return false; // fixed columns have no descriptor to act on
    if (c->isQuoter()) {
        if (c->lineIndex != QC_SPEED5)
            return false;
        for (QAction* a : entries)
            a->setVisible(false);
        return true;
    }
    const bool custom = std::any_of(d->m_userDefinedColumns.begin(), d->m_userDefinedColumns.end(),
                                    [column](const ColumnInfo& x) { return x.columnId == column; });
    for (QAction* a : entries) {
        a->setVisible(!custom && a != d->m_pActIndexColor);
        a->setEnabled(true);
    }
    if (custom)
        d->m_pActRemove->setVisible(true);
    d->m_pActIndexColor->setVisible(!custom);
    d->m_pActAutoRefresh->setChecked(c->autoRefresh);
    return true;
}

void CBrowseWidget::showHeaderMenu(int column)
{
    if (!prepareHeaderMenu(column))
        return;
    d->m_pHeaderMenu->setStyleSheet(
        XP::CStyleSheetCenter::getStyle(XP::CStyleSheetCenter::StyleMenu));
    d->m_pHeaderMenu->popup(QCursor::pos());
}

void CBrowseWidget::addMenu(XP::CMenu* menu)
{
    if (d->m_pTable)
        d->m_pTable->addMenu(menu);
}

QAction* CBrowseWidget::addMenuAction(const QString& text)
{
    if (!d->m_pTable)
        return nullptr;
    QAction* action = d->m_pTable->addMenuAction(text);
    d->m_menuActions.insert(text, action);
    return action;
}

void CBrowseWidget::addSeparator()
{
    if (d->m_pTable)
        d->m_pTable->addSeparator();
}

QAction* CBrowseWidget::getMenuAction(const QString& text) const
{
    return d->m_menuActions.value(text, nullptr);
}

QAction* CBrowseWidget::addFuncMenuAction(const QString& text, int kind)
{
    QAction* action = addMenuAction(text);
    if (!action)
        return nullptr;
    switch (kind) {
    case 2:
        connect(action, &QAction::triggered, this, &CBrowseWidget::slotRemoveStockFromSector);
        break;
    case 5:
        connect(action, &QAction::triggered, this, &CBrowseWidget::slotImportExternalCustomTpl);
        break;
    case 6:
        connect(action, &QAction::triggered, this, &CBrowseWidget::slotExportExternalCustomTpl);
        break;
    default: break; // the other kinds belong to the sector and external-data commands
    }
    return action;
}

void CBrowseWidget::addPublicMenuAction()
{
    if (!d->m_pTable)
        return;
    addSeparator();
    connect(addMenuAction(QStringLiteral("股票组合买入")), &QAction::triggered, this,
            &CBrowseWidget::slotQuickOrderBuy);
    connect(addMenuAction(QStringLiteral("股票组合卖出")), &QAction::triggered, this,
            &CBrowseWidget::slotQuickOrderSell);
    addSeparator();
    connect(addMenuAction(QStringLiteral("添加自定义字段")), &QAction::triggered, this,
            &CBrowseWidget::slotAddCustomField);
    connect(addMenuAction(QStringLiteral("选择自定义指标")), &QAction::triggered, this,
            &CBrowseWidget::slotSelectCustomIndex);
    connect(addMenuAction(QStringLiteral("删除自定义指标")), &QAction::triggered, this,
            &CBrowseWidget::slotDelSelectCustomIndex);
    connect(addMenuAction(QStringLiteral("刷新全部自定义指标")), &QAction::triggered, this,
            &CBrowseWidget::slotUpdateAllCustomIndex);
}

void CBrowseWidget::slotRemoveHeader()
{
    if (d->m_nHeaderColumn < 3)
        return; // the fixed columns stay
    removeColumnInfo(d->m_nHeaderColumn);
    reviewQueueHead(); // a running head whose columns are all gone moves the queue on
    d->m_pTable->updateUi();
}

void CBrowseWidget::slotQuickOrderBuy()
{
    CFormulaManager::instance()->sendBasketQuickOrder(QStringList(getSelectStocks().toList()), 18);
}

void CBrowseWidget::slotQuickOrderSell()
{
    CFormulaManager::instance()->sendBasketQuickOrder(QStringList(getSelectStocks().toList()), 19);
}

void CBrowseWidget::slotRemoveStockFromSector()
{
    deliverEvent(Event_SectorCommand, 0, 2, QString(), this);
}

void CBrowseWidget::slotSelectCustomIndex()
{
    deliverEvent(Event_SectorCommand, 0, 3, QString(), this);
}

} // namespace TC
