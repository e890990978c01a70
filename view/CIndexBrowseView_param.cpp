// The view's layout string, which table shows a sector, the open-interest column, the
// lower pane's grid of instruments, and the view's switches and theme.
#include "view/CIndexBrowseView.h"

#include "browse/CBrowseWidget.h"
#include "host/data/ExternalDataManager.h"
#include "host/data/IndexUserConfig.h"
#include "host/data/JsonParam.h"
#include "host/data/Log.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/toolkit/CheckBox.h"
#include "host/toolkit/Menu.h"
#include "host/toolkit/PushButton.h"
#include "host/toolkit/PushButtonGroup.h"
#include "host/toolkit/SearchTextLineEdit.h"
#include "host/toolkit/SplitButtonContainer.h"
#include "host/toolkit/StyleSheetCenter.h"
#include "host/toolkit/WidgetList.h"
#include "host/widgets/CIndexMultiView.h"
#include "host/widgets/CPushButtonTabControl.h"
#include "position/CPositionBrowseWidget.h"
#include "pricet/CPriceTBrowseWidget.h"

#include <QSignalBlocker>
#include <QTimer>

namespace TC {

namespace {

const QString kDefaultSector = QStringLiteral("沪深A股");
const QString kPriceTSector = QStringLiteral("T型报价板");
const QString kDomesticFutures = QStringLiteral("内盘期货板块");
const QString kOptions = QStringLiteral("期权板块");
const QString kMySectors = QStringLiteral("我的");
// the base quote column "持仓"
constexpr int kOpenInterestColumn = 12;
constexpr int kMultiViewGrid = 3;

// Which fields of the string pair up keys with table strings, per table kind.
struct SectorParamFields {
    int kind;
    const char* keys;
    const char* params;
    const char* share;
};
const SectorParamFields kMainFields{CIndexBrowseView::KindMain, "sectorKeys", "sectorParams",
                                    "shareBrowseParam"};
const SectorParamFields kPositionFields{CIndexBrowseView::KindPosition, "sectorKeys_position",
                                        "sectorParams_position", "shareBrowseParam_position"};

bool member(const JsonObject& o, const char* key, JsonType want, const char* wantName)
{
    const JsonType type = o.type(key);
    if (type == JsonType::Missing)
        return false;
    if (type != want) {
        TT_LOG_WARN("[browse view setParam] member %1% is not %2%: skipped", key, wantName);
        return false;
    }
    return true;
}

bool stringMember(const JsonObject& o, const char* key, QString& out)
{
    if (!member(o, key, JsonType::String, "a string"))
        return false;
    out = o.getQString(key);
    return true;
}

// The stored layouts of one kind, as key and parameter arrays in key order.
void writeSectorParams(JsonBuilder& out, const SectorParamFields& fields,
                       const std::map<int, std::map<QString, QString>>& all,
                       const std::map<int, QString>& shared)
{
    QStringList keys, params;
    const auto byKind = all.find(fields.kind);
    if (byKind != all.end()) {
        for (const auto& entry : byKind->second) {
            keys.append(entry.first);
            params.append(entry.second);
        }
    }
    out.appendStringArray(fields.keys, keys);
    out.appendStringArray(fields.params, params);
    const auto share = shared.find(fields.kind);
    out.appendString(fields.share, share != shared.end() ? share->second : QString());
}

// Pairs keys with table strings by position, up to the shorter array; a pair with an
// entry of another type is skipped.
std::map<QString, QString> readSectorParams(const JsonObject& o, const SectorParamFields& fields)
{
    std::map<QString, QString> out;
    const bool hasKeys = member(o, fields.keys, JsonType::Array, "an array");
    const bool hasParams = member(o, fields.params, JsonType::Array, "an array");
    if (!hasKeys || !hasParams)
        return out;
    const JsonArray keys = o.getArray(fields.keys);
    const JsonArray params = o.getArray(fields.params);
    if (keys.size() != params.size())
        TT_LOG_WARN("[browse view setParam] %1% has %2% entries, %3% has %4%: %5% pairs used",
                    fields.keys, keys.size(), fields.params, params.size(),
                    std::min(keys.size(), params.size()));
    const int n = std::min(keys.size(), params.size());
    for (int i = 0; i < n; ++i) {
        if (keys.type(i) != JsonType::String || params.type(i) != JsonType::String) {
            TT_LOG_WARN("[browse view setParam] %1%[%2%] is not a pair of strings: skipped",
                        fields.keys, i);
            continue;
        }
        const QString key = keys.getQString(i);
        if (!key.isEmpty())
            out[key] = params.getQString(i);
    }
    return out;
}

// The child of the root above a sector (the sector itself when it is one).
CSectorDetail* topLevelSector(CSectorDetail* sector)
{
    while (sector && sector->getParent() && sector->getParent()->getParent())
        sector = sector->getParent();
    return sector;
}

} // namespace

// --- the layout string ---------------------------------------------------------------

QString CIndexBrowseView::param(bool save)
{
    // the current table's state, as leaving the sector would store it
    QString currentParam;
    const bool stored = m_eBrowseType == BrowseType_Default && m_pCurBrowser;
    if (stored) {
        currentParam = m_pCurBrowser->param(save);
        storeParam(m_nCurBrowserKind, sectorKey(m_pCurBrowser->getSectorName()), currentParam);
        m_mapCustomColumnParam[m_nCurBrowserKind] = m_pCurBrowser->getCustomColumnParam();
    }

    // an external data set is shown without being a sector of the tree
    QString current = m_pCurSector ? m_pCurSector->getName() : QString();
    if (m_pCurBrowser && m_pCurBrowser == m_pBrowseWidget
        && m_pBrowseWidget->getBrowserStatus() == BrowseStatus_External)
        current = m_pBrowseWidget->getSectorName();
    JsonBuilder out;
    out.appendString("currentSector", current);
    JsonBuilder bar;
    if (m_pSectorTabControl) {
        QSet<QString> written;
        for (CCombinPushButton* button : m_pSectorTabControl->buttons()) {
            const QString root = button->rootText();
            if (written.contains(root))
                continue;
            written.insert(root);
            bar.appendString(root.toStdString(), button->curText());
        }
    }
    out.appendObject("sectorList", bar.obj());
    out.appendString("browsewidgetparam",
                     m_pBrowseWidget ? m_pBrowseWidget->param(false) : QString());
    if (m_pPriceTBrowseWidget)
        out.appendString("pricetbrowsewidgetparam", m_pPriceTBrowseWidget->getParam(save));
    if (m_pPositionBrowseWidget) {
        // the same string: a full save writes a table's side files once
        const bool current = stored && m_pCurBrowser == m_pPositionBrowseWidget;
        out.appendString("positionBrowseWidget",
                         current ? currentParam : m_pPositionBrowseWidget->param(save));
    }
    writeSectorParams(out, kMainFields, m_mapSectorParams, m_mapCustomColumnParam);
    writeSectorParams(out, kPositionFields, m_mapSectorParams, m_mapCustomColumnParam);
    if (m_pSplitContainer)
        out.appendBool("m_bLastShow", m_pSplitContainer->isSplitOpen());
    if (!out.ok())
        TT_LOG_ERROR("[browse view param] a field was left out: %1%", out.error());
    return out.toQString();
}

void CIndexBrowseView::setParam(const QString& param, bool keep)
{
    if (param.isEmpty()) {
        setSector(kDefaultSector);
        return;
    }
    const JsonParseResult parsed = JsonParam::parse(param);
    if (!parsed.ok()) {
        TT_LOG_ERROR("[browse view setParam] parse error, the default sector is shown: %1%",
                     parsed.error);
        setSector(kDefaultSector);
        return;
    }
    const JsonObject& o = parsed.object;
    CSectorManager* sectors = CSectorManager::instance();
    // the sector switch and the layouts below each ask for the cached values: fill once
    const CBrowseWidget::ValueFillHold mainFill(m_pBrowseWidget);
    const CBrowseWidget::ValueFillHold positionFill(m_pPositionBrowseWidget);

    // bar buttons' texts
    if (member(o, "sectorList", JsonType::Object, "an object") && m_pSectorTabControl) {
        const JsonObject bar = o.getObject("sectorList");
        for (CCombinPushButton* button : m_pSectorTabControl->buttons()) {
            const std::string root = button->rootText().toStdString();
            if (bar.type(root) != JsonType::String)
                continue;
            const QString text = bar.getQString(root);
            if (!text.isEmpty())
                button->setCurText(text);
        }
    }

    QString name;
    if (!stringMember(o, "currentSector", name) || name.isEmpty())
        name = kDefaultSector;
    const bool external = CExternalDataManager::instance()->isExist(name);
    // a sector that no longer exists names no table
    const bool known = external || sectors->getSector(name);
    if (!known)
        TT_LOG_WARN("[browse view setParam] sector %1% no longer exists", name);

    const std::map<QString, QString> mainParams = readSectorParams(o, kMainFields);
    const std::map<QString, QString> positionParams = readSectorParams(o, kPositionFields);
    for (const auto& entry : mainParams)
        storeParam(KindMain, entry.first, entry.second);
    for (const auto& entry : positionParams)
        storeParam(KindPosition, entry.first, entry.second);

    QString text;
    if (stringMember(o, kMainFields.share, text)) {
        m_mapCustomColumnParam[KindMain] = text;
        // only a sector the main table shows is its own: leaving a sector stores the
        // table's layout under that sector's key
        if (external || (known && getCurrentBrowser(sectors->getSector(name)) == m_pBrowseWidget))
            m_pBrowseWidget->setSectorName(name);
        m_pBrowseWidget->setCustomColumnParam(text);
    }
    if (stringMember(o, kPositionFields.share, text) && m_pPositionBrowseWidget) {
        m_mapCustomColumnParam[KindPosition] = text;
        m_pPositionBrowseWidget->setSectorName(name, QSet<QString>(), false, false);
        m_pPositionBrowseWidget->setCustomColumnParam(text);
    }

    // the current sector's stored layout; its side files come back with it (also at
    // start-up), so that the table shows its last indicator values at once
    const auto storedMain = known ? mainParams.find(name) : mainParams.end();
    if (storedMain != mainParams.end())
        m_pBrowseWidget->setParam(storedMain->second, true);
    const auto storedPosition = known ? positionParams.find(sectorKey(name)) : positionParams.end();
    if (storedPosition != positionParams.end() && m_pPositionBrowseWidget)
        m_pPositionBrowseWidget->setParam(storedPosition->second, true);

    if (external)
        setExternal(name); // shows the main table itself
    else if (known)
        setSector(name);
    else
        resetCurrentSector(); // the view stays where it was, its table filled
    // Leaving the previous sector stored that table's state under the previous key; the
    // string's layouts win.
    for (const auto& entry : mainParams)
        storeParam(KindMain, entry.first, entry.second);
    for (const auto& entry : positionParams)
        storeParam(KindPosition, entry.first, entry.second);
    // a sector that no longer exists left the view where it was
    const QString shown = external ? name : getCurrentSector();
    if (!external)
        setBrowseWidgetVisiable(shown);
    if (!external && m_pSectorTabControl && m_pCurSector) {
        CSectorDetail* top = topLevelSector(m_pCurSector);
        if (CCombinPushButton* button =
                top ? m_pSectorTabControl->buttonByRootText(top->getName()) : nullptr)
            m_pSectorTabControl->setCurrentButton(button);
    }

    if (!keep && stringMember(o, "browsewidgetparam", text)) {
        m_pBrowseWidget->setParam(text, false);
        m_pBrowseWidget->updateExtendIndex();
    }
    if (stringMember(o, "pricetbrowsewidgetparam", text) && m_pPriceTBrowseWidget)
        m_pPriceTBrowseWidget->setParam(text);
    if (stringMember(o, "positionBrowseWidget", text) && m_pPositionBrowseWidget)
        m_pPositionBrowseWidget->setParam(text, false);

    setPositionColumnVisible(shown);
    if (member(o, "m_bLastShow", JsonType::Bool, "a bool"))
        m_bLastShow = o.getBool("m_bLastShow");
}

void CIndexBrowseView::storeParam(int kind, const QString& key, const QString& value)
{
    // a table that never showed a sector has no key to keep its layout under
    if (key.isEmpty())
        return;
    m_mapSectorParams[kind][key] = value;
}

void CIndexBrowseView::load()
{
    XP::CCheckBox* box = filterBox(FilterOptionArbitrage);
    if (!box)
        return;
    const QSignalBlocker quiet(box); // the stored state is no user's toggle
    box->setChecked(SingletonManager::getIndexUserConfig()->isShowFutureOptionArbitrage());
}

void CIndexBrowseView::save()
{
    XP::CCheckBox* box = filterBox(FilterOptionArbitrage);
    if (!box)
        return;
    CIndexUserConfig* config = SingletonManager::getIndexUserConfig();
    config->setShowFutureOptionArbitrage(box->isChecked());
    if (!config->save())
        TT_LOG_ERROR("[browse view save] the index user configuration was not written");
}

QString CIndexBrowseView::getBrowseWidgetParam()
{
    return m_pCurBrowser ? m_pCurBrowser->param(false) : QString();
}

void CIndexBrowseView::setBrowseWidgetParam(const QString& param)
{
    if (m_pBrowseWidget)
        m_pBrowseWidget->setParam(param, false);
}

// --- which table shows a sector ------------------------------------------------------

void CIndexBrowseView::setBrowseWidgetVisiable(const QString& sector)
{
    // the same choice as getCurrentBrowser: a kind whose table this view lacks shows in
    // the main table
    if (m_pPositionBrowseWidget && isPositionSector(sector)) {
        setPositionBrowseWidgetVisiable(sector, QSet<QString>(), false, true);
        return;
    }
    if (m_pPriceTBrowseWidget && isPriceTSector(sector)) {
        hideBondTables();
        if (m_pDragList)
            m_pDragList->hide();
        m_pBrowseWidget->hide();
        m_pBrowseWidget->unrequest();
        if (m_pPositionBrowseWidget) {
            m_pPositionBrowseWidget->hide();
            m_pPositionBrowseWidget->unrequest();
        }
        m_pPriceTBrowseWidget->show();
        return;
    }
    if (m_pPositionBrowseWidget) {
        m_pPositionBrowseWidget->hide();
        m_pPositionBrowseWidget->unrequest();
    }
    if (m_pDragList)
        m_pDragList->show();
    m_pBrowseWidget->show();
    if (m_pPriceTBrowseWidget) {
        m_pPriceTBrowseWidget->hide();
        if (CBrowseWidget* inner = m_pPriceTBrowseWidget->underlyingList())
            inner->unrequest();
    }
    if (!m_pBondButtonGroup || !CSectorManager::instance()->isConvertibleBondSector(sector)) {
        hideBondTables();
        return;
    }
    if (XP::CPushButton* first = m_pBondButtonGroup->button(1))
        first->setText(sector);
    m_pBondButtonGroup->setChecked(1);
    m_pBondButtonGroup->show();
    // the main table shows the sector: the new-bond table would cover it
    if (m_pNewBondBrowseWidget) {
        m_pNewBondBrowseWidget->hide();
        m_pNewBondBrowseWidget->unrequest();
    }
}

void CIndexBrowseView::hideBondTables()
{
    if (m_pBondButtonGroup)
        m_pBondButtonGroup->hide();
    if (m_pNewBondBrowseWidget) {
        m_pNewBondBrowseWidget->hide();
        m_pNewBondBrowseWidget->unrequest();
    }
}

void CIndexBrowseView::setPositionBrowseWidgetVisiable(const QString& sector,
                                                       const QSet<QString>& accounts, bool add,
                                                       bool reload)
{
    hideBondTables();
    if (m_pDragList)
        m_pDragList->hide();
    m_pBrowseWidget->hide();
    m_pBrowseWidget->unrequest();
    if (m_pPriceTBrowseWidget) {
        m_pPriceTBrowseWidget->hide();
        if (CBrowseWidget* inner = m_pPriceTBrowseWidget->underlyingList())
            inner->unrequest();
    }
    if (m_pPositionBrowseWidget) {
        m_pPositionBrowseWidget->setSectorName(sector, accounts, add, reload);
        m_pPositionBrowseWidget->show();
    }
}

void CIndexBrowseView::setPositionSector(const QString& sector, const QSet<QString>& accounts,
                                         bool add, bool reload)
{
    CSectorDetail* detail = CSectorManager::instance()->getSector(sector);
    if (!detail)
        return;
    if (m_pSplitContainer) {
        m_pSplitContainer->setHandleVisible(false);
        m_pSplitContainer->closeSplit();
    }
    if (m_pSubPanel)
        m_pSubPanel->hide();
    if (m_pCurBrowser)
        m_pCurBrowser->resetBrowserStatus();
    if (m_eBrowseType == BrowseType_Default)
        storeLeavingState();
    int kind = KindMain;
    m_pCurBrowser = getCurrentBrowser(detail, &kind);
    m_nCurBrowserKind = kind;
    // the view saves and restores the sector it shows
    m_pCurSector = detail;
    setPositionBrowseWidgetVisiable(detail->getName(), accounts, add, reload);

    if (!m_pSectorTabControl)
        return;
    CSectorDetail* top = topLevelSector(detail);
    CCombinPushButton* button =
        top ? m_pSectorTabControl->buttonByRootText(top->getName()) : nullptr;
    if (!button)
        return;
    button->setCurText(m_pPositionBrowseWidget ? m_pPositionBrowseWidget->getSectorName()
                                               : detail->getName());
    m_pSectorTabControl->setCurrentButton(button);
}

void CIndexBrowseView::setPositionColumnVisible(const QString& sector)
{
    CSectorDetail* detail = CSectorManager::instance()->getSector(sector);
    if (!detail || !m_pCurBrowser)
        return;
    const CSectorDetail* parent = detail->getParent();
    const bool futures =
        parent && (parent->getName() == kDomesticFutures || parent->getName() == kOptions);
    m_pCurBrowser->setColumnVisible(kOpenInterestColumn, futures);
}

bool CIndexBrowseView::isPositionSector(const QString& sector) const
{
    return CSectorManager::instance()->isPositionSector(sector);
}

bool CIndexBrowseView::isPriceTSector(const QString& sector) const
{
    return sector == kPriceTSector;
}

// --- panes and switches --------------------------------------------------------------

void CIndexBrowseView::createMultiView()
{
    if (!m_pSubPanel || !m_pSubBrowseWidget)
        return;
    if (!m_pMultiView) {
        m_pMultiView = new CIndexMultiView(m_pSubPanel);
        m_pMultiView->setPairParamFunc(pairParamFunc());
        m_pSubPanel->addWidget(m_pMultiView, true);
        m_pSubPanel->updateGeometry();
        if (m_pDragList)
            m_pDragList->updateGeometry();
        m_pMultiView->setGrid(kMultiViewGrid, kMultiViewGrid);
    }
    const QList<QString> keys = m_pSubBrowseWidget->getStockList();
    m_pMultiView->setStockList(QStringList(keys));
    // an empty lower table leaves the grid without a current instrument
    m_pMultiView->setCurrentStock(keys.isEmpty() ? QString() : keys.first());
}

void CIndexBrowseView::setButtonCtrlVisible(bool visible)
{
    if (m_pSectorTabControl)
        m_pSectorTabControl->setVisible(visible);
}

void CIndexBrowseView::setToolBarVisible(bool visible)
{
    if (m_pPositionBrowseWidget)
        m_pPositionBrowseWidget->setToolBarVisible(visible);
    if (!m_pSearchEdit)
        return;
    QWidget* row = m_pSearchEdit->parentWidget();
    (row && row != this ? row : static_cast<QWidget*>(m_pSearchEdit))->setVisible(visible);
    if (visible)
        return;
    {
        // one re-application below, not a second one from the edit's change event
        const QSignalBlocker quiet(m_pSearchEdit);
        m_pSearchEdit->clear();
    }
    if (m_pSearchTimer)
        m_pSearchTimer->stop();
    resetCurrentSector();
}

void CIndexBrowseView::setCreateNewWorkShow(bool show)
{
    m_bCreateNewWork = show;
}

void CIndexBrowseView::setStarrtSmartShow(bool show)
{
    m_bSmartKeyboard = show;
}

void CIndexBrowseView::updateThemeStyle()
{
    setStyleSheet(XP::CStyleSheetCenter::getStyle(15));
    for (QMenu* menu : {m_pAddToSectorMenu, m_pExternalMenu, m_pBasketMenu}) {
        if (menu)
            resetMenuStyle(menu);
    }
    if (!m_pSectorTabControl)
        return;
    CCombinPushButton* mine = m_pSectorTabControl->buttonByRootText(kMySectors);
    if (mine && mine->hasItems())
        resetMenuStyle(mine->menu());
}

void CIndexBrowseView::themeChanged()
{
    updateThemeStyle();
}

} // namespace TC
