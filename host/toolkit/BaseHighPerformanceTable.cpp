#include "host/toolkit/BaseHighPerformanceTable.h"

#include "host/data/Log.h"
#include "host/toolkit/HpfTableAdapter.h"
#include "host/toolkit/HpfTableModel.h"
#include "host/toolkit/HpfTableParts.h"
#include "host/toolkit/Menu.h"
#include "host/toolkit/ToolkitEvents.h"
#include "host/toolkit/UiResource.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QSet>
#include <QtGui/QColor>
#include <QtGui/QContextMenuEvent>
#include <QtGui/QFontMetrics>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QScrollBar>
#include <algorithm>

namespace XP {

quint64 CBaseHighPerformanceTable::s_nCellTextCount = 0;

namespace {
constexpr int kMaxColumnWidth = 10000;
constexpr int kConfigVersion = 1;
} // namespace

CBaseHighPerformanceTable::CBaseHighPerformanceTable(int id, QWidget* parent, int menuFlags)
    : CEventWidgetT<QTableView>(parent), m_nId(id), m_nMenuFlags(menuFlags), m_pStyle(new Style),
      m_pCellPainter(new CHpfCellPainter(this)) {
    m_pStyle->resolve();
    m_pAdapter = new CHpfTableAdapter(this);
    m_pRowMenu = new CMenu(this);

    auto* header = new CHpfHeaderView(this, this);
    setHorizontalHeader(header);
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignCenter);
    // fit widths from the visible rows only
    header->setResizeContentsPrecision(0);
    connect(header, &QHeaderView::sectionClicked, this,
            &CBaseHighPerformanceTable::onHeaderClicked);

    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(m_nItemHeight + 1);
    rows->setMinimumSectionSize(1);
    rows->hide();

    // cells are painted by CHpfCellPainter over every pixel of the viewport
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    QTableView::setModel(m_pAdapter);
    setShowGrid(false);
    setWordWrap(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setCornerButtonEnabled(false);
    setFrameShape(QFrame::NoFrame);

    connect(verticalScrollBar(), &QAbstractSlider::sliderPressed, this,
            [this] { handleEvent(EV_SCROLL_PRESSED, 1, 0, QString(), nullptr); });
    connect(verticalScrollBar(), &QAbstractSlider::sliderMoved, this,
            [this](int v) { handleEvent(EV_SCROLL_DRAGGED, 1, v, QString(), nullptr); });
    connect(m_pAdapter, &QAbstractItemModel::layoutChanged, this,
            &CBaseHighPerformanceTable::onLayoutChanged);
    connect(m_pAdapter, &QAbstractItemModel::rowsInserted, this,
            &CBaseHighPerformanceTable::applyFilter);
    connect(m_pAdapter, &QAbstractItemModel::modelReset, this,
            &CBaseHighPerformanceTable::applyFilter);

    m_pStatRow = new CHpfStatRow(this);
    m_pStatRow->hide();
    m_pCorner = new CHpfCornerTitle(this);
    m_pCorner->hide();

    m_pFrozenView = new QTableView(this);
    m_pFrozenView->setFocusPolicy(Qt::NoFocus);
    m_pFrozenView->setHorizontalHeader(new CHpfHeaderView(this, m_pFrozenView));
    m_pFrozenView->horizontalHeader()->setSectionsClickable(true);
    m_pFrozenView->verticalHeader()->hide();
    m_pFrozenView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // rows as high as the table's, whatever the style's minimum for the font
    m_pFrozenView->verticalHeader()->setMinimumSectionSize(1);
    m_pFrozenView->verticalHeader()->setDefaultSectionSize(m_nItemHeight + 1);
    m_pFrozenView->viewport()->setAutoFillBackground(false);
    m_pFrozenView->viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_pFrozenView->setModel(m_pAdapter);
    m_pFrozenView->setSelectionModel(selectionModel());
    m_pFrozenView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pFrozenView->setShowGrid(false);
    m_pFrozenView->setFrameShape(QFrame::NoFrame);
    m_pFrozenView->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_pFrozenView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pFrozenView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pFrozenView->viewport()->installEventFilter(this);
    connect(m_pFrozenView->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &CBaseHighPerformanceTable::onHeaderClicked);
    // both ways: a wheel over the overlay scrolls its own hidden bar
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, m_pFrozenView->verticalScrollBar(),
            &QAbstractSlider::setValue);
    // only a shown overlay leads: a hidden one may have a shorter range and would clamp the table
    connect(m_pFrozenView->verticalScrollBar(), &QAbstractSlider::valueChanged, this,
            [this](int value) {
                if (m_pFrozenView->isVisible())
                    verticalScrollBar()->setValue(value);
            });
    connect(header, &QHeaderView::sectionResized, this, [this](int logical, int, int size) {
        m_pFrozenView->setColumnWidth(logical, size);
        updateFrozenGeometry();
    });
    m_pFrozenView->hide();
    setTableFlags(TF_ROW_NUMBER);
    applyStyle();
}

CBaseHighPerformanceTable::~CBaseHighPerformanceTable() = default;

