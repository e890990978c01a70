// User-defined field columns: editable number columns whose typed values the host's field
// store keeps per sector, field and instrument.
#include "browse/CBrowseWidget.h"
#include "browse/CBrowseWidget_p.h"

#include "browse/CHpfBrowserDataModel.h"
#include "browse/CHpfBrowserTable.h"
#include "host/data/FormulaManager.h"
#include "host/data/Log.h"
#include "host/toolkit/BaseTableColumnLineeditDelegate.h"
#include "host/toolkit/ToolkitEvents.h"
#include "host/widgets/COptionTextListDialog.h"

#include <QPointer>

#include <algorithm>

namespace TC {

namespace {
constexpr int kFieldPrecision = 3;
constexpr int kAlignRight = 130; // right, vertically centred
const QString kTableBackground = QStringLiteral("ic_clr_table_background");
} // namespace

int CBrowseWidget::addCustomEditableColumn(ColumnInfo& column)
{
    for (const ColumnInfo& c : d->m_columnList) {
        if (c == column)
            return -1;
    }
    if (column.title.isEmpty())
        column.title = column.formulaName;
    column.precision = kFieldPrecision;
    column.isPrivate = 1;
    const int id = d->m_pTable->newColumnId();
    d->m_pTable->setColumnFontKey(id, numberFontKey());
    d->m_pModel->addIndicatorColumn(id, column.precision);
    d->m_pModel->setValueType(id, ValueType_Double);
    d->m_pTable->setHeaderText(id, column.title);
    d->m_pTable->setColumnSettingIcon(id, true);
    d->m_pTable->setColumnTextAlignment(id, kAlignRight);
    d->m_pTable->setLockColumnColorKey(id, kTableBackground);
    column.columnId = id;
    d->m_columnList.append(column);
    d->m_userDefinedColumns.append(column);
    auto* delegate = new XP::CBaseTableColumnLineeditDelegate(d->m_pTable, id);
    d->m_pTable->setColumnDelegate(id, delegate);
    d->m_fieldDelegates.insert(id, delegate);
    QStringList& fields = d->m_sectorFieldMap[d->m_qsSectorName];
    if (!fields.contains(column.formulaName))
        fields.append(column.formulaName);
    // rows built before the column joined get its slot
    const int bound = columnIdBound();
    for (const auto& data : d->m_pModel->getAllDatas()) {
        auto* row = static_cast<HpfBrowserData*>(data.get());
        d->m_pModel->fitRow(*row, bound);
        row->setTextColorIndex(id, d->m_nEqualIdx);
    }
    rebuildQuoteColumnPlan();
    return id;
}

int CBrowseWidget::addCustomField(const QString& field, const QString& defaultValue, QString* why)
{
    const QString name = field.trimmed();
    QString reason;
    double value = 0.0;
    if (!se::FieldParams::isValidFieldName(name, &reason)) {
        // reason says why
    } else if (!se::FieldParams::parseValue(defaultValue, &value)) {
        reason = QStringLiteral("默认值必须是数字");
    } else if (std::any_of(d->m_userDefinedColumns.begin(), d->m_userDefinedColumns.end(),
                           [&name](const ColumnInfo& c) { return c.formulaName == name; })) {
        reason = QStringLiteral("字段已存在");
    }
    if (why)
        *why = reason;
    if (!reason.isEmpty()) {
        TT_LOG_WARN("[browser field] field %1% refused: %2%", name.left(80), reason);
        return -1;
    }
    se::FieldParams::setDefault(name, defaultValue.trimmed());
    ColumnInfo column;
    column.formulaName = name;
    column.title = name;
    column.conditionThreshold = value; // the persisted default
    const int id = addCustomEditableColumn(column);
    if (id < 0) {
        if (why)
            *why = QStringLiteral("字段已存在");
        return -1;
    }
    updateEditable(column);
    CFormulaManager::instance()->updateCustomField(d->m_qsSectorName, name);
    return id;
}

bool CBrowseWidget::isCustomEditableColumn(int columnId) const
{
    return std::any_of(d->m_userDefinedColumns.begin(), d->m_userDefinedColumns.end(),
                       [columnId](const ColumnInfo& c) { return c.columnId == columnId; });
}

bool CBrowseWidget::isCustomEditableColumn(int columnId, ColumnInfo& out) const
{
    for (const ColumnInfo& c : d->m_userDefinedColumns) {
        if (c.columnId == columnId) {
            out = c;
            return true;
        }
    }
    return false;
}

void CBrowseWidget::updateEditable(ColumnInfo& column)
{
    const int slot = d->m_pModel->indicatorSlot(column.columnId);
    if (slot < 0 || !isCustomEditableColumn(column.columnId))
        return;
    XP::CBaseTableColumnLineeditDelegate* delegate = d->m_fieldDelegates.value(column.columnId);
    for (const auto& data : d->m_pModel->getAllDatas()) {
        auto* row = static_cast<HpfBrowserData*>(data.get());
        row->setIndicatorValue(
            slot, se::FieldParams::getData(d->m_qsSectorName, column.formulaName, row->key));
        if (delegate)
            delegate->setText(row->key, row->getText(column.columnId));
    }
    d->m_pTable->updateUi();
}

const QList<ColumnInfo>& CBrowseWidget::userDefinedColumns() const
{
    return d->m_userDefinedColumns;
}

QMap<QString, QStringList>& CBrowseWidget::sectorFieldMap()
{
    return d->m_sectorFieldMap;
}

void CBrowseWidget::getAllField(QStringList& out) const
{
    out.clear();
    for (const QStringList& fields : d->m_sectorFieldMap) {
        for (const QString& f : fields) {
            if (!out.contains(f))
                out.append(f);
        }
    }
}

void CBrowseWidget::slotAddCustomField()
{
    QPointer<CBrowseWidget> self(this);
    QPointer<COptionTextListDialog> dialog(
        new COptionTextListDialog(QStringLiteral("添加自定义字段"), this));
    dialog->setSectorName(d->m_qsSectorName);
    QList<COptionTextListDialog::Field> current;
    for (const QString& f : d->m_sectorFieldMap.value(d->m_qsSectorName))
        current.append({f, se::FieldParams::getDefault(f)});
    dialog->setFields(current);
    const int result = dialog->exec();
    if (!self)
        return; // the widget (and its dialog) went away during the dialog
    QList<COptionTextListDialog::Field> added;
    if (dialog && result == QDialog::Accepted)
        added = dialog->addedFields();
    delete dialog.data();
    for (const auto& field : added)
        addCustomField(field.first, field.second);
}

// --- private ---------------------------------------------------------------------------

void CBrowseWidget::forgetUserDefinedColumn(int columnId)
{
    auto it = std::find_if(d->m_userDefinedColumns.begin(), d->m_userDefinedColumns.end(),
                           [columnId](const ColumnInfo& c) { return c.columnId == columnId; });
    if (it == d->m_userDefinedColumns.end())
        return;
    auto fields = d->m_sectorFieldMap.find(d->m_qsSectorName);
    if (fields != d->m_sectorFieldMap.end()) {
        fields->removeAll(it->formulaName);
        if (fields->isEmpty())
            d->m_sectorFieldMap.erase(fields);
    }
    d->m_userDefinedColumns.erase(it);
    if (auto* delegate = d->m_fieldDelegates.take(columnId))
        delegate->deleteLater(); // the table may be painting with it right now
}

void CBrowseWidget::clearUserDefinedColumns()
{
    for (auto* delegate : d->m_fieldDelegates)
        delegate->deleteLater();
    d->m_fieldDelegates.clear();
    d->m_userDefinedColumns.clear();
}

void CBrowseWidget::fillUserDefinedValues()
{
    const QStringList fields = d->m_sectorFieldMap.value(d->m_qsSectorName);
    const auto& rows = d->m_pModel->getAllDatas();
    for (const ColumnInfo& c : d->m_userDefinedColumns) {
        const int slot = d->m_pModel->indicatorSlot(c.columnId);
        if (slot < 0)
            continue;
        // another sector's field shows nothing here; its values stay in the store
        const bool listed = fields.contains(c.formulaName);
        XP::CBaseTableColumnLineeditDelegate* delegate = d->m_fieldDelegates.value(c.columnId);
        for (const auto& data : rows) {
            auto* row = static_cast<HpfBrowserData*>(data.get());
            row->setIndicatorValue(
                slot, listed ? se::FieldParams::getData(d->m_qsSectorName, c.formulaName, row->key)
                             : kNoValue);
            if (delegate)
                delegate->setText(row->key, row->getText(c.columnId));
        }
    }
}

bool CBrowseWidget::commitFieldEdit(int columnId, const QString& text, const QString& rowKey)
{
    ColumnInfo column;
    if (!isCustomEditableColumn(columnId, column) || rowKey.isEmpty())
        return false;
    double value = 0.0;
    if (!se::FieldParams::parseValue(text, &value)) {
        TT_LOG_WARN("[browser field] %1% of %2%: \"%3%\" is not a number, value kept",
                    column.formulaName, rowKey, text.left(80));
        return false;
    }
    se::FieldParams::setData(d->m_qsSectorName, column.formulaName, rowKey, value);
    CFormulaManager::instance()->updateCustomField(d->m_qsSectorName, column.formulaName);
    return true;
}

void CBrowseWidget::showStoredField(int columnId, const QString& rowKey)
{
    ColumnInfo column;
    if (!isCustomEditableColumn(columnId, column))
        return;
    const HpfBrowserDataPtr row = d->m_pModel->rowByKey(rowKey);
    const int slot = d->m_pModel->indicatorSlot(columnId);
    if (!row || slot < 0)
        return;
    row->setIndicatorValue(slot,
                           se::FieldParams::getData(d->m_qsSectorName, column.formulaName, rowKey));
    if (auto* delegate = d->m_fieldDelegates.value(columnId))
        delegate->setText(rowKey, row->getText(columnId));
    d->m_pTable->updateUi();
}

} // namespace TC
