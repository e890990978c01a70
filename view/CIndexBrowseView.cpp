#include "view/CIndexBrowseView.h"

#include "browse/BrowseEvents.h"
#include "browse/CBrowseWidget.h"
#include "host/data/ColumnInfo.h"
#include "host/data/Config.h"
#include "host/data/ExternalDataManager.h"
#include "host/data/IndexMainWindowHelper.h"
#include "host/data/IndexUserConfig.h"
#include "host/data/Log.h"
#include "host/data/Pinyin.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockManager.h"
#include "host/toolkit/PushButton.h"
#include "host/toolkit/PushButtonGroup.h"
#include "host/toolkit/SearchTextLineEdit.h"
#include "host/toolkit/SimpleTextWidget.h"
#include "host/toolkit/SplitButtonContainer.h"
#include "host/toolkit/StyleSheetCenter.h"
#include "host/toolkit/ToolkitEvents.h"
#include "host/toolkit/WidgetList.h"
#include "host/widgets/CAddSelfStockDialog.h"
#include "host/widgets/CIndexMultiView.h"
#include "host/widgets/CPushButtonTabControl.h"
#include "host/widgets/CSmartKeyboardDialog.h"
#include "position/CPositionBrowseWidget.h"
#include "pricet/CPriceTBrowseWidget.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace TC {

namespace {

const QString kCustomIndexSector = QStringLiteral("自定义指数");
const QString kPriceTSector = QStringLiteral("T型报价板");
const QString kSectorIndexParent = QStringLiteral("板块指数板块");
const QString kNewBondSector = QStringLiteral("未上市新债");
const QString kUserGroup = QStringLiteral("我的");
const QString kRemovedText = QStringLiteral("   - ");
const char* const kLogSwitch = "[browser double check] func:%1% , sector:%2% ";
const char* const kLogStocks = "[browser double check] func:%1% , stocks size:%2% ";

constexpr int kMainTableId = 88;
constexpr int kSubTableId = 2;
constexpr int kSearchDelayMs = 1000;
constexpr int kFirstSectorButtonId = 30;
constexpr int kLastSectorButtonId = 119;
// Variety buttons: 121 onwards, so the 100th and later varieties are out of reach.
constexpr int kFirstVarietyButtonId = 120;
constexpr int kLastVarietyButtonId = 219;

// Host events the view sends.
enum EViewEvent : int {
    Event_MultiLayout = 3015,
    Event_DoubleClickSector = 3057,
    Event_SelectInSector = 3059,
};

// Exchanges whose sectors show the tool row (with the variety row wanted).
bool isExchangeSector(const QString& name)
{
    static const QStringList names{
        QStringLiteral("中金所"),          QStringLiteral("郑商所"),
        QStringLiteral("大商所"),          QStringLiteral("上期所"),
        QStringLiteral("能源中心"),        QStringLiteral("香港期货(HKFE)"),
        QStringLiteral("新加坡(SGX)"),     QStringLiteral("纽约商品(NYMEX)"),
        QStringLiteral("纽约商业(COMEX)"), QStringLiteral("芝加哥商品(CBOT)"),
        QStringLiteral("芝加哥商业(CME)")};
    return names.contains(name);
}

// The ancestor of a node that sits directly under the root.
CSectorDetail* topLevelOf(CSectorDetail* sector)
{
    while (sector && sector->getParent() && sector->getParent()->getParent())
        sector = sector->getParent();
    return sector;
}

} // namespace

// --- construction -----------------------------------------------------------------------

CIndexBrowseView::CIndexBrowseView(QWidget* parent, eBrowseType type)
    : CIndexPanelBaseWidget(parent, QStringLiteral("browse_view")), m_eBrowseType(type)
{
    createUi();
    createAction(m_pSubBrowseWidget);
    createAction(m_pBrowseWidget);
    if (m_pPositionBrowseWidget)
        createAction(m_pPositionBrowseWidget);
    if (m_pPriceTBrowseWidget && m_pPriceTBrowseWidget->underlyingList())
        createAction(m_pPriceTBrowseWidget->underlyingList());
    createPriceTAction();

    CSectorManager* sectors = CSectorManager::instance();
    connect(sectors, &CSectorManager::sigSectorChanged, this, &CIndexBrowseView::slotSectorChanged);
    if (m_eBrowseType == BrowseType_Default) {
        CExternalDataManager* external = CExternalDataManager::instance();
        connect(external, &CExternalDataManager::sigDataChanged, this,
                &CIndexBrowseView::slotExternalChanged);
        connect(external, &CExternalDataManager::sigCatalogChange, this,
                &CIndexBrowseView::slotExternalCatalogChange);
    }
    updateThemeStyle();
}

CIndexBrowseView::~CIndexBrowseView()
{
    // The keyboard window outlives every panel: it must not keep a callback into this one.
    if (m_bSmartKeyboardBound)
        CSmartKeyboardDialog::instance()->clearSelectCallback(this);
    if (m_pSearchTimer)
        m_pSearchTimer->stop();
}

