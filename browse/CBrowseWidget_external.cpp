// External-data rows, extended-data columns, the interval quote refresh, the correlation
// column and the template commands.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "browse/BrowseEvents.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/Config.h"
#include "host/data/ExtendDataManager.h"
#include "host/data/ExternalDataInfo.h"
#include "host/data/FormulaManager.h"
#include "host/data/Log.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/widgets/CBrowserFetchDataProgressDialog.h"
#include "host/widgets/CSimGetCheckSelectDialog.h"

#include <QDateTime>
#include <QSignalBlocker>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace TC {

namespace {
const QString kExternalMarket = QStringLiteral("ED");
constexpr int kExternalDateColumn = 2;
constexpr int kExternalValueColumn = 3;
// The whole stored history: 1890-01-01 to the largest 32-bit second, in ms.
constexpr int64_t kExternalStartMs = -2524550400000LL;
constexpr int64_t kExternalEndMs = 2147483632000LL;
constexpr int kExternalDefaultPeriodSec = 86400;
constexpr int kMarketUtcOffset = 8 * 3600;

// Small values (rates, ratios) keep four decimals, the rest two.
int externalDecimals(double v)
{
    return std::fabs(v) < 10.0 ? 4 : 2;
}

// The row key of a series from a delivery key: "ED" + code, or a stock key of market "ED".
QString externalRowKey(const std::string& deliveryKey)
{
    const QString key = QString::fromStdString(deliveryKey);
    QString market, code;
    if (XP::splitStockKey(key, &market, &code) && market == kExternalMarket && !code.isEmpty())
        return kExternalMarket + code;
    return key.startsWith(kExternalMarket) ? key : kExternalMarket + key;
}

std::atomic<quint64> g_deliveriesLaid{0};

// One snapshot summing an instrument's records over an interval. Bars before startMs only
// give the reference close; snapshots are cumulative within their day, so each day counts
// with its last one. Records of other kinds are skipped.
quoter::QuoterAllDataPtr intervalQuote(const std::vector<quoter::QuoterBasePtr>& records,
                                       int64_t startMs)
{
    auto out = std::make_shared<quoter::QuoterAllData>();
    bool any = false;
    bool haveReference = false;
    int lastDay = 0;
    quoter::KLineData dayLast; // the running day of snapshot records
    auto fold = [&](const quoter::KLineData& b, bool first) {
        if (first) {
            out->open = b.open;
            out->high = b.high;
            out->low = b.low;
            if (!haveReference)
                out->preClose = b.preClose;
        } else {
            out->high = std::max(out->high, b.high);
            out->low = std::min(out->low, b.low);
        }
        out->last = b.close;
        out->volume += b.volume;
        out->amount += b.amount;
        out->openInterestOrPhase = b.openInterest;
        out->settlement = b.settlement;
        out->time = b.time;
    };
    bool pendingDay = false;
    for (const quoter::QuoterBasePtr& r : records) {
        if (const quoter::KLineData* bar = quoter::asKLine(r.get())) {
            if (bar->time < startMs) {
                out->preClose = bar->close;
                haveReference = true;
                continue;
            }
            if (!std::isfinite(bar->close))
                continue;
            fold(*bar, !any);
            any = true;
        } else if (const quoter::QuoterAllData* q = quoter::asAllData(r.get())) {
            if (!std::isfinite(q->last))
                continue;
            const int day = CStockManager::dateOfMs(q->time);
            if (pendingDay && day != lastDay) {
                fold(dayLast, !any);
                any = true;
            }
            dayLast = quoter::quoteToKLine(*q);
            lastDay = day;
            pendingDay = true;
        }
    }
    if (pendingDay) {
        fold(dayLast, !any);
        any = true;
    }
    return any ? out : quoter::QuoterAllDataPtr();
}
} // namespace

// --- external data -------------------------------------------------------------------------