void CBaseHighPerformanceTable::setModel(IBaseHpfTableModel* model) {
    m_qsCurBgKey.clear();
    m_pAdapter->setSource(model);
}

IBaseHpfTableModel* CBaseHighPerformanceTable::hpfModel() const {
    return m_pAdapter->source();
}

void CBaseHighPerformanceTable::setTableFlags(int flags) {
    m_nFlags = flags;
    verticalHeader()->setVisible(flags & TF_ROW_NUMBER);
    layoutCorner();
    horizontalHeader()->setSectionsMovable(flags & TF_COLUMN_MOVE);
    updateFrozenGeometry();
}

CBaseHighPerformanceTable::ColumnDef* CBaseHighPerformanceTable::columnDef(int id) {
    return id >= 0 && id < int(m_columns.size()) ? m_columns[size_t(id)].get() : nullptr;
}

const CBaseHighPerformanceTable::ColumnDef* CBaseHighPerformanceTable::columnDef(int id) const {
    return id >= 0 && id < int(m_columns.size()) ? m_columns[size_t(id)].get() : nullptr;
}

void CBaseHighPerformanceTable::setColumnCount(int count) {
    count = std::max(0, count);
    m_nSortColumn = -1;
    m_pAdapter->beginColumnReset();
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i]->delegate)
            setItemDelegateForColumn(int(i), nullptr);
    m_columns.clear();
    for (int i = 0; i < count; ++i) {
        auto s = std::make_unique<ColumnDef>();
        s->font = m_pStyle->itemFont;
        m_columns.push_back(std::move(s));
    }
    m_pAdapter->endColumnReset();
    horizontalHeader()->setSortIndicatorShown(false);
    applyFilter();
    updateFrozenView();
}

int CBaseHighPerformanceTable::columnCount() const {
    return int(m_columns.size());
}

int CBaseHighPerformanceTable::newColumnId() {
    const int id = int(m_columns.size());
    m_pAdapter->beginAppendColumn(id);
    auto s = std::make_unique<ColumnDef>();
    s->font = m_pStyle->itemFont;
    m_columns.push_back(std::move(s));
    m_pAdapter->endAppendColumn();
    // a new id lands after the live columns, before the dead ones
    QHeaderView* h = horizontalHeader();
    int live = 0;
    for (const auto& c : m_columns)
        live += c->removed ? 0 : 1;
    if (h->visualIndex(id) != live - 1)
        h->moveSection(h->visualIndex(id), live - 1);
    updateFrozenView();
    return id;
}

void CBaseHighPerformanceTable::removeColumn(int id) {
    ColumnDef* s = columnDef(id);
    if (!s || s->removed)
        return;
    if (m_nSortColumn == id)
        clearSort();
    s->removed = true;
    s->locked = false;
    s->filter.clear();
    if (s->delegate) {
        setItemDelegateForColumn(id, nullptr);
        s->delegate = nullptr;
    }
    QHeaderView* h = horizontalHeader();
    h->hideSection(id);
    h->moveSection(h->visualIndex(id), h->count() - 1);
    applyFilter();
    updateFrozenView();
}

bool CBaseHighPerformanceTable::isColumnRemoved(int id) const {
    const ColumnDef* s = columnDef(id);
    return !s || s->removed;
}

void CBaseHighPerformanceTable::moveColumn(int id, int visualPos) {
    const ColumnDef* s = columnDef(id);
    if (!s || s->removed)
        return;
    int live = 0;
    for (const auto& c : m_columns)
        live += c->removed ? 0 : 1;
    visualPos = std::max(0, std::min(visualPos, live - 1));
    QHeaderView* h = horizontalHeader();
    const int from = h->visualIndex(id);
    if (from != visualPos)
        h->moveSection(from, visualPos);
    updateFrozenView();
}

int CBaseHighPerformanceTable::columnIdAt(int visualPos) const {
    const int id = horizontalHeader()->logicalIndex(visualPos);
    return isColumnRemoved(id) ? -1 : id;
}

int CBaseHighPerformanceTable::visualPosition(int id) const {
    return isColumnRemoved(id) ? -1 : horizontalHeader()->visualIndex(id);
}

void CBaseHighPerformanceTable::setHeaderText(int id, const QString& text) {
    if (ColumnDef* s = columnDef(id)) {
        s->title = text;
        m_pAdapter->headerChanged(id, id);
    }
}

QString CBaseHighPerformanceTable::headerText(int id) const {
    const ColumnDef* s = columnDef(id);
    return s ? s->title : QString();
}

void CBaseHighPerformanceTable::setHeaderProgress(int id, const QString& progress) {
    if (ColumnDef* s = columnDef(id)) {
        s->progress = progress;
        m_pAdapter->headerChanged(id, id);
    }
}

void CBaseHighPerformanceTable::setColumnSettingIcon(int id, bool on) {
    if (ColumnDef* s = columnDef(id)) {
        s->settingIcon = on;
        m_pAdapter->headerChanged(id, id);
    }
}

void CBaseHighPerformanceTable::setColumnVisible(int id, bool visible) {
    const ColumnDef* s = columnDef(id);
    if (!s || s->removed || isColumnVisible(id) == visible)
        return;
    horizontalHeader()->setSectionHidden(id, !visible);
    updateFrozenView();
}