void CIndexBrowseView::createUi()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // 1. search row
    auto* searchRow = new XP::CWidgetList(this, Qt::Horizontal);
    searchRow->setObjectName(QStringLiteral("search_row"));
    searchRow->setFixedHeight(24);
    searchRow->setMargins(24, 0, 0, 0);
    m_pSearchEdit = new XP::CSearchTextLineEdit(searchRow);
    m_pSearchEdit->setFixedSize(200, 22);
    m_pSearchEdit->setEmptyTip(QStringLiteral("代码或名称"));
    searchRow->addWidget(m_pSearchEdit);
    searchRow->addStretch();
    layout->addWidget(searchRow);
    m_pSearchTimer = new QTimer(this);
    m_pSearchTimer->setInterval(kSearchDelayMs);
    connect(m_pSearchTimer, &QTimer::timeout, this, &CIndexBrowseView::slotSearchDelayUse);

    // 2. variety row
    m_pVarietyList = new XP::CWidgetList(this, Qt::Horizontal, 10);
    m_pVarietyList->setMargins(20, 0, 0, 0);
    m_pVarietyList->setFixedHeight(24);
    m_pVarietyList->hide();
    layout->addWidget(m_pVarietyList);

    // 3.
    layout->addSpacing(1);

    // 4. tool row
    m_pTopToolList = new XP::CWidgetList(this, Qt::Horizontal, 0);
    m_pTopToolList->setMargins(20, 0, 0, 0);
    m_pTopToolList->setFixedHeight(24);
    auto* toolGroup = new XP::CPushButtonGroup(m_pTopToolList);
    toolGroup->setBackgroundColorKey(
        getConfig()->conciseStyle ? QStringLiteral("ic_clr_concise_combinPushButton_background")
                                  : QStringLiteral("clr_main_trade_type_bar_bg"));
    m_pTopToolList->addWidget(toolGroup);
    m_pTopToolList->hide();
    layout->addWidget(m_pTopToolList);

    // 5. bond buttons
    m_pBondButtonGroup = new XP::CPushButtonGroup(this);
    m_pBondButtonGroup->setImageKey(QStringLiteral("ic_img_btn_group_left_tab"));
    m_pBondButtonGroup->setFixedHeight(22);
    m_pBondButtonGroup->setCheckable(true);
    m_pBondButtonGroup->setButtonImageKey(QStringLiteral("ic_img_btn_module_group"));
    m_pBondButtonGroup->setButtonTextColorKeys(
        QStringLiteral("tc_clr_depth_bottom_group_btn_txt_nomal"),
        QStringLiteral("tc_clr_depth_bottom_group_btn_txt_hover"),
        QStringLiteral("tc_clr_depth_bottom_group_btn_txt_press"),
        QStringLiteral("tc_clr_depth_bottom_group_btn_txt_disable"));
    m_pBondButtonGroup->addSpacing(10);
    m_pBondButtonGroup->addButton(1, QStringLiteral("可转债"), 80, 22);
    m_pBondButtonGroup->addButton(2, kNewBondSector, 80, 22);
    m_pBondButtonGroup->addStretch();
    m_pBondButtonGroup->setChecked(1);
    m_pBondButtonGroup->hide();
    layout->addWidget(m_pBondButtonGroup);

    // 6. the draggable list: the split container with the main table and the lower pane
    m_pDragList = new XP::CWidgetList(this, Qt::Vertical, 0);
    m_pSplitContainer = new XP::CSplitButtonContainer(m_pDragList, Qt::Vertical);
    m_pSplitContainer->setMaxLengths(2000, 300);
    m_pBrowseWidget = new CBrowseWidget(m_pSplitContainer, false, m_eBrowseType, kMainTableId);
    m_pBrowseWidget->setDefaultColumnLock(true);
    m_pBrowseWidget->setCurSelDrawBackground(true);

    m_pSubPanel = new XP::CWidgetList(m_pSplitContainer, Qt::Vertical, 0);
    auto* title = new XP::CWidgetList(m_pSubPanel, Qt::Horizontal, 0);
    title->setBackgroundColorKey(QStringLiteral("tc_clr_depth_bottom_group_btn_group_bg"));
    m_pSubTitle = new XP::CSimpleTextWidget(title);
    title->addWidget(m_pSubTitle);
    title->addStretch();
    auto* close = new XP::CPushButtonGroup(title);
    close->setButtonImageKey(QStringLiteral("img_sys_btn_exit"));
    close->addButton(0, QString());
    title->addWidget(close);
    m_pSubPanel->addWidget(title);
    m_pSubBrowseWidget = new CBrowseWidget(m_pSubPanel, false, BrowseType_Default, kSubTableId);
    m_pSubBrowseWidget->setDefaultColumnLock(true);
    m_pSubBrowseWidget->setCurSelDrawBackground(true);
    m_pSubPanel->addWidget(m_pSubBrowseWidget, true);
    int paneHeight = 500;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        paneHeight = std::min(500, int(std::lround(screen->availableGeometry().height() / 3.15)));

    m_pSplitContainer->setWidgets(m_pBrowseWidget, m_pSubPanel);
    m_pSplitContainer->setSecondLength(paneHeight);
    m_pSplitContainer->setSplitColorKey(QStringLiteral("ic_clr_mainwindow_split_background"));
    m_pSplitContainer->closeSplit();
    m_pSplitContainer->setHandleVisible(false);
    m_pSubPanel->hide();
    m_pDragList->addWidget(m_pSplitContainer, true);
    layout->addWidget(m_pDragList, 1);

    // 7. position table and option board, for the main kind of the full client only
    if (getConfig()->clientType != 3 && m_eBrowseType == BrowseType_Default) {
        m_pPositionBrowseWidget = new CPositionBrowseWidget(this);
        m_pPositionBrowseWidget->hide();
        layout->addWidget(m_pPositionBrowseWidget, 1);
        m_pPriceTBrowseWidget = new CPriceTBrowseWidget(this);
        m_pPriceTBrowseWidget->hide();
        layout->addWidget(m_pPriceTBrowseWidget, 1);
    }

    // 8. sector bar
    m_pSectorTabControl = new CPushButtonTabControl(this);
    layout->addWidget(m_pSectorTabControl);
    updateSectorButtonControl();
    connect(CSectorManager::instance(), &CSectorManager::sigSectorInited, this,
            &CIndexBrowseView::slotSectorInited);
    m_pCurBrowser = getCurrentBrowser(m_pCurSector, &m_nCurBrowserKind);
}

