#pragma once
// Virtual table over an IBaseHpfTableModel: a QTableView whose Qt model is an internal
// adapter (Qt column = column id, Qt row = model index). Cells are painted by the
// table's own delegate straight from the row records, so a cell's text is produced only
// when the cell is painted and painting costs in proportion to the visible cells.
// Sorting reorders the model's rows (IBaseHpfTableModel::sortRows); there is no proxy
// model and no re-sort on row changes, only on sortByColumn()/resort().
//
// Events (ToolkitEvents.h): a header left click calls this->handleEvent(EV_HEADER_CLICKED,
// tableId, columnId) (the base sorts, toggling the order of the current sort column,
// descending first); a header right click delivers EV_HEADER_RIGHT_CLICKED (columnId, 0)
// upward; a row left click delivers EV_ROW_CLICKED (tableId, row), a double click
// EV_ROW_DOUBLE_CLICKED (tableId, row); the vertical scroll bar's press and drag call
// this->handleEvent(EV_SCROLL_PRESSED, 1, ...) and this->handleEvent(EV_SCROLL_DRAGGED, 1, ...).
// A committed line-edit cell delivers EV_CELL_COMMITTED (row, columnId, text, &rowKey) then
// EV_CELL_COMMITTED_KEY (row, columnId, rowKey).

#include "host/toolkit/BaseTable.h"
#include "host/toolkit/EventWidget.h"

#include <QtWidgets/QTableView>
#include <memory>

