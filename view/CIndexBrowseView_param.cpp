// TEMPORARY STUBS
#include "view/CIndexBrowseView.h"

namespace TC {

void CIndexBrowseView::themeChanged() {}

QString CIndexBrowseView::param(bool save)
{
    return {};
}

void CIndexBrowseView::setParam(const QString& param, bool keep) {}

void CIndexBrowseView::load() {}

void CIndexBrowseView::save() {}

QString CIndexBrowseView::getBrowseWidgetParam()
{
    return {};
}

void CIndexBrowseView::setBrowseWidgetParam(const QString& param) {}

void CIndexBrowseView::setBrowseWidgetVisiable(const QString& sector) {}

void CIndexBrowseView::setPositionBrowseWidgetVisiable(const QString& sector,
                                                       const QSet<QString>& accounts, bool add,
                                                       bool reload)
{
}

void CIndexBrowseView::setPositionSector(const QString& sector, const QSet<QString>& accounts,
                                         bool add, bool reload)
{
}

void CIndexBrowseView::setPositionColumnVisible(const QString& sector) {}

bool CIndexBrowseView::isPositionSector(const QString& sector) const
{
    return {};
}

bool CIndexBrowseView::isPriceTSector(const QString& sector) const
{
    return {};
}

void CIndexBrowseView::createMultiView() {}

void CIndexBrowseView::setButtonCtrlVisible(bool visible) {}

void CIndexBrowseView::setToolBarVisible(bool visible) {}

void CIndexBrowseView::setCreateNewWorkShow(bool show) {}

void CIndexBrowseView::setStarrtSmartShow(bool show) {}

void CIndexBrowseView::updateThemeStyle() {}

void CIndexBrowseView::storeParam(int kind, const QString& key, const QString& value) {}

} // namespace TC