void CIndexBrowseView::updateSectorButtonControl()
{
    m_pSectorTabControl->clear();
    CCombinPushButton* multi = m_pSectorTabControl->addButton(QStringLiteral("多股查看"),
                                                              QStringLiteral("ic_img_combin_btn"));
    multi->addItem(QStringLiteral("2 x 2"), 0);
    multi->addItem(QStringLiteral("3 x 3"), 1, nullptr, true);
    multi->addItem(QStringLiteral("4 x 4"), 2);
    multi->addItem(QStringLiteral("4 x 2"), 3);

    CSectorDetail* root = CSectorManager::instance()->getRoot();
    if (!root)
        return;
    for (CSectorDetail* child : root->getChildren()) {
        if (!child)
            continue;
        CCombinPushButton* button = m_pSectorTabControl->addButton(child->getName());
        button->setCurText(child->getName());
        createSectorMenu(child, button, nullptr);
        if (child->getType() == eSectorExternal) // its drop-down lists the data sets
            createExternalBtnMenu(CExternalDataManager::instance()->getRootCatalog(), button,
                                  nullptr);
    }
    if (!m_pCurSector && !root->getChildren().isEmpty())
        m_pCurSector = root->getChildren().first();
}

// --- choosing and filling ---------------------------------------------------------------

CBrowseWidget* CIndexBrowseView::getCurrentBrowser(CSectorDetail* sector, int* kind) const
{
    int k = KindMain;
    CBrowseWidget* table = m_pBrowseWidget;
    if (sector) {
        const QString& name = sector->getName();
        if (m_pPositionBrowseWidget && CSectorManager::instance()->isPositionSector(name)) {
            k = KindPosition;
            table = m_pPositionBrowseWidget;
        } else if (m_pPriceTBrowseWidget && name == kPriceTSector
                   && m_pPriceTBrowseWidget->underlyingList()) {
            k = KindPriceT;
            table = m_pPriceTBrowseWidget->underlyingList();
        }
    }
    if (kind)
        *kind = k;
    return table;
}

void CIndexBrowseView::getSectorStockList(InstrumentList& list, CSectorDetail* sector) const
{
    if (!sector)
        return;
    CSectorManager* manager = CSectorManager::instance();
    for (CSectorDetail* child : sector->getChildren()) {
        if (!child)
            continue;
        if (child->hasChildren())
            getSectorStockList(list, child);
        else
            list.append(manager->getSectorStockList(child->getName()));
    }
}

void CIndexBrowseView::filterStockList(InstrumentList& list) const
{
    if (!m_pSearchEdit)
        return;
    const QString text = m_pSearchEdit->text().toUpper();
    if (text.isEmpty())
        return;
    // Prepared once per keystroke; names carry their initials from the catalogue, so a
    // test per instrument allocates nothing.
    const CPinyinKey key(text);
    const auto rejected = [&](const InstrumentPtr& detail) {
        if (!detail)
            return true;
        if (detail->code.contains(text) || key.matches(detail->code) || detail->name.contains(text))
            return false;
        return !(detail->nameInitials.isEmpty() ? key.matches(detail->name)
                                                : key.matches(detail->nameInitials));
    };
    // Compacts in place: the kept entries stay in order and no list node is allocated.
    list.erase(std::remove_if(list.begin(), list.end(), rejected), list.end());
}

QString CIndexBrowseView::sectorKey(const QString& sectorName) const
{
    if (!sectorName.isEmpty() && CSectorManager::instance()->isPositionSector(sectorName))
        return QString::number(positionAccountType(sectorName));
    return sectorName;
}

int CIndexBrowseView::positionAccountType(const QString& sectorName)
{
    return CSectorManager::instance()->getPositionAccountType(sectorName);
}

void CIndexBrowseView::storeLeavingState()
{
    if (m_eBrowseType != BrowseType_Default || !m_pCurBrowser)
        return;
    const QString key = sectorKey(m_pCurBrowser->getSectorName());
    // A table that never showed a sector has nothing worth keeping.
    if (!key.isEmpty())
        m_mapSectorParams[m_nCurBrowserKind][key] = m_pCurBrowser->param(false);
    m_mapCustomColumnParam[m_nCurBrowserKind] = m_pCurBrowser->getCustomColumnParam();
}

