#pragma once
// The compact quote list for narrow side panels: one sector's instruments as two-line rows
// (name over code) with last price, change percent and rise speed, a header of four sort
// buttons, a thin scroll bar, keyboard and mouse selection, and the selected row as JSON
// for the host. Quotes come from a whole-market quote model: the cache first, then pushes
// drained on the 500 ms refresh tick, which repaints (and re-sorts) at most once.

#include "host/toolkit/EventWidget.h"

#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QVector>

#include <boost/shared_ptr.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

class QColor;
class QTimer;

namespace dorn {
struct PushQuoteParam;
}
namespace quoter {
struct QuoterAllData;
}
namespace ttservice {
struct CInstrumentDetail;
using CInstrumentDetailPtr = std::shared_ptr<CInstrumentDetail>;
} // namespace ttservice
namespace XP {
class CPushButton;
class CWidgetList;
} // namespace XP

namespace TC {

class CIndexScrollBar;
class CWholeQuoteModel;
class CWorkerMailbox;
namespace QuoterBrowserPaint {
class GraphPaint;
struct GraphDataItem;
} // namespace QuoterBrowserPaint

class CQuoterBrowserWidget : public XP::CBaseWidget {
    Q_OBJECT
public:
    enum {
        Event_HeaderPress = 5,
        Event_ScrollValue = 17,
        Event_SelectStock = 47,
        Event_DoubleClick = 49,
        Event_EnterStock = 4003,
    };
    static constexpr int kRefreshMs = 500;

    explicit CQuoterBrowserWidget(QWidget* parent = nullptr);
    ~CQuoterBrowserWidget() override;

    void setSector(const QString& name);
    // Lists these instruments under a name that is no sector (a position sector's holdings,
    // the instruments of a data set); an empty list empties the list.
    void setInstruments(const QString& name, const QList<ttservice::CInstrumentDetailPtr>& list);
    QString getSector() const { return m_qsSectorName; }
    void request();
    void unrequest();

    // The selected row as a JSON object (index, CODE, NAME, LATEST, ZHANGFU, ZHANGSU);
    // the empty object without a selection.
    QString getSelectJsonParam() const;
    // The selected row's stock key; empty without a selection.
    QVector<QString> getSelectStocks() const;
    void emitSigUpdateQuote();
    void themeChanged() override;
    bool handleEvent(int id, int a, int b, const QString& text, void* p) override;

    // A push delivery of the quote model; from another thread it is re-posted to the GUI
    // thread. Fills the delivered items' values and marks the list for the next tick.
    void formulaPushQuoteBack(dorn::PushQuoteParam& param, const QVector<QString>& codes,
                              const QVector<QString>& markets,
                              const std::vector<std::shared_ptr<quoter::QuoterAllData>>& quotes,
                              bool last);

    int totalRows() const;
    int visibleRows() const { return m_nVisibleRows; }
    int firstRow() const { return m_nFirstRow; }
    // The largest first row: the last page starts at total - visible (never below 0).
    int maxFirstRow() const;
    // The selected row relative to the first visible row; -1 without a selection.
    int selectedRow() const;
    // The selected item's index in display order; -1 without a selection.
    int selectedIndex() const { return m_nSelIndex; }
    int sortId() const { return m_nSortId; }
    int sortOrder() const;
    CIndexScrollBar* scrollBar() const { return m_pScrollBar; }
    XP::CPushButton* headerButton(int id) const;
    boost::shared_ptr<CWholeQuoteModel> model() const { return m_pModel; }

Q_SIGNALS:
    void sigUpdateQuote();

public Q_SLOTS:
    void slotUpdateQuote();
    void slotWholeHistoryQuoteBack();
    void slotSectorChanged(int type, QString name, QString other);
    void slotRefreshData();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class QuoteClient;

    void createInterface();
    void resizeLayout();
    void requestMarketQuotes();
    void syncPainter();
    void onHeaderPress(int id, const QString& text);
    void onScrollValue(int value);
    // Moves the first row (clamped to 0..max); false when it did not change.
    bool moveFirstRow(int row, bool syncScrollBar);
    void selectIndex(int index);
    int rowAt(int y) const;
    void selectAt(const QPoint& pos);
    void applyQuote(QuoterBrowserPaint::GraphDataItem& item, const quoter::QuoterAllData& q);
    // Re-sorts the items by the current sort, keeping the selected instrument selected.
    void resortKeepingSelection();
    void updateSortIcons();
    void logSelection();

    QString m_qsSectorName;
    QVector<QString> m_markets;
    std::map<std::string, std::vector<std::string>> m_requestCodes; // market to codes

    // metrics
    static constexpr int kHeaderHeight = 30;
    static constexpr int kRowHeight = 50;
    static constexpr int kColumns = 4;
    static constexpr int kMinWidth = 250;

    int m_nVisibleRows = 0;
    int m_nFirstRow = 0;
    int m_nSelIndex = -1;                                    // selected item, display order
    QuoterBrowserPaint::GraphDataItem* m_pSelItem = nullptr; // the same item, across re-sorts
    int m_nLastPageSize = 0;

    int m_nSortId = 10;
    int m_nSortOrders[4] = {0, 0, 0, 0}; // per button id 10..13: 0 descending, 1 ascending
    bool m_bSortActive = false;          // the sector's own order until a header press
    bool m_bSortChanged = false;
    bool m_bResortPending = false; // live values changed what the current sort orders by

    QString m_qsSelectJson;
    QTimer* m_pRefreshTimer = nullptr;
    const QColor* m_pBackground = nullptr;
    bool m_bLayoutDone = false;

    boost::shared_ptr<QuoterBrowserPaint::GraphPaint> m_pPaint;
    CIndexScrollBar* m_pScrollBar = nullptr;
    XP::CWidgetList* m_pHeader = nullptr;
    XP::CPushButton* m_pButtons[4] = {nullptr, nullptr, nullptr, nullptr};

    boost::shared_ptr<CWholeQuoteModel> m_pModel;
    std::unique_ptr<QuoteClient> m_pClient;
    std::shared_ptr<CWorkerMailbox> m_mailbox;
};

} // namespace TC
