// Construction, destruction, host events, request/unrequest and paging.
#include "browse/CBrowseWidget.h"

#include "browse/BrowseEvents.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/Config.h"
#include "host/data/FormulaManager.h"
#include "host/data/Log.h"
#include "host/data/SectorManager.h"
#include "host/data/TemporaryDataManager.h"
#include "host/toolkit/WidgetList.h"

#include <QShowEvent>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace TC {

namespace {
constexpr int kStatIntervalMs = 6000;
constexpr int kDefaultRefreshMs = 1000;
constexpr int kMenuFlags = 508;
constexpr int kMenuFlagsLite = 252;
constexpr int kTableFlags = 0x242a44;
constexpr int kFlagRowNumber = 8;
constexpr int kFlagRowDrag = 0x40000;
constexpr int kClientTypeLite = 3;
} // namespace

CBrowseWidget::CBrowseWidget(QWidget* parent, bool concise, eBrowseType browseType, int tableId)
    : XP::CBaseWidget(parent, QStringLiteral("browse_widget")), m_bConcise(concise),
      m_nBrowseType(browseType), m_nTableId(tableId)
{
    m_mailbox = CWorkerMailbox::create(this);

    initColor();
    createUi();
    createAction();

    const QList<ColumnInfo> base = getBaseColumnList();
    for (const ColumnInfo& c : base)
        m_baseColumns.insert(c.lineIndex, c);
    setColumnList(base);

    m_pRefreshTimer = new QTimer(this);
    m_pStatTimer = new QTimer(this);
    m_pStatTimer->setInterval(kStatIntervalMs);
    m_pDrainTimer = new QTimer(this);
    connect(m_pRefreshTimer, &QTimer::timeout, this, &CBrowseWidget::slotBrowserRefreshTimeOut);
    connect(m_pDrainTimer, &QTimer::timeout, this, &CBrowseWidget::slotDrainQueued);
    connect(m_pStatTimer, &QTimer::timeout, this, &CBrowseWidget::slotCalcStatData);

    connect(CSectorManager::instance(), &CSectorManager::sigReInitIndustry, this,
            &CBrowseWidget::slotReInitIndustry);
    connect(m_pTable, &CHpfBrowserTable::sigWheelEvent, this, &CBrowseWidget::slotWheelEvent);
    connect(m_pTable, &CHpfBrowserTable::sigDragScollBar, this, &CBrowseWidget::slotDragScollBar);

    int interval = SingletonManager::getIndexUserConfig()->getRefreshInterval();
    if (interval < 1) {
        // a stopped refresh timer would let queued pushes pile up unseen
        TT_LOG_WARN("[browser] refresh interval %1% ms ignored, using %2% ms", interval,
                    kDefaultRefreshMs);
        interval = kDefaultRefreshMs;
    }
    restartRefreshTimer(interval);
    CWorkerMailboxPtr mailbox = m_mailbox;
    m_nConfigListener =
        SingletonManager::getIndexUserConfig()->addChangeListener([this, mailbox]() {
            if (QThread::currentThread() == thread())
                slotOptionSettingChange();
            else
                mailbox->post([this]() { slotOptionSettingChange(); });
        });

    m_pWholeQuoteModel = CWholeQuoteModel::create();
    connect(m_pWholeQuoteModel.get(), &CWholeQuoteModel::sigHistoryCallBack, this,
            &CBrowseWidget::slotWholeHistoryQuoteBack);
    m_pWholeQuoteModel->setBrowseClient(this);

    if (m_nBrowseType == 3) {
        auto* temporary = CTemporaryDataManager::instance();
        temporary->startOrStopNetBuying(true);
        connect(temporary, &CTemporaryDataManager::sigSendNetBuyingChange, this,
                &CBrowseWidget::slotSendNetBuyingChange);
        connect(temporary, &CTemporaryDataManager::sigSendTotalBuySellChange, this,
                &CBrowseWidget::slotSendTotalBuySellChange);
    }
}

CBrowseWidget::~CBrowseWidget()
{
    // Order matters: no worker or host thread may reach this widget once it starts dying.
    m_mailbox->close();
    m_pWholeQuoteModel->setBrowseClient(nullptr); // waits for a delivery in flight
    disconnect(m_pWholeQuoteModel.get(), nullptr, this, nullptr);
    SingletonManager::getIndexUserConfig()->removeChangeListener(m_nConfigListener);
    clear();
    m_pRefreshTimer->stop();
    m_pDrainTimer->stop();
    m_pStatTimer->stop();
    if (m_nBrowseType == 3) {
        auto* temporary = CTemporaryDataManager::instance();
        disconnect(temporary, nullptr, this, nullptr);
        temporary->startOrStopNetBuying(false);
    }
    disconnect(CSectorManager::instance(), nullptr, this, nullptr);
    clearRowIndex();
    delete m_pTable;
    m_pTable = nullptr;
    delete m_pModel;
    m_pModel = nullptr;
}

void CBrowseWidget::createUi()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_pWidgetList = new XP::CWidgetList(this, Qt::Vertical, 0);
    m_pWidgetList->setMargins(0, 0, 0, 0);
    layout->addWidget(m_pWidgetList);

    const bool lite = getConfig()->clientType == kClientTypeLite;
    m_pTable = new CHpfBrowserTable(m_nTableId, m_pWidgetList, lite ? kMenuFlagsLite : kMenuFlags);
    m_pTable->setTableFlags((m_pTable->tableFlags() & ~kFlagRowNumber) | kTableFlags);
    m_pTable->setRowHeightRange(16, 24);
    m_pTable->setItemHeight(m_bConcise && getConfig()->conciseStyle ? 24 : 20);
    m_pTable->setHorizontalScrollStep(20);
    m_pTable->setScrollSliderImage(QStringLiteral("img_scrollbar_slider_browse"));
    m_pWidgetList->addWidget(m_pTable, true);

    m_pModel = new CHpfBrowserDataModel();
    registerPalette();
    m_pTable->setModel(m_pModel);
    applyTableStyle();
}

