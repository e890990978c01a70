// External data sets shown as sectors, the menus over their catalogue, indicator
// templates, and the extra columns (extended data, user fields, chosen indicators).
#include "view/CIndexBrowseView.h"

#include "browse/CBrowseWidget.h"
#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "browse/HpfBrowserData.h"
#include "host/data/ColumnInfo.h"
#include "host/data/ExtendDataManager.h"
#include "host/data/ExternalDataManager.h"
#include "host/data/FormulaTypes.h"
#include "host/data/JsonParam.h"
#include "host/data/Log.h"
#include "host/data/SectorDetail.h"
#include "host/data/StdFile.h"
#include "host/toolkit/FileDialog.h"
#include "host/toolkit/MessageBox.h"
#include "host/widgets/COptionTextListDialog.h"
#include "host/widgets/CPushButtonTabControl.h"
#include "host/widgets/CSelectIndicatorsDialog.h"
#include "host/widgets/CSimGetCheckSelectDialog.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>

#include <algorithm>
#include <vector>

namespace TC {

namespace {

const QString kExternalRoot = QStringLiteral("外部数据");
const QString kTemplateFilter = QStringLiteral("Text files (*.txt)");
const QString kTip = QStringLiteral("提示");

// The codes of the selected rows as the data sets name them (rows of a set are keyed by
// market and code).
QStringList selectedCodes(CBrowseWidget* table)
{
    QStringList codes;
    if (!table || !table->table() || !table->model())
        return codes;
    QList<int> rows = table->table()->getSelectedRows();
    std::sort(rows.begin(), rows.end());
    for (int row : rows)
        if (const HpfBrowserDataPtr data = table->model()->rowAt(row))
            codes.append(data->code);
    return codes;
}

} // namespace

// --- external data sets ----------------------------------------------------------------------

void CIndexBrowseView::setExternal(const QString& name)
{
    CExternalDataManager* manager = CExternalDataManager::instance();
    if (!m_pBrowseWidget || !manager->isExist(name)) {
        TT_LOG_WARN("[browser external] data set %1% does not exist", name);
        return;
    }
    if (m_pSectorTabControl) {
        if (CCombinPushButton* button = m_pSectorTabControl->buttonByRootText(kExternalRoot)) {
            button->setCurText(name);
            m_pSectorTabControl->setCurrentButton(button);
        }
    }
    storeLeavingState();
    m_pCurBrowser = m_pBrowseWidget;
    m_nCurBrowserKind = KindMain;
    CBrowseWidget* table = m_pBrowseWidget;
    table->setSectorName(name);
    if (m_eBrowseType == BrowseType_Default) {
        const auto kind = m_mapSectorParams.find(KindMain);
        if (kind != m_mapSectorParams.end()) {
            const auto stored = kind->second.find(name);
            if (stored != kind->second.end())
                table->setParam(stored->second, false);
        }
    }
    table->setExternalColumn();
    const auto custom = m_mapCustomColumnParam.find(KindMain);
    if (custom != m_mapCustomColumnParam.end() && !custom->second.isEmpty())
        table->setCustomColumnParam(custom->second);
    table->unrequest();
    table->openAndCloseDrag(false);
    showDataSet(table, name);
    table->request();
    setBrowseWidgetVisiable(name);
    changeAction();
}

void CIndexBrowseView::reloadExternalList()
{
    CBrowseWidget* table = m_pBrowseWidget;
    if (!table || table->getBrowserStatus() != BrowseStatus_External)
        return;
    table->unrequest();
    showDataSet(table, table->getSectorName());
    table->request();
}

void CIndexBrowseView::showDataSet(CBrowseWidget* table, const QString& name)
{
    // Marked copies that live for this call only: the table keeps what it needs of them,
    // while the manager's per-call copies would stay for the life of the process.
    const QList<CExternalDataInfoPtr> entries = CExternalDataManager::instance()->getDataList(name);
    std::vector<CExternalDataInfoPtr> owned;
    owned.reserve(size_t(entries.size()));
    QList<CExternalDataInfo*> list;
    list.reserve(entries.size());
    for (const CExternalDataInfoPtr& entry : entries) {
        if (!entry)
            continue;
        owned.push_back(std::make_shared<CExternalDataInfo>(*entry));
        list.append(owned.back().get());
    }
    fillExternDataDetail(list);
    table->setDataList(list);
}

void CIndexBrowseView::createExternalMenu(CExternalCatalog* catalogue, QMenu* menu)
{
    if (!catalogue || !menu)
        return;
    for (CExternalCatalog* child : catalogue->getChildren()) {
        if (!child)
            continue;
        if (child->getType() != 2) {
            QAction* action = menu->addAction(child->getName());
            connect(action, &QAction::triggered, this, &CIndexBrowseView::slotMoveExternalData);
        }
        createExternalMenu(child, menu);
    }
}

void CIndexBrowseView::createExternalBtnMenu(CExternalCatalog* catalogue, CCombinPushButton* button,
                                             QMenu* group)
{
    if (!catalogue || !button)
        return;
    for (CExternalCatalog* child : catalogue->getChildren()) {
        if (!child)
            continue;
        if (child->getType() != 2)
            button->addItem(child->getName(), 5, group, false);
        createExternalBtnMenu(child, button, group);
    }
}

void CIndexBrowseView::fillExternDataDetail(QList<CExternalDataInfo*>& list) const
{
    for (CExternalDataInfo* item : list) {
        if (!item || item->name.isEmpty())
            continue;
        item->kind = QStringLiteral("ED");
        item->displayName = item->name;
    }
}

void CIndexBrowseView::slotMoveExternalData()
{
    const auto* action = qobject_cast<QAction*>(sender());
    if (!action || !m_pBrowseWidget)
        return;
    const QString target = action->text();
    const QStringList codes = selectedCodes(m_pBrowseWidget);
    if (codes.isEmpty())
        return;
    const int moved = CExternalDataManager::instance()->moveData(target, codes);
    TT_LOG_INFO("[browser external] %1% of %2% codes moved to %3%", moved, codes.size(), target);
    // the host only announces additions: the shown set is fetched again here
    reloadExternalList();
}

void CIndexBrowseView::slotRemoveFromOAExternal()
{
    CBrowseWidget* table = m_pCurBrowser;
    if (!table)
        return;
    const QString set = table->getSectorName();
    for (const QString& code : selectedCodes(table)) {
        CExternalDataManager::instance()->removeData(code, set, 0);
        table->removeExternalData(code);
    }
}

void CIndexBrowseView::slotExternalChanged(int kind, QString name)
{
    Q_UNUSED(name)
    if (kind > 1)
        return;
    if (m_pSectorTabControl) {
        if (CCombinPushButton* button = m_pSectorTabControl->buttonByRootText(kExternalRoot)) {
            button->clearMenu();
            createExternalBtnMenu(CExternalDataManager::instance()->getRootCatalog(), button,
                                  nullptr);
            if (kind != 1)
                button->setCurText(QStringLiteral("   - "));
        }
    }
    updateAction();
    reloadExternalList();
}

void CIndexBrowseView::slotExternalCatalogChange(int kind, QString name, QString newName)
{
    Q_UNUSED(newName)
    if (kind != 0 && kind != 1)
        return;
    if (m_pBrowseWidget && m_pBrowseWidget->getBrowserStatus() == BrowseStatus_External
        && m_pBrowseWidget->getSectorName() == name)
        setExternal(name);
}

// --- indicator templates ---------------------------------------------------------------------

void CIndexBrowseView::slotExportExternalCustomTpl()
{
    QPointer<CIndexBrowseView> self(this);
    QPointer<CBrowseWidget> table(m_pCurBrowser);
    if (!table)
        return;
    const QString path = XP::CFileDialog::getSaveFileName(this, QStringLiteral("导出模板"),
                                                          QStringLiteral("."), kTemplateFilter);
    if (!self || !table || path.isEmpty())
        return;
    const std::string content = table->getCustomColumnParam().toStdString();
    if (!stdWriteFile(path, content, "wb")) {
        TT_LOG_ERROR("[browser template] writing %1% failed", path);
        XP::CMessageBox::warning(this, kTip, QStringLiteral("导出失败：无法写入文件"));
        return;
    }
    XP::CMessageBox::information(this, kTip, QStringLiteral("导出完成"));
}

void CIndexBrowseView::slotImportExternalCustomTpl()
{
    QPointer<CIndexBrowseView> self(this);
    QPointer<CBrowseWidget> table(m_pCurBrowser);
    if (!table)
        return;
    const QString path = XP::CFileDialog::getOpenFileName(this, QStringLiteral("导入模板"),
                                                          QStringLiteral("."), kTemplateFilter);
    if (!self || !table || path.isEmpty())
        return;
    auto fail = [this, &path](const QString& why) {
        TT_LOG_ERROR("[browser template] importing %1% failed: %2%", path, why);
        XP::CMessageBox::warning(this, kTip, QStringLiteral("导入失败：") + why);
    };
    // refuse an oversized file before reading it whole
    const QFileInfo info(path);
    if (info.size() > qint64(JsonParam::kMaxBytes))
        return fail(QStringLiteral("文件过大"));
    std::string content;
    if (!stdReadFile(path, content))
        return fail(QStringLiteral("无法读取文件"));
    if (content.empty())
        return fail(QStringLiteral("文件为空"));
    // the table parses through the guarded reader; columns it already has stay either way
    if (!table->setCustomColumnParam(QString::fromStdString(content)))
        return fail(QStringLiteral("模板格式错误"));
    XP::CMessageBox::information(this, kTip, QStringLiteral("导入完成"));
}

// --- extra columns ---------------------------------------------------------------------------

QString CIndexBrowseView::conditionSectorName() const
{
    if (!m_pCurSector)
        return m_pBrowseWidget ? m_pBrowseWidget->getSectorName() : QString();
    // a top-level sector's parent is the tree's root, which names nothing
    const CSectorDetail* parent = m_pCurSector->getParent();
    return parent && parent->getParent() ? parent->getName() : m_pCurSector->getName();
}

void CIndexBrowseView::slotAddExtendData()
{
    QStringList chosen;
    if (!CSimGetCheckSelectDialog::pick(this, QStringLiteral("添加扩展数据"),
                                        CExtendDataManager::instance()->getExtendList(), chosen))
        return; // the view went away during the dialog
    CBrowseWidget* table = m_pBrowseWidget;
    if (!table)
        return;
    const QString sector = m_pCurSector ? m_pCurSector->getName() : table->getSectorName();
    for (const QString& name : chosen) {
        if (name.isEmpty() || table->isCustomIndexExist(name))
            continue;
        ColumnInfo column;
        column.formulaName = name;
        column.title = name;
        column.columnKind = 1;
        column.conditionSector = sector;
        const int id = table->addCustomIndex(column);
        if (id >= 0)
            table->doUpdateExtendIndex(id);
    }
}

void CIndexBrowseView::slotAddCustomField()
{
    QPointer<CIndexBrowseView> self(this);
    QPointer<CBrowseWidget> table(m_pCurBrowser);
    if (!table)
        return;
    QPointer<COptionTextListDialog> dialog(
        new COptionTextListDialog(QStringLiteral("添加自定义字段"), this));
    dialog->setSectorName(table->getSectorName());
    QList<COptionTextListDialog::Field> current;
    for (const QString& f : table->sectorFieldMap().value(table->getSectorName()))
        current.append({f, se::FieldParams::getDefault(f)});
    dialog->setFields(current);
    const int result = dialog->exec();
    if (!self)
        return; // the view (and the dialog with it) went away during the dialog
    QList<COptionTextListDialog::Field> added;
    if (dialog && result == QDialog::Accepted)
        added = dialog->addedFields();
    delete dialog.data();
    if (!table)
        return;
    for (const auto& field : added) {
        const QString name = field.first.trimmed();
        if (name.isEmpty() || table->getColumnNumber(name) >= 0)
            continue;
        // stores the default, adds the editable column and tells the other views
        table->addCustomField(name, field.second);
    }
}

void CIndexBrowseView::slotSelectCustomIndex()
{
    if (!m_pSelectIndicatorsDialog) {
        m_pSelectIndicatorsDialog = new CSelectIndicatorsDialog(this);
        connect(m_pSelectIndicatorsDialog, &CSelectIndicatorsDialog::sigCustomIndexFinish, this,
                &CIndexBrowseView::slotSelectCustomIndexFinish);
    }
    m_pSelectIndicatorsDialog->reload();
    m_pSelectIndicatorsDialog->show();
}

void CIndexBrowseView::slotSelectCustomIndexFinish()
{
    if (!m_pSelectIndicatorsDialog || !m_pBrowseWidget)
        return;
    ColumnInfo column = m_pSelectIndicatorsDialog->chosenColumn();
    if (column.isEmpty())
        return;
    column.conditionSector = conditionSectorName();
    if (m_pBrowseWidget->addCustomIndex(column) >= 0)
        m_pBrowseWidget->requestCustomIndex();
}

void CIndexBrowseView::slotUpdateAllCustomIndex()
{
    if (m_pBrowseWidget)
        m_pBrowseWidget->requeAllCustomIndex();
}

void CIndexBrowseView::slotDelSelectCustomIndex()
{
    if (m_pBrowseWidget)
        m_pBrowseWidget->removeSelectCustomIndex();
}

void CIndexBrowseView::addCustomColumn(const QString& name)
{
    if (!m_pBrowseWidget || name.trimmed().isEmpty())
        return;
    ColumnInfo column;
    column.formulaName = name.trimmed();
    column.title = column.formulaName;
    column.conditionThreshold = se::FieldParams::getDefault(column.formulaName).toDouble();
    if (m_pBrowseWidget->addCustomEditableColumn(column) >= 0)
        m_pBrowseWidget->updateEditable(column);
}

void CIndexBrowseView::updateCustomColumn(const QString& oldName, const QString& newName)
{
    if (!m_pBrowseWidget || newName.trimmed().isEmpty() || oldName == newName)
        return;
    for (const ColumnInfo& c : m_pBrowseWidget->userDefinedColumns()) {
        if (c.formulaName != oldName)
            continue;
        // the column is keyed by its field: a renamed field is a new column in its place
        m_pBrowseWidget->removeColumnInfo(c.columnId);
        addCustomColumn(newName);
        return;
    }
}

} // namespace TC
