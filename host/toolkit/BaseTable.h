#pragma once
// Operations of a high-performance table. Columns are named by ids that stay fixed
// while the user moves columns; visual positions count the columns in display order
// (hidden ones included). Rows are display rows, equal to the model's row index.

#include "host/toolkit/Align.h"

#include <QtCore/QList>
#include <QtCore/QString>

class QAction;
class QMenu;
class QStyledItemDelegate;

namespace XP {

class IBaseHpfTableModel;

class IBaseTable {
public:
    virtual ~IBaseTable();

    virtual void setModel(IBaseHpfTableModel* model) = 0;
    virtual IBaseHpfTableModel* hpfModel() const = 0;
    virtual int tableId() const = 0;

    virtual int tableFlags() const = 0;
    virtual void setTableFlags(int flags) = 0;
    virtual void addTableFlag(int flag) = 0;
    virtual void removeTableFlag(int flag) = 0;

    // Columns. Ids run from 0 to columnCount() - 1; a removed id stays dead (hidden, no
    // position) so the ids of the other columns never shift.
    // Drops every column and the sort; ids 0 .. count - 1 in display order.
    virtual void setColumnCount(int count) = 0;
    virtual int columnCount() const = 0;
    // Appends a column after the live ones and returns its id.
    virtual int newColumnId() = 0;
    virtual void removeColumn(int id) = 0;
    virtual void clearColumns() = 0;
    // Positions count live columns only (hidden ones included), clamped to the last.
    virtual void moveColumn(int id, int visualPos) = 0;
    virtual int columnIdAt(int visualPos) const = 0;
    virtual int visualPosition(int id) const = 0;
    virtual void setHeaderText(int id, const QString& text) = 0;
    virtual QString headerText(int id) const = 0;
    virtual void setHeaderProgress(int id, const QString& progress) = 0;
    virtual void setColumnSettingIcon(int id, bool on) = 0;
    virtual void setColumnVisible(int id, bool visible) = 0;
    virtual bool isColumnVisible(int id) const = 0;
    virtual void setColumnWidth(int id, int width) = 0;
    virtual int columnWidth(int id) const = 0;
    virtual void setColumnFontKey(int id, const QString& key) = 0;
    virtual void setColumnTextAlignment(int id, EAligns align) = 0;
    virtual void setColumnDelegate(int id, QStyledItemDelegate* delegate) = 0;
    virtual void setColumnFilterable(int id, bool on) = 0;
    virtual bool isColumnFilterable(int id) const = 0;
    virtual void setColumnFilter(int id, const QString& text) = 0;
    virtual void clearFilter() = 0;
    virtual void setColumnLocked(int id, bool locked) = 0;
    virtual bool isColumnLocked(int id) const = 0;
    virtual void setLockColumnColorKey(int id, const QString& key) = 0;
    virtual void setRowNumberColumn(bool on, const QString& title, const QString& fontKey) = 0;

    // Rows and selection. Start and end rows are the first and last rows in view (-1
    // without rows); setSelectedRow selects without scrolling, setSelectedRowMove
    // scrolls the row into view; an invalid row clears the selection.
    virtual int rowCount() const = 0;
    virtual int getStartRow() const = 0;
    virtual int getEndRow() const = 0;
    virtual int getSelectedRow() const = 0;
    virtual QList<int> getSelectedRows() const = 0;
    virtual void setSelectedRow(int row) = 0;
    virtual void setSelectedRowMove(int row) = 0;
    virtual void setSelectedRowIndex(int index) = 0;
    virtual void clearSelection() = 0;
    virtual QString getItemText(int row, int id) const = 0;

    // Sorting (order 0 ascending, 1 descending). Rows are reordered only here and in
    // resort(), never on row changes; clearSort() keeps the current order.
    virtual void sortByColumn(int id, int order) = 0;
    virtual int getSortColumnID() const = 0;
    virtual int getSortOrder() const = 0;
    virtual void clearSort() = 0;
    virtual void resort() = 0;

    // Appearance
    virtual void setItemHeight(int height) = 0;
    virtual int itemHeight() const = 0;
    virtual void setRowHeightRange(int minHeight, int maxHeight) = 0;
    virtual void setHorizontalScrollStep(int step) = 0;
    virtual void setScrollSliderImage(const QString& key) = 0;
    virtual void setSplitLineColorKeys(const QString& item, const QString& sort,
                                       const QString& sortInactive, const QString& header) = 0;
    virtual void setSplitLinesVisible(bool horizontal, bool vertical) = 0;
    virtual void setHeaderFontKey(const QString& key) = 0;
    virtual void setHeaderTextColorKey(const QString& key) = 0;
    virtual void setItemFontKey(const QString& key) = 0;
    virtual void setItemTextColorKey(const QString& key) = 0;
    virtual void setBackgroundColorKeys(const QString& background,
                                        const QString& numberBackground) = 0;
    virtual void setSelectedTextColorKey(const QString& key) = 0;
    virtual void setCurStockBackgroundColorKey(const QString& key) = 0;
    virtual void setStatRowVisible(bool visible) = 0;
    virtual bool isStatRowVisible() const = 0;
    virtual void setStatRowStyle(const QString& borderColorKey, const QString& heightKey,
                                 const QString& fontKey, const QString& marginKey) = 0;
    virtual void drawCurStockBackground(int row, bool on) = 0;
    virtual void updateUi() = 0;
    virtual void setPanelFocus() = 0;
    virtual void fitColumnWidthsToVisibleRows() = 0;

    // Row context menu
    virtual QAction* addMenuAction(const QString& text) = 0;
    virtual void addMenu(QMenu* menu) = 0;
    virtual void addSeparator() = 0;

    // Vertical scrolling
    virtual int verticalScrollValue() const = 0;
    virtual void setVerticalScrollValue(int value) = 0;
    virtual int verticalScrollMaximum() const = 0;
    virtual bool isVerticalScrollVisible() const = 0;

    // Persistence: column order, widths, visibility and sort.
    virtual QString saveConfigStr() const = 0;
    virtual bool loadConfigStr(const QString& config) = 0;
};

} // namespace XP
