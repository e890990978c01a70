// Industry names, constituent weights, net buying and the statistics row.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/IndexManager.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockKey.h"
#include "host/data/StockManager.h"
#include "host/data/TemporaryDataManager.h"

namespace TC {

QString CBrowseWidget::getSectorNameByStockCode(const QString& code)
{
    auto cached = d->m_industryCache.constFind(code);
    if (cached != d->m_industryCache.constEnd())
        return *cached;
    auto* sectors = CSectorManager::instance();
    QString market, bare;
    XP::splitStockKey(code, &market, &bare);
    const bool hongKongLine = market == QLatin1String("HGT") || market == QLatin1String("SGT")
                              || code.startsWith(QLatin1String("HGT"))
                              || code.startsWith(QLatin1String("SGT"));
    CSectorDetail* sector = nullptr;
    if (hongKongLine)
        sector = sectors->getSectorByIndustry(code, QStringLiteral("HKSW2"), getSectorTypeName(16));
    if (!sector)
        sector = sectors->getSectorByIndustry(code, QStringLiteral("SW1"),
                                              QStringLiteral("申万一级行业板块"));
    const QString name = sector ? sector->getName() : QString();
    d->m_industryCache.insert(code, name);
    return name;
}

void CBrowseWidget::slotReInitIndustry()
{
    d->m_industryCache.clear();
    for (const auto& data : d->m_pModel->getAllDatas()) {
        auto* row = static_cast<HpfBrowserData*>(data.get());
        row->industry = getSectorNameByStockCode(row->key);
    }
    d->m_pTable->updateUi();
}

float CBrowseWidget::getStkWeight(const QString& key)
{
    if (!d->m_bIndexConstituents || d->m_qsSectorCode.isEmpty())
        return 0.0f;
    if (d->m_qsWeightSectorCode != d->m_qsSectorCode) {
        // rebuilt only when the sector code changes
        d->m_weights.clear();
        if (auto index = CIndexManager::instance()->getIndex(d->m_qsSectorCode)) {
            for (const auto& stock : index->stocks)
                d->m_weights.insert(XP::nvStockKey(stock.market, stock.code), float(stock.weight));
        } else {
            for (const auto& stock : CStockManager::instance()->getSectorStock(d->m_qsSectorCode))
                d->m_weights.insert(XP::nvStockKey(stock.market, stock.code), stock.weight);
        }
        d->m_qsWeightSectorCode = d->m_qsSectorCode;
    }
    return d->m_weights.value(key, 0.0f);
}

void CBrowseWidget::fillStocksWeight(const HpfBrowserDataPtr& row)
{
    if (!d->m_bIndexConstituents || !row)
        return;
    for (const auto& c : d->m_quotePlan) {
        if (c.quoteId == QC_WEIGHT)
            row->setQuoteValue(c.slot, getStkWeight(row->key), -2);
    }
}

void CBrowseWidget::slotCalcStatData()
{
    if (!d->m_pModel || !isVisible())
        return;
    d->m_pModel->recalcStatData();
    d->m_pTable->updateUi();
}

void CBrowseWidget::slotUpdateStatData()
{
    slotCalcStatData();
}

void CBrowseWidget::slotSendNetBuyingChange()
{
    const int slot = d->m_nNetBuyColumn >= 0 ? d->m_pModel->quoteSlot(d->m_nNetBuyColumn) : -1;
    if (slot < 0)
        return;
    auto* temporary = CTemporaryDataManager::instance();
    for (const auto& data : d->m_pModel->getAllDatas()) {
        auto* row = static_cast<HpfBrowserData*>(data.get());
        row->setQuoteValue(slot, temporary->getCodeNetBuyingValue(row->code), -2);
    }
    resort(); // keeps the chosen instrument selected
    d->m_pTable->updateUi();
}

void CBrowseWidget::slotSendTotalBuySellChange()
{
    const int buy = d->m_nTotalBuyColumn >= 0 ? d->m_pModel->quoteSlot(d->m_nTotalBuyColumn) : -1;
    const int sell =
        d->m_nTotalSellColumn >= 0 ? d->m_pModel->quoteSlot(d->m_nTotalSellColumn) : -1;
    if (buy < 0 && sell < 0)
        return;
    auto* temporary = CTemporaryDataManager::instance();
    for (const auto& data : d->m_pModel->getAllDatas()) {
        auto* row = static_cast<HpfBrowserData*>(data.get());
        const auto values = temporary->getCodeTransactionValue(row->code);
        row->setQuoteValue(buy, values.first, -6);
        row->setQuoteValue(sell, values.second, -6);
    }
    resort();
    d->m_pTable->updateUi();
}

} // namespace TC
