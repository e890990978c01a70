#pragma once
// The demo terminal's main window: the browse view (sector bar with its drop-downs along the
// bottom, search and tool rows, the quote table with its lower pane, the position table and
// the option pane, each for its sectors) showing the embedded market live, with indicator
// columns computed by the host's formula service ("MA5" on a clean start; the row menu's
// "选择自定义指标" adds more), and a compact quote list of the same sector beside it.

#include "host/toolkit/EventWidget.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>

class QDate;
class QDateEdit;
class QLabel;
class QSplitter;

namespace TC {
class CBrowseWidget;
class CIndexBrowseView;
class CQuoterBrowserWidget;
} // namespace TC

class DemoWindow final : public QMainWindow, public XP::CUiResourceChangeHandler {
    Q_OBJECT
public:
    explicit DemoWindow(QWidget* parent = nullptr);
    ~DemoWindow() override;

    // Shows a sector, an external data set or a position sector by name; false when the
    // host knows none of that name.
    bool showSector(const QString& name);
    // The view's whole layout (its parameter string); an empty one shows "沪深A股".
    void restoreView(const QString& param);
    // Adds the "MA5" indicator column and the editable "目标价" field: a clean start's
    // columns, which the view then carries across sector switches.
    void addStartColumns();
    // Typed values of the "目标价" field for the first rows of 沪深A股.
    void seedTargetPrices();

    TC::CIndexBrowseView* view() const { return m_pView; }
    // The view's quote table (always present; hidden while a position or option sector shows).
    TC::CBrowseWidget* mainTable() const;
    TC::CQuoterBrowserWidget* quoter() const { return m_pQuoter; }
    QSplitter* splitter() const { return m_pSplitter; }
    // The instrument last chosen in the view or the side list.
    QString chosenInstrument() const { return m_qsChosen; }
    QString summary() const;

    // The trading day the view shows: today shows it live, an earlier trading day its
    // stored values; a day that does not trade goes back to the trading day before it.
    void setTradeDate(const QDate& date);
    int tradeDate() const { return m_nTradeDate; }
    // Adds the change-ratio column over the last `days` trading days up to the trade date
    // (added again after every sector switch: the table's columns are reset with it).
    void addStageColumn(int days);

    // The window's own widgets (menus, splitter, status bar) take the theme's colours; the
    // view and the side list follow the theme themselves.
    void themeChanged() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildHistoryTools();
    // Column widths from the texts of the visible rows, so more columns fit the window.
    void fitColumns();
    void updateStatus();
    bool onHostEvent(QObject* sender, int id, int a, int b, const QString& text);
    // The view has no signals: a short timer notices when it shows another sector (its bar,
    // search, events or commands) and lets the side list, the interval columns, the
    // indicators and the simulated trading follow.
    void followView();
    void onSectorShown();
    void watchUserResize();
    // The side list shows the instruments of the view's table: a sector's, a position
    // sector's holdings, or those of a data set's rows that are instruments.
    void showSideList();
    // The sector or data set the view shows, and the row count of its table.
    QString shownName(bool* external = nullptr) const;
    int shownRows() const;
    void requestIndicators();
    // The simulated accounts trade while a position sector is shown at least once.
    void startTrading();
    // The option pane's first underlying and first call chosen, so both charts show.
    void primeOptionPane();

    QSplitter* m_pSplitter;
    TC::CIndexBrowseView* m_pView;
    TC::CQuoterBrowserWidget* m_pQuoter;
    QLabel* m_pRowsLabel;
    QLabel* m_pRateLabel;
    QLabel* m_pRefreshLabel;
    QLabel* m_pChosenLabel;
    QString m_qsChosen;
    quint64 m_nLastPushes = 0;
    const QObject* m_pStatusSource = nullptr; // the table whose pushes m_nLastPushes counts
    QElapsedTimer m_rateClock;
    bool m_bTablePainted = false;
    bool m_bPanePrimed = false;
    // what followView() last saw
    QString m_qsShownSector;
    const QObject* m_pShownTable = nullptr;
    int m_nShownRows = 0;
    // a column the user resized stays as set: the periodic refit stops for that table
    QMetaObject::Connection m_resizeWatch;
    bool m_bFitting = false;
    bool m_bUserSized = false;
    // trade date and interval columns
    QDateEdit* m_pDateEdit = nullptr;
    int m_nTradeDate = 0; // 0: live
    QStringList m_stageSettings;
};