bool CBrowseWidget::handleEvent(int id, int a, int b, const QString& text, void* p)
{
    switch (id) {
    case Event_Repaint:
        if (isVisible())
            m_pTable->updateUi();
        return true;
    case Event_SelectStock: {
        const QString key = getStock();
        if (!key.isEmpty()) {
            m_qsCurrentCode = key;
            deliverEvent(Event_SelectStock, a, b, key, this);
            deliverEvent(Event_TableStock, m_nTableId, 0, key);
        }
        return true;
    }
    case Event_DoubleSelectStock: {
        const QString key = getStock();
        if (!key.isEmpty()) {
            m_qsCurrentCode = key;
            deliverEvent(Event_DoubleSelectStock, a, b, key);
            deliverEvent(Event_PositionAccount, a, b,
                         getPositionAccount(m_pTable->getSelectedRow()));
        }
        return true;
    }
    case Event_HeaderMenu:
        m_nHeaderColumn = a;
        showHeaderMenu(a);
        return true;
    case Event_DefaultOrder:
        m_pTable->sortByColumn(0, 0);
        m_pTable->setSelectedRow(0);
        return true;
    default: return XP::CBaseWidget::handleEvent(id, a, b, text, p);
    }
}

void CBrowseWidget::showEvent(QShowEvent* event)
{
    XP::CBaseWidget::showEvent(event);
    if (m_pTable->getSelectedRow() < 0)
        m_pTable->setSelectedRow(0);
    m_pTable->setPanelFocus();
    if (isVisible())
        m_pModel->recalcStatData();
    m_pTable->updateUi();
}

void CBrowseWidget::resizeEvent(QResizeEvent* event)
{
    XP::CBaseWidget::resizeEvent(event);
}

void CBrowseWidget::request()
{
    if (m_nBrowseStatus == BrowseStatus_Statistic || m_nBrowseStatus == BrowseStatus_External)
        return; // statistics ranges and external lists are refreshed by their own requests
    if (m_nIndexRequestId != -1) {
        CFormulaManager::instance()->unrequestIndex(m_nIndexRequestId);
        m_nIndexRequestId = -1;
    }
    m_pWholeQuoteModel->unrequestAll();
    requestMarketQuote(m_requestMarkets);
}

void CBrowseWidget::unrequest()
{
    if (m_nIndexRequestId != -1) {
        CFormulaManager::instance()->unrequestIndex(m_nIndexRequestId);
        m_nIndexRequestId = -1;
    }
    m_pWholeQuoteModel->unrequestAll();
}

void CBrowseWidget::clear()
{
    unrequest();
    m_qsCurrentCode.clear();
}

void CBrowseWidget::clearContent()
{
    m_pModel->clearValues();
    m_pTable->updateUi();
}

void CBrowseWidget::restartRefreshTimer(int interval)
{
    constexpr int kDrainMs = 100;
    m_nRefreshInterval = interval;
    m_pRefreshTimer->start(interval);
    if (interval > 2 * kDrainMs)
        m_pDrainTimer->start(kDrainMs);
    else
        m_pDrainTimer->stop();
}

void CBrowseWidget::slotOptionSettingChange()
{
    const int interval = SingletonManager::getIndexUserConfig()->getRefreshInterval();
    if (interval < 1) {
        TT_LOG_WARN("[browser] refresh interval %1% ms ignored, keeping %2% ms", interval,
                    m_nRefreshInterval);
        return;
    }
    if (interval != m_nRefreshInterval)
        restartRefreshTimer(interval);
}

int CBrowseWidget::getStartIndex() const
{
    return m_pTable->getStartRow();
}

QString CBrowseWidget::getStartStock()
{
    const int start = m_pTable->getStartRow();
    if (start < 0 || start >= m_pModel->size())
        return QString();
    return getStock(start);
}

void CBrowseWidget::setSelectRow(int index)
{
    m_pTable->setSelectedRow(index);
}

int CBrowseWidget::getCurrentRowIndex() const
{
    return m_pTable->getSelectedRow() + 1;
}

void CBrowseWidget::openAndCloseDrag(bool on)
{
    const bool lite = getConfig()->clientType == kClientTypeLite;
    if (on) {
        m_pTable->addTableFlag(kFlagRowDrag);
        if (lite)
            m_pTable->removeTableFlag(kFlagRowNumber);
    } else {
        m_pTable->removeTableFlag(lite ? (kFlagRowDrag | kFlagRowNumber) : kFlagRowDrag);
    }
}

void CBrowseWidget::slotWheelEvent(int delta)
{
    if (delta == -1)
        m_qsCurrentCode.clear();
}

void CBrowseWidget::slotDragScollBar()
{
    m_qsCurrentCode.clear();
}

// The position list answers these; a plain browse table has no accounts.
QMultiMap<QString, QString> CBrowseWidget::getAccountList()
{
    return {};
}
QList<QString> CBrowseWidget::getNoRepetionAccountList()
{
    return {};
}
QString CBrowseWidget::getApplyFormulaAccount()
{
    return QString();
}
QString CBrowseWidget::getPositionAccount(const HpfBrowserDataPtr&)
{
    return QString();
}
QString CBrowseWidget::getPositionAccount(int)
{
    return QString();
}
void CBrowseWidget::updatePositionDataByQuote(const HpfBrowserDataPtr&) {}
bool CBrowseWidget::isPositionSector()
{
    return false;
}

} // namespace TC
