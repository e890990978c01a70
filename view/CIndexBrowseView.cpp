// TEMPORARY STUBS
#include "view/CIndexBrowseView.h"

namespace TC {

CIndexBrowseView::CIndexBrowseView(QWidget* parent, eBrowseType type)
    : CIndexPanelBaseWidget(parent, QStringLiteral("browse_view")), m_eBrowseType(type)
{
}

CIndexBrowseView::~CIndexBrowseView() = default;

void CIndexBrowseView::request(bool force) {}

void CIndexBrowseView::unrequest() {}

void CIndexBrowseView::clear(bool all) {}

QString CIndexBrowseView::getStock()
{
    return {};
}

void CIndexBrowseView::setCurrentTradeDateFunc(boost::function<int()> getter) {}

bool CIndexBrowseView::handleEvent(int id, int a, int b, const QString& text, void* p)
{
    return {};
}

void CIndexBrowseView::setSector(const QString& name) {}

void CIndexBrowseView::setSector(CSectorDetail* sector) {}

void CIndexBrowseView::resetCurrentSector() {}

QString CIndexBrowseView::getCurrentSector() const
{
    return {};
}

void CIndexBrowseView::setStock(const QString& code) {}

void CIndexBrowseView::onSelectStock(const CStockInfo& info, ESmartKeyType type) {}

void CIndexBrowseView::setStockListByIndex(const InstrumentList& list) {}

void CIndexBrowseView::filterStockList(InstrumentList& list) const {}

void CIndexBrowseView::getSectorStockList(InstrumentList& list, CSectorDetail* sector) const {}

CBrowseWidget* CIndexBrowseView::getCurrentBrowser(CSectorDetail* sector, int* kind) const
{
    return {};
}

QString CIndexBrowseView::sectorKey(const QString& sectorName) const
{
    return {};
}

int CIndexBrowseView::positionAccountType(const QString& sectorName)
{
    return {};
}

QList<QString> CIndexBrowseView::getStockList()
{
    return {};
}

QStringList CIndexBrowseView::getSelectStocks()
{
    return {};
}

int CIndexBrowseView::getStartIndex()
{
    return {};
}

QString CIndexBrowseView::getStartIndexStock()
{
    return {};
}

void CIndexBrowseView::sortByPreParam(int column, int order) {}

void CIndexBrowseView::getPreSortParam(int& column, int& order) {}

void CIndexBrowseView::sortByRate() {}

void CIndexBrowseView::setSelectRow(int row) {}

void CIndexBrowseView::setPanelFocus() {}

void CIndexBrowseView::setHighLightStocks(const QMap<QString, int>& stocks) {}

void CIndexBrowseView::setIsResetSelectStock(bool reset) {}

void CIndexBrowseView::setSpeedValue(const QMap<QString, double>& values) {}

void CIndexBrowseView::resetBrowserStatus() {}

void CIndexBrowseView::updateExtendIndex() {}

void CIndexBrowseView::addStageColumn(const QString& spec) {}

void CIndexBrowseView::updateStageColumn() {}

void CIndexBrowseView::addSpeedColumn() {}

void CIndexBrowseView::setCurSelectCode(const QString& code) {}

QString CIndexBrowseView::getAccountList()
{
    return {};
}

QString CIndexBrowseView::getNoRepetionAccountList()
{
    return {};
}

QString CIndexBrowseView::getApplyFormulaAccount()
{
    return {};
}

void CIndexBrowseView::loadAccounts() {}

void CIndexBrowseView::operationAccount(int operation, const std::string& account) {}

void CIndexBrowseView::updatePositionDatas() {}

void CIndexBrowseView::slotSectorChanged(int kind, QString sector, QString name) {}

void CIndexBrowseView::slotSectorInited() {}

void CIndexBrowseView::slotSearchDelayUse() {}

void CIndexBrowseView::keyPressEvent(QKeyEvent* event) {}

void CIndexBrowseView::keyReleaseEvent(QKeyEvent* event) {}

void CIndexBrowseView::createUi() {}

void CIndexBrowseView::updateSectorButtonControl() {}

void CIndexBrowseView::storeLeavingState() {}

void CIndexBrowseView::requestCurrent() {}

void CIndexBrowseView::onTableCommand(CBrowseWidget* table, int command) {}

void CIndexBrowseView::closeSubPanel() {}

void CIndexBrowseView::showNewBondTable() {}

} // namespace TC
