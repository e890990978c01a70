#include "host/widgets/CIndexPanelBaseWidget.h"

namespace TC {

CIndexPanelBaseWidget::CIndexPanelBaseWidget(QWidget* parent, const QString& panelName)
    : XP::CBaseWidget(parent, panelName)
{
}

CIndexPanelBaseWidget::~CIndexPanelBaseWidget() = default;

void CIndexPanelBaseWidget::request(bool) {}
void CIndexPanelBaseWidget::unrequest() {}
void CIndexPanelBaseWidget::clear(bool) {}

QString CIndexPanelBaseWidget::getStock()
{
    return QString();
}

void CIndexPanelBaseWidget::setCurrentTradeDateFunc(boost::function<int()> getter)
{
    m_tradeDateFunc = std::move(getter);
}

} // namespace TC
