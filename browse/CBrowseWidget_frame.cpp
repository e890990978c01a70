// Construction, destruction, host events, request/unrequest and paging.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "browse/BrowseEvents.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/Config.h"
#include "host/data/FormulaManager.h"
#include "host/data/Log.h"
#include "host/data/SectorManager.h"
#include "host/data/TemporaryDataManager.h"
#include "host/toolkit/ToolkitEvents.h"
#include "host/toolkit/WidgetList.h"

#include <QShowEvent>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace TC {

namespace {
constexpr int kStatIntervalMs = 6000;
constexpr int kStatSoonMs = 500;
constexpr int kAutoRefreshMs = 1000;
constexpr int kDefaultRefreshMs = 1000;
constexpr int kMenuFlags = 508;
constexpr int kMenuFlagsLite = 252;
constexpr int kTableFlags = 0x242a44;
constexpr int kClientTypeLite = 3;
using Table = XP::CBaseHighPerformanceTable;
} // namespace

CBrowseWidgetPrivate::~CBrowseWidgetPrivate() = default;

void CBrowseWidgetPrivate::scheduleStatUpdate()
{
    if (!m_pStatSoonTimer->isActive())
        m_pStatSoonTimer->start();
}

CBrowseWidget::CBrowseWidget(QWidget* parent, bool concise, eBrowseType browseType, int tableId)
    : CBrowseWidget(*new CBrowseWidgetPrivate, parent, concise, browseType, tableId)
{
}

