#pragma once
// The demo terminal's main window: the host's sector tree beside a browse table that
// shows the chosen sector live from the embedded market, with indicator columns computed
// live by the host's formula service ("MA5" from the start; the row menu's "选择自定义指标"
// adds more), and a compact quote list of the same sector as a side panel. The option
// sector ("T型报价板") shows the option pane instead of the table: the underlyings by
// category, the T-board and the intraday or k-line charts of the underlying and the option.

#include "host/data/ColumnInfo.h"
#include "host/toolkit/EventWidget.h"

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>

class QDate;
class QDateEdit;
class QLabel;
class QSplitter;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace TC {
class CBrowseWidget;
class COptionPriceTBrowseWidget;
class CPositionBrowseWidget;
class CPriceTBrowseWidget;
class CQuoterBrowserWidget;
class CSectorDetail;
} // namespace TC

class DemoWindow final : public QMainWindow, public XP::CUiResourceChangeHandler {
    Q_OBJECT
public:
    explicit DemoWindow(QWidget* parent = nullptr);
    ~DemoWindow() override;

    // Shows a sector by name; false when the host does not know it.
    bool showSector(const QString& name);
    TC::CBrowseWidget* browse() const { return m_pBrowse; }
    TC::CQuoterBrowserWidget* quoter() const { return m_pQuoter; }
    // The option T-board, once an option sector was shown; null before.
    TC::COptionPriceTBrowseWidget* optionBoard() const { return m_pBoard; }
    bool isOptionBoardShown() const;
    // The option pane, once the option sector was shown; null before.
    TC::CPriceTBrowseWidget* optionPane() const { return m_pPriceT; }
    bool isOptionPaneShown() const;
    // The instrument last chosen in the table or the side list (events 47, 3083, 4003).
    QString chosenInstrument() const { return m_qsChosen; }
    QString summary() const;
    // Adds an indicator column of a host formula's first line to the table (kept across
    // sector switches) and queues its computation.
    void addIndicator(const QString& formula, const QString& title);
    // Lets the user tick host formulas to add as indicator columns.
    void chooseIndicators();

    // The trading day the table shows: today shows it live, an earlier trading day its
    // stored values; a day that does not trade goes back to the trading day before it.
    void setTradeDate(const QDate& date);
    int tradeDate() const { return m_nTradeDate; }
    // Adds the change-ratio column over the last `days` trading days up to the trade date
    // (kept across sector switches).
    void addStageColumn(int days);
    // Layout persistence (DemoLayout.cpp): the panes, and a table parameter string whose
    // indicator columns then stay across sector switches like the ones added here.
    QSplitter* splitter() const { return m_pSplitter; }
    void restoreBrowseParam(const QString& param);

    // The window's own widgets (menus, sector tree, splitter, status bar) take the
    // theme's colours; called again on every theme switch.
    void themeChanged() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    // Column widths from the texts of the visible rows, so more columns fit the window;
    // the rest scroll beside the locked code and name columns.
    void fitColumns();
    void fillTree(QTreeWidgetItem* parentItem, TC::CSectorDetail* sector, int depth);
    void updateStatus();
    // Shows the T-board of an underlying (stock key) in place of the table.
    bool showOptionBoard(const QString& underlyingKey);
    // Shows the option pane in place of the table, its first underlying chosen.
    bool showOptionPane();
    bool onHostEvent(QObject* sender, int id, int a, int b, const QString& text);
    void requestIndicators();
    // An external data set of the host in the table (code, name, date, value).
    bool showExternalData(const QString& dataSet);
    void restoreUserFields(const QString& sector);
    // The editable "目标价" column, added once to the first sector shown.
    void addDemoUserField(const QString& sector);
    // Position sectors: the accounts of the kind, traded by the simulated trading service.
    bool showPositionSector(const QString& name);
    void startTrading();
    // the trade-date picker and the interval-column menu
    void buildHistoryTools();
    void requestStageColumns();

    QSplitter* m_pSplitter;
    QTreeWidget* m_pTree;
    QStackedWidget* m_pCenter;
    TC::CBrowseWidget* m_pBrowse;
    TC::COptionPriceTBrowseWidget* m_pBoard = nullptr;
    TC::CPriceTBrowseWidget* m_pPriceT = nullptr;
    TC::CQuoterBrowserWidget* m_pQuoter;
    QLabel* m_pRowsLabel;
    QLabel* m_pRateLabel;
    QLabel* m_pRefreshLabel;
    QLabel* m_pChosenLabel;
    QString m_qsChosen;
    quint64 m_nLastPushes = 0;
    const QObject* m_pStatusSource = nullptr; // the table whose pushes m_nLastPushes counts
    QElapsedTimer m_rateClock;
    QList<TC::ColumnInfo> m_indicators;
    bool m_bTablePainted = false;
    bool m_bDemoFieldAdded = false;
    TC::CPositionBrowseWidget* m_pPosition = nullptr; // created with the first position sector
    // trade date and interval columns
    QDateEdit* m_pDateEdit = nullptr;
    int m_nTradeDate = 0; // 0: live
    QStringList m_stageSettings;
};
