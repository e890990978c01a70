// The position list's frame: construction, the tool bar, choosing accounts, subscriptions,
// events and the statistics menu.
#include "position/CPositionBrowseWidget.h"
#include "position/CPositionBrowseWidget_p.h"

#include "browse/BrowseEvents.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/Config.h"
#include "host/data/Log.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StockKey.h"
#include "host/data/TraderCenter.h"
#include "host/data/UserConfig.h"
#include "host/toolkit/ComboBox.h"
#include "host/toolkit/RadioButtonGroup.h"
#include "host/toolkit/StyleSheetCenter.h"
#include "host/toolkit/ToolkitEvents.h"
#include "host/toolkit/UiResource.h"
#include "host/toolkit/WidgetList.h"
#include "position/CSetParamDialog.h"
#include <QtWidgets/QRadioButton>

#include <QCursor>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace TC {

namespace {
constexpr int kUpdateIntervalMs = 3000;
constexpr int kPositionTableId = 1;
constexpr int kEventProductGroup = 3259;
constexpr int kHeaderMenuStyle = 15;
const QString kClearChoice = QStringLiteral("清空选中");
const QString kAllProducts = QStringLiteral("全部产品");
const QString kChosenProducts = QStringLiteral("选中产品");
const QString kPositionRoot = QStringLiteral("持仓");

struct KindType {
    const char* kind;
    int type;
};
// position kinds and the account types they show, in the order they are tested
const KindType kKinds[] = {{"股票持仓", 2},     {"期货持仓", 1},    {"融资融券持仓", 3},
                           {"股票期权持仓", 6}, {"深港通持仓", 11}, {"沪港通持仓", 7}};
} // namespace

void CPositionPushCache::put(int kind, const ttservice::CPositionStaticsPtr& record)
{
    if (!record || record->accountKey.isEmpty())
        return; // a record without account is ignored
    ++pushes;
    std::lock_guard<std::mutex> lock(mutex);
    if (kind == ttservice::ePushCode)
        codes[XP::nvStockKey(record->market, record->code)][record->key] = record;
    else
        positions[record->key] = record;
}

void CPositionPushCache::reset()
{
    std::lock_guard<std::mutex> lock(mutex);
    positions.clear();
    codes.clear();
}

CPositionBrowseWidgetPrivate::~CPositionBrowseWidgetPrivate() = default;

CPositionBrowseWidgetPrivate* CPositionBrowseWidget::pd() const
{
    return static_cast<CPositionBrowseWidgetPrivate*>(d.get());
}

CPositionBrowseWidget::CPositionBrowseWidget(QWidget* parent)
    : CBrowseWidget(*new CPositionBrowseWidgetPrivate, parent, false, BrowseType_Default,
                    kPositionTableId)
{
    auto* p = pd();
    createToolBar();
    buildPositionColumns();

    p->m_pPositionMenu = new QMenu(this);
    QAction* stat = p->m_pPositionMenu->addAction(QStringLiteral("统计设置"));
    connect(stat, &QAction::triggered, this, &CPositionBrowseWidget::slotSetParam);

    p->m_pUpdateTimer = new QTimer(this);
    p->m_pUpdateTimer->setInterval(kUpdateIntervalMs);
    connect(p->m_pUpdateTimer, &QTimer::timeout, this, &CPositionBrowseWidget::slotTimeout);
    p->m_pUpdateTimer->start();

    updateToolBarProductGroup();
    connect(CSectorManager::instance(), &CSectorManager::sigPositionReInited, this,
            &CPositionBrowseWidget::slotPositionReInited);

    // the host opens and closes accounts on its own threads: hand over through the mailbox
    CWorkerMailboxPtr mailbox = d->m_mailbox;
    p->m_nAccountListener = ttservice::TraderCenter::instance()->addAccountListener(
        [this, mailbox](int op, const QString& key) {
            mailbox->post([this, op, key]() { operationAccount(op, key); });
        });
    p->m_bReady = true;
}