CBrowseWidget::CBrowseWidget(CBrowseWidgetPrivate& dd, QWidget* parent, bool concise,
                             eBrowseType browseType, int tableId)
    : XP::CBaseWidget(parent, QStringLiteral("browse_widget")), d(&dd)
{
    d->m_bConcise = concise;
    d->m_nBrowseType = browseType;
    d->m_nTableId = tableId;
    d->m_mailbox = CWorkerMailbox::create(this);

    initColor();
    createUi();
    createAction();

    const QList<ColumnInfo> base = getBaseColumnList();
    for (const ColumnInfo& c : base)
        d->m_baseColumns.insert(c.lineIndex, c);
    setColumnList(base);

    d->m_pRefreshTimer = new QTimer(this);
    d->m_pStatTimer = new QTimer(this);
    d->m_pStatTimer->setInterval(kStatIntervalMs);
    d->m_pDrainTimer = new QTimer(this);
    d->m_pStatSoonTimer = new QTimer(this);
    d->m_pStatSoonTimer->setSingleShot(true);
    d->m_pStatSoonTimer->setInterval(kStatSoonMs);
    connect(d->m_pStatSoonTimer, &QTimer::timeout, this, &CBrowseWidget::slotUpdateStatData);
    connect(d->m_pRefreshTimer, &QTimer::timeout, this, &CBrowseWidget::slotBrowserRefreshTimeOut);
    connect(d->m_pDrainTimer, &QTimer::timeout, this, &CBrowseWidget::slotDrainQueued);
    connect(d->m_pStatTimer, &QTimer::timeout, this, &CBrowseWidget::slotCalcStatData);
    d->m_pAutoRefreshTimer = new QTimer(this);
    connect(d->m_pAutoRefreshTimer, &QTimer::timeout, this, &CBrowseWidget::slotAutoRefreshIndex);
    d->m_pAutoRefreshTimer->start(kAutoRefreshMs);

    connect(CSectorManager::instance(), &CSectorManager::sigReInitIndustry, this,
            &CBrowseWidget::slotReInitIndustry);
    connect(d->m_pTable, &CHpfBrowserTable::sigWheelEvent, this, &CBrowseWidget::slotWheelEvent);
    connect(d->m_pTable, &CHpfBrowserTable::sigDragScollBar, this,
            &CBrowseWidget::slotDragScollBar);
    initFetch();

    int interval = SingletonManager::getIndexUserConfig()->getRefreshInterval();
    if (interval < 1) {
        // a stopped refresh timer would let queued pushes pile up unseen
        TT_LOG_WARN("[browser] refresh interval %1% ms ignored, using %2% ms", interval,
                    kDefaultRefreshMs);
        interval = kDefaultRefreshMs;
    }
    restartRefreshTimer(interval);
    CWorkerMailboxPtr mailbox = d->m_mailbox;
    d->m_nConfigListener =
        SingletonManager::getIndexUserConfig()->addChangeListener([this, mailbox]() {
            if (QThread::currentThread() == thread())
                slotOptionSettingChange();
            else
                mailbox->post([this]() { slotOptionSettingChange(); });
        });

    d->m_pWholeQuoteModel = CWholeQuoteModel::create();
    connect(d->m_pWholeQuoteModel.get(), &CWholeQuoteModel::sigHistoryCallBack, this,
            &CBrowseWidget::slotWholeHistoryQuoteBack);
    d->m_pQuoteClient.reset(new CBrowseQuoteClient(this, d.get()));
    d->m_pWholeQuoteModel->setBrowseClient(d->m_pQuoteClient.get());

    if (d->m_nBrowseType == BrowseType_NetBuying) {
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
    d->m_mailbox->close();
    se::setStopFlag(d->m_batch.stop, true); // the running batch's worker stops early
    d->m_pAutoRefreshTimer->stop();
    d->m_pWholeQuoteModel->setBrowseClient(nullptr); // waits for a delivery in flight
    disconnect(d->m_pWholeQuoteModel.get(), nullptr, this, nullptr);
    SingletonManager::getIndexUserConfig()->removeChangeListener(d->m_nConfigListener);
    clear();
    d->m_pRefreshTimer->stop();
    d->m_pDrainTimer->stop();
    d->m_pStatTimer->stop();
    d->m_pStatSoonTimer->stop();
    if (d->m_nBrowseType == BrowseType_NetBuying) {
        auto* temporary = CTemporaryDataManager::instance();
        disconnect(temporary, nullptr, this, nullptr);
        temporary->startOrStopNetBuying(false);
    }
    disconnect(CSectorManager::instance(), nullptr, this, nullptr);
    clearRowIndex();
    delete d->m_pTable;
    d->m_pTable = nullptr;
    delete d->m_pModel;
    d->m_pModel = nullptr;
}

void CBrowseWidget::createUi()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    d->m_pWidgetList = new XP::CWidgetList(this, Qt::Vertical, 0);
    d->m_pWidgetList->setMargins(0, 0, 0, 0);
    layout->addWidget(d->m_pWidgetList);

    const bool lite = getConfig()->clientType == kClientTypeLite;
    d->m_pTable =
        new CHpfBrowserTable(d->m_nTableId, d->m_pWidgetList, lite ? kMenuFlagsLite : kMenuFlags);
    d->m_pTable->setTableFlags((d->m_pTable->tableFlags() & ~Table::TF_ROW_NUMBER) | kTableFlags);
    d->m_pTable->setRowHeightRange(16, 24);
    d->m_pTable->setItemHeight(d->m_bConcise && getConfig()->conciseStyle ? 24 : 20);
    d->m_pTable->setHorizontalScrollStep(20);
    d->m_pTable->setScrollSliderImage(QStringLiteral("img_scrollbar_slider_browse"));
    d->m_pWidgetList->addWidget(d->m_pTable, true);

    d->m_pModel = new CHpfBrowserDataModel();
    registerPalette();
    d->m_pTable->setModel(d->m_pModel);
    applyTableStyle();
}