bool CBaseHighPerformanceTable::isColumnVisible(int id) const {
    return !isColumnRemoved(id) && !horizontalHeader()->isSectionHidden(id);
}

void CBaseHighPerformanceTable::setColumnWidth(int id, int width) {
    if (isColumnRemoved(id))
        return;
    horizontalHeader()->resizeSection(id, std::max(0, std::min(width, kMaxColumnWidth)));
}

int CBaseHighPerformanceTable::columnWidth(int id) const {
    return isColumnRemoved(id) ? 0 : horizontalHeader()->sectionSize(id);
}

void CBaseHighPerformanceTable::setColumnFontKey(int id, const QString& key) {
    if (ColumnDef* s = columnDef(id)) {
        s->fontKey = key;
        s->font = key.isEmpty() ? m_pStyle->itemFont : CUiResource::instance().getFont(key);
        viewport()->update();
    }
}

void CBaseHighPerformanceTable::setColumnTextAlignment(int id, EAligns align) {
    if (ColumnDef* s = columnDef(id)) {
        s->align = int(align);
        viewport()->update();
    }
}

void CBaseHighPerformanceTable::setColumnDelegate(int id, QStyledItemDelegate* delegate) {
    if (ColumnDef* s = columnDef(id)) {
        s->delegate = delegate;
        setItemDelegateForColumn(id, delegate);
    }
}

void CBaseHighPerformanceTable::setColumnFilterable(int id, bool on) {
    if (ColumnDef* s = columnDef(id)) {
        s->filterable = on;
        if (!on && !s->filter.isEmpty()) {
            s->filter.clear();
            applyFilter();
        }
    }
}

bool CBaseHighPerformanceTable::isColumnFilterable(int id) const {
    const ColumnDef* s = columnDef(id);
    return s && s->filterable;
}

void CBaseHighPerformanceTable::setColumnFilter(int id, const QString& text) {
    ColumnDef* s = columnDef(id);
    if (!s || !s->filterable || s->removed || s->filter == text)
        return;
    s->filter = text;
    applyFilter();
}

void CBaseHighPerformanceTable::clearFilter() {
    for (auto& c : m_columns)
        c->filter.clear();
    applyFilter();
}

void CBaseHighPerformanceTable::applyFilter() {
    std::vector<int> active;
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (!m_columns[i]->filter.isEmpty())
            active.push_back(int(i));
    // nothing to filter and nothing hidden: skip the walk (it runs after every re-sort)
    if (active.empty() && !m_bRowsFiltered)
        return;
    m_bRowsFiltered = !active.empty();
    IBaseHpfTableModel* model = hpfModel();
    const int n = model ? model->size() : 0;
    for (int r = 0; r < n; ++r) {
        bool hide = false;
        if (!active.empty()) {
            IBaseHpfTableData* row = model->getAllDatas()[size_t(r)].get();
            for (int id : active) {
                if (!row->getFilterQString(id).contains(m_columns[size_t(id)]->filter,
                                                        Qt::CaseInsensitive)) {
                    hide = true;
                    break;
                }
            }
        }
        if (isRowHidden(r) != hide) {
            setRowHidden(r, hide);
            if (m_pFrozenView)
                m_pFrozenView->setRowHidden(r, hide);
        }
    }
}

void CBaseHighPerformanceTable::setColumnLocked(int id, bool locked) {
    ColumnDef* s = columnDef(id);
    if (!s || s->removed || s->locked == locked)
        return;
    s->locked = locked;
    updateFrozenView();
}

bool CBaseHighPerformanceTable::isColumnLocked(int id) const {
    const ColumnDef* s = columnDef(id);
    return s && s->locked;
}

void CBaseHighPerformanceTable::setLockColumnColorKey(int id, const QString& key) {
    if (ColumnDef* s = columnDef(id)) {
        s->lockColorKey = key;
        s->lockColor = key.isEmpty() ? nullptr : CUiResource::instance().getColor(key);
        viewport()->update();
    }
}

void CBaseHighPerformanceTable::setRowNumberColumn(bool on, const QString& title,
                                                   const QString& fontKey) {
    if (!title.isEmpty())
        m_pStyle->rowNumberTitle = title;
    if (!fontKey.isEmpty())
        m_pStyle->rowNumberFontKey = fontKey;
    m_pStyle->resolve();
    setTableFlags(on ? (m_nFlags | TF_ROW_NUMBER) : (m_nFlags & ~TF_ROW_NUMBER));
}

int CBaseHighPerformanceTable::rowCount() const {
    return m_pAdapter->rowCount();
}

int CBaseHighPerformanceTable::getStartRow() const {
    if (rowCount() == 0)
        return -1;
    const int r = rowAt(0);
    return r < 0 ? 0 : r;
}

int CBaseHighPerformanceTable::getEndRow() const {
    const int n = rowCount();
    if (n == 0)
        return -1;
    const int r = rowAt(viewport()->height() - 1);
    return r < 0 ? n - 1 : r;
}

