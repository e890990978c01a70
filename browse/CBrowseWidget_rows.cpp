// The row set: building rows from instruments, and looking rows up by key or code.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/IndexManager.h"
#include "host/data/Log.h"
#include "host/data/SectorManager.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/TradeOpenCloseTimeManager.h"

#include <QTimer>

namespace TC {

namespace {
const QString kContinuousWord = QStringLiteral("连续");
const QString kCdMarket = QStringLiteral("CD");

// "IF00" of product "IF" gets "(2503)" for a March 2025 delivery.
QString continuousSuffix(const ttservice::CInstrumentDetail& d)
{
    return QStringLiteral("(%1%2)")
        .arg(d.deliveryYear % 100, 2, 10, QLatin1Char('0'))
        .arg(d.deliveryMonth, 2, 10, QLatin1Char('0'));
}
} // namespace

void CBrowseWidget::setSectorName(const QString& name)
{
    d->m_qsSectorName = name;
    d->m_conditionSectors.clear();
    auto* sectors = CSectorManager::instance();
    d->m_bAHSector = sectors->isAHSector(name);
    d->m_bConnectSector = sectors->isConnectSector(name);
    d->m_bCBSector = sectors->isConvertibleBondSector(name);
}

void CBrowseWidget::setStock(const QString& key)
{
    d->m_qsCurrentCode = key;
    resetSelectStock();
}

void CBrowseWidget::addRequestMarket(const QString& market)
{
    if (!market.isEmpty() && !d->m_requestMarkets.contains(market))
        d->m_requestMarkets.append(market);
}

int CBrowseWidget::columnIdBound() const
{
    int bound = 3;
    for (const ColumnInfo& c : d->m_columnList)
        bound = std::max(bound, c.columnId + 1);
    return bound;
}

HpfBrowserDataPtr CBrowseWidget::buildRow(const ttservice::CInstrumentDetailPtr& detail)
{
    if (!detail || detail->code.isEmpty())
        return HpfBrowserDataPtr();
    HpfBrowserDataPtr row(new HpfBrowserData());
    row->key = getDetailQsKey(detail);
    if (row->key.isEmpty())
        row->key = XP::nvStockKey(detail->market, detail->code);
    row->market = detail->market;
    row->code = detail->code;
    row->name = detail->name;
    if (!detail->product.isEmpty() && detail->code == detail->product + QLatin1String("00")
        && !detail->name.contains(kContinuousWord))
        row->name += continuousSuffix(*detail);
    addRequestMarket(row->market);
    row->industry = getSectorNameByStockCode(row->key);

    auto* stocks = CStockManager::instance();
    row->priceStep = detail->priceStep;
    row->totalShares = detail->totalShares;
    row->floatShares = detail->floatShares;
    row->conversionPrice = detail->cbConversionPrice;
    if (detail->type == ttservice::eInstrCustomIndex) {
        if (auto index = CIndexManager::instance()->getIndex(detail->code)) {
            row->priceStep = index->priceStep;
            row->totalShares = index->totalShares;
            row->floatShares = index->floatShares;
        }
    }
    row->priceDecimals = qint8(priceDecimalsOf(row->priceStep));
    if (!detail->cbUnderlyingCode.isEmpty()) {
        row->underlyingMarket = detail->cbUnderlyingMarket;
        row->underlyingCode = detail->cbUnderlyingCode;
    } else if (!detail->pairCode.isEmpty()) {
        row->underlyingMarket = detail->pairMarket;
        row->underlyingCode = detail->pairCode;
    }
    if (!row->underlyingCode.isEmpty()) {
        if (auto linked = stocks->getInstrumentDetail(row->underlyingMarket, row->underlyingCode))
            row->underlyingName = linked->name;
    }

    const int columns = columnIdBound();
    row->initValues(d->m_pModel->quoteSlotCount(), d->m_pModel->indicatorCount(), columns);
    std::fill(row->textColors.begin(), row->textColors.end(), quint8(d->m_nEqualIdx));
    row->setTextColorIndex(0, d->m_nCodeIdx);
    row->setTextColorIndex(1, d->m_nNameIdx);
    row->setTextColorIndex(2, d->m_nEqualIdx);
    // "总额", "总手" and "现手" draw volumes in the big-value colour
    for (int column : {7, 20, 21})
        row->setTextColorIndex(column, d->m_nBigValueIdx);
    if (d->m_bCBSector) {
        for (const auto& qc : d->m_quotePlan) {
            if (qc.quoteId == QC_LINK_NAME)
                row->setTextColorIndex(qc.column, d->m_nNameIdx);
        }
    }
    d->m_pModel->attachRow(*row);
    if (d->m_nNightColumn >= 0
        && CTradeOpenCloseTimeManager::instance()->hasNightQuoter(row->market, row->code))
        row->setQuoteValue(d->m_pModel->quoteSlot(d->m_nNightColumn), 1.0, 0);
    return row;
}

void CBrowseWidget::addRowToIndex(const HpfBrowserDataPtr& row)
{
    d->m_rowsByMarket[row->market].insert(row->code, row);
    if (!row->underlyingCode.isEmpty())
        d->m_linkedRows[row->underlyingMarket][row->underlyingCode].append(row);
}

void CBrowseWidget::removeRowFromIndex(const HpfBrowserData* row)
{
    auto market = d->m_rowsByMarket.find(row->market);
    if (market != d->m_rowsByMarket.end())
        market->remove(row->code);
    if (!row->underlyingCode.isEmpty()) {
        auto linked = d->m_linkedRows.find(row->underlyingMarket);
        if (linked != d->m_linkedRows.end()) {
            auto rows = linked->find(row->underlyingCode);
            if (rows != linked->end()) {
                rows->erase(
                    std::remove_if(rows->begin(), rows->end(),
                                   [row](const HpfBrowserDataPtr& r) { return r.get() == row; }),
                    rows->end());
            }
        }
    }
}

void CBrowseWidget::clearRowIndex()
{
    d->m_rowsByMarket.clear();
    d->m_linkedRows.clear();
    d->m_lastByCode.clear();
}

void CBrowseWidget::setStockList(const InstrumentList& list, bool freshOrder)
{
    TT_LOG_INFO("[browser double check] func:%1% start, stocks size:%2% ",
                "TC::CBrowseWidget::setStockList", list.size());
    d->m_pModel->clear();
    clearRowIndex();
    d->m_pending.reset(); // the cache fill below is at least as new
    d->m_pStatTimer->stop();
    d->m_requestMarkets.clear();
    d->m_nStockListSize = list.size();
    d->m_qsCurrentCode.clear();

    if (d->m_bIndexConstituents) {
        for (const ColumnInfo& c : d->m_columnList) {
            if (c.title == QStringLiteral("权重%") && c.columnId != 3)
                d->m_pTable->moveColumn(c.columnId, 3);
        }
    }

    std::vector<XP::IBaseHpfTableDataPtr> rows;
    rows.reserve(size_t(list.size()));
    for (const auto& detail : list) {
        HpfBrowserDataPtr row = buildRow(detail);
        if (!row)
            continue;
        if (d->m_rowsByMarket.value(row->market).contains(row->code))
            continue; // one row per instrument
        addRowToIndex(row);
        rows.push_back(row);
    }
    d->m_pModel->addDatas(rows);

    fillLastCustomIndexValue();
    if (freshOrder)
        d->m_pTable->sortByColumn(0, 0);
    fillQuoterFromCache();
    d->m_pTable->addTableFlag(XP::CBaseHighPerformanceTable::TF_ROW_NUMBER);
    d->scheduleStatUpdate();
    d->m_pTable->updateUi();
    updateStageColumn();
    if (d->m_nBrowseType == BrowseType_NetBuying) {
        slotSendNetBuyingChange();
        slotSendTotalBuySellChange();
    }
    if (freshOrder)
        d->m_pTable->setSelectedRow(-1);
    d->m_pStatTimer->start();
    TT_LOG_DEBUG("[browser double check] func:%1% end, m_pBrowserModel size:%2% ",
                 "TC::CBrowseWidget::setStockList", d->m_pModel->size());
}

void CBrowseWidget::updateStockList(const InstrumentList& list)
{
    d->m_pModel->clear();
    clearRowIndex();
    std::vector<XP::IBaseHpfTableDataPtr> rows;
    rows.reserve(size_t(list.size()));
    for (const auto& detail : list) {
        HpfBrowserDataPtr row = buildRow(detail);
        if (!row || d->m_rowsByMarket.value(row->market).contains(row->code))
            continue;
        addRowToIndex(row);
        rows.push_back(row);
    }
    d->m_pModel->addDatas(rows);
    d->m_pTable->updateUi();
}

void CBrowseWidget::addInstrument(const QString& key)
{
    auto detail = CStockManager::instance()->getInstrumentDetail(key);
    HpfBrowserDataPtr row = buildRow(detail);
    if (!row || d->m_pModel->containData(row->key))
        return;
    addRowToIndex(row);
    d->m_pModel->addData(row);
}

void CBrowseWidget::updateStock(const QString& key)
{
    const int selected = d->m_pTable->getSelectedRow(); // gone with its row once removed
    if (HpfBrowserDataPtr row = d->m_pModel->rowByKey(key)) {
        removeRowFromIndex(row.get());
        d->m_pModel->removeDataByKey(key);
    } else {
        addInstrument(key);
    }
    d->m_pTable->updateUi();
    const int last = d->m_pModel->size() - 1;
    if (d->m_pTable->getSelectedRows().isEmpty() && selected > last && last >= 0)
        d->m_pTable->setSelectedRow(std::min(d->m_pTable->getEndRow(), last));
}

QString CBrowseWidget::getStock(int row)
{
    HpfBrowserDataPtr data = d->m_pModel->rowAt(row);
    if (!data)
        return QString();
    // "CD" rows are keyed by their code alone
    return XP::nvStockKey(data->market == kCdMarket ? QString() : data->market, data->code);
}

QString CBrowseWidget::getStock()
{
    return getStock(d->m_pTable->getSelectedRow());
}

QList<QString> CBrowseWidget::getStockList()
{
    QList<QString> keys;
    const int n = d->m_pModel->size();
    keys.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QString key = getStock(i);
        if (!key.isEmpty())
            keys.append(key);
    }
    return keys;
}

