#pragma once
// Items and painter of the compact quote list. The painter draws the visible rows of an
// item list kept in display order; number texts are built at paint time, and only for
// items whose values changed since they were last drawn.

#include <QtCore/QHash>
#include <QtCore/QString>

#include <boost/shared_ptr.hpp>

#include <string>
#include <unordered_map>
#include <vector>

class QColor;
class QFont;
class QPainter;
class QRect;

namespace TC {
namespace QuoterBrowserPaint {

struct GraphDataItem {
    std::string stockKey; // market and code joined by the host's stock-key rule
    std::string name;
    std::string market;
    std::string code;
    double lastPrice = 0.0;
    double value1 = 0.0; // carried for the host, not drawn
    double value2 = 0.0;
    double changePercent = 0.0; // a fraction: 0.0153 is drawn "1.53%"
    double riseSpeed = 0.0;     // a fraction, as the change percent
    double priceTick = 0.01;

    // display copies made once per item, so painting converts nothing
    QString qsKey, qsName, qsCode;
    // the name as it fits the name column, fitted by the painter when the row is first
    // drawn after a width or font change (nShownFit names that change); null while no
    // width is known
    QString qsShownName;
    int nShownFit = -1;
    int priceDecimals = 2;
    int codeRank = 0; // position in (code, market) order, set by the painter

    // sets the tick and the decimals it implies; a missing or bad tick keeps 2 decimals
    void setPriceTick(double tick);
    // sets the three drawn values; true when any of them changed
    bool setValues(double last, double changePct, double speed);

    // texts as drawn, rebuilt lazily after a change
    const QString& lastText() const;
    const QString& changeText() const;
    const QString& speedText() const;

private:
    void buildTexts() const;
    mutable QString m_qsLast, m_qsChange, m_qsSpeed;
    mutable bool m_bTextStale = true;
};

typedef boost::shared_ptr<GraphDataItem> GraphDataItemPtr;

// The colour key index of a value by its sign: 0 rise, 1 fall, 2 equal (also invalid).
int signIndex(double value);

class GraphPaint {
public:
    enum ESortId { eSortCode = 10, eSortLast = 11, eSortChange = 12, eSortSpeed = 13 };

    explicit GraphPaint(int rowHeight);

    // Replaces the items (display order); a later item with the same key replaces an
    // earlier one.
    void setItems(const std::vector<GraphDataItemPtr>& items);
    void clear();
    int itemCount() const { return int(m_items.size()); }
    const std::vector<GraphDataItemPtr>& items() const { return m_items; }
    GraphDataItem* item(int index) const;
    // A linear search: for the rare lookups of a whole key (a kept selection).
    GraphDataItem* findByKey(const std::string& key) const;
    // Lookup of a pushed instrument without building its key.
    GraphDataItem* find(const std::string& market, const QString& code) const;
    int indexOf(const GraphDataItem* item) const;

    void setFirstRow(int row) { m_nFirstRow = row; }
    int firstRow() const { return m_nFirstRow; }
    void setRows(int rows) { m_nRows = rows; }
    int rows() const { return m_nRows; }
    int rowHeight() const { return m_nRowHeight; }
    // Relative to the first row; out of the drawn range draws no selection.
    void setSelectedRow(int row) { m_nSelectedRow = row; }
    int selectedRow() const { return m_nSelectedRow; }

    void setSort(int id, int order)
    {
        m_nSortId = id;
        m_nSortOrder = order;
    }
    int sortId() const { return m_nSortId; }
    int sortOrder() const { return m_nSortOrder; }
    // Sorts by the sort id and order: 10 code, 11 last price, 12 change percent, 13 rise
    // speed. Order 0 puts larger values first, 1 smaller first; equal values (within 1e-5)
    // fall back to the code, then the market, in the same direction. Invalid values go
    // last in both orders.
    void sortItems();

    void markDirty() { m_bDirty = true; }
    void clearDirty() { m_bDirty = false; }
    bool isDirty() const { return m_bDirty; }

    // Fonts and colours from the theme; call again after a theme change.
    void reloadTheme();
    // The width of the name column: names wider than it are shortened at the left, once
    // per row drawn, as a contract's tail tells the rows of one sector apart.
    void setNameWidth(int width);
    // Draws the rows from the first row in the body rectangle: the fully visible rows and
    // the partly visible one below them, each only when its item exists.
    void draw(QPainter& painter, const QRect& body) const;

private:
    std::vector<GraphDataItemPtr> m_items;
    // market to code to item: pushes find their items without building a key
    std::unordered_map<std::string, QHash<QString, GraphDataItem*>> m_byMarket;

    void fitName(GraphDataItem& item) const;

    int m_nRowHeight;
    int m_nNameWidth = -1;
    int m_nNameFit = 0; // bumped when the width or the font changes
    int m_nFirstRow = 0;
    int m_nRows = 0;
    int m_nSelectedRow = -1;
    int m_nSortId = eSortCode;
    int m_nSortOrder = 0;
    bool m_bDirty = false;

    struct SortEntry {
        long long key; // the value on a 1e-5 grid, or the code rank
        int rank;
        bool invalid;
        GraphDataItemPtr item;
    };
    std::vector<SortEntry> m_sortScratch; // kept between sorts: a re-sort allocates nothing

    struct Theme;
    boost::shared_ptr<Theme> m_theme;
};

typedef boost::shared_ptr<GraphPaint> GraphPaintPtr;

} // namespace QuoterBrowserPaint
} // namespace TC