// --- the sector switch ------------------------------------------------------------------

void CIndexBrowseView::setSector(const QString& name)
{
    updateTopToolWidget(name);
    setSector(CSectorManager::instance()->getSector(name));
}

void CIndexBrowseView::setSector(CSectorDetail* sector)
{
    if (!sector)
        return;
    const QString name = sector->getName();

    // 1. lower pane
    if (m_pSplitContainer) {
        const bool indexChild =
            sector->getParent() && sector->getParent()->getName() == kSectorIndexParent;
        if (!m_bSubPanelPending && (!indexChild || m_pSubPanel->isVisible()))
            m_bLastShow = m_pSplitContainer->isSplitOpen();
        m_pSplitContainer->setHandleVisible(false);
        m_pSplitContainer->closeSplit();
        m_pSubPanel->hide();
    }
    // 2.
    TT_LOG_WARN(kLogSwitch, "TC::CIndexBrowseView::setSector", name);
    // 3.
    if (m_pCurBrowser)
        m_pCurBrowser->resetBrowserStatus();
    // 4.
    storeLeavingState();
    // 5.
    m_pCurBrowser = getCurrentBrowser(sector, &m_nCurBrowserKind);
    setBrowseWidgetVisiable(name);
    // 6. sector bar
    if (CSectorDetail* top = topLevelOf(sector)) {
        if (CCombinPushButton* button = m_pSectorTabControl->buttonByRootText(top->getName())) {
            button->setCurText(name);
            m_pSectorTabControl->setCurrentButton(button);
        }
    }
    // 7. instruments
    InstrumentList list;
    if (sector->hasChildren())
        getSectorStockList(list, sector);
    else
        list = CSectorManager::instance()->getSectorStockList(name);
    // 8.
    CBrowseWidget* table = m_pCurBrowser;
    table->unrequest();
    table->openAndCloseDrag(sector->isEditable());
    // 9.
    if (m_eBrowseType == BrowseType_Default) {
        table->setSectorName(name);
        table->resetTableColumn();
        const auto custom = m_mapCustomColumnParam.find(m_nCurBrowserKind);
        table->setCustomColumnParam(custom == m_mapCustomColumnParam.end() ? QString()
                                                                           : custom->second);
    }
    // 10.
    m_pCurSector = sector;
    TT_LOG_WARN(kLogStocks, "TC::CIndexBrowseView::setSector", list.size());

    if (m_nCurBrowserKind == KindPriceT) {
        // 11. the option board lists the underlyings of its category
        filterStockList(list);
        table->setStockList(
            CPriceTBrowseWidget::filterUnderlyings(list, m_pPriceTBrowseWidget->category()), true);
    } else {
        // 12. futures filters
        bool wantVarieties = true;
        applyFuturesFilters(sector, list, &wantVarieties);
        // 13.
        filterStockList(list);
        const bool exchange = isExchangeSector(name);
        m_pTopToolList->setVisible(exchange && wantVarieties);
        table->setStockList(list, true);
        if (exchange && wantVarieties)
            updateVarietyToolWidget(list, name);
    }
    // 14. the layout this table had when the sector was last left
    if (m_eBrowseType == BrowseType_Default) {
        const auto kind = m_mapSectorParams.find(m_nCurBrowserKind);
        if (kind != m_mapSectorParams.end()) {
            const auto stored = kind->second.find(sectorKey(name));
            if (stored != kind->second.end())
                table->setParam(stored->second, false);
        }
    }
    // 15.
    if (isVisible())
        requestCurrent();
    else
        TT_LOG_INFO("browser widget not visible, don't request");
    // 16.
    changeAction();
    if (m_pCurBrowser)
        m_pCurBrowser->updateExtendIndex();
    setPositionColumnVisible(name);
}

void CIndexBrowseView::requestCurrent()
{
    if (m_pCurSector && m_pCurSector->getName() == kCustomIndexSector)
        m_pBrowseWidget->requestLastIndex();
    else if (m_pCurBrowser)
        m_pCurBrowser->request();
}

CSectorDetail* CIndexBrowseView::liveCurrentSector()
{
    if (!m_pCurSector)
        return nullptr;
    // By name: the host may have rebuilt its tree, and a removed sector is found no more.
    // The look-up itself may rebuild the tree, and the view follows the new tree then.
    CSectorDetail* const before = m_pCurSector;
    CSectorDetail* found = CSectorManager::instance()->getSector(before->getName());
    if (m_pCurSector == before)
        m_pCurSector = found;
    return m_pCurSector;
}

void CIndexBrowseView::resetCurrentSector()
{
    if (CSectorDetail* sector = liveCurrentSector())
        setSector(sector);
    else if (CSectorDetail* user = CSectorManager::instance()->getUserSector())
        setSector(user);
}

QString CIndexBrowseView::getCurrentSector() const
{
    return m_pCurSector ? m_pCurSector->getName() : QString();
}

// --- panel ------------------------------------------------------------------------------

void CIndexBrowseView::request(bool)
{
    requestCurrent();
}

void CIndexBrowseView::unrequest()
{
    if (m_pCurBrowser)
        m_pCurBrowser->unrequest();
}