CPositionBrowseWidget::~CPositionBrowseWidget()
{
    auto* p = pd();
    // Nothing of the trading service may reach this widget once it starts dying: the
    // listener and every subscription go first, before any member is torn down.
    ttservice::TraderCenter::instance()->removeAccountListener(p->m_nAccountListener);
    d->m_mailbox->close();
    unsubscribeAll();
    p->m_pUpdateTimer->stop();
    p->m_cache->reset();
}

namespace {

// The tool row in the theme's colours; the mode buttons' labels take the text colour
// through their palette, which the row's style sheet does not reach.
void styleToolRow(QWidget* row, QWidget* modeButtons)
{
    row->setStyleSheet(XP::CStyleSheetCenter::getStyle(XP::CStyleSheetCenter::StyleToolBar));
    const QColor* text = XP::CUiResource::instance().getColor(QStringLiteral("ic_clr_widget_text"));
    if (!text)
        return;
    for (QRadioButton* b : modeButtons->findChildren<QRadioButton*>()) {
        QPalette pal = b->palette();
        pal.setColor(QPalette::WindowText, *text);
        pal.setColor(QPalette::ButtonText, *text);
        b->setPalette(pal);
    }
}

} // namespace

void CPositionBrowseWidget::createToolBar()
{
    auto* p = pd();
    p->m_pToolBarList = new XP::CWidgetList(this, Qt::Horizontal, 10);
    p->m_pToolBarList->setFixedHeight(22);
    p->m_pToolBarList->addSpacing(20);
    p->m_pProductCombo = new XP::CComboBox(0, p->m_pToolBarList);
    p->m_pProductCombo->setFixedSize(120, 22);
    p->m_pToolBarList->addWidget(p->m_pProductCombo);
    p->m_pStatTypeGroup = new XP::CRadioButtonGroup(p->m_pToolBarList);
    p->m_pStatTypeGroup->addButton(StatPosition, QStringLiteral("持仓统计"));
    p->m_pStatTypeGroup->addButton(StatCode, QStringLiteral("代码统计"));
    // a large theme font must not crowd the two labels into each other
    p->m_pStatTypeGroup->setFixedSize(std::max(200, p->m_pStatTypeGroup->sizeHint().width()), 22);
    p->m_pStatTypeGroup->setChecked(StatPosition);
    p->m_pToolBarList->addWidget(p->m_pStatTypeGroup);
    p->m_pToolBarList->addStretch();
    d->m_pWidgetList->insertWidget(0, p->m_pToolBarList);
    styleToolRow(p->m_pToolBarList, p->m_pStatTypeGroup);
}

void CPositionBrowseWidget::themeChanged()
{
    CBrowseWidget::themeChanged();
    styleToolRow(pd()->m_pToolBarList, pd()->m_pStatTypeGroup);
}

void CPositionBrowseWidget::setToolBarVisible(bool visible)
{
    pd()->m_pToolBarList->setVisible(visible);
}

void CPositionBrowseWidget::updateToolBarProductGroup()
{
    auto* p = pd();
    if (!p->m_pProductCombo)
        return;
    p->m_bComboSilent = true;
    p->m_pProductCombo->clear();
    p->m_pProductCombo->addItem(kClearChoice);
    p->m_pProductCombo->addItem(kAllProducts);
    if (CUserConfig* config = getUserConfig())
        p->m_pProductCombo->addItems(config->getProductGroups().keys());
    p->m_bComboSilent = false;
}

void CPositionBrowseWidget::slotPositionReInited()
{
    updateToolBarProductGroup();
}

void CPositionBrowseWidget::resetTableColumn() {}

void CPositionBrowseWidget::setStockList(const InstrumentList&, bool) {}

bool CPositionBrowseWidget::isPositionSector()
{
    return true;
}

int CPositionBrowseWidget::statType() const
{
    return pd()->m_nStatType;
}

QSet<QString> CPositionBrowseWidget::accounts() const
{
    return pd()->m_setAccounts;
}

int CPositionBrowseWidget::fieldColumn(int field) const
{
    if (field < Field_First || field > Field_Last)
        return -1;
    return pd()->m_columnIds[size_t(field - Field_First)];
}