namespace XP {

class CMenu;
class CHpfCellPainter;
class CHpfTableAdapter;

class CBaseHighPerformanceTable : public CEventWidgetT<QTableView>,
                                  public IBaseTable,
                                  public CUiResourceChangeHandler {
    Q_OBJECT
public:
    // Table flags with a meaning in the toolkit; other bits are stored for the caller.
    // The default flags are TF_ROW_NUMBER.
    enum ETableFlag {
        TF_ROW_NUMBER = 0x8,       // show the row-number column
        TF_ROW_DRAG = 0x40000,     // rows may be dragged (stored only: no drag reordering yet)
        TF_COLUMN_MOVE = 0x200000, // the user may move columns by dragging headers
    };

    CBaseHighPerformanceTable(int id, QWidget* parent = nullptr, int menuFlags = 0);
    ~CBaseHighPerformanceTable() override;

    // IBaseTable
    void setModel(IBaseHpfTableModel* model) override;
    IBaseHpfTableModel* hpfModel() const override;
    int tableId() const override { return m_nId; }
    int menuFlags() const { return m_nMenuFlags; }

    int tableFlags() const override { return m_nFlags; }
    void setTableFlags(int flags) override;
    void addTableFlag(int flag) override { setTableFlags(m_nFlags | flag); }
    void removeTableFlag(int flag) override { setTableFlags(m_nFlags & ~flag); }

    void setColumnCount(int count) override;
    int columnCount() const override;
    int newColumnId() override;
    void removeColumn(int id) override;
    void clearColumns() override { setColumnCount(0); }
    void moveColumn(int id, int visualPos) override;
    int columnIdAt(int visualPos) const override;
    int visualPosition(int id) const override;
    void setHeaderText(int id, const QString& text) override;
    QString headerText(int id) const override;
    void setHeaderProgress(int id, const QString& progress) override;
    void setColumnSettingIcon(int id, bool on) override;
    void setColumnVisible(int id, bool visible) override;
    bool isColumnVisible(int id) const override;
    void setColumnWidth(int id, int width) override;
    int columnWidth(int id) const override;
    void setColumnFontKey(int id, const QString& key) override;
    void setColumnTextAlignment(int id, EAligns align) override;
    void setColumnTextAlignment(int id, int align) { setColumnTextAlignment(id, EAligns(align)); }
    void setColumnDelegate(int id, QStyledItemDelegate* delegate) override;
    void setColumnFilterable(int id, bool on) override;
    bool isColumnFilterable(int id) const override;
    // Rows whose getFilterQString(id) does not contain the text (case-insensitive) are
    // hidden; only filterable columns filter.
    void setColumnFilter(int id, const QString& text) override;
    void clearFilter() override;
    void setColumnLocked(int id, bool locked) override;
    bool isColumnLocked(int id) const override;
    void setLockColumnColorKey(int id, const QString& key) override;
    void setRowNumberColumn(bool on, const QString& title, const QString& fontKey) override;
    // A removed column keeps its id dead (ids of other columns never shift).
    bool isColumnRemoved(int id) const;

    int rowCount() const override;
    int getStartRow() const override;
    int getEndRow() const override;
    int getSelectedRow() const override;
    QList<int> getSelectedRows() const override;
    void setSelectedRow(int row) override;
    void setSelectedRowMove(int row) override;
    void setSelectedRowIndex(int index) override { setSelectedRow(index); }
    void clearSelection() override;
    QString getItemText(int row, int id) const override;

    void sortByColumn(int id, int order) override;
    int getSortColumnID() const override { return m_nSortColumn; }
    int getSortOrder() const override { return m_nSortOrder; }
    void clearSort() override;
    void resort() override;

    void setItemHeight(int height) override;
    int itemHeight() const override { return m_nItemHeight; }
    void setRowHeightRange(int minHeight, int maxHeight) override;
    void setHorizontalScrollStep(int step) override;
    void setScrollSliderImage(const QString& key) override;
    void setSplitLineColorKeys(const QString& item, const QString& sort,
                               const QString& sortInactive, const QString& header) override;
    void setSplitLinesVisible(bool horizontal, bool vertical) override;
    void setHeaderFontKey(const QString& key) override;
    void setHeaderTextColorKey(const QString& key) override;
    void setItemFontKey(const QString& key) override;
    void setItemTextColorKey(const QString& key) override;
    void setBackgroundColorKeys(const QString& background,
                                const QString& numberBackground) override;
    void setSelectedTextColorKey(const QString& key) override;
    void setCurStockBackgroundColorKey(const QString& key) override;
    void setStatRowVisible(bool visible) override;
    bool isStatRowVisible() const override { return m_bStatRow; }
    void setStatRowStyle(const QString& borderColorKey, const QString& heightKey,
                         const QString& fontKey, const QString& marginKey) override;
    // The row's record (by key) gets the current-row background; -1 or off clears it.
    void drawCurStockBackground(int row, bool on) override;
    void updateUi() override;
    void setPanelFocus() override;
    void fitColumnWidthsToVisibleRows() override;
    // Scroll bar colours by resource key (normal, add/sub page press, press, hover, track).
    void setScrollBarColorKeys(const QString& normal, const QString& addSubPagePress,
                               const QString& press, const QString& hover,
                               const QString& background);

    QAction* addMenuAction(const QString& text) override;
    void addMenu(QMenu* menu) override;
    void addSeparator() override;
    CMenu* rowMenu() const { return m_pRowMenu; }

    int verticalScrollValue() const override;
    void setVerticalScrollValue(int value) override;
    int verticalScrollMaximum() const override;
    bool isVerticalScrollVisible() const override;

    QString saveConfigStr() const override;
    bool loadConfigStr(const QString& config) override;

    bool handleEvent(int id, int a, int b, const QString& text, void* p) override;
    void themeChanged() override;

    // Cell texts produced (painting and DisplayRole); for benchmarks and tests.
    static quint64 s_nCellTextCount;

    // Appearance resolved for painting (read by the table's delegate).
    struct Style;
    const Style& style() const { return *m_pStyle; }
    QString statText(int id) const;

Q_SIGNALS:
    void sigSortChanged(int columnId, int order);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class CHpfHeaderView;
    friend class CHpfCellPainter;
    friend class CHpfTableAdapter;
    friend class CHpfStatRow;
    friend class CHpfCornerTitle;
    struct ColumnDef;

    ColumnDef* columnDef(int id);
    const ColumnDef* columnDef(int id) const;
    void applyStyle();
    void applyFilter();
    void updateSortIndicator();
    void updateFrozenView();
    void updateFrozenGeometry();
    void layoutStatRow();
    void layoutCorner();
    void onHeaderClicked(int logical);
    void onHeaderRightClicked(int logical);
    void onCellCommitted(int row, int id);
    void onLayoutChanged();
    int curBackgroundRow() const;

    int m_nId;
    int m_nMenuFlags;
    int m_nFlags = 0;
    int m_nSortColumn = -1;
    int m_nSortOrder = 0;
    int m_nItemHeight = 20;
    int m_nMinRowHeight = 0;
    int m_nMaxRowHeight = 0;
    bool m_bStatRow = false;
    bool m_bRowsFiltered = false; // some rows may be hidden by a filter
    QString m_qsCurBgKey;
    CHpfTableAdapter* m_pAdapter = nullptr;
    CMenu* m_pRowMenu = nullptr;
    QTableView* m_pFrozenView = nullptr;
    QWidget* m_pStatRow = nullptr;
    QWidget* m_pCorner = nullptr;
    std::unique_ptr<Style> m_pStyle;
    std::unique_ptr<CHpfCellPainter> m_pCellPainter;
    std::vector<std::unique_ptr<ColumnDef>> m_columns; // indexed by column id
};

} // namespace XP