void CIndexBrowseView::clear(bool)
{
    if (m_pCurBrowser)
        m_pCurBrowser->clearContent();
}

QString CIndexBrowseView::getStock()
{
    return m_pCurBrowser ? m_pCurBrowser->getStock() : QString();
}

void CIndexBrowseView::setCurrentTradeDateFunc(boost::function<int()> getter)
{
    CIndexPanelBaseWidget::setCurrentTradeDateFunc(getter);
    for (CBrowseWidget* table : {m_pBrowseWidget, m_pSubBrowseWidget, m_pNewBondBrowseWidget,
                                 static_cast<CBrowseWidget*>(m_pPositionBrowseWidget)})
        if (table)
            table->setGetTradeDateFunc(getter);
    if (m_pPriceTBrowseWidget)
        m_pPriceTBrowseWidget->setGetTradeDateFunc(getter);
}

// --- instruments ------------------------------------------------------------------------

void CIndexBrowseView::setStock(const QString& code)
{
    if (!m_pCurBrowser || code.isEmpty())
        return;
    QString key = code;
    const QList<QString> shown = m_pCurBrowser->getStockList();
    if (!shown.contains(key)) {
        const ttservice::CInstrumentDetailPtr detail =
            CStockManager::instance()->getInstrumentDetail(code);
        if (!detail)
            return; // the catalogue does not know it: nothing to add or look for
        key = detail->key;
    }
    CSectorManager* sectors = CSectorManager::instance();
    if (!shown.contains(key) && m_pCurSector) {
        if (m_pCurSector->isSystem()) {
            const QStringList names = sectors->getStockSectorNames(key);
            if (!names.isEmpty())
                setSector(names.first());
        } else if (m_pCurSector->isEditable()) {
            if (sectors->addStockToSector(m_pCurSector->getName(), key))
                SingletonManager::getIndexUserConfig()->save();
            m_pCurBrowser->resort();
            request(false);
        }
    }
    m_pCurBrowser->setStock(key);
    if (m_pCurSector)
        setBrowseWidgetVisiable(m_pCurSector->getName());
}

void CIndexBrowseView::onSelectStock(const CStockInfo& info, ESmartKeyType type)
{
    if (type != eSmartKeyStock)
        return;
    const QString key = info.key.isEmpty() ? info.code : info.key;
    if (getStockList().contains(key))
        setStock(key);
}

void CIndexBrowseView::setStockListByIndex(const InstrumentList& list)
{
    if (!m_pCurBrowser)
        return;
    m_pCurBrowser->unrequest();
    m_pCurBrowser->openAndCloseDrag(false);
    TT_LOG_WARN(kLogStocks, "TC::CIndexBrowseView::setStockListByIndex", list.size());
    InstrumentList filtered = list;
    filterStockList(filtered);
    m_pCurBrowser->setStockList(filtered, true);
    m_pCurBrowser->request();
}

// --- forwarders -------------------------------------------------------------------------

QList<QString> CIndexBrowseView::getStockList()
{
    return m_pCurBrowser ? m_pCurBrowser->getStockList() : QList<QString>();
}

QStringList CIndexBrowseView::getSelectStocks()
{
    QStringList out;
    if (m_pBrowseWidget)
        for (const QString& key : m_pBrowseWidget->getSelectStocks())
            out.append(key);
    return out;
}

int CIndexBrowseView::getStartIndex()
{
    return m_pCurBrowser ? m_pCurBrowser->getStartIndex() : 0;
}

QString CIndexBrowseView::getStartIndexStock()
{
    return m_pCurBrowser ? m_pCurBrowser->getStartStock() : QString();
}

void CIndexBrowseView::sortByPreParam(int column, int order)
{
    if (m_pBrowseWidget)
        m_pBrowseWidget->sortByPreParam(column, order);
}

void CIndexBrowseView::getPreSortParam(int& column, int& order)
{
    if (m_pCurBrowser)
        m_pCurBrowser->getSortParam(column, order);
}

void CIndexBrowseView::sortByRate()
{
    if (m_pCurBrowser)
        m_pCurBrowser->sortByRate();
}

void CIndexBrowseView::setSelectRow(int row)
{
    if (m_pCurBrowser)
        m_pCurBrowser->setSelectRow(row);
}

void CIndexBrowseView::setPanelFocus()
{
    if (m_pCurBrowser)
        m_pCurBrowser->setPanelFocus();
}

void CIndexBrowseView::setHighLightStocks(const QMap<QString, int>& stocks)
{
    if (!m_pCurBrowser)
        return;
    QMap<QString, ttservice::CInstrumentDetailPtr> details;
    CStockManager* manager = CStockManager::instance();
    for (auto it = stocks.cbegin(); it != stocks.cend(); ++it)
        if (ttservice::CInstrumentDetailPtr detail = manager->getInstrumentDetail(it.key()))
            details.insert(detail->key, detail);
    m_pCurBrowser->setHighLightStocks(details);
}

void CIndexBrowseView::setIsResetSelectStock(bool reset)
{
    if (m_pCurBrowser)
        m_pCurBrowser->setIsResetSelectStock(reset);
}

void CIndexBrowseView::setSpeedValue(const QMap<QString, double>& values)
{
    if (m_pCurBrowser)
        m_pCurBrowser->setSpeedValue(values);
}

