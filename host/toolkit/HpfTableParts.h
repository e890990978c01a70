#pragma once
// Private parts of CBaseHighPerformanceTable: column definitions, resolved style, header view,
// cell delegate and the statistics row. Included only by the toolkit's table sources.

#include "host/toolkit/BaseHighPerformanceTable.h"
#include "host/toolkit/GlyphTextPainter.h"

#include <QtGui/QBrush>
#include <QtGui/QFont>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QStyledItemDelegate>
#include <vector>

class QColor;

namespace XP {

struct CBaseHighPerformanceTable::ColumnDef {
    QString title;
    QString progress;
    QString fontKey;
    QString lockColorKey;
    QString filter;
    QFont font;
    const QColor* lockColor = nullptr;
    int align = AlignLeft | AlignVCenter;
    bool settingIcon = false;
    bool filterable = false;
    bool locked = false;
    bool removed = false;
    QStyledItemDelegate* delegate = nullptr;
};

// Keys and what they resolve to; colours are store-owned pointers that follow theme
// switches by themselves, fonts and sizes are resolved again on themeChanged().
struct CBaseHighPerformanceTable::Style {
    QString backgroundKey = QStringLiteral("ic_clr_table_background");
    QString numberBackgroundKey = QStringLiteral("ic_clr_table_number_background");
    QString headerBackgroundKey = QStringLiteral("ic_clr_table_header_background");
    QString headerTextKey = QStringLiteral("ic_clr_table_text_default");
    QString headerFontKey = QStringLiteral("ic_fnt_table_text_default");
    QString itemTextKey = QStringLiteral("ic_clr_table_text_default");
    QString itemFontKey = QStringLiteral("ic_fnt_table_text_default");
    QString selectedTextKey = QStringLiteral("ic_clr_table_text_selected");
    QString selectedBackgroundKey = QStringLiteral("ic_clr_table_selected_background");
    QString curRowBackgroundKey = QStringLiteral("ic_clr_table_cur_row_background");
    QString splitKey = QStringLiteral("ic_clr_table_split_line");
    QString sortSplitKey = QStringLiteral("ic_clr_table_sort_split_line");
    QString sortInactiveSplitKey = QStringLiteral("ic_clr_table_sort_noactive_split_line");
    QString headerSplitKey = QStringLiteral("clr_table_split_line_header");
    QString settingIconKey = QStringLiteral("ic_clr_table_setting_icon");
    QString statBorderKey = QStringLiteral("clr_table_stat_border");
    QString statBackgroundKey = QStringLiteral("ic_clr_table_stat_background");
    QString statHeightKey = QStringLiteral("siz_standard_table_item_height");
    QString statFontKey = QStringLiteral("fnt_table_stat_text_default");
    QString statMarginKey = QStringLiteral("siz_standard_table_stat_text_margin");
    QString rowNumberTitle = QStringLiteral("序号");
    QString rowNumberFontKey = QStringLiteral("ic_fnt_table_number_default");
    QString sliderImageKey;
    QString scrollKeys[5] = {QStringLiteral("ic_clr_scrollbar_normal"),
                             QStringLiteral("ic_clr_addsub_page_scrollbar_press"),
                             QStringLiteral("ic_clr_scrollbar_press"),
                             QStringLiteral("ic_clr_scrollbar_hover"),
                             QStringLiteral("ic_clr_scrollbar_background")};

    const QColor* background = nullptr;
    const QColor* numberBackground = nullptr;
    const QColor* headerBackground = nullptr;
    const QColor* headerText = nullptr;
    const QColor* itemText = nullptr;
    const QColor* selectedText = nullptr;
    const QColor* selectedBackground = nullptr;
    const QColor* curRowBackground = nullptr;
    const QColor* split = nullptr;
    const QColor* sortSplit = nullptr;
    const QColor* sortInactiveSplit = nullptr;
    const QColor* headerSplit = nullptr;
    const QColor* settingIcon = nullptr;
    const QColor* statBorder = nullptr;
    const QColor* statBackground = nullptr;
    QFont headerFont, itemFont, statFont, rowNumberFont;
    int statHeight = 22;
    int statMargin = 6;
    bool hLines = true;
    bool vLines = false;

    void resolve();
};

// Header: paints title, progress, settings icon and sort mark; left clicks go to the
// table as EV_HEADER_CLICKED, right clicks as EV_HEADER_RIGHT_CLICKED.
class CHpfHeaderView : public QHeaderView {
    Q_OBJECT
public:
    CHpfHeaderView(CBaseHighPerformanceTable* table, QWidget* parent);

    // Room the sort mark and the settings mark take right of the title.
    static constexpr int kMarkWidth = 10;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    // The title's width with the padding and the marks, so a fitted column shows it whole;
    // the sort mark's room is kept on every column, as sorting may move to any of them.
    QSize sectionSizeFromContents(int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    CBaseHighPerformanceTable* m_pTable;
    mutable CGlyphTextPainter m_text; // paintSection is const
};

// Paints the cells of the table and of its locked-column overlay straight from the row
// records, every pixel of the dirty area once: a row's backgrounds are one rectangle per
// run of equal colour, the area past the last row or column one rectangle; no QModelIndex
// or QVariant per cell. The viewports are opaque, so nothing is filled beneath.
class CHpfCellPainter {
public:
    explicit CHpfCellPainter(CBaseHighPerformanceTable* table) : m_pTable(table) {}
    void paint(QTableView* view, const QRect& dirty);
    const CGlyphTextPainter& text() const { return m_text; }

private:
    struct Column {
        int id;
        int x;
        int width;
        const CBaseHighPerformanceTable::ColumnDef* def;
        QAbstractItemDelegate* custom; // a column delegate (line edit) paints its own cells
    };
    // Solid brushes by colour: a fill from a QColor builds a brush each time.
    const QBrush& brush(QRgb colour);

    CBaseHighPerformanceTable* m_pTable;
    std::vector<Column> m_columns; // reused by every paint pass
    std::vector<std::pair<QRgb, QBrush>> m_brushes;
    CGlyphTextPainter m_text;
};

// The statistics row pinned under the rows.
class CHpfStatRow : public QWidget {
    Q_OBJECT
public:
    explicit CHpfStatRow(CBaseHighPerformanceTable* table);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CBaseHighPerformanceTable* m_pTable;
};

// Title of the row-number column, over the row numbers in the header's corner.
class CHpfCornerTitle : public QWidget {
    Q_OBJECT
public:
    explicit CHpfCornerTitle(CBaseHighPerformanceTable* table);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CBaseHighPerformanceTable* m_pTable;
};

} // namespace XP
