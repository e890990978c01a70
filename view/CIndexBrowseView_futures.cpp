// TEMPORARY STUBS
#include "view/CIndexBrowseView.h"

namespace TC {

void CIndexBrowseView::updateTopToolWidget(const QString& sectorName) {}

void CIndexBrowseView::updateVarietyToolWidget(const InstrumentList& list, const QString& exchange)
{
}

void CIndexBrowseView::findVarietyFillMap(const InstrumentList& list, const QString& exchange) {}

void CIndexBrowseView::findSHVarietyFillMap(const InstrumentList& list, const QString& exchange) {}

void CIndexBrowseView::fillContinuousContractAmount(const QString& exchange) {}

void CIndexBrowseView::fillSHContinuousContractAmount(const QString& exchange) {}

bool CIndexBrowseView::isContinuousContract(const InstrumentPtr& detail) const
{
    return {};
}

XP::CCheckBox* CIndexBrowseView::filterBox(int id) const
{
    return {};
}

void CIndexBrowseView::setBKZSSector(const QString& code) {}

void CIndexBrowseView::setExternal(const QString& name) {}

void CIndexBrowseView::createExternalMenu(CExternalCatalog* catalogue, QMenu* menu) {}

void CIndexBrowseView::createExternalBtnMenu(CExternalCatalog* catalogue, CCombinPushButton* button,
                                             QMenu* group)
{
}

void CIndexBrowseView::fillExternDataDetail(InstrumentList& list) const {}

void CIndexBrowseView::addCustomColumn(const QString& name) {}

void CIndexBrowseView::updateCustomColumn(const QString& oldName, const QString& newName) {}

void CIndexBrowseView::slotAddCustomField() {}

void CIndexBrowseView::slotSelectCustomIndex() {}

void CIndexBrowseView::slotSelectCustomIndexFinish() {}

void CIndexBrowseView::slotAddExtendData() {}

void CIndexBrowseView::slotUpdateAllCustomIndex() {}

void CIndexBrowseView::slotDelSelectCustomIndex() {}

void CIndexBrowseView::slotRemoveFromOAExternal() {}

void CIndexBrowseView::slotImportExternalCustomTpl() {}

void CIndexBrowseView::slotExportExternalCustomTpl() {}

void CIndexBrowseView::slotMoveExternalData() {}

void CIndexBrowseView::slotExternalChanged(int kind, QString name) {}

void CIndexBrowseView::slotExternalCatalogChange(int kind, QString name, QString newName) {}

void CIndexBrowseView::applyFuturesFilters(CSectorDetail* sector, InstrumentList& list,
                                           bool* wantVarieties)
{
}

} // namespace TC