int CBaseHighPerformanceTable::getSelectedRow() const {
    const QItemSelectionModel* sm = selectionModel();
    const QModelIndex cur = sm->currentIndex();
    if (cur.isValid() && sm->isRowSelected(cur.row(), QModelIndex()))
        return cur.row();
    const QList<int> rows = getSelectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

QList<int> CBaseHighPerformanceTable::getSelectedRows() const {
    QList<int> rows;
    const QItemSelection sel = selectionModel()->selection();
    for (const QItemSelectionRange& range : sel)
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.append(r);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void CBaseHighPerformanceTable::setSelectedRow(int row) {
    if (row < 0 || row >= rowCount() || m_columns.empty()) {
        clearSelection();
        return;
    }
    // select in place: keep the view where it is
    const bool autoScrollWas = hasAutoScroll();
    setAutoScroll(false);
    const QModelIndex idx = m_pAdapter->index(row, std::max(0, columnIdAt(0)));
    selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect
                                               | QItemSelectionModel::Rows);
    setAutoScroll(autoScrollWas);
}

void CBaseHighPerformanceTable::setSelectedRowMove(int row) {
    if (row < 0 || row >= rowCount() || m_columns.empty()) {
        clearSelection();
        return;
    }
    const QModelIndex idx = m_pAdapter->index(row, std::max(0, columnIdAt(0)));
    selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect
                                               | QItemSelectionModel::Rows);
    scrollTo(idx, QAbstractItemView::EnsureVisible);
}

void CBaseHighPerformanceTable::clearSelection() {
    selectionModel()->clear();
}

QString CBaseHighPerformanceTable::getItemText(int row, int id) const {
    IBaseHpfTableModel* model = hpfModel();
    if (!model || row < 0 || row >= model->size() || !columnDef(id))
        return QString();
    ++s_nCellTextCount;
    return model->getAllDatas()[size_t(row)]->getText(id);
}

QString CBaseHighPerformanceTable::statText(int id) const {
    IBaseHpfTableModel* model = hpfModel();
    return model ? model->statText(id) : QString();
}

void CBaseHighPerformanceTable::sortByColumn(int id, int order) {
    const ColumnDef* s = columnDef(id);
    if (!s || s->removed)
        return;
    m_nSortColumn = id;
    m_nSortOrder = order == 0 ? 0 : 1;
    if (IBaseHpfTableModel* model = hpfModel())
        model->sortRows(id, m_nSortOrder);
    updateSortIndicator();
    Q_EMIT sigSortChanged(m_nSortColumn, m_nSortOrder);
}

void CBaseHighPerformanceTable::clearSort() {
    if (m_nSortColumn < 0)
        return;
    m_nSortColumn = -1;
    m_nSortOrder = 0;
    updateSortIndicator();
    Q_EMIT sigSortChanged(-1, 0);
}

void CBaseHighPerformanceTable::resort() {
    IBaseHpfTableModel* model = hpfModel();
    if (m_nSortColumn >= 0 && model)
        model->sortRows(m_nSortColumn, m_nSortOrder);
}

void CBaseHighPerformanceTable::updateSortIndicator() {
    horizontalHeader()->viewport()->update();
    m_pFrozenView->horizontalHeader()->viewport()->update();
    viewport()->update();
}

void CBaseHighPerformanceTable::onLayoutChanged() {
    applyFilter();
    viewport()->update();
}

void CBaseHighPerformanceTable::setItemHeight(int height) {
    if (m_nMinRowHeight > 0)
        height = std::max(height, m_nMinRowHeight);
    if (m_nMaxRowHeight > 0)
        height = std::min(height, m_nMaxRowHeight);
    m_nItemHeight = std::max(1, height);
    // one pixel of split line under every row
    verticalHeader()->setDefaultSectionSize(m_nItemHeight + 1);
    m_pFrozenView->verticalHeader()->setDefaultSectionSize(m_nItemHeight + 1);
}

void CBaseHighPerformanceTable::setRowHeightRange(int minHeight, int maxHeight) {
    m_nMinRowHeight = std::max(0, minHeight);
    m_nMaxRowHeight = maxHeight >= m_nMinRowHeight ? maxHeight : 0;
    setItemHeight(m_nItemHeight);
}

void CBaseHighPerformanceTable::setHorizontalScrollStep(int step) {
    horizontalScrollBar()->setSingleStep(std::max(1, step));
}

void CBaseHighPerformanceTable::setScrollSliderImage(const QString& key) {
    m_pStyle->sliderImageKey = key;
    applyStyle();
}

void CBaseHighPerformanceTable::setScrollBarColorKeys(const QString& normal,
                                                      const QString& addSubPagePress,
                                                      const QString& press, const QString& hover,
                                                      const QString& background) {
    const QString keys[5] = {normal, addSubPagePress, press, hover, background};
    for (int i = 0; i < 5; ++i)
        if (!keys[i].isEmpty())
            m_pStyle->scrollKeys[i] = keys[i];
    applyStyle();
}

