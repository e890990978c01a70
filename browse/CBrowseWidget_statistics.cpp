// Industry names, constituent weights, net buying and the statistics row.
#include "browse/CBrowseWidget.h"

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
    auto cached = m_industryCache.constFind(code);
    if (cached != m_industryCache.constEnd())
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
    m_industryCache.insert(code, name);
    return name;
}

void CBrowseWidget::slotReInitIndustry()
{
    m_industryCache.clear();
    for (const auto& data : m_pModel->getAllDatas()) {
        auto* row = static_cast<HpfBrowserData*>(data.get());
        row->industry = getSectorNameByStockCode(row->key);
    }
    m_pTable->updateUi();
}

float CBrowseWidget::getStkWeight(const QString& key)
{
    if (!m_bIndexConstituents || m_qsSectorCode.isEmpty())
        return 0.0f;
    if (m_qsWeightSectorCode != m_qsSectorCode) {
        // rebuilt only when the sector code changes
        m_weights.clear();
        if (auto index = CIndexManager::instance()->getIndex(m_qsSectorCode)) {
            for (const auto& stock : index->stocks)
                m_weights.insert(XP::nvStockKey(stock.market, stock.code), float(stock.weight));
        } else {
            for (const auto& stock : CStockManager::instance()->getSectorStock(m_qsSectorCode))
                m_weights.insert(XP::nvStockKey(stock.market, stock.code), stock.weight);
        }
        m_qsWeightSectorCode = m_qsSectorCode;
    }
    return m_weights.value(key, 0.0f);
}

void CBrowseWidget::fillStocksWeight(const HpfBrowserDataPtr& row)
{
    if (!m_bIndexConstituents || !row)
        return;
    for (const QuoteColumn& c : m_quotePlan) {
        if (c.quoteId == QC_WEIGHT)
            row->setQuoteValue(c.slot, getStkWeight(row->key), -2);
    }
}

void CBrowseWidget::slotCalcStatData()
{
    if (!m_pModel || !isVisible())
        return;
    m_pModel->recalcStatData();
    m_pTable->updateUi();
}

void CBrowseWidget::slotUpdateStatData()
{
    slotCalcStatData();
}

void CBrowseWidget::slotSendNetBuyingChange()
{
    const int slot = m_nNetBuyColumn >= 0 ? m_pModel->quoteSlot(m_nNetBuyColumn) : -1;
    if (slot < 0)
        return;
    auto* temporary = CTemporaryDataManager::instance();
    for (const auto& data : m_pModel->getAllDatas()) {
        auto* row = static_cast<HpfBrowserData*>(data.get());
        row->setQuoteValue(slot, temporary->getCodeNetBuyingValue(row->code), -2);
    }
    resort(); // keeps the chosen instrument selected
    m_pTable->updateUi();
}

void CBrowseWidget::slotSendTotalBuySellChange()
{
    const int buy = m_nTotalBuyColumn >= 0 ? m_pModel->quoteSlot(m_nTotalBuyColumn) : -1;
    const int sell = m_nTotalSellColumn >= 0 ? m_pModel->quoteSlot(m_nTotalSellColumn) : -1;
    if (buy < 0 && sell < 0)
        return;
    auto* temporary = CTemporaryDataManager::instance();
    for (const auto& data : m_pModel->getAllDatas()) {
        auto* row = static_cast<HpfBrowserData*>(data.get());
        const auto values = temporary->getCodeTransactionValue(row->code);
        row->setQuoteValue(buy, values.first, -6);
        row->setQuoteValue(sell, values.second, -6);
    }
    resort();
    m_pTable->updateUi();
}

} // namespace TC