void CIndexBrowseView::resetBrowserStatus()
{
    if (m_pCurBrowser)
        m_pCurBrowser->resetBrowserStatus();
}

void CIndexBrowseView::updateExtendIndex()
{
    if (m_pCurBrowser)
        m_pCurBrowser->updateExtendIndex();
}

void CIndexBrowseView::addStageColumn(const QString& setting)
{
    if (m_pBrowseWidget)
        m_pBrowseWidget->addStageColumn(setting);
}

void CIndexBrowseView::updateStageColumn()
{
    if (m_pBrowseWidget)
        m_pBrowseWidget->updateStageColumn();
}

void CIndexBrowseView::addSpeedColumn()
{
    if (!m_pBrowseWidget)
        return;
    ColumnInfo column;
    column.formulaName = QStringLiteral("星空图涨速");
    column.title = QStringLiteral("涨速");
    column.lineIndex = 0;
    column.columnId = -1;
    column.precision = -3;
    m_pBrowseWidget->addSpeedColumn(column);
}

void CIndexBrowseView::setCurSelectCode(const QString& code)
{
    if (!m_pBrowseWidget || m_pBrowseWidget->currentCode() == code)
        return;
    if (code.startsWith(QLatin1String("BKZS")))
        setBKZSSector(code);
    m_pBrowseWidget->setCurSelectCode(code);
}

QString CIndexBrowseView::getAccountList()
{
    if (!m_pCurBrowser)
        return QString();
    const QMultiMap<QString, QString> accounts = m_pCurBrowser->getAccountList();
    QStringList out;
    for (auto it = accounts.cbegin(); it != accounts.cend(); ++it)
        out.append(it.key() + QLatin1Char(':') + it.value());
    return out.join(QLatin1Char(','));
}

QString CIndexBrowseView::getNoRepetionAccountList()
{
    if (!m_pCurBrowser)
        return QString();
    QStringList out;
    for (const QString& account : m_pCurBrowser->getNoRepetionAccountList())
        if (!out.contains(account))
            out.append(account);
    return out.join(QLatin1Char(','));
}

QString CIndexBrowseView::getApplyFormulaAccount()
{
    return m_pCurBrowser ? m_pCurBrowser->getApplyFormulaAccount() : QString();
}

void CIndexBrowseView::loadAccounts()
{
    if (m_pPositionBrowseWidget)
        m_pPositionBrowseWidget->loadAccounts();
}

void CIndexBrowseView::operationAccount(int operation, const std::string& account)
{
    if (m_pPositionBrowseWidget)
        m_pPositionBrowseWidget->operationAccount(operation, QString::fromStdString(account));
}

void CIndexBrowseView::updatePositionDatas()
{
    if (m_pPositionBrowseWidget)
        m_pPositionBrowseWidget->updatePositionDatas();
}

// --- host sector events -----------------------------------------------------------------

void CIndexBrowseView::slotSectorChanged(int kind, QString sector, QString name)
{
    CSectorManager* manager = CSectorManager::instance();
    switch (kind) {
    case CSectorManager::eStocksChanged: {
        if (!m_pCurSector || sector != m_pCurSector->getName())
            return;
        CSectorDetail* current = liveCurrentSector();
        InstrumentList list;
        if (current && current->hasChildren())
            getSectorStockList(list, current);
        else if (current)
            list = manager->getSectorStockList(sector);
        m_pBrowseWidget->updateStockList(list);
        if (isVisible()) {
            if (m_pCurBrowser)
                m_pCurBrowser->unrequest();
            request(false);
        }
        return;
    }
    case CSectorManager::eSectorAdded:
    case CSectorManager::eSectorRemoved:
    case CSectorManager::eSectorRenamed: {
        if (CCombinPushButton* mine = m_pSectorTabControl->buttonByRootText(kUserGroup)) {
            mine->clearMenu();
            createSectorMenu(manager->getSector(kUserGroup), mine, nullptr);
            if (kind == CSectorManager::eSectorRemoved)
                mine->setCurText(kRemovedText);
            else if (kind == CSectorManager::eSectorRenamed)
                mine->setCurText(name);
        }
        updateAction();
        if (kind == CSectorManager::eSectorRenamed && m_pCurSector
            && m_pCurSector->getName() == name && m_pCurBrowser) {
            // The shown sector was renamed: its layouts follow the new name.
            m_pCurBrowser->setSectorName(name);
            for (auto& perKind : m_mapSectorParams) {
                const auto it = perKind.second.find(sector);
                if (it != perKind.second.end()) {
                    perKind.second[name] = it->second;
                    perKind.second.erase(sector);
                }
            }
        } else if (kind == CSectorManager::eSectorRemoved && m_pCurSector
                   && m_pCurSector->getName() == sector) {
            // The shown sector is gone: show the user's first list rather than rows of a
            // list that no longer exists.
            m_pCurSector = nullptr;
            resetCurrentSector();
        }
        return;
    }
    default: return;
    }
}