int CPositionBrowseWidget::subscriptionCount() const
{
    return pd()->m_mapSubscriptions.size();
}

quint64 CPositionBrowseWidget::positionPushCount() const
{
    return pd()->m_cache->pushes.load();
}

quint64 CPositionBrowseWidget::positionApplyCount() const
{
    return pd()->m_nApplied;
}

XP::CComboBox* CPositionBrowseWidget::productCombo() const
{
    return pd()->m_pProductCombo;
}

XP::CRadioButtonGroup* CPositionBrowseWidget::statTypeGroup() const
{
    return pd()->m_pStatTypeGroup;
}

QMenu* CPositionBrowseWidget::positionHeaderMenu() const
{
    return pd()->m_pPositionMenu;
}

CSetParamDialog* CPositionBrowseWidget::setParamDialog() const
{
    return pd()->m_pSetParamDialog;
}

// --- accounts --------------------------------------------------------------------------

QString CPositionBrowseWidget::positionKind(const QString& name) const
{
    CSectorDetail* sector = CSectorManager::instance()->getSector(name);
    if (!sector)
        return QString();
    // a kind sector names itself even before any account hangs under it
    CSectorDetail* parent = sector->getParent();
    if (sector->hasChildren() || (parent && parent->getName() == kPositionRoot))
        return name;
    return parent ? parent->getName() : name;
}

int CPositionBrowseWidget::accountTypeOfKind(const QString& kind) const
{
    auto* sectors = CSectorManager::instance();
    for (const KindType& k : kKinds) {
        const QString name = QString::fromUtf8(k.kind);
        if (kind == name || sectors->isParentSector(kind, name))
            return k.type;
    }
    return ttservice::eAccountStock;
}

QString CPositionBrowseWidget::getAccountKey(const QString& accountId) const
{
    if (accountId.isEmpty())
        return QString();
    const CUserConfig* config = getUserConfig();
    for (const auto& info : ttservice::TraderCenter::instance()->getAccountList()) {
        if (info->accountId != accountId && info->key != accountId)
            continue;
        if (config && config->isAccountFilter(info->key))
            continue;
        return info->key;
    }
    return QString();
}

void CPositionBrowseWidget::unsubscribeAll()
{
    auto* p = pd();
    // outside any lock the callback takes: unsubscribe waits for a running delivery
    for (auto it = p->m_mapSubscriptions.begin(); it != p->m_mapSubscriptions.end(); ++it)
        it->data->unsubscribe(it->id);
    p->m_mapSubscriptions.clear();
}

void CPositionBrowseWidget::dropRows()
{
    auto* p = pd();
    unsubscribeAll(); // before the maps go: each reload subscribes afresh
    CBrowseWidget::clear();
    d->m_pModel->clear();
    clearRowIndex();
    p->m_rowsByCode.clear();
    p->m_mapCodeRows.clear();
    p->m_mapAccountPositions.clear();
    p->m_mapCodeRecords.clear();
    p->m_loadedKeys.clear();
    p->m_cache->reset();
    d->m_requestMarkets.clear();
    d->m_nStockListSize = 0;
}

void CPositionBrowseWidget::clear()
{
    dropRows();
    pd()->m_setAccounts.clear();
}

