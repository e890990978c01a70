#include "host/toolkit/HpfTableParts.h"

#include "host/toolkit/HpfTableModel.h"
#include "host/toolkit/UiResource.h"

#include <QtGui/QColor>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <algorithm>

namespace XP {

namespace {
constexpr int kCellPadding = 4;
const QColor kFallbackText(200, 200, 200);
} // namespace

void CBaseHighPerformanceTable::Style::resolve() {
    CUiResource& r = CUiResource::instance();
    background = r.getColor(backgroundKey);
    numberBackground = r.getColor(numberBackgroundKey);
    headerBackground = r.getColor(headerBackgroundKey);
    headerText = r.getColor(headerTextKey);
    itemText = r.getColor(itemTextKey);
    selectedText = r.getColor(selectedTextKey);
    selectedBackground = r.getColor(selectedBackgroundKey);
    curRowBackground = r.getColor(curRowBackgroundKey);
    split = r.getColor(splitKey);
    sortSplit = r.getColor(sortSplitKey);
    sortInactiveSplit = r.getColor(sortInactiveSplitKey);
    headerSplit = r.getColor(headerSplitKey);
    settingIcon = r.getColor(settingIconKey);
    statBorder = r.getColor(statBorderKey);
    statBackground = r.getColor(statBackgroundKey);
    headerFont = r.getFont(headerFontKey);
    itemFont = r.getFont(itemFontKey);
    statFont = r.getFont(statFontKey);
    rowNumberFont = r.getFont(rowNumberFontKey);
    statHeight = std::max(1, r.getSize(statHeightKey));
    statMargin = std::max(0, r.getSize(statMarginKey));
}

CHpfHeaderView::CHpfHeaderView(CBaseHighPerformanceTable* table, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), m_pTable(table) {}

void CHpfHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    const CBaseHighPerformanceTable::Style& st = m_pTable->style();
    const CBaseHighPerformanceTable::ColumnDef* def = m_pTable->columnDef(logicalIndex);
    if (!def)
        return;
    painter->save();
    if (st.headerBackground)
        painter->fillRect(rect, *st.headerBackground);
    const bool sorted = logicalIndex == m_pTable->getSortColumnID();
    // settings mark and sort mark take room at the right
    QRect textRect = rect.adjusted(kCellPadding, 0, -kCellPadding, 0);
    if (sorted) {
        const int cx = textRect.right() - 4, cy = rect.center().y();
        QPolygon tri;
        if (m_pTable->getSortOrder() == 0)
            tri << QPoint(cx - 4, cy + 2) << QPoint(cx + 4, cy + 2) << QPoint(cx, cy - 3);
        else
            tri << QPoint(cx - 4, cy - 2) << QPoint(cx + 4, cy - 2) << QPoint(cx, cy + 3);
        painter->setPen(Qt::NoPen);
        painter->setBrush(st.sortSplit ? *st.sortSplit : QColor(Qt::red));
        painter->drawPolygon(tri);
        textRect.setRight(textRect.right() - 10);
    }
    if (def->settingIcon) {
        const int x = textRect.right() - 6, y = rect.center().y();
        painter->setPen(st.settingIcon ? *st.settingIcon : QColor(Qt::gray));
        for (int i = -3; i <= 3; i += 3)
            painter->drawLine(x, y + i, x + 6, y + i);
        textRect.setRight(textRect.right() - 10);
    }
    painter->setFont(st.headerFont);
    painter->setPen(st.headerText ? *st.headerText : kFallbackText);
    const QString text = def->progress.isEmpty() ? def->title : def->title + def->progress;
    const int hAlign = def->align & (Qt::AlignLeft | Qt::AlignRight | Qt::AlignHCenter);
    painter->drawText(textRect, (hAlign ? hAlign : Qt::AlignHCenter) | Qt::AlignVCenter, text);
    if (st.headerSplit) {
        painter->setPen(*st.headerSplit);
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    }
    painter->restore();
}

void CHpfHeaderView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        const int logical = logicalIndexAt(event->pos());
        if (logical >= 0)
            m_pTable->onHeaderRightClicked(logical);
        event->accept();
        return;
    }
    QHeaderView::mousePressEvent(event);
}

CHpfItemDelegate::CHpfItemDelegate(CBaseHighPerformanceTable* table)
    : QStyledItemDelegate(table), m_pTable(table) {}

void CHpfItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    IBaseHpfTableModel* model = m_pTable->hpfModel();
    const CBaseHighPerformanceTable::ColumnDef* def = m_pTable->columnDef(index.column());
    if (!model || !def || index.row() >= model->size())
        return;
    const CBaseHighPerformanceTable::Style& st = m_pTable->style();
    IBaseHpfTableData* row = model->getAllDatas()[size_t(index.row())].get();
    const int id = index.column();
    const bool selected = option.state & QStyle::State_Selected;
    const QRect& r = option.rect;
    const QRect cell(r.left(), r.top(), r.width(), r.height() - 1);

    const QColor* back = nullptr;
    if (selected)
        back = st.selectedBackground;
    else if (index.row() == curBgRow)
        back = st.curRowBackground;
    if (!back)
        back = row->getBackgroundColor(id);
    if (!back && def->locked)
        back = def->lockColor;
    if (back)
        painter->fillRect(cell, *back);

    const QColor* fore = selected && st.selectedText ? st.selectedText : row->getTextColor(id);
    if (!fore)
        fore = st.itemText;
    ++CBaseHighPerformanceTable::s_nCellTextCount;
    const QString text = row->getText(id);
    QRect textRect = cell.adjusted(kCellPadding, 0, -kCellPadding, 0);
    const QString iconKey = row->getItemIconKey(id);
    if (!iconKey.isEmpty()) {
        const int s = std::min(16, cell.height() - 2);
        const QPixmap pm = CUiResource::instance().getPixmap(iconKey, QSize(s, s));
        if (!pm.isNull())
            painter->drawPixmap(textRect.left(), cell.top() + (cell.height() - s) / 2, pm);
        textRect.setLeft(textRect.left() + s + 2);
    }
    painter->setFont(def->font);
    painter->setPen(fore ? *fore : kFallbackText);
    painter->drawText(textRect, def->align, text);

    if (st.hLines && st.split) {
        painter->setPen(*st.split);
        painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    }
    const bool sortColumn = id == m_pTable->getSortColumnID();
    if (st.vLines || sortColumn) {
        const QColor* c = sortColumn ? st.sortSplit : st.sortInactiveSplit;
        if (c) {
            painter->setPen(*c);
            painter->drawLine(r.right(), r.top(), r.right(), r.bottom());
            if (sortColumn)
                painter->drawLine(r.left(), r.top(), r.left(), r.bottom());
        }
    }
}

CHpfStatRow::CHpfStatRow(CBaseHighPerformanceTable* table) : QWidget(table), m_pTable(table) {}

void CHpfStatRow::paintEvent(QPaintEvent*) {
    const CBaseHighPerformanceTable::Style& st = m_pTable->style();
    QPainter p(this);
    const QColor* back = st.statBackground ? st.statBackground : st.background;
    if (back)
        p.fillRect(rect(), *back);
    if (st.statBorder) {
        p.setPen(*st.statBorder);
        p.drawLine(0, 0, width() - 1, 0);
    }
    IBaseHpfTableModel* model = m_pTable->hpfModel();
    if (!model)
        return;
    p.setFont(st.statFont);
    p.setPen(st.itemText ? *st.itemText : kFallbackText);
    const QHeaderView* h = m_pTable->horizontalHeader();
    const int x0 = m_pTable->viewport()->x();
    for (int pos = 0; pos < h->count(); ++pos) {
        const int id = h->logicalIndex(pos);
        if (h->isSectionHidden(id) || m_pTable->isColumnRemoved(id))
            continue;
        const int x = x0 + h->sectionViewportPosition(id);
        const int w = h->sectionSize(id);
        if (x + w < x0 || x > width())
            continue;
        const QString text = model->statText(id);
        if (text.isEmpty())
            continue;
        const QRect cell(x + st.statMargin, 1, w - 2 * st.statMargin, height() - 1);
        p.drawText(cell, Qt::AlignRight | Qt::AlignVCenter, text);
    }
}

CHpfCornerTitle::CHpfCornerTitle(CBaseHighPerformanceTable* table)
    : QWidget(table), m_pTable(table) {}

void CHpfCornerTitle::paintEvent(QPaintEvent*) {
    const CBaseHighPerformanceTable::Style& st = m_pTable->style();
    QPainter p(this);
    if (st.headerBackground)
        p.fillRect(rect(), *st.headerBackground);
    p.setFont(st.headerFont);
    p.setPen(st.headerText ? *st.headerText : kFallbackText);
    p.drawText(rect(), Qt::AlignCenter, st.rowNumberTitle);
    if (st.headerSplit) {
        p.setPen(*st.headerSplit);
        p.drawLine(width() - 1, 0, width() - 1, height() - 1);
        p.drawLine(0, height() - 1, width() - 1, height() - 1);
    }
}

} // namespace XP