void CBrowseWidget::setExternalColumn()
{
    d->m_pTable->clearSort();
    ColumnInfo value;
    value.formulaName = kQuoterFormula;
    value.lineIndex = QC_LATEST;
    value.period = kPeriodDay;
    value.title = QStringLiteral("数值");
    setColumnList({value});
    // the external layout shows code, name, date and value only
    for (const ColumnInfo& c : d->m_columnList) {
        if (c.columnId != kExternalValueColumn)
            setColumnVisible(c.columnId, false);
    }
    setColumnVisible(kExternalValueColumn, true);
    setColumnVisible(kExternalDateColumn, true);
    d->m_pTable->moveColumn(kExternalDateColumn, 2);
    d->m_pTable->moveColumn(kExternalValueColumn, 3);
    d->m_pTable->setHeaderText(0, QStringLiteral("代码"));
    d->m_pTable->setHeaderText(1, QStringLiteral("名称"));
    d->m_pTable->setHeaderText(kExternalDateColumn, QStringLiteral("日期"));
    d->m_pTable->setColumnFontKey(0, numberFontKey());
    d->m_pTable->setColumnFontKey(1, textFontKey());
    d->m_pTable->setColumnFontKey(kExternalValueColumn, numberFontKey());
    for (int id : {0, 1}) {
        d->m_pTable->setColumnFilterable(id, true);
        d->m_pTable->setColumnLocked(id, true);
    }
    d->m_nBrowseStatus = BrowseStatus_External;
}

void CBrowseWidget::setDataList(QList<CExternalDataInfo*>& list)
{
    d->m_nBrowseStatus = BrowseStatus_External;
    d->m_pModel->clear();
    clearRowIndex();
    d->m_externalPeriods.clear();
    const int columns = columnIdBound();
    std::vector<XP::IBaseHpfTableDataPtr> rows;
    rows.reserve(size_t(list.size()));
    for (const CExternalDataInfo* item : list) {
        if (!item || item->code.trimmed().isEmpty())
            continue;
        const QString key = kExternalMarket + item->code;
        if (d->m_externalPeriods.contains(key)) {
            TT_LOG_WARN("[browser external] duplicate code %1% skipped", item->code);
            continue;
        }
        HpfBrowserDataPtr row(new HpfBrowserData());
        row->key = key;
        row->market = kExternalMarket;
        row->code = item->code;
        row->name = item->displayName.isEmpty() ? item->name : item->displayName;
        row->initValues(d->m_pModel->quoteSlotCount(), d->m_pModel->indicatorCount(), columns);
        std::fill(row->textColors.begin(), row->textColors.end(), quint8(d->m_nEqualIdx));
        row->setTextColorIndex(0, d->m_nCodeIdx);
        row->setTextColorIndex(1, d->m_nNameIdx);
        d->m_pModel->attachRow(*row);
        d->m_externalPeriods.insert(key,
                                    item->period > 0 ? item->period : kExternalDefaultPeriodSec);
        addRowToIndex(row);
        rows.push_back(row);
    }
    d->m_pModel->addDatas(rows);
    d->m_nStockListSize = int(rows.size()); // the row count shown is the set's, not a sector's
    fillLastCustomIndexValue();
    d->m_pTable->sortByColumn(0, 0);
    d->m_pTable->updateUi();
}

void CBrowseWidget::requestExternal()
{
    if (d->m_pModel->size() == 0)
        return;
    // one fetch per period; the period is in seconds, the fetch wants 64-bit ms
    std::map<int64_t, se::RPCFetchCacheDataParam> byPeriod;
    for (const auto& data : d->m_pModel->getAllDatas()) {
        const auto* row = static_cast<const HpfBrowserData*>(data.get());
        const int64_t period =
            int64_t(d->m_externalPeriods.value(row->key, kExternalDefaultPeriodSec)) * 1000;
        se::RPCFetchCacheDataParam& p = byPeriod[period];
        if (p.codes.empty()) {
            p.market = kExternalMarket.toStdString();
            p.startTime = kExternalStartMs;
            p.endTime = kExternalEndMs;
            p.count = 1;
            p.quoterType = se::kQuoterTypeBar;
            p.period = period;
        }
        p.codes.push_back(row->code.toStdString());
    }
    d->m_externalFetchPlan.clear();
    for (auto& entry : byPeriod) {
        QStringList codes;
        for (const std::string& c : entry.second.codes)
            codes.append(QString::fromStdString(c));
        d->m_externalFetchPlan.insert(entry.first, codes);
        startCacheFetch(entry.second, BrowseStatus_External);
    }
    // indicator columns of the external table are computed too; a column already queued
    // keeps its place and a running head is not restarted
    const bool idle = d->m_requestQueue.isEmpty();
    for (ColumnInfo& c : d->m_customIndexColumns) {
        if (c.columnKind == 1 || queuedIndexOf(c) >= 0)
            continue;
        c.reset();
        pushBackRequestTask(c);
    }
    if (idle && !d->m_requestQueue.isEmpty())
        nextReQuestTask();
}