void CPositionBrowseWidget::removeAccount(const QString& accountId)
{
    auto* p = pd();
    QString key = getAccountKey(accountId);
    if (key.isEmpty())
        key = accountId; // a filtered or closed account still leaves
    for (const QString& loaded : p->m_loadedKeys) {
        if (loaded == key)
            break;
        const auto it = p->m_mapSubscriptions.constFind(loaded);
        if (it != p->m_mapSubscriptions.constEnd()
            && it->data->getAccountInfo()->accountId == accountId) {
            key = loaded;
            break;
        }
    }
    auto sub = p->m_mapSubscriptions.find(key);
    if (sub != p->m_mapSubscriptions.end()) {
        sub->data->unsubscribe(sub->id);
        p->m_mapSubscriptions.erase(sub);
    }
    if (!p->m_loadedKeys.remove(key))
        return;
    const auto records = p->m_mapAccountPositions.take(key);
    QSet<QString> stockKeys;
    for (const auto& r : records) {
        const QString stockKey = XP::nvStockKey(r->market, r->code);
        stockKeys.insert(stockKey);
        auto codeRecords = p->m_mapCodeRecords.find(stockKey);
        if (codeRecords != p->m_mapCodeRecords.end()) {
            codeRecords->remove(r->key);
            if (codeRecords->isEmpty())
                p->m_mapCodeRecords.erase(codeRecords);
        }
        if (p->m_nStatType == StatPosition)
            removePositionRow(r->key);
    }
    if (p->m_nStatType == StatCode)
        updateShowByStatType(stockKeys);
    d->m_nStockListSize = d->m_pModel->size();
}

void CPositionBrowseWidget::operationAccount(int operation, const QString& accountKey)
{
    auto* p = pd();
    if (operation == Account_Remove) {
        if (!p->m_loadedKeys.contains(accountKey))
            return;
        removeAccount(accountKey);
        p->m_setAccounts.remove(accountKey);
        d->m_pTable->updateUi();
        return;
    }
    if (operation != Account_Add || p->m_loadedKeys.contains(accountKey))
        return;
    const auto data =
        ttservice::TraderCenter::instance()->getDataCenter()->getAccountData(accountKey);
    if (!data || !data->getAccountInfo())
        return;
    const auto info = data->getAccountInfo();
    // joins when the list shows every account of its kind, or it was chosen before
    const bool chosen =
        p->m_setAccounts.contains(info->key) || p->m_setAccounts.contains(info->accountId);
    if (!p->m_bAllAccounts && !chosen)
        return;
    if (!loadAccount(accountKey))
        return;
    if (!chosen)
        p->m_setAccounts.insert(accountKey);
    if (p->m_nStatType == StatCode) {
        QSet<QString> keys;
        for (const auto& r : p->m_mapAccountPositions.value(accountKey))
            keys.insert(XP::nvStockKey(r->market, r->code));
        updateShowByStatType(keys);
    }
    d->m_nStockListSize = d->m_pModel->size();
    if (isVisible())
        request();
    d->m_pTable->updateUi();
}

bool CPositionBrowseWidget::loadAccount(const QString& accountKey)
{
    std::vector<XP::IBaseHpfTableDataPtr> rows;
    const bool loaded = loadAccountInto(accountKey, rows);
    if (!rows.empty()) {
        for (const auto& row : rows)
            indexPositionRow(boost::static_pointer_cast<CPositionBrowserData>(row));
        d->m_pModel->addDatas(rows);
    }
    return loaded;
}

bool CPositionBrowseWidget::loadAccountInto(const QString& accountKey,
                                            std::vector<XP::IBaseHpfTableDataPtr>& rows)
{
    auto* p = pd();
    if (accountKey.isEmpty())
        return false;
    const CUserConfig* config = getUserConfig();
    if (config && config->isAccountFilter(accountKey))
        return false;
    const auto data =
        ttservice::TraderCenter::instance()->getDataCenter()->getAccountData(accountKey);
    if (!data)
        return false;
    const auto info = data->getAccountInfo();
    if (!info || info->accountType != accountTypeOfKind(p->m_qsKind))
        return false;
    const QString key = info->key;

    // a reload must not leave the earlier subscription pushing as well
    auto old = p->m_mapSubscriptions.find(key);
    if (old != p->m_mapSubscriptions.end()) {
        old->data->unsubscribe(old->id);
        p->m_mapSubscriptions.erase(old);
    }
    p->m_loadedKeys.insert(key);
    for (const auto& record : data->getPositions()) {
        if (!storeRecord(record))
            continue;
        if (p->m_nStatType == StatPosition && !d->m_pModel->containData(record->key)) {
            auto row = getPositionData(record);
            updateLinkageData(*row);
            rows.push_back(row);
        }
    }
    std::shared_ptr<CPositionPushCache> cache = p->m_cache;
    const int id = data->subscribe(
        ttservice::eDataPositionStat,
        [cache](int kind, const ttservice::CPositionStaticsPtr& r) { cache->put(kind, r); });
    if (id > 0)
        p->m_mapSubscriptions.insert(key, {data, id});
    return true;
}