bool CBrowseWidget::handleEvent(int id, int a, int b, const QString& text, void* p)
{
    switch (id) {
    case Event_Repaint:
        if (isVisible())
            d->m_pTable->updateUi();
        return true;
    case Event_SelectStock: {
        const QString key = getStock();
        if (!key.isEmpty()) {
            d->m_qsCurrentCode = key;
            deliverEvent(Event_SelectStock, a, b, key, this);
            deliverEvent(Event_TableStock, d->m_nTableId, 0, key);
        }
        return true;
    }
    case Event_DoubleSelectStock: {
        const QString key = getStock();
        if (!key.isEmpty()) {
            d->m_qsCurrentCode = key;
            deliverEvent(Event_DoubleSelectStock, a, b, key);
            deliverEvent(Event_PositionAccount, a, b,
                         getPositionAccount(d->m_pTable->getSelectedRow()));
        }
        return true;
    }
    case Event_HeaderMenu:
        d->m_nHeaderColumn = a;
        showHeaderMenu(a);
        return true;
    case XP::EV_CELL_COMMITTED:
        if (p)
            commitFieldEdit(b, text, *static_cast<const QString*>(p));
        return true;
    case XP::EV_CELL_COMMITTED_KEY: showStoredField(b, text); return true;
    case Event_DefaultOrder:
        d->m_pTable->sortByColumn(0, 0);
        d->m_pTable->setSelectedRow(0);
        return true;
    default: return XP::CBaseWidget::handleEvent(id, a, b, text, p);
    }
}

void CBrowseWidget::showEvent(QShowEvent* event)
{
    XP::CBaseWidget::showEvent(event);
    if (d->m_pTable->getSelectedRow() < 0)
        d->m_pTable->setSelectedRow(0);
    d->m_pTable->setPanelFocus();
    if (isVisible())
        d->m_pModel->recalcStatData();
    d->m_pTable->updateUi();
}

void CBrowseWidget::resizeEvent(QResizeEvent* event)
{
    XP::CBaseWidget::resizeEvent(event);
}

void CBrowseWidget::request()
{
    if (d->m_nBrowseStatus == BrowseStatus_Statistic) {
        const auto& r = d->m_statRange;
        requestForStatistic(r.start, r.end, r.setting, r.period);
        return;
    }
    if (d->m_nBrowseStatus == BrowseStatus_External) {
        requestExternal();
        return;
    }
    ++d->m_nLastIndexSeq;
    if (d->m_nIndexRequestId != -1) {
        CFormulaManager::instance()->unrequestIndex(d->m_nIndexRequestId);
        d->m_nIndexRequestId = -1;
    }
    d->m_pWholeQuoteModel->unrequestAll();
    requestMarketQuote(d->m_requestMarkets);
}

void CBrowseWidget::unrequest()
{
    ++d->m_nLastIndexSeq; // an id still on its way is cancelled when it arrives
    if (d->m_nIndexRequestId != -1) {
        CFormulaManager::instance()->unrequestIndex(d->m_nIndexRequestId);
        d->m_nIndexRequestId = -1;
    }
    d->m_pWholeQuoteModel->unrequestAll();
}

void CBrowseWidget::clear()
{
    unrequest();
    // the indicator values and requested pairs belong to the rows being let go
    d->m_customIndexValues.clear();
    d->m_requestedPairs.clear();
    d->m_qsCurrentCode.clear();
}

void CBrowseWidget::clearContent()
{
    d->m_pModel->clearValues();
    d->m_pTable->updateUi();
}

void CBrowseWidget::restartRefreshTimer(int interval)
{
    constexpr int kDrainMs = 100;
    d->m_nRefreshInterval = interval;
    d->m_pRefreshTimer->start(interval);
    if (interval > 2 * kDrainMs)
        d->m_pDrainTimer->start(kDrainMs);
    else
        d->m_pDrainTimer->stop();
}

void CBrowseWidget::slotOptionSettingChange()
{
    const int interval = SingletonManager::getIndexUserConfig()->getRefreshInterval();
    if (interval < 1) {
        TT_LOG_WARN("[browser] refresh interval %1% ms ignored, keeping %2% ms", interval,
                    d->m_nRefreshInterval);
        return;
    }
    if (interval != d->m_nRefreshInterval)
        restartRefreshTimer(interval);
}

int CBrowseWidget::getStartIndex() const
{
    return d->m_pTable->getStartRow();
}

QString CBrowseWidget::getStartStock()
{
    const int start = d->m_pTable->getStartRow();
    if (start < 0 || start >= d->m_pModel->size())
        return QString();
    return getStock(start);
}

void CBrowseWidget::setSelectRow(int index)
{
    d->m_pTable->setSelectedRow(index);
}