QMap<qint64, QStringList> CBrowseWidget::externalFetchPlan() const
{
    return d->m_externalFetchPlan;
}

void CBrowseWidget::fetchExternalDataBack(const BrowseFetchData& data)
{
    ++g_deliveriesLaid;
    const int slot = d->m_pModel->quoteSlot(kExternalValueColumn);
    for (const auto& entry : data) {
        if (entry.second.empty())
            continue; // a series without records leaves its row as it is
        const HpfBrowserDataPtr row = d->m_pModel->rowByKey(externalRowKey(entry.first));
        if (!row)
            continue;
        // a snapshot becomes a bar; any other record is skipped
        const quoter::KLineDataPtr bar = quoter::quoteToKLine(entry.second.back());
        if (!bar || !std::isfinite(bar->close)) {
            TT_LOG_WARN("[browser external] %1%: last record is not a bar, skipped", row->key);
            continue;
        }
        // the series' days are the market's (UTC+8), whatever the machine's zone
        row->industry =
            QDateTime::fromMSecsSinceEpoch(bar->time, Qt::OffsetFromUTC, kMarketUtcOffset)
                .toString(QStringLiteral("yyyy-MM-dd"));
        row->setQuoteValue(slot, bar->close, externalDecimals(bar->close));
    }
    d->m_pTable->updateUi();
}

void CBrowseWidget::removeExternalData(const QString& code)
{
    const QString key = d->m_nBrowseStatus == BrowseStatus_External ? kExternalMarket + code : code;
    const HpfBrowserDataPtr row = d->m_pModel->rowByKey(key);
    if (!row)
        return;
    removeRowFromIndex(row.get());
    d->m_externalPeriods.remove(key);
    d->m_pModel->removeDataByKey(key);
    d->m_pTable->updateUi();
}

int CBrowseWidget::externalFetchCount() const
{
    return d->m_nCacheFetches;
}

// --- extended data -------------------------------------------------------------------------

void CBrowseWidget::doUpdateExtendIndex(int columnId)
{
    const ColumnInfo* column = findColumn(columnId);
    const int slot = d->m_pModel->indicatorSlot(columnId);
    if (!column || column->columnKind != 1 || slot < 0)
        return;
    if (!d->m_getTradeDate) {
        // the view asks on every sector switch; without a date the cells stay as they are
        TT_LOG_WARN("[browser extend] %1%: no trade-date getter, not fetched", column->title);
        return;
    }
    se::RPCExtendDataShowParam param;
    param.name = column->title.toStdString();
    param.time = int64_t(d->m_getTradeDate()) * 1000;
    const auto& rows = d->m_pModel->getAllDatas();
    param.keys.reserve(rows.size());
    for (const auto& data : rows)
        param.keys.push_back(static_cast<const HpfBrowserData*>(data.get())->key.toStdString());
    const std::map<std::string, double> values =
        CFormulaManager::instance()->getExtendShowData(param);
    for (size_t i = 0; i < rows.size(); ++i) {
        auto found = values.find(param.keys[i]);
        if (found != values.end() && std::isfinite(found->second))
            static_cast<HpfBrowserData*>(rows[i].get())->setIndicatorValue(slot, found->second);
    }
    d->m_pTable->updateUi();
}

void CBrowseWidget::updateExtenddata(int)
{
    for (const ColumnInfo& c : d->m_customIndexColumns) {
        if (c.columnKind == 1)
            doUpdateExtendIndex(c.columnId);
    }
}

void CBrowseWidget::updateExtendIndex()
{
    bool sortedByExtend = false;
    const int sortColumn = d->m_pTable->getSortColumnID();
    for (const ColumnInfo& c : d->m_customIndexColumns) {
        if (c.columnKind != 1)
            continue;
        doUpdateExtendIndex(c.columnId);
        sortedByExtend = sortedByExtend || c.columnId == sortColumn;
    }
    if (sortedByExtend)
        resort();
}

