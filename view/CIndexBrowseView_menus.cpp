// The view's context-menu commands (user sectors, baskets, sector indices, export, the
// requests handed to the host) and the drop-downs of the sector bar.
#include "view/CIndexBrowseView.h"

#include "browse/BrowseEvents.h"
#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/BasketSetting.h"
#include "host/data/Config.h"
#include "host/data/ExternalDataManager.h"
#include "host/data/FormulaManager.h"
#include "host/data/IndexMainWindowHelper.h"
#include "host/data/IndexManager.h"
#include "host/data/IndexUserConfig.h"
#include "host/data/JsonParam.h"
#include "host/data/SectorDetail.h"
#include "host/data/SectorManager.h"
#include "host/data/StdFile.h"
#include "host/data/UserConfig.h"
#include "host/toolkit/FileDialog.h"
#include "host/toolkit/Menu.h"
#include "host/toolkit/MessageBox.h"
#include "host/widgets/CCustomIndexSetDialog.h"
#include "host/widgets/COptionSwitchDialog.h"
#include "host/widgets/CPushButtonTabControl.h"
#include "pricet/COptionPriceTBrowseWidget.h"
#include "pricet/CPriceTBrowseWidget.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QPointer>
#include <algorithm>

namespace TC {

namespace {

const QString kUserGroup = QStringLiteral("我的");
const QString kCustomIndex = QStringLiteral("自定义指数");
const QString kAddToSector = QStringLiteral("加入自选板块");
const QString kBasketMenu = QStringLiteral("加入篮子");
const QString kExternalMenu = QStringLiteral("移动至外部数据");
const QString kRemoveFromSector = QStringLiteral("从板块中删除");
const QString kNewIndex = QStringLiteral("新建板块指数");
const QString kEditIndex = QStringLiteral("编辑板块指数");
const QString kImportIndex = QStringLiteral("导入板块指数");
const QString kExportIndex = QStringLiteral("导出板块指数");
const QString kDeleteIndex = QStringLiteral("删除板块指数");
const QString kContrast = QStringLiteral("所属板块分析");
const QString kExportStocks = QStringLiteral("导出成分股");
const QString kRemoveExternal = QStringLiteral("从外部数据删除");
const QString kImportTpl = QStringLiteral("导入自定义指标模板");
const QString kExportTpl = QStringLiteral("导出自定义指标模板");
const QString kNewBasketName = QStringLiteral("名称");
const QString kNewBasketKind = QStringLiteral("类型");

// Host requests handed up by the commands of the same name.
enum { eEvFilterByCondition = 3017, eEvCreateNewWork = 3159, eEvEarlyWarningRadar = 1185 };
enum { eEvAddToSectorLight = 4004 };
enum { eLightClient = 3 };
enum { eQuickOrderBuy = 18, eQuickOrderSell = 19 };

QStringList toList(const QVector<QString>& codes)
{
    return QStringList(codes.toList());
}

void saveIndexUserConfig()
{
    SingletonManager::getIndexUserConfig()->save();
}

} // namespace

// --- the tables' context menus ---------------------------------------------------------------

void CIndexBrowseView::keepAction(QAction* action)
{
    if (action)
        m_actions[action->text()].append(action);
}

QAction* CIndexBrowseView::viewAction(const QString& text) const
{
    const auto it = m_actions.constFind(text);
    if (it == m_actions.constEnd())
        return nullptr;
    // the current table's copy first: that is the one changeAction governs
    QAction* own = m_pCurBrowser ? m_pCurBrowser->getMenuAction(text) : nullptr;
    QAction* first = nullptr;
    for (const QPointer<QAction>& a : *it) {
        if (!a)
            continue;
        if (a == own)
            return a;
        if (!first)
            first = a;
    }
    return first;
}

void CIndexBrowseView::createAction(CBrowseWidget* table)
{
    if (!table)
        return;
    // "加入自选板块" and "移动至外部数据" are shared: made once, for the first table asking;
    // of the later ones the main table and the T-board's list (the two updateAction
    // rebuilds them for) get them too
    const bool carriesShared =
        table == m_pBrowseWidget
        || (m_pPriceTBrowseWidget && table == m_pPriceTBrowseWidget->underlyingList());
    auto addSectorMenu = [this, table, carriesShared] {
        if (!m_pAddToSectorMenu) {
            XP::CMenu* menu = createSectorMenu(CSectorManager::instance()->getSector(kUserGroup));
            if (!menu)
                return;
            menu->setTitle(kAddToSector);
            m_pAddToSectorMenu = menu;
            table->addMenu(menu);
        } else if (carriesShared) {
            table->addMenu(static_cast<XP::CMenu*>(m_pAddToSectorMenu));
        }
    };

    if (m_eBrowseType == BrowseType_NetBuying || m_eBrowseType == BrowseType_Extend) {
        if (m_eBrowseType == BrowseType_Extend) {
            table->addSeparator();
            table->addExtendMenuAction(QStringLiteral("添加扩展数据"));
        }
        table->addSeparator();
        addSectorMenu();
        return;
    }

    auto action = [this, table](const QString& text, void (CIndexBrowseView::*slot)()) {
        QAction* a = table->addMenuAction(text);
        if (a && slot)
            connect(a, &QAction::triggered, this, slot);
        return a;
    };
    // table commands come back to the view as event 3264 from the table that ran them; the
    // table wires its own commands (2, 5, 6), the view the rest
    auto command = [table](const QString& text, int kind) {
        QAction* a = table->addFuncMenuAction(text, kind);
        if (!a)
            return a;
        switch (kind) {
        case 0: connect(a, &QAction::triggered, table, &CBrowseWidget::slotEditIndex); break;
        case 1: connect(a, &QAction::triggered, table, &CBrowseWidget::slotExportIndex); break;
        case 4:
            connect(a, &QAction::triggered, table,
                    [table] { table->deliverEvent(Event_SectorCommand, 0, 4, QString(), table); });
            break;
        default: break;
        }
        return a;
    };

    table->addPublicMenuAction();
    table->addSeparator();
    keepAction(action(kRemoveFromSector, &CIndexBrowseView::slotRemoveStockFromSector));
    table->addSeparator();
    table->addExtendMenuAction(QStringLiteral("添加扩展数据"));
    keepAction(action(kNewIndex, &CIndexBrowseView::slotNewIndex));
    keepAction(command(kEditIndex, 0));
    keepAction(action(kImportIndex, &CIndexBrowseView::slotImpotIndex));
    keepAction(command(kExportIndex, 1));
    keepAction(command(kDeleteIndex, 2));
    keepAction(action(kContrast, &CIndexBrowseView::slotContrastSector));
    keepAction(action(kExportStocks, &CIndexBrowseView::slotExportSectorStock));
    addSectorMenu();
    table->addSeparator();
    keepAction(command(kRemoveExternal, 4));
    keepAction(command(kImportTpl, 5));
    keepAction(command(kExportTpl, 6));
    if (!m_pExternalMenu) {
        auto* menu = new XP::CMenu(QStringLiteral("外部数据"), this);
        createExternalMenu(CExternalDataManager::instance()->getRootCatalog(), menu);
        menu->setTitle(kExternalMenu);
        menu->setStyleSheet(styleSheet());
        m_pExternalMenu = menu;
        table->addMenu(menu);
    } else if (carriesShared) {
        table->addMenu(static_cast<XP::CMenu*>(m_pExternalMenu));
    }
    if (!m_pBasketMenu)
        createBasketMenu();
    table->addMenu(static_cast<XP::CMenu*>(m_pBasketMenu));
    action(QStringLiteral("条件选股"), &CIndexBrowseView::slotFilterStockByCondition);
    if (m_bCreateNewWork)
        action(QStringLiteral("新建工作组"), &CIndexBrowseView::slotCreateNewWork);
    action(QStringLiteral("预警雷达"), &CIndexBrowseView::slotEarlyWarningRadar);
    action(QStringLiteral("同步数据"), &CIndexBrowseView::slotSynchroData);
}

void CIndexBrowseView::createPriceTAction()
{
    COptionPriceTBrowseWidget* board =
        m_pPriceTBrowseWidget ? m_pPriceTBrowseWidget->board() : nullptr;
    if (!board || !board->table())
        return;
    // after the board's own entries, so that its sector menu stays first
    board->addSelfSectorMenu();
    CHpfBrowserTable* table = board->table();
    connect(table->addMenuAction(QStringLiteral("条件选股")), &QAction::triggered, this,
            &CIndexBrowseView::slotFilterStockByCondition);
    if (m_bCreateNewWork)
        connect(table->addMenuAction(QStringLiteral("新建工作组")), &QAction::triggered, this,
                &CIndexBrowseView::slotCreateNewWork);
    connect(table->addMenuAction(QStringLiteral("预警雷达")), &QAction::triggered, this,
            &CIndexBrowseView::slotEarlyWarningRadar);
}

void CIndexBrowseView::changeAction()
{
    if (m_eBrowseType == BrowseType_NetBuying)
        return;
    const QString name = m_pCurSector ? m_pCurSector->getName() : QString();
    const bool custom = name == kCustomIndex;
    const bool indexLike = m_pCurSector && (m_pCurSector->isEditable() || custom);
    const bool own = m_pCurSector && (m_pCurSector->getType() == eSectorUser || custom);

    auto show = [this](const QString& text, bool visible) {
        if (QAction* a = m_pCurBrowser ? m_pCurBrowser->getMenuAction(text) : nullptr)
            a->setVisible(visible);
    };
    show(kRemoveFromSector, indexLike && own);
    for (const QString& text : {kNewIndex, kEditIndex, kDeleteIndex, kImportIndex})
        show(text, indexLike && !own);
    show(kExportIndex, indexLike);

    if (m_pAddToSectorMenu)
        m_pAddToSectorMenu->menuAction()->setEnabled(m_pCurSector
                                                     && m_pCurSector->getType() == eSectorUser);
    // a data set shown in the main table keeps its commands (the view opens a set without
    // leaving the current sector)
    const bool dataSet =
        m_pCurBrowser && m_pCurBrowser->getBrowserStatus() == BrowseStatus_External;
    const bool hideExternal = !dataSet && m_pCurSector && m_pExternalMenu;
    for (const QString& text : {kRemoveExternal, kImportTpl, kExportTpl})
        show(text, !hideExternal);
    if (m_pExternalMenu)
        m_pExternalMenu->menuAction()->setVisible(!hideExternal);
    if (m_pBasketMenu)
        m_pBasketMenu->menuAction()->setVisible(name != QStringLiteral("上证期权"));
}

void CIndexBrowseView::updateAction()
{
    CBrowseWidget* tables[] = {
        m_pBrowseWidget, m_pPriceTBrowseWidget ? m_pPriceTBrowseWidget->underlyingList() : nullptr};
    // The old menu leaves every table at once (deletion waits: it may be the one showing);
    // the new one takes its place in the two tables that carry it.
    auto replace = [&tables](QMenu*& old, XP::CMenu* menu) {
        QAction* before[2] = {};
        if (old) {
            QAction* entry = old->menuAction();
            for (int i = 0; i < 2; ++i) {
                if (!tables[i])
                    continue;
                const QList<QAction*> rows = tables[i]->table()->rowMenu()->actions();
                const int at = rows.indexOf(entry);
                before[i] = at >= 0 ? rows.value(at + 1) : nullptr;
            }
            for (QWidget* w : entry->associatedWidgets())
                w->removeAction(entry);
            old->deleteLater();
        }
        old = menu;
        if (!menu)
            return;
        for (int i = 0; i < 2; ++i) {
            if (!tables[i])
                continue;
            if (before[i])
                tables[i]->table()->rowMenu()->insertMenu(before[i], menu);
            else
                tables[i]->addMenu(menu);
        }
    };

    XP::CMenu* sectors = createSectorMenu(CSectorManager::instance()->getSector(kUserGroup));
    if (sectors)
        sectors->setTitle(kAddToSector);
    replace(m_pAddToSectorMenu, sectors);
    if (m_eBrowseType != BrowseType_NetBuying && m_eBrowseType != BrowseType_Extend) {
        auto* external = new XP::CMenu(QStringLiteral("外部数据"), this);
        createExternalMenu(CExternalDataManager::instance()->getRootCatalog(), external);
        external->setTitle(kExternalMenu);
        external->setStyleSheet(styleSheet());
        replace(m_pExternalMenu, external);
    }
    if (m_pPriceTBrowseWidget && m_pPriceTBrowseWidget->board() && m_pCurSector
        && CSectorManager::instance()->isParentTsector(m_pCurSector->getName()))
        m_pPriceTBrowseWidget->board()->rebuildSelfSectorMenu();
    changeAction();
}

// --- sector menus ----------------------------------------------------------------------------

XP::CMenu* CIndexBrowseView::createSectorMenu(CSectorDetail* sector)
{
    if (!sector)
        return nullptr;
    XP::CMenu* menu = nullptr;
    auto ensure = [&] {
        if (!menu)
            menu = new XP::CMenu(sector->getName(), this);
        return menu;
    };
    for (CSectorDetail* child : sector->getChildren()) {
        if (!child)
            continue;
        if (child->getType() == eSectorUserGroup) {
            if (XP::CMenu* sub = createSectorMenu(child)) {
                sub->setParent(ensure(), sub->windowFlags());
                menu->addMenu(sub);
            }
        } else if (child->getType() == eSectorUser) {
            QAction* a = ensure()->addAction(child->getName());
            connect(a, &QAction::triggered, this, &CIndexBrowseView::slotAddStockToSector);
        }
    }
    return menu;
}

void CIndexBrowseView::createSectorMenu(CSectorDetail* sector, CCombinPushButton* button,
                                        QMenu* group)
{
    if (!sector || !button)
        return;
    CSectorManager* sm = CSectorManager::instance();
    for (CSectorDetail* child : sector->getChildren()) {
        if (!child)
            continue;
        const QString& name = child->getName();
        const int type = child->getType();
        if (sm->isParentTsector(name) && type != eSectorCustomIndex && type != eSectorUser)
            button->addItem(name, -1, group);
        else if (child->hasChildren() && type == eSectorUser)
            button->addItem(name, -1, group);
        else if (sm->isPositionSector(name))
            button->addItem(name, -1, group);
        else if (child->hasChildren())
            createSectorMenu(child, button, button->addGroup(name, group));
        else if (type == eSectorUser || type == eSectorCustomIndex)
            button->addItem(name, -1, group);
    }
}

void CIndexBrowseView::resetMenuStyle(QMenu* menu)
{
    if (!menu)
        return;
    menu->setStyleSheet(styleSheet());
    for (QAction* a : menu->actions()) {
        if (!a->isSeparator() && a->menu())
            resetMenuStyle(a->menu());
    }
}

void CIndexBrowseView::resetCustomButtonMenuStyle()
{
    if (!m_pSectorTabControl)
        return;
    if (CCombinPushButton* button = m_pSectorTabControl->buttonByRootText(kUserGroup))
        resetMenuStyle(button->menu());
}

// --- baskets ---------------------------------------------------------------------------------

void CIndexBrowseView::createBasketMenu()
{
    if (m_pBasketMenu)
        return;
    auto* menu = new XP::CMenu(kBasketMenu, this);
    connect(menu, &QMenu::aboutToShow, this, &CIndexBrowseView::slotUpdateBasket);
    m_pBasketMenu = menu;
    updateAction4Basket();
}

void CIndexBrowseView::updateAction4Basket()
{
    if (!m_pBasketMenu)
        return;
    m_pBasketMenu->clear();
    connect(m_pBasketMenu->addAction(QStringLiteral("创建篮子")), &QAction::triggered, this,
            &CIndexBrowseView::slotAddNewBasket);
    const QMap<QString, CBasketSetting> baskets = getUserConfig()->getBaskets();
    if (baskets.isEmpty())
        return;
    m_pBasketMenu->addSeparator();
    for (auto it = baskets.cbegin(); it != baskets.cend(); ++it) {
        if (it->name.isEmpty())
            continue;
        connect(m_pBasketMenu->addAction(it->name), &QAction::triggered, this,
                &CIndexBrowseView::slotAddStockToBasket);
    }
}

void CIndexBrowseView::addStockToBasket(CBasketSetting& setting, const QVector<QString>& codes)
{
    // the host's rule: account type by market, futures options and continuous contracts
    // never, no instrument twice
    addStocksToBasket(setting, codes);
}

void CIndexBrowseView::slotUpdateBasket()
{
    updateAction4Basket();
}

void CIndexBrowseView::slotCreateBasket() {}

void CIndexBrowseView::slotAddNewBasket()
{
    QStringList kinds;
    for (const CBasketKind& k : basketKinds())
        kinds.append(k.name);
    QPointer<CIndexBrowseView> self(this);
    QPointer<COptionSwitchDialog> dialog =
        new COptionSwitchDialog(QStringLiteral("创建篮子"), this);
    dialog->addTextField(kNewBasketName, kNewBasketName);
    dialog->addChoiceField(kNewBasketKind, kNewBasketKind, kinds, kinds.value(0));
    const int answer = dialog->exec();
    if (!self || !dialog)
        return; // the view (and the dialog with it) went away during the dialog
    QMap<QString, QString> data;
    const bool confirmed = answer == 1 && dialog->getData(data);
    delete dialog;
    if (!confirmed)
        return;

    const QString name = data.value(kNewBasketName);
    const QString kindName = data.value(kNewBasketKind);
    const QList<CBasketKind>& all = basketKinds();
    const auto kind = std::find_if(all.begin(), all.end(),
                                   [&](const CBasketKind& k) { return k.name == kindName; });
    if (kind == all.end())
        return;
    CUserConfig* config = getUserConfig();
    CBasketSetting setting;
    if (!config->getBasket(name, setting)) {
        setting.name = name;
        setting.accountType = kind->accountType;
        setting.subType = kind->subType;
    }
    if (m_pCurBrowser)
        addStockToBasket(setting, m_pCurBrowser->getSelectStocks());
    config->setBasket(setting);
    CFormulaManager::instance()->sendUpdateBasket(name);
}

void CIndexBrowseView::slotAddStockToBasket()
{
    auto* action = qobject_cast<QAction*>(sender());
    if (!action)
        return;
    const QString name = action->text();
    CUserConfig* config = getUserConfig();
    CBasketSetting setting;
    if (!config->getBasket(name, setting))
        return;
    if (m_pCurBrowser)
        addStockToBasket(setting, m_pCurBrowser->getSelectStocks());
    config->setBasket(setting);
    CFormulaManager::instance()->sendUpdateBasket(name);
}

// --- user sectors ----------------------------------------------------------------------------

void CIndexBrowseView::slotAddStockToSector()
{
    auto* action = qobject_cast<QAction*>(sender());
    if (!action)
        return;
    const QString name = action->text();
    const QStringList codes =
        m_pCurBrowser ? toList(m_pCurBrowser->getSelectStocks()) : QStringList();
    if (getConfig()->clientType == eLightClient) {
        JsonBuilder b;
        b.appendString("sector", name).appendStringArray("stocks", codes);
        deliverEvent(eEvAddToSectorLight, 0, 0, b.obj().toQString());
        return;
    }
    CSectorManager* sm = CSectorManager::instance();
    sm->addStockListToSector(name, codes);
    sm->updateSelfSelect(0, codes);
    saveIndexUserConfig();
}

void CIndexBrowseView::slotRemoveStockFromSector()
{
    const QStringList codes =
        m_pCurBrowser ? toList(m_pCurBrowser->getSelectStocks()) : QStringList();
    const QString sector = m_pCurSector ? m_pCurSector->getName() : QString();
    const bool customIndex = m_pCurSector && m_pCurSector->getType() == eSectorCustomIndex;
    CSectorManager* sm = CSectorManager::instance();
    sm->removeStockListFromSector(sector, codes);
    sm->updateSelfSelect(1, codes);
    CFormulaManager* fm = CFormulaManager::instance();
    for (const QString& code : codes) {
        fm->deleCustomIndex(code);
        // leaving the custom-index list deletes the index itself
        if (customIndex)
            CIndexManager::instance()->removeIndex(code);
    }
    saveIndexUserConfig();
}

void CIndexBrowseView::removeStock()
{
    if (!m_pCurSector || !m_pCurBrowser || !m_pCurSector->isEditable()
        || m_pCurSector->getType() != eSectorUser)
        return;
    CSectorManager::instance()->removeStockListFromSector(m_pCurSector->getName(),
                                                          toList(m_pCurBrowser->getSelectStocks()));
}

// --- sector indices --------------------------------------------------------------------------

void CIndexBrowseView::slotNewIndex()
{
    if (!m_pCustomIndexDialog)
        m_pCustomIndexDialog = new CCustomIndexSetDialog(this);
    const QString prefix = QStringLiteral("新板块指数");
    CIndexManager* im = CIndexManager::instance();
    int n = 1;
    while (im->isExist(prefix + QString::number(n)))
        ++n;
    m_pCustomIndexDialog->clear();
    m_pCustomIndexDialog->setIndexName(prefix + QString::number(n));
    QPointer<CIndexBrowseView> self(this);
    m_pCustomIndexDialog->exec();
    if (!self)
        return; // destroyed while the dialog was open: nothing of it may be touched
}

void CIndexBrowseView::slotEditIndex()
{
    const QString code = m_pCurBrowser ? m_pCurBrowser->getStock() : QString();
    if (code.isEmpty())
        return;
    const CCustomIndexDetailPtr index = CIndexManager::instance()->getIndex(code);
    if (!index)
        return;
    if (!m_pCustomIndexDialog)
        m_pCustomIndexDialog = new CCustomIndexSetDialog(this);
    m_pCustomIndexDialog->clear();
    m_pCustomIndexDialog->setIndexDetail(*index);
    QPointer<CIndexBrowseView> self(this);
    m_pCustomIndexDialog->exec();
    if (!self)
        return;
}

void CIndexBrowseView::slotImpotIndex()
{
    CIndexManager::instance()->importCustomIndex();
}

void CIndexBrowseView::slotExportIndex()
{
    const QStringList codes =
        m_pCurBrowser ? toList(m_pCurBrowser->getSelectStocks()) : QStringList();
    CIndexManager::instance()->exportCustomIndex(codes);
}

// --- export ----------------------------------------------------------------------------------

void CIndexBrowseView::slotExportSectorStock()
{
    const QList<QString> codes = m_pCurBrowser ? m_pCurBrowser->getStockList() : QList<QString>();
    QPointer<CIndexBrowseView> self(this);
    const QString dir =
        XP::CFileDialog::getExistingDirectory(this, QStringLiteral("Open Directory"), getDataDir());
    if (!self || dir.isEmpty())
        return;
    const QString name = m_pCurSector ? m_pCurSector->getName() : QStringLiteral("自选股");
    // a sector name is no path: its separators and dots stay inside the chosen folder
    const QString path =
        QDir::toNativeSeparators(dir) + QDir::separator() + validFileName(name) + ".txt";
    const bool written = QWriteFile(path, QStringList(codes).join(QLatin1Char('\n')));
    if (written)
        XP::CMessageBox::information(this, QStringLiteral("提示"), QStringLiteral("导出成功"));
    else
        XP::CMessageBox::warning(this, QStringLiteral("提示"), QStringLiteral("导出失败"));
}

// --- requests handed to the host -------------------------------------------------------------

void CIndexBrowseView::slotContrastSector()
{
    const QString code = m_pBrowseWidget ? m_pBrowseWidget->getStock() : QString();
    if (CIndexMainWindowHelper* helper = CIndexMainWindowHelper::inst())
        helper->showContrastSector(code);
}

void CIndexBrowseView::slotCreateNewWork()
{
    deliverEvent(eEvCreateNewWork, 0, 0, QString());
}

void CIndexBrowseView::slotFilterStockByCondition()
{
    deliverEvent(eEvFilterByCondition, 0, 0, QString());
}

void CIndexBrowseView::slotEarlyWarningRadar()
{
    deliverEvent(eEvEarlyWarningRadar, 0, 0, QString());
}

void CIndexBrowseView::slotQuickOrderBuy()
{
    const QStringList codes =
        m_pCurBrowser ? toList(m_pCurBrowser->getSelectStocks()) : QStringList();
    CFormulaManager::instance()->sendBasketQuickOrder(codes, eQuickOrderBuy);
}

void CIndexBrowseView::slotQuickOrderSell()
{
    const QStringList codes =
        m_pCurBrowser ? toList(m_pCurBrowser->getSelectStocks()) : QStringList();
    CFormulaManager::instance()->sendBasketQuickOrder(codes, eQuickOrderSell);
}

void CIndexBrowseView::slotSynchroData()
{
    const QStringList codes =
        m_pBrowseWidget ? toList(m_pBrowseWidget->getSelectStocks()) : QStringList();
    CFormulaManager::instance()->synchroStockListData(codes);
}

} // namespace TC
