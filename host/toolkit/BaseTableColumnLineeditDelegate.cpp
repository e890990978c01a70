#include "host/toolkit/BaseTableColumnLineeditDelegate.h"

#include "host/toolkit/BaseHighPerformanceTable.h"

#include <QtGui/QPainter>
#include <QtWidgets/QLineEdit>

namespace XP {

CBaseTableColumnLineeditDelegate::CBaseTableColumnLineeditDelegate(CBaseHighPerformanceTable* table,
                                                                   int columnId)
    : QStyledItemDelegate(table), m_pTable(table), m_nColumnId(columnId) {}

CBaseTableColumnLineeditDelegate::~CBaseTableColumnLineeditDelegate() = default;

void CBaseTableColumnLineeditDelegate::setText(const QString& rowKey, const QString& text) {
    m_texts.insert(rowKey, text);
}

QString CBaseTableColumnLineeditDelegate::text(const QString& rowKey) const {
    return m_texts.value(rowKey);
}

QWidget* CBaseTableColumnLineeditDelegate::createEditor(QWidget* parent,
                                                        const QStyleOptionViewItem&,
                                                        const QModelIndex&) const {
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    return edit;
}

void CBaseTableColumnLineeditDelegate::setEditorData(QWidget* editor,
                                                     const QModelIndex& index) const {
    if (auto* edit = qobject_cast<QLineEdit*>(editor))
        edit->setText(index.data(Qt::EditRole).toString());
}

void CBaseTableColumnLineeditDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                                    const QModelIndex& index) const {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (!edit)
        return;
    m_qsCommitted = edit->text();
    model->setData(index, m_qsCommitted, Qt::EditRole);
}

void CBaseTableColumnLineeditDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QVariant fore = index.data(Qt::ForegroundRole);
    if (fore.canConvert<QColor>())
        opt.palette.setColor(QPalette::Text, fore.value<QColor>());
    QStyledItemDelegate::paint(painter, opt, index);
}

} // namespace XP