void CBrowseWidget::getExtendNames(QList<QString>& out) const
{
    for (const ColumnInfo& c : d->m_customIndexColumns) {
        if (c.columnKind == 1 && !c.title.isEmpty())
            out.append(QStringLiteral("Extend_") + c.title);
    }
}

bool CBrowseWidget::isExtendColID(int columnId) const
{
    const ColumnInfo* c = findColumn(columnId);
    return c && c->columnKind == 1;
}

QList<int> CBrowseWidget::addExtendColumns(const QStringList& names)
{
    QList<int> ids;
    for (const QString& name : names) {
        if (name.isEmpty() || isCustomIndexExist(name))
            continue;
        ColumnInfo column;
        column.formulaName = name;
        column.title = name; // the extended item's name is the column's title
        column.columnKind = 1;
        column.conditionSector = d->m_qsSectorName;
        const int id = addCustomIndex(column);
        if (id < 0)
            continue;
        doUpdateExtendIndex(id);
        ids.append(id);
    }
    return ids;
}

void CBrowseWidget::slotAddExtendData()
{
    QStringList chosen;
    if (!CSimGetCheckSelectDialog::pick(this, QStringLiteral("添加扩展数据"),
                                        CExtendDataManager::instance()->getExtendList(), chosen))
        return; // the widget went away during the dialog
    addExtendColumns(chosen);
}

QAction* CBrowseWidget::addExtendMenuAction(const QString& text)
{
    QAction* action = addMenuAction(text);
    if (action)
        connect(action, &QAction::triggered, this, &CBrowseWidget::slotAddExtendData);
    return action;
}

void CBrowseWidget::slotImportExternalCustomTpl()
{
    deliverEvent(Event_SectorCommand, 0, 5, QString(), this);
}

void CBrowseWidget::slotExportExternalCustomTpl()
{
    deliverEvent(Event_SectorCommand, 0, 6, QString(), this);
}

// --- interval refresh ----------------------------------------------------------------------

void CBrowseWidget::requestForStatistic(long long start, long long end, int setting,
                                        long long period)
{
    d->m_statRange = {start, end, setting, period};
    d->m_nBrowseStatus = BrowseStatus_Statistic;
    nextFetchGeneration(FetchKind_Statistic); // answers of an earlier refresh are dropped
    d->m_nStatRequests = d->m_nStatAnswers = 0;
    d->m_bStatCancelled = false;
    if (end < start) {
        TT_LOG_WARN("[browser statistic] interval %1%..%2% ends before it starts, not requested",
                    start, end);
        finishStatistic();
        return;
    }
    const auto& rows = d->m_pModel->getAllDatas();
    if (rows.empty()) {
        finishStatistic(); // nothing to wait for
        return;
    }
    // the visible rows' markets are fetched first
    const int first = d->m_pTable->getStartRow();
    const int last = d->m_pTable->getEndRow();
    QMap<QString, se::RPCFetchCacheDataParam> visible, others;
    QStringList visibleOrder, otherOrder;
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto* row = static_cast<const HpfBrowserData*>(rows[i].get());
        if (row->code.isEmpty() || row->market.isEmpty())
            continue;
        const bool shown = int(i) >= first && int(i) <= last;
        auto& byMarket = shown ? visible : others;
        auto it = byMarket.find(row->market);
        if (it == byMarket.end()) {
            (shown ? visibleOrder : otherOrder).append(row->market);
            se::RPCFetchCacheDataParam p;
            p.market = row->market.toStdString();
            p.startTime = int64_t(start) * 1000;
            p.endTime = int64_t(end) * 1000;
            p.period = period;
            p.quoterType = period != 0 ? se::kQuoterTypeBar : se::getQuoterType(row->market);
            p.lineSetting = setting;
            it = byMarket.insert(row->market, p);
        }
        it->codes.push_back(row->code.toStdString());
    }
    std::vector<se::RPCFetchCacheDataParam> params;
    for (const QString& m : visibleOrder)
        params.push_back(visible.value(m));
    for (const QString& m : otherOrder)
        params.push_back(others.value(m));
    if (params.empty()) {
        finishStatistic();
        return;
    }
    d->m_nStatRequests = int(params.size());
    if (!d->m_pProgressDialog) {
        d->m_pProgressDialog = new CBrowserFetchDataProgressDialog(this);
        // "取消" and the title line's close button both reject
        connect(d->m_pProgressDialog, &QDialog::rejected, this, &CBrowseWidget::cancelStatistic);
    }
    d->m_pProgressDialog->setMaximum(d->m_nStatRequests);
    d->m_pProgressDialog->setProgress(0);
    d->m_pProgressDialog->show();
    TT_LOG_INFO("[browser statistic] %1%..%2%: %3% requests", start, end, d->m_nStatRequests);
    for (const se::RPCFetchCacheDataParam& p : params) {
        if (!startCacheFetch(p, BrowseStatus_Statistic))
            ++d->m_nStatAnswers; // counted as answered, so the dialog still closes
    }
    if (d->m_nStatAnswers >= d->m_nStatRequests)
        finishStatistic();
}

