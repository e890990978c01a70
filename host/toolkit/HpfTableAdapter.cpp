#include "host/toolkit/HpfTableAdapter.h"

#include "host/toolkit/BaseTableColumnLineeditDelegate.h"
#include "host/toolkit/HpfTableModel.h"
#include "host/toolkit/HpfTableParts.h"

#include <QtGui/QColor>

namespace XP {

CHpfTableAdapter::CHpfTableAdapter(CBaseHighPerformanceTable* table)
    : QAbstractTableModel(table), m_pTable(table) {}

CHpfTableAdapter::~CHpfTableAdapter() = default;

void CHpfTableAdapter::setSource(IBaseHpfTableModel* source) {
    if (source == m_pSource)
        return;
    beginResetModel();
    if (m_pSource)
        disconnect(m_pSource, nullptr, this, nullptr);
    m_pSource = source;
    if (source) {
        connect(source, &IBaseHpfTableModel::sigRowsAboutToBeInserted, this,
                [this](int first, int last) { beginInsertRows(QModelIndex(), first, last); });
        connect(source, &IBaseHpfTableModel::sigRowsInserted, this, [this] { endInsertRows(); });
        connect(source, &IBaseHpfTableModel::sigRowsAboutToBeRemoved, this,
                [this](int first, int last) { beginRemoveRows(QModelIndex(), first, last); });
        connect(source, &IBaseHpfTableModel::sigRowsRemoved, this, [this] { endRemoveRows(); });
        connect(source, &IBaseHpfTableModel::sigAboutToReset, this, [this] { beginResetModel(); });
        connect(source, &IBaseHpfTableModel::sigReset, this, [this] { endResetModel(); });
        connect(source, &IBaseHpfTableModel::sigLayoutAboutToBeChanged, this,
                &CHpfTableAdapter::onLayoutAboutToBeChanged);
        connect(source, &IBaseHpfTableModel::sigLayoutChanged, this,
                &CHpfTableAdapter::onLayoutChanged);
        connect(source, &IBaseHpfTableModel::sigRowsChanged, this,
                &CHpfTableAdapter::onRowsChanged);
        connect(source, &QObject::destroyed, this, &CHpfTableAdapter::onSourceDestroyed);
    }
    endResetModel();
}

void CHpfTableAdapter::onSourceDestroyed() {
    beginResetModel();
    m_pSource = nullptr;
    endResetModel();
}

int CHpfTableAdapter::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_pSource ? 0 : m_pSource->size();
}

int CHpfTableAdapter::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_pTable->m_columns.size());
}

QVariant CHpfTableAdapter::data(const QModelIndex& index, int role) const {
    if (!m_pSource || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return QVariant();
    IBaseHpfTableData* row = m_pSource->getAllDatas()[size_t(index.row())].get();
    const int id = index.column();
    const CBaseHighPerformanceTable::ColumnDef* def = m_pTable->columnDef(id);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        ++CBaseHighPerformanceTable::s_nCellTextCount;
        if (auto* d =
                qobject_cast<CBaseTableColumnLineeditDelegate*>(def ? def->delegate : nullptr)) {
            const QString key = row->getKey();
            if (d->hasText(key))
                return d->text(key);
        }
        return row->getText(id);
    }
    case Qt::ForegroundRole: {
        const QColor* c = row->getTextColor(id);
        if (!c)
            c = m_pTable->style().itemText;
        return c ? QVariant(*c) : QVariant();
    }
    case Qt::BackgroundRole: {
        const QColor* c = row->getBackgroundColor(id);
        if (!c && def && def->locked)
            c = def->lockColor;
        return c ? QVariant(*c) : QVariant();
    }
    case Qt::FontRole: return def ? QVariant(def->font) : QVariant();
    case Qt::TextAlignmentRole: return def ? QVariant(def->align) : QVariant();
    case Qt::ToolTipRole: {
        const QString tip = row->getItemIconTip(id);
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::UserRole: return row->getKey();
    default: return QVariant();
    }
}

QVariant CHpfTableAdapter::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        if (role == Qt::DisplayRole && section >= 0 && section < rowCount())
            return QString::number(section + 1);
        if (role == Qt::FontRole)
            return m_pTable->style().rowNumberFont;
        return QVariant();
    }
    const CBaseHighPerformanceTable::ColumnDef* def = m_pTable->columnDef(section);
    if (!def)
        return QVariant();
    if (role == Qt::DisplayRole)
        return def->progress.isEmpty() ? def->title : def->title + def->progress;
    if (role == Qt::FontRole)
        return m_pTable->style().headerFont;
    if (role == Qt::TextAlignmentRole)
        return def->align;
    return QVariant();
}

Qt::ItemFlags CHpfTableAdapter::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    const CBaseHighPerformanceTable::ColumnDef* def = m_pTable->columnDef(index.column());
    if (def && qobject_cast<CBaseTableColumnLineeditDelegate*>(def->delegate))
        f |= Qt::ItemIsEditable;
    return f;
}

bool CHpfTableAdapter::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !m_pSource || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const CBaseHighPerformanceTable::ColumnDef* def = m_pTable->columnDef(index.column());
    auto* d = qobject_cast<CBaseTableColumnLineeditDelegate*>(def ? def->delegate : nullptr);
    if (!d)
        return false;
    const QString key = m_pSource->getAllDatas()[size_t(index.row())]->getKey();
    d->setText(key, value.toString());
    Q_EMIT dataChanged(index, index);
    m_pTable->onCellCommitted(index.row(), index.column());
    return true;
}

void CHpfTableAdapter::headerChanged(int first, int last) {
    if (first <= last)
        Q_EMIT headerDataChanged(Qt::Horizontal, first, last);
}

void CHpfTableAdapter::onLayoutAboutToBeChanged() {
    Q_EMIT layoutAboutToBeChanged(QList<QPersistentModelIndex>(),
                                  QAbstractItemModel::VerticalSortHint);
    m_persistent = persistentIndexList();
}

void CHpfTableAdapter::onLayoutChanged(const QVector<int>& oldToNew) {
    QModelIndexList moved;
    moved.reserve(m_persistent.size());
    for (const QModelIndex& i : qAsConst(m_persistent)) {
        const int r = i.row() < oldToNew.size() ? oldToNew[i.row()] : -1;
        moved.append(r >= 0 ? index(r, i.column()) : QModelIndex());
    }
    changePersistentIndexList(m_persistent, moved);
    m_persistent.clear();
    Q_EMIT layoutChanged(QList<QPersistentModelIndex>(), QAbstractItemModel::VerticalSortHint);
}

void CHpfTableAdapter::onRowsChanged(int first, int last) {
    const int cols = columnCount();
    if (cols == 0 || first > last || first < 0 || last >= rowCount())
        return;
    Q_EMIT dataChanged(index(first, 0), index(last, cols - 1));
}

} // namespace XP
