#include "pricet/CQuoteMainWidget.h"

#include "host/charts/CKLineMainWidget.h"
#include "host/charts/CRealtimeMainWidget.h"
#include "host/data/JsonParam.h"
#include "host/data/Log.h"
#include "host/toolkit/WidgetList.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QVBoxLayout>

namespace TC {

namespace {
const char* const kRealtimeKey = "m_pRealtimeMainWidget";
const char* const kKLineKey = "m_pKLineMainWidget";
} // namespace

CQuoteMainWidget::CQuoteMainWidget(QWidget* parent)
    : XP::CBaseWidget(parent, QStringLiteral("QuoteMainWidget"))
{
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_pList = new XP::CWidgetList(this, Qt::Vertical, 0);
    m_pList->setMargins(0, 0, 0, 0);
    layout->addWidget(m_pList);
    m_pKLineMainWidget = new CKLineMainWidget(m_pList);
    m_pKLineMainWidget->hide();
    m_pRealtimeMainWidget = new CRealtimeMainWidget(m_pList);
    m_pList->addWidget(m_pKLineMainWidget, true);
    m_pList->addWidget(m_pRealtimeMainWidget, true);
}

CQuoteMainWidget::~CQuoteMainWidget() = default;

void CQuoteMainWidget::setStock(const QString& key)
{
    m_qsKey = key;
    m_pRealtimeMainWidget->clear(false);
    m_pRealtimeMainWidget->setStock(key, false);
    m_pKLineMainWidget->clear(false);
    m_pKLineMainWidget->setStock(key);
    if (m_nMode == eKLine) {
        m_pKLineMainWidget->unrequest();
        if (!key.isEmpty())
            m_pKLineMainWidget->request(false);
        return;
    }
    m_pRealtimeMainWidget->unrequest();
    if (key.isEmpty())
        m_pRealtimeMainWidget->updateView();
    else
        m_pRealtimeMainWidget->request(false);
}

void CQuoteMainWidget::switchMode()
{
    if (m_nMode == eRealtime) {
        m_pRealtimeMainWidget->resetUiParam();
        m_pRealtimeMainWidget->unrequest();
        m_pRealtimeMainWidget->hide();
        m_pKLineMainWidget->show();
        m_pKLineMainWidget->moveToEnd();
        if (!m_pKLineMainWidget->getUiParam().crossline)
            m_pKLineMainWidget->switchCrossline();
        m_pKLineMainWidget->unrequest();
        m_pKLineMainWidget->request(false);
        m_nMode = eKLine;
    } else {
        m_pKLineMainWidget->resetUiParam();
        m_pKLineMainWidget->unrequest();
        m_pKLineMainWidget->hide();
        m_pRealtimeMainWidget->show();
        m_pRealtimeMainWidget->unrequest();
        m_pRealtimeMainWidget->request(false);
        m_nMode = eRealtime;
    }
    setFocus();
}

void CQuoteMainWidget::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Enter:
    case Qt::Key_Return:
    case Qt::Key_F5: switchMode(); return;
    default: XP::CBaseWidget::keyPressEvent(event);
    }
}

QString CQuoteMainWidget::getParam() const
{
    JsonBuilder b;
    b.appendString(kRealtimeKey, m_pRealtimeMainWidget->param());
    b.appendString(kKLineKey, m_pKLineMainWidget->param(true));
    return b.toQString();
}

void CQuoteMainWidget::setParam(const QString& param)
{
    if (param.isEmpty())
        return;
    const JsonParseResult r = JsonParam::parse(param);
    if (!r.ok()) {
        TT_LOG_ERROR("[QuoteMainWidget] bad parameter string, charts unchanged: %1%", r.error);
        return;
    }
    if (r.object.type(kRealtimeKey) == JsonType::String)
        m_pRealtimeMainWidget->setParam(r.object.getQString(kRealtimeKey));
    if (r.object.type(kKLineKey) == JsonType::String)
        m_pKLineMainWidget->setParam(r.object.getQString(kKLineKey));
}

} // namespace TC