void CBrowseWidget::fetchDataForStatistic(const BrowseFetchData& data)
{
    if (d->m_bStatCancelled || d->m_nStatAnswers >= d->m_nStatRequests)
        return;
    ++g_deliveriesLaid;
    ++d->m_nStatAnswers;
    if (d->m_pProgressDialog)
        d->m_pProgressDialog->setProgress(d->m_nStatAnswers);
    const int64_t startMs = int64_t(d->m_statRange.start) * 1000;
    d->m_bFetchedQuoteDate = true; // the interval's quotes are not today's
    for (const auto& entry : data) {
        QString market, code;
        if (!XP::splitStockKey(QString::fromStdString(entry.first), &market, &code)
            || code.isEmpty())
            continue;
        const quoter::QuoterAllDataPtr q = intervalQuote(entry.second, startMs);
        if (!q)
            continue;
        formulaMarketQuoteBack(market, QVector<QString>{code}, {q}, false);
    }
    d->m_bFetchedQuoteDate = false;
    if (d->m_nStatAnswers >= d->m_nStatRequests)
        finishStatistic();
    resort();
    d->m_pTable->updateUi();
}

void CBrowseWidget::finishStatistic()
{
    if (d->m_pProgressDialog && d->m_pProgressDialog->isVisible()) {
        // closing is not cancelling: the refresh is complete
        QSignalBlocker block(d->m_pProgressDialog);
        d->m_pProgressDialog->hide();
    }
}

void CBrowseWidget::cancelStatistic()
{
    d->m_bStatCancelled = true;
    nextFetchGeneration(FetchKind_Statistic); // late answers are dropped on arrival
    finishStatistic();
}

int CBrowseWidget::statisticRequestCount() const
{
    return d->m_nStatRequests;
}

int CBrowseWidget::statisticAnswerCount() const
{
    return d->m_nStatAnswers;
}

CBrowserFetchDataProgressDialog* CBrowseWidget::statisticProgressDialog() const
{
    return d->m_pProgressDialog;
}

quint64 CBrowseWidget::cacheDeliveriesLaid()
{
    return g_deliveriesLaid;
}

bool CBrowseWidget::startCacheFetch(const se::RPCFetchCacheDataParam& param, int kind)
{
    ++d->m_nCacheFetches;
    return doFetchCacheData(param, kind);
}

// --- correlation ---------------------------------------------------------------------------

void CBrowseWidget::addCorelationColumn()
{
    ColumnInfo column;
    column.formulaName = QStringLiteral("股票相关性");
    column.title = QStringLiteral("相关性");
    for (const ColumnInfo& c : d->m_columnList) {
        if (c == column) {
            d->m_nCorrelationColumn = c.columnId;
            return;
        }
    }
    const int id = addColumn(column);
    if (id >= 0)
        d->m_pTable->setColumnSettingIcon(id, false);
    d->m_nCorrelationColumn = id;
}

void CBrowseWidget::setCorelationValue(QMap<QString, double>& values)
{
    if (d->m_nCorrelationColumn >= 0)
        setColumnValue(d->m_nCorrelationColumn, values);
}

int CBrowseWidget::getCorelationColumnID() const
{
    return d->m_nCorrelationColumn;
}

} // namespace TC