void CBaseHighPerformanceTable::setSplitLineColorKeys(const QString& item, const QString& sort,
                                                      const QString& sortInactive,
                                                      const QString& header) {
    if (!item.isEmpty())
        m_pStyle->splitKey = item;
    if (!sort.isEmpty())
        m_pStyle->sortSplitKey = sort;
    if (!sortInactive.isEmpty())
        m_pStyle->sortInactiveSplitKey = sortInactive;
    if (!header.isEmpty())
        m_pStyle->headerSplitKey = header;
    applyStyle();
}

void CBaseHighPerformanceTable::setSplitLinesVisible(bool horizontal, bool vertical) {
    m_pStyle->hLines = horizontal;
    m_pStyle->vLines = vertical;
    viewport()->update();
}

void CBaseHighPerformanceTable::setHeaderFontKey(const QString& key) {
    m_pStyle->headerFontKey = key;
    applyStyle();
}

void CBaseHighPerformanceTable::setHeaderTextColorKey(const QString& key) {
    m_pStyle->headerTextKey = key;
    applyStyle();
}

void CBaseHighPerformanceTable::setItemFontKey(const QString& key) {
    m_pStyle->itemFontKey = key;
    applyStyle();
}

void CBaseHighPerformanceTable::setItemTextColorKey(const QString& key) {
    m_pStyle->itemTextKey = key;
    applyStyle();
}

void CBaseHighPerformanceTable::setBackgroundColorKeys(const QString& background,
                                                       const QString& numberBackground) {
    if (!background.isEmpty())
        m_pStyle->backgroundKey = background;
    if (!numberBackground.isEmpty())
        m_pStyle->numberBackgroundKey = numberBackground;
    applyStyle();
}

void CBaseHighPerformanceTable::setSelectedTextColorKey(const QString& key) {
    m_pStyle->selectedTextKey = key;
    applyStyle();
}

void CBaseHighPerformanceTable::setCurStockBackgroundColorKey(const QString& key) {
    m_pStyle->curRowBackgroundKey = key;
    applyStyle();
}

void CBaseHighPerformanceTable::setStatRowVisible(bool visible) {
    if (m_bStatRow == visible)
        return;
    m_bStatRow = visible;
    layoutStatRow();
    updateFrozenGeometry();
}

void CBaseHighPerformanceTable::setStatRowStyle(const QString& borderColorKey,
                                                const QString& heightKey, const QString& fontKey,
                                                const QString& marginKey) {
    if (!borderColorKey.isEmpty())
        m_pStyle->statBorderKey = borderColorKey;
    if (!heightKey.isEmpty())
        m_pStyle->statHeightKey = heightKey;
    if (!fontKey.isEmpty())
        m_pStyle->statFontKey = fontKey;
    if (!marginKey.isEmpty())
        m_pStyle->statMarginKey = marginKey;
    applyStyle();
}

void CBaseHighPerformanceTable::drawCurStockBackground(int row, bool on) {
    IBaseHpfTableModel* model = hpfModel();
    IBaseHpfTableDataPtr data = model ? model->getData(row) : IBaseHpfTableDataPtr();
    // remember the key so the background follows the row through re-sorts
    m_qsCurBgKey = on && data ? data->getKey() : QString();
    viewport()->update();
    m_pFrozenView->viewport()->update();
}

int CBaseHighPerformanceTable::curBackgroundRow() const {
    IBaseHpfTableModel* model = hpfModel();
    return model && !m_qsCurBgKey.isEmpty() ? model->getDataIndexByKey(m_qsCurBgKey) : -1;
}

void CBaseHighPerformanceTable::updateUi() {
    viewport()->update();
    if (m_pFrozenView->isVisible())
        m_pFrozenView->viewport()->update();
    if (m_bStatRow)
        m_pStatRow->update();
}

void CBaseHighPerformanceTable::setPanelFocus() {
    setFocus(Qt::OtherFocusReason);
}

void CBaseHighPerformanceTable::fitColumnWidthsToVisibleRows() {
    // Measures the visible rows' texts directly: the delegate's size hints would ask
    // the model for every role of every cell.
    constexpr int kPadding = 2 * 4 + 2; // the cell padding on both sides and a margin
    QHeaderView* h = horizontalHeader();
    IBaseHpfTableModel* model = hpfModel();
    const int first = std::max(0, getStartRow());
    const int last = model ? std::min(getEndRow(), model->size() - 1) : -1;
    // the statistics row is painted in its own font, inside its own margins
    const bool stats = m_bStatRow && model;
    const QFontMetrics statMetrics(m_pStyle->statFont);
    const int statPadding = 2 * m_pStyle->statMargin + 2;
    for (int id = 0; id < int(m_columns.size()); ++id) {
        if (!m_columns[size_t(id)] || !isColumnVisible(id))
            continue;
        const QFontMetrics metrics(m_columns[size_t(id)]->font);
        int width = h->sectionSizeHint(id);
        for (int row = first; row <= last; ++row) {
            if (const IBaseHpfTableDataPtr data = model->getData(row))
                width = std::max(width, metrics.horizontalAdvance(data->getText(id)) + kPadding);
        }
        if (stats) {
            const QString stat = model->statText(id);
            if (!stat.isEmpty())
                width = std::max(width, statMetrics.horizontalAdvance(stat) + statPadding);
        }
        if (h->sectionSize(id) != width)
            h->resizeSection(id, width);
    }
}