void CPositionBrowseWidget::loadAccounts()
{
    auto* p = pd();
    dropRows();
    d->m_pRefreshTimer->stop();
    applyAccountColumnType();

    std::vector<XP::IBaseHpfTableDataPtr> rows;
    for (const QString& account : p->m_setAccounts) {
        QString key = getAccountKey(account);
        loadAccountInto(key, rows);
    }
    for (const auto& row : rows)
        indexPositionRow(boost::static_pointer_cast<CPositionBrowserData>(row));
    d->m_pModel->addDatas(rows);
    if (p->m_nStatType == StatCode) {
        QSet<QString> keys;
        for (auto it = p->m_mapCodeRecords.cbegin(); it != p->m_mapCodeRecords.cend(); ++it)
            keys.insert(it.key());
        updateShowByStatType(keys);
    }
    finishLoad(true);
}

void CPositionBrowseWidget::finishLoad(bool changed)
{
    d->m_nStockListSize = d->m_pModel->size();
    d->m_pRefreshTimer->start(d->m_nRefreshInterval);
    if (!changed)
        return;
    fillQuoterFromCache();
    if (d->m_pTable->getSortColumnID() >= 0)
        resort();
    d->m_pTable->updateUi();
    if (isVisible())
        request();
    d->m_pTable->setSelectedRow(-1);
    d->scheduleStatUpdate();
}

void CPositionBrowseWidget::setSectorName(const QString& name, const QSet<QString>& accounts,
                                          bool add, bool reload)
{
    auto* p = pd();
    if (!CSectorManager::instance()->getSector(name))
        return;
    if (p->m_pProductCombo && p->m_pProductCombo->findText(kChosenProducts) < 0) {
        p->m_bComboSilent = true;
        p->m_pProductCombo->insertItem(0, kChosenProducts);
        p->m_pProductCombo->setCurrentIndex(0);
        p->m_bComboSilent = false;
    }
    p->m_bAllAccounts = false;
    d->m_pRefreshTimer->stop();
    bool changed = false;
    const QString kind = positionKind(name);
    if (!reload) {
        const bool kindChanged = !p->m_qsKind.isEmpty() && kind != p->m_qsKind;
        p->m_qsKind = kind;
        applyAccountColumnType();
        CBrowseWidget::setSectorName(kind);
        if (!add) {
            if (accounts == p->m_setAccounts) {
                changed = !p->m_setAccounts.isEmpty() || d->m_pModel->size() > 0;
                clear();
            } else {
                const QSet<QString> current = p->m_setAccounts;
                for (const QString& a : current) {
                    if (!accounts.contains(a))
                        continue;
                    removeAccount(a);
                    p->m_setAccounts.remove(a);
                    changed = true;
                }
            }
        } else {
            if (kindChanged) {
                clear();
                changed = true;
            }
            QSet<QString> stockKeys;
            for (const QString& a : accounts) {
                if (p->m_setAccounts.contains(a))
                    continue;
                p->m_setAccounts.insert(a);
                const QString key = getAccountKey(a);
                if (key.isEmpty() || !loadAccount(key))
                    continue;
                changed = true;
                for (const auto& r : p->m_mapAccountPositions.value(key))
                    stockKeys.insert(XP::nvStockKey(r->market, r->code));
            }
            if (p->m_nStatType == StatCode)
                updateShowByStatType(stockKeys);
        }
    } else {
        const QSet<QString> kept = p->m_setAccounts;
        clear();
        changed = true;
        p->m_qsKind = kind;
        applyAccountColumnType();
        CBrowseWidget::setSectorName(kind);
        // the accounts stay when they are of the kind reloaded
        const QString first = kept.isEmpty() ? QString() : *kept.begin();
        const auto data =
            first.isEmpty()
                ? ttservice::CAccountDataPtr()
                : ttservice::TraderCenter::instance()->getDataCenter()->getAccountData(first);
        if (data && data->getAccountInfo()->accountType == accountTypeOfKind(kind)) {
            p->m_setAccounts = kept;
            loadAccounts();
            return;
        }
    }
    finishLoad(changed);
}

