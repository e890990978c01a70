#include "host/toolkit/HpfTableParts.h"

#include "host/toolkit/HpfTableAdapter.h"
#include "host/toolkit/HpfTableModel.h"
#include "host/toolkit/UiResource.h"

#include <QtCore/QItemSelectionModel>
#include <QtGui/QColor>
#include <QtGui/QFontMetrics>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <QtWidgets/QTableView>
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
        textRect.setRight(textRect.right() - kMarkWidth);
    }
    if (def->settingIcon) {
        const int x = textRect.right() - 6, y = rect.center().y();
        painter->setPen(st.settingIcon ? *st.settingIcon : QColor(Qt::gray));
        for (int i = -3; i <= 3; i += 3)
            painter->drawLine(x, y + i, x + 6, y + i);
        textRect.setRight(textRect.right() - kMarkWidth);
    }
    painter->setPen(st.headerText ? *st.headerText : kFallbackText);
    const QString text = def->progress.isEmpty() ? def->title : def->title + def->progress;
    const int hAlign = def->align & (Qt::AlignLeft | Qt::AlignRight | Qt::AlignHCenter);
    m_text.draw(*painter, st.headerFont, textRect,
                (hAlign ? hAlign : Qt::AlignHCenter) | Qt::AlignVCenter, text);
    if (st.headerSplit) {
        painter->setPen(*st.headerSplit);
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    }
    painter->restore();
}