void CIndexBrowseView::slotSectorInited()
{
    CSectorDetail* root = CSectorManager::instance()->getRoot();
    if (!root)
        return;
    // The tree may be new: the shown sector is looked up again by name.
    const QString shown = m_pCurSector ? m_pCurSector->getName() : QString();
    CSectorDetail* fresh = shown.isEmpty() ? nullptr : CSectorManager::instance()->getSector(shown);
    const bool vanished = m_pCurSector && !fresh;
    m_pCurSector = fresh;
    const QList<CSectorDetail*>& children = root->getChildren();
    if (!m_pCurSector && !children.isEmpty() && !vanished)
        m_pCurSector = children.first();
    for (CSectorDetail* child : children) {
        if (!child || !child->hasChildren())
            continue;
        if (CCombinPushButton* button = m_pSectorTabControl->buttonByRootText(child->getName())) {
            button->clearMenu();
            createSectorMenu(child, button, nullptr);
            updateAction();
        }
    }
    if (vanished && !children.isEmpty())
        setSector(children.first());
}

// --- search -----------------------------------------------------------------------------

void CIndexBrowseView::slotSearchDelayUse()
{
    m_pSearchTimer->stop();
    if (CSectorDetail* sector = liveCurrentSector())
        setSector(sector);
}

// --- host events ------------------------------------------------------------------------

bool CIndexBrowseView::handleEvent(int id, int a, int b, const QString& text, void* p)
{
    switch (id) {
    case XP::EV_BUTTON_CLICKED:
        if (a == 0) {
            closeSubPanel();
        } else if (a == 1) {
            m_pBrowseWidget->show();
            if (m_pNewBondBrowseWidget) {
                m_pNewBondBrowseWidget->hide();
                m_pNewBondBrowseWidget->unrequest();
            }
        } else if (a == 2) {
            showNewBondTable();
        } else if (a >= kFirstSectorButtonId && a <= kLastSectorButtonId) {
            // A switch of a visible view requests by itself; a hidden one requests nothing.
            if (CSectorManager::instance()->getSector(text))
                setSector(text);
        } else if (a >= kFirstVarietyButtonId && a <= kLastVarietyButtonId) {
            jumpToVariety(text);
        }
        return true;
    case Event_SelectStock: {
        const QString& code = text;
        if (!m_pCurSector) {
            deliverEvent(Event_SelectInSector, 4, b, code, nullptr);
            m_pBrowseWidget->setCurStock(code);
        } else if (m_nCurBrowserKind == KindPriceT) {
            m_pCurBrowser->setCurStock(code);
        } else {
            if (code.startsWith(QLatin1String("BKZS")))
                setBKZSSector(code);
            const bool fromLower = p && p == static_cast<void*>(m_pSubBrowseWidget);
            deliverEvent(Event_SelectInSector, m_pCurSector ? m_pCurSector->sectorType() : 4, 0,
                         code, fromLower ? this : nullptr);
            m_pBrowseWidget->setCurStock(code);
        }
        if (a == kSubTableId)
            m_bSubRowActivated = true;
        return true;
    }
    case Event_RangeSelect: m_pBrowseWidget->showAllSelection(); return true;
    case Event_DoubleSelectStock:
        if (m_pCurSector)
            deliverEvent(Event_DoubleClickSector, m_pCurSector->sectorType(), 0, text, p);
        else
            deliverEvent(Event_DoubleClickSector, 4, b, text, p);
        return true;
    case XP::EV_CHECKBOX_TOGGLED:
        if (a >= FilterOptionArbitrage && a <= FilterMainOnly) {
            resetCurrentSector();
            save();
        }
        return true;
    case 100:
    case 165: slotSearchDelayUse(); return true;
    case XP::EV_SEARCH_TEXT_CHANGED:
        if (text.isEmpty()) {
            m_pSearchTimer->stop();
            if (CSectorDetail* sector = liveCurrentSector())
                setSector(sector);
        } else {
            m_pSearchTimer->start(kSearchDelayMs);
        }
        return true;
    case CCombinPushButton::eEvNavigate:
        updateTopToolWidget(text);
        switch (a) {
        case 0: deliverEvent(Event_MultiLayout, 2, 2, QString()); break;
        case 1: deliverEvent(Event_MultiLayout, 3, 3, QString()); break;
        case 2: deliverEvent(Event_MultiLayout, 4, 4, QString()); break;
        case 3: deliverEvent(Event_MultiLayout, 4, 2, QString()); break;
        case 4: break;
        case 5: setExternal(text); break;
        default:
            if (CExternalDataManager::instance()->isExist(text))
                setExternal(text);
            else if (CSectorManager::instance()->isPositionSector(text))
                setPositionSector(text, QSet<QString>(), false, true);
            else
                setSector(text);
            break;
        }
        return false;
    case Event_TableStock:
        CIndexMainWindowHelper::inst()->handleText(text);
        m_pBrowseWidget->showCurSelection();
        return false;
    case Event_PositionAccount:
        if (m_pCurSector)
            deliverEvent(Event_PositionAccount, m_pCurSector->sectorType(), 0, text, p);
        else
            deliverEvent(Event_PositionAccount, 4, b, text, p);
        return true;
    case Event_SectorCommand: {
        CBrowseWidget* table = m_pCurBrowser;
        if (p) {
            table = ownTable(p);
            if (!table)
                return true; // not one of this view's tables: never dereferenced
        }
        onTableCommand(table, b);
        return true;
    }
    default: return XP::CBaseWidget::handleEvent(id, a, b, text, p);
    }
}

