// TEMPORARY STUBS
#include "view/CIndexBrowseView.h"

namespace TC {

void CIndexBrowseView::createAction(CBrowseWidget* table) {}

void CIndexBrowseView::createPriceTAction() {}

void CIndexBrowseView::changeAction() {}

void CIndexBrowseView::updateAction() {}

XP::CMenu* CIndexBrowseView::createSectorMenu(CSectorDetail* sector)
{
    return {};
}

void CIndexBrowseView::createSectorMenu(CSectorDetail* sector, CCombinPushButton* button,
                                        QMenu* group)
{
}

void CIndexBrowseView::createBasketMenu() {}

void CIndexBrowseView::updateAction4Basket() {}

void CIndexBrowseView::addStockToBasket(CBasketSetting& setting, const QVector<QString>& codes) {}

void CIndexBrowseView::removeStock() {}

void CIndexBrowseView::resetMenuStyle(QMenu* menu) {}

void CIndexBrowseView::resetCustomButtonMenuStyle() {}

QAction* CIndexBrowseView::viewAction(const QString& text) const
{
    return {};
}

void CIndexBrowseView::slotContrastSector() {}

void CIndexBrowseView::slotAddStockToSector() {}

void CIndexBrowseView::slotAddStockToBasket() {}

void CIndexBrowseView::slotAddNewBasket() {}

void CIndexBrowseView::slotUpdateBasket() {}

void CIndexBrowseView::slotRemoveStockFromSector() {}

void CIndexBrowseView::slotNewIndex() {}

void CIndexBrowseView::slotEditIndex() {}

void CIndexBrowseView::slotImpotIndex() {}

void CIndexBrowseView::slotExportIndex() {}

void CIndexBrowseView::slotExportSectorStock() {}

void CIndexBrowseView::slotCreateNewWork() {}

void CIndexBrowseView::slotFilterStockByCondition() {}

void CIndexBrowseView::slotEarlyWarningRadar() {}

void CIndexBrowseView::slotCreateBasket() {}

void CIndexBrowseView::slotQuickOrderBuy() {}

void CIndexBrowseView::slotQuickOrderSell() {}

void CIndexBrowseView::slotSynchroData() {}

void CIndexBrowseView::keepAction(QAction* action) {}

} // namespace TC