// --- events and menus --------------------------------------------------------------------

bool CPositionBrowseWidget::handleEvent(int id, int a, int b, const QString& text, void* ptr)
{
    auto* p = pd();
    switch (id) {
    case XP::EV_HEADER_RIGHT_CLICKED:
        d->m_nHeaderColumn = a;
        showHeaderMenu(a);
        return true;
    case XP::EV_COMBOBOX_CHANGED: {
        if (!p->m_pProductCombo || p->m_bComboSilent || !p->m_bReady)
            return true;
        const int chosen = p->m_pProductCombo->findText(kChosenProducts);
        if (chosen >= 0) {
            p->m_bComboSilent = true;
            p->m_pProductCombo->removeItem(chosen);
            p->m_bComboSilent = false;
        }
        const QString current = p->m_pProductCombo->currentText();
        const QString group = current == kAllProducts ? QString() : current;
        deliverEvent(kEventProductGroup, 0, 0, group);
        p->m_bAllAccounts = group.isEmpty();
        p->m_setAccounts.clear();
        if (CUserConfig* config = getUserConfig()) {
            for (const QString& key :
                 config->getAccountKeysByProductGroup(accountTypeOfKind(p->m_qsKind), group))
                p->m_setAccounts.insert(key);
        }
        loadAccounts();
        return true;
    }
    case 72:
    case 73: return true;
    case XP::EV_RADIO_CHANGED:
        if (!p->m_bReady || (a != StatPosition && a != StatCode) || a == p->m_nStatType)
            return true;
        p->m_nStatType = a;
        loadAccounts();
        return true;
    default: return CBrowseWidget::handleEvent(id, a, b, text, ptr);
    }
}

void CPositionBrowseWidget::showHeaderMenu(int column)
{
    auto* p = pd();
    d->m_nHeaderColumn = column;
    p->m_pPositionMenu->setStyleSheet(XP::CStyleSheetCenter::getStyle(kHeaderMenuStyle));
    p->m_pPositionMenu->popup(QCursor::pos());
}

void CPositionBrowseWidget::slotSetParam()
{
    auto* p = pd();
    ColumnInfo info;
    // code, name and industry have no descriptor: nothing to set
    if (!getColumnInfo(d->m_nHeaderColumn, info))
        return;
    if (!p->m_pSetParamDialog)
        p->m_pSetParamDialog = new CSetParamDialog(this);
    p->m_pSetParamDialog->setColumnParam(info);
    QPointer<CPositionBrowseWidget> self(this);
    QPointer<CSetParamDialog> dialog(p->m_pSetParamDialog);
    const int result = dialog->exec();
    if (!self || !dialog || result != QDialog::Accepted)
        return; // the widget or the dialog went away while the dialog ran
    dialog->getColumnParam(info);
    applyStatSetting(info);
}

void CPositionBrowseWidget::applyStatSetting(const ColumnInfo& info)
{
    if (info.statEnabled)
        d->m_pModel->addStatColumn(info.columnId);
    else
        d->m_pModel->removeStatColumn(info.columnId);
    d->m_pModel->setStatMode(info.columnId, info.statAverage ? 1 : 0);
    // the custom-index list is what the parameter string saves: the setting survives there
    for (QList<ColumnInfo>* list :
         {&d->m_indicatorColumns, &d->m_customIndexColumns, &d->m_columnList}) {
        for (ColumnInfo& c : *list) {
            if (c.columnId == info.columnId)
                c = info;
        }
    }
    d->m_pModel->recalcStatData();
    d->m_pTable->updateUi();
}

} // namespace TC