CBrowseWidget* CIndexBrowseView::ownTable(const void* p) const
{
    const CBrowseWidget* tables[] = {
        m_pBrowseWidget, m_pSubBrowseWidget, m_pNewBondBrowseWidget, m_pPositionBrowseWidget,
        m_pPriceTBrowseWidget ? m_pPriceTBrowseWidget->underlyingList() : nullptr};
    for (const CBrowseWidget* table : tables)
        if (table && static_cast<const void*>(table) == p)
            return const_cast<CBrowseWidget*>(table);
    return nullptr;
}

void CIndexBrowseView::onTableCommand(CBrowseWidget* table, int command)
{
    if (!table || command < 0 || command > 6)
        return;
    // The command runs on the table that asked; the current table (and with it the
    // kind whose layout a switch saves) is put back afterwards.
    QPointer<CIndexBrowseView> self(this);
    CBrowseWidget* previous = m_pCurBrowser;
    m_pCurBrowser = table;
    switch (command) {
    case 0: slotEditIndex(); break;
    case 1: slotExportIndex(); break;
    case 2: slotRemoveStockFromSector(); break;
    case 3: slotSelectCustomIndex(); break;
    case 4: slotRemoveFromOAExternal(); break;
    case 5: slotImportExternalCustomTpl(); break;
    case 6: slotExportExternalCustomTpl(); break;
    default: break;
    }
    if (self && m_pCurBrowser == table)
        m_pCurBrowser = previous;
}

void CIndexBrowseView::setMultiViewShown(bool shown)
{
    if (m_pMultiView) {
        m_pMultiView->setVisible(shown);
        if (shown)
            m_pMultiView->request(false);
        else
            m_pMultiView->unrequest();
    }
    m_pSubBrowseWidget->setVisible(!shown || !m_pMultiView);
}

void CIndexBrowseView::closeSubPanel()
{
    if (!m_bSubPanelPending)
        m_bLastShow = m_pSplitContainer->isSplitOpen();
    m_pSplitContainer->setHandleVisible(false);
    m_pSplitContainer->closeSplit();
    m_pSubPanel->hide();
    setMultiViewShown(false);
    m_pSubBrowseWidget->show();
    m_bSubRowActivated = false;
}

void CIndexBrowseView::showNewBondTable()
{
    m_pBrowseWidget->hide();
    if (!m_pNewBondBrowseWidget) {
        m_pNewBondBrowseWidget =
            new CBrowseWidget(m_pDragList, false, BrowseType_Default, kMainTableId);
        m_pNewBondBrowseWidget->setDefaultColumnLock(true);
        m_pNewBondBrowseWidget->setCurSelDrawBackground(true);
        if (currentTradeDateFunc())
            m_pNewBondBrowseWidget->setGetTradeDateFunc(currentTradeDateFunc());
        m_pDragList->addWidget(m_pNewBondBrowseWidget, true);
    }
    CBrowseWidget* table = m_pNewBondBrowseWidget;
    InstrumentList list = CSectorManager::instance()->getSectorStockList(kNewBondSector);
    table->unrequest();
    const QString param = table->param(false);
    const QString custom = table->getCustomColumnParam();
    table->setSectorName(kNewBondSector);
    table->resetTableColumn();
    table->setParam(param, false);
    table->setCustomColumnParam(custom);
    filterStockList(list);
    table->setStockList(list, true);
    table->request();
    table->show();
}

// --- keys -------------------------------------------------------------------------------

void CIndexBrowseView::keyPressEvent(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (m_bSubRowActivated && m_pSubPanel && !m_pSubPanel->isHidden()) {
        if (ctrl && event->key() == Qt::Key_M) {
            createMultiView();
            setMultiViewShown(true);
            event->accept();
        } else if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Backspace) {
            setMultiViewShown(false);
            event->accept();
        } else {
            QWidget::keyPressEvent(event);
        }
        return;
    }
    if (!m_bSmartKeyboard) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (!ctrl && XP::isKeyCharOrNum(event->key())) {
        CSmartKeyboardDialog* keyboard = CSmartKeyboardDialog::instance();
        QPointer<CIndexBrowseView> guard(this);
        keyboard->setSelectCallback(this, [guard](const CStockInfo& info, ESmartKeyType type) {
            if (guard)
                guard->onSelectStock(info, type);
        });
        m_bSmartKeyboardBound = true;
        keyboard->setTitle(QStringLiteral("选择品种"));
        keyboard->setKeyEvent(event, parentWidget());
        keyboard->show();
        event->accept();
    }
    if ((ctrl && event->key() == Qt::Key_Z) || event->key() == Qt::Key_Insert) {
        event->accept();
        QPointer<CIndexBrowseView> self(this);
        QPointer<CAddSelfStockDialog> dialog = new CAddSelfStockDialog(getSelectStocks(), this);
        dialog->exec();
        // The view may have gone while the dialog ran (it takes the dialog with it).
        if (!self)
            return;
        delete dialog.data();
    }
}

void CIndexBrowseView::keyReleaseEvent(QKeyEvent* event)
{
    QWidget::keyReleaseEvent(event);
}

} // namespace TC