int CBrowseWidget::getStockCodeIndex(const QVector<QString>& keys, const QString& key)
{
    return keys.indexOf(key);
}

void CBrowseWidget::getBrowserDataByStockCode(const std::string& key,
                                              std::vector<HpfBrowserDataPtr>& out, const QString&)
{
    if (HpfBrowserDataPtr row = d->m_pModel->rowByKey(QString::fromStdString(key)))
        out.push_back(row);
}

void CBrowseWidget::getRowIndexByStockCode(const QString& key, std::vector<int>& out)
{
    const int index = d->m_pModel->getDataIndexByKey(key);
    if (index >= 0)
        out.push_back(index);
}

QList<HpfBrowserDataPtr> CBrowseWidget::getDataLastByCode(const QString& market,
                                                          const QString& code)
{
    // through the market/code index: no key is built on the way
    HpfBrowserDataPtr found;
    auto byMarket = d->m_rowsByMarket.constFind(market);
    if (byMarket != d->m_rowsByMarket.constEnd())
        found = byMarket->value(code);
    // Quote filling asks once per instrument: the one-row list is reused, and as long as
    // no caller keeps the previous answer, refilling it allocates nothing.
    QList<HpfBrowserDataPtr>& one = d->m_lastByCode;
    if (one.isEmpty())
        one.append(found);
    else
        one.first() = found;
    return one;
}

} // namespace TC