QAction* CBaseHighPerformanceTable::addMenuAction(const QString& text) {
    return m_pRowMenu->addAction(text);
}

void CBaseHighPerformanceTable::addMenu(QMenu* menu) {
    if (menu)
        m_pRowMenu->addMenu(menu);
}

void CBaseHighPerformanceTable::addSeparator() {
    m_pRowMenu->addSeparator();
}

int CBaseHighPerformanceTable::verticalScrollValue() const {
    return verticalScrollBar()->value();
}

void CBaseHighPerformanceTable::setVerticalScrollValue(int value) {
    verticalScrollBar()->setValue(value);
}

int CBaseHighPerformanceTable::verticalScrollMaximum() const {
    return verticalScrollBar()->maximum();
}

bool CBaseHighPerformanceTable::isVerticalScrollVisible() const {
    return verticalScrollBar()->isVisible() && verticalScrollBar()->maximum() > 0;
}

QString CBaseHighPerformanceTable::saveConfigStr() const {
    QJsonArray cols;
    const QHeaderView* h = horizontalHeader();
    for (int pos = 0; pos < h->count(); ++pos) {
        const int id = h->logicalIndex(pos);
        if (isColumnRemoved(id))
            continue;
        cols.append(QJsonArray{id, h->sectionSize(id), h->isSectionHidden(id) ? 0 : 1});
    }
    QJsonObject root;
    root.insert(QStringLiteral("v"), kConfigVersion);
    root.insert(QStringLiteral("cols"), cols);
    root.insert(QStringLiteral("sort"), QJsonArray{m_nSortColumn, m_nSortOrder});
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Compact));
}

bool CBaseHighPerformanceTable::loadConfigStr(const QString& config) {
    struct Entry {
        int id, width;
        bool visible;
    };
    // parse and validate into locals; commit only a sound string
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(config.toUtf8(), &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject()) {
        TT_LOG_ERROR("[table config] table %1%: not a config string", m_nId);
        return false;
    }
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("v")).toInt(-1) != kConfigVersion
        || !root.value(QStringLiteral("cols")).isArray()) {
        TT_LOG_ERROR("[table config] table %1%: unknown version or no columns", m_nId);
        return false;
    }
    std::vector<Entry> entries;
    QSet<int> seen;
    for (const QJsonValue& v : root.value(QStringLiteral("cols")).toArray()) {
        const QJsonArray a = v.toArray();
        if (a.size() < 3 || !a[0].isDouble() || !a[1].isDouble() || !a[2].isDouble()) {
            TT_LOG_ERROR("[table config] table %1%: bad column entry", m_nId);
            return false;
        }
        const int id = a[0].toInt(-1), width = a[1].toInt(-1), vis = a[2].toInt(-1);
        if (id < 0 || width < 0 || width > kMaxColumnWidth || (vis != 0 && vis != 1)
            || seen.contains(id)) {
            TT_LOG_ERROR("[table config] table %1%: bad column entry", m_nId);
            return false;
        }
        seen.insert(id);
        // columns this table no longer has are skipped, not an error
        if (!isColumnRemoved(id))
            entries.push_back(Entry{id, width, vis == 1});
    }
    int sortColumn = -1, sortOrder = 0;
    const QJsonValue sortValue = root.value(QStringLiteral("sort"));
    if (!sortValue.isUndefined()) {
        const QJsonArray s = sortValue.toArray();
        if (s.size() != 2 || !s[0].isDouble() || !s[1].isDouble()
            || (s[1].toInt() != 0 && s[1].toInt() != 1)) {
            TT_LOG_ERROR("[table config] table %1%: bad sort entry", m_nId);
            return false;
        }
        sortColumn = s[0].toInt(-1);
        sortOrder = s[1].toInt();
    }

    for (size_t pos = 0; pos < entries.size(); ++pos) {
        const Entry& e = entries[pos];
        moveColumn(e.id, int(pos));
        horizontalHeader()->resizeSection(e.id, e.width);
        horizontalHeader()->setSectionHidden(e.id, !e.visible);
    }
    if (sortColumn >= 0 && !isColumnRemoved(sortColumn))
        sortByColumn(sortColumn, sortOrder);
    else
        clearSort();
    updateFrozenView();
    return true;
}

bool CBaseHighPerformanceTable::handleEvent(int id, int a, int b, const QString& text, void* p) {
    if (id == EV_HEADER_CLICKED) {
        // header click: the current sort column toggles, another column sorts descending
        if (isColumnRemoved(b))
            return true;
        const int order = b == m_nSortColumn ? 1 - m_nSortOrder : 1;
        sortByColumn(b, order);
        return true;
    }
    return CEventDeliverer::handleEvent(id, a, b, text, p);
}

void CBaseHighPerformanceTable::onHeaderClicked(int logical) {
    if (!isColumnRemoved(logical))
        handleEvent(EV_HEADER_CLICKED, m_nId, logical, QString(), nullptr);
}

void CBaseHighPerformanceTable::onHeaderRightClicked(int logical) {
    if (!isColumnRemoved(logical))
        deliverEvent(EV_HEADER_RIGHT_CLICKED, logical, 0);
}