QSize CHpfHeaderView::sectionSizeFromContents(int logicalIndex) const {
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    const CBaseHighPerformanceTable::ColumnDef* def = m_pTable->columnDef(logicalIndex);
    if (!def)
        return size;
    const QFontMetrics metrics(m_pTable->style().headerFont);
    const QString text = def->progress.isEmpty() ? def->title : def->title + def->progress;
    // both paddings, the marks and the split line at the right
    const int marks = kMarkWidth + (def->settingIcon ? kMarkWidth : 0);
    size.setWidth(metrics.horizontalAdvance(text) + 2 * kCellPadding + marks + 1);
    return size;
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

const QBrush& CHpfCellPainter::brush(QRgb colour) {
    for (const auto& b : m_brushes) {
        if (b.first == colour)
            return b.second;
    }
    // a table uses a handful of background and line colours
    if (m_brushes.size() >= 32)
        m_brushes.erase(m_brushes.begin());
    m_brushes.emplace_back(colour, QBrush(QColor::fromRgba(colour)));
    return m_brushes.back().second;
}

void CHpfCellPainter::paint(QTableView* view, const QRect& area) {
    QWidget* vp = view->viewport();
    QRect dirty = area & vp->rect();
    QTableView* overlay = m_pTable->m_pFrozenView;
    if (view != overlay && overlay->isVisible()) // the overlay covers the locked columns
        dirty.setLeft(std::max(dirty.left(), overlay->width()));
    if (dirty.isEmpty())
        return;
    const CBaseHighPerformanceTable::Style& st = m_pTable->style();
    const QColor background = st.background ? *st.background : QColor(Qt::black);
    QPainter p(vp);

    // visible columns crossing the dirty area, in display order; hidden ones have no width
    const QHeaderView* hh = view->horizontalHeader();
    m_columns.clear();
    int right = dirty.left(); // end of the painted columns
    const int firstColumn = hh->visualIndexAt(dirty.left());
    int lastColumn = hh->visualIndexAt(dirty.right());
    if (lastColumn < 0)
        lastColumn = hh->count() - 1;
    bool anyCustom = false;
    for (int v = firstColumn; firstColumn >= 0 && v <= lastColumn; ++v) {
        const int id = hh->logicalIndex(v);
        const CBaseHighPerformanceTable::ColumnDef* def = m_pTable->columnDef(id);
        if (!def || def->removed || hh->isSectionHidden(id) || hh->sectionSize(id) <= 0)
            continue;
        const Column c{id, hh->sectionViewportPosition(id), hh->sectionSize(id), def,
                       view == m_pTable ? def->delegate : nullptr};
        anyCustom = anyCustom || c.custom;
        m_columns.push_back(c);
        right = c.x + c.width;
    }

    // rows crossing the dirty area; rows hidden by a filter have no height
    IBaseHpfTableModel* model = m_pTable->hpfModel();
    const QHeaderView* vh = view->verticalHeader();
    int bottom = dirty.top(); // end of the painted rows
    const int firstRow = model && !m_columns.empty() ? vh->visualIndexAt(dirty.top()) : -1;
    if (firstRow >= 0) {
        const auto& rows = model->getAllDatas();
        int lastRow = vh->visualIndexAt(dirty.bottom());
        if (lastRow < 0)
            lastRow = vh->count() - 1;
        lastRow = std::min(lastRow, int(rows.size()) - 1);
        const int curBgRow = m_pTable->curBackgroundRow();
        const QItemSelectionModel* selection = view->selectionModel();
        QStyleOptionViewItem customOption;
        if (anyCustom)
            customOption = m_pTable->viewOptions();
        const QColor* lastPen = nullptr;
        const int x0 = m_columns.front().x;
        for (int r = firstRow; r <= lastRow; ++r) {
            const int h = vh->sectionSize(r);
            if (h <= 0)
                continue;
            const int y = vh->sectionViewportPosition(r);
            bottom = y + h;
            IBaseHpfTableData* row = rows[size_t(r)].get();
            const bool selected =
                selection
                && selection->isSelected(m_pTable->m_pAdapter->index(r, m_columns.front().id));
            const QColor* rowBack = selected        ? st.selectedBackground
                                    : r == curBgRow ? st.curRowBackground
                                                    : nullptr;

            // backgrounds: one fill per run of cells of the same colour
            const int cellHeight = h - 1;
            if (cellHeight > 0) {
                int runX = x0;
                QRgb runColour = 0;
                for (size_t i = 0; i < m_columns.size(); ++i) {
                    const Column& c = m_columns[i];
                    const QColor* back = rowBack ? rowBack : row->getBackgroundColor(c.id);
                    if (!back && c.def->locked)
                        back = c.def->lockColor;
                    const QRgb colour = (back ? *back : background).rgba();
                    if (i == 0) {
                        runColour = colour;
                    } else if (colour != runColour) {
                        p.fillRect(QRect(runX, y, c.x - runX, cellHeight), brush(runColour));
                        runX = c.x;
                        runColour = colour;
                    }
                }
                p.fillRect(QRect(runX, y, right - runX, cellHeight), brush(runColour));
            }
            // the split line under the row, or the table background where there is none
            p.fillRect(QRect(x0, y + h - 1, right - x0, 1),
                       brush((st.hLines && st.split ? *st.split : background).rgba()));

            for (const Column& c : m_columns) {
                const QRect cell(c.x, y, c.width, cellHeight);
                if (c.custom) {
                    QStyleOptionViewItem opt(customOption);
                    opt.rect = QRect(c.x, y, c.width, h);
                    if (selected)
                        opt.state |= QStyle::State_Selected;
                    c.custom->paint(&p, opt, m_pTable->m_pAdapter->index(r, c.id));
                    lastPen = nullptr;
                } else {
                    const QColor* fore =
                        selected && st.selectedText ? st.selectedText : row->getTextColor(c.id);
                    if (!fore)
                        fore = st.itemText ? st.itemText : &kFallbackText;
                    ++CBaseHighPerformanceTable::s_nCellTextCount;
                    const QString text = row->getText(c.id);
                    QRect textRect = cell.adjusted(kCellPadding, 0, -kCellPadding, 0);
                    const QString iconKey = row->getItemIconKey(c.id);
                    if (!iconKey.isEmpty()) {
                        const int s = std::min(16, cell.height() - 2);
                        const QPixmap pm = CUiResource::instance().getPixmap(iconKey, QSize(s, s));
                        if (!pm.isNull())
                            p.drawPixmap(textRect.left(), cell.top() + (cell.height() - s) / 2, pm);
                        textRect.setLeft(textRect.left() + s + 2);
                    }
                    if (!text.isEmpty()) {
                        if (lastPen != fore) {
                            p.setPen(*fore);
                            lastPen = fore;
                        }
                        m_text.draw(p, c.def->font, textRect, c.def->align, text);
                    }
                }
                // column split lines: the sort column's on both sides
                const bool sortColumn = c.id == m_pTable->getSortColumnID();
                if (st.vLines || sortColumn) {
                    if (const QColor* line = sortColumn ? st.sortSplit : st.sortInactiveSplit) {
                        p.fillRect(QRect(c.x + c.width - 1, y, 1, h), brush(line->rgba()));
                        if (sortColumn)
                            p.fillRect(QRect(c.x, y, 1, h), brush(line->rgba()));
                    }
                }
            }
        }
    }
    // the rest of the dirty area: right of the last column, then below the last row
    const int rowsEnd = std::min(bottom, dirty.bottom() + 1);
    if (right <= dirty.right() && rowsEnd > dirty.top())
        p.fillRect(QRect(right, dirty.top(), dirty.right() + 1 - right, rowsEnd - dirty.top()),
                   background);
    if (bottom <= dirty.bottom())
        p.fillRect(QRect(dirty.left(), bottom, dirty.width(), dirty.bottom() + 1 - bottom),
                   background);
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