int CBrowseWidget::getCurrentRowIndex() const
{
    return d->m_pTable->getSelectedRow() + 1;
}

void CBrowseWidget::openAndCloseDrag(bool on)
{
    const bool lite = getConfig()->clientType == kClientTypeLite;
    if (on) {
        d->m_pTable->addTableFlag(Table::TF_ROW_DRAG);
        if (lite)
            d->m_pTable->removeTableFlag(Table::TF_ROW_NUMBER);
    } else {
        d->m_pTable->removeTableFlag(lite ? (Table::TF_ROW_DRAG | Table::TF_ROW_NUMBER)
                                          : Table::TF_ROW_DRAG);
    }
}

void CBrowseWidget::slotWheelEvent(int delta)
{
    if (delta == -1)
        d->m_qsCurrentCode.clear();
}

void CBrowseWidget::slotDragScollBar()
{
    d->m_qsCurrentCode.clear();
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

// --- accessors ---------------------------------------------------------------------

void CBrowseWidget::setSectorCode(const QString& code)
{
    d->m_qsSectorCode = code;
}

QString CBrowseWidget::getSectorCode() const
{
    return d->m_qsSectorCode;
}

QString CBrowseWidget::getSectorName() const
{
    return d->m_qsSectorName;
}

int CBrowseWidget::getStockListSize() const
{
    return d->m_nStockListSize;
}

int CBrowseWidget::getBrowserStatus() const
{
    return d->m_nBrowseStatus;
}

void CBrowseWidget::resetBrowserStatus()
{
    d->m_nBrowseStatus = BrowseStatus_Live;
}

eBrowseType CBrowseWidget::browseType() const
{
    return d->m_nBrowseType;
}

int CBrowseWidget::tableId() const
{
    return d->m_nTableId;
}

QString CBrowseWidget::currentCode() const
{
    return d->m_qsCurrentCode;
}

const QList<QString>& CBrowseWidget::requestedMarkets() const
{
    return d->m_requestMarkets;
}

CHpfBrowserTable* CBrowseWidget::table() const
{
    return d->m_pTable;
}

CHpfBrowserDataModel* CBrowseWidget::model() const
{
    return d->m_pModel;
}

const CWholeQuoteModelPtr& CBrowseWidget::wholeQuoteModel() const
{
    return d->m_pWholeQuoteModel;
}

void CBrowseWidget::setGetTradeDateFunc(const boost::function<int()>& getter)
{
    d->m_getTradeDate = getter;
}

int CBrowseWidget::refreshInterval() const
{
    return d->m_nRefreshInterval;
}

quint64 CBrowseWidget::pushCount() const
{
    return d->m_nPushCount;
}

quint64 CBrowseWidget::refreshCount() const
{
    return d->m_nRefreshCount;
}

void CBrowseWidget::setIsResetSelectStock(bool on)
{
    d->m_bResetSelectStock = on;
}

void CBrowseWidget::setCurStock(const QString& key)
{
    d->m_qsCurrentCode = key;
}

bool CBrowseWidget::isIndexConstituentsList() const
{
    return d->m_bIndexConstituents;
}

const QList<ColumnInfo>& CBrowseWidget::columnList() const
{
    return d->m_columnList;
}

int CBrowseWidget::headerColumn() const
{
    return d->m_nHeaderColumn;
}

int CBrowseWidget::nightColumn() const
{
    return d->m_nNightColumn;
}

int CBrowseWidget::totalBuyColumn() const
{
    return d->m_nTotalBuyColumn;
}

int CBrowseWidget::totalSellColumn() const
{
    return d->m_nTotalSellColumn;
}

int CBrowseWidget::netBuyColumn() const
{
    return d->m_nNetBuyColumn;
}

QMenu* CBrowseWidget::headerMenu() const
{
    return d->m_pHeaderMenu;
}

CIndexColorParameterDialog* CBrowseWidget::colorDialog() const
{
    return d->m_pColorDialog;
}

void CBrowseWidget::setIndexConstituentsList(bool on)
{
    d->m_bIndexConstituents = on;
    rebuildQuoteColumnPlan();
}

} // namespace TC