void CBaseHighPerformanceTable::onCellCommitted(int row, int id) {
    IBaseHpfTableModel* model = hpfModel();
    IBaseHpfTableDataPtr data = model ? model->getData(row) : IBaseHpfTableDataPtr();
    if (!data)
        return;
    QString key = data->getKey();
    const ColumnDef* s = columnDef(id);
    const QString text = s && s->delegate
                             ? m_pAdapter->data(m_pAdapter->index(row, id), Qt::EditRole).toString()
                             : QString();
    deliverEvent(EV_CELL_COMMITTED, row, id, text, &key);
    deliverEvent(EV_CELL_COMMITTED_KEY, row, id, key);
}

void CBaseHighPerformanceTable::themeChanged() {
    applyStyle();
}

void CBaseHighPerformanceTable::applyStyle() {
    m_pStyle->resolve();
    CUiResource& res = CUiResource::instance();
    for (auto& c : m_columns) {
        c->font = c->fontKey.isEmpty() ? m_pStyle->itemFont : res.getFont(c->fontKey);
        c->lockColor = c->lockColorKey.isEmpty() ? nullptr : res.getColor(c->lockColorKey);
    }
    auto name = [](const QColor* c, const char* fallback) {
        return c ? c->name(QColor::HexArgb) : QString::fromLatin1(fallback);
    };
    const QString* k = m_pStyle->scrollKeys;
    const QString sheet =
        QStringLiteral("QTableView{background:%1;border:none;}"
                       "QScrollBar{background:%2;border:none;}"
                       "QScrollBar:vertical{width:10px;}QScrollBar:horizontal{height:10px;}"
                       "QScrollBar::handle{background:%3;min-height:20px;min-width:20px;}"
                       "QScrollBar::handle:hover{background:%4;}"
                       "QScrollBar::handle:pressed{background:%5;}"
                       "QScrollBar::add-page:pressed,QScrollBar::sub-page:pressed{background:%6;}"
                       "QScrollBar::add-line,QScrollBar::sub-line{width:0;height:0;}")
            .arg(name(m_pStyle->background, "#000000"), name(res.getColor(k[4]), "#101010"),
                 name(res.getColor(k[0]), "#404040"), name(res.getColor(k[3]), "#505050"),
                 name(res.getColor(k[2]), "#606060"), name(res.getColor(k[1]), "#202020"));
    // the row-number column is Qt's vertical header: style it like the number cells
    const QString rowNumbers =
        QStringLiteral("QHeaderView::section:vertical{background:%1;color:%2;border:none;"
                       "border-bottom:1px solid %3;padding:0 2px;}"
                       // below the last row: the table's background, not the style's window
                       "QHeaderView:vertical{background:%4;}")
            .arg(name(m_pStyle->numberBackground, "#141414"), name(m_pStyle->headerText, "#b4b4b4"),
                 name(m_pStyle->split, "#1e1e1e"), name(m_pStyle->background, "#000000"));
    setStyleSheet(sheet + rowNumbers);
    m_pFrozenView->setStyleSheet(sheet);
    QPalette pal = palette();
    if (m_pStyle->background)
        pal.setColor(QPalette::Base, *m_pStyle->background);
    setPalette(pal);
    // the header's area past the last column takes the section colour
    if (m_pStyle->headerBackground) {
        for (QHeaderView* h : {horizontalHeader(), m_pFrozenView->horizontalHeader()}) {
            QPalette hp = h->palette();
            hp.setColor(QPalette::Button, *m_pStyle->headerBackground);
            hp.setColor(QPalette::Window, *m_pStyle->headerBackground);
            h->setPalette(hp);
        }
    }
    horizontalHeader()->setFont(m_pStyle->headerFont);
    verticalHeader()->setFont(m_pStyle->rowNumberFont);
    layoutStatRow();
    layoutCorner();
    updateUi();
    horizontalHeader()->viewport()->update();
}

void CBaseHighPerformanceTable::layoutStatRow() {
    const int h = m_bStatRow ? m_pStyle->statHeight : 0;
    setViewportMargins(verticalHeader()->isVisible() ? verticalHeader()->width() : 0,
                       horizontalHeader()->isVisible() ? horizontalHeader()->height() : 0, 0, h);
    if (m_bStatRow) {
        const QRect vp = viewport()->geometry();
        m_pStatRow->setGeometry(0, vp.bottom() + 1, vp.right() + 1, h);
        m_pStatRow->show();
        m_pStatRow->raise();
        m_pStatRow->update();
    } else {
        m_pStatRow->hide();
    }
}

void CBaseHighPerformanceTable::layoutCorner() {
    if (!m_pCorner)
        return; // geometry updates run while the constructor builds the view
    QHeaderView* rows = verticalHeader();
    if (!rows->isVisible()) {
        m_pCorner->hide();
        return;
    }
    const QFontMetrics fm(m_pStyle->headerFont);
    rows->setMinimumWidth(fm.horizontalAdvance(m_pStyle->rowNumberTitle) + 8);
    m_pCorner->setGeometry(frameWidth(), frameWidth(), rows->width(), horizontalHeader()->height());
    m_pCorner->show();
    m_pCorner->raise();
    m_pCorner->update();
}

