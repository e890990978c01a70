// The position list's rows: the position columns, building and updating rows from position
// records, the linkage columns, code statistics, applying pushes and row lookups.
#include "position/CPositionBrowseWidget.h"
#include "position/CPositionBrowseWidget_p.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/ColumnInfo.h"
#include "host/data/FormulaManager.h"
#include "host/data/LinkageManager.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/TraderCenter.h"

#include <cmath>

namespace TC {

namespace {

using Record = ttservice::CPositionStatics;
using Widget = CPositionBrowseWidget;

struct FieldSpec {
    int field;
    const char* title;
    int precision; // 2 and 3 decimals, -3 percent, -6 volume in lots
};
const FieldSpec kFields[] = {
    {Widget::Field_Account, "账号", 2},
    {Widget::Field_Cost, "持仓成本", 2},
    {Widget::Field_CostPrice, "成本价", 3},
    {Widget::Field_Volume, "持仓量", -6},
    {Widget::Field_Fee, "手续费", 2},
    {Widget::Field_Frozen, "冻结数量", -6},
    {Widget::Field_CanUse, "可用数量", -6},
    {Widget::Field_ProfitRate, "盈亏比例", -3},
    {Widget::Field_BuyVolume, "总买量", -6},
    {Widget::Field_SellVolume, "总卖量", -6},
    {Widget::Field_NetBuy, "净买量", -6},
    {Widget::Field_AvgBuy, "均买价", 3},
    {Widget::Field_AvgSell, "均卖价", 3},
    {Widget::Field_AvgRatio, "均价比", -3},
    {Widget::Field_MarketValue, "持仓总市值", 2},
    {Widget::Field_YesterdayVolume, "昨持仓", -6},
    {Widget::Field_BuyValue, "买入市值", 2},
    {Widget::Field_SellValue, "卖出市值", 2},
};

int precisionOf(int field)
{
    return kFields[field - Widget::Field_First].precision;
}

// a volume a row may show: finite and not negative
bool usableVolume(double v)
{
    return std::isfinite(v) && v >= 0.0 && !isNoValue(v);
}

} // namespace

QStringList CPositionBrowseWidget::positionColumnTitles()
{
    QStringList titles;
    for (const FieldSpec& f : kFields)
        titles << QString::fromUtf8(f.title);
    return titles;
}

void CPositionBrowseWidget::buildPositionColumns()
{
    auto* p = pd();
    QList<ColumnInfo> list = getBaseColumnList();
    for (const FieldSpec& f : kFields) {
        ColumnInfo c;
        c.formulaName = kQuoterFormula;
        c.lineIndex = f.field;
        c.precision = f.precision;
        c.period = kPeriodDay;
        c.title = QString::fromUtf8(f.title);
        c.visible = true;
        list.append(c);
    }
    setColumnList(list);
    p->m_columnIds.fill(-1);
    for (const ColumnInfo& c : d->m_columnList) {
        if (!c.isQuoter())
            continue;
        if (c.lineIndex >= Field_First && c.lineIndex <= Field_Last)
            p->m_columnIds[size_t(c.lineIndex - Field_First)] = c.columnId;
        else if (c.lineIndex == QC_LATEST)
            p->m_nLatestColumn = c.columnId;
    }
    refreshFieldSlots();
    const int account = fieldColumn(Field_Account);
    d->m_pModel->setValueType(account, ValueType_Text);
    for (int id : {0, 1, 2, account})
        d->m_pTable->setColumnFilterable(id, true);
    setDefaultColumnLock(true);
    d->m_pModel->addStatColumn(fieldColumn(Field_MarketValue));

    // code and name, then the account and the live price, then the position columns
    QList<QString> shown{QStringLiteral("代码"), QStringLiteral("名称"), QStringLiteral("账号"),
                         QStringLiteral("最新"), QStringLiteral("涨幅")};
    for (const FieldSpec& f : kFields) {
        if (f.field != Field_Account)
            shown << QString::fromUtf8(f.title);
    }
    tryMoveColumnByNames(shown);
}

void CPositionBrowseWidget::refreshFieldSlots()
{
    auto* p = pd();
    for (size_t i = 0; i < p->m_columnIds.size(); ++i)
        p->m_fieldSlots[i] =
            p->m_columnIds[i] >= 0 ? d->m_pModel->quoteSlot(p->m_columnIds[i]) : -1;
    p->m_nLatestSlot = d->m_pModel->quoteSlot(p->m_nLatestColumn);
}

void CPositionBrowseWidget::applyAccountColumnType()
{
    // an account id sorts as text; a number of accounts as a number
    const int column = fieldColumn(Field_Account);
    if (column >= 0)
        d->m_pModel->setValueType(column, pd()->m_nStatType == StatCode ? ValueType_Double
                                                                        : ValueType_Text);
}

void CPositionBrowseWidget::setFieldValue(HpfBrowserData& row, int field, double value)
{
    const int slot = pd()->m_fieldSlots[size_t(field - Field_First)];
    if (!std::isfinite(value))
        value = kNoValue;
    row.setQuoteValue(slot, value, precisionOf(field));
}

bool CPositionBrowseWidget::storeRecord(const ttservice::CPositionStaticsPtr& record)
{
    auto* p = pd();
    if (!record || record->key.isEmpty() || record->accountKey.isEmpty() || record->code.isEmpty()
        || !usableVolume(record->volume))
        return false;
    p->m_mapAccountPositions[record->accountKey][record->key] = record;
    p->m_mapCodeRecords[XP::nvStockKey(record->market, record->code)][record->key] = record;
    return true;
}

boost::shared_ptr<CPositionBrowserData>
CPositionBrowseWidget::getPositionData(const ttservice::CPositionStaticsPtr& record)
{
    auto* p = pd();
    boost::shared_ptr<CPositionBrowserData> row(new CPositionBrowserData());
    row->key = record->key;
    row->market = record->market;
    row->code = record->code;
    row->stockKey = XP::nvStockKey(record->market, record->code);
    row->accountKey = record->accountKey;
    row->accountId = record->accountId;
    row->accountSet.insert(record->accountKey);
    row->accountColumn = fieldColumn(Field_Account);
    row->name = record->name;
    const auto detail =
        CStockManager::instance()->getInstrumentDetail(record->market, record->code);
    if (detail) {
        if (row->name.isEmpty())
            row->name = detail->name;
        row->priceStep = detail->priceStep;
        row->totalShares = detail->totalShares;
        row->floatShares = detail->floatShares;
        if (std::isfinite(detail->refPrice) && detail->refPrice > 0.0)
            row->refPrice = detail->refPrice;
    }
    row->priceDecimals = qint8(priceDecimalsOf(row->priceStep));
    row->industry = getSectorNameByStockCode(row->stockKey);
    addRequestMarket(row->market);

    row->initValues(d->m_pModel->quoteSlotCount(), d->m_pModel->indicatorCount(), columnIdBound());
    std::fill(row->textColors.begin(), row->textColors.end(), quint8(d->m_nEqualIdx));
    row->setTextColorIndex(0, d->m_nCodeIdx);
    row->setTextColorIndex(1, d->m_nNameIdx);
    d->m_pModel->attachRow(*row);
    writeRecord(*row, *record);
    if (const auto quote = getLastQuoterAllDataPtr(record->market, record->code)) {
        if (p->m_nLatestSlot >= 0 && std::isfinite(quote->last) && quote->last > 0.0)
            row->setQuoteValue(p->m_nLatestSlot, quote->last, row->priceDecimals);
    }
    writeMarketValue(*row);
    return row;
}

void CPositionBrowseWidget::writeRecord(CPositionBrowserData& row, const Record& r)
{
    setFieldValue(row, Field_Volume, r.volume);
    setFieldValue(row, Field_Frozen, usableVolume(r.frozenVolume) ? r.frozenVolume : kNoValue);
    // a futures position can close all of its volume
    const double canUse = ttservice::isFuturesMarket(r.market) ? r.volume : r.canUseVolume;
    setFieldValue(row, Field_CanUse, usableVolume(canUse) ? canUse : kNoValue);
    setFieldValue(row, Field_ProfitRate, r.profitRate);
    setFieldValue(row, Field_Cost, r.positionCost);
    setFieldValue(row, Field_CostPrice, r.costPrice);
    setFieldValue(row, Field_YesterdayVolume,
                  usableVolume(r.yesterdayVolume) ? r.yesterdayVolume : kNoValue);
    const int rate = fieldColumn(Field_ProfitRate);
    row.setTextColorIndex(rate, r.profitRate > kEpsilon    ? d->m_nRiseIdx
                                : r.profitRate < -kEpsilon ? d->m_nFallIdx
                                                           : d->m_nEqualIdx);
}

void CPositionBrowseWidget::updatePositionDataByQuote(const HpfBrowserDataPtr& row)
{
    if (row)
        writeMarketValue(*row);
}

void CPositionBrowseWidget::writeMarketValue(HpfBrowserData& row)
{
    // called for every row a quote reaches: two slot reads and one write
    auto* p = pd();
    const double price = row.quoteValue(p->m_nLatestSlot);
    const double volume = row.quoteValue(p->m_fieldSlots[Field_Volume - Field_First]);
    double value = kNoValue;
    // no price or no volume is no value, never infinity
    if (!isNoValue(price) && !isNoValue(volume) && price > 0.0 && volume > 0.0)
        value = price * volume;
    row.setQuoteValue(p->m_fieldSlots[Field_MarketValue - Field_First], value,
                      precisionOf(Field_MarketValue));
}

void CPositionBrowseWidget::updateLinkageData(CPositionBrowserData& row)
{
    auto* linkage = CLinkageManager::instance();
    // without a trade date there is no day to sum: the columns stay unset
    if (!linkage->isActive() || !d->m_getTradeDate)
        return;
    const int tradeDate = d->m_getTradeDate();
    const QSet<QString>& accounts = row.accountSet;
    double buyVolume = 0.0, sellVolume = 0.0, buyAmount = 0.0, sellAmount = 0.0;
    linkage->getBuySellVolumes(tradeDate, accounts, row.stockKey, buyVolume, sellVolume);
    linkage->getBuySellAmounts(tradeDate, accounts, row.stockKey, buyAmount, sellAmount);
    const double avgBuy = buyVolume > 0.0 ? buyAmount / buyVolume : 0.0;
    const double avgSell = sellVolume > 0.0 ? sellAmount / sellVolume : 0.0;
    // a buy with no amount gives an average of 0: no ratio to divide by
    const double ratio = buyVolume > 0.0 && sellVolume > 0.0 && std::fabs(avgBuy) >= kEpsilon
                             ? (avgSell - avgBuy) / avgBuy
                             : 0.0;
    setFieldValue(row, Field_BuyVolume, buyVolume);
    setFieldValue(row, Field_SellVolume, sellVolume);
    setFieldValue(row, Field_NetBuy, buyVolume - sellVolume);
    setFieldValue(row, Field_AvgBuy, avgBuy);
    setFieldValue(row, Field_AvgSell, avgSell);
    setFieldValue(row, Field_AvgRatio, ratio);
    auto colourOf = [this](double v) {
        return v > kEpsilon ? d->m_nRiseIdx : v < -kEpsilon ? d->m_nFallIdx : d->m_nEqualIdx;
    };
    row.setTextColorIndex(fieldColumn(Field_NetBuy), colourOf(buyVolume - sellVolume));
    row.setTextColorIndex(fieldColumn(Field_AvgRatio), colourOf(ratio));
    // an instrument the stock manager does not know has no reference price: no value
    const double ref = row.refPrice;
    setFieldValue(row, Field_BuyValue, ref > 0.0 ? buyVolume * ref : kNoValue);
    setFieldValue(row, Field_SellValue, ref > 0.0 ? sellVolume * ref : kNoValue);
}

void CPositionBrowseWidget::updatePositionDatas()
{
    for (const auto& data : d->m_pModel->getAllDatas())
        updateLinkageData(static_cast<CPositionBrowserData&>(*data));
    d->m_pTable->updateUi();
}

void CPositionBrowseWidget::indexPositionRow(const boost::shared_ptr<CPositionBrowserData>& row)
{
    auto* p = pd();
    p->m_mapCodeRows[row->stockKey].insert(row->key);
    p->m_rowsByCode[row->market][row->code].append(row);
}

void CPositionBrowseWidget::removePositionRow(const QString& rowKey)
{
    auto* p = pd();
    const HpfBrowserDataPtr data = d->m_pModel->rowByKey(rowKey);
    if (!data)
        return;
    const auto* row = static_cast<const CPositionBrowserData*>(data.get());
    auto keys = p->m_mapCodeRows.find(row->stockKey);
    if (keys != p->m_mapCodeRows.end()) {
        keys->remove(rowKey);
        if (keys->isEmpty())
            p->m_mapCodeRows.erase(keys);
    }
    auto market = p->m_rowsByCode.find(row->market);
    if (market != p->m_rowsByCode.end()) {
        auto rows = market->find(row->code);
        if (rows != market->end()) {
            rows->removeAll(data);
            if (rows->isEmpty())
                market->erase(rows);
        }
    }
    d->m_pModel->removeDataByKey(rowKey);
}

void CPositionBrowseWidget::tryUpdatePositionData(const QString& stockKey)
{
    auto* p = pd();
    const auto records = p->m_mapCodeRecords.value(stockKey);
    double volume = 0.0, frozen = 0.0, canUse = 0.0, yesterday = 0.0, cost = 0.0;
    QStringList accounts;
    ttservice::CPositionStaticsPtr first;
    for (const auto& r : records) {
        if (!p->m_loadedKeys.contains(r->accountKey))
            continue;
        if (!first)
            first = r;
        volume += r->volume;
        if (usableVolume(r->frozenVolume))
            frozen += r->frozenVolume;
        const double usable = ttservice::isFuturesMarket(r->market) ? r->volume : r->canUseVolume;
        if (usableVolume(usable))
            canUse += usable;
        if (usableVolume(r->yesterdayVolume))
            yesterday += r->yesterdayVolume;
        if (std::isfinite(r->positionCost))
            cost += r->positionCost;
        if (!accounts.contains(r->accountKey))
            accounts << r->accountKey;
    }
    if (!first) {
        removePositionRow(stockKey);
        return;
    }
    boost::shared_ptr<CPositionBrowserData> row =
        boost::static_pointer_cast<CPositionBrowserData>(d->m_pModel->rowByKey(stockKey));
    if (!row) {
        row = getPositionData(first);
        row->key = stockKey;
        row->accountKey.clear();
        row->accountId.clear();
        row->accountSet.clear();
        row->codeRow = true;
        // per-record figures mean nothing for a sum
        setFieldValue(*row, Field_CostPrice, kNoValue);
        setFieldValue(*row, Field_ProfitRate, kNoValue);
        row->setTextColorIndex(fieldColumn(Field_ProfitRate), d->m_nEqualIdx);
        indexPositionRow(row);
        d->m_pModel->addData(row);
    }
    row->accounts = accounts.join(QLatin1Char(','));
    row->accountCount = accounts.size();
    row->accountSet = QSet<QString>(accounts.begin(), accounts.end());
    setFieldValue(*row, Field_Account, double(accounts.size()));
    setFieldValue(*row, Field_Volume, volume);
    setFieldValue(*row, Field_Frozen, frozen);
    setFieldValue(*row, Field_CanUse, canUse);
    setFieldValue(*row, Field_YesterdayVolume, yesterday);
    setFieldValue(*row, Field_Cost, cost);
    writeMarketValue(*row);
    updateLinkageData(*row);
}

void CPositionBrowseWidget::updateShowByStatType(const QSet<QString>& keys)
{
    const int before = d->m_pModel->size();
    for (const QString& key : keys)
        tryUpdatePositionData(key);
    d->m_nStockListSize = d->m_pModel->size();
    if (d->m_pModel->size() != before && isVisible())
        request(); // new instruments need their quotes
    d->m_pTable->updateUi();
}

// --- pushes ------------------------------------------------------------------------------

void CPositionBrowseWidget::slotTimeout()
{
    if (pd()->m_nStatType == StatCode)
        doUpdateCodePostionByCache();
    else
        doUpdateNormalPostionByCache();
}

void CPositionBrowseWidget::doUpdateNormalPostionByCache()
{
    auto* p = pd();
    auto& taken = p->m_takenPositions;
    {
        std::lock_guard<std::mutex> lock(p->m_cache->mutex);
        taken.swap(p->m_cache->positions);
        p->m_cache->codes.clear(); // the other mode's view of the same pushes
    }
    if (taken.isEmpty())
        return;
    bool added = false;
    std::vector<XP::IBaseHpfTableDataPtr> fresh;
    for (auto it = taken.cbegin(); it != taken.cend(); ++it) {
        const ttservice::CPositionStaticsPtr& record = it.value();
        // a push for an account no longer shown, or one that shows nothing, is skipped
        if (!p->m_loadedKeys.contains(record->accountKey) || !storeRecord(record))
            continue;
        auto row =
            boost::static_pointer_cast<CPositionBrowserData>(d->m_pModel->rowByKey(record->key));
        if (!row) {
            row = getPositionData(record);
            indexPositionRow(row);
            fresh.push_back(row);
            added = true;
        } else {
            writeRecord(*row, *record);
            writeMarketValue(*row);
        }
        updateLinkageData(*row);
        ++p->m_nApplied;
    }
    taken.clear();
    if (!fresh.empty())
        d->m_pModel->addDatas(fresh);
    d->m_nStockListSize = d->m_pModel->size();
    if (added && isVisible())
        request();
    if (d->m_pTable->getSortColumnID() >= 3)
        resort();
    d->m_pTable->updateUi();
}

void CPositionBrowseWidget::doUpdateCodePostionByCache()
{
    auto* p = pd();
    auto& taken = p->m_takenCodes;
    {
        std::lock_guard<std::mutex> lock(p->m_cache->mutex);
        taken.swap(p->m_cache->codes);
        p->m_cache->positions.clear();
    }
    if (taken.isEmpty())
        return;
    QSet<QString> touched;
    for (auto code = taken.cbegin(); code != taken.cend(); ++code) {
        for (const auto& record : code.value()) {
            if (!p->m_loadedKeys.contains(record->accountKey) || !storeRecord(record))
                continue;
            touched.insert(code.key());
            ++p->m_nApplied;
        }
    }
    taken.clear();
    updateShowByStatType(touched);
    if (d->m_pTable->getSortColumnID() >= 3)
        resort();
}

// --- lookups -------------------------------------------------------------------------------

QList<HpfBrowserDataPtr> CPositionBrowseWidget::getDataLastByCode(const QString& market,
                                                                  const QString& code)
{
    // one instrument may have a row per account: the stored list is shared, not copied
    auto* p = pd();
    auto byMarket = p->m_rowsByCode.constFind(market);
    if (byMarket == p->m_rowsByCode.constEnd())
        return p->m_noRows;
    auto rows = byMarket->constFind(code);
    return rows == byMarket->constEnd() ? p->m_noRows : *rows;
}

void CPositionBrowseWidget::getBrowserDataByStockCode(const std::string& key,
                                                      std::vector<HpfBrowserDataPtr>& out,
                                                      const QString& account)
{
    auto* p = pd();
    const auto keys = p->m_mapCodeRows.constFind(QString::fromStdString(key));
    if (keys == p->m_mapCodeRows.constEnd())
        return;
    for (const QString& rowKey : *keys) {
        const HpfBrowserDataPtr data = d->m_pModel->rowByKey(rowKey);
        if (!data)
            continue;
        const auto* row = static_cast<const CPositionBrowserData*>(data.get());
        if (account.isEmpty() || row->codeRow || row->accountId == account
            || row->accountKey == account)
            out.push_back(data);
    }
}

void CPositionBrowseWidget::getRowIndexByStockCode(const QString& key, std::vector<int>& out)
{
    auto* p = pd();
    const auto keys = p->m_mapCodeRows.constFind(key);
    if (keys == p->m_mapCodeRows.constEnd())
        return;
    for (const QString& rowKey : *keys) {
        const int index = d->m_pModel->getDataIndexByKey(rowKey);
        if (index >= 0)
            out.push_back(index);
    }
    std::sort(out.begin(), out.end());
}

QList<QString> CPositionBrowseWidget::getStockList()
{
    QList<QString> keys;
    QSet<QString> seen;
    for (const auto& data : d->m_pModel->getAllDatas()) {
        const auto* row = static_cast<const CPositionBrowserData*>(data.get());
        if (!seen.contains(row->stockKey)) {
            seen.insert(row->stockKey);
            keys.append(row->stockKey);
        }
    }
    return keys;
}

void CPositionBrowseWidget::setStock(const QString& key)
{
    pd()->m_qsLastSelected = key;
    CBrowseWidget::setStock(key);
}

void CPositionBrowseWidget::resetSelectStock()
{
    const QString& key =
        pd()->m_qsLastSelected.isEmpty() ? d->m_qsCurrentCode : pd()->m_qsLastSelected;
    if (key.isEmpty())
        return;
    std::vector<int> rows;
    getRowIndexByStockCode(key, rows);
    if (!rows.empty())
        d->m_pTable->setSelectedRow(rows.front());
}

namespace {
QString accountOf(const CPositionBrowserData& row)
{
    return row.codeRow ? row.accounts : row.accountId;
}
} // namespace

QMultiMap<QString, QString> CPositionBrowseWidget::getAccountList()
{
    QMultiMap<QString, QString> out;
    for (const auto& data : d->m_pModel->getAllDatas()) {
        const auto* row = static_cast<const CPositionBrowserData*>(data.get());
        if (row->codeRow) {
            for (const QString& a : row->accounts.split(QLatin1Char(','), Qt::SkipEmptyParts))
                out.insert(row->stockKey, a);
        } else if (!row->accountId.isEmpty()) {
            out.insert(row->stockKey, row->accountId);
        }
    }
    return out;
}

QList<QString> CPositionBrowseWidget::getNoRepetionAccountList()
{
    // one entry per row, as the row order has it
    QList<QString> out;
    for (const auto& data : d->m_pModel->getAllDatas()) {
        const QString account = accountOf(static_cast<const CPositionBrowserData&>(*data));
        if (!account.isEmpty())
            out.append(account);
    }
    return out;
}

QString CPositionBrowseWidget::getApplyFormulaAccount()
{
    const int selected = d->m_pTable->getSelectedRow();
    return selected < 0 ? QString() : getPositionAccount(selected);
}

QString CPositionBrowseWidget::getPositionAccount(const HpfBrowserDataPtr& row)
{
    return row ? accountOf(static_cast<const CPositionBrowserData&>(*row)) : QString();
}

QString CPositionBrowseWidget::getPositionAccount(int row)
{
    return getPositionAccount(d->m_pModel->rowAt(row));
}

} // namespace TC