void CBaseHighPerformanceTable::updateGeometries() {
    QTableView::updateGeometries();
    layoutCorner();
    if (m_bStatRow) {
        const int h = m_pStyle->statHeight;
        const QMargins m = viewportMargins();
        if (m.bottom() != h)
            setViewportMargins(m.left(), m.top(), m.right(), h);
        const QRect vp = viewport()->geometry();
        m_pStatRow->setGeometry(0, vp.bottom() + 1, vp.right() + 1, h);
    }
    updateFrozenGeometry();
}

void CBaseHighPerformanceTable::updateFrozenView() {
    bool any = false;
    QHeaderView* h = horizontalHeader();
    QHeaderView* fh = m_pFrozenView->horizontalHeader();
    // the locked columns lead in display order; the overlay shows only them
    int lead = 0;
    for (int pos = 0; pos < h->count(); ++pos) {
        const int id = h->logicalIndex(pos);
        const ColumnDef* s = columnDef(id);
        if (s && s->locked && !s->removed) {
            if (pos != lead)
                h->moveSection(pos, lead);
            ++lead;
        }
    }
    for (int id = 0; id < int(m_columns.size()); ++id) {
        const ColumnDef* s = m_columns[size_t(id)].get();
        const bool show = s->locked && !s->removed && !h->isSectionHidden(id);
        any = any || show;
        m_pFrozenView->setColumnHidden(id, !show);
        if (show) {
            m_pFrozenView->setColumnWidth(id, h->sectionSize(id));
            if (fh->visualIndex(id) != h->visualIndex(id) && h->visualIndex(id) < fh->count())
                fh->moveSection(fh->visualIndex(id), h->visualIndex(id));
        }
    }
    m_pFrozenView->setVisible(any);
    updateFrozenGeometry();
}

void CBaseHighPerformanceTable::updateFrozenGeometry() {
    // isHidden, not isVisible: while the table itself is hidden the overlay must still
    // follow its size, or it keeps a stale height once shown
    if (!m_pFrozenView || m_pFrozenView->isHidden())
        return;
    int width = 0;
    for (int id = 0; id < int(m_columns.size()); ++id)
        if (!m_pFrozenView->isColumnHidden(id))
            width += horizontalHeader()->sectionSize(id);
    const QRect vp = viewport()->geometry();
    m_pFrozenView->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
    m_pFrozenView->horizontalHeader()->setVisible(horizontalHeader()->isVisible());
    m_pFrozenView->setGeometry(vp.left(), frameWidth(), width,
                               vp.height() + horizontalHeader()->height());
    m_pFrozenView->verticalScrollBar()->setValue(verticalScrollBar()->value());
    m_pFrozenView->raise();
}

void CBaseHighPerformanceTable::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    if (dx && m_bStatRow)
        m_pStatRow->update();
}

void CBaseHighPerformanceTable::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    layoutStatRow();
    updateFrozenGeometry();
}

void CBaseHighPerformanceTable::paintEvent(QPaintEvent* event) {
    m_pCellPainter->paint(this, event->rect());
}

void CBaseHighPerformanceTable::mousePressEvent(QMouseEvent* event) {
    QTableView::mousePressEvent(event);
    const QModelIndex idx = indexAt(event->pos());
    if (event->button() == Qt::LeftButton && idx.isValid())
        deliverEvent(EV_ROW_CLICKED, m_nId, idx.row());
}

void CBaseHighPerformanceTable::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    const QModelIndex idx = indexAt(event->pos());
    if (event->button() == Qt::LeftButton && idx.isValid())
        deliverEvent(EV_ROW_DOUBLE_CLICKED, m_nId, idx.row());
}

bool CBaseHighPerformanceTable::eventFilter(QObject* watched, QEvent* event) {
    if (m_pFrozenView && watched == m_pFrozenView->viewport() && event->type() == QEvent::Paint) {
        m_pCellPainter->paint(m_pFrozenView, static_cast<QPaintEvent*>(event)->rect());
        return true;
    }
    // clicks on the locked-column overlay count as clicks on the table
    if (m_pFrozenView && watched == m_pFrozenView->viewport()
        && (event->type() == QEvent::MouseButtonPress
            || event->type() == QEvent::MouseButtonDblClick)) {
        auto* me = static_cast<QMouseEvent*>(event);
        const QModelIndex idx = m_pFrozenView->indexAt(me->pos());
        if (me->button() == Qt::LeftButton && idx.isValid()) {
            QMetaObject::invokeMethod(
                this,
                [this, row = idx.row(), dbl = event->type() == QEvent::MouseButtonDblClick] {
                    deliverEvent(dbl ? EV_ROW_DOUBLE_CLICKED : EV_ROW_CLICKED, m_nId, row);
                },
                Qt::QueuedConnection);
        }
    }
    return QTableView::eventFilter(watched, event);
}

void CBaseHighPerformanceTable::contextMenuEvent(QContextMenuEvent* event) {
    if (m_pRowMenu->actions().isEmpty())
        return;
    m_pRowMenu->popup(event->globalPos());
    event->accept();
}

} // namespace XP
